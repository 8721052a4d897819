#include "platform/graphics/gdi.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

#include <sys/mman.h>

// --- Colours ----------------------------------------------------------------

TColor ColorToRGB(TColor color) {
  if (color == clNone || color == clDefault) return color;
  if ((static_cast<uint32_t>(color) & 0xFF000000u) == 0xFF000000u) {
    // The classic light-grey look.
    switch (color & 0xFF) {
      case 0: return RGB(200, 200, 200);      // scroll bar
      case 1: return RGB(0, 128, 128);        // desktop
      case 2: return RGB(0, 84, 227);         // active caption
      case 3: return RGB(122, 150, 223);      // inactive caption
      case 4: return RGB(255, 255, 255);      // menu
      case 5: return RGB(255, 255, 255);      // window
      case 6: return RGB(0, 0, 0);            // window frame
      case 7: return RGB(0, 0, 0);            // menu text
      case 8: return RGB(0, 0, 0);            // window text
      case 9: return RGB(255, 255, 255);      // caption text
      case 10: return RGB(212, 208, 200);     // active border
      case 11: return RGB(212, 208, 200);     // inactive border
      case 12: return RGB(128, 128, 128);     // application workspace
      case 13: return RGB(49, 106, 197);      // highlight
      case 14: return RGB(255, 255, 255);     // highlight text
      case 15: return RGB(236, 233, 216);     // button face
      case 16: return RGB(172, 168, 153);     // button shadow
      case 17: return RGB(172, 168, 153);     // grey text
      case 18: return RGB(0, 0, 0);           // button text
      case 19: return RGB(216, 228, 248);     // inactive caption text
      case 20: return RGB(255, 255, 255);     // button highlight
      case 21: return RGB(113, 111, 100);     // 3D dark shadow
      case 22: return RGB(241, 239, 226);     // 3D light
      case 23: return RGB(0, 0, 0);           // info text
      case 24: return RGB(255, 255, 225);     // info background
      default: return RGB(0, 0, 0);
    }
  }
  return color & 0x00FFFFFF;
}

// --- Standard colour tables ---------------------------------------------------

namespace {
constexpr RGBQUAD Q(uint8_t r, uint8_t g, uint8_t b) { return RGBQUAD{b, g, r, 0}; }
}  // namespace

const std::array<RGBQUAD, 20>& DefaultColors() {
  static const std::array<RGBQUAD, 20> table = {
      Q(0, 0, 0),       Q(128, 0, 0),     Q(0, 128, 0),     Q(128, 128, 0),   Q(0, 0, 128),
      Q(128, 0, 128),   Q(0, 128, 128),   Q(192, 192, 192), Q(192, 220, 192), Q(166, 202, 240),
      Q(255, 251, 240), Q(160, 160, 164), Q(128, 128, 128), Q(255, 0, 0),     Q(0, 255, 0),
      Q(255, 255, 0),   Q(0, 0, 255),     Q(255, 0, 255),   Q(0, 255, 255),   Q(255, 255, 255)};
  return table;
}

const std::array<RGBQUAD, 16>& Vga16Colors() {
  static const std::array<RGBQUAD, 16> table = {
      Q(0, 0, 0),     Q(128, 0, 0),     Q(0, 128, 0),     Q(128, 128, 0), Q(0, 0, 128),   Q(128, 0, 128),
      Q(0, 128, 128), Q(192, 192, 192), Q(128, 128, 128), Q(255, 0, 0),   Q(0, 255, 0),   Q(255, 255, 0),
      Q(0, 0, 255),   Q(255, 0, 255),   Q(0, 255, 255),   Q(255, 255, 255)};
  return table;
}

