#pragma once

#include <QIcon>
#include <QWidget>

// A picture beside a control that follows the appearance: on a dark palette it is drawn as a
// template, its shape in the palette's text colour, so a black glyph does not vanish on a dark
// window. The appearance is judged from the application palette's window colour, checked again on
// every palette change.
class OVImageView : public QWidget {
public:
    explicit OVImageView(QWidget* parent = nullptr);

    void setImage(const QIcon& image);
    const QIcon& image() const { return m_image; }
    // On by default; off draws the image as it is in every appearance.
    bool autoTemplateNonAqua() const { return m_autoTemplateNonAqua; }
    void setAutoTemplateNonAqua(bool flag);
    // Whether the image is drawn as a template now.
    bool isTemplate() const;

    // The image as it is drawn at size.
    QPixmap renderedImage(const QSize& size) const;
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    QIcon m_image;
    bool m_autoTemplateNonAqua = true;
};
