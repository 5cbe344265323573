// Launch to the first drawn frame with a long script: the program's start as main() runs it after
// making Qt's application object (OVProgramStart::launch: the process's preparation, the document
// read from its package, its window opened), then the window drawn once. The package keeps a reading
// position as every saved script does (the second argument, in hundredths of the script; -1 for a
// package without one), with the line at the top that a save keeps beside it, or without it as the
// platform's own program saves it (FromTheShare). Run one case per process
// (--benchmark_filter=/5/90/ and so on), so that each pays the process's preparation as a launch does.
#include "ProcessMemory.h"

#include "app/OVDocumentSession.h"
#include "app/OVProgramStart.h"
#include "bench/BenchApplication.h"
#include "bench/ScriptSample.h"
#include "document/OVDocumentPackageWriter.h"
#include "platform/appkit/Document.h"
#include "platform/appkit/DocumentController.h"
#include "platform/appkit/Window.h"
#include "window/OVDocumentWindowController.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPixmap>
#include <QTemporaryDir>
#include <QWidget>
#include <benchmark/benchmark.h>

#include <malloc.h>

#include <cstdio>
#include <memory>

namespace {

constexpr double kMegabyte = 1 << 20;

using bench::residentBytes;

QTemporaryDir& folder()
{
    static QTemporaryDir dir;
    return dir;
}

QApplication& application()
{
    static int argc = 1;
    static char name[] = "launch";
    static char* argv[] = {name, nullptr};
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // An empty settings folder, as on a first start.
    for (const char* variable : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME"})
        qputenv(variable, folder().filePath(QString::fromLatin1(variable)).toLocal8Bit());
    // In the benchmarks' shared slot, so that main destroys it before the program's statics.
    std::unique_ptr<QApplication>& app = bench::applicationSlot();
    if (!app)
        app = std::make_unique<QApplication>(argc, argv);
    return *app;
}

QString writeScript(int megabytes, int positionPercent, bool withLineAtTop = true)
{
    MutableAttributedString text =
        ScriptSample::make(qsizetype(megabytes * kMegabyte * ScriptSample::kCharactersPerRtfByte));
    const QString path = folder().filePath(QStringLiteral("Script-%1-%2%3.ovdocument")
                                               .arg(megabytes)
                                               .arg(positionPercent)
                                               .arg(QLatin1String(withLineAtTop ? "" : "-share")));
    OVDocumentPackageWriter::Input input;
    input.text = &text;
    if (positionPercent >= 0) {
        input.scrollbarPosition = positionPercent / 100.0;
        if (!withLineAtTop) {
            Error error;
            if (!OVDocumentPackageWriter::writeToURL(QUrl::fromLocalFile(path), {}, input, &error))
                std::fprintf(stderr, "%s\n", qPrintable(error.localizedDescription()));
            return path;
        }
        // A saved script keeps the line at the top beside the share. Which line the share names is
        // known only with the whole text laid out, as it was when the script was saved; a paragraph's
        // start at the same share of the characters stands in for it, and opening costs the same.
        const QString& characters = text.string();
        const qsizetype from = qsizetype(characters.size() * positionPercent / 100.0);
        const qsizetype end = from > 0 ? characters.indexOf(u'\n', from - 1) : -1;
        input.scrollbarAnchor =
            OVScrollbarAnchor{end >= 0 && end + 1 < characters.size() ? end + 1 : 0, 0, 0};
    }
    Error error;
    if (!OVDocumentPackageWriter::writeToURL(QUrl::fromLocalFile(path), {}, input, &error))
        std::fprintf(stderr, "%s\n", qPrintable(error.localizedDescription()));
    return path;
}

void launchToFirstFrame(benchmark::State& state, bool withLineAtTop)
{
    application();
    const int megabytes = int(state.range(0));
    const QString path = writeScript(megabytes, int(state.range(1)), withLineAtTop);
    for (auto _ : state) {
        // What writing the script freed is given back, so that it cannot hide what the launch takes.
        malloc_trim(0);
        const double residentBefore = residentBytes();
        QElapsedTimer timer;
        timer.start();
        std::unique_ptr<OVDocumentSession> session = OVProgramStart::launch({path});
        Document* document = session->documentController().documents().front();
        auto* controller = dynamic_cast<OVDocumentWindowController*>(document->primaryWindowController());
        benchmark::DoNotOptimize(controller->window()->hostWidget()->grab());
        state.counters["seconds"] = timer.nsecsElapsed() / 1e9;
        state.counters["resident_MB_per_MB"] = (residentBytes() - residentBefore) / kMegabyte / megabytes;
        state.PauseTiming();
        session.reset();
        QCoreApplication::processEvents();
        state.ResumeTiming();
    }
}
void BM_LaunchToFirstFrame(benchmark::State& state)
{
    launchToFirstFrame(state, true);
}
BENCHMARK(BM_LaunchToFirstFrame)
    ->ArgsProduct({{1, 5, 20}, {-1, 0, 25, 90}})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

// The same with the share of the height alone, as a script the platform's own program saved keeps it.
void BM_LaunchToFirstFrameFromTheShare(benchmark::State& state)
{
    launchToFirstFrame(state, false);
}
BENCHMARK(BM_LaunchToFirstFrameFromTheShare)
    ->ArgsProduct({{5, 20}, {0, 90}})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

} // namespace
