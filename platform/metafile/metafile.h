// Metafiles: enhanced metafiles (EMF) and placeable Windows metafiles (WMF),
// played back onto a canvas.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "platform/graphics/graphics.h"

// A metafile picture. The kind is told by the content: the enhanced-metafile
// signature " EMF" at byte 40 makes an EMF; anything else must be a
// placeable WMF (key 0x9AC6CDD7 with a matching header checksum), or it is
// not a valid picture. Width and Height are the picture's size in screen
// pixels at 96 dots per inch. Drawing plays the records into the rectangle
// without antialiasing; what the records leave undrawn keeps the target's
// pixels. Raises EInvalidGraphic "Metafile is not valid" for malformed data
// (a record that claims more bytes than remain included). Records whose
// content does not fit in them are skipped when drawn.
//
// Each drawing decodes at most 2^26 pixels for the metafile's bitmaps
// beyond those its records carry: pattern brushes, and run-length bitmaps,
// whose few bytes may stand for many pixels (an uncompressed bitmap record
// is not counted: its pixels are in the file). A record whose bitmap would
// pass that is drawn without it. A pattern brush tiles its whole picture.
//
// Each drawing is bounded in work: what the painter does for the records
// (the pixels filled, the rows that outlines cross, the dashes of wide
// pens, the rectangles of clips) may not pass a generous multiple of the
// frame's area (the part of the canvas drawn on) and of the bytes of the
// records that draw, nor about four seconds of painting whatever the frame
// and the file. No painting may take the painter more memory for its path
// and outline than the points of the file's largest path allow (see
// MetafileOutlineBytes).
// No clip or region may have more than 2^18 rectangles, nor all that a
// drawing holds at once more than 2^20, and no stroke of a wide pen more
// than 2^15 dashes within the canvas; its clips, regions and saved states
// and the painter's spans of a clip hold at most 64 MiB. A drawing that would pass a bound
// stops before it does and Draw raises EInvalidGraphic "Metafile is too
// complex to draw" (drawn in the program's own process, as in the fuzzing
// build, the canvas may hold part of the drawing).
//
// Draw plays the records in the helper program (brightmill-metafile, see
// platform/metafile/helperhost.h), on a 32-bit copy of the frame in the
// helper's memory that comes back to the canvas once drawn, under hard
// limits of memory (what MetafileDrawBytes reckons), processor time and
// wall-clock time. A helper that crashes, passes a limit or cannot start,
// and a drawing whose thread is asked to stop (TMetafileStop), raise
// EInvalidGraphic too. A drawing that raises leaves the frame as it was
// (but for a helper that ends while its drawing comes back); pixels
// outside the frame never change. Any thread may draw.
class TMetafile : public TGraphic {
 public:
  TMetafile();
  ~TMetafile() override;
  const char* ClassName() const override { return "TMetafile"; }

  int Width() const override { return FWidth; }
  int Height() const override { return FHeight; }
  void SetWidth(int value) override { FWidth = value; }
  void SetHeight(int value) override { FHeight = value; }
  bool Empty() const override { return FData.empty(); }
  bool Enhanced() const { return FEnhanced; }
  // Size in 0.01 mm.
  int MMWidth() const { return FMMWidth; }
  int MMHeight() const { return FMMHeight; }

  void Assign(const TPersistent* source) override;  // another TMetafile
  void LoadFromStream(TStream& stream) override;     // reads to the stream's end
  void SaveToStream(TStream& stream) override;       // writes the file as loaded
  void Draw(TCanvas& canvas, const TRect& rect) override;

  void LoadFromMemory(const uint8_t* data, size_t size);

 private:
  // Takes the data as the metafile's own, without a copy.
  void LoadFromData(std::vector<uint8_t> data);
  std::vector<uint8_t> FData;
  bool FEnhanced = false;
  int FWidth = 0, FHeight = 0;
  int FMMWidth = 0, FMMHeight = 0;
  // What a drawing holds for the bitmaps (MetafileBitmapBytes) and for the
  // painter's outlines (MetafileOutlineBytes), reckoned once when the file
  // is loaded.
  int64_t FBitmapBytes = 0, FOutlineBytes = 0;
};

