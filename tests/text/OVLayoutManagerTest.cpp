#include "text/OVLayoutManager.h"

#include "../support/IsolatedSettings.h"
#include "platform/text/AttributeNames.h"
#include "settings/OVSharedPreferencesAccess.h"
#include "text/OVTextView.h"

#include <QImage>

#include <gtest/gtest.h>

namespace {

[[maybe_unused]] const auto* kIsolated = ::testing::AddGlobalTestEnvironment(new IsolatedSettings);

const QColor kMarkColor(255, 128, 0);

bool near(QRgb pixel, const QColor& color, int tolerance = 12)
{
    return std::abs(qRed(pixel) - color.red()) <= tolerance &&
           std::abs(qGreen(pixel) - color.green()) <= tolerance &&
           std::abs(qBlue(pixel) - color.blue()) <= tolerance;
}

// Pixels of a colour within the area of a character range.
int countIn(const QImage& image, const OVTextView& view, const Range& range, const QColor& color,
            int tolerance = 12)
{
    const Point origin = view.textContainerOrigin();
    int count = 0;
    for (const Rect& rect : view.layoutManager()->rectsForCharacterRange(range)) {
        const QRect area = QRectF(rect.minX() + origin.x, rect.minY() + origin.y, rect.width(), rect.height())
                               .toAlignedRect() &
                           image.rect();
        for (int y = area.top(); y <= area.bottom(); ++y)
            for (int x = area.left(); x <= area.right(); ++x)
                count += near(image.pixel(x, y), color, tolerance);
    }
    return count;
}

class OVLayoutManagerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        OVSharedPreferencesAccess::setMarkedTextColor(Color::fromRgb8(255, 128, 0));
        view = std::make_unique<OVTextView>(Rect(0, 0, 400, 100));
        view->setBackgroundColor(Qt::white);
        view->setForcesActive(true);
        view->setString(QStringLiteral("Hello marked world teh end"));
        view->setDrawsMarkedText(true);
    }
    void TearDown() override
    {
        OVLayoutManager::setPrompterScaleFactorProvider({});
        OVLayoutManager::_setQuickZoomUseSpellCheckEnhancement(false);
        OVSharedPreferencesAccess::setMarkedTextColor(std::nullopt);
    }
    QImage render() { return view->imageOfRect(view->bounds()); }

    std::unique_ptr<OVTextView> view;
};

TEST_F(OVLayoutManagerTest, MarksAreDrawnUnderTheTextOnlyWhileTheViewDrawsThem)
{
    ASSERT_NE(dynamic_cast<OVLayoutManager*>(view->layoutManager().get()), nullptr);
    view->markTextInRange({6, 6});
    EXPECT_GT(countIn(render(), *view, {6, 6}, kMarkColor), 100);
    EXPECT_EQ(countIn(render(), *view, {0, 5}, kMarkColor), 0);

    view->setDrawsMarkedText(false);
    EXPECT_EQ(countIn(render(), *view, {6, 6}, kMarkColor), 0);

    // A view of the same script with a layout of its own (the talent's) has no marks to draw.
    OVTextView talent(Rect(0, 0, 400, 100));
    talent.setDrawsMarkedText(true);
    talent.setString(view->string());
    EXPECT_EQ(countIn(talent.imageOfRect(talent.bounds()), talent, {6, 6}, kMarkColor), 0);
}

TEST_F(OVLayoutManagerTest, AHighlightedPassageShowsItsMarkAndItsSelection)
{
    view->textStorage().addAttribute(kBackgroundColorAttributeName, AttributeValue(Color::rgb(1, 1, 0)),
                                     {0, 12});
    EXPECT_GT(countIn(render(), *view, {0, 5}, Qt::yellow), 100);
    view->markTextInRange({6, 6});
    const QImage marked = render();
    EXPECT_GT(countIn(marked, *view, {6, 6}, kMarkColor), 100);
    EXPECT_EQ(countIn(marked, *view, {6, 6}, Qt::yellow), 0) << "the highlight stays under the mark";
    view->setSelectedRange({0, 3});
    EXPECT_EQ(countIn(render(), *view, {0, 3}, Qt::yellow), 0) << "the selection shows over the highlight";
}

TEST_F(OVLayoutManagerTest, TheSelectionShowsOverTheMarkItMeets)
{
    view->markTextInRange({6, 6});
    view->setSelectedRange({7, 2});
    const QImage image = render();
    const QColor selection = view->selectionColorForDrawing();
    EXPECT_GT(countIn(image, *view, {7, 2}, selection), 50);
    EXPECT_EQ(countIn(image, *view, {7, 2}, kMarkColor), 0);
    EXPECT_GT(countIn(image, *view, {10, 2}, kMarkColor), 50);
}

TEST_F(OVLayoutManagerTest, MagnifiedPromptersGetThinDottedSpellingAndGrammarUnderlines)
{
    const Range misspelled{19, 3};
    const Range grammar{0, 5};
    view->layoutManager()->addTemporaryAttribute(kSpellingStateAttributeName, qint64(1), misspelled);
    view->layoutManager()->addTemporaryAttribute(kSpellingStateAttributeName, qint64(2), grammar);
    double scale = 1.0;
    OVLayoutManager::setPrompterScaleFactorProvider([&](const OVTextView&) { return scale; });

    // At scale 1 the enhancement adds nothing to the ordinary underlines.
    const QImage plain = render();
    OVLayoutManager::_setQuickZoomUseSpellCheckEnhancement(true);
    EXPECT_EQ(render(), plain);

    scale = 1.5;
    const QImage magnified = render();
    EXPECT_GT(countIn(magnified, *view, misspelled, QColor(255, 0, 0), 40), 3);
    EXPECT_GT(countIn(magnified, *view, grammar, QColor(0, 255, 0), 40), 3);
    EXPECT_EQ(countIn(magnified, *view, {6, 6}, QColor(255, 0, 0), 40), 0);

    OVLayoutManager::_setQuickZoomUseSpellCheckEnhancement(false);
    EXPECT_EQ(countIn(render(), *view, misspelled, QColor(255, 0, 0), 40),
              countIn(plain, *view, misspelled, QColor(255, 0, 0), 40));
}

} // namespace
