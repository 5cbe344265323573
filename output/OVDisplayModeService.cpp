#include "output/OVDisplayModeService.h"

#include <QLocale>
#include <QStringList>

#include <algorithm>
#include <numeric>

namespace {

OVDisplayModeService*& installed()
{
    static OVDisplayModeService* service = nullptr;
    return service;
}

} // namespace

OVDisplayModeService& OVDisplayModeService::shared()
{
    static OVNullDisplayModeService null;
    return installed() ? *installed() : null;
}

void OVDisplayModeService::setShared(OVDisplayModeService* service)
{
    installed() = service;
}

QString OVDisplayMode::displayableSizeRatio() const
{
    if (width <= 0 || height <= 0)
        return {};
    const int divisor = std::gcd(width, height);
    int w = width / divisor;
    int h = height / divisor;
    // Displays say 16:10, not 8:5.
    if (w == 8 && h == 5) {
        w = 16;
        h = 10;
    }
    return QStringLiteral("%1:%2").arg(w).arg(h);
}

QString OVDisplayMode::userDisplayableString() const
{
    const QLocale locale;
    QString text = QStringLiteral("%1 × %2").arg(locale.toString(width), locale.toString(height));
    if (refreshRate > 0)
        text += QStringLiteral(" @ %1 Hz")
                    .arg(locale.toString(refreshRate, 'f', refreshRate == int(refreshRate) ? 0 : 2));
    return text;
}

std::vector<OVDisplayMode> OVDisplayModeService::compatibleDisplayModes(
    const std::vector<OVDisplayMode>& talentModes, const OVDisplayMode& operatorMode,
    const std::optional<OVDisplayMode>& talentMode, bool matchSizeRatio)
{
    const QString ratio = talentMode ? talentMode->displayableSizeRatio() : QString();
    std::vector<OVDisplayMode> result;
    for (const OVDisplayMode& mode : talentModes) {
        if (mode.width > operatorMode.width || mode.height > operatorMode.height)
            continue;
        if (operatorMode.refreshRate > 0 && mode.refreshRate > operatorMode.refreshRate + 0.5)
            continue;
        if (matchSizeRatio && mode.displayableSizeRatio() != ratio)
            continue;
        result.push_back(mode);
    }
    // Largest first, highest rate first for equal sizes; then each ratio's modes together, the ratio
    // of the largest mode leading, so a menu of them needs one label per ratio.
    std::stable_sort(result.begin(), result.end(), [](const OVDisplayMode& a, const OVDisplayMode& b) {
        if (a.width * a.height != b.width * b.height)
            return a.width * a.height > b.width * b.height;
        return a.refreshRate > b.refreshRate;
    });
    QStringList ratios;
    for (const OVDisplayMode& mode : result)
        if (!ratios.contains(mode.displayableSizeRatio()))
            ratios << mode.displayableSizeRatio();
    std::stable_sort(result.begin(), result.end(), [&ratios](const OVDisplayMode& a, const OVDisplayMode& b) {
        return ratios.indexOf(a.displayableSizeRatio()) < ratios.indexOf(b.displayableSizeRatio());
    });
    return result;
}
