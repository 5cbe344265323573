// The simplified style exports print with: sizes in the small band, readable colours on white, no
// attachments, highlights or bookmarks, and paragraphs reduced to alignment and direction.
#include "tests/document/PackageTestSupport.h"
#include "tests/support/AppTestSupport.h"
#include "window/OVStyleSimplifiedStorage.h"

#include "platform/foundation/UserDefaults.h"
#include "platform/hvkit/NSColorHVAdditions.h"
#include "platform/text/MutableAttributedString.h"
#include "platform/textview/TextView.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

using namespace packagetest;

Font helvetica(double size)
{
    Font font;
    font.familyName = font.fontName = QStringLiteral("Helvetica");
    font.pointSize = size;
    return font;
}

double sizeAt(const AttributedString& text, qsizetype index)
{
    const AttributeValue value = text.attribute(kFontAttributeName, index);
    return value.font() ? value.font()->pointSize : -1;
}

Color colorAt(const AttributedString& text, const QString& name, qsizetype index)
{
    const AttributeValue value = text.attribute(name, index);
    return value.color() ? *value.color() : Color::rgb(-1, -1, -1);
}

TEST(StyleSimplifiedStorage, OneSizeTakesTheBandsTopAndMixedSizesSpreadOverIt)
{
    MutableAttributedString single(QStringLiteral("All the same"), {{kFontAttributeName, helvetica(24)}});
    OVStyleSimplifiedStorage::simplify(single, 10, 13);
    EXPECT_EQ(sizeAt(single, 0), 13);
    EXPECT_EQ(single.runCount(), 1);

    MutableAttributedString mixed(QStringLiteral("small"), {{kFontAttributeName, helvetica(9)}});
    mixed.append(QStringLiteral("middle"), {{kFontAttributeName, helvetica(22.5)}});
    mixed.append(QStringLiteral("large"), {{kFontAttributeName, helvetica(36)}});
    OVStyleSimplifiedStorage::simplify(mixed, 10, 13);
    EXPECT_DOUBLE_EQ(sizeAt(mixed, 0), 10);
    EXPECT_DOUBLE_EQ(sizeAt(mixed, 5), 11.5);
    EXPECT_DOUBLE_EQ(sizeAt(mixed, 11), 13);
    const AttributeValue large = mixed.attribute(kFontAttributeName, 11);
    EXPECT_EQ(large.font()->familyName, QStringLiteral("Helvetica"));

    // Nothing to map in a text without fonts, nor in an empty one.
    MutableAttributedString plain(QStringLiteral("No fonts"));
    OVStyleSimplifiedStorage::simplify(plain, 10, 13);
    EXPECT_TRUE(plain.attribute(kFontAttributeName, 0).isNull());
    MutableAttributedString empty;
    OVStyleSimplifiedStorage::simplify(empty, 10, 13);
    EXPECT_EQ(empty.length(), 0);
}

TEST(StyleSimplifiedStorage, ABandFromADamagedSettingsFileNeverGivesAnEmptyOrNegativeSize)
{
    auto smallest = [](double minimum, double maximum) {
        MutableAttributedString text(QStringLiteral("small"), {{kFontAttributeName, helvetica(9)}});
        text.append(QStringLiteral("large"), {{kFontAttributeName, helvetica(36)}});
        OVStyleSimplifiedStorage::simplify(text, minimum, maximum);
        return std::make_pair(sizeAt(text, 0), sizeAt(text, 5));
    };
    EXPECT_EQ(smallest(-4, 13), std::make_pair(10.0, 13.0));
    EXPECT_EQ(smallest(0, 13), std::make_pair(10.0, 13.0));
    EXPECT_EQ(smallest(20, 8), std::make_pair(8.0, 20.0));
}

