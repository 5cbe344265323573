// Bands: the prepared part of a text view drawn ahead into images, so that a frame of a scrolling
// prompter copies pictures of its lines instead of drawing every glyph again.

#include "platform/appkit/Window.h"
#include "platform/textview/TextView.h"

#include <QElapsedTimer>
#include <QPainter>
#include <QWidget>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

// What the bands of all views hold together: the budget is the process's, not each view's, as the
// operator, talent and preview views all prepare the same script.
qint64& totalBytes()
{
    static qint64 total = 0;
    return total;
}

qint64 bandIndexAt(double y)
{
    return qint64(std::floor(y / TextView::kBandHeight));
}

} // namespace

double TextView::bandPixelRatio() const
{
    if (m_bandPixelRatioOverride > 0)
        return m_bandPixelRatioOverride;
    const Window* host = window();
    const QWidget* widget = host ? host->hostWidget() : nullptr;
    const double ratio = widget ? widget->devicePixelRatioF() : 1.0;
    return std::isfinite(ratio) && ratio > 0 ? ratio : 1.0;
}

void TextView::setComposesFromBands(bool flag)
{
    if (flag == m_composesFromBands)
        return;
    m_composesFromBands = flag;
    if (!flag)
        dropAllBands();
}

void TextView::setBandCacheLimitBytes(qint64 bytes)
{
    m_bandCacheLimitBytes = std::max<qint64>(0, bytes);
    // The farthest go first until the rest fits.
    while (totalBytes() > m_bandCacheLimitBytes && !m_bands.empty()) {
        auto farthest =
            std::max_element(m_bands.begin(), m_bands.end(), [this](const auto& a, const auto& b) {
                return bandDistanceFromView(a.first) < bandDistanceFromView(b.first);
            });
        dropBand(farthest);
    }
}

std::vector<qint64> TextView::cachedBandIndexes() const
{
    std::vector<qint64> indexes;
    indexes.reserve(m_bands.size());
    for (const auto& band : m_bands)
        indexes.push_back(band.first);
    return indexes;
}

qint64 TextView::totalBandCacheBytes()
{
    return totalBytes();
}

void TextView::dropBand(std::map<qint64, QImage>::iterator band)
{
    m_bandCacheBytes -= band->second.sizeInBytes();
    totalBytes() -= band->second.sizeInBytes();
    m_bands.erase(band);
}

void TextView::dropAllBands()
{
    totalBytes() -= m_bandCacheBytes;
    m_bands.clear();
    m_bandCacheBytes = 0;
}

void TextView::displayWillInvalidateRect(const Rect& rect)
{
    if (m_bands.empty() || m_holdBands)
        return;
    if (!rect.isFinite() || rect.isEmpty()) {
        dropAllBands();
        return;
    }
    const auto first = m_bands.lower_bound(bandIndexAt(rect.minY()));
    auto last = m_bands.lower_bound(bandIndexAt(std::nextafter(rect.maxY(), rect.minY())) + 1);
    for (auto band = first; band != last;)
        dropBand(band++);
}

void TextView::dropBandsForLayoutChange(const Range& range, bool heightChanged)
{
    if (m_bands.empty())
        return;
    const Point origin = textContainerOrigin();
    const QString& text = textStorage().string();
    const qsizetype length = text.size();
    const double top =
        m_layoutManager->paragraphTopForCharacterIndex(std::clamp<qsizetype>(range.location, 0, length)) +
        origin.y;
    const qsizetype newline = text.indexOf(QChar(u'\n'), std::clamp<qsizetype>(range.end(), 0, length));
    const double bottom = newline < 0 || newline + 1 >= length
                              ? std::numeric_limits<double>::max()
                              : m_layoutManager->paragraphTopForCharacterIndex(newline + 1) + origin.y;
    for (auto band = m_bands.begin(); band != m_bands.end();) {
        const double bandTop = double(band->first) * kBandHeight;
        const bool touched = bandTop + kBandHeight > top && bandTop < std::max(bottom, top + 1);
        // Text laid out on its own where the estimates put it moves when layout from the start
        // reaches it: a band of it shows it where it no longer is.
        const bool moved =
            heightChanged && (m_layoutManager->reportedMoveAt(bandTop - origin.y) != 0 ||
                              m_layoutManager->reportedMoveAt(bandTop + kBandHeight - origin.y) != 0);
        if (touched || moved)
            dropBand(band++);
        else
            ++band;
    }
}

