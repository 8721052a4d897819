// What loading a PNG file into a bitmap holds, read from its chunks before
// it is loaded.
#include <zlib.h>

#include <algorithm>
#include <cstring>

#include "png/pngcodec.h"
#include "png/pnglang.h"

using namespace pngcodec;

namespace {

// What a load holds however small the picture: the object with its canvas,
// the header's device context, palettes and colour table, the bitmap's own
// objects, the allocator's words.
constexpr int64_t kObjectBytes = int64_t(64) << 10;
// The image data reader: its input buffer of 65535 bytes and zlib's inflate
// state with its window of 32 KiB.
constexpr int64_t kDecoderBytes = 65535 + (int64_t(48) << 10);
// The buffer the reader reads the file through.
constexpr int64_t kReadBufferBytes = int64_t(64) << 10;
// Inflating a zTXt chunk's text: zlib's state and window.
constexpr int64_t kTextInflateBytes = int64_t(48) << 10;
// The nearest-colour search that rows copied into a bitmap of 1 or 4 bits a
// pixel go through (its cache and its candidates per cell of colours).
constexpr int64_t kColorSearchBytes = int64_t(640) << 10;
// A bitmap's own objects and colour table beside its pixels.
constexpr int64_t kBitmapBytes = int64_t(4) << 10;
// A chunk object in the list beside its data: the object (a header's
// with its bitmap of no pixels), the allocator's words, its slot in the
// list (which grows by doubling).
constexpr int64_t kAllocatorWords = 32;
int64_t ChunkObjectBytes(const TChunkName& name) {
  size_t object = std::max({sizeof(TChunk), sizeof(TChunkIEND), sizeof(TChunkIDAT), sizeof(TChunkgAMA),
                            sizeof(TChunkpHYs), sizeof(TChunktIME), sizeof(TChunkBatch)});
  if (name == "IHDR") object = sizeof(TChunkIHDR) + sizeof(TDibSection) + kAllocatorWords;
  if (name == "PLTE") object = sizeof(TChunkPLTE);
  if (name == "tRNS") object = sizeof(TChunktRNS);
  if (name == "tEXt" || name == "zTXt") object = sizeof(TChunkzTXt);
  return int64_t(object) + kAllocatorWords + 3 * int64_t(sizeof(void*));
}

// The data of a chunk read in blocks through a buffer, which a walk keeps
// from one chunk to the next: a file may hold millions of chunks.
class TChunkData {
 public:
  // The buffer grows to the data, up to 64 KiB.
  TChunkData(TStream& stream, int64_t length, std::vector<uint8_t>& buffer)
      : FStream(stream), FLeft(length), FBuffer(buffer) {
    const auto size = size_t(std::clamp<int64_t>(length, 1, int64_t(1) << 16));
    if (FBuffer.size() < size) FBuffer.resize(size);
  }
  // Whether bytes are left: those read and not taken, or more read now.
  bool Fill() {
    if (FAt < FFilled) return true;
    if (FLeft == 0) return false;
    FFilled = static_cast<size_t>(std::min<int64_t>(FLeft, int64_t(FBuffer.size())));
    ReadExact(FStream, FBuffer.data(), int64_t(FFilled));
    FLeft -= int64_t(FFilled);
    FAt = 0;
    return true;
  }
  // Takes the bytes up to the first zero byte and the zero; the count of
  // bytes before it, or -1 when the data holds no zero.
  int64_t TakeUpToZero() {
    int64_t count = 0;
    while (Fill()) {
      const uint8_t* begin = FBuffer.data() + FAt;
      const auto* zero = static_cast<const uint8_t*>(std::memchr(begin, 0, FFilled - FAt));
      if (zero) {
        count += zero - begin;
        FAt += size_t(zero - begin) + 1;
        return count;
      }
      count += int64_t(FFilled - FAt);
      FAt = FFilled;
    }
    return -1;
  }
  int TakeByte() { return Fill() ? FBuffer[FAt++] : -1; }
  // The rest of the data, block by block.
  TTextInput Rest() {
    return [this](const uint8_t*& data, size_t& size) {
      if (!Fill()) return false;
      data = FBuffer.data() + FAt;
      size = FFilled - FAt;
      FAt = FFilled;
      return true;
    };
  }

