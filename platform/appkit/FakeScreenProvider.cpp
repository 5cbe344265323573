#include "platform/appkit/FakeScreenProvider.h"

void FakeScreenProvider::setScreens(std::vector<Screen> screens)
{
    m_screens = std::move(screens);
    notifyReconfigured();
}

Screen FakeScreenProvider::makeScreen(int index, const Rect& frame, double refreshRate, double scale)
{
    const QString name = QStringLiteral("Fake-%1").arg(index);
    return Screen(Screen::displayIDForName(name), name, frame, frame, scale, refreshRate);
}
