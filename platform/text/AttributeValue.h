#pragma once

#include "platform/text/Color.h"
#include "platform/text/Font.h"
#include "platform/text/ParagraphStyle.h"
#include "platform/text/Shadow.h"

#include <QByteArray>
#include <QString>
#include <QUrl>

#include <memory>
#include <optional>
#include <type_traits>
#include <variant>

class TextAttachment;

// The value of one text attribute. A closed set of kinds keeps equality cheap and exact, which run
// merging depends on: numbers compare by value whether stored as integer or real, attachments by
// identity, everything else by value. A default-constructed value is null ("no such attribute").
class AttributeValue {
public:
    AttributeValue() = default;
    AttributeValue(bool v) : m_value(v) {}
    // Every integer type, so sizes and indexes need no cast.
    template <class T>
    requires(std::is_integral_v<T> && !std::is_same_v<T, bool>) AttributeValue(T v) : m_value(qint64(v)) {}
    AttributeValue(double v) : m_value(v) {}
    AttributeValue(QString v) : m_value(std::move(v)) {}
    AttributeValue(const char* v) : m_value(QString::fromUtf8(v)) {}
    AttributeValue(QUrl v) : m_value(std::move(v)) {}
    AttributeValue(QByteArray v) : m_value(std::move(v)) {}
    AttributeValue(Color v) : m_value(v) {}
    AttributeValue(Font v) : m_value(std::move(v)) {}
    AttributeValue(ParagraphStyle v) : m_value(std::move(v)) {}
    AttributeValue(Shadow v) : m_value(std::move(v)) {}
    AttributeValue(std::shared_ptr<TextAttachment> v) : m_value(std::move(v)) {}

    bool isNull() const { return std::holds_alternative<std::monostate>(m_value); }

    // The stored value when it is of kind T, else nullptr.
    template <class T> const T* get() const { return std::get_if<T>(&m_value); }

    const Color* color() const { return get<Color>(); }
    const Font* font() const { return get<Font>(); }
    const ParagraphStyle* paragraphStyle() const { return get<ParagraphStyle>(); }
    const Shadow* shadow() const { return get<Shadow>(); }
    // The attachment, or nullptr when the value is none.
    std::shared_ptr<TextAttachment> attachment() const;
    // A string value, or an empty string.
    QString string() const;
    // A URL value, or a string value read as a URL.
    QUrl url() const;
    // An integer, real or boolean value as a number; empty for other kinds.
    std::optional<double> number() const;
    qint64 integer() const;

    bool operator==(const AttributeValue& other) const;

private:
    std::variant<std::monostate, bool, qint64, double, QString, QUrl, QByteArray, Color, Font, ParagraphStyle,
                 Shadow, std::shared_ptr<TextAttachment>>
        m_value;
};
