// Printing a script: the adjustments rebuild the printed copy from the text as it was (sizes mapped
// into the small band, black on white, plain paragraphs, images away and back), the summary lists
// them, the document itself never changes, and only a print that ran is counted.
#include "tests/document/PackageTestSupport.h"
#include "tests/support/AppTestSupport.h"
#include "window/OVDocumentWindowController.h"
#include "window/OVPrintPanelAccessoryViewController.h"
#include "window/OVPrintSheet.h"

#include "platform/foundation/UserDefaults.h"
#include "platform/hvkit/HVAnalytics.h"
#include "platform/hvkit/HVAppServices.h"
#include "platform/hvkit/NSColorHVAdditions.h"
#include "platform/text/TextStorage.h"
#include "text/OVTextView.h"

#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>

namespace {

using namespace packagetest;

AttributeDictionary sized(double size)
{
    Font font;
    font.familyName = QStringLiteral("DejaVu Sans");
    font.fontName = QStringLiteral("DejaVuSans");
    font.pointSize = size;
    return AttributeDictionary{{kFontAttributeName, font}};
}

double sizeAt(const AttributedString& text, qsizetype index)
{
    const AttributeValue value = text.attribute(kFontAttributeName, index);
    return value.font() ? value.font()->pointSize : 0;
}

class PrintAdjustmentsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        UserDefaults::shared().resetUserValues();
        UserDefaults::shared().registerDefaults(
            OVPrintPanelAccessoryViewController::initialDefaultsDictionary());
        UserDefaults::shared().registerDefaults(OVDocumentWindowController::initialDefaultsDictionary());
        view = std::make_unique<OVTextView>(Rect{0, 0, 600, 400});
    }
    void TearDown() override
    {
        OVPrintSheet::setAnswerer({});
        UserDefaults::shared().resetUserValues();
    }
    void setText(const AttributedString& text, const QColor& background = Qt::black)
    {
        view->textStorage().setAttributedString(text);
        view->setBackgroundColor(background);
    }

    apptest::ClockAndScreen scopes;
    QTemporaryDir dir;
    std::unique_ptr<OVTextView> view;
};

TEST_F(PrintAdjustmentsTest, SmallerFontsMapEverySizeIntoTheBandKeepingTheirOrder)
{
    MutableAttributedString text;
    text.insert(AttributedString(QStringLiteral("a"), sized(12)), 0);
    text.insert(AttributedString(QStringLiteral("b"), sized(24)), 1);
    text.insert(AttributedString(QStringLiteral("c"), sized(72)), 2);
    setText(text);
    OVPrintPanelAccessoryViewController accessory(view.get());
    EXPECT_NEAR(sizeAt(view->textStorage(), 0), 10.0, 1e-9);
    EXPECT_NEAR(sizeAt(view->textStorage(), 1), 10.6, 1e-9);
    EXPECT_NEAR(sizeAt(view->textStorage(), 2), 13.0, 1e-9);

    setText(AttributedString(QStringLiteral("All large"), sized(48)));
    OVPrintPanelAccessoryViewController single(view.get());
    EXPECT_NEAR(sizeAt(view->textStorage(), 4), 13.0, 1e-9);
}

TEST_F(PrintAdjustmentsTest, SizesFromADamagedSettingsFileNeverMakeAnEmptyOrNegativeFont)
{
    UserDefaults& defaults = UserDefaults::shared();
    defaults.setDouble(std::nan(""), QStringLiteral("printPanelMaximumSmallFontPointSize"));
    defaults.setDouble(-4, QStringLiteral("printPanelMinimumSmallFontPointSize"));
    EXPECT_EQ(OVPrintPanelAccessoryViewController::smallFontPointSizeRange(), std::make_pair(10.0, 13.0));
    defaults.setDouble(8, QStringLiteral("printPanelMaximumSmallFontPointSize"));
    defaults.setDouble(20, QStringLiteral("printPanelMinimumSmallFontPointSize"));
    EXPECT_EQ(OVPrintPanelAccessoryViewController::smallFontPointSizeRange(), std::make_pair(8.0, 20.0));
    defaults.setObject(QStringLiteral("large"), QStringLiteral("printPanelMaximumSmallFontPointSize"));
    defaults.setDouble(0, QStringLiteral("printPanelMinimumSmallFontPointSize"));
    EXPECT_EQ(OVPrintPanelAccessoryViewController::smallFontPointSizeRange(), std::make_pair(10.0, 13.0));
}

