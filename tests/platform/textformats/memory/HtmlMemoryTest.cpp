// What the HTML reader holds at most while it reads, counted at the allocator: the bytes of every
// block still allocated, and their peak. The C allocator's entry points are replaced here for the
// whole binary (Qt's strings and the standard library's containers all end in them) and hand on to
// the C library's own.
#include "platform/text/MutableAttributedString.h"
#include "platform/textformats/HtmlReader.h"

#include <QByteArray>

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <cstddef>
#include <malloc.h>

#if defined(__SANITIZE_ADDRESS__)
#define ORVANE_COUNTS_ALLOCATIONS 0
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(memory_sanitizer)
#define ORVANE_COUNTS_ALLOCATIONS 0
#endif
#endif
#ifndef ORVANE_COUNTS_ALLOCATIONS
#define ORVANE_COUNTS_ALLOCATIONS 1
#endif

namespace {

std::atomic<long long> g_held{0};
std::atomic<long long> g_peak{0};

void held(void* block)
{
    if (!block)
        return;
    const long long now = g_held += static_cast<long long>(malloc_usable_size(block));
    long long peak = g_peak.load();
    while (now > peak && !g_peak.compare_exchange_weak(peak, now)) {
    }
}

void released(void* block)
{
    if (block)
        g_held -= static_cast<long long>(malloc_usable_size(block));
}

} // namespace

#if ORVANE_COUNTS_ALLOCATIONS
extern "C" {
void* __libc_malloc(size_t size);
void* __libc_calloc(size_t count, size_t size);
void* __libc_realloc(void* block, size_t size);
void* __libc_memalign(size_t alignment, size_t size);
void __libc_free(void* block);

void* malloc(size_t size)
{
    void* block = __libc_malloc(size);
    held(block);
    return block;
}

void* calloc(size_t count, size_t size)
{
    void* block = __libc_calloc(count, size);
    held(block);
    return block;
}

void* realloc(void* block, size_t size)
{
    const long long before = block ? static_cast<long long>(malloc_usable_size(block)) : 0;
    void* moved = __libc_realloc(block, size);
    if (moved || size == 0) {
        g_held -= before;
        held(moved);
    }
    return moved;
}

void* memalign(size_t alignment, size_t size)
{
    void* block = __libc_memalign(alignment, size);
    held(block);
    return block;
}

void* aligned_alloc(size_t alignment, size_t size)
{
    return memalign(alignment, size);
}

int posix_memalign(void** out, size_t alignment, size_t size)
{
    void* block = memalign(alignment, size);
    if (!block)
        return ENOMEM;
    *out = block;
    return 0;
}

void free(void* block)
{
    released(block);
    __libc_free(block);
}
}
#endif

namespace {

// The most the reader held at once beyond what was held before it started.
long long peakWhileReading(const QByteArray& html, MutableAttributedString& text)
{
    const long long before = g_held.load();
    g_peak = before;
    Error error;
    EXPECT_TRUE(HtmlReader::read(html, text, nullptr, &error));
    return g_peak.load() - before;
}

QByteArray page(const QByteArray& tag, const QByteArray& text = "Hello")
{
    return "<html><body>" + tag + text + "</p></body></html>";
}

} // namespace

// The bound, beyond the file's own bytes: the file decoded to UTF-16 (two bytes a byte), the text
// built from it, and that text handed over to the caller's storage; at most nine times the file in
// all. An attribute the reader does not use is never copied, and a used one once, so a file that is
// mostly one attribute costs little more than its decoding.
TEST(HtmlMemoryTest, TheReaderHoldsASmallMultipleOfTheFileWhateverOneAttributeOrRunHolds)
{
    if (!ORVANE_COUNTS_ALLOCATIONS)
        GTEST_SKIP() << "the sanitizer owns the allocator";
    constexpr qsizetype kLong = qsizetype(16) << 20;
    const QByteArray filler(kLong, 'a');

    MutableAttributedString text;
    const QByteArray unused = page("<p title=\"" + filler + "&amp;\" data-x='" + filler + "'>");
    const long long unusedPeak = peakWhileReading(unused, text);
    EXPECT_EQ(text.string(), QStringLiteral("Hello\n"));
    // The decoded file and little else.
    EXPECT_LT(unusedPeak, 3 * unused.size()) << unusedPeak << " bytes held for " << unused.size();

    const QByteArray styled = page("<p class=\"" + filler + "\" style=\"color: red; " + filler + "\">");
    const long long styledPeak = peakWhileReading(styled, text);
    EXPECT_EQ(text.string(), QStringLiteral("Hello\n"));
    EXPECT_LT(styledPeak, 6 * styled.size()) << styledPeak << " bytes held for " << styled.size();

    const QByteArray run = page("<p>", filler);
    const long long runPeak = peakWhileReading(run, text);
    EXPECT_EQ(text.length(), kLong + 1);
    EXPECT_LT(runPeak, 9 * run.size()) << runPeak << " bytes held for " << run.size();
}
