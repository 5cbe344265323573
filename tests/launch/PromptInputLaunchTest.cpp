// The operator's keys, wheel and saved place in the program as started, with the defaults it
// registers itself and an empty settings folder: held keys under the window system's auto-repeat,
// number keys from the keypad and with Alt, the wheel while prompting, bookmark flags across the
// modes, and the line at the top across saving and opening again.
#include "document/OVDocumentPackageWriter.h"
#include "output/OVTalentWindowController.h"
#include "platform/appkit/ClipView.h"
#include "platform/appkit/RunLoop.h"
#include "platform/appkit/ScrollView.h"
#include "platform/appkit/Window.h"
#include "platform/text/AttributeNames.h"
#include "platform/text/MutableAttributedString.h"
#include "platform/text/TextAttachment.h"
#include "platform/text/TextStorage.h"
#include "platform/textlayout/LayoutManager.h"
#include "platform/textview/TextView.h"
#include "prompting/OVApplication.h"
#include "prompting/OVCore.h"
#include "text/OVBookmarkCell.h"
#include "window/OVDocumentPrompterView.h"
#include "window/OVDocumentWindowController.h"

#include <QApplication>
#include <QCoreApplication>
#include <QFile>
#include <QKeyEvent>
#include <QRegularExpression>
#include <QTest>
#include <QWheelEvent>
#include <QWidget>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <tuple>

#include "LaunchedScriptTest.h"

namespace {

class PromptInput : public launchtest::LaunchedScriptTest {
protected:
    OVCore& core() const { return OVApplication::shared().core(); }
    QWidget* host() const { return controller().window()->hostWidget(); }
    TextView& text() const { return *controller().textView(); }
    ClipView& clip() const { return *controller().documentPrompterView()->scrollView()->contentView(); }
    double scrollY() const { return clip().bounds().origin.y; }
    double speed() const { return controller().prompterSpeed(); }

    void key(Qt::Key which, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QTest::keyClick(host(), which, modifiers);
        QCoreApplication::processEvents();
    }
    // One key event as the X server sends it: auto-repeat comes as a release and a press of the same
    // key with the same time, which Qt flags as repeats when it sees the press in time, and not
    // otherwise.
    void send(QEvent::Type type, Qt::Key which, quint64 time, bool autoRepeat)
    {
        QKeyEvent event(type, which, Qt::NoModifier, 0, 0, 0, QString(), autoRepeat);
        event.setTimestamp(time);
        QApplication::sendEvent(host(), &event);
    }
    // Holds a key for seconds, with the server's repeats every 40 ms after the first 660 ms;
    // sample runs after each step of the hold.
    template <typename Sample> void hold(Qt::Key which, double seconds, Sample sample)
    {
        quint64 time = 5000;
        send(QEvent::KeyPress, which, time, false);
        for (double held = 0; held < seconds; held += 0.04) {
            advance(0.04);
            time += 40;
            if (held >= 0.66) {
                const bool flagged = (time / 40) % 3 != 0;
                send(QEvent::KeyRelease, which, time, flagged);
                send(QEvent::KeyPress, which, time, flagged);
            }
            sample(held);
        }
        send(QEvent::KeyRelease, which, time + 40, false);
    }
    void advance(double seconds) { RunLoop::main().advanceManualClock(clock, seconds); }

