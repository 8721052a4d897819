// The raster graphics core: colours, rectangles, palettes, in-memory
// device-independent bitmaps (DIBs), device contexts that draw into them, and
// the block transfers with their raster operations.
//
// Bitmaps here are always held in memory with rows from top to bottom, each
// row padded to a multiple of 4 bytes. 24-bit rows are blue, green, red;
// 32-bit rows blue, green, red, unused; 16-bit pixels are little-endian words
// with 5-5-5 or 5-6-5 channels.
#pragma once

#include <array>
#include <cstdint>
#include <utility>
#include <vector>

#include "platform/system/sysutils.h"

// --- Colours ----------------------------------------------------------------

// 0x00BBGGRR: red in the low byte. The high byte 0xFF marks a system colour
// (see ColorToRGB); clNone and clDefault are the two special values.
using TColor = int32_t;

constexpr TColor clNone = 0x1FFFFFFF;
constexpr TColor clDefault = 0x20000000;
constexpr TColor clBlack = 0x000000;
constexpr TColor clMaroon = 0x000080;
constexpr TColor clGreen = 0x008000;
constexpr TColor clOlive = 0x008080;
constexpr TColor clNavy = 0x800000;
constexpr TColor clPurple = 0x800080;
constexpr TColor clTeal = 0x808000;
constexpr TColor clGray = 0x808080;
constexpr TColor clSilver = 0xC0C0C0;
constexpr TColor clRed = 0x0000FF;
constexpr TColor clLime = 0x00FF00;
constexpr TColor clYellow = 0x00FFFF;
constexpr TColor clBlue = 0xFF0000;
constexpr TColor clFuchsia = 0xFF00FF;
constexpr TColor clAqua = 0xFFFF00;
constexpr TColor clWhite = 0xFFFFFF;
constexpr TColor clMoneyGreen = 0xC0DCC0;
constexpr TColor clSkyBlue = 0xF0CAA6;
constexpr TColor clCream = 0xF0FBFF;
constexpr TColor clMedGray = 0xA4A0A0;

// System colours: 0xFF000000 | index.
constexpr TColor clScrollBar = static_cast<TColor>(0xFF000000);
constexpr TColor clBackground = static_cast<TColor>(0xFF000001);
constexpr TColor clActiveCaption = static_cast<TColor>(0xFF000002);
constexpr TColor clWindow = static_cast<TColor>(0xFF000005);
constexpr TColor clWindowFrame = static_cast<TColor>(0xFF000006);
constexpr TColor clWindowText = static_cast<TColor>(0xFF000008);
constexpr TColor clHighlight = static_cast<TColor>(0xFF00000D);
constexpr TColor clHighlightText = static_cast<TColor>(0xFF00000E);
constexpr TColor clBtnFace = static_cast<TColor>(0xFF00000F);
constexpr TColor clBtnShadow = static_cast<TColor>(0xFF000010);
constexpr TColor clGrayText = static_cast<TColor>(0xFF000011);
constexpr TColor clBtnText = static_cast<TColor>(0xFF000012);
constexpr TColor clBtnHighlight = static_cast<TColor>(0xFF000014);
constexpr TColor cl3DDkShadow = static_cast<TColor>(0xFF000015);
constexpr TColor cl3DLight = static_cast<TColor>(0xFF000016);
constexpr TColor clInfoText = static_cast<TColor>(0xFF000017);
constexpr TColor clInfoBk = static_cast<TColor>(0xFF000018);

// The value GetPixel answers for a point outside the bitmap.
constexpr uint32_t CLR_INVALID = 0xFFFFFFFF;

// Resolves system colours to their RGB value (the classic light-grey look);
// other values are returned unchanged with the top byte cleared, except
// clNone and clDefault, which are returned as they are.
TColor ColorToRGB(TColor color);

constexpr TColor RGB(int r, int g, int b) {
  return static_cast<TColor>((r & 0xFF) | ((g & 0xFF) << 8) | ((b & 0xFF) << 16));
}
constexpr uint8_t GetRValue(TColor c) { return static_cast<uint8_t>(c & 0xFF); }
constexpr uint8_t GetGValue(TColor c) { return static_cast<uint8_t>((c >> 8) & 0xFF); }
constexpr uint8_t GetBValue(TColor c) { return static_cast<uint8_t>((c >> 16) & 0xFF); }

