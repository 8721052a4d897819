// Picture files as the loaders meet them: the formats registered with the
// picture classes, and a look at a file's first bytes before it is read
// whole (the signature of its type, the size its header claims).
#pragma once

#include <cstdint>
#include <string>

#include "platform/system/classes.h"

// Registers the GIF and PNG picture classes with TPicture (icons find their
// PNG entries' reader there). Every reader of pictures calls it first: the
// loaders, and the tools that stand in for them.
void RegisterPictureFormats();

// The picture kinds the loaders read, by the file's extension.
enum class TPictureKind { None, Bmp, Jpeg, Png, Gif, Icon, Metafile };

// The kind an extension (".bmp", ".JPG", ...) names; None for any other.
TPictureKind PictureKindOf(const std::string& extension);

// Reads the signature and header of the picture in the stream (from its
// start; the position is left anywhere). False when the bytes are not a
// picture of that kind (junk, another type, a cut header), or when the
// header claims a picture whose 24-bit working bitmap would pass the
// bitmap memory cap. Kinds whose size shows only once they are parsed
// (icons, metafiles) are looked at for their signature alone; a GIF is
// walked up to its first image, which it is refused for as the loader
// refuses it, and which is the size it claims when larger than its screen
// (the load holds that image whole). The size the header claims goes to
// width and height when asked for (0 x 0 when it shows none).
bool PictureHeaderAcceptable(TStream& stream, TPictureKind kind, int64_t* width = nullptr,
                             int64_t* height = nullptr);

// What loading a picture file takes, read from its header as its loader
// reads it, before anything is loaded.
struct TPictureClaim {
  // False when the loader refuses the file: it cannot be opened, it is
  // junk or of another type, its header is cut or refused, or its picture
  // would pass the bitmap memory cap. Such a file is never loaded.
  bool Readable = false;
  // The size of the picture the loader places in the bitmap (both above 0
  // when readable).
  int64_t Width = 0, Height = 0;
  // The most that the load holds at once beside that picture's 24-bit
  // bitmap: the file's bytes where it is read whole, what the decoder holds
  // (a frame larger than the picture, rows of more bits, coefficients),
  // the bitmaps a metafile decodes, a PNG's inflated text.
  int64_t LoadBytes = 0;
};
// The claim of the picture in the stream (from its start; the position is
// left anywhere), read as the loader for the kind reads it.
TPictureClaim ClaimPicture(TStream& stream, TPictureKind kind);
// The claim of the file at path, of the kind its extension names.
TPictureClaim ClaimPictureFile(const std::string& path);

// What the load of a claimed picture holds at its peak: the picture's
// 24-bit bitmap and the claim's LoadBytes (0 for a file not readable).
int64_t ClaimLoadBytes(const TPictureClaim& claim);

// The number of bytes of the GIF data in the stream (from its start; the
// position is left anywhere) up to the end of its first frame, read as the
// GIF reader reads it (all of it when the data ends or stops being a GIF
// before), or 0 when the reader would refuse it or its screen or first
// image is past the cap at 24 bits. The walk reads the blocks' lengths
// through a small buffer of its own. The engine shows only that frame: the
// frames after it are never read.
int64_t GifFirstFrameEnd(TStream& stream);

// True when a width x height picture fits a 24-bit bitmap under the cap.
bool FitsWorkingBitmap(int64_t width, int64_t height);
