// The document window's editor actions: marking with its flash, unmarking and its confirmation,
// mark navigation, the bookmark control and attachment clicks, inserting pictures, removing
// underline colours, and the ruler across a change of mode.
#include "platform/appkit/Alert.h"
#include "platform/appkit/Application.h"
#include "platform/appkit/MenuItem.h"
#include "platform/appkit/OpenPanel.h"
#include "platform/appkit/RunLoop.h"
#include "platform/appkit/ScrollView.h"
#include "platform/appkit/UndoManager.h"
#include "platform/appkit/Window.h"
#include "platform/foundation/FileWrapper.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/text/AttributeNames.h"
#include "platform/text/TextAttachment.h"
#include "tests/support/AppTestSupport.h"
#include "text/OVBookmark.h"
#include "text/OVBookmarkController.h"
#include "text/OVTextView.h"
#include "window/OVDocumentPrompterView.h"
#include "window/OVDocumentWindowController.h"
#include "window/OVDocumentWindowToolbar.h"
#include "window/OVFlashWindow.h"
#include "window/OVInsertImagesAccessoryView.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <QToolBar>
#include <QToolButton>

#include <gtest/gtest.h>

namespace {

const QChar kAttachment(0xFFFC);
const QString kSuppress = QStringLiteral("suppressConfirmationForUnmark");
const QString kUseFlash = QStringLiteral("markedTextUseFlash");

AttributedString bookmarkString(const QString& name)
{
    return AttributedString(
        QString(kAttachment),
        {{kAttachmentAttributeName, AttributeValue(OVBookmark::bookmarkWithName(name)->textAttachment())}});
}

AttributedString pictureString(const QString& name)
{
    auto wrapper = FileWrapper::makeRegularFile("png");
    wrapper->setPreferredFilename(name);
    return AttributedString(
        QString(kAttachment),
        {{kAttachmentAttributeName, AttributeValue(std::make_shared<TextAttachment>(wrapper))}});
}

class EditorActionsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        UserDefaults::shared().resetUserValues();
        OVDocumentWindowController::setModifierFlagsProvider([this] { return modifierFlags; });
        OVDocumentWindowController::setBeepHandler([this] { ++beeps; });
        OVBookmarkController::Host host;
        host.runNameSheet = [this](TextView&, std::shared_ptr<OVBookmark> original,
                                   OVBookmarkController::Host::NameSheetDone) {
            editedBookmarks.push_back(original);
        };
        host.beep = [this] { ++beeps; };
        OVBookmarkController::setHost(host);
        core = std::make_unique<OVCore>();
        controller = std::make_unique<OVDocumentWindowController>(core.get());
        controller->window();
        text = dynamic_cast<OVTextView*>(controller->textView());
        ASSERT_NE(text, nullptr);
        text->setDrawsMarkedText(true);
        OVBookmarkController::sharedBookmarkController().setTextView(text);
    }
    void TearDown() override
    {
        OVBookmarkController::sharedBookmarkController().setTextView(nullptr);
        OVBookmarkController::setHost({});
        OVDocumentWindowController::setBeepHandler({});
        OVDocumentWindowController::setModifierFlagsProvider({});
        Application::shared().setMainWindow(nullptr);
        controller.reset();
        core.reset();
        UserDefaults::shared().resetUserValues();
    }

    void setText(const AttributedString& string)
    {
        text->textStorage().setAttributedString(string);
        text->undoManager()->removeAllActions();
        // The bookmark counts settle once the edits do.
        RunLoop::main().advanceManualClock(scopes.clock, 0.5);
    }
    void act(const QString& action, const QVariant& sender = {})
    {
        ASSERT_TRUE(controller->tryToPerform(action, sender)) << action.toStdString();
    }
    std::vector<Range> marks() const
    {
        std::vector<Range> found;
        text->layoutManager()->enumerateTemporaryAttribute(
            OVMarkedTextAttributeName, {0, text->textStorage().length()}, false,
            [&](const AttributeValue& value, const Range& run, bool&) {
                if (!value.isNull())
                    found.push_back(run);
            });
        return found;
    }

    apptest::ClockAndScreen scopes;
    std::unique_ptr<OVCore> core;
    std::unique_ptr<OVDocumentWindowController> controller;
    OVTextView* text = nullptr;
    unsigned long modifierFlags = 0;
    int beeps = 0;
    std::vector<std::shared_ptr<OVBookmark>> editedBookmarks;
};