struct RGBQUAD {
  uint8_t rgbBlue = 0, rgbGreen = 0, rgbRed = 0, rgbReserved = 0;
  bool operator==(const RGBQUAD&) const = default;
};
struct RGBTRIPLE {
  uint8_t rgbtBlue = 0, rgbtGreen = 0, rgbtRed = 0;
};
struct PALETTEENTRY {
  uint8_t peRed = 0, peGreen = 0, peBlue = 0, peFlags = 0;
  bool operator==(const PALETTEENTRY&) const = default;
};

inline RGBQUAD ColorToQuad(TColor c) { return {GetBValue(c), GetGValue(c), GetRValue(c), 0}; }
inline TColor QuadToColor(const RGBQUAD& q) { return RGB(q.rgbRed, q.rgbGreen, q.rgbBlue); }

// --- Geometry ---------------------------------------------------------------

struct TPoint {
  int X = 0, Y = 0;
  bool operator==(const TPoint&) const = default;
};

// Left and top inside, right and bottom just outside. A rectangle whose right
// is less than its left (or bottom less than top) is mirrored on that axis
// when used as a target or source of a stretched copy.
struct TRect {
  int Left = 0, Top = 0, Right = 0, Bottom = 0;
  int Width() const { return Right - Left; }
  int Height() const { return Bottom - Top; }
  bool operator==(const TRect&) const = default;
};
inline TRect Rect(int left, int top, int right, int bottom) { return {left, top, right, bottom}; }
inline TRect Bounds(int left, int top, int width, int height) {
  return {left, top, left + width, top + height};
}
inline void SetRect(TRect& r, int left, int top, int right, int bottom) { r = {left, top, right, bottom}; }
inline TPoint Point(int x, int y) { return {x, y}; }

// --- Palettes ---------------------------------------------------------------

struct TPaletteObject {
  std::vector<PALETTEENTRY> Entries;
  bool Stock = false;  // shared object that DeleteObject leaves alone
};
using HPALETTE = TPaletteObject*;

struct TMaxLogPalette {
  uint16_t palVersion = 0x300;
  uint16_t palNumEntries = 0;
  PALETTEENTRY palPalEntry[256];
};

HPALETTE CreatePalette(const PALETTEENTRY* entries, int count);
HPALETTE CreatePalette(const TMaxLogPalette& logPalette);
HPALETTE CopyPalette(HPALETTE palette);
// With entries null, answers the palette's number of entries.
unsigned GetPaletteEntries(HPALETTE palette, unsigned start, unsigned count, PALETTEENTRY* entries);
unsigned SetPaletteEntries(HPALETTE palette, unsigned start, unsigned count, const PALETTEENTRY* entries);
bool ResizePalette(HPALETTE palette, unsigned count);
// Index of the entry nearest to the colour by squared RGB distance; the
// first of equally near entries. CLR_INVALID for an empty palette.
unsigned GetNearestPaletteIndex(HPALETTE palette, TColor color);
// The same among the palette's first `entries` entries only.
unsigned GetNearestPaletteIndex(HPALETTE palette, TColor color, size_t entries);
// A new palette with the 256-entry halftone table (HalftoneColors).
HPALETTE CreateHalftonePalette();
// The shared 20-colour default palette (DefaultColors); never deleted.
HPALETTE DefaultPalette();
bool DeleteObject(HPALETTE palette);

// The standard colour tables.
// 20 colours: the 16 VGA colours and the four extra static colours, in the
// order black, dark red, dark green, dark yellow, dark blue, dark magenta,
// dark cyan, light grey, money green, sky blue, cream, medium grey, dark grey,
// red, green, yellow, blue, magenta, cyan, white.
const std::array<RGBQUAD, 20>& DefaultColors();
// The 16 VGA colours: black, maroon, green, olive, navy, purple, teal, silver,
// grey, red, lime, yellow, blue, fuchsia, aqua, white.
const std::array<RGBQUAD, 16>& Vga16Colors();
// The halftone table: entries 0..9 are the first ten default colours;
// 10..225 the 6x6x6 cube with levels 0, 51, 102, 153, 204, 255, index
// 10 + 36 r + 6 g + b; 226..245 twenty greys round(i * 255 / 21) for
// i = 1..20; 246..255 the last ten default colours. The cube's eight corners
// repeat default colours (black, white and the six pure primaries), so the
// table has 248 different colours; nearest-colour searches find the first.
const std::array<RGBQUAD, 256>& HalftoneColors();

