#include "text/OVTextView.h"
#include "platform/appkit/Event.h"
#include "platform/foundation/FileWrapper.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/text/AttributeNames.h"
#include "platform/text/Shadow.h"
#include "platform/text/TextAttachment.h"
#include "settings/OVSharedPreferencesAccess.h"
#include "text/OVBookmark.h"

#include <gtest/gtest.h>

namespace {

const QString kMark = QString(QChar(0xFFFC));

Font font(double size)
{
    Font result;
    result.familyName = QStringLiteral("Helvetica");
    result.fontName = QStringLiteral("Helvetica");
    result.pointSize = size;
    return result;
}

std::shared_ptr<TextAttachment> fileAttachment(const QString& name)
{
    auto wrapper = FileWrapper::makeRegularFile("bytes");
    wrapper->setPreferredFilename(name);
    return std::make_shared<TextAttachment>(wrapper);
}

AttributeDictionary attachmentAttributes(std::shared_ptr<TextAttachment> attachment)
{
    AttributeDictionary attributes{{kFontAttributeName, font(30)}};
    attributes.insert(kAttachmentAttributeName, AttributeValue(std::move(attachment)));
    return attributes;
}

class OVTextViewTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        OVTextView::setActionSender(
            [this](const QString& action, OVTextView&) { actions.push_back(action); });
        OVTextView::setPromptStateProvider([this] { return state; });
        view = std::make_unique<OVTextView>();
        view->setString(QStringLiteral("Hello world"));
        view->textStorage().setAttributes({{kFontAttributeName, font(40)}}, {0, 11});
    }
    void TearDown() override
    {
        view.reset();
        OVTextView::setActionSender(nullptr);
        OVTextView::setPromptStateProvider(nullptr);
        UserDefaults::shared().removeObjectForKey(QStringLiteral("scrollWheelBehaviorTag"));
    }

    Event wheel(double deltaY, bool precise = false)
    {
        Event event;
        event.type = Event::Type::ScrollWheel;
        event.scrollingDeltaY = deltaY;
        event.hasPreciseScrollingDeltas = precise;
        return event;
    }

    std::unique_ptr<OVTextView> view;
    std::vector<QString> actions;
    OVTextView::PromptState state;
};

TEST_F(OVTextViewTest, PastedLinkShadowToolTipAndClearColoursAreStripped)
{
    AttributeDictionary pasted{{kFontAttributeName, font(12)},
                               {kLinkAttributeName, QStringLiteral("https://example.com")},
                               {kShadowAttributeName, Shadow{}},
                               {kToolTipAttributeName, QStringLiteral("tip")},
                               {kForegroundColorAttributeName, Color::gray(0, 0)},
                               {kBackgroundColorAttributeName, Color::rgb(1, 0, 0)}};
    view->textStorage().replaceCharacters({5, 0}, AttributedString(QStringLiteral(" big"), pasted));

    const AttributeDictionary result = view->textStorage().attributesAtIndex(6);
    EXPECT_FALSE(result.contains(kLinkAttributeName));
    EXPECT_FALSE(result.contains(kShadowAttributeName));
    EXPECT_FALSE(result.contains(kToolTipAttributeName));
    EXPECT_FALSE(result.contains(kForegroundColorAttributeName));
    // A visible colour stays.
    EXPECT_TRUE(result.contains(kBackgroundColorAttributeName));
    EXPECT_EQ(view->string(), QStringLiteral("Hello big world"));
}

TEST_F(OVTextViewTest, DocumentAttachmentsBecomeBlanksAndPicturesAndBookmarksStay)
{
    TextStorage& storage = view->textStorage();
    storage.replaceCharacters({5, 0}, AttributedString(kMark, attachmentAttributes(fileAttachment("a.pdf"))));
    EXPECT_EQ(view->string(), QStringLiteral("Hello  world"));
    const AttributeDictionary blank = storage.attributesAtIndex(5);
    EXPECT_FALSE(blank.contains(kAttachmentAttributeName));
    // The blank takes the font of the character before it.
    const AttributeValue blankFont = blank.value(kFontAttributeName);
    ASSERT_NE(blankFont.font(), nullptr);
    EXPECT_EQ(blankFont.font()->pointSize, 40);

    storage.replaceCharacters({0, 0}, AttributedString(kMark, attachmentAttributes(fileAttachment("p.PNG"))));
    EXPECT_EQ(storage.string().at(0), QChar(0xFFFC));

    auto wrapper = FileWrapper::makeRegularFile(OVBookmark::bookmarkWithName("B")->archivedData());
    wrapper->setPreferredFilename(OVBookmark::preferredFilename());
    storage.replaceCharacters(
        {1, 0}, AttributedString(kMark, attachmentAttributes(std::make_shared<TextAttachment>(wrapper))));
    EXPECT_EQ(storage.string().at(1), QChar(0xFFFC));
}

