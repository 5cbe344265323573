// The document object: opening, saving, reverting and the marks of imported and shipped documents,
// through a window controller that keeps what it is given in memory.
#include "document/OVDocument.h"
#include "document/OVDocumentContentController.h"
#include "document/OVDocumentExport.h"
#include "document/OVDocumentExportAccessoryViewController.h"
#include "document/OVDocumentExportPreviewWindowController.h"
#include "document/OVDocumentPackageConstants.h"
#include "platform/appkit/DocumentController.h"
#include "platform/appkit/Event.h"
#include "platform/appkit/SavePanel.h"
#include "platform/appkit/UndoManager.h"
#include "platform/appkit/Window.h"
#include "platform/appkit/WindowController.h"
#include "platform/foundation/GeometryStrings.h"
#include "platform/foundation/StagingItem.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/text/AttributeNames.h"
#include "platform/text/MutableAttributedString.h"
#include "platform/text/TextAttachment.h"
#include "platform/textformats/Docx.h"
#include "platform/textformats/HtmlReader.h"
#include "platform/textformats/LibreOffice.h"
#include "platform/textformats/WebArchive.h"
#include "tests/document/PackageTestSupport.h"
#include "tests/support/IsolatedSettings.h"
#include "tests/support/LogCapture.h"
#include "text/OVTextView.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTextEdit>

#include <gtest/gtest.h>

#include <grp.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

static const auto* kIsolated = ::testing::AddGlobalTestEnvironment(new IsolatedSettings);

namespace {

using namespace packagetest;

class MemoryWindowController final : public WindowController, public OVDocumentContentController {
public:
    void suspendUndo() override { log << QStringLiteral("suspendUndo"); }
    void restoreUndo() override { log << QStringLiteral("restoreUndo"); }
    void setAttributedString(const AttributedString& string) override
    {
        log << QStringLiteral("content");
        text = std::make_unique<MutableAttributedString>(string);
    }
    void setSelectedRangesStringArray(const QStringList& ranges) override
    {
        log << QStringLiteral("ranges");
        selection = ranges;
    }
    void setPrompterSpeed(double value) override
    {
        log << QStringLiteral("speed");
        speed = value;
    }
    void setWindowFrame(const Rect& rect) override
    {
        log << QStringLiteral("frame");
        frame = rect;
    }
    void setPrompterPositionRatio(double value) override
    {
        log << QStringLiteral("ratio");
        ratio = value;
    }
    bool setPrompterScrollbarAnchor(const OVScrollbarAnchor& value) override
    {
        log << QStringLiteral("anchor");
        anchor = value;
        return anchorTaken;
    }
    void setBackgroundColor(const Color& value) override { background = value; }
    void applyDefaultStyleWithoutUndo() override { log << QStringLiteral("defaultStyle"); }
    void removeUnnecessaryNewlineAtEnd() override { log << QStringLiteral("removeNewline"); }
    void documentLoadingFinished() override { log << QStringLiteral("finished"); }
    std::unique_ptr<MutableAttributedString> coreTextViewTextStorage() const override
    {
        return text ? std::make_unique<MutableAttributedString>(*text) : nullptr;
    }
    std::unique_ptr<MutableAttributedString> textViewTextStorage() const override
    {
        return coreTextViewTextStorage();
    }
    std::unique_ptr<MutableAttributedString> exportableTextStorage() const override
    {
        return coreTextViewTextStorage();
    }
    std::unique_ptr<MutableAttributedString> exportableStyleSimplifiedStorage() const override
    {
        return coreTextViewTextStorage();
    }
    std::optional<Color> backgroundColor() const override { return background; }
    Color styleSimplifiedBackgroundColor() const override { return Color::rgb(1, 1, 1); }
    std::unique_ptr<OVTextView> printableTextView() override { return nullptr; }
    QStringList selectedRangesStringArray() const override { return selection; }
    std::optional<double> prompterPositionRatioNumber() const override { return ratio; }
    std::optional<OVScrollbarAnchor> prompterScrollbarAnchor() const override { return anchor; }
    std::optional<double> prompterSpeedNumber() const override { return speed; }
    std::optional<QString> windowFrameString() const override { return stringFromRect(frame); }
    void breakUndoCoalescing() override { ++coalescingBreaks; }
    bool isCoreController() const override { return false; }

    std::unique_ptr<MutableAttributedString> text = std::make_unique<MutableAttributedString>();
    QStringList selection;
    double speed = 0;
    double ratio = 0;
    std::optional<OVScrollbarAnchor> anchor;
    bool anchorTaken = true;
    Rect frame{{10, 20}, {300, 200}};
    std::optional<Color> background;
    QStringList log;
    int coalescingBreaks = 0;
};

class OVDocumentTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        UserDefaults::shared().resetUserValues();
        OVDocument::registerDocumentTypes(controller);
        controller.setAutosaveDirectory(dir.filePath(QStringLiteral("autosave")));
        controller.setAutosavingDelay(0);
        OVDocument::setWindowControllerFactory(
            [](OVDocument&) { return std::make_unique<MemoryWindowController>(); });
        bundle = dir.filePath(QStringLiteral("shipped"));
        QDir().mkpath(bundle);
        OVDocument::setInAppBundleTest(
            [this](const QUrl& url) { return url.toLocalFile().startsWith(bundle + u'/'); });
    }
    void TearDown() override
    {
        // Closed documents go on the event loop's next pass: run it now, not in Qt's clean-up at exit.
        for (Document* document : controller.documents())
            document->close();
        QCoreApplication::sendPostedEvents();
        OVDocument::setWindowControllerFactory({});
        OVDocument::setInAppBundleTest({});
        OVDocument::setModifierFlagsQuery({});
        OVDocument::setDidFinishRestoringWindows(false);
        UserDefaults::shared().resetUserValues();
    }

    static MemoryWindowController& windowOf(Document* document)
    {
        return *dynamic_cast<MemoryWindowController*>(document->primaryWindowController());
    }

    // A document made the way the program makes a new one, holding text, a selection and state.
    OVDocument* newDocument(const QString& string)
    {
        Error error;
        auto* document = dynamic_cast<OVDocument*>(controller.openUntitledDocumentAndDisplay(true, &error));
        EXPECT_NE(document, nullptr) << error.localizedDescription().toStdString();
        auto& window = windowOf(document);
        window.text = std::make_unique<MutableAttributedString>(AttributedString(string));
        return document;
    }

    OVDocument* open(const QString& path, Error* error = nullptr)
    {
        Error local;
        Document* document =
            controller.openDocumentWithContentsOfURL(QUrl::fromLocalFile(path), true, error ? error : &local);
        return dynamic_cast<OVDocument*>(document);
    }

    QString path(const QString& name) const { return dir.filePath(name); }

    // An older single-file document as that version wrote it: a property list holding the text as
    // one RTFD stream.
    QString writeOlderDocument(const QString& name, const QString& text)
    {
        PlistDictionary older;
        older.insert(OVPrompterDocumentContentsKey, PlistValue(Rtfd::data(AttributedString(text), {})));
        older.insert(OVPrompterDocumentSpeedKey, PlistValue(2.5));
        const QString fixture = path(name);
        QFile file(fixture);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(xml(older));
        return fixture;
    }
    QString writeNativeDocument(const QString& name, const QString& text)
    {
        auto maker = std::make_unique<OVDocument>();
        maker->makeWindowControllers();
        windowOf(maker.get()).text = std::make_unique<MutableAttributedString>(AttributedString(text));
        const QString file = path(name);
        Error error;
        EXPECT_TRUE(maker->writeToURL(QUrl::fromLocalFile(file), OVDocumentUTI,
                                      Document::SaveOperation::SaveTo, {}, &error))
            << error.localizedDescription().toStdString();
        return file;
    }

    QTemporaryDir dir;
    QString bundle;
    DocumentController controller;
};

