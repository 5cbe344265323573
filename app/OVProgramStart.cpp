#include "app/OVProgramStart.h"

#include "app/OVAppDelegate.h"
#include "app/OVDefaultsProviderClasses.h"
#include "app/OVDocumentSession.h"
#include "app/OVInstanceBus.h"
#include "app/OVSingleInstance.h"
#include "app/OVTextSystemAdditions.h"
#include "document/OVDocument.h"
#include "document/OVDocumentPackageReader.h"
#include "output/NSWindowOVAdditions.h"
#include "output/OVPreviewWindowController.h"
#include "output/OVRandRDisplayModeService.h"
#include "output/OVStandbyView.h"
#include "output/OVTalentWindowController.h"
#include "platform/appkit/AppKitNotifications.h"
#include "platform/appkit/Application.h"
#include "platform/appkit/ApplicationIcon.h"
#include "platform/appkit/RunLoop.h"
#include "platform/appkit/Window.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/PlistValue.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/hvkit/HVAppServices.h"
#include "platform/hvkit/HVConstants.h"
#include "platform/hvkit/HVHelp.h"
#include "platform/hvkit/HVKit.h"
#include "platform/hvkit/HVLogger.h"
#include "platform/hvkit/HVVersion.h"
#include "prompter_view/OVBookmarkControllerPrompterHost.h"
#include "prompter_view/OVFocusArrowView.h"
#include "prompter_view/OVPrompterStandbyView.h"
#include "prompter_view/OVTimeBar.h"
#include "prompting/NSScrollViewOVAppleBugWorkaroundsAdditions.h"
#include "prompting/OVApplication.h"
#include "prompting/OVCore.h"
#include "services/OVCrashReportSender.h"
#include "services/OVResourceFolder.h"
#include "settings/OVSharedPreferencesAccess.h"
#include "text/OVBookmarkController.h"
#include "text/OVTextAttachmentCell.h"
#include "window/NSWindowOVResizeAnimationAdditions.h"
#include "window/OVDocumentPrompterView.h"
#include "window/OVDocumentWindowController.h"

#include <QApplication>
#include <QIcon>
#include <QDebug>
#include <QDialog>
#include <QEvent>
#include <QFileInfo>
#include <QPointer>
#include <QTimer>

#include <cstdio>
#include <cstring>
#include <map>
#include <vector>

namespace {

std::map<OVProgramStart::Switch, std::function<void()>>& switches()
{
    static std::map<OVProgramStart::Switch, std::function<void()>> table;
    return table;
}

bool& prepared()
{
    static bool flag = false;
    return flag;
}

// Each start is counted once: the first launch is told by this count.
bool& launchCounted()
{
    static bool flag = false;
    return flag;
}

// Set by startAfresh(): the next launch reads the folders as they are then.
bool& freshStartPending()
{
    static bool flag = false;
    return flag;
}

void countLaunch()
{
    if (launchCounted())
        return;
    launchCounted() = true;
    HVAppServices::shared().analytics().recordAppLaunch();
}

// Set for smoke tests of the whole start: the program quits on the event loop's first pass.
constexpr const char* kQuitAfterLaunchVariable = "ORVANE_QUIT_AFTER_LAUNCH";

// A smoke-test start has nobody to answer an alert, and one raised while the documents open (a
// script that cannot be read) would hold the start in its own loop forever. Each modal dialog is
// dismissed as soon as it shows; what it said is already in the log, written before it showed.
class UnattendedDialogDismisser final : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Show) {
            auto* dialog = qobject_cast<QDialog*>(watched);
            if (dialog && dialog->isModal()) {
                qInfo().noquote() << "Dismissed an alert of an unattended start:" << dialog->windowTitle();
                QPointer<QDialog> shown(dialog);
                RunLoop::postToMainThread([shown] {
                    if (shown)
                        shown->reject();
                });
            }
        }
        return QObject::eventFilter(watched, event);
    }
};

