// Icon files: the directory, the choice of one entry, decoding it to colours
// with transparency, and drawing it over a bitmap.
#include "platform/graphics/icon.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace {

[[noreturn]] void InvalidIcon() { throw EInvalidGraphic("Icon image is not valid"); }

const uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};

uint32_t GetBE32(const uint8_t* p) {
  return (static_cast<uint32_t>(p[0]) << 24) | (p[1] << 16) | (p[2] << 8) | p[3];
}

}  // namespace

void ReadIconEntryHeader(TIconEntry& e, const uint8_t* p) {
  e.Png = e.Size >= sizeof kPngSignature && std::memcmp(p, kPngSignature, sizeof kPngSignature) == 0;
  if (e.Png) {
    if (e.Size < 26 || std::memcmp(p + 12, "IHDR", 4) != 0) return;
    e.Width = GetBE32(p + 16);
    e.Height = GetBE32(p + 20);
    // Bits per sample times samples per pixel of the colour type.
    static const int kSamples[7] = {1, 0, 3, 1, 2, 0, 4};
    e.Bits = p[25] < 7 ? p[24] * kSamples[p[25]] : 0;
  } else if (e.Size >= 12 && Get32(p) == 12) {
    e.Width = Get16(p + 4);
    e.Height = Get16(p + 6) / 2;
    e.Bits = Get16(p + 10);
  } else if (e.Size >= 16) {
    e.Width = static_cast<int32_t>(Get32(p + 4));
    e.Height = std::abs(static_cast<int64_t>(static_cast<int32_t>(Get32(p + 8)))) / 2;
    e.Bits = Get16(p + 14);
  }
}

bool ReadIconDirectory(const uint8_t* head, size_t headSize, uint64_t fileSize, std::vector<TIconEntry>& entries) {
  entries.clear();
  if (headSize < 6 || fileSize < 6 || Get16(head) != 0) return false;
  const int type = Get16(head + 2), count = Get16(head + 4);
  if ((type != 1 && type != 2) || count == 0 || fileSize < 6 + 16 * uint64_t(count) ||
      headSize < 6 + 16 * size_t(count))
    return false;
  entries.reserve(size_t(count));
  for (int i = 0; i < count; ++i) {
    const uint8_t* d = head + 6 + 16 * i;
    const uint64_t length = Get32(d + 8), offset = Get32(d + 12);
    if (length == 0 || offset > fileSize || length > fileSize - offset) return false;
    TIconEntry e;
    e.Offset = size_t(offset);
    e.Size = size_t(length);
    e.Width = d[0] ? d[0] : 256;
    e.Height = d[1] ? d[1] : 256;
    // Cursors keep their hot spot where icons keep planes and bit count.
    if (type == 1) e.Bits = Get16(d + 6);
    entries.push_back(e);
  }
  return true;
}

const TIconEntry& ChooseIconEntry(const std::vector<TIconEntry>& entries) {
  // Nearest to 32 x 32, then the most colours, then the first.
  const TIconEntry* best = nullptr;
  int64_t bestDistance = 0;
  for (const TIconEntry& e : entries) {
    int64_t distance = std::abs(e.Width - 32) + std::abs(e.Height - 32);
    if (!best || distance < bestDistance || (distance == bestDistance && e.Bits > best->Bits)) {
      best = &e;
      bestDistance = distance;
    }
  }
  return *best;
}

namespace {

// The kept pixels take 4 bytes each: the same limit as for bitmaps.
bool PixelCountFits(int64_t width, int64_t height) {
  return width <= 0 || height <= 0 || width <= MaxBitmapBytes / 4 / height;
}
void CheckPixelCount(int64_t width, int64_t height) {
  if (!PixelCountFits(width, height)) throw EOutOfMemory("Out of memory");
}

// The decoded entry in the layout TIcon keeps.
struct TIconImage {
  int Width = 0, Height = 0;
  std::vector<uint8_t> Pixels, Mask;

