// Applying the shared default style to the text view: what it replaces, what of the script's own
// styling it keeps, and how it undoes.
#include "platform/appkit/UndoManager.h"
#include "platform/foundation/FileWrapper.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/text/AttributeNames.h"
#include "platform/text/TextAttachment.h"
#include "settings/OVSharedPreferencesAccess.h"
#include "text/OVTextView.h"

#include <gtest/gtest.h>

namespace {

const Color kWhite = Color::rgb(1, 1, 1);
const Color kBlack = Color::rgb(0, 0, 0);
const Color kRed = Color::rgb(1, 0, 0);
const Color kYellow = Color::rgb(1, 1, 0);

Font font(const QString& family, double size, bool bold = false, bool italic = false)
{
    Font result;
    result.familyName = family;
    result.fontName = family;
    result.pointSize = size;
    result.bold = bold;
    result.italic = italic;
    return result;
}

ParagraphStyle paragraph(TextAlignment alignment, WritingDirection direction = WritingDirection::Natural)
{
    ParagraphStyle style;
    style.alignment = alignment;
    style.baseWritingDirection = direction;
    return style;
}

class OVTextViewDefaultStyleTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        // The style the settings would hold: Helvetica 30, white, left aligned, on black.
        const AttributedString sample(QStringLiteral("Indeed"),
                                      {{kFontAttributeName, font(QStringLiteral("Helvetica"), 30)},
                                       {kForegroundColorAttributeName, kWhite},
                                       {kParagraphStyleAttributeName, paragraph(TextAlignment::Left)}});
        const auto data = OVSharedPreferencesAccess::styleDataFromAttributedString(&sample, kBlack);
        ASSERT_TRUE(data);
        UserDefaults::shared().setObject(PlistValue(*data), kDefaultDocumentStyleKey);
        OVSharedPreferencesAccess::triggerDefaultStyleUpdate();
        view = std::make_unique<OVTextView>();
        view->setBackgroundColor(Qt::white);
    }
    void TearDown() override
    {
        view.reset();
        UserDefaults::shared().removeObjectForKey(kDefaultDocumentStyleKey);
        OVSharedPreferencesAccess::triggerDefaultStyleUpdate();
    }

    // Lines of text in Times 12, black, each with the given alignment.
    void setLines(const std::vector<TextAlignment>& alignments)
    {
        MutableAttributedString text;
        for (TextAlignment alignment : alignments)
            text.append(QStringLiteral("A line.\n"), {{kFontAttributeName, font(QStringLiteral("Times"), 12)},
                                                      {kForegroundColorAttributeName, kBlack},
                                                      {kParagraphStyleAttributeName, paragraph(alignment)}});
        setText(text);
    }
    void setText(const AttributedString& text)
    {
        view->textStorage().setAttributedString(text);
        view->setSelectedRange({0, 0});
        view->undoManager()->removeAllActions();
    }
    AttributeValue at(const QString& name, qsizetype index) const
    {
        return view->textStorage().attribute(name, index);
    }
    std::optional<Font> fontAt(qsizetype index) const
    {
        const AttributeValue value = at(kFontAttributeName, index);
        return value.font() ? std::optional<Font>(*value.font()) : std::nullopt;
    }
    std::optional<Color> colorAt(const QString& name, qsizetype index) const
    {
        const AttributeValue value = at(name, index);
        return value.color() ? std::optional<Color>(*value.color()) : std::nullopt;
    }
    std::optional<ParagraphStyle> paragraphAt(qsizetype index) const
    {
        const AttributeValue value = at(kParagraphStyleAttributeName, index);
        return value.paragraphStyle() ? std::optional<ParagraphStyle>(*value.paragraphStyle()) : std::nullopt;
    }
    TextAlignment alignmentAt(qsizetype index) const
    {
        return paragraphAt(index).value_or(ParagraphStyle{}).alignment;
    }

    std::unique_ptr<OVTextView> view;
};

