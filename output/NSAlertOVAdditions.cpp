#include "output/NSAlertOVAdditions.h"

#include "output/OVPrompterWindow.h"
#include "output/OVScreen.h"
#include "platform/appkit/Alert.h"

namespace NSAlertOVAdditions {

namespace {

Alert::ModalOptions modalOptions(unsigned options)
{
    Alert::ModalOptions modal;
    modal.aboveAllWindows = true;
    modal.beep = true;
    if (options & kCenterOnOperatorScreenOption) {
        if (const std::optional<Screen> operatorDisplay = OVScreen::operatorScreen())
            modal.centerWithin = operatorDisplay->frame();
    }
    return modal;
}

} // namespace

int runModalWithOptions(Alert& alert, unsigned options)
{
    return alert.runModal(modalOptions(options));
}

void installPromptModeAlertOptions()
{
    Alert::setModalOptionsProvider([](const Alert&) -> std::optional<Alert::ModalOptions> {
        if (!OVPrompterWindow::isPromptMode())
            return std::nullopt;
        return modalOptions(kCenterOnOperatorScreenOption);
    });
}

} // namespace NSAlertOVAdditions