TEST_F(OVTextViewTest, AMultiCharacterAttachmentRunIsReplacedCharacterForCharacter)
{
    // One attachment value over three characters, then a link after it: the link must still come off
    // the right characters after the run turned into blanks.
    AttributedString pasted(kMark + kMark + kMark, attachmentAttributes(fileAttachment("doc.txt")));
    MutableAttributedString mutablePasted(pasted);
    mutablePasted.append(QStringLiteral("ab"),
                         {{kFontAttributeName, font(12)}, {kLinkAttributeName, QStringLiteral("x")}});
    view->textStorage().replaceCharacters({11, 0}, mutablePasted);

    EXPECT_EQ(view->string(), QStringLiteral("Hello world   ab"));
    for (qsizetype i = 0; i < view->string().size(); ++i) {
        EXPECT_FALSE(view->textStorage().attributesAtIndex(i).contains(kLinkAttributeName)) << i;
        EXPECT_FALSE(view->textStorage().attributesAtIndex(i).contains(kAttachmentAttributeName)) << i;
    }
    const AttributeValue lastFont = view->textStorage().attribute(kFontAttributeName, 14);
    ASSERT_NE(lastFont.font(), nullptr);
    EXPECT_EQ(lastFont.font()->pointSize, 12);
}

TEST_F(OVTextViewTest, LineBreakModesBecomeWordWrapping)
{
    ParagraphStyle truncating;
    truncating.lineBreakMode = LineBreakMode::TruncatingTail;
    view->textStorage().addAttribute(kParagraphStyleAttributeName, truncating, {0, 11});
    const AttributeValue value = view->textStorage().attribute(kParagraphStyleAttributeName, 3);
    const ParagraphStyle* style = value.paragraphStyle();
    ASSERT_NE(style, nullptr);
    EXPECT_EQ(style->lineBreakMode, LineBreakMode::WordWrapping);
}

TEST_F(OVTextViewTest, DisplayOnlyViewsAreNotSanitisedButNotifyAfterEachEdit)
{
    int notified = 0;
    NotificationObserver observer(NotificationCenter::shared(), OVTextViewDidProcessEditingNotification,
                                  &view->textStorage(), [&](const Notification&) { ++notified; });
    view->textStorage().addAttribute(kLinkAttributeName, QStringLiteral("x"), {0, 2});
    EXPECT_EQ(notified, 1);
    view->setDisableContentNotifications(true);
    view->configureForEditing(false);
    view->textStorage().addAttribute(kLinkAttributeName, QStringLiteral("x"), {0, 2});
    EXPECT_TRUE(view->textStorage().attributesAtIndex(0).contains(kLinkAttributeName));
    EXPECT_EQ(notified, 1);
}

struct RecordingLogger : OVTextTransactionLogging {
    explicit RecordingLogger(QStringList& lines) : lines(lines) {}
    void beginLog(OVTextView&, const Range& range, qsizetype change, unsigned actions) override
    {
        lines << QStringLiteral("begin %1 %2 %3 %4")
                     .arg(range.location)
                     .arg(range.length)
                     .arg(change)
                     .arg(actions);
    }
    void logBeginSanitizeTextStorageLength(qsizetype length) override
    {
        lines << QStringLiteral("in %1").arg(length);
    }
    void logEndSanitizeTextStorageLength(qsizetype length) override
    {
        lines << QStringLiteral("out %1").arg(length);
    }
    QStringList& lines;
};

