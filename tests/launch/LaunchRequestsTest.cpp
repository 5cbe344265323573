// What a start asks of the program, as a user meets it: the files named on the command line, a
// start without files, files handed over by a later start, and the menus each window shows.
#include "app/OVAppDelegate.h"
#include "app/OVDocumentSession.h"
#include "app/OVInstanceBus.h"
#include "app/OVMainMenu.h"
#include "app/OVProgramStart.h"
#include "app/OVSingleInstance.h"
#include "document/OVDocument.h"
#include "document/OVDocumentContentController.h"
#include "output/OVTalentWindowController.h"
#include "platform/appkit/Alert.h"
#include "platform/appkit/Application.h"
#include "platform/appkit/Document.h"
#include "platform/appkit/DocumentController.h"
#include "platform/appkit/Event.h"
#include "platform/appkit/FakeScreenProvider.h"
#include "platform/appkit/Menu.h"
#include "platform/appkit/MenuItem.h"
#include "platform/appkit/SavePanel.h"
#include "platform/appkit/UndoManager.h"
#include "platform/appkit/View.h"
#include "platform/hvkit/HVAppServices.h"
#include "platform/appkit/Window.h"
#include "platform/appkit/WindowController.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/PlistValue.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/text/AttributeNames.h"
#include "platform/text/MutableAttributedString.h"
#include "platform/textview/TextView.h"
#include "prompting/OVApplication.h"
#include "prompting/OVCore.h"

#include <QAction>
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusPendingCall>
#include <QDBusPendingReply>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMenuBar>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>

#include <gtest/gtest.h>

#include "LaunchTestSupport.h"

namespace {

using launchtest::copyFolder;
using launchtest::kSample;

class LaunchRequests : public ::testing::Test {
protected:
    void SetUp() override
    {
        Clock::setShared(&clock);
        Application::shared().setErrorPresenter([this](const Error& error) {
            presented.push_back(error);
            return true;
        });
        script = folder.filePath(QStringLiteral("Script.ovdocument"));
        ASSERT_TRUE(copyFolder(kSample, script));
        flat = folder.filePath(QStringLiteral("Notes.ovdocument"));
        QFile notes(flat);
        ASSERT_TRUE(notes.open(QIODevice::WriteOnly));
        notes.write("A package that lost its folder on the way.\n");
    }

    void TearDown() override
    {
        AlertPresenterScope discard([](Alert&) { return Alert::kThirdButtonReturn; });
        session.reset();
        Application::shared().setErrorPresenter({});
        Clock::setShared(nullptr);
    }

    void launch(const QStringList& paths)
    {
        session = OVProgramStart::launch(paths);
        QCoreApplication::processEvents();
    }
    std::vector<Document*> documents() const { return session->documentController().documents(); }
    OVAppDelegate& delegate() const { return session->appDelegate(); }
    Window* windowOf(Document* document) const { return document->primaryWindowController()->window(); }
    void pumpUntil(const std::function<bool()>& done, int milliseconds = 10000)
    {
        QElapsedTimer waited;
        waited.start();
        while (!done() && waited.elapsed() < milliseconds)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }

