// The menus and the toolbar of the program as launched, used with the mouse: bookmark items that
// highlight, flash and jump when pointed at and clicked, removing bookmarks and undoing it by name,
// marks made while prompting seen back in Edit mode, and toolbar captions on the buttons' baseline.
#include "app/OVProgramStart.h"
#include "platform/appkit/Menu.h"
#include "platform/appkit/MenuItem.h"
#include "platform/appkit/Toolbar.h"
#include "platform/appkit/Window.h"
#include "platform/text/AttributeNames.h"
#include "platform/text/TextAttachment.h"
#include "platform/textlayout/LayoutManager.h"
#include "prompting/OVApplication.h"
#include "prompting/OVCore.h"
#include "settings/OVSharedPreferencesAccess.h"
#include "text/NSTextAttachmentOVBookmarkAdditions.h"
#include "text/OVTextView.h"
#include "window/OVDocumentWindowToolbar.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QTest>
#include <QToolBar>
#include <QToolButton>
#include <QWidgetAction>

#include "LaunchedScriptTest.h"

namespace {

class MenusLaunch : public launchtest::LaunchedScriptTest {
protected:
    OVTextView& text() const { return *dynamic_cast<OVTextView*>(controller().textView()); }
    QWidget* host() const { return controller().window()->hostWidget(); }
    Menu& mainMenu(const QString& action) const { return *Menu::mainMenu()->itemWithAction(action)->menu(); }

    // Opens a menu of the menu bar as a click on its title would.
    QMenu* open(Menu& menu) const
    {
        QMenu* shown = menu.qMenu();
        shown->popup(host()->mapToGlobal(QPoint(20, 20)));
        QCoreApplication::processEvents();
        return shown;
    }
    static QAction* actionTitled(QMenu* menu, const QString& title)
    {
        for (QAction* action : menu->actions())
            if (action->text() == title)
                return action;
        return nullptr;
    }
    static void click(QMenu* menu, QAction* action)
    {
        const QPoint at = menu->actionGeometry(action).center();
        QTest::mouseMove(menu, at);
        QTest::mouseClick(menu, Qt::LeftButton, {}, at);
        QCoreApplication::processEvents();
    }
    std::vector<qsizetype> bookmarkLocations() const
    {
        std::vector<qsizetype> found;
        const TextStorage& storage = text().textStorage();
        for (qsizetype i = 0; i < storage.length(); ++i) {
            if (storage.characterAtIndex(i) != QChar(0xFFFC))
                continue;
            const auto attachment = storage.attribute(kAttachmentAttributeName, i).attachment();
            if (attachment && NSTextAttachmentOVBookmarkAdditions::isBookmark(*attachment))
                found.push_back(i);
        }
        return found;
    }