const std::array<RGBQUAD, 256>& HalftoneColors() {
  static const std::array<RGBQUAD, 256> table = [] {
    std::array<RGBQUAD, 256> t{};
    const auto& d = DefaultColors();
    for (int i = 0; i < 10; ++i) t[i] = d[i];
    for (int r = 0; r < 6; ++r)
      for (int g = 0; g < 6; ++g)
        for (int b = 0; b < 6; ++b)
          t[10 + 36 * r + 6 * g + b] = Q(static_cast<uint8_t>(51 * r), static_cast<uint8_t>(51 * g),
                                         static_cast<uint8_t>(51 * b));
    for (int i = 1; i <= 20; ++i) {
      auto v = static_cast<uint8_t>(std::lround(i * 255.0 / 21.0));
      t[225 + i] = Q(v, v, v);
    }
    for (int i = 0; i < 10; ++i) t[246 + i] = d[10 + i];
    return t;
  }();
  return table;
}

int NearestColorIndex(const RGBQUAD* table, int count, uint8_t r, uint8_t g, uint8_t b) {
  int best = 0;
  int bestDistance = 0x7FFFFFFF;
  for (int i = 0; i < count; ++i) {
    int dr = table[i].rgbRed - r, dg = table[i].rgbGreen - g, db = table[i].rgbBlue - b;
    int distance = dr * dr + dg * dg + db * db;
    if (distance < bestDistance) {
      bestDistance = distance;
      best = i;
      if (distance == 0) break;
    }
  }
  return best;
}

TNearestColorCache::TNearestColorCache(const RGBQUAD* table, int count)
    : FTable(table),
      FCount(count),
      FCache(32768, -1),
      FKeys(32768, 0),
      FCellStart(4096, -1),
      FCellCount(4096, 0) {}

int TNearestColorCache::Find(uint8_t r, uint8_t g, uint8_t b) {
  if (FCount <= 0) return 0;
  uint32_t key = (uint32_t(r) << 16) | (uint32_t(g) << 8) | b;
  size_t slot = ((r >> 3) << 10) | ((g >> 3) << 5) | (b >> 3);
  if (FCache[slot] >= 0 && FKeys[slot] == key) return FCache[slot];
  int index = FCount <= 0xFFFF ? Search(r, g, b) : NearestColorIndex(FTable, FCount, r, g, b);
  FCache[slot] = index;
  FKeys[slot] = key;
  return index;
}

int TNearestColorCache::Search(uint8_t r, uint8_t g, uint8_t b) {
  size_t cell = ((r >> 4) << 8) | ((g >> 4) << 4) | (b >> 4);
  if (FCellStart[cell] < 0) {
    // An entry can be the nearest to a colour of the cell only when its
    // least distance to the cell is within the smallest greatest distance
    // any entry has to the cell.
    int lo[3] = {r & 0xF0, g & 0xF0, b & 0xF0};
    auto distances = [&](const RGBQUAD& q, int& least, int& greatest) {
      int v[3] = {q.rgbRed, q.rgbGreen, q.rgbBlue};
      least = greatest = 0;
      for (int c = 0; c < 3; ++c) {
        int below = lo[c] - v[c], above = v[c] - (lo[c] + 15);
        int outside = std::max({below, above, 0});
        int farthest = std::max(std::abs(v[c] - lo[c]), std::abs(v[c] - lo[c] - 15));
        least += outside * outside;
        greatest += farthest * farthest;
      }
    };
    int bound = 0x7FFFFFFF;
    for (int i = 0; i < FCount; ++i) {
      int least, greatest;
      distances(FTable[i], least, greatest);
      bound = std::min(bound, greatest);
    }
    FCellStart[cell] = static_cast<int32_t>(FCandidates.size());
    for (int i = 0; i < FCount; ++i) {
      int least, greatest;
      distances(FTable[i], least, greatest);
      if (least <= bound) FCandidates.push_back(static_cast<uint16_t>(i));
    }
    FCellCount[cell] = static_cast<uint16_t>(FCandidates.size() - static_cast<size_t>(FCellStart[cell]));
  }
  // The candidates are in table order, so the first of equally near ones wins.
  int best = 0, bestDistance = 0x7FFFFFFF;
  const uint16_t* candidates = FCandidates.data() + FCellStart[cell];
  for (int k = 0; k < FCellCount[cell]; ++k) {
    const RGBQUAD& q = FTable[candidates[k]];
    int dr = q.rgbRed - r, dg = q.rgbGreen - g, db = q.rgbBlue - b;
    int distance = dr * dr + dg * dg + db * db;
    if (distance < bestDistance) {
      bestDistance = distance;
      best = candidates[k];
    }
  }
  return best;
}

