#pragma once

// What the preview window controller's files share: the user-defaults keys of its settings, the
// limits their stored values are brought into, the steps of the sliders that show them, and the
// measures of the box the preview sits in.
#include "output/OVPreviewWindowController.h"

#include "platform/foundation/UserDefaults.h"

#include <QString>

#include <algorithm>
#include <cmath>

namespace OVPreviewWindowControllerPrivate {

// Slider positions are whole numbers: magnification in tenths, margins in thousandths.
constexpr int kMagnificationSteps = 10;
constexpr int kMarginSteps = 1000;

constexpr double kBoxInset = 10;
constexpr double kBoxHeight = 236;

inline UserDefaults& defaults()
{
    return UserDefaults::shared();
}

const QString kOpenOnStartupKey = QStringLiteral("openPreviewWindowOnStartup");
const QString kTopFrameKey = QStringLiteral("previewWindowTopFrameCoordinate");
const QString kMagnificationKey = QStringLiteral("contentTextMagnificationFactor");
const QString kInvertKey = QStringLiteral("contentInvertTextAndBackgroundColor");
const QString kHorizontalMarginKey = QStringLiteral("horizontalMarginPercentage");
const QString kVerticalMarginKey = QStringLiteral("verticalMarginPercentage");
const QString kAlignmentKey = QStringLiteral("marginAlignment");
const QString kScreenModeKey = QStringLiteral("screenMode");
const QString kHorizontalFlipKey = QStringLiteral("horizontallyFlipped");
const QString kVerticalFlipKey = QStringLiteral("verticallyFlipped");
const QString kFocusArrowKey = QStringLiteral("useFocusArrow");
const QString kTimeBarKey = QStringLiteral("useTimeBar");

// Magnification below 1 would leave copied and replayed talent text at mixed sizes, since the
// talent scales only upward; stored values outside the slider's range are brought into it.
inline double clampedMagnification(double factor)
{
    if (!std::isfinite(factor))
        return 1.0;
    return std::clamp(factor, OVPreviewWindowController::kMinimumMagnification,
                      OVPreviewWindowController::kMaximumMagnification);
}

inline double clampedMargin(double factor)
{
    if (!std::isfinite(factor))
        return 0.0;
    return std::clamp(factor, 0.0, OVPreviewWindowController::kMaximumMarginFactor);
}

} // namespace OVPreviewWindowControllerPrivate
