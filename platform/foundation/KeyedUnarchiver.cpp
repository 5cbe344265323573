#include "platform/foundation/KeyedUnarchiver.h"

#include "platform/foundation/ArchiveObject.h"
#include "platform/foundation/PropertyListSerialization.h"

#include <QHashFunctions>

#include <unordered_map>

#include <charconv>
#include <cmath>

namespace {

const QString kClassKey = QStringLiteral("$class");
const QString kCorruptDescription =
    QStringLiteral("The data couldn’t be read because it isn’t in the correct format.");

QString typeName(const PlistValue& value)
{
    switch (value.type()) {
    case PlistValue::Type::Null:
        return QStringLiteral("nothing");
    case PlistValue::Type::Dictionary:
        return QStringLiteral("a dictionary");
    case PlistValue::Type::Array:
        return QStringLiteral("an array");
    case PlistValue::Type::String:
        return QStringLiteral("a string");
    case PlistValue::Type::Integer:
        return QStringLiteral("an integer");
    case PlistValue::Type::Real:
        return QStringLiteral("a real");
    case PlistValue::Type::Boolean:
        return QStringLiteral("a boolean");
    case PlistValue::Type::Date:
        return QStringLiteral("a date");
    case PlistValue::Type::Data:
        return QStringLiteral("data");
    case PlistValue::Type::Uid:
        return QStringLiteral("a reference");
    }
    return QString();
}

bool isInlineScalar(const PlistValue& value)
{
    return value.isNumber() || value.isBoolean() || value.isData();
}

ArchiveValue scalarValue(const PlistValue& value)
{
    switch (value.type()) {
    case PlistValue::Type::String:
        return value.string();
    case PlistValue::Type::Integer:
        // Archives hold signed integers; the few above that range keep their magnitude.
        if (value.isUnsignedInteger())
            return double(value.unsignedValue());
        return value.integer();
    case PlistValue::Type::Real:
        return value.real();
    case PlistValue::Type::Boolean:
        return value.boolean();
    case PlistValue::Type::Date:
        return value.date();
    case PlistValue::Type::Data:
        return value.data();
    default:
        return ArchiveValue();
    }
}

// Colour components: ASCII decimal numbers separated by blanks, up to a NUL or the end.
std::optional<std::vector<double>> parseComponents(const QByteArray& bytes)
{
    const qsizetype end = bytes.indexOf('\0') < 0 ? bytes.size() : bytes.indexOf('\0');
    const char* p = bytes.constData();
    const char* const last = p + end;
    std::vector<double> components;
    while (p < last) {
        if (*p == ' ' || *p == '\t' || *p == '\n' || *p == '\r') {
            ++p;
            continue;
        }
        // A colour has at most four components; more is not a colour.
        if (components.size() == 4)
            return std::nullopt;
        double value = 0;
        const auto result = std::from_chars(p, last, value);
        if (result.ec != std::errc() || !std::isfinite(value))
            return std::nullopt;
        p = result.ptr;
        if (p < last && *p != ' ' && *p != '\t' && *p != '\n' && *p != '\r')
            return std::nullopt;
        components.push_back(value);
    }
    return components;
}

struct ClassInfo {
    QString name;
    QStringList classes;
};

// Walks the object table from the root, one reference at a time, refusing what it must.
class Decoder {
public:
    Decoder(const PlistArray& objects, const QSet<QString>& allowedClasses, Error* error)
        : m_objects(objects), m_allowedClasses(allowedClasses), m_error(error),
          m_onPath(objects.size(), false)
    {
    }

    // what names the reference in a failure reason ("An element", "\"name\""); owner is the
    // object holding it, 0 for the root. The reason is only built when it is needed.
    std::optional<ArchiveValue> decodeReference(const PlistValue& reference, QLatin1StringView what,
                                                quint64 owner)
    {
        if (!reference.isUid()) {
            const QString where =
                owner ? QStringLiteral("%1 of object %2").arg(what).arg(owner) : QString(what);
            return fail(QStringLiteral("%1 is %2, not a reference.").arg(where, typeName(reference)));
        }
        return decodeUid(reference.uid().value);
    }

