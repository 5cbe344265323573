// The shipped sample, exports, printing set-up and the help pages in the program as launched: the
// real start on an empty settings folder, driven by key events and the panels' own buttons.
#include "app/OVAppDelegate.h"
#include "app/OVDocumentSession.h"
#include "app/OVProgramStart.h"
#include "document/OVDocument.h"
#include "platform/appkit/Alert.h"
#include "platform/appkit/Application.h"
#include "platform/appkit/Document.h"
#include "platform/appkit/DocumentController.h"
#include "platform/appkit/Menu.h"
#include "platform/appkit/MenuItem.h"
#include "platform/appkit/SavePanel.h"
#include "platform/appkit/Window.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/PropertyListSerialization.h"
#include "platform/hvkit/HVVersion.h"
#include "platform/text/AttributeNames.h"
#include "text/OVTextView.h"
#include "window/OVDocumentWindowController.h"
#include "window/OVPrintSheet.h"

#include <QApplication>
#include <QCheckBox>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QLabel>
#include <QPageSetupDialog>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextEdit>
#include <QTimer>
#include <QToolBar>

#include <gtest/gtest.h>

#include <map>

#include "LaunchTestSupport.h"

namespace {

using launchtest::kSample;

std::map<QString, QByteArray> filesUnder(const QString& folder)
{
    std::map<QString, QByteArray> files;
    QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        QFile file(it.next());
        if (file.open(QIODevice::ReadOnly))
            files[file.fileName()] = file.readAll();
    }
    return files;
}

// Should the program write over the repository's sample after all, the test puts it back.
class RestoresFiles {
public:
    explicit RestoresFiles(const QString& folder) : m_folder(folder), m_files(filesUnder(folder)) {}
    ~RestoresFiles()
    {
        if (filesUnder(m_folder) == m_files)
            return;
        QDir(m_folder).removeRecursively();
        for (const auto& [path, bytes] : m_files) {
            QDir().mkpath(QFileInfo(path).absolutePath());
            QFile file(path);
            if (file.open(QIODevice::WriteOnly))
                file.write(bytes);
        }
    }
    const std::map<QString, QByteArray>& files() const { return m_files; }

private:
    QString m_folder;
    std::map<QString, QByteArray> m_files;
};

// Receives what the desktop would be asked to open in its browser.
class BrowserStandIn : public QObject {
    Q_OBJECT
public:
    BrowserStandIn() { QDesktopServices::setUrlHandler(QStringLiteral("file"), this, "open"); }
    ~BrowserStandIn() override { QDesktopServices::unsetUrlHandler(QStringLiteral("file")); }
    QList<QUrl> opened;

public slots:
    void open(const QUrl& url) { opened << url; }
};

class LaunchedDocuments : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(QDir(QString::fromLocal8Bit(qgetenv("XDG_CONFIG_HOME")))
                        .entryList(QDir::NoDotAndDotDot)
                        .isEmpty());
        Clock::setShared(&clock);
    }
    void TearDown() override
    {
        AlertPresenterScope discard([](Alert&) { return Alert::kThirdButtonReturn; });
        session.reset();
        Clock::setShared(nullptr);
    }
    void launch(const QStringList& paths)
    {
        session = OVProgramStart::launch(paths);
        QCoreApplication::processEvents();
    }
    std::vector<Document*> documents() const { return session->documentController().documents(); }
    static OVDocumentWindowController& controllerOf(Document* document)
    {
        return *dynamic_cast<OVDocumentWindowController*>(document->primaryWindowController());
    }
    static QWidget* hostOf(Document* document) { return controllerOf(document).window()->hostWidget(); }

    ManualClock clock;
    QTemporaryDir folder;
    std::unique_ptr<OVDocumentSession> session;
};

