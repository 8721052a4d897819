// Reads a BMP file, converts it to 24 bits and writes it back, then checks
// that reading it from a stream gives the same picture and that the file's
// claim holds for it (a failed check aborts).
#include <cstddef>
#include <cstdint>

#include "engine/picturefiles.h"
#include "fuzz/claimcheck.h"
#include "platform/graphics/graphics.h"

// The picture classes are registered as the program's loader registers them
// (icons find their PNG entries' reader that way).
extern "C" int LLVMFuzzerInitialize(int*, char***) {
  RegisterPictureFormats();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  try {
    TBitmap bitmap;
    bitmap.LoadFromMemory(data, size);
    // A few bytes of RLE may make a valid picture of up to 1 GiB; converting
    // and writing one that large tests nothing new and only takes time.
    if (int64_t(bitmap.Width()) * bitmap.Height() > (int64_t(1) << 24)) return 0;
    bitmap.SetPixelFormat(pf24bit);
    TMemoryStream out;
    bitmap.SaveToStream(out);
  } catch (const Exception&) {
  }
  // The claim of the data holds for what its reader reads.
  claimcheck::Require(claimcheck::Bmp(data, size));
  return 0;
}
