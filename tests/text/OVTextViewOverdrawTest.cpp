// How far ahead a prompt output view prepares the script: the rule the Advanced settings pick, its
// guards against settings that cannot work, and the bands a prompter composes its frames from.
#include "platform/appkit/ClipView.h"
#include "platform/appkit/ScrollView.h"
#include "platform/appkit/Window.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/text/AttributeNames.h"
#include "text/OVTextView.h"

#include "tests/support/LogCapture.h"

#include <QApplication>
#include <QPainter>
#include <QWidget>

#include <gtest/gtest.h>

#include <memory>

namespace {

const QString kTooSmall = QStringLiteral(
    "The specified overdraw height or memory amount is too small to be usable. Assuming AppKit defaults, "
    "instead. This error will only be logged once.");

class OVTextViewOverdrawTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        OVTextView::setPromptStateProvider([this] { return state; });
        window = std::make_unique<Window>(Rect(0, 0, 600, 400));
        scroll = static_cast<ScrollView*>(
            window->setContentView(std::make_unique<ScrollView>(Rect(0, 0, 600, 400))));
        view = static_cast<OVTextView*>(
            scroll->setDocumentView(std::make_unique<OVTextView>(Rect(0, 0, 600, 400))));
        view->configureForEditing(false);
        window->orderFront();
        QApplication::processEvents();
    }
    void TearDown() override
    {
        window.reset();
        OVTextView::setPromptStateProvider(nullptr);
        for (const QString& key :
             {OVTextView::kOverdrawOptionTagKey, OVTextView::kCustomOverdrawMemoryLimitMBKey,
              OVTextView::kCustomOverdrawFixedHeightPointsKey})
            UserDefaults::shared().removeObjectForKey(key);
        OVTextView::updateCachedOverdrawDefaults();
    }
    // A script of the given height in points, as 50-point lines.
    void setScriptHeight(double height)
    {
        view->setMinSize({0, height});
        view->setFrameSize({600, height});
    }
    void longScript(int paragraphs)
    {
        QStringList lines;
        for (int i = 0; i < paragraphs; ++i)
            lines << QStringLiteral("Paragraph %1 of a script long enough to scroll for an hour").arg(i);
        view->setString(lines.join(QChar('\n')));
        Font font;
        font.familyName = QStringLiteral("DejaVu Sans");
        font.fontName = QStringLiteral("DejaVuSans");
        font.pointSize = 40;
        view->textStorage().setAttributes({{kFontAttributeName, font}}, {0, view->textStorage().length()});
        view->sizeToFit();
    }
    static void setOption(qint64 option)
    {
        UserDefaults::shared().setInteger(option, OVTextView::kOverdrawOptionTagKey);
        OVTextView::updateCachedOverdrawDefaults();
    }
    void scrollTo(double y) { scroll->contentView()->scrollToPoint({0, y}); }

    OVTextView::PromptState state{true, false, false};
    std::unique_ptr<Window> window;
    ScrollView* scroll = nullptr;
    OVTextView* view = nullptr;
};

TEST_F(OVTextViewOverdrawTest, EditModeAndSelectableViewsTakeTheProposalWhateverTheOption)
{
    setScriptHeight(20000);
    scrollTo(5000);
    const Rect proposed = view->proposedContentPreparationRect();
    EXPECT_EQ(proposed, view->visibleRect().insetBy(0, -view->visibleRect().height()));
    for (qint64 option : {-1, 0, 1, 2, 3, 4, 9}) {
        setOption(option);
        state = {false, true, false};
        EXPECT_EQ(view->overdrawRectForProposedRect(proposed), proposed) << option;
        state = {true, false, true};
        EXPECT_EQ(view->overdrawRectForProposedRect(proposed), proposed) << option;
        state = {true, false, false};
        view->setSelectable(true);
        EXPECT_EQ(view->overdrawRectForProposedRect(proposed), proposed) << option;
        view->setSelectable(false);
    }
    // Prompting, an output view: options 3 and 4 take the bounds and what is shown.
    setOption(3);
    EXPECT_EQ(view->overdrawRectForProposedRect(proposed), view->bounds());
    setOption(4);
    EXPECT_EQ(view->overdrawRectForProposedRect(proposed), view->visibleRect());
}

