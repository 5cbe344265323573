#include "output/OVPromptModeWindows.h"

#include "output/NSAlertOVAdditions.h"
#include "output/NSWindowOVAdditions.h"
#include "output/OVBlockingWindow.h"
#include "output/OVPromptModeNoticeView.h"
#include "prompting/OVCore.h"
#include "prompting/OVPromptModeNoticeWindow.h"

#include "platform/appkit/Alert.h"

void OVPromptModeWindows::install(OVCore& core)
{
    core.setPromptModeWindows(this);
    OVPromptModeNoticeWindow::setContentViewMaker([](const QString& text) -> std::unique_ptr<View> {
        std::unique_ptr<OVPromptModeNoticeView> view = OVPromptModeNoticeView::contentView();
        view->setText(text);
        return view;
    });
    NSAlertOVAdditions::installPromptModeAlertOptions();
}

std::unique_ptr<Window> OVPromptModeWindows::makeBlockingWindow()
{
    ++m_blockingWindowsMade;
    return OVBlockingWindow::blockingWindow();
}

void OVPromptModeWindows::setEventInterpreter(Window& blockingWindow, OVEventInterpreter* interpreter)
{
    if (auto* blocking = dynamic_cast<OVBlockingWindow*>(&blockingWindow))
        blocking->setEventInterpreter(interpreter);
}

Rect OVPromptModeWindows::moveWindowToOperatorScreenIfNecessary(Window& window, bool requiringIsPromptMode,
                                                                unsigned animationMode)
{
    return NSWindowOVAdditions::moveWindowToOperatorScreenIfNecessary(window, requiringIsPromptMode,
                                                                      animationMode);
}
