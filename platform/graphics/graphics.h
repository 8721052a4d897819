// The picture classes: the abstract graphic, the bitmap with its pixel
// formats and canvas, and the picture holder with its file-format registry.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "platform/system/classes.h"
#include "platform/system/clipboard.h"
#include "platform/graphics/gdi.h"

class TCanvas;

// pfDevice stands for the screen's format and is treated as 24-bit; pf16bit
// is 5-6-5, pf15bit 5-5-5.
enum TPixelFormat : uint8_t {
  pfDevice, pf1bit, pf4bit, pf8bit, pf15bit, pf16bit, pf24bit, pf32bit, pfCustom
};
enum TTransparentMode : uint8_t { tmAuto, tmFixed };

// A picture of any kind. Drawing goes through a canvas (TCanvas::Draw and
// TCanvas::StretchDraw call Draw).
class TGraphic : public TPersistent {
 public:
  const char* ClassName() const override { return "TGraphic"; }
  virtual int Width() const = 0;
  virtual int Height() const = 0;
  virtual void SetWidth(int value) = 0;
  virtual void SetHeight(int value) = 0;
  virtual bool Empty() const = 0;
  virtual bool Transparent() const { return FTransparent; }
  virtual void SetTransparent(bool value);
  virtual HPALETTE Palette() { return nullptr; }
  virtual void SetPalette(HPALETTE) {}

  virtual void LoadFromStream(TStream& stream) = 0;
  virtual void SaveToStream(TStream& stream) = 0;
  // Open the file and call LoadFromStream / create it and call SaveToStream.
  virtual void LoadFromFile(const std::string& path);
  virtual void SaveToFile(const std::string& path);

  // Draws the picture into the rectangle of the canvas.
  virtual void Draw(TCanvas& canvas, const TRect& rect) = 0;

  // The same picture: the other is of the same class and either both are
  // empty or both store the same bytes (WriteData).
  virtual bool Equals(TGraphic* graphic);
  // The picture as stored among other data (a form's or a picture holder's):
  // LoadFromStream and SaveToStream unless a class stores itself otherwise.
  virtual void ReadData(TStream& stream);
  virtual void WriteData(TStream& stream);

  // The picture from clipboard data of the format (see clipboard.h), with
  // the palette that came with it (may be none). Without a class's own
  // support: EInvalidGraphic "Unsupported clipboard format".
  virtual void LoadFromClipboardFormat(uint16_t format, HGLOBAL data, HPALETTE palette);
  // The picture as clipboard data: the format, a new block the caller owns
  // (to hand to SetClipboardData or free) and a new palette the caller
  // owns (none when the data needs none). Without a class's own support:
  // EInvalidGraphic "Unsupported clipboard format".
  virtual void SaveToClipboardFormat(uint16_t& format, HGLOBAL& data, HPALETTE& palette);

  bool Modified = false;
  TNotifyEvent OnChange;

 protected:
  virtual void Changed();
  bool FTransparent = false;
};

// The class library's text for clipboard data that a picture class cannot
// take.
constexpr char SUnknownClipboardFormat[] = "Unsupported clipboard format";
[[noreturn]] void UnsupportedClipboardFormat();  // raises EInvalidGraphic with it

// --- Canvas -----------------------------------------------------------------

enum TBrushStyle : uint8_t { bsSolid, bsClear };
enum TPenStyle : uint8_t { psSolid, psClear };

struct TBrush {
  TColor Color = clWhite;
  TBrushStyle Style = bsSolid;
};
struct TPen {
  TColor Color = clBlack;
  int Width = 1;
  TPenStyle Style = psSolid;
};

// Drawing surface over a device context. A bitmap's canvas draws into the
// bitmap's pixels.
class TCanvas : public TPersistent {
 public:
  // A canvas over a context it does not own (may be null and set later).
  explicit TCanvas(HDC dc = nullptr);
  ~TCanvas() override;
  const char* ClassName() const override { return "TCanvas"; }

  // The context with the brush colour applied; for a bitmap's canvas the
  // bitmap is selected into it.
  virtual HDC Handle();
  void SetHandle(HDC dc) { FHandle = dc; }

