#include "quicklook/ThumbnailProvider.h"

#include "platform/text/TextStorage.h"
#include "platform/textlayout/LayoutManager.h"
#include "quicklook/OVQuickLookContent.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

namespace {

// Text is handed to the layout in pieces of growing size until the page is full, so a long
// script costs no more than its first page.
constexpr qsizetype kFirstPiece = 4096;

QColor qtColor(const Color& color)
{
    return QColor::fromRgbF(float(color.red), float(color.green), float(color.blue), float(color.alpha));
}

int roundHalfAway(double value)
{
    return int(std::lround(value));
}

} // namespace

QSize ThumbnailProvider::contextSizeForMaximumSize(const QSize& maximumSize)
{
    if (maximumSize.width() < 1 || maximumSize.height() < 1)
        return {};
    const double scale =
        std::min(double(maximumSize.width()) / kPageWidth, double(maximumSize.height()) / kPageHeight);
    return {std::max(1, roundHalfAway(kPageWidth * scale)), std::max(1, roundHalfAway(kPageHeight * scale))};
}

QImage ThumbnailProvider::drawPage(const AttributedString& text, const Color& backgroundColor)
{
    QImage page(kPageWidth, kPageHeight, QImage::Format_ARGB32_Premultiplied);
    page.fill(qtColor(backgroundColor));

    auto storage = std::make_shared<TextStorage>();
    LayoutManager layout(storage);
    // The page is drawn like a string into a rectangle: no padding at the line ends.
    layout.setLineFragmentPadding(0);
    layout.setTextContainerSize({double(kPageWidth), TextContainer::kUnlimitedHeight});
    qsizetype taken = 0;
    qsizetype piece = kFirstPiece;
    while (taken < text.length() && layout.usedRectForTextContainer().height() <= kPageHeight) {
        const qsizetype length = std::min(piece, text.length() - taken);
        storage->append(text.attributedSubstring({taken, length}));
        taken += length;
        piece *= 2;
    }

    QPainter painter(&page);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.setClipRect(0, 0, kPageWidth, kPageHeight);
    const Range glyphs =
        layout.glyphRangeForBoundingRect(Rect{0, 0, double(kPageWidth), double(kPageHeight)});
    layout.drawBackgroundForGlyphRange(painter, glyphs, Point{0, 0});
    layout.drawGlyphsForGlyphRange(painter, glyphs, Point{0, 0});
    return page;
}

QImage ThumbnailProvider::provideThumbnailForFile(const QString& path, const QSize& maximumSize, Error* error)
{
    const QSize size = contextSizeForMaximumSize(maximumSize);
    if (size.isEmpty()) {
        setError(error, Error::cocoa(kFileReadUnknownError, QUrl::fromLocalFile(path),
                                     QStringLiteral("The thumbnail size must be at least 1.")));
        return {};
    }
    MutableAttributedString text;
    Color background;
    if (!OVQuickLookContent::read(path, text, &background, error))
        return {};
    return drawPage(text, background).scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}
