// PNG pictures: the picture class TPNGObject, which holds a PNG file as its
// list of chunks, decodes the image data into a device-independent bitmap
// (with an alpha plane and a plane of the low bytes of 16-bit samples),
// encodes it back, and converts to and from TBitmap.
#pragma once

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

#include "platform/graphics/graphics.h"
#include "platform/system/resources.h"

// --- Errors -----------------------------------------------------------------
// Every one derives from Exception directly; the messages are in pnglang.h.
BRIGHTMILL_EXCEPTION(EPNGOutMemory, Exception)
BRIGHTMILL_EXCEPTION(EPngError, Exception)
BRIGHTMILL_EXCEPTION(EPngUnexpectedEnd, Exception)
BRIGHTMILL_EXCEPTION(EPngInvalidCRC, Exception)
BRIGHTMILL_EXCEPTION(EPngInvalidIHDR, Exception)
BRIGHTMILL_EXCEPTION(EPNGMissingMultipleIDAT, Exception)
BRIGHTMILL_EXCEPTION(EPNGZLIBError, Exception)
BRIGHTMILL_EXCEPTION(EPNGInvalidPalette, Exception)
BRIGHTMILL_EXCEPTION(EPNGInvalidFileHeader, Exception)
BRIGHTMILL_EXCEPTION(EPNGIHDRNotFirst, Exception)
BRIGHTMILL_EXCEPTION(EPNGNotExists, Exception)
BRIGHTMILL_EXCEPTION(EPNGSizeExceeds, Exception)
BRIGHTMILL_EXCEPTION(EPNGMissingPalette, Exception)
BRIGHTMILL_EXCEPTION(EPNGUnknownCriticalChunk, Exception)
BRIGHTMILL_EXCEPTION(EPNGUnknownCompression, Exception)
BRIGHTMILL_EXCEPTION(EPNGUnknownInterlace, Exception)
BRIGHTMILL_EXCEPTION(EPNGNoImageData, Exception)
BRIGHTMILL_EXCEPTION(EPNGCouldNotLoadResource, Exception)
BRIGHTMILL_EXCEPTION(EPNGCannotChangeTransparent, Exception)
BRIGHTMILL_EXCEPTION(EPNGHeaderNotPresent, Exception)
BRIGHTMILL_EXCEPTION(EPNGInvalidNewSize, Exception)
BRIGHTMILL_EXCEPTION(EPNGInvalidSpec, Exception)

// --- Types ------------------------------------------------------------------

enum : uint8_t {
  COLOR_GRAYSCALE = 0,
  COLOR_RGB = 2,
  COLOR_PALETTE = 3,
  COLOR_GRAYSCALEALPHA = 4,
  COLOR_RGBALPHA = 6,
};

enum TFilter : uint8_t { pfNone, pfSub, pfUp, pfAverage, pfPaeth };
// A set of filters: bit n stands for the filter of value n.
using TFilters = uint8_t;
constexpr TFilters FilterSet(TFilter f) { return static_cast<TFilters>(1u << f); }

enum TInterlaceMethod : uint8_t { imNone, imAdam7 };
// zlib's compression level, 0..9 (zlib's -1 stands for its default, 6;
// others are refused when the picture is written).
using TCompressionLevel = int;
enum TPNGTransparencyMode : uint8_t { ptmNone, ptmBit, ptmPartial };
enum TUnitType : uint8_t { utUnknown, utMeter };

// True for the colour type and bit depth pairs a PNG file may have.
bool ValidColorTypeAndDepth(int colorType, int bitDepth);

class TPNGObject;
class TChunkIHDR;

// --- Chunks -----------------------------------------------------------------

// A chunk name: four characters, case-sensitive. Made from text, it takes
// the first four characters (zeros for those missing).
struct TChunkName {
  std::array<char, 4> Chars{};
  TChunkName() = default;
  TChunkName(const char* text) {
    for (size_t i = 0; i < Chars.size() && text[i]; ++i) Chars[i] = text[i];
  }
  TChunkName(const std::string& text) { text.copy(Chars.data(), Chars.size()); }
  // The characters up to the first zero.
  std::string ToString() const { return std::string(Chars.data(), strnlen(Chars.data(), Chars.size())); }
  // Compared as one word: a file's every chunk is compared with several.
  friend bool operator==(const TChunkName& a, const TChunkName& b) {
    return std::memcmp(a.Chars.data(), b.Chars.data(), sizeof a.Chars) == 0;
  }
};

// The chunk name a chunk class stands for: its class name from the seventh
// character on ("TChunkIHDR" gives "IHDR", TChunk itself none).
std::string ChunkNameOfClass(const char* className);

class TChunkClass;
template <class T>
const TChunkClass& ChunkClassOf();

class TChunk;
// Names a chunk after the class it is made as: the chunk name of the class
// when that has four characters, no name otherwise. Every chunk class holds
// one (PNG_CHUNK_CLASS), made after the classes it derives from, so the
// class the chunk is made as names it last, whichever of its constructors
// (its own or one it inherits) made it.
struct TChunkNameFromClass {
  TChunkNameFromClass(TChunk& chunk, const char* className);
};