    std::optional<ArchiveValue> fail(const QString& reason)
    {
        QVariantMap info;
        info.insert(kLocalizedDescriptionKey, kCorruptDescription);
        info.insert(kLocalizedFailureReasonErrorKey, reason);
        setError(m_error, Error(kCocoaErrorDomain, kCoderReadCorruptError, info));
        return std::nullopt;
    }

private:
    bool spend(qsizetype count)
    {
        m_spent += count;
        return m_spent <= KeyedUnarchiver::kMaxDecodedValues;
    }

    std::optional<ArchiveValue> decodeUid(quint64 uid)
    {
        if (uid == 0)
            return ArchiveValue();
        if (uid >= m_objects.size())
            return fail(QStringLiteral("Reference %1 is past the %2 objects of the archive.")
                            .arg(uid)
                            .arg(m_objects.size()));
        if (m_onPath[uid])
            return fail(QStringLiteral("Object %1 contains itself.").arg(uid));
        if (!spend(1))
            return fail(QStringLiteral("The archive holds more than %1 values.")
                            .arg(KeyedUnarchiver::kMaxDecodedValues));
        if (m_depth >= KeyedUnarchiver::kMaxDepth)
            return fail(QStringLiteral("Objects are nested deeper than %1.").arg(KeyedUnarchiver::kMaxDepth));

        const PlistValue& entry = m_objects[uid];
        if (entry.isDictionary()) {
            m_onPath[uid] = true;
            ++m_depth;
            std::optional<ArchiveValue> value = decodeInstance(entry.dictionary(), uid);
            --m_depth;
            m_onPath[uid] = false;
            return value;
        }
        if (entry.isArray() || entry.isUid() || entry.isNull())
            return fail(QStringLiteral("Object %1 is %2.").arg(uid).arg(typeName(entry)));
        return scalarValue(entry);
    }

    // A copy: the cache may grow, and move its entries, while the object is read.
    std::optional<ClassInfo> classInfo(const PlistValue& reference, quint64 uid)
    {
        if (!reference.isUid() || reference.uid().value == 0 || reference.uid().value >= m_objects.size()) {
            fail(QStringLiteral("Object %1 has no valid class reference.").arg(uid));
            return std::nullopt;
        }
        const quint64 classUid = reference.uid().value;
        const auto cached = m_classes.find(classUid);
        if (cached != m_classes.end())
            return cached->second;

        const PlistValue& entry = m_objects[classUid];
        const PlistValue* name = entry.dictionary().find(QStringLiteral("$classname"));
        if (!entry.isDictionary() || !name || !name->isString()) {
            fail(QStringLiteral("Class entry %1 has no class name.").arg(classUid));
            return std::nullopt;
        }
        ClassInfo info{name->string(), {}};
        if (const PlistValue* chain = entry.dictionary().find(QStringLiteral("$classes"))) {
            if (!chain->isArray()) {
                fail(QStringLiteral("Class entry %1 lists its classes as %2.")
                         .arg(classUid)
                         .arg(typeName(*chain)));
                return std::nullopt;
            }
            for (const PlistValue& item : chain->array()) {
                if (!item.isString()) {
                    fail(QStringLiteral("Class entry %1 lists %2 among its classes.")
                             .arg(classUid)
                             .arg(typeName(item)));
                    return std::nullopt;
                }
                info.classes.append(item.string());
            }
        }
        if (info.classes.isEmpty())
            info.classes.append(info.name);
        m_classes.emplace(classUid, info);
        return info;
    }

