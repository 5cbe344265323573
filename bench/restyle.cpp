// Restyling a long script in the editor: inverting all colours, applying the default style and
// stepping the text size of a 1 MB script with 20,000 attribute runs, each with its undo
// registration and a layout and drawing of the visible part, and undoing each.
#include "BenchApplication.h"
#include "DefaultStyle.h"
#include "ScriptSample.h"
#include "platform/appkit/ClipView.h"
#include "platform/appkit/UndoManager.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/text/AttributeNames.h"
#include "settings/OVSharedPreferencesAccess.h"
#include "text/OVTextView.h"

#include <QCoreApplication>
#include <QImage>
#include <QPainter>
#include <benchmark/benchmark.h>

#include <memory>

namespace {

constexpr qsizetype kScriptCharacters = 1'000'000;
constexpr qsizetype kAttributeRuns = 20'000;

// The sample script with underlined words sprinkled in until it has the runs asked for.
MutableAttributedString scriptWithRuns()
{
    MutableAttributedString script = ScriptSample::make(kScriptCharacters);
    const qsizetype missing = std::max<qsizetype>(0, kAttributeRuns - script.runCount());
    const qsizetype every =
        std::max<qsizetype>(8, script.length() / std::max<qsizetype>(1, missing / 2 + 100));
    for (qsizetype at = every / 2; at + 4 < script.length() && script.runCount() < kAttributeRuns;
         at += every)
        script.addAttribute(kUnderlineStyleAttributeName, kUnderlineStyleSingle, {at, 4});
    return script;
}

struct Editor {
    Editor() : image(1280, 800, QImage::Format_ARGB32_Premultiplied)
    {
        bench::application();
        bench::storeDefaultStyle();
        clip = std::make_unique<ClipView>(Rect(0, 0, 1280, 800));
        view = static_cast<OVTextView*>(
            clip->setDocumentView(std::make_unique<OVTextView>(Rect(0, 0, 1280, 800))));
        view->textStorage().setAttributedString(scriptWithRuns());
        view->setSelectedRange({1000, 0});
        drawFrame();
    }
    // What the user sees after a command: the visible part laid out and drawn, the undo group closed.
    void finish()
    {
        QCoreApplication::processEvents();
        drawFrame();
    }
    void drawFrame()
    {
        QPainter painter(&image);
        view->displayRectIgnoringOpacity(view->visibleRect(), painter);
    }
    void undo()
    {
        view->undoManager()->undo();
        finish();
    }

    std::unique_ptr<ClipView> clip;
    OVTextView* view = nullptr;
    QImage image;
};

Editor& editor()
{
    static Editor shared;
    return shared;
}

void report(benchmark::State& state)
{
    state.counters["runs"] = double(editor().view->textStorage().runCount());
    state.counters["characters"] = double(editor().view->textStorage().length());
}

// Times the command, then undoes it untimed (or the other way round), so each iteration starts from
// the same script.
template <class Command> void commandThenUndo(benchmark::State& state, Command command, bool timeUndo)
{
    Editor& e = editor();
    for (auto _ : state) {
        if (timeUndo)
            state.PauseTiming();
        command(*e.view);
        e.finish();
        if (timeUndo)
            state.ResumeTiming();
        else
            state.PauseTiming();
        e.undo();
        if (!timeUndo)
            state.ResumeTiming();
    }
    report(state);
}

void invertAll(OVTextView& view)
{
    view.newInvertColors(true, true, {});
}

void applyDefaultStyle(OVTextView& view)
{
    view.applyDefaultStyle();
}

void stepTextSize(OVTextView& view)
{
    view.adjustTextSizeByFactor(1.0, 10.0, {{0, view.textStorage().length()}},
                                OVTextView::TextSizeKeepSelection | OVTextView::TextSizeKeepVisibleRange);
}

void BM_InvertAllColors(benchmark::State& state)
{
    commandThenUndo(state, invertAll, false);
}
void BM_UndoInvertAllColors(benchmark::State& state)
{
    commandThenUndo(state, invertAll, true);
}
void BM_ApplyDefaultStyle(benchmark::State& state)
{
    commandThenUndo(state, applyDefaultStyle, false);
}
void BM_UndoApplyDefaultStyle(benchmark::State& state)
{
    commandThenUndo(state, applyDefaultStyle, true);
}
void BM_StepTextSize(benchmark::State& state)
{
    commandThenUndo(state, stepTextSize, false);
}
void BM_UndoStepTextSize(benchmark::State& state)
{
    commandThenUndo(state, stepTextSize, true);
}

} // namespace

BENCHMARK(BM_InvertAllColors)->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(BM_UndoInvertAllColors)->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(BM_ApplyDefaultStyle)->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(BM_UndoApplyDefaultStyle)->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(BM_StepTextSize)->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(BM_UndoStepTextSize)->Unit(benchmark::kMillisecond)->Iterations(10);
