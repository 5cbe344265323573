#include "platform/foundation/PropertyListSerialization.h"

#include "platform/foundation/PlistBinary.h"
#include "platform/foundation/PlistXml.h"

namespace {

// Whitespace, a byte-order mark or a comment may come before the XML declaration.
bool looksLikeXml(const QByteArray& data)
{
    qsizetype at = data.startsWith("\xef\xbb\xbf") ? 3 : 0;
    while (at < data.size() && (data[at] == ' ' || data[at] == '\t' || data[at] == '\n' || data[at] == '\r'))
        ++at;
    return at < data.size() && data[at] == '<';
}

} // namespace

std::optional<PropertyListSerialization::Format>
PropertyListSerialization::detectFormat(const QByteArray& data)
{
    if (PlistBinary::hasMagic(data))
        return Format::Binary;
    if (looksLikeXml(data))
        return Format::Xml;
    return std::nullopt;
}

std::optional<PlistValue> PropertyListSerialization::propertyListWithData(const QByteArray& data,
                                                                          Format* format, Error* error)
{
    const std::optional<Format> detected = detectFormat(data);
    if (!detected) {
        const QString reason = data.startsWith("bplist")
                                   ? QStringLiteral("unsupported binary property list version")
                                   : QStringLiteral("data is not a property list");
        setError(error, Error::cocoa(kPropertyListReadCorruptError, {}, reason));
        return std::nullopt;
    }
    QString reason;
    std::optional<PlistValue> value =
        *detected == Format::Binary ? PlistBinary::read(data, &reason) : PlistXml::read(data, &reason);
    if (!value) {
        setError(error, Error::cocoa(kPropertyListReadCorruptError, {}, reason));
        return std::nullopt;
    }
    if (format)
        *format = *detected;
    return value;
}

std::optional<QByteArray> PropertyListSerialization::dataWithPropertyList(const PlistValue& value,
                                                                          Format format, Error* error)
{
    QString reason;
    std::optional<QByteArray> data =
        format == Format::Binary ? PlistBinary::write(value, &reason) : PlistXml::write(value, &reason);
    if (!data)
        setError(error, Error::cocoa(kPropertyListWriteInvalidError, {}, reason));
    return data;
}
