#include "platform/graphics/graphics.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <mutex>
#include <typeinfo>

// --- TGraphic -------------------------------------------------------------------

void TGraphic::SetTransparent(bool value) {
  if (value == FTransparent) return;
  FTransparent = value;
  Changed();
}

void TGraphic::Changed() {
  Modified = true;
  if (OnChange) OnChange(this);
}

void TGraphic::LoadFromFile(const std::string& path) {
  TFileStream stream(path, fmOpenRead | fmShareDenyWrite);
  LoadFromStream(stream);
}

void TGraphic::SaveToFile(const std::string& path) {
  TFileStream stream(path, fmCreate);
  SaveToStream(stream);
  stream.Close();
}

bool TGraphic::Equals(TGraphic* graphic) {
  if (graphic == this) return true;
  if (!graphic || typeid(*graphic) != typeid(*this)) return false;
  if (Empty() || graphic->Empty()) return Empty() && graphic->Empty();
  TMemoryStream mine, theirs;
  WriteData(mine);
  graphic->WriteData(theirs);
  return mine.Size() == theirs.Size() &&
         std::equal(mine.Memory(), mine.Memory() + mine.Size(), theirs.Memory());
}

void TGraphic::ReadData(TStream& stream) { LoadFromStream(stream); }

void TGraphic::WriteData(TStream& stream) { SaveToStream(stream); }

void TGraphic::LoadFromClipboardFormat(uint16_t, HGLOBAL, HPALETTE) { UnsupportedClipboardFormat(); }

void TGraphic::SaveToClipboardFormat(uint16_t&, HGLOBAL&, HPALETTE&) { UnsupportedClipboardFormat(); }

void UnsupportedClipboardFormat() { throw EInvalidGraphic(SUnknownClipboardFormat); }

// --- Pixel formats ----------------------------------------------------------------

int PixelFormatBits(TPixelFormat format) {
  switch (format) {
    case pf1bit: return 1;
    case pf4bit: return 4;
    case pf8bit: return 8;
    case pf15bit:
    case pf16bit: return 16;
    case pf32bit: return 32;
    default: return 24;
  }
}

TPixelFormat PixelFormatFromBits(int bitCount, bool rgb565) {
  switch (bitCount) {
    case 1: return pf1bit;
    case 4: return pf4bit;
    case 8: return pf8bit;
    case 16: return rgb565 ? pf16bit : pf15bit;
    case 32: return pf32bit;
    default: return pf24bit;
  }
}

namespace {
// Fills rows [fromRow, toRow) from column fromCol on with white (the nearest
// table colour for indexed formats).
void FillWhite(TDibSection& dib, int fromCol, int fromRow, int toRow) {
  if (fromCol >= dib.Width || fromRow >= toRow) return;
  int count = dib.Width - fromCol;
  if (dib.BitCount == 24) {
    for (int y = fromRow; y < toRow; ++y) std::memset(dib.ScanLine(y) + 3 * static_cast<size_t>(fromCol), 0xFF, 3 * static_cast<size_t>(count));
    return;
  }
  std::vector<uint8_t> white(static_cast<size_t>(count) * 3, 0xFF);
  // Whole rows are all alike: the first one is copied to the others.
  DibWriteRow(dib, fromRow, fromCol, count, white.data());
  for (int y = fromRow + 1; y < toRow; ++y) {
    if (fromCol == 0)
      std::memcpy(dib.ScanLine(y), dib.ScanLine(fromRow), static_cast<size_t>(dib.Stride));
    else
      DibWriteRow(dib, y, fromCol, count, white.data());
  }
}
}  // namespace

// --- TBitmap ----------------------------------------------------------------------

TBitmap::TBitmap() : FDib(CreateDib(0, 0, 24)), FDC(new TDeviceContext) { FDC->Bitmap = FDib.get(); }

TBitmap::~TBitmap() { FreePalette(); }

void TBitmap::FreePalette() {
  if (FPalette) DeleteObject(FPalette);
  FPalette = nullptr;
}

void TBitmap::ReplaceDib(HBITMAP dib, TPixelFormat format) {
  // The pixel store object keeps its identity (canvases and handles hold it).
  *FDib = std::move(*dib);
  delete dib;
  FPixelFormat = format;
}

