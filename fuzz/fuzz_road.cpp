// The whole road of one source file in a run (fuzz/road.h has the road
// and its checks): a failed check aborts with its text.
#include <cstdio>
#include <cstdlib>

#include "fuzz/road.h"

// Fontconfig, which Qt's font database loads on first use (metafiles with
// text), keeps allocations from reading its configuration without any
// pointer to them; the leak checker is told to leave those out.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  RegisterPictureFormats();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string failure = road::Run(data, size);
  if (!failure.empty()) {
    std::fprintf(stderr, "road check failed: %s\n", failure.c_str());
    std::abort();
  }
  return 0;
}
