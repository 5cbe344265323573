#include "output/OVStandbyView.h"

#include "output/OVBlankingItemList.h"
#include "platform/appkit/Alert.h"
#include "platform/appkit/Animation.h"
#include "platform/appkit/Event.h"
#include "platform/appkit/Menu.h"
#include "platform/appkit/MenuItem.h"
#include "platform/appkit/OpenPanel.h"
#include "platform/appkit/RectFunctions.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/hvkit/HVLocalizedString.h"
#include "prompting/OVCore.h"

#include <QFileInfo>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QPaintDevice>
#include <QPixmap>

#include <cmath>

namespace {

const QString kSetItemAction = QStringLiteral("setBlankingItemFromMenuItem:");
const QString kRemoveItemAction = QStringLiteral("removeBlankingItemFromMenuItem:");
const QString kAddItemsAction = QStringLiteral("runModalAddBlankingItems:");
const QString kToggleAutoBlankAction = QStringLiteral("toggleAutoBlankToHideEditsFromMenuItem:");
const QString kAutoBlankKey = QStringLiteral("autoBlankToHideEdits");

QString text(const char* key, const char* english)
{
    return HVLocalizedString::localizedString(QString::fromLatin1(key), QString::fromUtf8(english));
}

const QIcon& blackIcon()
{
    static const QIcon icon = [] {
        QPixmap black(OVBlankingItem::kPreviewImageSide, OVBlankingItem::kPreviewImageSide);
        black.fill(Qt::black);
        return QIcon(black);
    }();
    return icon;
}

std::optional<OVBlankingItem> representedItem(const QVariant& sender)
{
    const auto* item = sender.value<MenuItem*>();
    if (!item || !item->representedObject().canConvert<OVBlankingItem>())
        return std::nullopt;
    return item->representedObject().value<OVBlankingItem>();
}

} // namespace

void OVStandbyView::installAsPrompterStandbyView()
{
    OVPrompterStandbyView::setFactory([](const Rect& frame) -> std::unique_ptr<OVPrompterStandbyView> {
        return std::make_unique<OVStandbyView>(frame);
    });
}

OVStandbyView::OVStandbyView(const Rect& frame) : OVPrompterStandbyView(frame)
{
    setAutoresizingMask(WidthSizable | HeightSizable);
    installActions();
    setUseBlankingListSelectedItem(true);
}

OVStandbyView::~OVStandbyView() = default;

void OVStandbyView::installActions()
{
    const auto editable = [this](const UserInterfaceItem&) { return canEditItemList(); };
    setActionHandler(kSetItemAction, [this](const QVariant& sender) { setBlankingItemFromMenuItem(sender); });
    setActionHandler(
        kRemoveItemAction, [this](const QVariant& sender) { removeBlankingItemFromMenuItem(sender); },
        editable);
    setActionHandler(
        kAddItemsAction, [this](const QVariant&) { runModalAddBlankingItems(); }, editable);
    setActionHandler(kToggleAutoBlankAction,
                     [this](const QVariant&) { toggleAutoBlankToHideEditsFromMenuItem(); });
}

// The item and the list.

void OVStandbyView::setItemList(OVBlankingItemList* list)
{
    m_list = list;
    if (m_useListSelection)
        followList();
}

OVBlankingItemList& OVStandbyView::itemList() const
{
    return m_list ? *m_list : OVBlankingItemList::sharedList();
}

bool OVStandbyView::canEditItemList() const
{
    const OVCore& core = m_core ? *m_core : OVCore::sharedCore();
    return core.isModeEdit() && !core.isModeChanging();
}

void OVStandbyView::setUseBlankingListSelectedItem(bool flag)
{
    if (flag == m_useListSelection)
        return;
    m_useListSelection = flag;
    if (flag)
        followList();
    else
        m_selectionObserver.reset();
}

void OVStandbyView::followList()
{
    OVBlankingItemList& list = itemList();
    m_selectionObserver = NotificationObserver(
        NotificationCenter::shared(), OVBlankingItemListSelectedItemDidChangeNotification, &list,
        [this](const Notification& notification) {
            const QVariant value = notification.userInfo.value(OVBlankingItemListUserInfoKeySelectedItem);
            setBlankingItem(value.canConvert<OVBlankingItem>() ? std::optional(value.value<OVBlankingItem>())
                                                               : std::nullopt);
        });
    setBlankingItem(list.selectedItem());
}