TEST_F(OVTextViewTest, TrackedIssuesLogEachEditAndTravelWithTheNotification)
{
    QStringList lines;
    int made = 0;
    OVTextView::setTextTransactionLoggerFactory([&](OVTextView&) {
        ++made;
        return std::make_unique<RecordingLogger>(lines);
    });
    QVariantMap info;
    NotificationObserver observer(NotificationCenter::shared(), OVTextViewDidProcessEditingNotification,
                                  &view->textStorage(), [&](const Notification& n) { info = n.userInfo; });

    view->textStorage().replaceCharacters({0, 0}, QStringLiteral("Oh "));
    EXPECT_TRUE(lines.isEmpty()) << "nothing is recorded unless issues are tracked";
    EXPECT_FALSE(info.contains(OVTextTransactionLoggerUserInfoKey));

    UserDefaults::shared().setBool(true, QStringLiteral("logTrackedIssues"));
    view->textStorage().replaceCharacters({0, 0}, QStringLiteral("A"));
    view->textStorage().replaceCharacters({0, 1}, QString());
    EXPECT_EQ(made, 1);
    EXPECT_EQ(lines, (QStringList{"begin 0 1 1 2", "in 15", "out 15", "begin 0 0 -1 2", "in 14", "out 14"}));
    EXPECT_TRUE(info.contains(OVTextTransactionLoggerUserInfoKey));
    UserDefaults::shared().removeObjectForKey(QStringLiteral("logTrackedIssues"));
    OVTextView::setTextTransactionLoggerFactory(nullptr);
}

TEST_F(OVTextViewTest, IndentsAreNormalisedOnEachEditWhenAsked)
{
    ParagraphStyle indented;
    indented.headIndent = 20;
    indented.firstLineHeadIndent = 40;
    view->setAlwaysNormalizeParagraphIndents(true);
    view->textStorage().addAttribute(kParagraphStyleAttributeName, indented, {0, 11});
    const AttributeValue value = view->textStorage().attribute(kParagraphStyleAttributeName, 0);
    const ParagraphStyle* style = value.paragraphStyle();
    ASSERT_NE(style, nullptr);
    EXPECT_EQ(style->headIndent, 0);
    EXPECT_EQ(style->firstLineHeadIndent, 0);
}

TEST_F(OVTextViewTest, UnderlineColorsAreTakenFromEachEditWhenAsked)
{
    view->setPreventUnderlineColors(true);
    MutableAttributedString pasted(QStringLiteral(" plain"), {{kFontAttributeName, font(12)}});
    pasted.append(QStringLiteral(" red"),
                  {{kFontAttributeName, font(12)}, {kUnderlineColorAttributeName, Color::rgb(1, 0, 0)}});
    view->textStorage().replaceCharacters({5, 0}, pasted);
    EXPECT_EQ(view->string(), QStringLiteral("Hello plain red world"));
    const TextStorage& storage = view->textStorage();
    for (qsizetype index = 0; index < storage.length(); ++index)
        EXPECT_FALSE(storage.attributesAtIndex(index).contains(kUnderlineColorAttributeName)) << index;
    EXPECT_TRUE(view->textStorage().attributesAtIndex(13).contains(kFontAttributeName));
}

TEST_F(OVTextViewTest, RangesOutsideTheTextAreCutOrRefused)
{
    view->configureForEditing(false);
    view->textStorage().addAttribute(kLinkAttributeName, QStringLiteral("x"), {0, 11});
    view->stripUnsupportedAttributesInRange({-5, 8});
    EXPECT_FALSE(view->textStorage().attributesAtIndex(2).contains(kLinkAttributeName));
    EXPECT_TRUE(view->textStorage().attributesAtIndex(3).contains(kLinkAttributeName));
    view->stripUnsupportedAttributesInRange({9, 1000});
    EXPECT_FALSE(view->textStorage().attributesAtIndex(10).contains(kLinkAttributeName));
    view->stripUnsupportedAttributesInRange({50, 2});
    EXPECT_EQ(view->string(), QStringLiteral("Hello world"));

    ParagraphStyle indented;
    indented.headIndent = 20;
    view->textStorage().addAttribute(kParagraphStyleAttributeName, indented, {0, 11});
    view->normalizeParagraphIndentsInRange({5, 10});
    const AttributeValue kept = view->textStorage().attribute(kParagraphStyleAttributeName, 0);
    ASSERT_NE(kept.paragraphStyle(), nullptr);
    EXPECT_EQ(kept.paragraphStyle()->headIndent, 20);
}

