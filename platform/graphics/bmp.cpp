// BMP files: reading device-independent bitmaps of every header version,
// bit count and compression, and writing them back as plain BMP files.
#include <algorithm>
#include <bit>
#include <cstring>

#include "platform/graphics/graphics.h"

namespace {

[[noreturn]] void InvalidBitmap() { throw EInvalidGraphic("Bitmap image is not valid"); }

void Put16(std::vector<uint8_t>& out, uint32_t v) {
  out.push_back(static_cast<uint8_t>(v));
  out.push_back(static_cast<uint8_t>(v >> 8));
}
void Put32(std::vector<uint8_t>& out, uint32_t v) {
  Put16(out, v);
  Put16(out, v >> 16);
}

struct TMasks {
  uint32_t Red, Green, Blue;
  bool operator==(const TMasks&) const = default;
};
constexpr TMasks kMasks555{0x7C00, 0x03E0, 0x001F};
constexpr TMasks kMasks565{0xF800, 0x07E0, 0x001F};
constexpr TMasks kMasks888{0x00FF0000, 0x0000FF00, 0x000000FF};

// One colour channel of a bit-field pixel, scaled to 0..255.
class TChannel {
 public:
  explicit TChannel(uint32_t mask)
      : FMask(mask), FShift(mask ? std::countr_zero(mask) : 0), FMax(mask >> FShift) {}
  uint8_t Extract(uint32_t pixel) const {
    if (FMax == 0) return 0;
    uint64_t v = (pixel & FMask) >> FShift;
    return static_cast<uint8_t>((v * 255 + FMax / 2) / FMax);
  }