// What every chunk class declares: its class name, GetName (the chunk name
// of the class), the reference to its class, and its naming of the chunks
// it makes. It leaves the members that follow it public.
#define PNG_CHUNK_CLASS(T)                                                         \
  static constexpr const char* StaticClassName = #T;                               \
  static std::string GetName() { return ChunkNameOfClass(#T); }                    \
  const char* ClassName() const override { return #T; }                            \
  const TChunkClass& ChunkClass() const override { return ChunkClassOf<T>(); }     \
                                                                                   \
 private:                                                                          \
  [[no_unique_address]] TChunkNameFromClass FNameFromClass{*this, #T};             \
                                                                                   \
 public:

// One chunk of the file: its name and data. Chunks of an unknown ancillary
// kind stay as plain TChunk objects and are written back unchanged. A chunk
// made as one of the chunk classes is named after its class ("TChunkIHDR"
// gives "IHDR"); a plain TChunk starts without a name.
class TChunk : public TObject {
 public:
  static constexpr const char* StaticClassName = "TChunk";
  static std::string GetName() { return ChunkNameOfClass(StaticClassName); }
  const char* ClassName() const override { return StaticClassName; }
  virtual const TChunkClass& ChunkClass() const { return ChunkClassOf<TChunk>(); }
  explicit TChunk(TPNGObject& owner) : FOwner(owner) {}
  ~TChunk() override = default;
  TChunk(const TChunk&) = delete;
  TChunk& operator=(const TChunk&) = delete;

  TPNGObject& Owner() const { return FOwner; }
  const TChunkName& Name() const { return FName; }
  void SetName(const TChunkName& name) { FName = name; }
  // The name as text.
  std::string GetChunkName() const { return FName.ToString(); }
  uint32_t DataSize() const { return static_cast<uint32_t>(Data.size()); }
  void ResizeData(uint32_t length) { Data.resize(length); }
  // The position in the owner's chunk list, -1 when not in it (one read
  // for a batch stands at the list's end).
  int GetIndex() const;
  // The owner's header (EPNGHeaderNotPresent without one).
  TChunkIHDR& GetHeader() const;

  // Copies the name and the data (subclasses add their own fields).
  virtual void Assign(const TChunk& source);
  // Reads size data bytes and the CRC that follows them from the stream;
  // EPngInvalidCRC when the CRC does not match, EPngUnexpectedEnd when the
  // stream ends first. True when the chunk was read; false ends the reading
  // of the file after this chunk (none of the codec's own chunks does so).
  virtual bool LoadFromStream(TStream& stream, const TChunkName& name, uint32_t size);
  // Writes length, name, data and CRC; false when the chunk could not be
  // made (nothing is written then).
  virtual bool SaveToStream(TStream& stream);

  std::vector<uint8_t> Data;

 protected:
  void SaveData(TStream& stream) const;

 private:
  TPNGObject& FOwner;
  TChunkName FName;
};

// A reference to a chunk class, as the chunk registry holds it.
class TChunkClass {
 public:
  using TFactory = std::unique_ptr<TChunk> (*)(TPNGObject& owner);
  using TTest = bool (*)(const TChunk& chunk);
  TChunkClass(const char* className, TFactory factory, TTest test);
  const char* ClassName() const { return FClassName; }
  // True for a chunk of the class or of a class derived from it.
  bool IsClassOf(const TChunk& chunk) const;
  // The chunk name of the class.
  std::string GetName() const { return ChunkNameOfClass(FClassName); }
  // True when the chunk name of the class has four letters and is name.
  bool StandsFor(const TChunkName& name) const { return FFourLetterName && FChunkName == name; }
  // A new chunk of the class, made by its constructor (which names it).
  std::unique_ptr<TChunk> Create(TPNGObject& owner) const { return FFactory(owner); }

 private:
  const char* FClassName;
  TFactory FFactory;
  TTest FTest;
  // The classes of the chunks last found of this class (derived from it)
  // and not of it: a file's chunks are asked about again and again, and
  // the language's test of a class compares names.
  mutable std::atomic<const TChunkClass*> FLastDerived{nullptr}, FLastOther{nullptr};
  // The chunk name of the class, worked out once.
  TChunkName FChunkName;
  bool FFourLetterName = false;
};

// The class reference of a chunk class.
template <class T>
const TChunkClass& ChunkClassOf() {
  static const TChunkClass reference(
      T::StaticClassName, [](TPNGObject& owner) -> std::unique_ptr<TChunk> { return std::make_unique<T>(owner); },
      [](const TChunk& chunk) {
        // Every chunk is a TChunk (no cast needed, and none to compare).
        if constexpr (std::is_same_v<T, TChunk>) return true;
        else return dynamic_cast<const T*>(&chunk) != nullptr;
      });
  return reference;
}

// The chunk registry, shared by the whole program: reading a file creates
// each chunk as the first registered class whose chunk name is the chunk's
// name (a plain TChunk when none is). The chunk classes of this file are
// registered from the start, IEND, IHDR, IDAT, PLTE, gAMA, tRNS, pHYs, tIME,
// tEXt, zTXt in this order; a class registered later for one of their names
// is never chosen.
void RegisterChunk(const TChunkClass& chunkClass);
template <class T>
void RegisterChunk() {
  RegisterChunk(ChunkClassOf<T>());
}
// A new chunk of the registered class for the name, named name.
std::unique_ptr<TChunk> CreateChunkByName(TPNGObject& owner, const TChunkName& name);
// The registered class for the name, null when none is.
const TChunkClass* RegisteredChunkClass(const TChunkName& name);

// The image header. It also owns the decoded picture: a bitmap of the
// bits per pixel below (rows from the top), its device context and, for
// indexed pictures, the palette and the colour table (the 256 entries of
// ImageInfo, the first PaletteSize in use); the alpha plane (colour types 4 and 6,
// one byte per pixel) and the plane of the low bytes of 16-bit samples
// (laid out like the bitmap's rows).
//   grey, palette, grey + alpha: depth 1, 4, 8 as is; 2 as 4; 16 as 8
//   RGB, RGB + alpha: 24 (blue, green, red)
struct TIHDRData {
  uint32_t Width = 0, Height = 0;
  uint8_t BitDepth = 0, ColorType = 0, CompressionMethod = 0, FilterMethod = 0, InterlaceMethod = 0;
};
// The description of the header's bitmap: its header and the colour table
// (blue, green, red, reserved) of up to 256 entries.
using TMAXBITMAPINFO = BITMAPINFO;

class TChunkIHDR : public TChunk {
 public:
  PNG_CHUNK_CLASS(TChunkIHDR)
  explicit TChunkIHDR(TPNGObject& owner);
  ~TChunkIHDR() override;

  void Assign(const TChunk& source) override;
  // Checks the header (EPngInvalidIHDR, EPNGSizeExceeds, EPNGUnknownCompression,
  // EPNGUnknownInterlace) and builds the image buffers. A header that fails
  // a check is not taken: the chunk then holds a picture of 0 x 0. A later
  // header (one read where the list has a chunk before it) is checked and
  // takes its kind, but holds a picture of 0 x 0 and leaves the owner's
  // InterlaceMethod alone: the picture is the first header's.
  bool LoadFromStream(TStream& stream, const TChunkName& name, uint32_t size) override;
  // A bit depth of 2 is written (and from now on held) as 4; the interlace
  // byte is the owner's InterlaceMethod. A later header writes nothing.
  bool SaveToStream(TStream& stream) override;
  // 2-bit pictures are held as 4-bit bitmaps and written as 4-bit data: the
  // header takes depth 4 (a grey tRNS sample v becomes v * 5, the level it
  // is held as) before the header or the image data is written.
  void WidenTwoBitDepth();

  // Frees the old buffers and makes new zero-filled ones for HeaderData;
  // EPNGOutMemory when they would pass 1 GiB together, and the header then
  // holds no picture (FreeImageData).
  void PrepareImageData();
  // The colours the picture starts with, before any PLTE: palette
  // pictures the halftone palette, grey ones the grey ramp through the
  // owner's gamma table (each of as many entries as the bits of a pixel
  // name); the colour table takes them.
  void InstallStartPalette();
  // Frees the picture, its device context and palette: the header then
  // holds a picture of 0 x 0 pixels of its kind.
  void FreeImageData();

  int Width() const { return static_cast<int>(HeaderData.Width); }
  int Height() const { return static_cast<int>(HeaderData.Height); }
  int BitsPerPixel() const { return FImage->BitCount; }
  int RowStride() const { return FImage->Stride; }
  bool UsesPalette() const { return FImage->BitCount <= 8; }
  HBITMAP Image() const { return FImage.get(); }
  HDC ImageDC() const { return FDC.get(); }
  HPALETTE ImagePalette() const { return FPalette; }
  // The bitmap's pixels, RowStride() bytes a row, top row first.
  uint8_t* ImageBits() const { return FImage->Bits.data(); }
  uint8_t* ImageRow(int y) const { return FImage->ScanLine(y); }
  uint8_t* LowByteRow(int y) { return LowBytePlane.data() + static_cast<size_t>(y) * RowStride(); }
  uint8_t* AlphaRow(int y) { return AlphaPlane.data() + static_cast<size_t>(y) * Width(); }

  // Takes the palette over; with updateColors its entries also become the
  // first entries of the colour table. Nothing for pictures without one.
  void SetImagePalette(HPALETTE palette, bool updateColors);
  // Copies the colour table of ImageInfo into the bitmap.
  void ColorTableChanged();
  // Changes the size of the buffers, keeping the old pixels at the top left
  // (new ones are 0) and the palette.
  void ResizeImage(int width, int height);
  // In the owner's chunk list after another chunk: not the picture's header.
  bool LaterHeader() const;

  TIHDRData HeaderData;
  int PaletteSize = 0;
  // The bitmap's header (size, bits per pixel, uncompressed RGB) and its
  // colour table.
  TMAXBITMAPINFO ImageInfo{};
  std::vector<uint8_t> AlphaPlane;
  std::vector<uint8_t> LowBytePlane;

 private:
  struct TBuffers;
  // Zero-filled buffers of the header's kind; EPNGOutMemory past 1 GiB.
  TBuffers MakeBuffers(int width, int height) const;
  void TakeBuffers(TBuffers& buffers);
  std::unique_ptr<TDibSection> FImage;
  std::unique_ptr<TDeviceContext> FDC;
  HPALETTE FPalette = nullptr;
};

class TChunkIEND : public TChunk {
 public:
  PNG_CHUNK_CLASS(TChunkIEND)
  using TChunk::TChunk;
};

// The image data. Reading decodes every IDAT chunk that follows without a
// gap into the header's buffers; writing encodes the header's picture into
// as many IDAT chunks as the compressed data needs.
class TChunkIDAT : public TChunk {
 public:
  PNG_CHUNK_CLASS(TChunkIDAT)
  using TChunk::TChunk;
  // The errors of the image data (CRC, zlib, a run cut by another chunk).
  // Palette pictures keep their indices; a PLTE read before or after gives
  // them their colours.
  bool LoadFromStream(TStream& stream, const TChunkName& name, uint32_t size) override;
  bool SaveToStream(TStream& stream) override;

  // What reading or writing the image data works with, set when it starts:
  // the owner's header, the picture's size, the bytes of a scan line
  // without its filter byte (of the pass at work, when interlaced) and of
  // one whole pixel (the filters' distance).
  TChunkIHDR* HeaderChunk = nullptr;
  int ImageWidth = 0, ImageHeight = 0;
  int64_t LineBytes = 0;
  int PixelStride = 0;

 protected:
  // Grey pictures: the grey ramp through the owner's gamma table (which a
  // gAMA chunk may have changed since the header was read) becomes the
  // header's palette. Nothing for other pictures.
  void PreparePalette();
  // Sets HeaderChunk, ImageWidth, ImageHeight, LineBytes and PixelStride.
  void StartImageData();
};

class TChunkPLTE : public TChunk {
 public:
  PNG_CHUNK_CLASS(TChunkPLTE)
  using TChunk::TChunk;
  void Assign(const TChunk& source) override;
  // A palette picture takes the entries as its colours (through the gamma
  // table), in place of those of any palette before; an empty chunk, and
  // the chunk of other pictures, change no colour. While a file is read
  // the colours wait for its end (TakeColors), where only the palette the
  // list keeps, the last read, is taken.
  bool LoadFromStream(TStream& stream, const TChunkName& name, uint32_t size) override;
  bool SaveToStream(TStream& stream) override;
  // Makes the entries the picture's colours, as reading the chunk does.
  void TakeColors();
  // The colour-table entry; EPngError for an index from EntryCount on.
  RGBQUAD GetPaletteItem(int index) const;
  int EntryCount = 0;
};

class TChunkgAMA : public TChunk {
 public:
  PNG_CHUNK_CLASS(TChunkgAMA)
  explicit TChunkgAMA(TPNGObject& owner);
  void Assign(const TChunk& source) override;
  // A chunk of 4 bytes with a value other than 0, read before the image
  // data (and, in a palette picture, before the palette), rebuilds the
  // owner's gamma tables; any other is kept but ignored.
  bool LoadFromStream(TStream& stream, const TChunkName& name, uint32_t size) override;
  // Gamma x 100000 (1 when the data is not 4 bytes long).
  uint32_t GetValue() const;
  void SetValue(uint32_t value);
};

class TChunktRNS : public TChunk {
 public:
  PNG_CHUNK_CLASS(TChunktRNS)
  using TChunk::TChunk;
  void Assign(const TChunk& source) override;
  bool LoadFromStream(TStream& stream, const TChunkName& name, uint32_t size) override;
  bool SaveToStream(TStream& stream) override;
  TColor GetTransparentColor() const;
  void SetTransparentColor(TColor color);
  // Grey and RGB: always; palette: when every given alpha is 0 or 255.
  bool OnOffTransparency = false;
  // Palette pictures: the alpha of each entry (255 where none was given);
  // grey and RGB: the transparent sample's bytes.
  std::array<uint8_t, 256> AlphaValues{};
};

class TChunkpHYs : public TChunk {
 public:
  PNG_CHUNK_CLASS(TChunkpHYs)
  using TChunk::TChunk;
  void Assign(const TChunk& source) override;
  bool LoadFromStream(TStream& stream, const TChunkName& name, uint32_t size) override;
  bool SaveToStream(TStream& stream) override;
  uint32_t DensityX = 0, DensityY = 0;
  TUnitType DensityUnit = utUnknown;
};

class TChunktIME : public TChunk {
 public:
  PNG_CHUNK_CLASS(TChunktIME)
  using TChunk::TChunk;
  void Assign(const TChunk& source) override;
  bool LoadFromStream(TStream& stream, const TChunkName& name, uint32_t size) override;
  bool SaveToStream(TStream& stream) override;
  uint16_t Year = 0;
  uint8_t Month = 0, Day = 0, Hour = 0, Minute = 0, Second = 0;
};

// The text a file's text chunks hold once read is bounded: a zTXt chunk is
// inflated to kMaxChunkTextBytes of text at the most, and the text of all
// the text chunks of a file (a tEXt chunk's whole data, every byte a zTXt
// chunk inflates) stays within kMaxFileTextBytes. A chunk whose text would
// pass either is kept as read (KeptAsRead).
inline constexpr int64_t kMaxChunkTextBytes = int64_t(8) << 20;
inline constexpr int64_t kMaxFileTextBytes = int64_t(32) << 20;

// Hands out compressed bytes block by block: false when there are no more.
using TTextInput = std::function<bool(const uint8_t*& data, size_t& size)>;

// A file's room for the text of its text chunks, and the rule by which
// they take it. The reader and PngLoadClaim each count a file's chunks
// with one, so that both keep, inflate and count the same chunks.
struct TTextInflater;
class TTextRoom {
 public:
  TTextRoom();
  ~TTextRoom();
  TTextRoom(TTextRoom&&) noexcept;
  TTextRoom& operator=(TTextRoom&&) noexcept;
  int64_t Left() const { return FLeft; }
  // A tEXt chunk's data: taken whole when it fits (true), else nothing.
  bool Take(int64_t bytes);
  // Counts the text a zTXt chunk's zlib stream inflates to, up to
  // min(kMaxChunkTextBytes, Left()) bytes. Every byte inflated is taken from
  // the room, whether the text is kept or not; a text past its bound takes
  // the bound. Once the room is spent nothing more is inflated. Returns the
  // text's size, or (see InflateText) kTextNotInflated, or kTextTooLong
  // for a chunk to keep as it was read. A short text inflated whole (up to
  // 16 KiB) goes to small, when given.
  int64_t Inflate(const TTextInput& input, std::string* small = nullptr);
  // The text of a stream that Inflate counted at length bytes (above 0),
  // into text, which it replaces; false, with text empty, when the stream
  // gives another length.
  bool InflateAgain(const TTextInput& input, int64_t length, std::string& text);
  // Frees zlib's state, which the room keeps from one stream to the next:
  // a file may hold millions of small zTXt chunks.
  void EndInflating();

 private:
  int64_t FLeft = kMaxFileTextBytes;
  std::unique_ptr<TTextInflater> FInflater;
};

class TChunktEXt : public TChunk {
 public:
  PNG_CHUNK_CLASS(TChunktEXt)
  using TChunk::TChunk;
  // Copies the keyword, the text and KeptAsRead with the data.
  void Assign(const TChunk& source) override;
  // Keyword, a zero byte, text. A chunk without the zero byte leaves both
  // empty.
  bool LoadFromStream(TStream& stream, const TChunkName& name, uint32_t size) override;
  bool SaveToStream(TStream& stream) override;
  std::string Keyword, Text;
  // The chunk's text would have passed the bound of a file's text (or a
  // zTXt chunk's own bound), and it was not taken from the data read:
  // Keyword and Text are empty, and the chunk is written back byte for byte
  // as it was read for as long as both stay empty.
  bool KeptAsRead = false;

 protected:
  // Writes the data as read when the chunk was kept so and nothing has
  // been set since; false when the chunk is to be written from its fields.
  bool SaveKeptData(TStream& stream);
};

class TChunkzTXt : public TChunktEXt {
 public:
  PNG_CHUNK_CLASS(TChunkzTXt)
  using TChunktEXt::TChunktEXt;
  // Keyword, a zero byte, the method byte (0: deflate), the compressed text.
  // Text stays empty when it cannot be inflated; it is kept compressed
  // (KeptAsRead) when it would pass its bound.
  bool LoadFromStream(TStream& stream, const TChunkName& name, uint32_t size) override;
  bool SaveToStream(TStream& stream) override;
};

// A file may hold millions of small chunks, and a chunk object costs tens of
// bytes to a kilobyte beside the chunk's own bytes. Reading a file, the
// list keeps the first kMaxChunkObjects chunks of each kind (each chunk
// class; the chunks of no class count as one kind) as chunk objects. A
// later one of an ancillary kind, or a later header, is read by its class
// as any other (its checks, its CRC, what it does to the picture: a gAMA's
// value, a text chunk's room); then, when its data and text hold no more
// than kMaxBatchedBytes, it is kept in a TChunkBatch as the bytes it writes
// (a later header writes none, and is not kept), else as an object. The
// file is written back as it was read; only the list (and FindChunk) no
// longer shows the chunks kept in a batch one by one.
inline constexpr int64_t kMaxChunkObjects = 1000;
inline constexpr int64_t kMaxBatchedBytes = 4096;

// Chunks kept one after another in blocks of bytes: each as the chunk it
// was read as writes itself, a zTXt chunk as its keyword and text, to be
// compressed when it is written, at the picture's compression level then.
// It has no chunk name. The chunks a file's reading keeps between two
// chunk objects of the list share one.
class TChunkBatch : public TChunk {
 public:
  PNG_CHUNK_CLASS(TChunkBatch)
  using TChunk::TChunk;
  void Assign(const TChunk& source) override;
  // Writes the chunks kept, in the order they were kept.
  bool SaveToStream(TStream& stream) override;
  // Keeps what the chunk writes.
  void Keep(TChunk& chunk);
  // The bytes of the blocks that hold the records: for a chunk the bytes
  // it writes, for a zTXt chunk's text nine more than keyword and text.
  static constexpr size_t kBlockBytes = 2048;

 private:
  void Append(const void* bytes, size_t count);
  void CopyOut(size_t at, void* to, size_t count) const;
  // The records, one after another in blocks that never move; a record
  // runs on from one block into the next.
  std::vector<std::unique_ptr<uint8_t[]>> FBlocks;
  size_t FSize = 0;
  friend class TBatchWriter;
};

// --- Chunk list -------------------------------------------------------------

// The items of a pointer list.
using TPointerArray = std::vector<void*>;

// A list of untyped pointers of a picture; it frees nothing.
class TPNGPointerList : public TObject {
 public:
  explicit TPNGPointerList(TPNGObject& owner) : FOwner(owner) {}
  const char* ClassName() const override { return "TPNGPointerList"; }
  TPNGObject& Owner() const { return FOwner; }
  int Count() const { return static_cast<int>(FItems.size()); }
  const TPointerArray& Items() const { return FItems; }
  // Stores the item last.
  void Add(void* item);
  // Stores the item at the position, moving the items from there on up one
  // place. A position at or past the end of a list that is not empty stores
  // nothing (false); in an empty list the item becomes the first.
  bool Insert(void* item, int position);
  // Takes the item at the last position that holds it out of the list and
  // returns it; null when the list does not hold it.
  void* Remove(void* item);
  // Null for an index outside the list.
  void* GetItem(int index) const;
  // Ignored for an index outside the list.
  void SetItem(int index, void* item);
  // Makes the list size entries long: new entries are null, entries past
  // the new end leave the list.
  void SetSize(int size);

 protected:
  TPointerArray FItems;
  // Counts the changes of the items, so that what is worked out from them
  // can tell when it is out of date.
  uint64_t FChanges = 0;

 private:
  TPNGObject& FOwner;
};

// The chunks of a picture, which the list owns: RemoveChunk, Clear and the
// list's end free them. Chunks taken out with Remove, replaced with SetItem
// or cut off with SetSize belong to the caller again.
class TPNGList : public TPNGPointerList {
 public:
  using TPNGPointerList::TPNGPointerList;
  ~TPNGList() override;
  TPNGList(const TPNGList&) = delete;
  TPNGList& operator=(const TPNGList&) = delete;
  const char* ClassName() const override { return "TPNGList"; }
  using TPNGPointerList::Add;

  // Null past the end.
  TChunk* Item(int index) const { return static_cast<TChunk*>(GetItem(index)); }
  // The first chunk of the class or of a class derived from it; null when
  // there is none.
  TChunk* ItemFromClass(const TChunkClass& chunkClass) const;
  TChunk* FindChunk(const TChunkClass& chunkClass) const { return ItemFromClass(chunkClass); }
  template <class T>
  T* FindChunk() const {
    return static_cast<T*>(ItemFromClass(ChunkClassOf<T>()));
  }
  // -1 for a chunk not in the list; the count for the one read at its end.
  int IndexOf(const TChunk* chunk) const;
  // While a file is read, the chunk that is read as though it stood last
  // in the list (one kept in a batch), which it is not; null for none.
  void ReadAtEnd(const TChunk* chunk) { FReadAtEnd = chunk; }
  // The position of the first chunk of the class (or derived from it), -1.
  int IndexOfClass(const TChunkClass& chunkClass) const;
  template <class T>
  int IndexOfClass() const {
    return IndexOfClass(ChunkClassOf<T>());
  }
  // As the base's; the list keeps its positions of the classes known when
  // the item taken out is the last one, or when an item is replaced.
  void* Remove(void* item);
  void SetItem(int index, void* item);
  // Creates a chunk of the class and places it by the list's rules: IHDR,
  // IDAT, PLTE and IEND only while the owner builds a new picture, gAMA,
  // tRNS and pHYs once, and nothing into a list without IHDR and IEND
  // (EPngError otherwise); IHDR first, IEND last, gAMA, pHYs and PLTE right
  // after the IHDR, tRNS after the PLTE, else before the first IDAT, else
  // after the IHDR; any other class right before the IEND.
  TChunk* Add(const TChunkClass& chunkClass);
  template <class T>
  T* Add() {
    return static_cast<T*>(Add(ChunkClassOf<T>()));
  }
  // Appends without any rule (the file reader and the bitmap conversion).
  TChunk* Append(std::unique_ptr<TChunk> chunk);
  // Takes the chunk out of the list and frees it.
  void RemoveChunk(TChunk* chunk);
  // Frees every chunk; the list becomes empty.
  void Clear();

 private:
  TChunk* InsertAt(int index, std::unique_ptr<TChunk> chunk);
  // The first position of each class looked for (-1: none), known for as
  // long as FFirstsChanges is FChanges. Appending, taking out the last item
  // and replacing an item keep them known, so that a file read chunk by
  // chunk never searches the list for a class; other changes forget them.
  struct TFirstOfClass {
    const TChunkClass* Class;
    int Index;
  };
  mutable std::vector<TFirstOfClass> FFirsts;
  mutable uint64_t FFirstsChanges = 0;
  const TChunk* FReadAtEnd = nullptr;
  bool FirstsKnown() const { return FFirstsChanges == FChanges; }
};

// --- The picture ------------------------------------------------------------

class TPNGObject : public TGraphic {
 public:
  TPNGObject();
  // A blank (all zero) picture with the chunks IHDR, [PLTE], IDAT, IEND.
  // EPNGInvalidSpec for a colour type and depth a PNG file cannot have or a
  // size outside 1..65535; a depth of 2 becomes 4.
  TPNGObject(int colorType, int bitDepth, int width, int height);
  ~TPNGObject() override;
  const char* ClassName() const override { return "TPNGObject"; }
  static const char* GetLibraryVersion() { return "1.564"; }

  // Encoding settings; they survive loading and are copied by Assign from
  // another TPNGObject. The compression level goes to zlib as it is (0..9).
  TFilters Filters = FilterSet(pfSub);
  TCompressionLevel CompressionLevel = 7;
  TInterlaceMethod InterlaceMethod = imNone;
  uint32_t MaxIdatSize() const { return FMaxIdatSize; }
  // Values below 65535 are raised to it; a chunk holds at most 2^31 - 1.
  void SetMaxIdatSize(uint32_t value) { FMaxIdatSize = std::clamp<uint32_t>(value, 65535, 0x7FFFFFFF); }

  // Sample to display value (decoding) and back (encoding); the identity
  // until a gAMA chunk is read. They are the tables of the gAMA value that
  // counts, the last one taken, as though it were the file's only one.
  std::array<uint8_t, 256> GammaLookup{};
  std::array<uint8_t, 256> InverseGammaLookup{};
  void InitializeGamma();
  // Builds the tables for a gAMA value other than 0, from the identity
  // (entries of the inverse table that the value does not reach stay the
  // identity's); nothing when they are built for it already.
  void BuildGamma(uint32_t value);
  // The gAMA value that counts from now on (0: the identity). The tables
  // are built for it at once; while a file is read, once, when the palette
  // or the image data first needs them or the file has been read, so that
  // however many gAMA chunks a file holds its tables are built once.
  void TakeGamma(uint32_t value);
  // Builds the tables for the value taken, when they are not built for it.
  void SettleGamma();
  // How often the tables were built since the object was made.
  int64_t GammaBuilds() const { return FGammaBuilds; }
  // True while LoadFromStream reads a file.
  bool Reading() const { return FReading; }

  TPNGList& ChunkList() { return FChunks; }
  const TPNGList& ChunkList() const { return FChunks; }
  // Frees every chunk and resets the gamma tables and the text held.
  void ClearChunks();
  // The room for text of the text chunks read since the chunks were
  // cleared.
  TTextRoom& TextRoom() { return FTextRoom; }
  bool HeaderPresent() const;
  // EPNGHeaderNotPresent without a header.
  TChunkIHDR& Header() const;
  // True only while the sized constructor builds the chunk list.
  bool Constructing() const { return FConstructing; }
  // The bytes of a whole scan line (without its filter byte) and of one
  // whole pixel for the header's kind; 0 and 0 without a header.
  void GetPixelInfo(int64_t& lineSize, int& offset) const;

  int Width() const override;
  int Height() const override;
  void SetWidth(int value) override { Resize(value, Height()); }
  void SetHeight(int value) override { Resize(Width(), value); }
  bool Empty() const override { return FChunks.Count() == 0; }
  // Changes the size; old pixels stay at the top left, new ones are 0.
  // EPNGInvalidNewSize for a size not above 0.
  void Resize(int width, int height);

  // Rows of the picture counted from the top: the bitmap row, the row of low
  // bytes (16-bit pictures) and the alpha row (null without alpha); null for
  // a row outside the picture.
  uint8_t* Scanline(int row) const;
  uint8_t* ExtraScanline(int row) const;
  uint8_t* AlphaScanline(int row) const;

  HPALETTE Palette() override;
  // DoSetPalette(palette, true).
  void SetPalette(HPALETTE palette) override;
  // Pictures with a palette take this one over (its entries become the
  // colour table's first ones when updateColors); others delete it.
  void DoSetPalette(HPALETTE palette, bool updateColors);

  // A canvas that draws into the picture's bitmap; it has no context while
  // the picture has no header.
  TCanvas* Canvas() const { return FCanvas.get(); }
  // The header gives the canvas its context, and takes it back when it goes.
  void SetCanvasHandle(HDC dc);
  void ReleaseCanvasHandle(HDC dc);

  // The colour of a pixel; 0 outside the picture.
  //   grey: the sample scaled to 8 bits through the gamma table;
  //   palette: the colour of the sample's palette entry;
  //   RGB, RGB + alpha: the bitmap's colour; grey + alpha: the grey byte.
  virtual TColor GetPixels(int x, int y) const;
  // Sets a pixel (nothing outside the picture, the alpha stays):
  //   grey, palette: the palette entry nearest to the colour;
  //   RGB, RGB + alpha: the colour; grey + alpha: its red part.
  // 16-bit samples get the 8-bit value in both bytes.
  virtual void SetPixels(int x, int y, TColor color);

  // Drops every transparency: the tRNS chunk, and the alpha plane of grey
  // and RGB pictures with alpha, which become grey and RGB pictures.
  void RemoveTransparency();
  // Gives the picture an alpha of its own, opaque where it was not
  // transparent: grey and RGB pictures become grey + alpha (8 bits at
  // least) and RGB + alpha, their tRNS turned into alpha 0; palette
  // pictures get an alpha for every palette entry (255 where none was
  // given). Pictures with alpha stay as they are.
  void CreateAlpha();

  // A pHYs chunk is there.
  bool HasPixelInformation() const;
  // The pHYs chunk; one in pixels per metre with both densities 0 is added
  // when there is none.
  TChunkpHYs* GetPixelInformation();
  // Draws the picture at pos at the size its pHYs chunk gives on the screen
  // (at its own size without one, or along an axis of density 0).
  void DrawUsingPixelInformation(TCanvas& canvas, const TPoint& pos);

  // Reads the picture from a resource of type RCDATA linked into the
  // program; EPNGCouldNotLoadResource when there is no such resource.
  void LoadFromResourceName(HINSTANCE instance, const std::string& name);
  void LoadFromResourceID(HINSTANCE instance, int resId);

  // Raises an error of the class with the text.
  template <class E>
  [[noreturn]] void RaiseError(const std::string& text) const {
    throw E(text);
  }

  TPNGTransparencyMode TransparencyMode() const;
  bool Transparent() const override { return TransparencyMode() != ptmNone; }
  // The tRNS colour, 0 without one.
  TColor TransparentColor() const;
  // Makes the colour transparent through a tRNS chunk; nothing without a
  // header; EPNGCannotChangeTransparent for pictures with an alpha plane.
  void SetTransparentColor(TColor color);

  void AddtEXt(const std::string& keyword, const std::string& text);
  void AddzTXt(const std::string& keyword, const std::string& text);

  // Null clears; a TPNGObject is copied chunk by chunk; a TBitmap goes
  // through AssignHandle with its transparency.
  void Assign(const TPersistent* source) override;
  // The bitmap becomes the picture: an RGB picture of depth 8 (16 bits per
  // pixel and more) or a palette picture of its depth, with the chunks IHDR,
  // [PLTE], [tRNS], IDAT, IEND; transparent: the colour through a tRNS chunk.
  // EPNGSizeExceeds past 65535 pixels, EPNGInvalidSpec for no pixels.
  void AssignHandle(HBITMAP handle, bool transparent, TColor transparentColor);
  // Reads a PNG file; raises the errors of pnglang.h for malformed data,
  // EPNGMissingPalette for a palette picture without a PLTE of one entry at
  // least before IEND. A later IHDR is kept but the picture is the first
  // header's. The list keeps one PLTE, the last read (an empty one is not
  // kept), before the IDAT. A gAMA after the IDAT, or after a palette
  // picture's PLTE, is kept where it is but changes nothing. Past the
  // first kMaxChunkObjects chunks of a kind, the small ones are kept in
  // batches (TChunkBatch) and later IHDRs not at all.
  void LoadFromStream(TStream& stream) override;
  void SaveToStream(TStream& stream) override;
  // Draws the picture: plainly, or, with transparency, blended by the alpha
  // of each pixel (0 for the transparent sample) over what the canvas holds.
  void Draw(TCanvas& canvas, const TRect& rect) override;
  // Clipboard data goes through a bitmap: the picture is drawn onto one of
  // its size (transparent parts over white) for the bitmap format, and a
  // bitmap read from the clipboard becomes the picture. Other formats raise
  // "Unsupported clipboard format".
  void LoadFromClipboardFormat(uint16_t format, HGLOBAL data, HPALETTE palette) override;
  void SaveToClipboardFormat(uint16_t& format, HGLOBAL& data, HPALETTE& palette) override;

 protected:
  // To a TBitmap: the bitmap takes the picture's size and the pixel format
  // its kind asks for, and the picture is drawn onto it.
  void AssignTo(TPersistent* dest) const override;

 private:
  void AssignPNG(const TPNGObject& source);
  // Places a PLTE just read in the chunk list (LoadFromStream).
  void PlacePalette(TChunkPLTE& palette, bool imageDataSeen);
  void DrawTo(HDC dc, const TRect& rect) const;
  // Blends every pixel by its alpha over what the target holds (pictures
  // with a transparent colour: alpha 0 for it, 255 for the others).
  void DrawPartialTrans(HDC dc, const TRect& rect) const;
  void LoadFromResource(HINSTANCE instance, const std::string& name);
  // The header chunk (the first chunk), null without one.
  TChunkIHDR* FindHeader() const;
  std::unique_ptr<TCanvas> FCanvas;
  HDC FCanvasDC = nullptr;
  TPNGList FChunks;
  uint32_t FMaxIdatSize = 65535;
  bool FConstructing = false;
  TTextRoom FTextRoom;
  // The gAMA value the tables were last built for and the one taken, 0 for
  // none.
  uint32_t FGammaBuilt = 0, FGammaTaken = 0;
  int64_t FGammaBuilds = 0;
  bool FReading = false;
  // Ends the reading of a file (LoadFromStream) however it ends: what was
  // left to do once every chunk is read is done.
  void EndReading();
};

// The codec's start-up: registers TPNGObject with TPicture for the
// extension "png" (described as "Portable Network Graphics"). The program
// calls it when it starts; further calls change nothing until
// UnregisterPngFormat.
void RegisterPngFormat();
// The codec's shutdown: unregisters TPNGObject from TPicture, so that
// ".png" files are no longer read through it. The program calls it on its
// way out.
void UnregisterPngFormat();

// What loading the PNG data in the stream into a bitmap will hold, read
// from the chunks' headers (from the stream's start; the position is left
// anywhere) before anything is decoded. False when the reader would refuse
// the data's signature or header. width and height: the picture's size;
// loadBytes: the most the load holds at once beside the picture's 24-bit
// bitmap (the object's pixels and the decoder's rows, the text chunks'
// inflated text, the file's bytes where they are read whole).
//
// The load is TPNGObject::LoadFromStream, then TBitmap::Assign of the
// object and, once it is freed, the bitmap's SetPixelFormat(pf24bit). The
// chunks are walked as the reader walks them, every IDAT passed over; the
// data of zTXt chunks is read to count the text they inflate to, under the
// same bounds as the reader's and through a small buffer.
bool PngLoadClaim(TStream& stream, int64_t& width, int64_t& height, int64_t& loadBytes);
