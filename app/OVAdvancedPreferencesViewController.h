#pragma once

#include "platform/foundation/PlistValue.h"
#include "platform/hvkit/HVInitialDefaultsProvider.h"

// The Advanced settings pane: timing, drawing and workaround options; for now only its registered
// settings.
class OVAdvancedPreferencesViewController : public HVInitialDefaultsProvider {
public:
    static PlistDictionary initialDefaultsDictionary();
};