 private:
  TStream& FStream;
  int64_t FLeft;
  std::vector<uint8_t>& FBuffer;
  size_t FAt = 0, FFilled = 0;
};

// Reads the signature and the header chunk as the reader does; false when
// the reader would refuse them.
bool ReadHeader(TStream& stream, TIHDRData& header, int64_t& dataSize) {
  try {
    uint8_t signature[8];
    if (stream.Read(signature, 8) != 8 || std::memcmp(signature, kSignature, 8) != 0) return false;
    uint32_t length;
    TChunkName name;
    ReadChunkHeader(stream, length, name);
    if (name != "IHDR") return false;
    std::vector<uint8_t> buffer;
    TChunkData data(stream, length, buffer);
    uint8_t fields[13] = {};
    uLong crc = crc32(0, reinterpret_cast<const Bytef*>("IHDR"), 4);
    const TTextInput blocks = data.Rest();
    size_t at = 0;
    const uint8_t* block;
    for (size_t count; blocks(block, count); at += count) {
      if (at < sizeof fields) std::memcpy(fields + at, block, std::min(count, sizeof fields - at));
      crc = crc32(crc, block, static_cast<uInt>(count));
    }
    CheckCrc(stream, static_cast<uint32_t>(crc));
    header = CheckedHeaderData(fields, length);
    dataSize = length;
  } catch (const Exception&) {
    return false;
  }
  // The reader makes the picture's buffers at once, and refuses a picture
  // whose buffers would pass the cap.
  return ImageLayout(header.ColorType, header.BitDepth, header.Width, header.Height).Fits();
}

// What the chunks after the header leave in the object, walked as the
// reader walks them up to IEND.
struct TChunkWalk {
  // The chunks' objects, their data and the copies and text made of it.
  int64_t Held = 0;
  // A tRNS chunk was read.
  bool Transparency = false;
};

// The bytes a zTXt chunk of length bytes (its data next in the stream)
// holds read, as TChunkzTXt reads it; its text is taken out of textRoom.
// text: the bytes of its keyword and text.
int64_t ZtxtHeld(TStream& stream, int64_t length, TTextRoom& textRoom, int64_t& text, std::vector<uint8_t>& buffer) {
  text = 0;
  TChunkData data(stream, length, buffer);
  const int64_t keyword = data.TakeUpToZero();
  if (length < 3 || keyword < 0) return length;
  // Keyword and text both copied.
  text = length;
  if (length < 4) return 2 * length;
  int64_t inflated = kTextNotInflated;
  if (data.TakeByte() == 0) inflated = textRoom.Inflate(data.Rest());
  text = inflated == kTextTooLong ? 0 : keyword + std::max<int64_t>(inflated, 0);
  if (inflated == kTextTooLong) return length;
  if (inflated <= 0) return length + keyword + kAllocatorWords;
  return length + keyword + inflated + 2 * kAllocatorWords;
}

// A batch (TChunkBatch) of bytes of records: its object, the blocks, the
// allocator's word for each and their pointers (in a vector that grows
// by doubling, old and new for a while).
int64_t BatchBytes(int64_t bytes) {
  const int64_t blocks = bytes / int64_t(TChunkBatch::kBlockBytes) + 1;
  return ChunkObjectBytes({}) + blocks * (int64_t(TChunkBatch::kBlockBytes) + kAllocatorWords + 3 * 8);
}

TChunkWalk WalkChunks(TStream& stream, int64_t headerSize) {
  TChunkWalk walk;
  walk.Held = ChunkObjectBytes("IHDR") + headerSize;
  TTextRoom textRoom;
  // The list keeps one palette, the last read; two for as long as the
  // next is read.
  int64_t palette = 0;
  bool imageData = false;
  // The chunks of each kind past the objects it keeps, when small, are held
  // in batches: one for each run of them between chunk objects.
  TChunkKinds kinds;
  int64_t batch = -1;
  std::vector<uint8_t> buffer;
  try {
    // Where the next chunk starts.
    int64_t end = stream.Position();
    for (;;) {
      uint32_t length;
      TChunkName name;
      ReadChunkHeader(stream, length, name);
      end += 8 + int64_t(length) + 4;
      // The decoder holds none of the image data beside its buffers; a later
      // run of it and chromaticities are passed over.
      if (name == "IDAT" || name == "cHRM") {
        if (name == "IDAT" && !imageData) walk.Held += ChunkObjectBytes(name);
        imageData = imageData || name == "IDAT";
        stream.SetPosition(end);
        continue;
      }
      const int64_t object = ChunkObjectBytes(name);
      // The chunk as an object (its data, copies and text), the bytes of
      // keyword and text it holds as text, and what a batch holds for it,
      // the bytes it writes: a pHYs or tIME chunk its fields, a tEXt chunk
      // without a keyword a zero byte.
      int64_t held = 0, text = 0,
              record = 12 + (name == "pHYs" ? 9 : name == "tIME" ? 7 : std::max<int64_t>(length, 1));
      bool appended = true;
      if (name == "PLTE") {
        palette = std::max(palette, object + length);
      } else if (name == "tEXt") {
        // The keyword and text copy the data when it fits in the text's room.
        const bool fits = textRoom.Take(length);
        text = fits ? length : 0;
        held = object + (fits ? 2 * int64_t(length) + 2 * kAllocatorWords : length);
      } else if (name == "zTXt") {
        held = object + ZtxtHeld(stream, length, textRoom, text, buffer);
        record = std::max(record, 9 + text);
      } else {
        // A later header holds no picture, and a batch none of it.
        held = object + length;
        if (name == "IHDR") record = 0;
        walk.Transparency = walk.Transparency || name == "tRNS";
      }
      TChunkKinds::TKind& kind = kinds.Of(name);
      if (++kind.Count > kMaxChunkObjects && kind.Batched) {
        // The reader's chunk that reads them, with data, keyword and text
        // of up to twice the bound a batch takes (a string or vector grows
        // by doubling).
        if (kind.Count == kMaxChunkObjects + 1) walk.Held += object + 3 * (2 * kMaxBatchedBytes + kAllocatorWords);
        if (length + text <= kMaxBatchedBytes) {
          if (batch < 0) batch = 0;
          batch += record;
          held = 0;
          appended = false;
        }
      }
      if (appended && batch >= 0) {
        walk.Held += BatchBytes(batch);
        batch = -1;
      }
      walk.Held += held;
      if (name == "IEND") break;
      stream.SetPosition(end);
    }
  } catch (const Exception&) {
    // The data ends or stops being a chunk: the reader stops there too.
  }
  if (batch >= 0) walk.Held += BatchBytes(batch);
  walk.Held += 2 * palette;
  return walk;
}

// Pixel memory of a few megabytes and more comes in whole huge pages.
int64_t PixelBytes(int64_t bytes) { return int64_t(PixelMemorySize(size_t(bytes))); }
int64_t BitmapBytes(int64_t width, int64_t height, int bits) {
  return PixelBytes(AlignedRowBytes(width, bits) * height);
}

// The most the load holds at once beside the picture's 24-bit bitmap.
int64_t LoadBytes(const TIHDRData& header, const TChunkWalk& walk) {
  const int colorType = header.ColorType, depth = header.BitDepth;
  const int64_t width = header.Width, height = header.Height;
  const int64_t picture = BitmapBytes(width, height, 24);
  const TImageLayout image = ImageLayout(colorType, depth, width, height);
  const int64_t object =
      PixelBytes(image.PixelBytes) + image.AlphaBytes + image.LowByteBytes + walk.Held + kObjectBytes;

  // Reading: the decoder's two rows (three while an Adam7 pass's row grows
  // beside the one it replaces), and zlib's state for the text chunks,
  // which the reader keeps for the whole file.
  const int64_t row = BytesForPixels(width, colorType, depth) + 1 + kAllocatorWords;
  const int64_t decoder = kDecoderBytes + row * (header.InterlaceMethod == 1 ? 3 : 2);
  const int64_t reading = object + kReadBufferBytes + decoder + kTextInflateBytes;

  // Drawing into the bitmap, in the format the object asks for: 24 bits
  // where it blends, else by its depth. Blending works on a 24-bit copy of
  // the bitmap; bitmaps of other formats than the picture's are copied
  // row by row, into 1 or 4 bits a pixel through the nearest colours.
  // (A tRNS chunk makes grey, RGB and palette pictures transparent.)
  const bool blended = image.AlphaBytes > 0 || walk.Transparency;
  int bits = 24;
  if (!blended || colorType == COLOR_GRAYSCALE || colorType == COLOR_RGB)
    bits = depth == 1 ? 1 : depth == 2 || depth == 4 ? 4 : colorType == COLOR_PALETTE ? 8 : 24;
  const int64_t target = BitmapBytes(width, height, bits);
  int64_t drawing = object + target;
  if (blended) drawing += picture + 4 * width;
  if (blended ? bits != 24 : bits != image.Bits || bits < 8) drawing += 32 * (width + height);
  if (bits < 8) drawing += kColorSearchBytes;

  // Once the object is freed, the bitmap is widened to 24 bits.
  const int64_t widening = bits == 24 ? 0 : target + picture + 3 * width + kBitmapBytes;
  // The picture's bitmap is counted beside loadBytes as it is reckoned.
  return std::max<int64_t>({reading, drawing, widening}) - picture;
}

}  // namespace

bool PngLoadClaim(TStream& source, int64_t& width, int64_t& height, int64_t& loadBytes) {
  width = height = loadBytes = 0;
  TBufferedReadStream stream(source);
  TIHDRData header;
  int64_t headerSize = 0;
  if (!ReadHeader(stream, header, headerSize)) return false;
  width = header.Width;
  height = header.Height;
  loadBytes = LoadBytes(header, WalkChunks(stream, headerSize));
  return true;
}
