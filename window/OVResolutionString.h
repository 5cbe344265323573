#pragma once

#include "platform/foundation/PlistValue.h"
#include "platform/hvkit/HVInitialDefaultsProvider.h"

#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

// A window-size preset: a width and height in points, written "1920 × 1080" (U+00D7 between
// blanks). The stored list of presets ("windowPresetResolutions") is kept sorted by width and
// is the one truth the preset menu and the preset editor read.
class OVResolutionString : public HVInitialDefaultsProvider {
public:
    static inline const QString kWindowPresetResolutionsKey = QStringLiteral("windowPresetResolutions");
    static inline const QString kWindowFavoritePresetResolutionKey =
        QStringLiteral("windowFavoritePresetResolution");
    // No side of a preset is larger.
    static constexpr unsigned long kLargestSide = 9999;

    static PlistDictionary initialDefaultsDictionary();
    static const QStringList& registeredStringValues();

    // Empty when either side is 0.
    static std::optional<OVResolutionString> resolutionWithWidth(unsigned long width, unsigned long height);
    // "W × H", or "WxH" with a plain letter x; each side trimmed. Empty without a separator, and
    // for a side that is 0, negative, not a whole number or above kLargestSide.
    static std::optional<OVResolutionString> resolutionWithString(const QString& string);

    const QString& stringValue() const { return m_string; }
    unsigned long width() const { return m_width; }
    unsigned long height() const { return m_height; }
    unsigned long area() const { return m_width * m_height; }
    double ratio() const { return double(m_width) / double(m_height); }

    bool operator==(const OVResolutionString& other) const { return m_string == other.m_string; }
    size_t hash() const;

    // Sorted by width; equal widths keep their order.
    static std::vector<OVResolutionString> sortedResolutionStrings(std::vector<OVResolutionString> list);
    static QStringList stringValuesFromResolutionStrings(const std::vector<OVResolutionString>& list);
    // The entries that parse, in order; anything else is skipped.
    static std::vector<OVResolutionString> resolutionStringsFromStringValues(const QStringList& strings);

    // The stored list: entries that are not strings or do not parse are left out, and a stored
    // value that is no list reads as the registered list.
    static std::vector<OVResolutionString> defaultResolutionStrings();
    // Sorted and stored; an empty list removes the key, which brings back the registered list.
    static void setDefaultResolutionStrings(const std::vector<OVResolutionString>& list);
    static void addResolutionStringToDefaults(const OVResolutionString& preset);
    static void removeResolutionStringFromDefaults(const OVResolutionString& preset);

    static std::optional<OVResolutionString> favoriteResolutionString();
    static void setFavoriteResolutionString(const std::optional<OVResolutionString>& preset);

private:
    OVResolutionString(unsigned long width, unsigned long height);

    QString m_string;
    unsigned long m_width = 0;
    unsigned long m_height = 0;
};
