// The GIF document in memory: the blocks of a GIF file (header, colour maps,
// extensions, frames, trailer), the image that owns them, and reading and
// writing GIF files of versions "87a" and "89a".
//
// Ownership: an image owns its header and its frame list; a list owns its
// items; a frame owns its extension list and its local colour map; the
// header owns the global colour map. Back references (an item's image, an
// extension's frame, a colour map's header or frame) are not owned.
//
// Errors raise GIFException with the fixed texts below; lesser problems are
// reported as warnings to the image's OnWarning and reading goes on.
#pragma once

#include <atomic>

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "gif/gifoptions.h"
#include "platform/system/classes.h"
#include "platform/graphics/graphics.h"
#include "platform/system/thread.h"

// --- Messages ---------------------------------------------------------------

constexpr char sEmptyColorMap[] = "Color table is empty";
constexpr char sEmptyImage[] = "Image is empty";
constexpr char sInvalidBitmapList[] = "Invalid bitmap list";
constexpr char sInvalidReduction[] = "Invalid reduction method";
constexpr char sGIFImageFile[] = "GIF Image";
constexpr char sProgressLoading[] = "Loading...";
constexpr char sProgressSaving[] = "Saving...";
constexpr char sProgressConverting[] = "Converting...";
constexpr char sProgressRendering[] = "Rendering...";
constexpr char sProgressCopying[] = "Copying...";
constexpr char sProgressOptimizing[] = "Optimizing...";
constexpr char sBadBlock[] = "Unknown GIF block type";
constexpr char sUnsupportedClass[] = "Object type not supported for operation";
constexpr char sInvalidData[] = "Invalid GIF data";
constexpr char sBadHeight[] = "Image height too small for contained frames";
constexpr char sBadWidth[] = "Image width too small for contained frames";
constexpr char sFailedPaste[] = "Failed to store GIF on clipboard";
constexpr char sScreenSizeExceeded[] = "Image exceeds Logical Screen size";
constexpr char sNoColorTable[] = "No global or local color table defined";
constexpr char sBadPixelCoordinates[] = "Invalid pixel coordinates";
constexpr char sUnsupportedBitmap[] = "Unsupported bitmap format";
constexpr char sInvalidPixelFormat[] = "Unsupported PixelFormat";
constexpr char sBadDimension[] = "Invalid image dimensions";
constexpr char sNoDIB[] = "Image has no DIB";
constexpr char sInvalidStream[] = "Invalid stream operation";
constexpr char sInvalidColor[] = "Color not in color table";
constexpr char sInvalidBitSize[] = "Invalid Bits Per Pixel value";
constexpr char sOutOfData[] = "Premature end of data";
constexpr char sTooManyColors[] = "Color table overflow";
constexpr char sBadColorIndex[] = "Invalid color index";
constexpr char sBadVersion[] = "Unsupported GIF version";
constexpr char sBadSignature[] = "Invalid GIF signature";
constexpr char sScreenBadColorSize[] = "Invalid number of colors specified in Screen Descriptor";
constexpr char sImageBadColorSize[] = "Invalid number of colors specified in Image Descriptor";
constexpr char sUnknownExtension[] = "Unknown extension type";
constexpr char sBadExtensionLabel[] = "Invalid extension introducer";
constexpr char sOutOfMemDIB[] = "Failed to allocate memory for GIF DIB";
constexpr char sDIBCreate[] = "Failed to create DIB from Bitmap";
constexpr char sDecodeTooFewBits[] = "Decoder bit buffer under-run";
constexpr char sDecodeCircular[] = "Circular decoder table entry";
constexpr char sBadTrailer[] = "Invalid Image trailer";
constexpr char sBadExtensionInstance[] = "Internal error: Extension Instance does not match Extension Label";
constexpr char sBadBlockSize[] = "Unsupported Application Extension block size";
constexpr char sTooManyExtensions[] = "Too many extensions in front of an image; the rest are skipped";

// --- Basic types and routines -------------------------------------------------

enum TGIFVersion : uint8_t { gvUnknown, gv87a, gv89a };
enum TGIFSeverity : uint8_t { gsInfo, gsWarning, gsError };
// The version texts by TGIFVersion.
inline constexpr const char* GIFVersions[] = {"", "87a", "89a"};

// Block introducers.
constexpr uint8_t bsExtensionIntroducer = 0x21;
constexpr uint8_t bsImageSeparator = 0x2C;
constexpr uint8_t bsTrailer = 0x3B;

// The only exception class of the codec.
class GIFException : public EInvalidGraphic {
 public:
  using EInvalidGraphic::EInvalidGraphic;
};

[[noreturn]] void GIFError(const std::string& message);
// Reads exactly size bytes; fewer raise "Premature end of data".
void ReadCheck(TStream& stream, void* buffer, int64_t size);
void WriteByte(TStream& stream, uint8_t value);
// One byte, or -1 at the end of the data.
int ReadByte(TStream& stream);
// A list of text lines as data sub-blocks: each line in pieces of at most
// 255 bytes (an empty line writes nothing), then the terminator.
void WriteSubBlockStrings(TStream& stream, const TStringList& strings);
// Every sub-block becomes one line; a missing length byte ends the list.
void ReadSubBlockStrings(TStream& stream, TStringList& strings);
// Little-endian 16-bit numbers in a block's bytes.
inline void PutU16(uint8_t* p, uint16_t value) {
  p[0] = static_cast<uint8_t>(value);
  p[1] = static_cast<uint8_t>(value >> 8);
}
inline uint16_t GetU16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
// 0 for 0 colours, 1 for 1 or 2, else the smallest b with 2^b >= count.
int ColorsToBitsPerPixel(int colors);
// The bytes of a row of pixels at bitsPerPixel, padded to a multiple of
// alignment bits (a power of two): 32 for the rows of a DIB.
int64_t AlignedScanlineBytes(int64_t pixels, int bitsPerPixel, int alignment);

class TGIFImage;
class TGIFSubImage;
class TGIFHeader;

// The event that receives the codec's warnings.
using TGIFWarning = std::function<void(TObject* sender, TGIFSeverity severity, const std::string& message)>;

enum TProgressStage : uint8_t { psStarting, psRunning, psEnding };
using TProgressEvent = std::function<void(TObject* sender, TProgressStage stage, uint8_t percentDone,
                                          bool redrawNow, const TRect& rect, const std::string& message)>;

// --- Items and lists ----------------------------------------------------------

// One block of a document.
class TGIFItem : public TPersistent {
 public:
  explicit TGIFItem(TGIFImage* image) : FImage(image) {}
  TGIFItem(const TGIFItem&) = delete;
  TGIFItem& operator=(const TGIFItem&) = delete;
  const char* ClassName() const override { return "TGIFItem"; }