void TBitmap::SetSize(int width, int height) {
  if (width == Width() && height == Height()) return;
  std::unique_ptr<TDibSection> dib(CreateDib(width, height, FDib->BitCount, FDib->Rgb565));
  dib->Monochrome = FDib->Monochrome;
  dib->ColorTable = FDib->ColorTable;
  int keepW = std::min(width, Width()), keepH = std::min(height, Height());
  // Kept pixels are copied bit for bit (indexed ones keep their index); the
  // rest of each row and the new rows become white.
  int64_t keepBits = int64_t(keepW) * FDib->BitCount;
  size_t wholeBytes = static_cast<size_t>(keepBits / 8);
  auto partMask = static_cast<uint8_t>(0xFF00 >> (keepBits % 8));
  for (int y = 0; keepW > 0 && y < keepH; ++y) {
    std::memcpy(dib->ScanLine(y), FDib->ScanLine(y), wholeBytes);
    if (partMask) dib->ScanLine(y)[wholeBytes] = FDib->ScanLine(y)[wholeBytes] & partMask;
  }
  FillWhite(*dib, keepW, 0, keepH);
  FillWhite(*dib, 0, keepH, height);
  ReplaceDib(dib.release(), FPixelFormat);
  Changed();
}

void TBitmap::SetSizeUnfilled(int width, int height) {
  std::unique_ptr<TDibSection> dib(CreateUnfilledDib(width, height, FDib->BitCount, FDib->Rgb565));
  dib->Monochrome = FDib->Monochrome;
  dib->ColorTable = FDib->ColorTable;
  ReplaceDib(dib.release(), FPixelFormat);
  Changed();
}

void TBitmap::SetPixelFormat(TPixelFormat format) {
  if (format == FPixelFormat && !FDib->Monochrome) return;
  ConvertTo(format);
}

void TBitmap::ConvertTo(TPixelFormat format) {
  int bits = PixelFormatBits(format);
  bool rgb565 = format == pf16bit;
  if (bits == FDib->BitCount && rgb565 == FDib->Rgb565 && !FDib->Monochrome) {
    FPixelFormat = format;
    return;
  }
  std::unique_ptr<TDibSection> dib(CreateDib(Width(), Height(), bits, rgb565));
  if (bits <= 8) {
    // The own table (black, white for a monochrome bitmap) when it fits.
    std::vector<RGBQUAD> own = FDib->Monochrome ? StandardColorTable(1) : FDib->ColorTable;
    bool keep = FDib->BitCount <= 8 && !own.empty() && own.size() <= (size_t(1) << bits);
    dib->ColorTable = keep ? own : StandardColorTable(bits);
  }
  std::vector<uint8_t> bgr(static_cast<size_t>(Width()) * 3);
  if (bits <= 8 && Width() > 0) {
    TNearestColorCache cache(dib->ColorTable.data(), static_cast<int>(dib->ColorTable.size()));
    for (int y = 0; y < Height(); ++y) {
      DibReadRow(*FDib, y, 0, Width(), bgr.data());
      uint8_t* row = dib->ScanLine(y);
      for (int x = 0; x < Width(); ++x) {
        int index = cache.Find(bgr[3 * x + 2], bgr[3 * x + 1], bgr[3 * x]);
        if (bits == 8) row[x] = static_cast<uint8_t>(index);
        else if (bits == 4) row[x >> 1] |= static_cast<uint8_t>((x & 1) ? index : index << 4);
        else if (index) row[x >> 3] |= static_cast<uint8_t>(0x80 >> (x & 7));
      }
    }
  } else {
    for (int y = 0; y < Height(); ++y) {
      DibReadRow(*FDib, y, 0, Width(), bgr.data());
      DibWriteRow(*dib, y, 0, Width(), bgr.data());
    }
  }
  FreePalette();
  ReplaceDib(dib.release(), format);
  Changed();
}

uint8_t* TBitmap::ScanLine(int row) {
  if (row < 0 || row >= Height()) throw EInvalidGraphicOperation("Scan line index out of range");
  return FDib->ScanLine(row);
}

const uint8_t* TBitmap::ScanLine(int row) const {
  if (row < 0 || row >= Height()) throw EInvalidGraphicOperation("Scan line index out of range");
  return FDib->ScanLine(row);
}

TCanvas* TBitmap::Canvas() {
  if (!FCanvas) FCanvas = std::make_unique<TCanvas>(FDC.get());
  return FCanvas.get();
}

