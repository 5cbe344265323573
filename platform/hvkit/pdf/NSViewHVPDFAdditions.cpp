#include "platform/hvkit/pdf/NSViewHVPDFAdditions.h"

#include "platform/appkit/View.h"

#include <QBuffer>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>

#include <cmath>

namespace NSViewHVPDFAdditions {

namespace {

// The view's bounds rect of a band from top (y down from the rect's top) that is height tall.
Rect bandRect(const View& view, const Rect& rect, double top, double height)
{
    if (view.isFlipped())
        return Rect{rect.minX(), rect.minY() + top, rect.width(), height};
    return Rect{rect.minX(), rect.maxY() - top - height, rect.width(), height};
}

std::vector<HVPDFPage> paginate(const View& view, const Rect& rect, unsigned options, double pageHeight)
{
    const double width = std::ceil(rect.width());
    const double height = rect.height() > 0 && std::isfinite(rect.height()) ? rect.height() : 0;
    std::vector<HVPDFPage> pages;
    if (height <= 0) {
        pages.push_back(HVPDFPage{0, 0, Size{width, pageHeight}, 1});
        return pages;
    }
    if (options != kPDFPaginated) {
        const double pageUnits = std::ceil(height);
        double userUnit = 1;
        if (pageUnits > kMaximumPageUnits || width > kMaximumPageUnits) {
            // Thousandths, rounded up, so the scaled page stays within the limit.
            userUnit = std::ceil(std::max(pageUnits, width) / kMaximumPageUnits * 1000.0) / 1000.0;
        }
        pages.push_back(HVPDFPage{0, height, Size{width / userUnit, pageUnits / userUnit}, userUnit});
        return pages;
    }
    for (const PageBand& band : pageBands(view, rect, pageHeight))
        pages.push_back(HVPDFPage{band.top, band.height, Size{width, pageHeight}, 1});
    return pages;
}

} // namespace

std::vector<PageBand> pageBands(const View& view, const Rect& rect, double pageHeight)
{
    const double height = rect.height() > 0 && std::isfinite(rect.height()) ? rect.height() : 0;
    std::vector<PageBand> bands;
    if (height <= 0 || !(pageHeight > 0)) {
        bands.push_back(PageBand{0, 0});
        return bands;
    }
    double top = 0;
    while (top < height) {
        double bottom = std::min(top + pageHeight, height);
        if (bottom < height && view.isFlipped()) {
            const double adjusted =
                view.adjustPageHeight(rect.minY() + top, rect.minY() + bottom, rect.minY() + top) -
                rect.minY();
            // A view may only move the end up, and never to the page's top.
            if (std::isfinite(adjusted) && adjusted > top && adjusted <= bottom)
                bottom = adjusted;
        }
        bands.push_back(PageBand{top, bottom - top});
        top = bottom;
    }
    return bands;
}

void drawPageBand(View& view, const Rect& rect, const PageBand& band, QPainter& painter)
{
    if (band.height <= 0)
        return;
    // The rect asked for lies a little inside the band: a view draws every line its rect touches,
    // and rounds that rect out to whole units first. The clip still shows the whole band.
    constexpr double kEdge = 1.01;
    const double inset = std::min(kEdge, band.height / 4);
    painter.save();
    painter.setClipRect(QRectF(0, 0, rect.width(), band.height), Qt::IntersectClip);
    painter.translate(0, inset);
    view.displayRectIgnoringOpacity(bandRect(view, rect, band.top + inset, band.height - 2 * inset), painter);
    painter.restore();
}

namespace {

QPageSize pageSize(const Size& size)
{
    return QPageSize(QSizeF(size.width, size.height), QPageSize::Point, QString(), QPageSize::ExactMatch);
}

} // namespace

std::optional<HVPDFPaginatedData> dataWithPaginatedPDFInsideRect(View& view, const Rect& rect,
                                                                 unsigned options, double pageHeight)
{
    if (!rect.isFinite() || !(rect.width() > 0) || !(pageHeight > 0) || !std::isfinite(pageHeight))
        return std::nullopt;
    HVPDFPaginatedData result;
    result.pages = paginate(view, rect, options, pageHeight);
    result.viewSize = Size{rect.width(), std::max(0.0, rect.height())};

    QBuffer buffer(&result.data);
    buffer.open(QIODevice::WriteOnly);
    QPdfWriter writer(&buffer);
    // One device unit per PDF unit.
    writer.setResolution(72);
    writer.setPageMargins(QMarginsF(0, 0, 0, 0), QPageLayout::Point);
    writer.setPageSize(pageSize(result.pages.front().mediaSize));
    QPainter painter;
    if (!painter.begin(&writer))
        return std::nullopt;
    for (size_t index = 0; index < result.pages.size(); ++index) {
        const HVPDFPage& page = result.pages[index];
        if (index > 0) {
            writer.setPageSize(pageSize(page.mediaSize));
            if (!writer.newPage())
                return std::nullopt;
        }
        if (page.shownHeight <= 0)
            continue;
        painter.save();
        painter.setRenderHints(View::kDefaultRenderHints);
        painter.scale(1 / page.userUnit, 1 / page.userUnit);
        drawPageBand(view, rect, PageBand{page.top, page.shownHeight}, painter);
        painter.restore();
    }
    if (!painter.end())
        return std::nullopt;
    buffer.close();
    if (result.data.isEmpty())
        return std::nullopt;
    return result;
}

} // namespace NSViewHVPDFAdditions
