#pragma once

#include "output/OVBlankingItem.h"
#include "platform/foundation/NotificationCenter.h"
#include "prompter_view/OVPrompterStandbyView.h"

#include <QColor>
#include <QImage>

#include <memory>
#include <optional>

class Animation;
class Menu;
class OVBlankingItemList;
class OVCore;

// What a prompter shows instead of its script while blanked: black, or the chosen blanking image
// centred and only ever scaled down, turned with the output's flips. Its context menu chooses, adds
// and removes blanking images and switches automatic blanking; the application's Blanking menu is
// the same menu.
class OVStandbyView : public OVPrompterStandbyView {
public:
    static constexpr double kFlipAnimationDuration = 0.3;

    explicit OVStandbyView(const Rect& frame = {});
    ~OVStandbyView() override;

    // Every prompter view made from now on covers its script with a standby view.
    static void installAsPrompterStandbyView();

    const std::optional<OVBlankingItem>& blankingItem() const { return m_blankingItem; }
    void setBlankingItem(const std::optional<OVBlankingItem>& item);
    bool useBlankingListSelectedItem() const { return m_useListSelection; }
    // On: follows the list's selection (and takes it at once); off: keeps its own item.
    void setUseBlankingListSelectedItem(bool flag);
    const QColor& backgroundColor() const { return m_backgroundColor; }
    void setBackgroundColor(const QColor& color);
    void setHorizontallyFlipped(bool flipped) override;
    void setVerticallyFlipped(bool flipped) override;
    double flipAnimationDuration() const override { return usesAnimation() && !isHidden() ? kFlipAnimationDuration : 0; }
    // The image shown: the item's image while visible, none while hidden.
    const QImage& displayedImage() const { return m_displayedImage; }
    // Where the image is drawn, in the view's (flipped, y down) bounds.
    Rect imageRect() const;
    void setStandbyHidden(bool hidden) override;

    // The list and the prompting core it works with; the shared ones unless set (tests set their own).
    void setItemList(OVBlankingItemList* list);
    OVBlankingItemList& itemList() const;
    void setCore(const OVCore* core) { m_core = core; }
    // Adding and removing images waits for Edit mode, outside a mode change.
    bool canEditItemList() const;

    // The blanking menu, built afresh from the list on every call.
    std::unique_ptr<Menu> menuWithSelectedDefault() override;
    void rightMouseDown(Event& event) override;
    void mouseDown(Event& event) override;
    // The menu last shown as a context menu, while it exists.
    Menu* contextMenu() const { return m_contextMenu.get(); }

    // Actions of the menu items; sender is the QVariant of the chosen MenuItem*.
    void setBlankingItemFromMenuItem(const QVariant& sender);
    void removeBlankingItemFromMenuItem(const QVariant& sender);
    void runModalAddBlankingItems();
    void toggleAutoBlankToHideEditsFromMenuItem();

    // The string drawn white in the bold system font at 200 points, sized to it; null when empty.
    static QImage imageFromString(const QString& string);

    bool isFlipped() const override { return true; }
    void drawRect(QPainter& painter, const Rect& dirtyRect) override;
    void viewDidMoveToWindow() override;
    // The current drawing scale of each axis (1 upright, -1 mirrored).
    double horizontalScale() const { return m_scaleX; }
    double verticalScale() const { return m_scaleY; }

protected:
    void frameDidChange(const Size& oldSize) override;

private:
    void installActions();
    void followList();
    void displayImage();
    void flipTo(double horizontal, double vertical);
    const QImage& scaledImageForDrawing(const Rect& rect, double devicePixelRatio, bool mirrorX,
                                        bool mirrorY);

    std::optional<OVBlankingItem> m_blankingItem;
    bool m_useListSelection = false;
    QColor m_backgroundColor = Qt::black;
    QImage m_displayedImage;
    // The displayed image at the size it is drawn, made once per size: drawing never scales.
    QImage m_scaledImage;
    bool m_scaledMirroredX = false;
    bool m_scaledMirroredY = false;
    // Current scale of each axis: 1 upright, -1 mirrored, in between while a flip animates.
    double m_scaleX = 1;
    double m_scaleY = 1;
    std::unique_ptr<Animation> m_flipAnimation;
    OVBlankingItemList* m_list = nullptr;
    const OVCore* m_core = nullptr;
    NotificationObserver m_selectionObserver;
    std::unique_ptr<Menu> m_contextMenu;
};
