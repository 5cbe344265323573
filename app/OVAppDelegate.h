#pragma once

#include "app/OVDefaultsMigration.h"
#include "app/OVInstanceBus.h"
#include "app/OVSingleInstance.h"
#include "platform/appkit/Menu.h"
#include "platform/appkit/Responder.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/PlistValue.h"
#include "platform/hvkit/HVInitialDefaultsProvider.h"
#include "platform/hvkit/HVPeriodicURLChecker.h"
#include "platform/updates/Updater.h"

#include <QString>
#include <QStringList>
#include <QUrl>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

class Document;
class Error;
class OVAboutWindow;
class OVCrashReportSender;
class OVWhatsNewWindowController;
class MenuItem;
class QWidget;
class Window;
struct OVUpdateServices;
class OVWindowSizePresetEditor;

// The application's delegate and the hub of its shell: it migrates the settings older builds left,
// writes the version keys, owns the menus every document window shows and keeps their dynamic
// items up to date, answers open and reopen requests (from the command line and from later
// starts), makes the untitled document of a start without files, and opens the tutorial and
// sample scripts. It stands last on the responder chain, after the application.
class OVAppDelegate : public Responder,
                      public MenuDelegate,
                      public HVInitialDefaultsProvider,
                      public HVPeriodicURLCheckerDelegate,
                      public UpdaterDelegate {
public:
    // What an open request is answered with.
    static constexpr int kReplySuccess = 0;
    static constexpr int kReplyFailure = 2;

    // One pane of the settings window.
    struct SettingsItem {
        QString identifier;
        QString viewControllerClassName;
        QString nibName;
        QString title;
        QString imageName;
        QString helpAnchor;
        bool advanced = false;
    };

    // A window-size preset as the presets submenu lists it.
    struct SizePreset {
        QString string;
        bool favorite = false;
    };
    using SizePresetSource = std::function<std::vector<SizePreset>()>;
    // The blanking choices of the current blanking source; null when there is no source.
    using BlankingMenuSource = std::function<std::unique_ptr<Menu>()>;
    using ModifierFlagsProvider = std::function<unsigned long()>;

    // What the shell hands out about the product: where it lives on the web, whom support mail goes
    // to (pre-release builds have their own address), the release notes' help anchor and the settings
    // a support request leaves out.
    struct ApplicationAddresses {
        QUrl website;
        QUrl store;
        QUrl support;
        QUrl announcements;
        QString releaseNotesHelpAnchor;
        QString contactSupportEmailAddress;
        QStringList supportRemovedUserDefaultsKeys;
    };

    static PlistDictionary initialDefaultsDictionary();
    // The addresses as configured for the build, each empty unless the packager set it.
    struct AddressConfiguration {
        QString website;
        QString store;
        QString support;
        QString announcements;
        QString supportEmail;
        QString prereleaseSupportEmail;
    };
    static AddressConfiguration buildAddressConfiguration();
    static inline const QString kAnnouncementsCheckIdentifier = QStringLiteral("announcements");
    // Replaces the build's configuration, for tests; nothing gives the build's back.
    static void setAddressConfiguration(std::optional<AddressConfiguration> configuration);
    // Web addresses other than https are left out, as if not configured.
    static ApplicationAddresses makeApplicationAddresses(bool prerelease);
    // A support request as an e-mail the user's mail program opens and shows before anything is
    // sent: the presentable statistics make its body. Empty without a support e-mail address.
    static QUrl supportRequestMailURL(const ApplicationAddresses& addresses);

    OVAppDelegate();
    ~OVAppDelegate() override;
    OVAppDelegate(const OVAppDelegate&) = delete;
    OVAppDelegate& operator=(const OVAppDelegate&) = delete;

    // State.
    Window* mainWindow() const { return m_mainWindow; }
    unsigned long long lastLaunchedBuildNumber() const { return m_migration.lastLaunchedBuildNumber; }
    // The highest build launched before this one, as the previous launches left it; what is new
    // since then is what this launch has to tell.
    std::optional<unsigned long long> highestLaunchedBuildNumberBeforeLaunch() const
    {
        return m_migration.highestLaunchedBuildNumber;
    }
    const OVDefaultsMigration::Outcome& migrationOutcome() const { return m_migration; }
    const ApplicationAddresses& applicationAddresses() const { return m_addresses; }
    bool didFinishRestoringWindows() const { return m_didFinishRestoringWindows; }
    bool didFinishLaunching() const { return m_didFinishLaunching; }
    bool didOpenDocumentsOnLaunch() const { return m_didOpenDocumentsOnLaunch; }

    // Launching.
    static unsigned long long currentBuildNumber();
    void applicationWillFinishLaunching();
    void applicationDidFinishLaunching();
    // Later starts' requests; answers kReplySuccess or kReplyFailure as soon as the request is
    // decided (each file opened or failed). What went wrong is shown only after that, once the
    // answer has gone back, so an alert the user leaves open never holds the later start.
    int handleInstanceRequest(const OVSingleInstance::Request& request);
    // Starts answering later starts of the program, on the session bus where there is one and on
    // the local socket; false when another program already does.
    bool beginServingInstanceRequests();
    bool isServingOnBus() const { return m_instanceBus && m_instanceBus->isRegistered(); }

    // The settings window.
    static std::vector<SettingsItem> settingsItems();
    static constexpr int kSettingsWindowWidth = 720;
    static constexpr int kSettingsWindowHeight = 640;
    QWidget* settingsWindow() const { return m_settingsWindow.get(); }
    void showSettingsWindow();

    // Documents and events.
    // Opens paths and tells the user at once, in one alert, of those that would not open; answers
    // kReplySuccess when any opened. A later start's request (handleInstanceRequest) is answered
    // before its alert shows.
    int openFiles(const QStringList& paths);
    // The one error that reports several files a request could not open: the first few by name,
    // then how many more; a single failure stands as it is.
    static constexpr int kNamedOpenFailures = 5;
    // In the combined error: the paths of every file that failed, in the request's order.
    static inline const QString kOpenFailurePathsKey = QStringLiteral("OVOpenFailurePaths");
    static Error combinedOpenError(const std::vector<Error>& failures);
    // Tells the user once, on the front window, that the settings file could not be read and was
    // set aside; nothing when it was read.
    void tellOfSettingsSetAside();
    bool openFile(const QString&) const { return false; }
    bool applicationShouldOpenUntitledFile() const { return true; }
    bool applicationShouldHandleReopen(bool hasVisibleWindows);
    // The menu a dock would show: New in Edit mode, then the mode and status items.
    std::unique_ptr<Menu> applicationDockMenu() const;
    bool applicationShouldAutomaticallyLocalizeKeyEquivalents() const;
    bool isDocumentWindowMain() const;

    // Menus.
    Menu* mainMenu() const { return m_mainMenu.get(); }
    void updateUnmarkMenuItemsForSuppressSetting();
    void rebuildWindowPresetSizesMenu();
    void menuNeedsUpdate(Menu& menu) override;
    bool validateUserInterfaceItem(const UserInterfaceItem& item) const override;
    bool hasBlankingSource() const;
    static void setBlankingMenuSource(BlankingMenuSource source);
    static void setSizePresetSource(SizePresetSource source);
    static std::vector<SizePreset> defaultSizePresets();
    // The presets as the settings hold them, with the favourite marked.
    static std::vector<SizePreset> storedSizePresets();

    // The window-size preset editor, opened from the preset submenu.
    void editDocumentPrompterContentSizePresets();
    OVWindowSizePresetEditor* presetEditor() const { return m_presetEditor.get(); }

    // Tutorial and sample scripts, chosen by the modifier keys held (Alt stands for Option).
    void openTutorialDocument(unsigned long modifierFlags);
    void _openDemoDocument();
    Document* _openInternalDocumentWithName(const QString& name, const QString& displayName);
    Document* openGeneratedDocument(bool loremIpsum);
    void setDemoDocumentsFolder(const QString& folder) { m_demoDocumentsFolder = folder; }
    static void setModifierFlagsProvider(ModifierFlagsProvider provider);

    // Updates, crash reports, statistics and release notes.
    // Fetches the hardware profiles when an address is set; the updater calls it after each feed load.
    void updateHardwareProfiles();
    bool isUpdatingHardwareProfiles() const;
    // The about window with the credits and the user's statistics.
    void orderFrontCustomAboutPanel();
    QWidget* aboutWindow() const;
    void showWhatsNew();
    OVWhatsNewWindowController* whatsNewWindowController() const { return m_whatsNewWindowController.get(); }
    OVCrashReportSender& crashReportSender();

    // Updates (OVAppDelegateUpdates.cpp). The feed address is a build setting, empty unless the
    // build names one: without it no update request is ever made.
    static PlistDictionary updateDefaultsDictionary();
    // Makes the updater, its checker and the update controller and hands them to the application.
    void setUpUpdates();
    Updater* updater() const;
    bool canCheckForUpdates() const;
    bool checkerCanPerformChecksAndComplete(HVPeriodicURLChecker& checker) override;
    void checkerPrepareForChecks(HVPeriodicURLChecker& checker) override;
    bool updaterMayCheckForUpdates(Updater& updater) override;
    bool updaterShouldRelaunchApplication(Updater& updater) const;
    PlistArray feedParametersForUpdater(Updater& updater, bool sendingSystemProfile) const;
    std::optional<AppcastItem> bestValidUpdateInAppcast(const Appcast& appcast, Updater& updater) override;
    void updaterDidFinishLoadingAppcast(Updater& updater, const Appcast& appcast) override;
    // What describes this installation to an update or support request: built, never sent.
    static PlistArray standardRequestParameters();
    static PlistArray updateCheckParameters();
    // Prompting starts: the updater's window closes and its running check is cancelled.
    void closeAndCancelSparkleWindows();

private:
    // The end of launching's own steps: crash reports, what is new, the move offer.
    void _finishLaunchingAdditions();
    void installLaunchAdditionActions();
    void installActions();
    void mainWindowChanged();
    void _applicationDidFinishLaunchingAndRestoringWindows();
    void _lionOpenUntitledFileIfNecessary();
    // What one open request came to; nothing of it has been shown yet.
    struct OpenOutcome {
        int opened = 0;
        std::vector<Error> failures;
        bool hadFlatFile = false;
    };
    // Opens each path and collects what went wrong.
    OpenOutcome _openFilePaths(const QStringList& paths);
    int replyFor(const OpenOutcome& outcome);
    static void reportOpenFailures(const std::vector<Error>& failures);
    // Shows or hides "Remove Underline Colors" and the separator above it.
    void setUnderlineColorItemsHidden(bool hidden);
    // The shared panels, working on the script in front.
    static void orderFrontFontPanel();
    static void orderFrontColorPanel();
    static class OVTextView* scriptTextView();
    // The font over the selection as one undoable step; with a caret, the typing attributes.
    static void changeFont(class OVTextView& view, const struct Font& font);
    void hideItemWithAction(const QString& action, bool alsoFollowingSeparator);
    void bringForward(Document* document) const;
    void makeSettingsWindow();

    std::unique_ptr<Menu> m_mainMenu;
    Menu* m_blankingOptionsMenu = nullptr;
    MenuItem* m_resizeDocumentPrompterMenuItem = nullptr;
    // The Bookmarks menu, whose bookmark items the bookmark controller keeps.
    Menu* m_bookmarksMenu = nullptr;
    Window* m_mainWindow = nullptr;
    OVDefaultsMigration::Outcome m_migration;
    ApplicationAddresses m_addresses;
    bool m_didFinishRestoringWindows = false;
    bool m_didFinishLaunching = false;
    bool m_didOpenDocumentsOnLaunch = false;
    bool m_didRunLaunchCompletion = false;
    QString m_demoDocumentsFolder;
    std::unique_ptr<QWidget> m_settingsWindow;
    std::unique_ptr<OVSingleInstance> m_instanceServer;
    std::unique_ptr<OVInstanceBus> m_instanceBus;
    std::vector<NotificationObserver> m_observers;
    std::unique_ptr<OVUpdateServices> m_updateServices;
    std::unique_ptr<OVWindowSizePresetEditor> m_presetEditor;
    quint64 m_unmarkObserver = 0;
    quint64 m_bookmarkNamingObserver = 0;
    std::unique_ptr<OVAboutWindow> m_aboutWindow;
    std::unique_ptr<OVWhatsNewWindowController> m_whatsNewWindowController;
    std::unique_ptr<OVCrashReportSender> m_crashReportSender;
};
