// What a document asks of its window on a 1 MB script with 500 bookmarks and 50 pictures: the
// copies a save and a simplified export write, the whole commit of a freshly read file (text,
// selection, frame and scroll position, laid out in full), and the front-most change that makes the
// talent output copy the script.
#include "bench/PromptedScript.h"
#include "document/OVDocument.h"
#include "document/OVDocumentController.h"
#include "output/OVTalentWindowController.h"
#include "platform/appkit/FakeScreenProvider.h"
#include "platform/appkit/ScreenProvider.h"
#include "platform/appkit/WindowController.h"
#include "platform/text/TextStorage.h"
#include "prompting/OVCore.h"
#include "window/OVDocumentWindowController.h"

#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <memory>

namespace {

constexpr int kPictures = 50;

// One screen, a core of the benchmark's own and a document window holding the script.
struct Window {
    Window() : screens({FakeScreenProvider::makeScreen(0, {{0, 0}, {1920, 1080}})})
    {
        ScreenProvider::setShared(&screens);
        controller = std::make_unique<OVDocumentWindowController>(&core);
        controller->window();
        controller->setAttributedString(script);
    }
    ~Window()
    {
        controller.reset();
        ScreenProvider::setShared(nullptr);
    }

    FakeScreenProvider screens;
    OVCore core;
    const MutableAttributedString script = PromptedScript::make(PromptedScript::kBookmarks, kPictures);
    std::unique_ptr<OVDocumentWindowController> controller;
};

void BM_ExportableTextStorage(benchmark::State& state)
{
    PromptedScript::application();
    Window window;
    for (auto _ : state) {
        std::unique_ptr<MutableAttributedString> copy = window.controller->exportableTextStorage();
        benchmark::DoNotOptimize(copy->length());
    }
}
BENCHMARK(BM_ExportableTextStorage)->Unit(benchmark::kMillisecond);

void BM_ExportableStyleSimplifiedStorage(benchmark::State& state)
{
    PromptedScript::application();
    Window window;
    for (auto _ : state) {
        std::unique_ptr<MutableAttributedString> copy = window.controller->exportableStyleSimplifiedStorage();
        benchmark::DoNotOptimize(copy->length());
    }
}
BENCHMARK(BM_ExportableStyleSimplifiedStorage)->Unit(benchmark::kMillisecond);

// What the document sends its window after reading a file, in the order it sends it, into a new
// window as an opened file gets: the frame differs from the new window's, as a saved one does.
void BM_CommitLoadedDocument(benchmark::State& state)
{
    PromptedScript::application();
    Window window;
    for (auto _ : state) {
        state.PauseTiming();
        auto controller = std::make_unique<OVDocumentWindowController>(&window.core);
        controller->window();
        state.ResumeTiming();
        controller->suspendUndo();
        controller->setWindowFrame(Rect{{100, 100}, {1024, 768}});
        controller->setAttributedString(window.script);
        controller->setSelectedRangesStringArray({QStringLiteral("{524288, 12}")});
        controller->setPrompterPositionRatio(0.5);
        controller->setBackgroundColor(Color::rgb(0, 0, 0));
        controller->documentLoadingFinished();
        controller->restoreUndo();
        benchmark::DoNotOptimize(controller->prompterPositionRatioNumber());
        state.PauseTiming();
        controller.reset();
        QCoreApplication::sendPostedEvents();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_CommitLoadedDocument)->Unit(benchmark::kMillisecond);

// Two open scripts, the talent output attached; each change of the front-most script copies it whole.
void BM_FrontMostChangeWithTalent(benchmark::State& state)
{
    PromptedScript::application();
    FakeScreenProvider screens({FakeScreenProvider::makeScreen(0, {{0, 0}, {1920, 1080}}),
                                FakeScreenProvider::makeScreen(1, {{1920, 0}, {1920, 1080}})});
    ScreenProvider::setShared(&screens);
    QTemporaryDir folder;
    OVCore core;
    {
        OVDocumentController documents;
        OVDocument::registerDocumentTypes(documents);
        documents.setAutosaveDirectory(folder.path());
        documents.setAutosavingDelay(0);
        OVDocument::setWindowControllerFactory(
            [&core](OVDocument&) { return std::make_unique<OVDocumentWindowController>(&core); });
        const MutableAttributedString script = PromptedScript::make(PromptedScript::kBookmarks, kPictures);
        OVDocument* scripts[] = {documents.makeNewPrompterDocumentWithAttributedString(&script, {}, nullptr),
                                 documents.makeNewPrompterDocumentWithAttributedString(&script, {}, nullptr)};
        OVTalentWindowController talent(core);
        talent.beginInitialDocumentWatching();
        int next = 0;
        for (auto _ : state) {
            documents.setFrontMostDocument(scripts[next]);
            next = 1 - next;
            benchmark::DoNotOptimize(talent.talentTextStorage().length());
        }
        if (talent.talentTextStorage().length() != script.length())
            state.SkipWithError("the talent storage does not hold the front script");
        for (Document* document : documents.documents())
            document->close();
        QCoreApplication::sendPostedEvents();
        OVDocument::setWindowControllerFactory({});
    }
    ScreenProvider::setShared(nullptr);
}
BENCHMARK(BM_FrontMostChangeWithTalent)->Unit(benchmark::kMillisecond);

} // namespace
