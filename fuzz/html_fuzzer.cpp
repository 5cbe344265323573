#include "layout_fuzzer_support.h"
#include "platform/text/MutableAttributedString.h"
#include "platform/textformats/HtmlReader.h"
#include "platform/textformats/HtmlWriter.h"

#include <cstddef>
#include <cstdint>

// Reads arbitrary bytes as HTML, lays out what was read, writes it and reads that again: no step may
// crash or hang, and the second reading must give the same characters (plus the newline every reading
// ends with).
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    MutableAttributedString text;
    DocumentAttributes attributes;
    Error error;
    const QByteArrayView input(reinterpret_cast<const char*>(data), qsizetype(size));
    if (!HtmlReader::read(input, text, &attributes, &error))
        return 0;
    layOutAsShown(text, size > 0 ? data[size - 1] : 0);
    const QByteArray written = HtmlWriter::write(text, attributes);
    MutableAttributedString again;
    if (!HtmlReader::read(written, again, nullptr, &error))
        __builtin_trap();
    return 0;
}