// The standard table of an indexed bit count: black and white for 1, the
// VGA colours for 4, the halftone table for 8; empty for other counts.
std::vector<RGBQUAD> StandardColorTable(int bitCount);

// Index of the colour nearest to (r, g, b) by squared RGB distance; the first
// of equally near entries.
int NearestColorIndex(const RGBQUAD* table, int count, uint8_t r, uint8_t g, uint8_t b);

// --- Device-independent bitmaps ---------------------------------------------

// Memory for pixels. Buffers of a few megabytes and more are asked for in
// huge pages where the system gives them on request: a fresh picture then
// takes a few hundred page faults instead of thousands, which makes filling
// or copying one several times cheaper. allocate raises std::bad_alloc.
void* AllocatePixelMemory(size_t bytes);
void FreePixelMemory(void* memory);
// The memory AllocatePixelMemory takes for bytes (whole huge pages).
size_t PixelMemorySize(size_t bytes);
template <typename T>
struct TPixelAllocator {
  using value_type = T;
  TPixelAllocator() = default;
  template <typename U>
  TPixelAllocator(const TPixelAllocator<U>&) {}
  T* allocate(size_t n) { return static_cast<T*>(AllocatePixelMemory(n * sizeof(T))); }
  // Growing a buffer leaves the new bytes without a value; whoever makes a
  // bitmap fills it (CreateDib) or writes every byte (CreateUnfilledDib).
  template <typename U>
  void construct(U* memory) {
    ::new (static_cast<void*>(memory)) U;
  }
  template <typename U, typename... Args>
  void construct(U* memory, Args&&... args) {
    ::new (static_cast<void*>(memory)) U(std::forward<Args>(args)...);
  }
  void deallocate(T* memory, size_t) { FreePixelMemory(memory); }
  friend bool operator==(const TPixelAllocator&, const TPixelAllocator&) { return true; }
};
using TPixelBuffer = std::vector<uint8_t, TPixelAllocator<uint8_t>>;

// A bitmap in memory. BitCount is 1, 4, 8, 16, 24 or 32. Indexed formats
// carry a colour table of up to 2^BitCount entries; indices beyond the table
// read as black. 16-bit pixels are 5-5-5 unless Rgb565 is set.
// A Monochrome bitmap is a 1-bit device bitmap: in copies between it and a
// colour bitmap, its 0 bits stand for the colour side's text colour and its
// 1 bits for the background colour (see BitBlt); otherwise it behaves like a
// 1-bit bitmap whose table is black, white.
struct TDibSection {
  int Width = 0;
  int Height = 0;
  int BitCount = 24;
  bool Rgb565 = false;
  bool Monochrome = false;
  int Stride = 0;  // bytes per row
  std::vector<RGBQUAD> ColorTable;
  TPixelBuffer Bits;  // Height rows of Stride bytes, top row first

  uint8_t* ScanLine(int row) { return Bits.data() + static_cast<size_t>(row) * Stride; }
  const uint8_t* ScanLine(int row) const { return Bits.data() + static_cast<size_t>(row) * Stride; }
};
using HBITMAP = TDibSection*;

// The largest pixel buffer a bitmap may have; bigger requests raise
// EOutOfMemory ("Out of memory").
constexpr int64_t MaxBitmapBytes = int64_t(1) << 30;

// The bytes of a row of width pixels at bitCount bits, padded to a multiple
// of alignment bits (a power of two): 32 for the rows of a DIB. In 64 bits,
// so that no width of a picture overflows it.
int64_t AlignedRowBytes(int64_t width, int bitCount, int alignment = 32);
// The bytes of a DIB row (AlignedRowBytes at 32 bits).
int BytesPerScanLine(int width, int bitCount);
// A new bitmap filled with zero bytes. Raises EInvalidGraphicOperation
// ("Invalid image size") for negative sizes or an unsupported bit count and
// EOutOfMemory when the buffer would pass MaxBitmapBytes.
HBITMAP CreateDib(int width, int height, int bitCount, bool rgb565 = false);
// As CreateDib, but the bytes have no value yet: for code that writes every
// byte of every row (padding included) at once, so the memory is first
// touched where it is written.
HBITMAP CreateUnfilledDib(int width, int height, int bitCount, bool rgb565 = false);
bool DeleteObject(HBITMAP bitmap);

