#pragma once

#include "platform/text/MutableAttributedString.h"

#include <QByteArrayView>

#include <cstddef>
#include <cstdint>

// Reads arbitrary bytes with a format's reader and, when they read, writes the text and reads that
// again: no step may crash, our own output must read, and it must give the same characters.
template <class Format> int fuzzRoundTrip(const uint8_t* data, size_t size)
{
    MutableAttributedString text;
    DocumentAttributes attributes;
    Error error;
    const QByteArray input(reinterpret_cast<const char*>(data), qsizetype(size));
    if (!Format::read(input, text, &attributes, &error))
        return 0;
    const auto written = Format::write(text, attributes, &error);
    if (!written)
        __builtin_trap();
    MutableAttributedString again;
    if (!Format::read(*written, again, nullptr, &error))
        __builtin_trap();
    return 0;
}