    ManualClock clock;
    QTemporaryDir folder;
    QString script;
    QString flat;
    std::vector<Error> presented;
    std::unique_ptr<OVDocumentSession> session;
};

TEST_F(LaunchRequests, AFileOnTheCommandLineOpensAloneWithoutAnUntitledDocument)
{
    launch({script});
    ASSERT_EQ(documents().size(), 1u);
    EXPECT_EQ(documents().front()->fileURL(), QUrl::fromLocalFile(script));
    EXPECT_TRUE(delegate().didOpenDocumentsOnLaunch());
    EXPECT_EQ(Application::shared().mainWindow(), windowOf(documents().front()));
    EXPECT_TRUE(presented.empty());
}

TEST_F(LaunchRequests, AStartWithoutFilesShowsOneUntitledDocument)
{
    launch({});
    ASSERT_EQ(documents().size(), 1u);
    EXPECT_TRUE(documents().front()->fileURL().isEmpty());
    EXPECT_TRUE(windowOf(documents().front())->isVisible());
    EXPECT_FALSE(delegate().didOpenDocumentsOnLaunch());
    EXPECT_TRUE(presented.empty());
}

TEST_F(LaunchRequests, APlainFileWithTheNativeExtensionIsReportedAndTheRequestFails)
{
    launch({flat});
    ASSERT_EQ(presented.size(), 1u);
    EXPECT_EQ(presented.front().code(), kFileReadCorruptFileError);
    EXPECT_EQ(presented.front().userInfo().value(kFilePathErrorKey).toString(), flat);
    // Nothing opened, so the start still gives the user a window.
    ASSERT_EQ(documents().size(), 1u);
    EXPECT_TRUE(documents().front()->fileURL().isEmpty());

    EXPECT_EQ(delegate().openFiles({flat}), OVAppDelegate::kReplyFailure);
    EXPECT_EQ(presented.size(), 2u);
    EXPECT_EQ(documents().size(), 1u);
}

TEST_F(LaunchRequests, BesideAGoodScriptTheFlatFileIsReportedAndTheScriptOpens)
{
    launch({flat, script});
    ASSERT_EQ(documents().size(), 1u);
    EXPECT_EQ(documents().front()->fileURL(), QUrl::fromLocalFile(script));
    ASSERT_EQ(presented.size(), 1u);
    EXPECT_EQ(presented.front().code(), kFileReadCorruptFileError);
    EXPECT_EQ(delegate().openFiles({flat, script}), OVAppDelegate::kReplySuccess);
    EXPECT_EQ(documents().size(), 1u);
}

TEST_F(LaunchRequests, EachFileThatCannotBeOpenedIsReportedOnceInOneAlert)
{
    const QString missing = folder.filePath(QStringLiteral("Missing.ovdocument"));
    const QString unknown = folder.filePath(QStringLiteral("figures.xyz"));
    QFile data(unknown);
    ASSERT_TRUE(data.open(QIODevice::WriteOnly));
    data.write(QByteArray(64, '\x01'));
    data.close();
    launch({missing, unknown});
    ASSERT_EQ(presented.size(), 1u);
    EXPECT_EQ(presented[0].localizedDescription(), QStringLiteral("2 files couldn’t be opened."));
    EXPECT_EQ(presented[0].userInfo().value(OVAppDelegate::kOpenFailurePathsKey).toStringList(),
              (QStringList{missing, unknown}));
    EXPECT_TRUE(presented[0].localizedFailureReason().contains(QStringLiteral("“Missing.ovdocument”")));
    EXPECT_TRUE(presented[0].localizedFailureReason().contains(QStringLiteral("“figures.xyz”")));
    EXPECT_EQ(documents().size(), 1u);
    // One file alone is told as it always was.
    EXPECT_EQ(delegate().openFiles({missing}), OVAppDelegate::kReplyFailure);
    ASSERT_EQ(presented.size(), 2u);
    EXPECT_EQ(presented[1].code(), kFileReadNoSuchFileError);
}

TEST_F(LaunchRequests, ACancelledOpenPanelOpensNothingAndSaysNothing)
{
    launch({script});
    SavePanelAnswererScope cancel([](SavePanel&) { return SavePanel::kModalResponseCancel; });
    QTest::keyClick(windowOf(documents().front())->hostWidget(), Qt::Key_O, Qt::ControlModifier);
    QCoreApplication::processEvents();
    EXPECT_EQ(documents().size(), 1u);
    EXPECT_TRUE(presented.empty());
}

TEST_F(LaunchRequests, EachWindowShowsTheMenusWithTheirDynamicItems)
{
    launch({script});
    Window* window = windowOf(documents().front());
    QMenuBar* bar = window->menuBar();
    ASSERT_TRUE(bar);
    EXPECT_TRUE(bar->isVisible());
    QStringList titles;
    for (QAction* action : bar->actions())
        titles << action->text().remove(u'&');
    EXPECT_EQ(titles, (QStringList{QStringLiteral("File"), QStringLiteral("Edit"), QStringLiteral("Format"),
                                   QStringLiteral("Prompt"), QStringLiteral("Bookmarks"),
                                   QStringLiteral("Window"), QStringLiteral("Help")}));
    // The script starts below the menu bar and the toolbar under it.
    ASSERT_TRUE(window->toolBar());
    EXPECT_TRUE(window->toolBar()->isVisible());
    EXPECT_NEAR(window->toolBar()->y(), bar->height(), 0.5);
    EXPECT_NEAR(window->contentView()->frame().size.height,
                window->frame().size.height - bar->height() - window->toolBar()->height(), 0.5);

    Menu* menu = Menu::mainMenu();
    ASSERT_TRUE(menu);
    MenuItem* preset = menu->itemWithAction(QStringLiteral("resizeDocumentPrompterContentForMenuItem:"));
    ASSERT_TRUE(preset);
    EXPECT_EQ(preset->menu()->numberOfItems(), 12 * 2 + 2);
    EXPECT_EQ(menu->itemWithAction(QStringLiteral("unmarkAll:"))->title(), QStringLiteral("Unmark All…"));
    MenuItem* exportItem = menu->itemWithAction(QStringLiteral("saveDocumentTo:"));
    EXPECT_TRUE(
        exportItem->menu()->itemAtIndex(exportItem->menu()->indexOfItem(exportItem) - 1)->isSeparatorItem());

    // Validation follows the responder chain: cutting needs an editable selection.
    MenuItem* cut = menu->itemWithAction(QStringLiteral("cut:"));
    QTest::keyClick(window->hostWidget(), Qt::Key_A, Qt::ControlModifier);
    QCoreApplication::processEvents();
    EXPECT_TRUE(Menu::validate(*cut));
    EXPECT_TRUE(Menu::validate(*menu->itemWithAction(QStringLiteral("openTutorialDocument:"))));
    // The front document's prompter offers the blanking images.
    EXPECT_TRUE(Menu::validate(*menu->itemWithAction(QStringLiteral("blankingOptionsAction:"))));
    EXPECT_EQ(delegate().applicationDockMenu()->numberOfItems(), 4);

    QTest::keyClick(window->hostWidget(), Qt::Key_Return, Qt::ControlModifier);
    QCoreApplication::processEvents();
    ASSERT_TRUE(OVApplication::shared().isModePrompt());
    EXPECT_FALSE(Menu::validate(*cut));
    EXPECT_FALSE(bar->isVisible());
    EXPECT_EQ(delegate().applicationDockMenu()->numberOfItems(), 2);

    QTest::keyClick(window->hostWidget(), Qt::Key_Return, Qt::ControlModifier);
    QCoreApplication::processEvents();
    ASSERT_TRUE(OVApplication::shared().isModeEdit());
    EXPECT_TRUE(bar->isVisible());
}

TEST_F(LaunchRequests, TheHelpMenuMakesTheLinesSampleAsAnUnsavedScript)
{
    launch({script});
    delegate().openTutorialDocument(kOptionKeyMask);
    ASSERT_EQ(documents().size(), 2u);
    Document* lines = documents().back();
    EXPECT_EQ(lines->displayName(), QStringLiteral("Lines"));
    EXPECT_TRUE(lines->fileURL().isEmpty());
    // Its text is set as a loaded script's is, never as an undoable edit.
    auto* script = dynamic_cast<OVDocument*>(lines);
    ASSERT_TRUE(script && script->contentController());
    EXPECT_GT(script->contentController()->textViewTextStorage()->length(), 100);
    EXPECT_FALSE(script->undoManager()->canUndo());
    EXPECT_EQ(Application::shared().mainWindow(), windowOf(lines));
    EXPECT_TRUE(presented.empty());
}

TEST_F(LaunchRequests, TheTutorialOpensAsAnUnsavedCopyTitledWithoutItsMargins)
{
    launch({script});
    QTemporaryDir demo;
    // The first offscreen screen is 1280 wide: the plain tutorial is the one looked for.
    ASSERT_TRUE(copyFolder(kSample, demo.filePath(QStringLiteral("Tutorial.ovdocument"))));
    delegate().setDemoDocumentsFolder(demo.path());
    delegate().openTutorialDocument(0);
    ASSERT_EQ(documents().size(), 2u);
    EXPECT_EQ(documents().back()->displayName(), QStringLiteral("Tutorial"));
    EXPECT_TRUE(documents().back()->fileURL().isEmpty());
    EXPECT_EQ(HVAppServices::shared().analytics().integerForKeyPath(QStringLiteral("documents.openedDemoDocuments")), 1);
    // Without the shipped file nothing opens and nothing is said.
    delegate().setDemoDocumentsFolder(folder.filePath(QStringLiteral("none")));
    delegate().openTutorialDocument(kShiftKeyMask);
    EXPECT_EQ(documents().size(), 2u);
    EXPECT_TRUE(presented.empty());
}

TEST_F(LaunchRequests, SettingsAnOlderBuildLeftAreMigratedAndTheVersionKeysWritten)
{
    {
        UserDefaults older(UserDefaults::defaultFilePath());
        older.setInteger(700, QStringLiteral("appBuildNumber"));
        older.setInteger(760, QStringLiteral("highestLaunchedAppBuildNumber"));
        older.setBool(false, QStringLiteral("snowLeopardShowScrollBarInPromptMode"));
        older.setInteger(3, QStringLiteral("frameRateTag"));
        older.setObject(PlistDictionary(), QStringLiteral("OVDocumentToolbarState"));
        ASSERT_TRUE(older.synchronize());
    }
    launch({script});
    const UserDefaults& defaults = UserDefaults::shared();
    EXPECT_EQ(delegate().lastLaunchedBuildNumber(), 700u);
    EXPECT_EQ(delegate().highestLaunchedBuildNumberBeforeLaunch(), 760u);
    EXPECT_EQ(defaults.objectForKey(QStringLiteral("showScrollBarInPromptMode")), PlistValue(false));
    EXPECT_FALSE(defaults.hasUserValue(QStringLiteral("OVDocumentToolbarState")));
    EXPECT_EQ(defaults.integerForKey(QStringLiteral("frameRateTag")), 3);
    const qint64 current = qint64(OVAppDelegate::currentBuildNumber());
    EXPECT_GT(current, 890);
    EXPECT_EQ(defaults.integerForKey(QStringLiteral("appBuildNumber")), current);
    EXPECT_EQ(defaults.integerForKey(QStringLiteral("highestLaunchedAppBuildNumber")), current);
}

// The real program, started a second time on the same settings, hands its file to this one.
TEST_F(LaunchRequests, ASecondStartHandsItsFilesToTheRunningProgram)
{
    launch({script});
    const QString other = folder.filePath(QStringLiteral("Other.ovdocument"));
    ASSERT_TRUE(copyFolder(kSample, other));
    QProcess second;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    second.setProcessEnvironment(environment);
    second.setWorkingDirectory(folder.path());
    QElapsedTimer started;
    started.start();
    second.start(QStringLiteral(ORVANE_BINARY), {QStringLiteral("Other.ovdocument")});
    ASSERT_TRUE(second.waitForStarted());
    pumpUntil([&] { return second.state() == QProcess::NotRunning && documents().size() == 2; });
    const qint64 handedOver = started.elapsed();
    EXPECT_EQ(second.state(), QProcess::NotRunning) << second.readAllStandardError().toStdString();
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.exitCode(), 0) << second.readAllStandardError().toStdString();
    ASSERT_EQ(documents().size(), 2u);
    EXPECT_EQ(documents().back()->fileURL(), QUrl::fromLocalFile(other));
    std::printf("second start handed its file over and ended in %lld ms\n",
                static_cast<long long>(handedOver));

