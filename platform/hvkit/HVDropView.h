#pragma once

#include <QStringList>
#include <QWidget>

#include <functional>

class QMimeData;

// A transparent drop target laid over another widget: it takes drags that carry one of its
// types and hands the drop to its delegate. It follows the size of the widget it covers.
class HVDropView : public QWidget {
public:
    // Answers whether the drop was used.
    using Delegate = std::function<bool(HVDropView& view, const QMimeData& data)>;

    // A drop view over view, as its child.
    static HVDropView* dropViewAttachedToView(QWidget* view);

    void registerForDraggedTypes(const QStringList& types) { m_types = types; }
    const QStringList& registeredDraggedTypes() const { return m_types; }
    void setDelegate(Delegate delegate) { m_delegate = std::move(delegate); }
    // The first of the registered types data carries; empty when none.
    QString availableType(const QMimeData& data) const;
    // As a drop would: the delegate's answer, false without a delegate or a type.
    bool performDrop(const QMimeData& data);

protected:
    explicit HVDropView(QWidget* parent);
    bool eventFilter(QObject* watched, QEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    QStringList m_types;
    Delegate m_delegate;
};