// Answers every alert with code, ticking the suppression box when asked; remembers the titles.
struct AlertAnswers {
    explicit AlertAnswers(int code, bool tick = false)
        : scope([this, code, tick](Alert& alert) {
              titles.append(alert.messageText());
              suppressionShown = alert.showsSuppressionButton();
              alert.setSuppressionButtonState(tick);
              return code;
          })
    {
    }
    QStringList titles;
    bool suppressionShown = false;
    AlertPresenterScope scope;
};

TEST_F(EditorActionsTest, OneMarkedStretchIsUnmarkedWithoutAQuestionAndSeparateOnesAskFirst)
{
    setText(AttributedString(QStringLiteral("alpha beta gamma delta epsilon")));
    text->markTextInRanges({{0, 5}, {11, 5}, {23, 7}});
    {
        AlertAnswers answers(Alert::kFirstButtonReturn);
        // A caret inside a mark, and a selection over one stretch: no question.
        text->setSelectedRange({2, 0});
        act(QStringLiteral("unmarkSelection:"));
        text->setSelectedRange({9, 9});
        act(QStringLiteral("unmarkSelection:"));
        EXPECT_TRUE(answers.titles.isEmpty());
        EXPECT_EQ(marks(), (std::vector<Range>{{23, 7}}));
    }
    text->markTextInRanges({{0, 5}, {11, 5}});
    text->setSelectedRange({0, 16});
    {
        // Declining changes nothing, and a ticked box is not kept.
        AlertAnswers answers(Alert::kSecondButtonReturn, true);
        act(QStringLiteral("unmarkSelection:"));
        EXPECT_EQ(answers.titles, QStringList{OVDocumentWindowController::localizedUnmarkSelectionTitle()});
        EXPECT_TRUE(answers.suppressionShown);
        EXPECT_EQ(marks().size(), 3u);
        EXPECT_FALSE(UserDefaults::shared().boolForKey(kSuppress));
    }
    {
        AlertAnswers answers(Alert::kFirstButtonReturn);
        act(QStringLiteral("unmarkSelection:"));
        EXPECT_EQ(answers.titles.size(), 1);
        EXPECT_EQ(marks(), (std::vector<Range>{{23, 7}}));
        EXPECT_FALSE(UserDefaults::shared().boolForKey(kSuppress));
    }
}

TEST_F(EditorActionsTest, TouchingStretchesAreOneMarkAndTheWholeTextAsksToUnmarkAll)
{
    setText(AttributedString(QStringLiteral("alpha beta gamma")));
    text->markTextInRanges({{0, 3}, {3, 4}});
    text->setSelectedRange({1, 5});
    {
        AlertAnswers answers(Alert::kFirstButtonReturn);
        act(QStringLiteral("unmarkSelection:"));
        EXPECT_TRUE(answers.titles.isEmpty());
        EXPECT_TRUE(marks().empty());
    }
    text->markTextInRange({0, 3});
    text->selectAll();
    AlertAnswers answers(Alert::kSecondButtonReturn);
    act(QStringLiteral("unmarkSelection:"));
    act(QStringLiteral("unmarkAll:"));
    EXPECT_EQ(answers.titles, QStringList({OVDocumentWindowController::localizedUnmarkAllTitle(),
                                           OVDocumentWindowController::localizedUnmarkAllTitle()}));
    EXPECT_EQ(marks().size(), 1u);
}

