// Feeds arbitrary bytes to the property-list reader. Whatever it accepts must survive being written
// and read again unchanged in the form under test (ORVANE_PLIST_FORM), and must not upset the other
// writer.
#include "platform/foundation/PropertyListSerialization.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size)
{
    using Format = PropertyListSerialization::Format;
    constexpr Format form = Format::ORVANE_PLIST_FORM;
    constexpr Format other = form == Format::Xml ? Format::Binary : Format::Xml;
    const QByteArray input = QByteArray::fromRawData(reinterpret_cast<const char*>(bytes), qsizetype(size));
    const std::optional<PlistValue> value = PropertyListSerialization::propertyListWithData(input);
    if (!value)
        return 0;
    const std::optional<QByteArray> written = PropertyListSerialization::dataWithPropertyList(*value, form);
    if (!written)
        return 0;
    const std::optional<PlistValue> reread = PropertyListSerialization::propertyListWithData(*written);
    if (!reread)
        std::abort();
    // Bytes rather than values are compared, since a NaN never equals itself.
    if (PropertyListSerialization::dataWithPropertyList(*reread, form) != written)
        std::abort();
    PropertyListSerialization::dataWithPropertyList(*value, other);
    return 0;
}
