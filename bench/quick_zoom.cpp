// Quick zoom on long scripts: finding the automatic scale of a 1 MB script of 20,000 attribute runs,
// and toggling quick zoom in a document window followed by drawing its next frame, with the
// magnification (a transform only) and with the prompter's scale factor (which widens the text).
#include "BenchApplication.h"
#include "ScriptSample.h"
#include "platform/appkit/Window.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/text/AttributeNames.h"
#include "platform/text/MutableAttributedString.h"
#include "prompting/OVCore.h"
#include "settings/OVConstants.h"
#include "window/OVDocumentPrompterView.h"
#include "window/OVDocumentWindowController.h"
#include "window/OVQuickZoom.h"

#include <QImage>
#include <QPainter>
#include <benchmark/benchmark.h>

#include <memory>

namespace {

constexpr qsizetype kScriptCharacters = 1 << 20;
constexpr qsizetype kRuns = 20000;

// 1 MB of text in 20,000 runs of four sizes, the largest used most.
const MutableAttributedString& sizedScript()
{
    static const MutableAttributedString script = [] {
        const double sizes[] = {36, 48, 64, 48, 72};
        const qsizetype runLength = kScriptCharacters / kRuns;
        const QString words = QStringLiteral("Good evening and welcome to the news at ten tonight. ");
        QString run;
        while (run.size() < runLength)
            run += words;
        run.truncate(runLength);
        MutableAttributedString text;
        for (qsizetype i = 0; i < kRuns; ++i) {
            Font font;
            font.familyName = QStringLiteral("Helvetica");
            font.fontName = QStringLiteral("Helvetica");
            font.pointSize = sizes[i % 5];
            text.append(run, {{kFontAttributeName, font}});
        }
        return text;
    }();
    return script;
}

void BM_AutomaticQuickZoomScale(benchmark::State& state)
{
    const MutableAttributedString& script = sizedScript();
    state.counters["characters"] = double(script.length());
    state.counters["runs"] = double(script.runCount());
    for (auto _ : state) {
        const double size = OVQuickZoom::mostUsedPointSize(script);
        benchmark::DoNotOptimize(
            OVQuickZoom::automaticScale(size, 15, 0, OVConstants::quickZoomScaleValues()));
    }
}
BENCHMARK(BM_AutomaticQuickZoomScale)->Unit(benchmark::kMillisecond);

// Each iteration toggles quick zoom once (in or out) and draws the window's content once.
void toggleAndDraw(benchmark::State& state, bool proportional)
{
    bench::application();
    UserDefaults::shared().setBool(proportional, QStringLiteral("quickZoomUseProportionalZoom"));
    UserDefaults::shared().setInteger(15, QStringLiteral("documentQuickZoomTargetFontSize"));
    OVCore core;
    auto controller = std::make_unique<OVDocumentWindowController>(&core);
    controller->window()->setFrame({{0, 0}, {1280, 800}});
    controller->setAttributedString(ScriptSample::ofMegabytes(1));
    OVDocumentPrompterView* view = controller->documentPrompterView();
    QImage frame(int(view->frame().size.width), int(view->frame().size.height),
                 QImage::Format_ARGB32_Premultiplied);
    {
        QPainter painter(&frame);
        view->displayRectIgnoringOpacity(view->bounds(), painter);
    }
    for (auto _ : state) {
        controller->toggleQuickZoomContent();
        QPainter painter(&frame);
        view->displayRectIgnoringOpacity(view->bounds(), painter);
        benchmark::DoNotOptimize(frame.constBits());
    }
    controller.reset();
    UserDefaults::shared().resetUserValues();
}

void BM_QuickZoomToggleAndFrameMagnification(benchmark::State& state)
{
    toggleAndDraw(state, true);
}
BENCHMARK(BM_QuickZoomToggleAndFrameMagnification)->Unit(benchmark::kMillisecond);

void BM_QuickZoomToggleAndFrameScaleFactor(benchmark::State& state)
{
    toggleAndDraw(state, false);
}
BENCHMARK(BM_QuickZoomToggleAndFrameScaleFactor)->Unit(benchmark::kMillisecond);

} // namespace
