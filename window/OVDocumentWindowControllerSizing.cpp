// The document window controller's view and window sizing: quick zoom, the prompter settings shown
// while editing, window-size presets, resizing locks, the Zoom frame and the saved place of new
// windows.
#include "window/OVDocumentWindowController.h"

#include "document/OVDocument.h"
#include "platform/appkit/Alert.h"
#include "platform/appkit/Application.h"
#include "platform/appkit/Menu.h"
#include "platform/appkit/MenuItem.h"
#include "platform/appkit/RunLoop.h"
#include "platform/appkit/Window.h"
#include "platform/appkit/WindowFrames.h"
#include "platform/foundation/GeometryStrings.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/hvkit/HVEventBlocker.h"
#include "platform/hvkit/HVLocalizedString.h"
#include "platform/text/AttributeNames.h"
#include "platform/text/Font.h"
#include "platform/text/TextStorage.h"
#include "platform/textview/TextView.h"
#include "prompter_view/OVClipView.h"
#include "prompter_view/OVScrollView.h"
#include "prompting/OVCore.h"
#include "settings/OVConstants.h"
#include "settings/OVSharedPreferencesAccess.h"
#include "window/OVDocumentPrompterView.h"
#include "window/OVDocumentWindowFrames.h"
#include "window/OVDocumentWindowToolbar.h"
#include "window/OVQuickZoom.h"
#include "window/OVResolutionString.h"
#include "window/OVScreenGeometryProvider.h"

#include <QApplication>
#include <QPointer>
#include <QWidget>

#include <algorithm>
#include <cmath>

namespace {

const QString kDocumentWindowFrameKey = QStringLiteral("documentWindowFrame");
const QString kQuickZoomScaleKey = QStringLiteral("quickZoomScale");
const QString kTargetFontSizeKey = QStringLiteral("documentQuickZoomTargetFontSize");
const QString kAutomaticDeltaIndexKey = QStringLiteral("quickZoomAutomaticDeltaIndex");
const QString kProportionalZoomKey = QStringLiteral("quickZoomUseProportionalZoom");
// New windows step this far right of and below the front script window.
constexpr double kCascadeStep = 22;

QString text(const char* key, const char* english)
{
    return HVLocalizedString::localizedString(QString::fromUtf8(key), QString::fromUtf8(english));
}

double fontSizeOf(const AttributeDictionary& attributes)
{
    const AttributeValue value = attributes.value(kFontAttributeName);
    const Font* font = value.font();
    return font && std::isfinite(font->pointSize) ? font->pointSize : 0;
}

// The preset a menu item carries as "W × H" (or "WxH"); empty for any other sender or text.
std::optional<Size> resolutionFromSender(const QVariant& sender)
{
    QString string;
    if (sender.canConvert<MenuItem*>()) {
        if (const MenuItem* item = sender.value<MenuItem*>())
            string = item->representedObject().toString();
    } else if (sender.typeId() == QMetaType::QString) {
        string = sender.toString();
    }
    const std::optional<OVResolutionString> preset = OVResolutionString::resolutionWithString(string);
    if (!preset)
        return std::nullopt;
    return Size{double(preset->width()), double(preset->height())};
}

// Delayed work on a window holds it weakly: a window closed in the meantime is left alone.
class WeakWindow {
public:
    explicit WeakWindow(Window* window) : m_window(window), m_host(window ? window->hostWidget() : nullptr) {}
    Window* get() const { return m_host ? m_window : nullptr; }

private:
    Window* m_window;
    QPointer<QWidget> m_host;
};

} // namespace

