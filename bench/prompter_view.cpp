// One frame of a full-HD prompter's surroundings: the scroll view moved by a fraction of a point, with
// the focus arrow and the time bar around it, drawn into an image as the window would; and the time
// bar's once-a-second refresh.
#include "BenchApplication.h"
#include "prompter_view/OVFocusArrowView.h"
#include "prompter_view/OVPrompterTileGeometry.h"
#include "prompter_view/OVScrollView.h"
#include "prompter_view/OVTimeBar.h"
#include "prompting/OVTimeInfo.h"

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>

namespace {

constexpr double kWidth = 1920;
constexpr double kHeight = 1080;
constexpr double kLineHeight = 54;
constexpr double kScriptHeight = 300 * 1080;
constexpr double kStep = 0.37;

using bench::application;

// Stands in for the text: a band per line, drawn only where visible.
class LinesDocument : public View {
public:
    explicit LinesDocument(const Rect& frame) : View(frame) { setFlipped(true); }
    void drawRect(QPainter& painter, const Rect& dirty) override
    {
        const int first = int(std::floor(dirty.minY() / kLineHeight));
        const int last = int(std::ceil(dirty.maxY() / kLineHeight));
        for (int line = first; line <= last; ++line)
            painter.fillRect(QRectF(40, line * kLineHeight + 8, kWidth * 0.7, kLineHeight - 16),
                             line % 2 ? Qt::black : Qt::darkGray);
    }
};

struct Prompter {
    Prompter()
    {
        root = std::make_unique<View>(Rect{0, 0, kWidth, kHeight});
        scroll = root->addSubview(std::make_unique<OVScrollView>(
            Rect{0, 0, kWidth, kHeight}, std::make_unique<LinesDocument>(Rect{0, 0, kWidth, kScriptHeight})));
        arrow = root->addSubview(std::make_unique<OVFocusArrowView>(Rect{0, 0, 0, kHeight}));
        bar = root->addSubview(std::make_unique<OVTimeBar>(Rect{0, 0, kWidth, 0}));
        OVPrompterTileGeometry::Input input;
        input.size = {kWidth, kHeight};
        input.timeBarVisible = true;
        input.timeBarHeight = bar->frameHeight();
        input.focusArrowVisible = true;
        input.focusArrowWidth = arrow->frame().size.width;
        input.horizontallyFlipped = true;
        const auto tile = OVPrompterTileGeometry::tile(input);
        scroll->setFrame(tile.content);
        arrow->setFrame(tile.focusArrow);
        arrow->setFlippedHorizontally(true);
        bar->setFrame(tile.timeBar);
        bar->setFlippedHorizontally(true);
        scroll->setLayerTransform(QTransform::fromScale(-1, 1));
        scroll->contentView()->scrollToPoint({0, kScriptHeight / 2 + 0.5});
    }
    std::unique_ptr<View> root;
    OVScrollView* scroll = nullptr;
    OVFocusArrowView* arrow = nullptr;
    OVTimeBar* bar = nullptr;
};

void BM_PrompterFrameAtFractionalOffset(benchmark::State& state)
{
    application();
    Prompter prompter;
    QImage frame(int(kWidth), int(kHeight), QImage::Format_ARGB32_Premultiplied);
    ClipView* clip = prompter.scroll->contentView();
    double y = clip->bounds().origin.y;
    for (auto _ : state) {
        y += kStep;
        clip->scrollToPoint({0, y});
        QPainter painter(&frame);
        prompter.root->displayRectIgnoringOpacity(prompter.root->bounds(), painter);
        benchmark::DoNotOptimize(frame.constBits());
    }
}
BENCHMARK(BM_PrompterFrameAtFractionalOffset)->Unit(benchmark::kMillisecond);

void BM_TimeBarRefresh(benchmark::State& state)
{
    application();
    OVTimeBar bar(Rect{0, 0, kWidth, 120});
    qint64 seconds = 0;
    for (auto _ : state) {
        bar.timeInfo()->setElapsedSeconds(++seconds);
        bar.update();
    }
}
BENCHMARK(BM_TimeBarRefresh)->Unit(benchmark::kMicrosecond);

} // namespace
