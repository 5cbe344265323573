#include "app/OVAppDelegate.h"
#include "app/OVAppDelegatePrivate.h"

#include "app/ApplicationsFolderMover.h"
#include "app/OVDocumentControllerBridge.h"
#include "app/OVMainMenu.h"
#include "app/OVTutorialDocuments.h"
#include "document/OVColorPanelAccessoryViewController.h"
#include "document/OVColorPanelFirstResponderUpdater.h"
#include "output/NSWindowOVAdditions.h"
#include "output/OVPreviewWindowController.h"
#include "output/OVTalentWindowController.h"
#include "platform/appkit/AppKitNotifications.h"
#include "platform/appkit/Application.h"
#include "platform/appkit/ColorPanel.h"
#include "platform/appkit/MenuItem.h"
#include "platform/appkit/RunLoop.h"
#include "platform/appkit/UndoManager.h"
#include "platform/appkit/Window.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/hvkit/HVAppServices.h"
#include "platform/hvkit/HVFontManager.h"
#include "platform/hvkit/HVLocalizedString.h"
#include "platform/hvkit/HVNetworkAccess.h"
#include "platform/hvkit/HVSettingsController.h"
#include "platform/hvkit/HVVersion.h"
#include "platform/text/AttributeNames.h"
#include "platform/text/TextStorage.h"
#include "preferences/OVBookmarkMenuConfiguration.h"
#include "preferences/OVGeneralPreferencesViewController.h"
#include "preferences/OVWindowSizePresetEditor.h"
#include "prompting/OVApplication.h"
#include "prompting/OVCore.h"
#include "services/OVAboutWindow.h"
#include "services/OVAnalyticsHelper.h"
#include "services/OVCrashReportSender.h"
#include "services/OVHardwareProfileDownload.h"
#include "services/OVUpdateServices.h"
#include "services/OVWhatsNewWindowController.h"
#include "settings/OVSharedPreferencesAccess.h"
#include "text/OVBookmarkController.h"
#include "text/OVTextView.h"

#include <QDebug>
#include <QDir>
#include <QGuiApplication>
#include <QMenuBar>
#include <QScreen>
#include <QSysInfo>
#include <QTimer>
#include <QUrlQuery>
#include <QWidget>

#include <algorithm>

using namespace OVAppDelegatePrivate;

namespace {

const QString kEnableQuickZoomKey = QStringLiteral("enableQuickZoom");
const QString kEnableAnalyticsKey = QStringLiteral("enableAnalytics");
const QString kPreventUnderlineColorsKey = QStringLiteral("preventUnderlineColors");

void registerBool(UserDefaults& defaults, const QString& key, bool value)
{
    PlistDictionary registration;
    registration.insert(key, value);
    defaults.registerDefaults(registration);
}

} // namespace

PlistDictionary OVAppDelegate::initialDefaultsDictionary()
{
    PlistDictionary defaults;
    // Registered as off: the platform's full-screen menu item is not wanted on every window.
    defaults.insert(QStringLiteral("NSFullScreenMenuItemEverywhere"), false);
    defaults.insert(kEnableQuickZoomKey, true);
    // Addresses of our own, empty until the user names one: no request is sent without it.
    defaults.insert(OVHardwareProfileDownload::kAddressKey, QString());
    defaults.insert(OVCrashReportSender::kAddressKey, QString());
    defaults.insert(ApplicationsFolderMover::kAlertSuppressKey, false);
    for (const auto& [key, value] : updateDefaultsDictionary())
        defaults.insert(key, value);
    return defaults;
}

#ifndef ORVANE_WEBSITE_URL
#define ORVANE_WEBSITE_URL ""
#define ORVANE_STORE_URL ""
#define ORVANE_SUPPORT_URL ""
#define ORVANE_ANNOUNCEMENTS_URL ""
#define ORVANE_SUPPORT_EMAIL ""
#define ORVANE_PRERELEASE_SUPPORT_EMAIL ""
#endif

namespace {

std::optional<OVAppDelegate::AddressConfiguration>& installedAddressConfiguration()
{
    static std::optional<OVAppDelegate::AddressConfiguration> configuration;
    return configuration;
}

} // namespace

OVAppDelegate::AddressConfiguration OVAppDelegate::buildAddressConfiguration()
{
    return {QString::fromUtf8(ORVANE_WEBSITE_URL),   QString::fromUtf8(ORVANE_STORE_URL),
            QString::fromUtf8(ORVANE_SUPPORT_URL),   QString::fromUtf8(ORVANE_ANNOUNCEMENTS_URL),
            QString::fromUtf8(ORVANE_SUPPORT_EMAIL), QString::fromUtf8(ORVANE_PRERELEASE_SUPPORT_EMAIL)};
}