// --- Palettes -----------------------------------------------------------------

HPALETTE CreatePalette(const PALETTEENTRY* entries, int count) {
  auto* palette = new TPaletteObject;
  if (count > 0 && entries) palette->Entries.assign(entries, entries + count);
  return palette;
}

HPALETTE CreatePalette(const TMaxLogPalette& logPalette) {
  return CreatePalette(logPalette.palPalEntry, std::min<int>(logPalette.palNumEntries, 256));
}

HPALETTE CopyPalette(HPALETTE palette) {
  if (!palette) return nullptr;
  return CreatePalette(palette->Entries.data(), static_cast<int>(palette->Entries.size()));
}

unsigned GetPaletteEntries(HPALETTE palette, unsigned start, unsigned count, PALETTEENTRY* entries) {
  if (!palette) return 0;
  unsigned size = static_cast<unsigned>(palette->Entries.size());
  if (!entries) return size;
  if (start >= size) return 0;
  unsigned n = std::min(count, size - start);
  std::copy_n(palette->Entries.begin() + start, n, entries);
  return n;
}

unsigned SetPaletteEntries(HPALETTE palette, unsigned start, unsigned count, const PALETTEENTRY* entries) {
  if (!palette || palette->Stock || !entries) return 0;
  unsigned size = static_cast<unsigned>(palette->Entries.size());
  if (start >= size) return 0;
  unsigned n = std::min(count, size - start);
  std::copy_n(entries, n, palette->Entries.begin() + start);
  return n;
}

bool ResizePalette(HPALETTE palette, unsigned count) {
  if (!palette || palette->Stock || count > 1024) return false;
  palette->Entries.resize(count);
  return true;
}

unsigned GetNearestPaletteIndex(HPALETTE palette, TColor color) {
  return GetNearestPaletteIndex(palette, color, palette ? palette->Entries.size() : 0);
}

unsigned GetNearestPaletteIndex(HPALETTE palette, TColor color, size_t entries) {
  if (!palette) return CLR_INVALID;
  entries = std::min(entries, palette->Entries.size());
  if (entries == 0) return CLR_INVALID;
  color = ColorToRGB(color);
  unsigned best = 0;
  int bestDistance = 0x7FFFFFFF;
  for (size_t i = 0; i < entries; ++i) {
    const PALETTEENTRY& e = palette->Entries[i];
    int dr = e.peRed - GetRValue(color), dg = e.peGreen - GetGValue(color), db = e.peBlue - GetBValue(color);
    int distance = dr * dr + dg * dg + db * db;
    if (distance < bestDistance) {
      bestDistance = distance;
      best = static_cast<unsigned>(i);
    }
  }
  return best;
}

namespace {
HPALETTE PaletteFromQuads(const RGBQUAD* quads, int count) {
  auto* palette = new TPaletteObject;
  palette->Entries.resize(static_cast<size_t>(count));
  for (int i = 0; i < count; ++i)
    palette->Entries[static_cast<size_t>(i)] = {quads[i].rgbRed, quads[i].rgbGreen, quads[i].rgbBlue, 0};
  return palette;
}
}  // namespace

HPALETTE CreateHalftonePalette() { return PaletteFromQuads(HalftoneColors().data(), 256); }

HPALETTE DefaultPalette() {
  static HPALETTE stock = [] {
    HPALETTE p = PaletteFromQuads(DefaultColors().data(), 20);
    p->Stock = true;
    return p;
  }();
  return stock;
}

bool DeleteObject(HPALETTE palette) {
  if (!palette || palette->Stock) return false;
  delete palette;
  return true;
}

// --- DIBs ---------------------------------------------------------------------

int64_t AlignedRowBytes(int64_t width, int bitCount, int alignment) {
  return ((width * bitCount + alignment - 1) & ~int64_t(alignment - 1)) / 8;
}

