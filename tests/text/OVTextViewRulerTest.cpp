// The script view's ruler: indent handles only while indents are left as the user sets them, and
// no toggling while input is held back.
#include "platform/appkit/ScrollView.h"
#include "platform/appkit/Window.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/hvkit/HVEventBlocker.h"
#include "platform/textview/RulerView.h"
#include "text/OVLayoutManager.h"
#include "text/OVTextView.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

const QString kNormalizeKey = QStringLiteral("editingAlwaysNormalizeParagraphIndents");

int indentHandles(const std::vector<RulerMarker>& markers)
{
    return int(
        std::count_if(markers.begin(), markers.end(), [](const RulerMarker& m) { return m.isIndent(); }));
}

class OVTextViewRulerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Clock::setShared(&clock);
        UserDefaults::shared().setBool(false, kNormalizeKey);
        window = std::make_unique<Window>(Rect(0, 0, 500, 300));
        scroll = static_cast<ScrollView*>(
            window->setContentView(std::make_unique<ScrollView>(Rect(0, 0, 500, 300))));
        view = static_cast<OVTextView*>(
            scroll->setDocumentView(std::make_unique<OVTextView>(Rect(0, 0, 500, 300))));
        view->setString(QStringLiteral("One\nTwo"));
    }
    void TearDown() override
    {
        window.reset();
        UserDefaults::shared().removeObjectForKey(kNormalizeKey);
        Clock::setShared(nullptr);
    }

    ManualClock clock{100};
    std::unique_ptr<Window> window;
    ScrollView* scroll = nullptr;
    OVTextView* view = nullptr;
};

TEST_F(OVTextViewRulerTest, WhileIndentsAreNormalisedTheRulerOffersTabStopsOnly)
{
    view->setRulerVisible(true);
    ASSERT_TRUE(view->isRulerVisible());
    EXPECT_EQ(indentHandles(view->rulerView()->markers()), 3);
    EXPECT_EQ(view->rulerView()->markers().size(), 15u);

    view->setAlwaysNormalizeParagraphIndents(true);
    const std::vector<RulerMarker> normalised = view->rulerView()->markers();
    EXPECT_EQ(indentHandles(normalised), 0);
    EXPECT_EQ(normalised.size(), 12u);

    view->setAlwaysNormalizeParagraphIndents(false);
    EXPECT_EQ(indentHandles(view->rulerView()->markers()), 3);
}

TEST_F(OVTextViewRulerTest, AViewOfAnotherKindFollowsTheSetting)
{
    // The talent and print views are plain views over a script layout: they follow the defaults.
    OVLayoutManager layout;
    ParagraphStyle style;
    EXPECT_EQ(indentHandles(layout.rulerMarkersForTextView(nullptr, style)), 3);
    UserDefaults::shared().setBool(true, kNormalizeKey);
    EXPECT_EQ(indentHandles(layout.rulerMarkersForTextView(nullptr, style)), 0);
    EXPECT_EQ(layout.rulerMarkersForTextView(nullptr, style).size(), size_t(style.tabStops.size()));
}

TEST_F(OVTextViewRulerTest, TheRulerDoesNotToggleWhileInputIsHeldBackAndOutputViewsHaveNone)
{
    {
        HVEventBlocker::AppBlock block(1);
        view->toggleRuler();
        EXPECT_FALSE(view->isRulerVisible());
    }
    view->toggleRuler();
    EXPECT_TRUE(view->isRulerVisible());

    // A prompt output view cannot show the ruler again once it is hidden.
    view->configureForEditing(false);
    EXPECT_TRUE(view->isRulerVisible());
    view->toggleRuler();
    EXPECT_FALSE(view->isRulerVisible());
    view->toggleRuler();
    EXPECT_FALSE(view->isRulerVisible());
}

} // namespace
