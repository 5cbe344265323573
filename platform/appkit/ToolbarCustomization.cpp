#include "platform/appkit/ToolbarCustomization.h"

#include "platform/appkit/Toolbar.h"
#include "platform/appkit/ToolbarItem.h"

#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

QStringList ToolbarCustomization::arrangedIdentifiers(const QStringList& current, const QStringList& allowed,
                                                      const QSet<QString>& chosen)
{
    QStringList arranged;
    for (const QString& identifier : current) {
        if (chosen.contains(identifier))
            arranged << identifier;
    }
    for (const QString& identifier : allowed) {
        if (chosen.contains(identifier) && !arranged.contains(identifier))
            arranged << identifier;
    }
    return arranged;
}

void ToolbarCustomization::apply(Toolbar& toolbar, const QStringList& identifiers)
{
    if (toolbar.itemIdentifiers() == identifiers)
        return;
    // Items in the wanted order stay (with their state); everything after the first difference goes.
    const QStringList current = toolbar.itemIdentifiers();
    int same = 0;
    while (same < current.size() && same < identifiers.size() && current.at(same) == identifiers.at(same))
        ++same;
    for (int i = int(current.size()) - 1; i >= same; --i)
        toolbar.removeItemAtIndex(i);
    for (int i = same; i < identifiers.size(); ++i)
        toolbar.insertItemWithItemIdentifier(identifiers.at(i), -1);
}

bool ToolbarCustomization::run(Toolbar& toolbar, QWidget* parent)
{
    QDialog dialog(parent);
    dialog.setWindowTitle(QObject::tr("Customize Toolbar"));
    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(new QLabel(QObject::tr("Items shown in the toolbar:")));
    auto* list = new QListWidget;
    layout->addWidget(list);
    const QStringList allowed = toolbar.allowedItemIdentifiers();
    auto fill = [&](const QStringList& shown) {
        list->clear();
        for (const QString& identifier : allowed) {
            ToolbarItem* present = toolbar.itemWithIdentifier(identifier);
            QString label = present ? present->paletteLabel() : QString();
            if (label.isEmpty() && toolbar.delegate()) {
                if (auto made = toolbar.delegate()->itemForItemIdentifier(toolbar, identifier, false))
                    label = made->paletteLabel();
            }
            // The standard items are named as the toolbar labels them, never by their identifiers.
            if (label.isEmpty() && identifier == kToolbarShowColorsItemIdentifier)
                label = QObject::tr("Colors");
            else if (label.isEmpty() && identifier == kToolbarShowFontsItemIdentifier)
                label = QObject::tr("Fonts");
            else if (label.isEmpty() && identifier == kToolbarPrintItemIdentifier)
                label = QObject::tr("Print");
            if (identifier == kToolbarSpaceItemIdentifier)
                label = QObject::tr("Space");
            else if (identifier == kToolbarFlexibleSpaceItemIdentifier)
                label = QObject::tr("Flexible Space");
            else if (label.isEmpty())
                label = identifier;
            auto* row = new QListWidgetItem(label, list);
            row->setData(Qt::UserRole, identifier);
            row->setFlags(row->flags() | Qt::ItemIsUserCheckable);
            row->setCheckState(shown.contains(identifier) ? Qt::Checked : Qt::Unchecked);
        }
    };
    QStringList base = toolbar.itemIdentifiers();
    fill(base);
    auto* show = new QComboBox;
    show->addItems({QObject::tr("Icon and Text"), QObject::tr("Icon Only"), QObject::tr("Text Only")});
    const int mode = int(toolbar.displayMode());
    show->setCurrentIndex(mode == 0 ? 0 : mode - 1);
    layout->addWidget(show);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    QPushButton* defaults = buttons->addButton(QObject::tr("Use Default Set"), QDialogButtonBox::ResetRole);
    QObject::connect(defaults, &QPushButton::clicked, &dialog, [&] {
        base = toolbar.defaultItemIdentifiers();
        fill(base);
    });
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    layout->addWidget(buttons);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    QSet<QString> chosen;
    for (int i = 0; i < list->count(); ++i) {
        if (list->item(i)->checkState() == Qt::Checked)
            chosen.insert(list->item(i)->data(Qt::UserRole).toString());
    }
    apply(toolbar, arrangedIdentifiers(base, allowed, chosen));
    toolbar.setDisplayMode(Toolbar::DisplayMode(show->currentIndex() + 1));
    return true;
}
