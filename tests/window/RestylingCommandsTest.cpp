// The restyling commands of a document window as the menus send them along the responder chain:
// colours with their coalesced undo, resets, inversion, the default style and the text size, with
// the undo names the Edit menu shows, and the talent copy kept equal to the document.
#include "app/OVMainMenu.h"
#include "document/OVDocument.h"
#include "output/OVTalentWindowController.h"
#include "platform/appkit/Application.h"
#include "platform/appkit/Menu.h"
#include "platform/appkit/MenuItem.h"
#include "platform/appkit/UndoManager.h"
#include "platform/appkit/Window.h"
#include "platform/foundation/FileWrapper.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/text/AttributeNames.h"
#include "platform/text/TextAttachment.h"
#include "prompter_view/OVPrompterView.h"
#include "prompting/OVCore.h"
#include "settings/OVSharedPreferencesAccess.h"
#include "tests/support/AppTestSupport.h"
#include "text/NSAttributedStringOVBookmarkAdditions.h"
#include "text/OVBookmark.h"
#include "text/OVTextView.h"
#include "textutil/NSMutableAttributedStringOVColorInversion.h"
#include "window/OVDocumentWindowController.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

const Color kWhite = Color::rgb(1, 1, 1);
const Color kBlack = Color::rgb(0, 0, 0);
const Color kRed = Color::rgb(1, 0, 0);
const Color kBlue = Color::rgb(0, 0, 1);
const Color kGreen = Color::rgb(0, 1, 0);
const Color kYellow = Color::rgb(1, 1, 0);

Font font(double size, bool bold = false)
{
    Font result;
    result.familyName = result.fontName = QStringLiteral("Times");
    result.pointSize = size;
    result.bold = bold;
    return result;
}

ParagraphStyle aligned(TextAlignment alignment)
{
    ParagraphStyle style;
    style.alignment = alignment;
    return style;
}

std::string describe(const AttributeDictionary& attributes)
{
    std::string out;
    for (const auto& [name, value] : attributes) {
        out += name.toStdString() + "=";
        if (const Color* c = value.color())
            out += QStringLiteral("rgb(%1,%2,%3,%4 gray %5)")
                       .arg(c->red)
                       .arg(c->green)
                       .arg(c->blue)
                       .arg(c->alpha)
                       .arg(c->isGray())
                       .toStdString();
        else if (const Font* f = value.font())
            out += QStringLiteral("font(%1 %2)").arg(f->fontName).arg(f->pointSize).toStdString();
        else
            out += "?";
        out += " ";
    }
    return out;
}

std::string firstDifference(const AttributedString& a, const AttributedString& b)
{
    if (a.string() != b.string())
        return " strings differ";
    for (qsizetype i = 0; i < a.length(); ++i)
        if (!(a.attributesAtIndex(i) == b.attributesAtIndex(i)))
            return " at " + std::to_string(i) + ": fresh " + describe(a.attributesAtIndex(i)) +
                   " | replayed " + describe(b.attributesAtIndex(i));
    return " runs differ only";
}

QColor qcolor(const Color& color)
{
    return QColor::fromRgbF(float(color.red), float(color.green), float(color.blue));
}

class RestylingCommands : public ::testing::Test {
protected:
    void SetUp() override
    {
        UserDefaults::shared().resetUserValues();
        storeDefaultStyle();
        core = std::make_unique<OVCore>();
        ASSERT_TRUE(folder.isValid());
        scripts = std::make_unique<apptest::ScriptDocuments>(*core, folder);
        Error error;
        document = scripts->documents.openUntitledDocumentAndDisplay(true, &error);
        ASSERT_NE(document, nullptr);
        Application::shared().setMainWindow(controller().window());
        OVTextView::setBeeper([this] { ++beeps; });
        OVTextView::setModifierFlagsProvider([this] { return modifiers; });
        NSMutableAttributedStringOVBookmarkAdditions::setOptionKeyDownProvider(
            [this] { return (modifiers & kOptionKeyMask) != 0; });
    }
    void TearDown() override
    {
        talent.reset();
        OVTextView::setBeeper({});
        OVTextView::setModifierFlagsProvider({});
        NSMutableAttributedStringOVBookmarkAdditions::setOptionKeyDownProvider({});
        Application::shared().setMainWindow(nullptr);
        scripts.reset();
        core.reset();
        UserDefaults::shared().removeObjectForKey(kDefaultDocumentStyleKey);
        OVSharedPreferencesAccess::triggerDefaultStyleUpdate();
        UserDefaults::shared().resetUserValues();
    }

