#include "text/OVBookmarkCell.h"

#include "platform/foundation/FileWrapper.h"
#include "platform/text/TextAttachment.h"

namespace {

OVBookmarkCell::ImageSource& imageSource()
{
    static OVBookmarkCell::ImageSource source;
    return source;
}

} // namespace

std::shared_ptr<OVBookmarkCell>
OVBookmarkCell::cellWithBookmark(std::shared_ptr<OVBookmark> bookmark,
                                 const std::shared_ptr<TextAttachment>& textAttachment)
{
    auto cell = std::make_shared<OVBookmarkCell>();
    cell->m_bookmark = std::move(bookmark);
    cell->m_textAttachment = textAttachment;
    return cell;
}

void OVBookmarkCell::updateImage()
{
    if (imageSource())
        m_image = imageSource()(m_visible);
    else
        m_image = Image{QVariant(m_visible ? QStringLiteral("Bookmark") : QStringLiteral("Atom")), QSizeF()};
    if (const auto attachment = m_textAttachment.lock(); attachment && attachment->fileWrapper())
        attachment->fileWrapper()->setIcon(m_image.image);
}

void OVBookmarkCell::setImageSource(ImageSource source)
{
    imageSource() = std::move(source);
}