// Prompters cover their script with the blanking image, and the Blanking menu offers the images of
// the front document's prompter, or of the talent output when no document is open.
void installBlanking()
{
    // Pictures in the script answer clicks only while it can be edited.
    OVTextAttachmentCell::setContentEditableQuery([] { return OVApplication::shared().isContentEditable(); });
    OVStandbyView::installAsPrompterStandbyView();
    OVAppDelegate::setBlankingMenuSource([]() -> std::unique_ptr<Menu> {
        OVPrompterStandbyView* standby = nullptr;
        if (OVDocumentWindowController* front =
                OVDocumentWindowController::frontMostPrompterWindowController())
            standby = front->documentPrompterView()->standbyView();
        else if (OVTalentWindowController::sharedTalentWindowControllerExists())
            standby = OVTalentWindowController::sharedTalentWindowController().prompterView()->standbyView();
        return standby ? standby->menuWithSelectedDefault() : nullptr;
    });
}

// The talent's text stands as far below the reading line as the operator's: the talent window
// gives up half the strip of the toolbar the operator's window shows while prompting at its top and
// half at its bottom, so both prompters are equally tall.
void installTalentToolbarHeight()
{
    OVTalentWindowController& talent = OVTalentWindowController::sharedTalentWindowController();
    talent.setPromptModeToolbarHeightProvider([] {
        if (!OVCore::sharedCore().controllerWindowUsesToolbarInPromptMode())
            return 0.0;
        if (const OVDocumentWindowController* front =
                OVDocumentWindowController::frontMostPrompterWindowController())
            return front->toolbarHeight();
        return UserDefaults::shared().doubleForKey(QStringLiteral("documentToolbarLastHeight"));
    });
    talent.updateContentInset();
    // The preview shows as many lines as the operator's window will hold while prompting, with or
    // without its toolbar then. Both controllers live as long as the process: one observer will do.
    static const bool observing = [] {
        UserDefaults::shared().addObserver(kPromptModeToolbarStateKey, [](const QString&) {
            if (OVApplication::shared().isModeEdit())
                OVPreviewWindowController::sharedPreviewWindowController().updatePreviewBounds();
        });
        return true;
    }();
    Q_UNUSED(observing);
}

} // namespace

void OVProgramStart::setSwitch(Switch which, std::function<void()> toggle)
{
    switches()[which] = std::move(toggle);
}

void OVProgramStart::installProgramSwitches()
{
    setSwitch(Switch::FocusArrowSynchronizedPropertyChanges,
              [] { OVFocusArrowView::enableGlobalSynchronizedPropertyChanges(); });
    setSwitch(Switch::TimeBarSynchronizedPropertyChanges,
              [] { OVTimeBar::enableGlobalSynchronizedPropertyChanges(); });
    setSwitch(Switch::FixedReflectScrolledClipView, [] { toggleFixedReflectScrolledClipView(); });
    OVTextSystemAdditions::install();
    setSwitch(Switch::AnimationResizeOverride,
              [] { NSWindowOVResizeAnimationAdditions::toggleAnimationResizeOverride(); });
}

void OVProgramStart::flipSwitch(Switch which)
{
    const auto found = switches().find(which);
    if (found != switches().end() && found->second)
        found->second();
}

QString OVProgramStart::switchName(Switch which)
{
    switch (which) {
    case Switch::FixParagraphStyleAppleBugWorkaround:
        return QStringLiteral("toggleFixParagraphStyleAppleBugWorkaround");
    case Switch::FixAttachmentAppleBugWorkaround:
        return QStringLiteral("toggleFixAttachmentAppleBugWorkaround");
    case Switch::BetterIBeamCursor:
        return QStringLiteral("toggleBetterIBeamCursor");
    case Switch::FixedReflectScrolledClipView:
        return QStringLiteral("toggleFixedReflectScrolledClipView");
    case Switch::AnimationResizeOverride:
        return QStringLiteral("toggleAnimationResizeOverride");
    case Switch::FocusArrowSynchronizedPropertyChanges:
        return QStringLiteral("OVFocusArrowView enableGlobalSynchronizedPropertyChanges");
    case Switch::TimeBarSynchronizedPropertyChanges:
        return QStringLiteral("OVTimeBar enableGlobalSynchronizedPropertyChanges");
    }
    return {};
}

bool OVProgramStart::hasPreparedProcess()
{
    return prepared();
}