    // The style the settings hold: Helvetica 30, white, left aligned, on black.
    static void storeDefaultStyle()
    {
        Font helvetica;
        helvetica.familyName = helvetica.fontName = QStringLiteral("Helvetica");
        helvetica.pointSize = 30;
        const AttributedString sample(QStringLiteral("Indeed"),
                                      {{kFontAttributeName, helvetica},
                                       {kForegroundColorAttributeName, kWhite},
                                       {kParagraphStyleAttributeName, aligned(TextAlignment::Left)}});
        const auto data = OVSharedPreferencesAccess::styleDataFromAttributedString(&sample, kBlack);
        ASSERT_TRUE(data);
        UserDefaults::shared().setObject(PlistValue(*data), kDefaultDocumentStyleKey);
        OVSharedPreferencesAccess::triggerDefaultStyleUpdate();
    }

    OVDocumentWindowController& controller() const
    {
        return apptest::ScriptDocuments::controllerOf(document);
    }
    OVTextView& view() const { return *dynamic_cast<OVTextView*>(controller().textView()); }
    TextStorage& storage() const { return view().textStorage(); }
    UndoManager& undo() const { return *view().undoManager(); }

    void setText(const AttributedString& text, const Range& selection = {0, 0})
    {
        storage().setAttributedString(text);
        view().setSelectedRange(selection);
        pass();
        undo().removeAllActions();
    }
    // Sends an action as a menu item does, along the responder chain from the key window's focus.
    void send(const char* action, const QVariant& sender = {})
    {
        ASSERT_TRUE(Application::shared().sendAction(QString::fromLatin1(action), nullptr, sender)) << action;
    }
    bool validates(const char* action) const
    {
        return Application::shared().validateItem({QString::fromLatin1(action), 0, true});
    }
    // The event loop coming round: undo groups close, work posted for the next pass runs.
    static void pass() { QCoreApplication::processEvents(); }

    std::optional<Color> colorAt(const QString& name, qsizetype index) const
    {
        const AttributeValue value = storage().attribute(name, index);
        return value.color() ? std::optional<Color>(*value.color()) : std::nullopt;
    }
    double sizeAt(qsizetype index) const
    {
        const AttributeValue value = storage().attribute(kFontAttributeName, index);
        return value.font() ? value.font()->pointSize : -1;
    }
    TextAlignment alignmentAt(qsizetype index) const
    {
        const AttributeValue value = storage().attribute(kParagraphStyleAttributeName, index);
        return value.paragraphStyle() ? value.paragraphStyle()->alignment : ParagraphStyle{}.alignment;
    }
    QString savedRtf()
    {
        const QString path = folder.filePath(QStringLiteral("Saved%1.ovdocument").arg(++saves));
        Error error;
        EXPECT_TRUE(document->saveToURL(QUrl::fromLocalFile(path), OVDocumentUTI,
                                        Document::SaveOperation::SaveTo, &error))
            << error.localizedDescription().toStdString();
        QFile rtf(path + QStringLiteral("/Content.rtfd/TXT.rtf"));
        EXPECT_TRUE(rtf.open(QIODevice::ReadOnly));
        return QString::fromLatin1(rtf.readAll());
    }

    apptest::ClockAndScreen scopes;
    QTemporaryDir folder;
    std::unique_ptr<OVCore> core;
    std::unique_ptr<apptest::ScriptDocuments> scripts;
    Document* document = nullptr;
    std::unique_ptr<OVTalentWindowController> talent;
    int beeps = 0;
    int saves = 0;
    unsigned long modifiers = 0;
};