TEST_F(EditorActionsTest, ConfirmingWithTheBoxTickedStopsTheQuestionsForGood)
{
    setText(AttributedString(QStringLiteral("alpha beta gamma")));
    text->markTextInRanges({{0, 5}, {11, 5}});
    {
        AlertAnswers answers(Alert::kFirstButtonReturn, true);
        act(QStringLiteral("unmarkAll:"));
        EXPECT_EQ(answers.titles.size(), 1);
        EXPECT_TRUE(marks().empty());
        EXPECT_TRUE(UserDefaults::shared().boolForKey(kSuppress));
    }
    text->markTextInRanges({{0, 5}, {11, 5}});
    AlertAnswers answers(Alert::kSecondButtonReturn);
    text->setSelectedRange({0, 16});
    act(QStringLiteral("unmarkSelection:"));
    EXPECT_TRUE(answers.titles.isEmpty());
    EXPECT_TRUE(marks().empty());
}

TEST_F(EditorActionsTest, UnmarkingNeedsAnEditableViewThatShowsItsMarks)
{
    setText(AttributedString(QStringLiteral("alpha")));
    const UserInterfaceItem unmark{QStringLiteral("unmarkAll:"), 0, true};
    EXPECT_TRUE(controller->validateUserInterfaceItem(unmark));
    act(QStringLiteral("toggleMarkedTextVisible:"));
    EXPECT_FALSE(text->drawsMarkedText());
    EXPECT_FALSE(controller->validateUserInterfaceItem(unmark));
    EXPECT_FALSE(controller->validateUserInterfaceItem({QStringLiteral("markNavigateNext:"), 0, true}));
    act(QStringLiteral("toggleMarkedTextVisible:"));
    text->setEditable(false);
    EXPECT_FALSE(controller->validateUserInterfaceItem(unmark));
    EXPECT_TRUE(controller->validateUserInterfaceItem({QStringLiteral("markNavigateNext:"), 0, true}));
}

TEST_F(EditorActionsTest, MarkingFlashesOneReusedOverlayThatGoesWithEditMode)
{
    setText(AttributedString(QStringLiteral("Line one\nLine two\nLine three")));
    UserDefaults::shared().setBool(false, kUseFlash);
    act(QStringLiteral("markText:"));
    EXPECT_EQ(controller->flashWindow(), nullptr);
    EXPECT_EQ(marks(), (std::vector<Range>{{0, text->textStorage().length()}}));

    UserDefaults::shared().setBool(true, kUseFlash);
    text->unmarkTextInRange({0, 0});
    text->setBackgroundColor(QColor(20, 30, 40));
    act(QStringLiteral("markText:"));
    OVFlashWindow* flash = controller->flashWindow();
    ASSERT_NE(flash, nullptr);
    EXPECT_EQ(flash->superview(), controller->documentPrompterView());
    EXPECT_EQ(flash->flashColor(), QColor(20, 30, 40));
    EXPECT_DOUBLE_EQ(flash->alphaValue(), OVDocumentWindowController::kMarkFlashIntensity);
    EXPECT_EQ(flash->hitTest(flash->frame().origin), nullptr);
    const ScrollView* scroll = controller->documentPrompterView()->scrollView();
    EXPECT_EQ(flash->frame(),
              scroll->convertRectToView(scroll->bounds(), controller->documentPrompterView()));

    // The fade ends and the overlay leaves the window; the next mark brings the same one back.
    RunLoop::main().advanceManualClock(scopes.clock, OVFlashWindow::kDefaultDuration + 0.01);
    EXPECT_EQ(flash->superview(), nullptr);
    EXPECT_EQ(controller->flashWindow(), flash);
    act(QStringLiteral("markText:"));
    EXPECT_EQ(controller->flashWindow(), flash);
    EXPECT_EQ(flash->superview(), controller->documentPrompterView());

    controller->coreModeWillChange(OVCore::kModeEdit);
    EXPECT_EQ(controller->flashWindow(), nullptr);
    for (const auto& subview : controller->documentPrompterView()->subviews())
        EXPECT_EQ(dynamic_cast<OVFlashWindow*>(subview.get()), nullptr);
    RunLoop::main().advanceManualClock(scopes.clock, 1);
}