  TGIFImage* Image() const { return FImage; }
  virtual TGIFVersion GetVersion() const { return gv87a; }
  // Passes the item, the severity and the message to the image's Warning.
  virtual void Warning(TGIFSeverity severity, const std::string& message);
  virtual void SaveToStream(TStream& stream) = 0;
  virtual void LoadFromStream(TStream& stream) = 0;
  void SaveToFile(const std::string& path);
  void LoadFromFile(const std::string& path);

 protected:
  TGIFImage* FImage;
};

// Work done by the GIF code on this thread, counted so that tests can see
// that a pile of blocks costs work in proportion to its bytes (the clock
// would tell only on large piles): the items that operations of a TGIFList
// visit or move, and the decoder table entries that clear codes reset.
struct TGIFWork {
  int64_t ListItems = 0;
  int64_t TableEntries = 0;
};
inline thread_local TGIFWork GIFWork;

// An owned, ordered list of items. Delete and Clear free the items; Remove
// hands the item back to the caller.
class TGIFList : public TPersistent {
 public:
  explicit TGIFList(TGIFImage* image) : FImage(image) {}
  ~TGIFList() override;
  TGIFList(const TGIFList&) = delete;
  TGIFList& operator=(const TGIFList&) = delete;
  const char* ClassName() const override { return "TGIFList"; }

  TGIFImage* Image() const { return FImage; }
  virtual void Warning(TGIFSeverity severity, const std::string& message);
  virtual void SaveToStream(TStream& stream);
  virtual void LoadFromStream(TStream& stream, TObject* parent) = 0;

  // EListError for an index outside the list.
  TGIFItem* Items(int index) const { return static_cast<TGIFItem*>(FItems.Items(index)); }
  // Replaces (and frees) the item at the index; the list owns the new one.
  void SetItems(int index, TGIFItem* item);
  int Count() const { return FItems.Count(); }
  int Add(TGIFItem* item) {
    ++GIFWork.ListItems;
    return FItems.Add(item);
  }
  void Insert(int index, TGIFItem* item);
  void Delete(int index);
  int Remove(TGIFItem* item);
  void Clear();
  void Exchange(int a, int b) { FItems.Exchange(a, b); }
  void Move(int from, int to);
  int IndexOf(const TGIFItem* item) const;
  TGIFItem* First() const { return Items(0); }
  TGIFItem* Last() const { return Items(Count() - 1); }

 protected:
  TGIFImage* FImage;

 private:
  TList FItems;
};

// --- Colour maps --------------------------------------------------------------

struct TGIFColor {
  uint8_t Red = 0, Green = 0, Blue = 0;
  bool operator==(const TGIFColor&) const = default;
};

// The index of the colour nearest to color among colors[0, count) but the
// one at skip, by the sum of the channels' differences (the earliest of
// equally near ones); -1 when there is none.
int NearestColorIndex(TGIFColor color, const TGIFColor* colors, int count, int skip = -1);

// How often a colour is used, for the usage sort.
struct TUsageCount {
  int Count = 0;
  int Index = 0;
};

// A colour table of up to 256 colours.
class TGIFColorMap : public TPersistent {
 public:
  const char* ClassName() const override { return "TGIFColorMap"; }

  int Count() const { return FCount; }
  int Capacity() const { return FCapacity; }
  // Sorted by usage; written as the sort flag.
  bool Optimized() const { return FOptimized; }
  void SetOptimized(bool value) { FOptimized = value; }
  const TGIFColor* Data() const { return FColors.data(); }

  void Clear();
  static TGIFColor Color2RGB(TColor color) { return {GetRValue(color), GetGValue(color), GetBValue(color)}; }
  static TColor RGB2Color(TGIFColor color) { return RGB(color.Red, color.Green, color.Blue); }
  // Grows only: 16 up to 16, else a multiple of 32, never above 256.
  void SetCapacity(int capacity);
  // Appends; "Color table overflow" at 256 colours. Returns the new index.
  int Add(TGIFColor color);
  int AddUnique(TGIFColor color);
  // An optimized map is searched upward, any other downward; -1 when absent.
  int IndexOf(TGIFColor color) const;
  void Delete(int index);
  // Outside the map: a warning, then "Color table is empty" for an empty map
  // or colour 0.
  TGIFColor Colors(int index);
  void SetColors(int index, TGIFColor color);
  int BitsPerPixel() const { return ColorsToBitsPerPixel(FCount); }

  void ImportPalette(HPALETTE palette);
  void ImportColorTable(const RGBQUAD* table, int count);
  // The colour table of the bitmap selected into the context.
  void ImportDIBColors(HDC dc);
  void ImportColorMap(const TGIFColor* colors, int count);
  // A new palette of the colours (none for an empty map); the caller owns it.
  HPALETTE ExportPalette() const;
  void Assign(const TPersistent* source) override;

  // Writes the colours padded with black to 2^BitsPerPixel entries.
  void SaveToStream(TStream& stream) const { WriteEntries(stream, FCount == 0 ? 0 : 1 << BitsPerPixel()); }
  // Writes the colours padded with black to the given number of entries.
  void WriteEntries(TStream& stream, int entries) const;
  // Clears, then reads count colours.
  void LoadFromStream(TStream& stream, int count);

  virtual void Warning(TGIFSeverity severity, const std::string& message) = 0;
  // One entry per colour: its use count and its index.
  virtual std::vector<TUsageCount> BuildHistogram() = 0;
  // Renumbers the pixels that use this map (and transparent indices) through
  // the old-to-new table.
  virtual void MapImages(const std::vector<int>& map) = 0;
  virtual bool Optimize() = 0;
  virtual void Changed() = 0;

 protected:
  // The usage sort: most used colours first, unused ones dropped (only when
  // the order changed). False for maps of 0 or 1 colours.
  bool DoOptimize();

 private:
  void Append(TGIFColor color);
  std::vector<TGIFColor> FColors;  // Capacity entries
  int FCount = 0;
  int FCapacity = 0;
  bool FOptimized = false;
};

// The header's colour map, shared by the frames without local colours.
class TGIFGlobalColorMap : public TGIFColorMap {
 public:
  explicit TGIFGlobalColorMap(TGIFHeader* header) : FHeader(header) {}
  const char* ClassName() const override { return "TGIFGlobalColorMap"; }
  TGIFHeader* Header() const { return FHeader; }
  void Warning(TGIFSeverity severity, const std::string& message) override;
  std::vector<TUsageCount> BuildHistogram() override;
  void MapImages(const std::vector<int>& map) override;
  bool Optimize() override;
  void Changed() override;

 private:
  TGIFHeader* FHeader;
};

