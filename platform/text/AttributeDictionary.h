#pragma once

#include "platform/text/AttributeValue.h"

#include <QString>
#include <QStringList>

#include <memory>
#include <utility>
#include <vector>

// The attributes of one run: attribute names to values. Copies share their entries until one is
// changed, and comparing two copies of one dictionary costs a pointer test, so runs can carry it
// freely and equal neighbours are found cheaply.
class AttributeDictionary {
public:
    using Entry = std::pair<QString, AttributeValue>;

    AttributeDictionary() = default;
    AttributeDictionary(std::initializer_list<Entry> entries);

    bool isEmpty() const { return !m_entries || m_entries->empty(); }
    qsizetype size() const { return m_entries ? qsizetype(m_entries->size()) : 0; }
    bool contains(const QString& name) const { return find(name) != nullptr; }
    // nullptr when the name is absent.
    const AttributeValue* find(const QString& name) const;
    // The value for name, or a null value.
    AttributeValue value(const QString& name) const;
    // Sets or replaces; a null value removes the name.
    void insert(const QString& name, AttributeValue value);
    bool remove(const QString& name);
    // Every entry of other, replacing equal names.
    void insert(const AttributeDictionary& other);
    QStringList names() const;

    // Entries sorted by name.
    std::vector<Entry>::const_iterator begin() const;
    std::vector<Entry>::const_iterator end() const;

    bool operator==(const AttributeDictionary& other) const;

private:
    std::vector<Entry>& detach();

    std::shared_ptr<std::vector<Entry>> m_entries;
};
