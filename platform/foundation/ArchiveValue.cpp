#include "platform/foundation/ArchiveValue.h"

#include "platform/foundation/ArchiveObject.h"

#include <QHashFunctions>

#include <unordered_map>

const ArchiveValue* ArchiveDictionary::find(const QString& key) const
{
    for (const Entry& entry : m_entries) {
        if (entry.first == key)
            return &entry.second;
    }
    return nullptr;
}

ArchiveValue ArchiveDictionary::value(const QString& key) const
{
    const ArchiveValue* found = find(key);
    return found ? *found : ArchiveValue();
}

void ArchiveDictionary::insert(const QString& key, ArchiveValue value)
{
    for (Entry& entry : m_entries) {
        if (entry.first == key) {
            entry.second = std::move(value);
            return;
        }
    }
    m_entries.emplace_back(key, std::move(value));
}

ArchiveDictionary ArchiveDictionary::fromEntries(std::vector<Entry> entries)
{
    ArchiveDictionary dictionary;
    std::unordered_map<QString, size_t> positions;
    positions.reserve(entries.size());
    dictionary.m_entries.reserve(entries.size());
    for (Entry& entry : entries) {
        const auto known = positions.find(entry.first);
        if (known != positions.end()) {
            dictionary.m_entries[known->second].second = std::move(entry.second);
            continue;
        }
        positions.emplace(entry.first, dictionary.m_entries.size());
        dictionary.m_entries.push_back(std::move(entry));
    }
    return dictionary;
}

bool ArchiveDictionary::operator==(const ArchiveDictionary& other) const
{
    if (m_entries.size() != other.m_entries.size())
        return false;
    for (const Entry& entry : m_entries) {
        const ArchiveValue* theirs = other.find(entry.first);
        if (!theirs || !(*theirs == entry.second))
            return false;
    }
    return true;
}

ArchiveValue::ArchiveValue(ArchiveObject v) : m_value(std::make_shared<const ArchiveObject>(std::move(v))) {}

ArchiveValue::ArchiveValue(std::shared_ptr<const ArchiveObject> v)
{
    if (v)
        m_value = std::move(v);
}

QString ArchiveValue::string() const
{
    const auto* v = std::get_if<QString>(&m_value);
    return v ? *v : QString();
}

qint64 ArchiveValue::integer() const
{
    const auto* v = std::get_if<qint64>(&m_value);
    return v ? *v : 0;
}

double ArchiveValue::real() const
{
    const auto* v = std::get_if<double>(&m_value);
    return v ? *v : 0.0;
}

bool ArchiveValue::boolean() const
{
    const auto* v = std::get_if<bool>(&m_value);
    return v ? *v : false;
}

QByteArray ArchiveValue::data() const
{
    const auto* v = std::get_if<QByteArray>(&m_value);
    return v ? *v : QByteArray();
}

PlistDate ArchiveValue::date() const
{
    const auto* v = std::get_if<PlistDate>(&m_value);
    return v ? *v : PlistDate();
}

const ArchiveArray& ArchiveValue::array() const
{
    static const ArchiveArray empty;
    const auto* v = std::get_if<ArchiveArray>(&m_value);
    return v ? *v : empty;
}

const ArchiveDictionary& ArchiveValue::dictionary() const
{
    static const ArchiveDictionary empty;
    const auto* v = std::get_if<ArchiveDictionary>(&m_value);
    return v ? *v : empty;
}

ArchivedColor ArchiveValue::color() const
{
    const auto* v = std::get_if<ArchivedColor>(&m_value);
    return v ? *v : ArchivedColor();
}

const ArchiveObject* ArchiveValue::object() const
{
    const auto* v = std::get_if<std::shared_ptr<const ArchiveObject>>(&m_value);
    return v ? v->get() : nullptr;
}

std::shared_ptr<const ArchiveObject> ArchiveValue::sharedObject() const
{
    const auto* v = std::get_if<std::shared_ptr<const ArchiveObject>>(&m_value);
    return v ? *v : nullptr;
}

double ArchiveValue::toDouble() const
{
    if (const auto* v = std::get_if<qint64>(&m_value))
        return double(*v);
    return real();
}

std::optional<ArchiveValue> ArchiveValue::fromPropertyList(const PlistValue& value)
{
    switch (value.type()) {
    case PlistValue::Type::Null:
    case PlistValue::Type::Uid:
        return std::nullopt;
    case PlistValue::Type::Dictionary: {
        std::vector<ArchiveDictionary::Entry> entries;
        entries.reserve(size_t(value.dictionary().size()));
        for (const auto& [key, item] : value.dictionary()) {
            std::optional<ArchiveValue> converted = fromPropertyList(item);
            if (!converted)
                return std::nullopt;
            entries.emplace_back(key, std::move(*converted));
        }
        return ArchiveDictionary::fromEntries(std::move(entries));
    }
    case PlistValue::Type::Array: {
        ArchiveArray array;
        array.reserve(value.array().size());
        for (const PlistValue& item : value.array()) {
            std::optional<ArchiveValue> converted = fromPropertyList(item);
            if (!converted)
                return std::nullopt;
            array.push_back(std::move(*converted));
        }
        return ArchiveValue(std::move(array));
    }
    case PlistValue::Type::String:
        return ArchiveValue(value.string());
    case PlistValue::Type::Integer:
        // Archives hold signed integers only; the few above that range keep their magnitude.
        if (value.isUnsignedInteger())
            return ArchiveValue(double(value.unsignedValue()));
        return ArchiveValue(value.integer());
    case PlistValue::Type::Real:
        return ArchiveValue(value.real());
    case PlistValue::Type::Boolean:
        return ArchiveValue(value.boolean());
    case PlistValue::Type::Date:
        return ArchiveValue(value.date());
    case PlistValue::Type::Data:
        return ArchiveValue(value.data());
    }
    return std::nullopt;
}

std::optional<PlistValue> ArchiveValue::toPropertyList() const
{
    switch (type()) {
    case Type::Nil:
    case Type::Color:
    case Type::Object:
        return std::nullopt;
    case Type::String:
        return PlistValue(string());
    case Type::Integer:
        return PlistValue(integer());
    case Type::Real:
        return PlistValue(real());
    case Type::Boolean:
        return PlistValue(boolean());
    case Type::Data:
        return PlistValue(data());
    case Type::Date:
        return PlistValue(date());
    case Type::Array: {
        PlistArray array;
        array.reserve(this->array().size());
        for (const ArchiveValue& item : this->array()) {
            std::optional<PlistValue> converted = item.toPropertyList();
            if (!converted)
                return std::nullopt;
            array.push_back(std::move(*converted));
        }
        return PlistValue(std::move(array));
    }
    case Type::Dictionary: {
        PlistDictionary dictionary;
        for (const auto& [key, item] : this->dictionary()) {
            std::optional<PlistValue> converted = item.toPropertyList();
            if (!converted)
                return std::nullopt;
            dictionary.insert(key, std::move(*converted));
        }
        return PlistValue(std::move(dictionary));
    }
    }
    return std::nullopt;
}

bool ArchiveValue::operator==(const ArchiveValue& other) const
{
    const ArchiveObject* mine = object();
    const ArchiveObject* theirs = other.object();
    if (mine || theirs)
        return mine && theirs && (mine == theirs || *mine == *theirs);
    return m_value == other.m_value;
}