    // Points at the second bookmark's item and clicks it: the bookmark flashes while pointed at, and
    // the click puts the caret just after it.
    void pointAtAndClickSecondBookmark(QMenu* menu)
    {
        std::vector<QWidgetAction*> items;
        for (QAction* action : menu->actions())
            if (auto* styled = qobject_cast<QWidgetAction*>(action))
                items.push_back(styled);
        const std::vector<qsizetype> bookmarks = bookmarkLocations();
        ASSERT_GE(items.size(), 2u);
        ASSERT_EQ(items.size(), bookmarks.size());
        const QPoint at = menu->actionGeometry(items[1]).center();
        QTest::mouseMove(menu, at);
        QCoreApplication::processEvents();
        EXPECT_EQ(menu->activeAction(), items[1]) << "the item under the pointer is highlighted";
        ASSERT_EQ(text().findIndicatorRanges().size(), 1u);
        EXPECT_EQ(text().findIndicatorRanges().front().location, bookmarks[1]);
        QTest::mouseClick(menu, Qt::LeftButton, {}, at);
        QCoreApplication::processEvents();
        EXPECT_FALSE(menu->isVisible());
        EXPECT_EQ(text().selectedRange().location, bookmarks[1] + 1);
    }
};

TEST_F(MenusLaunch, ABookmarkItemFlashesWhenPointedAtAndJumpsWhenClickedInEitherMenu)
{
    text().setSelectedRange({0, 0});
    pointAtAndClickSecondBookmark(open(mainMenu(QStringLiteral("nextBookmark:"))));

    text().setSelectedRange({0, 0});
    QToolButton* menuSegment = nullptr;
    for (QToolButton* segment : host()->findChildren<QToolButton*>(QStringLiteral("bookmarksMenu")))
        if (segment->isVisible())
            menuSegment = segment;
    ASSERT_TRUE(menuSegment) << "the toolbar shows the bookmark control";
    ASSERT_TRUE(menuSegment->isEnabled());
    QTest::mouseClick(menuSegment, Qt::LeftButton);
    QCoreApplication::processEvents();
    auto* popUp = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    ASSERT_TRUE(popUp) << "the toolbar's bookmark segment shows its menu";
    pointAtAndClickSecondBookmark(popUp);
}

TEST_F(MenusLaunch, RemoveBookmarksTakesTheSelectedLinesBookmarksAndUndoesByName)
{
    const std::vector<qsizetype> before = bookmarkLocations();
    ASSERT_GE(before.size(), 2u);
    const qsizetype length = text().textStorage().length();
    // The first bookmark's line only.
    text().setSelectedRange({before[0], 0});
    QMenu* bookmarks = open(mainMenu(QStringLiteral("nextBookmark:")));
    QAction* remove = actionTitled(bookmarks, QStringLiteral("Remove Bookmarks"));
    ASSERT_TRUE(remove);
    ASSERT_TRUE(remove->isEnabled());
    click(bookmarks, remove);
    EXPECT_EQ(bookmarkLocations().size(), before.size() - 1);

    QMenu* edit = open(mainMenu(QStringLiteral("undo:")));
    QAction* undo = actionTitled(edit, QStringLiteral("Undo Remove Bookmarks"));
    ASSERT_TRUE(undo) << "the Edit menu names what it undoes";
    EXPECT_EQ(actionTitled(edit, QStringLiteral("Mark Selection")), nullptr);
    click(edit, undo);
    EXPECT_EQ(bookmarkLocations(), before);
    EXPECT_EQ(text().textStorage().length(), length);

    edit = open(mainMenu(QStringLiteral("undo:")));
    EXPECT_TRUE(actionTitled(edit, QStringLiteral("Redo Remove Bookmarks")));
    edit->hide();
}

TEST_F(MenusLaunch, ARightClickOnABookmarkShowsItsMenuWhichRemovesIt)
{
    const std::vector<qsizetype> before = bookmarkLocations();
    ASSERT_FALSE(before.empty());
    text().setSelectedRange({text().textStorage().length(), 0});
    // Where the first bookmark's picture is drawn, in the window.
    const std::vector<Rect> glyph = text().layoutManager()->rectsForCharacterRange({before[0], 1});
    ASSERT_FALSE(glyph.empty());
    const Point origin = text().textContainerOrigin();
    const Point inWindow =
        text().convertPointToView({glyph.front().midX() + origin.x, glyph.front().midY() + origin.y}, nullptr);
    const QPoint at(int(inWindow.x), int(controller().window()->frame().size.height - inWindow.y));
    QTest::mouseClick(host(), Qt::RightButton, {}, at);
    QCoreApplication::processEvents();
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    ASSERT_TRUE(menu) << "the bookmark's menu shows";
    EXPECT_EQ(text().selectedRange().location, before[0]);
    EXPECT_TRUE(actionTitled(menu, QStringLiteral("Edit Bookmark…")));
    QAction* remove = actionTitled(menu, QStringLiteral("Remove Bookmark"));
    ASSERT_TRUE(remove);
    click(menu, remove);
    EXPECT_EQ(bookmarkLocations().size(), before.size() - 1);

    // Anywhere else in the text a right click shows the text's menu, not the bookmark's.
    QTest::mouseClick(host(), Qt::RightButton, {}, at + QPoint(200, 0));
    QCoreApplication::processEvents();
    menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    ASSERT_TRUE(menu);
    EXPECT_FALSE(actionTitled(menu, QStringLiteral("Edit Bookmark…")));
    EXPECT_TRUE(actionTitled(menu, QStringLiteral("Cut")));
    menu->hide();
}

TEST_F(MenusLaunch, ARightClickOnTheTextShowsTheTextMenuWithTheStyleItemsThatAct)
{
    // A word of the second line, made larger than the rest, selected.
    const QString string = text().textStorage().string();
    const qsizetype word = string.indexOf(QStringLiteral("sample"));
    ASSERT_GT(word, 0);
    text().setSelectedRange({word, 6});
    text().increaseTextSize();
    const AttributeValue font = text().textStorage().attribute(kFontAttributeName, word);
    ASSERT_TRUE(font.font());
    const double size = font.font()->pointSize;

    const std::vector<Rect> glyph = text().layoutManager()->rectsForCharacterRange({word + 2, 1});
    ASSERT_FALSE(glyph.empty());
    const Point origin = text().textContainerOrigin();
    const Point inWindow = text().convertPointToView(
        {glyph.front().midX() + origin.x, glyph.front().midY() + origin.y}, nullptr);
    const QPoint at(int(inWindow.x), int(controller().window()->frame().size.height - inWindow.y));
    QTest::mouseClick(host(), Qt::RightButton, {}, at);
    QCoreApplication::processEvents();
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    ASSERT_TRUE(menu) << "a right click on the text shows a menu";
    EXPECT_EQ(text().selectedRange(), (Range{word, 6})) << "the click keeps the selection";

    // The desktop's text menu, then the script's own items, in this order.
    QStringList titles;
    for (QAction* action : menu->actions())
        titles << (action->isSeparator() ? QStringLiteral("--") : action->text());
    const QStringList wanted{QStringLiteral("Undo Resize Text"),
                             QStringLiteral("Redo"),
                             QStringLiteral("--"),
                             QStringLiteral("Cut"),
                             QStringLiteral("Copy"),
                             QStringLiteral("Paste"),
                             QStringLiteral("Delete"),
                             QStringLiteral("--"),
                             QStringLiteral("Select All"),
                             QStringLiteral("--"),
                             QStringLiteral("Invert Selection Black and White"),
                             QStringLiteral("Invert Selection All Colors"),
                             QStringLiteral("--"),
                             QStringLiteral("Apply Default Style to Selection"),
                             QStringLiteral("Set Selection as Default Style")};
    EXPECT_EQ(titles, wanted);
    for (const char* enabled :
         {"Undo Resize Text", "Cut", "Copy", "Select All", "Invert Selection All Colors",
          "Apply Default Style to Selection", "Set Selection as Default Style"}) {
        QAction* item = actionTitled(menu, QString::fromUtf8(enabled));
        ASSERT_TRUE(item) << enabled;
        EXPECT_TRUE(item->isEnabled()) << enabled;
    }
    EXPECT_FALSE(actionTitled(menu, QStringLiteral("Redo"))->isEnabled());

    // The larger word's style becomes the default style.
    click(menu, actionTitled(menu, QStringLiteral("Set Selection as Default Style")));
    const auto style = OVSharedPreferencesAccess::defaultStyleAttributes();
    ASSERT_TRUE(style);
    ASSERT_TRUE(style->value(kFontAttributeName).font());
    EXPECT_EQ(style->value(kFontAttributeName).font()->pointSize, size);

    // Undo from the same menu takes the larger size back.
    QTest::mouseClick(host(), Qt::RightButton, {}, at);
    QCoreApplication::processEvents();
    menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    ASSERT_TRUE(menu);
    click(menu, actionTitled(menu, QStringLiteral("Undo Resize Text")));
    EXPECT_LT(text().textStorage().attribute(kFontAttributeName, word).font()->pointSize, size);

    // While prompting the text has no menu.
    QTest::keyClick(host(), Qt::Key_Return, Qt::ControlModifier);
    QCoreApplication::processEvents();
    ASSERT_TRUE(OVApplication::shared().core().isModePrompt());
    QTest::mouseClick(host(), Qt::RightButton, {}, at);
    QCoreApplication::processEvents();
    EXPECT_FALSE(QApplication::activePopupWidget());
    QTest::keyClick(host(), Qt::Key_Escape);
    QCoreApplication::processEvents();
}

TEST_F(MenusLaunch, TextMarkedWhilePromptingShowsInEditModeAndTheMarkItemsWork)
{
    OVCore& core = OVApplication::shared().core();
    QTest::keyClick(host(), Qt::Key_Return, Qt::ControlModifier);
    QCoreApplication::processEvents();
    ASSERT_TRUE(core.isModePrompt());
    QTest::keyClick(host(), Qt::Key_M);
    QCoreApplication::processEvents();
    QTest::keyClick(host(), Qt::Key_Escape);
    QCoreApplication::processEvents();
    ASSERT_TRUE(core.isModeEdit());

    EXPECT_TRUE(text().drawsMarkedText());
    EXPECT_TRUE(text().isMarkedTextVisibleInViewport());
    QMenu* edit = open(mainMenu(QStringLiteral("undo:")));
    for (const char* title : {"Unmark All…", "Next Mark", "Previous Mark"}) {
        QAction* item = actionTitled(edit, QString::fromUtf8(title));
        ASSERT_TRUE(item) << title;
        EXPECT_TRUE(item->isEnabled()) << title;
    }
    QAction* shown = actionTitled(edit, QStringLiteral("Show Marked Text"));
    ASSERT_TRUE(shown);
    EXPECT_TRUE(shown->isChecked());

    // The marks are on screen: hiding them through the same item changes what the window shows.
    const QImage withMarks = host()->grab().toImage();
    click(edit, shown);
    EXPECT_FALSE(text().drawsMarkedText());
    EXPECT_NE(host()->grab().toImage(), withMarks);
}

// The lowest row of a widget's drawing in the bar that holds dark ink: the foot of its label's letters.
int inkFoot(const QImage& bar, const QRect& area)
{
    for (int y = std::min(area.bottom(), bar.height() - 1); y >= std::max(0, area.top()); --y)
        for (int x = std::max(0, area.left()); x <= std::min(area.right(), bar.width() - 1); ++x)
            if (qGray(bar.pixel(x, y)) < 110)
                return y;
    return -1;
}

TEST_F(MenusLaunch, TheToolbarsCaptionsSitOnTheButtonsLabelsAndItsViewItemsKeepTheirWidth)
{
    QToolBar* bar = controller().documentToolbar()->toolbar().qToolBar();
    ASSERT_TRUE(bar);
    OVCore& core = OVApplication::shared().core();
    for (const bool prompt : {false, true}) {
        if (prompt != core.isModePrompt()) {
            QTest::keyClick(host(), Qt::Key_Return, Qt::ControlModifier);
            QCoreApplication::processEvents();
            ASSERT_EQ(core.isModePrompt(), prompt);
        }
        for (const int width : {800, 1280, 1920}) {
            Window* window = controller().window();
            Rect frame = window->frame();
            frame.size.width = width;
            window->setFrame(frame);
            QCoreApplication::processEvents();
            SCOPED_TRACE(QStringLiteral("%1 px, %2 mode").arg(width).arg(prompt ? "Prompt" : "Edit").toStdString());
            const QImage image = bar->grab().toImage();
            // A button without descenders in its label, and a caption without them either.
            QWidget* start = nullptr;
            for (QToolButton* button : bar->findChildren<QToolButton*>())
                if (button->isVisible() && (button->text() == QStringLiteral("Start") ||
                                            button->text() == QStringLiteral("Pause")))
                    start = button;
            QLabel* bookmarks = nullptr;
            for (QLabel* caption : bar->findChildren<QLabel*>(QStringLiteral("caption")))
                if (caption->isVisible() && caption->text() == QStringLiteral("Bookmarks"))
                    bookmarks = caption;
            ASSERT_TRUE(start);
            ASSERT_TRUE(bookmarks);
            const QRect startArea(start->mapTo(bar, QPoint()), start->size());
            const QRect captionArea(bookmarks->mapTo(bar, QPoint()), bookmarks->size());
            EXPECT_NEAR(inkFoot(image, captionArea), inkFoot(image, startArea), 2)
                << "the caption stands on the buttons' baseline";
            EXPECT_EQ(bookmarks->font().pointSizeF(), start->font().pointSizeF());
            // Every button shows its picture above its label, the standard ones too.
            for (QToolButton* button : bar->findChildren<QToolButton*>())
                if (button->isVisible() && !button->text().isEmpty() && button->objectName().isEmpty()) {
                    EXPECT_FALSE(button->icon().isNull()) << button->text().toStdString();
                }
            // No view item takes more room than its controls ask for.
            for (QWidget* holder : bar->findChildren<QWidget*>(QStringLiteral("toolbarItemHolder")))
                if (holder->isVisible()) {
                    EXPECT_LE(holder->width(), holder->sizeHint().width() + 1);
                }
        }
    }
}

} // namespace
