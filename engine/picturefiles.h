// Picture files as the loaders meet them: the formats registered with the
// picture classes, and a file's claim, read from its headers before it is
// read whole: whether its loader reads it, the size of the picture it
// places and what the load holds beside that picture.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/system/classes.h"

// Registers the GIF and PNG picture classes with TPicture (icons find their
// PNG entries' reader there). Every reader of pictures calls it first: the
// loaders, and the tools that stand in for them.
void RegisterPictureFormats();

// The picture kinds the loaders read, by the file's extension.
enum class TPictureKind { None, Bmp, Jpeg, Png, Gif, Icon, Metafile };

// The kind an extension (".bmp", ".JPG", ...) names; None for any other.
TPictureKind PictureKindOf(const std::string& extension);

// What loading a picture file takes, read from its headers by the reader
// its loader uses (or the same walk), before anything is loaded. The loader
// reads only files whose claim is readable.
struct TPictureClaim {
  // False when the loader refuses the file: it cannot be opened, it is
  // junk or of another type, its header is cut or refused, or its picture
  // would pass the bitmap memory cap. Such a file is never loaded.
  bool Readable = false;
  // The size of the picture the loader places in the bitmap (both above 0
  // when readable).
  int64_t Width = 0, Height = 0;
  // The most that the load holds at once beside that picture's 24-bit
  // bitmap, up to the bitmap's conversion to 24 bits: the file's bytes where
  // it is read whole, what the decoder holds (a frame larger than the
  // picture, the picture in the file's own format, coefficients, an icon's
  // pixels), the bitmaps a metafile decodes, a PNG's inflated text.
  int64_t LoadBytes = 0;
  // How many of the data's first bytes the load reads into memory and
  // decodes (counted in LoadBytes): all of them, but a BMP's up to the end
  // of its pixels and a GIF's up to the end of its first frame.
  int64_t DataBytes = 0;
};
// The claim of the picture in the stream (from its start; the position is
// left anywhere), read as the loader for the kind reads it: not readable
// for junk, another type, a cut or refused header, and a picture that has
// no pixels or whose 24-bit working bitmap would pass the cap.
TPictureClaim ClaimPicture(TStream& stream, TPictureKind kind);
// The same for data in memory, read where it is.
TPictureClaim ClaimPictureData(const uint8_t* data, size_t size, TPictureKind kind);
// The claim of the file at path, of the kind its extension names.
TPictureClaim ClaimPictureFile(const std::string& path);

// A picture file opened once and claimed from the open file. Its load reads
// the bytes it decodes from the same open file into memory, claims them
// again there and decodes them only when they claim no more than the file
// did: a file rewritten under its claim, whatever its times say, is never
// loaded past it.
struct TClaimedFile {
  std::string Path;
  TPictureKind Kind = TPictureKind::None;
  TPictureClaim Claim;
  // The open file while its claim is readable; null otherwise, and once a
  // load has taken it.
  std::unique_ptr<TFileStream> File;
  // The file as it was opened for the claim.
  TFileIdentity Identity;
  // True while the claim is readable, the open file is as it was claimed
  // and the path still names it: a file cut, grown, rewritten (at a new
  // time) or replaced since is not the file claimed.
  bool Unchanged() const;
  // Reads the bytes the load decodes (Claim.DataBytes of them) from the
  // open file, which it lets go, into data, and claims them there into
  // claim. True when the file was unchanged before and after the read and
  // the bytes claim the picture claimed, with no more memory beside it.
  bool ReadClaimedData(std::vector<uint8_t>& data, TPictureClaim& claim) noexcept;
};
// Opens the file at path and claims it as the kind, by default the one its
// extension names. Raises nothing: a file that cannot be opened or claimed
// is not readable.
TClaimedFile ClaimFile(const std::string& path) noexcept;
TClaimedFile ClaimFile(const std::string& path, TPictureKind kind) noexcept;

// What the load of a claimed picture holds at its peak: the picture's
// 24-bit bitmap and the claim's LoadBytes (0 for a file not readable).
int64_t ClaimLoadBytes(const TPictureClaim& claim);

// The number of bytes of the GIF data in the stream (from its start; the
// position is left anywhere) up to the end of its first frame, read as the
// GIF reader reads it (all of it when the data ends before), or 0 when the
// reader refuses it, finds no frame, or its screen or first image is past
// the cap at 24 bits. The walk reads the blocks' lengths through a small
// buffer of its own. The engine shows only that frame: the frames after it
// are never read.
int64_t GifFirstFrameEnd(TStream& stream);

// True when a width x height picture fits a 24-bit bitmap under the cap.
bool FitsWorkingBitmap(int64_t width, int64_t height);
