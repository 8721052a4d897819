#include "engine/picturefiles.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "gif/gifimage.h"
#include "platform/graphics/gdi.h"
#include "platform/graphics/icon.h"
#include "platform/graphics/jpeg.h"
#include "platform/metafile/metafile.h"
#include "png/pngimage.h"

namespace {

uint32_t Le16(const uint8_t* p) { return p[0] | (p[1] << 8); }
uint32_t Le32(const uint8_t* p) { return p[0] | (p[1] << 8) | (p[2] << 16) | (uint32_t(p[3]) << 24); }

// The memory a buffer of pixels of that many bytes takes.
int64_t HeldBytes(int64_t bytes) { return int64_t(PixelMemorySize(size_t(std::max<int64_t>(bytes, 0)))); }

// The claim of a picture of width x height whose load holds loadBytes
// beside it (the checks of the cap and of pixels follow in ClaimPicture).
TPictureClaim Claimed(int64_t width, int64_t height, int64_t loadBytes) {
  TPictureClaim claim;
  claim.Readable = true;
  claim.Width = width;
  claim.Height = height;
  claim.LoadBytes = loadBytes;
  return claim;
}

// The memory of the 24-bit working bitmap of a width x height picture.
int64_t PictureBytes(int64_t width, int64_t height) { return HeldBytes(AlignedRowBytes(width, 24) * height); }

// A BMP file is read up to the end of its pixels into memory, then into a
// bitmap of its own format; the file's bytes go, and the bitmap is
// converted to 24 bits: the 24-bit bitmap is there only beside the first.
TPictureClaim BmpClaim(TStream& stream) {
  const int64_t size = stream.Size();
  uint8_t head[BmpHeaderBytes];
  const int64_t got = std::max<int64_t>(0, stream.Read(head, std::min<int64_t>(size, sizeof head)));
  TBmpLayout layout;
  try {
    layout = ReadBmpLayout(head, size_t(got), uint64_t(size));
  } catch (const Exception&) {
    return {};
  }
  constexpr int64_t kTableBytes = 8 << 10;  // colour tables (and their copies while converted), objects
  const int64_t data = int64_t(layout.DataEnd) + kTableBytes;
  // A 24-bit picture is read straight into the working bitmap's format.
  const int64_t own = HeldBytes(AlignedRowBytes(layout.Width, layout.OutBits) * layout.Height);
  TPictureClaim claim = Claimed(layout.Width, layout.Height,
                                layout.OutBits == 24 ? data
                                                     : std::max(data + own - PictureBytes(layout.Width, layout.Height),
                                                                own + kTableBytes));
  claim.DataBytes = int64_t(layout.DataEnd);
  return claim;
}

// The claim a codec reads with its own claim function (see PngLoadClaim).
using TLoadClaim = bool (*)(TStream& stream, int64_t& width, int64_t& height, int64_t& loadBytes);
TPictureClaim CodecClaim(TStream& stream, TLoadClaim read) {
  int64_t width = 0, height = 0, loadBytes = 0;
  return read(stream, width, height, loadBytes) ? Claimed(width, height, loadBytes) : TPictureClaim();
}

// An icon's PNG entries are claimed by the PNG codec.
bool IconClaim(TStream& stream, int64_t& width, int64_t& height, int64_t& loadBytes) {
  return IconLoadClaim(stream, PngLoadClaim, width, height, loadBytes);
}

// Walks GIF data block by block as the GIF reader reads it, from the
// stream's start, through a buffered reader: a skip past the buffer leaves
// the bytes it passes unread.
class TGifWalk {
 public:
  static constexpr int64_t BufferBytes = 64 << 10;
  explicit TGifWalk(TStream& stream) : FIn(stream, size_t(BufferBytes)), FSize(FIn.Size()) {
    FIn.SetPosition(0);
  }
  // Where the walk stands in the data.
  int64_t At() { return FIn.Position(); }
  int Peek() {
    const int next = Next();
    if (next >= 0) FIn.Seek(-1, soCurrent);
    return next;
  }
  int Next() {
    uint8_t byte;
    return FIn.Read(&byte, 1) == 1 ? byte : -1;
  }
  // The next count bytes (at most a header's), or null when the data ends
  // first.
  const uint8_t* Look(size_t count) {
    const int64_t got = FIn.Read(FLook, int64_t(std::min(count, sizeof FLook)));
    FIn.Seek(-got, soCurrent);
    return got == int64_t(count) ? FLook : nullptr;
  }
  // Moves count bytes on (or back); false when that leaves the data.
  bool Skip(int64_t count) {
    const int64_t to = At() + count;
    if (to < 0 || to > FSize) return false;
    FIn.SetPosition(to);
    return true;
  }
  // A chain of data sub-blocks up to its terminator (or the end), its
  // blocks' bytes and length bytes counted into bytes when asked.
  bool SubBlocks(int64_t* bytes = nullptr) {
    for (int length; (length = Next()) > 0;) {
      if (bytes) *bytes += 1 + length;
      if (!Skip(length)) return false;
    }
    return true;
  }

