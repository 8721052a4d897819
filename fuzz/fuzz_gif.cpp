// Reads a GIF file into the document, optimizes it (its colour maps as the
// writer does, or every step of the image optimizer) or leaves it, writes it
// back with the LZW or the run-length encoder, and copies it into a bitmap as
// the engine's loader does (rendering the first frame over the logical
// screen). The size of the input chooses the road, so the tests replay a
// finding the same way. Then the data's claim is checked against that
// picture (a failed check aborts).
#include <cstddef>
#include <cstdint>

#include "engine/picturefiles.h"
#include "fuzz/claimcheck.h"
#include "gif/gifimage.h"

// The picture classes are registered as the program's loader registers them
// (icons find their PNG entries' reader that way).
extern "C" int LLVMFuzzerInitialize(int*, char***) {
  RegisterPictureFormats();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  try {
    TGIFImage image;
    image.OnWarning = [](TObject*, TGIFSeverity, const std::string&) {};
    TReadOnlyMemoryStream stream(data, size);
    image.LoadFromStream(stream);
    // A few bytes may describe frames and screens of up to 1 GiB; encoding
    // and rendering them tests nothing new and only takes time. (Cropping
    // may move a frame lying far outside the screen and so widen the
    // screen: the budget is looked at again after the optimizer.)
    auto tooLarge = [&] {
      int64_t pixels = int64_t(image.Width()) * image.Height();
      for (int i = 0; i < image.Frames().Count(); ++i) pixels += image.Frames().SubImages(i)->DataSize();
      return pixels > (int64_t(1) << 22);
    };
    if (tooLarge()) return 0;
    image.Compression = size % 2 ? gcRLE : gcLZW;
    try {
      if (size % 3 == 1) image.OptimizeColorMap();
      if (size % 3 == 2)
        image.Optimize(OptimizeOption(ooCrop) | OptimizeOption(ooMerge) | OptimizeOption(ooCleanup) |
                           OptimizeOption(ooColorMap),
                       rmNone, dmNearest, 8);
    } catch (const Exception&) {
    }
    if (tooLarge()) return 0;
    try {
      TMemoryStream out;
      image.SaveToStream(out);
    } catch (const Exception&) {
    }
    TBitmap bitmap;
    bitmap.Assign(&image);
  } catch (const Exception&) {
  }
  // The claim of the data holds for what its reader reads.
  claimcheck::Require(claimcheck::Gif(data, size));
  return 0;
}
