#include "window/OVResolutionString.h"

#include "platform/foundation/UserDefaults.h"

#include <QDebug>
#include <QHash>

#include <algorithm>

namespace {

const QChar kMultiplicationSign(0x00D7);

// A whole number of points from 1 to the largest side, digits only: "-5" and "12abc" are none.
std::optional<unsigned long> presetSide(const QString& text)
{
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty() || trimmed.size() > 9)
        return std::nullopt;
    unsigned long value = 0;
    for (const QChar c : trimmed) {
        if (c < u'0' || c > u'9')
            return std::nullopt;
        value = value * 10 + (c.unicode() - u'0');
    }
    if (value == 0 || value > OVResolutionString::kLargestSide)
        return std::nullopt;
    return value;
}

// The stored list's strings, leaving out entries of any other type; none when the stored value
// is no list.
std::optional<QStringList> storedStrings()
{
    const PlistValue value =
        UserDefaults::shared().objectForKey(OVResolutionString::kWindowPresetResolutionsKey);
    if (!value.isArray())
        return std::nullopt;
    QStringList strings;
    for (const PlistValue& entry : value.array()) {
        if (entry.isString())
            strings.append(entry.string());
    }
    return strings;
}

} // namespace

OVResolutionString::OVResolutionString(unsigned long width, unsigned long height)
    : m_string(QStringLiteral("%1 %2 %3").arg(width).arg(kMultiplicationSign).arg(height)), m_width(width),
      m_height(height)
{
}

const QStringList& OVResolutionString::registeredStringValues()
{
    static const QStringList strings = {
        QStringLiteral("640 × 480"),   QStringLiteral("800 × 600"),   QStringLiteral("1024 × 768"),
        QStringLiteral("1280 × 720"),  QStringLiteral("1280 × 800"),  QStringLiteral("1280 × 1024"),
        QStringLiteral("1366 × 768"),  QStringLiteral("1440 × 900"),  QStringLiteral("1600 × 900"),
        QStringLiteral("1680 × 1050"), QStringLiteral("1920 × 1080"), QStringLiteral("1920 × 1200")};
    return strings;
}

PlistDictionary OVResolutionString::initialDefaultsDictionary()
{
    PlistArray list;
    for (const QString& string : registeredStringValues())
        list.push_back(string);
    PlistDictionary defaults;
    defaults.insert(kWindowPresetResolutionsKey, list);
    return defaults;
}

std::optional<OVResolutionString> OVResolutionString::resolutionWithWidth(unsigned long width,
                                                                          unsigned long height)
{
    if (width == 0 || height == 0)
        return std::nullopt;
    return OVResolutionString(width, height);
}

std::optional<OVResolutionString> OVResolutionString::resolutionWithString(const QString& string)
{
    qsizetype separator = string.indexOf(kMultiplicationSign);
    if (separator < 0)
        separator = string.indexOf(QLatin1Char('x'));
    if (separator < 0)
        return std::nullopt;
    const std::optional<unsigned long> width = presetSide(string.left(separator));
    const std::optional<unsigned long> height = presetSide(string.mid(separator + 1));
    if (!width || !height)
        return std::nullopt;
    return resolutionWithWidth(*width, *height);
}

size_t OVResolutionString::hash() const
{
    return qHash(m_string) + 31;
}

std::vector<OVResolutionString>
OVResolutionString::sortedResolutionStrings(std::vector<OVResolutionString> list)
{
    std::stable_sort(list.begin(), list.end(), [](const OVResolutionString& a, const OVResolutionString& b) {
        return a.m_width < b.m_width;
    });
    return list;
}

QStringList OVResolutionString::stringValuesFromResolutionStrings(const std::vector<OVResolutionString>& list)
{
    QStringList strings;
    strings.reserve(qsizetype(list.size()));
    for (const OVResolutionString& preset : list)
        strings.append(preset.m_string);
    return strings;
}

std::vector<OVResolutionString>
OVResolutionString::resolutionStringsFromStringValues(const QStringList& strings)
{
    std::vector<OVResolutionString> list;
    list.reserve(size_t(strings.size()));
    for (const QString& string : strings) {
        if (std::optional<OVResolutionString> preset = resolutionWithString(string))
            list.push_back(std::move(*preset));
    }
    return list;
}

std::vector<OVResolutionString> OVResolutionString::defaultResolutionStrings()
{
    std::optional<QStringList> strings = storedStrings();
    if (!strings) {
        qWarning().noquote() << "the stored window-size presets are no list; using the standard ones";
        strings = registeredStringValues();
    }
    return resolutionStringsFromStringValues(*strings);
}

void OVResolutionString::setDefaultResolutionStrings(const std::vector<OVResolutionString>& list)
{
    UserDefaults& defaults = UserDefaults::shared();
    if (list.empty()) {
        defaults.removeObjectForKey(kWindowPresetResolutionsKey);
        return;
    }
    PlistArray stored;
    for (const QString& string : stringValuesFromResolutionStrings(sortedResolutionStrings(list)))
        stored.push_back(string);
    defaults.setObject(stored, kWindowPresetResolutionsKey);
}

void OVResolutionString::addResolutionStringToDefaults(const OVResolutionString& preset)
{
    std::vector<OVResolutionString> list = defaultResolutionStrings();
    if (std::find(list.begin(), list.end(), preset) != list.end())
        return;
    list.push_back(preset);
    setDefaultResolutionStrings(list);
}

void OVResolutionString::removeResolutionStringFromDefaults(const OVResolutionString& preset)
{
    std::vector<OVResolutionString> list = defaultResolutionStrings();
    if (std::erase(list, preset) == 0)
        return;
    setDefaultResolutionStrings(list);
}

std::optional<OVResolutionString> OVResolutionString::favoriteResolutionString()
{
    // The favourite has no registered value: without a stored one there is none.
    const UserDefaults& defaults = UserDefaults::shared();
    if (!defaults.hasUserValue(kWindowFavoritePresetResolutionKey))
        return std::nullopt;
    const PlistValue value = defaults.objectForKey(kWindowFavoritePresetResolutionKey);
    return value.isString() ? resolutionWithString(value.string()) : std::nullopt;
}

void OVResolutionString::setFavoriteResolutionString(const std::optional<OVResolutionString>& preset)
{
    if (preset)
        UserDefaults::shared().setObject(preset->stringValue(), kWindowFavoritePresetResolutionKey);
    else
        UserDefaults::shared().removeObjectForKey(kWindowFavoritePresetResolutionKey);
}
