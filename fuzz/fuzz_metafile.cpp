// Reads what an EMF or placeable WMF holds for its bitmaps, then loads it and
// plays it onto a 24-bit bitmap: at its own size when that is at most
// 512 x 512, else stretched onto 64 x 64.
#include <cstddef>
#include <cstdint>

#include "engine/picturefiles.h"
#include "platform/metafile/metafile.h"

// Fontconfig, which Qt's font database loads on first use, keeps
// allocations from reading its configuration without any pointer to them;
// the leak checker is told to leave those out (only those).
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }

// The picture classes are registered as the program's loader registers them
// (icons find their PNG entries' reader that way).
extern "C" int LLVMFuzzerInitialize(int*, char***) {
  RegisterPictureFormats();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // What the run reserves for the file's bitmaps is read first, as the
  // engine reads it before loading.
  (void)MetafileBitmapBytes(data, size);
  try {
    TMetafile metafile;
    metafile.LoadFromMemory(data, size);
    TBitmap bitmap;
    bitmap.SetPixelFormat(pf24bit);
    if (metafile.Width() <= 512 && metafile.Height() <= 512) {
      bitmap.SetSize(metafile.Width(), metafile.Height());
      bitmap.Canvas()->Draw(0, 0, &metafile);
    } else {
      bitmap.SetSize(64, 64);
      bitmap.Canvas()->StretchDraw(Rect(0, 0, 64, 64), &metafile);
    }
  } catch (const Exception&) {
  }
  return 0;
}
