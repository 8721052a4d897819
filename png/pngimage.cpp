// The chunk framing, the chunk list, the header chunk with the decoded
// picture, and the picture class with its bitmap conversions.
#include "png/pngimage.h"

#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <mutex>

#include "png/pngcodec.h"
#include "png/pnglang.h"

using namespace pngcodec;

namespace {
// The chunk registry. It is filled while the program starts and read by
// every file read, possibly on several threads at once.
struct TChunkRegistry {
  std::mutex Lock;
  std::vector<const TChunkClass*> Classes{
      &ChunkClassOf<TChunkIEND>(), &ChunkClassOf<TChunkIHDR>(), &ChunkClassOf<TChunkIDAT>(),
      &ChunkClassOf<TChunkPLTE>(), &ChunkClassOf<TChunkgAMA>(), &ChunkClassOf<TChunktRNS>(),
      &ChunkClassOf<TChunkpHYs>(), &ChunkClassOf<TChunktIME>(), &ChunkClassOf<TChunktEXt>(),
      &ChunkClassOf<TChunkzTXt>()};
};

TChunkRegistry& ChunkRegistry() {
  static TChunkRegistry registry;
  return registry;
}
}  // namespace

bool ValidColorTypeAndDepth(int colorType, int bitDepth) {
  switch (colorType) {
    case COLOR_GRAYSCALE:
      return bitDepth == 1 || bitDepth == 2 || bitDepth == 4 || bitDepth == 8 || bitDepth == 16;
    case COLOR_PALETTE:
      return bitDepth == 1 || bitDepth == 2 || bitDepth == 4 || bitDepth == 8;
    case COLOR_RGB:
    case COLOR_GRAYSCALEALPHA:
    case COLOR_RGBALPHA:
      return bitDepth == 8 || bitDepth == 16;
    default:
      return false;
  }
}

// --- Shared pieces -----------------------------------------------------------------