TEST_F(EditorActionsTest, AStaleMenuRangeOrBookmarkIndexBeepsAndDoesNothing)
{
    MutableAttributedString script(QStringLiteral("ab"));
    script.append(bookmarkString(QStringLiteral("Intro")));
    script.append(QStringLiteral(" first line\nsecond line"), {});
    setText(script);
    text->markTextInRange({15, 6});
    text->setSelectedRange({0, 0});

    MenuItem mark(QStringLiteral("second"), QStringLiteral("markNavigateSpecific:"));
    mark.setRepresentedObject(QVariantList{40, 6});
    act(QStringLiteral("markNavigateSpecific:"), QVariant::fromValue(&mark));
    EXPECT_EQ(beeps, 1);
    EXPECT_EQ(text->selectedRange(), Range(0, 0));
    mark.setRepresentedObject(QVariantList{-3, 2});
    act(QStringLiteral("markNavigateSpecific:"), QVariant::fromValue(&mark));
    EXPECT_EQ(beeps, 2);
    mark.setRepresentedObject(QVariantList{16, 2});
    act(QStringLiteral("markNavigateSpecific:"), QVariant::fromValue(&mark));
    EXPECT_EQ(beeps, 2);
    EXPECT_EQ(text->selectedRange(), Range(15, 0));

    MenuItem edit(QStringLiteral("Intro"), QStringLiteral("editBookmarkFromMenuItem:"));
    for (const QVariant& stale :
         {QVariant(57), QVariant(-1), QVariant(0), QVariant(QStringLiteral("2")), QVariant()}) {
        edit.setRepresentedObject(stale);
        act(QStringLiteral("editBookmarkFromMenuItem:"), QVariant::fromValue(&edit));
    }
    EXPECT_EQ(beeps, 7);
    EXPECT_TRUE(editedBookmarks.empty());
    edit.setRepresentedObject(2);
    act(QStringLiteral("editBookmarkFromMenuItem:"), QVariant::fromValue(&edit));
    EXPECT_EQ(beeps, 7);
    ASSERT_EQ(editedBookmarks.size(), 1u);
    EXPECT_EQ(editedBookmarks.front()->name(), QStringLiteral("Intro"));
}

TEST_F(EditorActionsTest, DoubleClicksEditABookmarkOrSelectItsSectionAndLeavePicturesAlone)
{
    MutableAttributedString script;
    script.append(bookmarkString(QStringLiteral("One")));
    script.append(QStringLiteral("first\n"), {});
    script.append(pictureString(QStringLiteral("pic.png")));
    script.append(bookmarkString(QStringLiteral("Two")));
    script.append(QStringLiteral("second"), {});
    setText(script);
    // 0 bookmark, 1-6 "first\n", 7 picture, 8 bookmark, 9-14 "second".

    modifierFlags = kShiftKeyMask;
    EXPECT_TRUE(controller->textViewClickedOnAttachment(*text, 0, 2));
    EXPECT_EQ(text->selectedRange(), Range(0, 8));
    EXPECT_TRUE(controller->textViewClickedOnAttachment(*text, 8, 2));
    EXPECT_EQ(text->selectedRange(), Range(8, 7));
    EXPECT_TRUE(editedBookmarks.empty());

    modifierFlags = 0;
    EXPECT_TRUE(controller->textViewClickedOnAttachment(*text, 8, 2));
    ASSERT_EQ(editedBookmarks.size(), 1u);
    EXPECT_EQ(editedBookmarks.front()->name(), QStringLiteral("Two"));

    text->setSelectedRange({3, 0});
    EXPECT_TRUE(controller->textViewClickedOnAttachment(*text, 7, 2));
    EXPECT_EQ(text->selectedRange(), Range(3, 0));
    EXPECT_EQ(editedBookmarks.size(), 1u);

    // A single click selects the attachment.
    EXPECT_TRUE(controller->textViewClickedOnAttachment(*text, 7, 1));
    EXPECT_EQ(text->selectedRange(), Range(7, 1));
    EXPECT_FALSE(controller->textViewClickedOnAttachment(*text, 40, 2));
    EXPECT_FALSE(controller->textViewClickedOnAttachment(*text, 8, 3));
    EXPECT_EQ(editedBookmarks.size(), 1u);
}

