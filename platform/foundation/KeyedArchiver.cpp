#include "platform/foundation/KeyedArchiver.h"

#include "platform/foundation/ArchiveObject.h"
#include "platform/foundation/PropertyListSerialization.h"

#include <QHash>

#include <bit>
#include <charconv>

namespace {

const QString kClassKey = QStringLiteral("$class");

// The platform writes colour components as ASCII decimal numbers, separated by spaces and ended
// by a NUL. We write the shortest form that reads back to the same double, so that a colour
// survives a round trip exactly; alpha is left out when it is 1, as the platform does.
QByteArray colorComponents(std::initializer_list<double> components, double alpha)
{
    QByteArray text;
    auto appendNumber = [&text](double value) {
        char buffer[32];
        const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
        if (!text.isEmpty())
            text.append(' ');
        text.append(buffer, result.ptr - buffer);
    };
    for (double component : components)
        appendNumber(component);
    if (alpha != 1)
        appendNumber(alpha);
    text.append('\0');
    return text;
}

// Builds the object table; each encode answers the UID of the value's entry.
class Encoder {
public:
    PlistArray objects{PlistValue(QStringLiteral("$null"))};

    PlistUid encode(const ArchiveValue& value)
    {
        switch (value.type()) {
        case ArchiveValue::Type::Nil:
            return PlistUid{0};
        case ArchiveValue::Type::String:
            return unique(m_strings, value.string(), [&] { return PlistValue(value.string()); });
        case ArchiveValue::Type::Integer:
            return unique(m_scalars, ScalarKey(0, quint64(value.integer())),
                          [&] { return PlistValue(value.integer()); });
        case ArchiveValue::Type::Real:
            return unique(m_scalars, ScalarKey(1, std::bit_cast<quint64>(value.real())),
                          [&] { return PlistValue(value.real()); });
        case ArchiveValue::Type::Boolean:
            return unique(m_scalars, ScalarKey(2, value.boolean()),
                          [&] { return PlistValue(value.boolean()); });
        case ArchiveValue::Type::Data:
            return unique(m_data, value.data(), [&] { return PlistValue(value.data()); });
        case ArchiveValue::Type::Date:
            return encodeDate(value.date());
        case ArchiveValue::Type::Array:
            return encodeArray(value.array());
        case ArchiveValue::Type::Dictionary:
            return encodeDictionary(value.dictionary());
        case ArchiveValue::Type::Color:
            return encodeColor(value.color());
        case ArchiveValue::Type::Object:
            return encodeObject(*value.object());
        }
        return PlistUid{0};
    }

private:
    using ScalarKey = QPair<int, quint64>;

    template <typename Key, typename Make>
    PlistUid unique(QHash<Key, quint64>& known, const Key& key, Make make)
    {
        const auto found = known.constFind(key);
        if (found != known.constEnd())
            return PlistUid{*found};
        const quint64 uid = append(make());
        known.insert(key, uid);
        return PlistUid{uid};
    }

    quint64 append(PlistValue value)
    {
        objects.push_back(std::move(value));
        return objects.size() - 1;
    }

    // An object takes its number before what it holds, so parents come first in the table.
    quint64 reserve() { return append(PlistValue()); }

    PlistUid finish(quint64 uid, PlistDictionary entry, const QString& className, const QStringList& classes)
    {
        entry.insert(kClassKey, classEntry(className, classes));
        objects[uid] = std::move(entry);
        return PlistUid{uid};
    }

    PlistUid finish(quint64 uid, PlistDictionary entry, const QString& className)
    {
        return finish(uid, std::move(entry), className, {className, QStringLiteral("NSObject")});
    }

    PlistUid classEntry(const QString& className, const QStringList& classes)
    {
        return unique(m_classes, className, [&] {
            PlistArray chain;
            for (const QString& name : classes)
                chain.emplace_back(name);
            PlistDictionary entry;
            entry.insert(QStringLiteral("$classname"), className);
            entry.insert(QStringLiteral("$classes"), std::move(chain));
            return PlistValue(std::move(entry));
        });
    }

