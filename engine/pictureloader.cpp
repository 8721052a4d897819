// Reading source pictures into a bitmap, by the file's extension. A file is
// opened once; its claim is read from its headers before anything else is
// read, so that junk or a header claiming a picture too large for the
// working bitmap costs no memory, and the run and the loader refuse the
// same files. A run claims each file ahead of its load and hands the open
// file to the load. The load reads the bytes it decodes from it once, into
// memory, and claims them again there: it decodes only bytes that claim no
// more than the file did. A load that leaves no pixels has failed.
#include "engine/jobrecord.h"
#include "engine/picturefiles.h"
#include "gif/gifimage.h"
#include "platform/graphics/icon.h"
#include "platform/graphics/jpeg.h"
#include "platform/metafile/metafile.h"
#include "png/pngimage.h"

namespace {

// Draws a picture that has no pixels of its own (icon, metafile) onto the
// bitmap at its size, over the bitmap's fresh fill.
void DrawOnto(TGraphic& graphic, TBitmap& bitmap) {
  bitmap.SetWidth(graphic.Width());
  bitmap.SetHeight(graphic.Height());
  bitmap.Canvas()->Draw(0, 0, &graphic);
}

bool HasPixels(const TBitmap& bitmap) { return bitmap.Width() > 0 && bitmap.Height() > 0; }

// Reads a picture of the graphic class from the bytes, which go once it is
// read, and copies it into the bitmap.
template <class TGraphicClass>
void ReadAndCopy(std::vector<uint8_t>& data, TBitmap& bitmap) {
  TGraphicClass graphic;
  {
    TReadOnlyMemoryStream stream(data.data(), data.size());
    graphic.LoadFromStream(stream);
    data = std::vector<uint8_t>();
  }
  bitmap.Assign(&graphic);
}

// Decodes a claimed file's bytes, read and claimed again by
// ReadClaimedData, into the bitmap; the bytes go as soon as the picture no
// longer needs them. Raises the codec's errors.
void LoadData(const TClaimedFile& source, std::vector<uint8_t> data, const TPictureClaim& claim, TBitmap& bitmap) {
  switch (source.Kind) {
    case TPictureKind::Bmp:
      bitmap.LoadFromMemory(data.data(), data.size());
      break;
    case TPictureKind::Gif: {
      // The first frame and what comes before it, then the trailer: the
      // frames after it would cost memory and time and show nowhere, so
      // they are never read (a long animation holds no more than its first
      // frame's data). Only the first frame is wanted; the copy into the
      // bitmap renders it without a painter. Loaders run on several
      // threads at once, so they leave the codec's process-wide defaults
      // alone.
      data.resize(size_t(claim.DataBytes));
      if (claim.DataBytes < source.Identity.Size) data.push_back(0x3B);
      ReadAndCopy<TGIFImage>(data, bitmap);
      break;
    }
    case TPictureKind::Metafile: {
      TMetafile metafile;
      metafile.LoadFromMemory(data.data(), data.size());
      data = std::vector<uint8_t>();
      DrawOnto(metafile, bitmap);
      break;
    }
    case TPictureKind::Jpeg: {
      TJPEGImage jpeg;
      jpeg.LoadFromData(std::move(data));
      jpeg.DecodeInto(bitmap);  // no second copy of the picture
      break;
    }
    case TPictureKind::Png:
      ReadAndCopy<TPNGObject>(data, bitmap);
      break;
    case TPictureKind::Icon: {
      TIcon icon;
      icon.LoadFromData(std::move(data));
      DrawOnto(icon, bitmap);
      break;
    }
    case TPictureKind::None:
      break;
  }
}

// Loads a claimed file: the bytes claimed, read once and decoded from
// memory.
bool LoadClaimed(TClaimedFile& source, TBitmap& bitmap) {
  std::vector<uint8_t> data;
  TPictureClaim claim;
  if (!source.ReadClaimedData(data, claim)) return false;
  try {
    LoadData(source, std::move(data), claim, bitmap);
  } catch (...) {
    return false;
  }
  return HasPixels(bitmap);
}

}  // namespace

bool TJobRecord::LoadPictureToBitmap(const std::string& path, TBitmap& bitmap) {
  if (SameText(ExtractFileExt(path), ".gif")) return LoadGifToBitmap(path, bitmap);
  return LoadImageToBitmap(path, bitmap);
}

bool TJobRecord::LoadGifToBitmap(const std::string& path, TBitmap& bitmap) {
  RegisterPictureFormats();
  TClaimedFile source = ClaimFile(path, TPictureKind::Gif);
  return LoadClaimed(source, bitmap);
}

bool TJobRecord::LoadImageToBitmap(const std::string& path, TBitmap& bitmap) {
  // Icons whose entries are stored as PNG find the codec through TPicture.
  RegisterPictureFormats();
  TPictureKind kind = PictureKindOf(ExtractFileExt(path));
  if (kind == TPictureKind::None || kind == TPictureKind::Gif) return false;
  TClaimedFile source = ClaimFile(path, kind);
  return LoadClaimed(source, bitmap);
}

bool TJobRecord::LoadClaimedPicture(TClaimedFile& source, TBitmap& bitmap) {
  RegisterPictureFormats();
  return source.Kind != TPictureKind::None && LoadClaimed(source, bitmap);
}