TEST_F(EditorActionsTest, TheBookmarkSegmentsFollowTheBookmarksInTheScript)
{
    // The bookmark control acts on the main window's script only.
    Application::shared().setMainWindow(controller->window());
    setText(AttributedString(QStringLiteral("no bookmarks here")));
    QWidget* bar = controller->window()->toolBar();
    ASSERT_NE(bar, nullptr);
    const auto segment = [bar](const char* name) {
        return bar->findChild<QToolButton*>(QString::fromLatin1(name));
    };
    ASSERT_NE(segment("bookmarksMenu"), nullptr);
    for (int tag : {0, 1, 2})
        EXPECT_FALSE(controller->isBookmarkSegmentEnabled(tag)) << tag;
    EXPECT_TRUE(controller->isBookmarkSegmentEnabled(3));
    EXPECT_FALSE(segment("previousBookmark")->isEnabled());
    EXPECT_FALSE(segment("bookmarksMenu")->isEnabled());
    EXPECT_TRUE(segment("addBookmark")->isEnabled());

    MutableAttributedString script(QStringLiteral("top\n"));
    script.append(bookmarkString(QStringLiteral("Intro")));
    script.append(QStringLiteral("text"), {});
    setText(script);
    for (int tag : {0, 1, 2, 3})
        EXPECT_TRUE(controller->isBookmarkSegmentEnabled(tag)) << tag;
    EXPECT_TRUE(segment("nextBookmark")->isEnabled());
    EXPECT_TRUE(segment("bookmarksMenu")->isEnabled());

    // Another window in front: this one's control and timer reset are greyed.
    Application::shared().setMainWindow(nullptr);
    for (int tag : {0, 1, 2, 3})
        EXPECT_FALSE(controller->isBookmarkSegmentEnabled(tag)) << tag;
    EXPECT_FALSE(segment("nextBookmark")->isEnabled());
    EXPECT_FALSE(segment("addBookmark")->isEnabled());
    EXPECT_FALSE(controller->documentToolbar()->timerResetButton()->isEnabled());
    Application::shared().setMainWindow(controller->window());
    EXPECT_TRUE(segment("nextBookmark")->isEnabled());

    text->setSelectedRange({0, 0});
    act(QStringLiteral("bookmarksControlPressed:"), 1);
    EXPECT_EQ(text->selectedRange(), Range(5, 0));
    act(QStringLiteral("bookmarksControlPressed:"), 7);
    act(QStringLiteral("bookmarksControlPressed:"), 2);
    ASSERT_NE(controller->bookmarksSegmentMenu(), nullptr);
    EXPECT_EQ(controller->bookmarksSegmentMenu()->numberOfItems(), 1);
}