double TextView::bandDistanceFromView(qint64 index) const
{
    const Rect visible = visibleRect();
    const double top = double(index) * kBandHeight;
    const double bottom = top + kBandHeight;
    if (bottom <= visible.minY())
        return visible.minY() - bottom;
    if (top >= visible.maxY())
        return top - visible.maxY();
    return 0;
}

void TextView::composeFromBands(QPainter& painter, const Rect& dirtyRect)
{
    const Rect whole = bounds();
    // Bands hold device pixels: the window's ratio times any magnification of the view.
    const QTransform device = painter.deviceTransform();
    const double scale = std::hypot(device.m11(), device.m12());
    if (std::isfinite(scale) && scale > 0)
        m_drawScale = scale;
    const double ratio = m_drawScale;
    if (std::abs(ratio - m_bandsRatio) > 1e-9 || whole.size.width != m_bandsWidth)
        dropAllBands();
    // A band is a picture of whole device pixels: it shows exactly what drawing would only where the
    // band grid falls on whole pixels. Elsewhere (a scroll position between two pixels, a scale that
    // puts band edges inside a pixel) the text is drawn, so that slow scrolling stays smooth and the
    // talent's lines stay those of the operator to the pixel.
    const QPointF gridOrigin = device.map(QPointF(whole.minX(), 0));
    const auto whole_ = [](double value) { return std::abs(value - std::round(value)) < 1e-6; };
    if (!whole_(gridOrigin.x()) || !whole_(gridOrigin.y()) || !whole_(kBandHeight * ratio) ||
        std::abs(device.m12()) > 1e-9 || std::abs(device.m21()) > 1e-9) {
        drawContent(painter, dirtyRect);
        return;
    }
    // Runs of bands not held are drawn as usual, one run at a time.
    bool missing = false;
    double missingFrom = 0;
    const auto drawMissing = [&](double to) {
        if (!missing)
            return;
        const double top = std::max(missingFrom, dirtyRect.minY());
        const double bottom = std::min(to, dirtyRect.maxY());
        if (bottom > top)
            drawContent(painter, {dirtyRect.minX(), top, dirtyRect.width(), bottom - top});
        missing = false;
    };
    const qint64 first = bandIndexAt(dirtyRect.minY());
    const qint64 last = bandIndexAt(std::nextafter(dirtyRect.maxY(), dirtyRect.minY()));
    for (qint64 index = first; index <= last; ++index) {
        const double top = double(index) * kBandHeight;
        const auto band = m_bands.find(index);
        if (band == m_bands.end()) {
            if (!missing) {
                missing = true;
                missingFrom = top;
            }
            continue;
        }
        drawMissing(top);
        const double from = std::max(top, dirtyRect.minY());
        const double to = std::min(top + kBandHeight, dirtyRect.maxY());
        const double left = std::max(whole.minX(), dirtyRect.minX());
        const double right = std::min(whole.maxX(), dirtyRect.maxX());
        if (to <= from || right <= left)
            continue;
        const QRectF target(left, from, right - left, to - from);
        const QRectF source((left - whole.minX()) * ratio, (from - top) * ratio, (right - left) * ratio,
                            (to - from) * ratio);
        painter.drawImage(target, band->second, source);
    }
    drawMissing(double(last + 1) * kBandHeight);
}

