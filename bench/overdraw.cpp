// A full-HD prompter frame of 200-point text in the middle of a long script: drawn straight from
// the layout, and composed from prepared bands; and the cost of preparing the bands ahead of the
// scrolling that one tick asks for.
#include "BenchApplication.h"
#include "platform/appkit/ClipView.h"
#include "platform/text/AttributeNames.h"
#include "prompter_view/OVPrompterView.h"
#include "prompter_view/OVScrollView.h"
#include "text/OVTextView.h"

#include <QElapsedTimer>
#include <QImage>
#include <QPainter>
#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>

namespace {

constexpr double kWidth = 1920;
constexpr double kHeight = 1080;
constexpr int kParagraphs = 600;
constexpr double kStep = 0.37;

using bench::application;

QString scriptText()
{
    const QString paragraph = QStringLiteral(
        "Good evening, and welcome to the programme. Tonight we look at how the city's rivers shaped its "
        "streets, its trade and the people who lived along them.");
    QStringList paragraphs;
    for (int i = 0; i < kParagraphs; ++i)
        paragraphs << QStringLiteral("%1 %2").arg(i + 1).arg(paragraph);
    return paragraphs.join(QChar('\n'));
}

struct Prompter {
    Prompter()
    {
        view = std::make_unique<OVPrompterView>(Rect{0, 0, kWidth, kHeight});
        text = view->prompterTextView();
        text->setString(scriptText());
        Font font;
        font.familyName = QStringLiteral("DejaVu Sans");
        font.fontName = QStringLiteral("DejaVuSans");
        font.pointSize = 200;
        text->textStorage().setAttributes({{kFontAttributeName, font}}, {0, text->textStorage().length()});
        text->setBackgroundColor(Qt::black);
        text->textStorage().addAttribute(kForegroundColorAttributeName, Color::gray(1),
                                         {0, text->textStorage().length()});
        text->configureForEditing(false);
        clip = view->prompterScrollView()->contentView();
        text->sizeToFit();
        clip->scrollToPoint({0, std::floor(text->frame().size.height / 2) + 0.5});
    }
    std::unique_ptr<OVPrompterView> view;
    OVTextView* text = nullptr;
    ClipView* clip = nullptr;
};

// What a frame costs when every line is drawn from the layout.
void BM_DirectFrame200pt(benchmark::State& state)
{
    application();
    Prompter prompter;
    QImage frame(int(kWidth), int(kHeight), QImage::Format_ARGB32_Premultiplied);
    double y = prompter.clip->bounds().origin.y;
    for (auto _ : state) {
        y += kStep;
        prompter.clip->scrollToPoint({0, y});
        QPainter painter(&frame);
        const Rect visible = prompter.text->visibleRect();
        painter.translate(0, -visible.origin.y);
        prompter.text->drawRect(painter, visible);
        benchmark::DoNotOptimize(frame.constBits());
    }
}
BENCHMARK(BM_DirectFrame200pt)->Unit(benchmark::kMillisecond);

// Bands for the whole stretch the frames below scroll through, drawn before they are timed.
void prepareAhead(Prompter& prompter, double below)
{
    TextView& text = *prompter.text;
    text.setComposesFromBands(true);
    const Rect visible = text.visibleRect();
    const Rect ahead{0, visible.minY() - visible.height(), visible.width(), visible.height() * 2 + below};
    // Passes enough for every band (a pass draws some, or lays out the lines of the next).
    for (int pass = 0; pass < 400; ++pass)
        text.TextView::prepareContentInRect(ahead);
}

// The same frame composed from bands drawn ahead, at whole-pixel scroll positions (where bands are
// used; between two pixels the text is drawn, as above).
void BM_BandFrame200pt(benchmark::State& state)
{
    application();
    Prompter prompter;
    prepareAhead(prompter, 4000);
    QImage frame(int(kWidth), int(kHeight), QImage::Format_ARGB32_Premultiplied);
    // Whole pixels: the frame before was at a half.
    double y = std::floor(prompter.clip->bounds().origin.y);
    const double end = y + 4000;
    for (auto _ : state) {
        y += 1;
        if (y > end)
            y = end - 4000;
        prompter.clip->scrollToPoint({0, y});
        QPainter painter(&frame);
        const Rect visible = prompter.text->visibleRect();
        painter.translate(0, -visible.origin.y);
        prompter.text->drawRect(painter, visible);
        benchmark::DoNotOptimize(frame.constBits());
    }
    state.counters["bands"] = double(prompter.text->cachedBandIndexes().size());
    state.counters["band_MiB"] = double(prompter.text->bandCacheBytes()) / 1048576.0;
}
BENCHMARK(BM_BandFrame200pt)->Unit(benchmark::kMillisecond);

// One tick's preparation while the script scrolls fast (20 points a frame): the rectangle the view
// proposes, laid out and drawn into bands as far as the pass's budget allows. The slowest tick is
// reported beside the mean.
void BM_PrepareTick200pt(benchmark::State& state)
{
    application();
    Prompter prompter;
    prepareAhead(prompter, 0);
    double y = prompter.clip->bounds().origin.y;
    double slowest = 0;
    for (auto _ : state) {
        y += 20;
        if (y > prompter.text->frame().size.height - 3 * kHeight)
            y = kHeight;
        state.PauseTiming();
        prompter.clip->scrollToPoint({0, y});
        state.ResumeTiming();
        QElapsedTimer tick;
        tick.start();
        prompter.text->TextView::prepareContentInRect(prompter.text->proposedContentPreparationRect());
        slowest = std::max(slowest, double(tick.nsecsElapsed()) / 1e6);
    }
    state.counters["slowest_ms"] = slowest;
}
BENCHMARK(BM_PrepareTick200pt)->Unit(benchmark::kMillisecond);

} // namespace