class PictureFilesTest : public EditorActionsTest {
protected:
    QUrl picture(const QString& name, const QDateTime& modified = {})
    {
        const QString path = folder.filePath(name);
        QImage image(4, 4, QImage::Format_RGB32);
        image.fill(Qt::red);
        EXPECT_TRUE(image.save(path, "PNG"));
        if (modified.isValid()) {
            QFile file(path);
            EXPECT_TRUE(file.open(QIODevice::ReadWrite));
            EXPECT_TRUE(file.setFileTime(modified, QFileDevice::FileModificationTime));
        }
        return QUrl::fromLocalFile(path);
    }
    QUrl unreadable(const QString& name)
    {
        QFile file(folder.filePath(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("not a picture at all");
        return QUrl::fromLocalFile(file.fileName());
    }
    // Runs the panel as a user would: chooses urls and the pop-ups' items, then OK.
    void insertThroughPanel(const QList<QUrl>& urls, int sortKey, int order, int separation)
    {
        SavePanelAnswererScope answerer([&](SavePanel& panel) {
            auto& open = static_cast<OpenPanel&>(panel);
            EXPECT_TRUE(open.allowsMultipleSelection());
            auto* accessory = dynamic_cast<OVInsertImagesAccessoryView*>(open.accessoryView());
            EXPECT_NE(accessory, nullptr);
            if (!accessory || !open.chooseURLs(urls))
                return SavePanel::kModalResponseCancel;
            accessory->selectTagOfPopUp(OVInsertImagesAccessoryView::kSortKeyTag, sortKey);
            accessory->selectTagOfPopUp(OVInsertImagesAccessoryView::kOrderTag, order);
            accessory->selectTagOfPopUp(OVInsertImagesAccessoryView::kSeparationTag, separation);
            return SavePanel::kModalResponseOK;
        });
        act(QStringLiteral("insertImagesFromOpenPanel:"));
    }
    QStringList insertedNames() const
    {
        QStringList names;
        const TextStorage& storage = text->textStorage();
        for (qsizetype i = 0; i < storage.length(); ++i) {
            const auto attachment = storage.attributesAtIndex(i).value(kAttachmentAttributeName).attachment();
            if (attachment && attachment->fileWrapper())
                names << attachment->fileWrapper()->preferredFilename();
        }
        return names;
    }

    QTemporaryDir folder;
};

TEST_F(PictureFilesTest, ThreePicturesGoInWithTheSeparationBetweenThemAndNothingAfter)
{
    setText(AttributedString(QStringLiteral("ab")));
    text->setSelectedRange({2, 0});
    insertThroughPanel({picture("c.png"), picture("a.png"), picture("b.png")}, 0, 0, 1);
    const QString pictures = QString(kAttachment) + "\n\n" + kAttachment + "\n\n" + kAttachment;
    EXPECT_EQ(text->string(), "ab" + pictures);
    EXPECT_EQ(insertedNames(), QStringList({"a.png", "b.png", "c.png"}));
    EXPECT_EQ(text->selectedRange(), Range(text->textStorage().length(), 0));
    EXPECT_EQ(text->undoManager()->undoActionName(), QStringLiteral("Insert Images"));
    QCoreApplication::processEvents();
    text->undo();
    EXPECT_EQ(text->string(), QStringLiteral("ab"));
}

TEST_F(PictureFilesTest, UnreadableFilesAreSkippedAndOnePictureIsInsertImage)
{
    setText(AttributedString(QStringLiteral("x")));
    text->setSelectedRange({0, 0});
    insertThroughPanel({picture("a.png"), unreadable("b.png"), picture("c.png"), unreadable("d.png")}, 0, 0,
                       0);
    EXPECT_EQ(text->string(), QString(kAttachment) + "\n" + kAttachment + "x");
    EXPECT_EQ(insertedNames(), QStringList({"a.png", "c.png"}));
    QCoreApplication::processEvents();

    text->setSelectedRange({0, 0});
    insertThroughPanel({unreadable("e.png"), picture("f.png")}, 0, 0, 2);
    EXPECT_EQ(text->undoManager()->undoActionName(), QStringLiteral("Insert Image"));
    EXPECT_EQ(text->textStorage().string().left(2), QString(kAttachment) + kAttachment);

    // Nothing readable inserts nothing.
    QCoreApplication::processEvents();
    const QString before = text->string();
    insertThroughPanel({unreadable("g.png")}, 0, 0, 0);
    EXPECT_EQ(text->string(), before);
    EXPECT_EQ(beeps, 1);
}

TEST_F(PictureFilesTest, SortingByModificationDateNewestFirstPutsUnreadableDatesLast)
{
    const QDateTime base(QDate(2024, 3, 1), QTime(12, 0), Qt::UTC);
    const QUrl old = picture("old.png", base);
    const QUrl newest = picture("newest.png", base.addDays(30));
    const QUrl middle = picture("middle.png", base.addDays(3));
    const QUrl gone = QUrl::fromLocalFile(folder.filePath("gone.png"));
    using View = OVInsertImagesAccessoryView;
    EXPECT_EQ(View::sortedURLs({old, gone, newest, middle}, View::SortByModificationDate, false),
              QList<QUrl>({newest, middle, old, gone}));
    EXPECT_EQ(View::sortedURLs({old, gone, newest, middle}, View::SortByModificationDate, true),
              QList<QUrl>({gone, old, middle, newest}));
    EXPECT_EQ(View::sortedURLs({old, newest, middle}, View::SortByName, true),
              QList<QUrl>({middle, newest, old}));

    setText(AttributedString(QStringLiteral("")));
    insertThroughPanel({old, newest, middle}, View::SortByModificationDate, 1, 0);
    EXPECT_EQ(insertedNames(), QStringList({"newest.png", "middle.png", "old.png"}));
}

TEST_F(EditorActionsTest, RemovingUnderlineColorsIsOneUndoableStep)
{
    MutableAttributedString script(QStringLiteral("underlined words"));
    script.addAttribute(kUnderlineStyleAttributeName, 1, {0, 10});
    script.addAttribute(kUnderlineColorAttributeName, Color::rgb(1, 0, 0), {0, 5});
    script.addAttribute(kUnderlineColorAttributeName, Color::rgb(0, 0, 1), {11, 5});
    setText(script);
    act(QStringLiteral("removeUnderlineColors:"));
    bool anyColor = false;
    text->textStorage().enumerateAttribute(
        kUnderlineColorAttributeName, {0, text->textStorage().length()}, 0,
        [&](const AttributeValue& value, const Range&, bool&) { anyColor = anyColor || !value.isNull(); });
    EXPECT_FALSE(anyColor);
    EXPECT_EQ(text->textStorage().attributesAtIndex(2).value(kUnderlineStyleAttributeName).integer(), 1);
    EXPECT_EQ(text->undoManager()->undoActionName(), QStringLiteral("Remove Underline Colors"));
    QCoreApplication::processEvents();
    text->undo();
    EXPECT_EQ(*text->textStorage().attributesAtIndex(12).value(kUnderlineColorAttributeName).color(),
              Color::rgb(0, 0, 1));
}

TEST_F(EditorActionsTest, TheRulerGivesWayInPromptModeAndComesBackInEditMode)
{
    setText(AttributedString(QStringLiteral("A script\nwith lines")));
    controller->window()->orderFront();
    Application::shared().setMainWindow(controller->window());
    ASSERT_TRUE(text->tryToPerform(QStringLiteral("toggleRuler:"), {}));
    ASSERT_TRUE(text->isRulerVisible());
    core->enterPromptMode();
    ASSERT_TRUE(core->isModePrompt());
    EXPECT_FALSE(text->isRulerVisible());
    EXPECT_EQ(controller->documentPrompterView()->scrollView()->horizontalRulerThickness(), 0.0);
    core->enterEditMode();
    EXPECT_TRUE(text->isRulerVisible());

    // Hidden before, hidden after.
    text->toggleRuler();
    core->enterPromptMode();
    core->enterEditMode();
    EXPECT_FALSE(text->isRulerVisible());
}

} // namespace
