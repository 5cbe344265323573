#include "window/OVBookmarkSegmentedControl.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QMenu>
#include <QToolButton>

OVBookmarkSegmentedControl::OVBookmarkSegmentedControl(QWidget* parent) : QWidget(parent)
{
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    const struct {
        const char* name;
        Qt::ArrowType arrow;
        const char* text;
    } segments[] = {{"previousBookmark", Qt::LeftArrow, ""},
                    {"nextBookmark", Qt::RightArrow, ""},
                    {"bookmarksMenu", Qt::DownArrow, ""},
                    {"addBookmark", Qt::NoArrow, "+"}};
    for (int tag = 0; tag < kSegmentCount; ++tag) {
        auto* button = new QToolButton(this);
        button->setObjectName(QString::fromLatin1(segments[tag].name));
        button->setArrowType(segments[tag].arrow);
        if (*segments[tag].text)
            button->setText(QString::fromLatin1(segments[tag].text));
        button->installEventFilter(this);
        QObject::connect(button, &QToolButton::clicked, this, [this, tag, button] {
            if (tag == kMenu && m_menu) {
                m_menu->popup(button->mapToGlobal(QPoint(0, button->height())));
                return;
            }
            if (m_handler)
                m_handler(tag);
        });
        row->addWidget(button);
        m_segments.push_back(button);
    }
}

QToolButton* OVBookmarkSegmentedControl::segment(int tag) const
{
    return tag >= 0 && tag < int(m_segments.size()) ? m_segments[size_t(tag)] : nullptr;
}

void OVBookmarkSegmentedControl::setSegmentEnabled(int tag, bool enabled)
{
    if (QToolButton* button = segment(tag))
        button->setEnabled(enabled);
}

bool OVBookmarkSegmentedControl::isSegmentEnabled(int tag) const
{
    const QToolButton* button = segment(tag);
    return button && button->isEnabled();
}

bool OVBookmarkSegmentedControl::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonDblClick) {
        QWidget* top = window();
        if (!acceptsFirstMouse() && top && !top->isActiveWindow()) {
            top->activateWindow();
            top->raise();
            m_swallowRelease = true;
            return true;
        }
    } else if (event->type() == QEvent::MouseButtonRelease && m_swallowRelease) {
        m_swallowRelease = false;
        return true;
    }
    return QWidget::eventFilter(watched, event);
}
