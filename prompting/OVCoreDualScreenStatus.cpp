// The screens prompting works with: the dual-screen status, the arrangement Prompt mode was set up
// for and the controller window's frame in it, and what a display reconfiguration does to them.
#include "prompting/OVCore.h"
#include "prompting/OVCorePrivate.h"

#include "platform/appkit/Application.h"
#include "platform/appkit/Window.h"
#include "platform/foundation/NotificationCenter.h"
#include "prompting/OVCoreController.h"
#include "prompting/OVCoreSettings.h"

#include <QDebug>

#include <cmath>
#include <optional>

namespace {

// Linux offers no query for hardware mirroring; a display showing exactly the other one's area is
// what a mirrored output looks like to Qt.
bool mirrors(const Screen& screen, const Screen& other)
{
    return screen.displayID() != other.displayID() && screen.frame() == other.frame();
}

// The operator screen is the first; the talent screen the first other one, else the operator's.
struct ScreenRoles {
    std::optional<Screen> operatorScreen;
    std::optional<Screen> talentScreen;
};

ScreenRoles screenRoles(const std::vector<Screen>& screens)
{
    ScreenRoles roles;
    if (screens.empty())
        return roles;
    roles.operatorScreen = screens.front();
    roles.talentScreen = screens.front();
    for (const Screen& screen : screens) {
        if (screen.displayID() != screens.front().displayID()) {
            roles.talentScreen = screen;
            break;
        }
    }
    return roles;
}

// Window frames on Linux exclude the decorations the window manager draws, so there is no title
// bar inside a frame to make room for.
constexpr double kTitleBarHeight = 0;

Rect positioned(const Rect& frame, const Rect& within, double xRatio, double yRatio)
{
    return {{std::round(within.origin.x + (within.size.width - frame.size.width) * xRatio),
             std::round(within.origin.y + (within.size.height - frame.size.height) * yRatio)},
            frame.size};
}

} // namespace

int OVCore::dualScreenStatusForScreens(const std::vector<Screen>& screens, const std::vector<Rect>& fullScreenFrames)
{
    if (screens.size() < 2 || screens[0].displayID() == screens[1].displayID())
        return kDualScreenStatusNoTalentScreen;
    const Screen& operatorScreen = screens[0];
    const Screen& talentScreen = screens[1];
    if (mirrors(talentScreen, operatorScreen))
        return kDualScreenStatusMirrored;
    // Capture by another process (status 2) has no Linux counterpart: no program can take a display.
    for (const Rect& frame : fullScreenFrames) {
        if (frame.intersects(operatorScreen.frame()) || frame.intersects(talentScreen.frame()))
            return kDualScreenStatusFullScreen;
    }
    if (operatorScreen.frame().size.width < talentScreen.frame().size.width ||
        operatorScreen.frame().size.height < talentScreen.frame().size.height)
        return kDualScreenStatusTalentLarger;
    return kDualScreenStatusAvailable;
}

void OVCore::_updateDualScreenStatusIfNecessary()
{
    std::vector<Rect> fullScreenFrames;
    for (Window* window : Application::shared().windows()) {
        if (window->isVisible() && window->isFullScreen())
            fullScreenFrames.push_back(window->frame());
    }
    const int status = dualScreenStatusForScreens(Screen::screens(), fullScreenFrames);
    const bool forced = d->m_forceDualScreenStatusUpdate;
    d->m_forceDualScreenStatusUpdate = false;
    if (status == d->m_lastDualScreenStatus && !forced)
        return;
    d->m_lastDualScreenStatus = status;
    NotificationCenter::shared().postNotification(OVCoreDidChangeDualScreenConfigurationNotification);
}

void OVCore::_forceUpdateDualScreenStatus()
{
    d->m_forceDualScreenStatusUpdate = true;
    _updateDualScreenStatusIfNecessary();
}

bool OVCore::suppressDisplayConfigurationModeChange() const
{
    return d->m_suppressDisplayConfigurationModeChange;
}

void OVCore::_displayReconfigurationCallback()
{
    d->m_backingScales.clear();
    _forceUpdateDualScreenStatus();
    _forceUpdateGPUInfo();
    if (isModePrompt() && !isModeChanging() && !d->m_suppressDisplayConfigurationModeChange &&
        promptModeScreensChanged()) {
        d->m_suppressDisplayConfigurationModeChange = true;
        if (d->m_controller)
            d->m_controller->forceModeChange(kModeEdit);
    }
    if (dualScreenStatus() != kDualScreenStatusAvailable && isBlanking())
        setBlanking(false);
}

bool OVCore::promptModeScreensChanged() const
{
    const PromptModeWindowConfiguration& recorded = d->m_modeChange.windowConfiguration();
    const std::vector<Screen> screens = Screen::screens();
    const ScreenRoles now = screenRoles(screens);
    const bool operatorExists = now.operatorScreen && now.operatorScreen->displayID() != 0;
    const bool talentExists = now.talentScreen && now.talentScreen->displayID() != 0;
    const bool differ =
        operatorExists && talentExists && now.operatorScreen->displayID() != now.talentScreen->displayID();
    const bool talentMirrored = differ && mirrors(*now.talentScreen, *now.operatorScreen);
    // Moving a display keeps the arrangement; only existence, mirroring and size count.
    const Size operatorSize = operatorExists ? now.operatorScreen->frame().size : Size();
    const Size talentSize = talentExists ? now.talentScreen->frame().size : Size();
    return recorded.operatorScreenExists != operatorExists || recorded.talentScreenExists != talentExists ||
           recorded.operatorAndTalentScreensDiffer != differ ||
           recorded.operatorScreenIsMirrored != talentMirrored ||
           recorded.talentScreenIsMirrored != talentMirrored ||
           recorded.operatorScreenFrame.size != operatorSize || recorded.talentScreenFrame.size != talentSize;
}