  TBrush Brush;
  TPen Pen;
  uint32_t CopyMode = SRCCOPY;

  // Colour of a pixel, or CLR_INVALID (as a TColor, -1) outside.
  TColor GetPixel(int x, int y);
  // Ignored outside the bitmap and for colours whose top byte is not 0
  // (system colours are resolved first).
  void SetPixel(int x, int y, TColor color);

  // Fills the rectangle with the brush (nothing for bsClear).
  void FillRect(const TRect& rect);
  // One-pixel outline with the pen, inside filled with the brush.
  void Rectangle(int left, int top, int right, int bottom);
  void FrameRect(const TRect& rect);  // outline in the brush colour (nothing for bsClear)
  void MoveTo(int x, int y);
  void LineTo(int x, int y);  // pen line, the end point not drawn
  TPoint PenPos;

  // Draws the graphic at its own size with its top-left corner at (x, y).
  void Draw(int x, int y, TGraphic* graphic);
  void StretchDraw(const TRect& rect, TGraphic* graphic);
  // Stretched copy from another canvas with CopyMode (mirrored rectangles
  // mirror the picture).
  void CopyRect(const TRect& dest, TCanvas& canvas, const TRect& source);

  // Pixel area of the canvas (the bitmap's size; empty without one).
  TRect ClipRect();

  // Tells OnChange that the canvas's pixels changed. Drawing that goes round
  // the canvas's own operations (blits on its context) calls it.
  void Changed() {
    if (OnChange) OnChange(this);
  }
  TNotifyEvent OnChange;

 private:
  HDC FHandle;
};

// --- Bitmap -----------------------------------------------------------------

// A raster picture with a pixel format. A newly sized bitmap is white (the
// new area of a bitmap made larger too); an indexed bitmap gets its format's
// standard table (pf1bit black and white, pf4bit the VGA colours, pf8bit
// the halftone table).
//
// Changing PixelFormat converts the pixels: to a direct format exactly; to an
// indexed format each pixel takes the nearest colour (squared RGB distance)
// of the target table, which is the bitmap's own table when it was indexed
// already and the table fits the new format, otherwise the new format's
// standard table. 5-bit channels widen as (v << 3) | (v >> 2), 6-bit ones as
// (v << 2) | (v >> 4).
class TBitmap : public TGraphic {
 public:
  TBitmap();
  ~TBitmap() override;
  TBitmap(const TBitmap&) = delete;
  TBitmap& operator=(const TBitmap&) = delete;
  const char* ClassName() const override { return "TBitmap"; }

  int Width() const override { return FDib->Width; }
  int Height() const override { return FDib->Height; }
  void SetWidth(int value) override { SetSize(value, Height()); }
  void SetHeight(int value) override { SetSize(Width(), value); }
  // Keeps the pixels that stay inside and fills new area white.
  void SetSize(int width, int height);
  // Sizes the bitmap anew without giving its bytes a value (see
  // CreateUnfilledDib): the caller writes every byte of every row.
  void SetSizeUnfilled(int width, int height);
  bool Empty() const override { return FDib->Width == 0 || FDib->Height == 0; }

  TPixelFormat PixelFormat() const { return FPixelFormat; }
  void SetPixelFormat(TPixelFormat format);

  // Row 0 is the top. Raises EInvalidGraphicOperation "Scan line index out of
  // range" for a row outside the bitmap.
  uint8_t* ScanLine(int row);
  const uint8_t* ScanLine(int row) const;

  TCanvas* Canvas();

  // The pixel store; valid until the bitmap is freed.
  HBITMAP Handle() const { return FDib.get(); }
  // The colour table of indexed formats (empty for direct formats).
  const std::vector<RGBQUAD>& ColorTable() const { return FDib->ColorTable; }
  // Replaces the colour table (indices stay as they are; up to 2^bits
  // entries are kept). Direct formats and Monochrome bitmaps keep theirs.
  void SetColorTable(const std::vector<RGBQUAD>& table);
  // A palette made from the colour table (none for a direct format unless
  // one was set), owned by the bitmap.
  HPALETTE Palette() override;
  // Takes ownership of the palette; an indexed bitmap (not Monochrome) also
  // takes its entries as its colour table (indices unchanged).
  void SetPalette(HPALETTE palette) override;
  // Hands the palette to the caller, who then owns it.
  HPALETTE ReleasePalette();

