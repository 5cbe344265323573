#include "platform/textformats/Odt.h"

#include "office_fuzzer_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    return fuzzParts<Odt>(data, size, QStringLiteral("content.xml"), {}, QStringLiteral("styles.xml"));
}
