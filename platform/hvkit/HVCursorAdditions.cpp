#include "platform/hvkit/HVCursorAdditions.h"

#include "platform/appkit/Cursor.h"
#include "platform/appkit/RunLoop.h"

#include <QString>

namespace {

const QString kHideSelector = QStringLiteral("hideAfterDelay");

const void* requestTarget()
{
    static const char target = 0;
    return &target;
}

} // namespace

void HVCursorAdditions::hideAfterDelay(std::function<bool()> condition, double delay)
{
    RunLoop::main().cancelPreviousPerformRequests(requestTarget(), kHideSelector);
    RunLoop::main().performAfterDelay(delay, requestTarget(), kHideSelector,
                                      [condition = std::move(condition)] {
                                          if (!condition || condition())
                                              Cursor::setHiddenUntilMouseMoves(true);
                                      });
}

void HVCursorAdditions::cancelHideAfterDelay()
{
    RunLoop::main().cancelPreviousPerformRequests(requestTarget(), kHideSelector);
}

bool HVCursorAdditions::isHideAfterDelayPending()
{
    return RunLoop::main().hasPendingPerform(requestTarget(), kHideSelector);
}
