#pragma once

#include <cstddef>

// A block of memory held back so that running out of it cannot end the program where an exception
// is not allowed through (Qt's own noexcept code, Qt's GUI code built without exception support):
// the first allocation that fails takes the reserve instead, and an operation that spent it is failed
// afterwards, at a boundary that can say so.
namespace MemoryReserve {

// Holds the reserve (again) and answers whether it is held; installs the new-handler that gives it
// up on first use.
bool hold();
// Whether an allocation had to take the reserve since it was last held.
bool isSpent();

// The size held back: larger than any single allocation outside a long script's own buffers.
inline constexpr std::size_t kSize = 4 * 1024 * 1024;

} // namespace MemoryReserve
