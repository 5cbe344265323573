#pragma once

#include "text/OVTextAttachmentCell.h"

#include <QSizeF>
#include <QVariant>

#include <functional>
#include <memory>

class OVBookmark;
class TextAttachment;

// The live cell of a bookmark attachment: it holds the bookmark and whether the bookmark shows
// (its icon) or hides (the atom picture). The pictures come from an image source, so reading and
// writing documents needs no pictures at all; the bookmark controller installs the artwork. Clicks
// on it reach the text view's delegate as on any picture's cell.
class OVBookmarkCell : public OVTextAttachmentCell {
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
    // A different bookmark takes its picture at once.
    void setBookmark(std::shared_ptr<OVBookmark> bookmark);
    bool isVisible() const { return m_visible; }
    void setVisible(bool visible) { m_visible = visible; }
    std::shared_ptr<TextAttachment> textAttachment() const { return attachment(); }

    // Takes the picture for the current visibility and display mode (a visible bookmark shows its
    // icon only in mode 1, else nothing) and gives it to the attachment's file as its icon.
    void updateImage();
    const QVariant& image() const { return m_image.image; }
    // The picture's size; in a prompter that magnifies its text the frame is divided by the
    // prompter's scale, so the icon keeps its size on screen.
    QSizeF cellSize() const override;
    QSizeF cellSizeInView(double viewScale) const override;
    void drawWithFrame(QPainter& painter, const QRectF& frame, qsizetype characterIndex,
                       LayoutManager& layoutManager) override;
    bool isOpaque() const { return false; }

    // Without a source the pictures are the names "Bookmark" and "Atom" with no size.
    static void setImageSource(ImageSource source);
    // The PNG artwork: the bookmark scaled to 34 points on its longer side, the atom as it is.
    static void installArtwork();
    static constexpr double kBookmarkIconSide = 34;
    static QSizeF scaledToLongerSide(const QSizeF& size, double side);

    // The bookmark controller's display mode: 1 shows icons, any other value draws none.
    static unsigned displayMode();
    static void setDisplayMode(unsigned mode);
    // A natural frame divided by a prompter's scale, rounded up; a scale that is not a positive
    // number leaves the frame alone.
    static QSizeF cellFrameSizeForScaleFactor(const QSizeF& natural, double scaleFactor);

private:
    std::shared_ptr<OVBookmark> m_bookmark;
    bool m_visible = true;
    Image m_image;
};
