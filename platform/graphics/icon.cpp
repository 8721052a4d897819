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

struct TIconEntry {
  const uint8_t* Data;
  size_t Size;
  bool Png;
  int64_t Width, Height;
  int Bits;
};

// Size and colour depth as the entry's own image header gives them; the
// directory's values stay where the header cannot be read.
void ReadImageHeader(TIconEntry& e) {
  const uint8_t* p = e.Data;
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

// The kept pixels take 4 bytes each: the same limit as for bitmaps.
void CheckPixelCount(int64_t width, int64_t height) {
  if (width > 0 && height > 0 && width > MaxBitmapBytes / 4 / height) throw EOutOfMemory("Out of memory");
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

TIconImage DecodeDib(const TIconEntry& e) {
  // Icon bitmaps are never run-length compressed; refusing RLE also keeps the
  // pixel count bounded by the entry's size.
  if (e.Size >= 20 && Get32(e.Data) != 12) {
    uint32_t compression = Get32(e.Data + 16);
    if (compression == 1 || compression == 2) InvalidIcon();
  }
  CheckPixelCount(e.Width, e.Height);  // before the bitmap is made
  TDibHeaderInfo info;
  std::unique_ptr<TDibSection> dib;
  try {
    dib = ReadDib(e.Data, e.Size, 0, true, &info);
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
      image.Mask[i] = at < e.Size ? (e.Data[at] >> (7 - (x & 7))) & 1 : 0;
      out[3] = image.Mask[i] ? 0 : 255;
    }
  }
  return image;
}

// PNG entries go through the graphic class registered for "png".
TIconImage DecodePng(const TIconEntry& e) {
  TGraphicFactory factory = TPicture::FindFileFormat("png");
  if (!factory) InvalidIcon();
  TBitmap bitmap;
  try {
    std::unique_ptr<TGraphic> png = factory();
    TReadOnlyMemoryStream stream(e.Data, e.Size);
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
  std::vector<uint8_t> data = ReadToEnd(stream);
  LoadFromMemory(data.data(), data.size());
}

void TIcon::SaveToStream(TStream& stream) {
  stream.WriteBuffer(FData.data(), static_cast<int64_t>(FData.size()));
}

void TIcon::LoadFromMemory(const uint8_t* data, size_t size) {
  if (size < 6 || Get16(data) != 0) InvalidIcon();
  const int type = Get16(data + 2), count = Get16(data + 4);
  if ((type != 1 && type != 2) || count == 0 || size < 6 + 16 * static_cast<size_t>(count)) InvalidIcon();

  std::vector<TIconEntry> entries;
  for (int i = 0; i < count; ++i) {
    const uint8_t* d = data + 6 + 16 * i;
    size_t length = Get32(d + 8), offset = Get32(d + 12);
    if (length == 0 || offset > size || length > size - offset) InvalidIcon();
    TIconEntry e{data + offset, length, false, d[0] ? d[0] : 256, d[1] ? d[1] : 256, 0};
    // Cursors keep their hot spot where icons keep planes and bit count.
    if (type == 1) e.Bits = Get16(d + 6);
    e.Png = length >= sizeof kPngSignature && std::memcmp(e.Data, kPngSignature, sizeof kPngSignature) == 0;
    ReadImageHeader(e);
    entries.push_back(e);
  }

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

  TIconImage image = best->Png ? DecodePng(*best) : DecodeDib(*best);
  FData.assign(data, data + size);
  FWidth = image.Width;
  FHeight = image.Height;
  FPixels = std::move(image.Pixels);
  FMask = std::move(image.Mask);
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