    // A start without files only brings the running program forward; the desktop entry's New
    // Document action asks it for a new script.
    second.start(QStringLiteral(ORVANE_BINARY), {});
    pumpUntil([&] { return second.state() == QProcess::NotRunning; });
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_EQ(documents().size(), 2u);
    second.start(QStringLiteral(ORVANE_BINARY), {QStringLiteral("--new-document")});
    pumpUntil([&] { return second.state() == QProcess::NotRunning && documents().size() == 3; });
    EXPECT_EQ(second.exitCode(), 0);
    ASSERT_EQ(documents().size(), 3u);
    EXPECT_TRUE(documents().back()->fileURL().isEmpty());
    documents().back()->close();
    QCoreApplication::processEvents();
    ASSERT_EQ(documents().size(), 2u);

    // Three hundred files of which only the last is there: it opens, and one alert names the first
    // five missing and counts the rest.
    QStringList many;
    for (int i = 0; i < 299; ++i)
        many << folder.filePath(QStringLiteral("Missing %1.ovdocument").arg(i));
    const QString last = folder.filePath(QStringLiteral("Last.ovdocument"));
    ASSERT_TRUE(copyFolder(kSample, last));
    many << last;
    second.start(QStringLiteral(ORVANE_BINARY), many);
    pumpUntil([&] {
        return second.state() == QProcess::NotRunning && documents().size() == 3 && !presented.empty();
    });
    // Every request the start made was answered before it ended; the alerts they post come on the
    // next passes of the event loop.
    for (int pass = 0; pass < 5; ++pass)
        QCoreApplication::processEvents();
    EXPECT_EQ(second.exitCode(), 0);
    ASSERT_EQ(documents().size(), 3u);
    EXPECT_EQ(documents().back()->fileURL(), QUrl::fromLocalFile(last));
    ASSERT_EQ(presented.size(), 1u);
    EXPECT_EQ(presented[0].localizedDescription(), QStringLiteral("299 files couldn’t be opened."));
    const QStringList lines = presented[0].localizedFailureReason().split(u'\n');
    ASSERT_EQ(lines.size(), OVAppDelegate::kNamedOpenFailures + 1);
    EXPECT_TRUE(lines.front().startsWith(QStringLiteral("“Missing 0.ovdocument”")));
    EXPECT_EQ(lines.back(), QStringLiteral("and 294 more files."));
    presented.clear();

