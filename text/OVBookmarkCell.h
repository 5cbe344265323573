#pragma once

#include "platform/text/TextAttachmentCell.h"

#include <QSizeF>
#include <QVariant>

#include <functional>
#include <memory>

class OVBookmark;
class TextAttachment;

// The live cell of a bookmark attachment: it holds the bookmark and whether the bookmark shows
// (its icon) or hides (the atom picture). The pictures come from an image source that the view
// layer installs, so the model never needs GUI classes.
class OVBookmarkCell : public TextAttachmentCell {
public:
    struct Image {
        QVariant image;
        QSizeF size;
    };
    // Answers the picture for a visible or a hidden cell.
    using ImageSource = std::function<Image(bool visible)>;

    static std::shared_ptr<OVBookmarkCell>
    cellWithBookmark(std::shared_ptr<OVBookmark> bookmark,
                     const std::shared_ptr<TextAttachment>& textAttachment);

    const std::shared_ptr<OVBookmark>& bookmark() const { return m_bookmark; }
    void setBookmark(std::shared_ptr<OVBookmark> bookmark) { m_bookmark = std::move(bookmark); }
    bool isVisible() const { return m_visible; }
    void setVisible(bool visible) { m_visible = visible; }
    std::shared_ptr<TextAttachment> textAttachment() const { return m_textAttachment.lock(); }

    // Takes the picture for the current visibility and gives it to the attachment's file as its icon.
    void updateImage();
    const QVariant& image() const { return m_image.image; }
    QSizeF cellSize() const override { return m_image.size; }

    // Without a source the pictures are the names "Bookmark" and "Atom" with no size.
    static void setImageSource(ImageSource source);

private:
    std::shared_ptr<OVBookmark> m_bookmark;
    // The attachment owns the cell; the way back must not keep it alive.
    std::weak_ptr<TextAttachment> m_textAttachment;
    bool m_visible = true;
    Image m_image;
};