// A frame's own colour map.
class TGIFLocalColorMap : public TGIFColorMap {
 public:
  explicit TGIFLocalColorMap(TGIFSubImage* frame) : FFrame(frame) {}
  const char* ClassName() const override { return "TGIFLocalColorMap"; }
  TGIFSubImage* Frame() const { return FFrame; }
  void Warning(TGIFSeverity severity, const std::string& message) override;
  std::vector<TUsageCount> BuildHistogram() override;
  void MapImages(const std::vector<int>& map) override;
  bool Optimize() override { return DoOptimize(); }
  void Changed() override;

 private:
  TGIFSubImage* FFrame;
};

// --- Header and trailer -------------------------------------------------------

struct TLogicalScreenDescriptor {
  uint16_t ScreenWidth = 0;
  uint16_t ScreenHeight = 0;
  uint8_t PackedFields = 0;
  uint8_t BackgroundColorIndex = 0;
  uint8_t AspectRatio = 0;
};

// The signature, the logical screen and the global colour map.
class TGIFHeader : public TGIFItem {
 public:
  explicit TGIFHeader(TGIFImage* image);
  const char* ClassName() const override { return "TGIFHeader"; }

  void Clear();
  // From a header: its map and descriptor; from a colour map: that map.
  void Assign(const TPersistent* source) override;
  // Rebuilds the packed byte from the image's colour maps.
  void Prepare();
  void SaveToStream(TStream& stream) override;
  void LoadFromStream(TStream& stream) override;
  // gv89a for a sorted map or a non-zero aspect ratio.
  TGIFVersion GetVersion() const override;

  TGIFGlobalColorMap& ColorMap() { return *FColorMap; }
  const TLogicalScreenDescriptor& Descriptor() const { return FDescriptor; }
  int Width() const { return FDescriptor.ScreenWidth; }
  int Height() const { return FDescriptor.ScreenHeight; }
  // 0..65535; other values raise "Invalid image dimensions".
  void SetWidth(int value);
  void SetHeight(int value);
  uint8_t PackedFields() const { return FDescriptor.PackedFields; }
  uint8_t AspectRatio() const { return FDescriptor.AspectRatio; }
  void SetAspectRatio(uint8_t value) { FDescriptor.AspectRatio = value; }
  uint8_t BackgroundColorIndex() const { return FDescriptor.BackgroundColorIndex; }
  // An index at or beyond a non-empty map's count warns and stores 0.
  void SetBackgroundColorIndex(int index);
  TColor BackgroundColor();
  // Adds the colour to the map (once) and takes its index.
  void SetBackgroundColor(TColor color);
  int BitsPerPixel() const { return FColorMap->BitsPerPixel(); }
  int ColorResolution() const { return BitsPerPixel() - 1; }

 private:
  TLogicalScreenDescriptor FDescriptor;
  std::unique_ptr<TGIFGlobalColorMap> FColorMap;
};

// The one-byte end of a GIF file.
class TGIFTrailer : public TGIFItem {
 public:
  using TGIFItem::TGIFItem;
  const char* ClassName() const override { return "TGIFTrailer"; }
  void SaveToStream(TStream& stream) override;
  // A byte other than the trailer gives a warning.
  void LoadFromStream(TStream& stream) override;
};

// --- Extensions ---------------------------------------------------------------

class TGIFExtension;
struct TGIFExtensionClassRec;
// An extension class, as registered for a label or an application.
using TGIFExtensionClass = const TGIFExtensionClassRec*;
struct TGIFExtensionClassRec {
  TGIFExtension* (*Create)(TGIFSubImage* frame);
  // A more specific class for the block the stream stands in (just after
  // the label), the class itself, or none.
  TGIFExtensionClass (*FindSubExtension)(TGIFExtensionClass self, TStream& stream);
};

// The class record of the extension class T.
template <class T>
TGIFExtensionClass ExtensionClass() {
  static const TGIFExtensionClassRec rec{[](TGIFSubImage* frame) -> TGIFExtension* { return new T(frame); },
                                         &T::FindSubExtension};
  return &rec;
}

// A block that starts with 0x21 and a label, in front of a frame.
// Destruction removes it from its frame's extension list.
class TGIFExtension : public TGIFItem {
 public:
  explicit TGIFExtension(TGIFSubImage* frame);
  ~TGIFExtension() override;
  const char* ClassName() const override { return "TGIFExtension"; }

  TGIFSubImage* Frame() const { return FFrame; }
  virtual uint8_t GetExtensionType() const = 0;
  TGIFVersion GetVersion() const override { return gv89a; }
  // Write / read and check the introducer and the label; subclasses add the
  // body.
  void SaveToStream(TStream& stream) override;
  void LoadFromStream(TStream& stream) override;

  static TGIFExtensionClass FindSubExtension(TGIFExtensionClass self, TStream&) { return self; }
  // A later registration of a label hides an earlier one.
  static void RegisterExtension(uint8_t label, TGIFExtensionClass extensionClass);
  // With the stream just after 0x21: the class for the block, or none; the
  // stream position is kept.
  static TGIFExtensionClass FindExtension(TStream& stream);

 private:
  friend class TGIFExtensionList;
  TGIFSubImage* FFrame;
};

enum TDisposalMethod : uint8_t { dmNone, dmNoDisposal, dmBackground, dmPrevious };

struct TGIFGCERec {
  uint8_t BlockSize = 4;
  uint8_t PackedFields = 0;
  uint16_t Delay = 0;
  uint8_t TransparentColorIndex = 0;
  uint8_t Terminator = 0;
};

// Label 0xF9: delay, disposal and transparency of the frame. The first one
// made for a frame becomes the frame's graphic control extension.
class TGIFGraphicControlExtension : public TGIFExtension {
 public:
  explicit TGIFGraphicControlExtension(TGIFSubImage* frame);
  ~TGIFGraphicControlExtension() override;
  const char* ClassName() const override { return "TGIFGraphicControlExtension"; }
  uint8_t GetExtensionType() const override { return 0xF9; }
  void SaveToStream(TStream& stream) override;
  // A short body gives a warning only.
  void LoadFromStream(TStream& stream) override;

  const TGIFGCERec& Record() const { return FRec; }
  bool Transparent() const { return FRec.PackedFields & 0x01; }
  // Setting it also sets the frame's transparent flag.
  void SetTransparent(bool value);
  uint8_t TransparentColorIndex() const { return FRec.TransparentColorIndex; }
  // An index at or beyond a non-empty active map's count warns and stores 0.
  void SetTransparentColorIndex(int index);
  TColor TransparentColor();
  // Adds the colour to the active map (once) and takes its index.
  void SetTransparentColor(TColor color);
  // Hundredths of a second.
  uint16_t Delay() const { return FRec.Delay; }
  void SetDelay(uint16_t value) { FRec.Delay = value; }
  bool UserInput() const { return FRec.PackedFields & 0x02; }
  void SetUserInput(bool value);
  TDisposalMethod Disposal() const { return TDisposalMethod((FRec.PackedFields >> 2) & 0x07); }
  void SetDisposal(TDisposalMethod value);