int BytesPerScanLine(int width, int bitCount) { return static_cast<int>(AlignedRowBytes(width, bitCount)); }

namespace {
HBITMAP NewDib(int width, int height, int bitCount, bool rgb565, bool fill) {
  if (width < 0 || height < 0) throw EInvalidGraphicOperation("Invalid image size");
  switch (bitCount) {
    case 1: case 4: case 8: case 16: case 24: case 32: break;
    default: throw EInvalidGraphicOperation("Invalid pixel format");
  }
  int64_t stride = AlignedRowBytes(width, bitCount);
  // Checked by division: stride * height itself may not fit in 64 bits.
  if (stride > MaxBitmapBytes || (height > 0 && stride > MaxBitmapBytes / height))
    throw EOutOfMemory("Out of memory");
  int64_t bytes = stride * height;
  auto* dib = new TDibSection;
  dib->Width = width;
  dib->Height = height;
  dib->BitCount = bitCount;
  dib->Rgb565 = bitCount == 16 && rgb565;
  dib->Stride = static_cast<int>(stride);
  try {
    if (fill)
      dib->Bits.assign(static_cast<size_t>(bytes), 0);
    else
      dib->Bits.resize(static_cast<size_t>(bytes));
  } catch (const std::bad_alloc&) {
    delete dib;
    throw EOutOfMemory("Out of memory");
  }
  return dib;
}

}  // namespace

HBITMAP CreateDib(int width, int height, int bitCount, bool rgb565) {
  return NewDib(width, height, bitCount, rgb565, true);
}

HBITMAP CreateUnfilledDib(int width, int height, int bitCount, bool rgb565) {
  return NewDib(width, height, bitCount, rgb565, false);
}

namespace {
constexpr size_t kHugePage = size_t(2) << 20;
}  // namespace

size_t PixelMemorySize(size_t bytes) {
  return bytes < kHugePage ? std::max<size_t>(bytes, 1) : (bytes + kHugePage - 1) / kHugePage * kHugePage;
}

void* AllocatePixelMemory(size_t bytes) {
  if (bytes < kHugePage) {
    if (void* memory = std::malloc(PixelMemorySize(bytes))) return memory;
    throw std::bad_alloc();
  }
  const size_t rounded = PixelMemorySize(bytes);
  void* memory = std::aligned_alloc(kHugePage, rounded);
  if (!memory) throw std::bad_alloc();
  // Only advice: without huge pages the memory works all the same.
  madvise(memory, rounded, MADV_HUGEPAGE);
  return memory;
}

void FreePixelMemory(void* memory) { std::free(memory); }

bool DeleteObject(HBITMAP bitmap) {
  delete bitmap;
  return bitmap != nullptr;
}

namespace {
inline uint8_t Widen5(unsigned v) { return static_cast<uint8_t>((v << 3) | (v >> 2)); }
inline uint8_t Widen6(unsigned v) { return static_cast<uint8_t>((v << 2) | (v >> 4)); }

const RGBQUAD kMonoTable[2] = {RGBQUAD{0, 0, 0, 0}, RGBQUAD{255, 255, 255, 0}};

// The table a pixel index is looked up in (always black, white for a
// monochrome device bitmap).
inline const RGBQUAD* TableOf(const TDibSection& dib, int& count) {
  if (dib.Monochrome) {
    count = 2;
    return kMonoTable;
  }
  count = static_cast<int>(dib.ColorTable.size());
  return dib.ColorTable.data();
}

// A nearest-colour cache for the table, kept per thread and reused while the
// rows written go on using a table of the same colours, so writing row by
// row does not build a new cache for every row.
TNearestColorCache& CacheFor(const RGBQUAD* table, int count) {
  thread_local std::vector<RGBQUAD> cachedTable;
  thread_local std::unique_ptr<TNearestColorCache> cache;
  if (!cache || cachedTable.size() != static_cast<size_t>(count) ||
      !std::equal(cachedTable.begin(), cachedTable.end(), table)) {
    cachedTable.assign(table, table + count);
    cache = std::make_unique<TNearestColorCache>(cachedTable.data(), count);
  }
  return *cache;
}

}  // namespace