void OVStandbyView::setBlankingItem(const std::optional<OVBlankingItem>& item)
{
    if (item == m_blankingItem)
        return;
    m_blankingItem = item;
    displayImage();
}

void OVStandbyView::displayImage()
{
    // Hidden, the view holds no image: a large picture costs memory in every prompter otherwise.
    m_displayedImage = !isHidden() && m_blankingItem ? m_blankingItem->image() : QImage();
    m_scaledImage = QImage();
    setNeedsDisplay(true);
}

void OVStandbyView::setStandbyHidden(bool hidden)
{
    if (hidden) {
        setHidden(true);
        displayImage();
        return;
    }
    setHidden(false);
    displayImage();
}

void OVStandbyView::setBackgroundColor(const QColor& color)
{
    if (color == m_backgroundColor)
        return;
    m_backgroundColor = color;
    setNeedsDisplay(true);
}

// Flips.

void OVStandbyView::setHorizontallyFlipped(bool flipped)
{
    if (flipped == isHorizontallyFlipped())
        return;
    OVPrompterStandbyView::setHorizontallyFlipped(flipped);
    flipTo(flipped ? -1 : 1, isVerticallyFlipped() ? -1 : 1);
}

void OVStandbyView::setVerticallyFlipped(bool flipped)
{
    if (flipped == isVerticallyFlipped())
        return;
    OVPrompterStandbyView::setVerticallyFlipped(flipped);
    flipTo(isHorizontallyFlipped() ? -1 : 1, flipped ? -1 : 1);
}

void OVStandbyView::flipTo(double horizontal, double vertical)
{
    const double fromX = m_scaleX;
    const double fromY = m_scaleY;
    const auto apply = [this, fromX, fromY, horizontal, vertical](double progress) {
        m_scaleX = fromX + (horizontal - fromX) * progress;
        m_scaleY = fromY + (vertical - fromY) * progress;
        setNeedsDisplay(true);
    };
    m_flipAnimation.reset();
    if (!usesAnimation() || isHidden()) {
        apply(1);
        return;
    }
    m_flipAnimation = std::make_unique<Animation>(kFlipAnimationDuration, apply);
    m_flipAnimation->setCompletion([this](bool) {
        m_scaleX = isHorizontallyFlipped() ? -1 : 1;
        m_scaleY = isVerticallyFlipped() ? -1 : 1;
    });
    m_flipAnimation->start();
}

// Drawing.

Rect OVStandbyView::imageRect() const
{
    if (m_displayedImage.isNull())
        return {};
    const Size bounds = this->bounds().size;
    const QSizeF image = m_displayedImage.deviceIndependentSize();
    double width = image.width();
    double height = image.height();
    if (width <= 0 || height <= 0 || bounds.width <= 0 || bounds.height <= 0)
        return {};
    // Proportionally down, never up.
    const double scale = std::min({1.0, bounds.width / width, bounds.height / height});
    width *= scale;
    height *= scale;
    return {this->bounds().origin.x + (bounds.width - width) / 2,
            this->bounds().origin.y + (bounds.height - height) / 2, width, height};
}