    std::vector<std::shared_ptr<OVBookmarkCell>> bookmarkCells() const
    {
        std::vector<std::shared_ptr<OVBookmarkCell>> cells;
        const TextStorage& storage = text().textStorage();
        for (qsizetype i = 0; i < storage.length(); ++i) {
            const AttributeValue* value = storage.attributesAtIndex(i).find(kAttachmentAttributeName);
            if (!value || !value->attachment())
                continue;
            if (auto cell = std::dynamic_pointer_cast<OVBookmarkCell>(value->attachment()->attachmentCell()))
                cells.push_back(cell);
        }
        return cells;
    }
};

TEST_F(PromptInput, NumberKeysSetTheSpeedAndBookmarkFlagsHideWhilePrompting)
{
    ASSERT_FALSE(bookmarkCells().empty());
    for (const auto& cell : bookmarkCells())
        EXPECT_TRUE(cell->isVisible());

    key(Qt::Key_Return, Qt::ControlModifier);
    ASSERT_TRUE(core().isModePrompt());
    for (const auto& cell : bookmarkCells())
        EXPECT_FALSE(cell->isVisible()) << "a bookmark flag shows in the operator's prompter";

    key(Qt::Key_3);
    EXPECT_EQ(speed(), 3);
    // The keyboard's state as X tells it holds no keypad modifier: the keypad is a property of the
    // key pressed. (Qt's offscreen platform answers the last event's modifiers instead.)
    OVDocumentWindowController::setModifierFlagsProvider([] { return 0UL; });
    key(Qt::Key_0, Qt::KeypadModifier);
    EXPECT_EQ(speed(), 0) << "the keypad's 0 stops";
    key(Qt::Key_0);
    EXPECT_EQ(speed(), 10) << "the main keyboard's 0 is ten";
    key(Qt::Key_4, Qt::AltModifier);
    EXPECT_EQ(speed(), -4) << "Alt with a number runs backwards";
    key(Qt::Key_7, Qt::AltModifier | Qt::KeypadModifier);
    EXPECT_EQ(speed(), -7);

    OVDocumentWindowController::setModifierFlagsProvider({});

    key(Qt::Key_Escape);
    ASSERT_TRUE(core().isModeEdit());
    for (const auto& cell : bookmarkCells())
        EXPECT_TRUE(cell->isVisible());
}

TEST_F(PromptInput, HeldKeysActUntilTheirRealReleaseThroughTheServersAutoRepeat)
{
    key(Qt::Key_Return, Qt::ControlModifier);
    ASSERT_TRUE(core().isModePrompt());
    ASSERT_TRUE(core().isStatusPaused());

    // Down and Up scroll the paused prompter for as long as they are held.
    for (Qt::Key which : {Qt::Key_Down, Qt::Key_Up}) {
        if (which == Qt::Key_Up) {
            ASSERT_GT(scrollY(), 200) << "Down left room to scroll back";
        }
        double last = scrollY();
        int still = 0;
        hold(which, 2.0, [&](double held) {
            // Scrolling eases in; after that every step of the hold moves the view.
            if (held > 0.3 && scrollY() == last)
                ++still;
            last = scrollY();
        });
        EXPECT_EQ(still, 0) << "the view stood still while the key was held";
        const double released = scrollY();
        advance(1.0);
        // It eases out after the release, and then stops.
        const double settled = scrollY();
        advance(1.0);
        EXPECT_EQ(scrollY(), settled);
        EXPECT_LT(std::abs(settled - released), 400);
    }

    // Right and Left change the speed for the whole hold, and not after it.
    for (Qt::Key which : {Qt::Key_Left, Qt::Key_Right}) {
        key(Qt::Key_5);
        double atOneSecond = 0;
        hold(which, 2.5, [&](double held) {
            if (atOneSecond == 0 && held >= 1.0)
                atOneSecond = speed();
        });
        const double atRelease = speed();
        EXPECT_GT(std::abs(atRelease - atOneSecond), 1.0) << "the speed froze while the key was held";
        advance(1.0);
        EXPECT_EQ(speed(), atRelease);
        EXPECT_EQ(which == Qt::Key_Right, atRelease > 5);
    }
}

TEST_F(PromptInput, AWheelNotchWhilePromptingMovesWhatItMovesOnTheDesktop)
{
    key(Qt::Key_Return, Qt::ControlModifier);
    ASSERT_TRUE(core().isModePrompt());
    key(Qt::Key_Space);
    ASSERT_TRUE(core().isStatusStarted());
    advance(0.5);
    // The script runs by itself meanwhile; what the wheel adds is measured beside that.
    const auto runFor = [&](double seconds) {
        const double from = scrollY();
        advance(seconds);
        return scrollY() - from;
    };
    const double running = runFor(0.5);

    const QPointF middle(host()->width() / 2.0, host()->height() / 2.0);
    const auto wheel = [&](QPoint pixels, QPoint angle) {
        QWheelEvent event(middle, host()->mapToGlobal(middle), pixels, angle, Qt::NoButton, Qt::NoModifier,
                          Qt::NoScrollPhase, false);
        QApplication::sendEvent(host(), &event);
        advance(1.0 / 60);
    };
    // The line at the reading place, the height a notch's lines are counted in.
    const LayoutManager& layout = *text().layoutManager();
    const double lineHeight =
        layout.lineFragmentRectForGlyphAtIndex(layout.glyphIndexForPoint({0, 10})).size.height;
    ASSERT_GT(lineHeight, 10);

    const double before = scrollY();
    for (int notch = 0; notch < 2; ++notch)
        wheel({}, {0, -120});
    advance(0.5 - 2.0 / 60);
    const double expected = 2 * QApplication::wheelScrollLines() * lineHeight;
    EXPECT_NEAR(scrollY() - before - running, expected, 0.1 * expected);

    // A touchpad's pixels stay pixels.
    const double beforePixels = scrollY();
    wheel({0, -100}, {0, -100});
    advance(0.5 - 1.0 / 60);
    EXPECT_NEAR(scrollY() - beforePixels - running, 100, 10);
}

// A script as the program writes it: paragraphs of many lengths in a prompter's size, so that lines
// wrap unevenly; about size characters. With numberWidth, the paragraphs' numbers take that many
// places, so that the mix of lengths is the same all through the script.
QString writeScript(const QString& path, qsizetype size, int numberWidth = 0)
{
    MutableAttributedString text;
    Font font;
    font.familyName = QStringLiteral("Helvetica");
    font.fontName = QStringLiteral("Helvetica");
    font.pointSize = 28;
    const QString words = QStringLiteral("the talent reads this line aloud while the operator watches ");
    for (int paragraph = 0; text.length() < size; ++paragraph) {
        QString line = QStringLiteral("Paragraph %1: ").arg(paragraph, numberWidth);
        line += words.repeated(1 + (paragraph * 7) % 5) + u'\n';
        text.append(line, {{kFontAttributeName, AttributeValue(font)}});
    }
    OVDocumentPackageWriter::Input input;
    input.text = &text;
    input.scrollbarPosition = 0;
    Error error;
    return OVDocumentPackageWriter::writeToURL(QUrl::fromLocalFile(path), QUrl(), input, &error)
               ? QString()
               : error.localizedDescription();
}

class ReadingPosition : public PromptInput {
protected:
    Document& opened() const { return *documents().back(); }
    OVDocumentWindowController& openedController() const
    {
        return *dynamic_cast<OVDocumentWindowController*>(opened().primaryWindowController());
    }
    Window& openedWindow() const { return *openedController().window(); }
    ClipView& openedClip() const
    {
        return *openedController().documentPrompterView()->scrollView()->contentView();
    }

