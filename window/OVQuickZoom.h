#pragma once

#include <QList>
#include <QString>

#include <optional>

class AttributedString;

// Posted by the General settings when the quick-zoom scale changes; zoomed windows follow it.
inline const QString OVPreferencesGeneralQuickZoomScaleDidChangeNotification =
    QStringLiteral("OVPreferencesGeneralQuickZoomScaleDidChangeNotification");

// The scale quick zoom shows a script at: one the user fixed in the settings, or one worked out from
// the type size most of the script is set in, so that this size appears at a target size.
class OVQuickZoom {
public:
    // The stored setting as a fixed scale (snapped to 0.05 or 0.95 when within 0.001 of them); empty
    // when the setting asks for the automatic scale.
    static std::optional<double> fixedScale(double stored);

    // The point size carrying the most characters of text; 0 when no run has a font. Equal counts go
    // to the smaller size, so the answer never depends on the order of a hash table.
    static double mostUsedPointSize(const AttributedString& text);

    // The table entry closest to targetSize / pointSize (the first on a tie), moved by deltaIndex
    // entries and kept within the table; 1.0 when pointSize is 0 or the table is empty.
    static double automaticScale(double pointSize, double targetSize, long long deltaIndex,
                                 const QList<double>& table);

    // Any scale but exactly 1 shows the script zoomed.
    static bool isScaleZoomed(double scale) { return scale != 1.0; }
};
