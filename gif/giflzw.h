// The encoders of GIF image data: a true LZW compressor over a hashed string
// table, and a run-length encoder whose output is a valid LZW code stream
// made only of literal pixels and codes of runs the decoder's own table
// holds. Both write the code-size byte, the codes packed least significant
// bit first into data sub-blocks of up to 255 bytes, and the terminator.
// (The decoder is TGIFSubImage::Decompress.)
#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include "platform/system/classes.h"

// The LZW string table: open addressing over 8009 slots, each holding
// (key << 12) | code, where key = (prefix code << 8) | next pixel.
class THashTable {
 public:
  THashTable() { Clear(); }
  void Clear() { FTable.fill(0xFFFFFFFF); }
  void Insert(int key, int code);
  // The code stored for the key, or -1.
  int Lookup(int key) const;

 private:
  static constexpr int HashSize = 8009;
  static int Hash(int key) { return ((key >> 4) ^ key) % HashSize; }
  static int NextProbe(int slot) {
    slot -= slot == 0 ? 1 : HashSize - slot;
    return slot < 0 ? slot + HashSize : slot;
  }
  std::array<uint32_t, HashSize> FTable;
};

// An output adaptor: reading, writing and seeking it raise Exception
// "Invalid stream operation".
class TGIFStream : public TStream {
 public:
  explicit TGIFStream(TStream& stream) : FStream(stream) {}
  int64_t Read(void* buffer, int64_t count) override;
  int64_t Write(const void* buffer, int64_t count) override;
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;

 protected:
  TStream& FStream;
  uint8_t FBuffer[256];  // byte 0 is the sub-block's length
  int FBufferCount = 1;
};

// Packs what is written into data sub-blocks of 255 bytes (the last one
// shorter); Flush writes the partly filled last one.
class TGIFWriter : public TGIFStream {
 public:
  using TGIFStream::TGIFStream;
  int64_t Write(const void* buffer, int64_t count) override;
  void WriteByte(uint8_t value) {
    FBuffer[FBufferCount++] = value;
    if (FBufferCount == 256) Flush();
  }
  void Flush();
};

// The driver shared by both encoders: code packing and the pixel order.
class TGIFEncoder {
 public:
  virtual ~TGIFEncoder() = default;
  // Writes the pixels (width x height bytes, rows without gaps, taken in the
  // four-pass order when interlaced). A pixel not below colorCount raises
  // "Color not in color table"; the bytes packed so far still reach the
  // stream, the terminator does not. Without data or with a size of 0 only
  // the end code is written.
  void Compress(TStream& stream, int bitsPerPixel, int width, int height, bool interlaced,
                const uint8_t* data, int colorCount);

 protected:
  virtual void Output(int code);
  virtual void Clear();
  virtual void DoCompress() = 0;
  // The next pixel (checked against the colour count).
  int ReadPixel();
  // Steps to the next pixel; false when the frame is done.
  bool MorePixels();

  int FColorCount = 0;
  int FCodeSize = 0;
  int FWidth = 0, FHeight = 0;
  bool FInterlaced = false;
  const uint8_t* FData = nullptr;
  TGIFWriter* FWriter = nullptr;
  uint32_t FOutputBucket = 0;
  int FOutputBits = 0;
  bool FClearFlag = false;
  int FBitsPerCode = 0;
  int FInitialBitsPerCode = 0;
  int FMaxCode = 0;
  int FClearCode = 0;
  int FEOFCode = 0;
  int FBaseCode = 0;
  const uint8_t* FPixel = nullptr;
  int64_t FPixelsLeft = 0;
  int FRow = 0;
  int FPass = 0;
};

class TLZWEncoder : public TGIFEncoder {
 protected:
  void Output(int code) override;
  void Clear() override;
  void DoCompress() override;

 private:
  int FPrefix = 0;
  int FFreeEntry = 0;
  std::unique_ptr<THashTable> FHashTable;
};

class TRLEEncoder : public TGIFEncoder {
 protected:
  void Clear() override;
  void DoCompress() override;

 private:
  void WriteRun(int count);
  void Emit(int code);
  void BuildFromClear(int count);
  void RepeatOrRebuild(int count);
  void ReuseTable(int count);
  void RestoreLimit();
  // Codes that building a run of count pixels from a clear takes.
  int64_t RunTableCost(int64_t count) const;

  int FRunCodeLimit = 0;
  int FInitialWidthStep = 0;
  int FInitialClearLimit = 0;
  int FRunPixel = -1;
  int FTableRunLength = 0;
  int FTablePixel = 0;
  int FCodesSinceClear = 0;
  int FClearLimit = 0;
  int FWidthStep = 0;
};