TEST_F(RestylingCommands, ColourChangesInOnePassMakeOneUndoStep)
{
    setText(AttributedString(QStringLiteral("Hello world"), {{kForegroundColorAttributeName, kBlack}}),
            {0, 5});
    send("setUndoableTextColor:", qcolor(kRed));
    send("setUndoableTextColor:", qcolor(kBlue));
    EXPECT_EQ(colorAt(kForegroundColorAttributeName, 0), kBlue);
    pass();
    send("setUndoableTextColor:", qcolor(kGreen));
    pass();
    EXPECT_EQ(undo().undoCount(), 2);
    EXPECT_EQ(undo().undoMenuItemTitle(), QStringLiteral("Undo Text Color"));
    undo().undo();
    EXPECT_EQ(colorAt(kForegroundColorAttributeName, 0), kBlue);
    undo().undo();
    EXPECT_EQ(colorAt(kForegroundColorAttributeName, 0), kBlack);
    EXPECT_EQ(colorAt(kForegroundColorAttributeName, 6), kBlack) << "outside the selection";

    pass();
    send("setUndoableHighlightColor:", qcolor(kYellow));
    pass();
    EXPECT_EQ(undo().undoMenuItemTitle(), QStringLiteral("Undo Highlight Color"));
    send("setUndoableBackgroundColor:", qcolor(kBlue));
    EXPECT_EQ(view().backgroundColor(), qcolor(kBlue));
    pass();
    EXPECT_EQ(undo().undoMenuItemTitle(), QStringLiteral("Undo Set Background Color"));
}

TEST_F(RestylingCommands, ACaretChangesTheTypingColourOnly)
{
    setText(AttributedString(QStringLiteral("Hello"), {{kForegroundColorAttributeName, kBlack}}), {5, 0});
    send("setUndoableTextColor:", qcolor(kRed));
    EXPECT_EQ(colorAt(kForegroundColorAttributeName, 0), kBlack);
    EXPECT_EQ(*view().typingAttributes().value(kForegroundColorAttributeName).color(), kRed);
    pass();
    undo().undo();
    EXPECT_EQ(*view().typingAttributes().value(kForegroundColorAttributeName).color(), kBlack);
}

TEST_F(RestylingCommands, ResetsGoBackToTheDefaultStyleAsOneStep)
{
    setText(AttributedString(QStringLiteral("Hello"), {{kForegroundColorAttributeName, kRed},
                                                       {kBackgroundColorAttributeName, kYellow}}),
            {0, 5});
    view().setBackgroundColor(qcolor(kBlue));
    auto menu = OVMainMenu::makeMainMenu();
    MenuItem* resetAll = nullptr;
    for (int i = 0; i < menu->numberOfItems() && !resetAll; ++i)
        if (Menu* submenu = menu->itemAtIndex(i)->submenu())
            for (int j = 0; j < submenu->numberOfItems(); ++j)
                if (submenu->itemAtIndex(j)->action() == QLatin1String("resetColorForColorPanelOption:") &&
                    submenu->itemAtIndex(j)->tag() == 7)
                    resetAll = submenu->itemAtIndex(j);
    ASSERT_NE(resetAll, nullptr);
    send("resetColorForColorPanelOption:", QVariant::fromValue(resetAll));
    EXPECT_EQ(colorAt(kForegroundColorAttributeName, 0), kWhite);
    EXPECT_FALSE(colorAt(kBackgroundColorAttributeName, 0)) << "the default style has no highlight";
    EXPECT_EQ(view().backgroundColor(), QColor(Qt::black));
    pass();
    EXPECT_EQ(undo().undoCount(), 1);
    EXPECT_EQ(undo().undoMenuItemTitle(), QStringLiteral("Undo Reset Colors"));
    undo().undo();
    EXPECT_EQ(colorAt(kForegroundColorAttributeName, 0), kRed);
    EXPECT_EQ(colorAt(kBackgroundColorAttributeName, 0), kYellow);
    EXPECT_EQ(view().backgroundColor(), qcolor(kBlue));
}

TEST_F(RestylingCommands, WithoutAStoredStyleResetsGiveWhiteTextOnBlack)
{
    UserDefaults::shared().removeObjectForKey(kDefaultDocumentStyleKey);
    OVSharedPreferencesAccess::triggerDefaultStyleUpdate();
    setText(AttributedString(QStringLiteral("Hello"), {{kForegroundColorAttributeName, kRed}}), {0, 5});
    view().setBackgroundColor(Qt::white);
    send("setUndoableTextColor:");
    send("setUndoableBackgroundColor:");
    EXPECT_EQ(colorAt(kForegroundColorAttributeName, 0), kWhite);
    EXPECT_EQ(view().backgroundColor(), QColor(Qt::black));
}

