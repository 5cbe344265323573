#include "TalentTestSupport.h"

#include "output/OVTalentWindowController.h"
#include "platform/appkit/RunLoop.h"
#include "platform/foundation/FileWrapper.h"
#include "platform/text/MutableAttributedString.h"
#include "platform/text/TextAttachment.h"
#include "prompter_view/OVPrompterView.h"
#include "prompting/OVCore.h"
#include "settings/OVSharedPreferencesAccess.h"
#include "text/NSTextAttachmentOVBookmarkAdditions.h"
#include "text/OVBookmark.h"
#include "text/OVTextView.h"

#include <gtest/gtest.h>

#include <random>

namespace {

AttributedString attachmentString(const std::shared_ptr<TextAttachment>& attachment)
{
    return AttributedString(QString(QChar(0xFFFC)), {{kAttachmentAttributeName, attachment}});
}

std::shared_ptr<TextAttachment> pictureAttachment()
{
    auto wrapper = FileWrapper::makeRegularFile(QByteArray("not really a picture"));
    wrapper->setPreferredFilename(QStringLiteral("picture.png"));
    return std::make_shared<TextAttachment>(wrapper);
}

// Equal strings and equal attributes, except that a bookmark in the document may be an atom in the
// copy (both are one attachment character).
::testing::AssertionResult talentMatchesDocument(const AttributedString& talent, const AttributedString& document)
{
    if (talent.string() != document.string())
        return ::testing::AssertionFailure() << "strings differ: talent length " << talent.length()
                                             << ", document length " << document.length();
    for (qsizetype i = 0; i < document.length(); ++i) {
        AttributeDictionary a = talent.attributesAtIndex(i);
        AttributeDictionary b = document.attributesAtIndex(i);
        // An atom that begins a line takes the font of the words beside it, so that the line keeps
        // their height; where the bookmark it stands for had no font, only the copy has one.
        const AttributeValue attachment = a.value(kAttachmentAttributeName);
        if (attachment.attachment() && NSTextAttachmentOVBookmarkAdditions::isAtom(*attachment.attachment())) {
            a.remove(kFontAttributeName);
            b.remove(kFontAttributeName);
        }
        a.remove(kAttachmentAttributeName);
        b.remove(kAttachmentAttributeName);
        if (!(a == b))
            return ::testing::AssertionFailure() << "attributes differ at " << i;
    }
    return ::testing::AssertionSuccess();
}

class TalentReplayTest : public ::testing::Test {
protected:
    TalentReplayTest() : screens({operatorScreen1440(), talentScreen1920()}), talent(core)
    {
        document.textStorage().setAttributedString(AttributedString(
            QStringLiteral("Twenty characters!!\nSecond line of the script."),
            {{kFontAttributeName, Font{QStringLiteral("Helvetica"), QStringLiteral("Helvetica"), 24}}}));
        talent.beginDocumentWatching();
        talent.beginDocumentWatching();
        talent._setDocumentTextView(&document);
    }
    ~TalentReplayTest() override { talent._setDocumentTextView(nullptr); }

    ScopedScreens screens;
    ScopedDefaults defaults;
    OVCore core;
    OVTextView document{Rect{{0, 0}, {600, 400}}};
    OVTalentWindowController talent;
};

} // namespace

TEST_F(TalentReplayTest, TypingInsertsAndReplacingSwapsTheOldCharacters)
{
    document.setSelectedRange({5, 0});
    document.insertText(QStringLiteral("x"));
    EXPECT_EQ(talent.talentTextStorage().string(), document.string());
    document.setSelectedRange({2, 3});
    document.insertText(QStringLiteral("12345"));
    EXPECT_TRUE(talentMatchesDocument(talent.talentTextStorage(), document.textStorage()));
    document.setSelectedRange({0, 4});
    document.deleteSelection();
    EXPECT_TRUE(talentMatchesDocument(talent.talentTextStorage(), document.textStorage()));
}

TEST_F(TalentReplayTest, PastedBookmarkBecomesAnAtom)
{
    MutableAttributedString pasted(QStringLiteral("ab"));
    pasted.append(attachmentString(OVBookmark::bookmark()->textAttachment()));
    document.setSelectedRange({3, 0});
    document.insertText(pasted);
    ASSERT_TRUE(talentMatchesDocument(talent.talentTextStorage(), document.textStorage()));
    const AttributeValue value = talent.talentTextStorage().attribute(kAttachmentAttributeName, 5);
    ASSERT_TRUE(value.attachment());
    EXPECT_TRUE(NSTextAttachmentOVBookmarkAdditions::isAtom(*value.attachment()));
}