void DibReadRow(const TDibSection& dib, int y, int x, int count, uint8_t* bgr) {
  const uint8_t* row = dib.ScanLine(y);
  switch (dib.BitCount) {
    case 24:
      std::memcpy(bgr, row + 3 * x, static_cast<size_t>(count) * 3);
      return;
    case 32:
      for (int i = 0; i < count; ++i) {
        const uint8_t* p = row + 4 * (x + i);
        bgr[3 * i] = p[0];
        bgr[3 * i + 1] = p[1];
        bgr[3 * i + 2] = p[2];
      }
      return;
    case 16:
      for (int i = 0; i < count; ++i) {
        const uint8_t* p = row + 2 * (x + i);
        unsigned v = p[0] | (p[1] << 8);
        if (dib.Rgb565) {
          bgr[3 * i] = Widen5(v & 31);
          bgr[3 * i + 1] = Widen6((v >> 5) & 63);
          bgr[3 * i + 2] = Widen5((v >> 11) & 31);
        } else {
          bgr[3 * i] = Widen5(v & 31);
          bgr[3 * i + 1] = Widen5((v >> 5) & 31);
          bgr[3 * i + 2] = Widen5((v >> 10) & 31);
        }
      }
      return;
    default: {
      int tableSize;
      const RGBQUAD* table = TableOf(dib, tableSize);
      for (int i = 0; i < count; ++i) {
        int index = IndexAt(row, x + i, dib.BitCount);
        if (index < tableSize) {
          bgr[3 * i] = table[index].rgbBlue;
          bgr[3 * i + 1] = table[index].rgbGreen;
          bgr[3 * i + 2] = table[index].rgbRed;
        } else {
          bgr[3 * i] = bgr[3 * i + 1] = bgr[3 * i + 2] = 0;
        }
      }
    }
  }
}