// Run from the build tree, the sample in the source tree is the shipped one: the user's edits go
// to a copy of it, Save asks where, and what is saved there names the system it was written on.
TEST_F(LaunchedDocuments, EditsOfTheShippedSampleNeverReachItAndSaveAsksWhere)
{
    const RestoresFiles guard(kSample);
    launch({kSample});
    ASSERT_EQ(documents().size(), 1u);
    Document* sample = documents().front();
    EXPECT_EQ(sample->displayName(), QStringLiteral("Sample Script"));
    EXPECT_TRUE(sample->fileURL().isEmpty()) << sample->fileURL().toString().toStdString();

    QTest::keyClicks(hostOf(sample), QStringLiteral("Edited "));
    QCoreApplication::processEvents();
    ASSERT_TRUE(dynamic_cast<OVTextView*>(controllerOf(sample).textView())
                    ->textStorage()
                    .string()
                    .contains(QStringLiteral("Edited ")));
    // Autosaving has its time; the edits are kept, elsewhere.
    clock.advance(120);
    for (int pass = 0; pass < 20; ++pass)
        QCoreApplication::processEvents();
    EXPECT_TRUE(filesUnder(kSample) == guard.files()) << "FAIL: the shipped sample was written over";

    int asked = 0;
    const QString saved = folder.filePath(QStringLiteral("My Script.ovdocument"));
    {
        SavePanelAnswererScope answer([&](SavePanel& panel) {
            ++asked;
            EXPECT_TRUE(panel.chooseURL(QUrl::fromLocalFile(saved)));
            return SavePanel::kModalResponseOK;
        });
        QTest::keyClick(hostOf(sample), Qt::Key_S, Qt::ControlModifier);
        QCoreApplication::processEvents();
    }
    EXPECT_EQ(asked, 1);
    EXPECT_TRUE(filesUnder(kSample) == guard.files()) << "FAIL: Save wrote over the shipped sample";
    QFile properties(saved + QStringLiteral("/Properties.plist"));
    ASSERT_TRUE(properties.open(QIODevice::ReadOnly)) << "FAIL: nothing saved where the user chose";
    const auto plist = PropertyListSerialization::propertyListWithData(properties.readAll());
    ASSERT_TRUE(plist && plist->isDictionary());
    EXPECT_EQ(plist->dictionary().value(QStringLiteral("systemVersion")).string(),
              HVVersion::runningSystemVersion().stringValue());
    EXPECT_NE(plist->dictionary().value(QStringLiteral("systemVersion")).string(), QStringLiteral("15.0.0"));
}

// A text file opened with Alt held keeps its own look, and plain text has none: black on white,
// never the default style's light letters on a white page.
TEST_F(LaunchedDocuments, PlainTextOpenedWithAltHeldShowsBlackOnWhite)
{
    const QString script = folder.filePath(QStringLiteral("Script.ovdocument"));
    ASSERT_TRUE(launchtest::copyFolder(kSample, script));
    QFile notes(folder.filePath(QStringLiteral("notes.txt")));
    ASSERT_TRUE(notes.open(QIODevice::WriteOnly));
    notes.write("Read this slowly.\n");
    notes.close();
    launch({script});
    QWindow* window = hostOf(documents().front())->windowHandle();
    ASSERT_NE(window, nullptr);
    {
        SavePanelAnswererScope answer([&](SavePanel& panel) {
            EXPECT_TRUE(panel.chooseURL(QUrl::fromLocalFile(notes.fileName())));
            // Held from the choice until the script has opened.
            QTest::keyPress(window, Qt::Key_Alt, Qt::AltModifier);
            return SavePanel::kModalResponseOK;
        });
        QTest::keyClick(hostOf(documents().front()), Qt::Key_O, Qt::ControlModifier);
        QCoreApplication::processEvents();
    }
    QTest::keyRelease(window, Qt::Key_Alt, Qt::AltModifier);
    ASSERT_EQ(documents().size(), 2u);
    Document* opened = documents().back()->displayName() == QStringLiteral("notes") ? documents().back()
                                                                                    : documents().front();
    ASSERT_EQ(opened->displayName(), QStringLiteral("notes"));
    auto* text = dynamic_cast<OVTextView*>(controllerOf(opened).textView());
    EXPECT_EQ(text->textStorage().string(), QStringLiteral("Read this slowly.\n"));
    const AttributeValue colour = text->textStorage().attribute(kForegroundColorAttributeName, 0);
    const Color* foreground = colour.color();
    ASSERT_NE(foreground, nullptr);
    EXPECT_LT(foreground->red + foreground->green + foreground->blue, 0.3);
    EXPECT_GT(text->backgroundColor().lightnessF(), 0.9);
    // What the window draws below its toolbar (right of the focus arrow): dark letters on a light
    // page.
    Window* shown = controllerOf(opened).window();
    ASSERT_NE(shown->toolBar(), nullptr);
    const QImage drawn = shown->hostWidget()->grab().toImage();
    int dark = 0;
    int light = 0;
    for (int y = shown->toolBar()->geometry().bottom() + 8; y < drawn.height(); y += 2)
        for (int x = 80; x < drawn.width() - 20; x += 2) {
            const int gray = qGray(drawn.pixel(x, y));
            dark += gray < 80;
            light += gray > 200;
        }
    EXPECT_GT(dark, 20) << "FAIL: no dark letters drawn on the page";
    EXPECT_GT(light, dark) << "FAIL: the page is not light";
}