bool OVCore::controllerWindowUsesToolbarInPromptMode() const
{
    const qint64 state = OVCoreSettings::integer(QStringLiteral("promptModeToolbarState"), 0);
    switch (state) {
    case 2:
        return false;
    case 1:
        return true;
    case 0: {
        if (d->m_controller && d->m_controllerWindow)
            return d->m_controller->isToolbarVisible();
        // Without a controller window, the first document window on screen speaks for all; a
        // miniaturised one only when no visible one comes after it.
        const std::vector<OVCoreController*> controllers = _allCoreControllers();
        const OVCoreController* miniaturised = nullptr;
        for (const OVCoreController* controller : controllers) {
            Window* window = controller ? controller->controllerWindow() : nullptr;
            if (!window)
                continue;
            if (window->isVisible() && !window->isMiniaturized())
                return controller->isToolbarVisible();
            if (window->isMiniaturized() && !miniaturised)
                miniaturised = controller;
        }
        return miniaturised ? miniaturised->isToolbarVisible() : true;
    }
    default:
        qWarning().noquote() << "Unhandled toolbar state";
        return true;
    }
}

void OVCore::_updatePromptModeControllerWindowConfigurationDictionary()
{
    PromptModeWindowConfiguration configuration;
    const std::vector<Screen> screens = Screen::screens();
    const ScreenRoles roles = screenRoles(screens);
    configuration.operatorScreenExists = roles.operatorScreen && roles.operatorScreen->displayID() != 0;
    configuration.talentScreenExists = roles.talentScreen && roles.talentScreen->displayID() != 0;
    configuration.operatorAndTalentScreensDiffer =
        configuration.operatorScreenExists && configuration.talentScreenExists &&
        roles.operatorScreen->displayID() != roles.talentScreen->displayID();
    configuration.isTalentWindowUtilized = isTalentWindowInUse();
    if (roles.operatorScreen)
        configuration.operatorScreenFrame = roles.operatorScreen->frame();
    if (roles.talentScreen)
        configuration.talentScreenFrame = roles.talentScreen->frame();
    // The only mirroring Linux shows is two outputs with one area: both count as mirrored then.
    configuration.talentScreenIsMirrored =
        configuration.operatorAndTalentScreensDiffer && mirrors(*roles.talentScreen, *roles.operatorScreen);
    configuration.operatorScreenIsMirrored = configuration.talentScreenIsMirrored;

    const bool windowed = OVCoreSettings::boolean(QStringLiteral("useWindowedPrompting"), true);
    const bool talent = configuration.isTalentWindowUtilized;
    Window* window = d->m_controllerWindow;
    const Rect windowFrame = window ? window->frame() : Rect();
    const Rect operatorFrame = configuration.operatorScreenFrame;
    const Rect talentFrame = configuration.talentScreenFrame;
    const Rect visibleFrame = roles.operatorScreen ? roles.operatorScreen->visibleFrame() : Rect();
    configuration.isWindowed = windowed;

    if (!talent || operatorFrame.size == talentFrame.size) {
        if (!talent && windowed) {
            std::optional<Screen> screen = window ? window->screen() : std::nullopt;
            configuration.isMaximized =
                OVCoreSettings::boolean(QStringLiteral("maximizeWindowSize"), false) && screen;
            configuration.frame = configuration.isMaximized ? screen->visibleFrame() : windowFrame;
        } else {
            configuration.frame = operatorFrame;
            configuration.frame.size.height += kTitleBarHeight;
            configuration.useTitleBarBlockingWindow = true;
            configuration.useBlockingWindow = !talent && !windowed;
        }
    } else {
        // The operator's text must wrap exactly as the talent's: the window's content takes the
        // talent screen's size.
        const bool toolbar = controllerWindowUsesToolbarInPromptMode();
        const double toolbarHeight = toolbar && d->m_controller ? d->m_controller->toolbarHeight() : 0;
        Rect r{windowFrame.origin,
               {talentFrame.size.width, talentFrame.size.height + kTitleBarHeight + toolbarHeight}};
        const bool cover = OVCoreSettings::boolean(QStringLiteral("alwaysCoverTheDesktop"), false);
        if (visibleFrame.size.width < r.size.width || visibleFrame.size.height < r.size.height || cover ||
            !windowed) {
            if (r.size.height > operatorFrame.size.height)
                r.size.height -= toolbarHeight;
            configuration.frame = positioned(r, operatorFrame, 0.5, 0.5);
            configuration.frame.origin.y += std::round(kTitleBarHeight / 2);
            configuration.useBlockingWindow = true;
            configuration.useTitleBarBlockingWindow = true;
        } else {
            configuration.frame = positioned(r, visibleFrame, 0.5, 0.75);
        }
    }
    configuration.isWindowed = !configuration.useBlockingWindow && !configuration.useTitleBarBlockingWindow;
    d->m_modeChange.setWindowConfiguration(configuration);
}

QVariantMap OVCore::promptModeControllerWindowConfigurationDictionary() const
{
    return d->m_modeChange.windowConfiguration().dictionary();
}