TEST_F(PrintAdjustmentsTest, RedOnYellowPrintsBlackOnWhiteAndCentredSpacingBecomesPlain)
{
    ParagraphStyle style;
    style.alignment = TextAlignment::Center;
    style.lineSpacing = 10;
    style.paragraphSpacing = 6;
    AttributeDictionary attributes = sized(30);
    attributes.insert(kForegroundColorAttributeName, Color::rgb(1, 0, 0));
    attributes.insert(kBackgroundColorAttributeName, Color::rgb(1, 1, 0));
    attributes.insert(kUnderlineColorAttributeName, Color::rgb(0, 0, 1));
    attributes.insert(kParagraphStyleAttributeName, style);
    setText(AttributedString(QStringLiteral("Warning"), attributes), Qt::darkBlue);
    OVPrintPanelAccessoryViewController accessory(view.get());
    const TextStorage& printed = view->textStorage();
    auto color = [&printed](const QString& name) {
        const AttributeValue value = printed.attribute(name, 0);
        return value.color() ? *value.color() : Color::rgb(0.5, 0.5, 0.5, 0);
    };
    EXPECT_EQ(color(kForegroundColorAttributeName), NSColorHVAdditions::RGBBlackColor());
    EXPECT_EQ(color(kUnderlineColorAttributeName), NSColorHVAdditions::RGBBlackColor());
    EXPECT_TRUE(printed.attribute(kBackgroundColorAttributeName, 0).isNull());
    EXPECT_EQ(view->backgroundColor(), QColor(Qt::white));
    const AttributeValue styleValue = printed.attribute(kParagraphStyleAttributeName, 0);
    const ParagraphStyle* plain = styleValue.paragraphStyle();
    ASSERT_NE(plain, nullptr);
    EXPECT_EQ(plain->alignment, TextAlignment::Center);
    EXPECT_EQ(plain->lineSpacing, 0);
    EXPECT_EQ(plain->paragraphSpacing, 0);

    // Switched off, the colours come back: every rebuild starts from the text as it was.
    accessory.setUseWhiteBackgroundAndBlackText(false);
    EXPECT_EQ(color(kForegroundColorAttributeName), Color::rgb(1, 0, 0));
    EXPECT_EQ(view->backgroundColor(), QColor(Qt::darkBlue));
    EXPECT_FALSE(
        UserDefaults::shared().boolForKey(QStringLiteral("printPanelUseWhiteBackgroundAndBlackText")));
}

TEST_F(PrintAdjustmentsTest, ImagesGoAndComeBackAndEachChangeRefreshesThePreview)
{
    MutableAttributedString text(QStringLiteral("Before  after"));
    text.insert(attachmentString(image(QByteArray("png"), QStringLiteral("a.png")), {}), 7);
    setText(text);
    OVPrintPanelAccessoryViewController accessory(view.get());
    int refreshes = 0;
    accessory.setPreviewUpdateHandler([&refreshes] { ++refreshes; });
    EXPECT_EQ(view->string(), QStringLiteral("Before  after"));
    const QString first = accessory.updateUUID();
    accessory.setRemoveImagesFromDocument(false);
    EXPECT_EQ(view->string().count(QChar(0xFFFC)), 1);
    EXPECT_NE(accessory.updateUUID(), first);
    accessory.setRemoveImagesFromDocument(true);
    EXPECT_EQ(view->string(), QStringLiteral("Before  after"));
    EXPECT_EQ(refreshes, 2);
}

TEST_F(PrintAdjustmentsTest, TheSummaryListsFourItemsOrFiveWithTheTalentAdjustments)
{
    setText(AttributedString(QStringLiteral("Text")));
    OVPrintPanelAccessoryViewController accessory(view.get());
    const auto four = accessory.localizedSummaryItems();
    ASSERT_EQ(four.size(), 4u);
    EXPECT_EQ(four[0].name, QStringLiteral("Remove images"));
    EXPECT_EQ(four[3].name, QStringLiteral("Remove line spacing"));
    EXPECT_EQ(four[0].description, QStringLiteral("On"));
    UserDefaults::shared().setBool(true, QStringLiteral("enableTalentContentAdjustments"));
    const auto five = accessory.localizedSummaryItems();
    ASSERT_EQ(five.size(), 5u);
    EXPECT_EQ(five[0].name, QStringLiteral("Use Preview Panel settings"));
    EXPECT_EQ(five[0].description, QStringLiteral("Off"));
}

class PrintDocumentTest : public PrintAdjustmentsTest {
protected:
    void SetUp() override
    {
        PrintAdjustmentsTest::SetUp();
        core = std::make_unique<OVCore>();
        scripts = std::make_unique<apptest::ScriptDocuments>(*core, dir);
    }
    void TearDown() override
    {
        scripts.reset();
        Application::shared().setMainWindow(nullptr);
        core.reset();
        PrintAdjustmentsTest::TearDown();
    }
    std::unique_ptr<OVCore> core;
    std::unique_ptr<apptest::ScriptDocuments> scripts;
};

