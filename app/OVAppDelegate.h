#pragma once

#include "platform/foundation/PlistValue.h"
#include "platform/hvkit/HVInitialDefaultsProvider.h"

// The application's delegate; for now only the settings its launch registers.
class OVAppDelegate : public HVInitialDefaultsProvider {
public:
    static PlistDictionary initialDefaultsDictionary();
};
