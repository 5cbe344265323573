// The restyling commands in the program as launched: the Format menu's text-size items through
// their key equivalents, with the real defaults and an empty settings folder.
#include "app/OVDocumentSession.h"
#include "app/OVProgramStart.h"
#include "document/OVDocumentPackageReader.h"
#include "platform/appkit/Alert.h"
#include "platform/appkit/Document.h"
#include "platform/appkit/DocumentController.h"
#include "platform/appkit/Menu.h"
#include "platform/appkit/MenuItem.h"
#include "platform/appkit/Window.h"
#include "platform/foundation/Clock.h"
#include "platform/text/AttributeNames.h"
#include "platform/text/TextStorage.h"
#include "platform/textview/TextView.h"
#include "window/OVDocumentWindowController.h"

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

#include "LaunchedScriptTest.h"

namespace {

class LaunchedRestyling : public launchtest::LaunchedScriptTest {
protected:
    QWidget* host() const { return controller().window()->hostWidget(); }
    TextView& text() const { return *controller().textView(); }
    void key(Qt::Key which, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QTest::keyClick(host(), which, modifiers);
        QCoreApplication::processEvents();
    }
    // The font sizes of the text's words, in text order, once for each change of size. Bookmarks and
    // pictures keep their size.
    static std::vector<double> sizes(const AttributedString& string)
    {
        std::vector<double> result;
        string.enumerateAttributes({0, string.length()}, 0,
                                   [&](const AttributeDictionary& attributes, const Range&, bool&) {
                                       const AttributeValue font = attributes.value(kFontAttributeName);
                                       if (!font.font() || attributes.contains(kAttachmentAttributeName))
                                           return;
                                       if (result.empty() || result.back() != font.font()->pointSize)
                                           result.push_back(font.font()->pointSize);
                                   });
        return result;
    }
};

TEST_F(LaunchedRestyling, TheTextSizeKeysResizeTheScriptAndUndoPutsItBack)
{
    const std::vector<double> before = sizes(text().textStorage());
    ASSERT_FALSE(before.empty());
    MenuItem* bigger = Menu::mainMenu()->itemWithAction(QStringLiteral("increaseTextSize:"));
    ASSERT_NE(bigger, nullptr);
    EXPECT_EQ(bigger->keyEquivalent(), QStringLiteral("+"));

    key(Qt::Key_A, Qt::ControlModifier);
    key(Qt::Key_Plus, Qt::ControlModifier);
    std::vector<double> grown = sizes(text().textStorage());
    ASSERT_EQ(grown.size(), before.size());
    for (size_t i = 0; i < before.size(); ++i)
        EXPECT_EQ(grown[i], before[i] + 2) << i;
    key(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(sizes(text().textStorage()), before);

    // The document's own step: ten points for every font, whatever is selected, and saved so.
    key(Qt::Key_Right);
    key(Qt::Key_Plus, Qt::ControlModifier | Qt::AltModifier);
    grown = sizes(text().textStorage());
    ASSERT_EQ(grown.size(), before.size());
    for (size_t i = 0; i < before.size(); ++i)
        EXPECT_EQ(grown[i], before[i] + 10) << i;
    key(Qt::Key_S, Qt::ControlModifier);
    OVLoadedDocumentInfo loaded;
    Error error;
    ASSERT_TRUE(OVDocumentPackageReader::readPackage(QUrl::fromLocalFile(script),
                                                     OVDocumentPackageReader::Options(), &loaded, &error))
        << error.localizedDescription().toStdString();
    ASSERT_TRUE(loaded.content);
    EXPECT_EQ(sizes(*loaded.content), grown);
}

} // namespace