void OVProgramStart::startAfresh()
{
    UserDefaults::shared().reopen(UserDefaults::defaultFilePath());
    HVAppServices::shared().reopenAnalytics();
    launchCounted() = false;
    freshStartPending() = true;
}

bool OVProgramStart::prepareProcess(const std::function<void(const QString&)>& trace)
{
    if (prepared())
        return false;
    prepared() = true;
    const auto step = [&trace](const QString& name, const std::function<void()>& work) {
        if (trace)
            trace(name);
        work();
    };
    const auto flip = [&step](Switch which) { step(switchName(which), [which] { flipSwitch(which); }); };

    step(QStringLiteral("redirectLogs"), [] { HVLogger::redirectLogs(); });
    step(QStringLiteral("logAppLaunchInformation"), [] {
        HVLogger::logAppLaunchInformation();
        // Counted here, once per process that starts the program for real: a start that hands its
        // files to a running program never gets this far.
        countLaunch();
        // The statistics' active time runs while one of our windows is in front.
        static std::vector<NotificationObserver> observers;
        NotificationCenter& center = NotificationCenter::shared();
        observers.emplace_back(
            center, kApplicationDidBecomeActiveNotification, nullptr,
            [](const Notification&) { HVAppServices::shared().analytics().applicationDidBecomeActive(); });
        observers.emplace_back(
            center, kApplicationDidResignActiveNotification, nullptr,
            [](const Notification&) { HVAppServices::shared().analytics().applicationDidResignActive(); });
    });
    // Layer tiling limits that only two old platform releases needed.
    if (HVConstants::isLionOrNewer() && !HVConstants::isMavericksOrNewer()) {
        step(QStringLiteral("registerTilingDefaults"), [] {
            PlistDictionary tiling;
            tiling.insert(QStringLiteral("NSViewBackingLayerTileSize"), PlistValue(qint64(256)));
            tiling.insert(QStringLiteral("NSViewMaxNonTiledBackingLayerSize"), PlistValue(qint64(3000)));
            tiling.insert(QStringLiteral("NSViewMaxResidentTiles"), PlistValue(qint64(384)));
            UserDefaults::shared().registerDefaults(tiling);
        });
    }
    step(QStringLiteral("setupKit"), [] {
        OVDefaultsProviderClasses::registerAll();
        HVKit::setupKit();
    });
    flip(Switch::FixParagraphStyleAppleBugWorkaround);
    flip(Switch::FixAttachmentAppleBugWorkaround);
    if (!HVConstants::isMontereyOrNewer())
        flip(Switch::BetterIBeamCursor);
    flip(Switch::FixedReflectScrolledClipView);
    flip(Switch::AnimationResizeOverride);
    flip(Switch::FocusArrowSynchronizedPropertyChanges);
    flip(Switch::TimeBarSynchronizedPropertyChanges);
    return true;
}

void OVProgramStart::setApplicationIdentity()
{
    QCoreApplication::setApplicationName(QStringLiteral("Orvane"));
    QCoreApplication::setOrganizationName(QStringLiteral("Orvane"));
    QCoreApplication::setApplicationVersion(HVVersion::appVersion().stringValue());
}

void OVProgramStart::installApplicationIcon()
{
    if (!ApplicationIcon::defaultIcon().isNull())
        return;
    QIcon icon;
    for (const int size : {48, 128})
        icon.addFile(QStringLiteral(":/images/Orvane-%1.png").arg(size), QSize(size, size));
    ApplicationIcon::setDefaultIcon(icon);
    QGuiApplication::setDesktopFileName(QStringLiteral("orvane"));
}