TEST_F(PrintDocumentTest, PrintingWithEverythingOnLeavesTheDocumentAsItWasAndCountsOnlyAPrintThatRan)
{
    Error error;
    Document* document = scripts->documents.openUntitledDocumentAndDisplay(true, &error);
    ASSERT_NE(document, nullptr);
    OVDocumentWindowController& controller = apptest::ScriptDocuments::controllerOf(document);
    AttributeDictionary attributes = sized(60);
    attributes.insert(kForegroundColorAttributeName, Color::rgb(1, 1, 1));
    MutableAttributedString text(QStringLiteral("Good evening and welcome.\nTonight's news."), attributes);
    text.insert(attachmentString(image(QByteArray("png"), QStringLiteral("a.png")), attributes), 5);
    insertBookmark(text, 0, QStringLiteral("Top"));
    controller.setAttributedString(text);
    controller.setBackgroundColor(Color::rgb(0, 0, 0));
    const QString before = controller.textView()->string();

    HVAnalytics& analytics = HVAppServices::shared().analytics();
    const QString key = QStringLiteral("documents.printedDocuments");
    const qint64 printed = analytics.integerForKeyPath(key);
    const QString output = dir.filePath(QStringLiteral("printed.pdf"));
    OVPrintSheet::setAnswerer([&output](OVPrintSheet& sheet) {
        sheet.printer().setOutputFormat(QPrinter::PdfFormat);
        sheet.printer().setOutputFileName(output);
        return true;
    });
    ASSERT_TRUE(controller.tryToPerform(QStringLiteral("printDocument:"), {}));
    EXPECT_EQ(analytics.integerForKeyPath(key), printed + 1);
    // The document's own text, pictures and colours are untouched.
    EXPECT_EQ(controller.textView()->string(), before);
    EXPECT_EQ(controller.textView()->backgroundColor(), QColor(Qt::black));
    const AttributeValue foreground =
        controller.textView()->textStorage().attribute(kForegroundColorAttributeName, 3);
    ASSERT_TRUE(foreground.color());
    EXPECT_EQ(*foreground.color(), Color::rgb(1, 1, 1));
    EXPECT_FALSE(document->isDocumentEdited());
    QProcess text2;
    text2.start(QStringLiteral("pdftotext"), {output, QStringLiteral("-")});
    text2.waitForFinished(60000);
    const QString words = QString::fromUtf8(text2.readAllStandardOutput());
    EXPECT_TRUE(words.contains(QStringLiteral("Good evening and welcome."))) << words.toStdString();

    OVPrintSheet::setAnswerer([](OVPrintSheet&) { return false; });
    ASSERT_TRUE(controller.tryToPerform(QStringLiteral("printDocument:"), {}));
    EXPECT_EQ(analytics.integerForKeyPath(key), printed + 1);
}

TEST_F(PrintDocumentTest, TheSelectionRangePrintsOnlyTheSelectedLines)
{
    Error error;
    Document* document = scripts->documents.openUntitledDocumentAndDisplay(true, &error);
    ASSERT_NE(document, nullptr);
    OVDocumentWindowController& controller = apptest::ScriptDocuments::controllerOf(document);
    MutableAttributedString text(QStringLiteral("First line here.\nSecond line here.\nThird line here."),
                                 sized(30));
    insertBookmark(text, 0, QStringLiteral("Top"));
    controller.setAttributedString(text);
    // "Second line here." in the editor's text, which holds the bookmark character before it.
    controller.textView()->setSelectedRange({18, 17});
    const QString output = dir.filePath(QStringLiteral("selection.pdf"));
    bool offered = false;
    OVPrintSheet::setAnswerer([&](OVPrintSheet& sheet) {
        sheet.printer().setOutputFormat(QPrinter::PdfFormat);
        sheet.printer().setOutputFileName(output);
        sheet.printer().setPrintRange(QPrinter::Selection);
        offered = true;
        return true;
    });
    ASSERT_TRUE(controller.tryToPerform(QStringLiteral("printDocument:"), {}));
    ASSERT_TRUE(offered);
    QProcess words;
    words.start(QStringLiteral("pdftotext"), {output, QStringLiteral("-")});
    words.waitForFinished(60000);
    const QString printed = QString::fromUtf8(words.readAllStandardOutput());
    EXPECT_TRUE(printed.contains(QStringLiteral("Second line here."))) << printed.toStdString();
    EXPECT_FALSE(printed.contains(QStringLiteral("First line"))) << printed.toStdString();
    EXPECT_FALSE(printed.contains(QStringLiteral("Third line"))) << printed.toStdString();
}

} // namespace
