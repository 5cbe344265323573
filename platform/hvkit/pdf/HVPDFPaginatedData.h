#pragma once

#include "platform/foundation/Rect.h"

#include <QByteArray>

#include <vector>

// One page of a view drawn as PDF: the band of the view it shows and its size in PDF units.
struct HVPDFPage {
    // The band's top in the drawn rect, y down from the rect's top, and the height of view it shows
    // (at most the page's height; a line that would be cut starts the next page).
    double top = 0;
    double shownHeight = 0;
    // The MediaBox in PDF units; with a user unit above 1 one PDF unit is that many points.
    Size mediaSize;
    double userUnit = 1;
};

// A PDF as drawn from a view, with where its pages fall in that view: what turns a point of the view
// into a page and a place on it.
struct HVPDFPaginatedData {
    QByteArray data;
    std::vector<HVPDFPage> pages;
    // The drawn rect's width and height in view units.
    Size viewSize;
};
