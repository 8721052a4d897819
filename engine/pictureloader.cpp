// Reading source pictures into a bitmap, by the file's extension. A file is
// opened once; its claim is read from its headers before anything else is
// read, so that junk or a header claiming a picture too large for the
// working bitmap costs no memory, and the run and the loader refuse the
// same files. A run claims each file ahead of its load and hands the open
// file to the load, which reads it as claimed. A load that leaves no pixels
// has failed.
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

// Loads a claimed GIF file.
bool LoadGif(TClaimedFile& source, TBitmap& bitmap) {
  // Only the first frame is wanted; the copy into the bitmap renders it
  // without a painter. Loaders run on several threads at once, so they
  // leave the codec's process-wide defaults alone.
  bool loaded = false;
  try {
    const int64_t end = source.GifEnd;
    if (std::unique_ptr<TFileStream> file = std::move(source.File)) {
      // The first frame and what comes before it, then the trailer: the
      // frames after it would cost memory and time and show nowhere, so
      // they are never read (a long animation holds no more than its first
      // frame's data).
      const int64_t size = file->Size();
      if (end > 0) {
        std::vector<uint8_t> data;
        data.reserve(size_t(end) + 1);
        data.resize(size_t(end));
        file->SetPosition(0);
        file->ReadBuffer(data.data(), end);
        file.reset();
        if (end < size) data.push_back(0x3B);
        TGIFImage gif;
        {
          TReadOnlyMemoryStream stream(data.data(), data.size());
          gif.LoadFromStream(stream);
          data = std::vector<uint8_t>();
        }
        bitmap.Assign(&gif);
        loaded = HasPixels(bitmap);
      }
    }
  } catch (...) {
    loaded = false;
  }
  return loaded;
}

// Loads a claimed file of any other kind.
bool LoadImage(TClaimedFile& source, TBitmap& bitmap) {
  try {
    std::unique_ptr<TFileStream> file = std::move(source.File);
    if (!file) return false;
    file->SetPosition(0);
    switch (source.Kind) {
      case TPictureKind::Bmp:
        bitmap.LoadFromStream(*file);
        break;
      case TPictureKind::Metafile: {
        TMetafile metafile;
        metafile.LoadFromStream(*file);
        file.reset();
        DrawOnto(metafile, bitmap);
        break;
      }
      case TPictureKind::Jpeg: {
        TJPEGImage jpeg;
        jpeg.LoadFromStream(*file);
        file.reset();
        jpeg.DecodeInto(bitmap);  // no second copy of the picture
        break;
      }
      case TPictureKind::Png: {
        TPNGObject png;
        png.LoadFromStream(*file);
        file.reset();
        bitmap.Assign(&png);
        break;
      }
      case TPictureKind::Icon: {
        TIcon icon;
        icon.LoadFromStream(*file);
        file.reset();
        DrawOnto(icon, bitmap);
        break;
      }
      default:
        return false;
    }
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
  return source.Claim.Readable && LoadGif(source, bitmap);
}

bool TJobRecord::LoadImageToBitmap(const std::string& path, TBitmap& bitmap) {
  // Icons whose entries are stored as PNG find the codec through TPicture.
  RegisterPictureFormats();
  TPictureKind kind = PictureKindOf(ExtractFileExt(path));
  if (kind == TPictureKind::None || kind == TPictureKind::Gif) return false;
  TClaimedFile source = ClaimFile(path, kind);
  return source.Claim.Readable && LoadImage(source, bitmap);
}

bool TJobRecord::LoadClaimedPicture(TClaimedFile& source, TBitmap& bitmap) {
  RegisterPictureFormats();
  if (!source.Unchanged()) return false;
  if (source.Kind == TPictureKind::Gif) return LoadGif(source, bitmap);
  return source.Kind != TPictureKind::None && LoadImage(source, bitmap);
}