void OVDocumentWindowController::installSizingActions()
{
    auto on = [this](const char* action, std::function<void(const QVariant&)> handler) {
        setActionHandler(QString::fromLatin1(action), std::move(handler));
    };
    on("toggleQuickZoomContent:", [this](const QVariant&) { toggleQuickZoomContent(); });
    on("quickZoomContent:", [this](const QVariant&) { quickZoomContent(); });
    on("standardZoomContent:", [this](const QVariant&) { standardZoomContent(); });
    on("toggleShowsPrompterInDocument:",
       [this](const QVariant&) { setShowsPrompterInDocument(!showsPrompterInDocument(), {this}); });
    on("toggleShowsPrompterInAllDocuments:", [this](const QVariant&) {
        setShowsPrompterInDocument(!showsPrompterInDocument(), openWindowControllers());
    });
    on("resizeDocumentPrompterContentForMenuItem:", [this](const QVariant& sender) {
        if (const std::optional<Size> resolution = resolutionFromSender(sender))
            resizeToPrompterContentResolution(*resolution, {this});
    });
    on("resizeAllDocumentPrompterContentForMenuItem:", [this](const QVariant& sender) {
        if (const std::optional<Size> resolution = resolutionFromSender(sender))
            resizeToPrompterContentResolution(*resolution, openWindowControllers());
    });
    on("toggleLockWindowResizing:",
       [this](const QVariant&) { setLockWindowResizing(!isWindowResizingLocked(), {this}); });
    on("toggleLockAllWindowResizing:", [this](const QVariant&) {
        setLockWindowResizing(!isWindowResizingLocked(), openWindowControllers());
    });
    on("performZoom:", [this](const QVariant&) { zoomWindow(); });
    on("saveWindowPosition:", [this](const QVariant&) { saveWindowPosition(); });
}

void OVDocumentWindowController::setUpWindowSizing()
{
    m_observers.emplace_back(NotificationCenter::shared(),
                             OVPreferencesGeneralQuickZoomScaleDidChangeNotification, nullptr,
                             [this](const Notification&) {
                                 if (isContentZoomed())
                                     quickZoomContent();
                             });
    if (UserDefaults::shared().boolForKey(QStringLiteral("showPrompterControlsInEditMode")))
        setShowsPrompterInDocument(true);
    placeNewDocumentWindow();
}

// Quick zoom.

double OVDocumentWindowController::quickZoomScale() const
{
    const UserDefaults& defaults = UserDefaults::shared();
    if (const std::optional<double> fixed =
            OVQuickZoom::fixedScale(defaults.doubleForKey(kQuickZoomScaleKey)))
        return *fixed;
    const TextView* text = textView();
    double size = text ? OVQuickZoom::mostUsedPointSize(text->textStorage()) : 0;
    if (size == 0) {
        // An empty script shows what typing would give it.
        const double typing = text ? fontSizeOf(text->typingAttributes()) : 0;
        const std::optional<AttributeDictionary> style = OVSharedPreferencesAccess::defaultStyleAttributes();
        size = std::max(typing, style ? fontSizeOf(*style) : 0.0);
    }
    return OVQuickZoom::automaticScale(size, double(defaults.integerForKey(kTargetFontSizeKey)),
                                       defaults.integerForKey(kAutomaticDeltaIndexKey),
                                       OVConstants::quickZoomScaleValues());
}

bool OVDocumentWindowController::usesProportionalQuickZoom() const
{
    return m_prompterView && m_prompterView->prompterScrollView() &&
           UserDefaults::shared().boolForKey(kProportionalZoomKey);
}

double OVDocumentWindowController::contentZoomScale() const
{
    if (!m_prompterView)
        return 1.0;
    return usesProportionalQuickZoom() ? m_prompterView->prompterScrollView()->magnification()
                                       : m_prompterView->scaleFactor();
}

bool OVDocumentWindowController::isContentZoomed() const
{
    return OVQuickZoom::isScaleZoomed(contentZoomScale());
}

void OVDocumentWindowController::toggleQuickZoomContent()
{
    const double before = contentZoomScale();
    if (isContentZoomed())
        standardZoomContent();
    else
        quickZoomContent();
    if (contentZoomScale() == before)
        beep();
}

void OVDocumentWindowController::quickZoomContent()
{
    zoomContentToScale(quickZoomScale());
}

void OVDocumentWindowController::standardZoomContent()
{
    zoomContentToScale(1.0);
}

