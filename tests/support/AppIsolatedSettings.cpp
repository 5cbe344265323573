#include "platform/foundation/UserDefaults.h"
#include "platform/hvkit/HVAppServices.h"

#include "tests/support/IsolatedSettings.h"

// Each test finds what a new process would: empty folders, nothing registered and statistics read
// afresh, whatever an earlier test in the same process registered or switched off.
static const auto* kIsolatedSettings = ::testing::AddGlobalTestEnvironment(new IsolatedSettings([] {
    UserDefaults::shared().reopen(UserDefaults::defaultFilePath());
    UserDefaults::shared().resetRegistrations();
    HVAppServices::shared().reopenAnalytics();
}));
