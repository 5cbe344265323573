#pragma once

#include "platform/foundation/ArchivedColor.h"
#include "platform/foundation/PlistValue.h"

#include <QByteArray>
#include <QString>

#include <memory>
#include <optional>
#include <utility>
#include <variant>
#include <vector>

class ArchiveObject;
class ArchiveValue;

using ArchiveArray = std::vector<ArchiveValue>;

// A dictionary of an archive, with string keys kept in the order they were written so that
// equal dictionaries archive to equal bytes.
class ArchiveDictionary {
public:
    using Entry = std::pair<QString, ArchiveValue>;

    bool isEmpty() const;
    qsizetype size() const;
    bool contains(const QString& key) const { return find(key) != nullptr; }
    // nullptr when the key is absent.
    const ArchiveValue* find(const QString& key) const;
    // The value for key, or nil when absent.
    ArchiveValue value(const QString& key) const;
    // Replaces an existing key in place, otherwise appends it.
    void insert(const QString& key, ArchiveValue value);

    const std::vector<Entry>& entries() const { return m_entries; }
    std::vector<Entry>::const_iterator begin() const;
    std::vector<Entry>::const_iterator end() const;

    // A dictionary of entries as a reader finds them: a key that occurs again replaces the earlier
    // value in its place. Linear in the number of entries, however many repeat.
    static ArchiveDictionary fromEntries(std::vector<Entry> entries);

    // By content, whatever the order of the keys.
    bool operator==(const ArchiveDictionary& other) const;

private:
    std::vector<Entry> m_entries;
};

// One object of a keyed archive: nil, a string, a number (integer, real or boolean), data, a
// date, an array, a dictionary, a colour, or an object of one of the system's own classes.
// Strings, numbers and data are stored in the archive as they are; the others as objects of
// their class.
class ArchiveValue {
public:
    enum class Type { Nil, String, Integer, Real, Boolean, Data, Date, Array, Dictionary, Color, Object };

    ArchiveValue() = default;
    ArchiveValue(QString v) : m_value(std::move(v)) {}
    ArchiveValue(const char* v) : m_value(QString::fromUtf8(v)) {}
    ArchiveValue(qint64 v) : m_value(v) {}
    ArchiveValue(int v) : m_value(qint64(v)) {}
    ArchiveValue(double v) : m_value(v) {}
    ArchiveValue(bool v) : m_value(v) {}
    ArchiveValue(QByteArray v) : m_value(std::move(v)) {}
    ArchiveValue(PlistDate v) : m_value(v) {}
    ArchiveValue(ArchiveArray v) : m_value(std::move(v)) {}
    ArchiveValue(ArchiveDictionary v) : m_value(std::move(v)) {}
    ArchiveValue(ArchivedColor v) : m_value(v) {}
    ArchiveValue(ArchiveObject v);
    // The same shared object encoded twice is archived once and referenced twice.
    ArchiveValue(std::shared_ptr<const ArchiveObject> v);

    Type type() const { return Type(m_value.index()); }
    bool isNil() const { return type() == Type::Nil; }
    bool isString() const { return type() == Type::String; }
    bool isInteger() const { return type() == Type::Integer; }
    bool isReal() const { return type() == Type::Real; }
    bool isNumber() const { return isInteger() || isReal(); }
    bool isBoolean() const { return type() == Type::Boolean; }
    bool isData() const { return type() == Type::Data; }
    bool isDate() const { return type() == Type::Date; }
    bool isArray() const { return type() == Type::Array; }
    bool isDictionary() const { return type() == Type::Dictionary; }
    bool isColor() const { return type() == Type::Color; }
    bool isObject() const { return type() == Type::Object; }

    // Typed access; each answers an empty value of its type when the value is of another type.
    QString string() const;
    qint64 integer() const;
    double real() const;
    bool boolean() const;
    QByteArray data() const;
    PlistDate date() const;
    const ArchiveArray& array() const;
    const ArchiveDictionary& dictionary() const;
    ArchivedColor color() const;
    // nullptr unless the value is an object of one of the system's own classes.
    const ArchiveObject* object() const;
    std::shared_ptr<const ArchiveObject> sharedObject() const;
    // A number as a double, whichever way it is stored.
    double toDouble() const;

    // Plain property-list values as archive objects: a dictionary becomes a dictionary object, and
    // so on. Nothing for a value an archive cannot hold as an object (a UID or null, at any depth).
    static std::optional<ArchiveValue> fromPropertyList(const PlistValue& value);
    // The reverse; nothing when a nil, a colour or an object of the system's classes is inside.
    std::optional<PlistValue> toPropertyList() const;

    // Objects of the system's classes compare by content.
    bool operator==(const ArchiveValue& other) const;

private:
    std::variant<std::monostate, QString, qint64, double, bool, QByteArray, PlistDate, ArchiveArray,
                 ArchiveDictionary, ArchivedColor, std::shared_ptr<const ArchiveObject>>
        m_value;
};

// Defined once ArchiveValue is complete: clang instantiates these eagerly and needs the whole type.
inline bool ArchiveDictionary::isEmpty() const
{
    return m_entries.empty();
}

inline qsizetype ArchiveDictionary::size() const
{
    return qsizetype(m_entries.size());
}

inline std::vector<ArchiveDictionary::Entry>::const_iterator ArchiveDictionary::begin() const
{
    return m_entries.begin();
}

inline std::vector<ArchiveDictionary::Entry>::const_iterator ArchiveDictionary::end() const
{
    return m_entries.end();
}
