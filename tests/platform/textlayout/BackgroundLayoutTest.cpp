// Layout ahead of need: what is asked for is laid out at once and exactly, the rest in background
// slices, with an estimated height in between that the slices correct.
#include "platform/text/TextAttachment.h"
#include "platform/textlayout/LayoutManager.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

constexpr double kWidth = 500;

// A script of paragraphs of varied length, in two fonts, with a picture-sized attachment now and
// then (where bookmarks and pictures sit).
std::shared_ptr<TextStorage> makeScript(int paragraphs)
{
    const AttributeDictionary body{
        {kFontAttributeName, Font{QStringLiteral("Helvetica"), QStringLiteral("Helvetica"), 24}}};
    const AttributeDictionary cue{
        {kFontAttributeName, Font{QStringLiteral("Helvetica"), QStringLiteral("Helvetica-Bold"), 24, true}}};
    auto attachment = std::make_shared<TextAttachment>();
    attachment->setBounds(QRectF(0, -10, 40, 60));
    auto storage = std::make_shared<TextStorage>();
    storage->beginEditing();
    for (int i = 0; i < paragraphs; ++i) {
        storage->append(QStringLiteral("CUE %1: ").arg(i), cue);
        QString words;
        for (int w = 0; w < 5 + (i * 7) % 40; ++w)
            words += QStringLiteral("word%1 ").arg(w);
        storage->append(words, body);
        if (i % 25 == 0)
            storage->append(QString(QChar(kAttachmentCharacter)), {{kAttachmentAttributeName, attachment}});
        storage->append(QStringLiteral("\n"), body);
    }
    storage->endEditing();
    return storage;
}

struct Script {
    explicit Script(std::shared_ptr<TextStorage> text) : storage(std::move(text)), layout(storage)
    {
        layout.setTextContainerSize({kWidth, TextContainer::kUnlimitedHeight});
    }
    void finishInBackground()
    {
        while (layout.layOutInBackground(0)) {
        }
        layout.layOutInBackground(0);
    }
    double height() const { return layout.usedRectForTextContainer().height(); }
    std::shared_ptr<TextStorage> storage;
    LayoutManager layout;
};

} // namespace

TEST(BackgroundLayoutTest, OpeningLaysOutNothingAndTheFirstScreenOnlyWhatItShows)
{
    Script script(makeScript(2000));
    EXPECT_EQ(script.layout.firstUnlaidCharacterIndex(), 0);
    EXPECT_FALSE(script.layout.isLayoutComplete());
    EXPECT_GT(script.height(), 0);

    const auto firstScreen = script.layout.lineFragmentsInRect({0, 0, kWidth, 800});
    ASSERT_FALSE(firstScreen.empty());
    EXPECT_GE(firstScreen.back().rect.maxY(), 800);
    const qsizetype laidOut = script.layout.firstUnlaidCharacterIndex();
    EXPECT_GE(laidOut, firstScreen.back().characterRange.end());
    EXPECT_LT(laidOut, script.storage->length() / 20);
}

TEST(BackgroundLayoutTest, EstimatedHeightConvergesToTheLaidOutHeight)
{
    Script complete(makeScript(2000));
    complete.layout.ensureLayoutForTextContainer();
    const double real = complete.height();

    Script script(makeScript(2000));
    script.layout.lineFragmentsInRect({0, 0, kWidth, 800});
    // Once the first screen is laid out, the estimate has learned the script's lines.
    EXPECT_NEAR(script.height(), real, real * 0.1);
    int slices = 0;
    double worstLateError = 0;
    while (script.layout.layOutInBackground(0)) {
        ++slices;
        ASSERT_TRUE(std::isfinite(script.height()));
        if (script.layout.firstUnlaidCharacterIndex() > script.storage->length() / 2)
            worstLateError = std::max(worstLateError, std::abs(script.height() - real));
    }
    EXPECT_GT(slices, 100) << "a slice given no time lays out one paragraph";
    EXPECT_TRUE(script.layout.isLayoutComplete());
    EXPECT_LT(worstLateError, real * 0.05);
    EXPECT_DOUBLE_EQ(script.height(), real);
    EXPECT_EQ(script.layout.numberOfLines(), complete.layout.numberOfLines());
}