 private:
  TGIFGCERec FRec;
};

// Data sub-blocks kept as they stand in the file, each length byte followed
// by its bytes, all in one store: a pile of small blocks costs its own bytes
// and no object or heap block for each.
class TGIFSubBlocks {
 public:
  int64_t Count() const { return FCount; }
  // The bytes held, the length bytes among them.
  int64_t Size() const { return int64_t(FBytes.size()); }
  void Clear();
  // Appends a block of 1 to 255 bytes.
  void Add(const void* data, int size);
  // Calls f(data, size) for every block in order.
  template <class F>
  void ForEach(F&& f) const {
    for (size_t at = 0; at < FBytes.size(); at += 1 + size_t(FBytes[at])) f(FBytes.data() + at + 1, int(FBytes[at]));
  }
  // Replaces the blocks by those up to the terminator (which is read too) or
  // the end of the data; a block cut short raises "Premature end of data".
  void LoadFromStream(TStream& stream);
  // The blocks, then the terminator.
  void SaveToStream(TStream& stream) const;

 private:
  std::vector<uint8_t> FBytes;
  int64_t FCount = 0;
};

// Text lines in data sub-blocks. Those read stay in their blocks, one line
// each, until the lines are first asked for, and are written back from
// there; from then on the list is the text.
class TGIFSubBlockText {
 public:
  TStringList& Lines();
  // Read with ReadSubBlockStrings' rules, written with WriteSubBlockStrings'.
  void LoadFromStream(TStream& stream);
  void SaveToStream(TStream& stream) const;

 private:
  TGIFSubBlocks FBlocks;
  std::unique_ptr<TStringList> FLines;
};

struct TGIFPlainTextExtensionRec {
  uint8_t BlockSize = 12;
  uint16_t Left = 0, Top = 0, Width = 0, Height = 0;
  uint8_t CellWidth = 0, CellHeight = 0;
  uint8_t TextFGColorIndex = 0, TextBGColorIndex = 0;
};

// Label 0x01: text drawn on a grid of the logical screen.
class TGIFTextExtension : public TGIFExtension {
 public:
  using TGIFExtension::TGIFExtension;
  const char* ClassName() const override { return "TGIFTextExtension"; }
  uint8_t GetExtensionType() const override { return 0x01; }
  void SaveToStream(TStream& stream) override;
  void LoadFromStream(TStream& stream) override;

  TGIFPlainTextExtensionRec& Record() { return FRec; }
  TStringList& Text() { return FText.Lines(); }
  // The text grid on the logical screen by index: 1 left, 2 top, 3 width,
  // 4 height. Other indices raise EListError.
  uint16_t Bounds(int index) const;
  void SetBounds(int index, uint16_t value);
  // The character cell by index: 1 width, 2 height.
  uint8_t CharacterBounds(int index) const;
  void SetCharacterBounds(int index, uint8_t value);
  // The colour indices: 1 foreground, 2 background.
  uint8_t ColorIndex(int index) const;
  void SetColorIndex(int index, uint8_t value);
  uint16_t Left() const { return Bounds(1); }
  void SetLeft(uint16_t value) { SetBounds(1, value); }
  uint16_t Top() const { return Bounds(2); }
  void SetTop(uint16_t value) { SetBounds(2, value); }
  uint16_t Width() const { return Bounds(3); }
  void SetWidth(uint16_t value) { SetBounds(3, value); }
  uint16_t Height() const { return Bounds(4); }
  void SetHeight(uint16_t value) { SetBounds(4, value); }
  uint8_t CharWidth() const { return CharacterBounds(1); }
  void SetCharWidth(uint8_t value) { SetCharacterBounds(1, value); }
  uint8_t CharHeight() const { return CharacterBounds(2); }
  void SetCharHeight(uint8_t value) { SetCharacterBounds(2, value); }
  uint8_t ForegroundColorIndex() const { return ColorIndex(1); }
  void SetForegroundColorIndex(uint8_t value) { SetColorIndex(1, value); }
  uint8_t BackgroundColorIndex() const { return ColorIndex(2); }
  void SetBackgroundColorIndex(uint8_t value) { SetColorIndex(2, value); }
  // Both colours read and write through the frame's active colour map.
  TColor ForegroundColor();
  void SetForegroundColor(TColor color);
  TColor BackgroundColor();
  void SetBackgroundColor(TColor color);

 private:
  TGIFPlainTextExtensionRec FRec;
  TGIFSubBlockText FText;
};

// Label 0xFE: comment lines.
class TGIFCommentExtension : public TGIFExtension {
 public:
  using TGIFExtension::TGIFExtension;
  const char* ClassName() const override { return "TGIFCommentExtension"; }
  uint8_t GetExtensionType() const override { return 0xFE; }
  void SaveToStream(TStream& stream) override;
  void LoadFromStream(TStream& stream) override;
  TStringList& Text() { return FText.Lines(); }

 private:
  TGIFSubBlockText FText;
};

// An application's name and the code that authenticates it.
using TGIFIdentifierCode = char[8];
using TGIFAuthenticationCode = char[3];
struct TGIFApplicationRec {
  TGIFIdentifierCode Identifier = {};
  TGIFAuthenticationCode Authentication = {};
};

// Label 0xFF: data of a named application. This class keeps the data as raw
// sub-blocks (in one store) and writes them back unchanged; subclasses read
// their own.
class TGIFApplicationExtension : public TGIFExtension {
 public:
  using TGIFExtension::TGIFExtension;
  const char* ClassName() const override { return "TGIFApplicationExtension"; }
  uint8_t GetExtensionType() const override { return 0xFF; }
  void SaveToStream(TStream& stream) override;
  void LoadFromStream(TStream& stream) override;

  std::string Identifier() const { return std::string(FRec.Identifier, 8); }
  // Stores the first 8 characters, padded with blanks.
  void SetIdentifier(const std::string& value);
  std::string Authentication() const { return std::string(FRec.Authentication, 3); }
  // Stores the first 3 characters, padded with blanks.
  void SetAuthentication(const std::string& value);
  TGIFSubBlocks& Blocks() { return FBlocks; }

  // Looks the identifier up in the application registry.
  static TGIFExtensionClass FindSubExtension(TGIFExtensionClass self, TStream& stream);
  // A later registration of an identifier hides an earlier one.
  static void RegisterExtension(const TGIFApplicationRec& identifier, TGIFExtensionClass extensionClass);

 protected:
  virtual void SaveData(TStream& stream);
  virtual void LoadData(TStream& stream);
  TGIFApplicationRec FRec;

 private:
  TGIFSubBlocks FBlocks;
};

