// Feeds arbitrary bytes to the binary property-list reader. Whatever it accepts must survive being
// written and read again unchanged, in its own form, and must not upset the other writer.
#include "platform/foundation/PropertyListSerialization.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size)
{
    using Format = PropertyListSerialization::Format;
    const QByteArray input = QByteArray::fromRawData(reinterpret_cast<const char*>(bytes), qsizetype(size));
    const std::optional<PlistValue> value = PropertyListSerialization::propertyListWithData(input);
    if (!value)
        return 0;
    const std::optional<QByteArray> written =
        PropertyListSerialization::dataWithPropertyList(*value, Format::Binary);
    if (!written)
        return 0;
    const std::optional<PlistValue> reread = PropertyListSerialization::propertyListWithData(*written);
    if (!reread)
        std::abort();
    // Bytes rather than values are compared, since a NaN never equals itself.
    if (PropertyListSerialization::dataWithPropertyList(*reread, Format::Binary) != written)
        std::abort();
    PropertyListSerialization::dataWithPropertyList(*value, Format::Xml);
    return 0;
}