TEST_F(OVDocumentTest, SaveAndReopenKeepTextBookmarksSelectionSpeedPositionFrameAndProperties)
{
    OVDocument* document = newDocument(QStringLiteral("Hello prompter\nSecond line\n"));
    auto& window = windowOf(document);
    insertBookmark(*window.text, 6, QStringLiteral("Start"));
    insertBookmark(*window.text, 16, std::nullopt);
    window.selection = {QStringLiteral("{3, 4}")};
    window.speed = 3.5;
    window.ratio = 0.25;
    window.frame = Rect{{40, 50}, {640, 480}};
    window.background = Color::rgb(0, 0, 0.5);
    document->setDocumentProperties({{QStringLiteral("author"), QStringLiteral("A. Writer")},
                                     {QStringLiteral("director"), QStringLiteral("D. Rector")}});

    Error error;
    const QString file = path(QStringLiteral("Script.ovdocument"));
    ASSERT_TRUE(document->saveToURL(QUrl::fromLocalFile(file), OVDocumentUTI, Document::SaveOperation::SaveAs,
                                    &error))
        << error.localizedDescription().toStdString();
    EXPECT_TRUE(document->isSavedDocument());
    EXPECT_EQ(window.coalescingBreaks, 1);
    EXPECT_TRUE(QFileInfo(file + QStringLiteral("/Properties.plist")).isFile());
    document->close();

    OVDocument* reopened = open(file, &error);
    ASSERT_NE(reopened, nullptr) << error.localizedDescription().toStdString();
    auto& again = windowOf(reopened);
    EXPECT_EQ(again.text->string(), window.text->string());
    EXPECT_EQ(bookmarksOf(*again.text),
              (std::vector<std::pair<qsizetype, QString>>{{6, "Start"}, {16, "<none>"}}));
    EXPECT_EQ(again.selection, QStringList{QStringLiteral("{3, 4}")});
    EXPECT_DOUBLE_EQ(again.speed, 3.5);
    EXPECT_DOUBLE_EQ(again.ratio, 0.25);
    EXPECT_EQ(again.frame, (Rect{{40, 50}, {640, 480}}));
    ASSERT_TRUE(again.background);
    EXPECT_NEAR(again.background->blue, 0.5, 0.01);
    EXPECT_EQ(reopened->metadataInfo().value(QStringLiteral("author")).toString(),
              QStringLiteral("A. Writer"));
    EXPECT_EQ(reopened->extendedMetadataInfo().value(QStringLiteral("director")).toString(),
              QStringLiteral("D. Rector"));
    EXPECT_TRUE(reopened->isReadDocument());
    EXPECT_FALSE(reopened->isInternalDocument());
    EXPECT_TRUE(reopened->importedFileURL().isEmpty());
    EXPECT_EQ(reopened->displayName(), QStringLiteral("Script"));
    EXPECT_EQ(reopened->autosavingFileType(), OVDocumentUTI);
    // The text came back as saved: its final newline is not taken off on opening.
    EXPECT_FALSE(again.log.contains(QStringLiteral("removeNewline")));
    EXPECT_EQ(again.log.first(), QStringLiteral("suspendUndo"));
    EXPECT_EQ(again.log.mid(again.log.size() - 2),
              (QStringList{QStringLiteral("finished"), QStringLiteral("restoreUndo")}));
    EXPECT_FALSE(reopened->loadedDocumentInfo().has_value());
    EXPECT_TRUE(reopened->committedLoadedDocument());
}

TEST_F(OVDocumentTest, PropertiesOfEveryKindAreSavedAndReadBackEqual)
{
    OVDocument* document = newDocument(QStringLiteral("Text"));
    const QVariantMap properties{
        {QStringLiteral("author"), QStringLiteral("Ann")},
        {QStringLiteral("keywords"), QStringList{QStringLiteral("news"), QStringLiteral("live")}},
        {QStringLiteral("director"), QStringLiteral("Dee")},
        {QStringLiteral("producer"), QStringLiteral("Pat")},
        {QStringLiteral("performers"), QStringList{QStringLiteral("Ann"), QStringLiteral("Bo")}},
    };
    document->setDocumentProperties(properties);
    Error error;
    const QString file = path(QStringLiteral("Cast.ovdocument"));
    ASSERT_TRUE(document->saveToURL(QUrl::fromLocalFile(file), OVDocumentUTI, Document::SaveOperation::SaveAs,
                                    &error))
        << error.localizedDescription().toStdString();
    EXPECT_EQ(readProperties(file).value(OVDocumentExtendedMetadataKey).dictionary().value("performers"),
              PlistValue(PlistArray{"Ann", "Bo"}));
    document->close();

    OVDocument* reopened = open(file, &error);
    ASSERT_NE(reopened, nullptr) << error.localizedDescription().toStdString();
    const QVariantMap back = reopened->documentProperties();
    for (auto it = properties.constBegin(); it != properties.constEnd(); ++it)
        EXPECT_EQ(back.value(it.key()), it.value()) << it.key().toStdString();
}

TEST_F(OVDocumentTest, MistypedPropertiesOfAFileAreNotWrittenBack)
{
    PlistDictionary extended;
    extended.insert("director", 5);
    extended.insert("producer", "Pat");
    extended.insert("performers", "Ann");
    PlistDictionary properties = minimalProperties();
    properties.insert(OVDocumentExtendedMetadataKey, extended);
    const QString file = path(QStringLiteral("Odd.ovdocument"));
    ASSERT_TRUE(writeRawPackage(file, AttributedString("Text"), xml(properties)));

    Error error;
    OVDocument* document = open(file, &error);
    ASSERT_NE(document, nullptr) << error.localizedDescription().toStdString();
    EXPECT_FALSE(document->documentProperties().value(QStringLiteral("director")).isValid());
    EXPECT_FALSE(document->documentProperties().value(QStringLiteral("performers")).isValid());
    EXPECT_EQ(document->documentProperties().value(QStringLiteral("producer")),
              QVariant(QStringLiteral("Pat")));
    ASSERT_TRUE(
        document->saveToURL(document->fileURL(), OVDocumentUTI, Document::SaveOperation::Save, &error))
        << error.localizedDescription().toStdString();
    const PlistDictionary written = readProperties(file).value(OVDocumentExtendedMetadataKey).dictionary();
    EXPECT_FALSE(written.contains("director"));
    EXPECT_FALSE(written.contains("performers"));
    EXPECT_EQ(written.value("producer"), PlistValue("Pat"));
}

