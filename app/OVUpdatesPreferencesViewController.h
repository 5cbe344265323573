#pragma once

#include "platform/foundation/PlistValue.h"
#include "platform/hvkit/HVInitialDefaultsProvider.h"

// The Updates settings pane: automatic update checks; for now only its registered settings.
class OVUpdatesPreferencesViewController : public HVInitialDefaultsProvider {
public:
    static PlistDictionary initialDefaultsDictionary();
};
