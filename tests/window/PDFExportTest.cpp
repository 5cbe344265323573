// Export as PDF: the script's pages as Prompt mode shows them, its named bookmarks as the outline,
// the document's properties as the PDF's information and the two notes, read back with qpdf's own
// command line so nothing of our writer judges itself.
#include "tests/document/PackageTestSupport.h"
#include "tests/support/AppTestSupport.h"
#include "window/OVDocumentPDFExport.h"
#include "window/OVDocumentPrompterView.h"
#include "window/OVDocumentWindowController.h"

#include "document/OVDocument.h"
#include "document/OVDocumentExportPDFAccessoryViewController.h"
#include "output/OVEnvironment.h"
#include "platform/appkit/SavePanel.h"
#include "platform/appkit/Window.h"
#include "platform/foundation/StagingItem.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/hvkit/pdf/HVPDFUtilities.h"
#include "platform/hvkit/pdf/NSViewHVPDFAdditions.h"
#include "platform/text/TextStorage.h"
#include "prompter_view/OVPrompterView.h"
#include "text/OVTextView.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using namespace packagetest;

// What qpdf's JSON says of a PDF: pages, outline titles with their pages, the document information
// and the notes.
struct PDFReport {
    int pages = 0;
    std::vector<double> pageHeights;
    std::vector<std::pair<QString, int>> outline;
    QJsonObject info;
    QStringList noteContents;
    QStringList noteSubtypes;
    bool checked = false;
};

QJsonObject objectOf(const QJsonObject& objects, const QString& reference)
{
    const QJsonObject entry = objects.value(QStringLiteral("obj:") + reference).toObject();
    return entry.value(QStringLiteral("value")).toObject();
}

QString textOf(const QJsonValue& value)
{
    QString text = value.toString();
    if (text.startsWith(QStringLiteral("u:")))
        return text.mid(2);
    return text;
}

PDFReport readPDF(const QString& path)
{
    PDFReport report;
    QProcess qpdf;
    qpdf.start(QStringLiteral("qpdf"), {QStringLiteral("--json"), path});
    qpdf.waitForFinished(60000);
    const QJsonObject json = QJsonDocument::fromJson(qpdf.readAllStandardOutput()).object();
    const QJsonArray pages = json.value(QStringLiteral("pages")).toArray();
    report.pages = int(pages.size());
    const QJsonObject objects = json.value(QStringLiteral("qpdf")).toArray().at(1).toObject();
    for (const QJsonValue& page : pages) {
        const QJsonObject pageObject =
            objectOf(objects, page.toObject().value(QStringLiteral("object")).toString());
        const QJsonArray box = pageObject.value(QStringLiteral("/MediaBox")).toArray();
        report.pageHeights.push_back(box.size() == 4 ? box.at(3).toDouble() - box.at(1).toDouble() : 0);
        QJsonValue annots = pageObject.value(QStringLiteral("/Annots"));
        if (annots.isString())
            annots = objects.value(QStringLiteral("obj:") + annots.toString())
                         .toObject()
                         .value(QStringLiteral("value"));
        for (const QJsonValue& annotation : annots.toArray()) {
            const QJsonObject note = objectOf(objects, annotation.toString());
            report.noteSubtypes << note.value(QStringLiteral("/Subtype")).toString();
            report.noteContents << textOf(note.value(QStringLiteral("/Contents")));
        }
    }
    for (const QJsonValue& item : json.value(QStringLiteral("outlines")).toArray()) {
        const QJsonObject outline = item.toObject();
        report.outline.emplace_back(outline.value(QStringLiteral("title")).toString(),
                                    outline.value(QStringLiteral("destpageposfrom1")).toInt());
    }
    const QJsonObject trailer =
        objects.value(QStringLiteral("trailer")).toObject().value(QStringLiteral("value")).toObject();
    report.info = objectOf(objects, trailer.value(QStringLiteral("/Info")).toString());
    QProcess check;
    check.start(QStringLiteral("qpdf"), {QStringLiteral("--check"), path});
    check.waitForFinished(60000);
    report.checked = check.exitStatus() == QProcess::NormalExit && check.exitCode() == 0;
    return report;
}