TEST_F(OVDocumentTest, ADamagedPackageIsReportedUnderItsOwnName)
{
    const QString file = path(QStringLiteral("Damaged.ovdocument"));
    Error error;
    // Damaged properties no longer keep the text from the user: it opens, and the package on disk
    // stays as it was, even through an autosave, until the user saves.
    ASSERT_TRUE(writeRawPackage(file, AttributedString("Text"), "not a property list"));
    OVDocument* salvaged = open(file, &error);
    ASSERT_NE(salvaged, nullptr) << error.localizedDescription().toStdString();
    EXPECT_TRUE(salvaged->keepsDamagedFileUntilSaved());
    EXPECT_FALSE(salvaged->autosavesInPlace());
    salvaged->close();

    ASSERT_TRUE(writeRawPackage(file, AttributedString("Text"), xml(minimalProperties())));
    ASSERT_TRUE(QFile::remove(file + QStringLiteral("/Content.rtfd/TXT.rtf")));
    EXPECT_EQ(open(file, &error), nullptr);
    EXPECT_EQ(error.fileURL(), QUrl::fromLocalFile(file));
    EXPECT_TRUE(error.localizedDescription().contains(QStringLiteral("“Damaged.ovdocument”")))
        << error.localizedDescription().toStdString();
}

TEST_F(OVDocumentTest, SpeedTypeTagOtherThanZeroKeepsTheSettingsSpeed)
{
    OVDocument* document = newDocument(QStringLiteral("Text"));
    windowOf(document).speed = 3.5;
    Error error;
    const QString file = path(QStringLiteral("Speed.ovdocument"));
    ASSERT_TRUE(document->saveToURL(QUrl::fromLocalFile(file), OVDocumentUTI, Document::SaveOperation::SaveAs,
                                    &error));
    document->close();
    UserDefaults::shared().setInteger(1, QStringLiteral("documentSpeedTypeTag"));
    OVDocument* reopened = open(file);
    ASSERT_NE(reopened, nullptr);
    EXPECT_FALSE(windowOf(reopened).log.contains(QStringLiteral("speed")));
}

TEST_F(OVDocumentTest, AnOpenedFileIsCommittedFrameFirstWithUndoSuspendedThroughout)
{
    OVDocument* document = newDocument(QStringLiteral("In order"));
    windowOf(document).selection = QStringList{QStringLiteral("{1, 2}")};
    Error error;
    const QString file = path(QStringLiteral("Order.ovdocument"));
    ASSERT_TRUE(document->saveToURL(QUrl::fromLocalFile(file), OVDocumentUTI, Document::SaveOperation::SaveAs,
                                    &error));
    document->close();
    document = open(file, &error);
    ASSERT_NE(document, nullptr);
    // The window takes its size before the text, so a long script is laid out once.
    EXPECT_EQ(windowOf(document).log,
              (QStringList{QStringLiteral("suspendUndo"), QStringLiteral("frame"), QStringLiteral("content"),
                           QStringLiteral("ranges"), QStringLiteral("speed"), QStringLiteral("ratio"),
                           QStringLiteral("finished"), QStringLiteral("restoreUndo")}));
}

TEST_F(OVDocumentTest, TheLineAtTheTopIsSavedWithThePositionAndPlacedOnOpenOrTheShareIsUsed)
{
    OVDocument* document = newDocument(QStringLiteral("One\nTwo\nThree\n"));
    windowOf(document).ratio = 0.5;
    windowOf(document).anchor = OVScrollbarAnchor{4, 2.5, 0};
    Error error;
    const QString file = path(QStringLiteral("Anchor.ovdocument"));
    ASSERT_TRUE(document->saveToURL(QUrl::fromLocalFile(file), OVDocumentUTI, Document::SaveOperation::SaveAs,
                                    &error));
    document->close();
    document = open(file, &error);
    ASSERT_NE(document, nullptr);
    auto& window = windowOf(document);
    ASSERT_TRUE(window.anchor);
    EXPECT_EQ(window.anchor->characterIndex, 4);
    EXPECT_EQ(window.anchor->lineOffset, 2.5);
    EXPECT_TRUE(window.log.contains(QStringLiteral("anchor")));
    EXPECT_FALSE(window.log.contains(QStringLiteral("ratio"))) << "the whole text laid out for the share";

    // A window that cannot place the line opens at the share.
    window.log.clear();
    window.anchorTaken = false;
    ASSERT_TRUE(document->revertToContentsOfURL(document->fileURL(), document->fileType(), &error));
    EXPECT_EQ(window.log.indexOf(QStringLiteral("anchor")) + 1, window.log.indexOf(QStringLiteral("ratio")));
    EXPECT_DOUBLE_EQ(window.ratio, 0.5);
}

TEST_F(OVDocumentTest, RevertAppliesStateAgainButNotTheWindowFrame)
{
    OVDocument* document = newDocument(QStringLiteral("Revert me"));
    windowOf(document).speed = 2;
    windowOf(document).ratio = 0.5;
    Error error;
    const QString file = path(QStringLiteral("Revert.ovdocument"));
    ASSERT_TRUE(document->saveToURL(QUrl::fromLocalFile(file), OVDocumentUTI, Document::SaveOperation::SaveAs,
                                    &error));
    document->close();
    document = open(file, &error);
    ASSERT_NE(document, nullptr);
    auto& window = windowOf(document);
    EXPECT_TRUE(window.log.contains(QStringLiteral("frame")));
    window.log.clear();
    window.speed = 7;
    window.ratio = 0.9;
    window.text = std::make_unique<MutableAttributedString>(AttributedString(QStringLiteral("changed")));
    ASSERT_TRUE(document->revertToContentsOfURL(document->fileURL(), document->fileType(), &error));
    EXPECT_EQ(window.text->string(), QStringLiteral("Revert me"));
    EXPECT_DOUBLE_EQ(window.speed, 2);
    EXPECT_DOUBLE_EQ(window.ratio, 0.5);
    EXPECT_FALSE(window.log.contains(QStringLiteral("frame")));
}

TEST_F(OVDocumentTest, AFailedSaveLeavesThePreviousPackageAndSaysWhy)
{
    OVDocument* document = newDocument(QStringLiteral("Kept"));
    Error error;
    const QString file = path(QStringLiteral("Kept.ovdocument"));
    ASSERT_TRUE(document->saveToURL(QUrl::fromLocalFile(file), OVDocumentUTI, Document::SaveOperation::SaveAs,
                                    &error));
    QFile plist(file + QStringLiteral("/Properties.plist"));
    ASSERT_TRUE(plist.open(QIODevice::ReadOnly));
    const QByteArray before = plist.readAll();
    plist.close();

    windowOf(document).text.reset();
    EXPECT_FALSE(
        document->saveToURL(document->fileURL(), OVDocumentUTI, Document::SaveOperation::Save, &error));
    EXPECT_EQ(error.code(), kFileWriteUnknownError);
    EXPECT_FALSE(error.localizedDescription().isEmpty());
    ASSERT_TRUE(plist.open(QIODevice::ReadOnly));
    EXPECT_EQ(plist.readAll(), before);
    EXPECT_EQ(QDir(path(QString()))
                  .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot)
                  .filter(QStringLiteral(".saving")),
              QStringList());

    // A folder that is gone is an error with the folder's name, not a silent success.
    EXPECT_FALSE(document->saveToURL(QUrl::fromLocalFile(path(QStringLiteral("gone/X.ovdocument"))),
                                     OVDocumentUTI, Document::SaveOperation::SaveAs, &error));
    EXPECT_TRUE(error.localizedFailureReason().contains(QStringLiteral("gone")));
}

