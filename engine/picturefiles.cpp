#include "engine/picturefiles.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "gif/gifimage.h"
#include "platform/graphics/gdi.h"
#include "platform/metafile/metafile.h"
#include "png/pngimage.h"

namespace {

uint32_t Le16(const uint8_t* p) { return p[0] | (p[1] << 8); }
uint32_t Le32(const uint8_t* p) { return p[0] | (p[1] << 8) | (p[2] << 16) | (uint32_t(p[3]) << 24); }
uint32_t Be16(const uint8_t* p) { return (p[0] << 8) | p[1]; }

bool ReadExactly(TStream& stream, uint8_t* buffer, int64_t count) { return stream.Read(buffer, count) == count; }

// The size a header claims, noted on the way to the cap's test.
struct TClaim {
  int64_t Width = 0, Height = 0;
};
bool Claim(TClaim& claim, int64_t width, int64_t height) {
  claim.Width = width;
  claim.Height = height;
  return FitsWorkingBitmap(width, height);
}

bool BmpAcceptable(TStream& stream, TClaim& claim) {
  uint8_t h[30];
  if (!ReadExactly(stream, h, sizeof h) || h[0] != 'B' || h[1] != 'M') return false;
  const uint32_t headerSize = Le32(h + 14);
  int64_t width, height;
  if (headerSize == 12) {
    width = Le16(h + 18);
    height = Le16(h + 20);
  } else if (headerSize == 40 || headerSize == 52 || headerSize == 56 || headerSize == 64 || headerSize == 108 ||
             headerSize == 124) {
    width = int32_t(Le32(h + 18));
    height = int32_t(Le32(h + 22));
    if (height < 0) height = -height;
  } else {
    return false;
  }
  return width > 0 && height > 0 && Claim(claim, width, height);
}

// Walks the marker segments up to the frame header. Bytes that are no
// marker end the walk: the decoder then judges them.
bool JpegAcceptable(TStream& stream, TClaim& claim) {
  uint8_t h[4];
  if (!ReadExactly(stream, h, 3) || h[0] != 0xFF || h[1] != 0xD8 || h[2] != 0xFF) return false;
  stream.Seek(-1, soCurrent);
  for (int segments = 0; segments < 10000; ++segments) {
    if (!ReadExactly(stream, h, 2) || h[0] != 0xFF) return true;
    int marker = h[1];
    if (marker == 0xFF) {  // fill byte
      stream.Seek(-1, soCurrent);
      continue;
    }
    if (marker == 0xD9 || marker == 0xDA) return true;  // end, or scan data before any frame
    if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) continue;
    if (!ReadExactly(stream, h, 2)) return true;
    uint32_t length = Be16(h);
    if (length < 2) return true;
    bool frame = marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
    if (frame) {
      uint8_t f[5];
      if (length < 7 || !ReadExactly(stream, f, 5)) return true;
      return Claim(claim, Be16(f + 3), Be16(f + 1));
    }
    stream.Seek(length - 2, soCurrent);
  }
  return true;
}

bool PngAcceptable(TStream& stream, TClaim& claim) {
  int64_t width = 0, height = 0, loadBytes = 0;
  if (!PngLoadClaim(stream, width, height, loadBytes)) return false;
  return Claim(claim, width, height);
}

// Walks GIF data block by block as the GIF reader reads it, from the
// stream's start, through a buffer of its own: a skip past the buffer
// leaves the bytes it passes unread.
class TGifWalk {
 public:
  explicit TGifWalk(TStream& stream) : FStream(stream), FSize(stream.Size()), FBuffer(size_t(1) << 16) {}
  // Where the walk stands in the data.
  int64_t At() const { return FStart + int64_t(FPos); }
  int Peek() { return Buffered(1) ? FBuffer[FPos] : -1; }
  int Next() { return Buffered(1) ? FBuffer[FPos++] : -1; }
  // The next count bytes, or null when the data ends first.
  const uint8_t* Look(size_t count) { return Buffered(count) ? FBuffer.data() + FPos : nullptr; }
  // Moves count bytes on (or back); false when that leaves the data.
  bool Skip(int64_t count) {
    const int64_t to = At() + count;
    if (to < 0 || to > FSize) return false;
    if (to >= FStart && to <= FStart + int64_t(FLength)) {
      FPos = size_t(to - FStart);
    } else {
      FStart = to;
      FPos = FLength = 0;
    }
    return true;
  }
  // A chain of data sub-blocks up to its terminator (or the end).
  bool SubBlocks() {
    for (int length; (length = Next()) > 0;)
      if (!Skip(length)) return false;
    return true;
  }

