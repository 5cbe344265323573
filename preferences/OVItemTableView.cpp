#include "preferences/OVItemTableView.h"

#include <QKeyEvent>

OVItemTableView::OVItemTableView(QWidget* parent) : QTableWidget(parent) {}

void OVItemTableView::keyPressEvent(QKeyEvent* event)
{
    if (m_itemDelegate && event->type() == QEvent::KeyPress) {
        switch (event->key()) {
        case Qt::Key_Backspace:
        case Qt::Key_Delete:
            if (m_itemDelegate->canDelete()) {
                m_itemDelegate->deleteActionForItemTableView(*this);
                event->accept();
                return;
            }
            break;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            if (m_itemDelegate->canInsert()) {
                m_itemDelegate->insertActionForItemTableView(*this);
                event->accept();
                return;
            }
            break;
        default:
            break;
        }
    }
    QTableWidget::keyPressEvent(event);
}