    std::optional<ArchiveValue> decodeInstance(const PlistDictionary& entry, quint64 uid)
    {
        // Reading an entry costs its size each time it is referenced, which keeps an entry of many
        // keys referenced many times within the limit too.
        if (!spend(entry.size()))
            return fail(QStringLiteral("The archive holds more than %1 values.")
                            .arg(KeyedUnarchiver::kMaxDecodedValues));
        const PlistValue* classReference = entry.find(kClassKey);
        if (!classReference)
            return fail(QStringLiteral("Object %1 has no class.").arg(uid));
        const std::optional<ClassInfo> info = classInfo(*classReference, uid);
        if (!info)
            return std::nullopt;
        const QString& name = info->name;
        if (!m_allowedClasses.contains(name))
            return fail(QStringLiteral("Class %1 of object %2 is not allowed here.").arg(name).arg(uid));

        if (name == QLatin1String("NSArray") || name == QLatin1String("NSMutableArray"))
            return decodeArray(entry, uid);
        if (name == QLatin1String("NSDictionary") || name == QLatin1String("NSMutableDictionary"))
            return decodeDictionary(entry, uid);
        if (name == QLatin1String("NSString") || name == QLatin1String("NSMutableString"))
            return decodeWrapped(entry, uid, QStringLiteral("NS.string"), &PlistValue::isString);
        if (name == QLatin1String("NSData") || name == QLatin1String("NSMutableData"))
            return decodeWrapped(entry, uid, QStringLiteral("NS.data"), &PlistValue::isData);
        if (name == QLatin1String("NSDate"))
            return decodeDate(entry, uid);
        if (name == QLatin1String("NSColor"))
            return decodeColor(entry, uid);
        return decodeObject(entry, uid, *info);
    }

    const PlistArray* referenceList(const PlistDictionary& entry, quint64 uid, const QString& key)
    {
        const PlistValue* list = entry.find(key);
        if (!list || !list->isArray()) {
            fail(QStringLiteral("Object %1 has %2 under \"%3\", not an array.")
                     .arg(uid)
                     .arg(list ? typeName(*list) : QStringLiteral("nothing"), key));
            return nullptr;
        }
        return &list->array();
    }

    std::optional<ArchiveValue> decodeArray(const PlistDictionary& entry, quint64 uid)
    {
        const PlistArray* references = referenceList(entry, uid, QStringLiteral("NS.objects"));
        if (!references)
            return std::nullopt;
        ArchiveArray array;
        for (const PlistValue& reference : *references) {
            std::optional<ArchiveValue> item =
                decodeReference(reference, QLatin1StringView("An element"), uid);
            if (!item)
                return std::nullopt;
            array.push_back(std::move(*item));
        }
        return ArchiveValue(std::move(array));
    }

    std::optional<ArchiveValue> decodeDictionary(const PlistDictionary& entry, quint64 uid)
    {
        const PlistArray* keys = referenceList(entry, uid, QStringLiteral("NS.keys"));
        const PlistArray* values = keys ? referenceList(entry, uid, QStringLiteral("NS.objects")) : nullptr;
        if (!values)
            return std::nullopt;
        if (keys->size() != values->size())
            return fail(QStringLiteral("Dictionary %1 has %2 keys but %3 values.")
                            .arg(uid)
                            .arg(keys->size())
                            .arg(values->size()));
        std::vector<ArchiveDictionary::Entry> entries;
        for (size_t i = 0; i < keys->size(); ++i) {
            std::optional<ArchiveValue> key = decodeReference((*keys)[i], QLatin1StringView("A key"), uid);
            if (!key)
                return std::nullopt;
            if (!key->isString())
                return fail(QStringLiteral("A key of dictionary %1 is not a string.").arg(uid));
            std::optional<ArchiveValue> value =
                decodeReference((*values)[i], QLatin1StringView("A value"), uid);
            if (!value)
                return std::nullopt;
            entries.emplace_back(key->string(), std::move(*value));
        }
        return ArchiveValue(ArchiveDictionary::fromEntries(std::move(entries)));
    }