std::unique_ptr<OVDocumentSession> OVProgramStart::launch(const QStringList& paths)
{
    setApplicationIdentity();
    installApplicationIcon();
    installProgramSwitches();
    // What was put in the folders since startAfresh() is what a new process would find; what was set
    // through the shared settings meanwhile is written there first.
    const bool afresh = freshStartPending();
    if (afresh) {
        freshStartPending() = false;
        UserDefaults::shared().synchronize();
        UserDefaults::shared().reopen(UserDefaults::defaultFilePath());
        HVAppServices::shared().reopenAnalytics();
    }
    prepareProcess();
    // A start after startAfresh() in a process already prepared.
    countLaunch();
    OVApplication::shared();
    installBlanking();
    // Where the shipped scripts and help pages are, installed or in the source tree of a build run:
    // a shipped script is never written over, and every help button finds its page.
    OVDocumentPackageReader::setShippedFolders({OVResourceFolder()});
    HVHelp::setFolder(OVResourceFolder() + QStringLiteral("/help"));
    // Windows open where the operator can use them: on the operator screen, clear of the preview panel.
    Window::setFirstPlacement(NSWindowOVAdditions::frameForNewWindow);
    // The session makes the application's delegate before anything asks for the prompting core,
    // which expects to find it.
    auto session = std::make_unique<OVDocumentSession>();
    OVAppDelegate& delegate = session->appDelegate();
    // Before any window becomes main, so the first script's bookmarks answer Ctrl+Alt+digit at once.
    installBookmarkControllerPrompterHost(OVApplication::shared().core());
    OVBookmarkController::sharedBookmarkController();
    delegate.applicationWillFinishLaunching();
    // Later starts hand their requests over from now on; they are served once the event loop runs.
    delegate.beginServingInstanceRequests();
    if (!paths.isEmpty())
        delegate.openFiles(paths);
    // Display modes through RandR where the program runs on X; elsewhere none are offered.
    static const std::unique_ptr<OVRandRDisplayModeService> displayModes =
        OVRandRDisplayModeService::create();
    if (displayModes)
        OVDisplayModeService::setShared(displayModes.get());
    // The preview panel makes the talent output and hands it the output settings, once the
    // documents are open.
    const bool previewMadeBefore = OVPreviewWindowController::openPreviewWindowController() != nullptr;
    OVPreviewWindowController& preview = OVPreviewWindowController::sharedPreviewWindowController();
    if (afresh && previewMadeBefore)
        preview.placePanelForStart();
    installTalentToolbarHeight();
    if (UserDefaults::shared().boolForKey(QStringLiteral("openPreviewWindowOnStartup")))
        preview.window()->orderFront();
    // The untitled document of a start without files, and the talent's watching of the front one.
    delegate.applicationDidFinishLaunching();
    // Once there is a window to say it in.
    delegate.tellOfSettingsSetAside();
    // From now on a file opened over an untouched Untitled window takes its place.
    OVDocument::setDidFinishRestoringWindows(true);
    return session;
}

namespace {

// The session bus first, where a program on these settings owns its name; the local socket where
// there is no bus or nobody answers on it.
std::optional<int> sendToRunningProgram(const OVSingleInstance::Request& request)
{
    if (const std::optional<int> reply = OVInstanceBus::sendToRunningInstance(request))
        return reply;
    return OVSingleInstance::sendToRunningInstance(request);
}

// The absolute paths in as few requests as the running program accepts: within its count of paths
// and its message size.
std::vector<QStringList> requestParts(const QStringList& arguments)
{
    OVSingleInstance::Request empty;
    empty.command = OVSingleInstance::Command::Open;
    const qsizetype header = OVSingleInstance::encode(empty).size() - 4;
    std::vector<QStringList> parts;
    QStringList part;
    qsizetype bytes = header;
    for (const QString& argument : arguments) {
        const QString path = QFileInfo(argument).absoluteFilePath();
        const qsizetype size = path.toUtf8().size() + 1;
        if (!part.isEmpty() && (part.size() >= OVSingleInstance::kMaximumPaths ||
                                bytes + size > OVSingleInstance::kMaximumMessageBytes)) {
            parts.push_back(std::move(part));
            part.clear();
            bytes = header;
        }
        part << path;
        bytes += size;
    }
    if (!part.isEmpty())
        parts.push_back(std::move(part));
    return parts;
}

} // namespace

