// LZW decoding of a frame's image data, and the LZW and run-length encoders.
#include "gif/giflzw.h"

#include <algorithm>
#include <cstring>

#include "gif/gifimage.h"

// --- Decoder ------------------------------------------------------------------

namespace {

constexpr int TableSize = 4096;  // codes are at most 12 bits wide
constexpr int StackSize = 8192;  // the longest string is 4096 pixels
constexpr int MaxCodeSize = 11;  // a larger one would make codes beyond the table

// Decodes variable-width codes, packed least significant bit first into data
// sub-blocks, into pixels. All state lives for one frame.
class TLZWDecoder {
 public:
  TLZWDecoder(TStream& stream, TGIFSubImage& frame, int codeSize)
      : FStream(stream),
        FStreamSize(stream.Size()),
        FFrame(frame),
        FClearCode(1 << codeSize),
        FEndCode(FClearCode + 1),
        FInitialWidth(codeSize + 1) {
    // The roots, as every clear leaves them; all other entries start at 0.
    for (int i = 0; i < FClearCode; ++i) FSuffix[i] = static_cast<uint16_t>(i);
  }

  // Fills width x height pixels, in the four-pass row order when
  // interlaced, until the data ends; then reads past the end code and on
  // to the terminator.
  void Decode(uint8_t* pixels, int width, int height, bool interlaced);

 private:
  int NextPixel() { return FStackCount > 0 ? FStack[--FStackCount] : TableStep(); }
  // Stores count pixels; false when the data ended first.
  bool DecodeRun(uint8_t* pixels, int64_t count);
  // One code of the current width, or -1 when no more can be had.
  int ReadCode();
  // Appends the next data sub-block to the bit buffer; false when its
  // length byte is missing.
  bool FetchSubBlock();
  // Passes over the sub-blocks left, up to and including the terminator
  // (or the end of the data).
  void SkipToTerminator();
  // Turns the next code into pixels on the stack and returns the first;
  // negative when the data has ended.
  int TableStep();
  // Out of line: clear codes are rare, and the table step stays tight.
  [[gnu::noinline]] void ResetTable();
  void Push(int pixel) {
    // Only a table whose prefixes run in a circle can make strings this long.
    if (FStackCount >= StackSize) GIFError(sDecodeCircular);
    FStack[FStackCount++] = static_cast<uint16_t>(pixel);
  }

