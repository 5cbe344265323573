#pragma once

#include <QSet>
#include <QString>
#include <QStringList>

class QWidget;
class Toolbar;

// The toolbar's customisation: a small dialog listing the items the toolbar allows, each shown or
// not, and how items show. Linux desktops have no shared palette a toolbar could hand this to.
class ToolbarCustomization {
public:
    // The toolbar's items after a choice: those kept stay in their order, newly chosen ones follow
    // in the allowed order.
    static QStringList arrangedIdentifiers(const QStringList& current, const QStringList& allowed,
                                           const QSet<QString>& chosen);
    // Brings the toolbar to exactly these items with as few removals and insertions as it takes.
    static void apply(Toolbar& toolbar, const QStringList& identifiers);
    // Runs the dialog; true when the user accepted it.
    static bool run(Toolbar& toolbar, QWidget* parent);
};