TEST_F(TalentReplayTest, ALengthMismatchIsRepairedByAFullCopyOnTheNextTurn)
{
    // Damage the copy behind the controller's back, as a failed replay would leave it.
    talent.talentTextStorage().deleteCharacters({0, 3});
    document.setSelectedRange({1, 0});
    document.insertText(QStringLiteral("z"));
    EXPECT_FALSE(talent.talentTextStorage().isEditing());
    RunLoop::main().fireDueTimers();
    EXPECT_TRUE(talentMatchesDocument(talent.talentTextStorage(), document.textStorage()));
}

TEST_F(TalentReplayTest, MagnificationIsReadAsAtLeastOne)
{
    talent.updateContentTextMagnificationFactor(0.5);
    EXPECT_DOUBLE_EQ(talent.contentTextMagnificationFactor(), 1.0);
    talent.updateContentTextMagnificationFactor(1.5);
    talent.updateContentTextMagnificationFactor(3.0);
    EXPECT_DOUBLE_EQ(talent.talentTextStorage().attribute(kFontAttributeName, 0).font()->pointSize, 72.0);
}

TEST_F(TalentReplayTest, SwitchingTrackingOnHighlightsWithoutWritingTheSetting)
{
    defaults.setBool(QStringLiteral("enableTalentScreenTracksEdits"), false);
    document.setSelectedRange({2, 4});
    NotificationCenter::shared().postNotification(OVPreferencesGeneralDidChangeSecondDisplayTracksEditsNotification);
    EXPECT_FALSE(UserDefaults::shared().boolForKey(QStringLiteral("enableTalentScreenTracksEdits")));
    EXPECT_TRUE(talent.textView()->layoutManager()->temporaryAttributesAtCharacterIndex(3).isEmpty());
    defaults.setBool(QStringLiteral("enableTalentScreenTracksEdits"), true);
    NotificationCenter::shared().postNotification(OVPreferencesGeneralDidChangeSecondDisplayTracksEditsNotification);
    EXPECT_FALSE(talent.textView()->layoutManager()->temporaryAttributesAtCharacterIndex(3).isEmpty());
    EXPECT_TRUE(talent.talentTextStorage().attribute(kBackgroundColorAttributeName, 3).isNull());
}

TEST_F(TalentReplayTest, RandomEditsKeepTheCopyEqualToTheDocument)
{
    // A seed from ORVANE_TEST_SEED replays a failure the trace below named.
    const QByteArray given = qgetenv("ORVANE_TEST_SEED");
    const unsigned seed = given.isEmpty() ? std::random_device{}() : given.toUInt();
    SCOPED_TRACE(::testing::Message() << "seed " << seed);
    std::mt19937 random(seed);
    const auto pick = [&random](int n) { return int(random() % unsigned(n)); };
    const QStringList words{QStringLiteral("a"), QStringLiteral("word "), QStringLiteral("\n"),
                            QStringLiteral("longer phrase "), QStringLiteral("é"), QStringLiteral("😀")};
    for (int step = 0; step < 3000; ++step) {
        const qsizetype length = document.textStorage().length();
        const qsizetype from = length ? pick(int(length) + 1) : 0;
        const qsizetype span = std::min<qsizetype>(pick(6), length - from);
        document.setSelectedRange({from, span});
        switch (pick(8)) {
        case 0:
        case 1:
            document.insertText(words[pick(words.size())]);
            break;
        case 2:
            document.doCommandBySelector(pick(2) ? QStringLiteral("deleteBackward:") : QStringLiteral("deleteForward:"));
            break;
        case 3: {
            MutableAttributedString pasted(QStringLiteral("pasted "));
            pasted.append(attachmentString(pick(2) ? OVBookmark::bookmark()->textAttachment() : pictureAttachment()));
            document.insertText(pasted);
            break;
        }
        case 4:
            if (span > 0) {
                TextStorage& storage = document.textStorage();
                storage.addAttribute(kForegroundColorAttributeName, Color::rgb(pick(2), 0, 0, 1),
                                     document.selectedRange());
            }
            break;
        case 5: {
            TextStorage& storage = document.textStorage();
            storage.beginEditing();
            storage.replaceCharacters({0, std::min<qsizetype>(1, storage.length())}, QStringLiteral("AB"));
            storage.deleteCharacters({storage.length() / 2, std::min<qsizetype>(2, storage.length() / 2)});
            storage.endEditing();
            break;
        }
        case 6:
            document.undo();
            break;
        default:
            document.redo();
            break;
        }
        ASSERT_TRUE(talentMatchesDocument(talent.talentTextStorage(), document.textStorage())) << "step " << step;
    }
}

