#include "platform/system/clipboard.h"

#include <cstdlib>
#include <map>
#include <mutex>
#include <optional>
#include <thread>
#include <unordered_set>
#include <vector>

#include "platform/system/sysutils.h"

struct TGlobalBlock {
  void* Memory = nullptr;
  size_t Size = 0;
  int Locks = 0;
};

namespace {

// The live blocks: handles are checked against it, so that a stale or
// made-up handle is refused instead of being used.
struct BlockRegistry {
  std::mutex Lock;
  std::unordered_set<HGLOBAL> Blocks;
};

BlockRegistry& Blocks() {
  static BlockRegistry registry;
  return registry;
}

constexpr uint16_t FirstRegisteredFormat = 0xC000;

struct ClipboardState {
  std::mutex Lock;
  std::vector<std::string> FormatNames;  // registered names by number - 0xC000
  std::optional<std::thread::id> Owner;
  std::map<uint16_t, HGLOBAL> Data;
};

ClipboardState& State() {
  static ClipboardState state;
  return state;
}

bool OpenedHere(const ClipboardState& state) { return state.Owner == std::this_thread::get_id(); }

}  // namespace

// --- Global memory blocks ---------------------------------------------------

HGLOBAL GlobalAlloc(unsigned flags, size_t bytes) {
  if (bytes == 0) return nullptr;
  void* memory = (flags & GMEM_ZEROINIT) ? std::calloc(bytes, 1) : std::malloc(bytes);
  if (!memory) return nullptr;
  auto* block = new TGlobalBlock{memory, bytes, 0};
  std::lock_guard<std::mutex> guard(Blocks().Lock);
  Blocks().Blocks.insert(block);
  return block;
}

void* GlobalLock(HGLOBAL block) {
  std::lock_guard<std::mutex> guard(Blocks().Lock);
  if (!Blocks().Blocks.count(block)) return nullptr;
  ++block->Locks;
  return block->Memory;
}

bool GlobalUnlock(HGLOBAL block) {
  std::lock_guard<std::mutex> guard(Blocks().Lock);
  if (!Blocks().Blocks.count(block) || block->Locks == 0) return false;
  return --block->Locks > 0;
}

size_t GlobalSize(HGLOBAL block) {
  std::lock_guard<std::mutex> guard(Blocks().Lock);
  return Blocks().Blocks.count(block) ? block->Size : 0;
}

HGLOBAL GlobalFree(HGLOBAL block) {
  {
    std::lock_guard<std::mutex> guard(Blocks().Lock);
    if (!Blocks().Blocks.erase(block)) return block;
  }
  std::free(block->Memory);
  delete block;
  return nullptr;
}

// --- Formats ----------------------------------------------------------------

uint16_t RegisterClipboardFormat(const std::string& name) {
  if (name.empty()) return 0;
  ClipboardState& state = State();
  std::lock_guard<std::mutex> guard(state.Lock);
  for (size_t i = 0; i < state.FormatNames.size(); ++i)
    if (SameText(state.FormatNames[i], name)) return uint16_t(FirstRegisteredFormat + i);
  if (state.FormatNames.size() >= size_t(0x10000 - FirstRegisteredFormat)) return 0;
  state.FormatNames.push_back(name);
  return uint16_t(FirstRegisteredFormat + state.FormatNames.size() - 1);
}

std::string GetClipboardFormatName(uint16_t format) {
  ClipboardState& state = State();
  std::lock_guard<std::mutex> guard(state.Lock);
  if (format < FirstRegisteredFormat || size_t(format - FirstRegisteredFormat) >= state.FormatNames.size())
    return {};
  return state.FormatNames[format - FirstRegisteredFormat];
}

// --- The clipboard ----------------------------------------------------------

bool OpenClipboard() {
  ClipboardState& state = State();
  std::lock_guard<std::mutex> guard(state.Lock);
  if (state.Owner && !OpenedHere(state)) return false;
  state.Owner = std::this_thread::get_id();
  return true;
}

bool CloseClipboard() {
  ClipboardState& state = State();
  std::lock_guard<std::mutex> guard(state.Lock);
  if (!OpenedHere(state)) return false;
  state.Owner.reset();
  return true;
}

bool EmptyClipboard() {
  std::map<uint16_t, HGLOBAL> dropped;
  {
    ClipboardState& state = State();
    std::lock_guard<std::mutex> guard(state.Lock);
    if (!OpenedHere(state)) return false;
    dropped.swap(state.Data);
  }
  for (auto& [format, block] : dropped) GlobalFree(block);
  return true;
}

HGLOBAL SetClipboardData(uint16_t format, HGLOBAL data) {
  if (format == 0 || GlobalSize(data) == 0) return nullptr;
  HGLOBAL replaced = nullptr;
  {
    ClipboardState& state = State();
    std::lock_guard<std::mutex> guard(state.Lock);
    if (!OpenedHere(state)) return nullptr;
    HGLOBAL& slot = state.Data[format];
    if (slot != data) replaced = slot;
    slot = data;
  }
  if (replaced) GlobalFree(replaced);
  return data;
}

HGLOBAL GetClipboardData(uint16_t format) {
  ClipboardState& state = State();
  std::lock_guard<std::mutex> guard(state.Lock);
  if (!OpenedHere(state)) return nullptr;
  auto it = state.Data.find(format);
  return it == state.Data.end() ? nullptr : it->second;
}

bool IsClipboardFormatAvailable(uint16_t format) {
  ClipboardState& state = State();
  std::lock_guard<std::mutex> guard(state.Lock);
  return state.Data.count(format) > 0;
}
