// Every effect step of a run on small pictures of odd sizes with odd
// parameters (fuzz/effectstep.h). Only the program's own exceptions may
// come out, and the picture must stay a 24-bit picture with pixels.
#include <cstdio>
#include <cstdlib>

#include "fuzz/effectstep.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string failure;
  try {
    failure = effectstep::Run(data, size);
  } catch (const Exception&) {
    return 0;
  }
  if (!failure.empty()) {
    std::fprintf(stderr, "%s\n", failure.c_str());
    std::abort();
  }
  return 0;
}
