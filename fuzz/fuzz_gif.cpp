// Reads a GIF file into the document and writes it back, with the LZW or the
// run-length encoder.
#include <cstddef>
#include <cstdint>

#include "gif/gifimage.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  try {
    TGIFImage image;
    image.OnWarning = [](TObject*, TGIFSeverity, const std::string&) {};
    TReadOnlyMemoryStream stream(data, size);
    image.LoadFromStream(stream);
    // A few bytes may describe frames of up to 1 GiB; encoding them again
    // tests nothing new and only takes time.
    int64_t pixels = 0;
    for (int i = 0; i < image.Frames().Count(); ++i) pixels += image.Frames().SubImages(i)->DataSize();
    if (pixels > (int64_t(1) << 22)) return 0;
    image.Compression = size % 2 ? gcRLE : gcLZW;
    TMemoryStream out;
    image.SaveToStream(out);
  } catch (const Exception&) {
  }
  return 0;
}
