#include "platform/appkit/WindowCloseKeys.h"

#include <QDialog>
#include <QEvent>
#include <QKeyEvent>
#include <QKeySequence>
#include <QPointer>
#include <QWidget>

namespace {

class CloseKeysFilter final : public QObject {
public:
    explicit CloseKeysFilter(QWidget& window) : QObject(&window), m_window(&window) {}

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::KeyPress || !m_window)
            return QObject::eventFilter(watched, event);
        auto* key = static_cast<QKeyEvent*>(event);
        const bool escape = key->key() == Qt::Key_Escape && key->modifiers() == Qt::NoModifier;
        if (!escape && !key->matches(QKeySequence::Close))
            return QObject::eventFilter(watched, event);
        if (auto* dialog = qobject_cast<QDialog*>(m_window.data()))
            dialog->reject();
        else
            m_window->close();
        return true;
    }

private:
    QPointer<QWidget> m_window;
};

} // namespace

void closeWithStandardKeys(QWidget& window)
{
    auto* filter = new CloseKeysFilter(window);
    // Keys no part of the window took travel up to it and reach the filter there.
    window.installEventFilter(filter);
    for (QDialog* part : window.findChildren<QDialog*>()) {
        if (!part->isWindow())
            part->installEventFilter(filter);
    }
}
