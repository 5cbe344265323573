// Export as PDF of a 1 MB script with 50 bookmarks in 900-point pages, whole and its qpdf pass
// alone, and the print sheet's preview of a 20-page script following one adjustment.
#include "bench/PromptedScript.h"
#include "document/OVDocumentExportPDFAccessoryViewController.h"
#include "output/OVEnvironment.h"
#include "platform/appkit/FakeScreenProvider.h"
#include "platform/appkit/ScreenProvider.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/hvkit/pdf/HVPDFUtilities.h"
#include "platform/hvkit/pdf/NSViewHVPDFAdditions.h"
#include "platform/textlayout/LayoutManager.h"
#include "prompter_view/OVPrompterView.h"
#include "prompting/OVCore.h"
#include "text/OVBookmark.h"
#include "text/OVTextView.h"
#include "window/OVDocumentPDFExport.h"
#include "window/OVDocumentPrompterView.h"
#include "window/OVDocumentWindowController.h"
#include "window/OVPrintSheet.h"

#include <QPrintPreviewWidget>
#include <benchmark/benchmark.h>

#include <memory>

namespace {

constexpr int kBookmarks = 50;

struct Script {
    explicit Script(const MutableAttributedString& text)
        : screens({FakeScreenProvider::makeScreen(0, {{0, 0}, {1920, 1080}})})
    {
        ScreenProvider::setShared(&screens);
        UserDefaults::shared().setBool(true, OVExportPDFUsingPaginationKey);
        controller = std::make_unique<OVDocumentWindowController>(&core);
        controller->window();
        controller->setAttributedString(text);
    }
    ~Script()
    {
        controller.reset();
        ScreenProvider::setShared(nullptr);
    }
    FakeScreenProvider screens;
    OVCore core;
    std::unique_ptr<OVDocumentWindowController> controller;
};

void BM_ExportPaginatedPDF(benchmark::State& state)
{
    PromptedScript::application();
    Script script(PromptedScript::makeNamed(kBookmarks));
    qsizetype bytes = 0;
    for (auto _ : state) {
        OVEnvironment::createTemporaryPromptModeEnvironmentWithPrompterContent(
            script.controller->documentPrompterView(), Size{}, [&bytes](Window&, OVPrompterView& view) {
                bytes = OVDocumentPDFExport::exportablePDFDataFromPrompterView({}, view)
                            .value_or(QByteArray())
                            .size();
            });
    }
    state.counters["bytes"] = double(bytes);
}
BENCHMARK(BM_ExportPaginatedPDF)->Unit(benchmark::kMillisecond)->Iterations(3);

// The drawn PDF made once; only the outline, information and notes pass is timed.
void BM_QpdfPass(benchmark::State& state)
{
    PromptedScript::application();
    Script script(PromptedScript::makeNamed(kBookmarks));
    std::optional<HVPDFPaginatedData> drawn;
    std::vector<HVPDFOutlineItem> outline;
    OVEnvironment::createTemporaryPromptModeEnvironmentWithPrompterContent(
        script.controller->documentPrompterView(), Size{}, [&](Window&, OVPrompterView& view) {
            OVTextView* text = view.prompterTextView();
            text->layoutManager()->ensureLayoutForTextContainer();
            text->sizeToFit();
            drawn = NSViewHVPDFAdditions::dataWithPaginatedPDFInsideRect(
                *text, text->bounds(), NSViewHVPDFAdditions::kPDFPaginated, 900);
            outline = OVDocumentPDFExport::outlineItemsForTextView(*text);
        });
    const HVPDFMetadata metadata = OVDocumentPDFExport::metadataForMetadataInfo({});
    std::vector<HVPDFAnnotation> notes;
    notes.push_back(*HVPDFAnnotation::noteAnnotationWithContents(
        QStringLiteral("Prompter Settings:"), {}, Qt::yellow, -1, HVPDFAnnotation::TopRight,
        HVPDFAnnotation::defaultRect(), false, true));
    for (auto _ : state) {
        std::optional<QByteArray> finished = HVPDFUtilities::enhancePDFData(*drawn, metadata, outline, notes);
        benchmark::DoNotOptimize(finished);
    }
    state.counters["pages"] = double(drawn->pages.size());
    state.counters["outline"] = double(outline.size());
}
BENCHMARK(BM_QpdfPass)->Unit(benchmark::kMillisecond)->Iterations(5);

// One adjustment switched: the printed copy rebuilt and the preview's pages drawn again.
void BM_PrintPreviewAdjustment(benchmark::State& state)
{
    PromptedScript::application();
    UserDefaults::shared().registerDefaults(OVPrintPanelAccessoryViewController::initialDefaultsDictionary());
    UserDefaults::shared().registerDefaults(OVDocumentWindowController::initialDefaultsDictionary());
    QString text;
    for (int line = 0; line < 1000; ++line)
        text += QStringLiteral("Line %1 of a script printed on paper, about twenty pages long.\n").arg(line);
    AttributeDictionary attributes{
        {kFontAttributeName, Font{QStringLiteral("Helvetica"), QStringLiteral("Helvetica"), 36}}};
    Script script(MutableAttributedString(AttributedString(text, attributes)));
    OVPrintSheet sheet(script.controller->printableTextView(), QStringLiteral("Script"), std::nullopt);
    sheet.makeSheet(nullptr);
    sheet.previewWidget()->updatePreview();
    bool on = true;
    for (auto _ : state) {
        on = !on;
        sheet.accessory().setRemoveLineSpacing(on);
    }
    state.counters["pages"] = double(sheet.previewWidget()->pageCount());
}
BENCHMARK(BM_PrintPreviewAdjustment)->Unit(benchmark::kMillisecond)->Iterations(5);

} // namespace
