#include "platform/foundation/PlistValue.h"

#include <limits>

namespace {

constexpr qsizetype kIndexThreshold = 16;

} // namespace

const PlistValue* PlistDictionary::find(const QString& key) const
{
    if (!m_index.empty()) {
        const auto it = m_index.find(key);
        return it == m_index.end() ? nullptr : &m_entries[size_t(it->second)].second;
    }
    for (const Entry& entry : m_entries) {
        if (entry.first == key)
            return &entry.second;
    }
    return nullptr;
}

PlistValue* PlistDictionary::find(const QString& key)
{
    if (!m_index.empty()) {
        const auto it = m_index.find(key);
        return it == m_index.end() ? nullptr : &m_entries[size_t(it->second)].second;
    }
    for (Entry& entry : m_entries) {
        if (entry.first == key)
            return &entry.second;
    }
    return nullptr;
}

PlistValue PlistDictionary::value(const QString& key) const
{
    const PlistValue* found = find(key);
    return found ? *found : PlistValue();
}

void PlistDictionary::insert(const QString& key, PlistValue value)
{
    (*this)[key] = std::move(value);
}

PlistValue& PlistDictionary::operator[](const QString& key)
{
    if (PlistValue* existing = find(key))
        return *existing;
    m_entries.emplace_back(key, PlistValue());
    if (!m_index.empty())
        m_index.emplace(key, size() - 1);
    else if (size() > kIndexThreshold)
        rebuildIndex();
    return m_entries.back().second;
}

void PlistDictionary::reserve(qsizetype size)
{
    m_entries.reserve(size_t(size));
}

void PlistDictionary::rebuildIndex()
{
    m_index.clear();
    if (size() <= kIndexThreshold)
        return;
    m_index.reserve(size_t(size()));
    for (qsizetype i = 0; i < size(); ++i)
        m_index.emplace(m_entries[size_t(i)].first, i);
}

bool PlistDictionary::remove(const QString& key)
{
    for (auto it = m_entries.begin(); it != m_entries.end(); ++it) {
        if (it->first == key) {
            m_entries.erase(it);
            if (!m_index.empty())
                rebuildIndex();
            return true;
        }
    }
    return false;
}

// Dictionaries compare as the platform's do: by content, whatever the order of their keys.
bool PlistDictionary::operator==(const PlistDictionary& other) const
{
    if (m_entries.size() != other.m_entries.size())
        return false;
    for (const Entry& entry : m_entries) {
        const PlistValue* theirs = other.find(entry.first);
        if (!theirs || !(*theirs == entry.second))
            return false;
    }
    return true;
}

PlistValue PlistValue::unsignedInteger(quint64 v)
{
    PlistValue value;
    value.m_value = Integer{qint64(v), v > quint64(std::numeric_limits<qint64>::max())};
    return value;
}

const PlistDictionary& PlistValue::dictionary() const
{
    static const PlistDictionary empty;
    const auto* v = std::get_if<PlistDictionary>(&m_value);
    return v ? *v : empty;
}

PlistDictionary& PlistValue::dictionary()
{
    if (!isDictionary())
        m_value = PlistDictionary();
    return std::get<PlistDictionary>(m_value);
}

const PlistArray& PlistValue::array() const
{
    static const PlistArray empty;
    const auto* v = std::get_if<PlistArray>(&m_value);
    return v ? *v : empty;
}

PlistArray& PlistValue::array()
{
    if (!isArray())
        m_value = PlistArray();
    return std::get<PlistArray>(m_value);
}

QString PlistValue::string() const
{
    const auto* v = std::get_if<QString>(&m_value);
    return v ? *v : QString();
}

qint64 PlistValue::integer() const
{
    const auto* v = std::get_if<Integer>(&m_value);
    return v ? v->bits : 0;
}

bool PlistValue::isUnsignedInteger() const
{
    const auto* v = std::get_if<Integer>(&m_value);
    return v && v->isUnsigned;
}

quint64 PlistValue::unsignedValue() const
{
    const auto* v = std::get_if<Integer>(&m_value);
    return v ? quint64(v->bits) : 0;
}

double PlistValue::real() const
{
    const auto* v = std::get_if<double>(&m_value);
    return v ? *v : 0.0;
}

bool PlistValue::boolean() const
{
    const auto* v = std::get_if<bool>(&m_value);
    return v ? *v : false;
}

PlistDate PlistValue::date() const
{
    const auto* v = std::get_if<PlistDate>(&m_value);
    return v ? *v : PlistDate();
}

QByteArray PlistValue::data() const
{
    const auto* v = std::get_if<QByteArray>(&m_value);
    return v ? *v : QByteArray();
}

PlistUid PlistValue::uid() const
{
    const auto* v = std::get_if<PlistUid>(&m_value);
    return v ? *v : PlistUid();
}

double PlistValue::toDouble() const
{
    if (const auto* v = std::get_if<Integer>(&m_value))
        return v->isUnsigned ? double(quint64(v->bits)) : double(v->bits);
    return real();
}

bool PlistValue::operator==(const PlistValue& other) const
{
    return m_value == other.m_value;
}
