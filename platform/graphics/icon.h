// Icons (.ico files): a set of pictures of several sizes and colour depths,
// of which one is chosen and drawn with its transparency.
#pragma once

#include <memory>
#include <vector>

#include "platform/graphics/graphics.h"

// An icon file. Loading reads the directory, chooses one entry and decodes
// it: entries of 1, 4, 8, 24 and 32 bits per pixel with their AND mask
// (32-bit ones with their alpha channel), and entries stored as PNG through
// the graphic class registered for "png" (without one such an entry is not
// valid). The chosen entry is the one whose size is nearest to 32 x 32,
// among those the one with the most colours, the first of equals.
// Raises EInvalidGraphic "Icon image is not valid" for malformed data.
class TIcon : public TGraphic {
 public:
  TIcon();
  ~TIcon() override;
  const char* ClassName() const override { return "TIcon"; }

  int Width() const override { return FWidth; }
  int Height() const override { return FHeight; }
  void SetWidth(int) override {}
  void SetHeight(int) override {}
  bool Empty() const override { return FWidth == 0 || FHeight == 0; }

  void Assign(const TPersistent* source) override;  // another TIcon
  void LoadFromStream(TStream& stream) override;     // reads to the stream's end
  void SaveToStream(TStream& stream) override;       // writes the file as loaded
  // Draws the chosen entry into the rectangle (stretched when the rectangle
  // has another size): where the mask is set the target keeps its pixels
  // (inverted where the icon's colour is not black), 32-bit entries blend by
  // their alpha, and the other pixels take the icon's colours.
  void Draw(TCanvas& canvas, const TRect& rect) override;

  void LoadFromMemory(const uint8_t* data, size_t size);
  // Reads an icon file from the bytes, which the icon keeps (no copy is
  // made).
  void LoadFromData(std::vector<uint8_t> data);
  // The icon's own mask: a byte a pixel, rows top to bottom, 1 where the
  // icon leaves the target's pixel in place (the AND mask of the chosen
  // entry; for an entry with alpha, its pixels of alpha 0).
  std::vector<uint8_t> Mask() const;

 private:
  std::vector<uint8_t> FData;  // the file as loaded
  int FWidth = 0, FHeight = 0;
  // The chosen entry as 32-bit blue, green, red, alpha pixels (alpha 0 =
  // transparent) plus, for entries without alpha, the XOR colours where the
  // mask is set.
  std::vector<uint8_t> FPixels;   // FWidth * FHeight * 4
  std::vector<uint8_t> FMask;     // FWidth * FHeight, 1 where the AND mask is set
};

// --- The directory and the chosen entry -------------------------------------

// An entry of an icon file's directory: where its image lies in the file,
// and the size and colour depth it is judged by (its image's own header's
// where that can be read, else the directory's).
struct TIconEntry {
  size_t Offset = 0, Size = 0;
  bool Png = false;
  int64_t Width = 0, Height = 0;
  int Bits = 0;
};
// The bytes of an entry's image that its header is read from (at most).
constexpr size_t IconEntryHeaderBytes = 26;

// Reads the directory of an icon file of fileSize bytes from its first
// headSize bytes (6 + 16 per entry suffice); false where TIcon refuses the
// file: no icon or cursor directory, no entry, an entry that is empty or
// does not lie inside the file.
bool ReadIconDirectory(const uint8_t* head, size_t headSize, uint64_t fileSize, std::vector<TIconEntry>& entries);
// Reads the entry's kind, size and colour depth from the first bytes of
// its image (as many as it has, up to IconEntryHeaderBytes).
void ReadIconEntryHeader(TIconEntry& entry, const uint8_t* image);
// The entry TIcon draws: the one whose size is nearest to 32 x 32, among
// those the one with the most colours, the first of equals.
const TIconEntry& ChooseIconEntry(const std::vector<TIconEntry>& entries);

// Reads what loading a PNG picture from the stream holds (see
// PngLoadClaim): its size, and the most it holds beside its 24-bit bitmap.
using TPngLoadClaim = bool (*)(TStream& stream, int64_t& width, int64_t& height, int64_t& loadBytes);
// What TIcon::LoadFromStream of the icon file in the stream (from its start;
// the position is left anywhere) and drawing it onto a bitmap of its size
// hold, read from the directory and the chosen entry's header alone (a PNG
// entry's through pngClaim). False where the icon refuses the directory or
// that header. width and height: the size the icon takes; loadBytes: the
// most the load holds beside a 24-bit bitmap of that size (the file's
// bytes, which the icon keeps, the directory, the entry's decoding and the
// icon's own pixels and mask).
bool IconLoadClaim(TStream& stream, TPngLoadClaim pngClaim, int64_t& width, int64_t& height, int64_t& loadBytes);