// An application extension of an unregistered identifier.
class TGIFUnknownAppExtension : public TGIFApplicationExtension {
 public:
  using TGIFApplicationExtension::TGIFApplicationExtension;
  const char* ClassName() const override { return "TGIFUnknownAppExtension"; }
  static TGIFExtensionClass FindSubExtension(TGIFExtensionClass self, TStream&) { return self; }
};

// The loop extension ("NETSCAPE2.0", also read as "ANIMEXTS1.0").
class TGIFAppExtNSLoop : public TGIFApplicationExtension {
 public:
  explicit TGIFAppExtNSLoop(TGIFSubImage* frame);
  const char* ClassName() const override { return "TGIFAppExtNSLoop"; }
  static TGIFExtensionClass FindSubExtension(TGIFExtensionClass self, TStream&) { return self; }
  uint16_t Loops() const { return FLoops; }
  void SetLoops(uint16_t value) { FLoops = value; }
  uint32_t BufferSize() const { return FBufferSize; }
  void SetBufferSize(uint32_t value) { FBufferSize = value; }

 protected:
  void SaveData(TStream& stream) override;
  void LoadData(TStream& stream) override;

 private:
  uint16_t FLoops = 0;
  uint32_t FBufferSize = 0;
};

// The most extensions reading keeps in front of one frame, besides the
// frame's graphic control extension. Further ones are read and passed over
// with the warning "Too many extensions in front of an image; the rest are
// skipped": each kept one is an object of its own, a pile of them in a
// crafted file would take tens of times its bytes, and no file needs more.
constexpr int GIFMaxFrameExtensions = 4096;

// The extensions in front of one frame.
class TGIFExtensionList : public TGIFList {
 public:
  using TGIFList::TGIFList;
  const char* ClassName() const override { return "TGIFExtensionList"; }
  TGIFExtension* Extensions(int index) const { return static_cast<TGIFExtension*>(Items(index)); }
  // Reads extension blocks until an image separator or the trailer (up to
  // GIFMaxFrameExtensions of them kept); parent is the frame.
  void LoadFromStream(TStream& stream, TObject* parent) override;
};

// The extension registry: the class that reads the extension blocks of a
// label. It starts with 0x01 plain text, 0xF9 graphic control, 0xFE comment
// and 0xFF application; a later registration of a label hides an earlier
// one.
class TExtensionList {
 public:
  TExtensionList();
  void Add(uint8_t label, TGIFExtensionClass extensionClass);
  // The class registered last for the label, or none.
  TGIFExtensionClass Find(uint8_t label) const;

 private:
  struct TExtensionRec {
    TGIFExtensionClass Class;
    uint8_t Label;
  };
  mutable std::mutex FLock;  // pictures are read on several threads
  std::vector<TExtensionRec> FRecords;
};

// The application registry: the class that reads the application
// extensions of an identifier (all 11 bytes of identifier and
// authentication compared). It starts with "NETSCAPE2.0" and "ANIMEXTS1.0",
// both loop extensions; a later registration hides an earlier one.
class TAppExtensionList {
 public:
  TAppExtensionList();
  void Add(const TGIFApplicationRec& identifier, TGIFExtensionClass extensionClass);
  // The class registered last for the identifier, or none.
  TGIFExtensionClass Find(const TGIFApplicationRec& identifier) const;

 private:
  struct TAppExtensionRec {
    TGIFExtensionClass Class;
    TGIFApplicationRec Identifier;
  };
  mutable std::mutex FLock;
  std::vector<TAppExtensionRec> FRecords;
};

// --- Frames -------------------------------------------------------------------

struct TImageDescriptor {
  uint8_t Separator = bsImageSeparator;
  uint16_t Left = 0, Top = 0, Width = 0, Height = 0;
  uint8_t PackedFields = 0;
};

// One frame: image descriptor, local colour map, extensions and pixels (one
// colour index per byte, rows top to bottom without gaps).
class TGIFSubImage : public TGIFItem {
 public:
  explicit TGIFSubImage(TGIFImage* image);
  // Removes the frame from its image's frame list.
  ~TGIFSubImage() override;
  const char* ClassName() const override { return "TGIFSubImage"; }

  // Frees extensions, colours and pixels and makes the size 0 (the position
  // stays).
  void Clear();
  bool Empty() const { return !FData || FImageDescriptor.Width == 0 || FImageDescriptor.Height == 0; }

  const TImageDescriptor& ImageDescriptor() const { return FImageDescriptor; }
  int Left() const { return FImageDescriptor.Left; }
  int Top() const { return FImageDescriptor.Top; }
  int Width() const { return FImageDescriptor.Width; }
  int Height() const { return FImageDescriptor.Height; }
  void SetLeft(int value) { SetBounds(value, Top(), Width(), Height()); }
  void SetTop(int value) { SetBounds(Left(), value, Width(), Height()); }
  void SetWidth(int value) { SetBounds(Left(), Top(), value, Height()); }
  void SetHeight(int value) { SetBounds(Left(), Top(), Width(), value); }
  // A new size gets a new zero-filled pixel buffer; the logical screen grows
  // to hold the frame (with warnings unless the screen was 0). Left + width
  // and top + height beyond 65535 raise "Invalid image dimensions".
  void SetBounds(int left, int top, int width, int height);
  TRect BoundsRect() const { return Bounds(Left(), Top(), Width(), Height()); }
  TRect ClientRect() const { return Rect(0, 0, Width(), Height()); }
  bool Interlaced() const { return FImageDescriptor.PackedFields & 0x40; }
  void SetInterlaced(bool value);

  TGIFLocalColorMap& ColorMap() { return *FColorMap; }
  // The local map when it has colours, else the image's global map when
  // that has colours, else the (empty) local map.
  TGIFColorMap& ActiveColorMap();
  int BitsPerPixel() const { return FColorMap->BitsPerPixel(); }
  int ColorResolution() const { return BitsPerPixel() - 1; }
  TGIFExtensionList& Extensions() { return *FExtensions; }
  bool Transparent() const { return FTransparent; }
  // The first graphic control extension made for this frame, or none.
  TGIFGraphicControlExtension* GraphicControlExtension() const { return FGCE; }

  // The pixels (none until allocated) and their number.
  uint8_t* Data() { return FData.get(); }
  const uint8_t* Data() const { return FData.get(); }
  int64_t DataSize() const { return FDataSize; }
  // A new zero-filled buffer of Width x Height. A frame above 1 GiB, or one
  // that would take the image's frames together above 1 GiB, raises
  // "Failed to allocate memory for GIF DIB".
  void NewImage();
  void FreeImage();
  // Row y (buffer made on demand); "Invalid pixel coordinates" outside,
  // "Image is empty" for a frame of size 0.
  uint8_t* Scanline(int y);
  uint8_t Pixels(int x, int y);

  // The cached rendering's palette when it has one; else the frame's own
  // palette, made on first use: the web palette when the image dithers,
  // the image's palette (not kept) without local colours, else one made
  // from the local map.
  HPALETTE Palette();
  // Takes the palette (owned); a cached rendering with another palette is
  // dropped.
  void SetPalette(HPALETTE palette);