    void open(const QString& path)
    {
        Error error;
        ASSERT_TRUE(session->documentController().openDocumentWithContentsOfURL(QUrl::fromLocalFile(path),
                                                                                true, &error))
            << error.localizedDescription().toStdString();
        // As for a person: the window shows, settles and is looked at.
        QCoreApplication::processEvents();
        advance(0.1);
        QCoreApplication::processEvents();
    }
    void press(Qt::Key which, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QTest::keyClick(openedWindow().hostWidget(), which, modifiers);
        QCoreApplication::processEvents();
    }
    // The paragraph whose line is at the top of the text shown, and how far into that line the top is.
    std::pair<int, double> top() const
    {
        TextView& view = *openedController().textView();
        const LayoutManager& layout = *view.layoutManager();
        const double y = std::max(0.0, openedClip().bounds().origin.y - view.textContainerOrigin().y);
        // Asked by place, as drawing asks: a question about a character would lay out all the text
        // before it first and move the line away from where it is shown.
        Rect line;
        qsizetype index = 0;
        for (const LineFragment& fragment : layout.lineFragmentsInRect(Rect(0, y, 1, 0)))
            if (fragment.rect.minY() <= y) {
                line = fragment.rect;
                index = fragment.characterRange.location;
            }
        return {int(view.string().left(index).count(u'\n')), y - line.origin.y};
    }
    // Lets layout from the start reach the end, delivering its corrections as idle time would.
    void layOutToTheEnd()
    {
        const LayoutManager& layout = *openedController().textView()->layoutManager();
        for (int pass = 0; pass < 1000000 && !layout.isLayoutComplete(); ++pass)
            QCoreApplication::processEvents();
        QCoreApplication::processEvents();
    }
    // Scrolls with the wheel as a user would, until the paragraph is at the top.
    void wheelTo(int paragraph)
    {
        QWidget* widget = openedWindow().hostWidget();
        const QPointF middle(widget->width() / 2.0, widget->height() / 2.0);
        for (int notch = 0; notch < 20000 && top().first < paragraph; ++notch) {
            QWheelEvent event(middle, widget->mapToGlobal(middle), {}, {0, -120}, Qt::NoButton,
                              Qt::NoModifier, Qt::NoScrollPhase, false);
            QApplication::sendEvent(widget, &event);
        }
    }
    // Saves, closes and opens the script again, count times, and answers the top after each.
    void cycle(const QString& path, const std::pair<int, double>& expected, int count, bool prompting)
    {
        for (int round = 0; round < count; ++round) {
            SCOPED_TRACE(testing::Message() << "round " << round << (prompting ? " prompting" : ""));
            if (prompting) {
                press(Qt::Key_Return, Qt::ControlModifier);
                ASSERT_TRUE(core().isModePrompt());
                advance(1.0);
                EXPECT_EQ(top().first, expected.first) << "entering Prompt mode";
                press(Qt::Key_Escape);
                ASSERT_TRUE(core().isModeEdit());
                advance(1.0);
            }
            // Saved as it stands, without scrolling: an unchanged script is saved all the same.
            opened().updateChangeCount(Document::ChangeType::Done);
            press(Qt::Key_S, Qt::ControlModifier);
            ASSERT_FALSE(opened().isDocumentEdited());
            opened().close();
            QCoreApplication::processEvents();
            open(path);
            EXPECT_EQ(top().first, expected.first);
            EXPECT_NEAR(top().second, expected.second, 1.0);
        }
    }
};

// A long script whose paragraphs differ wildly in length and size, so that heights estimated from
// the first ones are far off further down; about size characters.
QString writeUnevenScript(const QString& path, qsizetype size)
{
    MutableAttributedString text;
    const QString words = QStringLiteral("every paragraph of this script is unlike the one before it ");
    for (int paragraph = 0; text.length() < size; ++paragraph) {
        Font font;
        font.familyName = font.fontName = QStringLiteral("Helvetica");
        // Short lines in small type at the start, then headlines and long blocks mixed.
        const bool start = text.length() < size / 10;
        font.pointSize = start ? 12 : (paragraph % 3 == 0 ? 72 : 18);
        const int repeats = start ? 1 : (paragraph % 11 == 0 ? 120 : 1 + (paragraph * 13) % 7);
        const QString line =
            QStringLiteral("Paragraph %1: ").arg(paragraph) + words.repeated(repeats) + u'\n';
        text.append(line, {{kFontAttributeName, AttributeValue(font)}});
    }
    OVDocumentPackageWriter::Input input;
    input.text = &text;
    Error error;
    return OVDocumentPackageWriter::writeToURL(QUrl::fromLocalFile(path), QUrl(), input, &error)
               ? QString()
               : error.localizedDescription();
}

TEST_F(ReadingPosition, AFarPlaceInALongUnevenScriptOpensOnItsLineWithoutLayingOutTheTextAbove)
{
    document().close();
    QCoreApplication::processEvents();
    const QString path = folder.filePath(QStringLiteral("Uneven.ovdocument"));
    ASSERT_EQ(writeUnevenScript(path, 5 << 20), QString());
    open(path);
    openedController().setPrompterPositionRatio(0.9);
    QCoreApplication::processEvents();
    const std::pair<int, double> place = top();
    ASSERT_GT(place.first, 1000);

    // Saved once with the text above laid out, once straight after opening with it still unlaid.
    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE(testing::Message() << "round " << round);
        opened().updateChangeCount(Document::ChangeType::Done);
        press(Qt::Key_S, Qt::ControlModifier);
        ASSERT_FALSE(opened().isDocumentEdited());
        opened().close();
        QCoreApplication::processEvents();
        open(path);
        const LayoutManager& layout = *openedController().textView()->layoutManager();
        EXPECT_FALSE(layout.isLayoutComplete()) << "the whole script was laid out before it showed";
        EXPECT_EQ(top().first, place.first);
        EXPECT_NEAR(top().second, place.second, 1.0);
        if (round % 2 == 1)
            continue;
        // Layout from the start corrects every height above; what shows stays where it is.
        layOutToTheEnd();
        ASSERT_TRUE(layout.isLayoutComplete());
        EXPECT_EQ(top().first, place.first) << "the line moved as the text above was laid out";
        EXPECT_NEAR(top().second, place.second, 1.0);
    }

