#include "platform/hvkit/HVDropView.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>

HVDropView* HVDropView::dropViewAttachedToView(QWidget* view)
{
    auto* drop = new HVDropView(view);
    drop->setGeometry(view->rect());
    view->installEventFilter(drop);
    drop->raise();
    drop->show();
    return drop;
}

HVDropView::HVDropView(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("dropView"));
    setAcceptDrops(true);
    setAttribute(Qt::WA_NoSystemBackground);
}

bool HVDropView::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == parent() && event->type() == QEvent::Resize)
        setGeometry(parentWidget()->rect());
    return QWidget::eventFilter(watched, event);
}

QString HVDropView::availableType(const QMimeData& data) const
{
    for (const QString& type : m_types) {
        if (data.hasFormat(type))
            return type;
    }
    return {};
}

bool HVDropView::performDrop(const QMimeData& data)
{
    if (!m_delegate || availableType(data).isEmpty())
        return false;
    return m_delegate(*this, data);
}

void HVDropView::dragEnterEvent(QDragEnterEvent* event)
{
    if (event->mimeData() && !availableType(*event->mimeData()).isEmpty())
        event->acceptProposedAction();
    else
        event->ignore();
}

void HVDropView::dragMoveEvent(QDragMoveEvent* event)
{
    if (event->mimeData() && !availableType(*event->mimeData()).isEmpty())
        event->acceptProposedAction();
    else
        event->ignore();
}

void HVDropView::dropEvent(QDropEvent* event)
{
    if (event->mimeData() && performDrop(*event->mimeData()))
        event->acceptProposedAction();
    else
        event->ignore();
}