    // A start naming a file nothing can open tells the user here and fails there; the answer goes
    // out before the alert, so the start ends whatever the user does with it.
    bool alertedBeforeTheAnswer = false;
    Application::shared().setErrorPresenter([&](const Error& error) {
        alertedBeforeTheAnswer = second.state() != QProcess::NotRunning && !second.waitForFinished(5000);
        presented.push_back(error);
        return true;
    });
    second.start(QStringLiteral(ORVANE_BINARY), {flat});
    pumpUntil([&] { return second.state() == QProcess::NotRunning && !presented.empty(); });
    EXPECT_EQ(second.exitCode(), 1);
    EXPECT_EQ(presented.size(), 1u);
    EXPECT_FALSE(alertedBeforeTheAnswer);
    EXPECT_EQ(documents().size(), 3u);
}

TEST_F(LaunchRequests, ASecondStartIsAnsweredBeforeTheAlertAboutItsFileAndFailsWithIt)
{
    launch({script});
    // The alert stays up, as a user leaves it, until the later start has ended: the answer must
    // not wait for it.
    QProcess second;
    Application::shared().setErrorPresenter([&](const Error& error) {
        presented.push_back(error);
        pumpUntil([&] { return second.state() == QProcess::NotRunning; }, 8000);
        return true;
    });
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    second.setProcessEnvironment(environment);
    second.start(QStringLiteral(ORVANE_BINARY), {flat});
    ASSERT_TRUE(second.waitForStarted());
    pumpUntil([&] { return second.state() == QProcess::NotRunning && !presented.empty(); });
    ASSERT_EQ(second.state(), QProcess::NotRunning);
    EXPECT_EQ(second.exitCode(), 1) << second.readAllStandardError().toStdString();
    EXPECT_EQ(presented.size(), 1u);
    EXPECT_EQ(documents().size(), 1u);
}