void TextView::prepareBands(const Rect& rect, double secondsLeft)
{
    const Rect whole = bounds();
    // The scale the last frame was drawn at, else the window's.
    const double ratio = m_drawScale > 0 ? m_drawScale : bandPixelRatio();
    if (std::abs(ratio - m_bandsRatio) > 1e-9 || whole.size.width != m_bandsWidth) {
        dropAllBands();
        m_bandsRatio = ratio;
        m_bandsWidth = whole.size.width;
    }
    const Rect visible = visibleRect();
    const auto bandRect = [&](qint64 index) {
        return Rect{whole.minX(), double(index) * kBandHeight, whole.size.width, kBandHeight};
    };
    // What is no longer asked for goes first.
    for (auto band = m_bands.begin(); band != m_bands.end();) {
        if (bandRect(band->first).intersects(rect) || bandRect(band->first).intersects(visible))
            ++band;
        else
            dropBand(band++);
    }
    if (rect.isEmpty() || whole.size.width <= 0)
        return;
    const int pixelsWide = int(std::ceil(whole.size.width * ratio));
    const int pixelsHigh = int(std::ceil(kBandHeight * ratio));
    if (pixelsWide <= 0 || pixelsHigh <= 0 || pixelsWide > 32767 || pixelsHigh > 32767)
        return;
    const qint64 bandBytes = qint64(pixelsWide) * qint64(pixelsHigh) * 4;
    // Nearest first: when the pass's time runs out, what is left is what is needed last.
    std::vector<qint64> missing;
    const qint64 last = bandIndexAt(std::nextafter(rect.maxY(), rect.minY()));
    for (qint64 index = bandIndexAt(rect.minY()); index <= last; ++index) {
        if (!m_composesFromBands || !m_bands.contains(index))
            missing.push_back(index);
    }
    std::stable_sort(missing.begin(), missing.end(), [this](qint64 a, qint64 b) {
        return bandDistanceFromView(a) < bandDistanceFromView(b);
    });
    QElapsedTimer elapsed;
    elapsed.start();
    int drawn = 0;
    const Point origin = textContainerOrigin();
    for (qint64 index : missing) {
        const double spent = double(elapsed.nsecsElapsed()) / 1e9;
        if (!m_composesFromBands) {
            // Layout only: each band's lines laid out where they will be drawn. Lines laid out already
            // cost a look-up.
            if (spent >= secondsLeft)
                break;
            m_layoutManager->glyphRangeForBoundingRect(bandRect(index).offsetBy(-origin.x, -origin.y));
            continue;
        }
        // One band a pass at least, or a band that once took longer than the budget would stop
        // all further preparing.
        if (drawn > 0 && spent + m_lastBandSeconds > secondsLeft)
            break;
        if (spent >= secondsLeft)
            break;
        const double distance = bandDistanceFromView(index);
        while (totalBytes() + bandBytes > m_bandCacheLimitBytes && !m_bands.empty()) {
            auto farthest =
                std::max_element(m_bands.begin(), m_bands.end(), [this](const auto& a, const auto& b) {
                    return bandDistanceFromView(a.first) < bandDistanceFromView(b.first);
                });
            if (bandDistanceFromView(farthest->first) <= distance)
                break;
            dropBand(farthest);
        }
        if (totalBytes() + bandBytes > m_bandCacheLimitBytes)
            break;
        // Laid out and reported first: the report drops the bands the layout changes, and must not
        // arrive after this one is drawn and drop it.
        const double beforeLayout = double(elapsed.nsecsElapsed()) / 1e9;
        m_layoutManager->glyphRangeForBoundingRect(bandRect(index).offsetBy(-origin.x, -origin.y));
        m_layoutManager->reportPendingLayout();
        if (bandRect(index).minY() >= bounds().maxY())
            continue;
        // Lines laid out just now leave the drawing to the next pass when both would not fit this
        // one; the band is then nearest again, and its layout is done.
        const double afterLayout = double(elapsed.nsecsElapsed()) / 1e9;
        if (afterLayout - beforeLayout > 0.0005 && afterLayout + m_lastBandSeconds > secondsLeft)
            break;
        QElapsedTimer one;
        one.start();
        QImage image(pixelsWide, pixelsHigh, QImage::Format_ARGB32_Premultiplied);
        if (image.isNull())
            break;
        image.setDevicePixelRatio(ratio);
        image.fill(Qt::transparent);
        {
            QPainter painter(&image);
            painter.translate(-whole.minX(), -double(index) * kBandHeight);
            drawContent(painter, bandRect(index));
        }
        m_bandCacheBytes += image.sizeInBytes();
        totalBytes() += image.sizeInBytes();
        m_bands.emplace(index, std::move(image));
        m_lastBandSeconds = double(one.nsecsElapsed()) / 1e9;
        ++drawn;
    }
}