    PlistArray encodeAll(const ArchiveArray& values)
    {
        PlistArray uids;
        uids.reserve(values.size());
        for (const ArchiveValue& value : values)
            uids.emplace_back(encode(value));
        return uids;
    }

    PlistUid encodeDate(PlistDate date)
    {
        const quint64 uid = reserve();
        PlistDictionary entry;
        entry.insert(QStringLiteral("NS.time"), date.secondsSinceReferenceDate);
        return finish(uid, std::move(entry), QStringLiteral("NSDate"));
    }

    PlistUid encodeArray(const ArchiveArray& array)
    {
        const quint64 uid = reserve();
        PlistDictionary entry;
        entry.insert(QStringLiteral("NS.objects"), encodeAll(array));
        return finish(uid, std::move(entry), QStringLiteral("NSArray"));
    }

    // All keys first, then all values, as the platform's dictionaries encode themselves.
    PlistUid encodeDictionary(const ArchiveDictionary& dictionary)
    {
        const quint64 uid = reserve();
        PlistArray keys;
        keys.reserve(size_t(dictionary.size()));
        for (const auto& entry : dictionary)
            keys.emplace_back(encode(entry.first));
        PlistArray values;
        values.reserve(size_t(dictionary.size()));
        for (const auto& entry : dictionary)
            values.emplace_back(encode(entry.second));
        PlistDictionary entry;
        entry.insert(QStringLiteral("NS.keys"), std::move(keys));
        entry.insert(QStringLiteral("NS.objects"), std::move(values));
        return finish(uid, std::move(entry), QStringLiteral("NSDictionary"));
    }

    PlistUid encodeColor(const ArchivedColor& color)
    {
        const quint64 uid = reserve();
        PlistDictionary entry;
        entry.insert(QStringLiteral("NSColorSpace"), int(color.space));
        if (color.isRGB())
            entry.insert(QStringLiteral("NSRGB"),
                         colorComponents({color.red, color.green, color.blue}, color.alpha));
        else
            entry.insert(QStringLiteral("NSWhite"), colorComponents({color.white}, color.alpha));
        return finish(uid, std::move(entry), QStringLiteral("NSColor"));
    }

    PlistUid encodeObject(const ArchiveObject& object)
    {
        const auto shared = m_shared.constFind(&object);
        if (shared != m_shared.constEnd())
            return PlistUid{*shared};
        // Known before its fields are encoded, so an object reachable from itself ends the walk.
        const quint64 uid = reserve();
        m_shared.insert(&object, uid);
        PlistDictionary entry;
        for (const ArchiveObject::Field& field : object.fields()) {
            if (field.isReference) {
                entry.insert(field.key, encode(field.value));
                continue;
            }
            std::optional<PlistValue> inlineValue = field.value.toPropertyList();
            entry.insert(field.key, inlineValue ? std::move(*inlineValue) : PlistValue(PlistUid{0}));
        }
        return finish(uid, std::move(entry), object.className(), object.classes());
    }

    QHash<QString, quint64> m_strings;
    QHash<ScalarKey, quint64> m_scalars;
    QHash<QByteArray, quint64> m_data;
    QHash<QString, quint64> m_classes;
    QHash<const ArchiveObject*, quint64> m_shared;
};

} // namespace

PlistValue KeyedArchiver::archivedPropertyList(const ArchiveValue& rootObject)
{
    Encoder encoder;
    const PlistUid root = encoder.encode(rootObject);

    PlistDictionary top;
    top.insert(QStringLiteral("root"), root);

    PlistDictionary archive;
    archive.insert(QStringLiteral("$archiver"), QStringLiteral("NSKeyedArchiver"));
    archive.insert(QStringLiteral("$objects"), std::move(encoder.objects));
    archive.insert(QStringLiteral("$top"), std::move(top));
    archive.insert(QStringLiteral("$version"), kArchiveVersion);
    return archive;
}

QByteArray KeyedArchiver::archivedData(const ArchiveValue& rootObject)
{
    // An archive's tree is a few levels deep and holds no null, so writing it cannot fail.
    return PropertyListSerialization::dataWithPropertyList(archivedPropertyList(rootObject),
                                                           PropertyListSerialization::Format::Binary)
        .value_or(QByteArray());
}
