// The application delegate's menus: the Unmark item's title, the window size presets, the blanking
// options, the titles of Undo and Redo, and which items are available.
#include "app/OVAppDelegate.h"
#include "app/OVAppDelegatePrivate.h"

#include "platform/appkit/Application.h"
#include "platform/appkit/MenuItem.h"
#include "platform/appkit/UndoManager.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/hvkit/HVLocalizedString.h"
#include "platform/textview/TextView.h"
#include "window/OVResolutionString.h"

using namespace OVAppDelegatePrivate;

namespace {

const QString kEllipsis = QStringLiteral("…");

OVAppDelegate::BlankingMenuSource& blankingMenuSource()
{
    static OVAppDelegate::BlankingMenuSource source;
    return source;
}

OVAppDelegate::SizePresetSource& sizePresetSource()
{
    static OVAppDelegate::SizePresetSource source;
    return source;
}

} // namespace

void OVAppDelegate::updateUnmarkMenuItemsForSuppressSetting()
{
    MenuItem* item = m_mainMenu->itemWithAction(QStringLiteral("unmarkAll:"));
    if (!item)
        return;
    QString title = item->title();
    while (title.endsWith(kEllipsis))
        title.chop(kEllipsis.size());
    while (title.endsWith(QStringLiteral("...")))
        title.chop(3);
    // Without a confirmation to come, the item runs at once and its title says so.
    if (!boolIfKnown(UserDefaults::shared(), kSuppressConfirmationForUnmarkKey).value_or(false))
        title += kEllipsis;
    item->setTitle(title);
}

std::vector<OVAppDelegate::SizePreset> OVAppDelegate::defaultSizePresets()
{
    std::vector<SizePreset> presets;
    for (const QString& string : OVResolutionString::registeredStringValues())
        presets.push_back({string, false});
    return presets;
}

std::vector<OVAppDelegate::SizePreset> OVAppDelegate::storedSizePresets()
{
    const std::optional<OVResolutionString> favorite = OVResolutionString::favoriteResolutionString();
    std::vector<SizePreset> presets;
    for (const OVResolutionString& preset : OVResolutionString::defaultResolutionStrings())
        presets.push_back({preset.stringValue(), favorite && *favorite == preset});
    return presets;
}

void OVAppDelegate::setSizePresetSource(SizePresetSource source)
{
    sizePresetSource() = std::move(source);
}

void OVAppDelegate::rebuildWindowPresetSizesMenu()
{
    if (!m_resizeDocumentPrompterMenuItem || !m_resizeDocumentPrompterMenuItem->submenu())
        return;
    Menu& menu = *m_resizeDocumentPrompterMenuItem->submenu();
    menu.removeAllItems();
    const std::vector<SizePreset> presets = sizePresetSource() ? sizePresetSource()() : storedSizePresets();
    const QString resizeAll = HVLocalizedString::localizedString(
        QStringLiteral("window-resize-title-resize-all"), QStringLiteral("<RESOLUTION> Resize All"));
    for (const SizePreset& preset : presets) {
        MenuItem* item =
            menu.addItemWithTitle(preset.string, QStringLiteral("resizeDocumentPrompterContentForMenuItem:"));
        item->setRepresentedObject(preset.string);
        item->setState(preset.favorite ? MenuItem::Mixed : MenuItem::Off);
        MenuItem* alternate =
            menu.addItemWithTitle(QString(resizeAll).replace(QStringLiteral("<RESOLUTION>"), preset.string),
                                  QStringLiteral("resizeAllDocumentPrompterContentForMenuItem:"));
        alternate->setRepresentedObject(preset.string);
        alternate->setKeyEquivalentModifierMask(kOptionKeyMask);
        alternate->setAlternate(true);
    }
    menu.addSeparatorIfNeeded();
    menu.addItemWithTitle(
        HVLocalizedString::localizedString(QStringLiteral("window-resize-title-edit-sizes…"),
                                           QStringLiteral("Edit Sizes…")),
        QStringLiteral("editDocumentPrompterContentSizePresets:"));
}

namespace {

// Undo and Redo say what they would do ("Undo Typing").
void updateUndoItemTitles(Menu& menu)
{
    // The undo manager of whoever would answer the item: the key window's text, as a rule.
    const auto managerFor = [](const QString& action) -> UndoManager* {
        auto* text = dynamic_cast<TextView*>(Application::shared().targetForAction(action, nullptr));
        return text ? text->undoManager() : nullptr;
    };
    for (MenuItem* item : menu.items()) {
        if (item->action() == QLatin1String("undo:")) {
            UndoManager* undo = managerFor(item->action());
            item->setTitle(undo ? undo->undoMenuItemTitle() : QStringLiteral("Undo"));
        } else if (item->action() == QLatin1String("redo:")) {
            UndoManager* undo = managerFor(item->action());
            item->setTitle(undo ? undo->redoMenuItemTitle() : QStringLiteral("Redo"));
        }
    }
}

} // namespace

void OVAppDelegate::menuNeedsUpdate(Menu& menu)
{
    if (&menu != m_blankingOptionsMenu) {
        updateUndoItemTitles(menu);
        return;
    }
    menu.removeAllItems();
    const BlankingMenuSource& source = blankingMenuSource();
    const std::unique_ptr<Menu> choices = source ? source() : nullptr;
    if (!choices)
        return;
    for (MenuItem* item : choices->items())
        menu.addItem(item->copy());
}

bool OVAppDelegate::hasBlankingSource() const
{
    const BlankingMenuSource& source = blankingMenuSource();
    return source && source() != nullptr;
}

void OVAppDelegate::setBlankingMenuSource(BlankingMenuSource source)
{
    blankingMenuSource() = std::move(source);
}

bool OVAppDelegate::validateUserInterfaceItem(const UserInterfaceItem& item) const
{
    // Linux has no version browser to run inside; these items are always available.
    if (item.action == QLatin1String("orderFrontCustomAboutPanel:") ||
        item.action == QLatin1String("openTutorialDocument:") ||
        item.action == QLatin1String("togglePreviewWindow:"))
        return respondsToAction(item.action);
    if (item.action == QLatin1String("blankingOptionsAction:"))
        return hasBlankingSource();
    return respondsToAction(item.action);
}