  void Allocate(int width, int height) {
    CheckPixelCount(width, height);
    size_t count = static_cast<size_t>(width) * static_cast<size_t>(height);
    Width = width;
    Height = height;
    Pixels.assign(count * 4, 0);
    Mask.assign(count, 0);
  }
};

TIconImage DecodeDib(const TIconEntry& e, const uint8_t* data) {
  // Icon bitmaps are never run-length compressed; refusing RLE also keeps the
  // pixel count bounded by the entry's size.
  if (e.Size >= 20 && Get32(data) != 12) {
    uint32_t compression = Get32(data + 16);
    if (compression == 1 || compression == 2) InvalidIcon();
  }
  CheckPixelCount(e.Width, e.Height);  // before the bitmap is made
  TDibHeaderInfo info;
  std::unique_ptr<TDibSection> dib;
  try {
    dib = ReadDib(data, e.Size, 0, true, &info);
  } catch (const EInvalidGraphic&) {
    InvalidIcon();
  }
  TIconImage image;
  image.Allocate(dib->Width, dib->Height);
  const int w = dib->Width, h = dib->Height;

  // 32-bit entries carry alpha unless every alpha byte is 0.
  bool alpha = false;
  if (dib->BitCount == 32)
    for (int y = 0; y < h && !alpha; ++y)
      for (int x = 0; x < w && !alpha; ++x) alpha = dib->ScanLine(y)[4 * x + 3] != 0;

  // The AND mask follows the colour rows, one bit per pixel, in the same row
  // order; where it is cut short the pixels count as opaque.
  const size_t maskStride = (static_cast<size_t>(w) + 31) / 32 * 4;
  std::vector<uint8_t> bgr(static_cast<size_t>(w) * 3);
  for (int y = 0; y < h; ++y) {
    DibReadRow(*dib, y, 0, w, bgr.data());
    size_t maskRow = info.PixelsEnd + static_cast<size_t>(info.TopDown ? y : h - 1 - y) * maskStride;
    for (int x = 0; x < w; ++x) {
      size_t i = static_cast<size_t>(y) * w + x;
      uint8_t* out = &image.Pixels[4 * i];
      std::memcpy(out, &bgr[3 * static_cast<size_t>(x)], 3);
      if (alpha) {
        out[3] = dib->ScanLine(y)[4 * x + 3];
        continue;
      }
      size_t at = maskRow + static_cast<size_t>(x) / 8;
      image.Mask[i] = at < e.Size ? (data[at] >> (7 - (x & 7))) & 1 : 0;
      out[3] = image.Mask[i] ? 0 : 255;
    }
  }
  return image;
}

// PNG entries go through the graphic class registered for "png".
TIconImage DecodePng(const TIconEntry& e, const uint8_t* data) {
  TGraphicFactory factory = TPicture::FindFileFormat("png");
  if (!factory) InvalidIcon();
  TBitmap bitmap;
  try {
    std::unique_ptr<TGraphic> png = factory();
    TReadOnlyMemoryStream stream(data, e.Size);
    png->LoadFromStream(stream);
    bitmap.Assign(png.get());
  } catch (const EInvalidGraphic&) {
    InvalidIcon();
  }
  if (bitmap.Empty()) InvalidIcon();
  bitmap.SetPixelFormat(pf24bit);
  TIconImage image;
  image.Allocate(bitmap.Width(), bitmap.Height());
  for (int y = 0; y < image.Height; ++y) {
    const uint8_t* row = bitmap.ScanLine(y);
    for (int x = 0; x < image.Width; ++x) {
      uint8_t* out = &image.Pixels[4 * (static_cast<size_t>(y) * image.Width + x)];
      std::memcpy(out, row + 3 * x, 3);
      out[3] = 255;
    }
  }
  return image;
}

}  // namespace

TIcon::TIcon() = default;
TIcon::~TIcon() = default;

void TIcon::Assign(const TPersistent* source) {
  if (auto* other = dynamic_cast<const TIcon*>(source)) {
    if (other == this) return;
    FData = other->FData;
    FWidth = other->FWidth;
    FHeight = other->FHeight;
    FPixels = other->FPixels;
    FMask = other->FMask;
    Changed();
    return;
  }
  TGraphic::Assign(source);
}

void TIcon::LoadFromStream(TStream& stream) {
  // A stream that does not start with an icon directory is refused before
  // it is read to its end.
  uint8_t head[6];
  int64_t got = std::max<int64_t>(0, stream.Read(head, 6));
  if (got == 6 && (Get16(head) != 0 || (Get16(head + 2) != 1 && Get16(head + 2) != 2) || Get16(head + 4) == 0))
    InvalidIcon();
  stream.Seek(-got, soCurrent);
  LoadFromData(ReadToEnd(stream));
}

void TIcon::SaveToStream(TStream& stream) {
  stream.WriteBuffer(FData.data(), static_cast<int64_t>(FData.size()));
}