TEST_F(LaunchRequests, TheProgramStartsInOrderWithoutWarningOfIt)
{
    QProcess program;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    environment.insert(QStringLiteral("ORVANE_QUIT_AFTER_LAUNCH"), QStringLiteral("1"));
    program.setProcessEnvironment(environment);
    program.start(QStringLiteral(ORVANE_BINARY), {script});
    ASSERT_TRUE(program.waitForFinished(60000));
    EXPECT_EQ(program.exitCode(), 0);
    const QString log = QString::fromLocal8Bit(program.readAllStandardError());
    EXPECT_TRUE(log.contains(QStringLiteral("Orvane"))) << log.toStdString();
    EXPECT_FALSE(log.contains(QStringLiteral("created before appDelegate"))) << log.toStdString();
}

// A session bus of the test's own, so no test ever reaches a program the user runs; this process
// and the programs it starts find it through the address variable, set before the program connects.
class PrivateSessionBus {
public:
    ~PrivateSessionBus()
    {
        if (m_started) {
            QDBusConnection::disconnectFromBus(QStringLiteral("hostile"));
            if (m_before.isNull())
                qunsetenv("DBUS_SESSION_BUS_ADDRESS");
            else
                qputenv("DBUS_SESSION_BUS_ADDRESS", m_before);
        }
        if (m_daemon.state() != QProcess::NotRunning) {
            m_daemon.kill();
            m_daemon.waitForFinished(5000);
        }
    }
    // Empty when started; otherwise why not.
    QString start()
    {
        const QString program = QStandardPaths::findExecutable(QStringLiteral("dbus-daemon"));
        if (program.isEmpty())
            return QStringLiteral("dbus-daemon is not installed (Debian package dbus-daemon)");
        m_daemon.start(program, {QStringLiteral("--session"), QStringLiteral("--print-address"),
                                 QStringLiteral("--nofork")});
        if (!m_daemon.waitForStarted(5000))
            return QStringLiteral("dbus-daemon did not start");
        while (!m_daemon.canReadLine() && m_daemon.waitForReadyRead(5000)) {
        }
        address = QString::fromUtf8(m_daemon.readLine()).trimmed();
        if (address.isEmpty())
            return QStringLiteral("dbus-daemon printed no address: ") +
                   QString::fromUtf8(m_daemon.readAllStandardError());
        m_before = qgetenv("DBUS_SESSION_BUS_ADDRESS");
        m_started = true;
        qputenv("DBUS_SESSION_BUS_ADDRESS", address.toUtf8());
        return {};
    }
    QString address;

private:
    QProcess m_daemon;
    QByteArray m_before;
    bool m_started = false;
};