TEST_F(OVDocumentTest, AShippedDocumentIsInternalUntilTheUserSavesItElsewhere)
{
    // Write a package into the shipped folder as the project ships its sample.
    OVDocument* maker = newDocument(QStringLiteral("Tutorial text"));
    Error error;
    const QString shipped = bundle + QStringLiteral("/  Tutorial .ovdocument");
    ASSERT_TRUE(maker->saveToURL(QUrl::fromLocalFile(shipped), OVDocumentUTI, Document::SaveOperation::SaveTo,
                                 &error));
    maker->close();

    auto document = std::make_unique<OVDocument>();
    ASSERT_TRUE(document->readFromURL(QUrl::fromLocalFile(shipped), OVDocumentUTI, &error));
    EXPECT_TRUE(document->isInternalDocument());
    EXPECT_EQ(document->importedFileURL(), QUrl::fromLocalFile(shipped));
    EXPECT_EQ(document->displayName(), QStringLiteral("Tutorial"));
    EXPECT_EQ(document->autosavingFileType(), QString());
    EXPECT_FALSE(document->isNewDocument());

    document->makeWindowControllers();
    document->primaryWindowController()->window();
    // Committed only once the window loaded.
    EXPECT_EQ(windowOf(document.get()).text->string(), QStringLiteral("Tutorial text"));

    const QString mine = path(QStringLiteral("Mine.ovdocument"));
    ASSERT_TRUE(document->writeToURL(QUrl::fromLocalFile(mine), OVDocumentUTI,
                                     Document::SaveOperation::SaveAs, {}, &error));
    EXPECT_FALSE(document->isInternalDocument());
    EXPECT_TRUE(document->importedFileURL().isEmpty());
    EXPECT_EQ(document->autosavingFileType(), OVDocumentUTI);
}

TEST_F(OVDocumentTest, AnOpenedShippedDocumentGetsACopyOfItsOwnAndLeavesTheShippedFileAlone)
{
    OVDocument* maker = newDocument(QStringLiteral("Tutorial"));
    Error error;
    const QString shipped = bundle + QStringLiteral("/Tutorial.ovdocument");
    ASSERT_TRUE(maker->saveToURL(QUrl::fromLocalFile(shipped), OVDocumentUTI, Document::SaveOperation::SaveTo,
                                 &error));
    maker->close();

    OVDocument* document = open(shipped, &error);
    ASSERT_NE(document, nullptr) << error.localizedDescription().toStdString();
    EXPECT_FALSE(document->isInternalDocument());
    EXPECT_TRUE(document->importedFileURL().isEmpty());
    EXPECT_TRUE(document->fileURL().isEmpty());
    EXPECT_FALSE(document->autosavedContentsFileURL().isEmpty());
    EXPECT_EQ(document->autosavingFileType(), OVDocumentUTI);
}

TEST_F(OVDocumentTest, AnOlderPrompterDocumentIsImportedAndNeverSavedInPlace)
{
    const QString fixture =
        writeOlderDocument(QStringLiteral("prompter-v4.prompterdocument"), QStringLiteral("Old script\n"));
    auto document = std::make_unique<OVDocument>();
    Error error;
    ASSERT_TRUE(document->readFromURL(QUrl::fromLocalFile(fixture), OVPrompterDocumentUTI, &error))
        << error.localizedDescription().toStdString();
    EXPECT_EQ(document->importedDisplayName(), QStringLiteral("prompter-v4"));
    EXPECT_FALSE(document->appKitFileTypeAddsNewlineToEnd());
    document->makeWindowControllers();
    document->primaryWindowController()->window();

    // The user's Save goes to Save As: the older type is not one Save writes.
    EXPECT_FALSE(document->writableTypesForSaveOperation(Document::SaveOperation::Save)
                     .contains(OVPrompterDocumentUTI));
    EXPECT_FALSE(document->writeToURL(QUrl::fromLocalFile(path("x.prompterdocument")), OVPrompterDocumentUTI,
                                      Document::SaveOperation::Save, {}, &error));
    EXPECT_TRUE(error.isUserCancelled());
    ASSERT_TRUE(document->writeToURL(QUrl::fromLocalFile(path("y.ovdocument")), OVDocumentUTI,
                                     Document::SaveOperation::SaveAs, {}, &error));
    EXPECT_TRUE(document->importedDisplayName().isEmpty());
    EXPECT_TRUE(document->importedFileURL().isEmpty());
}

TEST_F(OVDocumentTest, ReadingRefusesMissingURLOrTypeAndUnknownKinds)
{
    OVDocument document;
    Error error;
    EXPECT_FALSE(document.readFromURL(QUrl(), OVDocumentUTI, &error));
    EXPECT_EQ(error.code(), kFileReadUnknownError);
    EXPECT_FALSE(document.readFromURL(QUrl::fromLocalFile(path("a.txt")), QStringLiteral("public.plain-text"),
                                      &error));
    EXPECT_FALSE(document.isReadDocument());
    EXPECT_TRUE(document.isNewDocument());
}