  TStream& FStream;
  int64_t FStreamSize;
  TGIFSubImage& FFrame;
  const int FClearCode;
  const int FEndCode;
  const int FInitialWidth;
  int FCodeWidth = 0;
  int FWidthLimit = 0;
  int FNextCode = 0;
  int FFirstCode = 0;
  int FOldCode = 0;
  bool FFirstRequest = true;  // the first code asked for is a clear code
  bool FTerminatorSeen = false;
  int FStopped = 0;  // the negative value that ended the data, for every later request
  // Unread bytes kept from the previous sub-block, then the current one; the
  // spare bytes at the end let a code be read as three bytes.
  uint8_t FBuffer[2 + 255 + 3] = {};
  int FCurrentBit = 0;
  int FLastBit = 0;
  uint16_t FPrefix[TableSize] = {};
  uint16_t FSuffix[TableSize] = {};
  uint16_t FStack[StackSize];
  int FStackCount = 0;
};

void TLZWDecoder::Decode(uint8_t* pixels, int width, int height, bool interlaced) {
  try {
    if (!interlaced) {
      DecodeRun(pixels, int64_t(width) * height);
    } else {
      // Rows 0, 8, 16, ...; then 4, 12, ...; then 2, 6, ...; then 1, 3, ...
      int row = 0, step = 8, pass = 0;
      for (int done = 0; done < height; ++done) {
        if (!DecodeRun(pixels + int64_t(row) * width, width)) break;
        row += step;
        while (row >= height && done + 1 < height) {
          if (pass > 0) step /= 2;
          ++pass;
          row = step / 2;
        }
      }
    }
  } catch (...) {
    try {
      NextPixel();
    } catch (const Exception&) {
    }
    throw;
  }
  // Consumes the end code and what is left of the data up to the terminator.
  NextPixel();
  // Data that goes on past the last pixel without an end code is the
  // frame's all the same: none of it is read as blocks of the file.
  SkipToTerminator();
}

bool TLZWDecoder::DecodeRun(uint8_t* pixels, int64_t count) {
  int64_t i = 0;
  while (i < count) {
    if (FStackCount == 0) {
      int value = TableStep();
      if (value < 0) return false;
      pixels[i++] = static_cast<uint8_t>(value);
    }
    int64_t n = std::min<int64_t>(FStackCount, count - i);
    for (int64_t k = 0; k < n; ++k) pixels[i++] = static_cast<uint8_t>(FStack[--FStackCount]);
  }
  return true;
}

bool TLZWDecoder::FetchSubBlock() {
  // Keep the bytes that still hold unread bits.
  int first = FCurrentBit >> 3;
  int keep = (FLastBit >> 3) - first;
  std::memmove(FBuffer, FBuffer + first, static_cast<size_t>(keep));
  FCurrentBit &= 7;
  FLastBit = keep * 8;

  int length = ReadByte(FStream);
  if (length < 0) return false;
  if (length == 0) {
    FTerminatorSeen = true;
    return true;
  }
  int64_t remaining = std::max<int64_t>(0, FStreamSize - FStream.Position());
  if (remaining < length) {
    FFrame.Warning(gsWarning, sOutOfData);
    length = static_cast<int>(remaining);
  }
  ReadCheck(FStream, FBuffer + keep, length);
  FLastBit = (keep + length) * 8;
  return true;
}

int TLZWDecoder::ReadCode() {
  if (FFirstRequest) {
    FFirstRequest = false;
    return FClearCode;
  }
  // A code may span several sub-blocks when they are short.
  while (FCurrentBit + FCodeWidth > FLastBit) {
    if (FTerminatorSeen) {
      if (FCurrentBit >= FLastBit) FFrame.Warning(gsWarning, sDecodeTooFewBits);
      return -1;
    }
    if (!FetchSubBlock()) return -1;
  }
  const uint8_t* p = FBuffer + (FCurrentBit >> 3);
  uint32_t bits = uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16;
  int code = static_cast<int>((bits >> (FCurrentBit & 7)) & ((1u << FCodeWidth) - 1));
  FCurrentBit += FCodeWidth;
  return code;
}

void TLZWDecoder::SkipToTerminator() {
  if (FTerminatorSeen) return;
  for (int length = ReadByte(FStream); length > 0; length = ReadByte(FStream)) FStream.Seek(length, soCurrent);
  FTerminatorSeen = true;
}

void TLZWDecoder::ResetTable() {
  // Entries are only ever added from the first free code up, so only those
  // added since the last clear differ from what a clear leaves: the roots
  // keep their pixels and the rest stays 0. A stream that clears after
  // every pixel would otherwise rewrite the whole table for each.
  const int added = std::max(FNextCode, FEndCode + 1);
  std::fill(FPrefix + FEndCode + 1, FPrefix + added, uint16_t(0));
  std::fill(FSuffix + FEndCode + 1, FSuffix + added, uint16_t(0));
  GIFWork.TableEntries += added - (FEndCode + 1);
  FCodeWidth = FInitialWidth;
  FWidthLimit = 2 * FClearCode;
  FNextCode = FClearCode + 2;
  FStackCount = 0;
}

int TLZWDecoder::TableStep() {
  if (FStopped) return FStopped;
  int code = ReadCode();
  if (code < 0) return FStopped = code;

  if (code == FClearCode) {
    ResetTable();
    do {
      code = ReadCode();
      FFirstCode = FOldCode = code;
    } while (code == FClearCode);
    if (code < 0) FStopped = code;
    return code;
  }

  if (code == FEndCode) {
    SkipToTerminator();
    return FStopped = -2;
  }

  int incoming = code;
  if (code >= FNextCode) {
    // The string being defined (or a code not defined at all): the previous
    // string and its own first pixel.
    Push(FFirstCode);
    code = FOldCode;
  }
  while (code >= FClearCode) {
    Push(FSuffix[code]);
    if (FPrefix[code] == code) GIFError(sDecodeCircular);
    code = FPrefix[code];
  }
  FFirstCode = FSuffix[code];
  Push(FFirstCode);

  if (FNextCode < TableSize) {
    FPrefix[FNextCode] = static_cast<uint16_t>(FOldCode);
    FSuffix[FNextCode] = static_cast<uint16_t>(FFirstCode);
    ++FNextCode;
    if (FNextCode >= FWidthLimit && FWidthLimit < TableSize) {
      FWidthLimit *= 2;
      ++FCodeWidth;
    }
  }
  FOldCode = incoming;
  return FStack[--FStackCount];
}

}  // namespace

