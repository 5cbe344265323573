// Writing the edit diagnostics report of a long session: 10,000 recorded edits, each with a
// selection, the attachment indexes of a script with pictures and bookmarks, and breadcrumbs.
#include "document/OVTextTransactionLogger.h"

#include <benchmark/benchmark.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <memory>

namespace {

constexpr int kRecords = 10000;

void fill(OVTextTransactionLogger& logger)
{
    std::vector<quint64> attachments;
    for (quint64 i = 0; i < 40; ++i)
        attachments.push_back(i * 977);
    for (int i = 0; i < kRecords; ++i) {
        OVTextTransactionLog* record = logger.beginRecord();
        record->initialTextStorageLength = 40000 + quint64(i);
        record->editedRange = {i * 3, 1};
        record->changeInLength = 1;
        record->editActions = 3;
        record->selectedRanges = {{i * 3 + 1, 0}};
        record->attachmentLocations = attachments;
        record->undo = i % 7 == 0;
        record->undoActionName = QStringLiteral("Typing");
        record->textStorageLengthBeginSanitize = record->textStorageLengthEndSanitize = 40001 + quint64(i);
        record->didInsertContent = true;
        record->secondaryTextStorageLengthOnBegin = 40000 + quint64(i);
        record->secondaryTextStorageLengthOnClose = 40001 + quint64(i);
        record->documentCount = 2;
        record->addBreadcrumb(QStringLiteral("strip bookmarks"));
        record->addBreadcrumb(QStringLiteral("atom range count = 3"));
        logger.closeLog();
    }
}

void BM_WriteReportOf10000Edits(benchmark::State& state)
{
    QTemporaryDir desktop;
    OVTextTransactionLogger::Environment& env = OVTextTransactionLogger::environment();
    env.desktopFolder = [&desktop] { return desktop.path(); };
    env.beep = [] {};
    env.reveal = [](const QString&) {};
    qint64 bytes = 0;
    for (auto _ : state) {
        state.PauseTiming();
        auto logger = std::make_unique<OVTextTransactionLogger>();
        fill(*logger);
        state.ResumeTiming();
        logger->logCriticalProblem(QStringLiteral("String lengths differ after sanitize."));
        state.PauseTiming();
        if (!logger->didWriteLog())
            state.SkipWithError("the report was not written");
        bytes = QFileInfo(logger->reportPath()).size();
        QFile::remove(logger->reportPath());
        logger.reset();
        state.ResumeTiming();
    }
    state.counters["report_bytes"] = double(bytes);
}
BENCHMARK(BM_WriteReportOf10000Edits)->Unit(benchmark::kMillisecond);

} // namespace
