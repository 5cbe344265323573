#include "platform/foundation/ArchiveObject.h"

#include <QHashFunctions>

#include <unordered_map>

namespace {
const QString kRootClassName = QStringLiteral("NSObject");
}

ArchiveObject::ArchiveObject(QString className, QStringList superclasses)
    : m_className(std::move(className)), m_classes(std::move(superclasses))
{
    m_classes.prepend(m_className);
    if (m_classes.last() != kRootClassName)
        m_classes.append(kRootClassName);
}

ArchiveObject ArchiveObject::fromFields(QString className, QStringList classes, std::vector<Field> fields)
{
    ArchiveObject object(className);
    object.m_classes = std::move(classes);
    std::unordered_map<QString, size_t> positions;
    positions.reserve(fields.size());
    object.m_fields.reserve(fields.size());
    for (Field& field : fields) {
        const auto known = positions.find(field.key);
        if (known != positions.end()) {
            object.m_fields[known->second] = std::move(field);
            continue;
        }
        positions.emplace(field.key, object.m_fields.size());
        object.m_fields.push_back(std::move(field));
    }
    return object;
}

void ArchiveObject::encodeObject(const QString& key, ArchiveValue value)
{
    set(key, std::move(value), true);
}

void ArchiveObject::encodeInteger(const QString& key, qint64 value)
{
    set(key, value, false);
}

void ArchiveObject::encodeDouble(const QString& key, double value)
{
    set(key, value, false);
}

void ArchiveObject::encodeBool(const QString& key, bool value)
{
    set(key, value, false);
}

void ArchiveObject::encodeBytes(const QString& key, QByteArray value)
{
    set(key, std::move(value), false);
}

ArchiveValue ArchiveObject::decodeObject(const QString& key) const
{
    const Field* field = find(key);
    return field && field->isReference ? field->value : ArchiveValue();
}

std::optional<qint64> ArchiveObject::decodeInteger(const QString& key) const
{
    const Field* field = find(key);
    if (!field || field->isReference || !field->value.isInteger())
        return std::nullopt;
    return field->value.integer();
}

std::optional<double> ArchiveObject::decodeDouble(const QString& key) const
{
    const Field* field = find(key);
    if (!field || field->isReference || !field->value.isNumber())
        return std::nullopt;
    return field->value.toDouble();
}

std::optional<bool> ArchiveObject::decodeBool(const QString& key) const
{
    const Field* field = find(key);
    if (!field || field->isReference || !field->value.isBoolean())
        return std::nullopt;
    return field->value.boolean();
}

std::optional<QByteArray> ArchiveObject::decodeBytes(const QString& key) const
{
    const Field* field = find(key);
    if (!field || field->isReference || !field->value.isData())
        return std::nullopt;
    return field->value.data();
}

bool ArchiveObject::operator==(const ArchiveObject& other) const
{
    if (m_className != other.m_className || m_classes != other.m_classes ||
        m_fields.size() != other.m_fields.size())
        return false;
    for (const Field& field : m_fields) {
        const Field* theirs = other.find(field.key);
        if (!theirs || !(*theirs == field))
            return false;
    }
    return true;
}

const ArchiveObject::Field* ArchiveObject::find(const QString& key) const
{
    for (const Field& field : m_fields) {
        if (field.key == key)
            return &field;
    }
    return nullptr;
}

void ArchiveObject::set(const QString& key, ArchiveValue value, bool isReference)
{
    for (Field& field : m_fields) {
        if (field.key == key) {
            field.value = std::move(value);
            field.isReference = isReference;
            return;
        }
    }
    m_fields.push_back(Field{key, std::move(value), isReference});
}