std::optional<int> OVProgramStart::handToRunningProgram(const QStringList& arguments)
{
    OVSingleInstance::Request request;
    if (arguments == QStringList{QString::fromLatin1(kNewDocumentOption)})
        request.command = OVSingleInstance::Command::NewDocument;
    else if (!arguments.isEmpty())
        request.command = OVSingleInstance::Command::Open;
    if (request.command != OVSingleInstance::Command::Open) {
        const std::optional<int> reply = sendToRunningProgram(request);
        if (!reply)
            return std::nullopt;
        return *reply == OVAppDelegate::kReplyFailure ? 1 : 0;
    }
    // The running program answers each request with one alert for all its files that fail, so the
    // list goes whole; only a list past what one request may carry (a shell's wildcard over a huge
    // folder) goes in parts. The start fails only when no part opened anything.
    bool anyHandled = false;
    bool anySent = false;
    for (const QStringList& part : requestParts(arguments)) {
        request.paths = part;
        const std::optional<int> reply = sendToRunningProgram(request);
        if (!reply) {
            if (!anySent)
                return std::nullopt;
            continue;
        }
        anySent = true;
        anyHandled = anyHandled || *reply != OVAppDelegate::kReplyFailure;
    }
    return anyHandled ? 0 : 1;
}

QString OVProgramStart::missingDisplayMessage(int argc, char** argv)
{
    const auto isSet = [](const char* name) { return !qEnvironmentVariableIsEmpty(name); };
    // A platform chosen in the environment or on the command line (offscreen, vnc, xcb with its own
    // display) is the user's decision; Qt reports its own failure to open it.
    if (isSet("DISPLAY") || isSet("WAYLAND_DISPLAY") || isSet("QT_QPA_PLATFORM"))
        return {};
    for (int i = 1; i < argc; ++i) {
        // Qt takes its options with one dash or two.
        const char* option = std::strncmp(argv[i], "--", 2) == 0 ? argv[i] + 1 : argv[i];
        if (std::strcmp(option, "-platform") == 0 || std::strcmp(option, "-display") == 0)
            return {};
    }
    return QStringLiteral(
        "orvane: there is no display to show Orvane on: neither DISPLAY nor WAYLAND_DISPLAY is set.\n"
        "Start it from a desktop session, or on a virtual display:\n"
        "  xvfb-run -a orvane FILE\n"
        "(Debian: apt-get install xvfb)\n");
}

int OVProgramStart::main(int argc, char** argv)
{
    setApplicationIdentity();
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("Orvane %s (%s)\n", qPrintable(HVVersion::appVersion().stringValue()),
                    qPrintable(HVVersion::appBuildVersion().stringValue()));
        return 0;
    }
    // Qt would abort with a message about reinstalling it; the user needs to hear what is missing.
    if (const QString missing = missingDisplayMessage(argc, argv); !missing.isEmpty()) {
        std::fputs(qPrintable(missing), stderr);
        return 1;
    }
    // Before Qt starts, so even the platform's start-up messages reach the log.
    HVLogger::redirectLogs();
    QApplication qtApplication(argc, argv);
    // Before anything can crash; the report names this build, so it is ready before the first fault.
    OVCrashReportSender::installHandlers(OVCrashReportSender::defaultFolder(),
                                         HVVersion::appVersion().stringValue(),
                                         HVVersion::appBuildVersion().stringValue());
    QStringList paths = QCoreApplication::arguments();
    paths.removeFirst();
    // A program already runs on these settings: it opens the files (or comes forward) instead.
    if (const std::optional<int> handed = handToRunningProgram(paths))
        return *handed;
    // The desktop entry's "New Document" starts a program that makes one anyway.
    if (paths == QStringList{QString::fromLatin1(kNewDocumentOption)})
        paths.clear();
    const bool quitAfterLaunch = qEnvironmentVariableIsSet(kQuitAfterLaunchVariable);
    UnattendedDialogDismisser dismisser;
    if (quitAfterLaunch)
        qtApplication.installEventFilter(&dismisser);
    std::unique_ptr<OVDocumentSession> session = launch(paths);
    Application& application = OVApplication::shared().application();
    // Asked again on every pass: a request made while some step of the start runs a loop of its own
    // ends only that loop, and the program would stay up.
    QTimer quitter;
    if (quitAfterLaunch) {
        QObject::connect(&quitter, &QTimer::timeout, [&application] { application.terminate(); });
        quitter.start(0);
    }
    const int status = application.run();
    // Quitting from the front ends the active time without a resignation.
    HVAppServices::shared().analytics().applicationDidResignActive();
    session.reset();
    return status;
}
