// Colour reduction: turning a 24-bit bitmap into an 8-bit palette bitmap.
// A palette is chosen by the reduction method (fixed palettes or one fitted
// to the picture by an octree), every pixel is mapped to a palette index by
// a colour lookup, and an error-diffusion ditherer may spread the
// difference between a pixel and its chosen colour over the pixels not yet
// done.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "gif/gifoptions.h"
#include "platform/graphics/graphics.h"

// --- Scan-line access ---------------------------------------------------------

// Row access to a bitmap in one pixel format.
class TDIB {
 public:
  TDIB(TBitmap& bitmap, TPixelFormat format) : FBitmap(bitmap), FPixelFormat(format) {}
  virtual ~TDIB() = default;
  TDIB(const TDIB&) = delete;
  TDIB& operator=(const TDIB&) = delete;
  TBitmap& Bitmap() const { return FBitmap; }
  TPixelFormat PixelFormat() const { return FPixelFormat; }
  virtual uint8_t* ScanLine(int row) = 0;

 protected:
  TBitmap& FBitmap;
  TPixelFormat FPixelFormat;
};

// Reads a bitmap row by row in one pixel format; the bitmap is converted to
// that format in place when the reader is made.
class TDIBReader : public TDIB {
 public:
  TDIBReader(TBitmap& bitmap, TPixelFormat format);
  uint8_t* ScanLine(int row) override { return FBitmap.ScanLine(row); }
  const uint8_t* ScanLine(int row) const { return FBitmap.ScanLine(row); }
};

// Fills a bitmap of pf8bit or pf24bit row by row (other formats raise
// "Unsupported PixelFormat", a size of 0 "Invalid image dimensions"). The
// bitmap is made at the first scan-line request: the given size, and for
// pf8bit a colour table of 256 entries, the palette's first and black
// after them. A picture above 1 GiB raises EOutOfMemory "Failed to allocate
// memory for GIF DIB".
class TDIBWriter : public TDIB {
 public:
  TDIBWriter(TBitmap& bitmap, TPixelFormat format, int width, int height, HPALETTE palette);
  // Raises EInvalidGraphicOperation "Scan line index out of range" outside
  // the bitmap.
  uint8_t* ScanLine(int row) override;

 private:
  int FWidth, FHeight;
  HPALETTE FPalette;
  bool FMade = false;
};

// --- DIBs of bitmaps ----------------------------------------------------------

// The sizes of a bitmap's DIB in a pixel format (pf1bit, pf4bit, pf8bit or
// pf24bit; others raise "Unsupported PixelFormat"): infoHeaderSize is the
// header with a colour table of 2^bits entries for 8 bits or fewer,
// imageSize the rows padded to 32 bits. No bitmap raises GIFException
// "Bitmap image is not valid", a DIB above 1 GiB EOutOfMemory "Failed to
// allocate memory for GIF DIB".
void InternalGetDIBSizes(HBITMAP bitmap, int& infoHeaderSize, int& imageSize, TPixelFormat format);
// The bitmap's DIB in the pixel format: the header (and colour table) in
// info, the rows bottom-up in bits (resized to the image size). A palette,
// when given, is selected for the copy: a bitmap of another format takes
// its nearest colours. True when the rows could be copied.
bool InternalGetDIB(HBITMAP bitmap, HPALETTE palette, BITMAPINFO& info, std::vector<uint8_t>& bits,
                    TPixelFormat format);

// --- Colour lookups -----------------------------------------------------------

// Maps a colour to a palette index and tells the colour of that entry.
// Every lookup is made for a palette; those of a fixed palette (web, grey,
// black and white) map the same whatever the palette.
class TColorLookup {
 public:
  explicit TColorLookup(HPALETTE) {}
  virtual ~TColorLookup() = default;
  // The number of colours mapped to; 0 makes the reduction give nothing.
  int Colors() const { return FColors; }
  virtual uint8_t Lookup(uint8_t red, uint8_t green, uint8_t blue, uint8_t& r, uint8_t& g, uint8_t& b) = 0;

 protected:
  int FColors = 0;
};

// The nearest entry of any palette by the sum of absolute channel
// differences (the lowest index of equally near entries), searched once per
// 5-5-5 cell: every colour of a cell gets the entry found for the first
// colour asked in it, and a cell holding entries starts with the first of
// them.
class TFastColorLookup : public TColorLookup {
 public:
  explicit TFastColorLookup(HPALETTE palette);
  uint8_t Lookup(uint8_t red, uint8_t green, uint8_t blue, uint8_t& r, uint8_t& g, uint8_t& b) override;

