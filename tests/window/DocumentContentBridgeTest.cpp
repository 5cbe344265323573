// What the document window hands its document and takes back from it: selection, scroll position,
// window frame and background round trips, loading that leaves no undo step, the copies a save and a
// print get, and files whose prompter state is hostile.
#include "tests/document/PackageTestSupport.h"
#include "tests/support/AppTestSupport.h"
#include "tests/support/HostilePackages.h"
#include "tests/support/LogCapture.h"
#include "window/OVDocumentPrompterView.h"
#include "window/OVDocumentWindowController.h"

#include "document/OVDocumentPackageConstants.h"
#include "platform/appkit/ClipView.h"
#include "platform/appkit/Screen.h"
#include "platform/appkit/ScrollView.h"
#include "platform/appkit/UndoManager.h"
#include "platform/appkit/Window.h"
#include "platform/foundation/GeometryStrings.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/text/TextStorage.h"
#include "settings/OVSharedPreferencesAccess.h"
#include "text/NSAttributedStringOVBookmarkAdditions.h"
#include "text/OVTextView.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>

namespace {

using namespace packagetest;

class DocumentContentBridgeTest : public apptest::ScriptDocumentsTest {
protected:
    OVDocumentWindowController& untitled()
    {
        Error error;
        Document* document = scripts->documents.openUntitledDocumentAndDisplay(true, &error);
        EXPECT_NE(document, nullptr);
        return apptest::ScriptDocuments::controllerOf(document);
    }
    Document* open(const QString& path)
    {
        Error error;
        Document* document =
            scripts->documents.openDocumentWithContentsOfURL(QUrl::fromLocalFile(path), true, &error);
        EXPECT_NE(document, nullptr) << error.localizedDescription().toStdString();
        return document;
    }
    static QString lines(int count)
    {
        QString text;
        for (int i = 0; i < count; ++i)
            text += QStringLiteral("Line %1 of a script long enough to scroll.\n").arg(i);
        return text;
    }
    static double scrollY(OVDocumentWindowController& controller)
    {
        return controller.documentPrompterView()->scrollView()->contentView()->bounds().origin.y;
    }