// The colour of a pixel (0x00BBGGRR); CLR_INVALID outside the bitmap.
uint32_t DibGetPixel(const TDibSection& dib, int x, int y);
// Sets a pixel to the colour, or for indexed formats to the nearest colour
// of the table. Points outside are ignored.
void DibSetPixel(TDibSection& dib, int x, int y, TColor color);
// Reads count pixels of a row from column x as blue, green, red triples.
void DibReadRow(const TDibSection& dib, int y, int x, int count, uint8_t* bgr);
// Writes count blue, green, red triples into a row from column x; indexed
// formats take the nearest colour of the table.
void DibWriteRow(TDibSection& dib, int y, int x, int count, const uint8_t* bgr);
// The index of pixel x in a row of 1, 4 or 8 bits per pixel (the first
// pixel in the high bits of a byte), and storing one: the other pixels of
// the byte stay, and an index takes only the bits a pixel has.
inline int IndexAt(const uint8_t* row, int x, int bitCount) {
  switch (bitCount) {
    case 1: return (row[x >> 3] >> (7 - (x & 7))) & 1;
    case 4: return (x & 1) ? (row[x >> 1] & 0x0F) : (row[x >> 1] >> 4);
    default: return row[x];
  }
}
inline void SetIndexAt(uint8_t* row, int x, int bitCount, int index) {
  switch (bitCount) {
    case 1: {
      uint8_t mask = static_cast<uint8_t>(0x80 >> (x & 7));
      if (index & 1) row[x >> 3] |= mask;
      else row[x >> 3] &= static_cast<uint8_t>(~mask);
      break;
    }
    case 4:
      if (x & 1) row[x >> 1] = static_cast<uint8_t>((row[x >> 1] & 0xF0) | (index & 0x0F));
      else row[x >> 1] = static_cast<uint8_t>((row[x >> 1] & 0x0F) | ((index & 0x0F) << 4));
      break;
    default: row[x] = static_cast<uint8_t>(index);
  }
}
// Finds nearest table entries quickly for a whole run of pixels, with the
// same answers as NearestColorIndex. The table must stay as it is while the
// cache is used.
class TNearestColorCache {
 public:
  TNearestColorCache(const RGBQUAD* table, int count);
  int Find(uint8_t r, uint8_t g, uint8_t b);

 private:
  int Search(uint8_t r, uint8_t g, uint8_t b);
  const RGBQUAD* FTable;
  int FCount;
  std::vector<int32_t> FCache;  // 32768 slots of 5-5-5 keys
  std::vector<uint32_t> FKeys;
  // Per cell of 16 x 16 x 16 colours (made when first needed): the entries
  // that can be the nearest to a colour of the cell, as a range of
  // FCandidates.
  std::vector<int32_t> FCellStart;
  std::vector<uint16_t> FCellCount;
  std::vector<uint16_t> FCandidates;
};

// --- Device contexts --------------------------------------------------------

enum : int {
  BLACKONWHITE = 1,  // shrinking ANDs the pixels it drops
  WHITEONBLACK = 2,  // shrinking ORs the pixels it drops
  COLORONCOLOR = 3,  // shrinking drops pixels
  HALFTONE = 4,      // shrinking averages
  STRETCH_ANDSCANS = 1,
  STRETCH_ORSCANS = 2,
  STRETCH_DELETESCANS = 3,
  STRETCH_HALFTONE = 4,
};

// The target of drawing: a selected bitmap (not owned) and the drawing state.
struct TDeviceContext {
  HBITMAP Bitmap = nullptr;
  int StretchMode = BLACKONWHITE;
  TColor BrushColor = clWhite;  // solid brush used by the pattern operations
  TColor TextColor = clBlack;
  TColor BkColor = clWhite;
  HPALETTE Palette = nullptr;  // selected palette (not owned)
};
using HDC = TDeviceContext*;

