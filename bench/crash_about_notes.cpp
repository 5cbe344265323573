// What a crash costs before the process ends (the report written from the handler's code), and
// opening the about window (credits read, statistics filled in, first frame) and the What's New
// window over twenty notes, and one frame of the mark flash.
#include "app/sample/ReleaseNotes.h"
#include "bench/BenchRegisteredDefaults.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/text/DocumentAttributes.h"
#include "platform/text/Rtfd.h"
#include "services/OVAboutWindow.h"
#include "services/OVCrashReportSender.h"
#include "services/OVResourceFolder.h"
#include "services/OVWhatsNewWindowController.h"
#include "window/OVFlashWindow.h"

#include <QDir>
#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <csignal>

namespace {

void BM_WriteCrashReport(benchmark::State& state)
{
    QTemporaryDir folder;
    for (auto _ : state) {
        const QString path = OVCrashReportSender::writeReportForTesting(
            folder.path(), QStringLiteral("0.1.0"), QStringLiteral("1000"), SIGSEGV);
        state.PauseTiming();
        QFile::remove(path);
        state.ResumeTiming();
    }
}
BENCHMARK(BM_WriteCrashReport)->Unit(benchmark::kMillisecond);

void BM_OpenAboutWindowToFirstFrame(benchmark::State& state)
{
    bench::applicationWithRegisteredDefaults();
    for (auto _ : state) {
        const std::optional<MutableAttributedString> credits =
            OVAboutWindow::creditsWithStatistics(OVResourceFolder());
        OVAboutWindow window(*credits);
        window.show();
        benchmark::DoNotOptimize(window.grab());
    }
}
BENCHMARK(BM_OpenAboutWindowToFirstFrame)->Unit(benchmark::kMillisecond);

void BM_OpenWhatsNewWithTwentyNotesToFirstFrame(benchmark::State& state)
{
    bench::applicationWithRegisteredDefaults();
    QTemporaryDir folder;
    DocumentAttributes white;
    white.insert(NSBackgroundColorDocumentAttribute, QVariant::fromValue(Color::gray(1)));
    for (int build = 900; build < 920; ++build) {
        const QString name = QStringLiteral("What's New 7.%1 %1.rtfd").arg(build);
        Rtfd::writeToURL(QUrl::fromLocalFile(folder.filePath(name)), releasenotes::makeCurrentNoteText(),
                         white, nullptr);
    }
    const QString path = folder.path();
    for (auto _ : state) {
        OVWhatsNewWindowController controller(905);
        controller.setNotesSource([path] { return OVWhatsNewNote::whatsNewNotesInFolder(path); });
        controller.showWindow();
        benchmark::DoNotOptimize(controller.window()->grab());
    }
}
BENCHMARK(BM_OpenWhatsNewWithTwentyNotesToFirstFrame)->Unit(benchmark::kMillisecond);

void BM_FlashFrame(benchmark::State& state)
{
    bench::applicationWithRegisteredDefaults();
    std::unique_ptr<OVFlashWindow> flash = OVFlashWindow::window();
    flash->setFrame(Rect(0, 0, 1920, 1080));
    QImage image(1920, 1080, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::black);
    for (auto _ : state) {
        QPainter painter(&image);
        painter.setOpacity(0.37);
        flash->drawRect(painter, flash->bounds());
    }
}
BENCHMARK(BM_FlashFrame)->Unit(benchmark::kMicrosecond);

} // namespace
