// Encoding the image data: turning the header's picture back into PNG rows,
// filtering them, deflating them and writing the IDAT chunks.
#include <zlib.h>

#include <cstring>

#include "png/pngcodec.h"

using namespace pngcodec;

namespace {

// Deflates the rows and writes the compressed data as IDAT chunks of
// exactly maxSize bytes, the last one as long as what is left.
class TImageDataWriter {
 public:
  TImageDataWriter(TStream& stream, int level, uint32_t maxSize) : FStream(stream), FOutput(maxSize) {
    int rc = deflateInit2(&FZ, level, Z_DEFLATED, 15, 8, Z_DEFAULT_STRATEGY);
    if (rc != Z_OK) RaiseZlibError(rc);
    Reset();
  }
  ~TImageDataWriter() { deflateEnd(&FZ); }
  TImageDataWriter(const TImageDataWriter&) = delete;
  TImageDataWriter& operator=(const TImageDataWriter&) = delete;

  void Write(const uint8_t* data, size_t length) {
    FZ.next_in = const_cast<Bytef*>(data);
    FZ.avail_in = static_cast<uInt>(length);
    while (FZ.avail_in > 0) Deflate(Z_NO_FLUSH);
  }

  void Finish() {
    while (Deflate(Z_FINISH) != Z_STREAM_END) {
    }
    if (FZ.avail_out < FOutput.size()) Emit(FOutput.size() - FZ.avail_out);
  }

 private:
  int Deflate(int flush) {
    int rc = deflate(&FZ, flush);
    if (rc != Z_OK && rc != Z_STREAM_END) RaiseZlibError(rc);
    if (FZ.avail_out == 0) {
      Emit(FOutput.size());
      Reset();
    }
    return rc;
  }
  void Reset() {
    FZ.next_out = FOutput.data();
    FZ.avail_out = static_cast<uInt>(FOutput.size());
  }
  void Emit(size_t length) { WriteChunk(FStream, "IDAT", FOutput.data(), length); }

  TStream& FStream;
  std::vector<uint8_t> FOutput;
  z_stream FZ{};
};

// Chooses the filter of a row and leaves the filtered bytes in its buffer.
// buffers[0] holds the previous raw row on entry and the current one on exit.
class TRowFilter {
 public:
  TRowFilter(TFilters filters, int stride, size_t lineBytes) : FFilters(filters), FStride(stride) {
    for (int f = 0; f < 5; ++f)
      if (f == pfNone || (filters & FilterSet(TFilter(f)))) FBuffers[f].assign(lineBytes, 0);
  }
  uint8_t* Buffer(int filter) { return FBuffers[filter].data(); }
  void StartPass(size_t lineBytes) {
    FLength = lineBytes;
    std::fill_n(FBuffers[pfNone].begin(), lineBytes, 0);
  }

  int Choose(const uint8_t* x) {
    const uint8_t* p = FBuffers[pfNone].data();
    size_t n = FLength, s = size_t(FStride);
    auto left = [&](size_t i) { return i >= s ? x[i - s] : 0; };
    auto upperLeft = [&](size_t i) { return i >= s ? p[i - s] : 0; };
    if (FFilters & FilterSet(pfSub))
      for (size_t i = 0; i < n; ++i) FBuffers[pfSub][i] = static_cast<uint8_t>(x[i] - left(i));
    if (FFilters & FilterSet(pfUp))
      for (size_t i = 0; i < n; ++i) FBuffers[pfUp][i] = static_cast<uint8_t>(x[i] - p[i]);
    if (FFilters & FilterSet(pfAverage))
      for (size_t i = 0; i < n; ++i)
        FBuffers[pfAverage][i] = static_cast<uint8_t>(x[i] - ((p[i] + left(i)) >> 1));
    if (FFilters & FilterSet(pfPaeth))
      for (size_t i = 0; i < n; ++i)
        FBuffers[pfPaeth][i] = static_cast<uint8_t>(x[i] - PaethPredictor(left(i), p[i], upperLeft(i)));
    std::memcpy(FBuffers[pfNone].data(), x, n);
    if (FFilters == 0 || FFilters == FilterSet(pfNone)) return pfNone;
    // A filter alone is taken as it is; among several, the one whose bytes
    // repeat most often (ties to the lower type; none when nothing repeats).
    int best = pfNone, bestScore = 0;
    for (int f = 0; f < 5; ++f) {
      if (!(FFilters & FilterSet(TFilter(f)))) continue;
      if (FFilters == FilterSet(TFilter(f))) return f;
      const uint8_t* b = FBuffers[f].data();
      int score = 0;
      for (size_t j = 2; j < n; ++j) score += b[j] == b[j - 1] || b[j] == b[j - 2];
      if (score > bestScore) best = f, bestScore = score;
    }
    return best;
  }

