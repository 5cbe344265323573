#pragma once

#include "platform/text/AttributeDictionary.h"

#include <QList>
#include <QUrl>

// Process-wide constant tables and locations, each built once on first use.
class OVConstants {
public:
    // The quick-zoom scales offered, ascending: 0.1 to 0.75.
    static const QList<double>& quickZoomScaleValues();
    // The character codes of the keys that set a speed: '0' to '9' and '`'.
    static const QList<quint16>& numberCharactersArray();
    // The attributes the text system gives plain text.
    static const AttributeDictionary& defaultCocoaTextAttributes();
    // Where downloaded hardware profiles are kept: "HardwareProfiles" in the caches folder.
    static QUrl downloadedHardwareProfilesURL();
};