  // --- Conversion and rendering ---
  // From a frame (a copy), a TBitmap (colour reduction by the image's
  // settings when it has more than 8 bits per pixel, and the bitmap's
  // transparent colour as transparency), an icon or metafile (drawn, with
  // what they leave undrawn as transparency), any other TGraphic, or a
  // TPicture's graphic. None clears.
  void Assign(const TPersistent* source) override;
  // The frame rendered into an 8-bit palette bitmap, cached; none for an
  // empty frame. A progress handler that raises EAbort calls the rendering
  // off: the result is then none, and nothing is raised.
  TBitmap* Bitmap();
  // Drops the cached rendering, then converts the bitmap as Assign does.
  void SetBitmap(TBitmap* bitmap);
  bool HasBitmap() const { return FBitmap != nullptr; }
  // True renders, false drops the rendering.
  void SetHasBitmap(bool value);
  // Drops the cached rendering and caches a new bitmap of the frame's size
  // with nothing drawn on it (sized at one bit per pixel first for a frame
  // of more than BitmapAllocationThreshold pixels), for a caller to fill.
  // The renderers start from an empty one instead: their writer sizes it.
  TBitmap* NewBitmap();
  void FreeBitmap();
  void FreeMask();
  // The mask of the transparent pixels (a set bit for each), rendered first
  // when due; none for an opaque frame.
  HBITMAP Mask();
  bool HasMask() { return Mask() != nullptr; }
  // The frame's bounds on the logical screen mapped into the rectangle.
  TRect ScaleRect(const TRect& rect) const;
  // Draws the frame at its place in the rectangle (tiled: the rectangle
  // unscaled); transparent leaves the transparent pixels undrawn.
  void Draw(TCanvas& canvas, const TRect& rect, bool transparent, bool tile);
  void StretchDraw(TCanvas& canvas, const TRect& rect, bool transparent, bool tile);
  // Cuts a transparent frame down to the box of its opaque pixels (clears
  // a frame that is transparent everywhere).
  void Crop();
  // Makes pixels transparent where the previous frame shows the same
  // colour.
  void Merge(TGIFSubImage* previous);

  // gv89a with a sorted local map or any extension.
  TGIFVersion GetVersion() const override;
  // Rebuilds the packed byte of the image descriptor.
  void Prepare();
  void SaveToStream(TStream& stream) override;
  void LoadFromStream(TStream& stream) override;
  // Decodes the LZW image data at the stream's position into the pixels.
  void Decompress(TStream& stream);
  // Writes the pixels as LZW image data (LZW or run-length codes by the
  // image's Compression).
  void Compress(TStream& stream);

 protected:
  // A TBitmap takes the rendering.
  void AssignTo(TPersistent* dest) const override;

 private:
  friend class TGIFGraphicControlExtension;
  void AssignFrame(const TGIFSubImage& source);
  void AssignBitmap(TBitmap& bitmap);
  void AssignGraphic(const TGraphic& graphic);
  // Reads the pixel rows of a bitmap of 1, 4, 8 or 24 bits per pixel.
  void ConvertRows(TBitmap& bitmap);
  // Gives the pixels that fill sets (one byte per pixel, not 0 for a
  // transparent one) a new transparent colour, when there is room for it.
  void ImportMask(const std::function<void(int row, uint8_t* flags)>& fill);
  // Drops the cached rendering and caches an empty bitmap: the renderers'
  // writer makes its pixels at the first row, so a bitmap sized before it
  // would only be thrown away.
  TBitmap* NewEmptyBitmap();
  // The frame's indices (or its colours dithered to the web palette) in a
  // new cached 8-bit bitmap; mask receives the transparency mask when one
  // was due and some pixel is transparent.
  void Render(std::unique_ptr<TDibSection>& mask);
  void RenderDithered(std::unique_ptr<TDibSection>& mask);
  void Progress(TProgressStage stage, int percent, const char* message);
  // The transparent index as a byte, -1 for an opaque frame.
  int TransparentIndex() const;
  // Held while the cached rendering is made, dropped or drawn: painters
  // playing on other threads draw the same frames.
  std::recursive_mutex FRenderLock;
  std::unique_ptr<TBitmap> FBitmap;
  std::unique_ptr<TDibSection> FMask;
  bool FNeedMask = true;
  struct FreeDeleter {
    void operator()(uint8_t* p) const;
  };
  std::unique_ptr<uint8_t, FreeDeleter> FData;
  int64_t FDataSize = 0;
  std::unique_ptr<TGIFLocalColorMap> FColorMap;
  TImageDescriptor FImageDescriptor;
  std::unique_ptr<TGIFExtensionList> FExtensions;
  bool FTransparent = false;
  TGIFGraphicControlExtension* FGCE = nullptr;
  HPALETTE FPalette = nullptr;
};

// The frames of an image.
class TGIFImageList : public TGIFList {
 public:
  using TGIFList::TGIFList;
  const char* ClassName() const override { return "TGIFImageList"; }
  TGIFSubImage* SubImages(int index) const { return static_cast<TGIFSubImage*>(Items(index)); }
  // Every frame, with "Saving..." progress.
  void SaveToStream(TStream& stream) override;
  // The block loop; parent is the image.
  void LoadFromStream(TStream& stream, TObject* parent) override;
};

// --- The image ----------------------------------------------------------------

// Settings every new image starts from. Pictures are made on several
// threads during a run while the GIF options dialog may change these on the
// main thread, so each is read and written whole.
inline std::atomic<TColorReduction> GIFImageDefaultColorReduction = rmNetscape;
inline std::atomic<int> GIFImageDefaultColorReductionBits = 8;
inline std::atomic<TDitherMode> GIFImageDefaultDitherMode = dmNearest;
inline std::atomic<TGIFCompression> GIFImageDefaultCompression = gcLZW;
inline std::atomic<TGIFDrawOptions> GIFImageDefaultDrawOptions =
    DrawOption(goAsync) | DrawOption(goTransparent) | DrawOption(goAnimate) | DrawOption(goLoop) |
    DrawOption(goDither) | DrawOption(goAutoDither);
inline std::atomic<TThreadPriority> GIFImageDefaultThreadPriority = tpNormal;
inline std::atomic<int> GIFImageDefaultAnimationSpeed = 100;  // percent
// Render every frame's bitmap while loading.
inline std::atomic<bool> GIFImageRenderOnLoad = false;
// Optimize an image (all five steps) before storing it among other data
// (WriteData).
inline std::atomic<bool> GIFImageOptimizeOnStream = false;
// Frames of more pixels get their rendering bitmap sized at 1 bit per pixel
// first.
constexpr int64_t BitmapAllocationThreshold = 500000;
// The screen shows at most 256 colours (never on this platform's true-colour
// bitmaps); goAutoDither dithers only then.
inline bool PaletteDevice = false;
inline bool DoAutoDither = PaletteDevice;

