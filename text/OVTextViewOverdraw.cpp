// The overdraw rule: which part of the script a prompt output view prepares ahead of the scrolling.

#include "platform/appkit/Window.h"
#include "platform/foundation/PlistValue.h"
#include "platform/foundation/UserDefaults.h"
#include "text/OVTextView.h"

#include <QWidget>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr qint64 kBandSide = 256;
constexpr qint64 kBytesPerMebibyte = 1048576;
// Where the window cannot tell its depth: four bytes a pixel, as a window with alpha has.
constexpr int kDefaultDepthLimitBits = 32;

struct OverdrawCache {
    PlistDictionary values;
    bool needsUpdate = true;
};

OverdrawCache& cache()
{
    static OverdrawCache shared;
    return shared;
}

// Stores the flag when set is true; answers the stored flag.
bool _overdrawOption(bool value, bool set)
{
    if (set)
        cache().needsUpdate = value;
    return cache().needsUpdate;
}

void _setOverdrawOptionNeedsUpdate(bool flag)
{
    _overdrawOption(flag, true);
}

bool _overdrawOptionsNeedsUpdate()
{
    return _overdrawOption(false, false);
}

const PlistDictionary& _cachedOverdrawDictionary()
{
    if (_overdrawOptionsNeedsUpdate()) {
        PlistDictionary& values = cache().values;
        values = PlistDictionary();
        values.reserve(3);
        const UserDefaults& defaults = UserDefaults::shared();
        for (const QString& key :
             {OVTextView::kOverdrawOptionTagKey, OVTextView::kCustomOverdrawMemoryLimitMBKey,
              OVTextView::kCustomOverdrawFixedHeightPointsKey}) {
            const PlistValue value = defaults.objectForKey(key);
            if (!value.isNull())
                values.insert(key, value);
        }
        _setOverdrawOptionNeedsUpdate(false);
    }
    return cache().values;
}

qint64 cachedInteger(const QString& key)
{
    const PlistDictionary& values = _cachedOverdrawDictionary();
    const PlistValue* found = values.find(key);
    if (!found)
        return 0;
    const double number = found->toDouble();
    if (!std::isfinite(number))
        return 0;
    // A hand-edited value far outside any sensible setting must not overflow what follows.
    constexpr double limit = double(std::numeric_limits<qint32>::max());
    return qint64(std::clamp(number, -limit, limit));
}

void logTooSmallOnce()
{
    static bool logged = false;
    if (logged)
        return;
    logged = true;
    qWarning("The specified overdraw height or memory amount is too small to be usable. Assuming AppKit "
             "defaults, instead. This error will only be logged once.");
}

} // namespace

qint64 OVTextView::overdrawOption()
{
    return cachedInteger(kOverdrawOptionTagKey);
}

qint64 OVTextView::overdrawMemoryLimitMB()
{
    return cachedInteger(kCustomOverdrawMemoryLimitMBKey);
}

qint64 OVTextView::overdrawFixedHeightPoints()
{
    return cachedInteger(kCustomOverdrawFixedHeightPointsKey);
}

void OVTextView::updateCachedOverdrawDefaults()
{
    _setOverdrawOptionNeedsUpdate(true);
}

std::optional<qint64> OVTextView::overdrawHeightForMemoryLimit(qint64 limitMB, double scale, int bitsPerPixel,
                                                               double visibleWidth)
{
    // Every divisor below is checked first: a hidden or collapsed window has no width, and a
    // window not yet on a screen may report no ratio or depth.
    if (limitMB < 1 || !std::isfinite(scale) || scale <= 0 || bitsPerPixel <= 0 ||
        !std::isfinite(visibleWidth))
        return std::nullopt;
    const qint64 width = qint64(visibleWidth);
    if (width <= 0)
        return std::nullopt;
    const double scaled = std::floor(double(limitMB) * double(kBytesPerMebibyte) / scale);
    if (!(scaled >= 1) || scaled > double(std::numeric_limits<qint64>::max() / 2))
        return std::nullopt;
    const qint64 bytes = qint64(scaled);
    const qint64 bytesPerPixel = (qint64(bitsPerPixel) + 7) / 8;
    const qint64 tilesAcross = (width + kBandSide - 1) / kBandSide;
    const qint64 rows = bytes / (bytesPerPixel * tilesAcross * kBandSide * kBandSide);
    if (rows < 1)
        return std::nullopt;
    return rows * kBandSide;
}

Rect OVTextView::overdrawRectForProposedRect(const Rect& proposedRect) const
{
    const PromptState state = promptState();
    Window* host = window();
    if (!state.prompt || state.changingMode || !host || !host->isVisible() || isSelectable())
        return proposedRect;
    const qint64 option = overdrawOption();
    std::optional<qint64> height;
    switch (option) {
    case -1:
    case OverdrawDefault:
        return proposedRect;
    case OverdrawWholeText:
        return bounds();
    case OverdrawVisibleRect:
        return visibleRect();
    case OverdrawFixedHeight:
        height = overdrawFixedHeightPoints();
        break;
    case OverdrawMemoryLimit: {
        const QWidget* widget = host->hostWidget();
        const double scale = widget ? widget->devicePixelRatioF() : 1.0;
        const int depth = widget && widget->depth() > 0 ? widget->depth() : kDefaultDepthLimitBits;
        height =
            overdrawHeightForMemoryLimit(overdrawMemoryLimitMB(), scale, depth, visibleRect().size.width);
        break;
    }
    default:
        qWarning("Unsupported option: %lld. Assuming AppKit default.", static_cast<long long>(option));
        return proposedRect;
    }
    const Rect whole = bounds();
    const Rect visible = visibleRect();
    Rect chosen = proposedRect;
    bool usable = height && *height >= 1;
    if (usable) {
        if (double(*height) >= whole.size.height) {
            chosen = whole;
        } else {
            chosen.size.height = double(*height);
            if (chosen.maxY() > whole.maxY())
                chosen.size.height = std::max(0.0, whole.maxY() - chosen.origin.y);
        }
        usable = visible.size.width > 0 && chosen.contains(visible);
    }
    if (!usable) {
        logTooSmallOnce();
        return proposedRect;
    }
    return chosen;
}

void OVTextView::prepareContentInRect(const Rect& proposedRect)
{
    // Prompt output composes its frames from bands; an editor draws straight from the layout, as its
    // caret, selection and edits change what it shows all the time.
    const PromptState state = promptState();
    const Window* host = window();
    const bool output = state.prompt && !state.changingMode && host && host->isVisible() && !isSelectable();
    setComposesFromBands(output);
    if (output) {
        const qint64 limit = overdrawMemoryLimitMB();
        setBandCacheLimitBytes(limit >= 1 ? limit * kBytesPerMebibyte : kDefaultBandCacheLimitBytes);
    }
    TextView::prepareContentInRect(overdrawRectForProposedRect(proposedRect));
}