class LaunchRequestsOnTheBus : public LaunchRequests {
protected:
    // A later start of the real program that can only reach this one over the bus: its runtime
    // folder, where the socket would be, is another.
    void startSecond(const QStringList& arguments)
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
        second.setProcessEnvironment(environment);
        second.setWorkingDirectory(folder.path());
        second.start(QStringLiteral(ORVANE_BINARY), arguments);
        ASSERT_TRUE(second.waitForStarted());
    }
    // A call on the bus as any other program on it could send one.
    QDBusMessage call(const QString& method, const QVariantList& arguments)
    {
        QDBusConnection client = QDBusConnection::connectToBus(bus.address, QStringLiteral("hostile"));
        QDBusMessage message = QDBusMessage::createMethodCall(
            OVInstanceBus::serviceName(), QLatin1String(OVInstanceBus::kObjectPath),
            QLatin1String(OVInstanceBus::kInterface), method);
        message.setArguments(arguments);
        QDBusPendingCall pending = client.asyncCall(message, 20000);
        pumpUntil([&] { return pending.isFinished(); }, 30000);
        return pending.reply();
    }

    PrivateSessionBus bus;
    QTemporaryDir runtime;
    QProcess second;
};

TEST_F(LaunchRequestsOnTheBus, ASecondStartFindsTheRunningProgramOnTheBus)
{
    const QString why = bus.start();
    if (!why.isEmpty())
        GTEST_SKIP() << "no private session bus: " << why.toStdString();
    ASSERT_TRUE(QFile::setPermissions(runtime.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                          QFileDevice::ExeOwner));
    // The talent output on a second display of the operator's size, for the reopen request below.
    FakeScreenProvider screens({FakeScreenProvider::makeScreen(0, {{0, 0}, {1920, 1080}}),
                                FakeScreenProvider::makeScreen(1, {{1920, 0}, {1920, 1080}})});
    ScreenProvider::setShared(&screens);
    launchtest::announceScreenChange();
    const std::unique_ptr<void, void (*)(void*)> restore(&screens, [](void*) {
        ScreenProvider::setShared(nullptr);
        launchtest::announceScreenChange();
    });
    {
        UserDefaults stored(UserDefaults::defaultFilePath());
        stored.setInteger(1, QStringLiteral("screenMode"));
        ASSERT_TRUE(stored.synchronize());
    }
    launch({script});
    ASSERT_TRUE(delegate().isServingOnBus());
    const QString other = folder.filePath(QStringLiteral("Other.ovdocument"));
    ASSERT_TRUE(copyFolder(kSample, other));
    QElapsedTimer started;
    started.start();
    startSecond({QStringLiteral("Other.ovdocument")});
    pumpUntil([&] { return second.state() == QProcess::NotRunning && documents().size() == 2; });
    const qint64 handedOver = started.elapsed();
    EXPECT_EQ(second.state(), QProcess::NotRunning);
    EXPECT_EQ(second.exitCode(), 0) << second.readAllStandardError().toStdString();
    ASSERT_EQ(documents().size(), 2u);
    EXPECT_EQ(documents().back()->fileURL(), QUrl::fromLocalFile(other));
    std::printf("second start handed its file over the bus and ended in %lld ms\n",
                static_cast<long long>(handedOver));

    // A file nothing can open: reported here, and the start there fails.
    startSecond({flat});
    pumpUntil([&] { return second.state() == QProcess::NotRunning; });
    EXPECT_EQ(second.exitCode(), 1);
    EXPECT_EQ(presented.size(), 1u);
    presented.clear();

    // A start without files is the reopen request: with no script open it makes one only while
    // the talent output is in use.
    while (!documents().empty()) {
        documents().back()->close();
        QCoreApplication::processEvents();
    }
    OVTalentWindowController& talent = OVTalentWindowController::sharedTalentWindowController();
    talent.showTalentWindow(false);
    startSecond({});
    pumpUntil([&] { return second.state() == QProcess::NotRunning; });
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_TRUE(documents().empty());
    talent.showTalentWindow(true);
    ASSERT_TRUE(OVTalentWindowController::isTalentWindowUtilized());
    startSecond({});
    pumpUntil([&] { return second.state() == QProcess::NotRunning && documents().size() == 1; });
    EXPECT_EQ(second.exitCode(), 0);
    ASSERT_EQ(documents().size(), 1u);
    EXPECT_TRUE(documents().front()->fileURL().isEmpty());
    // The desktop entry's New Document action.
    startSecond({QStringLiteral("--new-document")});
    pumpUntil([&] { return second.state() == QProcess::NotRunning && documents().size() == 2; });
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_EQ(documents().size(), 2u);
    EXPECT_TRUE(presented.empty());
}

