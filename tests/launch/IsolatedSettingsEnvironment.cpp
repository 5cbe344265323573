#include "app/OVProgramStart.h"

#include "tests/support/IsolatedSettings.h"

// Each test is a start of the program of its own, on empty folders.
static const auto* kIsolatedSettings =
    ::testing::AddGlobalTestEnvironment(new IsolatedSettings([] { OVProgramStart::startAfresh(); }));