void TIcon::LoadFromMemory(const uint8_t* data, size_t size) {
  LoadFromData(std::vector<uint8_t>(data, data + size));
}

void TIcon::LoadFromData(std::vector<uint8_t> data) {
  std::vector<TIconEntry> entries;
  if (!ReadIconDirectory(data.data(), data.size(), data.size(), entries)) InvalidIcon();
  for (TIconEntry& e : entries) ReadIconEntryHeader(e, data.data() + e.Offset);
  const TIconEntry& best = ChooseIconEntry(entries);
  const uint8_t* image = data.data() + best.Offset;
  TIconImage decoded = best.Png ? DecodePng(best, image) : DecodeDib(best, image);
  FData = std::move(data);
  FWidth = decoded.Width;
  FHeight = decoded.Height;
  FPixels = std::move(decoded.Pixels);
  FMask = std::move(decoded.Mask);
  Changed();
}

std::vector<uint8_t> TIcon::Mask() const {
  // Entries without alpha keep alpha 0 exactly where their AND mask is set.
  std::vector<uint8_t> mask(FPixels.size() / 4);
  for (size_t i = 0; i < mask.size(); ++i) mask[i] = FPixels[4 * i + 3] == 0;
  return mask;
}

void TIcon::Draw(TCanvas& canvas, const TRect& rect) {
  HDC dc = canvas.Handle();
  if (Empty() || !dc || !dc->Bitmap) return;
  TDibSection& target = *dc->Bitmap;
  const int64_t w = int64_t(rect.Right) - rect.Left, h = int64_t(rect.Bottom) - rect.Top;
  if (w == 0 || h == 0) return;
  // Target columns and rows covered (a negative extent mirrors that axis),
  // clipped to the bitmap.
  const int64_t x0 = std::max<int64_t>(0, w > 0 ? rect.Left : rect.Left + w + 1);
  const int64_t x1 = std::min<int64_t>(target.Width, w > 0 ? rect.Left + w : rect.Left + 1);
  const int64_t y0 = std::max<int64_t>(0, h > 0 ? rect.Top : rect.Top + h + 1);
  const int64_t y1 = std::min<int64_t>(target.Height, h > 0 ? rect.Top + h : rect.Top + 1);
  if (x0 >= x1 || y0 >= y1) return;
  const int64_t aw = std::abs(w), ah = std::abs(h);
  const int span = static_cast<int>(x1 - x0);
  std::vector<uint8_t> row(static_cast<size_t>(span) * 3);
  for (int64_t ty = y0; ty < y1; ++ty) {
    int64_t sy = (h > 0 ? ty - rect.Top : rect.Top - ty) * FHeight / ah;
    DibReadRow(target, static_cast<int>(ty), static_cast<int>(x0), span, row.data());
    for (int64_t tx = x0; tx < x1; ++tx) {
      int64_t sx = (w > 0 ? tx - rect.Left : rect.Left - tx) * FWidth / aw;
      size_t i = static_cast<size_t>(sy * FWidth + sx);
      const uint8_t* s = &FPixels[4 * i];
      uint8_t* t = &row[3 * static_cast<size_t>(tx - x0)];
      for (int c = 0; c < 3; ++c) {
        if (FMask[i]) t[c] ^= s[c];
        else t[c] = static_cast<uint8_t>((s[c] * s[3] + t[c] * (255 - s[3]) + 127) / 255);
      }
    }
    DibWriteRow(target, static_cast<int>(ty), static_cast<int>(x0), span, row.data());
  }
}

namespace {

// The bytes of a stream from offset on, size of them, as a stream of their
// own (for a PNG entry's reader).
class TStreamPart : public TStream {
 public:
  TStreamPart(TStream& stream, int64_t offset, int64_t size) : FStream(stream), FOffset(offset), FSize(size) {}
  int64_t Read(void* buffer, int64_t count) override {
    count = std::min(count, FSize - FPosition);
    if (count <= 0) return 0;
    FStream.SetPosition(FOffset + FPosition);
    int64_t got = std::max<int64_t>(FStream.Read(buffer, count), 0);
    FPosition += got;
    return got;
  }
  int64_t Write(const void*, int64_t) override { return 0; }
  int64_t Seek(int64_t offset, TSeekOrigin origin) override {
    int64_t base = origin == soBeginning ? 0 : origin == soCurrent ? FPosition : FSize;
    FPosition = std::max<int64_t>(0, base + offset);
    return FPosition;
  }
  int64_t Size() override { return FSize; }

