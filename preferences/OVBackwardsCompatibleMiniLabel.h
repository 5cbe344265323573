#pragma once

#include <QLabel>

// A small secondary label (units, hints beside a control), drawn in the secondary text colour: the
// palette's text colour at half strength, so it reads as less important than the control it belongs
// to on a light palette and a dark one alike. The colour is taken from the palette as it is drawn, so
// it follows a change of palette.
class OVBackwardsCompatibleMiniLabel : public QLabel {
public:
    // 127 of 255.
    static constexpr int kSecondaryAlpha = 127;

    explicit OVBackwardsCompatibleMiniLabel(const QString& text = {}, QWidget* parent = nullptr);

    // The colour the text is drawn in now.
    QColor secondaryTextColor() const;

protected:
    void paintEvent(QPaintEvent* event) override;
};