TEST_F(RestylingCommands, ShiftRemovesTheHighlight)
{
    AttributedString text(QStringLiteral("Hello"), {{kBackgroundColorAttributeName, kYellow}});
    setText(text, {0, 5});
    modifiers = kShiftKeyMask;
    send("setUndoableHighlightColor:", qcolor(kRed));
    EXPECT_FALSE(colorAt(kBackgroundColorAttributeName, 2));
}

TEST_F(RestylingCommands, InvertingTheSelectionLeavesColoursAndThePageAlone)
{
    MutableAttributedString text(QStringLiteral("white RED on yellow"),
                                 {{kForegroundColorAttributeName, kWhite}});
    text.addAttribute(kForegroundColorAttributeName, kRed, {6, 3});
    text.addAttribute(kBackgroundColorAttributeName, kYellow, {13, 6});
    setText(text, {0, text.length()});
    view().setBackgroundColor(Qt::black);
    std::vector<QVariantMap> posted;
    NotificationObserver will(NotificationCenter::shared(), OVTextViewWillInvertColorsNotification, &view(),
                              [&](const Notification& n) { posted.push_back(n.userInfo); });
    NotificationObserver did(NotificationCenter::shared(), OVTextViewDidInvertColorsNotification, &view(),
                             [&](const Notification& n) { posted.push_back(n.userInfo); });
    ASSERT_TRUE(validates("invert2SelectionBlackAndWhite:"));
    send("invert2SelectionBlackAndWhite:");
    EXPECT_EQ(colorAt(kForegroundColorAttributeName, 0), kBlack);
    EXPECT_EQ(colorAt(kForegroundColorAttributeName, 6), kRed);
    EXPECT_EQ(colorAt(kBackgroundColorAttributeName, 14), kYellow);
    EXPECT_EQ(colorAt(kBackgroundColorAttributeName, 0), kWhite) << "the block shows on the black page";
    EXPECT_EQ(view().backgroundColor(), QColor(Qt::black));
    ASSERT_EQ(posted.size(), 2u);
    EXPECT_EQ(posted[0].value(OVTextViewInvertsBlackAndWhiteOnlyKey), QVariant(true));
    EXPECT_EQ(posted[1], posted[0]);
    pass();
    EXPECT_EQ(undo().undoMenuItemTitle(), QStringLiteral("Undo Invert Black and White"));
    undo().undo();
    EXPECT_EQ(colorAt(kForegroundColorAttributeName, 0), kWhite);
    EXPECT_FALSE(colorAt(kBackgroundColorAttributeName, 0));
}

TEST_F(RestylingCommands, InvertingTheDocumentTurnsThePageAndUndoTurnsItBack)
{
    setText(AttributedString(QStringLiteral("Hello"), {{kForegroundColorAttributeName, kWhite}}));
    view().setBackgroundColor(Qt::black);
    send("invert2DocumentAllColors:");
    EXPECT_EQ(view().backgroundColor(), QColor(Qt::white));
    EXPECT_EQ(colorAt(kForegroundColorAttributeName, 0), kBlack);
    pass();
    EXPECT_EQ(undo().undoMenuItemTitle(), QStringLiteral("Undo Invert All Colors"));
    undo().undo();
    EXPECT_EQ(view().backgroundColor(), QColor(Qt::black));
    EXPECT_EQ(colorAt(kForegroundColorAttributeName, 0), kWhite);
}

TEST_F(RestylingCommands, InvertColorsHonoursAlt)
{
    MutableAttributedString text(QStringLiteral("plain RED"));
    text.addAttribute(kForegroundColorAttributeName, kRed, {6, 3});
    setText(text);
    send("invertColors:");
    EXPECT_EQ(colorAt(kForegroundColorAttributeName, 0), kWhite) << "text without colour inverts as black";
    EXPECT_EQ(colorAt(kForegroundColorAttributeName, 6), kRed);
    pass();
    EXPECT_EQ(undo().undoMenuItemTitle(), QStringLiteral("Undo Swap Black and White Colors"));
    modifiers = kOptionKeyMask;
    send("invertColors:");
    EXPECT_EQ(colorAt(kForegroundColorAttributeName, 6), Color::rgb(0, 1, 1));
    pass();
    EXPECT_EQ(undo().undoMenuItemTitle(), QStringLiteral("Undo Invert All Colors"));
}