const QImage& OVStandbyView::scaledImageForDrawing(const Rect& rect, double devicePixelRatio, bool mirrorX,
                                                   bool mirrorY)
{
    const QSize pixels(std::max(1, int(std::lround(rect.size.width * devicePixelRatio))),
                       std::max(1, int(std::lround(rect.size.height * devicePixelRatio))));
    if (m_scaledImage.size() != pixels || m_scaledImage.devicePixelRatio() != devicePixelRatio ||
        m_scaledMirroredX != mirrorX || m_scaledMirroredY != mirrorY) {
        QImage scaled =
            m_displayedImage.size() == pixels
                ? m_displayedImage
                : m_displayedImage.scaled(pixels, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        if (mirrorX || mirrorY)
            scaled = scaled.mirrored(mirrorX, mirrorY);
        m_scaledImage = scaled.convertToFormat(QImage::Format_ARGB32_Premultiplied);
        m_scaledImage.setDevicePixelRatio(devicePixelRatio);
        m_scaledMirroredX = mirrorX;
        m_scaledMirroredY = mirrorY;
    }
    return m_scaledImage;
}

void OVStandbyView::drawRect(QPainter& painter, const Rect& dirtyRect)
{
    painter.fillRect(toQRectF(dirtyRect), m_backgroundColor);
    const Rect rect = imageRect();
    if (rect.isEmpty())
        return;
    const double ratio = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
    // Settled on a flip, the image is mirrored once and then drawn as it is: a copy per frame, where
    // a mirroring transform would resample every pixel of every frame.
    if (std::abs(m_scaleX) == 1 && std::abs(m_scaleY) == 1) {
        const QImage& image = scaledImageForDrawing(rect, ratio, m_scaleX < 0, m_scaleY < 0);
        const double x = m_scaleX < 0 ? 2 * bounds().midX() - rect.maxX() : rect.origin.x;
        const double y = m_scaleY < 0 ? 2 * bounds().midY() - rect.maxY() : rect.origin.y;
        painter.drawImage(QPointF(x, y), image);
        return;
    }
    const QImage& image = scaledImageForDrawing(rect, ratio, false, false);
    const QPointF centre(bounds().midX(), bounds().midY());
    painter.save();
    painter.translate(centre);
    painter.scale(m_scaleX, m_scaleY);
    painter.translate(-centre);
    painter.drawImage(QPointF(rect.origin.x, rect.origin.y), image);
    painter.restore();
}

void OVStandbyView::frameDidChange(const Size& oldSize)
{
    OVPrompterStandbyView::frameDidChange(oldSize);
    setNeedsDisplay(true);
}

void OVStandbyView::viewDidMoveToWindow()
{
    OVPrompterStandbyView::viewDidMoveToWindow();
    setNeedsDisplay(true);
}

// The menu.

std::unique_ptr<Menu> OVStandbyView::menuWithSelectedDefault()
{
    auto menu = std::make_unique<Menu>();
    const OVBlankingItemList& list = itemList();
    const QString selectedName = list.selectedItem() ? list.selectedItem()->fileName() : QString();
    const auto add = [&menu, this](const QString& title, const QString& action) {
        MenuItem* item = menu->addItemWithTitle(title, action);
        item->setTarget(this);
        return item;
    };

    MenuItem* black = add(text("blanking-title-blank-screen", "Blank Screen"), kSetItemAction);
    black->setImage(blackIcon());
    black->setState(selectedName.isEmpty() ? MenuItem::On : MenuItem::Off);

    if (!list.items().empty()) {
        menu->addItem(MenuItem::separatorItem());
        const QString removeTitle = text("blanking-title-remove-item", "Remove <ITEM_TITLE>");
        for (const OVBlankingItem& blankingItem : list.items()) {
            const QIcon icon(QPixmap::fromImage(blankingItem.previewImage()));
            const MenuItem::State state =
                blankingItem.fileName() == selectedName ? MenuItem::On : MenuItem::Off;
            MenuItem* choose = add(blankingItem.title(), kSetItemAction);
            choose->setRepresentedObject(QVariant::fromValue(blankingItem));
            choose->setImage(icon);
            choose->setState(state);
            // Qt has no alternate items: the menu swaps this one in while Alt is held.
            MenuItem* remove =
                add(QString(removeTitle).replace(QStringLiteral("<ITEM_TITLE>"), blankingItem.title()),
                    kRemoveItemAction);
            remove->setRepresentedObject(QVariant::fromValue(blankingItem));
            remove->setImage(icon);
            remove->setState(state);
            remove->setKeyEquivalentModifierMask(kOptionKeyMask);
            remove->setAlternate(true);
        }
    }

    menu->addItem(MenuItem::separatorItem());
    add(text("blanking-title-add-image-ellipsis", "Add Image…"), kAddItemsAction);

    menu->addItem(MenuItem::separatorItem());
    MenuItem* autoBlank = add(text("blanking-title-auto-blank-to-hide-edits", "Auto Blank to Hide Edits"),
                              kToggleAutoBlankAction);
    autoBlank->setState(UserDefaults::shared().boolForKey(kAutoBlankKey) ? MenuItem::On : MenuItem::Off);
    autoBlank->setToolTip(
        text("blanking-menuitem-tooltip-auto-blank-to-hide-edits",
             "Automatically turns on blanking in Edit mode and turns off blanking in Prompt mode. "
             "You can still control blanking manually when this feature is used."));
    return menu;
}

void OVStandbyView::rightMouseDown(Event& event)
{
    m_contextMenu = menuWithSelectedDefault();
    m_contextMenu->popUpContextMenu(event, this);
}

void OVStandbyView::mouseDown(Event& event)
{
    // A Control-click is a context-menu click too.
    if (event.modifierFlags & kControlKeyMask) {
        rightMouseDown(event);
        return;
    }
    OVPrompterStandbyView::mouseDown(event);
}

// Actions.

void OVStandbyView::setBlankingItemFromMenuItem(const QVariant& sender)
{
    const std::optional<OVBlankingItem> item = representedItem(sender);
    if (m_useListSelection)
        itemList().setSelectedItem(item);
    else
        setBlankingItem(item);
}

void OVStandbyView::removeBlankingItemFromMenuItem(const QVariant& sender)
{
    const std::optional<OVBlankingItem> item = representedItem(sender);
    if (!item)
        return;
    itemList().removeItems({*item});
    if (item == m_blankingItem)
        setBlankingItem(std::nullopt);
}

void OVStandbyView::runModalAddBlankingItems()
{
    OVBlankingItemList& list = itemList();
    const bool multiple = list.maximumCount() > 1;
    OpenPanel panel;
    panel.setCanChooseFiles(true);
    panel.setCanChooseDirectories(false);
    panel.setAllowsMultipleSelection(multiple);
    panel.setAllowedExtensions({QStringLiteral("png"), QStringLiteral("tif"), QStringLiteral("tiff"),
                                QStringLiteral("jpg"), QStringLiteral("jpeg")});
    panel.setMessage(multiple ? text("blanking-file-open-message-plural", "Select images for Blanking")
                              : text("blanking-file-open-message-singular", "Select an image for Blanking"));
    // The file dialog shows no message line: its title carries the request.
    panel.setTitle(panel.message());
    if (panel.runModal() != SavePanel::kModalResponseOK)
        return;

    std::vector<OVBlankingItem> items;
    for (const QUrl& url : panel.URLs()) {
        if (!OVBlankingItem::canReadImageAtURL(url))
            continue;
        const QString title = QFileInfo(url.toLocalFile()).fileName();
        if (std::optional<OVBlankingItem> item = OVBlankingItem::itemWithFileURL(url, title))
            items.push_back(std::move(*item));
    }
    if (items.empty()) {
        Alert::alertWithTitle(text("blanking-file-open-error-title", "No selected image could be used."),
                              text("blanking-file-open-error-message", "Please select another image."),
                              {text("alert-button-ok", "OK")})
            ->runModal();
        return;
    }
    const qsizetype added = std::min<qsizetype>(qsizetype(items.size()), list.maximumCount());
    list.addItems(std::move(items));
    // The chosen files went in front in their order: the last of them is the newest item.
    if (added <= 0 || qsizetype(list.items().size()) < added)
        return;
    const OVBlankingItem newest = list.items()[size_t(added - 1)];
    if (m_useListSelection)
        list.setSelectedItem(newest);
    else
        setBlankingItem(newest);
}

void OVStandbyView::toggleAutoBlankToHideEditsFromMenuItem()
{
    UserDefaults& defaults = UserDefaults::shared();
    defaults.setBool(!defaults.boolForKey(kAutoBlankKey), kAutoBlankKey);
    NotificationCenter::shared().postNotification(OVBlankingAutoBlankToHideEditsDidChangeNotification);
}

QImage OVStandbyView::imageFromString(const QString& string)
{
    if (string.isEmpty())
        return {};
    QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    font.setBold(true);
    font.setPixelSize(200);
    const QFontMetricsF metrics(font);
    const QSize size(int(std::ceil(metrics.horizontalAdvance(string))), int(std::ceil(metrics.height())));
    if (size.isEmpty())
        return {};
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.drawText(QRectF(QPointF(0, 0), QSizeF(size)), Qt::AlignCenter, string);
    return image;
}