class PDFExportTest : public apptest::ScriptDocumentsTest {
protected:
    OVDocument& untitled(const AttributedString& text)
    {
        Error error;
        Document* document = scripts->documents.openUntitledDocumentAndDisplay(true, &error);
        EXPECT_NE(document, nullptr);
        apptest::ScriptDocuments::controllerOf(document).setAttributedString(text);
        return *dynamic_cast<OVDocument*>(document);
    }
    static OVDocumentWindowController& controllerOf(OVDocument& document)
    {
        return apptest::ScriptDocuments::controllerOf(&document);
    }
    QString exportPDF(OVDocument& document, const QString& name)
    {
        const QString path = dir.filePath(name);
        Error error;
        EXPECT_TRUE(OVDocumentPDFExport::exportPDFToURL(document, controllerOf(document),
                                                        QUrl::fromLocalFile(path), &error))
            << error.localizedDescription().toStdString();
        return path;
    }
    static QString lines(int from, int count)
    {
        QString text;
        for (int i = from; i < from + count; ++i)
            text += QStringLiteral("Line %1 of the script, long enough to be a line.\n").arg(i);
        return text;
    }
    // "Intro" at the start, "Act 2" in the middle, "Über (3) \" at the end of count lines, and an
    // unnamed bookmark after the last character (nothing follows it to name it).
    static MutableAttributedString fixtureText(int count)
    {
        MutableAttributedString text(lines(0, count));
        text.replaceCharacters(Range{text.length(), 0}, QStringLiteral("The end."));
        insertBookmark(text, text.length(), std::nullopt);
        insertBookmark(text, text.length() - 9, QStringLiteral("Über (3) \\"));
        const qsizetype middle = text.string().indexOf(QStringLiteral("Line %1 ").arg(count / 2));
        insertBookmark(text, middle, QStringLiteral("Act 2"));
        insertBookmark(text, 0, QStringLiteral("Intro"));
        return text;
    }

    apptest::ClockAndScreen scopes;
};

TEST_F(PDFExportTest, APaginatedExportHasTheOutlineTheInformationAndBothNotes)
{
    UserDefaults::shared().setBool(true, OVExportPDFUsingPaginationKey);
    OVDocument& document = untitled(fixtureText(200));
    document.setMetadataInfo(
        {{QStringLiteral("author"), QStringLiteral("Ann Author")},
         {QStringLiteral("subject"), QStringLiteral("The news")},
         {QStringLiteral("keywords"), QStringList{QStringLiteral("news"), QStringLiteral("night")}}});
    const QString path = exportPDF(document, QStringLiteral("paged.pdf"));
    const QString fixture = qEnvironmentVariable("ORVANE_PDF_FIXTURE_OUT");
    if (!fixture.isEmpty()) {
        QFile::remove(fixture);
        QFile::copy(path, fixture);
    }

    const PDFReport report = readPDF(path);
    EXPECT_TRUE(report.checked);
    ASSERT_GE(report.pages, 3);
    for (double height : report.pageHeights)
        EXPECT_DOUBLE_EQ(height, 900.0);
    // In text order, the unnamed one left out: on the first, a middle and the last page.
    ASSERT_EQ(report.outline.size(), 3u);
    EXPECT_EQ(report.outline[0].first, QStringLiteral("Intro"));
    EXPECT_EQ(report.outline[1].first, QStringLiteral("Act 2"));
    EXPECT_EQ(report.outline[2].first, QStringLiteral("Über (3) \\"));
    EXPECT_EQ(report.outline[0].second, 1);
    EXPECT_GT(report.outline[1].second, 1);
    EXPECT_LT(report.outline[1].second, report.pages);
    EXPECT_EQ(report.outline[2].second, report.pages);

    EXPECT_EQ(textOf(report.info.value(QStringLiteral("/Author"))), QStringLiteral("Ann Author"));
    EXPECT_EQ(textOf(report.info.value(QStringLiteral("/Subject"))), QStringLiteral("The news"));
    EXPECT_EQ(textOf(report.info.value(QStringLiteral("/Keywords"))), QStringLiteral("news, night"));
    EXPECT_EQ(textOf(report.info.value(QStringLiteral("/Creator"))),
              OVDocumentPDFExport::combinedAppNameAndVersion());

    ASSERT_EQ(report.noteContents.size(), 2);
    EXPECT_EQ(report.noteSubtypes, (QStringList{QStringLiteral("/Text"), QStringLiteral("/Text")}));
    EXPECT_TRUE(report.noteContents[0].startsWith(QStringLiteral("Prompter Settings:\n\nPrompter Size = ")));
    EXPECT_TRUE(report.noteContents[1].startsWith(QStringLiteral("Line 0 of the script")));
    EXPECT_FALSE(report.noteContents[1].contains(QChar(0xFFFC)));
    // The export never edits the document.
    EXPECT_FALSE(document.isDocumentEdited());
}