 private:
  static int Key(uint8_t red, uint8_t green, uint8_t blue) {
    return (blue >> 3) << 10 | (green >> 3) << 5 | red >> 3;
  }
  PALETTEENTRY FEntries[256];
  std::vector<uint16_t> FCache;  // 32768 cells, 0xFFFF for not yet searched
};

// The web palette: level (c + 3) div 51 per channel, index 36 r + 6 g + b.
class TNetscapeColorLookup : public TColorLookup {
 public:
  explicit TNetscapeColorLookup(HPALETTE palette) : TColorLookup(palette) { FColors = 216; }
  uint8_t Lookup(uint8_t red, uint8_t green, uint8_t blue, uint8_t& r, uint8_t& g, uint8_t& b) override;
};

// 256 greys: (77 red + 150 green + 29 blue) shr 8.
class TGrayScaleLookup : public TColorLookup {
 public:
  explicit TGrayScaleLookup(HPALETTE palette) : TColorLookup(palette) { FColors = 256; }
  uint8_t Lookup(uint8_t red, uint8_t green, uint8_t blue, uint8_t& r, uint8_t& g, uint8_t& b) override;
};

// Black for 77 red + 150 green + 29 blue up to 32512, else white.
class TMonochromeLookup : public TColorLookup {
 public:
  explicit TMonochromeLookup(HPALETTE palette) : TColorLookup(palette) { FColors = 2; }
  uint8_t Lookup(uint8_t red, uint8_t green, uint8_t blue, uint8_t& r, uint8_t& g, uint8_t& b) override;
};

// --- Palettes -----------------------------------------------------------------

// 216 entries: entry 36 r + 6 g + b is (51 r, 51 g, 51 b). The caller owns it.
HPALETTE WebPalette();

// A node of the octree. Child i covers the colours whose bits at the
// node's level are red (i shr 2), green ((i shr 1) and 1) and blue (i and
// 1). A leaf sums the pixels that reached it.
struct TOctreeNode {
  bool IsLeaf = false;
  // 64-bit sums: a large photograph overflows 32 bits.
  int64_t PixelCount = 0, RedSum = 0, GreenSum = 0, BlueSum = 0;
  TOctreeNode* Next = nullptr;  // the next reducible node of the same level
  std::array<TOctreeNode*, 8> Children{};
};

// Fits a palette to pictures with an octree: every pixel is added to the
// tree, which is pruned whenever it holds more leaves than colours wanted
// (the deepest reducible node made last is merged first), and each leaf
// gives the mean colour of its pixels.
class TColorQuantizer {
 public:
  // Leaves sit at depth colorBits (1..8).
  TColorQuantizer(int maxColors, int colorBits);
  ~TColorQuantizer();
  TColorQuantizer(const TColorQuantizer&) = delete;
  TColorQuantizer& operator=(const TColorQuantizer&) = delete;

  void AddColor(uint8_t red, uint8_t green, uint8_t blue);
  // Every pixel of every row.
  void ProcessImage(const TDIBReader& image);
  // The leaves' mean colours, depth first in child order.
  std::vector<RGBQUAD> ColorTable() const;
  int LeafCount() const { return FLeafCount; }

 private:
  // A node made at the level: a leaf at the leaf depth (counted), else put
  // first on its level's reducible list.
  TOctreeNode* NewNode(int level);
  // The node and its children, 7 down to 0, kept for reuse.
  void FreeNode(TOctreeNode* node);
  // Merges the children of one reducible node; false when none is left.
  bool ReduceTree();
  void CollectColors(const TOctreeNode* node, std::vector<RGBQUAD>& table) const;

  TOctreeNode* FRoot = nullptr;
  int FLeafCount = 0;
  std::array<TOctreeNode*, 8> FReducible{};
  int FMaxColors;
  int FColorBits;
  std::vector<TOctreeNode*> FSpare;  // freed nodes kept for reuse
};

// A palette fitted to the bitmaps (read as pf24bit) of colors entries
// (entries without a fitted colour are black). With windowsColors the
// palette has 256 entries: the first and the last ten colours of the
// default palette around 236 fitted ones. The caller owns it. No bitmaps
// raise "Invalid bitmap list".
HPALETTE CreateOptimizedPaletteFromSingleBitmap(const TDIBReader& image, int colors, int colorBits,
                                                bool windowsColors);
