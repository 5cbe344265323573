#include "window/OVScreenGeometryProvider.h"

#include "output/OVScreen.h"
#include "output/OVTalentWindowController.h"
#include "prompter_view/OVPrompterView.h"

namespace {

class ProgramScreenGeometry final : public OVScreenGeometryProvider {
public:
    std::optional<Rect> operatorVisibleFrame() const override
    {
        const std::optional<Screen> screen = OVScreen::operatorScreen();
        if (!screen)
            return std::nullopt;
        return screen->visibleFrame();
    }

    std::optional<Size> talentContentSize() const override
    {
        if (!OVTalentWindowController::isTalentWindowUtilized())
            return std::nullopt;
        const OVPrompterView* prompter =
            OVTalentWindowController::sharedTalentWindowController().prompterView();
        if (!prompter)
            return std::nullopt;
        return prompter->frame().size;
    }
};

const OVScreenGeometryProvider*& installed()
{
    static const OVScreenGeometryProvider* provider = nullptr;
    return provider;
}

} // namespace

const OVScreenGeometryProvider& OVScreenGeometryProvider::shared()
{
    static const ProgramScreenGeometry program;
    const OVScreenGeometryProvider* provider = installed();
    return provider ? *provider : program;
}

void OVScreenGeometryProvider::setShared(const OVScreenGeometryProvider* provider)
{
    installed() = provider;
}