  // A 1-bit device bitmap (see TDibSection::Monochrome).
  bool Monochrome() const { return FDib->Monochrome; }
  void SetMonochrome(bool value);

  TTransparentMode TransparentMode() const { return FTransparentMode; }
  void SetTransparentMode(TTransparentMode mode);
  // With tmAuto the colour of the bottom-left pixel (clDefault for an empty
  // bitmap), else the fixed colour.
  TColor TransparentColor() const;
  // Fixes the transparent colour (the mode becomes tmFixed; clDefault makes
  // it tmAuto again).
  void SetTransparentColor(TColor color);

  void Assign(const TPersistent* source) override;
  // As Assign from another bitmap, but takes its pixels over instead of
  // copying them; the other bitmap is left empty (0 x 0).
  void TakeOver(TBitmap& source);
  void LoadFromStream(TStream& stream) override;  // a BMP file
  void SaveToStream(TStream& stream) override;    // a BMP file in the pixel format
  // Stretches the bitmap onto the canvas with its CopyMode and stretch mode;
  // a Transparent bitmap leaves the target pixels whose source pixel has
  // the TransparentColor (see TransparentBlt).
  // Draws into the rectangle; a different size scales by dropping or
  // repeating pixels (no averaging, no ANDing), a transparent bitmap leaves
  // the target where its pixels have the transparent colour.
  void Draw(TCanvas& canvas, const TRect& rect) override;

  // Reads a BMP file from memory (file header included); raises
  // EInvalidGraphic "Bitmap image is not valid" for malformed data.
  void LoadFromMemory(const uint8_t* data, size_t size);

  // CF_BITMAP data: a block holding the bitmap as a packed DIB (as a BMP
  // file without its 14-byte file header). Loading takes the palette, when
  // one is given, as the bitmap's palette (an indexed bitmap its colours as
  // its table); other formats or no data raise "Unsupported clipboard
  // format", malformed data "Bitmap image is not valid". Saving gives a
  // copy of the bitmap's palette (none for a direct format without one);
  // EOutOfMemory when the block cannot be had.
  void LoadFromClipboardFormat(uint16_t format, HGLOBAL data, HPALETTE palette) override;
  void SaveToClipboardFormat(uint16_t& format, HGLOBAL& data, HPALETTE& palette) override;

 protected:
  void AssignTo(TPersistent* dest) const override;

 private:
  void ReplaceDib(HBITMAP dib, TPixelFormat format);
  void ConvertTo(TPixelFormat format);  // converts even to the same format
  void FreePalette();
  std::unique_ptr<TDibSection> FDib;
  TPixelFormat FPixelFormat = pfDevice;
  std::unique_ptr<TDeviceContext> FDC;
  std::unique_ptr<TCanvas> FCanvas;
  HPALETTE FPalette = nullptr;
  TTransparentMode FTransparentMode = tmAuto;
  TColor FTransparentColor = clDefault;
};

// Bits per pixel of a format (pfDevice and pfCustom count as 24).
int PixelFormatBits(TPixelFormat format);
// The format that holds a bitmap of that many bits per pixel.
TPixelFormat PixelFormatFromBits(int bitCount, bool rgb565);

// --- BMP file reading and writing (used by TBitmap and TIcon) ---------------