void OVDocumentWindowController::zoomContentToScale(double scale)
{
    if (!m_prompterView || !(scale > 0) || !std::isfinite(scale) || scale == contentZoomScale())
        return;
    TextView* text = textView();
    const Range visible = text ? text->visibleCharacterRange() : Range{};
    // Both ways are painter transforms: magnification keeps the text's line breaks, the scale factor
    // widens the text to the shrunk view.
    if (usesProportionalQuickZoom()) {
        m_prompterView->prompterScrollView()->setMagnification(scale);
        m_prompterView->tile();
        // Zoomed out, the script is narrower than the view: it stays in the middle.
        if (auto* clip = dynamic_cast<OVClipView*>(m_prompterView->prompterScrollView()->contentView())) {
            clip->setCentersDocumentView(scale != 1);
            clip->scrollToPoint(clip->bounds().origin);
        }
    } else {
        m_prompterView->setScaleFactor(scale);
    }
    if (text && visible.length > 0)
        text->scrollRangeToVisible(visible);
    // The caret is drawn at the new scale too, not left where the old one put it.
    if (text)
        text->setNeedsDisplay(true);
    if (m_toolbar)
        m_toolbar->updateContentZoomItem();
    synchronizeWindowTitleWithDocumentName();
    _updateMenuItems();
}

// Prompter settings in Edit mode.

bool OVDocumentWindowController::showsPrompterInDocument() const
{
    return m_prompterView && m_prompterView->reflectPrompterSettingsInEditMode();
}

void OVDocumentWindowController::setShowsPrompterInDocument(bool flag)
{
    if (flag != showsPrompterInDocument())
        setShowsPrompterInDocument(flag, {this});
}

void OVDocumentWindowController::setShowsPrompterInDocument(
    bool flag, const std::vector<OVDocumentWindowController*>& controllers)
{
    if (!m_core->isModeEdit())
        return;
    for (OVDocumentWindowController* controller : controllers) {
        if (controller && controller->m_prompterView)
            controller->m_prompterView->setReflectPrompterSettingsInEditMode(flag);
    }
    _updateMenuItems();
}

std::vector<OVDocumentWindowController*> OVDocumentWindowController::openWindowControllers()
{
    std::vector<OVDocumentWindowController*> controllers;
    auto add = [&controllers](Window* window) {
        auto* controller = dynamic_cast<OVDocumentWindowController*>(window->windowController());
        if (controller && std::find(controllers.begin(), controllers.end(), controller) == controllers.end())
            controllers.push_back(controller);
    };
    for (Window* window : Application::shared().orderedWindows())
        add(window);
    for (Window* window : Application::shared().windows())
        add(window);
    return controllers;
}

// Presets.

void OVDocumentWindowController::resizeToPrompterContentResolution(
    const Size& resolution, const std::vector<OVDocumentWindowController*>& controllers)
{
    if (!(resolution.width > 0) || !(resolution.height > 0) || !resolution.isFinite())
        return;
    const bool animated = controllers.size() > 1;
    const double duration = animated ? kPresetResizeDuration : 0;
    for (OVDocumentWindowController* controller : controllers) {
        if (!controller || !controller->isWindowLoaded())
            continue;
        Window* window = controller->window();
        const Size content = window->contentView()->frame().size;
        if (content == resolution)
            continue;
        const Rect frame = OVDocumentWindowFrames::presetFrame(
            window->frame(), content, resolution,
            [window](const Rect& contentRect) { return window->frameRectForContentRect(contentRect); });
        const Rect constrained = window->constrainFrameRect(frame, window->screen());
        if (controllers.size() == 1 && !(constrained.size == frame.size)) {
            const std::unique_ptr<Alert> alert = Alert::alertWithTitle(
                text("document-window-alert-title-resize-larger-than-screen",
                     "Do you want to resize the window larger than the screen?"),
                text("document-window-alert-description-resize-larger-than-screen",
                     "The window may shrink if moved or resized. Use Window ‣︎ Lock "
                     "Window Resizing in the "
                     "menu bar to prevent it from being resized."),
                {text("document-window-alert-button-resize", "Resize"),
                 text("alert-button-cancel", "Cancel")});
            QPointer<QWidget> host = window->hostWidget();
            alert->beginSheetModalForWindow(window, [controller, host, frame](int code) {
                if (code == Alert::kFirstButtonReturn && host)
                    controller->applyPresetFrame(frame, false, 0);
            });
            continue;
        }
        controller->applyPresetFrame(frame, animated, duration);
    }
    // The preset check marks follow the new size once it is reached.
    RunLoop::main().performAfterDelay(duration, this, QStringLiteral("_updateMenuItems"),
                                      [this] { _updateMenuItems(); });
}