TEST(BackgroundLayoutTest, LinesOnceShownNeverMoveAndObserversHearOfEachSlice)
{
    Script script(makeScript(600));
    const Rect screen(0, 0, kWidth, 600);
    const auto shown = script.layout.lineFragmentsInRect(screen);
    std::vector<Range> reported;
    script.layout.addLayoutObserver([&](const Range& range, bool heightChanged) {
        EXPECT_TRUE(heightChanged);
        reported.push_back(range);
    });
    script.finishInBackground();
    ASSERT_FALSE(reported.empty());
    // The query's own layout is reported first, then each slice, each reaching to the end.
    for (const Range& range : reported)
        EXPECT_EQ(range.end(), script.storage->length());
    EXPECT_EQ(reported.front().location, 0);
    const auto after = script.layout.lineFragmentsInRect(screen);
    ASSERT_EQ(after.size(), shown.size());
    for (size_t i = 0; i < shown.size(); ++i) {
        EXPECT_EQ(after[i].characterRange, shown[i].characterRange);
        EXPECT_EQ(after[i].rect, shown[i].rect);
    }
}

TEST(BackgroundLayoutTest, QueriesPastTheLaidOutTextLayItOutFirstAndAnswerExactly)
{
    Script complete(makeScript(1500));
    complete.layout.ensureLayoutForTextContainer();
    Script script(makeScript(1500));
    const qsizetype length = script.storage->length();

    // A bookmark far down the script: found where a complete layout puts it.
    const qsizetype bookmark = script.storage->string().lastIndexOf(QChar(kAttachmentCharacter));
    ASSERT_GT(bookmark, length / 2);
    EXPECT_EQ(script.layout.lineFragmentRectForGlyphAtIndex(bookmark),
              complete.layout.lineFragmentRectForGlyphAtIndex(bookmark));
    EXPECT_GT(script.layout.firstUnlaidCharacterIndex(), bookmark);
    EXPECT_FALSE(script.layout.isLayoutComplete());

    // A point below it (a scroller dragged there): laid out down to it, the same glyph as a
    // complete layout finds.
    const double y = complete.layout.lineFragmentRectForGlyphAtIndex(length - 50).minY() + 1;
    EXPECT_EQ(script.layout.glyphIndexForPoint({40, y}), complete.layout.glyphIndexForPoint({40, y}));
    EXPECT_EQ(script.layout.insertionPointRectForCharacterIndex(length),
              complete.layout.insertionPointRectForCharacterIndex(length));
    EXPECT_FALSE(script.layout.layOutInBackground(0));
    EXPECT_TRUE(script.layout.isLayoutComplete());
    EXPECT_DOUBLE_EQ(script.height(), complete.height());
}

TEST(BackgroundLayoutTest, EditsBeyondTheLaidOutTextWaitAndEditsWithinItAreLaidOutAtOnce)
{
    Script script(makeScript(1500));
    script.layout.lineFragmentsInRect({0, 0, kWidth, 400});
    const qsizetype laidOut = script.layout.firstUnlaidCharacterIndex();

    script.storage->replaceCharacters({script.storage->length() - 10, 0}, QStringLiteral("late\nedit "));
    EXPECT_EQ(script.layout.firstUnlaidCharacterIndex(), laidOut);
    script.storage->replaceCharacters({5, 0}, QStringLiteral("early edit\n"));
    EXPECT_EQ(script.layout.firstUnlaidCharacterIndex(), laidOut + 11);

    // Replacing the whole text leaves it to be laid out as it is asked for.
    script.storage->setAttributedString(*makeScript(1400));
    EXPECT_EQ(script.layout.firstUnlaidCharacterIndex(), 0);
    script.finishInBackground();
    auto copy = std::make_shared<TextStorage>();
    copy->setAttributedString(*script.storage);
    Script complete(copy);
    complete.layout.ensureLayoutForTextContainer();
    EXPECT_EQ(script.layout.numberOfLines(), complete.layout.numberOfLines());
}

TEST(BackgroundLayoutTest, TheSwitchStopsIdleLayoutButNotLayoutOnDemand)
{
    Script script(makeScript(300));
    script.layout.setBackgroundLayoutEnabled(false);
    EXPECT_FALSE(script.layout.backgroundLayoutEnabled());
    EXPECT_EQ(script.layout.firstUnlaidCharacterIndex(), 0);
    const qsizetype end = script.storage->length() - 1;
    EXPECT_FALSE(script.layout.lineFragmentRectForGlyphAtIndex(end).isEmpty());
    EXPECT_EQ(script.layout.firstUnlaidCharacterIndex(), script.storage->length());
    script.layout.setBackgroundLayoutEnabled(true);
    EXPECT_TRUE(script.layout.backgroundLayoutEnabled());
}