TEST_F(TalentReplayTest, ClosingTheLastScriptRestoresTheDefaultBackgroundOnTheNextTurn)
{
    const AttributedString sample(QStringLiteral("Script"),
                                  {{kFontAttributeName, Font{QStringLiteral("Helvetica"), QStringLiteral("Helvetica"), 24}},
                                   {kForegroundColorAttributeName, Color::gray(1)},
                                   {kParagraphStyleAttributeName, ParagraphStyle{}}});
    const std::optional<QByteArray> style =
        OVSharedPreferencesAccess::styleDataFromAttributedString(&sample, Color::rgb(0, 0, 1));
    ASSERT_TRUE(style);
    UserDefaults::shared().setObject(PlistValue(*style), kDefaultDocumentStyleKey);
    OVSharedPreferencesAccess::triggerDefaultStyleUpdate();
    document.setBackgroundColor(Qt::red);
    talent._setDocumentTextView(nullptr);
    talent._setDocumentTextView(&document);
    ASSERT_EQ(talent.textView()->backgroundColor(), QColor(Qt::red));

    const Notification lastScriptClosed{OVDocumentControllerDidChangeFrontMostDocumentNotification, nullptr,
                                        {{OVDocumentControllerPreviousFrontMostDocumentClassNameKey,
                                          QStringLiteral("OVDocument")}}};
    NotificationCenter::shared().postNotification(lastScriptClosed);
    EXPECT_EQ(talent.talentTextStorage().length(), 0);
    EXPECT_EQ(talent.textView()->backgroundColor(), QColor(Qt::red));
    RunLoop::main().fireDueTimers();
    EXPECT_EQ(talent.textView()->backgroundColor(), QColor(Qt::blue));
    UserDefaults::shared().removeObjectForKey(kDefaultDocumentStyleKey);
    OVSharedPreferencesAccess::triggerDefaultStyleUpdate();
}

TEST_F(TalentReplayTest, TheCopyOfALongScriptIsWholeAndLaidOutOnceBackgroundLayoutCompletes)
{
    MutableAttributedString script;
    const AttributeDictionary body{
        {kFontAttributeName, Font{QStringLiteral("Helvetica"), QStringLiteral("Helvetica"), 24}}};
    for (int i = 0; i < 2000; ++i) {
        script.append(QStringLiteral("Line %1 of a long script, long enough to wrap at least once in the "
                                     "talent's view.\n")
                          .arg(i),
                      body);
        if (i % 400 == 0)
            script.append(attachmentString(OVBookmark::bookmark()->textAttachment()));
    }
    document.textStorage().setAttributedString(script);
    LayoutManager& talentLayout = *talent.textView()->layoutManager();
    LayoutManager& documentLayout = *document.layoutManager();
    talentLayout.setBackgroundLayoutEnabled(false);
    documentLayout.setBackgroundLayoutEnabled(false);
    EXPECT_FALSE(talentLayout.isLayoutComplete());

    while (talentLayout.layOutInBackground(0.01) | documentLayout.layOutInBackground(0.01)) {
    }
    talentLayout.layOutInBackground(0);
    EXPECT_TRUE(talentLayout.isLayoutComplete());
    EXPECT_TRUE(documentLayout.isLayoutComplete());
    ASSERT_TRUE(talentMatchesDocument(talent.talentTextStorage(), document.textStorage()));

    // The copy's height is the one a layout of the whole copy at once finds.
    LayoutManager whole(std::make_shared<TextStorage>());
    whole.textStorage()->setAttributedString(talent.talentTextStorage());
    whole.setLineFragmentPadding(talentLayout.textContainer().lineFragmentPadding());
    whole.setTextContainerSize(talentLayout.textContainer().size());
    whole.ensureLayoutForTextContainer();
    EXPECT_DOUBLE_EQ(talentLayout.usedRectForTextContainer().height(),
                     whole.usedRectForTextContainer().height());

    // Typing after it goes on being copied.
    document.setSelectedRange({document.textStorage().length(), 0});
    document.insertText(QStringLiteral("The end."));
    EXPECT_TRUE(talentMatchesDocument(talent.talentTextStorage(), document.textStorage()));
}