void OVAppDelegate::setAddressConfiguration(std::optional<AddressConfiguration> configuration)
{
    installedAddressConfiguration() = std::move(configuration);
}

OVAppDelegate::ApplicationAddresses OVAppDelegate::makeApplicationAddresses(bool prerelease)
{
    const AddressConfiguration configured =
        installedAddressConfiguration().value_or(buildAddressConfiguration());
    const auto page = [](const QString& text) {
        const QUrl url(text.trimmed(), QUrl::StrictMode);
        return HVNetworkAccess::isPermittedPageAddress(url) ? url : QUrl();
    };
    ApplicationAddresses addresses;
    addresses.website = page(configured.website);
    addresses.store = page(configured.store);
    addresses.support = page(configured.support);
    addresses.announcements = page(configured.announcements);
    addresses.releaseNotesHelpAnchor = QStringLiteral("ReleaseNotesAnchor");
    // A pre-release build without an address of its own writes to the release address.
    const QString prereleaseEmail = configured.prereleaseSupportEmail.trimmed();
    addresses.contactSupportEmailAddress =
        prerelease && !prereleaseEmail.isEmpty() ? prereleaseEmail : configured.supportEmail.trimmed();
    addresses.supportRemovedUserDefaultsKeys = {HVAnalytics::userDefaultsKey()};
    return addresses;
}

QUrl OVAppDelegate::supportRequestMailURL(const ApplicationAddresses& addresses)
{
    const QString email = addresses.contactSupportEmailAddress;
    if (email.isEmpty() || email.contains(QLatin1Char('?')) || !email.contains(QLatin1Char('@')))
        return {};
    QStringList body{HVLocalizedString::localizedString(
                         QStringLiteral("support-request-body-intro"),
                         QStringLiteral("Please describe what happened. The details below help us answer; "
                                        "remove any you would rather not send.")),
                     QString()};
    for (const PlistValue& parameter : standardRequestParameters()) {
        const PlistDictionary& item = parameter.dictionary();
        body << item.value(QStringLiteral("displayKey")).string() + QStringLiteral(": ") +
                    item.value(QStringLiteral("displayValue")).string();
    }
    if (HVAppServices::shared().analytics().isEnabled()) {
        for (const QVariant& entry : OVAnalyticsHelper::presentableAnalyticsItems()) {
            const QVariantMap item = entry.toMap();
            body << item.value(QStringLiteral("displayKey")).toString() + QStringLiteral(": ") +
                        item.value(QStringLiteral("displayValue")).toString();
        }
    }
    QUrlQuery query;
    query.addQueryItem(QStringLiteral("subject"),
                       HVLocalizedString::localizedString(QStringLiteral("support-request-subject"),
                                                          QStringLiteral("Orvane support request")));
    query.addQueryItem(QStringLiteral("body"), body.join(QLatin1Char('\n')));
    QUrl url;
    url.setScheme(QStringLiteral("mailto"));
    url.setPath(email);
    url.setQuery(query);
    return url;
}

// Init and tear-down.

