// A new container width (quick zoom's scale factor, a resized window) keeps the script's paragraphs
// and breaks only their lines again, as they are asked for; the lines it gives are those a fresh
// layout at that width gives.
#include "platform/textlayout/LayoutManager.h"
#include "platform/textlayout/ParagraphLayoutCache.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

constexpr double kWidth = 500;
constexpr double kNarrow = 310;

std::shared_ptr<TextStorage> makeScript(int paragraphs)
{
    const AttributeDictionary body{
        {kFontAttributeName, Font{QStringLiteral("Helvetica"), QStringLiteral("Helvetica"), 24}}};
    const AttributeDictionary cue{
        {kFontAttributeName, Font{QStringLiteral("Helvetica"), QStringLiteral("Helvetica-Bold"), 24, true}}};
    ParagraphStyle centred;
    centred.alignment = TextAlignment::Center;
    centred.paragraphSpacing = 12;
    auto storage = std::make_shared<TextStorage>();
    storage->beginEditing();
    for (int i = 0; i < paragraphs; ++i) {
        if (i % 30 == 0)
            storage->append(QStringLiteral("SCENE %1\r\n").arg(i / 30),
                            {{kParagraphStyleAttributeName, centred}});
        storage->append(QStringLiteral("CUE %1: ").arg(i), cue);
        QString words;
        for (int w = 0; w < 3 + (i * 7) % 40; ++w)
            words += QStringLiteral("word%1 ").arg(w);
        storage->append(words + QStringLiteral("\n"), body);
    }
    storage->endEditing();
    return storage;
}

struct Script {
    Script(std::shared_ptr<TextStorage> text, double width) : storage(std::move(text)), layout(storage)
    {
        layout.setTextContainerSize({width, TextContainer::kUnlimitedHeight});
    }
    std::vector<LineFragment> allLines() const
    {
        return layout.lineFragmentsInRect({0, 0, 1e6, layout.usedRectForTextContainer().height() + 1e6});
    }
    double height() const { return layout.usedRectForTextContainer().height(); }
    std::shared_ptr<TextStorage> storage;
    LayoutManager layout;
};

void expectSameLines(const std::vector<LineFragment>& lines, const std::vector<LineFragment>& expected)
{
    ASSERT_EQ(lines.size(), expected.size());
    for (size_t i = 0; i < lines.size(); ++i) {
        EXPECT_EQ(lines[i].characterRange, expected[i].characterRange) << "line " << i;
        EXPECT_EQ(lines[i].rect, expected[i].rect) << "line " << i;
        EXPECT_EQ(lines[i].usedRect, expected[i].usedRect) << "line " << i;
        EXPECT_DOUBLE_EQ(lines[i].baseline, expected[i].baseline) << "line " << i;
    }
}

} // namespace

TEST(ContainerWidthChangeTest, ParagraphsKeepTheirIdentitiesAndRanges)
{
    auto storage = makeScript(400);
    TextContainer container({kWidth, TextContainer::kUnlimitedHeight});
    std::vector<std::pair<Range, bool>> reported;
    ParagraphLayoutCache cache(
        container, [](const Range&) { return QList<QTextLayout::FormatRange>(); },
        [&](const Range& range, bool heightChanged) { reported.emplace_back(range, heightChanged); });
    cache.setStorage(*storage);
    cache.lineFragmentsInRect({0, 0, kWidth, 2000});
    ASSERT_GT(cache.firstUnlaidCharacterIndex(), 0);
    const std::vector<ParagraphLayoutCache::Paragraph> before = cache.paragraphs();
    reported.clear();

    container.setSize({kNarrow, TextContainer::kUnlimitedHeight});
    cache.relayoutLines();

    const auto& after = cache.paragraphs();
    ASSERT_EQ(after.size(), before.size());
    for (size_t i = 0; i < after.size(); ++i) {
        EXPECT_EQ(after[i].id, before[i].id);
        EXPECT_EQ(after[i].start, before[i].start);
        EXPECT_EQ(after[i].length, before[i].length);
        EXPECT_EQ(after[i].textLength, before[i].textLength);
        EXPECT_FALSE(after[i].laidOut);
    }
    EXPECT_EQ(cache.firstUnlaidCharacterIndex(), 0);
    // Views hear that everything may have moved.
    ASSERT_EQ(reported.size(), 1u);
    EXPECT_EQ(reported.front().first, (Range{0, storage->length()}));
    EXPECT_TRUE(reported.front().second);
}