TEST_F(PDFExportTest, OneContinuousPageIsAsTallAsTheTextAndAnEmptyScriptStillHasAPage)
{
    OVDocument& document = untitled(AttributedString(lines(0, 100)));
    const PDFReport continuous = readPDF(exportPDF(document, QStringLiteral("continuous.pdf")));
    ASSERT_EQ(continuous.pages, 1);
    EXPECT_GT(continuous.pageHeights[0], 900.0);
    UserDefaults::shared().setBool(true, OVExportPDFUsingPaginationKey);
    EXPECT_GT(readPDF(exportPDF(document, QStringLiteral("paginated.pdf"))).pages, 1);
    UserDefaults::shared().setBool(false, OVExportPDFUsingPaginationKey);
    EXPECT_TRUE(continuous.checked);

    OVDocument& empty = untitled(AttributedString());
    const PDFReport nothing = readPDF(exportPDF(empty, QStringLiteral("empty.pdf")));
    ASSERT_EQ(nothing.pages, 1);
    EXPECT_DOUBLE_EQ(nothing.pageHeights[0], 900.0);
    EXPECT_TRUE(nothing.checked);
    // Only the settings note: there is no text to note.
    EXPECT_EQ(nothing.noteContents.size(), 1);
    EXPECT_TRUE(nothing.outline.empty());
}

TEST_F(PDFExportTest, AContinuousPageBeyondWhatViewersAcceptIsScaledWithAUserUnit)
{
    OVDocument& document = untitled(AttributedString(lines(0, 1200)));
    const QString path = exportPDF(document, QStringLiteral("tall.pdf"));
    const PDFReport report = readPDF(path);
    ASSERT_EQ(report.pages, 1);
    EXPECT_LE(report.pageHeights[0], NSViewHVPDFAdditions::kMaximumPageUnits);
    EXPECT_TRUE(report.checked);
    QProcess json;
    json.start(QStringLiteral("qpdf"), {QStringLiteral("--json"), QStringLiteral("--json-key=qpdf"), path});
    json.waitForFinished(60000);
    EXPECT_TRUE(json.readAllStandardOutput().contains("/UserUnit"));
}