void OVDocumentWindowController::applyPresetFrame(const Rect& frame, bool animated, double duration)
{
    Window* window = this->window();
    if (!animated) {
        window->setFrame(frame, true);
        _updateMenuItems();
        return;
    }
    // Finished a little before the menus are refreshed, so they see the final size.
    window->animateFrame(frame, duration - 0.02);
}

// Resizing locks.

bool OVDocumentWindowController::isWindowResizingLocked() const
{
    return isWindowLoaded() && !(controllerWindow()->styleMask() & Window::Resizable);
}

void OVDocumentWindowController::setLockWindowResizing(
    bool lock, const std::vector<OVDocumentWindowController*>& controllers)
{
    for (OVDocumentWindowController* controller : controllers) {
        if (!controller || !controller->isWindowLoaded() || controller->isWindowResizingLocked() == lock)
            continue;
        Window* window = controller->window();
        const unsigned style = window->styleMask();
        window->setStyleMask(lock ? style & ~unsigned(Window::Resizable) : style | Window::Resizable);
    }
    _updateMenuItems();
}

// Zoom.

Rect OVDocumentWindowController::windowWillUseStandardFrame(const Rect& defaultFrame) const
{
    if (!isWindowLoaded())
        return defaultFrame;
    const Window* window = controllerWindow();
    const OVScreenGeometryProvider& screens = OVScreenGeometryProvider::shared();
    const Rect frame =
        OVDocumentWindowFrames::zoomFrame(defaultFrame, screens, [window](const Rect& content) {
            return window->frameRectForContentRect(content);
        });
    const std::optional<Rect> visible = screens.operatorVisibleFrame();
    if (frame == defaultFrame || !visible || visible->isEmpty())
        return frame;
    // The title bar the window manager adds above the frame stays on the operator screen too.
    return frameMovedIntoVisibleFrame(frame, window->frameWithinAreaForDecorations(*visible));
}

void OVDocumentWindowController::zoomWindow()
{
    // The title-bar commands do nothing while prompting; the window's frame is the mode change's.
    if (!isWindowLoaded() || m_core->isModePrompt())
        return;
    // The window asks for the standard frame (windowWillUseStandardFrame) and goes back to the
    // frame it had when zoomed again.
    window()->zoom();
    _updateMenuItems();
}

// The place of new windows.

std::optional<Rect> OVDocumentWindowController::savedDocumentWindowFrame()
{
    const QString stored = UserDefaults::shared().stringForKey(kDocumentWindowFrameKey);
    if (stored.isEmpty())
        return std::nullopt;
    const Rect frame = rectFromString(stored);
    if (!frame.isFinite() || frame.isEmpty())
        return std::nullopt;
    return frame;
}

void OVDocumentWindowController::saveWindowPosition()
{
    if (!isWindowLoaded())
        return;
    Window* window = this->window();
    UserDefaults::shared().setObject(PlistValue(stringFromRect(window->frame())), kDocumentWindowFrameKey);
    // The window blinks to say it was taken; clicks during the blink would land on a moving target.
    HVEventBlocker::sharedBlocker().blockWindow(window->hostWidget(), 0, kSavePositionBlockDuration);
    const double alpha = window->alphaValue();
    window->animateAlphaValue(kSavePositionAlpha, kSavePositionFadeDuration);
    RunLoop::main().performAfterDelay(kSavePositionFadeDuration, this, QStringLiteral("restoreAlpha"),
                                      [weak = WeakWindow(window), alpha] {
                                          if (Window* still = weak.get())
                                              still->animateAlphaValue(alpha, kSavePositionFadeDuration);
                                      });
}