 private:
  TFilters FFilters;
  int FStride;
  size_t FLength = 0;
  std::vector<uint8_t> FBuffers[5];
};

// Encodes count pixels of image row y, pixel k from column x0 + k * dx,
// into the PNG row d. 16-bit colour samples take their low byte from the
// low-byte plane (zero in pictures the codec made); 16-bit alpha is written
// as its byte followed by a zero byte.
void EncodeRow(const TPNGObject& owner, TChunkIHDR& header, int depth, uint8_t* d, int y, int x0, int dx,
               int count, size_t lineBytes) {
  const auto& inverse = owner.InverseGammaLookup;
  const TIHDRData& h = header.HeaderData;
  const uint8_t* image = header.ImageRow(y);
  const uint8_t* alpha = header.AlphaPlane.empty() ? nullptr : header.AlphaRow(y);
  const uint8_t* low = header.LowBytePlane.empty() ? nullptr : header.LowByteRow(y);
  switch (h.ColorType) {
    case COLOR_RGB:
    case COLOR_RGBALPHA:
      for (int k = 0, x = x0; k < count; ++k, x += dx) {
        for (int c = 2; c >= 0; --c) {
          *d++ = inverse[image[3 * x + c]];
          if (low) *d++ = inverse[low[3 * x + c]];
        }
        if (alpha) {
          *d++ = alpha[x];
          if (low) *d++ = 0;
        }
      }
      break;
    case COLOR_GRAYSCALEALPHA:
      for (int k = 0, x = x0; k < count; ++k, x += dx) {
        *d++ = image[x];
        if (low) *d++ = low[x];
        *d++ = alpha[x];
        if (low) *d++ = 0;
      }
      break;
    default:  // grey and palette
      if (low) {
        for (int k = 0, x = x0; k < count; ++k, x += dx) *d++ = image[x], *d++ = low[x];
      } else if (x0 == 0 && dx == 1) {
        std::memcpy(d, image, lineBytes);
      } else {
        std::memset(d, 0, lineBytes);
        for (int k = 0, x = x0; k < count; ++k, x += dx) {
          int bit = x * depth, v = (image[bit >> 3] >> (8 - depth - (bit & 7))) & ((1 << depth) - 1);
          int out = k * depth;
          d[out >> 3] = static_cast<uint8_t>(d[out >> 3] | (v << (8 - depth - (out & 7))));
        }
      }
  }
}

}  // namespace

namespace pngcodec {

void EncodeImageData(const TPNGObject& owner, TChunkIHDR& header, TStream& stream) {
  const TIHDRData& h = header.HeaderData;
  // 2-bit pictures are held, and written, as 4-bit ones.
  int depth = h.BitDepth == 2 ? 4 : h.BitDepth;
  int width = header.Width(), height = header.Height();
  auto fullLine = static_cast<size_t>(BytesForPixels(width, h.ColorType, depth));
  TRowFilter filter(owner.Filters, PixelStride(h.ColorType, depth), fullLine);
  std::vector<uint8_t> raw(fullLine);
  TImageDataWriter writer(stream, owner.CompressionLevel, owner.MaxIdatSize());
  bool adam7 = owner.InterlaceMethod == imAdam7;
  for (int pass = 0; pass < (adam7 ? 7 : 1); ++pass) {
    int x0 = adam7 ? ColumnStart[pass] : 0, dx = adam7 ? ColumnIncrement[pass] : 1;
    int y0 = adam7 ? RowStart[pass] : 0, dy = adam7 ? RowIncrement[pass] : 1;
    int64_t columns = adam7 ? PassColumns(width, pass) : width;
    auto lineBytes = static_cast<size_t>(BytesForPixels(columns, h.ColorType, depth));
    if (lineBytes == 0) continue;
    filter.StartPass(lineBytes);
    for (int y = y0; y < height; y += dy) {
      EncodeRow(owner, header, depth, raw.data(), y, x0, dx, static_cast<int>(columns), lineBytes);
      auto type = static_cast<uint8_t>(filter.Choose(raw.data()));
      writer.Write(&type, 1);
      writer.Write(filter.Buffer(type), lineBytes);
    }
  }
  writer.Finish();
}

}  // namespace pngcodec