TEST_F(RestylingCommands, IncreaseTextSizeIsSavedAndUndoneExactly)
{
    setText(AttributedString(QStringLiteral("Twelve points"), {{kFontAttributeName, font(12)}}), {0, 13});
    ASSERT_TRUE(validates("increaseTextSize:"));
    send("increaseTextSize:");
    EXPECT_EQ(sizeAt(0), 14);
    EXPECT_TRUE(savedRtf().contains(QStringLiteral("\\fs28 ")));
    pass();
    EXPECT_EQ(undo().undoMenuItemTitle(), QStringLiteral("Undo Resize Text"));
    undo().undo();
    EXPECT_EQ(sizeAt(0), 12);
    const QString rtf = savedRtf();
    EXPECT_TRUE(rtf.contains(QStringLiteral("\\fs24 ")));
    EXPECT_FALSE(rtf.contains(QStringLiteral("\\fs28")));
    undo().redo();
    EXPECT_EQ(sizeAt(0), 14);
}

TEST_F(RestylingCommands, UndoAfterAFactorRestoresTheOldSizesExactly)
{
    MutableAttributedString text(QStringLiteral("eleven thirteen"), {{kFontAttributeName, font(13)}});
    text.addAttribute(kFontAttributeName, font(11), {0, 6});
    setText(text, {0, text.length()});
    view().adjustTextSizeByFactor(1.3, 1.7);
    EXPECT_DOUBLE_EQ(sizeAt(0), 11 * 1.3 + 1.7);
    pass();
    undo().undo();
    EXPECT_EQ(sizeAt(0), 11);
    EXPECT_EQ(sizeAt(7), 13);
}

TEST_F(RestylingCommands, TooSmallOrABadFactorBeepsAndChangesNothing)
{
    MutableAttributedString text(QStringLiteral("tiny normal"), {{kFontAttributeName, font(12)}});
    text.addAttribute(kFontAttributeName, font(2), {0, 4});
    setText(text, {0, text.length()});
    const AttributedString before = storage();
    send("decreaseTextSize:");
    for (double factor :
         {0.0, -2.0, std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity()})
        view().adjustTextSizeByFactor(factor, 0);
    EXPECT_EQ(beeps, 5);
    EXPECT_EQ(storage(), before);
    pass();
    EXPECT_FALSE(undo().canUndo());
}

TEST_F(RestylingCommands, DocumentTextSizeStepsEveryFontByTenAndKeepsTheSelection)
{
    MutableAttributedString text(QStringLiteral("twelve thirty"), {{kFontAttributeName, font(30)}});
    text.addAttribute(kFontAttributeName, font(12), {0, 6});
    setText(text, {2, 1});
    std::optional<QVariant> shown;
    NotificationObserver scrolled(
        NotificationCenter::shared(), OVTextViewDidScrollForTextSizeChangeNotification, &view(),
        [&](const Notification& n) { shown = n.userInfo.value(OVTextViewDisplayRange); });
    ASSERT_TRUE(validates("documentIncreaseTextSize:"));
    send("documentIncreaseTextSize:");
    EXPECT_EQ(sizeAt(0), 22);
    EXPECT_EQ(sizeAt(7), 40);
    EXPECT_EQ(view().selectedRange(), Range(2, 1));
    ASSERT_TRUE(shown);
    EXPECT_EQ(shown->toList().size(), 2);
    send("documentDecreaseTextSize:");
    EXPECT_EQ(sizeAt(0), 12);
    EXPECT_EQ(sizeAt(7), 30);
    send("makeDocumentTextBigger10x:");
    EXPECT_EQ(sizeAt(2), 22) << "the selection only";
    EXPECT_EQ(sizeAt(0), 12);
}