OVAppDelegate::OVAppDelegate()
    : m_mainMenu(OVMainMenu::makeMainMenu()),
      m_demoDocumentsFolder(OVTutorialDocuments::demoDocumentsFolder())
{
    Menu::setMainMenu(m_mainMenu.get());
    if (MenuItem* blanking = m_mainMenu->itemWithAction(QStringLiteral("blankingOptionsAction:"))) {
        m_blankingOptionsMenu = blanking->submenu();
        m_blankingOptionsMenu->setDelegate(this);
    }
    for (MenuItem* item : m_mainMenu->items()) {
        if (item->submenu() && item->submenu()->itemWithTag(OVMainMenu::kResizeDocumentPrompterTag))
            m_resizeDocumentPrompterMenuItem =
                item->submenu()->itemWithTag(OVMainMenu::kResizeDocumentPrompterTag);
        // The Edit menu names what Undo and Redo would do as it opens.
        if (Menu* menu = item->submenu();
            menu && menu->indexOfItem(menu->itemWithAction(QStringLiteral("undo:"))) >= 0)
            menu->setDelegate(this);
        if (Menu* menu = item->submenu(); menu && menu->itemWithTag(OVMainMenu::kBookmarksAnchorTag)) {
            m_bookmarksMenu = menu;
            OVBookmarkController::sharedBookmarkController().addBookmarksMenuToUpdateList(
                menu, menu->indexOfItemWithTag(OVMainMenu::kBookmarksAnchorTag) + 1, 0);
        }
    }
    installActions();
    OVGeneralPreferencesViewController::setUnderlineColorsInterface(
        [this](bool hide) { setUnderlineColorItemsHidden(hide); });
    for (const QString& name : {kWindowDidBecomeMainNotification, kWindowDidResignMainNotification}) {
        m_observers.emplace_back(NotificationCenter::shared(), name, nullptr,
                                 [this](const Notification&) { mainWindowChanged(); });
    }
    // A program on the prompter's screen keeps its menus out of the script's way. They go before
    // the change into Prompt mode lays out its windows, and come back once Edit mode is restored.
    const auto hideMenuBars = [](bool hidden) {
        for (Window* window : Application::shared().windows())
            window->setMenuBarHidden(hidden);
    };
    m_observers.emplace_back(NotificationCenter::shared(), OVCoreWillChangeModeNotification, nullptr,
                             [hideMenuBars](const Notification&) {
                                 if (OVApplication::shared().isModeEdit())
                                     hideMenuBars(true);
                             });
    m_observers.emplace_back(
        NotificationCenter::shared(), OVCoreDidChangeModeNotification, nullptr,
        [hideMenuBars](const Notification&) { hideMenuBars(OVApplication::shared().isModePrompt()); });
    m_unmarkObserver =
        UserDefaults::shared().addObserver(kSuppressConfirmationForUnmarkKey, [this](const QString&) {
            updateUnmarkMenuItemsForSuppressSetting();
        });
    OVBookmarkMenuConfiguration::updateBookmarksMenuBarForPreferences();
    m_bookmarkNamingObserver =
        UserDefaults::shared().addObserver(QStringLiteral("nameNewBookmarks"), [](const QString&) {
            OVBookmarkMenuConfiguration::updateBookmarksMenuBarForPreferences();
        });
    // Linux restores no windows: restoration is over before it began.
    m_didFinishRestoringWindows = true;
}

OVAppDelegate::~OVAppDelegate()
{
    UserDefaults::shared().removeObserver(m_unmarkObserver);
    UserDefaults::shared().removeObserver(m_bookmarkNamingObserver);
    m_observers.clear();
    m_updateServices.reset();
    m_presetEditor.reset();
    m_mainWindow = nullptr;
    m_instanceServer.reset();
    m_settingsWindow.reset();
    OVGeneralPreferencesViewController::setUnderlineColorsInterface({});
    HVFontManager::clearTargets();
    if (m_bookmarksMenu)
        OVBookmarkController::sharedBookmarkController().removeBookmarksMenuFromUpdateList(m_bookmarksMenu);
    if (Menu::mainMenu() == m_mainMenu.get())
        Menu::setMainMenu(nullptr);
}

