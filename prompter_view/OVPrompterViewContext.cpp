#include "prompter_view/OVPrompterViewContext.h"

#include "prompting/OVCore.h"

namespace {
OVCore* s_core = nullptr;
}

OVCore& OVPrompterViewContext::core()
{
    return s_core ? *s_core : OVCore::sharedCore();
}

void OVPrompterViewContext::setCore(OVCore* core)
{
    s_core = core;
}

bool OVPrompterViewContext::isModeEdit()
{
    return core().isModeEdit();
}

bool OVPrompterViewContext::isModePrompt()
{
    return core().isModePrompt();
}

bool OVPrompterViewContext::isStatusStarted()
{
    return core().isStatusStarted();
}
