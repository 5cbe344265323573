#pragma once

#include "platform/foundation/PlistValue.h"
#include "platform/hvkit/HVInitialDefaultsProvider.h"
#include "platform/text/Font.h"

#include <QStringList>

// The General settings pane: the default document style, marked text, bookmarks and editing
// options; for now only its registered settings.
class OVGeneralPreferencesViewController : public HVInitialDefaultsProvider {
public:
    static PlistDictionary initialDefaultsDictionary();

    // The font of the registered default style: Helvetica Neue at 100 points, else the first of
    // Helvetica and Verdana the system has, else the system's own font at that size.
    static Font defaultStyleFont(const QStringList& availableFamilies);
};