void DibWriteRow(TDibSection& dib, int y, int x, int count, const uint8_t* bgr) {
  uint8_t* row = dib.ScanLine(y);
  switch (dib.BitCount) {
    case 24:
      std::memcpy(row + 3 * x, bgr, static_cast<size_t>(count) * 3);
      return;
    case 32:
      for (int i = 0; i < count; ++i) {
        uint8_t* p = row + 4 * (x + i);
        p[0] = bgr[3 * i];
        p[1] = bgr[3 * i + 1];
        p[2] = bgr[3 * i + 2];
        p[3] = 0;
      }
      return;
    case 16:
      for (int i = 0; i < count; ++i) {
        unsigned b = bgr[3 * i], g = bgr[3 * i + 1], r = bgr[3 * i + 2];
        unsigned v = dib.Rgb565 ? ((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3)
                                : ((r >> 3) << 10) | ((g >> 3) << 5) | (b >> 3);
        row[2 * (x + i)] = static_cast<uint8_t>(v);
        row[2 * (x + i) + 1] = static_cast<uint8_t>(v >> 8);
      }
      return;
    default: {
      int tableSize;
      const RGBQUAD* table = TableOf(dib, tableSize);
      if (count <= 4) {
        for (int i = 0; i < count; ++i)
          SetIndexAt(row, x + i, dib.BitCount,
                     NearestColorIndex(table, tableSize, bgr[3 * i + 2], bgr[3 * i + 1], bgr[3 * i]));
        return;
      }
      TNearestColorCache& cache = CacheFor(table, tableSize);
      for (int i = 0; i < count; ++i)
        SetIndexAt(row, x + i, dib.BitCount, cache.Find(bgr[3 * i + 2], bgr[3 * i + 1], bgr[3 * i]));
    }
  }
}

uint32_t DibGetPixel(const TDibSection& dib, int x, int y) {
  if (x < 0 || y < 0 || x >= dib.Width || y >= dib.Height) return CLR_INVALID;
  uint8_t bgr[3];
  DibReadRow(dib, y, x, 1, bgr);
  return static_cast<uint32_t>(RGB(bgr[2], bgr[1], bgr[0]));
}

void DibSetPixel(TDibSection& dib, int x, int y, TColor color) {
  if (x < 0 || y < 0 || x >= dib.Width || y >= dib.Height) return;
  uint8_t bgr[3] = {GetBValue(color), GetGValue(color), GetRValue(color)};
  DibWriteRow(dib, y, x, 1, bgr);
}

std::vector<RGBQUAD> StandardColorTable(int bitCount) {
  switch (bitCount) {
    case 1: return {RGBQUAD{0, 0, 0, 0}, RGBQUAD{255, 255, 255, 0}};
    case 4: return {Vga16Colors().begin(), Vga16Colors().end()};
    case 8: return {HalftoneColors().begin(), HalftoneColors().end()};
    default: return {};
  }
}

// --- DIB descriptions -----------------------------------------------------------

int GetObject(HBITMAP bitmap, int size, void* buffer) {
  if (!bitmap || !buffer || size < static_cast<int>(sizeof(BITMAP))) return 0;
  BITMAP bm;
  bm.bmWidth = bitmap->Width;
  bm.bmHeight = bitmap->Height;
  bm.bmWidthBytes = bitmap->Stride;
  bm.bmPlanes = 1;
  bm.bmBitsPixel = static_cast<uint16_t>(bitmap->BitCount);
  if (bitmap->Monochrome || size < static_cast<int>(sizeof(DIBSECTION))) {
    std::memcpy(buffer, &bm, sizeof(bm));
    return sizeof(BITMAP);
  }
  DIBSECTION ds;
  bm.bmBits = bitmap->Bits.data();
  ds.dsBm = bm;
  BITMAPINFOHEADER& h = ds.dsBmih;
  h.biSize = sizeof(BITMAPINFOHEADER);
  h.biWidth = bitmap->Width;
  h.biHeight = bitmap->Height;
  h.biPlanes = 1;
  h.biBitCount = static_cast<uint16_t>(bitmap->BitCount);
  h.biCompression = bitmap->Rgb565 ? BI_BITFIELDS : BI_RGB;
  h.biSizeImage = static_cast<uint32_t>(bitmap->Bits.size());
  h.biClrUsed = bitmap->BitCount <= 8 ? static_cast<uint32_t>(bitmap->ColorTable.size()) : 0;
  if (bitmap->Rgb565) {
    ds.dsBitfields[0] = 0xF800;
    ds.dsBitfields[1] = 0x07E0;
    ds.dsBitfields[2] = 0x001F;
  }
  std::memcpy(buffer, &ds, sizeof(ds));
  return sizeof(DIBSECTION);
}

int GetDIBits(HDC dc, HBITMAP bitmap, unsigned startScan, unsigned scanLines, void* bits, BITMAPINFO& info,
              unsigned usage) {
  BITMAPINFOHEADER& h = info.bmiHeader;
  if (!bitmap || usage != DIB_RGB_COLORS || h.biSize < sizeof(BITMAPINFOHEADER) || h.biCompression != BI_RGB ||
      h.biWidth != bitmap->Width || std::abs(int64_t(h.biHeight)) != bitmap->Height)
    return 0;
  const int bitCount = h.biBitCount;
  switch (bitCount) {
    case 1: case 4: case 8: case 16: case 24: case 32: break;
    default: return 0;
  }
  // One row of the asked format; indexed rows are written through its table.
  std::unique_ptr<TDibSection> row(CreateDib(bitmap->Width, 1, bitCount));
  const bool sameIndexed = bitCount <= 8 && bitmap->BitCount == bitCount && !bitmap->Monochrome;
  if (bitCount <= 8) {
    if (sameIndexed)
      row->ColorTable = bitmap->ColorTable;
    else if (dc && dc->Palette && !dc->Palette->Entries.empty())
      for (const PALETTEENTRY& e : dc->Palette->Entries) row->ColorTable.push_back({e.peBlue, e.peGreen, e.peRed, 0});
    else
      row->ColorTable = StandardColorTable(bitCount);
    row->ColorTable.resize(size_t(1) << bitCount);
    std::copy(row->ColorTable.begin(), row->ColorTable.end(), info.bmiColors);
  }
  h.biSizeImage = static_cast<uint32_t>(row->Stride) * static_cast<uint32_t>(bitmap->Height);
  h.biClrUsed = 0;
  if (!bits) return bitmap->Height;

  const bool bottomUp = h.biHeight > 0;
  const unsigned height = static_cast<unsigned>(bitmap->Height);
  const unsigned count = startScan >= height ? 0 : std::min(scanLines, height - startScan);
  std::vector<uint8_t> bgr(static_cast<size_t>(bitmap->Width) * 3);
  auto* out = static_cast<uint8_t*>(bits);
  for (unsigned i = 0; i < count; ++i) {
    unsigned scan = startScan + i;
    int y = static_cast<int>(bottomUp ? height - 1 - scan : scan);
    if (sameIndexed || (bitCount == bitmap->BitCount && bitCount > 8 && !bitmap->Rgb565)) {
      std::memcpy(out, bitmap->ScanLine(y), static_cast<size_t>(row->Stride));
    } else {
      DibReadRow(*bitmap, y, 0, bitmap->Width, bgr.data());
      DibWriteRow(*row, 0, 0, bitmap->Width, bgr.data());
      std::memcpy(out, row->ScanLine(0), static_cast<size_t>(row->Stride));
    }
    out += row->Stride;
  }
  return static_cast<int>(count);
}

// --- Device contexts ------------------------------------------------------------

HDC CreateCompatibleDC(HDC) { return new TDeviceContext; }

bool DeleteDC(HDC dc) {
  delete dc;
  return dc != nullptr;
}

HBITMAP SelectObject(HDC dc, HBITMAP bitmap) {
  if (!dc) return nullptr;
  HBITMAP old = dc->Bitmap;
  dc->Bitmap = bitmap;
  return old;
}

HPALETTE SelectPalette(HDC dc, HPALETTE palette, bool) {
  if (!dc) return nullptr;
  HPALETTE old = dc->Palette;
  dc->Palette = palette;
  return old;
}

unsigned RealizePalette(HDC dc) {
  return dc && dc->Palette ? static_cast<unsigned>(dc->Palette->Entries.size()) : 0;
}

int SetStretchBltMode(HDC dc, int mode) {
  if (!dc || mode < BLACKONWHITE || mode > HALFTONE) return 0;
  int old = dc->StretchMode;
  dc->StretchMode = mode;
  return old;
}

int GetStretchBltMode(HDC dc) { return dc ? dc->StretchMode : 0; }

namespace {
std::atomic<int> gScreenPixelsPerInchX{96}, gScreenPixelsPerInchY{96};
}  // namespace

int GetDeviceCaps(HDC, int index) {
  switch (index) {
    case LOGPIXELSX:
      return gScreenPixelsPerInchX;
    case LOGPIXELSY:
      return gScreenPixelsPerInchY;
    default:
      return 0;
  }
}

void SetScreenPixelsPerInch(int x, int y) {
  if (x > 0) gScreenPixelsPerInchX = x;
  if (y > 0) gScreenPixelsPerInchY = y;
}

TColor SetBkColor(HDC dc, TColor color) {
  if (!dc) return static_cast<TColor>(CLR_INVALID);
  TColor old = dc->BkColor;
  dc->BkColor = ColorToRGB(color);
  return old;
}

TColor SetTextColor(HDC dc, TColor color) {
  if (!dc) return static_cast<TColor>(CLR_INVALID);
  TColor old = dc->TextColor;
  dc->TextColor = ColorToRGB(color);
  return old;
}

TColor SetBrushColor(HDC dc, TColor color) {
  if (!dc) return static_cast<TColor>(CLR_INVALID);
  TColor old = dc->BrushColor;
  dc->BrushColor = ColorToRGB(color);
  return old;
}
