#include "platform/text/MutableAttributedString.h"
#include "platform/text/RtfReader.h"
#include "platform/text/RtfWriter.h"

#include <cstddef>
#include <cstdint>

// Reads arbitrary bytes as RTF, then writes what was read and reads that again: neither step may
// crash, and what the writer makes must read.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    MutableAttributedString text;
    DocumentAttributes attributes;
    Error error;
    const QByteArrayView input(reinterpret_cast<const char*>(data), qsizetype(size));
    if (!RtfReader::read(input, text, &attributes, &error))
        return 0;
    const QByteArray written = RtfWriter::write(text, attributes);
    MutableAttributedString again;
    if (!RtfReader::read(written, again, nullptr, &error))
        __builtin_trap();
    return 0;
}