// What one drawing used of the bounds that stop it (see TMetafile).
struct TMetafileDrawUse {
  double Work = 0, WorkLimit = 0;  // work units
  int64_t RegionRects = 0;         // of the largest clip or region built
  int64_t HeldRegionRects = 0;     // the most held at once
  int64_t HeldBytes = 0;           // the most held at once by clips, regions and saved states
  int64_t StrokeDashes = 0;        // the most of one stroke within the canvas
  int64_t OutlineBytes = 0, OutlineLimit = 0;  // the most one painting's path and outline take
  int64_t BitmapPixels = 0;        // counted to the bound of the bitmaps
  bool Stopped = false;            // a bound stopped it
};
// Draws the metafile in data onto a white picture of width x height and
// tells what the drawing used of its bounds; none for data that is not a
// valid metafile.
std::optional<TMetafileDrawUse> MetafileDrawUse(const uint8_t* data, size_t size, int width, int height);

// The bytes the player may hold at once for the bitmaps of the metafile in
// data (within the bound of a drawing), read from the records' headers
// without decoding anything; 0 for data that is not a metafile.
int64_t MetafileBitmapBytes(const uint8_t* data, size_t size);
// The bytes the painter may hold at once for the paths the player hands it
// and the outlines it makes of them (a wide pen's sides, joins, caps and
// dashes), reckoned from the points of the largest path the records paint
// at once (within the bound of a drawing); 0 for data that is not a
// metafile.
int64_t MetafileOutlineBytes(const uint8_t* data, size_t size);
// The size in pixels that the metafile in data takes when loaded (Width and
// Height); false, with 0 x 0, for data that is not a valid metafile.
bool MetafileSize(const uint8_t* data, size_t size, int* width, int* height);

// What one drawing may hold for Qt's clip data and saved states, beside the
// pictures and bitmaps MetafileDrawBytes counts.
constexpr int64_t kMetafileHeldBytes = int64_t(64) << 20;
// The memory one drawing of the metafile in data holds on a frame of
// width x height pixels: the helper's 32-bit copy of the frame, the file's
// bytes in the memory shared with it, the bitmaps the player decodes
// (MetafileBitmapBytes), the painter's outlines (MetafileOutlineBytes) and
// kMetafileHeldBytes. The run reserves it for a metafile, and the helper's
// memory limit is set from it.
int64_t MetafileDrawBytes(const uint8_t* data, size_t size, int64_t width, int64_t height);
// The same for a file of fileBytes bytes whose bitmaps hold bitmapBytes and
// whose outlines outlineBytes.
int64_t MetafileDrawBytes(size_t fileBytes, int64_t bitmapBytes, int64_t outlineBytes, int64_t width,
                          int64_t height);

// Plays the metafile in data here, in this process, into the rectangle
// (left, top, width, height in the frame's pixels) over a frame of width x
// height 32-bit pixels (blue, green, red, 255), stride bytes a row, in
// place. What the helper program does for Draw; raises as the player does.
void DrawMetafilePixels(const uint8_t* data, size_t size, uint8_t* pixels, int width, int height, ptrdiff_t stride,
                        double left, double top, double rectWidth, double rectHeight);
// The same over a frame of 24-bit pixels: the frame is copied onto a 32-bit
// surface, played on and copied back (what a drawing that stopped left
// included), in bands of rows on every core.
void DrawMetafileFrame(const uint8_t* data, size_t size, uint8_t* frame, int width, int height, ptrdiff_t stride,
                       double left, double top, double rectWidth, double rectHeight);

// While one lives on a thread, the metafiles that thread draws end as soon
// as the flag is set ("Metafile drawing was stopped"): the helper is killed.
// Scopes nest; the innermost counts.
class TMetafileStop {
 public:
  explicit TMetafileStop(const std::atomic<bool>& flag);
  ~TMetafileStop();
  TMetafileStop(const TMetafileStop&) = delete;
  TMetafileStop& operator=(const TMetafileStop&) = delete;
  // The innermost flag of the thread is set.
  static bool Requested();

 private:
  const std::atomic<bool>* FOuter;
};