TEST_F(PDFExportTest, TheSettingsNoteNamesTheArrowSizeAndLeavesTheTextScaleOut)
{
    OVDocument& document = untitled(AttributedString(QStringLiteral("Hello")));
    UserDefaults& defaults = UserDefaults::shared();
    defaults.setBool(true, QStringLiteral("enableTalentContentAdjustments"));
    auto note = [&](bool arrow, std::optional<qint64> size) {
        defaults.setBool(arrow, QStringLiteral("useFocusArrow"));
        PlistDictionary settings;
        if (size)
            settings.insert(QStringLiteral("arrowSize"), *size);
        defaults.setObject(settings, QStringLiteral("focusArrowSettings"));
        std::optional<QString> text;
        OVEnvironment::createTemporaryPromptModeEnvironmentWithPrompterContent(
            controllerOf(document).documentPrompterView(), Size{800, 600},
            [&](Window&, OVPrompterView& view) {
                text = OVDocumentPDFExport::prompterExportConfigurationForPrompterView(view, false);
            });
        return text.value_or(QString());
    };
    const QString medium = note(true, 2);
    EXPECT_TRUE(medium.startsWith(QStringLiteral("Prompter Settings:\n\nPrompter Size = 800 \u00D7 600\n")));
    EXPECT_TRUE(medium.contains(QStringLiteral("\nFocus Arrow Size = Medium\n")));
    EXPECT_TRUE(medium.contains(QStringLiteral("\nMargin Width = ")));
    EXPECT_FALSE(medium.contains(QStringLiteral("Text Scale")));
    EXPECT_TRUE(note(true, 7).contains(QStringLiteral("Focus Arrow Size = Unknown")));
    EXPECT_TRUE(note(true, -1).contains(QStringLiteral("Focus Arrow Size = Unknown")));
    EXPECT_TRUE(note(false, 2).contains(QStringLiteral("Focus Arrow = Off")));
    EXPECT_TRUE(note(true, std::nullopt).contains(QStringLiteral("Focus Arrow = Off")));
}

TEST_F(PDFExportTest, KeywordsAreTakenAsAStringAnArrayOrNotAtAll)
{
    using E = OVDocumentPDFExport;
    EXPECT_EQ(E::metadataForMetadataInfo({{QStringLiteral("keywords"), QStringLiteral("news")}}).keywords,
              QStringList{QStringLiteral("news")});
    EXPECT_EQ(E::metadataForMetadataInfo({{QStringLiteral("keywords"), QStringList{"a", "b"}}}).keywords,
              (QStringList{QStringLiteral("a"), QStringLiteral("b")}));
    EXPECT_TRUE(E::metadataForMetadataInfo({{QStringLiteral("keywords"), QVariant()}}).keywords.isEmpty());
    const HVPDFMetadata none =
        E::metadataForMetadataInfo({{QStringLiteral("author"), QString()}, {QStringLiteral("subject"), 12}});
    EXPECT_TRUE(none.author.isEmpty());
    EXPECT_TRUE(none.subject.isEmpty());
    EXPECT_EQ(none.creatingApplication, E::combinedAppNameAndVersion());
}

TEST_F(PDFExportTest, TheSavePanelWritesThePDFAndAFailedWriteIsShownNotSwallowed)
{
    OVDocument& document = untitled(AttributedString(QStringLiteral("Hello")));
    const QString path = dir.filePath(QStringLiteral("chosen"));
    QString title;
    std::vector<SavePanel::FileType> types;
    {
        SavePanelAnswererScope scope([&](SavePanel& panel) {
            title = panel.title();
            types = panel.fileTypes();
            EXPECT_NE(panel.accessoryView(), nullptr);
            panel.chooseURL(QUrl::fromLocalFile(path));
            return SavePanel::kModalResponseOK;
        });
        ASSERT_TRUE(controllerOf(document).tryToPerform(QStringLiteral("exportAsPDF:"), {}));
    }
    EXPECT_EQ(title, QStringLiteral("Export as PDF"));
    ASSERT_EQ(types.size(), 1u);
    EXPECT_EQ(types[0].identifier, QStringLiteral("com.adobe.pdf"));
    EXPECT_EQ(readPDF(path + QStringLiteral(".pdf")).pages, 1);

    Error error;
    EXPECT_FALSE(OVDocumentPDFExport::exportPDFToURL(
        document, controllerOf(document), QUrl::fromLocalFile(dir.filePath(QStringLiteral("no/such/x.pdf"))),
        &error));
    EXPECT_FALSE(error.isNull());
    const Error failed = OVDocumentPDFExport::failedExportError();
    EXPECT_EQ(failed.code(), -100);
    EXPECT_EQ(failed.localizedDescription(), QStringLiteral("Could not export the PDF."));
    EXPECT_EQ(failed.localizedFailureReason(), QStringLiteral("Failed to generate file data."));
}

