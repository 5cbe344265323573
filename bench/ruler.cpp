// The ruler on a long script: a dragged indent handle applied to the whole of a 1 MB script (undo
// registration, the storage edit and the layout and drawing of the visible part), and a caret move
// with the ruler showing, which must cost no more than a redraw of the ruler.
#include "BenchApplication.h"
#include "ScriptSample.h"
#include "platform/appkit/ScrollView.h"
#include "platform/appkit/UndoManager.h"
#include "platform/textview/RulerView.h"
#include "platform/textview/TextView.h"

#include <QImage>
#include <benchmark/benchmark.h>

#include <memory>

namespace {

using bench::application;

struct RulerScript {
    RulerScript()
    {
        application();
        scroll = std::make_unique<ScrollView>(Rect(0, 0, 900, 700));
        view =
            static_cast<TextView*>(scroll->setDocumentView(std::make_unique<TextView>(Rect(0, 0, 900, 700))));
        view->textStorage().setAttributedString(ScriptSample::ofMegabytes(1));
        view->layoutManager()->ensureLayoutForCharacterRange({0, view->textStorage().length()});
        view->setRulerVisible(true);
    }
    void drawVisible() const
    {
        const QImage text = view->imageOfRect(view->visibleRect());
        const QImage ruler = view->rulerView()->imageOfRect(view->rulerView()->bounds());
        benchmark::DoNotOptimize(text.constBits());
        benchmark::DoNotOptimize(ruler.constBits());
    }
    std::unique_ptr<ScrollView> scroll;
    TextView* view = nullptr;
};

void BM_IndentTheWholeScriptFromTheRuler(benchmark::State& state)
{
    RulerScript script;
    script.view->selectAll();
    RulerMarker head{RulerMarker::Kind::HeadIndent, 0, kHeadIndentRulerMarkerTag};
    double location = 0;
    for (auto _ : state) {
        location = location == 0 ? 36 : 0;
        script.view->rulerMoveMarker(head, location);
        script.drawVisible();
        state.PauseTiming();
        script.view->undoManager()->removeAllActions();
        state.ResumeTiming();
    }
    state.counters["characters"] = double(script.view->textStorage().length());
}
BENCHMARK(BM_IndentTheWholeScriptFromTheRuler)->Unit(benchmark::kMillisecond)->Iterations(10);

void BM_MoveTheCaretWithTheRulerShowing(benchmark::State& state)
{
    RulerScript script;
    const qsizetype length = script.view->textStorage().length();
    qsizetype caret = 0;
    for (auto _ : state) {
        caret = (caret + 4099) % length;
        script.view->setSelectedRange({caret, 0});
        benchmark::DoNotOptimize(script.view->rulerView()->markers());
    }
}
BENCHMARK(BM_MoveTheCaretWithTheRulerShowing)->Unit(benchmark::kMicrosecond);

} // namespace