namespace pngcodec {

namespace {
// zlib's CRC table and three more that take a CRC over one, two and three
// zero bytes beside it, so that four bytes take four look-ups at once.
struct TCrcTables {
  uint32_t Table[4][256];
  TCrcTables() {
    const z_crc_t* zlibTable = get_crc_table();
    for (int i = 0; i < 256; ++i) Table[0][i] = uint32_t(zlibTable[i]);
    for (int k = 1; k < 4; ++k)
      for (int i = 0; i < 256; ++i) Table[k][i] = (Table[k - 1][i] >> 8) ^ Table[0][Table[k - 1][i] & 0xFF];
  }
  uint32_t Word(uint32_t crc, const uint8_t* p) const {
    crc ^= uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
    return Table[3][crc & 0xFF] ^ Table[2][(crc >> 8) & 0xFF] ^ Table[1][(crc >> 16) & 0xFF] ^ Table[0][crc >> 24];
  }
};
}  // namespace

uint32_t ChunkCrc(const TChunkName& name, const uint8_t* data, size_t size) {
  // Most chunks are a few bytes long, and files may hold millions: a call
  // of zlib's costs them more than the CRC itself.
  if (size <= 64) {
    static const TCrcTables tables;
    uint32_t crc = tables.Word(0xFFFFFFFFu, reinterpret_cast<const uint8_t*>(name.Chars.data()));
    size_t i = 0;
    for (; i + 4 <= size; i += 4) crc = tables.Word(crc, data + i);
    for (; i < size; ++i) crc = tables.Table[0][(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
    return ~crc;
  }
  uLong crc = crc32(0, reinterpret_cast<const Bytef*>(name.Chars.data()), 4);
  while (size > 0) {
    auto block = static_cast<uInt>(std::min<size_t>(size, 1u << 30));
    crc = crc32(crc, data, block);
    data += block;
    size -= block;
  }
  return static_cast<uint32_t>(crc);
}

void RaiseUnexpectedEnd() { throw EPngUnexpectedEnd(pnglang::EPNGUnexpectedEndText); }

void CheckCrc(TStream& stream, uint32_t crc) {
  uint8_t stored[4];
  ReadExact(stream, stored, 4);
  if (GetU32(stored) != crc) throw EPngInvalidCRC(pnglang::EPngInvalidCRCText);
}

void ReadChunkHeader(TStream& stream, uint32_t& length, TChunkName& name) {
  uint8_t header[8];
  ReadExact(stream, header, 8);
  length = GetU32(header);
  std::memcpy(name.Chars.data(), header + 4, 4);
  int64_t left = stream.Size() - stream.Position();
  if (length > 0x7FFFFFFFu || int64_t(length) + 4 > left)
    throw EPngUnexpectedEnd(pnglang::EPNGUnexpectedEndText);
}

void WriteChunk(TStream& stream, const TChunkName& name, const uint8_t* data, size_t size) {
  // A small chunk goes to the stream in one piece.
  if (size <= 64) {
    uint8_t chunk[12 + 64];
    PutU32(chunk, static_cast<uint32_t>(size));
    std::memcpy(chunk + 4, name.Chars.data(), 4);
    if (size > 0) std::memcpy(chunk + 8, data, size);
    PutU32(chunk + 8 + size, ChunkCrc(name, data, size));
    stream.WriteBuffer(chunk, int64_t(12 + size));
    return;
  }
  uint8_t word[4];
  PutU32(word, static_cast<uint32_t>(size));
  stream.WriteBuffer(word, 4);
  stream.WriteBuffer(name.Chars.data(), 4);
  if (size > 0) stream.WriteBuffer(data, static_cast<int64_t>(size));
  PutU32(word, ChunkCrc(name, data, size));
  stream.WriteBuffer(word, 4);
}

void RaiseZlibError(int code) {
  const char* names[] = {"incompatible version (-6)",
                         "buffer error (-5)",
                         "insufficient memory (-4)",
                         "data error (-3)",
                         "stream error (-2)",
                         "file error (-1)",
                         "(0)",
                         "stream end (1)",
                         "need dictionary (2)"};
  std::string name;
  if (code >= -6 && code <= 2) {
    name = names[code + 6];
  } else {
    name.assign(1, '(');
    name += std::to_string(code) + ")";
  }
  throw EPNGZLIBError(pnglang::EPNGZLIBErrorText + name);
}

int64_t BytesForPixels(int64_t pixels, int colorType, int bitDepth) {
  switch (colorType) {
    case COLOR_GRAYSCALE:
    case COLOR_PALETTE:
      return (pixels * bitDepth + 7) / 8;
    case COLOR_RGB:
      return pixels * bitDepth * 3 / 8;
    case COLOR_GRAYSCALEALPHA:
      return pixels * bitDepth * 2 / 8;
    case COLOR_RGBALPHA:
      return pixels * bitDepth * 4 / 8;
    default:
      return 0;
  }
}

int PixelStride(int colorType, int bitDepth) {
  switch (colorType) {
    case COLOR_GRAYSCALE:
      return bitDepth == 16 ? 2 : 1;
    case COLOR_PALETTE:
      return 1;
    case COLOR_RGB:
      return bitDepth * 3 / 8;
    case COLOR_GRAYSCALEALPHA:
      return bitDepth * 2 / 8;
    case COLOR_RGBALPHA:
      return bitDepth * 4 / 8;
    default:
      return 0;
  }
}

TIHDRData CheckedHeaderData(const uint8_t* d, size_t size) {
  if (size < 13) throw EPngInvalidIHDR(pnglang::EPNGInvalidIHDRText);
  const TIHDRData read{GetU32(d), GetU32(d + 4), d[8], d[9], d[10], d[11], d[12]};
  if (read.Width >= 65536 || read.Height >= 65536) throw EPNGSizeExceeds(pnglang::EPNGSizeExceedsText);
  if (read.Width == 0 || read.Height == 0) throw EPngInvalidIHDR(pnglang::EPNGInvalidIHDRText);
  if (read.CompressionMethod != 0) throw EPNGUnknownCompression(pnglang::EPNGUnknownCompressionText);
  if (read.InterlaceMethod > 1) throw EPNGUnknownInterlace(pnglang::EPNGUnknownInterlaceText);
  if (!ValidColorTypeAndDepth(read.ColorType, read.BitDepth)) throw EPngInvalidIHDR(pnglang::EPNGInvalidIHDRText);
  return read;
}

TImageLayout ImageLayout(int colorType, int bitDepth, int64_t width, int64_t height) {
  TImageLayout layout;
  // RGB samples become blue, green, red bytes; 2-bit samples are held in
  // 4 bits, 16-bit ones as their high byte.
  if (colorType == COLOR_RGB || colorType == COLOR_RGBALPHA)
    layout.Bits = 24;
  else
    layout.Bits = bitDepth == 2 ? 4 : bitDepth == 16 ? 8 : bitDepth;
  layout.Stride = AlignedRowBytes(width, layout.Bits);
  layout.PixelBytes = layout.Stride * height;
  if (colorType == COLOR_GRAYSCALEALPHA || colorType == COLOR_RGBALPHA) layout.AlphaBytes = width * height;
  if (bitDepth == 16) layout.LowByteBytes = layout.PixelBytes;
  return layout;
}

HPALETTE CreateGrayscalePalette(const TPNGObject& owner, int bits) {
  int n = 1 << bits;
  std::vector<PALETTEENTRY> entries(static_cast<size_t>(n));
  for (int i = 0; i < n; ++i) {
    uint8_t v = owner.GammaLookup[GreyLevel(i, bits)];
    entries[static_cast<size_t>(i)] = {v, v, v, 0};
  }
  return CreatePalette(entries.data(), n);
}

}  // namespace pngcodec

// --- Chunk classes and their registry ---------------------------------------------

std::string ChunkNameOfClass(const char* className) {
  std::string name(className);
  return name.size() > 6 ? name.substr(6) : std::string();
}

TChunkClass::TChunkClass(const char* className, TFactory factory, TTest test)
    : FClassName(className), FFactory(factory), FTest(test) {
  std::string name = GetName();
  FFourLetterName = name.size() == 4;
  if (FFourLetterName) FChunkName = name;
}

TChunkNameFromClass::TChunkNameFromClass(TChunk& chunk, const char* className) {
  // "TChunk" and four letters: every chunk read is made so.
  chunk.SetName(std::strlen(className) == 10 ? TChunkName(className + 6) : TChunkName());
}

bool TChunkClass::IsClassOf(const TChunk& chunk) const {
  // Each answer stands for every chunk of the same class.
  const TChunkClass* of = &chunk.ChunkClass();
  if (of == this || of == FLastDerived.load(std::memory_order_relaxed)) return true;
  if (of == FLastOther.load(std::memory_order_relaxed)) return false;
  const bool derived = FTest(chunk);
  (derived ? FLastDerived : FLastOther).store(of, std::memory_order_relaxed);
  return derived;
}

void RegisterChunk(const TChunkClass& chunkClass) {
  TChunkRegistry& registry = ChunkRegistry();
  std::lock_guard<std::mutex> guard(registry.Lock);
  registry.Classes.push_back(&chunkClass);
}

const TChunkClass* RegisteredChunkClass(const TChunkName& name) {
  TChunkRegistry& registry = ChunkRegistry();
  std::lock_guard<std::mutex> guard(registry.Lock);
  for (const TChunkClass* chunkClass : registry.Classes)
    if (chunkClass->StandsFor(name)) return chunkClass;
  return nullptr;
}

pngcodec::TChunkKinds::TKind& pngcodec::TChunkKinds::Of(const TChunkName& name) {
  for (const auto& [known, kind] : FNames)
    if (known == name) return *kind;
  const TChunkClass* chunkClass = RegisteredChunkClass(name);
  auto it = std::find_if(FKinds.begin(), FKinds.end(), [&](const TKind& k) { return k.Class == chunkClass; });
  if (it == FKinds.end()) it = FKinds.insert(FKinds.end(), TKind{chunkClass, Batched(chunkClass), 0, nullptr});
  if (FNames.size() < 16) FNames.emplace_back(name, &*it);
  return *it;
}

bool pngcodec::TChunkKinds::Batched(const TChunkClass* chunkClass) {
  static const TChunkClass* const kinds[] = {
      &ChunkClassOf<TChunkIHDR>(), &ChunkClassOf<TChunkgAMA>(), &ChunkClassOf<TChunktRNS>(),
      &ChunkClassOf<TChunkpHYs>(), &ChunkClassOf<TChunktIME>(), &ChunkClassOf<TChunktEXt>(),
      &ChunkClassOf<TChunkzTXt>()};
  return !chunkClass || std::find(std::begin(kinds), std::end(kinds), chunkClass) != std::end(kinds);
}

namespace {
// A new chunk of the class, or a plain chunk without one, named name.
std::unique_ptr<TChunk> CreateChunk(TPNGObject& owner, const TChunkClass* chunkClass, const TChunkName& name) {
  // A chunk of the class is named after its class, which is name.
  if (chunkClass) return chunkClass->Create(owner);
  auto chunk = std::make_unique<TChunk>(owner);
  chunk->SetName(name);
  return chunk;
}
}  // namespace

std::unique_ptr<TChunk> CreateChunkByName(TPNGObject& owner, const TChunkName& name) {
  return CreateChunk(owner, RegisteredChunkClass(name), name);
}

// --- TChunk ---------------------------------------------------------------------

int TChunk::GetIndex() const { return FOwner.ChunkList().IndexOf(this); }

TChunkIHDR& TChunk::GetHeader() const { return FOwner.Header(); }

void TChunk::Assign(const TChunk& source) {
  FName = source.FName;
  Data = source.Data;
}

bool TChunk::LoadFromStream(TStream& stream, const TChunkName& name, uint32_t size) {
  ResizeData(size);
  // A small chunk's data and CRC come in one read.
  if (size <= 64) {
    uint8_t read[64 + 4];
    ReadExact(stream, read, int64_t(size) + 4);
    std::copy_n(read, size, Data.data());
    if (GetU32(read + size) != ChunkCrc(name, Data.data(), size))
      throw EPngInvalidCRC(pnglang::EPngInvalidCRCText);
    return true;
  }
  ReadExact(stream, Data.data(), size);
  CheckCrc(stream, ChunkCrc(name, Data.data(), Data.size()));
  return true;
}

bool TChunk::SaveToStream(TStream& stream) {
  SaveData(stream);
  return true;
}

void TChunk::SaveData(TStream& stream) const { WriteChunk(stream, FName, Data.data(), Data.size()); }

// --- TPNGPointerList, TPNGList ------------------------------------------------------

void TPNGPointerList::Add(void* item) {
  FItems.push_back(item);
  ++FChanges;
}

bool TPNGPointerList::Insert(void* item, int position) {
  if (!FItems.empty() && (position < 0 || position >= Count())) return false;
  FItems.insert(FItems.empty() ? FItems.begin() : FItems.begin() + position, item);
  ++FChanges;
  return true;
}

void* TPNGPointerList::Remove(void* item) {
  for (int i = Count() - 1; i >= 0; --i)
    if (FItems[size_t(i)] == item) {
      FItems.erase(FItems.begin() + i);
      ++FChanges;
      return item;
    }
  return nullptr;
}

void* TPNGPointerList::GetItem(int index) const {
  return index >= 0 && index < Count() ? FItems[size_t(index)] : nullptr;
}

void TPNGPointerList::SetItem(int index, void* item) {
  if (index < 0 || index >= Count()) return;
  FItems[size_t(index)] = item;
  ++FChanges;
}

void TPNGPointerList::SetSize(int size) {
  FItems.resize(size_t(std::max(size, 0)), nullptr);
  ++FChanges;
}

TPNGList::~TPNGList() { Clear(); }

void TPNGList::Clear() {
  // Taken out first: a chunk's end may still look at the list.
  std::vector<void*> items;
  items.swap(FItems);
  ++FChanges;
  for (void* item : items) delete static_cast<TChunk*>(item);
}

TChunk* TPNGList::ItemFromClass(const TChunkClass& chunkClass) const { return Item(IndexOfClass(chunkClass)); }

int TPNGList::IndexOf(const TChunk* chunk) const {
  // A list holds a chunk once; the one just read is the last.
  if (chunk && !FItems.empty() && FItems.back() == chunk) return Count() - 1;
  if (chunk && chunk == FReadAtEnd) return Count();
  for (int i = 0; i < Count(); ++i)
    if (FItems[size_t(i)] == chunk) return i;
  return -1;
}

TChunk* TPNGList::Append(std::unique_ptr<TChunk> chunk) { return InsertAt(Count(), std::move(chunk)); }

TChunk* TPNGList::InsertAt(int index, std::unique_ptr<TChunk> chunk) {
  const bool known = FirstsKnown();
  const int at = std::clamp(index, 0, Count());
  FItems.insert(FItems.begin() + at, chunk.get());
  ++FChanges;
  if (known && at == Count() - 1) {
    for (TFirstOfClass& first : FFirsts)
      if (first.Index < 0 && first.Class->IsClassOf(*chunk)) first.Index = at;
    FFirstsChanges = FChanges;
  }
  return chunk.release();
}

void* TPNGList::Remove(void* item) {
  const bool known = FirstsKnown();
  const int last = Count() - 1;
  const bool lastOne = item && last >= 0 && FItems.back() == item;
  void* removed = TPNGPointerList::Remove(item);
  // The first of a class at the end was the only one.
  if (known && removed && lastOne) {
    for (TFirstOfClass& first : FFirsts)
      if (first.Index == last) first.Index = -1;
    FFirstsChanges = FChanges;
  }
  return removed;
}

void TPNGList::SetItem(int index, void* item) {
  const bool known = FirstsKnown();
  const uint64_t before = FChanges;
  TPNGPointerList::SetItem(index, item);
  if (!known || FChanges == before) return;
  const auto* chunk = static_cast<const TChunk*>(item);
  auto of = [&](const TFirstOfClass& first) { return chunk && first.Class->IsClassOf(*chunk); };
  // A first replaced by a chunk of another class leaves its class unknown.
  std::erase_if(FFirsts, [&](const TFirstOfClass& first) { return first.Index == index && !of(first); });
  for (TFirstOfClass& first : FFirsts)
    if (of(first) && (first.Index < 0 || first.Index > index)) first.Index = index;
  FFirstsChanges = FChanges;
}

void TPNGList::RemoveChunk(TChunk* chunk) {
  if (chunk && Remove(chunk)) delete chunk;
}

int TPNGList::IndexOfClass(const TChunkClass& chunkClass) const {
  if (!FirstsKnown()) {
    FFirsts.clear();
    FFirstsChanges = FChanges;
  }
  for (const TFirstOfClass& first : FFirsts)
    if (first.Class == &chunkClass) return first.Index;
  int index = -1;
  for (int i = 0; i < Count() && index < 0; ++i)
    if (Item(i) && chunkClass.IsClassOf(*Item(i))) index = i;
  FFirsts.push_back({&chunkClass, index});
  return index;
}

TChunk* TPNGList::Add(const TChunkClass& chunkClass) {
  auto is = [&](const TChunkClass& other) { return &chunkClass == &other; };
  const TChunkClass &header = ChunkClassOf<TChunkIHDR>(), &end = ChunkClassOf<TChunkIEND>(),
                    &data = ChunkClassOf<TChunkIDAT>(), &palette = ChunkClassOf<TChunkPLTE>();
  bool creating = Owner().Constructing();
  bool critical = is(header) || is(data) || is(palette) || is(end);
  bool single = is(ChunkClassOf<TChunkgAMA>()) || is(ChunkClassOf<TChunktRNS>()) || is(ChunkClassOf<TChunkpHYs>());
  if ((critical && !creating) || (single && IndexOfClass(chunkClass) >= 0))
    throw EPngError(pnglang::EPNGCannotAddChunkText);
  if (!creating && (IndexOfClass(end) < 0 || IndexOfClass(header) < 0))
    throw EPngError(pnglang::EPNGCannotAddInvalidImageText);
  int at;
  if (is(ChunkClassOf<TChunkgAMA>()) || is(ChunkClassOf<TChunkpHYs>()) || is(palette)) {
    at = IndexOfClass(header) + 1;
  } else if (is(end)) {
    at = Count();
  } else if (is(header)) {
    at = 0;
  } else if (is(ChunkClassOf<TChunktRNS>())) {
    int afterPalette = IndexOfClass(palette) + 1, firstData = IndexOfClass(data);
    at = afterPalette > 0 ? afterPalette : firstData >= 0 ? firstData : IndexOfClass(header) + 1;
  } else {
    int last = IndexOfClass(end);
    at = last >= 0 ? last : Count();
  }
  return InsertAt(at, chunkClass.Create(Owner()));
}

// --- TChunkIHDR -----------------------------------------------------------------

struct TChunkIHDR::TBuffers {
  std::unique_ptr<TDibSection> Image;
  std::vector<uint8_t> Alpha, LowBytes;
};

TChunkIHDR::TChunkIHDR(TPNGObject& owner) : TChunk(owner), FImage(CreateDib(0, 0, 24)) {}

TChunkIHDR::~TChunkIHDR() { FreeImageData(); }

void TChunkIHDR::FreeImageData() {
  Owner().ReleaseCanvasHandle(FDC.get());
  FDC.reset();
  if (FPalette) DeleteObject(FPalette);
  FPalette = nullptr;
  // The bitmap stays, of no pixels, so that every accessor keeps a bitmap
  // of the header's kind to look at.
  FImage->Width = FImage->Height = FImage->Stride = 0;
  TPixelBuffer().swap(FImage->Bits);
  FImage->ColorTable.clear();
  std::vector<uint8_t>().swap(AlphaPlane);
  std::vector<uint8_t>().swap(LowBytePlane);
  HeaderData.Width = HeaderData.Height = 0;
  ImageInfo.bmiHeader.biWidth = ImageInfo.bmiHeader.biHeight = 0;
}

TChunkIHDR::TBuffers TChunkIHDR::MakeBuffers(int width, int height) const {
  const TImageLayout layout = ImageLayout(HeaderData.ColorType, HeaderData.BitDepth, width, height);
  // A header that never passed its checks has no kind to make buffers of.
  if (!ValidColorTypeAndDepth(HeaderData.ColorType, HeaderData.BitDepth))
    throw EPngInvalidIHDR(pnglang::EPNGInvalidIHDRText);
  if (width <= 0 || height <= 0 || !layout.Fits()) throw EPNGOutMemory(pnglang::EPNGOutMemoryText);
  TBuffers buffers;
  try {
    buffers.Image.reset(CreateDib(width, height, layout.Bits));
    if (layout.AlphaBytes > 0) buffers.Alpha.assign(static_cast<size_t>(layout.AlphaBytes), 0);
    if (layout.LowByteBytes > 0) buffers.LowBytes.assign(static_cast<size_t>(layout.LowByteBytes), 0);
  } catch (const std::bad_alloc&) {
    throw EPNGOutMemory(pnglang::EPNGOutMemoryText);
  } catch (const EOutOfMemory&) {
    throw EPNGOutMemory(pnglang::EPNGOutMemoryText);
  }
  return buffers;
}

void TChunkIHDR::TakeBuffers(TBuffers& buffers) {
  FImage = std::move(buffers.Image);
  AlphaPlane = std::move(buffers.Alpha);
  LowBytePlane = std::move(buffers.LowBytes);
  if (!FDC) FDC.reset(CreateCompatibleDC());
  SelectObject(FDC.get(), FImage.get());
  Owner().SetCanvasHandle(FDC.get());
  HeaderData.Width = static_cast<uint32_t>(FImage->Width);
  HeaderData.Height = static_cast<uint32_t>(FImage->Height);
  BITMAPINFOHEADER& info = ImageInfo.bmiHeader;
  info = BITMAPINFOHEADER{};
  info.biSize = sizeof(BITMAPINFOHEADER);
  info.biWidth = FImage->Width;
  info.biHeight = FImage->Height;
  info.biPlanes = 1;
  info.biBitCount = static_cast<uint16_t>(FImage->BitCount);
  info.biCompression = BI_RGB;
  ColorTableChanged();
}

void TChunkIHDR::PrepareImageData() {
  TBuffers buffers;
  try {
    buffers = MakeBuffers(Width(), Height());
  } catch (...) {
    // The old buffers go either way; the header then holds no picture and
    // says so, so that nothing reads past the buffers it has.
    FreeImageData();
    throw;
  }
  TakeBuffers(buffers);
  InstallStartPalette();
}

void TChunkIHDR::InstallStartPalette() {
  std::fill(std::begin(ImageInfo.bmiColors), std::end(ImageInfo.bmiColors), RGBQUAD{});
  PaletteSize = 0;
  HPALETTE palette = nullptr;
  if (UsesPalette()) {
    // Palette pictures show the halftone colours until their PLTE arrives.
    if (HeaderData.ColorType == COLOR_PALETTE)
      palette = CreateHalftonePalette();
    else
      palette = CreateGrayscalePalette(Owner(), BitsPerPixel());
    ResizePalette(palette, 1u << BitsPerPixel());
    PaletteSize = 1 << BitsPerPixel();
  }
  SetImagePalette(palette, true);
}

void TChunkIHDR::ResizeImage(int width, int height) {
  TBuffers buffers = MakeBuffers(width, height);
  int rows = std::min(height, Height());
  size_t rowBytes = static_cast<size_t>(std::min(buffers.Image->Stride, RowStride()));
  size_t alphaBytes = static_cast<size_t>(std::min(width, Width()));
  for (int y = 0; y < rows; ++y) {
    std::memcpy(buffers.Image->ScanLine(y), ImageRow(y), rowBytes);
    if (!LowBytePlane.empty())
      std::memcpy(buffers.LowBytes.data() + size_t(y) * buffers.Image->Stride, LowByteRow(y), rowBytes);
    if (!AlphaPlane.empty()) std::memcpy(buffers.Alpha.data() + size_t(y) * width, AlphaRow(y), alphaBytes);
  }
  TakeBuffers(buffers);
}

void TChunkIHDR::SetImagePalette(HPALETTE palette, bool updateColors) {
  if (palette && !UsesPalette()) {
    DeleteObject(palette);
    return;
  }
  // A PNG palette holds 256 entries at most: a longer one is cut to its
  // first 256, the only ones a pixel of 8 bits or fewer can name.
  if (palette && GetPaletteEntries(palette, 0, 0, nullptr) > kMaxPaletteEntries) {
    if (palette->Stock) palette = CopyPalette(palette);
    ResizePalette(palette, kMaxPaletteEntries);
  }
  if (palette && updateColors) {
    size_t n = std::min(palette->Entries.size(), std::size(ImageInfo.bmiColors));
    for (size_t i = 0; i < n; ++i) {
      const PALETTEENTRY& e = palette->Entries[i];
      ImageInfo.bmiColors[i] = RGBQUAD{e.peBlue, e.peGreen, e.peRed, 0};
    }
    ColorTableChanged();
  }
  SelectPalette(FDC.get(), palette);
  if (FPalette && FPalette != palette) DeleteObject(FPalette);
  FPalette = palette;
}

void TChunkIHDR::ColorTableChanged() {
  if (UsesPalette())
    FImage->ColorTable.assign(ImageInfo.bmiColors, ImageInfo.bmiColors + (1 << BitsPerPixel()));
  else
    FImage->ColorTable.clear();
}

void TChunkIHDR::Assign(const TChunk& source) {
  auto* other = dynamic_cast<const TChunkIHDR*>(&source);
  if (!other) throw EPngError(pnglang::EPNGCannotAssignChunkText);
  TChunk::Assign(source);
  HeaderData = other->HeaderData;
  // A copy of a header that holds no picture holds none either.
  if (other->Width() == 0 || other->Height() == 0) {
    FreeImageData();
    return;
  }
  PrepareImageData();
  FImage->Bits = other->FImage->Bits;
  AlphaPlane = other->AlphaPlane;
  LowBytePlane = other->LowBytePlane;
  std::copy(std::begin(other->ImageInfo.bmiColors), std::end(other->ImageInfo.bmiColors), ImageInfo.bmiColors);
  PaletteSize = other->PaletteSize;
  ColorTableChanged();
  if (other->FPalette) SetImagePalette(CopyPalette(other->FPalette), false);
}

bool TChunkIHDR::LoadFromStream(TStream& stream, const TChunkName& name, uint32_t size) {
  TChunk::LoadFromStream(stream, name, size);
  // The header is taken only once it has passed every check: a header that
  // fails leaves the chunk holding no picture.
  HeaderData = CheckedHeaderData(Data.data(), Data.size());
  // The picture is the first header's. A later one keeps its bytes and its
  // kind but holds no picture and leaves the interlacing alone, so that
  // nothing decodes or draws by its size, kind or interlacing.
  if (LaterHeader()) {
    FreeImageData();
    return true;
  }
  Owner().InterlaceMethod = static_cast<TInterlaceMethod>(HeaderData.InterlaceMethod);
  PrepareImageData();
  return true;
}

bool TChunkIHDR::LaterHeader() const { return GetIndex() > 0; }

void TChunkIHDR::WidenTwoBitDepth() {
  if (HeaderData.BitDepth != 2) return;
  HeaderData.BitDepth = 4;
  auto* trns = Owner().ChunkList().FindChunk<TChunktRNS>();
  if (trns && HeaderData.ColorType == COLOR_GRAYSCALE && trns->DataSize() == 2 && trns->AlphaValues[0] == 0 &&
      trns->AlphaValues[1] < 4)
    trns->AlphaValues[1] = static_cast<uint8_t>(trns->AlphaValues[1] * 5);
}

bool TChunkIHDR::SaveToStream(TStream& stream) {
  // A file has one header; a later one read from a file is not written.
  if (LaterHeader()) return true;
  WidenTwoBitDepth();
  ResizeData(13);
  PutU32(Data.data(), HeaderData.Width);
  PutU32(Data.data() + 4, HeaderData.Height);
  Data[8] = HeaderData.BitDepth;
  Data[9] = HeaderData.ColorType;
  Data[10] = HeaderData.CompressionMethod;
  Data[11] = HeaderData.FilterMethod;
  Data[12] = Owner().InterlaceMethod;
  SaveData(stream);
  return true;
}

// --- TChunkIDAT -----------------------------------------------------------------

void TChunkIDAT::StartImageData() {
  HeaderChunk = &GetHeader();
  ImageWidth = HeaderChunk->Width();
  ImageHeight = HeaderChunk->Height();
  Owner().GetPixelInfo(LineBytes, PixelStride);
}

void TChunkIDAT::PreparePalette() {
  int colorType = HeaderChunk->HeaderData.ColorType;
  if (colorType == COLOR_GRAYSCALE || colorType == COLOR_GRAYSCALEALPHA)
    Owner().SetPalette(CreateGrayscalePalette(Owner(), HeaderChunk->BitsPerPixel()));
}

bool TChunkIDAT::LoadFromStream(TStream& stream, const TChunkName&, uint32_t size) {
  Owner().SettleGamma();
  StartImageData();
  if (HeaderChunk->UsesPalette()) PreparePalette();
  DecodeImageData(*this, stream, size);
  return true;
}

bool TChunkIDAT::SaveToStream(TStream& stream) {
  // The header is written first and has widened a depth of 2 already; a
  // chunk written on its own widens it here.
  GetHeader().WidenTwoBitDepth();
  StartImageData();
  EncodeImageData(*this, stream);
  return true;
}

// --- TPNGObject -----------------------------------------------------------------

TPNGObject::TPNGObject() : FCanvas(std::make_unique<TCanvas>()), FChunks(*this) { InitializeGamma(); }

TPNGObject::TPNGObject(int colorType, int bitDepth, int width, int height) : TPNGObject() {
  if (!ValidColorTypeAndDepth(colorType, bitDepth) || width < 1 || height < 1 || width > 65535 ||
      height > 65535)
    throw EPNGInvalidSpec(pnglang::EInvalidSpec);
  FConstructing = true;
  FChunks.Add<TChunkIEND>();
  TChunkIHDR* header = FChunks.Add<TChunkIHDR>();
  header->HeaderData.Width = static_cast<uint32_t>(width);
  header->HeaderData.Height = static_cast<uint32_t>(height);
  header->HeaderData.BitDepth = static_cast<uint8_t>(bitDepth == 2 ? 4 : bitDepth);
  header->HeaderData.ColorType = static_cast<uint8_t>(colorType);
  header->PrepareImageData();
  if (colorType == COLOR_PALETTE) FChunks.Add<TChunkPLTE>();
  FChunks.Add<TChunkIDAT>();
  FConstructing = false;
}

TPNGObject::~TPNGObject() { ClearChunks(); }

void TPNGObject::SetCanvasHandle(HDC dc) {
  FCanvasDC = dc;
  FCanvas->SetHandle(dc);
}

void TPNGObject::ReleaseCanvasHandle(HDC dc) {
  if (dc && dc == FCanvasDC) SetCanvasHandle(nullptr);
}

void TPNGObject::InitializeGamma() {
  for (int i = 0; i < 256; ++i)
    GammaLookup[size_t(i)] = InverseGammaLookup[size_t(i)] = static_cast<uint8_t>(i);
  FGammaBuilt = FGammaTaken = 0;
}

void TPNGObject::BuildGamma(uint32_t value) {
  // Building the same value again writes what the tables hold.
  if (value == 0 || value == FGammaBuilt) return;
  double exponent = 1.0 / (value / 100000.0 * 2.2);
  for (int i = 0; i < 256; ++i) InverseGammaLookup[size_t(i)] = static_cast<uint8_t>(i);
  for (int i = 0; i < 256; ++i) {
    auto g = static_cast<uint8_t>(std::nearbyint(std::pow(i / 255.0, exponent) * 255.0));
    GammaLookup[size_t(i)] = g;
    InverseGammaLookup[g] = static_cast<uint8_t>(i);
  }
  FGammaBuilt = value;
  ++FGammaBuilds;
}

void TPNGObject::TakeGamma(uint32_t value) {
  FGammaTaken = value;
  if (!FReading) SettleGamma();
}

void TPNGObject::SettleGamma() {
  if (FGammaTaken == FGammaBuilt) return;
  if (FGammaTaken == 0) {
    InitializeGamma();
    return;
  }
  BuildGamma(FGammaTaken);
}

void TPNGObject::ClearChunks() {
  InitializeGamma();
  FChunks.Clear();
  FTextRoom = TTextRoom();
}

TChunkIHDR* TPNGObject::FindHeader() const {
  // Every chunk read asks for it.
  TChunk* first = FChunks.Item(0);
  return first && ChunkClassOf<TChunkIHDR>().IsClassOf(*first) ? static_cast<TChunkIHDR*>(first) : nullptr;
}

bool TPNGObject::HeaderPresent() const { return FindHeader() != nullptr; }

TChunkIHDR& TPNGObject::Header() const {
  TChunkIHDR* header = FindHeader();
  if (!header) throw EPNGHeaderNotPresent(pnglang::EPNGHeaderNotPresentText);
  return *header;
}

void TPNGObject::GetPixelInfo(int64_t& lineSize, int& offset) const {
  lineSize = 0;
  offset = 0;
  if (!HeaderPresent()) return;
  const TIHDRData& h = Header().HeaderData;
  lineSize = BytesForPixels(Header().Width(), h.ColorType, h.BitDepth);
  offset = PixelStride(h.ColorType, h.BitDepth);
}

int TPNGObject::Width() const {
  const TChunkIHDR* header = FindHeader();
  return header ? header->Width() : 0;
}
int TPNGObject::Height() const {
  const TChunkIHDR* header = FindHeader();
  return header ? header->Height() : 0;
}

void TPNGObject::Resize(int width, int height) {
  if (width <= 0 || height <= 0) throw EPNGInvalidNewSize(pnglang::EInvalidNewSize);
  Header().ResizeImage(width, height);
  Changed();
}

uint8_t* TPNGObject::Scanline(int row) const {
  TChunkIHDR& header = Header();
  return row >= 0 && row < header.Height() ? header.ImageRow(row) : nullptr;
}

uint8_t* TPNGObject::ExtraScanline(int row) const {
  TChunkIHDR& header = Header();
  return row >= 0 && row < header.Height() && !header.LowBytePlane.empty() ? header.LowByteRow(row) : nullptr;
}

uint8_t* TPNGObject::AlphaScanline(int row) const {
  TChunkIHDR& header = Header();
  return row >= 0 && row < header.Height() && !header.AlphaPlane.empty() ? header.AlphaRow(row) : nullptr;
}

HPALETTE TPNGObject::Palette() { return HeaderPresent() ? Header().ImagePalette() : nullptr; }

void TPNGObject::SetPalette(HPALETTE palette) { DoSetPalette(palette, true); }

void TPNGObject::DoSetPalette(HPALETTE palette, bool updateColors) {
  if (HeaderPresent())
    Header().SetImagePalette(palette, updateColors);
  else if (palette)
    DeleteObject(palette);
}

TPNGTransparencyMode TPNGObject::TransparencyMode() const {
  if (!HeaderPresent()) return ptmNone;
  auto* trns = FChunks.FindChunk<TChunktRNS>();
  switch (Header().HeaderData.ColorType) {
    case COLOR_GRAYSCALE:
    case COLOR_RGB:
      return trns ? ptmBit : ptmNone;
    case COLOR_PALETTE:
      if (!trns) return ptmNone;
      return trns->OnOffTransparency ? ptmBit : ptmPartial;
    default:
      return ptmPartial;
  }
}

TColor TPNGObject::TransparentColor() const {
  auto* trns = FChunks.FindChunk<TChunktRNS>();
  return trns ? trns->GetTransparentColor() : 0;
}

void TPNGObject::SetTransparentColor(TColor color) {
  if (!HeaderPresent()) return;
  switch (Header().HeaderData.ColorType) {
    case COLOR_GRAYSCALEALPHA:
    case COLOR_RGBALPHA:
      throw EPNGCannotChangeTransparent(pnglang::EPNGCannotChangeTransparentText);
    default: {
      auto* trns = FChunks.FindChunk<TChunktRNS>();
      if (!trns) trns = FChunks.Add<TChunktRNS>();
      trns->SetTransparentColor(ColorToRGB(color));
      Changed();
    }
  }
}

void TPNGObject::AddtEXt(const std::string& keyword, const std::string& text) {
  TChunktEXt* chunk = FChunks.Add<TChunktEXt>();
  chunk->Keyword = keyword;
  chunk->Text = text;
}

void TPNGObject::AddzTXt(const std::string& keyword, const std::string& text) {
  TChunkzTXt* chunk = FChunks.Add<TChunkzTXt>();
  chunk->Keyword = keyword;
  chunk->Text = text;
}

namespace {
// Whether a chunk just read (of a kind a batch keeps; text: a TChunktEXt)
// is small enough for a batch.
bool Batchable(const TChunk& chunk, bool text) {
  int64_t bytes = chunk.DataSize();
  if (text) bytes += int64_t(static_cast<const TChunktEXt&>(chunk).Keyword.size()) +
                     int64_t(static_cast<const TChunktEXt&>(chunk).Text.size());
  return bytes <= kMaxBatchedBytes;
}
}  // namespace

void TPNGObject::LoadFromStream(TStream& source) {
  ClearChunks();
  // Chunks come a few bytes at a time, and a file may hold millions.
  TBufferedReadStream stream(source);
  uint8_t signature[8];
  if (stream.Read(signature, 8) != 8 || std::memcmp(signature, kSignature, 8) != 0)
    throw EPNGInvalidFileHeader(pnglang::EPNGInvalidFileHeaderText);
  FReading = true;
  try {
    // A failure leaves the chunks read so far, the failing one included.
    bool imageDataSeen = false;
    TChunkKinds kinds;
    for (;;) {
      uint32_t length;
      TChunkName name;
      ReadChunkHeader(stream, length, name);
      if (FChunks.Count() == 0 && name != "IHDR") throw EPNGIHDRNotFirst(pnglang::EPNGIHDRNotFirstText);
      // The image data reader takes the whole first run of IDAT chunks; a
      // later run, and chromaticities, are passed over.
      if ((imageDataSeen && name == "IDAT") || name == "cHRM") {
        stream.Seek(int64_t(length) + 4, soCurrent);
        continue;
      }
      if (name == "IDAT") imageDataSeen = true;
      TChunkKinds::TKind& kind = kinds.Of(name);
      // A critical chunk (upper-case first letter) of no registered class
      // cannot be understood.
      if (!kind.Class && !(name.Chars[0] & 0x20) && name.Chars[0] != 0) {
        FChunks.Append(CreateChunk(*this, nullptr, name));
        RaiseError<EPNGUnknownCriticalChunk>(pnglang::EPNGUnknownCriticalChunkText);
      }
      // Past the objects its kind keeps, a chunk is read by the kind's
      // reader, as though it stood last in the list; a small one then goes
      // into the batch, a large one into the list.
      if (++kind.Count > kMaxChunkObjects && kind.Batched) {
        if (!kind.Reader) kind.Reader = CreateChunk(*this, kind.Class, name);
        TChunk& chunk = *kind.Reader;
        chunk.SetName(name);
        FChunks.ReadAtEnd(&chunk);
        bool more;
        try {
          more = chunk.LoadFromStream(stream, name, length);
        } catch (...) {
          FChunks.ReadAtEnd(nullptr);
          FChunks.Append(std::move(kind.Reader));
          throw;
        }
        FChunks.ReadAtEnd(nullptr);
        const bool text = kind.Class == &ChunkClassOf<TChunktEXt>() || kind.Class == &ChunkClassOf<TChunkzTXt>();
        if (!Batchable(chunk, text)) {
          FChunks.Append(std::move(kind.Reader));
        } else if (kind.Class != &ChunkClassOf<TChunkIHDR>()) {
          TChunk* last = FChunks.Item(FChunks.Count() - 1);
          if (&last->ChunkClass() != &ChunkClassOf<TChunkBatch>())
            last = FChunks.Append(std::make_unique<TChunkBatch>(*this));
          static_cast<TChunkBatch*>(last)->Keep(chunk);
        }
        if (!more) break;
        continue;
      }
      TChunk* chunk = FChunks.Append(CreateChunk(*this, kind.Class, name));
      // A chunk that answers false ends the file here.
      bool more = chunk->LoadFromStream(stream, name, length);
      if (kind.Class == &ChunkClassOf<TChunkPLTE>()) PlacePalette(static_cast<TChunkPLTE&>(*chunk), imageDataSeen);
      if (!more || name == "IEND") break;
    }
    if (!imageDataSeen) throw EPNGNoImageData(pnglang::EPNGNoImageDataText);
    // A palette picture whose palette never came (or held no colour) has no
    // colours: shown in the halftone colours it starts with, it would be a
    // wrong picture.
    if (Header().HeaderData.ColorType == COLOR_PALETTE && !FChunks.FindChunk<TChunkPLTE>())
      throw EPNGMissingPalette(pnglang::EPNGMissingPaletteText);
  } catch (...) {
    try {
      EndReading();
    } catch (...) {
      // The first failure is the one to tell.
    }
    throw;
  }
  EndReading();
  Changed();
}

void TPNGObject::EndReading() {
  FReading = false;
  FTextRoom.EndInflating();
  SettleGamma();
  if (auto* palette = FChunks.FindChunk<TChunkPLTE>()) palette->TakeColors();
}

void TPNGObject::PlacePalette(TChunkPLTE& palette, bool imageDataSeen) {
  // An empty palette holds no colour (and other readers refuse it): it is
  // not kept, and the picture is as without it.
  if (palette.EntryCount == 0) {
    FChunks.RemoveChunk(&palette);
    return;
  }
  // A file holds one palette. The picture is drawn with the last one read,
  // so that one is kept, in the place of the one it replaces; the other is
  // neither used nor written.
  if (auto* earlier = FChunks.FindChunk<TChunkPLTE>(); earlier && earlier != &palette) {
    int at = FChunks.IndexOfClass<TChunkPLTE>();
    FChunks.Remove(&palette);
    FChunks.SetItem(at, &palette);
    delete earlier;
    return;
  }
  // A palette read after the image data (it has coloured the indices
  // decoded already) takes its place before them, and before the palette's
  // alphas there, as a file must hold it: the picture is written back as a
  // file that other readers take.
  if (imageDataSeen) {
    int at = FChunks.IndexOfClass<TChunkIDAT>(), alphas = FChunks.IndexOfClass<TChunktRNS>();
    if (alphas >= 0) at = std::min(at, alphas);
    FChunks.Remove(&palette);
    FChunks.Insert(&palette, at);
  }
}

void TPNGObject::SaveToStream(TStream& stream) {
  stream.WriteBuffer(kSignature, 8);
  for (int i = 0; i < FChunks.Count(); ++i)
    if (TChunk* chunk = FChunks.Item(i)) chunk->SaveToStream(stream);
}

void TPNGObject::Assign(const TPersistent* source) {
  if (!source) {
    ClearChunks();
  } else if (auto* png = dynamic_cast<const TPNGObject*>(source)) {
    if (png != this) AssignPNG(*png);
  } else if (auto* bitmap = dynamic_cast<const TBitmap*>(source)) {
    AssignHandle(bitmap->Handle(), bitmap->Transparent(), ColorToRGB(bitmap->TransparentColor()));
  } else {
    TGraphic::Assign(source);
    return;
  }
  Changed();
}

void TPNGObject::AssignPNG(const TPNGObject& source) {
  InterlaceMethod = source.InterlaceMethod;
  SetMaxIdatSize(source.MaxIdatSize());
  CompressionLevel = source.CompressionLevel;
  Filters = source.Filters;
  ClearChunks();
  for (int i = 0; i < source.FChunks.Count(); ++i) {
    if (!source.FChunks.Item(i)) continue;
    const TChunk& from = *source.FChunks.Item(i);
    TChunk* chunk = FChunks.Append(from.ChunkClass().Create(*this));
    chunk->Assign(from);
  }
  GammaLookup = source.GammaLookup;
  InverseGammaLookup = source.InverseGammaLookup;
  FGammaBuilt = FGammaTaken = source.FGammaBuilt;
}

void TPNGObject::AssignHandle(HBITMAP handle, bool transparent, TColor transparentColor) {
  if (!handle || handle->Width == 0 || handle->Height == 0) throw EPNGInvalidSpec(pnglang::EInvalidSpec);
  const TDibSection& dib = *handle;
  if (dib.Width > 65535 || dib.Height > 65535) throw EPNGSizeExceeds(pnglang::EPNGSizeExceedsText);
  ClearChunks();
  int bits = dib.Monochrome ? 1 : dib.BitCount;
  bool indexed = bits < 16;
  auto header = std::make_unique<TChunkIHDR>(*this);
  header->HeaderData.Width = static_cast<uint32_t>(dib.Width);
  header->HeaderData.Height = static_cast<uint32_t>(dib.Height);
  header->HeaderData.BitDepth = static_cast<uint8_t>(indexed ? bits : 8);
  header->HeaderData.ColorType = indexed ? COLOR_PALETTE : COLOR_RGB;
  header->PrepareImageData();
  if (indexed) {
    for (int y = 0; y < dib.Height; ++y)
      std::memcpy(header->ImageRow(y), dib.ScanLine(y), static_cast<size_t>(dib.Stride));
    std::vector<RGBQUAD> table =
        dib.Monochrome ? std::vector<RGBQUAD>{{0, 0, 0, 0}, {255, 255, 255, 0}} : dib.ColorTable;
    RGBQUAD* colors = header->ImageInfo.bmiColors;
    std::fill_n(colors, 256, RGBQUAD{});
    std::copy_n(table.begin(), std::min<size_t>(table.size(), size_t(1) << bits), colors);
    header->ColorTableChanged();
  } else {
    for (int y = 0; y < dib.Height; ++y) DibReadRow(dib, y, 0, dib.Width, header->ImageRow(y));
  }
  TChunkIHDR* h = header.get();
  FChunks.Append(std::move(header));
  TChunkPLTE* palette =
      indexed ? static_cast<TChunkPLTE*>(FChunks.Append(std::make_unique<TChunkPLTE>(*this))) : nullptr;
  auto* trns = transparent ? static_cast<TChunktRNS*>(FChunks.Append(std::make_unique<TChunktRNS>(*this))) : nullptr;
  FChunks.Append(std::make_unique<TChunkIDAT>(*this));
  FChunks.Append(std::make_unique<TChunkIEND>(*this));
  if (palette) {
    palette->EntryCount = 1 << bits;
    std::vector<PALETTEENTRY> entries(static_cast<size_t>(palette->EntryCount));
    for (size_t i = 0; i < entries.size(); ++i)
      entries[i] = {h->ImageInfo.bmiColors[i].rgbRed, h->ImageInfo.bmiColors[i].rgbGreen,
                    h->ImageInfo.bmiColors[i].rgbBlue, 0};
    DoSetPalette(CreatePalette(entries.data(), palette->EntryCount), false);
  }
  if (trns) trns->SetTransparentColor(transparentColor);
}

void TPNGObject::AssignTo(TPersistent* dest) const {
  if (auto* png = dynamic_cast<TPNGObject*>(dest)) {
    png->Assign(this);
    return;
  }
  auto* bitmap = dynamic_cast<TBitmap*>(dest);
  if (!bitmap || !HeaderPresent()) {
    TGraphic::AssignTo(dest);
    return;
  }
  const TChunkIHDR& header = Header();
  TPNGTransparencyMode mode = TransparencyMode();
  int colorType = header.HeaderData.ColorType, depth = header.HeaderData.BitDepth;
  // Pictures drawn by their alpha become 24-bit; so do palette pictures with
  // transparent entries, whose own palette may lack the white that the
  // transparent pixels keep. The others keep their colours in an indexed
  // bitmap with the picture's colour table.
  TPixelFormat format = pf24bit;
  if (mode == ptmNone || (mode == ptmBit && colorType != COLOR_PALETTE)) {
    if (depth == 1)
      format = pf1bit;
    else if (depth == 2 || depth == 4)
      format = pf4bit;
    else if (colorType == COLOR_PALETTE)
      format = pf8bit;
  }
  bitmap->SetPixelFormat(format);
  if (format != pf24bit)
    bitmap->SetColorTable(
        {header.ImageInfo.bmiColors, header.ImageInfo.bmiColors + (1 << header.BitsPerPixel())});
  bitmap->SetSize(Width(), Height());
  DrawTo(bitmap->Canvas()->Handle(), Rect(0, 0, Width(), Height()));
  if (mode == ptmBit) {
    // A palette picture whose entries are all opaque has no transparent
    // colour to hand on.
    auto* trns = FChunks.FindChunk<TChunktRNS>();
    bool anyClear =
        colorType != COLOR_PALETTE ||
        std::find(trns->AlphaValues.begin(), trns->AlphaValues.end(), 0) != trns->AlphaValues.end();
    if (anyClear) {
      bitmap->SetTransparentColor(TransparentColor());
      bitmap->SetTransparent(true);
    }
  }
}

void TPNGObject::Draw(TCanvas& canvas, const TRect& rect) {
  if (!Empty()) DrawTo(canvas.Handle(), rect);
}

void TPNGObject::LoadFromClipboardFormat(uint16_t format, HGLOBAL data, HPALETTE palette) {
  TBitmap bitmap;
  bitmap.LoadFromClipboardFormat(format, data, palette);
  AssignHandle(bitmap.Handle(), false, 0);
  Changed();
}

void TPNGObject::SaveToClipboardFormat(uint16_t& format, HGLOBAL& data, HPALETTE& palette) {
  TBitmap bitmap;
  bitmap.SetPixelFormat(pf24bit);
  bitmap.SetSize(Width(), Height());
  Draw(*bitmap.Canvas(), Rect(0, 0, Width(), Height()));
  bitmap.SaveToClipboardFormat(format, data, palette);
}

void TPNGObject::DrawTo(HDC dc, const TRect& rect) const {
  // A header that failed holds no picture.
  if (Width() == 0 || Height() == 0) return;
  if (TransparencyMode() == ptmNone) {
    SetStretchBltMode(dc, COLORONCOLOR);
    StretchBlt(dc, rect.Left, rect.Top, rect.Width(), rect.Height(), Header().ImageDC(), 0, 0, Width(),
               Height(), SRCCOPY);
  } else {
    DrawPartialTrans(dc, rect);
  }
}

void TPNGObject::DrawPartialTrans(HDC dc, const TRect& rect) const {
  TRect r{std::min(rect.Left, rect.Right), std::min(rect.Top, rect.Bottom), std::max(rect.Left, rect.Right),
          std::max(rect.Top, rect.Bottom)};
  int w = r.Width(), h = r.Height();
  if (w == 0 || h == 0) return;
  const TChunkIHDR& header = Header();
  std::unique_ptr<TDibSection> work;
  try {
    work.reset(CreateDib(w, h, 24));
  } catch (const EOutOfMemory&) {
    throw EPNGOutMemory(pnglang::EPNGOutMemoryText);
  }
  std::unique_ptr<TDeviceContext> workDC(CreateCompatibleDC());
  SelectObject(workDC.get(), work.get());
  BitBlt(workDC.get(), 0, 0, w, h, dc, r.Left, r.Top, SRCCOPY);
  int colorType = header.HeaderData.ColorType, bits = header.BitsPerPixel();
  TPixelAlpha alphas(*this, header);
  std::vector<int> columns(static_cast<size_t>(w));
  for (int i = 0; i < w; ++i) columns[size_t(i)] = static_cast<int>(int64_t(i) * Width() / w);
  for (int j = 0; j < h; ++j) {
    int sy = static_cast<int>(int64_t(j) * Height() / h);
    const uint8_t* source = header.ImageRow(sy);
    uint8_t* target = work->ScanLine(j);
    for (int i = 0; i < w; ++i, target += 3) {
      int sx = columns[size_t(i)];
      uint8_t c[3], a;
      if (bits == 24) {
        std::memcpy(c, source + 3 * sx, 3);
        a = alphas.Rgb(c, sy, sx);
      } else {
        int index = IndexAt(source, sx, bits);
        const RGBQUAD& q = header.ImageInfo.bmiColors[index];
        c[0] = q.rgbBlue, c[1] = q.rgbGreen, c[2] = q.rgbRed;
        // Grey + alpha pictures blend the grey sample itself.
        if (colorType == COLOR_GRAYSCALEALPHA) c[0] = c[1] = c[2] = static_cast<uint8_t>(index);
        a = colorType == COLOR_PALETTE ? alphas.Palette(index) : alphas.Grey(index, sy, sx);
      }
      for (int k = 0; k < 3; ++k)
        target[k] = static_cast<uint8_t>((c[k] * a + 255 + (255 - a) * target[k]) >> 8);
    }
  }
  BitBlt(dc, r.Left, r.Top, w, h, workDC.get(), 0, 0, SRCCOPY);
}

namespace {
// Whether the picture class is registered with TPicture.
struct TFormatRegistration {
  std::mutex Lock;
  bool Registered = false;
};

TFormatRegistration& FormatRegistration() {
  static TFormatRegistration registration;
  return registration;
}
}  // namespace

void RegisterPngFormat() {
  TFormatRegistration& registration = FormatRegistration();
  std::lock_guard<std::mutex> guard(registration.Lock);
  if (registration.Registered) return;
  TPicture::RegisterFileFormat("png", "Portable Network Graphics",
                               [] { return std::unique_ptr<TGraphic>(new TPNGObject); });
  registration.Registered = true;
}

void UnregisterPngFormat() {
  TFormatRegistration& registration = FormatRegistration();
  std::lock_guard<std::mutex> guard(registration.Lock);
  if (!registration.Registered) return;
  TPicture::UnregisterFileFormat("png");
  registration.Registered = false;
}