// A check box or radio button answers a click on its box (or its label), not anywhere in its row.
QPoint indicatorOf(const QWidget* button)
{
    return QPoint(button->height() / 2, button->height() / 2);
}

QPushButton* accessoryButton(SavePanel& panel, const char* name)
{
    return panel.accessoryView() ? panel.accessoryView()->findChild<QPushButton*>(QString::fromLatin1(name))
                                 : nullptr;
}

QTextEdit* exportPreview()
{
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (widget->objectName() == QLatin1String("DocumentExportPreview") && widget->isVisible())
            return widget->findChild<QTextEdit*>();
    return nullptr;
}

int picturesIn(const QTextDocument& document)
{
    int pictures = 0;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next())
        for (auto it = block.begin(); !it.atEnd(); ++it)
            if (it.fragment().charFormat().isImageFormat() &&
                !document
                     .resource(QTextDocument::ImageResource,
                               QUrl(it.fragment().charFormat().toImageFormat().name()))
                     .isNull())
                ++pictures;
    return pictures;
}

// Export…: the program's own format holds everything the script has; RTFD and web archives show
// their pictures in the preview; the help button opens the export page in the browser.
TEST_F(LaunchedDocuments, ExportReportsNothingLostForOrvaneDocumentsAndPreviewsPictures)
{
    const QString rtfd = folder.filePath(QStringLiteral("Picture.rtfd"));
    ASSERT_TRUE(launchtest::copyFolder(
        QStringLiteral(ORVANE_SOURCE_DIR "/tests/fixtures/rtf/handwritten.rtfd"), rtfd));
    launch({rtfd});
    ASSERT_EQ(documents().size(), 1u);
    Document* document = documents().front();
    BrowserStandIn browser;
    QString nativeReport;
    QString rtfReport;
    std::map<QString, int> previewed;
    {
        SavePanelAnswererScope answer([&](SavePanel& panel) {
            QLabel* report = panel.accessoryView()->findChild<QLabel*>(QStringLiteral("infoTextField"));
            EXPECT_NE(report, nullptr);
            // The simplified style leaves pictures out; the script as it is keeps them. (The panel
            // is answered unseen, so its box is clicked as the keyboard would.)
            auto* simplified = panel.accessoryView()->findChild<QCheckBox*>();
            EXPECT_NE(simplified, nullptr);
            if (simplified)
                simplified->click();
            // Typing a name with another type's extension picks that type, as the pop-up does.
            panel.chooseURL(QUrl::fromLocalFile(folder.filePath(QStringLiteral("Copy.rtf"))));
            rtfReport = report ? report->text() : QString();

            panel.chooseURL(QUrl::fromLocalFile(folder.filePath(QStringLiteral("Copy.ovdocument"))));
            nativeReport = report ? report->text() : QString();
            accessoryButton(panel, "helpButton")->click();
            for (const char* name : {"Copy.rtfd", "Copy.webarchive"}) {
                panel.chooseURL(QUrl::fromLocalFile(folder.filePath(QString::fromLatin1(name))));
                accessoryButton(panel, "documentPreviewButton")->click();
                QCoreApplication::processEvents();
                if (QTextEdit* preview = exportPreview())
                    previewed[QString::fromLatin1(name)] = picturesIn(*preview->document());
                // Closes it again.
                accessoryButton(panel, "documentPreviewButton")->click();
            }
            return SavePanel::kModalResponseCancel;
        });
        EXPECT_TRUE(Application::shared().sendAction(QStringLiteral("saveDocumentTo:"), document, {}));
    }
    EXPECT_EQ(nativeReport, QStringLiteral("No compatibility issues."));
    EXPECT_TRUE(rtfReport.startsWith(QStringLiteral("The selected file format cannot save")))
        << rtfReport.toStdString();
    EXPECT_EQ(previewed[QStringLiteral("Copy.rtfd")], 1) << "FAIL: the RTFD preview shows no picture";
    EXPECT_EQ(previewed[QStringLiteral("Copy.webarchive")], 1)
        << "FAIL: the web archive preview shows no picture";
    ASSERT_EQ(browser.opened.size(), 1);
    EXPECT_EQ(browser.opened.front().fileName(), QStringLiteral("DocumentExportAnchor.html"));
    EXPECT_TRUE(QFileInfo(browser.opened.front().toLocalFile()).isFile());
}

