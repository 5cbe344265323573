#include "app/OVDefaultsProviderClasses.h"

#include "app/OVAdvancedPreferencesViewController.h"
#include "app/OVAppDelegate.h"
#include "app/OVControlPreferencesViewController.h"
#include "app/OVDocumentWindowController.h"
#include "app/OVGeneralPreferencesViewController.h"
#include "app/OVPromptPreferencesViewController.h"
#include "app/OVUpdatesPreferencesViewController.h"
#include "document/OVDocument.h"
#include "output/OVBlankingItemList.h"
#include "output/OVPreviewWindowController.h"
#include "platform/hvkit/HVInitialDefaultsProvider.h"

namespace {

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
    add<OVPreviewWindowController>("OVPreviewWindowController");
    add<OVBlankingItemList>("OVBlankingItemList");
    add<OVDocument>("OVDocument");
    add<OVDocumentWindowController>("OVDocumentWindowController");
}
