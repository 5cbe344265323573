#pragma once

#include "platform/foundation/PlistValue.h"
#include "platform/hvkit/HVInitialDefaultsProvider.h"

// The Controls settings pane: the prompting hot keys, speed steps and mouse options; for now only
// its registered settings.
class OVControlPreferencesViewController : public HVInitialDefaultsProvider {
public:
    static PlistDictionary initialDefaultsDictionary();
};
