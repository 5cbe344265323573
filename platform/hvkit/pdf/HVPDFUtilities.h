#pragma once

#include "platform/hvkit/pdf/HVPDFAnnotation.h"
#include "platform/hvkit/pdf/HVPDFMetadata.h"
#include "platform/hvkit/pdf/HVPDFOutlineItem.h"
#include "platform/hvkit/pdf/HVPDFPaginatedData.h"

#include <QByteArray>

#include <optional>
#include <vector>

// What Qt's PDF writer leaves out, added to a finished PDF: the document information (author,
// subject, keywords, creator) and an XMP packet that says the same, the outline, and notes. The PDF
// is read and written again as a whole, so the result is one clean, cross-referenced file.
class HVPDFUtilities {
public:
    // Outline items follow the given order. Nothing when the data is not a PDF that can be read or
    // the result cannot be written; the reason is logged.
    static std::optional<QByteArray> enhancePDFData(const HVPDFPaginatedData& data,
                                                    const HVPDFMetadata& metadata,
                                                    const std::vector<HVPDFOutlineItem>& outlineItems,
                                                    const std::vector<HVPDFAnnotation>& annotations);

    struct PagePoint {
        int page = 0;
        // PDF units of that page, y up from its bottom.
        Point point;
    };
    // Where a point lands in the PDF. page -1 finds the page from the point, which must then be
    // absolute; a point past the last page lands on it.
    static PagePoint pagePointForPoint(const HVPDFPaginatedData& data, int page, const Point& point,
                                       bool flipped, bool absolute);
    // A note's rectangle on its page, in PDF units.
    static Rect annotationRect(const HVPDFPaginatedData& data, const HVPDFAnnotation& annotation, int* page);
};