 private:
  uint32_t FMask;
  int FShift;
  uint64_t FMax;
};

// Converts one row of 16- or 32-bit bit-field pixels to 24-bit (outBytes 3)
// or 32-bit blue, green, red, 0 (outBytes 4).
void ConvertFieldsRow(const uint8_t* src, int width, int inBytes, const TMasks& masks, uint8_t* dst,
                      int outBytes) {
  TChannel red(masks.Red), green(masks.Green), blue(masks.Blue);
  for (int x = 0; x < width; ++x, src += inBytes, dst += outBytes) {
    uint32_t pixel = inBytes == 2 ? Get16(src) : Get32(src);
    dst[0] = blue.Extract(pixel);
    dst[1] = green.Extract(pixel);
    dst[2] = red.Extract(pixel);
    if (outBytes == 4) dst[3] = 0;
  }
}

void SetIndex(TDibSection& dib, int row, int x, int index) {
  uint8_t* p = dib.ScanLine(row);
  if (dib.BitCount == 8) {
    p[x] = static_cast<uint8_t>(index);
  } else if (x & 1) {
    p[x >> 1] = static_cast<uint8_t>((p[x >> 1] & 0xF0) | (index & 0x0F));
  } else {
    p[x >> 1] = static_cast<uint8_t>((p[x >> 1] & 0x0F) | (index << 4));
  }
}

// Decodes RLE8 or RLE4 data (by the bitmap's bit count) into the zeroed
// bitmap. Runs are clipped at the row's end and decoding stops quietly where
// the data ends, as damaged files are still shown up to there. Returns the
// number of bytes used.
size_t DecodeRle(const uint8_t* data, size_t size, TDibSection& dib, bool topDown) {
  const bool rle4 = dib.BitCount == 4;
  const int width = dib.Width;
  int x = 0;
  int64_t y = 0;  // rows counted in file order
  size_t pos = 0;
  auto put = [&](int index) {
    SetIndex(dib, static_cast<int>(topDown ? y : dib.Height - 1 - y), x++, index);
  };
  auto nibble = [](int byte, int i) { return (i & 1) ? byte & 0x0F : byte >> 4; };
  while (pos + 2 <= size && y < dib.Height) {
    int count = data[pos], value = data[pos + 1];
    pos += 2;
    if (count > 0) {
      // Encoded run: one byte repeated (RLE4: its two nibbles alternating).
      int n = std::min(count, width - x);
      for (int i = 0; i < n; ++i) put(rle4 ? nibble(value, i) : value);
    } else if (value == 0) {  // end of line
      x = 0;
      ++y;
    } else if (value == 1) {  // end of bitmap
      break;
    } else if (value == 2) {  // delta: move right and down
      if (pos + 2 > size) break;
      x = std::min(x + data[pos], width);
      y += data[pos + 1];
      pos += 2;
    } else {
      // Absolute run of value pixels, padded to a whole word.
      size_t bytes = rle4 ? (value + 1) / 2 : value;
      for (int i = 0; i < value; ++i) {
        size_t at = pos + (rle4 ? i / 2 : i);
        if (at >= size) return size;
        if (x < width) put(rle4 ? nibble(data[at], i) : data[at]);
      }
      pos += (bytes + 1) & ~size_t(1);
    }
  }
  return std::min(pos, size);
}

// How a DIB's data lies, as its header tells.
struct TDibLayout {
  int64_t Width = 0, Rows = 0;
  int BitCount = 0, OutBits = 0;
  bool TopDown = false, Rle = false, Rgb565 = false, Convert = false;
  TMasks Masks{};
  size_t TableStart = 0, EntrySize = 0;
  uint64_t Kept = 0, PixelStart = 0, Stride = 0;
};

// Reads the layout of the DIB in data of size bytes from its header (which
// lies in the first 124 bytes) alone; raises InvalidBitmap for whatever
// ReadDib refuses before it reads the pixels.
TDibLayout ReadLayout(const uint8_t* data, size_t size, size_t bitsOffset, bool iconHalfHeight) {
  if (size < 4) InvalidBitmap();
  const uint32_t headerSize = Get32(data);
  const bool core = headerSize == 12;
  switch (headerSize) {
    case 12: case 40: case 52: case 56: case 64: case 108: case 124: break;
    default: InvalidBitmap();
  }
  if (size < headerSize) InvalidBitmap();

  int64_t width, height;
  int bitCount;
  uint32_t compression = BI_RGB;
  uint64_t colorsUsed = 0;
  if (core) {
    width = Get16(data + 4);
    height = Get16(data + 6);
    bitCount = Get16(data + 10);
  } else {
    width = static_cast<int32_t>(Get32(data + 4));
    height = static_cast<int32_t>(Get32(data + 8));
    bitCount = Get16(data + 14);
    compression = Get32(data + 16);
    colorsUsed = Get32(data + 32);
  }
  const bool topDown = height < 0;
  int64_t rows = topDown ? -height : height;
  if (iconHalfHeight) rows /= 2;
  if (width <= 0 || rows <= 0 || rows > INT32_MAX) InvalidBitmap();

  bool bitCountValid;
  switch (compression) {
    case BI_RGB:
      bitCountValid = bitCount == 1 || bitCount == 4 || bitCount == 8 || bitCount == 16 || bitCount == 24 ||
                      bitCount == 32;
      break;
    case BI_RLE8: bitCountValid = bitCount == 8; break;
    case BI_RLE4: bitCountValid = bitCount == 4; break;
    case BI_BITFIELDS:
    case BI_ALPHABITFIELDS: bitCountValid = bitCount == 16 || bitCount == 32; break;
    default: bitCountValid = false;  // JPEG, PNG and unknown compressions
  }
  if (!bitCountValid) InvalidBitmap();

  // Bit-field masks sit inside the V2 and later headers and follow the
  // plain info header (the OS/2 2.x header counts as one).
  size_t tableStart = headerSize;
  TMasks masks = bitCount == 16 ? kMasks555 : kMasks888;
  if (compression == BI_BITFIELDS || compression == BI_ALPHABITFIELDS) {
    size_t at = 40;
    if (headerSize == 40 || headerSize == 64) {
      at = headerSize;
      tableStart = headerSize + (compression == BI_ALPHABITFIELDS ? 16 : 12);
      if (tableStart > size) InvalidBitmap();
    }
    masks = {Get32(data + at), Get32(data + at + 4), Get32(data + at + 8)};
  }

  // The colour table: colorsUsed entries (all 2^bits when 0) of which at most
  // 2^bits are kept, fewer when the pixels start before its end.
  const size_t entrySize = core ? 3 : 4;
  uint64_t declared = colorsUsed;
  if (bitCount <= 8 && declared == 0) declared = uint64_t(1) << bitCount;
  uint64_t kept = bitCount <= 8 ? std::min(declared, uint64_t(1) << bitCount) : 0;
  uint64_t pixelStart = tableStart + declared * entrySize;
  if (bitsOffset != 0) {
    if (bitsOffset < tableStart) InvalidBitmap();
    pixelStart = bitsOffset;
    kept = std::min<uint64_t>(kept, (bitsOffset - tableStart) / entrySize);
  }
  if (pixelStart > size || tableStart + kept * entrySize > size) InvalidBitmap();

  int outBits = bitCount;
  bool rgb565 = false, convert = false;
  if (bitCount == 16 && masks != kMasks555) {
    rgb565 = masks == kMasks565;
    convert = !rgb565;
    if (convert) outBits = 24;
  } else if (bitCount == 32) {
    convert = masks != kMasks888;
  }

  // Uncompressed pixels must be there for every row; only the last row's
  // padding may be cut off.
  const bool rle = compression == BI_RLE8 || compression == BI_RLE4;
  const uint64_t stride = (static_cast<uint64_t>(width) * bitCount + 31) / 32 * 4;
  const uint64_t available = size - pixelStart;
  if (!rle) {
    uint64_t lastRow = (static_cast<uint64_t>(width) * bitCount + 7) / 8;
    if (static_cast<uint64_t>(rows - 1) > available / stride || stride * (rows - 1) + lastRow > available)
      InvalidBitmap();
  }

  TDibLayout layout;
  layout.Width = width;
  layout.Rows = rows;
  layout.BitCount = bitCount;
  layout.OutBits = outBits;
  layout.TopDown = topDown;
  layout.Rle = rle;
  layout.Rgb565 = rgb565;
  layout.Convert = convert;
  layout.Masks = masks;
  layout.TableStart = tableStart;
  layout.EntrySize = entrySize;
  layout.Kept = kept;
  layout.PixelStart = pixelStart;
  layout.Stride = stride;
  return layout;
}

}  // namespace