Rect OVDocumentWindowController::cascadedFrame(const Rect& frame, const Window& front)
{
    const Rect after = front.frame();
    Rect cascaded{{after.origin.x + kCascadeStep, after.maxY() - kCascadeStep - frame.size.height},
                  frame.size};
    const std::optional<Screen> screen = front.screen();
    if (!screen)
        return cascaded;
    // Measured with the front window's decorations: the new window gets the same.
    const Rect area = front.frameWithinAreaForDecorations(screen->visibleFrame());
    if (area.isEmpty())
        return cascaded;
    // A cascade that would run off the screen starts again at the area's top left corner, as far
    // as the area leaves room for the window.
    if (cascaded.origin.y < area.origin.y || cascaded.maxX() > area.maxX())
        cascaded.origin = {area.origin.x, area.maxY() - frame.size.height};
    return frameMovedIntoVisibleFrame(cascaded, area);
}

void OVDocumentWindowController::placeNewDocumentWindow()
{
    const auto* script = dynamic_cast<const OVDocument*>(document());
    if (!script || !script->isNewDocument())
        return;
    if (const std::optional<Rect> saved = savedDocumentWindowFrame())
        setWindowFrame(*saved);
    Window* own = window();
    for (Window* other : Application::shared().orderedWindows()) {
        if (other == own || !other->isVisible() ||
            !dynamic_cast<OVDocumentWindowController*>(other->windowController()))
            continue;
        setShouldCascadeWindows(false);
        own->setFrame(cascadedFrame(own->frame(), *other), false);
        break;
    }
}

// Menus.

void OVDocumentWindowController::updateSizingMenuItems(Menu& menu) const
{
    const bool shows = showsPrompterInDocument();
    if (MenuItem* item = menu.itemWithAction(QStringLiteral("toggleShowsPrompterInDocument:")))
        item->setTitle(shows
                           ? text("document-window-hide-prompter-in-document", "Hide Prompter in Document")
                           : text("document-window-show-prompter-in-document", "Show Prompter in Document"));
    if (MenuItem* item = menu.itemWithAction(QStringLiteral("toggleShowsPrompterInAllDocuments:")))
        item->setTitle(
            shows ? text("document-window-hide-prompter-in-all-documents", "Hide Prompter in All Documents")
                  : text("document-window-show-prompter-in-all-documents", "Show Prompter in All Documents"));
    const bool locked = isWindowResizingLocked();
    if (MenuItem* item = menu.itemWithAction(QStringLiteral("toggleLockWindowResizing:")))
        item->setTitle(locked ? text("document-window-unlock-window-resizing", "Unlock Window Resizing")
                              : text("document-window-lock-window-resizing", "Lock Window Resizing"));
    if (MenuItem* item = menu.itemWithAction(QStringLiteral("toggleLockAllWindowResizing:")))
        item->setTitle(locked
                           ? text("document-window-unlock-all-window-resizing", "Unlock All Window Resizing")
                           : text("document-window-lock-all-window-resizing", "Lock All Window Resizing"));
    if (MenuItem* zoom = menu.itemWithAction(QStringLiteral("toggleQuickZoomContent:")))
        zoom->setTitle(isContentZoomed() ? text("zoom-default-zoom", "Default Zoom")
                                         : text("zoom-quick-zoom", "Quick Zoom"));
    const MenuItem* presets =
        menu.itemWithAction(QStringLiteral("resizeDocumentPrompterContentForMenuItem:"));
    if (!presets || !presets->menu() || !m_prompterView)
        return;
    const Size content = m_prompterView->frame().size;
    // Whole points, as the presets are written.
    const Size shown{std::floor(content.width), std::floor(content.height)};
    for (MenuItem* item : presets->menu()->items()) {
        const std::optional<Size> resolution = resolutionFromSender(QVariant::fromValue(item));
        if (!resolution || item->action() != QLatin1String("resizeDocumentPrompterContentForMenuItem:"))
            continue;
        if (*resolution == shown)
            item->setState(MenuItem::On);
        else if (item->state() == MenuItem::On)
            item->setState(MenuItem::Off);
    }
}
