#include "platform/textformats/Docx.h"

#include "office_fuzzer_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    return fuzzParts<Docx>(
        data, size, QStringLiteral("word/document.xml"),
        {{QStringLiteral("word/_rels/document.xml.rels"),
          "<Relationships><Relationship Type=\"x/styles\" Target=\"styles.xml\"/></Relationships>"}},
        QStringLiteral("word/styles.xml"));
}
