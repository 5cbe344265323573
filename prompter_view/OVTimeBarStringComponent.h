#pragma once

#include "platform/foundation/Rect.h"
#include "platform/text/AttributeDictionary.h"

#include <QString>

#include <optional>

// One string the time bar draws: its text, the attributes that style it (font and colour), and where
// it sits. The size is the text's size rounded up; the bar sets the origin.
class OVTimeBarStringComponent {
public:
    OVTimeBarStringComponent();

    const QString& string() const { return m_string; }
    // An empty string becomes one space, so the component keeps a height.
    void setString(const QString& string);
    // Applies to the whole string; an empty optional keeps the current attributes.
    void setStringAttributes(const std::optional<AttributeDictionary>& attributes);
    const AttributeDictionary& attributes() const { return m_attributes; }

    const Rect& location() const { return m_location; }
    void setLocationOrigin(const Point& origin) { m_location.origin = origin; }
    bool isVisible() const { return m_visible; }
    void setVisible(bool visible) { m_visible = visible; }

private:
    void updateSize();

    QString m_string;
    AttributeDictionary m_attributes;
    Rect m_location;
    bool m_visible = true;
};
