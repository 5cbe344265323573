#pragma once

#include <QByteArray>
#include <QHashFunctions>
#include <QString>

#include <cstdint>
#include <unordered_map>
#include <utility>
#include <variant>
#include <vector>

class PlistValue;

// A property-list dictionary that keeps its keys in the order they were written, so that
// what we write is deterministic and what we read is written back the same way.
class PlistDictionary {
public:
    using Entry = std::pair<QString, PlistValue>;

    bool isEmpty() const;
    qsizetype size() const;
    bool contains(const QString& key) const { return find(key) != nullptr; }
    // nullptr when the key is absent.
    const PlistValue* find(const QString& key) const;
    PlistValue* find(const QString& key);
    // The value for key, or a null value when absent.
    PlistValue value(const QString& key) const;
    // The value for key, appended as a null value when absent, for filling in place.
    PlistValue& operator[](const QString& key);
    // Replaces an existing key in place, otherwise appends it.
    void insert(const QString& key, PlistValue value);
    bool remove(const QString& key);
    void reserve(qsizetype size);

    const std::vector<Entry>& entries() const { return m_entries; }
    std::vector<Entry>::const_iterator begin() const;
    std::vector<Entry>::const_iterator end() const;

    bool operator==(const PlistDictionary& other) const;

private:
    void rebuildIndex();

    std::vector<Entry> m_entries;
    // Positions of the keys, kept only once a dictionary is large enough for a linear search to
    // cost more than hashing; readers of big or hostile files would otherwise go quadratic.
    std::unordered_map<QString, qsizetype> m_index;
};

using PlistArray = std::vector<PlistValue>;

// A reference to another object of a keyed archive.
struct PlistUid {
    quint64 value = 0;
    bool operator==(const PlistUid&) const = default;
};

// A date as the platform stores it: seconds since 2001-01-01 00:00:00 UTC.
struct PlistDate {
    double secondsSinceReferenceDate = 0;
    bool operator==(const PlistDate&) const = default;
};

// One property-list value: dictionary, array, string, integer, real, boolean, date, data or
// archive UID. A default-constructed value is null, which no property list can hold: readers
// use it for "absent".
class PlistValue {
public:
    enum class Type { Null, Dictionary, Array, String, Integer, Real, Boolean, Date, Data, Uid };

    PlistValue() = default;
    PlistValue(PlistDictionary v) : m_value(std::move(v)) {}
    PlistValue(PlistArray v) : m_value(std::move(v)) {}
    PlistValue(QString v) : m_value(std::move(v)) {}
    PlistValue(const char* v) : m_value(QString::fromUtf8(v)) {}
    PlistValue(qint64 v) : m_value(Integer{v, false}) {}
    PlistValue(int v) : m_value(Integer{v, false}) {}
    PlistValue(double v) : m_value(v) {}
    PlistValue(bool v) : m_value(v) {}
    PlistValue(PlistDate v) : m_value(v) {}
    PlistValue(QByteArray v) : m_value(std::move(v)) {}
    PlistValue(PlistUid v) : m_value(v) {}

    // Integers above the signed 64-bit range, as binary property lists may hold them.
    static PlistValue unsignedInteger(quint64 v);

    Type type() const { return Type(m_value.index()); }
    bool isNull() const { return type() == Type::Null; }
    bool isDictionary() const { return type() == Type::Dictionary; }
    bool isArray() const { return type() == Type::Array; }
    bool isString() const { return type() == Type::String; }
    bool isInteger() const { return type() == Type::Integer; }
    bool isReal() const { return type() == Type::Real; }
    bool isNumber() const { return isInteger() || isReal(); }
    bool isBoolean() const { return type() == Type::Boolean; }
    bool isDate() const { return type() == Type::Date; }
    bool isData() const { return type() == Type::Data; }
    bool isUid() const { return type() == Type::Uid; }

    // Typed access; each answers an empty value of its type when the value is of another type.
    const PlistDictionary& dictionary() const;
    PlistDictionary& dictionary();
    const PlistArray& array() const;
    PlistArray& array();
    QString string() const;
    qint64 integer() const;
    // True for an integer stored as unsigned above the signed range.
    bool isUnsignedInteger() const;
    quint64 unsignedValue() const;
    double real() const;
    bool boolean() const;
    PlistDate date() const;
    QByteArray data() const;
    PlistUid uid() const;

    // A number as a double, whichever way it is stored.
    double toDouble() const;

    bool operator==(const PlistValue& other) const;

private:
    struct Integer {
        qint64 bits = 0;
        bool isUnsigned = false;
        bool operator==(const Integer&) const = default;
    };

    std::variant<std::monostate, PlistDictionary, PlistArray, QString, Integer, double, bool, PlistDate,
                 QByteArray, PlistUid>
        m_value;
};

// Defined once PlistValue is complete: clang instantiates these eagerly and needs the whole type.
inline bool PlistDictionary::isEmpty() const
{
    return m_entries.empty();
}

inline qsizetype PlistDictionary::size() const
{
    return qsizetype(m_entries.size());
}

inline std::vector<PlistDictionary::Entry>::const_iterator PlistDictionary::begin() const
{
    return m_entries.begin();
}

inline std::vector<PlistDictionary::Entry>::const_iterator PlistDictionary::end() const
{
    return m_entries.end();
}