TEST(StyleSimplifiedStorage, ColoursBecomeReadableOnWhite)
{
    const Color red = Color::rgb(1, 0, 0);
    const Color yellow = Color::rgb(1, 1, 0);
    MutableAttributedString text(QStringLiteral("grey"), {{kForegroundColorAttributeName, Color::gray(0.5)},
                                                          {kBackgroundColorAttributeName, yellow}});
    text.append(QStringLiteral("red"), {{kForegroundColorAttributeName, red},
                                        {kUnderlineColorAttributeName, Color::rgb(0, 0, 1)},
                                        {kUnderlineStyleAttributeName, kUnderlineStyleSingle}});
    text.append(QStringLiteral("yellow"),
                {{kForegroundColorAttributeName, yellow}, {kStrokeColorAttributeName, Color::rgb(0, 1, 0)}});
    text.append(QStringLiteral("rgbgrey"), {{kForegroundColorAttributeName, Color::rgb(0.8, 0.8, 0.8)}});
    OVStyleSimplifiedStorage::simplify(text, 10, 13);

    const Color black = NSColorHVAdditions::RGBBlackColor();
    EXPECT_EQ(colorAt(text, kForegroundColorAttributeName, 0), black);
    EXPECT_EQ(colorAt(text, kForegroundColorAttributeName, 4), red);
    EXPECT_EQ(colorAt(text, kUnderlineColorAttributeName, 4), black);
    EXPECT_EQ(colorAt(text, kStrokeColorAttributeName, 7), black);
    EXPECT_EQ(colorAt(text, kForegroundColorAttributeName, 13), black);
    // Yellow on white cannot be read: it is darkened just enough, and stays a yellow.
    const Color darkened = colorAt(text, kForegroundColorAttributeName, 7);
    const Color white = NSColorHVAdditions::RGBWhiteColor();
    EXPECT_GE(NSColorHVAdditions::contrastRatio(darkened, white), HVColorContrastRatioReadable);
    EXPECT_LT(NSColorHVAdditions::contrastRatio(darkened, white), HVColorContrastRatioReadable + 0.01);
    EXPECT_DOUBLE_EQ(darkened.red, darkened.green);
    EXPECT_EQ(darkened.blue, 0);
    text.enumerateAttribute(
        kBackgroundColorAttributeName, {0, text.length()}, 0,
        [](const AttributeValue& value, const Range&, bool&) { EXPECT_TRUE(value.isNull()); });
}

TEST(StyleSimplifiedStorage, AttachmentsBookmarksAndParagraphDetailsGo)
{
    ParagraphStyle rich;
    rich.alignment = TextAlignment::Center;
    rich.baseWritingDirection = WritingDirection::RightToLeft;
    rich.firstLineHeadIndent = 40;
    rich.lineSpacing = 12;
    MutableAttributedString text(QStringLiteral("Before after\nNext"),
                                 {{kParagraphStyleAttributeName, rich}});
    insertBookmark(text, 6, QStringLiteral("Cue"));
    text.insert(attachmentString(image("png bytes", QStringLiteral("picture.png"))), 3);
    OVStyleSimplifiedStorage::simplify(text, 10, 13);

    EXPECT_EQ(text.string(), QStringLiteral("Before after\nNext"));
    EXPECT_TRUE(bookmarksOf(text).empty());
    const AttributeValue style = text.attribute(kParagraphStyleAttributeName, 0);
    const ParagraphStyle* simple = style.paragraphStyle();
    ASSERT_NE(simple, nullptr);
    ParagraphStyle expected;
    expected.alignment = TextAlignment::Center;
    expected.baseWritingDirection = WritingDirection::RightToLeft;
    EXPECT_EQ(*simple, expected);
}

TEST(StyleSimplifiedStorage, TheWindowExportsInThePrintPanelsBand)
{
    UserDefaults::shared().resetUserValues();
    UserDefaults::shared().setDouble(20, QStringLiteral("printPanelMaximumSmallFontPointSize"));
    apptest::ClockAndScreen scopes;
    QTemporaryDir dir;
    OVCore core;
    {
        apptest::ScriptDocuments scripts(core, dir);
        Error error;
        Document* document = scripts.documents.openUntitledDocumentAndDisplay(true, &error);
        ASSERT_NE(document, nullptr);
        OVDocumentWindowController& controller = apptest::ScriptDocuments::controllerOf(document);
        MutableAttributedString text(
            QStringLiteral("One size\n"),
            {{kFontAttributeName, helvetica(48)}, {kBackgroundColorAttributeName, Color::rgb(1, 0, 0)}});
        insertBookmark(text, 3, QStringLiteral("Cue"));
        controller.setAttributedString(text);

        const std::unique_ptr<MutableAttributedString> simple = controller.exportableStyleSimplifiedStorage();
        EXPECT_EQ(simple->string(), QStringLiteral("One size\n"));
        EXPECT_EQ(sizeAt(*simple, 0), 20);
        EXPECT_TRUE(simple->attribute(kBackgroundColorAttributeName, 0).isNull());
        // The editor keeps its own text.
        EXPECT_EQ(controller.textView()->string().size(), 10);
    }
    UserDefaults::shared().resetUserValues();
}

} // namespace
