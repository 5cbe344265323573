#include "platform/foundation/FileWrapper.h"
#include "platform/text/MutableAttributedString.h"
#include "platform/text/Rtfd.h"

#include <cstddef>
#include <cstdint>

// Reads arbitrary bytes as a single-stream RTFD, and the same bytes as the text of an RTFD
// directory with one picture beside it.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArrayView input(reinterpret_cast<const char*>(data), qsizetype(size));
    MutableAttributedString text;
    DocumentAttributes attributes;
    Error error;
    if (Rtfd::readData(input, text, &attributes, &error))
        Rtfd::data(text, attributes);

    auto directory = FileWrapper::makeDirectory();
    directory->addRegularFile(input.toByteArray(), Rtfd::kTextFileName);
    directory->addRegularFile(QByteArray("\x89PNG", 4), QStringLiteral("a.png"));
    if (Rtfd::read(*directory, text, &attributes, &error))
        Rtfd::data(text, attributes);
    return 0;
}