TEST_F(OVTextViewTest, TypingNextToAPictureKeepsThePreviousAttributesWithoutTheAttachment)
{
    const AttributeDictionary typed{{kFontAttributeName, font(18)},
                                    {kForegroundColorAttributeName, Color::rgb(1, 0, 0)}};
    view->setTypingAttributes(typed);
    view->setTypingAttributes(attachmentAttributes(fileAttachment("p.png")));
    EXPECT_FALSE(view->typingAttributes().contains(kAttachmentAttributeName));
    const AttributeValue typedFont = view->typingAttributes().value(kFontAttributeName);
    ASSERT_NE(typedFont.font(), nullptr);
    EXPECT_EQ(typedFont.font()->pointSize, 18);
    EXPECT_TRUE(view->typingAttributes().contains(kForegroundColorAttributeName));
}

TEST_F(OVTextViewTest, CaretFollowsTheBackgroundAndNotificationsHonourTheSwitch)
{
    int background = 0;
    int passthrough = 0;
    NotificationObserver a(NotificationCenter::shared(), OVTextViewDidChangeBackgroundColorNotification,
                           view.get(), [&](const Notification&) { ++background; });
    NotificationObserver b(NotificationCenter::shared(),
                           OVTextViewDidChangeAllowsHighlightColorPassthroughNotification, view.get(),
                           [&](const Notification&) { ++passthrough; });
    view->setBackgroundColor(Qt::black);
    EXPECT_EQ(view->insertionPointColor(), QColor(Qt::white));
    EXPECT_NE(view->selectedTextBackgroundColor(), QColor(Qt::black));
    view->setBackgroundColor(Qt::white);
    EXPECT_EQ(view->insertionPointColor(), QColor(Qt::black));
    EXPECT_EQ(background, 2);

    view->setDisableContentNotifications(true);
    view->setBackgroundColor(Qt::black);
    view->setAllowsHighlightColorPassthrough(true);
    EXPECT_EQ(background, 2);
    EXPECT_EQ(passthrough, 1);
    EXPECT_EQ(view->selectedTextBackgroundColor().alpha(), 0);
    // Changing the selection ends the pass-through.
    view->setSelectedRange({0, 3});
    EXPECT_FALSE(view->allowsHighlightColorPassthrough());
}

TEST_F(OVTextViewTest, EditsDropTheMarkAroundThemAsTheOptionsSay)
{
    LayoutManager& layout = *view->layoutManager();
    auto marked = [&](qsizetype index) {
        Range run;
        return !layout.temporaryAttribute(OVMarkedTextAttributeName, index, &run, {0, view->string().size()})
                    .isNull();
    };
    view->setDrawsMarkedText(true);
    OVSharedPreferencesAccess::setMarkedTextOptions(0);
    layout.addTemporaryAttribute(OVMarkedTextAttributeName, true, {6, 5});
    view->textStorage().addAttribute(kForegroundColorAttributeName, Color::rgb(0, 0, 1), {7, 1});
    EXPECT_TRUE(marked(6));

    OVSharedPreferencesAccess::setMarkedTextOptions(1);
    // Attribute changes keep the mark with bit 1 alone.
    view->textStorage().addAttribute(kForegroundColorAttributeName, Color::rgb(1, 0, 0), {7, 1});
    EXPECT_TRUE(marked(6));
    view->textStorage().replaceCharacters({8, 0}, QStringLiteral("Y"));
    for (qsizetype i = 0; i < view->string().size(); ++i)
        EXPECT_FALSE(marked(i)) << i;

    OVSharedPreferencesAccess::setMarkedTextOptions(2);
    layout.addTemporaryAttribute(OVMarkedTextAttributeName, true, {0, 5});
    view->textStorage().addAttribute(kForegroundColorAttributeName, Color::rgb(1, 0, 0), {1, 1});
    EXPECT_FALSE(marked(0));
    EXPECT_FALSE(marked(4));

    // While marks are being set the switch is off and nothing drops.
    layout.addTemporaryAttribute(OVMarkedTextAttributeName, true, {0, 5});
    view->autoUnmarkText().disable();
    view->textStorage().addAttribute(kForegroundColorAttributeName, Color::rgb(0, 1, 0), {1, 1});
    EXPECT_TRUE(marked(0));
    view->autoUnmarkText().enable();
    OVSharedPreferencesAccess::setMarkedTextOptions(0);
}