TEST_F(LaunchRequestsOnTheBus, HostileCallsAreRefusedAndTheProgramGoesOn)
{
    const QString why = bus.start();
    if (!why.isEmpty())
        GTEST_SKIP() << "no private session bus: " << why.toStdString();
    launch({script});
    ASSERT_TRUE(delegate().isServingOnBus());
    const QString refused = QLatin1String(OVInstanceBus::kRefusedError);
    const QVariantMap none;
    QStringList thousands;
    for (int i = 0; i < 5000; ++i)
        thousands << QUrl::fromLocalFile(script).toString();
    const QList<QVariantList> hostile = {
        {QStringList{QStringLiteral("https://example.org/Script.ovdocument")}, none},
        {QStringList{QStringLiteral("file:Script.ovdocument")}, none},
        {QStringList{QStringLiteral("Script.ovdocument")}, none},
        {QStringList{script}, none}, // a path, not a URI
        {QStringList{QUrl::fromLocalFile(script).toString(), QStringLiteral("file://elsewhere") + script},
         none},
        {QStringList{QStringLiteral("file:///tmp/%FF%FE")}, none},
        {QStringList{QStringLiteral("file:///") + QString(1 << 20, u'a')}, none},
        {thousands, none},
        {QStringList{}, none},
        {QStringLiteral("file:///tmp/a"), none}, // the wrong signature
        {},
    };
    int index = 0;
    for (const QVariantList& arguments : hostile) {
        const QDBusMessage reply = call(QStringLiteral("Open"), arguments);
        EXPECT_EQ(reply.type(), QDBusMessage::ErrorMessage) << "case " << index;
        EXPECT_EQ(reply.errorName(), refused) << "case " << index++;
    }
    EXPECT_EQ(
        call(QStringLiteral("ActivateAction"), {QStringLiteral("quit"), QVariantList(), none}).errorName(),
        refused);
    EXPECT_EQ(call(QStringLiteral("Quit"), {}).type(), QDBusMessage::ErrorMessage);
    EXPECT_EQ(documents().size(), 1u);
    EXPECT_TRUE(presented.empty());

    // Still serving: an honest call opens its file, and one that opens nothing answers failure.
    const QString other = folder.filePath(QStringLiteral("Other.ovdocument"));
    ASSERT_TRUE(copyFolder(kSample, other));
    const QStringList good = OVInstanceBus::urisFromPaths({other});
    EXPECT_EQ(call(QStringLiteral("Open"), {good, none}).type(), QDBusMessage::ReplyMessage);
    EXPECT_EQ(documents().size(), 2u);
    const QDBusMessage failed = call(QStringLiteral("Open"), {OVInstanceBus::urisFromPaths({flat}), none});
    EXPECT_EQ(failed.errorName(), QLatin1String(OVInstanceBus::kOpenFailedError));
    pumpUntil([&] { return !presented.empty(); });
    EXPECT_EQ(presented.size(), 1u);
    EXPECT_EQ(call(QStringLiteral("Activate"), {none}).type(), QDBusMessage::ReplyMessage);

    // Fifty files that are not there: the call is answered before the one alert that lists them.
    QStringList gone;
    for (int i = 0; i < 50; ++i)
        gone << folder.filePath(QStringLiteral("Gone %1.ovdocument").arg(i));
    QDBusConnection client = QDBusConnection::connectToBus(bus.address, QStringLiteral("hostile"));
    QDBusMessage open = QDBusMessage::createMethodCall(
        OVInstanceBus::serviceName(), QLatin1String(OVInstanceBus::kObjectPath),
        QLatin1String(OVInstanceBus::kInterface), QStringLiteral("Open"));
    open.setArguments({OVInstanceBus::urisFromPaths(gone), none});
    QDBusPendingCall pending = client.asyncCall(open, 5000);
    QString answerWhenAlerted;
    presented.clear();
    Application::shared().setErrorPresenter([&](const Error& error) {
        // The answer is on its way already; had it waited for the alert, this would time out.
        pending.waitForFinished();
        answerWhenAlerted = pending.reply().errorName();
        presented.push_back(error);
        return true;
    });
    pumpUntil([&] { return !presented.empty(); });
    ASSERT_EQ(presented.size(), 1u);
    EXPECT_EQ(presented.front().localizedDescription(), QStringLiteral("50 files couldn’t be opened."));
    EXPECT_EQ(answerWhenAlerted, QLatin1String(OVInstanceBus::kOpenFailedError));
}

