// Colour reduction: scan-line access, colour lookups, fixed palettes and
// the reduction of a bitmap to a palette.
#include "gif/gifreduce.h"

#include <algorithm>
#include <cstdlib>

#include "gif/gifimage.h"

// --- Scan-line access ---------------------------------------------------------

TDIBReader::TDIBReader(TBitmap& bitmap, TPixelFormat format) : TDIB(bitmap, format) {
  bitmap.SetPixelFormat(format);
}

TDIBWriter::TDIBWriter(TBitmap& bitmap, TPixelFormat format, int width, int height, HPALETTE palette)
    : TDIB(bitmap, format), FWidth(width), FHeight(height), FPalette(palette) {
  if (format != pf8bit && format != pf24bit) GIFError(sInvalidPixelFormat);
  if (width <= 0 || height <= 0) GIFError(sBadDimension);
  if (AlignedScanlineBytes(width, PixelFormatBits(format), 32) * height > MaxBitmapBytes)
    throw EOutOfMemory(sOutOfMemDIB);
}

uint8_t* TDIBWriter::ScanLine(int row) {
  if (!FMade) {
    FBitmap.Assign(nullptr);
    FBitmap.SetPixelFormat(FPixelFormat);
    FBitmap.SetSize(FWidth, FHeight);
    if (FPixelFormat == pf8bit) {
      std::vector<RGBQUAD> table(256);
      PALETTEENTRY entries[256];
      unsigned count = GetPaletteEntries(FPalette, 0, 256, entries);
      for (unsigned i = 0; i < count; ++i)
        table[i] = {entries[i].peBlue, entries[i].peGreen, entries[i].peRed, 0};
      FBitmap.SetColorTable(table);
    }
    FMade = true;
  }
  return FBitmap.ScanLine(row);
}

// --- DIBs of bitmaps ----------------------------------------------------------

namespace {

constexpr char sInvalidBitmap[] = "Bitmap image is not valid";

// The header of the bitmap's DIB in the format: the bitmap's own when it
// has one, else one made from its size.
BITMAPINFOHEADER DIBHeader(HBITMAP bitmap, TPixelFormat format) {
  DIBSECTION ds;
  int bytes = GetObject(bitmap, sizeof(ds), &ds);
  if (bytes == 0) GIFError(sInvalidBitmap);
  BITMAPINFOHEADER header;
  if (bytes < int(sizeof(BITMAP) + sizeof(BITMAPINFOHEADER)) || ds.dsBmih.biSize < sizeof(BITMAPINFOHEADER)) {
    header.biSize = sizeof(BITMAPINFOHEADER);
    header.biWidth = ds.dsBm.bmWidth;
    header.biHeight = ds.dsBm.bmHeight;
  } else {
    header = ds.dsBmih;
  }
  if (format != pf1bit && format != pf4bit && format != pf8bit && format != pf24bit)
    GIFError(sInvalidPixelFormat);
  header.biBitCount = uint16_t(PixelFormatBits(format));
  header.biPlanes = 1;
  header.biCompression = BI_RGB;
  int64_t imageSize = AlignedScanlineBytes(header.biWidth, header.biBitCount, 32) * std::abs(int64_t(header.biHeight));
  // As for every picture here: no more than 1 GiB of pixels.
  if (imageSize > MaxBitmapBytes) throw EOutOfMemory(sOutOfMemDIB);
  header.biSizeImage = uint32_t(imageSize);
  return header;
}

}  // namespace

void InternalGetDIBSizes(HBITMAP bitmap, int& infoHeaderSize, int& imageSize, TPixelFormat format) {
  BITMAPINFOHEADER header = DIBHeader(bitmap, format);
  // A colour table for 8 bits or fewer; the header is always BI_RGB, so
  // never with bit-field masks.
  infoHeaderSize = int(sizeof(BITMAPINFOHEADER));
  if (header.biBitCount <= 8) infoHeaderSize += int(sizeof(RGBQUAD)) << header.biBitCount;
  imageSize = int(header.biSizeImage);
}

bool InternalGetDIB(HBITMAP bitmap, HPALETTE palette, BITMAPINFO& info, std::vector<uint8_t>& bits,
                    TPixelFormat format) {
  info.bmiHeader = DIBHeader(bitmap, format);
  bits.assign(info.bmiHeader.biSizeImage, 0);
  // Held so that it goes also when the copy raises (a row it cannot make).
  std::unique_ptr<TDeviceContext, DCDeleter> dc(CheckGdiResult(CreateCompatibleDC()));
  if (palette) {
    SelectPalette(dc.get(), palette);
    RealizePalette(dc.get());
  }
  return GetDIBits(dc.get(), bitmap, 0, unsigned(std::abs(info.bmiHeader.biHeight)), bits.data(), info,
                   DIB_RGB_COLORS) != 0;
}

// --- Colour lookups -----------------------------------------------------------

TFastColorLookup::TFastColorLookup(HPALETTE palette) : TColorLookup(palette), FCache(32768, 0xFFFF) {
  FColors = int(GetPaletteEntries(palette, 0, 256, FEntries));
  for (int i = 0; i < FColors; ++i) {
    uint16_t& slot = FCache[size_t(Key(FEntries[i].peRed, FEntries[i].peGreen, FEntries[i].peBlue))];
    if (slot == 0xFFFF) slot = uint16_t(i);
  }
}

