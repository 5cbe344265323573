// The position sync's own cost: the operator clip view moved 100,000 times in Prompt mode with the
// talent attached and following (nothing drawn), straight and upside down; and reading a 1 MB
// hardware-profile file, well formed (as large as the reader takes) or hostile.
#include "BenchApplication.h"
#include "BenchCore.h"

#include "platform/foundation/Clock.h"
#include "platform/foundation/Gzip.h"
#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/UserDefaults.h"
#include "prompting/OVCore.h"
#include "prompting/OVCoreTalentOutput.h"
#include "prompting/OVHardwareProfiles.h"

#include <QRandomGenerator>
#include <benchmark/benchmark.h>

#include <memory>

namespace {

constexpr int kMoves = 100000;

// A talent output always in use, over a scroll view of its own.
class BenchTalent final : public OVCoreTalentOutput {
public:
    bool isTalentWindowInUse() const override { return true; }
    OVCorePrompterView* talentPrompterView() const override
    {
        return const_cast<bench::PrompterView*>(&view);
    }

    std::unique_ptr<ScrollView> scroll = bench::scrollOverDocument(Rect{{0, 0}, {1920, 1080}}, 200000);
    bench::PrompterView view{scroll.get()};
};

void moveOperator(benchmark::State& state, bool flipped)
{
    bench::application();
    ManualClock clock;
    Clock::setShared(&clock);
    {
        const std::unique_ptr<ScrollView> scroll =
            bench::scrollOverDocument(Rect{{0, 0}, {1920, 1080}}, 200000);
        bench::PrompterView prompter(scroll.get());
        bench::CoreController controller(&prompter);
        BenchTalent talent;
        talent.view.flipped = flipped;
        bench::CoreInput input;
        OVCore core;
        core.setInputController(&input);
        core.configureCoreForController(&controller);
        core.setTalentWindowController(&talent);
        core.enterPromptMode();
        ClipView* clip = prompter.clipView();
        double y = 0;
        for (auto _ : state) {
            for (int i = 0; i < kMoves; ++i) {
                // Sub-pixel steps as the engine makes them at slow speeds, so some moves land on the
                // talent's pixel already and some do not.
                y += 0.75;
                if (y > 150000)
                    y = 0;
                clip->scrollToPoint({0, y});
            }
        }
        state.counters["ns_per_move"] = benchmark::Counter(
            double(state.iterations()) * kMoves, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
        benchmark::DoNotOptimize(talent.view.clipView()->bounds());
        core.enterEditMode();
        core.setTalentWindowController(nullptr);
    }
    Clock::setShared(nullptr);
}

void BM_OperatorMoveSyncsTalent(benchmark::State& state)
{
    moveOperator(state, false);
}

void BM_OperatorMoveSyncsFlippedTalent(benchmark::State& state)
{
    moveOperator(state, true);
}

// The largest honest file the reader takes: a list of profiles, each with every field, whose
// archive comes to just under the 1 MiB the reader inflates at most.
QByteArray archiveOfProfiles(int count)
{
    ArchiveArray profiles;
    for (int i = 0; i < count; ++i) {
        ArchiveDictionary condition;
        condition.insert(QStringLiteral("HardwareName"), QStringLiteral("Model%1,%2").arg(i).arg(i * 7919));
        condition.insert(
            QStringLiteral("VideoCardName"),
            QStringLiteral("Vendor GPU %1 %2").arg(QRandomGenerator::global()->generate()).arg(i));
        condition.insert(QStringLiteral("VideoMemoryTotal"), qint64(i % 4096));
        ArchiveDictionary overrides;
        overrides.insert(QStringLiteral("CanCaptureDisplays"), qint64(i % 2));
        overrides.insert(QStringLiteral("VideoMemoryState"), qint64(i % 3));
        overrides.insert(QStringLiteral("TextureUploadsState"), qint64(i % 4));
        ArchiveDictionary profile;
        profile.insert(QStringLiteral("Condition"), condition);
        profile.insert(QStringLiteral("Override"), overrides);
        profiles.push_back(profile);
    }
    ArchiveDictionary root;
    root.insert(QStringLiteral("Version"), qint64(2));
    root.insert(QStringLiteral("Profiles"), profiles);
    return KeyedArchiver::archivedData(root);
}

QByteArray honestFile()
{
    constexpr double kTarget = OVHardwareProfiles::kMaxDecompressedSize - 30000.0;
    int count = int(1000 * kTarget / double(archiveOfProfiles(1000).size()));
    QByteArray archive = archiveOfProfiles(count);
    while (archive.size() > OVHardwareProfiles::kMaxDecompressedSize) {
        count = count * 95 / 100;
        archive = archiveOfProfiles(count);
    }
    return gzip(archive);
}

QByteArray randomBytes(qsizetype size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    QRandomGenerator generator(17);
    for (qsizetype i = 0; i < size; ++i)
        bytes[i] = char(generator.generate() & 0xFF);
    return bytes;
}

void readProfiles(benchmark::State& state, const QByteArray& file)
{
    std::size_t profiles = 0;
    for (auto _ : state) {
        QString error;
        const auto list = OVHardwareProfiles::readDownloadedProfiles(file, &error);
        profiles = list ? list->profiles.size() : 0;
        benchmark::DoNotOptimize(profiles);
    }
    state.counters["file_bytes"] = double(file.size());
    state.counters["profiles"] = double(profiles);
}

void BM_ReadProfilesHonest(benchmark::State& state)
{
    static const QByteArray file = honestFile();
    readProfiles(state, file);
}

// A gzip bomb: 1 MB of compressed zeros that would inflate to about a gigabyte.
void BM_ReadProfilesGzipBomb(benchmark::State& state)
{
    static const QByteArray file = [] {
        QByteArray bomb = gzip(QByteArray(1 << 30, '\0'));
        while (bomb.size() < 1000000)
            bomb += bomb;
        return bomb.left(1000000);
    }();
    readProfiles(state, file);
}

// A valid gzip member carrying 1 MB of noise where the archive should be.
void BM_ReadProfilesNoiseArchive(benchmark::State& state)
{
    static const QByteArray file = gzip(randomBytes(1000000));
    readProfiles(state, file);
}

// 1 MB of noise that is not gzip at all.
void BM_ReadProfilesNoise(benchmark::State& state)
{
    static const QByteArray file = randomBytes(1000000);
    readProfiles(state, file);
}

} // namespace

BENCHMARK(BM_OperatorMoveSyncsTalent)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OperatorMoveSyncsFlippedTalent)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadProfilesHonest)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadProfilesGzipBomb)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadProfilesNoiseArchive)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadProfilesNoise)->Unit(benchmark::kMillisecond);