TEST_F(PDFExportTest, AnExportEndedMidWayOrRefusedByItsFolderLeavesTheOldPDFWholeAndNothingBesideIt)
{
    OVDocument& document = untitled(AttributedString(lines(0, 40)));
    const QString folder = dir.filePath(QStringLiteral("Exports"));
    ASSERT_TRUE(QDir().mkpath(folder));
    const QString target = exportPDF(document, QStringLiteral("Exports/Script.pdf"));
    const auto readAll = [&] {
        QFile in(target);
        return in.open(QIODevice::ReadOnly) ? in.readAll() : QByteArray();
    };
    const auto entries = [&] {
        return QDir(folder)
            .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot)
            .join(u' ')
            .toStdString();
    };
    const QByteArray old = readAll();
    ASSERT_TRUE(old.startsWith("%PDF"));
    // Exports again in a child process, as the given user, ended (as a kill ends it, with no clean-up)
    // when the pages are written and about to replace the file; answers the child's exit status.
    const auto exportInChild = [&](bool endBeforeRename, uid_t user) {
        const pid_t child = ::fork();
        if (child == 0) {
            if (user != ::geteuid() &&
                (::setgroups(0, nullptr) != 0 || ::setgid(user) != 0 || ::setuid(user) != 0))
                ::_exit(90);
            if (endBeforeRename)
                StagingItem::setProgressProbe([] { ::_exit(91); });
            apptest::ScriptDocuments::controllerOf(&document).setAttributedString(
                AttributedString(lines(50, 90)));
            Error error;
            const bool saved = OVDocumentPDFExport::exportPDFToURL(document, controllerOf(document),
                                                                   QUrl::fromLocalFile(target), &error);
            const bool told = error.localizedDescription() == QStringLiteral("Could not export the PDF.") &&
                              error.localizedFailureReason().contains(QStringLiteral("Exports"));
            ::_exit(saved ? 0 : told ? 92 : 93);
        }
        int status = 0;
        ::waitpid(child, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    };
    EXPECT_EQ(exportInChild(true, ::geteuid()), 91);
    EXPECT_EQ(readAll(), old);
    EXPECT_EQ(entries(), "Script.pdf");

    // Root writes anywhere: the refused export then runs as nobody, in a folder of nobody's.
    constexpr uid_t kNobody = 65534;
    const uid_t user = ::geteuid() == 0 ? kNobody : ::geteuid();
    if (user != ::geteuid()) {
        ASSERT_EQ(::chown(QFile::encodeName(folder).constData(), user, user), 0);
        ASSERT_EQ(::chown(QFile::encodeName(target).constData(), user, user), 0);
        QFile::setPermissions(dir.path(), QFile::permissions(dir.path()) | QFile::ExeOther);
    }
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner | QFile::ReadOther | QFile::ExeOther);
    EXPECT_EQ(exportInChild(false, user), 92);
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    EXPECT_EQ(readAll(), old);
    EXPECT_EQ(entries(), "Script.pdf");
}

TEST_F(PDFExportTest, DataThatIsNotAPDFGivesNothing)
{
    HVPDFPaginatedData data;
    data.data = QByteArray("%PDF-1.4\nnot really");
    data.pages.push_back(HVPDFPage{0, 10, Size{10, 10}, 1});
    EXPECT_FALSE(HVPDFUtilities::enhancePDFData(data, {}, {}, {}));
    data.data = QByteArray(100, '\0');
    EXPECT_FALSE(HVPDFUtilities::enhancePDFData(data, {}, {}, {}));
}

} // namespace