 private:
  TBufferedReadStream FIn;
  const int64_t FSize;
  uint8_t FLook[16];
};

// What the GIF reader meets in GIF data up to the end of its first frame.
struct TGifFirstFrame {
  enum {
    Refused,         // the reader refuses the data or finds no frame, or the screen or image is past the cap
    Ended,           // the data ends (or stops being GIF) in the first frame's extensions or pixels
    ExtensionsOnly,  // the first frame holds extensions only
    Image            // the first frame holds an image
  } Found = Refused;
  int ScreenWidth = 0, ScreenHeight = 0;
  int Width = 0, Height = 0;  // the image's size (the screen's for a side of 0)
  // Where the reader's walk ends: behind the frame, or the data's end.
  int64_t End = 0;
  // The extensions of the frame the reader holds at once, each an object
  // of its own, and the bytes of all their data sub-blocks: those of a kept
  // extension stay in its store, those of one passed over are held while it
  // is read.
  int64_t Items = 0, ItemBytes = 0;
};

// The frame's extensions, each read the way its class reads it; false where
// the data ends among them. found is set to Refused for an extension the
// reader refuses.
bool WalkExtensions(TGifWalk& walk, TGifFirstFrame& frame) {
  auto subBlocks = [&] { return walk.SubBlocks(&frame.ItemBytes); };
  while (walk.Peek() == 0x21) {
    walk.Next();
    // Those the reader keeps, its graphic control extension past them, and
    // one being read and passed over.
    frame.Items = std::min<int64_t>(frame.Items + 1, GIFMaxFrameExtensions + 2);
    switch (walk.Next()) {
      case 0xF9:  // graphic control: six bytes, whatever its size says
        if (!walk.Skip(6)) return false;
        break;
      case 0x01:  // plain text: thirteen bytes, then the text
        if (!walk.Skip(13) || !subBlocks()) return false;
        break;
      case 0xFE:  // comment
        if (!subBlocks()) return false;
        break;
      case 0xFF: {  // application: the identifier, then its data
        int length = walk.Next();
        if (length < 0) return false;
        if (length < 10) {
          frame.Found = TGifFirstFrame::Refused;
          return false;
        }
        if (!walk.Skip(11) || !walk.Skip(length - 11) || !subBlocks()) return false;
        break;
      }
      default:  // an extension the reader does not know
        frame.Found = TGifFirstFrame::Refused;
        return false;
    }
  }
  return true;
}

TGifFirstFrame FindFirstFrame(TStream& stream) {
  TGifFirstFrame frame;
  const int64_t size = stream.Size();
  TGifWalk walk(stream);
  // The header and the global colour table: the reader refuses data cut
  // in them. Some files carry four bytes in front of the signature.
  auto signature = [](const uint8_t* header) {
    for (int i = 0; i < 3; ++i)
      if ((header[i] & 0xDF) != "GIF"[i]) return false;
    return true;
  };
  const uint8_t* header = walk.Look(6);
  if (!header) return frame;
  if (!signature(header) && !(walk.Skip(4) && (header = walk.Look(6)) && signature(header))) return frame;
  header = walk.Look(13);
  if (!header) return frame;
  frame.ScreenWidth = Le16(header + 6);
  frame.ScreenHeight = Le16(header + 8);
  if (!FitsWorkingBitmap(frame.ScreenWidth, frame.ScreenHeight)) return frame;
  const uint8_t packed = header[10];
  walk.Skip(13);
  if ((packed & 0x80) && !walk.Skip(3 * (2 << (packed & 7)))) return frame;
  // Past zeros, a frame begins with an extension or an image; anything
  // else leaves the reader without frames.
  while (walk.Peek() == 0) walk.Next();
  if (walk.Peek() != 0x21 && walk.Peek() != 0x2C) return frame;
  frame.Found = TGifFirstFrame::Ended;
  frame.End = size;
  if (!WalkExtensions(walk, frame)) return frame;
  int next = walk.Peek();
  if (next < 0) return frame;
  if (next == 0x3B || next == 0) {
    frame.Found = TGifFirstFrame::ExtensionsOnly;
    frame.End = walk.At();
    return frame;
  }
  const uint8_t* descriptor = walk.Look(10);
  if (!descriptor) return frame;
  frame.Width = Le16(descriptor + 5);
  frame.Height = Le16(descriptor + 7);
  if (frame.Width == 0 || frame.Height == 0) {
    frame.Width = frame.ScreenWidth;
    frame.Height = frame.ScreenHeight;
  }
  // The image is decoded whole (and rendered once more) before it is drawn
  // on the screen, whatever part of it shows there.
  if (!FitsWorkingBitmap(frame.Width, frame.Height)) {
    frame.Found = TGifFirstFrame::Refused;
    return frame;
  }
  const uint8_t local = descriptor[9];
  walk.Skip(10);
  if ((local & 0x80) && !walk.Skip(3 * (2 << (local & 7)))) return frame;
  if (walk.Next() < 0 || !walk.SubBlocks()) return frame;  // the code size, then the pixels
  frame.Found = TGifFirstFrame::Image;
  frame.End = std::min(walk.At(), size);
  return frame;
}

// The GIF loader reads the data up to the end of the first frame (and adds
// a trailer) and decodes that frame's pixels; the data goes, the pixels are
// rendered as an 8-bit bitmap, and the picture of the screen is copied out:
// that bitmap itself when the frame is the screen's size (a copy kept by
// the image, then the loader's bitmap, 8-bit until it is converted to 24
// bits once the image is gone), otherwise the frame drawn on a 24-bit
// bitmap of the screen, kept by the image, then copied into the loader's.
TPictureClaim GifClaim(const TGifFirstFrame& frame) {
  if (frame.Found == TGifFirstFrame::Refused) return {};
  // Each extension the reader holds: an object (at most 80 bytes) and its
  // heap block, and an entry of the list (8 bytes, up to three times while
  // the list grows).
  constexpr int64_t kItemBytes = 160;
  constexpr int64_t kDecoderBytes = 64 << 10;  // the LZW decoder's tables, the colour maps and palettes
  const int64_t picture = PictureBytes(frame.ScreenWidth, frame.ScreenHeight);
  // The loader's own walk to the frame's end holds its buffer before the
  // load begins: for a small picture that is the peak.
  const int64_t extensions = frame.Items * kItemBytes + frame.ItemBytes + kDecoderBytes + TGifWalk::BufferBytes;
  const int64_t pixels = int64_t(frame.Width) * frame.Height;
  const int64_t rendering = HeldBytes(AlignedRowBytes(frame.Width, 8) * frame.Height);
  const int64_t mask = HeldBytes(AlignedRowBytes(frame.Width, 1) * frame.Height);
  // Reading: the data and the pixels, before any 24-bit bitmap.
  int64_t beside = frame.End + 1 + pixels - picture;
  if (frame.Width == frame.ScreenWidth && frame.Height == frame.ScreenHeight)
    beside = std::max({beside, pixels + 3 * rendering + mask - picture, rendering});
  else
    beside = std::max(beside, pixels + rendering + mask + picture);
  return Claimed(frame.ScreenWidth, frame.ScreenHeight, extensions + beside);
}

// A metafile is loaded whole and tells its size only once its records have
// been walked; it is drawn at its size in the helper program. The file's
// bytes and what the drawing holds (MetafileDrawBytes: the helper's
// surface and bitmaps, the memory shared with it) are held beside the
// picture. Junk and other types are
// refused by the signature before the file is read: an enhanced metafile
// starts with its header record (type 1) holding " EMF" at byte 40; a
// placeable Windows metafile with its key.
bool MetafileSignature(const uint8_t* h, int64_t got) {
  return (got >= 44 && Le32(h) == 1 && std::memcmp(h + 40, " EMF", 4) == 0) || (got >= 4 && Le32(h) == 0x9AC6CDD7);
}
TPictureClaim MetafileClaim(const uint8_t* data, size_t size) {
  int width = 0, height = 0;
  if (!MetafileSignature(data, int64_t(size)) || !MetafileSize(data, size, &width, &height)) return {};
  return Claimed(width, height, int64_t(size) + MetafileDrawBytes(data, size, width, height));
}
TPictureClaim MetafileClaim(TStream& stream) {
  uint8_t h[44];
  if (!MetafileSignature(h, stream.Read(h, sizeof h))) return {};
  stream.SetPosition(0);
  const std::vector<uint8_t> data = ReadToEnd(stream);
  return MetafileClaim(data.data(), data.size());
}

// Whatever the kind: a loaded picture has pixels, and a working bitmap
// under the cap.
TPictureClaim Checked(TPictureClaim claim) {
  if (!claim.Readable || claim.Width <= 0 || claim.Height <= 0 || !FitsWorkingBitmap(claim.Width, claim.Height))
    return TPictureClaim();
  claim.LoadBytes = std::max<int64_t>(claim.LoadBytes, 0);
  return claim;
}

}  // namespace

