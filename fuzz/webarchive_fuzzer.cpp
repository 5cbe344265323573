#include "platform/textformats/WebArchive.h"

#include "office_fuzzer_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    return fuzzRoundTrip<WebArchive>(data, size);
}
