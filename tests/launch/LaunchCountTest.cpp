// Each start of the program is counted once, as a user meets it: the very first start on an empty
// settings folder shows the whole preview panel at the top of the screen, and later starts (the
// built program started before, in the same folders) put it where it was left or always starts.
#include "app/OVDocumentSession.h"
#include "app/OVProgramStart.h"
#include "output/OVPreviewWindowController.h"
#include "output/OVScreen.h"
#include "platform/appkit/Alert.h"
#include "platform/appkit/DocumentController.h"
#include "platform/appkit/Window.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/hvkit/HVAnalytics.h"
#include "platform/hvkit/HVAppServices.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>

#include "LaunchTestSupport.h"

namespace {

using launchtest::copyFolder;
using launchtest::kSample;

bool folderIsEmpty(const char* variable)
{
    return QDir(QString::fromLocal8Bit(qgetenv(variable)))
        .entryList(QDir::NoDotAndDotDot | QDir::AllEntries)
        .isEmpty();
}

// What the statistics file says, read afresh as the next start would read it.
qint64 launchesOnDisk()
{
    HVAnalytics stored(HVAnalytics::defaultFilePath());
    return stored.load() ? stored.appLaunchCount() : -1;
}

class LaunchCount : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(folderIsEmpty("XDG_CONFIG_HOME"));
        ASSERT_TRUE(folderIsEmpty("XDG_DATA_HOME"));
        Clock::setShared(&clock);
        script = folder.filePath(QStringLiteral("Script.ovdocument"));
        ASSERT_TRUE(copyFolder(kSample, script));
    }

    void TearDown() override
    {
        AlertPresenterScope discard([](Alert&) { return Alert::kThirdButtonReturn; });
        session.reset();
        Clock::setShared(nullptr);
    }

    // The built program in this test's settings folders; answers its exit code.
    int runBuiltProgram(const QStringList& arguments, bool quitAfterLaunch)
    {
        QProcess program;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        if (quitAfterLaunch)
            environment.insert(QStringLiteral("ORVANE_QUIT_AFTER_LAUNCH"), QStringLiteral("1"));
        program.setProcessEnvironment(environment);
        program.setWorkingDirectory(folder.path());
        program.start(QStringLiteral(ORVANE_BINARY), arguments);
        if (!program.waitForStarted())
            return -1;
        // The program may hand its request to this one, which must serve it meanwhile.
        QElapsedTimer waited;
        waited.start();
        while (program.state() != QProcess::NotRunning && waited.elapsed() < 30000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        if (program.state() != QProcess::NotRunning) {
            program.kill();
            program.waitForFinished();
            return -1;
        }
        return program.exitStatus() == QProcess::NormalExit ? program.exitCode() : -1;
    }

    Window& panel() const { return *OVPreviewWindowController::sharedPreviewWindowController().window(); }
    Rect visibleArea() const { return OVScreen::operatorScreen()->visibleFrame(); }

    ManualClock clock;
    QTemporaryDir folder;
    QString script;
    std::unique_ptr<OVDocumentSession> session;
};

TEST_F(LaunchCount, TheFirstStartIsCountedAndShowsTheWholePreviewPanelAtTheTop)
{
    session = OVProgramStart::launch({script});
    QCoreApplication::processEvents();
    HVAnalytics& statistics = HVAppServices::shared().analytics();
    EXPECT_EQ(statistics.appLaunchCount(), 1);
    EXPECT_EQ(launchesOnDisk(), 1);
    ASSERT_TRUE(OVScreen::operatorScreen());
    ASSERT_TRUE(panel().isVisible());
    EXPECT_DOUBLE_EQ(panel().frame().maxY(), visibleArea().maxY());

    // Opening another script is no start of the program.
    const QString other = folder.filePath(QStringLiteral("Other.ovdocument"));
    ASSERT_TRUE(copyFolder(kSample, other));
    session->documentController().openDocumentWithContentsOfURL(QUrl::fromLocalFile(other), true, nullptr);
    QCoreApplication::processEvents();
    EXPECT_EQ(statistics.appLaunchCount(), 1);
}

TEST_F(LaunchCount, LaterStartsAreCountedOnceEachAndAreNoFirstLaunch)
{
    // A start before this one, of the program as built, on the same settings folders.
    ASSERT_EQ(runBuiltProgram({}, true), 0);
    ASSERT_EQ(launchesOnDisk(), 1);

    session = OVProgramStart::launch({script});
    QCoreApplication::processEvents();
    HVAnalytics& statistics = HVAppServices::shared().analytics();
    EXPECT_EQ(statistics.appLaunchCount(), 2);
    EXPECT_EQ(launchesOnDisk(), 2);
    ASSERT_TRUE(OVScreen::operatorScreen());
    ASSERT_TRUE(panel().isVisible());
    // Where the earlier start left the panel, or where it always starts when that was not saved.
    const double saved =
        UserDefaults::shared().doubleForKey(QStringLiteral("previewWindowTopFrameCoordinate"));
    const double expectedTop = std::round(saved) != 0
                                   ? std::round(saved)
                                   : visibleArea().maxY() - OVPreviewWindowController::kDefaultTopInset;
    EXPECT_DOUBLE_EQ(panel().frame().maxY(), expectedTop);

    // A start that hands its file to this program is not a launch of its own.
    const QString other = folder.filePath(QStringLiteral("Other.ovdocument"));
    ASSERT_TRUE(copyFolder(kSample, other));
    ASSERT_EQ(runBuiltProgram({other}, false), 0);
    EXPECT_EQ(session->documentController().documents().size(), 2u);
    EXPECT_EQ(statistics.appLaunchCount(), 2);
    EXPECT_EQ(launchesOnDisk(), 2);
}

} // namespace