int64_t GifFirstFrameEnd(TStream& stream) {
  const TGifFirstFrame frame = FindFirstFrame(stream);
  return frame.Found == TGifFirstFrame::Refused ? 0 : frame.End;
}

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

TPictureClaim ClaimPicture(TStream& stream, TPictureKind kind) {
  stream.SetPosition(0);
  const int64_t size = stream.Size();
  TPictureClaim claim;
  try {
    switch (kind) {
      case TPictureKind::Bmp: claim = BmpClaim(stream); break;
      case TPictureKind::Jpeg: claim = CodecClaim(stream, JpegLoadClaim); break;
      case TPictureKind::Png:
        // The file's bytes are held in memory while they are decoded.
        claim = CodecClaim(stream, PngLoadClaim);
        claim.LoadBytes += size;
        break;
      case TPictureKind::Gif: {
        const TGifFirstFrame frame = FindFirstFrame(stream);
        claim = GifClaim(frame);
        claim.DataBytes = frame.End;
        break;
      }
      case TPictureKind::Icon: claim = CodecClaim(stream, IconClaim); break;
      case TPictureKind::Metafile: claim = MetafileClaim(stream); break;
      case TPictureKind::None: break;
    }
  } catch (const Exception&) {
    claim = TPictureClaim();
  }
  if (kind != TPictureKind::Bmp && kind != TPictureKind::Gif) claim.DataBytes = size;
  return Checked(claim);
}

