#include "tests/support/IsolatedSettings.h"

static const auto* kIsolatedSettings = ::testing::AddGlobalTestEnvironment(new IsolatedSettings);
