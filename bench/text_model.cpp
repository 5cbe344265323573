// Local edits and attribute queries on a long script: a 1 MB text with 20,000 attribute runs.
#include "platform/text/TextStorage.h"

#include <benchmark/benchmark.h>

#include <random>

namespace {

constexpr qsizetype kTextLength = 1 << 20;
constexpr int kRunCount = 20000;

std::vector<AttributeDictionary> palette()
{
    std::vector<AttributeDictionary> dictionaries;
    for (int i = 0; i < 8; ++i) {
        AttributeDictionary attributes;
        attributes.insert(kFontAttributeName, Font{"Helvetica", "Helvetica", 12.0 + i % 4, i % 2 == 1});
        attributes.insert(kForegroundColorAttributeName, Color::rgb(i / 8.0, 0, 0));
        if (i % 3 == 0) {
            ParagraphStyle style;
            style.alignment = TextAlignment::Left;
            attributes.insert(kParagraphStyleAttributeName, style);
        }
        dictionaries.push_back(attributes);
    }
    return dictionaries;
}

template <class String> void fill(String& string)
{
    std::mt19937 random(42);
    QString text;
    text.reserve(kTextLength);
    while (text.size() < kTextLength) {
        int word = 2 + int(random() % 8);
        for (int i = 0; i < word; ++i)
            text.append(QChar(char16_t(u'a' + random() % 26)));
        text.append(random() % 12 == 0 ? QChar(u'\n') : QChar(u' '));
    }
    text.truncate(kTextLength);
    MutableAttributedString built(text);
    std::vector<AttributeDictionary> dictionaries = palette();
    qsizetype runLength = kTextLength / kRunCount;
    for (int run = 0; run < kRunCount; ++run) {
        qsizetype end = run + 1 == kRunCount ? kTextLength : (run + 1) * runLength;
        built.setAttributes(dictionaries[run % dictionaries.size()],
                            Range{run * runLength, end - run * runLength});
    }
    string.setAttributedString(built);
}

std::vector<qsizetype> positions(qsizetype limit)
{
    std::mt19937 random(7);
    std::vector<qsizetype> list(4096);
    for (qsizetype& position : list)
        position = qsizetype(random() % quint64(limit));
    return list;
}

void BM_InsertCharacter(benchmark::State& state)
{
    MutableAttributedString string;
    fill(string);
    std::vector<qsizetype> at = positions(kTextLength);
    size_t i = 0;
    const QString x = QStringLiteral("x");
    for (auto _ : state)
        string.replaceCharacters(Range{at[i++ % at.size()], 0}, x);
    state.counters["runs"] = double(string.runCount());
}
BENCHMARK(BM_InsertCharacter)->Iterations(200000);

void BM_DeleteCharacter(benchmark::State& state)
{
    MutableAttributedString string;
    fill(string);
    std::vector<qsizetype> at = positions(kTextLength / 2);
    size_t i = 0;
    for (auto _ : state)
        string.deleteCharacters(Range{at[i++ % at.size()], 1});
}
BENCHMARK(BM_DeleteCharacter)->Iterations(200000);

void BM_AttributesAtIndex(benchmark::State& state)
{
    MutableAttributedString string;
    fill(string);
    std::vector<qsizetype> at = positions(kTextLength);
    size_t i = 0;
    for (auto _ : state) {
        Range range;
        benchmark::DoNotOptimize(string.attributesAtIndex(at[i++ % at.size()], &range));
    }
}
BENCHMARK(BM_AttributesAtIndex);

void BM_AttributeLongestEffectiveRange(benchmark::State& state)
{
    MutableAttributedString string;
    fill(string);
    std::vector<qsizetype> at = positions(kTextLength);
    size_t i = 0;
    for (auto _ : state) {
        Range range;
        benchmark::DoNotOptimize(string.attribute(kParagraphStyleAttributeName, at[i++ % at.size()], &range,
                                                  Range{0, kTextLength}));
    }
}
BENCHMARK(BM_AttributeLongestEffectiveRange);

void BM_AddAttributeToAWord(benchmark::State& state)
{
    MutableAttributedString string;
    fill(string);
    std::vector<qsizetype> at = positions(kTextLength - 8);
    size_t i = 0;
    for (auto _ : state)
        string.addAttribute(kUnderlineStyleAttributeName, 1, Range{at[i++ % at.size()], 6});
}
BENCHMARK(BM_AddAttributeToAWord)->Iterations(100000);

// Typing into a text storage: the edit is processed (paragraph fix-up included) and observed.
void BM_TextStorageTypeCharacter(benchmark::State& state)
{
    TextStorage storage;
    fill(storage);
    qsizetype observed = 0;
    storage.addObserver(TextStorage::Phase::Edited,
                        [&](TextStorage&, const TextStorageEdit& edit) { observed += edit.changeInLength; });
    std::vector<qsizetype> at = positions(kTextLength);
    size_t i = 0;
    const QString x = QStringLiteral("x");
    for (auto _ : state)
        storage.replaceCharacters(Range{at[i++ % at.size()], 0}, x);
    benchmark::DoNotOptimize(observed);
}
BENCHMARK(BM_TextStorageTypeCharacter)->Iterations(100000);

void BM_TextStorageDeleteCharacter(benchmark::State& state)
{
    TextStorage storage;
    fill(storage);
    std::vector<qsizetype> at = positions(kTextLength / 2);
    size_t i = 0;
    for (auto _ : state)
        storage.deleteCharacters(Range{at[i++ % at.size()], 1});
}
BENCHMARK(BM_TextStorageDeleteCharacter)->Iterations(100000);

// A mirrored copy taking a whole script at once, fix-up and observers included.
void BM_TextStorageSetWholeScript(benchmark::State& state)
{
    MutableAttributedString script;
    fill(script);
    TextStorage storage;
    for (auto _ : state)
        storage.setAttributedString(script);
}
BENCHMARK(BM_TextStorageSetWholeScript)->Unit(benchmark::kMillisecond);

void BM_MutableSetWholeScript(benchmark::State& state)
{
    MutableAttributedString script;
    fill(script);
    MutableAttributedString copy;
    for (auto _ : state)
        copy.setAttributedString(script);
}
BENCHMARK(BM_MutableSetWholeScript)->Unit(benchmark::kMillisecond);

void BM_AttributedSubstringOfAParagraph(benchmark::State& state)
{
    MutableAttributedString string;
    fill(string);
    std::vector<qsizetype> at = positions(kTextLength - 100);
    size_t i = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(string.attributedSubstring(Range{at[i++ % at.size()], 80}));
}
BENCHMARK(BM_AttributedSubstringOfAParagraph);

} // namespace
