#include "layout_fuzzer_support.h"
#include "platform/text/MutableAttributedString.h"
#include "platform/textformats/PlainText.h"
#include "platform/textformats/PlainTextCodec.h"

#include <cstddef>
#include <cstdint>

// Reads arbitrary bytes as plain text in the encoding they seem to be in and lays the text out: a long
// line of characters that offer no break (a damaged file decoded to replacement characters) must not
// hang the layout.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArrayView input(reinterpret_cast<const char*>(data), qsizetype(size));
    MutableAttributedString text;
    DocumentAttributes attributes;
    PlainText::read(input, text, &attributes, {}, PlainTextCodec::detect(input));
    layOutAsShown(text, size > 0 ? data[0] : 0);
    return 0;
}
