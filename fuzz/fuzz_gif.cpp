// Reads a GIF file into the document, writes it back with the LZW or the
// run-length encoder, and copies it into a bitmap as the engine's loader
// does (rendering the first frame over the logical screen).
#include <cstddef>
#include <cstdint>

#include "engine/picturefiles.h"
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
    // and rendering them tests nothing new and only takes time.
    int64_t pixels = int64_t(image.Width()) * image.Height();
    for (int i = 0; i < image.Frames().Count(); ++i) pixels += image.Frames().SubImages(i)->DataSize();
    if (pixels > (int64_t(1) << 22)) return 0;
    image.Compression = size % 2 ? gcRLE : gcLZW;
    try {
      TMemoryStream out;
      image.SaveToStream(out);
    } catch (const Exception&) {
    }
    TBitmap bitmap;
    bitmap.Assign(&image);
  } catch (const Exception&) {
  }
  return 0;
}
