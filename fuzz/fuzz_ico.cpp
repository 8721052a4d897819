// Reads an icon file and draws it on a 24-bit bitmap of its size, then
// checks the file's claim against the icon's size (a failed check aborts).
#include <cstddef>
#include <cstdint>

#include "engine/picturefiles.h"
#include "fuzz/claimcheck.h"
#include "platform/graphics/icon.h"

// The picture classes are registered as the program's loader registers them
// (icons find their PNG entries' reader that way).
extern "C" int LLVMFuzzerInitialize(int*, char***) {
  RegisterPictureFormats();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  try {
    TIcon icon;
    icon.LoadFromMemory(data, size);
    TBitmap bitmap;
    bitmap.SetPixelFormat(pf24bit);
    bitmap.SetSize(icon.Width(), icon.Height());
    bitmap.Canvas()->Draw(0, 0, &icon);
  } catch (const Exception&) {
  }
  // The claim of the data holds for what its reader reads.
  claimcheck::Require(claimcheck::Icon(data, size));
  return 0;
}