void OVAppDelegate::installActions()
{
    setActionHandler(QStringLiteral("openTutorialDocument:"), [this](const QVariant&) {
        const ModifierFlagsProvider& provider = modifierFlagsProvider();
        openTutorialDocument(provider ? provider() : Menu::currentModifierFlags());
    });
    setActionHandler(QStringLiteral("blankingOptionsAction:"), [](const QVariant&) {});
    setActionHandler(QStringLiteral("showSettingsWindow:"),
                     [this](const QVariant&) { showSettingsWindow(); });
    setActionHandler(QStringLiteral("orderFrontFontPanel:"), [](const QVariant&) { orderFrontFontPanel(); });
    setActionHandler(QStringLiteral("orderFrontColorPanel:"),
                     [](const QVariant&) { orderFrontColorPanel(); });
    // The colour panel's accessory options, from the Format menu.
    setActionHandler(QStringLiteral("selectTextColorOption:"), [](const QVariant&) {
        OVColorPanelAccessoryViewController::sharedColorPanelAccessoryViewController()
            .selectTextColorOption();
    });
    setActionHandler(QStringLiteral("selectBackgroundColorOption:"), [](const QVariant&) {
        OVColorPanelAccessoryViewController::sharedColorPanelAccessoryViewController()
            .selectBackgroundColorOption();
    });
    // The bookmark commands act on the script the bookmark controller follows (the main window's),
    // from the menus and from the hot keys alike.
    const auto followsScript = [](const UserInterfaceItem&) {
        return OVBookmarkController::sharedBookmarkController().textView() != nullptr;
    };
    setActionHandler(
        QStringLiteral("addBookmark:"),
        [](const QVariant&) { OVBookmarkController::sharedBookmarkController().addBookmark(); },
        followsScript);
    setActionHandler(
        QStringLiteral("addQuickBookmark:"),
        [](const QVariant&) { OVBookmarkController::sharedBookmarkController().addQuickBookmark(); },
        followsScript);
    setActionHandler(
        QStringLiteral("nextBookmark:"),
        [](const QVariant&) { OVBookmarkController::sharedBookmarkController().jumpToNextBookmark(); },
        followsScript);
    setActionHandler(
        QStringLiteral("previousBookmark:"),
        [](const QVariant&) { OVBookmarkController::sharedBookmarkController().jumpToPreviousBookmark(); },
        followsScript);
    setActionHandler(QStringLiteral("togglePreviewWindow:"), [](const QVariant&) {
        OVPreviewWindowController::sharedPreviewWindowController().toggleWindow();
    });
    installLaunchAdditionActions();
    // A reset of all settings brings the preview forward.
    setActionHandler(QStringLiteral("orderFrontPreviewWindow:"), [](const QVariant&) {
        OVPreviewWindowController::sharedPreviewWindowController().showWindow();
    });
    setActionHandler(QStringLiteral("editDocumentPrompterContentSizePresets:"),
                     [this](const QVariant&) { editDocumentPrompterContentSizePresets(); });
}

void OVAppDelegate::editDocumentPrompterContentSizePresets()
{
    if (!m_presetEditor) {
        m_presetEditor =
            std::make_unique<OVWindowSizePresetEditor>([this] { rebuildWindowPresetSizesMenu(); });
        NSWindowOVAdditions::placeNewWindow(*m_presetEditor);
    }
    // An editor already open, even minimised or behind a script, comes to the front, after
    // whatever the closing menu hands the keyboard to in the same pass.
    if (m_presetEditor->isMinimized())
        m_presetEditor->showNormal();
    else
        m_presetEditor->show();
    m_presetEditor->raise();
    m_presetEditor->activateWindow();
    QTimer::singleShot(0, m_presetEditor.get(), [editor = m_presetEditor.get()] {
        editor->raise();
        editor->activateWindow();
    });
}

void OVAppDelegate::mainWindowChanged()
{
    m_mainWindow = Application::shared().mainWindow();
}

// Launching.

unsigned long long OVAppDelegate::currentBuildNumber()
{
    const qint64 build = HVVersion::appBuildVersion().integerValue();
    return build > 0 ? static_cast<unsigned long long>(build) : 0;
}

void OVAppDelegate::applicationWillFinishLaunching()
{
    OVColorPanelAccessoryViewController::installColorPanelAccessoryView();
    UserDefaults& defaults = UserDefaults::shared();
    m_addresses = makeApplicationAddresses(HVVersion::appVersion().isPrereleaseType());
    // An address the build was not given leaves its Help item out rather than offering a dead one.
    const std::pair<const char*, bool> addressItems[] = {
        {"openAppWebsite:", m_addresses.website.isEmpty()},
        {"visitSupportSite:", m_addresses.support.isEmpty()},
        {"openStoreWebsite:", m_addresses.store.isEmpty()},
        {"contactSupport:", supportRequestMailURL(m_addresses).isEmpty()},
    };
    for (const auto& [action, hidden] : addressItems) {
        if (MenuItem* item = m_mainMenu->itemWithAction(QString::fromLatin1(action)))
            item->setHidden(hidden);
    }
    HVSettingsController::shared().setAlwaysPreservedKeys(
        {QStringLiteral("CrashReportSender.lastCrashDate"),
         QStringLiteral("moveToApplicationsFolderAlertSuppress")});

    OVDefaultsMigration::Services services;
    services.resetAllSettings = [] { HVSettingsController::shared().resetAllSettingsPreservingKeys({}); };
    services.importStatisticsFromUserDefaultsKey = [&defaults](const QString& key) {
        HVAppServices::shared().analytics().migrateFromUserDefaultsKey(defaults, key);
    };
    services.resetStatistics = [] { HVAppServices::shared().analytics().reset(); };
    services.setPromptModeToolbarState = [](unsigned long long state) {
        OVSharedPreferencesAccess::setPromptModeToolbarState(state);
    };
    m_migration = OVDefaultsMigration::migrate(defaults, currentBuildNumber(), services);
    OVDefaultsMigration::writeVersionKeys(defaults, m_migration, currentBuildNumber(),
                                          HVVersion::appVersion().stringValue(),
                                          QSysInfo::prettyProductName());

    registerBool(defaults, QStringLiteral("NSFullScreenMenuItemEverywhere"), false);
    if (!defaults.boolForKey(kEnableAnalyticsKey))
        HVAppServices::shared().analytics().setEnabled(false);

    registerBool(defaults, kEnableQuickZoomKey, true);
    if (!defaults.boolForKey(kEnableQuickZoomKey))
        hideItemWithAction(QStringLiteral("toggleQuickZoomContent:"), true);
    if (defaults.boolForKey(kPreventUnderlineColorsKey))
        hideItemWithAction(QStringLiteral("removeUnderlineColors:"), false);

    setUpUpdates();
}

