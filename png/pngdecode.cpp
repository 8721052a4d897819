// Decoding the image data: inflating across the IDAT chunks, undoing the
// row filters and storing the pixels of every colour type, bit depth and
// interlace method into the header's buffers.
#include <zlib.h>

#include <cstring>
#include <utility>

#include "png/pngcodec.h"
#include "png/pnglang.h"

using namespace pngcodec;

namespace {

// Inflates the image data of consecutive IDAT chunks, checking the CRC of
// each chunk at its end.
class TImageDataReader {
 public:
  TImageDataReader(TStream& stream, uint32_t size) : FStream(stream), FChunkLeft(size), FInput(65535) {
    FCrc = crc32(0, reinterpret_cast<const Bytef*>("IDAT"), 4);
    int rc = inflateInit(&FZ);
    if (rc != Z_OK) RaiseZlibError(rc);
  }
  ~TImageDataReader() { inflateEnd(&FZ); }
  TImageDataReader(const TImageDataReader&) = delete;
  TImageDataReader& operator=(const TImageDataReader&) = delete;

  // Fills count bytes; false when the compressed data ends first.
  bool Read(uint8_t* buffer, size_t count) {
    FZ.next_out = buffer;
    FZ.avail_out = static_cast<uInt>(count);
    while (FZ.avail_out > 0) {
      if (FEnded) return false;
      if (FZ.avail_in == 0) {
        // Zero-length chunks within the run are passed over.
        while (FChunkLeft == 0) NextChunk();
        auto n = static_cast<uInt>(std::min<int64_t>(FChunkLeft, int64_t(FInput.size())));
        ReadExact(FStream, FInput.data(), n);
        FCrc = crc32(FCrc, FInput.data(), n);
        FChunkLeft -= n;
        FZ.next_in = FInput.data();
        FZ.avail_in = n;
      }
      int rc = inflate(&FZ, Z_NO_FLUSH);
      if (rc == Z_STREAM_END)
        FEnded = true;
      else if (rc != Z_OK)
        RaiseZlibError(rc);
    }
    return true;
  }

  // Passes over what is left of the current chunk and checks its CRC.
  void Finish() {
    while (FChunkLeft > 0) {
      auto n = static_cast<uInt>(std::min<int64_t>(FChunkLeft, int64_t(FInput.size())));
      ReadExact(FStream, FInput.data(), n);
      FCrc = crc32(FCrc, FInput.data(), n);
      FChunkLeft -= n;
    }
    CheckCrc(FStream, static_cast<uint32_t>(FCrc));
  }

 private:
  void NextChunk() {
    CheckCrc(FStream, static_cast<uint32_t>(FCrc));
    uint32_t length;
    TChunkName name;
    ReadChunkHeader(FStream, length, name);
    if (name != "IDAT") throw EPNGMissingMultipleIDAT(pnglang::EPNGMissingMultipleIDATText);
    FCrc = crc32(0, reinterpret_cast<const Bytef*>(name.Chars.data()), 4);
    FChunkLeft = length;
  }

