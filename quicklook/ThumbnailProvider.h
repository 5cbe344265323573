#pragma once

#include "platform/foundation/Error.h"
#include "platform/text/AttributedString.h"
#include "platform/text/Color.h"

#include <QImage>
#include <QSize>

// Draws the thumbnail of a native package: the start of its script laid out on a 640 x 800 page on
// the document's background and scaled smoothly into the size asked for.
class ThumbnailProvider {
public:
    static constexpr int kPageWidth = 640;
    static constexpr int kPageHeight = 800;
    // The error code of a request that names no file.
    static constexpr qint64 kNoFileErrorCode = 4;

    // The page fitted inside maximumSize with its 4:5 shape kept (205 x 256 for 256 x 256); an
    // empty size for a maximum below 1 x 1.
    static QSize contextSizeForMaximumSize(const QSize& maximumSize);

    // The page as drawn, before scaling. Only as much of the text is laid out as can reach the page.
    static QImage drawPage(const AttributedString& text, const Color& backgroundColor);

    // The thumbnail of the package at path; a null image with the read error when its script cannot
    // be read or the size is unusable.
    static QImage provideThumbnailForFile(const QString& path, const QSize& maximumSize, Error* error);
};
