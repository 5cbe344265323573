#pragma once

#include <QWidget>

#include <functional>
#include <vector>

class QToolButton;
class QMenu;

// The bookmark control of the toolbar: segments for the previous and next bookmark, the bookmark
// list and adding one. A click into a window that is not active only activates the window, so the
// click that brings a window forward never jumps the script or adds a bookmark by accident.
class OVBookmarkSegmentedControl : public QWidget {
public:
    enum Segment { kPrevious = 0, kNext = 1, kMenu = 2, kAdd = 3, kSegmentCount = 4 };

    explicit OVBookmarkSegmentedControl(QWidget* parent = nullptr);

    // Called with the segment's tag when a segment is clicked in an active window.
    void setSegmentHandler(std::function<void(int tag)> handler) { m_handler = std::move(handler); }
    QToolButton* segment(int tag) const;
    void setSegmentEnabled(int tag, bool enabled);
    bool isSegmentEnabled(int tag) const;
    // The menu segment pops this up (the caller keeps it filled).
    void setMenu(QMenu* menu) { m_menu = menu; }

    // Whether a click reaches the segments: only in the active window.
    bool acceptsFirstMouse() const { return false; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::vector<QToolButton*> m_segments;
    std::function<void(int)> m_handler;
    QMenu* m_menu = nullptr;
    // The release of a click that only activated the window is swallowed as well.
    bool m_swallowRelease = false;
};
