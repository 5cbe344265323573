#pragma once

#include "platform/foundation/PlistValue.h"
#include "platform/hvkit/HVInitialDefaultsProvider.h"

// The preview panel's controller: how the talent output is laid out and what it shows; for now
// only its registered settings.
class OVPreviewWindowController : public HVInitialDefaultsProvider {
public:
    static PlistDictionary initialDefaultsDictionary();
};
