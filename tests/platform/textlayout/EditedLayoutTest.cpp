// An edit lays out only the paragraphs it touched and moves the rest only when their place changed:
// after every edit the lines, their places and the text's used width are those a fresh layout of the
// same text gives.
#include "platform/textlayout/LayoutManager.h"

#include <gtest/gtest.h>

#include <random>

namespace {

constexpr double kWidth = 900;

std::shared_ptr<TextStorage> makeScript()
{
    const AttributeDictionary body{
        {kFontAttributeName, Font{QStringLiteral("Helvetica"), QStringLiteral("Helvetica"), 24}}};
    const AttributeDictionary cue{
        {kFontAttributeName, Font{QStringLiteral("Helvetica"), QStringLiteral("Helvetica-Bold"), 24, true}}};
    auto storage = std::make_shared<TextStorage>();
    storage->beginEditing();
    for (int i = 0; i < 60; ++i) {
        storage->append(QStringLiteral("CUE %1: ").arg(i), cue);
        QString words;
        // Short lines of different widths, so that the widest line of the text belongs to one
        // paragraph that edits can shorten.
        for (int w = 0; w < 1 + (i * 7) % 23; ++w)
            words += QStringLiteral("w%1 ").arg(w);
        storage->append(words + QStringLiteral("\n"), body);
    }
    storage->endEditing();
    return storage;
}

std::vector<LineFragment> allLines(const LayoutManager& layout)
{
    return layout.lineFragmentsInRect({0, 0, 1e6, layout.usedRectForTextContainer().height() + 1e6});
}

void expectLaidOutAfresh(const LayoutManager& layout, const TextStorage& storage, const std::string& step)
{
    auto copy = std::make_shared<TextStorage>();
    copy->setAttributedString(storage);
    LayoutManager fresh(copy);
    fresh.setTextContainerSize({kWidth, TextContainer::kUnlimitedHeight});
    fresh.ensureLayoutForTextContainer();
    const std::vector<LineFragment> lines = allLines(layout);
    const std::vector<LineFragment> expected = allLines(fresh);
    ASSERT_EQ(lines.size(), expected.size()) << step;
    for (size_t i = 0; i < lines.size(); ++i) {
        ASSERT_EQ(lines[i].characterRange, expected[i].characterRange) << step << ", line " << i;
        ASSERT_EQ(lines[i].rect, expected[i].rect) << step << ", line " << i;
        ASSERT_EQ(lines[i].usedRect, expected[i].usedRect) << step << ", line " << i;
    }
    ASSERT_EQ(layout.usedRectForTextContainer(), fresh.usedRectForTextContainer()) << step;
}

} // namespace

TEST(EditedLayoutTest, EditsLeaveTheLayoutAFreshLayoutGives)
{
    auto storage = makeScript();
    LayoutManager layout(storage);
    layout.setTextContainerSize({kWidth, TextContainer::kUnlimitedHeight});
    layout.ensureLayoutForTextContainer();
    const unsigned seed = std::random_device{}();
    std::mt19937 random(seed);
    SCOPED_TRACE("seed " + std::to_string(seed));
    for (int step = 0; step < 300; ++step) {
        const qsizetype length = storage->length();
        const qsizetype at = std::uniform_int_distribution<qsizetype>(0, length)(random);
        std::string what;
        switch (std::uniform_int_distribution<int>(0, 4)(random)) {
        case 0: // typing
            storage->replaceCharacters({at, 0}, QStringLiteral("x"));
            what = "type";
            break;
        case 1: // deleting, a line break too
            if (at < length)
                storage->deleteCharacters({at, std::min<qsizetype>(3, length - at)});
            what = "delete";
            break;
        case 2: // breaking a paragraph
            storage->replaceCharacters({at, 0}, QStringLiteral("\n"));
            what = "break";
            break;
        case 3: // a word long enough to make its line the widest or to wrap
            storage->replaceCharacters({at, 0}, QStringLiteral("wwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwwww "));
            what = "widen";
            break;
        default: { // a cut across lines and paragraphs
            const qsizetype start =
                std::uniform_int_distribution<qsizetype>(0, std::max<qsizetype>(0, length - 40))(random);
            storage->deleteCharacters({start, std::min<qsizetype>(30, length - start)});
            what = "cut";
            break;
        }
        }
        expectLaidOutAfresh(layout, *storage, "step " + std::to_string(step) + " (" + what + ")");
        if (HasFatalFailure())
            return;
    }
}

TEST(EditedLayoutTest, ShorteningTheWidestLineNarrowsTheUsedRect)
{
    auto storage = std::make_shared<TextStorage>();
    const AttributeDictionary body{
        {kFontAttributeName, Font{QStringLiteral("Helvetica"), QStringLiteral("Helvetica"), 24}}};
    storage->append(QStringLiteral("short\nthe one long line of this text\nshort too\n"), body);
    LayoutManager layout(storage);
    layout.setTextContainerSize({kWidth, TextContainer::kUnlimitedHeight});
    layout.ensureLayoutForTextContainer();
    const double wide = layout.usedRectForTextContainer().width();
    storage->deleteCharacters({QStringLiteral("short\nthe one").size(), QStringLiteral(" long line").size()});
    EXPECT_LT(layout.usedRectForTextContainer().width(), wide);
    expectLaidOutAfresh(layout, *storage, "shortened");
    storage->replaceCharacters({0, 0}, QStringLiteral("now the widest line of all of them "));
    EXPECT_GT(layout.usedRectForTextContainer().width(), wide);
    expectLaidOutAfresh(layout, *storage, "widened");
}