void TGIFSubImage::Decompress(TStream& stream) {
  NewImage();
  if (FData && FTransparent && FGCE) std::memset(FData.get(), FGCE->TransparentColorIndex(), FDataSize);
  int codeSize = ReadByte(stream);
  if (codeSize < 0) return;
  if (codeSize > MaxCodeSize) GIFError(sInvalidData);
  auto decoder = std::make_unique<TLZWDecoder>(stream, *this, codeSize);
  decoder->Decode(FData.get(), Width(), Height(), Interlaced());
}

// --- Output adaptors ----------------------------------------------------------

int64_t TGIFStream::Read(void*, int64_t) { throw Exception(sInvalidStream); }

int64_t TGIFStream::Write(const void*, int64_t) { throw Exception(sInvalidStream); }

int64_t TGIFStream::Seek(int64_t, TSeekOrigin) { throw Exception(sInvalidStream); }

int64_t TGIFWriter::Write(const void* buffer, int64_t count) {
  const auto* p = static_cast<const uint8_t*>(buffer);
  for (int64_t i = 0; i < count; ++i) WriteByte(p[i]);
  return std::max<int64_t>(count, 0);
}

void TGIFWriter::Flush() {
  if (FBufferCount > 1) {
    FBuffer[0] = static_cast<uint8_t>(FBufferCount - 1);
    FStream.WriteBuffer(FBuffer, FBufferCount);
    FBufferCount = 1;
  }
}

// --- Hash table ---------------------------------------------------------------

// Both searches give up after a full turn: with a code size of 2 the table
// may hold more entries than one probe cycle has slots. An entry that finds
// no room is simply not used again.
void THashTable::Insert(int key, int code) {
  int slot = Hash(key);
  for (int probes = 0; probes < HashSize; ++probes) {
    if ((FTable[slot] >> 12) == 0xFFFFF) {
      FTable[slot] = uint32_t(key) << 12 | uint32_t(code & 0xFFF);
      return;
    }
    slot = NextProbe(slot);
  }
}

int THashTable::Lookup(int key) const {
  int slot = Hash(key);
  for (int probes = 0; probes < HashSize; ++probes) {
    uint32_t stored = FTable[slot] >> 12;
    if (stored == 0xFFFFF) return -1;
    if (stored == uint32_t(key)) return static_cast<int>(FTable[slot] & 0xFFF);
    slot = NextProbe(slot);
  }
  return -1;
}

// --- Encoder driver -----------------------------------------------------------

void TGIFEncoder::Compress(TStream& stream, int bitsPerPixel, int width, int height, bool interlaced,
                           const uint8_t* data, int colorCount) {
  FWidth = width;
  FHeight = height;
  FInterlaced = interlaced;
  FData = data;
  FPixel = data;
  FColorCount = colorCount;
  FCodeSize = std::max(bitsPerPixel, 2);
  FInitialBitsPerCode = FCodeSize + 1;
  ::WriteByte(stream, static_cast<uint8_t>(FCodeSize));

  FBitsPerCode = FInitialBitsPerCode;
  FMaxCode = (1 << FBitsPerCode) - 1;
  FClearCode = 1 << FCodeSize;
  FEOFCode = FClearCode + 1;
  FBaseCode = FEOFCode + 1;
  FOutputBucket = 0;
  FOutputBits = 0;
  FPixelsLeft = interlaced ? width : int64_t(width) * height;
  FRow = 0;
  FPass = 0;

  TGIFWriter writer(stream);
  FWriter = &writer;
  try {
    if (data && width >= 1 && height >= 1) DoCompress();
    Output(FEOFCode);
  } catch (...) {
    // What was packed reaches the stream; the terminator does not.
    writer.Flush();
    FWriter = nullptr;
    throw;
  }
  writer.Flush();
  FWriter = nullptr;
  ::WriteByte(stream, 0);
}

