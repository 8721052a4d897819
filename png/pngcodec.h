// Pieces the PNG files share among themselves (not for users of the codec).
#pragma once

#include <zlib.h>

#include <cstdint>
#include <cstdlib>
#include <functional>
#include <list>
#include <memory>
#include <string>

#include "png/pngimage.h"

namespace pngcodec {

// The eight bytes every PNG file starts with.
inline constexpr uint8_t kSignature[8] = {0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A};

// The most entries a PNG palette holds, as many as the colour table of the
// header's bitmap has. The platform's palettes may hold more; the entries
// past these are never taken into a picture.
inline constexpr unsigned kMaxPaletteEntries = 256;

inline uint32_t GetU32(const uint8_t* p) {
  return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
}
inline void PutU32(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v >> 24);
  p[1] = static_cast<uint8_t>(v >> 16);
  p[2] = static_cast<uint8_t>(v >> 8);
  p[3] = static_cast<uint8_t>(v);
}

// CRC-32 of the four name bytes followed by the data.
uint32_t ChunkCrc(const TChunkName& name, const uint8_t* data, size_t size);
// Raises EPngUnexpectedEnd.
[[noreturn]] void RaiseUnexpectedEnd();
// Exactly count bytes, or EPngUnexpectedEnd. Every chunk read calls it.
inline void ReadExact(TStream& stream, void* buffer, int64_t count) {
  if (stream.Read(buffer, count) != count) RaiseUnexpectedEnd();
}
// Reads the CRC that ends a chunk and compares it; EPngInvalidCRC.
void CheckCrc(TStream& stream, uint32_t crc);
// Reads a chunk's length and name. EPngUnexpectedEnd when the stream ends
// within them, or when the length passes 2^31 - 1 or the chunk (data and
// CRC) would pass the end of the stream.
void ReadChunkHeader(TStream& stream, uint32_t& length, TChunkName& name);
// Writes one whole chunk.
void WriteChunk(TStream& stream, const TChunkName& name, const uint8_t* data, size_t size);

// The message of EPNGZLIBError for a zlib return code.
[[noreturn]] void RaiseZlibError(int code);

// Bytes of a row of n pixels of the header's kind, and the bytes of one
// whole pixel (the filters' distance).
int64_t BytesForPixels(int64_t pixels, int colorType, int bitDepth);
int PixelStride(int colorType, int bitDepth);

// The values of a header's 13 bytes (size: the chunk's length), checked as
// the reader takes a header: EPngInvalidIHDR, EPNGSizeExceeds,
// EPNGUnknownCompression or EPNGUnknownInterlace when they fail.
TIHDRData CheckedHeaderData(const uint8_t* data, size_t size);

// The buffers that hold a decoded picture of a kind and size: the bitmap
// (Bits per pixel, rows of Stride bytes), the alpha plane (colour types 4
// and 6) and the plane of low bytes (depth 16), in bytes.
struct TImageLayout {
  int Bits = 0;
  int64_t Stride = 0;
  int64_t PixelBytes = 0, AlphaBytes = 0, LowByteBytes = 0;
  // The header's buffers may hold up to MaxBitmapBytes together.
  bool Fits() const { return PixelBytes + AlphaBytes + LowByteBytes <= MaxBitmapBytes; }
};
TImageLayout ImageLayout(int colorType, int bitDepth, int64_t width, int64_t height);

// The outcome of inflating the zlib stream of a zTXt chunk's text under a
// bound: the size of the text, or one of these.
inline constexpr int64_t kTextNotInflated = -1;  // bad or cut data, a preset dictionary
inline constexpr int64_t kTextTooLong = -2;      // more text than the bound
// Inflates the stream that input hands out, at most limit bytes of text; the
// text goes to text when given (it should have room for limit bytes
// reserved, so that it grows without moving), or is only counted. The
// outcome depends on the bytes alone, whatever blocks they come in; so do
// the bytes inflated (inflated) unless the text passes the limit.
int64_t InflateText(const TTextInput& input, int64_t limit, std::string* text = nullptr,
                    int64_t* inflated = nullptr);

}  // namespace pngcodec

// zlib's state for inflating text, made at its first stream and reset for
// each next one.
struct TTextInflater {
  TTextInflater() = default;
  TTextInflater(const TTextInflater&) = delete;
  TTextInflater& operator=(const TTextInflater&) = delete;
  ~TTextInflater() {
    if (Ready) inflateEnd(&Stream);
  }
  // As InflateText; a whole text that comes out at once (up to 16 KiB)
  // also goes to small, when given.
  int64_t Inflate(const TTextInput& input, int64_t limit, std::string* text = nullptr, int64_t* inflated = nullptr,
                  std::string* small = nullptr);
  z_stream Stream{};
  bool Ready = false;
};

namespace pngcodec {

// The kinds of chunk a file's walk has met, with the count of each; the
// reader and PngLoadClaim count them alike, so that both keep the same
// chunks as objects (see kMaxChunkObjects).
class TChunkKinds {
 public:
  struct TKind {
    const TChunkClass* Class;
    // Past the objects it keeps, a kind's small chunks go into a batch.
    bool Batched;
    int64_t Count;
    // The reader's chunk that reads those kept in a batch, one after another.
    std::unique_ptr<TChunk> Reader;
  };
  // The kind of the name, of its registered class or of none. The first
  // names asked for are remembered: a pile asks for a few names again and
  // again.
  TKind& Of(const TChunkName& name);
  // The kinds a batch keeps: the ancillary chunks of the codec's own
  // classes and of none, and later headers.
  static bool Batched(const TChunkClass* chunkClass);

