#pragma once

// The benchmarks' application with every settings key registered as the program registers them at
// start, for benchmarks of panes, windows and dialogs that read them.
#include "app/OVDefaultsProviderClasses.h"
#include "bench/BenchApplication.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/hvkit/HVInitialDefaultsProvider.h"

namespace bench {

inline void applicationWithRegisteredDefaults()
{
    static bool prepared = false;
    if (prepared)
        return;
    prepared = true;
    application();
    OVDefaultsProviderClasses::registerAll();
    UserDefaults::shared().registerDefaults(HVInitialDefaultsRegistry::initialDefaults());
}

} // namespace bench