TEST_F(OVDocumentTest, ForeignFilesOpenAsImportedScriptsWithTheirFormatsNewlineRule)
{
    const auto write = [this](const QString& name, const QByteArray& bytes) {
        QFile file(path(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return path(name);
    };
    UserDefaults::shared().setInteger(0, QStringLiteral("defaultEncodingValue"));
    LogCapture log;

    OVDocument* html = open(write(QStringLiteral("Evening News.html"),
                                  "<title>News</title><p>Hello <b>web</b></p><img src=\"/etc/hostname\">"));
    ASSERT_NE(html, nullptr);
    EXPECT_EQ(html->displayName(), QStringLiteral("Evening News"));
    EXPECT_EQ(windowOf(html).text->string(), QStringLiteral("Hello web\n"));
    // HTML's importer adds a final newline, which the window takes off again; RTF and plain text
    // keep theirs.
    EXPECT_TRUE(windowOf(html).log.contains(QStringLiteral("removeNewline")));
    EXPECT_TRUE(windowOf(html).log.contains(QStringLiteral("defaultStyle")));

    // Windows Latin 1 with CR LF line ends: not detected, so the fallback reads it and says so.
    OVDocument* text = open(write(QStringLiteral("notes.txt"), "caf\xE9\r\nline\r\n"));
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(windowOf(text).text->string(), QStringLiteral(u"caf\u00E9\nline\n"));
    EXPECT_FALSE(windowOf(text).log.contains(QStringLiteral("removeNewline")));
    EXPECT_TRUE(std::any_of(log.lines().begin(), log.lines().end(), [](const QString& line) {
        return line.startsWith(
            QStringLiteral("Automatic encoding could not be detected. Trying fallback. Error = "));
    }));
    // A stored encoding is used as it stands.
    UserDefaults::shared().setInteger(30, QStringLiteral("defaultEncodingValue"));
    OVDocument* macRoman = open(write(QStringLiteral("mac.txt"), "caf\x8E"));
    ASSERT_NE(macRoman, nullptr);
    EXPECT_EQ(windowOf(macRoman).text->string(), QStringLiteral(u"caf\u00E9"));

    OVDocument* rtf = open(write(QStringLiteral("letter.rtf"), "{\\rtf1\\ansi Dear \\b reader\\b0\\par\n}"));
    ASSERT_NE(rtf, nullptr);
    EXPECT_EQ(windowOf(rtf).text->string(), QStringLiteral("Dear reader\n"));
    EXPECT_FALSE(windowOf(rtf).log.contains(QStringLiteral("removeNewline")));

    // An imported document is never saved over the file it came from.
    Error error;
    EXPECT_FALSE(html->writeToURL(QUrl::fromLocalFile(path(QStringLiteral("Evening News.html"))),
                                  QStringLiteral("public.html"), Document::SaveOperation::Save, {}, &error));
    EXPECT_TRUE(error.isUserCancelled());

    // A text file far beyond any script is refused before it is read.
    QFile huge(path(QStringLiteral("huge.txt")));
    ASSERT_TRUE(huge.open(QIODevice::WriteOnly));
    ASSERT_TRUE(huge.resize(qint64(300) << 20));
    huge.close();
    Error tooLarge;
    EXPECT_EQ(open(huge.fileName(), &tooLarge), nullptr);
    // The program answers a file too large to read as one it has no memory for.
    EXPECT_EQ(tooLarge.code(), kFileReadUnknownError);
    EXPECT_TRUE(tooLarge.localizedFailureReason().contains(QStringLiteral("memory")))
        << tooLarge.localizedFailureReason().toStdString();

    // A type outside the reading table is refused with the log and code 256.
    OVDocument document;
    log.clear();
    EXPECT_FALSE(document.readFromURL(QUrl::fromLocalFile(write(QStringLiteral("x.pdf"), "%PDF")),
                                      QStringLiteral("com.adobe.pdf"), &error));
    EXPECT_EQ(error.code(), kFileReadUnknownError);
    EXPECT_TRUE(log.contains(QStringLiteral("Error: documentTypeAttribute is nil")));
}

TEST_F(OVDocumentTest, ExportWritesTheChosenFormatWithTheReportForWhatItCannotHold)
{
    using Accessory = OVDocumentExportAccessoryViewController;
    UserDefaults::shared().registerDefaults(Accessory::initialDefaultsDictionary());
    UserDefaults::shared().setInteger(0, QStringLiteral("defaultEncodingValue"));
    UserDefaults::shared().setBool(false, QStringLiteral("useSimplifiedStyleDocumentExport"));
    OVDocument* document = newDocument(QStringLiteral(u"Caf\u00E9 \u2014 news\nline two\n"));
    auto& window = windowOf(document);
    insertBookmark(*window.text, 4, QStringLiteral("Mark"));
    auto picture = std::make_shared<TextAttachment>(FileWrapper::makeRegularFile(QByteArray("png")));
    window.text->append(
        AttributedString(QString(QChar(kAttachmentCharacter)), {{kAttachmentAttributeName, picture}}));
    window.background = Color::rgb(0, 0, 0);

    // The first export offers RTF; the user picks HTML by its name's extension.
    QString offered;
    QString report;
    {
        SavePanelAnswererScope answer([&](SavePanel& panel) {
            offered = panel.selectedFileType();
            EXPECT_TRUE(panel.chooseURL(QUrl::fromLocalFile(path(QStringLiteral("export.html")))));
            report = document->exportAccessory()->infoString();
            return SavePanel::kModalResponseOK;
        });
        document->saveDocumentTo();
    }
    EXPECT_EQ(offered, QStringLiteral("public.rtf"));
    EXPECT_EQ(report, QStringLiteral("The selected file format cannot save bookmarks or images."));
    QFile html(path(QStringLiteral("export.html")));
    ASSERT_TRUE(html.open(QIODevice::ReadOnly));
    MutableAttributedString back;
    HtmlReader::read(html.readAll(), back, nullptr, nullptr);
    EXPECT_EQ(back.string(), QStringLiteral(u"Caf\u00E9 \u2014 news\nline two\n\n"));
    // Export leaves the document as it was: untitled, still to be saved.
    EXPECT_TRUE(document->fileURL().isEmpty());

    // The next export offers HTML again; plain text in UTF-8 without attachment characters.
    QString previewText;
    QColor previewBase;
    {
        SavePanelAnswererScope answer([&](SavePanel& panel) {
            offered = panel.selectedFileType();
            EXPECT_TRUE(panel.chooseURL(QUrl::fromLocalFile(path(QStringLiteral("export.txt")))));
            report = document->exportAccessory()->infoString();
            // The preview shows the text as plain text gives it back, on white.
            document->exportAccessory()->documentPreviewButtonPressed();
            const auto* preview = document->exportAccessory()->exportPreviewWindowController();
            EXPECT_TRUE(preview && preview->isWindowVisible());
            if (preview) {
                previewText = preview->textView()->toPlainText();
                previewBase = preview->textView()->palette().color(QPalette::Base);
            }
            return SavePanel::kModalResponseOK;
        });
        document->saveDocumentTo();
    }
    EXPECT_EQ(offered, QStringLiteral("public.html"));
    EXPECT_TRUE(previewText.startsWith(QStringLiteral(u"Caf\u00E9 \u2014 news\nline two")))
        << previewText.toStdString();
    EXPECT_FALSE(previewText.contains(QChar(kAttachmentCharacter)));
    EXPECT_EQ(previewBase, QColor(Qt::white));
    // The preview went with the panel.
    EXPECT_EQ(document->exportAccessory()->exportPreviewWindowController(), nullptr);
    EXPECT_EQ(report,
              QStringLiteral("The selected file format cannot save text styles, background color, bookmarks, "
                             "or images."));
    QFile text(path(QStringLiteral("export.txt")));
    ASSERT_TRUE(text.open(QIODevice::ReadOnly));
    EXPECT_EQ(text.readAll(), QByteArray("Caf\xC3\xA9 \xE2\x80\x94 news\nline two\n"));

    // An encoding set in the settings that cannot hold the dash fails the export, and says so.
    UserDefaults::shared().setInteger(5, QStringLiteral("defaultEncodingValue"));
    Error error;
    EXPECT_FALSE(document->saveToURL(QUrl::fromLocalFile(path(QStringLiteral("latin.txt"))),
                                     QStringLiteral("public.plain-text"), Document::SaveOperation::SaveTo,
                                     &error));
    EXPECT_EQ(error.code(), kFileWriteUnknownError);
    EXPECT_FALSE(QFile::exists(path(QStringLiteral("latin.txt"))));

    // Save As to RTF is allowed; a later plain Save of it asks again instead of writing in place.
    EXPECT_TRUE(document->writableTypesForSaveOperation(Document::SaveOperation::SaveAs)
                    .contains(QStringLiteral("public.rtf")));
    EXPECT_FALSE(document->writableTypesForSaveOperation(Document::SaveOperation::Save)
                     .contains(QStringLiteral("public.rtf")));
}

TEST_F(OVDocumentTest, ExportToWordAndWebArchivePreviewsThroughTheFormatAndKeepsPicturesOnlyWhereTheyFit)
{
    using Accessory = OVDocumentExportAccessoryViewController;
    UserDefaults::shared().registerDefaults(Accessory::initialDefaultsDictionary());
    UserDefaults::shared().setBool(false, QStringLiteral("useSimplifiedStyleDocumentExport"));
    OVDocument* document = newDocument(QStringLiteral("Top story\nWeather\n"));
    auto& window = windowOf(document);
    insertBookmark(*window.text, 4, QStringLiteral("Mark"));
    auto picture = std::make_shared<TextAttachment>(FileWrapper::makeRegularFile(QByteArray("GIF89a")));
    window.text->append(
        AttributedString(QString(QChar(kAttachmentCharacter)), {{kAttachmentAttributeName, picture}}));
    window.background = Color::rgb(0, 0, 0);

    QString report;
    QString previewText;
    {
        SavePanelAnswererScope answer([&](SavePanel& panel) {
            EXPECT_TRUE(panel.chooseURL(QUrl::fromLocalFile(path(QStringLiteral("export.docx")))));
            report = document->exportAccessory()->infoString();
            document->exportAccessory()->documentPreviewButtonPressed();
            if (const auto* preview = document->exportAccessory()->exportPreviewWindowController())
                previewText = preview->textView()->toPlainText();
            return SavePanel::kModalResponseOK;
        });
        document->saveDocumentTo();
    }
    EXPECT_EQ(report,
              QStringLiteral("The selected file format cannot save background color, bookmarks, or images. "
                             "Consider using Rich Text Format (rtf) instead."));
    EXPECT_TRUE(previewText.startsWith(QStringLiteral("Top story\nWeather"))) << previewText.toStdString();
    EXPECT_FALSE(previewText.contains(QChar(kAttachmentCharacter)));
    QFile docx(path(QStringLiteral("export.docx")));
    ASSERT_TRUE(docx.open(QIODevice::ReadOnly));
    MutableAttributedString back;
    Error error;
    ASSERT_TRUE(Docx::read(docx.readAll(), back, nullptr, &error));
    EXPECT_EQ(back.string(), QStringLiteral("Top story\nWeather\n\n"));

    // A web archive keeps the picture and drops the bookmark.
    EXPECT_TRUE(document->saveToURL(QUrl::fromLocalFile(path(QStringLiteral("export.webarchive"))),
                                    QStringLiteral("com.apple.webarchive"), Document::SaveOperation::SaveTo,
                                    &error));
    QFile archive(path(QStringLiteral("export.webarchive")));
    ASSERT_TRUE(archive.open(QIODevice::ReadOnly));
    ASSERT_TRUE(WebArchive::read(archive.readAll(), back, nullptr, &error));
    EXPECT_EQ(back.string(), QStringLiteral(u"Top story\nWeather\n\uFFFC\n"));
}

TEST_F(OVDocumentTest, Word97OpensThroughLibreOfficeAndWithoutItSaysWhichPackageIsMissing)
{
    const QString doc = path(QStringLiteral("Bulletin.doc"));
    ASSERT_TRUE(QFile::copy(QStringLiteral(ORVANE_FIXTURES_DIR "/office/libreoffice.doc"), doc));

    LibreOffice::setExecutableOverride(QString());
    Error error;
    EXPECT_EQ(open(doc, &error), nullptr);
    EXPECT_TRUE(error.localizedFailureReason().contains(QLatin1String(LibreOffice::kPackage)))
        << error.localizedFailureReason().toStdString();
    EXPECT_FALSE(OVDocumentExport::canWriteDocumentType(QStringLiteral("NSDocFormat")));
    LibreOffice::setExecutableOverride(std::nullopt);

    if (!LibreOffice::isAvailable())
        GTEST_SKIP() << "LibreOffice (soffice) is not installed";
    OVDocument* document = open(doc);
    ASSERT_NE(document, nullptr);
    // Like every word-processor file, its final newline goes again.
    EXPECT_TRUE(windowOf(document).log.contains(QStringLiteral("removeNewline")));
    EXPECT_TRUE(
        windowOf(document).text->string().startsWith(QStringLiteral("EVENING BULLETIN\nGood evening.")));
}

TEST_F(OVDocumentTest, AnExportEndedMidWayOrRefusedByItsFolderLeavesTheOldFileWholeAndNothingBesideIt)
{
    OVDocument* document = newDocument(QStringLiteral("First version\n"));
    const QString folder = path(QStringLiteral("Exports"));
    ASSERT_TRUE(QDir().mkpath(folder));
    const auto entries = [&] {
        return QDir(folder)
            .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot)
            .join(u' ')
            .toStdString();
    };
    const auto readAll = [](const QString& file) {
        QFile in(file);
        return in.open(QIODevice::ReadOnly) ? in.readAll() : QByteArray();
    };
    // Runs an export in a child process, as the given user, ended (as a kill ends it, with no clean-up)
    // when the written bytes are about to replace the file; answers the child's exit status.
    const auto exportInChild = [&](const QString& target, const QString& type, bool endBeforeRename,
                                   uid_t user) {
        const pid_t child = ::fork();
        if (child == 0) {
            if (user != ::geteuid() &&
                (::setgroups(0, nullptr) != 0 || ::setgid(user) != 0 || ::setuid(user) != 0))
                ::_exit(90);
            if (endBeforeRename)
                StagingItem::setProgressProbe([] { ::_exit(91); });
            windowOf(document).text = std::make_unique<MutableAttributedString>(AttributedString("Second\n"));
            Error error;
            const bool saved = document->saveToURL(QUrl::fromLocalFile(target), type,
                                                   Document::SaveOperation::SaveTo, &error);
            // A refusal must say why, naming the folder.
            ::_exit(saved ? 0 : error.localizedFailureReason().contains(QStringLiteral("Exports")) ? 92 : 93);
        }
        int status = 0;
        ::waitpid(child, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    };
    const std::pair<const char*, const char*> kinds[] = {
        {"public.rtf", "rtf"},
        {"org.openxmlformats.wordprocessingml.document", "docx"},
        {"public.html", "html"}};
    for (const auto& [type, extension] : kinds) {
        SCOPED_TRACE(type);
        const QString target = folder + QStringLiteral("/Script.") + QLatin1String(extension);
        Error error;
        ASSERT_TRUE(document->saveToURL(QUrl::fromLocalFile(target), QString::fromLatin1(type),
                                        Document::SaveOperation::SaveTo, &error))
            << error.localizedFailureReason().toStdString();
        const QByteArray old = readAll(target);
        ASSERT_FALSE(old.isEmpty());
        // Killed with the new contents written and not yet in place.
        EXPECT_EQ(exportInChild(target, QString::fromLatin1(type), true, ::geteuid()), 91);
        EXPECT_EQ(readAll(target), old);
        EXPECT_EQ(entries(), QFileInfo(target).fileName().toStdString());
        QFile::remove(target);
    }

    // A folder that takes no new file: the old file stays, the user hears why, nothing is left.
    const QString target = folder + QStringLiteral("/Script.rtf");
    Error error;
    ASSERT_TRUE(document->saveToURL(QUrl::fromLocalFile(target), QStringLiteral("public.rtf"),
                                    Document::SaveOperation::SaveTo, &error));
    const QByteArray old = readAll(target);
    // Root writes anywhere: the refused export then runs as nobody, in a folder of nobody's.
    constexpr uid_t kNobody = 65534;
    const uid_t user = ::geteuid() == 0 ? kNobody : ::geteuid();
    if (user != ::geteuid()) {
        ASSERT_EQ(::chown(QFile::encodeName(folder).constData(), user, user), 0);
        ASSERT_EQ(::chown(QFile::encodeName(target).constData(), user, user), 0);
        QFile::setPermissions(dir.path(), QFile::permissions(dir.path()) | QFile::ExeOther);
    }
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner | QFile::ReadOther | QFile::ExeOther);
    EXPECT_EQ(exportInChild(target, QStringLiteral("public.rtf"), false, user), 92);
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    EXPECT_EQ(readAll(target), old);
    EXPECT_EQ(entries(), "Script.rtf");

    // A full folder: a small file system of the child's own, where it may make one.
    const QString full = path(QStringLiteral("Full"));
    ASSERT_TRUE(QDir().mkpath(full));
    const pid_t child = ::fork();
    if (child == 0) {
        const QByteArray where = QFile::encodeName(full);
        if (::unshare(CLONE_NEWNS) != 0 ||
            ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            ::mount("tmpfs", where.constData(), "tmpfs", 0, "size=64k") != 0)
            ::_exit(77);
        const QString kept = full + QStringLiteral("/Script.txt");
        QFile file(kept);
        if (!file.open(QIODevice::WriteOnly) || file.write("old") != 3)
            ::_exit(94);
        file.close();
        windowOf(document).text =
            std::make_unique<MutableAttributedString>(AttributedString(QString(200000, u'x')));
        Error error;
        const bool saved = document->saveToURL(QUrl::fromLocalFile(kept), QStringLiteral("public.plain-text"),
                                               Document::SaveOperation::SaveTo, &error);
        const bool whole = readAll(kept) == "old" &&
                           QDir(full).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot) ==
                               QStringList{QStringLiteral("Script.txt")};
        const bool told = error.localizedFailureReason().contains(QStringLiteral("enough space"));
        ::_exit(saved ? 95 : !whole ? 96 : !told ? 97 : 0);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) == 77)
        std::printf("no file system of its own could be made here: the full folder was not tried\n");
    else
        EXPECT_EQ(WEXITSTATUS(status), 0)
            << "95 saved, 96 the old file or its folder changed, 97 not told why";
}