void TBitmap::SetColorTable(const std::vector<RGBQUAD>& table) {
  if (FDib->BitCount > 8 || FDib->Monochrome) return;
  size_t limit = size_t(1) << FDib->BitCount;
  FDib->ColorTable.assign(table.begin(), table.begin() + static_cast<long>(std::min(limit, table.size())));
  FreePalette();
  Changed();
}

HPALETTE TBitmap::Palette() {
  if (!FPalette && FDib->BitCount <= 8 && !FDib->ColorTable.empty()) {
    std::vector<PALETTEENTRY> entries;
    for (const RGBQUAD& q : FDib->ColorTable) entries.push_back({q.rgbRed, q.rgbGreen, q.rgbBlue, 0});
    FPalette = CreatePalette(entries.data(), static_cast<int>(entries.size()));
  }
  return FPalette;
}

void TBitmap::SetPalette(HPALETTE palette) {
  if (palette == FPalette) return;
  FreePalette();
  FPalette = palette;
  if (palette && FDib->BitCount <= 8 && !FDib->Monochrome) {
    size_t limit = size_t(1) << FDib->BitCount;
    size_t n = std::min(limit, palette->Entries.size());
    FDib->ColorTable.resize(n);
    for (size_t i = 0; i < n; ++i) {
      const PALETTEENTRY& e = palette->Entries[i];
      FDib->ColorTable[i] = RGBQUAD{e.peBlue, e.peGreen, e.peRed, 0};
    }
  }
  Changed();
}

HPALETTE TBitmap::ReleasePalette() {
  HPALETTE palette = Palette();
  FPalette = nullptr;
  return palette;
}

void TBitmap::SetMonochrome(bool value) {
  if (value == FDib->Monochrome) return;
  if (!value) {
    ConvertTo(pfDevice);
    return;
  }
  // A device monochrome bitmap keeps white pixels as 1 and every other
  // colour as 0.
  HBITMAP dib = CreateDib(Width(), Height(), 1);
  dib->Monochrome = true;
  std::vector<uint8_t> bgr(static_cast<size_t>(Width()) * 3);
  for (int y = 0; y < Height(); ++y) {
    DibReadRow(*FDib, y, 0, Width(), bgr.data());
    uint8_t* row = dib->ScanLine(y);
    for (int x = 0; x < Width(); ++x)
      if (bgr[3 * x] == 255 && bgr[3 * x + 1] == 255 && bgr[3 * x + 2] == 255)
        row[x >> 3] |= static_cast<uint8_t>(0x80 >> (x & 7));
  }
  FreePalette();
  ReplaceDib(dib, pf1bit);
  Changed();
}

void TBitmap::SetTransparentMode(TTransparentMode mode) {
  if (mode == FTransparentMode) return;
  // Fixing keeps the colour the automatic rule gives now.
  FTransparentColor = mode == tmFixed ? TransparentColor() : clDefault;
  FTransparentMode = mode;
  Changed();
}

TColor TBitmap::TransparentColor() const {
  if (FTransparentMode == tmFixed) return FTransparentColor;
  if (Empty()) return clDefault;
  return static_cast<TColor>(DibGetPixel(*FDib, 0, Height() - 1));
}

void TBitmap::SetTransparentColor(TColor color) {
  FTransparentColor = color;
  FTransparentMode = color == clDefault ? tmAuto : tmFixed;
  Changed();
}

void TBitmap::Assign(const TPersistent* source) {
  if (!source) {
    ReplaceDib(CreateDib(0, 0, 24), pfDevice);
    FreePalette();
    Changed();
    return;
  }
  if (auto* other = dynamic_cast<const TBitmap*>(source)) {
    if (other == this) return;
    auto* dib = new TDibSection(*other->FDib);
    ReplaceDib(dib, other->FPixelFormat);
    FreePalette();
    if (other->FPalette) FPalette = CopyPalette(other->FPalette);
    FTransparent = other->FTransparent;
    FTransparentMode = other->FTransparentMode;
    FTransparentColor = other->FTransparentColor;
    Changed();
    return;
  }
  TGraphic::Assign(source);
}

void TBitmap::TakeOver(TBitmap& source) {
  if (&source == this) return;
  // Moved between the pixel store objects, which keep their identity.
  TDibSection* dib = new TDibSection(std::move(*source.FDib));
  ReplaceDib(dib, source.FPixelFormat);
  FreePalette();
  std::swap(FPalette, source.FPalette);
  FTransparent = source.FTransparent;
  FTransparentMode = source.FTransparentMode;
  FTransparentColor = source.FTransparentColor;
  source.Assign(nullptr);
  Changed();
}