HDC CreateCompatibleDC(HDC dc = nullptr);
bool DeleteDC(HDC dc);
// Deletes the context that a std::unique_ptr holds.
struct DCDeleter {
  void operator()(HDC dc) const { DeleteDC(dc); }
};
// Selects the bitmap into the context; returns the one it had.
HBITMAP SelectObject(HDC dc, HBITMAP bitmap);
HPALETTE SelectPalette(HDC dc, HPALETTE palette, bool forceBackground = false);
unsigned RealizePalette(HDC dc);
int SetStretchBltMode(HDC dc, int mode);
int GetStretchBltMode(HDC dc);

// Device capabilities. Every context draws for the screen, whose logical
// resolution is 96 pixels per inch unless the windows layer tells the one
// it has (SetScreenPixelsPerInch); other indices answer 0.
enum : int { LOGPIXELSX = 88, LOGPIXELSY = 90 };
int GetDeviceCaps(HDC dc, int index);
void SetScreenPixelsPerInch(int x, int y);
TColor SetBkColor(HDC dc, TColor color);
TColor SetTextColor(HDC dc, TColor color);
TColor SetBrushColor(HDC dc, TColor color);

// Raster operations: the result bit for pattern P, source S and destination
// D is bit (P << 2 | S << 1 | D) of the code's third byte.
enum : uint32_t {
  SRCCOPY = 0x00CC0020,
  SRCPAINT = 0x00EE0086,
  SRCAND = 0x008800C6,
  SRCINVERT = 0x00660046,
  SRCERASE = 0x00440328,
  NOTSRCCOPY = 0x00330008,
  NOTSRCERASE = 0x001100A6,
  MERGECOPY = 0x00C000CA,
  MERGEPAINT = 0x00BB0226,
  PATCOPY = 0x00F00021,
  PATPAINT = 0x00FB0A09,
  PATINVERT = 0x005A0049,
  DSTINVERT = 0x00550009,
  BLACKNESS = 0x00000042,
  WHITENESS = 0x00FF0062,
};

// Copies a w x h block from the source context to the target context,
// combining source, target and the target's brush by the raster operation.
// The block is clipped to both bitmaps. Colours are combined as 24-bit RGB
// and written back in the target's format (indexed targets take the nearest
// table colour). Copies from a colour bitmap into a Monochrome one give 1
// where the source pixel equals the source context's BkColor and 0
// elsewhere; copies from a Monochrome bitmap into a colour one turn 0 into
// the target context's TextColor and 1 into its BkColor.
bool BitBlt(HDC dest, int x, int y, int w, int h, HDC src, int sx, int sy, uint32_t rop);
// Stretches the source block onto the target block. A block of width w at x
// covers columns x, x + 1, ..., x + w - 1 when w > 0 and x, x - 1, ...,
// x + w + 1 when w < 0 (the same for heights and for the source), so a
// negative width on one side mirrors that axis: (W - 1, -W) is the mirror
// of (0, W). Which source pixels a target pixel takes, per
// axis with source length S and target length T (both made positive):
//  - T >= S (enlarging or same size): target i takes source floor(i * S / T).
//  - T < S (shrinking): target i stands for the source run from
//    floor(i * S / T) to floor((i + 1) * S / T) - 1. BLACKONWHITE ANDs the
//    colour values of the run, WHITEONBLACK ORs them, COLORONCOLOR takes the
//    first pixel of the run, HALFTONE averages the run (rounded).
// The two axes are handled independently (a pixel of the target block stands
// for a rectangle of source pixels). Source pixels outside the source bitmap
// do not take part (the first of the run is then the first inside), and a
// target pixel left without any keeps its colour. A bitmap may be copied
// onto itself; overlapping blocks give the same result as from a copy.
bool StretchBlt(HDC dest, int x, int y, int w, int h, HDC src, int sx, int sy, int sw, int sh,
                uint32_t rop);
// Fills a block with the context's brush combined by the raster operation
// (the source does not take part).
bool PatBlt(HDC dest, int x, int y, int w, int h, uint32_t rop);
// Stretches like StretchBlt with COLORONCOLOR sampling and SRCCOPY, but
// leaves the target pixels whose source pixel has the transparent colour.
bool TransparentBlt(HDC dest, int x, int y, int w, int h, HDC src, int sx, int sy, int sw, int sh,
                    TColor transparent);