TBmpLayout ReadBmpLayout(const uint8_t* head, size_t headSize, uint64_t fileSize) {
  if (fileSize < 14 || headSize < std::min<uint64_t>(fileSize, BmpHeaderBytes) || head[0] != 'B' || head[1] != 'M')
    InvalidBitmap();
  const uint32_t offBits = Get32(head + 10);
  const size_t bitsOffset = offBits >= 14 ? offBits - 14 : 0;
  const uint64_t size = fileSize - 14;
  const TDibLayout d = ReadLayout(head + 14, size_t(std::min<uint64_t>(size, SIZE_MAX)), bitsOffset, false);
  TBmpLayout layout;
  layout.Width = int(d.Width);
  layout.Height = int(d.Rows);
  layout.BitCount = d.BitCount;
  layout.OutBits = d.OutBits;
  layout.DataEnd = 14 + (d.Rle ? size : std::min<uint64_t>(size, d.PixelStart + d.Stride * uint64_t(d.Rows)));
  return layout;
}

TDibShape ReadDibShape(const uint8_t* data, size_t size, size_t bitsOffset) {
  const TDibLayout d = ReadLayout(data, size, bitsOffset, false);
  return {int(d.Width), int(d.Rows), d.BitCount, d.Rle};
}

std::unique_ptr<TDibSection> ReadDib(const uint8_t* data, size_t size, size_t bitsOffset, bool iconHalfHeight,
                                     TDibHeaderInfo* info) {
  const TDibLayout layout = ReadLayout(data, size, bitsOffset, iconHalfHeight);
  const int64_t width = layout.Width, rows = layout.Rows;
  const int bitCount = layout.BitCount, outBits = layout.OutBits;
  const bool topDown = layout.TopDown, rle = layout.Rle, rgb565 = layout.Rgb565, convert = layout.Convert;
  const TMasks masks = layout.Masks;
  const size_t tableStart = layout.TableStart, entrySize = layout.EntrySize;
  const uint64_t kept = layout.Kept, pixelStart = layout.PixelStart, stride = layout.Stride;
  const uint64_t available = size - pixelStart;

  std::unique_ptr<TDibSection> dib(
      CreateDib(static_cast<int>(width), static_cast<int>(rows), outBits, rgb565));
  for (uint64_t i = 0; i < kept; ++i) {
    const uint8_t* p = data + tableStart + i * entrySize;
    dib->ColorTable.push_back(RGBQUAD{p[0], p[1], p[2], 0});
  }

  const uint8_t* pixels = data + pixelStart;
  size_t pixelsEnd;
  if (rle) {
    pixelsEnd = pixelStart + DecodeRle(pixels, available, *dib, topDown);
  } else {
    for (int r = 0; r < dib->Height; ++r) {
      const uint8_t* src = pixels + r * stride;
      uint8_t* dst = dib->ScanLine(topDown ? r : dib->Height - 1 - r);
      if (convert) ConvertFieldsRow(src, dib->Width, bitCount / 8, masks, dst, outBits / 8);
      else std::memcpy(dst, src, std::min(stride, available - r * stride));
    }
    pixelsEnd = std::min<uint64_t>(size, pixelStart + stride * rows);
  }

  if (info) {
    info->Width = dib->Width;
    info->Height = dib->Height;
    info->BitCount = bitCount;
    info->TopDown = topDown;
    info->PixelsEnd = pixelsEnd;
  }
  return dib;
}

