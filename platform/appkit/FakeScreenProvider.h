#pragma once

#include "platform/appkit/ScreenProvider.h"

// A screen list set by hand, for tests of layouts the machine does not have.
class FakeScreenProvider final : public ScreenProvider {
public:
    FakeScreenProvider() = default;
    explicit FakeScreenProvider(std::vector<Screen> screens) : m_screens(std::move(screens)) {}

    std::vector<Screen> screens() const override { return m_screens; }

    // Replaces the list and tells observers, as a display reconfiguration would.
    void setScreens(std::vector<Screen> screens);

    // A screen whose visible frame equals its frame, named and identified after its index.
    static Screen makeScreen(int index, const Rect& frame, double refreshRate = 60.0, double scale = 1.0);

private:
    std::vector<Screen> m_screens;
};
