// Colour inversion of attributed strings, without a display.
#include "textutil/NSMutableAttributedStringOVColorInversion.h"
#include "platform/text/AttributeNames.h"
#include "platform/text/TextStorage.h"

#include <gtest/gtest.h>

namespace {

namespace Inversion = NSMutableAttributedStringOVBookmarkAdditions;

const Color kWhite = Color::fromRgb8(255, 255, 255);
const Color kBlack = Color::fromRgb8(0, 0, 0);
const Color kRed = Color::fromRgb8(255, 0, 0);
const Color kYellow = Color::fromRgb8(255, 255, 0);

std::optional<Color> colorAt(const AttributedString& text, const QString& name, qsizetype index)
{
    const AttributeValue value = text.attribute(name, index);
    return value.color() ? std::optional<Color>(*value.color()) : std::nullopt;
}

// "white RED on yellow": white text, a red word, a yellow highlight over the last word.
MutableAttributedString whiteTextWithRedWordAndYellowHighlight()
{
    MutableAttributedString text(QStringLiteral("white RED on yellow"),
                                 {{kForegroundColorAttributeName, kWhite}});
    text.addAttribute(kForegroundColorAttributeName, kRed, {6, 3});
    text.addAttribute(kBackgroundColorAttributeName, kYellow, {13, 6});
    return text;
}

class OptionKey : public ::testing::Test {
protected:
    void TearDown() override { Inversion::setOptionKeyDownProvider({}); }
};

TEST(ColorInversion, BlackAndWhiteOnlyLeavesColoursAlone)
{
    MutableAttributedString text = whiteTextWithRedWordAndYellowHighlight();
    Inversion::invertBlackAndWhiteOnly(text);
    EXPECT_EQ(colorAt(text, kForegroundColorAttributeName, 0), Color::rgb(0, 0, 0));
    EXPECT_EQ(colorAt(text, kForegroundColorAttributeName, 6), kRed);
    EXPECT_EQ(colorAt(text, kBackgroundColorAttributeName, 13), kYellow);
}

TEST(ColorInversion, AllColoursInvertsEveryColour)
{
    MutableAttributedString text = whiteTextWithRedWordAndYellowHighlight();
    Inversion::invertAllColors(text);
    EXPECT_EQ(colorAt(text, kForegroundColorAttributeName, 0), Color::rgb(0, 0, 0));
    EXPECT_EQ(colorAt(text, kForegroundColorAttributeName, 6), Color::rgb(0, 1, 1));
    EXPECT_EQ(colorAt(text, kBackgroundColorAttributeName, 13), Color::rgb(0, 0, 1));
}

TEST(ColorInversion, InvertingTwiceRestoresExactGreys)
{
    const Color gray = Color::fromRgb8(0x80, 0x80, 0x80);
    MutableAttributedString text(QStringLiteral("grey"), {{kForegroundColorAttributeName, gray}});
    Inversion::invertAllColors(text);
    const std::optional<Color> once = colorAt(text, kForegroundColorAttributeName, 0);
    ASSERT_TRUE(once);
    EXPECT_EQ(Color::toByte(once->red), 0x7F);
    Inversion::invertAllColors(text);
    EXPECT_EQ(colorAt(text, kForegroundColorAttributeName, 0), gray);
}

TEST(ColorInversion, EveryColourAttributeInvertsAndUncolouredTextStays)
{
    MutableAttributedString text(QStringLiteral("plain lines"));
    for (const QString& name :
         {kStrokeColorAttributeName, kUnderlineColorAttributeName, kStrikethroughColorAttributeName})
        text.addAttribute(name, kBlack, {6, 5});
    Inversion::invertColorsIgnoringModifiers(text);
    EXPECT_TRUE(text.attribute(kForegroundColorAttributeName, 0).isNull());
    for (const QString& name :
         {kStrokeColorAttributeName, kUnderlineColorAttributeName, kStrikethroughColorAttributeName})
        EXPECT_EQ(colorAt(text, name, 6), Color::rgb(1, 1, 1)) << name.toStdString();
    const std::vector<QString> order{kForegroundColorAttributeName, kStrokeColorAttributeName,
                                     kUnderlineColorAttributeName, kStrikethroughColorAttributeName,
                                     kBackgroundColorAttributeName};
    EXPECT_EQ(Inversion::colorAttributeNames(), order);
}

TEST(ColorInversion, ARangeLeavesTheRestAlone)
{
    MutableAttributedString text(QStringLiteral("one two"), {{kForegroundColorAttributeName, kBlack}});
    Inversion::invertColorsIgnoringModifiersInRange(text, {4, 3});
    EXPECT_EQ(colorAt(text, kForegroundColorAttributeName, 0), kBlack);
    EXPECT_EQ(colorAt(text, kForegroundColorAttributeName, 4), Color::rgb(1, 1, 1));
    // A range past the end is cut to the text, never read beyond it.
    Inversion::invertColorsIgnoringModifiersInRange(text, {5, 1000});
    EXPECT_EQ(colorAt(text, kForegroundColorAttributeName, 6), kBlack);
}

TEST(ColorInversion, ASelectionInvertsAsABlockOnTheViewBackground)
{
    // On a black view: "abc" has no highlight, "def" a white one, "ghi" is outside the selection.
    MutableAttributedString text(QStringLiteral("abcdefghi"), {{kForegroundColorAttributeName, kWhite}});
    text.addAttribute(kBackgroundColorAttributeName, kWhite, {3, 3});
    Inversion::invertBlackAndWhiteOnly(text, true, {{0, 3}, {3, 3}}, Color::rgb(0, 0, 0));
    EXPECT_EQ(colorAt(text, kBackgroundColorAttributeName, 0), Color::rgb(1, 1, 1));
    EXPECT_EQ(colorAt(text, kForegroundColorAttributeName, 0), Color::rgb(0, 0, 0));
    EXPECT_TRUE(text.attribute(kBackgroundColorAttributeName, 3).isNull())
        << "a highlight that ends equal to the view's background is dropped";
    EXPECT_TRUE(text.attribute(kBackgroundColorAttributeName, 6).isNull());
    EXPECT_EQ(colorAt(text, kForegroundColorAttributeName, 6), kWhite);
}

TEST(ColorInversion, RangesWithoutABackgroundAreNoSelection)
{
    MutableAttributedString text(QStringLiteral("abc"), {{kForegroundColorAttributeName, kWhite}});
    Inversion::invertBlackAndWhiteOnly(text, true, {{0, 3}}, std::nullopt);
    EXPECT_TRUE(text.attribute(kBackgroundColorAttributeName, 0).isNull());
    EXPECT_EQ(colorAt(text, kForegroundColorAttributeName, 0), Color::rgb(0, 0, 0));
}

TEST(ColorInversion, TheWholeInversionIsOneEdit)
{
    TextStorage storage(QStringLiteral("one two three"), {{kForegroundColorAttributeName, kBlack}});
    storage.addAttribute(kForegroundColorAttributeName, kWhite, {4, 3});
    storage.addAttribute(kUnderlineColorAttributeName, kWhite, {8, 5});
    int edits = 0;
    storage.addObserver(TextStorage::Phase::Edited, [&](TextStorage&, const TextStorageEdit&) { ++edits; });
    Inversion::invertAllColors(storage);
    EXPECT_EQ(edits, 1);
}

TEST_F(OptionKey, AltReversesTheDefaultOnlyWhereModifiersCount)
{
    bool alt = false;
    Inversion::setOptionKeyDownProvider([&] { return alt; });
    EXPECT_TRUE(Inversion::invertsBlackAndWhiteOnly());
    alt = true;
    EXPECT_FALSE(Inversion::invertsBlackAndWhiteOnly());
    EXPECT_TRUE(Inversion::invertsBlackAndWhiteOnlyByDefault());

    MutableAttributedString withAlt = whiteTextWithRedWordAndYellowHighlight();
    Inversion::invertColors(withAlt);
    EXPECT_EQ(colorAt(withAlt, kForegroundColorAttributeName, 6), Color::rgb(0, 1, 1));
    MutableAttributedString ignoring = whiteTextWithRedWordAndYellowHighlight();
    Inversion::invertColorsIgnoringModifiers(ignoring);
    EXPECT_EQ(colorAt(ignoring, kForegroundColorAttributeName, 6), kRed);
}

} // namespace