TEST_F(TalentReplayTest, APreviewAsWideAsTheTalentViewDrawsTheTalentLayout)
{
    OVPrompterView preview(Rect{{0, 0}, talent.prompterView()->frame().size});
    preview.tile();
    talent.setPreviewPrompterView(&preview);
    TextView* previewText = preview.prompterTextView();
    ASSERT_EQ(previewText->frame().size.width, talent.textView()->frame().size.width);
    EXPECT_EQ(previewText->layoutManager(), talent.textView()->layoutManager());
    const double talentWidth = talent.textView()->textContainer().size().width;

    // Narrower: a layout of its own on the talent storage, and the talent's container stays as wide.
    preview.setFrameSize({talent.prompterView()->frame().size.width / 2, 300});
    preview.tile();
    ASSERT_NE(previewText->frame().size.width, talent.textView()->frame().size.width);
    EXPECT_NE(previewText->layoutManager(), talent.textView()->layoutManager());
    EXPECT_EQ(previewText->layoutManager()->textStorage().get(), &talent.talentTextStorage());
    EXPECT_EQ(talent.textView()->textContainer().size().width, talentWidth);
    document.setSelectedRange({0, 0});
    document.insertText(QStringLiteral("New "));
    EXPECT_EQ(previewText->string(), document.string());

    // As wide again: shared, and the preview's own layout no longer follows the edits.
    preview.setFrameSize(talent.prompterView()->frame().size);
    preview.tile();
    EXPECT_EQ(previewText->layoutManager(), talent.textView()->layoutManager());
    document.insertText(QStringLiteral("Newer "));
    EXPECT_EQ(previewText->string(), document.string());

    // A preview handed back keeps drawing a layout of its own, whatever happens to the talent.
    talent.setPreviewPrompterView(nullptr);
    EXPECT_NE(previewText->layoutManager(), talent.textView()->layoutManager());
    document.insertText(QStringLiteral("x"));
    EXPECT_NE(previewText->string(), document.string());
}

// Inverted for the talent, black and white swap and coloured words keep their colour: in the
// copy, in what is typed afterwards and in the page.
TEST_F(TalentReplayTest, InversionSwapsOnlyBlackAndWhite)
{
    const Color red = Color::rgb(1, 0, 0);
    const Color white = Color::rgb(1, 1, 1);
    const Color black = Color::rgb(0, 0, 0);
    auto colorAt = [this](qsizetype index) {
        const AttributeValue value =
            talent.talentTextStorage().attribute(kForegroundColorAttributeName, index);
        return value.color() ? *value.color() : Color::rgb(0.5, 0.5, 0.5, 0);
    };
    TextStorage& storage = document.textStorage();
    storage.addAttribute(kForegroundColorAttributeName, white, {0, 6});
    storage.addAttribute(kForegroundColorAttributeName, red, {7, 10});
    document.setBackgroundColor(Qt::black);
    defaults.setBool(QStringLiteral("enableTalentContentAdjustments"), true);

    talent.updateContentInvertTextAndBackgroundColor(true);
    EXPECT_EQ(colorAt(0), black);
    EXPECT_EQ(colorAt(8), red);
    EXPECT_EQ(colorAt(25), white) << "text without a colour is drawn black, so it turns white";
    EXPECT_EQ(talent.contentBackgroundColor(), QColor(Qt::white));

    storage.replaceCharacters(
        {0, 0}, AttributedString(QStringLiteral("Hot "), {{kForegroundColorAttributeName, red}}));
    storage.replaceCharacters(
        {0, 0}, AttributedString(QStringLiteral("Now "), {{kForegroundColorAttributeName, white}}));
    EXPECT_EQ(colorAt(0), black);
    EXPECT_EQ(colorAt(4), red);

    // A fresh copy of the same script comes out the same.
    talent._setDocumentTextView(nullptr);
    talent._setDocumentTextView(&document);
    EXPECT_EQ(colorAt(0), black);
    EXPECT_EQ(colorAt(4), red);
    EXPECT_EQ(colorAt(16), red);
    EXPECT_TRUE(talent.talentTextStorage().string() == storage.string());
}
