// One full-HD frame of a real prompter view: a 300-page script laid out in the rich-text view, the
// focus arrow and the time bar beside it, mirrored as for a beam-splitter, drawn at an offset that
// moves by a fraction of a point each frame, in the middle of the script.
#include "BenchApplication.h"
#include "platform/appkit/ClipView.h"
#include "platform/text/AttributeNames.h"
#include "prompter_view/OVPrompterView.h"
#include "prompter_view/OVScrollView.h"
#include "text/OVTextView.h"

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <benchmark/benchmark.h>

#include <memory>

namespace {

constexpr double kWidth = 1920;
constexpr double kHeight = 1080;
constexpr int kPages = 300;
// About what a printed page of a spoken script holds.
constexpr int kParagraphsPerPage = 6;
constexpr double kStep = 0.37;

using bench::application;

QString scriptText()
{
    const QString paragraph = QStringLiteral(
        "Good evening, and welcome to the programme. Tonight we look at how the city's rivers shaped its "
        "streets, its trade and the people who lived along them, from the first bridges to the last "
        "ferries.");
    QStringList paragraphs;
    for (int i = 0; i < kPages * kParagraphsPerPage; ++i)
        paragraphs << QStringLiteral("%1 %2").arg(i + 1).arg(paragraph);
    return paragraphs.join(QChar('\n'));
}

struct Prompter {
    Prompter()
    {
        view = std::make_unique<OVPrompterView>(Rect{0, 0, kWidth, kHeight});
        OVTextView* text = view->prompterTextView();
        text->setString(scriptText());
        Font font;
        font.familyName = QStringLiteral("DejaVu Sans");
        font.fontName = QStringLiteral("DejaVuSans");
        font.pointSize = 64;
        text->textStorage().setAttributes({{kFontAttributeName, font}}, {0, text->textStorage().length()});
        text->setBackgroundColor(Qt::black);
        text->textStorage().addAttribute(kForegroundColorAttributeName, Color::gray(1),
                                         {0, text->textStorage().length()});
        view->setHorizontalMarginIndentFactor(0.1);
        view->setTimeBarVisible(true);
        view->setFocusArrowVisible(true);
        view->setHorizontallyFlipped(true);
        clip = view->prompterScrollView()->contentView();
        clip->scrollToPoint({0, text->frame().size.height / 2 + 0.5});
    }
    std::unique_ptr<OVPrompterView> view;
    ClipView* clip = nullptr;
};

void BM_PrompterViewFrame(benchmark::State& state)
{
    application();
    Prompter prompter;
    state.counters["script_height_pt"] = prompter.view->prompterTextView()->frame().size.height;
    QImage frame(int(kWidth), int(kHeight), QImage::Format_ARGB32_Premultiplied);
    double y = prompter.clip->bounds().origin.y;
    for (auto _ : state) {
        y += kStep;
        prompter.clip->scrollToPoint({0, y});
        QPainter painter(&frame);
        prompter.view->displayRectIgnoringOpacity(prompter.view->bounds(), painter);
        benchmark::DoNotOptimize(frame.constBits());
    }
}
BENCHMARK(BM_PrompterViewFrame)->Unit(benchmark::kMillisecond);

} // namespace
