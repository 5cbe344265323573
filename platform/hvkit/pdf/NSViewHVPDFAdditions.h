#pragma once

#include "platform/hvkit/pdf/HVPDFPaginatedData.h"

#include <optional>
#include <vector>

class QPainter;
class View;

// A view drawn into a PDF through its own drawing, so text stays text: selectable, searchable and
// sharp at any zoom.
namespace NSViewHVPDFAdditions {

enum PaginationOption : unsigned {
    // One page as tall as the rect.
    kPDFSinglePage = 1,
    // Pages of the given height; a line a page break would cut starts the next page.
    kPDFPaginated = 2,
};

// What common viewers accept as a page's side, in PDF units.
inline constexpr double kMaximumPageUnits = 14400;

// Draws rect (the view's bounds coordinates) into a new PDF. A rect with no height gives one page of
// pageHeight, never a page with no height; a single page taller than viewers accept is drawn
// scaled down and carries a user unit that gives it its full size back. Nothing for a rect without
// width, a page height that is not above 0, or when Qt cannot write the PDF.
std::optional<HVPDFPaginatedData> dataWithPaginatedPDFInsideRect(View& view, const Rect& rect,
                                                                 unsigned options, double pageHeight);

struct PageBand {
    // y down from the rect's top.
    double top = 0;
    double height = 0;
};
// The bands of rect that pages of pageHeight show, top to bottom: a line a page's end would cut
// starts the next page (a line taller than a page is cut). One empty band for a rect with no
// height.
std::vector<PageBand> pageBands(const View& view, const Rect& rect, double pageHeight);

// Draws the band of rect with its top-left corner at the painter's origin, clipped to it. Lines that
// only touch the band's edges belong to the neighbouring pages and are not drawn here, so a text
// reader finds each line once.
void drawPageBand(View& view, const Rect& rect, const PageBand& band, QPainter& painter);

} // namespace NSViewHVPDFAdditions
