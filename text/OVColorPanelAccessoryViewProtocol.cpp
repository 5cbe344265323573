#include "text/OVColorPanelAccessoryViewProtocol.h"

namespace {

std::function<unsigned()>& provider()
{
    static std::function<unsigned()> shared;
    return shared;
}

} // namespace

unsigned OVColorPanelAccessoryViewProtocol::selectedColorPanelOption()
{
    return provider() ? provider()() : TextColorOption;
}

void OVColorPanelAccessoryViewProtocol::setSelectedOptionProvider(std::function<unsigned()> shared)
{
    provider() = std::move(shared);
}