int TGIFEncoder::ReadPixel() {
  int pixel = *FPixel++;
  if (pixel >= FColorCount) GIFError(sInvalidColor);
  return pixel;
}

bool TGIFEncoder::MorePixels() {
  if (--FPixelsLeft > 0) return true;
  if (!FInterlaced) return false;
  static constexpr int step[4] = {8, 8, 4, 2};
  static constexpr int start[4] = {0, 4, 2, 1};
  FPixelsLeft = FWidth;
  FRow += step[FPass];
  while (FRow >= FHeight) {
    if (++FPass > 3) return false;
    FRow = start[FPass];
  }
  FPixel = FData + int64_t(FRow) * FWidth;
  return true;
}

void TGIFEncoder::Output(int code) {
  if (FOutputBits > 0)
    FOutputBucket = uint32_t(code) << FOutputBits | (FOutputBucket & ((1u << FOutputBits) - 1));
  else
    FOutputBucket = uint32_t(code);
  FOutputBits += FBitsPerCode;
  while (FOutputBits >= 8) {
    FWriter->WriteByte(static_cast<uint8_t>(FOutputBucket));
    FOutputBucket >>= 8;
    FOutputBits -= 8;
  }
  if (code == FEOFCode) {
    // The last byte is filled up with zero bits.
    if (FOutputBits > 0) FWriter->WriteByte(static_cast<uint8_t>(FOutputBucket));
    FOutputBucket = 0;
    FOutputBits = 0;
  }
}

void TGIFEncoder::Clear() {
  FClearFlag = true;
  Output(FClearCode);
}

// --- LZW encoder --------------------------------------------------------------

void TLZWEncoder::Output(int code) {
  TGIFEncoder::Output(code);
  if (FFreeEntry > FMaxCode || FClearFlag) {
    if (FClearFlag) {
      FBitsPerCode = FInitialBitsPerCode;
      FMaxCode = (1 << FBitsPerCode) - 1;
      FClearFlag = false;
    } else {
      ++FBitsPerCode;
      // At 12 bits the width stays until the next clear code.
      FMaxCode = FBitsPerCode == 12 ? 4096 : (1 << FBitsPerCode) - 1;
    }
  }
}

void TLZWEncoder::Clear() {
  TGIFEncoder::Clear();
  FHashTable->Clear();
  FFreeEntry = FClearCode + 2;
}

void TLZWEncoder::DoCompress() {
  FHashTable = std::make_unique<THashTable>();
  Clear();
  FPrefix = ReadPixel();
  while (MorePixels()) {
    int pixel = ReadPixel();
    int key = FPrefix << 8 | pixel;
    int code = FHashTable->Lookup(key);
    if (code >= 0) {
      FPrefix = code;
      continue;
    }
    Output(FPrefix);
    FPrefix = pixel;
    if (FFreeEntry < 4095)
      FHashTable->Insert(key, FFreeEntry++);
    else
      Clear();
  }
  Output(FPrefix);
  FHashTable.reset();
}

// --- Run-length encoder -------------------------------------------------------
//
// Right after a clear code, the pixel p followed by the codes base + 0,
// base + 1, ... makes the decoder define the runs pp, ppp, ... (each code is
// the one the decoder is about to define); afterwards base + n - 2 stands
// for a run of n pixels p, up to the table run length. The code width is
// tracked from the number of codes written since the clear.

namespace {

int64_t IntegerSquareRoot(int64_t x) {
  if (x < 2) return x;
  int64_t r = 1;
  for (int64_t v = x; v > 0; v /= 4) r *= 2;
  for (;;) {
    int64_t t = (x / r + r) / 2;
    if (t == r || t == r + 1) return r;
    r = t;
  }
}

}  // namespace