void WriteBmp(const TDibSection& dib, TStream& stream) {
  const int bits = dib.BitCount;
  std::vector<RGBQUAD> table;
  uint32_t colorsUsed = 0;
  if (bits <= 8) {
    const size_t full = size_t(1) << bits;
    table = dib.ColorTable;
    if (dib.Monochrome && table.empty()) table = {RGBQUAD{0, 0, 0, 0}, RGBQUAD{255, 255, 255, 0}};
    // Without a table every index reads black: a full black table says so.
    if (table.empty() || table.size() > full) table.resize(full);
    if (table.size() < full) colorsUsed = static_cast<uint32_t>(table.size());
  }
  const bool fields = bits == 16 && dib.Rgb565;
  const uint32_t offBits = 14 + 40 + (fields ? 12 : 0) + static_cast<uint32_t>(table.size()) * 4;
  const uint32_t imageSize = static_cast<uint32_t>(dib.Stride) * static_cast<uint32_t>(dib.Height);

  std::vector<uint8_t> header;
  header.push_back('B');
  header.push_back('M');
  Put32(header, offBits + imageSize);
  Put32(header, 0);  // reserved
  Put32(header, offBits);
  Put32(header, 40);
  Put32(header, static_cast<uint32_t>(dib.Width));
  Put32(header, static_cast<uint32_t>(dib.Height));
  Put16(header, 1);  // planes
  Put16(header, static_cast<uint32_t>(bits));
  Put32(header, fields ? BI_BITFIELDS : BI_RGB);
  Put32(header, imageSize);
  Put32(header, 0);  // pixels per metre
  Put32(header, 0);
  Put32(header, colorsUsed);
  Put32(header, 0);  // important colours
  if (fields) {
    Put32(header, kMasks565.Red);
    Put32(header, kMasks565.Green);
    Put32(header, kMasks565.Blue);
  }
  for (const RGBQUAD& q : table) {
    header.push_back(q.rgbBlue);
    header.push_back(q.rgbGreen);
    header.push_back(q.rgbRed);
    header.push_back(0);
  }
  stream.WriteBuffer(header.data(), static_cast<int64_t>(header.size()));
  for (int r = dib.Height - 1; r >= 0; --r) stream.WriteBuffer(dib.ScanLine(r), dib.Stride);
}