 private:
  // A list, whose items never move: a file has few kinds.
  std::list<TKind> FKinds;
  std::vector<std::pair<TChunkName, TKind*>> FNames;
};

// Adam7 passes.
inline constexpr int RowStart[7] = {0, 0, 4, 0, 2, 0, 1};
inline constexpr int ColumnStart[7] = {0, 4, 0, 2, 0, 1, 0};
inline constexpr int RowIncrement[7] = {8, 8, 8, 4, 4, 2, 2};
inline constexpr int ColumnIncrement[7] = {8, 8, 4, 4, 2, 2, 1};
inline int64_t PassColumns(int width, int pass) {
  return (int64_t(width) - ColumnStart[pass] + ColumnIncrement[pass] - 1) / ColumnIncrement[pass];
}

inline uint8_t PaethPredictor(int a, int b, int c) {
  int pa = std::abs(b - c), pb = std::abs(a - c), pc = std::abs(a + b - 2 * c);
  if (pa <= pb && pa <= pc) return static_cast<uint8_t>(a);
  return static_cast<uint8_t>(pb <= pc ? b : c);
}

// The 8-bit level of a grey sample of 1, 2, 4 or 8 bits, the levels spread
// evenly from 0 to 255: 1 bit to 0 or 255, 4 bits times 17, 8 bits as they are.
inline uint8_t GreyLevel(int sample, int bits) { return static_cast<uint8_t>(sample * (255 / ((1 << bits) - 1))); }
// A grey ramp of 2^bits entries through the owner's gamma table.
HPALETTE CreateGrayscalePalette(const TPNGObject& owner, int bits);

// The alpha of every pixel of a picture with transparency: from the alpha
// plane, the palette's alphas, or 0 where the sample (all its bits) equals
// the tRNS sample and 255 elsewhere.
class TPixelAlpha {
 public:
  TPixelAlpha(const TPNGObject& png, const TChunkIHDR& header)
      : FHeader(header), FTrns(header.AlphaPlane.empty() ? png.ChunkList().FindChunk<TChunktRNS>() : nullptr) {
    const TIHDRData& h = header.HeaderData;
    if (!FTrns || h.ColorType == COLOR_PALETTE) return;
    const auto& v = FTrns->AlphaValues;
    const auto& gamma = png.GammaLookup;
    bool wide = h.BitDepth == 16;
    for (int c = 0; c < (h.ColorType == COLOR_RGB ? 3 : 1); ++c) {
      int high = v[size_t(2 * c)], low = v[size_t(2 * c + 1)];
      if (h.ColorType == COLOR_GRAYSCALE) {
        // As the bitmap holds the sample: its index (2-bit samples times 5),
        // or the high byte with the low byte in its plane.
        FKey[0] = wide ? high : ((high << 8) | low) * (h.BitDepth == 2 ? 5 : 1);
        FLowKey[0] = low;
      } else {
        // The bitmap holds RGB samples through the gamma table; blue first.
        FKey[2 - c] = wide ? gamma[size_t(high)] : high ? -1 : gamma[size_t(low)];
        FLowKey[2 - c] = gamma[size_t(low)];
      }
    }
  }

  uint8_t Grey(int index, int y, int x) const {
    if (!FTrns) return FHeader.AlphaPlane.empty() ? 255 : FHeader.AlphaPlane[size_t(y) * FHeader.Width() + x];
    bool match = index == FKey[0] && (FHeader.LowBytePlane.empty() || LowByte(y, x) == FLowKey[0]);
    return match ? 0 : 255;
  }
  uint8_t Palette(int index) const { return FTrns ? FTrns->AlphaValues[size_t(index)] : 255; }
  uint8_t Rgb(const uint8_t* bgr, int y, int x) const {
    if (!FTrns) return FHeader.AlphaPlane.empty() ? 255 : FHeader.AlphaPlane[size_t(y) * FHeader.Width() + x];
    for (int c = 0; c < 3; ++c)
      if (bgr[c] != FKey[c] || (!FHeader.LowBytePlane.empty() && LowByte(y, 3 * x + c) != FLowKey[c]))
        return 255;
    return 0;
  }

 private:
  uint8_t LowByte(int y, int offset) const {
    return FHeader.LowBytePlane[size_t(y) * FHeader.RowStride() + size_t(offset)];
  }
  const TChunkIHDR& FHeader;
  const TChunktRNS* FTrns;
  int FKey[3] = {-1, -1, -1}, FLowKey[3] = {-1, -1, -1};
};

// Decodes the image data that starts at the stream's position (the data of
// an IDAT chunk of size bytes) into the buffers of the chunk's HeaderChunk;
// returns after the CRC of the last IDAT chunk read. The chunk's
// HeaderChunk, ImageWidth, ImageHeight, LineBytes and PixelStride are set
// for the whole picture; LineBytes changes with each Adam7 pass.
void DecodeImageData(TChunkIDAT& chunk, TStream& stream, uint32_t size);
// Writes the picture of the chunk's HeaderChunk as IDAT chunks, the chunk
// set up as for decoding.
void EncodeImageData(TChunkIDAT& chunk, TStream& stream);
// Filtered image data up to this many bytes is deflated whole with
// libdeflate; more is deflated as a stream through zlib, so a huge picture
// does not need twice its image data again in memory. A variable only so
// that tests can reach the streaming path with small pictures.
inline size_t DeflateWholeBufferLimit = size_t(512) << 20;

}  // namespace pngcodec