// Frame delays in hundredths of a second, and milliseconds per hundredth at
// speed 100.
constexpr int GIFDefaultDelay = 10;
constexpr int GIFMinimumDelay = 3;
constexpr int GIFMaximumDelay = 1000;
constexpr int GIFDelayExp = 12;

enum TGIFOptimizeOption : uint8_t { ooCrop, ooMerge, ooCleanup, ooColorMap, ooReduceColors };
using TGIFOptimizeOptions = uint8_t;
constexpr TGIFOptimizeOptions OptimizeOption(TGIFOptimizeOption option) {
  return TGIFOptimizeOptions(1u << option);
}

// Raised when a drawing call of the platform fails.
class EOutOfResources : public EOutOfMemory {
 public:
  using EOutOfMemory::EOutOfMemory;
};
// The handle, or EOutOfResources "Out of system resources" for none.
template <class H>
H CheckGdiResult(H handle) {
  if (!handle) throw EOutOfResources("Out of system resources");
  return handle;
}

class TGIFPainter;

// Holds the painter list's lock for a scope.
class TListLock {
 public:
  explicit TListLock(TThreadList& list) : FList(list), FItems(list.LockList()) {}
  ~TListLock() { FList.UnlockList(); }
  TListLock(const TListLock&) = delete;
  TListLock& operator=(const TListLock&) = delete;
  TList& List() { return FItems; }

 private:
  TThreadList& FList;
  TList& FItems;
};

// A GIF document as a picture: the header (logical screen and global colour
// map) and the frames.
class TGIFImage : public TGraphic {
 public:
  TGIFImage();
  // Stops every painter first and waits for it, but for painters whose
  // handler frees the image, and, when a painter of it plays on this thread,
  // those whose thread waits in a stop of it: those are cut off from it and
  // end at their next step without touching it.
  ~TGIFImage() override;
  TGIFImage(const TGIFImage&) = delete;
  TGIFImage& operator=(const TGIFImage&) = delete;
  const char* ClassName() const override { return "TGIFImage"; }

  // Drops every frame, the global colours, the logical screen size and the
  // cached rendering (painting stops first).
  void Clear();
  bool Empty() const override { return FFrames->Count() == 0; }
  int Width() const override { return FHeader->Width(); }
  int Height() const override { return FHeader->Height(); }
  // Every frame must fit: a smaller size raises "Image width too small for
  // contained frames" (height likewise).
  void SetWidth(int value) override;
  void SetHeight(int value) override;

  TGIFHeader& Header() { return *FHeader; }
  TGIFImageList& Frames() { return *FFrames; }
  TGIFColorMap& GlobalColorMap() { return FHeader->ColorMap(); }
  // The header's background colour (see TGIFHeader) and aspect ratio.
  uint8_t BackgroundColorIndex() const { return FHeader->BackgroundColorIndex(); }
  void SetBackgroundColorIndex(int index) { FHeader->SetBackgroundColorIndex(index); }
  TColor BackgroundColor() { return FHeader->BackgroundColor(); }
  void SetBackgroundColor(TColor color) { FHeader->SetBackgroundColor(color); }
  uint8_t AspectRatio() const { return FHeader->AspectRatio(); }
  void SetAspectRatio(uint8_t value) { FHeader->SetAspectRatio(value); }
  // gv89a when some frame is; gvUnknown without frames.
  TGIFVersion Version() const;
  // The largest of the global map's and every local map's bits per pixel
  // (minus 1 for the colour resolution).
  int BitsPerPixel() const;
  int ColorResolution() const;
  bool IsTransparent() const;

  // Appends a frame: a TGIFSubImage itself, or a new frame converted from
  // a TGraphic; other sources raise "Object type not supported for
  // operation". Returns its index.
  int Add(TPersistent* source);
  // From another TGIFImage (a copy with this image's own ReductionBits and
  // Compression), or any picture as one frame converted by this image's
  // settings. None clears.
  void Assign(const TPersistent* source) override;
  // The whole logical screen with the first frame drawn on it, cached
  // (for a first frame as large as the screen: the frame's own 8-bit
  // rendering; otherwise a white 24-bit screen); none for an empty image
  // or when the first frame's rendering was called off.
  TBitmap* Bitmap();

  // True only for the image itself.
  bool Equals(TGraphic* graphic) override;
  // Stores the image among other data: first optimized (every step, no
  // colour reduction, nearest colours, 8 bits) when
  // GIFImageOptimizeOnStream is set, then as a GIF file.
  void WriteData(TStream& stream) override;

  // Clipboard data: CF_GIF (a GIF file in the block, copied into a stream
  // and loaded) or CF_BITMAP (a bitmap converted into one frame). With no
  // data the clipboard's block of the format is taken (the clipboard must
  // be open). Other formats, or no data at all, raise EInvalidGraphic
  // "Unsupported clipboard format".
  void LoadFromClipboardFormat(uint16_t format, HGLOBAL data, HPALETTE palette) override;
  // For a non-empty image: the whole-screen bitmap as CF_BITMAP data in
  // the results, and the image as a GIF file placed on the clipboard as
  // CF_GIF (the clipboard must be open). When the clipboard refuses the
  // GIF the results are freed and "Failed to store GIF on clipboard" is
  // raised; when no memory can be had for the GIF only the bitmap goes.
  // An empty image gives format 0, no data and no palette.
  void SaveToClipboardFormat(uint16_t& format, HGLOBAL& data, HPALETTE& palette) override;

  // Reading and writing GIF files. Reading starts from a cleared image; on
  // an error the image keeps what was read before it and the stream goes
  // back to where reading began.
  void LoadFromStream(TStream& stream) override;
  void SaveToStream(TStream& stream) override;
  // Reads the whole file first.
  void LoadFromFile(const std::string& path) override;
  // Draws the first frame, or plays an animation with a painter
  // (DrawOptions).
  void Draw(TCanvas& canvas, const TRect& rect) override;

  // The cached rendering's palette, else the image's own (made on first
  // use: the web palette when dithering, else the global map's), else the
  // first frame's; none without colours. A cycle between the image and
  // its first frame raises "No global or local color table defined".
  HPALETTE Palette() override;
  // Takes the palette (owned); a cached rendering with another palette is
  // dropped.
  void SetPalette(HPALETTE palette) override;
  // Set when a palette change dropped a rendering.
  bool PaletteModified = false;