  TStream& FStream;
  int64_t FChunkLeft;
  std::vector<uint8_t> FInput;
  z_stream FZ{};
  uLong FCrc;
  bool FEnded = false;
};

// Undoes the filter of row r (r[0] the filter type, r[1..length] the bytes)
// against the previous row p.
void FilterRow(uint8_t* r, const uint8_t* p, int64_t length, int stride) {
  switch (r[0]) {
    case 1:
      for (int64_t i = stride + 1; i <= length; ++i) r[i] = static_cast<uint8_t>(r[i] + r[i - stride]);
      break;
    case 2:
      for (int64_t i = 1; i <= length; ++i) r[i] = static_cast<uint8_t>(r[i] + p[i]);
      break;
    case 3:
      for (int64_t i = 1; i <= length; ++i) {
        int left = i > stride ? r[i - stride] : 0;
        r[i] = static_cast<uint8_t>(r[i] + ((left + p[i]) >> 1));
      }
      break;
    case 4:
      for (int64_t i = 1; i <= length; ++i) {
        int left = i > stride ? r[i - stride] : 0, upperLeft = i > stride ? p[i - stride] : 0;
        r[i] = static_cast<uint8_t>(r[i] + PaethPredictor(left, p[i], upperLeft));
      }
      break;
    default:
      break;  // none, and unknown types leave the row as it is
  }
}

// Stores count pixels of a decoded row s into image row y, pixel k at
// column x0 + k * dx.
void StoreRow(TPNGObject& owner, TChunkIHDR& header, const uint8_t* s, int y, int x0, int dx, int count,
              int64_t lineBytes) {
  const auto& g = owner.GammaLookup;
  const TIHDRData& h = header.HeaderData;
  uint8_t* image = header.ImageRow(y);
  uint8_t* low = header.LowBytePlane.empty() ? nullptr : header.LowByteRow(y);
  uint8_t* alpha = header.AlphaPlane.empty() ? nullptr : header.AlphaRow(y);
  int depth = h.BitDepth;
  switch (h.ColorType) {
    case COLOR_RGB:
    case COLOR_RGBALPHA: {
      bool hasAlpha = h.ColorType == COLOR_RGBALPHA;
      int step = (hasAlpha ? 4 : 3) * depth / 8;
      int at = depth / 8;  // distance between samples
      for (int k = 0, x = x0; k < count; ++k, x += dx, s += step) {
        uint8_t* d = image + 3 * x;
        d[0] = g[s[2 * at]], d[1] = g[s[at]], d[2] = g[s[0]];
        if (depth == 16) {
          uint8_t* l = low + 3 * x;
          l[0] = g[s[5]], l[1] = g[s[3]], l[2] = g[s[1]];
        }
        if (hasAlpha) alpha[x] = s[3 * at];
      }
      break;
    }
    case COLOR_GRAYSCALEALPHA:
      for (int k = 0, x = x0; k < count; ++k, x += dx, s += depth / 4) {
        image[x] = s[0];
        if (depth == 16) low[x] = s[1];
        alpha[x] = s[depth / 8];
      }
      break;
    default:  // grey and palette
      if (depth == 16) {
        for (int k = 0, x = x0; k < count; ++k, x += dx, s += 2) image[x] = s[0], low[x] = s[1];
      } else if (x0 == 0 && dx == 1 && depth != 2) {
        std::memcpy(image, s, static_cast<size_t>(lineBytes));
      } else {
        // Samples of less than a byte, most significant first. 2-bit ones
        // are held as 4-bit indices: grey sample v as v * 5 (the same level
        // in the 16-step ramp), palette index v as v.
        int mask = (1 << depth) - 1, bits = header.BitsPerPixel();
        int scale = depth == 2 && h.ColorType == COLOR_GRAYSCALE ? 5 : 1;
        for (int k = 0, x = x0; k < count; ++k, x += dx) {
          int bit = k * depth;
          int v = (s[bit >> 3] >> (8 - depth - (bit & 7))) & mask;
          SetIndexAt(image, x, bits, v * scale);
        }
      }
  }
}

}  // namespace

namespace pngcodec {

void DecodeImageData(TChunkIDAT& chunk, TStream& stream, uint32_t size) {
  TPNGObject& owner = chunk.Owner();
  TChunkIHDR& header = *chunk.HeaderChunk;
  const TIHDRData& h = header.HeaderData;
  TImageDataReader reader(stream, size);
  int width = chunk.ImageWidth, height = chunk.ImageHeight;
  bool adam7 = owner.InterlaceMethod == imAdam7;
  std::vector<uint8_t> current, previous;
  bool ended = false;
  for (int pass = 0; pass < (adam7 ? 7 : 1) && !ended; ++pass) {
    int x0 = adam7 ? ColumnStart[pass] : 0, dx = adam7 ? ColumnIncrement[pass] : 1;
    int y0 = adam7 ? RowStart[pass] : 0, dy = adam7 ? RowIncrement[pass] : 1;
    int64_t columns = adam7 ? PassColumns(width, pass) : width;
    if (adam7) chunk.LineBytes = BytesForPixels(columns, h.ColorType, h.BitDepth);
    int64_t lineBytes = chunk.LineBytes;
    if (lineBytes <= 0) continue;
    // The first row of every pass is filtered against a row of zeros.
    previous.assign(static_cast<size_t>(lineBytes + 1), 0);
    current.resize(previous.size());
    for (int y = y0; y < height; y += dy) {
      // Compressed data that ends early leaves the missing rows zero.
      if (!reader.Read(current.data(), current.size())) {
        ended = true;
        break;
      }
      FilterRow(current.data(), previous.data(), lineBytes, chunk.PixelStride);
      StoreRow(owner, header, current.data() + 1, y, x0, dx, static_cast<int>(columns), lineBytes);
      std::swap(current, previous);
    }
  }
  reader.Finish();
}

}  // namespace pngcodec
