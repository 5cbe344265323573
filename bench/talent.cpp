// The talent output's share of a keystroke and of a frame: a 1 MB script with 20,000 attribute runs
// and 500 bookmarks, shown in the operator's prompter view and copied into the talent storage, which
// the talent view and the preview view each lay out. Typing costs the operator's edit plus the
// replay; the replay alone is the difference between the two typing benchmarks. Each iteration is
// two edits (a character typed, then deleted): halve the figures for one.
#include "bench/DefaultStyle.h"
#include "bench/PromptedScript.h"
#include "output/OVPreviewWindowController.h"
#include "output/OVTalentWindowController.h"
#include "platform/appkit/ClipView.h"
#include "platform/appkit/FakeScreenProvider.h"
#include "platform/appkit/ScreenProvider.h"
#include "platform/text/AttributeNames.h"
#include "platform/text/MutableAttributedString.h"
#include "prompter_view/OVPrompterView.h"
#include "prompter_view/OVScrollView.h"
#include "prompting/OVCore.h"
#include "text/OVTextView.h"

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <benchmark/benchmark.h>

#include <memory>

namespace {

constexpr double kStep = 0.37;
// The preview panel's centring box.
constexpr Size kPreviewBox{400, 236};

// Two equal displays with the second chosen, the operator's prompter view, the talent output
// watching it and a preview view on the talent storage.
struct Setup {
    explicit Setup(bool withTalent)
        : screens({FakeScreenProvider::makeScreen(0, {{0, 0}, {1920, 1080}}),
                   FakeScreenProvider::makeScreen(1, {{1920, 0}, {1920, 1080}})})
    {
        ScreenProvider::setShared(&screens);
        operatorView = std::make_unique<OVPrompterView>(Rect{0, 0, 1280, 800});
        document()->textStorage().setAttributedString(PromptedScript::make());
        document()->setBackgroundColor(Qt::black);
        if (withTalent) {
            talent = std::make_unique<OVTalentWindowController>(core);
            // As the preview panel shows it: laid out at the talent size, drawn reduced.
            const Size output{1920, 1080};
            preview = std::make_unique<OVPrompterView>(
                *OVPreviewWindowController::previewFrameForSize(output, kPreviewBox));
            preview->setBounds({{0, 0}, output});
            preview->tile();
            talent->setPreviewPrompterView(preview.get());
            talent->beginDocumentWatching();
            talent->beginDocumentWatching();
            talent->_setDocumentTextView(document());
        }
        // Measured as the script stands once the idle-time layout has finished: every view's layout
        // complete, so an edit anywhere is laid out again at once.
        document()->layoutManager()->ensureLayoutForTextContainer();
        if (talent) {
            talent->textView()->layoutManager()->ensureLayoutForTextContainer();
            preview->prompterTextView()->layoutManager()->ensureLayoutForTextContainer();
        }
    }
    ~Setup()
    {
        if (talent)
            talent->_setDocumentTextView(nullptr);
        talent.reset();
        ScreenProvider::setShared(nullptr);
    }
    OVTextView* document() const { return operatorView->prompterTextView(); }