 private:
  TStream& FStream;
  int64_t FOffset, FSize, FPosition = 0;
};

// Whether ReadDib (and the icon's own rules) can take a DIB entry by its
// header: a known header size, a size of pixels, no run-length compression
// and a bit count that goes with the compression.
bool DibEntryReadable(const TIconEntry& e, const uint8_t* image) {
  if (e.Size < 4) return false;
  const uint32_t headerSize = Get32(image);
  switch (headerSize) {
    case 12: case 40: case 52: case 56: case 64: case 108: case 124: break;
    default: return false;
  }
  if (e.Size < headerSize || e.Width <= 0 || e.Height <= 0) return false;
  const uint32_t compression = headerSize == 12 ? BI_RGB : Get32(image + 16);
  switch (compression) {
    case BI_RGB:
      return e.Bits == 1 || e.Bits == 4 || e.Bits == 8 || e.Bits == 16 || e.Bits == 24 || e.Bits == 32;
    case BI_BITFIELDS:
    case BI_ALPHABITFIELDS: return e.Bits == 16 || e.Bits == 32;
    default: return false;  // run-length compressed, or not a DIB
  }
}

}  // namespace

bool IconLoadClaim(TStream& stream, TPngLoadClaim pngClaim, int64_t& width, int64_t& height, int64_t& loadBytes) {
  width = height = loadBytes = 0;
  const int64_t fileSize = stream.Size() - stream.Position();
  const int64_t start = stream.Position();
  uint8_t first[6];
  if (fileSize < 6 || stream.Read(first, 6) != 6) return false;
  std::vector<uint8_t> head(6 + 16 * size_t(Get16(first + 4)));
  std::memcpy(head.data(), first, 6);
  const int64_t got = std::max<int64_t>(0, stream.Read(head.data() + 6, int64_t(head.size()) - 6));
  std::vector<TIconEntry> entries;
  if (!ReadIconDirectory(head.data(), size_t(6 + got), uint64_t(fileSize), entries)) return false;
  std::vector<uint8_t> images(entries.size() * IconEntryHeaderBytes);
  for (size_t i = 0; i < entries.size(); ++i) {
    TIconEntry& e = entries[i];
    uint8_t* image = images.data() + i * IconEntryHeaderBytes;
    const int64_t bytes = int64_t(std::min(e.Size, IconEntryHeaderBytes));
    stream.SetPosition(start + int64_t(e.Offset));
    if (stream.Read(image, bytes) != bytes) return false;
    ReadIconEntryHeader(e, image);
  }
  const TIconEntry& best = ChooseIconEntry(entries);
  const uint8_t* image = images.data() + (&best - entries.data()) * IconEntryHeaderBytes;

  // Beside the file, which the icon keeps, and its directory: the entry's
  // decoding, then the icon's pixels and mask (4 and 1 bytes a pixel) with
  // a row of the drawing.
  int64_t decoding;
  if (best.Png) {
    // A PNG entry is read as a PNG file, copied into a bitmap, which is
    // made 24-bit, and then into the icon's pixels.
    int64_t pngBytes = 0;
    TStreamPart part(stream, start + int64_t(best.Offset), int64_t(best.Size));
    if (!pngClaim || !pngClaim(part, width, height, pngBytes) || width <= 0 || height <= 0) return false;
    if (!PixelCountFits(width, height)) return false;
    decoding = std::max({pngBytes, int64_t(PixelMemorySize(size_t(AlignedRowBytes(width, 24) * height))),
                         5 * width * height + 3 * width});
  } else {
    // A DIB entry is read into a bitmap of its own bit count (16-bit pixels
    // of other masks become 24-bit) beside the icon's pixels.
    if (!DibEntryReadable(best, image) || !PixelCountFits(best.Width, best.Height)) return false;
    width = best.Width;
    height = best.Height;
    const int bits = best.Bits == 16 ? 24 : best.Bits;
    decoding = int64_t(PixelMemorySize(size_t(AlignedRowBytes(width, bits) * height))) + 5 * width * height +
               6 * width;
  }
  constexpr int64_t kSmallBytes = 16 << 10;  // colour tables, objects, the allocator's words
  loadBytes = fileSize + int64_t(entries.size() * sizeof(TIconEntry)) + decoding + kSmallBytes;
  return true;
}
