// Feeds arbitrary bytes to the JPEG reader: loading (header) and decoding.
// The last byte also picks the decoding settings, so that scaling, the fast
// mode and grey output are fuzzed too. The only acceptable failures are the
// program's own exceptions. Then the data's claim is checked against its
// decoding at the loader's settings (a failed check aborts).
#include <cstddef>
#include <cstdint>

#include "engine/picturefiles.h"
#include "fuzz/claimcheck.h"
#include "platform/graphics/jpeg.h"

// The picture classes are registered as the program's loader registers them
// (icons find their PNG entries' reader that way).
extern "C" int LLVMFuzzerInitialize(int*, char***) {
  RegisterPictureFormats();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  try {
    TJPEGImage jpeg;
    uint8_t settings = size ? data[size - 1] : 0;
    jpeg.Scale = TJPEGScale(settings & 3);
    jpeg.Performance = TJPEGPerformance(settings >> 2 & 1);
    jpeg.Grayscale = settings >> 3 & 1;
    jpeg.LoadFromMemory(data, size);
    jpeg.DIBNeeded();
  } catch (const Exception&) {
  }
  // The claim of the data holds for what its reader reads.
  claimcheck::Require(claimcheck::Jpeg(data, size));
  return 0;
}