TEST_F(OVTextViewDefaultStyleTest, TheWholeTextAndBackgroundTakeTheStyleAndOneUndoRestoresThem)
{
    setText(AttributedString(
        QStringLiteral("Hello world"),
        {{kFontAttributeName, font(QStringLiteral("Times"), 12)}, {kForegroundColorAttributeName, kBlack}}));
    view->applyDefaultStyle();

    const std::optional<Font> applied = fontAt(4);
    ASSERT_TRUE(applied);
    EXPECT_EQ(applied->familyName, QStringLiteral("Helvetica"));
    EXPECT_DOUBLE_EQ(applied->pointSize, 30);
    EXPECT_EQ(colorAt(kForegroundColorAttributeName, 4), kWhite);
    EXPECT_EQ(view->backgroundColor(), QColor(Qt::black));
    const AttributeValue typingFont = view->typingAttributes().value(kFontAttributeName);
    ASSERT_NE(typingFont.font(), nullptr);
    EXPECT_EQ(typingFont.font()->familyName, QStringLiteral("Helvetica"));
    EXPECT_EQ(view->undoManager()->undoActionName(), QStringLiteral("Apply Default Style"));

    view->undoManager()->undo();
    EXPECT_EQ(fontAt(4)->familyName, QStringLiteral("Times"));
    EXPECT_EQ(colorAt(kForegroundColorAttributeName, 4), kBlack);
    EXPECT_EQ(view->backgroundColor(), QColor(Qt::white));
    EXPECT_FALSE(view->undoManager()->canUndo());
}

TEST_F(OVTextViewDefaultStyleTest, TraitsLinesPicturesAndWritingDirectionSurvive)
{
    MutableAttributedString text;
    text.append(QStringLiteral("plain "), {{kFontAttributeName, font(QStringLiteral("Times"), 12)}});
    text.append(QStringLiteral("bold "), {{kFontAttributeName, font(QStringLiteral("Times"), 12, true)}});
    text.append(QStringLiteral("both "),
                {{kFontAttributeName, font(QStringLiteral("Times-BoldItalic"), 12)}});
    text.append(QStringLiteral("under "), {{kUnderlineStyleAttributeName, kUnderlineStyleSingle}});
    text.append(QStringLiteral("struck "), {{kStrikethroughStyleAttributeName, kUnderlineStyleSingle}});
    auto wrapper = FileWrapper::makeRegularFile("png bytes");
    wrapper->setPreferredFilename(QStringLiteral("photo.png"));
    AttributeDictionary picture{{kFontAttributeName, font(QStringLiteral("Times"), 12)}};
    picture.insert(kAttachmentAttributeName, AttributeValue(std::make_shared<TextAttachment>(wrapper)));
    text.append(QString(QChar(0xFFFC)), picture);
    text.append(
        QStringLiteral("\nright to left"),
        {{kParagraphStyleAttributeName, paragraph(TextAlignment::Natural, WritingDirection::RightToLeft)}});
    setText(text);
    view->applyDefaultStyle();

    const std::optional<Font> plain = fontAt(0);
    const std::optional<Font> bold = fontAt(6);
    const std::optional<Font> both = fontAt(11);
    ASSERT_TRUE(plain && bold && both);
    EXPECT_FALSE(plain->bold);
    EXPECT_TRUE(bold->bold);
    EXPECT_FALSE(bold->italic);
    EXPECT_TRUE(both->bold && both->italic);
    for (const std::optional<Font>& converted : {plain, bold, both}) {
        EXPECT_EQ(converted->familyName, QStringLiteral("Helvetica"));
        EXPECT_DOUBLE_EQ(converted->pointSize, 30);
    }
    EXPECT_EQ(at(kUnderlineStyleAttributeName, 16).integer(), kUnderlineStyleSingle);
    EXPECT_TRUE(at(kUnderlineStyleAttributeName, 0).isNull());
    EXPECT_EQ(at(kStrikethroughStyleAttributeName, 22).integer(), kUnderlineStyleSingle);
    const qsizetype mark = view->string().indexOf(QChar(0xFFFC));
    const std::shared_ptr<TextAttachment> kept = at(kAttachmentAttributeName, mark).attachment();
    ASSERT_NE(kept, nullptr);
    EXPECT_EQ(kept->fileWrapper()->preferredFilename(), QStringLiteral("photo.png"));
    const std::optional<ParagraphStyle> last = paragraphAt(view->string().size() - 1);
    ASSERT_TRUE(last);
    EXPECT_EQ(last->baseWritingDirection, WritingDirection::RightToLeft);
}

TEST_F(OVTextViewDefaultStyleTest, ColourfulTextKeepsItsColoursOnlyWhileItIsTheMinority)
{
    // Two red characters in ten: the red words are the script's marks and stay.
    MutableAttributedString minority;
    minority.append(QStringLiteral("ab"), {{kForegroundColorAttributeName, kRed}});
    minority.append(QStringLiteral("cdefghij"), {{kForegroundColorAttributeName, kBlack}});
    setText(minority);
    view->applyDefaultStyle();
    EXPECT_EQ(colorAt(kForegroundColorAttributeName, 0), kRed);
    EXPECT_EQ(colorAt(kForegroundColorAttributeName, 5), kWhite);

    // Mostly red text is a colour scheme of its own, which the default style replaces.
    MutableAttributedString majority;
    majority.append(QStringLiteral("abcdefgh"), {{kForegroundColorAttributeName, kRed}});
    majority.append(QStringLiteral("ij"), {{kForegroundColorAttributeName, kBlack}});
    setText(majority);
    view->applyDefaultStyle();
    EXPECT_EQ(colorAt(kForegroundColorAttributeName, 0), kWhite);
    EXPECT_EQ(colorAt(kForegroundColorAttributeName, 9), kWhite);
}