  // Drops every rendering and palette; a single frame's local map becomes
  // the global map when there is none.
  void Pack();
  // Replaces every colour map by one global map of the colours the frames
  // use, most used first (see TColorMapOptimizer).
  void OptimizeColorMap();
  // The optimizer's steps chosen by the options, in the order colour maps,
  // clean-up, merge, crop, clean-up. ooReduceColors with rmPalette raises
  // "Invalid reduction method".
  void Optimize(TGIFOptimizeOptions options, TColorReduction reduction, TDitherMode dither, int bits);

  // Sends a warning to OnWarning (dropped without a handler).
  virtual void Warning(TObject* sender, TGIFSeverity severity, const std::string& message);
  void Progress(TObject* sender, TProgressStage stage, uint8_t percentDone, bool redrawNow,
                const std::string& message);

  TColorReduction ColorReduction;
  TDitherMode DitherMode;
  TGIFCompression Compression;
  int ReductionBits() const { return FReductionBits; }
  // 3..8; other values raise "Invalid Bits Per Pixel value".
  void SetReductionBits(int value);

  TGIFWarning OnWarning;
  TProgressEvent OnProgress;

  // --- Drawing and animation ---
  TGIFDrawOptions DrawOptions() const { return FDrawOptions; }
  // A new set stops the draw painter and drops the renderings.
  void SetDrawOptions(TGIFDrawOptions options);
  // goDither, unless goAutoDither asks for a palette display.
  bool DoDither() const;
  int AnimationSpeed() const { return FAnimationSpeed; }
  // Clamped to 0..1000 percent; reaches the running draw painter.
  void SetAnimationSpeed(int speed);
  TThreadPriority ThreadPriority;
  // Background of animated drawing; clNone takes the header's.
  TColor DrawBackgroundColor = clNone;
  TNotifyEvent OnStartPaint, OnPaint, OnAfterPaint, OnLoop, OnEndPaint;

  // Plays the image on the canvas with a new painter: an asynchronous one
  // (goAsync and goAnimate) is returned running; otherwise the frames are
  // played before Paint returns and none is returned.
  TGIFPainter* Paint(TCanvas& canvas, const TRect& rect, TGIFDrawOptions options);
  // Starts every painter made but not yet running.
  void PaintStart();
  // Stops every painter and waits until they have ended, on whichever
  // thread they play (serving their hand-overs on the main thread); a
  // painter further up this thread's stack (the caller is its handler), or,
  // when there is one, up the stack of another thread that waits in a stop
  // of this image, is not waited for but ends at its next step. Drops the
  // whole-screen rendering.
  void PaintStop();
  void PaintPause();
  void PaintResume();
  void PaintRestart();
  // The painters playing this image, under a lock.
  TThreadList& Painters() { return FPainters; }

 protected:
  // A TBitmap takes the whole-screen rendering.
  void AssignTo(TPersistent* dest) const override;

 private:
  friend class TGIFSubImage;
  friend class TGIFPainter;
  friend class TColorMapOptimizer;
  friend class TGIFGlobalColorMap;
  TGIFPainter* InternalPaint(TGIFPainter** painter, TCanvas& canvas, const TRect& rect,
                             TGIFDrawOptions options);
  // Stops the painters the filter picks and waits until they have left the
  // list, but for those further up this thread's stack (their handler is
  // the caller) and, when this thread plays a painter of the image, those
  // whose own thread waits in a stop of it (their handler stops it there;
  // the two stops would wait for each other): they end at their next step.
  // A thread that plays none waits for those too, as their handler may use
  // the image once its stop returns. Then runs
  // then, while no other thread's stop of this image runs its own: of two
  // stops crossing on two threads, one acts first and the other waits for
  // that one's painter before it acts. False, without then, when the image
  // was freed meanwhile (by a handler run while waiting, or by a stop on
  // another thread).
  bool StopPainters(const std::function<bool(TGIFPainter&)>& which, const std::function<void()>& then = nullptr);
  // PaintStop, then then; false when the image was freed meanwhile.
  bool StopAllPainters(const std::function<void()>& then = nullptr);
  // Stops the painters of Draw and drops what they drew; false when the
  // image was freed meanwhile.
  bool StopDraw();
  // Clear once the painters have stopped.
  void ClearContents();
  // What the painter of Draw painted, onto the canvas: stretched into the
  // rectangle, or with goTile repeated from its corner in steps of the
  // image's size as far as the rectangle reaches.
  void DrawPainted(TCanvas& canvas, const TRect& rect);
  void FreeBitmap();
  // Stops the painters, cuts those it could not wait for off from the
  // image and drops its contents, as one stop's act: a stop on another
  // thread then finds the image freed.
  void Cleanup();
  // Expires with the image: code that lets handlers run (waiting for
  // painters) holds a weak reference and looks at it before it touches the
  // image again.
  std::shared_ptr<void> FAlive = std::make_shared<int>(0);
  // The stops of this image under way, on any thread. Each stop holds a
  // reference, so that it can find out the image was freed on another
  // thread without touching the image.
  struct TStops {
    std::mutex Lock;
    // Painters further up the stack of a thread that waits in a stop,
    // once for each such stop: they cannot end before that stop returns.
    std::vector<TGIFPainter*> Held;
    // The thread whose stop acts (0: none), and how many of its stops do.
    uint32_t Actor = 0;
    int Acts = 0;
    bool Freed = false;
  };
  std::shared_ptr<TStops> FStops = std::make_shared<TStops>();
  bool FDrawing = false;
  bool FPaletteGuard = false;
  std::unique_ptr<TGIFImageList> FFrames;
  std::unique_ptr<TGIFHeader> FHeader;
  HPALETTE FPalette = nullptr;
  TThreadList FPainters;
  TGIFDrawOptions FDrawOptions;
  int FReductionBits;
  std::unique_ptr<TBitmap> FBitmap;
  TGIFPainter* FDrawPainter = nullptr;
  std::unique_ptr<TBitmap> FDrawBitmap;  // what the painter of Draw paints on
  int FAnimationSpeed;
  int64_t FPixelBytes = 0;  // pixel buffers of all frames together
};

// The clipboard format of GIF files, registered as "GIF Image".
extern const uint16_t CF_GIF;

// The thread object the codec makes suspended at start-up and frees at
// shutdown; it is never started.
class TDummyThread : public TThread {
 protected:
  void Execute() override {}
};

// The codec's start-up: registers TGIFImage with TPicture for the
// extension "gif" (described as "GIF Image") and for the clipboard format
// CF_GIF and makes the idle thread object (PaletteDevice and DoAutoDither
// are fixed: the screen always shows true colour). The program calls it when it starts; further calls change nothing
// until UnregisterGifFormat.
void RegisterGifFormat();
// The codec's shutdown: unregisters TGIFImage from TPicture (extension and
// clipboard format) and frees the idle thread object. The program calls it
// on its way out.
void UnregisterGifFormat();
// The registration of a design environment: drawn pictures there do not
// loop (goLoop leaves GIFImageDefaultDrawOptions). The program never calls
// it.
void Register();