    // The mutable string and data forms keep their contents under one key, inline or referenced.
    std::optional<ArchiveValue> decodeWrapped(const PlistDictionary& entry, quint64 uid, const QString& key,
                                              bool (PlistValue::*isExpected)() const)
    {
        const PlistValue* contents = entry.find(key);
        if (contents && (contents->*isExpected)())
            return scalarValue(*contents);
        if (contents && contents->isUid()) {
            std::optional<ArchiveValue> value =
                decodeReference(*contents, QLatin1StringView("The contents"), uid);
            if (!value)
                return std::nullopt;
            std::optional<PlistValue> plain = value->toPropertyList();
            if (plain && ((*plain).*isExpected)())
                return value;
        }
        return fail(QStringLiteral("Object %1 has no valid \"%2\".").arg(uid).arg(key));
    }

    std::optional<ArchiveValue> decodeDate(const PlistDictionary& entry, quint64 uid)
    {
        const PlistValue* time = entry.find(QStringLiteral("NS.time"));
        if (!time || !time->isNumber() || !std::isfinite(time->toDouble()))
            return fail(QStringLiteral("Date %1 has no valid \"NS.time\".").arg(uid));
        return ArchiveValue(PlistDate{time->toDouble()});
    }

    std::optional<ArchiveValue> decodeColor(const PlistDictionary& entry, quint64 uid)
    {
        const PlistValue* space = entry.find(QStringLiteral("NSColorSpace"));
        if (!space || !space->isInteger())
            return fail(QStringLiteral("Colour %1 has no colour space.").arg(uid));
        const qint64 spaceNumber = space->integer();
        // A catalogue colour carries its equivalent in a plain space, which is what we can use.
        if (spaceNumber == 6) {
            const PlistValue* fallback = entry.find(QStringLiteral("NSColor"));
            if (!fallback)
                return fail(QStringLiteral("Named colour %1 has no equivalent colour.").arg(uid));
            std::optional<ArchiveValue> color =
                decodeReference(*fallback, QLatin1StringView("The equivalent colour"), uid);
            if (color && !color->isColor())
                return fail(QStringLiteral("The equivalent of colour %1 is not a colour.").arg(uid));
            return color;
        }
        if (spaceNumber < 1 || spaceNumber > 4)
            return fail(QStringLiteral("Colour %1 is in colour space %2, which cannot be read.")
                            .arg(uid)
                            .arg(spaceNumber));

        const auto colorSpace = ArchivedColor::Space(spaceNumber);
        const bool isRGB = colorSpace == ArchivedColor::Space::CalibratedRGB ||
                           colorSpace == ArchivedColor::Space::DeviceRGB;
        const QString key = isRGB ? QStringLiteral("NSRGB") : QStringLiteral("NSWhite");
        const PlistValue* bytes = entry.find(key);
        const std::optional<std::vector<double>> components =
            bytes && bytes->isData() ? parseComponents(bytes->data()) : std::nullopt;
        const size_t needed = isRGB ? 3 : 1;
        if (!components || components->size() < needed || components->size() > needed + 1)
            return fail(QStringLiteral("Colour %1 has no valid \"%2\".").arg(uid).arg(key));
        const std::vector<double>& c = *components;
        const double alpha = c.size() > needed ? c[needed] : 1.0;
        if (isRGB)
            return ArchiveValue(ArchivedColor::rgb(c[0], c[1], c[2], alpha, colorSpace));
        return ArchiveValue(ArchivedColor::grey(c[0], alpha, colorSpace));
    }

