#pragma once

#include <QLabel>

// A small secondary label (units, hints beside a control), drawn in the secondary text colour:
// black at half strength, so it reads as less important than the control it belongs to.
class OVBackwardsCompatibleMiniLabel : public QLabel {
public:
    // 127 of 255.
    static constexpr int kSecondaryAlpha = 127;

    explicit OVBackwardsCompatibleMiniLabel(const QString& text = {}, QWidget* parent = nullptr);
};
