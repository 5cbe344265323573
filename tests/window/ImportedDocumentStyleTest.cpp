// Opening files in real document windows: an imported script arrives in the house style with nothing
// to undo, and an opened file takes the place of an untitled window nobody has worked in.
#include "document/OVDocument.h"
#include "platform/appkit/Application.h"
#include "platform/appkit/DocumentController.h"
#include "platform/appkit/Event.h"
#include "platform/appkit/FakeScreenProvider.h"
#include "platform/appkit/ScreenProvider.h"
#include "platform/appkit/UndoManager.h"
#include "platform/appkit/Window.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/text/AttributeNames.h"
#include "platform/textview/TextView.h"
#include "prompting/OVCore.h"
#include "settings/OVSharedPreferencesAccess.h"
#include "tests/document/PackageTestSupport.h"
#include "tests/support/AppTestSupport.h"
#include "window/OVDocumentWindowController.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

const Color kWhite = Color::rgb(1, 1, 1);
const Color kBlack = Color::rgb(0, 0, 0);

Font font(const QString& family, double size)
{
    Font result;
    result.familyName = family;
    result.fontName = family;
    result.pointSize = size;
    return result;
}

ParagraphStyle aligned(TextAlignment alignment)
{
    ParagraphStyle style;
    style.alignment = alignment;
    return style;
}

class OpeningDocumentsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        UserDefaults::shared().resetUserValues();
        // Helvetica 30, white, left aligned, on black: the style the settings would hold.
        const AttributedString sample(QStringLiteral("Indeed"),
                                      {{kFontAttributeName, font(QStringLiteral("Helvetica"), 30)},
                                       {kForegroundColorAttributeName, kWhite},
                                       {kParagraphStyleAttributeName, aligned(TextAlignment::Left)}});
        const auto data = OVSharedPreferencesAccess::styleDataFromAttributedString(&sample, kBlack);
        ASSERT_TRUE(data);
        UserDefaults::shared().setObject(PlistValue(*data), kDefaultDocumentStyleKey);
        UserDefaults::shared().setBool(true, QStringLiteral("applyDefaultStyleToAllImportedDocuments"));
        OVSharedPreferencesAccess::triggerDefaultStyleUpdate();

        core = std::make_unique<OVCore>();
        scripts = std::make_unique<apptest::ScriptDocuments>(*core, dir);
        OVDocument::setModifierFlagsQuery([this] { return modifierFlags; });
    }
    void TearDown() override
    {
        scripts.reset();
        OVDocument::setModifierFlagsQuery({});
        OVDocument::setDidFinishRestoringWindows(false);
        Application::shared().setMainWindow(nullptr);
        core.reset();
        UserDefaults::shared().resetUserValues();
        OVSharedPreferencesAccess::triggerDefaultStyleUpdate();
    }

    // An older single-file script: ten lines of Times 12 in black, the first one a centred heading.
    QString writeOlderScript()
    {
        MutableAttributedString text;
        for (int line = 0; line < 10; ++line)
            text.append(QStringLiteral("Line %1 of the script.\n").arg(line),
                        {{kFontAttributeName, font(QStringLiteral("Times"), 12)},
                         {kForegroundColorAttributeName, kBlack},
                         {kParagraphStyleAttributeName,
                          aligned(line == 0 ? TextAlignment::Center : TextAlignment::Left)}});
        PlistDictionary older;
        older.insert(OVPrompterDocumentContentsKey, PlistValue(Rtfd::data(text, {})));
        const QString path = dir.filePath(QStringLiteral("Script.prompterdocument"));
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(packagetest::xml(older));
        return path;
    }
    Document* open(const QString& path)
    {
        Error error;
        Document* document = scripts->documents.openDocumentWithContentsOfURL(QUrl::fromLocalFile(path), true, &error);
        EXPECT_NE(document, nullptr) << error.localizedDescription().toStdString();
        return document;
    }
    static OVDocumentWindowController& controllerOf(Document* document)
    {
        return apptest::ScriptDocuments::controllerOf(document);
    }

    apptest::ClockAndScreen scopes;
    QTemporaryDir dir;
    std::unique_ptr<OVCore> core;
    std::unique_ptr<apptest::ScriptDocuments> scripts;
    unsigned long modifierFlags = 0;
};

TEST_F(OpeningDocumentsTest, AnImportedScriptOpensInTheDefaultStyleWithNothingToUndo)
{
    Document* document = open(writeOlderScript());
    ASSERT_NE(document, nullptr);
    OVDocumentWindowController& controller = controllerOf(document);
    TextView* text = controller.textView();
    const TextStorage& storage = text->textStorage();
    const AttributeValue body = storage.attribute(kFontAttributeName, 40);
    ASSERT_NE(body.font(), nullptr);
    EXPECT_EQ(body.font()->familyName, QStringLiteral("Helvetica"));
    EXPECT_DOUBLE_EQ(body.font()->pointSize, 30);
    const AttributeValue foreground = storage.attribute(kForegroundColorAttributeName, 40);
    ASSERT_NE(foreground.color(), nullptr);
    EXPECT_EQ(*foreground.color(), kWhite);
    EXPECT_EQ(text->backgroundColor(), QColor(Qt::black));
    // What a save writes follows the view.
    ASSERT_TRUE(controller.backgroundColor());
    EXPECT_EQ(*controller.backgroundColor(), kBlack);
    // One heading in ten stays centred.
    const AttributeValue heading = storage.attribute(kParagraphStyleAttributeName, 0);
    ASSERT_NE(heading.paragraphStyle(), nullptr);
    EXPECT_EQ(heading.paragraphStyle()->alignment, TextAlignment::Center);
    EXPECT_FALSE(text->undoManager()->canUndo());
    EXPECT_FALSE(document->isDocumentEdited());
}

TEST_F(OpeningDocumentsTest, HoldingOptionOpensAnImportedScriptInItsOwnStyle)
{
    modifierFlags = kOptionKeyMask;
    Document* document = open(writeOlderScript());
    ASSERT_NE(document, nullptr);
    TextView* text = controllerOf(document).textView();
    const AttributeValue body = text->textStorage().attribute(kFontAttributeName, 40);
    ASSERT_NE(body.font(), nullptr);
    EXPECT_EQ(body.font()->familyName, QStringLiteral("Times"));
    EXPECT_NE(text->backgroundColor(), QColor(Qt::black));
    EXPECT_FALSE(text->undoManager()->canUndo());
}

TEST_F(OpeningDocumentsTest, AnOpenedFileTakesThePlaceOfAnUntouchedUntitledWindowOnly)
{
    const QString script = writeOlderScript();
    OVDocument::setDidFinishRestoringWindows(true);
    Error error;
    Document* untouched = scripts->documents.openUntitledDocumentAndDisplay(true, &error);
    ASSERT_NE(untouched, nullptr);
    Document* opened = open(script);
    ASSERT_NE(opened, nullptr);
    EXPECT_TRUE(untouched->isClosing());
    EXPECT_TRUE(opened->windowForSheet()->isVisible());
    opened->close();
    QCoreApplication::sendPostedEvents();

    Document* typedIn = scripts->documents.openUntitledDocumentAndDisplay(true, &error);
    ASSERT_NE(typedIn, nullptr);
    controllerOf(typedIn).textView()->insertText(QStringLiteral("Notes"));
    ASSERT_NE(open(script), nullptr);
    EXPECT_FALSE(typedIn->isClosing());
    EXPECT_EQ(controllerOf(typedIn).textView()->string(), QStringLiteral("Notes"));
}

} // namespace