class DefaultStyleCommands : public RestylingCommands {
protected:
    // Ten lines of Times 12, black, the first centred lines as asked; line 3 holds a bold word and a
    // red word, line 5 a picture and a bookmark.
    void setScript(int centred)
    {
        MutableAttributedString text;
        for (int line = 0; line < 10; ++line)
            text.append(QStringLiteral("Line of script.\n"),
                        {{kFontAttributeName, font(12)},
                         {kForegroundColorAttributeName, kBlack},
                         {kParagraphStyleAttributeName,
                          aligned(line < centred ? TextAlignment::Center : TextAlignment::Left)}});
        text.addAttribute(kFontAttributeName, font(12, true), {3 * 16, 4});
        text.addAttribute(kForegroundColorAttributeName, kRed, {3 * 16 + 5, 2});
        auto wrapper = FileWrapper::makeRegularFile(QByteArray("png"));
        wrapper->setPreferredFilename(QStringLiteral("pic.png"));
        AttributeDictionary picture = text.attributesAtIndex(5 * 16);
        picture.insert(kAttachmentAttributeName, std::make_shared<TextAttachment>(wrapper));
        text.replaceCharacters({5 * 16, 1}, QString(QChar(kAttachmentCharacter)), picture);
        AttributeDictionary bookmark = text.attributesAtIndex(5 * 16 + 2);
        bookmark.insert(kAttachmentAttributeName,
                        OVBookmark::bookmarkWithName(QStringLiteral("Cue"))->textAttachment());
        text.replaceCharacters({5 * 16 + 2, 1}, QString(QChar(kAttachmentCharacter)), bookmark);
        setText(text);
    }
    qsizetype bookmarkCount() const
    {
        const auto ranges = NSAttributedStringOVBookmarkAdditions::bookmarkCharacterRanges(storage());
        return ranges ? qsizetype(ranges->size()) : 0;
    }
};

TEST_F(DefaultStyleCommands, KeepsHeadingsTraitsPicturesAndAMinorityColour)
{
    setScript(2);
    ASSERT_EQ(bookmarkCount(), 1);
    send("applyDefaultStyle:");
    EXPECT_EQ(alignmentAt(0), TextAlignment::Center);
    EXPECT_EQ(alignmentAt(16), TextAlignment::Center);
    EXPECT_EQ(alignmentAt(2 * 16), TextAlignment::Left);
    const AttributeValue bold = storage().attribute(kFontAttributeName, 3 * 16);
    ASSERT_TRUE(bold.font());
    EXPECT_TRUE(bold.font()->bold);
    EXPECT_EQ(bold.font()->familyName, QStringLiteral("Helvetica"));
    EXPECT_EQ(colorAt(kForegroundColorAttributeName, 3 * 16 + 5), kRed);
    EXPECT_EQ(colorAt(kForegroundColorAttributeName, 0), kWhite);
    EXPECT_NE(storage().attribute(kAttachmentAttributeName, 5 * 16).attachment(), nullptr);
    EXPECT_EQ(bookmarkCount(), 1);
    EXPECT_EQ(view().backgroundColor(), QColor(Qt::black));
    pass();
    EXPECT_EQ(undo().undoMenuItemTitle(), QStringLiteral("Undo Apply Default Style"));
    undo().undo();
    EXPECT_EQ(colorAt(kForegroundColorAttributeName, 0), kBlack);
}

TEST_F(DefaultStyleCommands, AMostlyCentredScriptFollowsTheDefaultAlignment)
{
    setScript(8);
    send("applyDefaultStyle:");
    for (int line = 0; line < 10; ++line)
        EXPECT_EQ(alignmentAt(line * 16), TextAlignment::Left) << line;
}

TEST_F(DefaultStyleCommands, TheSelectionVariantNeedsASelection)
{
    setScript(0);
    view().setSelectedRange({3, 0});
    EXPECT_FALSE(validates("applyDefaultStyleWithoutBackground:"));
    view().applyDefaultStyleWithoutBackground();
    EXPECT_EQ(beeps, 1);
    view().setSelectedRange({16, 16});
    ASSERT_TRUE(validates("applyDefaultStyleWithoutBackground:"));
    send("applyDefaultStyleWithoutBackground:");
    EXPECT_EQ(colorAt(kForegroundColorAttributeName, 16), kWhite);
    EXPECT_EQ(colorAt(kForegroundColorAttributeName, 0), kBlack);
    pass();
    EXPECT_EQ(undo().undoMenuItemTitle(), QStringLiteral("Undo Apply Default Style to Selection"));
}

