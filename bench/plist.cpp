// Reading and writing property lists of about a megabyte in each form, shaped like what documents and
// settings hold: dictionaries of strings and numbers, data blobs and nested arrays.
#include "platform/foundation/PropertyListSerialization.h"

#include <benchmark/benchmark.h>

namespace {

using Format = PropertyListSerialization::Format;

constexpr qsizetype kTargetSize = 1024 * 1024;

PlistValue record(int i)
{
    PlistDictionary style;
    style.insert("font", "Helvetica Neue");
    style.insert("size", 48.0 + i % 7);
    style.insert("colour", PlistArray{PlistValue(0.1 * (i % 10)), PlistValue(0.5), PlistValue(1.0)});

    PlistDictionary entry;
    entry.insert("name", QStringLiteral("Bookmark %1").arg(i));
    entry.insert("identifier",
                 QStringLiteral("5E0C%1-7A1B-4C2D-9E3F-00A1B2C3D4E5").arg(i, 4, 16, QChar('0')).toUpper());
    entry.insert("location", qint64(i) * 137);
    entry.insert("speed", 3.25 + i * 0.01);
    entry.insert("enabled", i % 3 != 0);
    entry.insert("created", PlistDate{700000000.0 + i * 60});
    entry.insert("note", i % 5 == 0 ? QString::fromUtf8("Pause here \u2014 \u00e9l\u00e8ve")
                                    : QStringLiteral("Read slowly"));
    entry.insert("thumbnail", QByteArray(48 + i % 64, char('a' + i % 26)));
    entry.insert("tags", PlistArray{PlistValue("intro"), PlistValue(QStringLiteral("scene %1").arg(i % 12)),
                                    PlistValue(i % 4)});
    entry.insert("style", style);
    return entry;
}

QByteArray sample(Format format)
{
    PlistArray records;
    PlistDictionary root;
    root.insert("version", 3);
    QByteArray data;
    while (data.size() < kTargetSize) {
        for (int i = 0; i < 200; ++i)
            records.push_back(record(int(records.size())));
        root.insert("records", records);
        data = *PropertyListSerialization::dataWithPropertyList(root, format);
    }
    return data;
}

void read(benchmark::State& state, Format format)
{
    const QByteArray data = sample(format);
    for (auto _ : state) {
        std::optional<PlistValue> value = PropertyListSerialization::propertyListWithData(data);
        if (!value)
            state.SkipWithError("read failed");
        benchmark::DoNotOptimize(value);
    }
    state.SetBytesProcessed(state.iterations() * data.size());
}

void write(benchmark::State& state, Format format)
{
    const QByteArray data = sample(format);
    const PlistValue value = *PropertyListSerialization::propertyListWithData(data);
    for (auto _ : state) {
        std::optional<QByteArray> written = PropertyListSerialization::dataWithPropertyList(value, format);
        benchmark::DoNotOptimize(written);
    }
    state.SetBytesProcessed(state.iterations() * data.size());
}

void BM_ReadBinary(benchmark::State& state)
{
    read(state, Format::Binary);
}
void BM_ReadXml(benchmark::State& state)
{
    read(state, Format::Xml);
}
void BM_WriteBinary(benchmark::State& state)
{
    write(state, Format::Binary);
}
void BM_WriteXml(benchmark::State& state)
{
    write(state, Format::Xml);
}

} // namespace

BENCHMARK(BM_ReadBinary)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadXml)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WriteBinary)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WriteXml)->Unit(benchmark::kMillisecond);
