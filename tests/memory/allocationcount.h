// Counts the bytes this program holds from the heap (malloc and its kin,
// operator new, pixel memory) on every thread, so that a test can see what
// a stretch of work takes at its peak and what it leaves behind. The program
// that links allocationcount.cpp takes its malloc from there; builds with
// a sanitizer keep the sanitizer's, and count nothing.
#pragma once

#include <cstdint>
#include <functional>

struct TAllocations {
  // The most bytes held at once beyond those held before the work.
  int64_t Peak = 0;
  // The bytes held after the work beyond those held before it.
  int64_t Kept = 0;
};

// False where the heap cannot be counted (a sanitizer's build).
bool AllocationsCounted();
// What work allocates (not to be run beside another measurement).
TAllocations MeasureAllocations(const std::function<void()>& work);