 private:
  bool Buffered(size_t count) {
    if (FLength - FPos >= count) return true;
    FLength -= FPos;
    std::memmove(FBuffer.data(), FBuffer.data() + FPos, FLength);
    FStart += int64_t(FPos);
    FPos = 0;
    FStream.SetPosition(FStart + int64_t(FLength));
    int64_t got = FStream.Read(FBuffer.data() + FLength, int64_t(FBuffer.size() - FLength));
    FLength += size_t(std::max<int64_t>(got, 0));
    return FLength >= count;
  }

  TStream& FStream;
  const int64_t FSize;
  std::vector<uint8_t> FBuffer;
  int64_t FStart = 0;  // where the buffer's first byte lies in the data
  size_t FPos = 0, FLength = 0;
};

// What the GIF reader meets in GIF data up to its first image.
struct TGifFirstImage {
  enum {
    Refused,         // the reader refuses the data, or its screen or first image is past the cap
    Ended,           // the data ends (or stops being GIF) before an image
    ExtensionsOnly,  // the first frame holds extensions only; the walk stands behind them
    Image            // the walk stands on the image's descriptor
  } Found = Ended;
  int Width = 0, Height = 0;  // the image's size (the screen's for a side of 0)
};

TGifFirstImage FindFirstImage(TGifWalk& walk) {
  TGifFirstImage first;
  const uint8_t* header = walk.Look(13);
  if (!header) return first;
  for (int i = 0; i < 3; ++i)
    if ((header[i] & 0xDF) != "GIF"[i]) return {TGifFirstImage::Refused};
  const int screenWidth = Le16(header + 6), screenHeight = Le16(header + 8);
  if (!FitsWorkingBitmap(screenWidth, screenHeight)) return {TGifFirstImage::Refused};
  const uint8_t packed = header[10];
  walk.Skip(13);
  if ((packed & 0x80) && !walk.Skip(3 * (2 << (packed & 7)))) return first;
  while (walk.Peek() == 0) walk.Next();
  if (walk.Peek() != 0x21 && walk.Peek() != 0x2C) return first;  // no frame at all
  // The frame's extensions, each read the way its class reads it.
  while (walk.Peek() == 0x21) {
    walk.Next();
    switch (walk.Next()) {
      case 0xF9:  // graphic control: six bytes, whatever its size says
        if (!walk.Skip(6)) return first;
        break;
      case 0x01:  // plain text: thirteen bytes, then the text
        if (!walk.Skip(13) || !walk.SubBlocks()) return first;
        break;
      case 0xFE:  // comment
        if (!walk.SubBlocks()) return first;
        break;
      case 0xFF: {  // application: the identifier, then its data
        int length = walk.Next();
        if (length < 0) return first;
        if (length < 10) return {TGifFirstImage::Refused};
        if (!walk.Skip(11) || !walk.Skip(length - 11) || !walk.SubBlocks()) return first;
        break;
      }
      default:
        return {TGifFirstImage::Refused};  // an extension the reader does not know
    }
  }
  int next = walk.Peek();
  if (next < 0) return first;
  if (next == 0x3B || next == 0) return {TGifFirstImage::ExtensionsOnly};
  const uint8_t* descriptor = walk.Look(10);
  if (!descriptor) return first;
  first.Width = Le16(descriptor + 5);
  first.Height = Le16(descriptor + 7);
  if (first.Width == 0 || first.Height == 0) {
    first.Width = screenWidth;
    first.Height = screenHeight;
  }
  // The image is decoded whole (and rendered once more) before it is drawn
  // on the screen, whatever part of it shows there.
  first.Found = FitsWorkingBitmap(first.Width, first.Height) ? TGifFirstImage::Image : TGifFirstImage::Refused;
  return first;
}

}  // namespace

int64_t GifFirstFrameEnd(TStream& stream) {
  const int64_t size = stream.Size();
  TGifWalk walk(stream);
  switch (FindFirstImage(walk).Found) {
    case TGifFirstImage::Refused: return 0;
    case TGifFirstImage::Ended: return size;
    case TGifFirstImage::ExtensionsOnly: return walk.At();
    case TGifFirstImage::Image: break;
  }
  const uint8_t packed = walk.Look(10)[9];
  walk.Skip(10);
  if ((packed & 0x80) && !walk.Skip(3 * (2 << (packed & 7)))) return size;
  if (walk.Next() < 0 || !walk.SubBlocks()) return size;  // the code size, then the pixels
  return std::min(walk.At(), size);
}