void TBitmap::AssignTo(TPersistent* dest) const { TGraphic::AssignTo(dest); }

void TBitmap::LoadFromStream(TStream& stream) {
  // The file is read up to the end of its pixels: a tail the picture does
  // not use is left unread.
  const int64_t start = stream.Position(), size = std::max<int64_t>(0, stream.Size() - start);
  uint8_t head[BmpHeaderBytes];
  const int64_t got = std::max<int64_t>(0, stream.Read(head, std::min<int64_t>(size, sizeof head)));
  const TBmpLayout layout = ReadBmpLayout(head, size_t(got), uint64_t(size));
  stream.SetPosition(start);
  std::vector<uint8_t> data(size_t(layout.DataEnd));
  data.resize(size_t(std::max<int64_t>(0, stream.Read(data.data(), int64_t(data.size())))));
  LoadFromMemory(data.data(), data.size());
}

void TBitmap::LoadFromMemory(const uint8_t* data, size_t size) {
  if (size < 14 || data[0] != 'B' || data[1] != 'M') throw EInvalidGraphic("Bitmap image is not valid");
  uint32_t offBits = data[10] | (data[11] << 8) | (data[12] << 16) | (uint32_t(data[13]) << 24);
  size_t bitsOffset = offBits >= 14 ? offBits - 14 : 0;
  std::unique_ptr<TDibSection> dib = ReadDib(data + 14, size - 14, bitsOffset, false);
  TPixelFormat format = PixelFormatFromBits(dib->BitCount, dib->Rgb565);
  FreePalette();
  ReplaceDib(dib.release(), format);
  Changed();
}

void TBitmap::SaveToStream(TStream& stream) { WriteBmp(*FDib, stream); }

namespace {
constexpr size_t BmpFileHeaderSize = 14;
}

void TBitmap::LoadFromClipboardFormat(uint16_t format, HGLOBAL data, HPALETTE palette) {
  size_t size = GlobalSize(data);
  if (format != CF_BITMAP || size == 0) UnsupportedClipboardFormat();
  // A copy: the block stays the clipboard's, and may go while this reads.
  std::vector<uint8_t> dib(size);
  const void* memory = GlobalLock(data);
  if (!memory) UnsupportedClipboardFormat();
  std::memcpy(dib.data(), memory, size);
  GlobalUnlock(data);
  // An empty bitmap goes on the clipboard as a header without pixels.
  if (size >= 40 && Get32(dib.data()) >= 40 && (Get32(dib.data() + 4) == 0 || Get32(dib.data() + 8) == 0)) {
    Assign(nullptr);
  } else {
    std::unique_ptr<TDibSection> loaded = ReadDib(dib.data(), size, 0, false);
    TPixelFormat pixelFormat = PixelFormatFromBits(loaded->BitCount, loaded->Rgb565);
    FreePalette();
    ReplaceDib(loaded.release(), pixelFormat);
  }
  if (palette) SetPalette(CopyPalette(palette));
  Changed();
}

void TBitmap::SaveToClipboardFormat(uint16_t& format, HGLOBAL& data, HPALETTE& palette) {
  TMemoryStream stream;
  WriteBmp(*FDib, stream);
  size_t size = static_cast<size_t>(stream.Size()) - BmpFileHeaderSize;
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_DDESHARE, size);
  if (!block) throw EOutOfMemory("Out of memory");
  std::memcpy(GlobalLock(block), stream.Memory() + BmpFileHeaderSize, size);
  GlobalUnlock(block);
  format = CF_BITMAP;
  data = block;
  HPALETTE own = Palette();
  palette = own ? CopyPalette(own) : nullptr;
}

void TBitmap::Draw(TCanvas& canvas, const TRect& rect) {
  if (Empty()) return;
  HDC target = canvas.Handle(), source = FDC.get();
  int w = rect.Width(), h = rect.Height();
  if (Transparent()) {
    TransparentBlt(target, rect.Left, rect.Top, w, h, source, 0, 0, Width(), Height(), TransparentColor());
    return;
  }
  // A drawn bitmap scales by dropping or repeating pixels, whatever mode the
  // target context is in.
  int mode = SetStretchBltMode(target, COLORONCOLOR);
  StretchBlt(target, rect.Left, rect.Top, w, h, source, 0, 0, Width(), Height(), canvas.CopyMode);
  if (mode) SetStretchBltMode(target, mode);
}

