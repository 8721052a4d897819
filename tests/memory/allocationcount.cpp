#include "tests/memory/allocationcount.h"

#include <malloc.h>

#include <atomic>
#include <cerrno>
#include <cstddef>

#if defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer) || __has_feature(memory_sanitizer)
#define BRIGHTMILL_OWN_HEAP 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define BRIGHTMILL_OWN_HEAP 1
#endif

#ifdef BRIGHTMILL_OWN_HEAP

bool AllocationsCounted() { return false; }
TAllocations MeasureAllocations(const std::function<void()>& work) {
  work();
  return {};
}

#else

namespace {

// Bytes held now and the most held since the last measurement began, as the
// allocator gives them (malloc_usable_size: the same size when a block is
// taken and when it is given back).
std::atomic<int64_t> Held{0}, MostHeld{0};

void Count(int64_t size) {
  const int64_t now = Held.fetch_add(size, std::memory_order_relaxed) + size;
  int64_t most = MostHeld.load(std::memory_order_relaxed);
  while (now > most && !MostHeld.compare_exchange_weak(most, now, std::memory_order_relaxed)) {
  }
}

// Blocks aligned past what malloc gives (pixel buffers on huge pages) are
// counted at the size asked for: the allocator maps such a block with room
// for the alignment, untouched address space that it reports as usable.
// They are few at a time; a block past this table counts as usable.
constexpr int kMostAligned = 256;
void* AlignedBlocks[kMostAligned];
int64_t AlignedSizes[kMostAligned];
int AlignedCount = 0;
std::atomic<int> AlignedInTable{0};
std::atomic_flag AlignedLock = ATOMIC_FLAG_INIT;
struct TAlignedHold {
  TAlignedHold() {
    while (AlignedLock.test_and_set(std::memory_order_acquire)) {
    }
  }
  ~TAlignedHold() { AlignedLock.clear(std::memory_order_release); }
};

void Took(void* block) {
  if (block) Count(int64_t(malloc_usable_size(block)));
}

void TookAligned(void* block, size_t size) {
  if (!block) return;
  {
    TAlignedHold hold;
    if (AlignedCount < kMostAligned) {
      AlignedBlocks[AlignedCount] = block;
      AlignedSizes[AlignedCount++] = int64_t(size);
      AlignedInTable.store(AlignedCount, std::memory_order_relaxed);
      Count(int64_t(size));
      return;
    }
  }
  Took(block);
}

void Giving(void* block) {
  if (!block) return;
  if (AlignedInTable.load(std::memory_order_relaxed) > 0) {
    TAlignedHold hold;
    for (int i = 0; i < AlignedCount; ++i)
      if (AlignedBlocks[i] == block) {
        Held.fetch_sub(AlignedSizes[i], std::memory_order_relaxed);
        --AlignedCount;
        AlignedBlocks[i] = AlignedBlocks[AlignedCount];
        AlignedSizes[i] = AlignedSizes[AlignedCount];
        AlignedInTable.store(AlignedCount, std::memory_order_relaxed);
        return;
      }
  }
  Held.fetch_sub(int64_t(malloc_usable_size(block)), std::memory_order_relaxed);
}

}  // namespace

// glibc's own allocator does the work; these take its place for the whole
// program (the C library's and the C++ runtime's calls come here too) and
// only count.
extern "C" {
void* __libc_malloc(size_t);
void __libc_free(void*);
void* __libc_calloc(size_t, size_t);
void* __libc_realloc(void*, size_t);
void* __libc_memalign(size_t, size_t);
void* __libc_valloc(size_t);
void* __libc_pvalloc(size_t);

void* malloc(size_t size) {
  void* block = __libc_malloc(size);
  Took(block);
  return block;
}
void free(void* block) {
  Giving(block);
  __libc_free(block);
}
void* calloc(size_t count, size_t size) {
  void* block = __libc_calloc(count, size);
  Took(block);
  return block;
}
void* realloc(void* block, size_t size) {
  // A failed reallocation keeps the block; size 0 frees it.
  const int64_t before = block ? int64_t(malloc_usable_size(block)) : 0;
  Giving(block);
  void* moved = __libc_realloc(block, size);
  if (moved)
    Took(moved);
  else if (block && size != 0)
    Held.fetch_add(before, std::memory_order_relaxed);
  return moved;
}
void* reallocarray(void* block, size_t count, size_t size) {
  size_t bytes = 0;
  if (__builtin_mul_overflow(count, size, &bytes)) {
    errno = ENOMEM;
    return nullptr;
  }
  return realloc(block, bytes);
}
void* memalign(size_t alignment, size_t size) {
  void* block = __libc_memalign(alignment, size);
  if (alignment > alignof(max_align_t))
    TookAligned(block, size);
  else
    Took(block);
  return block;
}
void* aligned_alloc(size_t alignment, size_t size) { return memalign(alignment, size); }
int posix_memalign(void** result, size_t alignment, size_t size) {
  if (alignment % sizeof(void*) != 0 || (alignment & (alignment - 1)) != 0) return EINVAL;
  void* block = memalign(alignment, size);
  if (!block) return ENOMEM;
  *result = block;
  return 0;
}
void* valloc(size_t size) {
  void* block = __libc_valloc(size);
  Took(block);
  return block;
}
void* pvalloc(size_t size) {
  void* block = __libc_pvalloc(size);
  Took(block);
  return block;
}
}

bool AllocationsCounted() { return true; }

TAllocations MeasureAllocations(const std::function<void()>& work) {
  const int64_t before = Held.load();
  MostHeld.store(before);
  work();
  return {MostHeld.load() - before, Held.load() - before};
}

#endif
