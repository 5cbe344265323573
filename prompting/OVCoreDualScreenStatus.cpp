#include "prompting/OVCore.h"
#include "prompting/OVCorePrivate.h"

#include "platform/appkit/Application.h"
#include "platform/appkit/Window.h"
#include "platform/foundation/NotificationCenter.h"
#include "prompting/OVCoreTalentOutput.h"

namespace {

// Linux offers no query for hardware mirroring; a display showing exactly the other one's area is
// what a mirrored output looks like to Qt.
bool mirrors(const Screen& screen, const Screen& other)
{
    return screen.displayID() != other.displayID() && screen.frame() == other.frame();
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
    if (status == d->m_lastDualScreenStatus)
        return;
    d->m_lastDualScreenStatus = status;
    NotificationCenter::shared().postNotification(OVCoreDidChangeDualScreenConfigurationNotification, this);
}

void OVCore::setTalentWindowController(OVCoreTalentOutput* controller)
{
    d->m_talentWindowController = controller;
}

bool OVCore::isTalentWindowInUse() const
{
    return d->m_talentWindowController && d->m_talentWindowController->isTalentWindowInUse();
}

OVCoreTalentOutput* OVCore::talentWindowController() const
{
    return d->m_talentWindowController;
}