void OVAppDelegate::setUnderlineColorItemsHidden(bool hidden)
{
    MenuItem* item = m_mainMenu->itemWithAction(QStringLiteral("removeUnderlineColors:"));
    if (!item || !item->menu())
        return;
    item->setHidden(hidden);
    Menu& menu = *item->menu();
    MenuItem* before = menu.itemAtIndex(menu.indexOfItem(item) - 1);
    if (before && before->isSeparatorItem())
        before->setHidden(hidden);
}

void OVAppDelegate::orderFrontFontPanel()
{
    OVTextView* view = scriptTextView();
    Font font;
    if (view && view->textStorage().length() > 0) {
        const qsizetype index = std::min(view->selectedRange().location, view->textStorage().length() - 1);
        if (const auto held = view->textStorage().attribute(kFontAttributeName, index);
            const Font* current = held.font())
            font = *current;
    } else if (view) {
        if (const auto held = view->typingAttributes().value(kFontAttributeName);
            const Font* typed = held.font())
            font = *typed;
    }
    // Each choice goes to whichever script is in front when it is made, never to a closed one.
    HVFontManager::orderFrontFontPanel(font, [](const Font& chosen) {
        if (OVTextView* target = scriptTextView())
            changeFont(*target, chosen);
    });
}

void OVAppDelegate::orderFrontColorPanel()
{
    // The panel's choices go to the focused view that takes part, as "changeColor:"; it opens on
    // that view's colour and options.
    OVColorPanelFirstResponderUpdater::sharedColorPanelFirstResponderUpdater()
        .updateColorPanelBeforeShowing();
    ColorPanel::shared().orderFront();
}

void OVAppDelegate::changeFont(OVTextView& view, const Font& font)
{
    std::vector<Range> ranges;
    for (const Range& range : view.selectedRanges()) {
        if (range.length > 0)
            ranges.push_back(range);
    }
    if (ranges.empty()) {
        // A caret: what is typed next takes the font.
        AttributeDictionary typing = view.typingAttributes();
        typing.insert(kFontAttributeName, font);
        view.setTypingAttributes(typing);
        return;
    }
    if (!view.shouldChangeTextInRanges(ranges, QStringList(QList<QString>(ranges.size()))))
        return;
    TextStorage& storage = view.textStorage();
    storage.beginEditing();
    for (const Range& range : ranges)
        storage.addAttribute(kFontAttributeName, font, range);
    storage.endEditing();
    view.didChangeText();
    if (UndoManager* undo = view.undoManager())
        undo->setActionName(HVLocalizedString::localizedString(QStringLiteral("text-action-set-font"),
                                                               QStringLiteral("Set Font")));
}

OVTextView* OVAppDelegate::scriptTextView()
{
    Application& application = Application::shared();
    for (Window* window : {application.keyWindow(), application.mainWindow()}) {
        if (!window)
            continue;
        if (auto* view = dynamic_cast<OVTextView*>(window->firstResponder()))
            return view;
    }
    return nullptr;
}

void OVAppDelegate::hideItemWithAction(const QString& action, bool onlyWhenFlanked)
{
    MenuItem* item = m_mainMenu->itemWithAction(action);
    if (!item || !item->menu())
        return;
    item->setHidden(true);
    Menu& menu = *item->menu();
    const int index = menu.indexOfItem(item);
    MenuItem* before = menu.itemAtIndex(index - 1);
    MenuItem* after = menu.itemAtIndex(index + 1);
    if (!before || !before->isSeparatorItem())
        return;
    // Two separators left side by side would show as a double line.
    if (onlyWhenFlanked && !(after && after->isSeparatorItem()))
        return;
    before->setHidden(true);
}

