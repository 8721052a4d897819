// Resources linked into the program: binary files that the build embeds
// (brightmill_embed_resources in CMakeLists.txt) and that the code opens by
// type and by name or number, as read-only streams.
//
// A resource is known by its type and its identifier, each either a name or
// a number. Names are compared without regard to case; a name "#123" stands
// for the number 123 (MAKEINTRESOURCE(123) gives that name).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/system/classes.h"

BRIGHTMILL_EXCEPTION(EResNotFound, Exception)

// The module whose resources are meant. The program is one module: HInstance
// and a null instance both stand for it; any other value has no resources.
struct TModule;
using HINSTANCE = const TModule*;
extern const HINSTANCE HInstance;

// The identifier of a numbered resource or type, as a name.
std::string MAKEINTRESOURCE(int id);

// The type of raw data resources.
extern const char* const RT_RCDATA;

// One embedded resource; the bytes stay where the build put them.
struct TResourceEntry {
  const char* Type;
  const char* Name;
  const uint8_t* Data;
  size_t Size;
};

// Adds a table of resources to the program's resources (the generated
// sources call it while the program starts). When two resources have the
// same type and identifier, the one added first is found.
void RegisterResources(const TResourceEntry* entries, size_t count);

// The resource of that type and identifier; null when there is none.
const TResourceEntry* FindResource(HINSTANCE instance, const std::string& name, const std::string& type);

// A read-only stream over the bytes of a resource. Opening a resource that
// does not exist raises EResNotFound "Resource NAME not found"; writing
// raises EStreamError.
class TResourceStream : public TReadOnlyMemoryStream {
 public:
  TResourceStream(HINSTANCE instance, const std::string& resName, const std::string& resType);
  TResourceStream(HINSTANCE instance, int resId, const std::string& resType);
  const char* ClassName() const override { return "TResourceStream"; }
  int64_t Write(const void* buffer, int64_t count) override;
  const uint8_t* Memory() const { return FEntry->Data; }

 private:
  explicit TResourceStream(const TResourceEntry* entry);
  const TResourceEntry* FEntry;
};
