// libpng as an independent reference for the PNG codec tests: it writes
// sample pictures of every kind and decodes files to 8-bit RGBA.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "png/pngimage.h"

// Every valid colour type and bit depth.
struct TKind {
  int ColorType, BitDepth;
};
inline constexpr TKind kKinds[] = {{0, 1}, {0, 2}, {0, 4}, {0, 8}, {0, 16}, {2, 8}, {2, 16}, {3, 1},
                                   {3, 2}, {3, 4}, {3, 8}, {4, 8}, {4, 16}, {6, 8}, {6, 16}};

// A picture as PNG samples: packed rows as they go into the file (16-bit
// samples big-endian), with the optional chunks that change how it looks.
struct TSamplePicture {
  int Width = 0, Height = 0, ColorType = 0, BitDepth = 8;
  bool Interlaced = false;
  std::vector<uint8_t> Rows;          // Height rows of RowBytes()
  std::vector<uint8_t> Palette;       // red, green, blue per entry
  std::vector<uint8_t> PaletteAlpha;  // tRNS of palette pictures
  bool HasTransparentSample = false;  // tRNS of grey and RGB pictures
  uint16_t TransparentSample[3] = {0, 0, 0};
  uint32_t Gamma = 0;  // gAMA value, 0 for none
  int Filters = 0;     // libpng's filter set; 0 for its default choice

  int Channels() const { return ColorType == 2 ? 3 : ColorType == 4 ? 2 : ColorType == 6 ? 4 : 1; }
  size_t RowBytes() const { return (size_t(Width) * Channels() * BitDepth + 7) / 8; }
  // Sets or reads the sample of channel c of pixel (x, y).
  void SetSample(int x, int y, int c, int value);
  int GetSample(int x, int y, int c) const;
  // Makes the sample at (x, y) the transparent one (grey and RGB pictures).
  void MakeTransparent(int x, int y);
  // "type T depth D WxH", for failure messages.
  std::string Name() const;
};

// Samples that vary in every direction (palette pictures get a palette of
// 2^depth distinct colours).
TSamplePicture MakeSamplePicture(int colorType, int bitDepth, int width, int height, bool interlaced,
                                 int seed);

std::vector<uint8_t> WriteWithLibpng(const TSamplePicture& picture);

// 8-bit RGBA, 16-bit samples cut to their high byte, no gamma applied.
// Throws std::runtime_error when libpng refuses the file.
struct TRgbaPicture {
  int Width = 0, Height = 0;
  std::vector<uint8_t> Pixels;  // red, green, blue, alpha
  const uint8_t* At(int x, int y) const { return Pixels.data() + (size_t(y) * Width + x) * 4; }
};
TRgbaPicture ReadWithLibpng(const std::vector<uint8_t>& file);

// What the program's bitmap should show for libpng's pixels: colours through
// the gamma table of the gAMA value (grey + alpha pictures excepted), then
// blended by alpha over white as the codec blends.
std::vector<TColor> ExpectedColors(const TRgbaPicture& rgba, int colorType, uint32_t gamma);

// Loads a PNG file with the codec.
std::unique_ptr<TPNGObject> LoadPng(const std::vector<uint8_t>& file);
// Loads a PNG file with the codec and converts it to the 24-bit working
// bitmap, as the program's loader does.
std::unique_ptr<TBitmap> LoadWorkingBitmap(const std::vector<uint8_t>& file);

// A chunk stream built by hand: signature, then chunks with correct CRCs
// unless patched afterwards.
class TChunkStream {
 public:
  TChunkStream();
  TChunkStream& Chunk(const std::string& name, const std::vector<uint8_t>& data);
  TChunkStream& Header(int width, int height, int depth, int colorType, int interlace = 0);
  TChunkStream& End() { return Chunk("IEND", {}); }
  // Raw bytes (a chunk with a wrong CRC or length, trailing data).
  TChunkStream& Raw(const std::vector<uint8_t>& bytes);
  std::vector<uint8_t> Bytes;
};

// zlib stream of the data at a level.
std::vector<uint8_t> Deflate(const std::vector<uint8_t>& data, int level = 6);
// Chunks of a PNG file in order: name and data.
std::vector<std::pair<std::string, std::vector<uint8_t>>> ListChunks(const std::vector<uint8_t>& file);
// The data of the first chunk of that name (empty when there is none).
std::vector<uint8_t> ChunkData(const std::vector<uint8_t>& file, const std::string& name);