HPALETTE CreateOptimizedPaletteFromManyBitmaps(const std::vector<TBitmap*>& bitmaps, int colors,
                                               int colorBits, bool windowsColors);

// --- Dithering ----------------------------------------------------------------

// Maps the pixels of one picture in serpentine order (left to right, then
// right to left, alternately): Dither for each pixel of a row starting at
// Column and stepping by Direction, NextLine after each row. This base maps
// every pixel to its nearest colour.
class TDitherEngine {
 public:
  TDitherEngine(int width, TColorLookup& lookup) : FLookup(lookup), FWidth(width) {}
  virtual ~TDitherEngine() = default;
  // The index for the pixel; r, g, b receive the colour chosen.
  virtual uint8_t Dither(uint8_t red, uint8_t green, uint8_t blue, uint8_t& r, uint8_t& g, uint8_t& b);
  virtual void NextLine();
  // Passes the pixel over (it keeps whatever the caller gives it).
  void Skip() { FColumn += FDirection; }
  int Column() const { return FColumn; }
  int Direction() const { return FDirection; }

 protected:
  int FDirection = 1;
  int FColumn = 0;
  TColorLookup& FLookup;
  int FWidth;
};

// One share of a pixel's error: Weight / divisor of it goes to the pixel
// Row rows below and Offset columns ahead in the walking direction.
struct TDitherShare {
  int Row, Offset, Weight;
};

// Error diffusion by a kernel of shares. Each pixel takes the error carried
// to it, (sum + divisor div 2) div divisor per channel, is clamped to 0..255
// and mapped; the difference to the chosen colour is spread by the kernel,
// each share once. Errors live in rows with margins as wide as the kernel,
// so shares that fall beside the picture land in the margins.
class TErrorDiffusionDitherer : public TDitherEngine {
 public:
  TErrorDiffusionDitherer(int width, TColorLookup& lookup, int divisor, std::vector<TDitherShare> kernel);
  uint8_t Dither(uint8_t red, uint8_t green, uint8_t blue, uint8_t& r, uint8_t& g, uint8_t& b) override;
  void NextLine() override;

 private:
  // The cells of error row k (0 = the current row) for one channel.
  int32_t* Cells(int row, int channel) const { return FCells[size_t(row * 3 + channel)]; }
  // Points the rows at the error buffer, the current row first.
  void PlaceRows();
  int FDivisor;
  std::vector<TDitherShare> FKernel;
  int FMargin = 0, FRows = 1, FStride = 0, FFirstRow = 0;
  std::vector<int32_t> FErrors;
  std::vector<int32_t*> FCells;  // rows x channels
};

// 7/16 ahead; 3/16, 5/16, 1/16 below behind, under and ahead.
class TFloydSteinbergDitherer : public TErrorDiffusionDitherer {
 public:
  TFloydSteinbergDitherer(int width, TColorLookup& lookup);
};
// The kernels that spread over the two pixels ahead and the two rows below,
// two columns to each side: 5 x 3 cells.
class T5by3Ditherer : public TErrorDiffusionDitherer {
 protected:
  using TErrorDiffusionDitherer::TErrorDiffusionDitherer;
};
class TStuckiDitherer : public T5by3Ditherer {
 public:
  TStuckiDitherer(int width, TColorLookup& lookup);
};
class TSierraDitherer : public T5by3Ditherer {
 public:
  TSierraDitherer(int width, TColorLookup& lookup);
};
class TJaJuNiDitherer : public T5by3Ditherer {
 public:
  TJaJuNiDitherer(int width, TColorLookup& lookup);
};
class TSteveArcheDitherer : public TErrorDiffusionDitherer {
 public:
  TSteveArcheDitherer(int width, TColorLookup& lookup);
};
class TBurkesDitherer : public TErrorDiffusionDitherer {
 public:
  TBurkesDitherer(int width, TColorLookup& lookup);
};

std::unique_ptr<TDitherEngine> CreateDitherer(TDitherMode mode, int width, TColorLookup& lookup);

// --- Reduction ----------------------------------------------------------------

// A new bitmap that holds the source reduced by the method: pf8bit with the
// method's palette (rmNone: a 24-bit copy; a palette of no colours, as
// rmPalette without a palette gives: an empty bitmap). bits (3..8) is the
// colour count 2^bits of rmQuantize; palette is copied for rmPalette. The
// source is converted to pf24bit in place.
std::unique_ptr<TBitmap> ReduceColors(TBitmap& source, TColorReduction reduction, TDitherMode dither,
                                      int bits, HPALETTE palette);
