#include "platform/text/AttributeDictionary.h"

#include <algorithm>

namespace {

constexpr size_t kScannedEntries = 8;

const std::vector<AttributeDictionary::Entry>& emptyEntries()
{
    static const std::vector<AttributeDictionary::Entry> entries;
    return entries;
}

struct NameLess {
    bool operator()(const AttributeDictionary::Entry& entry, const QString& name) const
    {
        return entry.first < name;
    }
};

} // namespace

AttributeDictionary::AttributeDictionary(std::initializer_list<Entry> entries)
{
    for (const Entry& entry : entries)
        insert(entry.first, entry.second);
}

const AttributeValue* AttributeDictionary::find(const QString& name) const
{
    if (!m_entries)
        return nullptr;
    // Runs carry a handful of attributes, whose names mostly differ in length: a scan that
    // compares lengths first costs less than a binary search comparing each name it meets in full.
    if (m_entries->size() <= kScannedEntries) {
        for (const Entry& entry : *m_entries) {
            if (entry.first == name)
                return &entry.second;
        }
        return nullptr;
    }
    auto it = std::lower_bound(m_entries->begin(), m_entries->end(), name, NameLess());
    if (it == m_entries->end() || it->first != name)
        return nullptr;
    return &it->second;
}

AttributeValue AttributeDictionary::value(const QString& name) const
{
    const AttributeValue* value = find(name);
    return value ? *value : AttributeValue();
}

void AttributeDictionary::insert(const QString& name, AttributeValue value)
{
    if (value.isNull()) {
        remove(name);
        return;
    }
    if (const AttributeValue* existing = find(name); existing && *existing == value)
        return;
    std::vector<Entry>& entries = detach();
    auto it = std::lower_bound(entries.begin(), entries.end(), name, NameLess());
    if (it != entries.end() && it->first == name)
        it->second = std::move(value);
    else
        entries.insert(it, Entry(name, std::move(value)));
}

bool AttributeDictionary::remove(const QString& name)
{
    if (!contains(name))
        return false;
    std::vector<Entry>& entries = detach();
    auto it = std::lower_bound(entries.begin(), entries.end(), name, NameLess());
    entries.erase(it);
    if (entries.empty())
        m_entries.reset();
    return true;
}

void AttributeDictionary::insert(const AttributeDictionary& other)
{
    if (isEmpty()) {
        *this = other;
        return;
    }
    for (const Entry& entry : other)
        insert(entry.first, entry.second);
}

QStringList AttributeDictionary::names() const
{
    QStringList list;
    for (const Entry& entry : *this)
        list.append(entry.first);
    return list;
}

std::vector<AttributeDictionary::Entry>::const_iterator AttributeDictionary::begin() const
{
    return m_entries ? m_entries->cbegin() : emptyEntries().cbegin();
}

std::vector<AttributeDictionary::Entry>::const_iterator AttributeDictionary::end() const
{
    return m_entries ? m_entries->cend() : emptyEntries().cend();
}

bool AttributeDictionary::operator==(const AttributeDictionary& other) const
{
    if (m_entries == other.m_entries)
        return true;
    if (size() != other.size())
        return false;
    return std::equal(begin(), end(), other.begin());
}

std::vector<AttributeDictionary::Entry>& AttributeDictionary::detach()
{
    if (!m_entries)
        m_entries = std::make_shared<std::vector<Entry>>();
    else if (m_entries.use_count() > 1)
        m_entries = std::make_shared<std::vector<Entry>>(*m_entries);
    return *m_entries;
}
