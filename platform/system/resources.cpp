#include "platform/system/resources.h"

#include <algorithm>
#include <mutex>
#include <vector>

// The program's one module; only its address matters.
struct TModule {};

namespace {

const TModule kProgram{};

struct TRegistry {
  std::mutex Lock;
  std::vector<const TResourceEntry*> Entries;
};

TRegistry& Registry() {
  static TRegistry registry;
  return registry;
}

// The form identifiers are compared in: numbers as "#" and their decimal
// digits without leading zeros, names in upper case.
std::string Canonical(const std::string& id) {
  if (id.size() > 1 && id.size() <= 6 && id[0] == '#' &&
      std::all_of(id.begin() + 1, id.end(), [](char c) { return c >= '0' && c <= '9'; }))
    return MAKEINTRESOURCE(std::stoi(id.substr(1)));
  return UpperCase(id);
}

const TResourceEntry* Open(HINSTANCE instance, const std::string& name, const std::string& type,
                           const std::string& shownName) {
  const TResourceEntry* entry = FindResource(instance, name, type);
  if (!entry) throw EResNotFound("Resource " + shownName + " not found");
  return entry;
}

}  // namespace

const HINSTANCE HInstance = &kProgram;
const char* const RT_RCDATA = "#10";

std::string MAKEINTRESOURCE(int id) {
  std::string name = "#";
  return name += std::to_string(id);
}

void RegisterResources(const TResourceEntry* entries, size_t count) {
  TRegistry& registry = Registry();
  std::lock_guard<std::mutex> guard(registry.Lock);
  for (size_t i = 0; i < count; ++i) registry.Entries.push_back(&entries[i]);
}

const TResourceEntry* FindResource(HINSTANCE instance, const std::string& name, const std::string& type) {
  if (instance && instance != &kProgram) return nullptr;
  std::string wantedName = Canonical(name), wantedType = Canonical(type);
  TRegistry& registry = Registry();
  std::lock_guard<std::mutex> guard(registry.Lock);
  for (const TResourceEntry* entry : registry.Entries)
    if (Canonical(entry->Name) == wantedName && Canonical(entry->Type) == wantedType) return entry;
  return nullptr;
}

TResourceStream::TResourceStream(const TResourceEntry* entry)
    : TReadOnlyMemoryStream(entry->Data, entry->Size), FEntry(entry) {}

TResourceStream::TResourceStream(HINSTANCE instance, const std::string& resName, const std::string& resType)
    : TResourceStream(Open(instance, resName, resType, resName)) {}

TResourceStream::TResourceStream(HINSTANCE instance, int resId, const std::string& resType)
    : TResourceStream(Open(instance, MAKEINTRESOURCE(resId), resType, std::to_string(resId))) {}

int64_t TResourceStream::Write(const void*, int64_t) {
  throw EStreamError("Can't write to a read-only resource stream");
}