    // Places that are not in the text are refused, and leave the view where it is.
    OVDocumentPrompterView& view = *openedController().documentPrompterView();
    const qsizetype length = openedController().textView()->textStorage().length();
    for (const auto& [index, offset] :
         {std::pair{length, 0.0}, std::pair{qsizetype(-1), 0.0},
          std::pair{std::numeric_limits<qsizetype>::max(), 0.0}, std::pair{qsizetype(0), std::nan("")}})
        EXPECT_FALSE(view.setLineAtTop(index, offset)) << index;
    EXPECT_EQ(top().first, place.first);
    opened().close();
}

// The package as the platform's own program leaves it after saving: the share of the height kept,
// the line at the top, which it does not know, gone.
bool dropLineAtTop(const QString& path)
{
    QFile file(path + QStringLiteral("/Properties.plist"));
    if (!file.open(QIODevice::ReadOnly))
        return false;
    QString plist = QString::fromUtf8(file.readAll());
    file.close();
    const qsizetype before = plist.size();
    plist.remove(QRegularExpression(QStringLiteral("<key>scrollbarAnchor</key>\\s*<dict>.*?</dict>"),
                                    QRegularExpression::DotMatchesEverythingOption));
    if (plist.size() == before || !plist.contains(QStringLiteral("<key>scrollbarPosition</key>")) ||
        !file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    return file.write(plist.toUtf8()) > 0;
}

TEST_F(ReadingPosition, AScriptWithOnlyTheShareOpensOnItsLineWithoutLayingOutTheTextAbove)
{
    document().close();
    QCoreApplication::processEvents();
    const QString path = folder.filePath(QStringLiteral("Shared.ovdocument"));
    // The share is placed on heights estimated from the lines laid out so far: right where the
    // script's lines are alike all through it, as here. (Where they change along the script, as
    // numbers growing longer do, the place is off by as much, 0.3% of the height in writeScript's.)
    ASSERT_EQ(writeScript(path, 2 << 20, 6), QString());
    open(path);
    layOutToTheEnd();
    openedController().setPrompterPositionRatio(0.9);
    QCoreApplication::processEvents();
    const int saved = top().first;
    ASSERT_GT(saved, 1000);
    opened().updateChangeCount(Document::ChangeType::Done);
    press(Qt::Key_S, Qt::ControlModifier);
    ASSERT_FALSE(opened().isDocumentEdited());
    opened().close();
    QCoreApplication::processEvents();
    ASSERT_TRUE(dropLineAtTop(path));

    open(path);
    const LayoutManager& layout = *openedController().textView()->layoutManager();
    EXPECT_FALSE(layout.isLayoutComplete()) << "the whole script was laid out before it showed";
    // The talent and the preview, which the copy is made for after the window's first frame, show
    // the same script.
    EXPECT_TRUE(OVTalentWindowController::sharedTalentWindowController().talentTextStorage().string() ==
                openedController().textView()->textStorage().string());
    // Placed on the estimated height, the saved line is on screen, if not quite at its top.
    const std::pair<int, double> place = top();
    const double height = openedClip().bounds().size.height;
    const double y = openedClip().bounds().origin.y - openedController().textView()->textContainerOrigin().y;
    int last = place.first;
    for (const LineFragment& fragment : layout.lineFragmentsInRect(Rect(0, y, 1, height)))
        if (fragment.rect.maxY() <= y + height)
            last = int(
                openedController().textView()->string().left(fragment.characterRange.location).count(u'\n'));
    EXPECT_LE(place.first, saved) << "shown from " << place.first << " to " << last;
    EXPECT_GE(last, saved) << "shown from " << place.first << " to " << last;
    // Layout from the start corrects every height above; what shows stays where it is, and saving
    // and opening again keeps it.
    layOutToTheEnd();
    ASSERT_TRUE(layout.isLayoutComplete());
    EXPECT_EQ(top().first, place.first) << "the line moved as the text above was laid out";
    EXPECT_NEAR(top().second, place.second, 1.0);
    cycle(path, place, 2, false);
    opened().close();
}

TEST_F(ReadingPosition, TheLineShownStaysThroughEachTripIntoPromptModeAndBack)
{
    document().close();
    QCoreApplication::processEvents();
    const QString path = folder.filePath(QStringLiteral("Uneven.ovdocument"));
    ASSERT_EQ(writeUnevenScript(path, 5 << 20), QString());
    open(path);
    openedController().setPrompterPositionRatio(0.9);
    QCoreApplication::processEvents();
    // Opened again at that place, so that the text above it is still only estimated.
    opened().updateChangeCount(Document::ChangeType::Done);
    press(Qt::Key_S, Qt::ControlModifier);
    opened().close();
    QCoreApplication::processEvents();
    open(path);
    const LayoutManager& layout = *openedController().textView()->layoutManager();
    ASSERT_FALSE(layout.isLayoutComplete());
    const int line = top().first;
    ASSERT_GT(line, 1000);
    // Neither mode change lays out the text above the place: a longer script would stall on it.
    const qsizetype half = openedController().textView()->textStorage().length() / 2;

    for (int trip = 0; trip < 3; ++trip) {
        SCOPED_TRACE(testing::Message() << "trip " << trip);
        press(Qt::Key_Return, Qt::ControlModifier);
        ASSERT_TRUE(core().isModePrompt());
        if (trip < 2) {
            EXPECT_LT(layout.firstUnlaidCharacterIndex(), half) << "laid out to enter Prompt mode";
        }
        advance(1.0);
        EXPECT_EQ(top().first, line) << "entering Prompt mode";
        // The last time, the text above is laid out while prompting: what shows stays.
        if (trip == 2) {
            layOutToTheEnd();
            EXPECT_EQ(top().first, line) << "the line moved as the text above was laid out";
        }
        press(Qt::Key_Escape);
        ASSERT_TRUE(core().isModeEdit());
        if (trip < 2) {
            EXPECT_LT(layout.firstUnlaidCharacterIndex(), half) << "laid out to return to Edit mode";
        }
        advance(1.0);
        EXPECT_EQ(top().first, line) << "returning to Edit mode";
    }
    opened().close();
}

TEST_F(ReadingPosition, TheLineAtTheTopComesBackAfterEachSaveAndOpen)
{
    // The script of the start is put away: the one opened here is the only one, as for a user.
    document().close();
    QCoreApplication::processEvents();
    for (const auto& [name, size, rounds] :
         {std::tuple{QStringLiteral("Short.ovdocument"), qsizetype(12000), 10},
          std::tuple{QStringLiteral("Long.ovdocument"), qsizetype(1 << 20), 3}}) {
        SCOPED_TRACE(name.toStdString());
        const QString path = folder.filePath(name);
        ASSERT_EQ(writeScript(path, size), QString());
        open(path);
        wheelTo(name.startsWith(u'S') ? 9 : 300);
        const std::pair<int, double> place = top();
        ASSERT_GT(place.first, 5);
        cycle(path, place, rounds, false);
        cycle(path, place, rounds / 2 + 1, true);
        opened().close();
    }
}

} // namespace