TEST(ContainerWidthChangeTest, LinesAreThoseOfAFreshLayoutAtTheNewWidth)
{
    Script script(makeScript(300), kWidth);
    // Shown, partly laid out in the background, then narrowed and widened again: the paragraph
    // layouts kept for drawing are broken at each width in turn.
    script.layout.lineFragmentsInRect({0, 0, kWidth, 900});
    for (int i = 0; i < 20; ++i)
        script.layout.layOutInBackground(0);
    for (const double width : {kNarrow, kWidth + 120, kNarrow}) {
        script.layout.setTextContainerSize({width, TextContainer::kUnlimitedHeight});
        auto copy = std::make_shared<TextStorage>();
        copy->setAttributedString(*script.storage);
        Script fresh(copy, width);
        expectSameLines(script.layout.lineFragmentsInRect({0, 0, width, 900}),
                        fresh.layout.lineFragmentsInRect({0, 0, width, 900}));
        script.layout.ensureLayoutForTextContainer();
        fresh.layout.ensureLayoutForTextContainer();
        expectSameLines(script.allLines(), fresh.allLines());
        EXPECT_DOUBLE_EQ(script.height(), fresh.height());
        EXPECT_EQ(script.layout.usedRectForTextContainer(), fresh.layout.usedRectForTextContainer());
    }
}

TEST(ContainerWidthChangeTest, TheNextFrameLaysOutOnlyWhatItShows)
{
    Script script(makeScript(3000), kWidth);
    script.layout.ensureLayoutForTextContainer();
    ASSERT_EQ(script.layout.firstUnlaidCharacterIndex(), script.storage->length());

    script.layout.setTextContainerSize({kNarrow, TextContainer::kUnlimitedHeight});
    EXPECT_EQ(script.layout.firstUnlaidCharacterIndex(), 0);
    const auto shown = script.layout.lineFragmentsInRect({0, 0, kNarrow, 800});
    ASSERT_FALSE(shown.empty());
    EXPECT_GE(shown.back().rect.maxY(), 800);
    EXPECT_LT(script.layout.firstUnlaidCharacterIndex(), script.storage->length() / 20);
}

TEST(ContainerWidthChangeTest, HeightIsReestimatedAndBackgroundLayoutCompletes)
{
    Script script(makeScript(2000), kWidth);
    script.layout.ensureLayoutForTextContainer();
    auto copy = std::make_shared<TextStorage>();
    copy->setAttributedString(*script.storage);
    Script fresh(copy, kNarrow);
    fresh.layout.ensureLayoutForTextContainer();
    const double real = fresh.height();

    std::vector<Range> reported;
    script.layout.addLayoutObserver([&](const Range& range, bool heightChanged) {
        EXPECT_TRUE(heightChanged);
        reported.push_back(range);
    });
    script.layout.setTextContainerSize({kNarrow, TextContainer::kUnlimitedHeight});
    // Before any line at the new width exists, what the old lines taught gives the height.
    EXPECT_NEAR(script.height(), real, real * 0.15);
    const std::vector<LineFragment> shown = script.layout.lineFragmentsInRect({0, 0, kNarrow, 600});

    int slices = 0;
    while (script.layout.layOutInBackground(0)) {
        ++slices;
        ASSERT_TRUE(std::isfinite(script.height()));
    }
    EXPECT_GT(slices, 100);
    EXPECT_TRUE(script.layout.isLayoutComplete());
    EXPECT_DOUBLE_EQ(script.height(), real);
    EXPECT_EQ(script.layout.numberOfLines(), fresh.layout.numberOfLines());
    // Lines once shown never moved for what was laid out after them.
    expectSameLines(script.layout.lineFragmentsInRect({0, 0, kNarrow, 600}), shown);
    ASSERT_GE(reported.size(), 2u);
    EXPECT_EQ(reported.front(), (Range{0, script.storage->length()}));
    for (const Range& range : reported)
        EXPECT_EQ(range.end(), script.storage->length());
}