void OVAppDelegate::applicationDidFinishLaunching()
{
    if (MenuItem* exportItem = m_mainMenu->itemWithAction(QStringLiteral("saveDocumentTo:"))) {
        Menu& menu = *exportItem->menu();
        const int index = menu.indexOfItem(exportItem);
        MenuItem* before = menu.itemAtIndex(index - 1);
        if (!before || !before->isSeparatorItem())
            menu.insertItem(MenuItem::separatorItem(), index);
    }
    updateUnmarkMenuItemsForSuppressSetting();
    rebuildWindowPresetSizesMenu();
    m_didFinishLaunching = true;
    _applicationDidFinishLaunchingAndRestoringWindows();
    _finishLaunchingAdditions();
}

void OVAppDelegate::_applicationDidFinishLaunchingAndRestoringWindows()
{
    if (!m_didFinishLaunching || !m_didFinishRestoringWindows || m_didRunLaunchCompletion)
        return;
    m_didRunLaunchCompletion = true;
    _lionOpenUntitledFileIfNecessary();
    if (OVTalentWindowController::sharedTalentWindowControllerExists())
        OVTalentWindowController::sharedTalentWindowController().beginInitialDocumentWatching();
}

void OVAppDelegate::_lionOpenUntitledFileIfNecessary()
{
    if (ovdocumentbridge::hasPrompterDocument() || m_didOpenDocumentsOnLaunch ||
        !applicationShouldOpenUntitledFile())
        return;
    Error error;
    Document* document = ovdocumentbridge::newDocument(&error);
    if (!document) {
        Application::shared().presentError(error);
        return;
    }
    bringForward(document);
}

bool OVAppDelegate::beginServingInstanceRequests()
{
    // Both ways lead to the one handler, so a request is checked and answered alike whichever
    // carried it.
    const auto handler = [this](const OVSingleInstance::Request& request) {
        return handleInstanceRequest(request);
    };
    m_instanceBus = std::make_unique<OVInstanceBus>(handler);
    if (m_instanceBus->registerOnBus() == OVInstanceBus::Registration::NameTaken) {
        qWarning().noquote() << logName("beginServingInstanceRequests") << "another program owns"
                             << OVInstanceBus::serviceName() << "on the session bus";
        m_instanceBus.reset();
        return false;
    }
    // The socket is served beside the bus: a later start from a shell that has no bus address
    // (a remote login, a plain console) still finds this program.
    m_instanceServer = std::make_unique<OVSingleInstance>(handler);
    if (m_instanceServer->listen())
        return true;
    qWarning().noquote() << logName("beginServingInstanceRequests") << "another program answers requests on"
                         << OVSingleInstance::serverName();
    m_instanceServer.reset();
    m_instanceBus.reset();
    return false;
}

int OVAppDelegate::handleInstanceRequest(const OVSingleInstance::Request& request)
{
    // The reply goes out as soon as this returns, so what went wrong is told on a later pass of the
    // event loop: the starting program and a bus client learn the outcome without waiting for the
    // user to answer an alert.
    switch (request.command) {
    case OVSingleInstance::Command::Open: {
        OpenOutcome outcome = _openFilePaths(request.paths);
        if (!outcome.failures.empty())
            RunLoop::postToMainThread(
                [failures = std::move(outcome.failures)] { reportOpenFailures(failures); });
        return replyFor(outcome);
    }
    case OVSingleInstance::Command::NewDocument: {
        Error error;
        Document* document = ovdocumentbridge::newDocument(&error);
        if (!document) {
            RunLoop::postToMainThread([error] { Application::shared().presentError(error); });
            return kReplyFailure;
        }
        bringForward(document);
        return kReplySuccess;
    }
    case OVSingleInstance::Command::Activate: {
        bool visible = false;
        for (Window* window : Application::shared().windows())
            visible = visible || window->isVisible();
        applicationShouldHandleReopen(visible);
        // Coming forward is what a start without files asks of the running program.
        Window* front = Application::shared().mainWindow();
        if (!front) {
            const std::vector<Window*> ordered = Application::shared().orderedWindows();
            front = ordered.empty() ? nullptr : ordered.front();
        }
        if (front) {
            front->makeKeyAndOrderFront();
            Application::shared().activate();
        }
        return kReplySuccess;
    }
    }
    return kReplyFailure;
}