TEST_F(OVTextViewTest, ADoubleClickOnAMarkDropsItWhenAsked)
{
    LayoutManager& layout = *view->layoutManager();
    auto marked = [&](qsizetype index) {
        Range run;
        return !layout.temporaryAttribute(OVMarkedTextAttributeName, index, &run, {0, view->string().size()})
                    .isNull();
    };
    view->setDrawsMarkedText(true);
    layout.addTemporaryAttribute(OVMarkedTextAttributeName, true, {6, 5});
    const Rect glyph = layout.boundingRectForGlyphRange({7, 1});
    const Point origin = view->textContainerOrigin();
    Event click;
    click.type = Event::Type::LeftMouseDown;
    click.clickCount = 2;
    click.locationInWindow =
        view->convertPointToView({glyph.midX() + origin.x, glyph.midY() + origin.y}, nullptr);

    OVSharedPreferencesAccess::setMarkedTextOptions(1);
    view->mouseDown(click);
    EXPECT_TRUE(marked(7));
    OVSharedPreferencesAccess::setMarkedTextOptions(4);
    view->mouseDown(click);
    EXPECT_FALSE(marked(6));
    EXPECT_FALSE(marked(10));
    OVSharedPreferencesAccess::setMarkedTextOptions(0);
}

TEST_F(OVTextViewTest, WheelDeltasGiveSpeedSteps)
{
    EXPECT_EQ(OVTextView::speedStepsForWheelDelta(-25), -1);
    EXPECT_EQ(OVTextView::speedStepsForWheelDelta(-45), -2);
    EXPECT_EQ(OVTextView::speedStepsForWheelDelta(25), 2);
    EXPECT_EQ(OVTextView::speedStepsForWheelDelta(0), 0);
    EXPECT_EQ(OVTextView::speedStepsForWheelDelta(std::nan("")), 0);
    EXPECT_EQ(OVTextView::speedStepsForWheelDelta(-1e300), -OVTextView::kMaxSpeedStepsPerEvent);
    EXPECT_EQ(OVTextView::speedStepsForWheelDelta(INFINITY), 0);
}

TEST_F(OVTextViewTest, WheelSpeedsUpAndSlowsDownWhilePrompting)
{
    Event down = wheel(-1);
    view->scrollWheel(down);
    EXPECT_TRUE(actions.empty()) << "Edit mode scrolls";

    state.prompt = true;
    view->scrollWheel(down);
    ASSERT_EQ(actions.size(), 1u);
    EXPECT_EQ(actions[0], QStringLiteral("increaseSpeedWithMaxCap:"));

    Event up = wheel(1);
    view->scrollWheel(up);
    ASSERT_EQ(actions.size(), 2u);
    EXPECT_EQ(actions[1], QStringLiteral("decreaseSpeedWithMinCap:"));

    // Touchpad points go through the formula as they are: 45 points slow down by three steps.
    Event pixels = wheel(45, true);
    view->scrollWheel(pixels);
    EXPECT_EQ(actions.size(), 5u);

    // Three notches in one event are three steps; half notches of a high-resolution wheel make
    // one step per whole notch.
    Event three = wheel(-3);
    view->scrollWheel(three);
    EXPECT_EQ(actions.size(), 8u);
    Event half = wheel(-0.5);
    view->scrollWheel(half);
    EXPECT_EQ(actions.size(), 8u);
    view->scrollWheel(half);
    EXPECT_EQ(actions.size(), 9u);
    EXPECT_EQ(actions.back(), QStringLiteral("increaseSpeedWithMaxCap:"));
    // With natural scrolling the same hand movement arrives with the other sign.
    Event natural = wheel(1);
    natural.isDirectionInvertedFromDevice = true;
    view->scrollWheel(natural);
    EXPECT_EQ(actions.back(), QStringLiteral("increaseSpeedWithMaxCap:"));
    actions.resize(5);

    state.paused = true;
    view->scrollWheel(down);
    EXPECT_EQ(actions.size(), 5u);
    state.paused = false;
    UserDefaults::shared().setInteger(2, QStringLiteral("scrollWheelBehaviorTag"));
    view->scrollWheel(down);
    EXPECT_EQ(actions.size(), 5u);
}

TEST_F(OVTextViewTest, InsetEventsReachTheViewExceptTheWheelInEditMode)
{
    Event event = wheel(-1);
    EXPECT_FALSE(view->handledEventSelector(QStringLiteral("scrollWheel:"), event, 1, nullptr));
    EXPECT_FALSE(view->handledEventSelector(QString(), event, 1, nullptr));
    state.prompt = true;
    EXPECT_TRUE(view->handledEventSelector(QStringLiteral("scrollWheel:"), event, 1, nullptr));
    EXPECT_EQ(actions.size(), 1u);
}

} // namespace
