#include "settings/OVConstants.h"

#include "platform/hvkit/HVKit.h"
#include "platform/text/AttributeNames.h"
#include "platform/text/MutableAttributedString.h"

#include <algorithm>

namespace {

// The font the text system gives text that names none; RTF readers assume the same.
Font plainTextFont()
{
    Font font;
    font.familyName = QStringLiteral("Helvetica");
    font.fontName = QStringLiteral("Helvetica");
    font.pointSize = 12;
    return font;
}

} // namespace

const QList<double>& OVConstants::quickZoomScaleValues()
{
    static const QList<double> values = [] {
        QList<double> scales = {0.1, 0.125, 0.15, 0.2, 0.25, 1.0 / 3.0, 0.5, 2.0 / 3.0, 0.75};
        std::sort(scales.begin(), scales.end());
        return scales;
    }();
    return values;
}

const QList<quint16>& OVConstants::numberCharactersArray()
{
    static const QList<quint16> characters = {'0', '1', '2', '3', '4', '5', '6', '7', '8', '9', '`'};
    return characters;
}

const AttributeDictionary& OVConstants::defaultCocoaTextAttributes()
{
    static const AttributeDictionary attributes = [] {
        MutableAttributedString blank(QStringLiteral(" "));
        blank.fixAttributes(Range{0, blank.length()});
        AttributeDictionary fixed = blank.attributesAtIndex(0);
        if (!fixed.contains(kFontAttributeName))
            fixed.insert(kFontAttributeName, plainTextFont());
        return fixed;
    }();
    return attributes;
}

QUrl OVConstants::downloadedHardwareProfilesURL()
{
    const QUrl caches = HVKit::appCachesFolderURL();
    if (caches.isEmpty())
        return {};
    return QUrl::fromLocalFile(caches.toLocalFile() + QStringLiteral("/HardwareProfiles"));
}
