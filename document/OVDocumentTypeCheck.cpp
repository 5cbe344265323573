#include "document/OVDocumentTypeCheck.h"

#include "document/OVDocumentPackageConstants.h"
#include "document/OVLoadedDocumentInfo.h"
#include "platform/foundation/GeometryStrings.h"
#include "platform/text/Color.h"
#include "platform/text/DocumentAttributes.h"

#include <QDateTime>
#include <QStringList>

namespace {

QString className(OVPlistClass kind)
{
    switch (kind) {
    case OVPlistClass::AttributedString:
        return QStringLiteral("NSAttributedString");
    case OVPlistClass::Array:
        return QStringLiteral("NSArray");
    case OVPlistClass::Dictionary:
        return QStringLiteral("NSDictionary");
    case OVPlistClass::String:
        return QStringLiteral("NSString");
    case OVPlistClass::Number:
        return QStringLiteral("NSNumber");
    case OVPlistClass::Date:
        return QStringLiteral("NSDate");
    case OVPlistClass::Data:
        return QStringLiteral("NSData");
    case OVPlistClass::Color:
        return QStringLiteral("NSColor");
    }
    return QString();
}

std::optional<OVPlistClass> classOf(const PlistValue& value)
{
    switch (value.type()) {
    case PlistValue::Type::Dictionary:
        return OVPlistClass::Dictionary;
    case PlistValue::Type::Array:
        return OVPlistClass::Array;
    case PlistValue::Type::String:
        return OVPlistClass::String;
    case PlistValue::Type::Integer:
    case PlistValue::Type::Real:
    case PlistValue::Type::Boolean:
        return OVPlistClass::Number;
    case PlistValue::Type::Date:
        return OVPlistClass::Date;
    case PlistValue::Type::Data:
        return OVPlistClass::Data;
    case PlistValue::Type::Null:
    case PlistValue::Type::Uid:
        break;
    }
    return std::nullopt;
}

// nullopt with a name for values no check can accept.
std::optional<OVPlistClass> classOf(const QVariant& value, QString* otherName)
{
    const QMetaType type = value.metaType();
    if (type == QMetaType::fromType<PlistValue>()) {
        const PlistValue plist = value.value<PlistValue>();
        if (plist.isUid())
            *otherName = QStringLiteral("CFKeyedArchiverUID");
        return classOf(plist);
    }
    if (type == QMetaType::fromType<Color>())
        return OVPlistClass::Color;
    if (type == QMetaType::fromType<QString>())
        return OVPlistClass::String;
    if (type == QMetaType::fromType<QStringList>() || type == QMetaType::fromType<QVariantList>())
        return OVPlistClass::Array;
    if (type == QMetaType::fromType<QVariantMap>())
        return OVPlistClass::Dictionary;
    if (type == QMetaType::fromType<QDateTime>())
        return OVPlistClass::Date;
    if (type == QMetaType::fromType<QByteArray>())
        return OVPlistClass::Data;
    switch (type.id()) {
    case QMetaType::Bool:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Double:
    case QMetaType::Float:
        return OVPlistClass::Number;
    default:
        break;
    }
    *otherName = type.isValid() ? QStringLiteral("NSValue") : QStringLiteral("NSNull");
    return std::nullopt;
}

bool failCheck(const QString& key, OVPlistClass expected, const QString& actual, const QUrl& fileURL,
               Error* error)
{
    qWarning("%s",
             qUtf8Printable(
                 QStringLiteral("Error: `%1` should be %2 but is %3").arg(key, className(expected), actual)));
    setError(error, Error::cocoa(kFileReadCorruptFileError, fileURL));
    return false;
}

bool checkKey(const OVLoadedDocumentInfo& info, const QString& key, OVPlistClass kind, const QUrl& fileURL,
              Error* error)
{
    const auto it = info.values.constFind(key);
    if (it == info.values.constEnd())
        return true;
    return _isPlistObject(it.value(), kind, key, fileURL, error);
}

bool checkStringArray(const PlistDictionary& dictionary, const QString& key, const QUrl& fileURL,
                      Error* error)
{
    const PlistValue* value = dictionary.find(key);
    if (!value)
        return true;
    if (!_isPlistObject(*value, OVPlistClass::Array, key, fileURL, error))
        return false;
    const QString itemKey = QStringLiteral("%1 Item").arg(key);
    for (const PlistValue& item : value->array())
        if (!_isPlistObject(item, OVPlistClass::String, itemKey, fileURL, error))
            return false;
    return true;
}

// The extended properties are not needed to show the text, but whatever is kept of them is written
// back on every save: one of the wrong type is dropped, with the check's log line, instead of failing
// the read or being carried on.
void dropMistypedExtendedProperties(OVLoadedDocumentInfo& info, const QUrl& fileURL)
{
    PlistDictionary extended = info.extendedMetadata();
    bool dropped = false;
    const auto drop = [&](const QString& key) {
        extended.remove(key);
        dropped = true;
    };
    Error ignored;
    for (const QString* key : {&OVDocumentPropertiesExtendedMetadataDirectorKey,
                               &OVDocumentPropertiesExtendedMetadataProducerKey}) {
        if (!_isPlistObject(extended.value(*key), OVPlistClass::String, *key, fileURL, &ignored))
            drop(*key);
    }
    const QString& performers = OVDocumentPropertiesExtendedMetadataPerformersKey;
    if (!checkStringArray(extended, performers, fileURL, &ignored))
        drop(performers);
    if (dropped)
        info.values.insert(OVDocumentExtendedMetadataKey,
                           QVariant::fromValue(PlistValue(std::move(extended))));
}

} // namespace