// --- TPicture ---------------------------------------------------------------------

namespace {
struct FormatEntry {
  std::string Description;
  TGraphicFactory Factory;
};

std::map<std::string, FormatEntry>& Formats() {
  static std::map<std::string, FormatEntry> formats = [] {
    std::map<std::string, FormatEntry> m;
    m["bmp"] = {"Bitmaps", [] { return std::unique_ptr<TGraphic>(new TBitmap); }};
    return m;
  }();
  return formats;
}

std::mutex& FormatsLock() {
  static std::mutex lock;
  return lock;
}

std::string FormatKey(const std::string& extension) {
  std::string key = LowerCase(extension);
  if (!key.empty() && key[0] == '.') key.erase(0, 1);
  return key;
}
}  // namespace

void TPicture::RegisterFileFormat(const std::string& extension, const std::string& description,
                                  TGraphicFactory factory) {
  std::lock_guard<std::mutex> guard(FormatsLock());
  Formats()[FormatKey(extension)] = {description, std::move(factory)};
}

void TPicture::UnregisterFileFormat(const std::string& extension) {
  std::lock_guard<std::mutex> guard(FormatsLock());
  Formats().erase(FormatKey(extension));
}

TGraphicFactory TPicture::FindFileFormat(const std::string& extension) {
  std::lock_guard<std::mutex> guard(FormatsLock());
  auto it = Formats().find(FormatKey(extension));
  return it == Formats().end() ? TGraphicFactory() : it->second.Factory;
}

namespace {
std::map<uint16_t, TGraphicFactory>& ClipboardFormats() {
  static std::map<uint16_t, TGraphicFactory> formats = {
      {CF_BITMAP, [] { return std::unique_ptr<TGraphic>(new TBitmap); }}};
  return formats;
}
}  // namespace

void TPicture::RegisterClipboardFormat(uint16_t format, TGraphicFactory factory) {
  std::lock_guard<std::mutex> guard(FormatsLock());
  ClipboardFormats()[format] = std::move(factory);
}

void TPicture::UnregisterClipboardFormat(uint16_t format) {
  std::lock_guard<std::mutex> guard(FormatsLock());
  ClipboardFormats().erase(format);
}

bool TPicture::SupportsClipboardFormat(uint16_t format) {
  std::lock_guard<std::mutex> guard(FormatsLock());
  return ClipboardFormats().count(format) > 0;
}

void TPicture::LoadFromClipboardFormat(uint16_t format, HGLOBAL data, HPALETTE palette) {
  TGraphicFactory factory;
  {
    std::lock_guard<std::mutex> guard(FormatsLock());
    auto it = ClipboardFormats().find(format);
    if (it != ClipboardFormats().end()) factory = it->second;
  }
  if (!factory) UnsupportedClipboardFormat();
  std::unique_ptr<TGraphic> graphic = factory();
  graphic->LoadFromClipboardFormat(format, data, palette);
  FGraphic = std::move(graphic);
}

void TPicture::SaveToClipboardFormat(uint16_t& format, HGLOBAL& data, HPALETTE& palette) {
  format = 0;
  data = nullptr;
  palette = nullptr;
  if (FGraphic) FGraphic->SaveToClipboardFormat(format, data, palette);
}

void TPicture::LoadFromFile(const std::string& path) {
  std::string ext = ExtractFileExt(path);
  TGraphicFactory factory = FindFileFormat(ext);
  if (!factory) throw EInvalidGraphic("Unknown picture file extension (" + ext + ")");
  std::unique_ptr<TGraphic> graphic = factory();
  graphic->LoadFromFile(path);
  FGraphic = std::move(graphic);
}

void TPicture::SaveToFile(const std::string& path) {
  if (FGraphic) FGraphic->SaveToFile(path);
}

void TPicture::Assign(const TPersistent* source) {
  if (!source) {
    FGraphic.reset();
    return;
  }
  if (auto* other = dynamic_cast<const TPicture*>(source)) {
    Assign(other->Graphic());
    return;
  }
  if (auto* graphic = dynamic_cast<const TGraphic*>(source)) {
    // The copy is held as a bitmap, whatever the kind of the source: the
    // bitmap takes the picture over by Assign (or the source's AssignTo).
    auto copy = std::make_unique<TBitmap>();
    copy->Assign(graphic);
    FGraphic = std::move(copy);
    return;
  }
  TPersistent::Assign(source);
}
