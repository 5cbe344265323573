#pragma once

#include <QTableWidget>

class OVItemTableView;

// What an item table asks of whoever owns its items when the user presses Delete or Return.
class OVItemTableViewDelegate {
public:
    virtual ~OVItemTableViewDelegate() = default;
    virtual bool canDelete() const = 0;
    virtual bool canInsert() const = 0;
    virtual void deleteActionForItemTableView(OVItemTableView& tableView) = 0;
    virtual void insertActionForItemTableView(OVItemTableView& tableView) = 0;
};

// A table whose Backspace and Delete keys ask its item delegate to delete, and whose Return and
// keypad Enter ask it to insert. A request the delegate refuses, and every other key, is the
// table's own.
class OVItemTableView : public QTableWidget {
public:
    explicit OVItemTableView(QWidget* parent = nullptr);

    OVItemTableViewDelegate* itemDelegate() const { return m_itemDelegate; }
    void setItemDelegate(OVItemTableViewDelegate* delegate) { m_itemDelegate = delegate; }

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    OVItemTableViewDelegate* m_itemDelegate = nullptr;
};