TEST_F(OVTextViewDefaultStyleTest, GreyTextOnAReadableHighlightKeepsItsColourAndFaintHighlightsGo)
{
    const Color grey = Color::gray(0.3);
    MutableAttributedString text;
    text.append(QStringLiteral("marked"),
                {{kForegroundColorAttributeName, grey}, {kBackgroundColorAttributeName, kYellow}});
    text.append(QStringLiteral(" plain grey text here and more"), {{kForegroundColorAttributeName, grey}});
    text.append(QStringLiteral("faint"), {{kBackgroundColorAttributeName, Color::gray(0.05)}});
    setText(text);
    view->applyDefaultStyle();

    // Yellow stands out on the black page: the highlight and the grey chosen for it stay.
    EXPECT_EQ(colorAt(kBackgroundColorAttributeName, 0), kYellow);
    EXPECT_EQ(colorAt(kForegroundColorAttributeName, 0), grey);
    // Grey on the page itself would not read on black: it takes the default colour.
    EXPECT_EQ(colorAt(kForegroundColorAttributeName, 8), kWhite);
    // A near-black highlight cannot be told from the black page.
    EXPECT_FALSE(colorAt(kBackgroundColorAttributeName, view->string().size() - 1));
}

TEST_F(OVTextViewDefaultStyleTest, AFewCentredHeadingsStayButAMostlyCentredScriptFollowsTheDefault)
{
    std::vector<TextAlignment> headings(12, TextAlignment::Left);
    headings[0] = headings[6] = TextAlignment::Center;
    setLines(headings);
    view->applyDefaultStyle();
    EXPECT_EQ(alignmentAt(0), TextAlignment::Center);
    EXPECT_EQ(alignmentAt(6 * 8), TextAlignment::Center);
    EXPECT_EQ(alignmentAt(8), TextAlignment::Left);

    std::vector<TextAlignment> centred(10, TextAlignment::Center);
    centred[0] = centred[1] = TextAlignment::Left;
    setLines(centred);
    view->applyDefaultStyle();
    for (qsizetype line = 0; line < 10; ++line)
        EXPECT_EQ(alignmentAt(line * 8), TextAlignment::Left) << line;
}

TEST_F(OVTextViewDefaultStyleTest, TheSelectionVariantLeavesTheBackgroundAndRefusesACaret)
{
    setText(AttributedString(
        QStringLiteral("Hello world"),
        {{kFontAttributeName, font(QStringLiteral("Times"), 12)}, {kForegroundColorAttributeName, kBlack}}));
    view->setSelectedRange({3, 0});
    view->applyDefaultStyleWithoutBackground();
    EXPECT_EQ(fontAt(0)->familyName, QStringLiteral("Times"));
    EXPECT_FALSE(view->undoManager()->canUndo());

    view->setSelectedRange({6, 5});
    view->applyDefaultStyleWithoutBackground();
    EXPECT_EQ(fontAt(0)->familyName, QStringLiteral("Times"));
    EXPECT_EQ(fontAt(6)->familyName, QStringLiteral("Helvetica"));
    EXPECT_EQ(view->backgroundColor(), QColor(Qt::white));
    EXPECT_EQ(view->undoManager()->undoActionName(), QStringLiteral("Apply Default Style to Selection"));
}

TEST_F(OVTextViewDefaultStyleTest, WithoutAStoredStyleNothingChanges)
{
    UserDefaults::shared().removeObjectForKey(kDefaultDocumentStyleKey);
    OVSharedPreferencesAccess::triggerDefaultStyleUpdate();
    setText(
        AttributedString(QStringLiteral("Kept"), {{kFontAttributeName, font(QStringLiteral("Times"), 12)}}));
    view->applyDefaultStyle();
    EXPECT_EQ(fontAt(0)->familyName, QStringLiteral("Times"));
    EXPECT_EQ(view->backgroundColor(), QColor(Qt::white));
    EXPECT_FALSE(view->undoManager()->canUndo());
}

} // namespace