// Where there is no bus the program serves, and a later start finds it, on the local socket.
TEST_F(LaunchRequests, WithoutABusASecondStartFallsBackToTheSocket)
{
    const QByteArray nowhere = "unix:path=" + folder.filePath(QStringLiteral("no-bus")).toUtf8();
    qputenv("DBUS_SESSION_BUS_ADDRESS", nowhere);
    launch({script});
    EXPECT_FALSE(delegate().isServingOnBus());
    const QString other = folder.filePath(QStringLiteral("Other.ovdocument"));
    ASSERT_TRUE(copyFolder(kSample, other));
    QProcess second;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    second.setProcessEnvironment(environment);
    second.start(QStringLiteral(ORVANE_BINARY), {other});
    ASSERT_TRUE(second.waitForStarted());
    pumpUntil([&] { return second.state() == QProcess::NotRunning && documents().size() == 2; });
    EXPECT_EQ(second.exitCode(), 0) << second.readAllStandardError().toStdString();
    ASSERT_EQ(documents().size(), 2u);
    EXPECT_EQ(documents().back()->fileURL(), QUrl::fromLocalFile(other));
}

} // namespace

TEST_F(LaunchRequests, TheBookmarksMenuListsTheScriptsBookmarksAndJumpsToThem)
{
    launch({script});
    Window* window = windowOf(documents().front());
    Menu* bookmarks = Menu::mainMenu()->itemWithAction(QStringLiteral("nextBookmark:"))->menu();
    bookmarks->prepareToOpen();
    const int anchor = bookmarks->indexOfItemWithTag(OVMainMenu::kBookmarksAnchorTag);
    ASSERT_GE(anchor, 0);
    // The sample script holds bookmarks; each gets an item after the anchor.
    ASSERT_GT(bookmarks->numberOfItems(), anchor + 1);
    EXPECT_TRUE(Menu::validate(*bookmarks->itemWithAction(QStringLiteral("nextBookmark:"))));

    auto* text = dynamic_cast<TextView*>(window->firstResponder());
    ASSERT_TRUE(text);
    text->setSelectedRange({0, 0});
    ASSERT_TRUE(Application::shared().sendAction(QStringLiteral("nextBookmark:"), nullptr, {}));
    QCoreApplication::processEvents();
    EXPECT_GT(text->selectedRange().location, 0);
}
