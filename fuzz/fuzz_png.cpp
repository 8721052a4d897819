// Reads a PNG file from memory, converts it to a bitmap as the program's
// loader does, and writes it back; the claim read before (PngLoadClaim)
// must agree with the load. Each input is read as it is and once more
// with every chunk's CRC made right, so that mutations reach the chunk
// readers and the decoder instead of stopping at the CRC check.
#include <zlib.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "engine/picturefiles.h"
#include "png/pngimage.h"

namespace {
uint32_t BigEndian(const uint8_t* p) { return (uint32_t(p[0]) << 24) | (p[1] << 16) | (p[2] << 8) | p[3]; }

// Every accessor that reaches the pixels, inside the picture and just
// outside it, and the picture with its transparency taken away and made
// anew. Runs after a load that failed as well: the object then holds only
// what it read.
void Exercise(TPNGObject& png) {
  TMemoryStream out;
  TBitmap bitmap;
  bitmap.Assign(&png);
  png.SaveToStream(out);
  int w = png.Width(), h = png.Height();
  for (int i = 0; i < 64; ++i) {
    int x = (i * 7) % (w + 2) - 1, y = (i * 5) % (h + 2) - 1;
    png.SetPixels(x, y, png.GetPixels(y, x) ^ 0x808080);
  }
  if (png.HeaderPresent()) {
    volatile uint8_t sink = 0;
    int stride = png.Header().RowStride();
    for (int y : {-1, 0, h - 1, h}) {
      if (const uint8_t* row = png.Scanline(y)) sink = sink ^ row[0] ^ row[stride - 1];
      if (const uint8_t* row = png.ExtraScanline(y)) sink = sink ^ row[0] ^ row[stride - 1];
      if (const uint8_t* row = png.AlphaScanline(y)) sink = sink ^ row[0] ^ row[w - 1];
    }
  }
  TBitmap target;
  target.SetPixelFormat(pf24bit);
  target.SetSize(5, 4);
  png.Draw(*target.Canvas(), Rect(0, 0, 5, 4));
  TPNGObject copy;
  copy.Assign(&png);
  // A palette longer than a PNG palette, taken from the picture's colours,
  // and a transparent colour from its pixels (pictures with alpha refuse
  // that last).
  std::vector<PALETTEENTRY> entries(300);
  for (size_t i = 0; i < entries.size(); ++i) {
    TColor c = png.GetPixels(int(i) % (w + 1), int(i) % (h + 1));
    entries[i] = {GetRValue(c), GetGValue(c), GetBValue(c), 0};
  }
  copy.SetPalette(CreatePalette(entries.data(), int(entries.size())));
  try {
    copy.SetTransparentColor(png.GetPixels(w / 2, h / 2));
  } catch (const Exception&) {
  }
  copy.SaveToStream(out);
  copy.CreateAlpha();
  copy.SaveToStream(out);
  copy.RemoveTransparency();
  copy.SaveToStream(out);
}

void Decode(const uint8_t* data, size_t size) {
  // The claim read before the load: refused exactly when the load refuses
  // the signature or header, and of the size the load gives.
  int64_t width = 0, height = 0, loadBytes = 0;
  bool claimed;
  {
    TReadOnlyMemoryStream stream(data, size);
    claimed = PngLoadClaim(stream, width, height, loadBytes);
  }
  if (claimed && (width <= 0 || height <= 0 || loadBytes <= 0)) abort();
  // A few bytes may describe a picture of up to 1 GiB; decoding and drawing
  // one that large tests nothing new and only takes time (a refused one
  // fails at its header).
  bool huge = size >= 24 && uint64_t(BigEndian(data + 16)) * BigEndian(data + 20) > (uint64_t(1) << 24);
  if (huge && claimed) return;
  TPNGObject png;
  bool loaded = false;
  try {
    TReadOnlyMemoryStream stream(data, size);
    png.LoadFromStream(stream);
    loaded = true;
  } catch (const Exception&) {
  }
  if (loaded && (!claimed || png.Width() != width || png.Height() != height)) abort();
  if (huge) return;
  try {
    Exercise(png);
  } catch (const Exception&) {
  }
}
}  // namespace

// The picture classes are registered as the program's loader registers them
// (icons find their PNG entries' reader that way).
extern "C" int LLVMFuzzerInitialize(int*, char***) {
  RegisterPictureFormats();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Decode(data, size);
  std::vector<uint8_t> fixed(data, data + size);
  for (size_t at = 8; at + 12 <= size;) {
    uint64_t length = BigEndian(&fixed[at]);
    if (at + 12 + length > size) break;
    uint32_t crc = uint32_t(crc32(0, &fixed[at + 4], uInt(4 + length)));
    for (int i = 0; i < 4; ++i) fixed[at + 8 + length + i] = uint8_t(crc >> (24 - 8 * i));
    at += 12 + length;
  }
  Decode(fixed.data(), fixed.size());
  return 0;
}