// Copies the block where the 1-bit mask is 1 with the foreground raster
// operation and where it is 0 with the background one (both given in the
// rop: foreground in the third byte, background in the fourth, as
// MAKEROP4). Mask pixels outside the mask count as 0. Fails for a mask that
// is not 1-bit.
bool MaskBlt(HDC dest, int x, int y, int w, int h, HDC src, int sx, int sy, HBITMAP mask, int mx,
             int my, uint32_t rop);
constexpr uint32_t MAKEROP4(uint32_t fore, uint32_t back) { return ((back << 8) & 0xFF000000) | fore; }

// --- DIB descriptions -------------------------------------------------------

enum : uint32_t {
  BI_RGB = 0,
  BI_RLE8 = 1,
  BI_RLE4 = 2,
  BI_BITFIELDS = 3,
  BI_ALPHABITFIELDS = 6,
};
// Colour tables of RGB values (the only kind GetDIBits gives).
enum : unsigned { DIB_RGB_COLORS = 0, DIB_PAL_COLORS = 1 };

// The header of a device-independent bitmap. A positive height stands for
// rows stored bottom-up, a negative one for rows top-down.
struct BITMAPINFOHEADER {
  uint32_t biSize = 0;
  int32_t biWidth = 0;
  int32_t biHeight = 0;
  uint16_t biPlanes = 0;
  uint16_t biBitCount = 0;
  uint32_t biCompression = 0;
  uint32_t biSizeImage = 0;
  int32_t biXPelsPerMeter = 0;
  int32_t biYPelsPerMeter = 0;
  uint32_t biClrUsed = 0;
  uint32_t biClrImportant = 0;
};
static_assert(sizeof(BITMAPINFOHEADER) == 40, "the header is 40 bytes in files and memory");

// A header with room for the largest colour table.
struct BITMAPINFO {
  BITMAPINFOHEADER bmiHeader;
  RGBQUAD bmiColors[256];
};

// What GetObject tells of any bitmap.
struct BITMAP {
  int32_t bmType = 0;
  int32_t bmWidth = 0;
  int32_t bmHeight = 0;
  int32_t bmWidthBytes = 0;
  uint16_t bmPlanes = 0;
  uint16_t bmBitsPixel = 0;
  void* bmBits = nullptr;
};
// ... and of a device-independent one.
struct DIBSECTION {
  BITMAP dsBm;
  BITMAPINFOHEADER dsBmih;
  uint32_t dsBitfields[3] = {};
  void* dshSection = nullptr;
  uint32_t dsOffset = 0;
};

// Describes the bitmap into buffer and returns the bytes written: for a
// device-independent bitmap a DIBSECTION when size allows it (its header
// has the bitmap's width, its height as a positive number, the bit count,
// BI_RGB, or BI_BITFIELDS for 5-6-5 pixels, the image size and the number
// of table colours), else a BITMAP; a Monochrome device bitmap gives only a
// BITMAP (its bits are not addressable). 0 for no bitmap or no room for a
// BITMAP.
int GetObject(HBITMAP bitmap, int size, void* buffer);

// Copies scan lines of the bitmap into bits in the format that
// info.bmiHeader asks for: biWidth and |biHeight| as the bitmap's, biBitCount
// 1, 4, 8, 16 (5-5-5), 24 or 32, BI_RGB; rows padded to 4 bytes, bottom-up
// for a positive biHeight, where startScan counts from the bottom row.
// scanLines rows from startScan are copied (fewer when the bitmap ends
// first) to the start of bits, which must hold them.
//
// For 8 bits or fewer the colour table (all 2^bits entries) is filled in
// too: an indexed bitmap of that bit count gives its own table (padded with
// black) and its indices unchanged; otherwise the table is the palette
// selected into dc when it has one, else the standard table of the bit
// count (black and white, the VGA colours, the halftone table), and every
// pixel takes its nearest colour. biSizeImage is set to the size of all
// rows and biClrUsed to 0. With bits none only the header and the table are
// filled in.
//
// Returns the number of rows copied (with bits none: the bitmap's height);
// 0 for a bad request (no bitmap, a header below 40 bytes, another size,
// bit count or compression, usage other than DIB_RGB_COLORS).
int GetDIBits(HDC dc, HBITMAP bitmap, unsigned startScan, unsigned scanLines, void* bits, BITMAPINFO& info,
              unsigned usage);