    FakeScreenProvider screens;
    OVCore core;
    std::unique_ptr<OVPrompterView> operatorView;
    std::unique_ptr<OVPrompterView> preview;
    std::unique_ptr<OVTalentWindowController> talent;
};

void typeOneCharacter(benchmark::State& state, bool withTalent)
{
    PromptedScript::application();
    bench::storeDefaultStyle();
    Setup setup(withTalent);
    OVTextView* document = setup.document();
    qsizetype at = document->textStorage().length() / 2;
    document->setSelectedRange({at, 0});
    // Typed and taken back again, so that every iteration lays out a paragraph of the same length
    // and the figure does not depend on how many iterations the run took.
    for (auto _ : state) {
        document->insertText(QStringLiteral("a"));
        document->doCommandBySelector(QStringLiteral("deleteBackward:"));
        benchmark::DoNotOptimize(setup.talent ? setup.talent->talentTextStorage().length() : 0);
    }
    state.SetItemsProcessed(state.iterations() * 2);
    if (setup.talent && setup.talent->talentTextStorage().string() != document->string())
        state.SkipWithError("the talent storage no longer matches the document");
}

void BM_TypeOneCharacterWithoutTalent(benchmark::State& state)
{
    typeOneCharacter(state, false);
}
BENCHMARK(BM_TypeOneCharacterWithoutTalent)->Unit(benchmark::kMicrosecond);

void BM_TypeOneCharacterWithTalentReplay(benchmark::State& state)
{
    typeOneCharacter(state, true);
}
BENCHMARK(BM_TypeOneCharacterWithTalentReplay)->Unit(benchmark::kMicrosecond);

void draw(OVPrompterView& view, QImage& frame)
{
    QPainter painter(&frame);
    view.displayRectIgnoringOpacity(view.bounds(), painter);
}

void BM_TalentFrame(benchmark::State& state)
{
    PromptedScript::application();
    Setup setup(true);
    OVPrompterView* talent = setup.talent->prompterView();
    talent->setHorizontallyFlipped(true);
    ClipView* clip = talent->prompterScrollView()->contentView();
    state.counters["view_width"] = talent->bounds().size.width;
    state.counters["view_height"] = talent->bounds().size.height;
    QImage frame(1920, 1080, QImage::Format_ARGB32_Premultiplied);
    double y = talent->prompterTextView()->frame().size.height / 2 + 0.5;
    for (auto _ : state) {
        y += kStep;
        clip->scrollToPoint({0, y});
        draw(*talent, frame);
        benchmark::DoNotOptimize(frame.constBits());
    }
}
BENCHMARK(BM_TalentFrame)->Unit(benchmark::kMillisecond);

// One preview frame while the talent prompts: the reduced drawing of the full-size layout.
void BM_PreviewFrame(benchmark::State& state)
{
    PromptedScript::application();
    Setup setup(true);
    OVPrompterView* preview = setup.preview.get();
    ClipView* clip = preview->prompterScrollView()->contentView();
    state.counters["frame_width"] = preview->frame().size.width;
    state.counters["bounds_width"] = preview->bounds().size.width;
    QImage frame(int(kPreviewBox.width), int(kPreviewBox.height), QImage::Format_ARGB32_Premultiplied);
    double y = preview->prompterTextView()->frame().size.height / 2 + 0.5;
    for (auto _ : state) {
        y += kStep;
        clip->scrollToPoint({0, y});
        QPainter painter(&frame);
        const Rect f = preview->frame();
        painter.translate(f.origin.x, f.origin.y);
        painter.scale(f.size.width / preview->bounds().size.width,
                      f.size.height / preview->bounds().size.height);
        preview->displayRectIgnoringOpacity(preview->bounds(), painter);
        benchmark::DoNotOptimize(frame.constBits());
    }
}
BENCHMARK(BM_PreviewFrame)->Unit(benchmark::kMillisecond);

void BM_OperatorAndTalentTick(benchmark::State& state)
{
    PromptedScript::application();
    Setup setup(true);
    OVPrompterView* talent = setup.talent->prompterView();
    talent->setHorizontallyFlipped(true);
    ClipView* talentClip = talent->prompterScrollView()->contentView();
    ClipView* operatorClip = setup.operatorView->prompterScrollView()->contentView();
    QImage talentFrame(1920, 1080, QImage::Format_ARGB32_Premultiplied);
    QImage operatorFrame(1280, 800, QImage::Format_ARGB32_Premultiplied);
    double y = setup.document()->frame().size.height / 2 + 0.5;
    for (auto _ : state) {
        y += kStep;
        operatorClip->scrollToPoint({0, y});
        talentClip->scrollToPoint({0, y * 1.5});
        draw(*setup.operatorView, operatorFrame);
        draw(*talent, talentFrame);
        benchmark::DoNotOptimize(operatorFrame.constBits());
        benchmark::DoNotOptimize(talentFrame.constBits());
    }
}
BENCHMARK(BM_OperatorAndTalentTick)->Unit(benchmark::kMillisecond);

} // namespace