TEST_F(OVTextViewOverdrawTest, FixedHeightCoversAShortScriptWholeAndIsCutAtItsEnd)
{
    setOption(2);
    setScriptHeight(5000);
    EXPECT_EQ(OVTextView::overdrawFixedHeightPoints(), 0) << "nothing registered in this test";
    UserDefaults::shared().setInteger(8192, OVTextView::kCustomOverdrawFixedHeightPointsKey);
    OVTextView::updateCachedOverdrawDefaults();
    EXPECT_EQ(view->overdrawRectForProposedRect(view->proposedContentPreparationRect()), view->bounds());

    setScriptHeight(20000);
    scrollTo(15000);
    const Rect proposed = view->proposedContentPreparationRect();
    const Rect chosen = view->overdrawRectForProposedRect(proposed);
    EXPECT_EQ(chosen.origin, proposed.origin);
    EXPECT_DOUBLE_EQ(chosen.maxY(), 20000) << "cut where the script ends";
}

TEST_F(OVTextViewOverdrawTest, MemoryBudgetBuysWholeRowsOfBandsAndNoSumDividesByZero)
{
    // 128 MiB at ratio 2, 32 bits, 1000 points across: 67,108,864 / (4 x 4 x 65,536) = 64 rows.
    EXPECT_EQ(OVTextView::overdrawHeightForMemoryLimit(128, 2, 32, 1000), std::optional<qint64>(16384));
    // Three bytes a pixel, four bands across: 170 rows.
    EXPECT_EQ(OVTextView::overdrawHeightForMemoryLimit(128, 1, 24, 1024), std::optional<qint64>(170 * 256));
    for (const auto& [limit, scale, depth, width] : {std::tuple{qint64(128), 2.0, 32, 0.0},
                                                     {128, 2.0, 32, 0.9},
                                                     {128, 0.0, 32, 1000.0},
                                                     {128, -1.0, 32, 1000.0},
                                                     {128, 2.0, 0, 1000.0},
                                                     {0, 2.0, 32, 1000.0},
                                                     {-5, 2.0, 32, 1000.0},
                                                     {1, 2.0, 32, 100000.0},
                                                     {128, std::nan(""), 32, 1000.0}})
        EXPECT_EQ(OVTextView::overdrawHeightForMemoryLimit(limit, scale, depth, width), std::nullopt)
            << limit << " " << scale << " " << depth << " " << width;
    // Sums that overflow 32 bits stay exact.
    EXPECT_EQ(OVTextView::overdrawHeightForMemoryLimit(2147483647, 1, 32, 256),
              std::optional<qint64>((qint64(2147483647) * 1048576 / (4 * 65536)) * 256));

    // In the view: option 1 on a long script takes the rows from the window's ratio and depth.
    setOption(1);
    UserDefaults::shared().setInteger(16, OVTextView::kCustomOverdrawMemoryLimitMBKey);
    OVTextView::updateCachedOverdrawDefaults();
    setScriptHeight(200000);
    scrollTo(100000);
    const Rect proposed = view->proposedContentPreparationRect();
    const Rect chosen = view->overdrawRectForProposedRect(proposed);
    const double ratio = window->hostWidget()->devicePixelRatioF();
    const int depth = window->hostWidget()->depth() > 0 ? window->hostWidget()->depth() : 32;
    EXPECT_DOUBLE_EQ(chosen.height(),
                     double(*OVTextView::overdrawHeightForMemoryLimit(16, ratio, depth, 600)));
    EXPECT_TRUE(chosen.contains(view->visibleRect()));
}

TEST_F(OVTextViewOverdrawTest, UnusableSettingsFallBackToTheProposalAndSayWhyOnceOrEachTime)
{
    setScriptHeight(20000);
    scrollTo(5000);
    const Rect proposed = view->proposedContentPreparationRect();
    LogCapture log;
    setOption(2);
    UserDefaults::shared().setInteger(100, OVTextView::kCustomOverdrawFixedHeightPointsKey);
    OVTextView::updateCachedOverdrawDefaults();
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(view->overdrawRectForProposedRect(proposed), proposed);
    setOption(1);
    UserDefaults::shared().setInteger(0, OVTextView::kCustomOverdrawMemoryLimitMBKey);
    OVTextView::updateCachedOverdrawDefaults();
    EXPECT_EQ(view->overdrawRectForProposedRect(proposed), proposed);
    // Once in the process: an earlier test may have logged it already.
    EXPECT_LE(log.lines().count(kTooSmall), 1);

    log.clear();
    setOption(7);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(view->overdrawRectForProposedRect(proposed), proposed);
    EXPECT_EQ(log.lines().count(QStringLiteral("Unsupported option: 7. Assuming AppKit default.")), 3);
}

