#include "platform/text/AttributeValue.h"

#include "platform/text/TextAttachment.h"

#include <cmath>

std::shared_ptr<TextAttachment> AttributeValue::attachment() const
{
    if (auto p = get<std::shared_ptr<TextAttachment>>())
        return *p;
    return nullptr;
}

QString AttributeValue::string() const
{
    if (auto p = get<QString>())
        return *p;
    return {};
}

QUrl AttributeValue::url() const
{
    if (auto p = get<QUrl>())
        return *p;
    if (auto p = get<QString>())
        return QUrl(*p);
    return {};
}

std::optional<double> AttributeValue::number() const
{
    if (auto p = get<qint64>())
        return double(*p);
    if (auto p = get<double>())
        return *p;
    if (auto p = get<bool>())
        return *p ? 1.0 : 0.0;
    return std::nullopt;
}

qint64 AttributeValue::integer() const
{
    if (auto p = get<qint64>())
        return *p;
    if (auto p = get<double>())
        return std::isfinite(*p) && std::abs(*p) < 9.2e18 ? qint64(*p) : 0;
    if (auto p = get<bool>())
        return *p ? 1 : 0;
    return 0;
}

bool AttributeValue::operator==(const AttributeValue& other) const
{
    if (m_value.index() == other.m_value.index())
        return m_value == other.m_value;
    // An underline style read as 1 from one file and 1.0 from another is the same style.
    auto a = get<qint64>();
    auto b = other.get<double>();
    if (!a || !b) {
        a = other.get<qint64>();
        b = get<double>();
    }
    return a && b && double(*a) == *b;
}
