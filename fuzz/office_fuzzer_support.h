#pragma once

#include "platform/text/MutableAttributedString.h"
#include "platform/textformats/Zip.h"

#include <QByteArrayView>

#include <cstddef>
#include <cstdint>
#include <vector>

// Reads arbitrary bytes with a format's reader and, when they read, writes the text and reads that
// again: no step may crash, our own output must read, and it must give the same characters.
template <class Format> int fuzzRoundTrip(const uint8_t* data, size_t size, QByteArray input)
{
    MutableAttributedString text;
    DocumentAttributes attributes;
    Error error;
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

template <class Format> int fuzzRoundTrip(const uint8_t* data, size_t size)
{
    return fuzzRoundTrip<Format>(data, size,
                                 QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)));
}

// Mutations of a zip archive mostly break its checksums; bytes that are not an archive become the
// parts named here instead (split at the first NUL), so the XML readers see mutated XML.
template <class Format>
int fuzzParts(const uint8_t* data, size_t size, const QString& first,
              const std::vector<std::pair<QString, QByteArray>>& fixed, const QString& second)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    if (bytes.startsWith("PK"))
        return fuzzRoundTrip<Format>(data, size, bytes);
    const qsizetype split = bytes.indexOf('\0');
    ZipWriter zip;
    zip.add(first, split < 0 ? bytes : bytes.left(split), false);
    for (const auto& [name, part] : fixed)
        zip.add(name, part, false);
    if (split >= 0)
        zip.add(second, bytes.mid(split + 1), false);
    Error error;
    const auto archive = zip.finish(&error);
    return archive ? fuzzRoundTrip<Format>(data, size, *archive) : 0;
}