TPictureClaim ClaimPictureData(const uint8_t* data, size_t size, TPictureKind kind) {
  if (kind != TPictureKind::Metafile) {
    TReadOnlyMemoryStream stream(data, size);
    return ClaimPicture(stream, kind);
  }
  TPictureClaim claim;
  try {
    claim = MetafileClaim(data, size);
  } catch (const Exception&) {
    claim = TPictureClaim();
  }
  claim.DataBytes = int64_t(size);
  return Checked(claim);
}

int64_t ClaimLoadBytes(const TPictureClaim& claim) {
  if (!claim.Readable || !FitsWorkingBitmap(claim.Width, claim.Height)) return 0;
  return PictureBytes(claim.Width, claim.Height) + std::max<int64_t>(claim.LoadBytes, 0);
}

TPictureClaim ClaimPictureFile(const std::string& path) { return ClaimFile(path).Claim; }

bool TClaimedFile::Unchanged() const {
  return Claim.Readable && File && Identity.Size >= 0 && File->Identity() == Identity && FileIdentity(Path) == Identity;
}

bool TClaimedFile::ReadClaimedData(std::vector<uint8_t>& data, TPictureClaim& claim) noexcept {
  data = std::vector<uint8_t>();
  claim = TPictureClaim();
  try {
    if (!Unchanged() || Claim.DataBytes < 0 || Claim.DataBytes > Identity.Size) return false;
    // A GIF's trailer may follow its first frame.
    data.reserve(size_t(Claim.DataBytes) + 1);
    data.resize(size_t(Claim.DataBytes));
    File->SetPosition(0);
    File->ReadBuffer(data.data(), Claim.DataBytes);
    const bool unchanged = Unchanged();
    File.reset();
    if (unchanged) claim = ClaimPictureData(data.data(), data.size(), Kind);
  } catch (...) {
    claim = TPictureClaim();
  }
  File.reset();
  // Decoded, these bytes hold no more than the file was claimed to hold.
  if (claim.Readable && claim.Width == Claim.Width && claim.Height == Claim.Height &&
      claim.LoadBytes <= Claim.LoadBytes && claim.DataBytes <= int64_t(data.size()))
    return true;
  data = std::vector<uint8_t>();
  return false;
}

TClaimedFile ClaimFile(const std::string& path) noexcept {
  try {
    return ClaimFile(path, PictureKindOf(ExtractFileExt(path)));
  } catch (...) {
    return TClaimedFile();
  }
}

TClaimedFile ClaimFile(const std::string& path, TPictureKind kind) noexcept {
  TClaimedFile claimed;
  claimed.Kind = kind;
  try {
    claimed.Path = path;
    claimed.File = std::make_unique<TFileStream>(path, fmOpenRead | fmShareDenyWrite);
    claimed.Identity = claimed.File->Identity();
    claimed.Claim = ClaimPicture(*claimed.File, kind);
  } catch (...) {
    claimed.Claim = TPictureClaim();
  }
  if (!claimed.Claim.Readable) claimed.File.reset();
  return claimed;
}
