#include "output/OVPreviewWindowController.h"

#include <limits>

PlistDictionary OVPreviewWindowController::initialDefaultsDictionary()
{
    PlistDictionary defaults;
    defaults.insert(QStringLiteral("openPreviewWindowOnStartup"), true);
    // No real frame edge is this close to zero: the value says that no position was saved.
    defaults.insert(QStringLiteral("previewWindowTopFrameCoordinate"), std::numeric_limits<double>::min());
    defaults.insert(QStringLiteral("useFocusArrow"), true);
    defaults.insert(QStringLiteral("useTimeBar"), false);
    defaults.insert(QStringLiteral("contentInvertTextAndBackgroundColor"), false);
    defaults.insert(QStringLiteral("contentTextMagnificationFactor"), 1.0);
    defaults.insert(QStringLiteral("horizontalMarginPercentage"), 0.0);
    defaults.insert(QStringLiteral("verticalMarginPercentage"), 0.0);
    // The middle of the three-by-three grid: centred both ways.
    defaults.insert(QStringLiteral("marginAlignment"), PlistValue::unsignedInteger(4));
    defaults.insert(QStringLiteral("screenMode"), 0);
    defaults.insert(QStringLiteral("horizontallyFlipped"), false);
    defaults.insert(QStringLiteral("verticallyFlipped"), false);
    // The preview's blanking menu switches it; the core reads it on every mode change.
    defaults.insert(QStringLiteral("autoBlankToHideEdits"), false);
    return defaults;
}
