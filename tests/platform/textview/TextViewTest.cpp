#include "platform/textview/TextView.h"
#include "TestSupport.h"
#include "platform/appkit/Pasteboard.h"
#include "platform/appkit/RunLoop.h"
#include "platform/appkit/ScrollView.h"
#include "platform/appkit/UndoManager.h"
#include "platform/appkit/Window.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/FileWrapper.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/text/TextAttachment.h"
#include "platform/textview/FindBar.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTest>

namespace {

// A window holding a scroll view around a text view, driven by real Qt input events on its host
// widget, with a manual clock so double clicks and caret blinks depend on nothing but the test.
struct Harness {
    Harness()
    {
        Clock::setShared(&clock);
        window = std::make_unique<Window>(Rect(100, 100, 400, 300));
        auto* scroll = static_cast<ScrollView*>(
            window->setContentView(std::make_unique<ScrollView>(Rect(0, 0, 400, 300))));
        scrollView = scroll;
        view =
            static_cast<TextView*>(scroll->setDocumentView(std::make_unique<TextView>(Rect(0, 0, 400, 300))));
        view->setPasteboard(&board);
        window->makeKeyAndOrderFront();
        window->makeFirstResponder(view);
        host = window->hostWidget();
    }
    ~Harness()
    {
        window.reset();
        Clock::setShared(nullptr);
    }

    void type(const QString& text) { QTest::keyClicks(host, text); }
    void key(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QTest::keyClick(host, key, modifiers);
    }
    // The host-widget point showing a point of the text container.
    QPoint hostPoint(const Point& containerPoint) const
    {
        const Point origin = view->textContainerOrigin();
        const Point inWindow = view->convertPointToView(containerPoint.offsetBy(origin.x, origin.y), nullptr);
        return QPoint(int(std::lround(inWindow.x)),
                      int(std::lround(window->frame().size.height - inWindow.y)));
    }
    // The middle of the glyph at index, on its line.
    Point glyphCenter(qsizetype index) const
    {
        const Rect caret = view->layoutManager()->insertionPointRectForCharacterIndex(index);
        const Rect next = view->layoutManager()->insertionPointRectForCharacterIndex(index + 1);
        return {(caret.minX() + next.minX()) / 2, caret.midY()};
    }
    void click(const Point& point, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QTest::mousePress(host, Qt::LeftButton, modifiers, hostPoint(point));
        QTest::mouseRelease(host, Qt::LeftButton, modifiers, hostPoint(point));
    }
    void endEventLoopPass() { QCoreApplication::processEvents(); }

    ManualClock clock{5000};
    Pasteboard board{QClipboard::Clipboard};
    std::unique_ptr<Window> window;
    ScrollView* scrollView = nullptr;
    TextView* view = nullptr;
    QWidget* host = nullptr;
};

AttributeDictionary boldFont()
{
    return {
        {kFontAttributeName, Font{QStringLiteral("Helvetica"), QStringLiteral("Helvetica-Bold"), 12, true}}};
}

class RecordingDelegate : public TextViewDelegate {
public:
    bool textViewShouldChangeTextInRanges(TextView&, const std::vector<Range>& ranges,
                                          const QStringList& strings) override
    {
        asked.push_back({ranges.front(), strings.value(0)});
        return allow;
    }
    void textDidChange(TextView&) override { ++changes; }
    void textViewDidChangeSelection(TextView&, const std::vector<Range>&) override { ++selectionChanges; }
    bool textViewDoCommandBySelector(TextView&, const QString& selector) override
    {
        commands.push_back(selector);
        return selector == QLatin1String("insertNewline:") && swallowNewline;
    }

    bool allow = true;
    bool swallowNewline = false;
    int changes = 0;
    int selectionChanges = 0;
    std::vector<std::pair<Range, QString>> asked;
    QStringList commands;
};

} // namespace