// The little-endian fields of BMP and icon headers.
inline uint16_t Get16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
inline uint32_t Get32(const uint8_t* p) {
  return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

// Parses a device-independent bitmap: an info header (core, info, V4 or V5)
// followed by its colour table and pixels, as found after a BMP file header
// or in an icon entry. bitsOffset, when not 0, is where the pixels start
// counted from the start of data (the BMP file's offset minus 14); otherwise
// they follow the colour table. With iconHalfHeight the header's height
// counts colour and mask rows together, and only the top half is read.
// Raises EInvalidGraphic "Bitmap image is not valid" for malformed data.
struct TDibHeaderInfo {
  int Width = 0, Height = 0, BitCount = 0;
  bool TopDown = false;
  size_t PixelsEnd = 0;  // offset in data just after the colour pixels
};
std::unique_ptr<TDibSection> ReadDib(const uint8_t* data, size_t size, size_t bitsOffset,
                                     bool iconHalfHeight, TDibHeaderInfo* info = nullptr);
// How a BMP file's data lies, read from its first bytes as TBitmap reads
// the file: the picture's size, the bit count of its pixels and of the
// bitmap they are read into, and the end of the data the reader uses (the
// end of the last row; the file's end for run-length data, whose end only
// its codes tell).
struct TBmpLayout {
  int Width = 0, Height = 0, BitCount = 0, OutBits = 0;
  uint64_t DataEnd = 0;
};
// The bytes at the start of a BMP file that hold all its layout: the file
// header and the largest info header.
constexpr size_t BmpHeaderBytes = 14 + 124;
// The layout of a BMP file of fileSize bytes from its first headSize bytes
// (BmpHeaderBytes of them, or the whole file when shorter). Raises
// EInvalidGraphic "Bitmap image is not valid" for whatever the reader
// refuses before it reads the pixels.
TBmpLayout ReadBmpLayout(const uint8_t* head, size_t headSize, uint64_t fileSize);
// The picture a DIB holds, read from its header as ReadDib reads it (data,
// size and bitsOffset as there), without decoding it: ReadDib takes the
// same DIB unless its picture cannot be made. Reads nothing of data past
// the first kDibHeadBytes. Raises EInvalidGraphic "Bitmap image is not
// valid" for whatever ReadDib refuses before it reads the pixels.
struct TDibShape {
  int Width = 0, Height = 0, BitCount = 0;
  bool RunLength = false;  // RLE8 or RLE4 pixels, whose end only their codes tell
};
constexpr size_t kDibHeadBytes = 124 + 16;  // the largest header, and masks after one
TDibShape ReadDibShape(const uint8_t* data, size_t size, size_t bitsOffset);
// Writes a BMP file (file header, info header, table, bottom-up pixels).
void WriteBmp(const TDibSection& dib, TStream& stream);

// --- Picture ----------------------------------------------------------------

using TGraphicFactory = std::function<std::unique_ptr<TGraphic>()>;

// Holds one graphic of any registered kind and loads files by extension.
class TPicture : public TPersistent {
 public:
  const char* ClassName() const override { return "TPicture"; }
  TGraphic* Graphic() const { return FGraphic.get(); }
  void SetGraphic(std::unique_ptr<TGraphic> graphic) { FGraphic = std::move(graphic); }
  int Width() const { return FGraphic ? FGraphic->Width() : 0; }
  int Height() const { return FGraphic ? FGraphic->Height() : 0; }
  // Picks the graphic class by the file's extension; EInvalidGraphic
  // "Unknown picture file extension (.xyz)" for one nobody registered.
  void LoadFromFile(const std::string& path);
  void SaveToFile(const std::string& path);
  void Assign(const TPersistent* source) override;

  // Registers a graphic class for an extension (without the dot, any case).
  static void RegisterFileFormat(const std::string& extension, const std::string& description,
                                 TGraphicFactory factory);
  static void UnregisterFileFormat(const std::string& extension);
  // The factory for an extension (with or without the dot), or empty.
  static TGraphicFactory FindFileFormat(const std::string& extension);

  // Clipboard data: a graphic class registered for a clipboard format
  // (CF_BITMAP is TBitmap's) makes the picture from data of that format.
  static void RegisterClipboardFormat(uint16_t format, TGraphicFactory factory);
  static void UnregisterClipboardFormat(uint16_t format);
  static bool SupportsClipboardFormat(uint16_t format);
  // A new graphic of the format's class loaded from the data (see
  // TGraphic::LoadFromClipboardFormat); "Unsupported clipboard format" for
  // a format nobody registered.
  void LoadFromClipboardFormat(uint16_t format, HGLOBAL data, HPALETTE palette);
  // The graphic's clipboard data; nothing (format 0, no data, no palette)
  // without a graphic.
  void SaveToClipboardFormat(uint16_t& format, HGLOBAL& data, HPALETTE& palette);

 private:
  std::unique_ptr<TGraphic> FGraphic;
};
