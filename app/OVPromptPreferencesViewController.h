#pragma once

#include "platform/foundation/PlistValue.h"
#include "platform/hvkit/HVInitialDefaultsProvider.h"

// The Prompt settings pane: how and where the operator prompts; for now only its registered
// settings.
class OVPromptPreferencesViewController : public HVInitialDefaultsProvider {
public:
    static PlistDictionary initialDefaultsDictionary();
};