namespace {

// Also walks to the first image: the road holds it whole while it loads,
// so when it is larger than the screen, its size is the claim.
bool GifAcceptable(TStream& stream, TClaim& claim) {
  uint8_t h[10];
  if (!ReadExactly(stream, h, sizeof h)) return false;
  for (int i = 0; i < 3; ++i)
    if ((h[i] & 0xDF) != "GIF"[i]) return false;
  if (!Claim(claim, Le16(h + 6), Le16(h + 8))) return false;
  TGifWalk walk(stream);
  TGifFirstImage first = FindFirstImage(walk);
  if (first.Found == TGifFirstImage::Refused) return false;
  if (first.Found == TGifFirstImage::Image && int64_t(first.Width) * first.Height > claim.Width * claim.Height)
    Claim(claim, first.Width, first.Height);
  return true;
}

bool IconAcceptable(TStream& stream) {
  uint8_t h[6];
  return ReadExactly(stream, h, sizeof h) && Le16(h) == 0 && (Le16(h + 2) == 1 || Le16(h + 2) == 2) &&
         Le16(h + 4) > 0;
}

// An enhanced metafile starts with its header record (type 1) holding
// " EMF" at byte 40; a placeable Windows metafile with its key.
bool MetafileAcceptable(TStream& stream) {
  uint8_t h[44];
  int64_t got = stream.Read(h, sizeof h);
  if (got >= 44 && Le32(h) == 1 && std::memcmp(h + 40, " EMF", 4) == 0) return true;
  return got >= 4 && Le32(h) == 0x9AC6CDD7;
}

}  // namespace

void RegisterPictureFormats() {
  RegisterGifFormat();
  RegisterPngFormat();
}

TPictureKind PictureKindOf(const std::string& extension) {
  if (SameText(extension, ".bmp")) return TPictureKind::Bmp;
  if (SameText(extension, ".jpg") || SameText(extension, ".jpeg")) return TPictureKind::Jpeg;
  if (SameText(extension, ".png")) return TPictureKind::Png;
  if (SameText(extension, ".gif")) return TPictureKind::Gif;
  if (SameText(extension, ".ico")) return TPictureKind::Icon;
  if (SameText(extension, ".emf") || SameText(extension, ".wmf")) return TPictureKind::Metafile;
  return TPictureKind::None;
}

bool FitsWorkingBitmap(int64_t width, int64_t height) {
  if (width <= 0 || height <= 0) return true;  // no pixels: the reader refuses it
  int64_t stride = (width * 24 + 31) / 32 * 4;
  return stride <= MaxBitmapBytes / height;
}

bool PictureHeaderAcceptable(TStream& stream, TPictureKind kind, int64_t* width, int64_t* height) {
  stream.SetPosition(0);
  TClaim claim;
  bool acceptable = false;
  switch (kind) {
    case TPictureKind::Bmp: acceptable = BmpAcceptable(stream, claim); break;
    case TPictureKind::Jpeg: acceptable = JpegAcceptable(stream, claim); break;
    case TPictureKind::Png: acceptable = PngAcceptable(stream, claim); break;
    case TPictureKind::Gif: acceptable = GifAcceptable(stream, claim); break;
    case TPictureKind::Icon: acceptable = IconAcceptable(stream); break;
    case TPictureKind::Metafile: acceptable = MetafileAcceptable(stream); break;
    case TPictureKind::None: break;
  }
  if (width) *width = claim.Width;
  if (height) *height = claim.Height;
  return acceptable;
}

TPictureClaim ClaimPicture(TStream& stream, TPictureKind kind) {
  TPictureClaim claim;
  claim.Readable = PictureHeaderAcceptable(stream, kind, &claim.Width, &claim.Height);
  if (claim.Readable && kind == TPictureKind::Metafile) {
    // A metafile is loaded whole and tells its size only once its records
    // have been walked; its bitmaps are decoded while it is drawn. The
    // file's bytes and those bitmaps are held beside the picture.
    stream.SetPosition(0);
    const std::vector<uint8_t> data = ReadToEnd(stream);
    int width = 0, height = 0;
    claim.Readable = MetafileSize(data.data(), data.size(), &width, &height);
    claim.Width = width;
    claim.Height = height;
    claim.LoadBytes = int64_t(data.size()) + MetafileBitmapBytes(data.data(), data.size());
  }
  if (!claim.Readable) claim = TPictureClaim();
  return claim;
}

int64_t ClaimLoadBytes(const TPictureClaim& claim) {
  if (!claim.Readable || !FitsWorkingBitmap(claim.Width, claim.Height)) return 0;
  const int64_t picture = (claim.Width * 24 + 31) / 32 * 4 * claim.Height;
  return int64_t(PixelMemorySize(size_t(picture))) + std::max<int64_t>(claim.LoadBytes, 0);
}

TPictureClaim ClaimPictureFile(const std::string& path) {
  try {
    TFileStream file(path, fmOpenRead | fmShareDenyWrite);
    return ClaimPicture(file, PictureKindOf(ExtractFileExt(path)));
  } catch (...) {
    return TPictureClaim();
  }
}
