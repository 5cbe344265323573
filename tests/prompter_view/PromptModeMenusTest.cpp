#include "PrompterViewTestSupport.h"

#include "tests/prompting/CoreTestSupport.h"

#include <QAction>
#include <QMenu>

namespace {

class PromptModeMenusTest : public CoreTest {
protected:
    void SetUp() override
    {
        CoreTest::SetUp();
        makeCore();
    }
    static QStringList titles(QMenu& menu)
    {
        QStringList result;
        for (QAction* action : menu.actions())
            if (!action->isSeparator())
                result << action->text();
        return result;
    }
};

TEST_F(PromptModeMenusTest, InPromptModeTheArrowOffersNoSizesAndTheBarNoPositionsOrFonts)
{
    OVFocusArrowView arrow(Rect{0, 0, 0, 400});
    OVTimeBar bar(Rect{0, 0, 1200, 120});
    arrow.setCore(core.get());
    bar.setCore(core.get());
    const Event click = mouseEvent(Event::Type::RightMouseDown, 1, 1);
    EXPECT_TRUE(titles(*arrow.menuForEvent(click)).contains("Medium"));
    EXPECT_TRUE(titles(*bar.menuForEvent(click)).contains("Position on Top"));

    core->enterPromptMode();
    ASSERT_TRUE(core->isModePrompt());
    const QStringList arrowItems = titles(*arrow.menuForEvent(click));
    for (const char* size : {"Smallest", "Small", "Medium", "Large", "Largest"})
        EXPECT_FALSE(arrowItems.contains(size)) << size;
    EXPECT_TRUE(arrowItems.contains("Blue"));
    EXPECT_TRUE(arrowItems.contains("Lock Position"));
    const QStringList barItems = titles(*bar.menuForEvent(click));
    EXPECT_FALSE(barItems.contains("Position on Top"));
    EXPECT_FALSE(barItems.contains("Position on Bottom"));
    EXPECT_FALSE(barItems.contains("Set Time Font and Color"));
    EXPECT_TRUE(barItems.contains("Clock and Timer"));
}

} // namespace