TEST_F(OVTextViewOverdrawTest, TheCachedOptionHoldsUntilTheSettingsPaneAsksForARefresh)
{
    setScriptHeight(20000);
    scrollTo(5000);
    setOption(3);
    EXPECT_EQ(OVTextView::overdrawOption(), 3);
    UserDefaults::shared().setInteger(4, OVTextView::kOverdrawOptionTagKey);
    EXPECT_EQ(OVTextView::overdrawOption(), 3);
    EXPECT_EQ(view->overdrawRectForProposedRect(view->proposedContentPreparationRect()), view->bounds());
    OVTextView::updateCachedOverdrawDefaults();
    EXPECT_EQ(OVTextView::overdrawOption(), 4);
    EXPECT_EQ(view->overdrawRectForProposedRect(view->proposedContentPreparationRect()), view->visibleRect());
}

TEST_F(OVTextViewOverdrawTest, AWindowWithNoWidthPreparesNothingAndNeverDividesByZero)
{
    setOption(1);
    UserDefaults::shared().setInteger(128, OVTextView::kCustomOverdrawMemoryLimitMBKey);
    OVTextView::updateCachedOverdrawDefaults();
    longScript(50);
    window->setFrame(Rect(0, 0, 0, 400), false);
    scroll->setFrameSize({0, 400});
    view->setFrameSize({0, view->frame().height()});
    const Rect proposed = view->proposedContentPreparationRect();
    EXPECT_EQ(view->overdrawRectForProposedRect(proposed), proposed);
    view->prepareContentInRect(proposed);
    EXPECT_TRUE(view->cachedBandIndexes().empty());
}

TEST_F(OVTextViewOverdrawTest, BandsOfTheWholeScriptStayWithinTheBudgetNearestFirst)
{
    longScript(400);
    setOption(3);
    UserDefaults::shared().setInteger(4, OVTextView::kCustomOverdrawMemoryLimitMBKey);
    OVTextView::updateCachedOverdrawDefaults();
    ASSERT_GT(view->frame().height(), 20000);
    scrollTo(view->frame().height() / 2);
    for (int pass = 0; pass < 200; ++pass)
        view->prepareContentInRect(view->proposedContentPreparationRect());
    EXPECT_TRUE(view->composesFromBands());
    EXPECT_EQ(view->preparedContentRect(), view->bounds());
    const std::vector<qint64> bands = view->cachedBandIndexes();
    ASSERT_FALSE(bands.empty());
    EXPECT_LE(view->bandCacheBytes(), qint64(4) << 20);
    EXPECT_LE(TextView::totalBandCacheBytes(), qint64(4) << 20) << "the budget is the process's";
    // The bands held are the ones around what is shown, in one run.
    const qint64 shown = qint64(view->visibleRect().midY() / OVTextView::kBandHeight);
    EXPECT_LE(bands.front(), shown);
    EXPECT_GE(bands.back(), shown);
    EXPECT_EQ(bands.back() - bands.front() + 1, qint64(bands.size()));

    // A frame composed from them is the frame drawn from the layout.
    const Rect visible = view->visibleRect();
    QImage composed(600, 400, QImage::Format_ARGB32_Premultiplied);
    QImage direct = composed;
    {
        QPainter painter(&composed);
        painter.translate(0, -visible.minY());
        view->drawRect(painter, visible);
    }
    view->setComposesFromBands(false);
    {
        QPainter painter(&direct);
        painter.translate(0, -visible.minY());
        view->drawRect(painter, visible);
    }
    EXPECT_TRUE(composed == direct);
    EXPECT_EQ(view->bandCacheBytes(), 0) << "off drops the bands";

    // Back in Edit mode the editor draws from the layout and holds no band.
    state = {false, true, false};
    view->prepareContentInRect(view->proposedContentPreparationRect());
    EXPECT_FALSE(view->composesFromBands());
}

} // namespace