uint8_t TFastColorLookup::Lookup(uint8_t red, uint8_t green, uint8_t blue, uint8_t& r, uint8_t& g,
                                 uint8_t& b) {
  uint16_t& slot = FCache[size_t(Key(red, green, blue))];
  if (slot == 0xFFFF) {
    int best = 0, bestDistance = 0x30000;
    for (int i = 0; i < FColors; ++i) {
      const PALETTEENTRY& e = FEntries[i];
      int distance = std::abs(e.peRed - red) + std::abs(e.peGreen - green) + std::abs(e.peBlue - blue);
      if (distance < bestDistance) {
        bestDistance = distance;
        best = i;
      }
    }
    slot = uint16_t(best);
  }
  const PALETTEENTRY& e = FEntries[slot];
  r = e.peRed;
  g = e.peGreen;
  b = e.peBlue;
  return uint8_t(slot);
}

uint8_t TNetscapeColorLookup::Lookup(uint8_t red, uint8_t green, uint8_t blue, uint8_t& r, uint8_t& g,
                                     uint8_t& b) {
  int lr = (red + 3) / 51, lg = (green + 3) / 51, lb = (blue + 3) / 51;
  r = uint8_t(51 * lr);
  g = uint8_t(51 * lg);
  b = uint8_t(51 * lb);
  return uint8_t(36 * lr + 6 * lg + lb);
}

uint8_t TGrayScaleLookup::Lookup(uint8_t red, uint8_t green, uint8_t blue, uint8_t& r, uint8_t& g,
                                 uint8_t& b) {
  auto grey = uint8_t((77 * red + 150 * green + 29 * blue) >> 8);
  r = g = b = grey;
  return grey;
}

uint8_t TMonochromeLookup::Lookup(uint8_t red, uint8_t green, uint8_t blue, uint8_t& r, uint8_t& g,
                                  uint8_t& b) {
  bool white = 29 * blue + 150 * green + 77 * red > 32512;
  r = g = b = white ? 255 : 0;
  return white ? 1 : 0;
}

// --- Palettes -----------------------------------------------------------------

HPALETTE WebPalette() {
  TMaxLogPalette pal;
  pal.palNumEntries = 216;
  for (int r = 0; r < 6; ++r)
    for (int g = 0; g < 6; ++g)
      for (int b = 0; b < 6; ++b)
        pal.palPalEntry[36 * r + 6 * g + b] = {uint8_t(51 * r), uint8_t(51 * g), uint8_t(51 * b), 0};
  return CreatePalette(pal);
}

namespace {

constexpr uint8_t PC_NOCOLLAPSE = 4;

HPALETTE GreyPalette(std::initializer_list<int> levels) {
  TMaxLogPalette pal;
  for (int level : levels) {
    auto v = uint8_t(level);
    pal.palPalEntry[pal.palNumEntries++] = {v, v, v, PC_NOCOLLAPSE};
  }
  return CreatePalette(pal);
}

HPALETTE GreyRamp() {
  TMaxLogPalette pal;
  pal.palNumEntries = 256;
  for (int i = 0; i < 256; ++i) pal.palPalEntry[i] = {uint8_t(i), uint8_t(i), uint8_t(i), PC_NOCOLLAPSE};
  return CreatePalette(pal);
}

HPALETTE ReductionPalette(TColorReduction reduction, const TDIBReader& reader, int bits, HPALETTE palette) {
  switch (reduction) {
    case rmWindows20:
      return DefaultPalette();  // shared: deleting it does nothing
    case rmWindows256:
      return CreateHalftonePalette();
    case rmWindowsGray:
      return GreyPalette({0, 128, 192, 255});
    case rmMonochrome:
      return GreyPalette({0, 255});
    case rmGrayScale:
      return GreyRamp();
    case rmNetscape:
      return WebPalette();
    case rmQuantize:
      return CreateOptimizedPaletteFromSingleBitmap(reader, 1 << std::clamp(bits, 1, 8), 8, false);
    case rmQuantizeWindows:
      return CreateOptimizedPaletteFromSingleBitmap(reader, 256, 8, true);
    default:
      return CopyPalette(palette);
  }
}

std::unique_ptr<TColorLookup> ReductionLookup(TColorReduction reduction, HPALETTE palette) {
  switch (reduction) {
    case rmMonochrome:
      return std::make_unique<TMonochromeLookup>(palette);
    case rmGrayScale:
      return std::make_unique<TGrayScaleLookup>(palette);
    case rmNetscape:
      return std::make_unique<TNetscapeColorLookup>(palette);
    default:
      return std::make_unique<TFastColorLookup>(palette);
  }
}

struct PaletteDeleter {
  void operator()(TPaletteObject* palette) const { DeleteObject(palette); }
};

}  // namespace

std::unique_ptr<TBitmap> ReduceColors(TBitmap& source, TColorReduction reduction, TDitherMode dither,
                                      int bits, HPALETTE palette) {
  auto result = std::make_unique<TBitmap>();
  if (reduction == rmNone) {
    result->Assign(&source);
    result->SetPixelFormat(pf24bit);
    return result;
  }
  TDIBReader reader(source, pf24bit);
  std::unique_ptr<TPaletteObject, PaletteDeleter> owned(ReductionPalette(reduction, reader, bits, palette));
  std::unique_ptr<TColorLookup> lookup = ReductionLookup(reduction, owned.get());
  if (lookup->Colors() == 0) return result;
  int width = source.Width();
  std::unique_ptr<TDitherEngine> ditherer = CreateDitherer(dither, width, *lookup);
  TDIBWriter writer(*result, pf8bit, width, source.Height(), owned.get());
  for (int y = 0; y < source.Height(); ++y) {
    const uint8_t* in = reader.ScanLine(y);
    uint8_t* out = writer.ScanLine(y);
    uint8_t r, g, b;
    for (int x = ditherer->Column(); x >= 0 && x < width; x = ditherer->Column())
      out[x] = ditherer->Dither(in[3 * x + 2], in[3 * x + 1], in[3 * x], r, g, b);
    ditherer->NextLine();
  }
  return result;
}