int64_t TRLEEncoder::RunTableCost(int64_t count) const {
  int64_t r = FRunCodeLimit;
  int64_t cost = 0;
  int64_t per = r * (r + 1) / 2;
  while (count >= per) {
    cost += r;
    count -= per;
  }
  if (count > 0) {
    int64_t n = IntegerSquareRoot(count);
    while (n * (n + 1) >= 2 * count) --n;
    while (n * (n + 1) < 2 * count) ++n;
    cost += n;
  }
  return cost;
}

void TRLEEncoder::Clear() {
  FWidthStep = FInitialWidthStep;
  FClearLimit = FInitialClearLimit;
  FCodesSinceClear = 0;
  FTableRunLength = 0;
  TGIFEncoder::Clear();
  FBitsPerCode = FInitialBitsPerCode;
}

void TRLEEncoder::DoCompress() {
  FInitialWidthStep = FClearCode - 1;
  FInitialClearLimit = FCodeSize <= 3 ? 9 : FClearCode - 2;
  FRunCodeLimit = 4095 - FBaseCode;
  Clear();
  int count = 0;
  FRunPixel = -1;
  do {
    int pixel = ReadPixel();
    if (count > 0 && pixel != FRunPixel) {
      WriteRun(count);
      count = 0;
    }
    if (pixel == FRunPixel) {
      ++count;
    } else {
      FRunPixel = pixel;
      count = 1;
    }
  } while (MorePixels());
  WriteRun(count);
}

void TRLEEncoder::WriteRun(int count) {
  if (count == 1)
    Emit(FRunPixel);
  else if (FClearFlag)
    BuildFromClear(count);
  else if (FTableRunLength >= 2 && FTablePixel == FRunPixel)
    ReuseTable(count);
  else
    RepeatOrRebuild(count);
}

void TRLEEncoder::Emit(int code) {
  FClearFlag = false;
  Output(code);
  ++FCodesSinceClear;
  if (FCodesSinceClear == FWidthStep) {
    ++FBitsPerCode;
    FWidthStep += 1 << (FBitsPerCode - 1);
  }
  if (FCodesSinceClear >= FClearLimit) Clear();
}

void TRLEEncoder::BuildFromClear(int count) {
  FClearLimit = FRunCodeLimit;
  FTablePixel = FRunPixel;
  int n = 1;
  while (count > 0) {
    if (n == 1) {
      FTableRunLength = 1;
      Emit(FRunPixel);
      count -= 1;
    } else if (count >= n) {
      FTableRunLength = n;
      Emit(FBaseCode + n - 2);
      count -= n;
    } else {
      ++FTableRunLength;
      Emit(count == 1 ? FRunPixel : FBaseCode + count - 2);
      break;
    }
    n = FCodesSinceClear == 0 ? 1 : n + 1;
  }
  RestoreLimit();
}

void TRLEEncoder::RepeatOrRebuild(int count) {
  if (1 + RunTableCost(count) < count) {
    Clear();
    BuildFromClear(count);
  } else {
    for (int i = 0; i < count; ++i) Emit(FRunPixel);
  }
}

void TRLEEncoder::ReuseTable(int count) {
  int m = FTableRunLength;
  int64_t repeats = count / m;
  int64_t rest = count % m;
  int64_t extra = rest > 0 ? 1 : 0;
  if (FCodesSinceClear + repeats + extra > FRunCodeLimit) {
    repeats = FRunCodeLimit - FCodesSinceClear;
    rest = count - repeats * m;
    extra = 1 + RunTableCost(rest);
  }
  if (1 + RunTableCost(count) < repeats + extra) {
    Clear();
    BuildFromClear(count);
    return;
  }
  FClearLimit = FRunCodeLimit;
  for (int64_t i = 0; i < repeats; ++i) Emit(FBaseCode + m - 2);
  if (rest > 0) {
    if (FClearFlag)
      BuildFromClear(static_cast<int>(rest));
    else
      Emit(rest == 1 ? FRunPixel : FBaseCode + static_cast<int>(rest) - 2);
  }
  RestoreLimit();
}

void TRLEEncoder::RestoreLimit() {
  FClearLimit = FInitialClearLimit;
  if (FCodesSinceClear >= FClearLimit) Clear();
}
