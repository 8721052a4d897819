// Pieces the PNG files share among themselves (not for users of the codec).
#pragma once

#include <cstdint>
#include <cstdlib>
#include <string>

#include "png/pngimage.h"

namespace pngcodec {

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
uint32_t ChunkCrc(const std::string& name, const uint8_t* data, size_t size);
// Exactly count bytes, or EPngUnexpectedEnd.
void ReadExact(TStream& stream, void* buffer, int64_t count);
// Reads the CRC that ends a chunk and compares it; EPngInvalidCRC.
void CheckCrc(TStream& stream, uint32_t crc);
// Reads a chunk's length and name. EPngUnexpectedEnd when the stream ends
// within them, or when the length passes 2^31 - 1 or the chunk (data and
// CRC) would pass the end of the stream.
void ReadChunkHeader(TStream& stream, uint32_t& length, std::string& name);
// Writes one whole chunk.
void WriteChunk(TStream& stream, const std::string& name, const uint8_t* data, size_t size);

// The message of EPNGZLIBError for a zlib return code.
[[noreturn]] void RaiseZlibError(int code);

// Bytes of a row of n pixels of the header's kind, and the bytes of one
// whole pixel (the filters' distance).
int64_t BytesForPixels(int64_t pixels, int colorType, int bitDepth);
int PixelStride(int colorType, int bitDepth);

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

// A grey ramp of 2^bits entries through the owner's gamma table.
HPALETTE MakeGrayscalePalette(const TPNGObject& owner, int bits);

// Decodes the image data that starts at the stream's position (the data of
// an IDAT chunk of size bytes) into the header's buffers; returns after the
// CRC of the last IDAT chunk read.
void DecodeImageData(TPNGObject& owner, TChunkIHDR& header, TStream& stream, uint32_t size);
// Writes the header's picture as IDAT chunks.
void EncodeImageData(const TPNGObject& owner, TChunkIHDR& header, TStream& stream);
// Filtered image data up to this many bytes is deflated whole with
// libdeflate; more is deflated as a stream through zlib, so a huge picture
// does not need twice its image data again in memory. A variable only so
// that tests can reach the streaming path with small pictures.
inline size_t DeflateWholeBufferLimit = size_t(512) << 20;

}  // namespace pngcodec
