// Every operator new of a benchmark program, counted: calls, bytes live and their peak. Linking
// CountingAllocator.cpp into a program replaces its global operator new/delete.
#pragma once

#include <cstddef>
#include <cstdint>

namespace bench {

// operator new calls so far.
int64_t Allocations();
// Bytes allocated through operator new and not yet freed.
size_t LiveBytes();
// The most bytes live at once since the last ResetPeak.
size_t PeakBytes();
// Starts a new peak at the bytes live now; returns them.
size_t ResetPeak();

} // namespace bench