bool _isPlistObject(const PlistValue& object, OVPlistClass kindOfClass, const QString& plistKey,
                    const QUrl& fileURL, Error* error)
{
    if (object.isNull())
        return true;
    const auto actual = classOf(object);
    if (actual == kindOfClass)
        return true;
    return failCheck(plistKey, kindOfClass,
                     actual ? className(*actual) : QStringLiteral("CFKeyedArchiverUID"), fileURL, error);
}

bool _isPlistObject(const QVariant& object, OVPlistClass kindOfClass, const QString& plistKey,
                    const QUrl& fileURL, Error* error)
{
    if (!object.isValid())
        return true;
    if (object.metaType() == QMetaType::fromType<PlistValue>())
        return _isPlistObject(object.value<PlistValue>(), kindOfClass, plistKey, fileURL, error);
    QString otherName;
    const auto actual = classOf(object, &otherName);
    if (actual == kindOfClass)
        return true;
    return failCheck(plistKey, kindOfClass, actual ? className(*actual) : otherName, fileURL, error);
}

bool checkLoadedDocumentInfo(OVLoadedDocumentInfo& info, const QUrl& fileURL, Error* error)
{
    static const std::pair<const QString*, OVPlistClass> kTable[] = {
        {&OVDocumentPrompterSelectedRangesKey, OVPlistClass::Array},
        {&OVDocumentPrompterSpeedKey, OVPlistClass::Number},
        {&OVDocumentPrompterScrollbarPositionKey, OVPlistClass::Number},
        {&NSBackgroundColorDocumentAttribute, OVPlistClass::Color},
        {&OVDocumentWindowFrameKey, OVPlistClass::String},
        {&NSAuthorDocumentAttribute, OVPlistClass::String},
        {&NSCompanyDocumentAttribute, OVPlistClass::String},
        {&NSCopyrightDocumentAttribute, OVPlistClass::String},
        {&NSSubjectDocumentAttribute, OVPlistClass::String},
        {&NSCommentDocumentAttribute, OVPlistClass::String},
        {&NSKeywordsDocumentAttribute, OVPlistClass::Array},
        {&NSTitleDocumentAttribute, OVPlistClass::String},
        {&NSEditorDocumentAttribute, OVPlistClass::String},
        {&NSCreationTimeDocumentAttribute, OVPlistClass::Date},
        {&NSModificationTimeDocumentAttribute, OVPlistClass::Date},
        {&OVDocumentExtendedMetadataKey, OVPlistClass::Dictionary},
        {&OVDocumentFileFormatNumberKey, OVPlistClass::Number},
        {&OVDocumentAppBuildNumber, OVPlistClass::Number},
        {&OVDocumentSystemVersionKey, OVPlistClass::String},
        {&OVDocumentAppVersionKey, OVPlistClass::String},
    };
    // The text is held apart from the other values, so only a foreign value under its key is checked.
    if (!checkKey(info, OVDocumentPrompterContentKey, OVPlistClass::AttributedString, fileURL, error))
        return false;
    for (const auto& [key, kind] : kTable)
        if (!checkKey(info, *key, kind, fileURL, error))
            return false;

    const qsizetype length = info.content ? info.content->length() : 0;
    PlistArray kept;
    const QString itemKey = QStringLiteral("%1 Item").arg(OVDocumentPrompterSelectedRangesKey);
    const PlistValue selected = info.propertyListValue(OVDocumentPrompterSelectedRangesKey);
    for (const PlistValue& item : selected.array()) {
        if (!_isPlistObject(item, OVPlistClass::String, itemKey, fileURL, error))
            return false;
        const Range range = rangeFromString(item.string());
        // Range saturates instead of overflowing, so a huge location or length cannot wrap into the text.
        if (!range.isWithinLength(length)) {
            qWarning("%s", qUtf8Printable(QStringLiteral("range %1 is not within the document length %2")
                                              .arg(stringFromRange(range))
                                              .arg(length)));
            continue;
        }
        kept.push_back(item);
    }
    info.values.insert(OVDocumentPrompterSelectedRangesKey, QVariant::fromValue(PlistValue(std::move(kept))));

    const PlistDictionary extended = info.extendedMetadata();
    if (!checkStringArray(extended, OVDocumentPropertiesExtendedMetadataAttachmentNamesKey, fileURL, error) ||
        !checkStringArray(extended, OVDocumentPropertiesExtendedMetadataBookmarkNamesKey, fileURL, error))
        return false;
    dropMistypedExtendedProperties(info, fileURL);
    return true;
}