TEST(BackgroundLayoutTest, AScreenFarDownIsLaidOutWhereEstimatedAndKeepsItsPlaceOnScreenAsLayoutReachesIt)
{
    Script script(makeScript(3000));
    script.layout.lineFragmentsInRect({0, 0, kWidth, 600});
    // A script opened at a stored place far down: only that screen is laid out, where the estimate
    // puts it, and nothing between.
    double shownAt = script.height() * 0.9;
    const auto shown = script.layout.lineFragmentsInRect({0, shownAt, kWidth, 600});
    ASSERT_FALSE(shown.empty());
    const double offsetOnScreen = shown.front().rect.minY() - shownAt;
    EXPECT_LT(script.layout.firstUnlaidCharacterIndex(), script.storage->length() / 10);
    EXPECT_GT(shown.front().characterRange.location, script.storage->length() / 2);
    const qsizetype clicked = script.layout.glyphIndexForPoint({40, shownAt + 100});
    EXPECT_LT(script.layout.firstUnlaidCharacterIndex(), script.storage->length() / 10);
    // A view showing it scrolls as far as the lines move while layout from the start corrects the
    // estimate above them.
    int moves = 0;
    script.layout.addLayoutObserver([&](const Range&, bool heightChanged) {
        const double move = heightChanged ? script.layout.reportedMoveAt(shownAt) : 0;
        moves += move != 0 ? 1 : 0;
        shownAt += move;
    });
    script.finishInBackground();
    EXPECT_GT(moves, 0);
    const Rect line = script.layout.lineFragmentRectForGlyphAtIndex(shown.front().characterRange.location);
    EXPECT_NEAR(line.minY() - shownAt, offsetOnScreen, 1e-6);
    EXPECT_EQ(script.layout.glyphIndexForPoint({40, shownAt + 100}), clicked);

    // Once complete, every line stands where a layout from the start puts it.
    Script complete(makeScript(3000));
    complete.layout.ensureLayoutForTextContainer();
    EXPECT_EQ(line, complete.layout.lineFragmentRectForGlyphAtIndex(shown.front().characterRange.location));
    EXPECT_DOUBLE_EQ(script.height(), complete.height());
}

TEST(BackgroundLayoutTest, ALineNamedByItsCharacterIsLaidOutWhereEstimatedFarDownAndInOrderNearTheTop)
{
    Script script(makeScript(3000));
    const qsizetype length = script.storage->length();
    EXPECT_FALSE(script.layout.lineFragmentWhereEstimated(length, 600));
    EXPECT_FALSE(script.layout.lineFragmentWhereEstimated(-1, 600));

    // A saved place far down: its line is laid out where the estimate puts its paragraph, with the
    // lines a screen below it, and nothing above.
    const qsizetype far = script.storage->string().indexOf(u'\n', length * 9 / 10) + 1;
    const double estimated = script.layout.paragraphTopForCharacterIndex(far);
    int reports = 0;
    double move = 0;
    script.layout.addLayoutObserver([&](const Range&, bool heightChanged) {
        ++reports;
        move += heightChanged ? script.layout.reportedMoveAt(estimated) : 0;
    });
    const auto line = script.layout.lineFragmentWhereEstimated(far, 600);
    ASSERT_TRUE(line);
    EXPECT_EQ(line->characterRange.location, far);
    EXPECT_DOUBLE_EQ(line->rect.minY(), estimated);
    EXPECT_LT(script.layout.firstUnlaidCharacterIndex(), length / 10);
    // Observers heard of it already, and a view placed there is not moved by that layout again.
    EXPECT_EQ(reports, 1);
    EXPECT_EQ(move, 0);
    const auto below = script.layout.lineFragmentsInRect({0, estimated, kWidth, 600});
    ASSERT_FALSE(below.empty());
    EXPECT_EQ(below.front().characterRange.location, far);

    // Near the laid-out text the lines before it are laid out first, as any query would.
    const qsizetype near = script.storage->string().indexOf(u'\n', 2000) + 1;
    const auto nearLine = script.layout.lineFragmentWhereEstimated(near, 600);
    ASSERT_TRUE(nearLine);
    EXPECT_GT(script.layout.firstUnlaidCharacterIndex(), near);
    EXPECT_EQ(nearLine->rect, script.layout.lineFragmentRectForGlyphAtIndex(near));
}
