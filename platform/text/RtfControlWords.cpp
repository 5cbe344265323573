#include "platform/text/RtfControlWords.h"

namespace RtfControlWords {
namespace {

// Open addressing over a power of two well above twice the words, so that most look-ups end at
// their first slot; the table is built by the compiler.
constexpr std::uint32_t kSlots = 1024;

constexpr std::uint32_t hashOf(std::string_view name)
{
    std::uint32_t hash = 2166136261u;
    for (const char c : name)
        hash = (hash ^ std::uint8_t(c)) * 16777619u;
    return hash;
}

constexpr std::array<std::uint16_t, kSlots> makeSlots()
{
    std::array<std::uint16_t, kSlots> slots{};
    for (int i = 1; i < kCount; ++i) {
        std::uint32_t slot = hashOf(kNames[i]) & (kSlots - 1);
        while (slots[slot] != 0)
            slot = (slot + 1) & (kSlots - 1);
        slots[slot] = std::uint16_t(i);
    }
    return slots;
}

constexpr std::array<std::uint16_t, kSlots> kTable = makeSlots();

} // namespace

int lookup(std::string_view name)
{
    std::uint32_t slot = hashOf(name) & (kSlots - 1);
    while (const int candidate = kTable[slot]) {
        const std::string_view known = kNames[candidate];
        if (known.size() == name.size() && known == name)
            return candidate;
        slot = (slot + 1) & (kSlots - 1);
    }
    return 0;
}

} // namespace RtfControlWords