TEST(TextViewTest, TypingInsertsWithTheTypingAttributesAndUndoesAsOneStep)
{
    Harness h;
    h.view->setTypingAttributes(boldFont());
    h.type(QStringLiteral("hello"));
    h.endEventLoopPass();
    h.type(QStringLiteral(" world"));
    EXPECT_EQ(h.view->string(), QStringLiteral("hello world"));
    EXPECT_EQ(h.view->selectedRange(), (Range{11, 0}));
    EXPECT_TRUE(h.view->textStorage().attributesAtIndex(7).value(kFontAttributeName).font()->bold);
    UndoManager* undo = h.view->undoManager();
    EXPECT_EQ(undo->undoActionName(), QStringLiteral("Typing"));
    h.key(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(h.view->string(), QString());
    EXPECT_FALSE(undo->canUndo());
    h.key(Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(h.view->string(), QStringLiteral("hello world"));
    EXPECT_EQ(h.view->selectedRange(), (Range{0, 11}));
}

TEST(TextViewTest, MovingTheCaretStartsANewTypingStep)
{
    Harness h;
    h.type(QStringLiteral("ab"));
    h.key(Qt::Key_Left);
    h.type(QStringLiteral("X"));
    EXPECT_EQ(h.view->string(), QStringLiteral("aXb"));
    h.endEventLoopPass();
    EXPECT_EQ(h.view->undoManager()->undoCount(), 1);
    // Both steps happened in one event-loop pass, so one group holds them; undo takes both back.
    h.view->undo();
    EXPECT_EQ(h.view->string(), QString());

    Harness second;
    second.type(QStringLiteral("ab"));
    second.endEventLoopPass();
    second.key(Qt::Key_Left);
    second.type(QStringLiteral("X"));
    second.endEventLoopPass();
    EXPECT_EQ(second.view->undoManager()->undoCount(), 2);
    second.view->undo();
    EXPECT_EQ(second.view->string(), QStringLiteral("ab"));
}

TEST(TextViewTest, DeletingJoinsTheTypingRunEvenPastItsStart)
{
    Harness h;
    h.view->setString(QStringLiteral("xyz"));
    h.view->setSelectedRange({3, 0});
    h.type(QStringLiteral("ab"));
    for (int i = 0; i < 4; ++i)
        h.key(Qt::Key_Backspace);
    EXPECT_EQ(h.view->string(), QStringLiteral("x"));
    h.endEventLoopPass();
    EXPECT_EQ(h.view->undoManager()->undoCount(), 1);
    h.view->undo();
    EXPECT_EQ(h.view->string(), QStringLiteral("xyz"));
    h.view->redo();
    EXPECT_EQ(h.view->string(), QStringLiteral("x"));
    // Forward delete from the run's end joins it too.
    h.view->setString(QStringLiteral("12345"));
    h.view->setSelectedRange({2, 0});
    h.endEventLoopPass();
    const qsizetype before = h.view->undoManager()->undoCount();
    h.type(QStringLiteral("a"));
    h.key(Qt::Key_Delete);
    h.key(Qt::Key_Delete);
    EXPECT_EQ(h.view->string(), QStringLiteral("12a5"));
    h.endEventLoopPass();
    EXPECT_EQ(h.view->undoManager()->undoCount(), before + 1);
    h.view->undo();
    EXPECT_EQ(h.view->string(), QStringLiteral("12345"));
}

TEST(TextViewTest, KeysMoveAndExtendBySelectionUnits)
{
    Harness h;
    h.view->setString(QStringLiteral("one two three\nsecond line"));
    h.view->setSelectedRange({0, 0});
    h.key(Qt::Key_Right, Qt::ControlModifier);
    EXPECT_EQ(h.view->selectedRange(), (Range{3, 0}));
    h.key(Qt::Key_Right, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(h.view->selectedRange(), (Range{3, 4}));
    h.key(Qt::Key_Left);
    EXPECT_EQ(h.view->selectedRange(), (Range{3, 0}));
    h.key(Qt::Key_End);
    EXPECT_EQ(h.view->selectedRange(), (Range{13, 0}));
    h.key(Qt::Key_Down);
    EXPECT_EQ(h.view->selectedRange().location, 25);
    h.key(Qt::Key_Home, Qt::ShiftModifier);
    EXPECT_EQ(h.view->selectedRange(), (Range{14, 11}));
    h.key(Qt::Key_Home, Qt::ControlModifier);
    EXPECT_EQ(h.view->selectedRange(), (Range{0, 0}));
    h.key(Qt::Key_End, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(h.view->selectedRange(), (Range{0, 25}));
    h.key(Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(h.view->selectedRange(), (Range{0, 25}));
    h.key(Qt::Key_Right);
    h.key(Qt::Key_Up);
    EXPECT_EQ(h.view->selectedRange().location, 11);
    h.key(Qt::Key_Up, Qt::ControlModifier);
    EXPECT_EQ(h.view->selectedRange().location, 0);
    h.key(Qt::Key_Down, Qt::ControlModifier);
    EXPECT_EQ(h.view->selectedRange().location, 13);
    h.key(Qt::Key_PageDown);
    EXPECT_EQ(h.view->selectedRange().location, 25);
    h.key(Qt::Key_PageUp, Qt::ShiftModifier);
    EXPECT_EQ(h.view->selectedRange(), (Range{0, 25}));
}

TEST(TextViewTest, ReturnTabAndDeleteKeysEdit)
{
    Harness h;
    RecordingDelegate delegate;
    h.view->setDelegate(&delegate);
    h.type(QStringLiteral("ab"));
    h.key(Qt::Key_Return);
    h.key(Qt::Key_Tab);
    h.type(QStringLiteral("c"));
    EXPECT_EQ(h.view->string(), QStringLiteral("ab\n\tc"));
    h.key(Qt::Key_Backspace, Qt::ControlModifier);
    EXPECT_EQ(h.view->string(), QStringLiteral("ab\n\t"));
    EXPECT_TRUE(delegate.commands.contains(QStringLiteral("insertNewline:")));
    // A delegate may take a command over.
    delegate.swallowNewline = true;
    h.key(Qt::Key_Return);
    EXPECT_EQ(h.view->string(), QStringLiteral("ab\n\t"));
    EXPECT_GE(delegate.changes, 5);
    EXPECT_GE(delegate.selectionChanges, 5);
}

TEST(TextViewTest, ChangesAndSelectionsAreAnnounced)
{
    Harness h;
    QStringList heard;
    QVariant oldSelection;
    const auto id =
        NotificationCenter::shared().addObserver({}, h.view, [&](const Notification& notification) {
            heard.push_back(notification.name);
            if (notification.name == kTextViewDidChangeSelectionNotification)
                oldSelection = notification.userInfo.value(QStringLiteral("NSOldSelectedCharacterRange"));
        });
    h.type(QStringLiteral("x"));
    EXPECT_TRUE(heard.contains(kTextDidChangeNotification));
    EXPECT_TRUE(heard.contains(kTextViewDidChangeSelectionNotification));
    EXPECT_EQ(oldSelection.toList().value(0).toLongLong(), 0);
    heard.clear();
    h.view->setTypingAttributes(boldFont());
    EXPECT_EQ(heard, QStringList{kTextViewDidChangeTypingAttributesNotification});
    NotificationCenter::shared().removeObserver(id);
}

TEST(TextViewTest, SurrogatePairsAreNeverSplit)
{
    Harness h;
    const QString emoji = QString::fromUtf16(u"\U0001F600");
    h.view->setString(QStringLiteral("a") + emoji + QStringLiteral("e\u0301"));
    h.view->setSelectedRange({1, 0});
    h.key(Qt::Key_Right);
    EXPECT_EQ(h.view->selectedRange(), (Range{3, 0}));
    h.key(Qt::Key_Right);
    EXPECT_EQ(h.view->selectedRange(), (Range{5, 0}));
    h.key(Qt::Key_Left, Qt::ShiftModifier);
    h.key(Qt::Key_Left, Qt::ShiftModifier);
    EXPECT_EQ(h.view->selectedRange(), (Range{1, 4}));
    h.view->setSelectedRange({2, 0});
    EXPECT_EQ(h.view->selectedRange(), (Range{1, 0}));
    h.view->setSelectedRange({2, 1});
    EXPECT_EQ(h.view->selectedRange(), (Range{1, 2}));
    h.view->setSelectedRange({3, 0});
    h.key(Qt::Key_Backspace);
    EXPECT_EQ(h.view->string(), QStringLiteral("ae\u0301"));
    h.key(Qt::Key_Delete);
    EXPECT_EQ(h.view->string(), QStringLiteral("a"));
}

TEST(TextViewTest, ArrowsMoveOnScreenInRightToLeftText)
{
    Harness h;
    h.view->setString(QStringLiteral("\u05D0\u05D1\u05D2\nabc"));
    h.view->setSelectedRange({1, 0});
    // Right moves toward the paragraph's start in Hebrew.
    h.key(Qt::Key_Right);
    EXPECT_EQ(h.view->selectedRange(), (Range{0, 0}));
    h.key(Qt::Key_Left);
    h.key(Qt::Key_Left);
    EXPECT_EQ(h.view->selectedRange(), (Range{2, 0}));
    h.key(Qt::Key_Left);
    h.key(Qt::Key_Left);
    EXPECT_EQ(h.view->selectedRange(), (Range{4, 0}));
    h.key(Qt::Key_Right);
    EXPECT_EQ(h.view->selectedRange(), (Range{5, 0}));
    h.key(Qt::Key_End, Qt::ControlModifier);
    h.key(Qt::Key_Right);
    EXPECT_EQ(h.view->selectedRange(), (Range{7, 0}));
}

TEST(TextViewTest, MouseClicksPlaceTheCaretAndSelectWordsAndParagraphs)
{
    Harness h;
    h.view->setString(QStringLiteral("alpha beta gamma\nsecond paragraph"));
    h.click(h.glyphCenter(7));
    const qsizetype caret = h.view->selectedRange().location;
    EXPECT_TRUE(caret == 7 || caret == 8);
    EXPECT_EQ(h.view->selectedRange().length, 0);
    // A second press at once is a double click: the word.
    QTest::mousePress(h.host, Qt::LeftButton, Qt::NoModifier, h.hostPoint(h.glyphCenter(7)));
    QTest::mouseRelease(h.host, Qt::LeftButton, Qt::NoModifier, h.hostPoint(h.glyphCenter(7)));
    EXPECT_EQ(h.view->selectedRange(), (Range{6, 4}));
    QTest::mousePress(h.host, Qt::LeftButton, Qt::NoModifier, h.hostPoint(h.glyphCenter(7)));
    QTest::mouseRelease(h.host, Qt::LeftButton, Qt::NoModifier, h.hostPoint(h.glyphCenter(7)));
    EXPECT_EQ(h.view->selectedRange(), (Range{0, 17}));
    // Later, a drag selects characters.
    h.clock.advance(5);
    const Point from = h.view->layoutManager()->insertionPointRectForCharacterIndex(2).origin.offsetBy(0, 5);
    const Point to = h.view->layoutManager()->insertionPointRectForCharacterIndex(20).origin.offsetBy(0, 5);
    QTest::mousePress(h.host, Qt::LeftButton, Qt::NoModifier, h.hostPoint(from));
    QMouseEvent move(QEvent::MouseMove, QPointF(h.hostPoint(to)), QPointF(h.hostPoint(to)), Qt::LeftButton,
                     Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(h.host, &move);
    QTest::mouseRelease(h.host, Qt::LeftButton, Qt::NoModifier, h.hostPoint(to));
    EXPECT_EQ(h.view->selectedRange(), (Range{2, 18}));
    // A double click held and dragged grows by whole words.
    h.clock.advance(5);
    const Point inBeta = h.glyphCenter(7);
    QTest::mousePress(h.host, Qt::LeftButton, Qt::NoModifier, h.hostPoint(inBeta));
    QTest::mouseRelease(h.host, Qt::LeftButton, Qt::NoModifier, h.hostPoint(inBeta));
    QTest::mousePress(h.host, Qt::LeftButton, Qt::NoModifier, h.hostPoint(inBeta));
    const QPoint inGamma = h.hostPoint(h.glyphCenter(13));
    QMouseEvent wordDrag(QEvent::MouseMove, QPointF(inGamma), QPointF(inGamma), Qt::LeftButton,
                         Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(h.host, &wordDrag);
    QTest::mouseRelease(h.host, Qt::LeftButton, Qt::NoModifier, inGamma);
    EXPECT_EQ(h.view->selectedRange(), (Range{6, 10}));
    h.clock.advance(5);
    h.click(h.view->layoutManager()->insertionPointRectForCharacterIndex(2).origin.offsetBy(0, 5));
    h.clock.advance(5);
    h.click(h.view->layoutManager()->insertionPointRectForCharacterIndex(20).origin.offsetBy(0, 5),
            Qt::ShiftModifier);
    EXPECT_EQ(h.view->selectedRange(), (Range{2, 18}));
    // Shift-click extends from the far end.
    h.clock.advance(5);
    h.click(h.view->layoutManager()->insertionPointRectForCharacterIndex(25).origin.offsetBy(0, 5),
            Qt::ShiftModifier);
    EXPECT_EQ(h.view->selectedRange(), (Range{2, 23}));
}

TEST(TextViewTest, CutCopyAndPasteKeepRichText)
{
    Harness h;
    h.view->textStorage().replaceCharacters({0, 0}, QStringLiteral("bold plain"), boldFont());
    h.view->textStorage().setAttributes(AttributeDictionary{}, {4, 6});
    h.view->setSelectedRange({0, 4});
    h.key(Qt::Key_C, Qt::ControlModifier);
    EXPECT_TRUE(h.board.types().contains(kPasteboardTypeRTF));
    EXPECT_EQ(h.board.stringForType(kPasteboardTypeString), QStringLiteral("bold"));
    h.view->setSelectedRange({10, 0});
    h.key(Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(h.view->string(), QStringLiteral("bold plainbold"));
    const AttributeValue font = h.view->textStorage().attribute(kFontAttributeName, 12);
    ASSERT_TRUE(font.font());
    EXPECT_TRUE(font.font()->bold);
    EXPECT_EQ(h.view->undoManager()->undoActionName(), QStringLiteral("Paste"));
    // Plain paste takes the typing attributes.
    h.view->setTypingAttributes({});
    h.key(Qt::Key_V, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(h.view->string(), QStringLiteral("bold plainboldbold"));
    EXPECT_TRUE(h.view->textStorage().attribute(kFontAttributeName, 16).isNull());
    // Cut removes and copies.
    h.endEventLoopPass();
    h.view->setSelectedRange({0, 5});
    h.key(Qt::Key_X, Qt::ControlModifier);
    EXPECT_EQ(h.view->string(), QStringLiteral("plainboldbold"));
    EXPECT_EQ(h.board.stringForType(kPasteboardTypeString), QStringLiteral("bold "));
    h.endEventLoopPass();
    h.view->undo();
    EXPECT_EQ(h.view->string(), QStringLiteral("bold plainboldbold"));
}

TEST(TextViewTest, APastedPictureBecomesANamedAttachment)
{
    Harness h;
    h.view->setString(QStringLiteral("ab"));
    h.view->setSelectedRange({1, 0});
    h.board.clearContents();
    QImage image(8, 6, QImage::Format_ARGB32);
    image.fill(Qt::green);
    ASSERT_TRUE(h.board.writeImage(image));
    h.key(Qt::Key_V, Qt::ControlModifier);
    ASSERT_EQ(h.view->string(), QStringLiteral("a") + QChar(kAttachmentCharacter) + QStringLiteral("b"));
    const auto attachment = h.view->textStorage().attribute(kAttachmentAttributeName, 1).attachment();
    ASSERT_TRUE(attachment && attachment->fileWrapper());
    EXPECT_EQ(attachment->fileWrapper()->preferredFilename(), QStringLiteral("Pasted Graphic.png"));
    const double x1 = h.view->layoutManager()->insertionPointRectForCharacterIndex(1).minX();
    const double x2 = h.view->layoutManager()->insertionPointRectForCharacterIndex(2).minX();
    EXPECT_NEAR(x2 - x1, 8, 0.01);
}

TEST(TextViewTest, EditMenuCommandsValidateAndRunThroughTheResponderChain)
{
    Harness h;
    auto valid = [&](const char* action) {
        return h.view->validateMenuItem(UserInterfaceItem{QString::fromLatin1(action), 0, true});
    };
    h.board.clearContents();
    EXPECT_FALSE(valid("copy:"));
    EXPECT_FALSE(valid("paste:"));
    EXPECT_FALSE(valid("undo:"));
    EXPECT_FALSE(valid("selectAll:"));
    h.type(QStringLiteral("menu"));
    EXPECT_TRUE(valid("undo:"));
    EXPECT_TRUE(valid("selectAll:"));
    ASSERT_TRUE(h.view->tryToPerform(QStringLiteral("selectAll:"), {}));
    EXPECT_EQ(h.view->selectedRange(), (Range{0, 4}));
    EXPECT_TRUE(valid("cut:"));
    EXPECT_TRUE(h.view->tryToPerform(QStringLiteral("copy:"), {}));
    EXPECT_TRUE(valid("paste:"));
    h.view->setEditable(false);
    EXPECT_FALSE(valid("cut:"));
    EXPECT_FALSE(valid("paste:"));
    EXPECT_TRUE(valid("copy:"));
}

TEST(TextViewTest, TheDelegateMayRefuseAChange)
{
    Harness h;
    RecordingDelegate delegate;
    delegate.allow = false;
    h.view->setDelegate(&delegate);
    h.type(QStringLiteral("no"));
    EXPECT_EQ(h.view->string(), QString());
    ASSERT_FALSE(delegate.asked.empty());
    EXPECT_EQ(delegate.asked.front().second, QStringLiteral("n"));
    EXPECT_FALSE(h.view->undoManager()->canUndo());
    // The explicit route the editor's commands take.
    delegate.allow = true;
    h.view->setString(QStringLiteral("abc"));
    ASSERT_TRUE(h.view->shouldChangeTextInRange({1, 1}, QStringLiteral("XYZ")));
    h.view->replaceCharactersInRange({1, 1}, QStringLiteral("XYZ"));
    h.view->didChangeText();
    EXPECT_EQ(h.view->string(), QStringLiteral("aXYZc"));
    h.endEventLoopPass();
    h.view->undo();
    EXPECT_EQ(h.view->string(), QStringLiteral("abc"));
}

TEST(TextViewTest, ReadOnlyViewsIgnoreEditsButStillSelect)
{
    Harness h;
    h.view->setString(QStringLiteral("fixed"));
    h.view->setEditable(false);
    h.type(QStringLiteral("x"));
    h.key(Qt::Key_Backspace);
    h.key(Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(h.view->string(), QStringLiteral("fixed"));
    h.key(Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(h.view->selectedRange(), (Range{0, 5}));
    ASSERT_EQ(h.view->cursorRects().size(), 1u);
    EXPECT_EQ(h.view->cursorRects().front().cursor.shape(), Qt::IBeamCursor);
    h.view->setSelectable(false);
    EXPECT_TRUE(h.view->cursorRects().empty());
    h.click(h.glyphCenter(1));
    EXPECT_EQ(h.view->selectedRange(), (Range{0, 5}));
}

TEST(TextViewTest, InputMethodPreeditIsMarkedAndOnlyTheCommitIsUndoable)
{
    Harness h;
    h.type(QStringLiteral("a"));
    h.endEventLoopPass();
    QInputMethodEvent preedit(QStringLiteral("ni"),
                              {QInputMethodEvent::Attribute(QInputMethodEvent::Cursor, 2, 1)});
    QCoreApplication::sendEvent(h.host, &preedit);
    EXPECT_EQ(h.view->string(), QStringLiteral("ani"));
    EXPECT_EQ(h.view->markedRange(), (Range{1, 2}));
    EXPECT_EQ(h.view->selectedRange(), (Range{3, 0}));
    EXPECT_FALSE(h.view->layoutManager()
                     ->temporaryAttribute(kTemporaryUnderlineStyleAttributeName, 1, nullptr, {0, 3})
                     .isNull());
    QInputMethodEvent longer(QStringLiteral("nih"), {});
    QCoreApplication::sendEvent(h.host, &longer);
    EXPECT_EQ(h.view->string(), QStringLiteral("anih"));
    QInputMethodEvent commit;
    commit.setCommitString(QStringLiteral("\u4F60"));
    QCoreApplication::sendEvent(h.host, &commit);
    EXPECT_EQ(h.view->string(), QStringLiteral("a\u4F60"));
    EXPECT_FALSE(h.view->hasMarkedText());
    EXPECT_EQ(h.view->selectedRange(), (Range{2, 0}));
    h.endEventLoopPass();
    h.view->undo();
    EXPECT_EQ(h.view->string(), QStringLiteral("a"));
    EXPECT_EQ(h.host->inputMethodQuery(Qt::ImSurroundingText).toString(), QStringLiteral("a"));
    // The input method places its window by the caret, in the widget's coordinates.
    const QRectF caret = h.host->inputMethodQuery(Qt::ImCursorRectangle).toRectF();
    const Rect expected = h.view->insertionPointRect();
    EXPECT_NEAR(caret.top(), expected.minY(), 0.01);
    EXPECT_NEAR(caret.left(), expected.minX(), 0.01);
    // A view that cannot be edited lets the event go.
    h.view->setEditable(false);
    QInputMethodEvent refused(QStringLiteral("x"), {});
    QCoreApplication::sendEvent(h.host, &refused);
    EXPECT_FALSE(refused.isAccepted());
    EXPECT_EQ(h.view->string(), QStringLiteral("a"));
}

TEST(TextViewTest, SelectedRangesAreSortedJoinedAndCopiedTogether)
{
    Harness h;
    h.view->setString(QStringLiteral("0123456789"));
    h.view->setSelectedRanges({Range{6, 2}, Range{1, 2}, Range{2, 2}, Range{9, 0}});
    ASSERT_EQ(h.view->selectedRanges().size(), 2u);
    EXPECT_EQ(h.view->selectedRanges()[0], (Range{1, 3}));
    EXPECT_EQ(h.view->selectedRanges()[1], (Range{6, 2}));
    h.view->copy();
    EXPECT_EQ(h.board.stringForType(kPasteboardTypeString), QStringLiteral("123\n67"));
    h.view->setSelectedRanges({Range{-5, 3}, Range{8, 100}});
    EXPECT_EQ(h.view->selectedRanges()[0],
              (Range{0, 0}).location == 0 ? h.view->selectedRanges()[0] : Range{});
    EXPECT_EQ(h.view->selectedRanges().back(), (Range{8, 2}));
}

TEST(TextViewTest, TheCaretFollowsTheTextIntoViewAndBlinksByTheClock)
{
    Harness h;
    // Shown as soon as the view takes the keyboard, before any key or click.
    EXPECT_TRUE(h.view->insertionPointIsShown());
    QString text;
    for (int i = 0; i < 100; ++i)
        text += QStringLiteral("line %1\n").arg(i);
    h.view->setString(text);
    EXPECT_GT(h.view->frame().size.height, 1000);
    h.key(Qt::Key_End, Qt::ControlModifier);
    const Rect visible = h.scrollView->documentVisibleRect();
    const Rect caret = h.view->insertionPointRect();
    EXPECT_GE(caret.minY(), visible.minY());
    EXPECT_LE(caret.maxY(), visible.maxY() + 0.01);
    EXPECT_TRUE(h.view->insertionPointIsShown());
    RunLoop::main().advanceManualClock(h.clock, TextView::kInsertionPointBlinkInterval + 0.01);
    EXPECT_FALSE(h.view->insertionPointIsShown());
    RunLoop::main().advanceManualClock(h.clock, TextView::kInsertionPointBlinkInterval);
    EXPECT_TRUE(h.view->insertionPointIsShown());
    // Typing shows it at once.
    RunLoop::main().advanceManualClock(h.clock, TextView::kInsertionPointBlinkInterval);
    h.type(QStringLiteral("x"));
    EXPECT_TRUE(h.view->insertionPointIsShown());
    // Left alone, it settles lit and no longer wakes the program, until the next key.
    RunLoop::main().advanceManualClock(h.clock, TextView::kInsertionPointBlinkTimeout + 0.01);
    for (int i = 0; i < 3; ++i) {
        EXPECT_TRUE(h.view->insertionPointIsShown());
        RunLoop::main().advanceManualClock(h.clock, TextView::kInsertionPointBlinkInterval);
    }
    h.key(Qt::Key_Left);
    RunLoop::main().advanceManualClock(h.clock, TextView::kInsertionPointBlinkInterval + 0.01);
    EXPECT_FALSE(h.view->insertionPointIsShown());
}

TEST(TextViewTest, FindBarFindsReplacesAndReplacesAllInOneStep)
{
    Harness h;
    h.view->setString(QStringLiteral("cat dog Cat bird cat"));
    h.key(Qt::Key_F, Qt::ControlModifier);
    FindBar* bar = h.view->findBar();
    ASSERT_NE(bar, nullptr);
    EXPECT_TRUE(bar->isVisible());
    bar->setFindString(QStringLiteral("cat"));
    EXPECT_TRUE(bar->findNext());
    EXPECT_EQ(h.view->selectedRange(), (Range{0, 3}));
    EXPECT_TRUE(bar->findNext());
    EXPECT_EQ(h.view->selectedRange(), (Range{8, 3}));
    EXPECT_TRUE(bar->findPrevious());
    EXPECT_EQ(h.view->selectedRange(), (Range{0, 3}));
    EXPECT_TRUE(bar->findPrevious());
    EXPECT_EQ(h.view->selectedRange(), (Range{17, 3}));
    bar->setReplaceString(QStringLiteral("fox"));
    EXPECT_TRUE(bar->replace());
    EXPECT_EQ(h.view->string(), QStringLiteral("cat dog Cat bird fox"));
    h.endEventLoopPass();
    EXPECT_EQ(bar->replaceAll(), 2);
    EXPECT_EQ(h.view->string(), QStringLiteral("fox dog fox bird fox"));
    EXPECT_EQ(h.view->undoManager()->undoActionName(), QStringLiteral("Replace All"));
    h.endEventLoopPass();
    h.view->undo();
    EXPECT_EQ(h.view->string(), QStringLiteral("cat dog Cat bird fox"));
    bar->setIgnoresCase(false);
    bar->setFindString(QStringLiteral("Cat"));
    EXPECT_EQ(bar->matches().size(), 1u);
    bar->setFindString(QString());
    EXPECT_FALSE(bar->findNext());
    h.key(Qt::Key_Escape);
    EXPECT_FALSE(bar->isVisible());
}

TEST(TextViewTest, TheFindBarPanelFindsAsYouTypeAndReplaces)
{
    Harness h;
    h.view->setString(QStringLiteral("one two one two"));
    h.key(Qt::Key_F, Qt::ControlModifier);
    FindBar* bar = h.view->findBar();
    ASSERT_NE(bar->panel(), nullptr);
    EXPECT_TRUE(bar->panel()->isVisible());
    auto* find = bar->panel()->findChild<QLineEdit*>(QStringLiteral("find"));
    auto* replace = bar->panel()->findChild<QLineEdit*>(QStringLiteral("replace"));
    ASSERT_TRUE(find && replace);
    QTest::keyClicks(find, QStringLiteral("tw"));
    EXPECT_EQ(h.view->selectedRange(), (Range{4, 2}));
    QTest::keyClick(find, Qt::Key_Return);
    EXPECT_EQ(h.view->selectedRange(), (Range{12, 2}));
    QTest::keyClicks(replace, QStringLiteral("2"));
    QTest::keyClick(replace, Qt::Key_Return);
    EXPECT_EQ(h.view->string(), QStringLiteral("one two one 2o"));
    bar->panel()->findChild<QPushButton*>(QStringLiteral("replaceAll"))->click();
    EXPECT_EQ(h.view->string(), QStringLiteral("one 2o one 2o"));
    QTest::keyClick(find, Qt::Key_Escape);
    EXPECT_FALSE(bar->isVisible());
    EXPECT_FALSE(bar->panel()->isVisible());
}

TEST(TextViewTest, DirectStorageEditsKeepTheSelectionInsideTheText)
{
    Harness h;
    h.view->setString(QStringLiteral("a long text"));
    h.view->setSelectedRange({2, 9});
    h.view->textStorage().replaceCharacters({3, 8}, QString());
    EXPECT_EQ(h.view->selectedRange(), (Range{2, 1}));
    h.view->textStorage().replaceCharacters({0, 3}, QString());
    EXPECT_EQ(h.view->selectedRange(), (Range{0, 0}));
    h.type(QStringLiteral("ok"));
    EXPECT_EQ(h.view->string(), QStringLiteral("ok"));
}

TEST(TextViewTest, TheContainerFollowsTheViewWidth)
{
    Harness h;
    h.view->setTextContainerInset({10, 20});
    EXPECT_DOUBLE_EQ(h.view->textContainer().size().width, 380);
    h.view->setFrameSize({200, h.view->frame().size.height});
    EXPECT_DOUBLE_EQ(h.view->textContainer().size().width, 180);
    h.view->setString(QStringLiteral("x"));
    const Rect caret = h.view->insertionPointRect();
    EXPECT_NEAR(caret.minY(), 20, 0.01);
    EXPECT_GT(caret.minX(), 10);
}

TEST(TextViewTest, RandomEditingUndoesBackToTheStartAndRedoesToTheEnd)
{
    Harness h;
    const QString start = QStringLiteral("The quick brown fox\njumps over the lazy dog");
    h.view->setString(start);
    h.endEventLoopPass();
    h.view->undoManager()->removeAllActions();
    quint32 seed = 777;
    auto random = [&seed](quint32 bound) {
        seed = seed * 1664525u + 1013904223u;
        return (seed >> 8) % bound;
    };
    const QStringList commands{QStringLiteral("moveLeft:"),
                               QStringLiteral("moveRight:"),
                               QStringLiteral("moveWordLeftAndModifySelection:"),
                               QStringLiteral("deleteBackward:"),
                               QStringLiteral("deleteForward:"),
                               QStringLiteral("insertNewline:"),
                               QStringLiteral("moveUp:"),
                               QStringLiteral("deleteWordBackward:")};
    const QStringList typed{QStringLiteral("a"), QStringLiteral("xyz"), QString::fromUtf16(u"\U0001F600"),
                            QStringLiteral("e\u0301")};
    for (int step = 0; step < 300; ++step) {
        const quint32 choice = random(10);
        if (choice < 4)
            h.view->insertText(typed[random(quint32(typed.size()))]);
        else if (choice < 9)
            h.view->doCommandBySelector(commands[random(quint32(commands.size()))]);
        else
            h.endEventLoopPass();
        // No edit may leave half a surrogate pair behind.
        const QString text = h.view->string();
        for (qsizetype i = 0; i < text.size(); ++i) {
            if (text.at(i).isHighSurrogate()) {
                ASSERT_TRUE(i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) << "step " << step;
            }
            if (text.at(i).isLowSurrogate()) {
                ASSERT_TRUE(i > 0 && text.at(i - 1).isHighSurrogate()) << "step " << step;
            }
        }
    }
    h.endEventLoopPass();
    const QString end = h.view->string();
    EXPECT_NE(end, start);
    UndoManager* undo = h.view->undoManager();
    while (undo->canUndo())
        undo->undo();
    EXPECT_EQ(h.view->string(), start);
    while (undo->canRedo())
        undo->redo();
    EXPECT_EQ(h.view->string(), end);
}

// What the screen shows, not a fresh drawing of the whole window: a caret left where the window was
// not drawn again stays in this picture, as it stayed on screen.
TEST(TextViewTest, ACaretMovedWhileShownIsErasedWhereItWas)
{
    Harness h;
    h.type(QStringLiteral("aaaa        bbbb        cccc"));
    h.endEventLoopPass();
    QScreen* screen = h.host->screen();
    const auto caretColumnIsDark = [&](qsizetype index) {
        h.endEventLoopPass();
        const QImage shown = screen->grabWindow(h.host->winId()).toImage();
        const Rect caret = h.view->layoutManager()->insertionPointRectForCharacterIndex(index);
        const QPoint top = h.hostPoint({caret.minX(), caret.minY() + 2});
        int dark = 0;
        for (int y = top.y(); y < top.y() + int(caret.height()) - 4; ++y)
            dark += qGray(shown.pixel(top.x(), std::clamp(y, 0, shown.height() - 1))) < 100;
        return dark > 3;
    };
    // Between spaces, so nothing but a caret can darken its column.
    for (const qsizetype from : {8, 20}) {
        h.view->setSelectedRange({from, 0});
        ASSERT_TRUE(caretColumnIsDark(from));
        h.view->setSelectedRange({from == 8 ? 20 : 8, 0});
        EXPECT_FALSE(caretColumnIsDark(from)) << "a caret is left at " << from;
        h.view->setSelectedRange({0, 4});
        EXPECT_FALSE(caretColumnIsDark(from == 8 ? 20 : 8)) << "a selection leaves the caret drawn";
    }
}
