#pragma once

#include <QColor>
#include <QWidget>

// The translucent cover over the dual-screen controls while the second display cannot be used.
class OVPreviewDisplayOptionsView : public QWidget {
public:
    explicit OVPreviewDisplayOptionsView(QWidget* parent = nullptr);

    bool drawsBackgroundColor() const { return m_drawsBackgroundColor; }
    void setDrawsBackgroundColor(bool flag);
    QColor debugBackgroundColor() const { return m_debugBackgroundColor; }
    void setDebugBackgroundColor(const QColor& color);
    // The fill for the palette: dark when its window colour is dark.
    static QColor fillColor(const QPalette& palette);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    bool m_drawsBackgroundColor = true;
    QColor m_debugBackgroundColor;
};
