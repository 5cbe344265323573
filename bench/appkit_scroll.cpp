// Scrolling a full-HD clip view over a long script-sized drawing by a fractional offset per frame:
// the prompter's per-frame path of moving the bounds origin and repainting.
#include "BenchApplication.h"
#include "platform/appkit/ClipView.h"
#include "platform/appkit/ScrollView.h"
#include "platform/appkit/Window.h"

#include <QApplication>
#include <QFont>
#include <QImage>
#include <QPainter>
#include <QStaticText>
#include <QWidget>
#include <benchmark/benchmark.h>

#include <array>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <new>

// Counts heap allocations while a scroll step runs, to show the step itself allocates nothing.
namespace {
bool g_countAllocations = false;
long g_allocations = 0;
} // namespace

void* operator new(std::size_t size)
{
    if (g_countAllocations)
        ++g_allocations;
    if (void* block = std::malloc(size ? size : 1))
        return block;
    throw std::bad_alloc();
}

void operator delete(void* block) noexcept
{
    std::free(block);
}

void operator delete(void* block, std::size_t) noexcept
{
    std::free(block);
}

namespace {

constexpr double kViewWidth = 1920;
constexpr double kViewHeight = 1080;
constexpr int kPages = 300;
constexpr double kLineHeight = 54;
constexpr double kPageHeight = 1080;
// A slow prompting speed: about 20 points per second at 60 frames per second.
constexpr double kStep = 0.37;

using bench::application;

// Lines of prompter-sized text, laid out once; drawing reuses them.
class ScriptDrawing : public View {
public:
    explicit ScriptDrawing(const Rect& frame) : View(frame)
    {
        m_font.setPixelSize(40);
        const char* sentences[] = {
            "Good evening, and welcome to the programme. Tonight we look at the week's news",
            "from around the country, beginning with the storm that crossed the coast",
            "early this morning, leaving thousands of homes without power until noon.",
            "Engineers worked through the day to restore the lines, and by six o'clock",
            "most of the affected towns were lit again. Schools will open as usual",
            "tomorrow, the council said, although some roads remain closed to traffic.",
            "In other news, the city's orchestra announced its programme for the season,",
            "with three premieres and a long-awaited return of the spring festival.",
        };
        for (size_t i = 0; i < m_lines.size(); ++i) {
            m_lines[i].setText(QString::fromLatin1(sentences[i]));
            m_lines[i].setTextFormat(Qt::PlainText);
            m_lines[i].prepare(QTransform(), m_font);
        }
    }

    bool isFlipped() const override { return true; }

    void drawRect(QPainter& painter, const Rect& dirty) override
    {
        painter.fillRect(QRectF(dirty.origin.x, dirty.origin.y, dirty.size.width, dirty.size.height),
                         Qt::black);
        painter.setFont(m_font);
        painter.setPen(Qt::white);
        const int first = std::max(0, int(std::floor(dirty.minY() / kLineHeight)));
        const int last = int(std::ceil(dirty.maxY() / kLineHeight));
        for (int line = first; line <= last; ++line)
            painter.drawStaticText(QPointF(60, line * kLineHeight), m_lines[size_t(line) % m_lines.size()]);
    }

private:
    QFont m_font;
    std::array<QStaticText, 8> m_lines;
};

std::unique_ptr<ScrollView> makeScrollView()
{
    auto scrollView = std::make_unique<ScrollView>(Rect(0, 0, kViewWidth, kViewHeight));
    scrollView->setHasVerticalScroller(true);
    scrollView->setDocumentView(
        std::make_unique<ScriptDrawing>(Rect(0, 0, kViewWidth, kPages * kPageHeight)));
    return scrollView;
}

void advance(ClipView* clip, double& offset)
{
    offset += kStep;
    if (offset > kPages * kPageHeight - kViewHeight)
        offset = 0;
    g_countAllocations = true;
    clip->setBoundsOrigin({0, offset});
    g_countAllocations = false;
}

// Moving the origin and drawing the whole view into an offscreen raster image.
void BM_ScrollFrameIntoImage(benchmark::State& state)
{
    application();
    auto scrollView = makeScrollView();
    ClipView* clip = scrollView->contentView();
    QImage frame(int(kViewWidth), int(kViewHeight), QImage::Format_ARGB32_Premultiplied);
    double offset = 0;
    for (auto _ : state) {
        advance(clip, offset);
        QPainter painter(&frame);
        painter.setRenderHints(View::kDefaultRenderHints);
        scrollView->displayRectIgnoringOpacity(Rect(0, 0, kViewWidth, kViewHeight), painter);
        painter.end();
        benchmark::DoNotOptimize(frame.constBits());
    }
    state.counters["fps"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["scroll_allocs"] =
        double(g_allocations) / double(std::max<int64_t>(1, state.iterations()));
    g_allocations = 0;
}
BENCHMARK(BM_ScrollFrameIntoImage)->Unit(benchmark::kMillisecond);

// The same through a window: the bounds change invalidates the host widget, which repaints into its
// backing store as the application does on screen.
void BM_ScrollFrameThroughWindow(benchmark::State& state)
{
    application();
    Window window(Rect(0, 0, kViewWidth, kViewHeight), Window::Borderless);
    auto* scrollView = window.contentView()->addSubview(makeScrollView());
    ClipView* clip = scrollView->contentView();
    window.orderFront();
    // The window paints once the platform has exposed it.
    QCoreApplication::processEvents();
    double offset = 0;
    int painted = 0;
    for (auto _ : state) {
        advance(clip, offset);
        window.display();
        painted += window.hostWidget()->isVisible() ? 1 : 0;
    }
    if (painted == 0)
        state.SkipWithError("the window was never shown");
    window.orderOut();
    state.counters["fps"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
    // Includes what Qt allocates to record the invalidated region of the window.
    state.counters["scroll_allocs"] =
        double(g_allocations) / double(std::max<int64_t>(1, state.iterations()));
    g_allocations = 0;
}
BENCHMARK(BM_ScrollFrameThroughWindow)->Unit(benchmark::kMillisecond);

} // namespace