// File > Page Setup… is there to use; the paper chosen there is the document's own, the next print
// of that document starts from it, and another document keeps the default paper. The print sheet's
// help button opens the print options page.
TEST_F(LaunchedDocuments, PageSetupChoosesThePaperOfItsDocumentForTheNextPrint)
{
    const QString script = folder.filePath(QStringLiteral("Script.ovdocument"));
    ASSERT_TRUE(launchtest::copyFolder(kSample, script));
    launch({script});
    Document* first = documents().front();
    QTest::keyClick(hostOf(first), Qt::Key_N, Qt::ControlModifier);
    QCoreApplication::processEvents();
    ASSERT_EQ(documents().size(), 2u);
    Document* second = documents().front() == first ? documents().back() : documents().front();

    controllerOf(first).window()->makeKeyAndOrderFront();
    QCoreApplication::processEvents();
    MenuItem* pageSetup = Menu::mainMenu()->itemWithAction(QStringLiteral("runPageLayout:"));
    ASSERT_NE(pageSetup, nullptr);
    EXPECT_TRUE(Application::shared().validateItem(pageSetup->userInterfaceItem()))
        << "FAIL: Page Setup… is greyed";

    bool shown = false;
    QTimer chooser;
    QObject::connect(&chooser, &QTimer::timeout, [&] {
        auto* dialog = qobject_cast<QPageSetupDialog*>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        chooser.stop();
        shown = true;
        auto* landscape = dialog->findChild<QRadioButton*>(QStringLiteral("landscape"));
        EXPECT_NE(landscape, nullptr);
        if (landscape)
            QTest::mouseClick(landscape, Qt::LeftButton, {}, indicatorOf(landscape));
        QTest::keyClick(dialog, Qt::Key_Return);
    });
    chooser.start(10);
    EXPECT_TRUE(Application::shared().sendAction(QStringLiteral("runPageLayout:"), nullptr, {}));
    EXPECT_TRUE(shown) << "FAIL: no page set-up dialog";
    const auto& chosen = dynamic_cast<OVDocument*>(first)->printInfo();
    ASSERT_TRUE(chosen.has_value()) << "FAIL: the page set-up was not kept with its document";
    EXPECT_EQ(chosen->pageLayout.orientation(), QPageLayout::Landscape);
    EXPECT_FALSE(dynamic_cast<OVDocument*>(second)->printInfo().has_value());

    BrowserStandIn browser;
    std::vector<QPageLayout::Orientation> printed;
    OVPrintSheet::setAnswerer([&](OVPrintSheet& sheet) {
        printed.push_back(sheet.printer().pageLayout().orientation());
        sheet.makeSheet(nullptr);
        if (QPushButton* help = sheet.dialog()->findChild<QPushButton*>(QStringLiteral("helpButton")))
            QTest::mouseClick(help, Qt::LeftButton);
        return false;
    });
    QTest::keyClick(hostOf(first), Qt::Key_P, Qt::ControlModifier);
    controllerOf(second).window()->makeKeyAndOrderFront();
    QCoreApplication::processEvents();
    QTest::keyClick(hostOf(second), Qt::Key_P, Qt::ControlModifier);
    OVPrintSheet::setAnswerer({});
    EXPECT_EQ(printed,
              (std::vector<QPageLayout::Orientation>{QPageLayout::Landscape, QPageLayout::Portrait}));
    ASSERT_FALSE(browser.opened.isEmpty());
    EXPECT_EQ(browser.opened.front().fileName(), QStringLiteral("PrintOptionsAnchor.html"));
    EXPECT_TRUE(QFileInfo(browser.opened.front().toLocalFile()).isFile());
}