// The talent copy hears each command as one edit and ends equal to a fresh copy of the document.
TEST_F(RestylingCommands, TheTalentCopyFollowsEachCommandInOneEdit)
{
    MutableAttributedString text;
    for (int line = 0; line < 40; ++line)
        text.append(QStringLiteral("Line %1 of the script.\n").arg(line),
                    {{kFontAttributeName, font(line % 2 ? 12 : 14)},
                     {kForegroundColorAttributeName, line % 3 ? kWhite : kRed},
                     {kParagraphStyleAttributeName, aligned(TextAlignment::Left)}});
    setText(text, {0, 30});
    UserDefaults::shared().setBool(true, QStringLiteral("enableTalentContentAdjustments"));
    talent = std::make_unique<OVTalentWindowController>(*core);
    talent->setFrontMostDocumentProvider([this] { return static_cast<const void*>(document); });
    talent->updateContentInvertTextAndBackgroundColor(true);
    talent->updateContentTextMagnificationFactor(1.5);
    talent->beginInitialDocumentWatching();
    ASSERT_EQ(talent->documentTextView(), &view());
    int edits = 0;
    int documentEdits = 0;
    storage().addObserver(TextStorage::Phase::Edited,
                          [&](TextStorage&, const TextStorageEdit&) { ++documentEdits; });
    talent->talentTextStorage().addObserver(TextStorage::Phase::Edited,
                                            [&](TextStorage&, const TextStorageEdit&) { ++edits; });
    const std::vector<std::pair<const char*, QVariant>> commands{
        {"setUndoableTextColor:", qcolor(kBlue)}, {"invert2DocumentBlackAndWhite:", {}},
        {"invert2SelectionAllColors:", {}},       {"increaseTextSize:", {}},
        {"documentIncreaseTextSize:", {}},        {"applyDefaultStyle:", {}},
        {"resetColorForColorPanelOption:", 3}};
    for (const auto& [action, sender] : commands) {
        edits = 0;
        send(action, sender);
        pass();
        EXPECT_EQ(edits, 1) << action << " document edits " << documentEdits;
        documentEdits = 0;
        const AttributedString replayed = talent->talentTextStorage();
        talent->_configureForTextView(&view());
        EXPECT_TRUE(talent->talentTextStorage() == replayed)
            << action << firstDifference(talent->talentTextStorage(), replayed);
    }
}

// Resizing the document keeps its shown text in view, and a preview that tracks edits follows it.
TEST_F(RestylingCommands, ThePreviewShowsWhatTheResizedDocumentKeptInView)
{
    MutableAttributedString text;
    for (int line = 0; line < 400; ++line)
        text.append(QStringLiteral("Line %1 of a long script.\n").arg(line),
                    {{kFontAttributeName, font(12)}});
    setText(text, {0, 0});
    UserDefaults::shared().setBool(true, QStringLiteral("enableTalentScreenTracksEdits"));
    talent = std::make_unique<OVTalentWindowController>(*core);
    talent->setFrontMostDocumentProvider([this] { return static_cast<const void*>(document); });
    talent->beginInitialDocumentWatching();
    OVPrompterView preview(Rect{{0, 0}, {320, 180}});
    talent->setPreviewPrompterView(&preview);
    const qsizetype late = storage().string().indexOf(QStringLiteral("Line 300 "));
    view().setSelectedRange({late, 0});
    view().scrollRangeToVisible({late, 0});
    pass();
    preview.prompterTextView()->scrollRangeToVisible({0, 0});
    ASSERT_FALSE(preview.prompterTextView()->visibleCharacterRange().contains(late));
    send("documentIncreaseTextSize:");
    EXPECT_TRUE(
        preview.prompterTextView()->visibleCharacterRange().intersects(view().visibleCharacterRange()));
    talent->setPreviewPrompterView(nullptr);
}

} // namespace
