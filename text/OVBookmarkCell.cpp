#include "text/OVBookmarkCell.h"

#include "platform/foundation/FileWrapper.h"
#include "platform/text/TextAttachment.h"

#include <QImage>
#include <QPainter>

#include <cmath>

namespace {

OVBookmarkCell::ImageSource& imageSource()
{
    static OVBookmarkCell::ImageSource source;
    return source;
}

unsigned& sharedDisplayMode()
{
    static unsigned mode = 1;
    return mode;
}

} // namespace

std::shared_ptr<OVBookmarkCell>
OVBookmarkCell::cellWithBookmark(std::shared_ptr<OVBookmark> bookmark,
                                 const std::shared_ptr<TextAttachment>& textAttachment)
{
    auto cell = std::make_shared<OVBookmarkCell>();
    cell->m_bookmark = std::move(bookmark);
    cell->setAttachment(textAttachment);
    return cell;
}

void OVBookmarkCell::setBookmark(std::shared_ptr<OVBookmark> bookmark)
{
    if (bookmark == m_bookmark)
        return;
    m_bookmark = std::move(bookmark);
    updateImage();
}

void OVBookmarkCell::updateImage()
{
    if (m_visible && sharedDisplayMode() != 1)
        m_image = Image{};
    else if (imageSource())
        m_image = imageSource()(m_visible);
    else
        m_image = Image{QVariant(m_visible ? QStringLiteral("Bookmark") : QStringLiteral("Atom")), QSizeF()};
    if (const auto attachment = this->attachment(); attachment && attachment->fileWrapper())
        attachment->fileWrapper()->setIcon(m_image.image);
}

void OVBookmarkCell::setImageSource(ImageSource source)
{
    imageSource() = std::move(source);
}

QSizeF OVBookmarkCell::cellSize() const
{
    return m_image.size;
}

QSizeF OVBookmarkCell::cellSizeInView(double viewScale) const
{
    return cellFrameSizeForScaleFactor(m_image.size, viewScale);
}

void OVBookmarkCell::drawWithFrame(QPainter& painter, const QRectF& frame, qsizetype, LayoutManager&)
{
    if (m_image.image.canConvert<QImage>() && !frame.isEmpty()) {
        painter.save();
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(frame, m_image.image.value<QImage>());
        painter.restore();
    }
}

QSizeF OVBookmarkCell::scaledToLongerSide(const QSizeF& size, double side)
{
    const double longer = std::max(size.width(), size.height());
    if (!(longer > 0))
        return size;
    const double factor = side / longer;
    // std::round takes halves away from zero: 25.5 becomes 26.
    return QSizeF(std::round(size.width() * factor), std::round(size.height() * factor));
}

void OVBookmarkCell::installArtwork()
{
    static const Image bookmark = [] {
        const QImage image(QStringLiteral(":/bookmarks/Bookmark.png"));
        return Image{QVariant(image), scaledToLongerSide(QSizeF(image.size()), kBookmarkIconSide)};
    }();
    static const Image atom = [] {
        const QImage image(QStringLiteral(":/bookmarks/Atom.png"));
        return Image{QVariant(image), QSizeF(image.size())};
    }();
    setImageSource([](bool visible) { return visible ? bookmark : atom; });
}

unsigned OVBookmarkCell::displayMode()
{
    return sharedDisplayMode();
}

void OVBookmarkCell::setDisplayMode(unsigned mode)
{
    sharedDisplayMode() = mode;
}

QSizeF OVBookmarkCell::cellFrameSizeForScaleFactor(const QSizeF& natural, double scaleFactor)
{
    // Nothing to divide by: a broken zoom must not make the icon vanish or explode.
    if (!std::isfinite(scaleFactor) || scaleFactor <= 0 || scaleFactor == 1)
        return natural;
    return QSizeF(std::ceil(natural.width() / scaleFactor), std::ceil(natural.height() / scaleFactor));
}