    apptest::ClockAndScreen scopes;
};

TEST_F(DocumentContentBridgeTest, SelectionsSaveInTheUnifiedTextAndRangesOutsideTheTextAreDropped)
{
    OVDocumentWindowController& controller = untitled();
    controller.setAttributedString(AttributedString(QStringLiteral("ab\r\ncd")));
    controller.textView()->setSelectedRange({4, 2});
    EXPECT_EQ(controller.selectedRangesStringArray(), QStringList{QStringLiteral("{3, 2}")});

    controller.setAttributedString(AttributedString(QString(100, u'x')));
    LogCapture log;
    controller.setSelectedRangesStringArray({QStringLiteral("{1, 2}"), QStringLiteral("{500, 10}"),
                                             // Location plus length wraps in 64 bits.
                                             QStringLiteral("{9223372036854775807, 9223372036854775807}"),
                                             QStringLiteral("{50, 9223372036854775800}")});
    EXPECT_EQ(controller.textView()->selectedRanges(), (std::vector<Range>{Range{1, 2}}));
    EXPECT_TRUE(log.contains(QStringLiteral("range {500, 10} is not within document range {0, 100}")));
    EXPECT_EQ(log.lines().size(), 3);

    controller.setSelectedRangesStringArray({QStringLiteral("{500, 10}")});
    EXPECT_EQ(controller.textView()->selectedRanges(), (std::vector<Range>{Range{0, 0}}));
    controller.setSelectedRangesStringArray({QStringLiteral("{10, 5}"), QStringLiteral("{40, 2}")});
    EXPECT_EQ(controller.selectedRangesStringArray(),
              (QStringList{QStringLiteral("{10, 5}"), QStringLiteral("{40, 2}")}));
}

TEST_F(DocumentContentBridgeTest, TheScrollRatioRunsFromTopToBottomAndIsClamped)
{
    OVDocumentWindowController& controller = untitled();
    controller.setAttributedString(AttributedString(lines(300)));
    controller.setPrompterPositionRatio(0);
    const double top = scrollY(controller);
    EXPECT_EQ(*controller.prompterPositionRatioNumber(), 0.0);
    controller.setPrompterPositionRatio(1);
    EXPECT_NEAR(*controller.prompterPositionRatioNumber(), 1.0, 1e-9);
    const double bottom = scrollY(controller);
    EXPECT_GT(bottom, top + 1000);
    controller.setPrompterPositionRatio(0.5);
    EXPECT_NEAR(*controller.prompterPositionRatioNumber(), 0.5, 0.01);
    controller.setPrompterPositionRatio(1.7);
    EXPECT_EQ(scrollY(controller), bottom);
    controller.setPrompterPositionRatio(-0.3);
    EXPECT_EQ(scrollY(controller), top);
    controller.setPrompterPositionRatio(0.5);
    controller.setPrompterPositionRatio(std::nan(""));
    EXPECT_EQ(scrollY(controller), top);

    // A text shorter than the view has nowhere to go: any ratio shows it from the top.
    controller.setAttributedString(AttributedString(QStringLiteral("Short")));
    controller.setPrompterPositionRatio(1);
    EXPECT_EQ(scrollY(controller), top);
    EXPECT_EQ(*controller.prompterPositionRatioNumber(), 0.0);
}

TEST_F(DocumentContentBridgeTest, WindowFramesKeepWithinTheWindowsLimitsAndOnAScreen)
{
    OVDocumentWindowController& controller = untitled();
    Window* window = controller.window();
    window->setMinSize({300, 200});
    window->setMaxSize({1000, 700});

    controller.setWindowFrame(Rect{{100, 120}, {100, 50}});
    EXPECT_EQ(window->frame().size, (Size{300, 200}));
    EXPECT_EQ(window->frame().origin, (Point{100, 120}));
    EXPECT_EQ(rectFromString(*controller.windowFrameString()), window->frame());
    controller.setWindowFrame(Rect{{100, 20}, {5000, 5000}});
    EXPECT_EQ(window->frame().size, (Size{1000, 700}));

    // Saved on a display that is gone: the size is kept, the place is the primary screen.
    controller.setWindowFrame(Rect{{-90000, 80000}, {500, 400}});
    EXPECT_EQ(window->frame().size, (Size{500, 400}));
    EXPECT_TRUE(Screen::screenForRect(window->frame()));
}

TEST_F(DocumentContentBridgeTest, TheBackgroundColourComesBackAsItWasSet)
{
    OVDocumentWindowController& controller = untitled();
    const Color blue = Color::rgb(0.2, 0.4, 0.6);
    controller.setBackgroundColor(blue);
    EXPECT_EQ(controller.backgroundColor(), blue);
    controller.setBackgroundColor(Color::gray(0.5));
    EXPECT_EQ(controller.backgroundColor(), Color::gray(0.5));
    // Changed by the editor afterwards, the saved colour is the one the page shows.
    controller.textView()->setBackgroundColor(Qt::red);
    EXPECT_EQ(controller.backgroundColor(), Color::rgb(1, 0, 0));
    EXPECT_EQ(controller.styleSimplifiedBackgroundColor(), Color::rgb(1, 1, 1));
}

TEST_F(DocumentContentBridgeTest, AnOpenedFileIsCommittedWhole)
{
    const QString path = dir.filePath(QStringLiteral("Saved.ovdocument"));
    PlistDictionary properties = minimalProperties();
    properties.insert(OVDocumentPrompterSelectedRangesKey, PlistArray{PlistValue(QStringLiteral("{5, 4}"))});
    properties.insert(OVDocumentPrompterSpeedKey, 3.5);
    properties.insert(OVDocumentPrompterScrollbarPositionKey, 1.0);
    properties.insert(OVDocumentWindowFrameKey, QStringLiteral("{{40, 60}, {640, 480}}"));
    ASSERT_TRUE(writeRawPackage(path, AttributedString(lines(200)), xml(properties)));

    Document* document = open(path);
    OVDocumentWindowController& controller = apptest::ScriptDocuments::controllerOf(document);
    EXPECT_EQ(controller.textView()->selectedRanges(), (std::vector<Range>{Range{5, 4}}));
    EXPECT_EQ(controller.prompterSpeed(), 3.5);
    EXPECT_EQ(controller.window()->frame(), (Rect{{40, 60}, {640, 480}}));
    EXPECT_NEAR(*controller.prompterPositionRatioNumber(), 1.0, 1e-9);
    // Loading is not an edit: nothing to undo, nothing to save.
    EXPECT_FALSE(document->undoManager()->canUndo());
    EXPECT_FALSE(document->isDocumentEdited());
    controller.textView()->insertText(QStringLiteral("x"));
    EXPECT_TRUE(document->undoManager()->canUndo());
}

TEST_F(DocumentContentBridgeTest, HostilePrompterStateOpensWithoutHarm)
{
    UserDefaults::shared().setDouble(2.5, QStringLiteral("defaultSpeed"));
    const QString path = hostiletest::rawPackage(
        QDir(dir.path()), QStringLiteral("Hostile"),
        "{\\rtf1\\ansi{\\fonttbl\\f0 Helvetica;}\\f0 Hello world}",
        hostiletest::plist("<key>fileFormatNumber</key><integer>5</integer>"
                           "<key>selectedRanges</key><array>"
                           "<string>{9223372036854775807, 9223372036854775807}</string>"
                           "<string>{-5, 3}</string><string>{3, 99999999999999999999999}</string></array>"
                           "<key>speed</key><real>nan</real>"
                           "<key>scrollbarPosition</key><real>inf</real>"
                           "<key>windowFrame</key><string>{{-1e300, 1e300}, {1e300, 1e300}}</string>"));
    Document* document = open(path);
    ASSERT_NE(document, nullptr);
    OVDocumentWindowController& controller = apptest::ScriptDocuments::controllerOf(document);
    EXPECT_EQ(controller.textView()->string(), QStringLiteral("Hello world"));
    EXPECT_EQ(controller.textView()->selectedRanges(), (std::vector<Range>{Range{0, 0}}));
    EXPECT_EQ(controller.prompterSpeed(), 2.5);
    EXPECT_EQ(*controller.prompterPositionRatioNumber(), 0.0);
    // Neither far away nor larger than the screen it opens on.
    EXPECT_EQ(controller.window()->frame(), Screen::primaryScreen()->visibleFrame());
}

TEST_F(DocumentContentBridgeTest, SavingThenOpeningKeepsTrailingNewlinesAndImportedOnesGoWhole)
{
    OVDocumentWindowController& controller = untitled();
    controller.setAttributedString(AttributedString(QStringLiteral("Closing words\n\n")));
    const QString path = dir.filePath(QStringLiteral("Blank lines.ovdocument"));
    Error error;
    ASSERT_TRUE(controller.document()->saveToURL(QUrl::fromLocalFile(path), OVDocumentUTI,
                                                 Document::SaveOperation::SaveAs, &error));
    controller.document()->close();
    EXPECT_EQ(apptest::ScriptDocuments::controllerOf(open(path)).textView()->string(),
              QStringLiteral("Closing words\n\n"));

    OVDocumentWindowController& imported = untitled();
    imported.setAttributedString(AttributedString(QStringLiteral("Hello\r\n")));
    imported.removeUnnecessaryNewlineAtEnd();
    EXPECT_EQ(imported.textView()->string(), QStringLiteral("Hello"));
    imported.setAttributedString(AttributedString(QStringLiteral("Hi\n")));
    imported.removeUnnecessaryNewlineAtEnd();
    EXPECT_EQ(imported.textView()->string(), QStringLiteral("Hi"));
}

TEST_F(DocumentContentBridgeTest, CommittingEmptyOrPaddedText)
{
    OVDocumentWindowController& controller = untitled();
    controller.setAttributedString(AttributedString(QStringLiteral("Something")));
    controller.setAttributedString(AttributedString());
    EXPECT_EQ(controller.textView()->string(), QString());
    EXPECT_EQ(controller.textView()->typingAttributes(),
              OVSharedPreferencesAccess::defaultStyleAttributes().value_or(AttributeDictionary()));

    UserDefaults::shared().setBool(true, QStringLiteral("alwaysUseAutomaticWhitespacePadding"));
    controller.setAttributedString(AttributedString(QStringLiteral(" \n\t \n")));
    EXPECT_EQ(controller.textView()->string(), QString());
    controller.setAttributedString(AttributedString(QStringLiteral("\n  Hello\n")));
    EXPECT_EQ(controller.textView()->string(), QStringLiteral("Hello"));
}

TEST_F(DocumentContentBridgeTest, EachStorageIsANewCopyWithBookmarksOfItsOwn)
{
    OVDocumentWindowController& controller = untitled();
    MutableAttributedString text(QStringLiteral("ab\r\ncd"));
    insertBookmark(text, 2, QStringLiteral("Cue"));
    controller.setAttributedString(text);
    const TextStorage& editor = controller.textView()->textStorage();
    const auto editorAttachment = editor.attribute(kAttachmentAttributeName, 2).attachment();

    std::unique_ptr<MutableAttributedString> exported = controller.exportableTextStorage();
    EXPECT_EQ(exported->string(), QStringLiteral("ab") + kMark + QStringLiteral("\ncd"));
    EXPECT_NE(exported->attribute(kAttachmentAttributeName, 2).attachment(), editorAttachment);
    EXPECT_EQ(bookmarksOf(*exported),
              (std::vector<std::pair<qsizetype, QString>>{{2, QStringLiteral("Cue")}}));
    exported->deleteCharacters({0, exported->length()});
    EXPECT_EQ(editor.length(), 7);
    EXPECT_NE(controller.exportableTextStorage().get(), controller.exportableTextStorage().get());
    // The core copy keeps the editor's line endings; the others end lines in LF.
    EXPECT_EQ(controller.coreTextViewTextStorage()->length(), 7);
    EXPECT_EQ(controller.textViewTextStorage()->length(), 6);
}

TEST_F(DocumentContentBridgeTest, TheSelectionBecomesTheDefaultStyleOnlyWhenThereIsOne)
{
    OVDocumentWindowController& controller = untitled();
    Font big;
    big.familyName = big.fontName = QStringLiteral("Helvetica");
    big.pointSize = 61;
    controller.setAttributedString(
        AttributedString(QStringLiteral("Styled"), {{kFontAttributeName, big},
                                                    {kForegroundColorAttributeName, Color::rgb(1, 1, 1)},
                                                    {kParagraphStyleAttributeName, ParagraphStyle{}}}));
    const QByteArray before = UserDefaults::shared().dataForKey(kDefaultDocumentStyleKey);
    controller.textView()->setSelectedRange({2, 0});
    ASSERT_TRUE(controller.tryToPerform(QStringLiteral("setSelectionAsDefaultStyle:"), {}));
    EXPECT_EQ(UserDefaults::shared().dataForKey(kDefaultDocumentStyleKey), before);

    controller.textView()->setSelectedRange({0, 6});
    ASSERT_TRUE(controller.tryToPerform(QStringLiteral("setSelectionAsDefaultStyle:"), {}));
    const auto style = OVSharedPreferencesAccess::defaultStyleAttributes();
    ASSERT_TRUE(style);
    ASSERT_TRUE(style->value(kFontAttributeName).font());
    EXPECT_EQ(style->value(kFontAttributeName).font()->pointSize, 61);
}

TEST_F(DocumentContentBridgeTest, ThePrintableViewShowsTheScriptAsPromptedWithoutBookmarks)
{
    UserDefaults::shared().setBool(true, QStringLiteral("enableTalentContentAdjustments"));
    UserDefaults::shared().setBool(true, QStringLiteral("contentInvertTextAndBackgroundColor"));
    OVDocumentWindowController& controller = untitled();
    MutableAttributedString text(QStringLiteral("Opening line\nClosing line"));
    insertBookmark(text, 5, QStringLiteral("Cue"));
    controller.setAttributedString(text);
    controller.setBackgroundColor(Color::rgb(1, 1, 1));

    std::unique_ptr<OVTextView> printable = controller.printableTextView();
    ASSERT_NE(printable, nullptr);
    EXPECT_EQ(printable->string(), QStringLiteral("Opening line\nClosing line"));
    EXPECT_FALSE(NSAttributedStringOVBookmarkAdditions::bookmarkCharacterRanges(printable->textStorage()));
    // The prompter's page, inverted for the output, not the editor's.
    EXPECT_EQ(printable->backgroundColor(), QColor(Qt::black));
    EXPECT_EQ(controller.textView()->backgroundColor(), QColor(Qt::white));
    EXPECT_EQ(controller.textView()->string().size(), 26);
}

} // namespace