    std::optional<ArchiveValue> decodeObject(const PlistDictionary& entry, quint64 uid, const ClassInfo& info)
    {
        std::vector<ArchiveObject::Field> fields;
        fields.reserve(size_t(entry.size()));
        for (const auto& [key, value] : entry) {
            if (key == kClassKey)
                continue;
            if (value.isUid()) {
                std::optional<ArchiveValue> object =
                    decodeReference(value, QLatin1StringView("A field"), uid);
                if (!object)
                    return std::nullopt;
                fields.push_back(ArchiveObject::Field{key, std::move(*object), true});
                continue;
            }
            if (!isInlineScalar(value))
                return fail(
                    QStringLiteral("\"%1\" of object %2 is %3.").arg(key).arg(uid).arg(typeName(value)));
            fields.push_back(ArchiveObject::Field{key, scalarValue(value), false});
        }
        return ArchiveValue(ArchiveObject::fromFields(info.name, info.classes, std::move(fields)));
    }

    const PlistArray& m_objects;
    const QSet<QString>& m_allowedClasses;
    Error* m_error;
    std::vector<bool> m_onPath;
    std::unordered_map<quint64, ClassInfo> m_classes;
    int m_depth = 0;
    qsizetype m_spent = 0;
};

} // namespace

const QSet<QString>& KeyedUnarchiver::propertyListClasses()
{
    static const QSet<QString> classes{
        QStringLiteral("NSArray"),      QStringLiteral("NSMutableArray"),
        QStringLiteral("NSDictionary"), QStringLiteral("NSMutableDictionary"),
        QStringLiteral("NSString"),     QStringLiteral("NSMutableString"),
        QStringLiteral("NSData"),       QStringLiteral("NSMutableData"),
        QStringLiteral("NSDate"),
    };
    return classes;
}

std::optional<ArchiveValue> KeyedUnarchiver::unarchivedRootObject(const QByteArray& data,
                                                                  const QSet<QString>& allowedClasses,
                                                                  Error* error)
{
    Error plistError;
    const std::optional<PlistValue> archive =
        PropertyListSerialization::propertyListWithData(data, nullptr, &plistError);
    if (!archive) {
        QVariantMap info = plistError.userInfo();
        info.insert(kLocalizedDescriptionKey, kCorruptDescription);
        setError(error, Error(kCocoaErrorDomain, kCoderReadCorruptError, info));
        return std::nullopt;
    }
    return unarchivedRootObjectFromPropertyList(*archive, allowedClasses, error);
}

std::optional<ArchiveValue>
KeyedUnarchiver::unarchivedRootObjectFromPropertyList(const PlistValue& archive,
                                                      const QSet<QString>& allowedClasses, Error* error)
{
    static const PlistArray noObjects;
    const PlistDictionary& top = archive.dictionary();
    const PlistValue* objects = top.find(QStringLiteral("$objects"));
    Decoder decoder(objects && objects->isArray() && objects->array().size() <= size_t(kMaxObjects)
                        ? objects->array()
                        : noObjects,
                    allowedClasses, error);

    if (!archive.isDictionary())
        return decoder.fail(QStringLiteral("The archive is %1, not a dictionary.").arg(typeName(archive)));
    if (top.value(QStringLiteral("$archiver")) != PlistValue(QStringLiteral("NSKeyedArchiver")))
        return decoder.fail(QStringLiteral("The archive was not written by a keyed archiver."));
    if (top.value(QStringLiteral("$version")) != PlistValue(qint64(100000)))
        return decoder.fail(QStringLiteral("The archive's version is not 100000."));
    if (!objects || !objects->isArray())
        return decoder.fail(QStringLiteral("The archive has no object table."));
    if (objects->array().size() > size_t(kMaxObjects))
        return decoder.fail(QStringLiteral("The archive holds more than %1 objects.").arg(kMaxObjects));
    if (objects->array().empty() || objects->array().front() != PlistValue(QStringLiteral("$null")))
        return decoder.fail(QStringLiteral("The archive's object table does not begin with \"$null\"."));
    const PlistValue* topObjects = top.find(QStringLiteral("$top"));
    const PlistValue* root = topObjects ? topObjects->dictionary().find(QStringLiteral("root")) : nullptr;
    if (!root)
        return decoder.fail(QStringLiteral("The archive has no root object."));
    return decoder.decodeReference(*root, QLatin1StringView("The root"), 0);
}