TEST_F(OVDocumentTest, AFileNamedDocIsReadAsWhatItHoldsAndOnlyAWord97FileGoesToLibreOffice)
{
    // A converter that notes every start and converts nothing.
    const QString started = path(QStringLiteral("converter-started"));
    const QString converter = path(QStringLiteral("soffice"));
    {
        QFile script(converter);
        ASSERT_TRUE(script.open(QIODevice::WriteOnly));
        script.write("#!/bin/sh\ntouch '" + started.toUtf8() + "'\nexit 1\n");
    }
    QFile::setPermissions(converter, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    LibreOffice::setExecutableOverride(converter);
    const auto write = [&](const QString& name, const QByteArray& bytes) {
        QFile file(path(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return path(name);
    };
    const QString secret = write(QStringLiteral("secret.png"), "not for the script");
    const std::pair<QByteArray, QString> disguised[] = {
        {"<html><body><p>Top story</p><img src=\"file://" + secret.toUtf8() + "\"></body></html>",
         QStringLiteral("Top story")},
        {"{\\rtf1\\ansi Weather}", QStringLiteral("Weather")},
        {"Sport at ten\n", QStringLiteral("Sport at ten")},
    };
    int number = 0;
    for (const auto& [bytes, text] : disguised) {
        Error error;
        OVDocument* document = open(write(QStringLiteral("Disguised%1.doc").arg(++number), bytes), &error);
        ASSERT_NE(document, nullptr) << error.localizedFailureReason().toStdString();
        EXPECT_TRUE(windowOf(document).text->string().startsWith(text)) << bytes.constData();
        // Nothing the page names was read into the script.
        EXPECT_FALSE(windowOf(document).text->string().contains(QChar(0xFFFC)));
    }
    EXPECT_FALSE(QFileInfo::exists(started));

    // A compound document's signature with nothing behind it is refused at once, by name.
    Error error;
    EXPECT_EQ(open(write(QStringLiteral("Fake.doc"),
                         QByteArray("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1") + QByteArray(4096, '\x7F')),
                   &error),
              nullptr);
    EXPECT_TRUE(error.localizedFailureReason().contains(QStringLiteral("Fake.doc")))
        << error.localizedFailureReason().toStdString();
    EXPECT_EQ(
        open(write(QStringLiteral("Binary.doc"), QByteArray("\x01\x02\x03garbage\x00\x05", 13)), &error),
        nullptr);
    EXPECT_TRUE(error.localizedFailureReason().contains(QStringLiteral("Binary.doc")));
    EXPECT_FALSE(QFileInfo::exists(started));

    // A real Word 97 file is handed over.
    const QString doc = path(QStringLiteral("Bulletin.doc"));
    ASSERT_TRUE(QFile::copy(QStringLiteral(ORVANE_FIXTURES_DIR "/office/libreoffice.doc"), doc));
    EXPECT_EQ(open(doc, &error), nullptr);
    EXPECT_TRUE(QFileInfo::exists(started));
    LibreOffice::setExecutableOverride(std::nullopt);
}

TEST(OVDocumentExportReport, NamesWhatTheFormatLosesInTheReportsOrderAndSuggestsRtfWhenItLosesLess)
{
    using A = OVDocumentExportAccessoryViewController;
    const unsigned blackWithMarks = A::Text | A::TextStyles | A::BackgroundColor | A::Bookmarks | A::Images;
    EXPECT_EQ(A::infoStringForTypeAttributes(blackWithMarks, A::attributesSupportedForType("public.html"),
                                             true, "public.html"),
              QStringLiteral("No compatibility issues."));
    EXPECT_EQ(A::infoStringForTypeAttributes(blackWithMarks, A::attributesSupportedForType("public.html"),
                                             false, "public.html"),
              QStringLiteral("The selected file format cannot save bookmarks or images."));
    EXPECT_EQ(A::infoStringForTypeAttributes(
                  blackWithMarks,
                  A::attributesSupportedForType("org.openxmlformats.wordprocessingml.document"), false,
                  "org.openxmlformats.wordprocessingml.document"),
              QStringLiteral("The selected file format cannot save background color, bookmarks, or images. "
                             "Consider using Rich Text Format (rtf) instead."));
    EXPECT_EQ(A::infoStringForTypeAttributes(A::DocumentMetadata,
                                             A::attributesSupportedForType("public.plain-text"), true,
                                             "public.plain-text"),
              QStringLiteral("The selected file format cannot save document metadata."));
    // Space formatting is named before the background colour.
    EXPECT_EQ(
        A::infoStringForTypeAttributes(A::SpaceFormatting | A::BackgroundColor | A::PrompterSpecificMetadata,
                                       0, false, "public.rtf"),
        QStringLiteral("The selected file format cannot save space formatting, background color, or "
                       "prompter-specific metadata."));
    const std::pair<const char*, unsigned> supported[] = {
        {"public.plain-text", 1u},
        {"public.rtf", 79u},
        {"com.apple.rtfd", 111u},
        {"org.oasis-open.opendocument.text", 75u},
        {"public.html", 71u},
        {"com.apple.webarchive", 103u},
        {"org.openxmlformats.wordprocessingml.document", 67u},
        {"com.microsoft.word.openxml.document", 67u},
        {"com.microsoft.word.doc", 75u}};
    for (const auto& [type, bits] : supported)
        EXPECT_EQ(A::attributesSupportedForType(QString::fromLatin1(type)), bits) << type;
    LogCapture log;
    EXPECT_EQ(A::attributesSupportedForType(QStringLiteral("com.adobe.pdf")), 0u);
    EXPECT_TRUE(
        log.contains(QStringLiteral("-[OVDocumentExportAccessoryViewController attributesSupportedForType:] "
                                    "Unimplemented type com.adobe.pdf")));

    // What a text holds: paragraph spacing and a picture; an empty text on white with properties.
    ParagraphStyle centred;
    centred.alignment = TextAlignment::Center;
    MutableAttributedString text(
        AttributedString(QStringLiteral("x"), {{kParagraphStyleAttributeName, centred}}));
    EXPECT_EQ(A::attributesPresent(text, Color::rgb(1, 1, 1), {}, {}, {}),
              A::Text | A::TextStyles | A::SpaceFormatting);
    EXPECT_EQ(A::attributesPresent(AttributedString(), Color::rgb(1, 1, 1),
                                   {{QStringLiteral("author"), QStringLiteral("A")}}, {},
                                   {{QStringLiteral("director"), QVariant()}}),
              unsigned(A::DocumentMetadata));
}

TEST_F(OVDocumentTest, SavingWithoutAWindowFailsWithTheWriteCode)
{
    OVDocument document;
    Error error;
    EXPECT_FALSE(document.writeToURL(QUrl::fromLocalFile(path("n.ovdocument")), OVDocumentUTI,
                                     Document::SaveOperation::SaveAs, {}, &error));
    EXPECT_EQ(error.code(), kFileWriteUnknownError);
}

TEST_F(OVDocumentTest, CancellableAutosavesAreRefusedWhileAutosavingIsOff)
{
    OVDocument* document = newDocument(QStringLiteral("x"));
    OVDocument::setAutosavingEnabled(false);
    Error error;
    // Closing autosaves cannot be given up, so they still write.
    EXPECT_TRUE(document->autosave(false, &error)) << error.localizedDescription().toStdString();
    document->updateChangeCount(Document::ChangeType::Done);
    EXPECT_FALSE(document->autosave(true, &error));
    OVDocument::setAutosavingEnabled(true);
}

TEST_F(OVDocumentTest, PropertiesDropUnknownKeysAndUndoUnderTheirName)
{
    OVDocument document;
    document.setDocumentProperties({{QStringLiteral("author"), QStringLiteral("First")}});
    document.undoManager()->removeAllActions();
    document.setDocumentProperties({{QStringLiteral("author"), QStringLiteral("A")},
                                    {QStringLiteral("foo"), QStringLiteral("x")},
                                    {QStringLiteral("producer"), QStringLiteral("P")}});
    EXPECT_FALSE(document.documentProperties().contains(QStringLiteral("foo")));
    EXPECT_EQ(document.extendedMetadataInfo().value(QStringLiteral("producer")).toString(),
              QStringLiteral("P"));
    EXPECT_EQ(document.undoManager()->undoActionName(), QStringLiteral("Set Properties"));
    document.undoManager()->undo();
    EXPECT_EQ(document.documentProperties().value(QStringLiteral("author")).toString(),
              QStringLiteral("First"));
    EXPECT_FALSE(document.documentProperties().contains(QStringLiteral("producer")));
}

TEST_F(OVDocumentTest, ImportedDocumentsTakeTheDefaultStyleAsSetAndOptionInvertsTheSetting)
{
    const QString older = writeOlderDocument(QStringLiteral("Older.prompterdocument"), QStringLiteral("Old"));
    unsigned long flags = 0;
    OVDocument::setModifierFlagsQuery([&flags] { return flags; });
    auto styled = [&](bool setting, bool option) {
        UserDefaults::shared().setBool(setting, QStringLiteral("applyDefaultStyleToAllImportedDocuments"));
        flags = option ? kOptionKeyMask : 0;
        OVDocument* document = open(older);
        EXPECT_NE(document, nullptr);
        const QStringList log = document ? windowOf(document).log : QStringList();
        if (document)
            document->close();
        QCoreApplication::sendPostedEvents();
        if (!log.contains(QStringLiteral("defaultStyle")))
            return false;
        // Applied to the committed text, inside the undo suspension.
        EXPECT_GT(log.indexOf(QStringLiteral("defaultStyle")), log.indexOf(QStringLiteral("content")));
        EXPECT_LT(log.indexOf(QStringLiteral("defaultStyle")), log.indexOf(QStringLiteral("restoreUndo")));
        return true;
    };
    EXPECT_TRUE(styled(true, false));
    EXPECT_FALSE(styled(true, true));
    EXPECT_FALSE(styled(false, false));
    EXPECT_TRUE(styled(false, true));
    // Unset, the setting is on.
    UserDefaults::shared().removeObjectForKey(QStringLiteral("applyDefaultStyleToAllImportedDocuments"));
    flags = 0;
    OVDocument* unset = open(older);
    ASSERT_NE(unset, nullptr);
    EXPECT_TRUE(windowOf(unset).log.contains(QStringLiteral("defaultStyle")));
}

TEST_F(OVDocumentTest, NativeAndShippedDocumentsKeepTheirOwnStyle)
{
    const QString native = writeNativeDocument(QStringLiteral("Native.ovdocument"), QStringLiteral("Mine"));
    for (unsigned long flags : {0UL, kOptionKeyMask}) {
        OVDocument::setModifierFlagsQuery([flags] { return flags; });
        OVDocument* document = open(native);
        ASSERT_NE(document, nullptr);
        EXPECT_FALSE(windowOf(document).log.contains(QStringLiteral("defaultStyle")));
        document->close();
        QCoreApplication::sendPostedEvents();
    }
    const QString shipped =
        writeOlderDocument(QStringLiteral("shipped/Tutorial.prompterdocument"), "Shipped");
    OVDocument* tutorial = open(shipped);
    ASSERT_NE(tutorial, nullptr);
    EXPECT_FALSE(windowOf(tutorial).log.contains(QStringLiteral("defaultStyle")));
}

TEST_F(OVDocumentTest, OpeningAFileReplacesAnUntouchedUntitledWindowOnly)
{
    const QString file = writeNativeDocument(QStringLiteral("Opened.ovdocument"), QStringLiteral("Opened"));
    OVDocument::setDidFinishRestoringWindows(true);
    auto openUntitled = [this] {
        Error error;
        return dynamic_cast<OVDocument*>(controller.openUntitledDocumentAndDisplay(true, &error));
    };
    auto openFileOver = [&](OVDocument* untitled) {
        OVDocument* opened = open(file);
        EXPECT_NE(opened, nullptr);
        const bool replaced = untitled->isClosing();
        if (opened) {
            EXPECT_EQ(opened->restoreFading(), false);
            EXPECT_TRUE(opened->windowForSheet()->isVisible());
            opened->close();
        }
        QCoreApplication::sendPostedEvents();
        return replaced;
    };

    OVDocument* untouched = openUntitled();
    ASSERT_NE(untouched->windowForSheet(), nullptr);
    EXPECT_TRUE(openFileOver(untouched));

    OVDocument* edited = openUntitled();
    edited->updateChangeCount(Document::ChangeType::Done);
    EXPECT_FALSE(openFileOver(edited));

    // Typing that left no undo step is work all the same.
    OVDocument* typedIn = openUntitled();
    windowOf(typedIn).text = std::make_unique<MutableAttributedString>(AttributedString(QStringLiteral("x")));
    EXPECT_FALSE(openFileOver(typedIn));

    OVDocument* withUndo = openUntitled();
    withUndo->undoManager()->registerUndo(this, [] {});
    withUndo->undoManager()->closeAutomaticGroup();
    EXPECT_FALSE(openFileOver(withUndo));

    OVDocument* withSheet = openUntitled();
    Window sheet(Rect{{0, 0}, {200, 100}});
    withSheet->windowForSheet()->beginSheet(&sheet);
    EXPECT_FALSE(openFileOver(withSheet));
    withSheet->windowForSheet()->endSheet(&sheet);

    // The windows a launch opens side by side never replace each other.
    OVDocument::setDidFinishRestoringWindows(false);
    EXPECT_FALSE(openFileOver(openUntitled()));
}

} // namespace
