#include "app/OVDefaultsProviderClasses.h"

#include "document/OVDocumentExportPDFAccessoryViewController.h"
#include "window/OVPrintPanelAccessoryViewController.h"

#include "app/OVAppDelegate.h"
#include "document/OVDocument.h"
#include "document/OVDocumentExportAccessoryViewController.h"
#include "output/OVBlankingItemList.h"
#include "output/OVPreviewWindowController.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/hvkit/HVInitialDefaultsProvider.h"
#include "preferences/OVAdvancedPreferencesViewController.h"
#include "preferences/OVControlPreferencesViewController.h"
#include "preferences/OVGeneralPreferencesViewController.h"
#include "preferences/OVPromptPreferencesViewController.h"
#include "preferences/OVUpdatesPreferencesViewController.h"
#include "prompting/OVInputController.h"
#include "settings/OVSharedPreferencesAccess.h"
#include "window/OVDocumentWindowController.h"
#include "window/OVResolutionString.h"

namespace {

// Far beyond any speed a slider or key offers, in either direction.
constexpr double kMaximumStoredSpeed = 1000.0;

template <class Provider> void add(const char* className)
{
    HVInitialDefaultsRegistry::addProviderClass(QString::fromLatin1(className),
                                                &Provider::initialDefaultsDictionary);
}

} // namespace

void OVDefaultsProviderClasses::registerAll()
{
    add<OVAppDelegate>("OVAppDelegate");
    add<OVGeneralPreferencesViewController>("OVGeneralPreferencesViewController");
    add<OVPromptPreferencesViewController>("OVPromptPreferencesViewController");
    add<OVControlPreferencesViewController>("OVControlPreferencesViewController");
    add<OVAdvancedPreferencesViewController>("OVAdvancedPreferencesViewController");
    add<OVUpdatesPreferencesViewController>("OVUpdatesPreferencesViewController");
    add<OVResolutionString>("OVResolutionString");
    add<OVPreviewWindowController>("OVPreviewWindowController");
    add<OVBlankingItemList>("OVBlankingItemList");
    add<OVDocument>("OVDocument");
    add<OVDocumentExportAccessoryViewController>("OVDocumentExportAccessoryViewController");
    add<OVDocumentWindowController>("OVDocumentWindowController");
    add<OVDocumentExportPDFAccessoryViewController>("OVDocumentExportPDFAccessoryViewController");
    add<OVPrintPanelAccessoryViewController>("OVPrintPanelAccessoryViewController");
    // Values a hand-edited or damaged settings file could hold that no control of the program
    // would ever store: they read as the registered ones.
    UserDefaults& defaults = UserDefaults::shared();
    defaults.registerRange(kSpeedIncrementKey, 0.1, 1.001);
    for (const char* speedKey : {"defaultSpeed", "pauseSpeed"})
        defaults.registerRange(QString::fromLatin1(speedKey), -kMaximumStoredSpeed, kMaximumStoredSpeed);
    // A hot key is one 16-bit character code, 0 for none.
    for (const auto& [key, value] : OVInputController::hotKeyDefaults()) {
        if (value.isInteger())
            defaults.registerRange(key, 0, 0xFFFF);
    }
}
