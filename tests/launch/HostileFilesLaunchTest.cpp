// The program as launched meets damaged and hostile files: a settings file that is no file, a
// script whose properties are damaged, one whose text is far too long, many files that are not
// there, files that are a device or a pipe under a document's or an image's name, and an imported
// settings file that names a command. Each start goes on, and the user is told once.
#include "app/OVAppDelegate.h"
#include "app/OVDocumentSession.h"
#include "app/OVProgramStart.h"
#include "document/OVDocument.h"
#include "document/OVDocumentContentController.h"
#include "output/OVBlankingItemList.h"
#include "output/OVPreviewWindowController.h"
#include "platform/appkit/Alert.h"
#include "platform/appkit/Application.h"
#include "platform/appkit/Document.h"
#include "platform/appkit/DocumentController.h"
#include "platform/appkit/Menu.h"
#include "platform/appkit/MenuItem.h"
#include "platform/appkit/OpenPanel.h"
#include "platform/appkit/Window.h"
#include "platform/appkit/WindowController.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/DataFolder.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/PropertyListSerialization.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/text/MutableAttributedString.h"
#include "preferences/OVAdvancedPreferencesViewController.h"

#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QToolBar>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include "LaunchTestSupport.h"

namespace {

using launchtest::copyFolder;
using launchtest::kSample;

class HostileFilesLaunch : public ::testing::Test {
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
    static QString textOf(Document* document)
    {
        auto* content = dynamic_cast<OVDocumentContentController*>(document->primaryWindowController());
        const auto text = content ? content->exportableTextStorage() : nullptr;
        return text ? text->string() : QString();
    }
    static QByteArray contentsOf(const QString& path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    ManualClock clock;
    QTemporaryDir folder;
    QString script;
    std::vector<Error> presented;
    std::vector<QString> alerts;
    std::unique_ptr<OVDocumentSession> session;
    AlertPresenterScope answer{[this](Alert& alert) {
        alerts.push_back(alert.messageText() + u'\n' + alert.informativeText());
        return Alert::kFirstButtonReturn;
    }};
};

TEST_F(HostileFilesLaunch, ASettingsFileThatIsAPipeIsSetAsideAndTheUserToldOnce)
{
    const QString settings = UserDefaults::defaultFilePath();
    ASSERT_TRUE(QDir().mkpath(QFileInfo(settings).absolutePath()));
    // A pipe nobody writes into: reading it would hold the start forever.
    ASSERT_EQ(::mkfifo(QFile::encodeName(settings).constData(), 0600), 0);
    launch({});
    ASSERT_EQ(documents().size(), 1u) << "the start went on to its window";
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_TRUE(alerts.front().startsWith(QStringLiteral("Your settings were reset")));
    EXPECT_TRUE(alerts.front().contains(settings + QStringLiteral(".damaged")))
        << alerts.front().toStdString();
    EXPECT_TRUE(QFileInfo(settings + QStringLiteral(".damaged")).exists() ||
                QFileInfo(settings + QStringLiteral(".damaged")).isSymLink());
    // The registered defaults hold, and the settings are written again as a plain file.
    EXPECT_EQ(UserDefaults::shared().doubleForKey(QStringLiteral("defaultSpeed")), 3.0);
    ASSERT_TRUE(UserDefaults::shared().synchronize());
    EXPECT_TRUE(QFileInfo(settings).isFile());
    EXPECT_TRUE(presented.empty());
}

TEST_F(HostileFilesLaunch, AScriptWithDamagedPropertiesOpensItsTextMarkedEditedAndSaysWhatWasLeftOut)
{
    const QString properties = script + QStringLiteral("/Properties.plist");
    const QByteArray damaged = contentsOf(properties).left(200);
    {
        QFile file(properties);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(damaged);
    }
    launch({script});
    ASSERT_EQ(documents().size(), 1u);
    Document* document = documents().front();
    EXPECT_EQ(document->fileURL(), QUrl::fromLocalFile(script));
    EXPECT_TRUE(textOf(document).startsWith(QStringLiteral("Good evening, and welcome to Orvane.")))
        << textOf(document).left(80).toStdString();
    EXPECT_TRUE(document->isDocumentEdited());
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_TRUE(alerts.front().contains(QStringLiteral("left out"))) << alerts.front().toStdString();
    EXPECT_TRUE(alerts.front().contains(QStringLiteral("settings"))) << alerts.front().toStdString();
    EXPECT_TRUE(presented.empty());
    // Nothing is written over the damaged file until the user saves.
    EXPECT_FALSE(document->autosavesInPlace());
    EXPECT_EQ(contentsOf(properties), damaged);
    Error error;
    ASSERT_TRUE(
        document->saveToURL(document->fileURL(), OVDocumentUTI, Document::SaveOperation::Save, &error))
        << error.localizedDescription().toStdString();
    EXPECT_NE(contentsOf(properties), damaged);
    EXPECT_FALSE(document->isDocumentEdited());
    EXPECT_FALSE(dynamic_cast<OVDocument*>(document)->keepsDamagedFileUntilSaved());
}

TEST_F(HostileFilesLaunch, AScriptWithOneBadBookmarkOpensWithTheOther)
{
    const QString properties = script + QStringLiteral("/Properties.plist");
    QByteArray plist = contentsOf(properties);
    // The first bookmark's archive becomes junk of the same form.
    const qsizetype data = plist.indexOf("<data>");
    ASSERT_GE(data, 0);
    plist.insert(data + 6, "AAAA");
    QFile file(properties);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(plist);
    file.close();
    launch({script});
    ASSERT_EQ(documents().size(), 1u);
    EXPECT_TRUE(documents().front()->isDocumentEdited());
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_TRUE(alerts.front().contains(QStringLiteral("a bookmark that could not be read")))
        << alerts.front().toStdString();
    EXPECT_EQ(textOf(documents().front()).count(QChar(0xFFFC)), 1) << "the other bookmark is back";
}

TEST_F(HostileFilesLaunch, AScriptFarTooLongIsRefusedAtOnceForWantOfMemory)
{
    // Two gigabytes of text that cost the disk nothing: the program must not read them.
    QFile text(script + QStringLiteral("/Content.rtfd/TXT.rtf"));
    ASSERT_TRUE(text.resize(qint64(2) << 30));
    QElapsedTimer took;
    took.start();
    launch({script});
    std::printf("a 2 GB script was refused in %lld ms\n", static_cast<long long>(took.elapsed()));
    ASSERT_EQ(presented.size(), 1u);
    EXPECT_EQ(presented.front().localizedDescription(),
              QStringLiteral("not enough memory to open “Script.ovdocument”"));
    ASSERT_EQ(documents().size(), 1u);
    EXPECT_TRUE(documents().front()->fileURL().isEmpty()) << "the start still gives a window";
}

TEST_F(HostileFilesLaunch, ThreeHundredMissingFilesMakeOneAlert)
{
    QStringList missing;
    for (int i = 0; i < 300; ++i)
        missing << folder.filePath(QStringLiteral("Missing %1.ovdocument").arg(i));
    launch(missing);
    ASSERT_EQ(presented.size(), 1u);
    EXPECT_EQ(presented.front().localizedDescription(), QStringLiteral("300 files couldn’t be opened."));
    const QStringList lines = presented.front().localizedFailureReason().split(u'\n');
    ASSERT_EQ(lines.size(), OVAppDelegate::kNamedOpenFailures + 1);
    EXPECT_TRUE(lines.front().startsWith(QStringLiteral("“Missing 0.ovdocument”")));
    EXPECT_EQ(lines.back(), QStringLiteral("and 295 more files."));
    EXPECT_EQ(documents().size(), 1u);
}

TEST_F(HostileFilesLaunch, ADeviceAndAPipeUnderDocumentNamesAreRefusedAtOnceAndNamed)
{
    // A text file that is endless zeros, and a pipe nobody writes into: either read as a file would
    // fill memory or hold the start for ever.
    const QString zero = folder.filePath(QStringLiteral("x.txt"));
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/zero"), zero));
    const QString fifo = folder.filePath(QStringLiteral("fifo.rtf"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    QElapsedTimer took;
    took.start();
    launch({zero, fifo});
    std::printf("a device and a pipe were refused in %lld ms\n", static_cast<long long>(took.elapsed()));
    ASSERT_EQ(presented.size(), 1u);
    EXPECT_EQ(presented.front().localizedDescription(), QStringLiteral("2 files couldn’t be opened."));
    EXPECT_EQ(
        presented.front().localizedFailureReason(),
        QStringLiteral("“x.txt”: It is a device, not a file.\n“fifo.rtf”: It is a named pipe, not a file."));
    ASSERT_EQ(documents().size(), 1u);
    EXPECT_TRUE(documents().front()->fileURL().isEmpty()) << "the start still gives a window";

    // The same under an image's name, chosen for blanking beside a real picture: only the picture
    // is taken.
    const QString zeroImage = folder.filePath(QStringLiteral("zero.png"));
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/zero"), zeroImage));
    const QString fifoImage = folder.filePath(QStringLiteral("fifo.png"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifoImage).constData(), 0600), 0);
    QImage picture(16, 16, QImage::Format_RGB32);
    picture.fill(Qt::darkCyan);
    const QString logo = folder.filePath(QStringLiteral("Logo.png"));
    ASSERT_TRUE(picture.save(logo));
    SavePanelAnswererScope answerer([&](SavePanel& panel) {
        return static_cast<OpenPanel&>(panel).chooseURLs({QUrl::fromLocalFile(zeroImage),
                                                          QUrl::fromLocalFile(fifoImage),
                                                          QUrl::fromLocalFile(logo)})
                   ? SavePanel::kModalResponseOK
                   : SavePanel::kModalResponseCancel;
    });
    const qsizetype before = OVBlankingItemList::sharedList().items().size();
    MenuItem* options = Menu::mainMenu()->itemWithAction(QStringLiteral("blankingOptionsAction:"));
    ASSERT_TRUE(options && options->submenu());
    options->submenu()->prepareToOpen();
    MenuItem* add = options->submenu()->itemWithTitle(QStringLiteral("Add Image…"));
    ASSERT_NE(add, nullptr);
    EXPECT_TRUE(options->submenu()->performActionForItem(add));
    ASSERT_EQ(OVBlankingItemList::sharedList().items().size(), before + 1);
    EXPECT_EQ(OVBlankingItemList::sharedList().items().back().title(), QStringLiteral("Logo.png"));
    EXPECT_EQ(QDir(DataFolder::path() + QStringLiteral("/Blanking Items")).entryList(QDir::Files).size(), 1);
}

TEST_F(HostileFilesLaunch, ImportedSettingsTakeOnlyTheProgramsOwnAndRunNoCommand)
{
    // A switch stored as 3.5 is damage, not "on": it reads as registered, as other wrong types do.
    const QString settings = UserDefaults::defaultFilePath();
    ASSERT_TRUE(QDir().mkpath(QFileInfo(settings).absolutePath()));
    {
        QFile file(settings);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
                   "<key>contentInvertTextAndBackgroundColor</key><real>3.5</real></dict></plist>\n");
    }
    launch({});
    EXPECT_FALSE(UserDefaults::shared().boolForKey(QStringLiteral("contentInvertTextAndBackgroundColor")));

    // A settings file from elsewhere with a command under the program's name and one real setting.
    const QString ran = folder.filePath(QStringLiteral("ran"));
    PlistDictionary imported;
    imported.insert(QStringLiteral("OrvaneDisplaySettingsCommand"), QStringLiteral("touch %1").arg(ran));
    imported.insert(QStringLiteral("defaultSpeed"), 5.0);
    const QString file = folder.filePath(QStringLiteral("Imported.plist"));
    {
        QFile out(file);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(*PropertyListSerialization::dataWithPropertyList(imported,
                                                                   PropertyListSerialization::Format::Xml));
    }
    session->appDelegate().showSettingsWindow();
    QWidget* settingsWindow = session->appDelegate().settingsWindow();
    auto* toolbar = settingsWindow->findChild<QToolBar*>();
    QAction* pane = toolbar ? toolbar->findChild<QAction*>(QStringLiteral("advanced")) : nullptr;
    ASSERT_NE(pane, nullptr);
    pane->trigger();
    QCoreApplication::processEvents();
    auto* advanced =
        settingsWindow->findChild<OVAdvancedPreferencesViewController*>(QStringLiteral("advanced"));
    ASSERT_TRUE(advanced && advanced->isVisible());
    SavePanelAnswererScope answerer([&](SavePanel& panel) {
        return static_cast<OpenPanel&>(panel).chooseURLs({QUrl::fromLocalFile(file)})
                   ? SavePanel::kModalResponseOK
                   : SavePanel::kModalResponseCancel;
    });
    advanced->performSettingsAction(OVAdvancedPreferencesViewController::kImportSettingsTag);
    EXPECT_TRUE(presented.empty());
    EXPECT_EQ(UserDefaults::shared().doubleForKey(QStringLiteral("defaultSpeed")), 5.0);
    EXPECT_FALSE(UserDefaults::shared().hasUserValue(QStringLiteral("OrvaneDisplaySettingsCommand")));
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_TRUE(alerts.front().contains(QStringLiteral("“OrvaneDisplaySettingsCommand”")))
        << alerts.front().toStdString();

    // Displays Settings… runs a known tool from the path or none, never what a file named.
    OVPreviewWindowController::sharedPreviewWindowController().openDisplaySystemSettings();
    EXPECT_FALSE(QFile::exists(ran));

    // A pipe chosen for import is refused at once and named.
    const QString pipe = folder.filePath(QStringLiteral("Pipe.plist"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    SavePanelAnswererScope pipeAnswerer([&](SavePanel& panel) {
        return static_cast<OpenPanel&>(panel).chooseURLs({QUrl::fromLocalFile(pipe)})
                   ? SavePanel::kModalResponseOK
                   : SavePanel::kModalResponseCancel;
    });
    advanced->performSettingsAction(OVAdvancedPreferencesViewController::kImportSettingsTag);
    ASSERT_EQ(presented.size(), 1u);
    EXPECT_EQ(presented.front().localizedDescription(),
              QStringLiteral("The file “Pipe.plist” couldn’t be opened."));
    EXPECT_EQ(UserDefaults::shared().doubleForKey(QStringLiteral("defaultSpeed")), 5.0);
}

TEST_F(HostileFilesLaunch, ASecondStartWithADeviceAndAPipeLeavesTheRunningProgramAnswering)
{
    launch({script});
    const QString zero = folder.filePath(QStringLiteral("x.txt"));
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/zero"), zero));
    const QString fifo = folder.filePath(QStringLiteral("fifo.rtf"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    QProcess second;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    second.setProcessEnvironment(environment);
    second.start(QStringLiteral(ORVANE_BINARY), {zero, fifo});
    ASSERT_TRUE(second.waitForStarted());
    QElapsedTimer waited;
    waited.start();
    while ((second.state() != QProcess::NotRunning || presented.empty()) && waited.elapsed() < 20000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    ASSERT_EQ(second.state(), QProcess::NotRunning) << "the running program stopped answering";
    EXPECT_EQ(second.exitCode(), 1) << second.readAllStandardError().toStdString();
    ASSERT_EQ(presented.size(), 1u);
    EXPECT_EQ(presented.front().localizedDescription(), QStringLiteral("2 files couldn’t be opened."));
    EXPECT_TRUE(
        presented.front().localizedFailureReason().contains(QStringLiteral("“fifo.rtf”: It is a named pipe")))
        << presented.front().localizedFailureReason().toStdString();
    EXPECT_EQ(documents().size(), 1u);
}

} // namespace