// The settings window's help button opens the page of the pane it shows; the Advanced pane has
// none and shows no button.
TEST_F(LaunchedDocuments, TheSettingsHelpButtonOpensThePageOfTheShownPane)
{
    const QString script = folder.filePath(QStringLiteral("Script.ovdocument"));
    ASSERT_TRUE(launchtest::copyFolder(kSample, script));
    launch({script});
    QTest::keyClick(hostOf(documents().front()), Qt::Key_Comma, Qt::ControlModifier);
    QCoreApplication::processEvents();
    QWidget* settings = session->appDelegate().settingsWindow();
    ASSERT_TRUE(settings && settings->isVisible());
    auto* help = settings->findChild<QPushButton*>(QStringLiteral("settingsHelpButton"));
    ASSERT_NE(help, nullptr);
    BrowserStandIn browser;
    QStringList pages;
    for (const char* pane : {"general", "controls", "advanced"}) {
        auto* toolbar = settings->findChild<QToolBar*>();
        ASSERT_NE(toolbar, nullptr);
        QTest::mouseClick(toolbar->widgetForAction(toolbar->findChild<QAction*>(QString::fromLatin1(pane))),
                          Qt::LeftButton);
        QCoreApplication::processEvents();
        if (help->isVisible())
            QTest::mouseClick(help, Qt::LeftButton);
        else
            pages << QStringLiteral("none");
    }
    for (const QUrl& url : browser.opened) {
        EXPECT_TRUE(QFileInfo(url.toLocalFile()).isFile()) << url.toString().toStdString();
        pages.insert(pages.size() - 1, url.fileName());
    }
    EXPECT_EQ(pages, (QStringList{QStringLiteral("GeneralSettingsAnchor.html"),
                                  QStringLiteral("ControlsSettingsAnchor.html"), QStringLiteral("none")}));
}

// Started where there is no display at all, the program says what it needs instead of aborting;
// with a platform chosen (as here, offscreen) it starts as ever.
TEST(LaunchedWithoutDisplay, SaysWhatItNeedsAndEndsWithStatusOne)
{
    QTemporaryDir folder;
    QProcess program;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        environment.remove(QString::fromLatin1(name));
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), folder.filePath(QStringLiteral("config")));
    environment.insert(QStringLiteral("XDG_DATA_HOME"), folder.filePath(QStringLiteral("data")));
    program.setProcessEnvironment(environment);
    program.start(QStringLiteral(ORVANE_BINARY), {QStringLiteral("Script.ovdocument")});
    ASSERT_TRUE(program.waitForFinished(60000));
    const QString said = QString::fromLocal8Bit(program.readAllStandardError());
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit) << said.toStdString();
    EXPECT_EQ(program.exitCode(), 1) << said.toStdString();
    EXPECT_TRUE(said.contains(QStringLiteral("DISPLAY"))) << said.toStdString();
    EXPECT_TRUE(said.contains(QStringLiteral("xvfb-run -a orvane"))) << said.toStdString();
    EXPECT_FALSE(said.contains(QStringLiteral("Reinstalling"))) << said.toStdString();

    environment.insert(QStringLiteral("ORVANE_QUIT_AFTER_LAUNCH"), QStringLiteral("1"));
    program.setProcessEnvironment(environment);
    program.start(QStringLiteral(ORVANE_BINARY), {QStringLiteral("-platform"), QStringLiteral("offscreen")});
    ASSERT_TRUE(program.waitForFinished(60000));
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 0) << program.readAllStandardError().toStdString();
}

} // namespace

#include "ShippedScriptExportAndHelpLaunchTest.moc"
