#include "platform/foundation/MemoryReserve.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace {

std::atomic<void*> g_reserve{nullptr};
std::atomic<bool> g_spent{false};

// Called by operator new when the system refuses: frees the reserve for the retry, or, with nothing
// left to give, fails the allocation as usual.
void giveUpReserve()
{
    if (void* reserve = g_reserve.exchange(nullptr)) {
        g_spent = true;
        std::free(reserve);
        return;
    }
    throw std::bad_alloc();
}

} // namespace

namespace MemoryReserve {

bool hold()
{
    std::set_new_handler(giveUpReserve);
    if (!g_reserve.load()) {
        void* reserve = std::malloc(kSize);
        if (!reserve)
            return false;
        void* expected = nullptr;
        if (!g_reserve.compare_exchange_strong(expected, reserve))
            std::free(reserve);
    }
    g_spent = false;
    return true;
}

bool isSpent()
{
    return g_spent;
}

} // namespace MemoryReserve
