// The palette, transparency, gamma, physical size, time and text chunks.
#include <zlib.h>

#include <algorithm>

#include "png/pngcodec.h"
#include "png/pnglang.h"

using namespace pngcodec;

namespace {
bool DeflateText(const std::string& text, int level, std::vector<uint8_t>& out) {
  z_stream zs{};
  if (deflateInit(&zs, level) != Z_OK) return false;
  zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
  zs.avail_in = static_cast<uInt>(text.size());
  uint8_t block[16384];
  int rc;
  do {
    zs.next_out = block;
    zs.avail_out = sizeof block;
    rc = deflate(&zs, Z_FINISH);
    out.insert(out.end(), block, block + (sizeof block - zs.avail_out));
  } while (rc == Z_OK);
  deflateEnd(&zs);
  return rc == Z_STREAM_END;
}

// The position of the zero byte that ends the keyword, or -1.
int KeywordEnd(const std::vector<uint8_t>& data) {
  auto zero = std::find(data.begin(), data.end(), 0);
  return zero == data.end() ? -1 : static_cast<int>(zero - data.begin());
}

// The bytes in memory as one block (none when there are none). Small
// enough to be held in the function object itself.
TTextInput OneBlock(const uint8_t* data, size_t size) {
  return [data, size](const uint8_t*& block, size_t& count) mutable {
    if (size == 0) return false;
    block = data, count = size, size = 0;
    return true;
  };
}
}  // namespace

namespace pngcodec {

int64_t InflateText(const TTextInput& input, int64_t limit, std::string* text, int64_t* inflated) {
  return TTextInflater().Inflate(input, limit, text, inflated);
}

}  // namespace pngcodec

int64_t TTextInflater::Inflate(const TTextInput& input, int64_t limit, std::string* text, int64_t* inflated,
                               std::string* small) {
  if (inflated) *inflated = 0;
  if (!Ready) Ready = inflateInit(&Stream) == Z_OK;
  if (!Ready || inflateReset(&Stream) != Z_OK) return kTextNotInflated;
  // What a stream before left unread (it failed, or ended before its
  // data did) is not this one's.
  z_stream& zs = Stream;
  zs.next_in = nullptr;
  zs.avail_in = 0;
  uint8_t block[16384];
  int64_t size = 0, outcome = kTextNotInflated;
  bool more = true;
  for (;;) {
    if (zs.avail_in == 0 && more) {
      const uint8_t* next = nullptr;
      size_t count = 0;
      more = input(next, count);
      zs.next_in = const_cast<Bytef*>(next);
      zs.avail_in = more ? static_cast<uInt>(count) : 0;
    }
    zs.next_out = block;
    zs.avail_out = sizeof block;
    // Every call with input left and room for output makes progress; a
    // stream that stops short or wants a dictionary fails.
    const int rc = inflate(&zs, Z_NO_FLUSH);
    const size_t made = sizeof block - zs.avail_out;
    size += int64_t(made);
    if (size > limit) {
      outcome = kTextTooLong;
      break;
    }
    if (text) text->append(reinterpret_cast<char*>(block), made);
    if (rc == Z_STREAM_END) {
      outcome = size;
      if (small && size_t(size) == made) small->assign(reinterpret_cast<char*>(block), made);
      break;
    }
    // A call that found no input waits for the next block.
    if (rc != Z_OK && !(rc == Z_BUF_ERROR && zs.avail_in == 0 && more)) break;
  }
  if (inflated) *inflated = size;
  return outcome;
}

// --- The room for text ------------------------------------------------------------

TTextRoom::TTextRoom() = default;
TTextRoom::~TTextRoom() = default;
TTextRoom::TTextRoom(TTextRoom&&) noexcept = default;
TTextRoom& TTextRoom::operator=(TTextRoom&&) noexcept = default;

void TTextRoom::EndInflating() { FInflater.reset(); }

bool TTextRoom::InflateAgain(const TTextInput& input, int64_t length, std::string& text) {
  if (!FInflater) FInflater = std::make_unique<TTextInflater>();
  text.clear();
  text.reserve(static_cast<size_t>(length));
  if (FInflater->Inflate(input, length, &text) == length) return true;
  text.clear();
  return false;
}

bool TTextRoom::Take(int64_t bytes) {
  if (bytes < 0 || bytes > FLeft) return false;
  FLeft -= bytes;
  return true;
}

int64_t TTextRoom::Inflate(const TTextInput& input, std::string* small) {
  if (FLeft <= 0) return kTextTooLong;
  const int64_t bound = std::min(kMaxChunkTextBytes, FLeft);
  int64_t inflated = 0;
  if (!FInflater) FInflater = std::make_unique<TTextInflater>();
  const int64_t outcome = FInflater->Inflate(input, bound, nullptr, &inflated, small);
  FLeft -= outcome == kTextTooLong ? bound : inflated;
  return outcome;
}

// --- PLTE -------------------------------------------------------------------------

void TChunkPLTE::Assign(const TChunk& source) {
  auto* other = dynamic_cast<const TChunkPLTE*>(&source);
  if (!other) throw EPngError(pnglang::EPNGCannotAssignChunkText);
  TChunk::Assign(source);
  EntryCount = other->EntryCount;
}

bool TChunkPLTE::LoadFromStream(TStream& stream, const TChunkName& name, uint32_t size) {
  TChunk::LoadFromStream(stream, name, size);
  if (size % 3 != 0 || size / 3 > 256) throw EPNGInvalidPalette(pnglang::EPNGInvalidPaletteText);
  EntryCount = static_cast<int>(size / 3);
  // A file's palette (the last, see TPNGObject::PlacePalette) colours the
  // picture once the whole file is read: nothing needs the colours before,
  // and a file may hold any number of palettes. The gamma that counts for
  // it is the one read before it, as no later one counts.
  if (!Owner().Reading()) TakeColors();
  return true;
}

void TChunkPLTE::TakeColors() {
  // Other pictures may carry a suggested palette; it is kept as it is. An
  // empty palette gives no colours and leaves the picture's alone.
  TChunkIHDR& header = GetHeader();
  if (header.HeaderData.ColorType != COLOR_PALETTE || EntryCount == 0) return;
  // A palette read after another replaces it whole: indices past its
  // entries show the colours they start with, as in a file that holds this
  // palette alone.
  if (Owner().ChunkList().FindChunk<TChunkPLTE>() != this) header.InstallStartPalette();
  Owner().SettleGamma();
  const auto& gamma = Owner().GammaLookup;
  std::vector<PALETTEENTRY> entries(static_cast<size_t>(EntryCount));
  for (size_t i = 0; i < entries.size(); ++i)
    entries[i] = {gamma[Data[3 * i]], gamma[Data[3 * i + 1]], gamma[Data[3 * i + 2]], 0};
  Owner().SetPalette(CreatePalette(entries.data(), EntryCount));
}

bool TChunkPLTE::SaveToStream(TStream& stream) {
  TChunkIHDR& header = GetHeader();
  if (header.HeaderData.ColorType != COLOR_PALETTE) return TChunk::SaveToStream(stream);
  // No more entries than a PNG palette holds, whatever the count says.
  const int most = static_cast<int>(kMaxPaletteEntries);
  EntryCount = std::clamp(EntryCount, 0, most);
  if (EntryCount == 0) EntryCount = std::clamp(header.PaletteSize, 0, most);
  std::vector<PALETTEENTRY> entries(static_cast<size_t>(EntryCount));
  GetPaletteEntries(header.ImagePalette(), 0, static_cast<unsigned>(EntryCount), entries.data());
  const auto& inverse = Owner().InverseGammaLookup;
  ResizeData(static_cast<uint32_t>(3 * EntryCount));
  for (size_t i = 0; i < entries.size(); ++i) {
    Data[3 * i] = inverse[entries[i].peRed];
    Data[3 * i + 1] = inverse[entries[i].peGreen];
    Data[3 * i + 2] = inverse[entries[i].peBlue];
  }
  SaveData(stream);
  return true;
}

RGBQUAD TChunkPLTE::GetPaletteItem(int index) const {
  if (index < 0 || index >= EntryCount || index >= static_cast<int>(kMaxPaletteEntries))
    throw EPngError(pnglang::EPNGUnknownPalEntryText);
  return GetHeader().ImageInfo.bmiColors[index];
}

// --- gAMA -------------------------------------------------------------------------

TChunkgAMA::TChunkgAMA(TPNGObject& owner) : TChunk(owner) { SetValue(1); }

void TChunkgAMA::Assign(const TChunk& source) {
  auto* other = dynamic_cast<const TChunkgAMA*>(&source);
  if (!other) throw EPngError(pnglang::EPNGCannotAssignChunkText);
  SetValue(other->GetValue());
}

uint32_t TChunkgAMA::GetValue() const { return DataSize() == 4 ? GetU32(Data.data()) : 1; }

void TChunkgAMA::SetValue(uint32_t value) {
  ResizeData(4);
  PutU32(Data.data(), value);
}

bool TChunkgAMA::LoadFromStream(TStream& stream, const TChunkName& name, uint32_t size) {
  TChunk::LoadFromStream(stream, name, size);
  if (size != 4 || GetValue() == 0) return true;
  // After the image data the gamma comes too late for the samples decoded;
  // other readers pass it over, and so does this one, lest the picture be
  // written back through a gamma it was never read through.
  const TPNGList& list = Owner().ChunkList();
  int data = list.IndexOfClass<TChunkIDAT>();
  if (data >= 0 && data < GetIndex()) return true;
  // So too after a palette picture's palette: its colours were taken as
  // they stand, and must be written back as they stand.
  if (GetHeader().HeaderData.ColorType == COLOR_PALETTE) {
    int palette = list.IndexOfClass<TChunkPLTE>();
    if (palette >= 0 && palette < GetIndex()) return true;
  }
  Owner().TakeGamma(GetValue());
  return true;
}

// --- tRNS -------------------------------------------------------------------------

void TChunktRNS::Assign(const TChunk& source) {
  TChunk::Assign(source);
  if (auto* other = dynamic_cast<const TChunktRNS*>(&source)) {
    AlphaValues = other->AlphaValues;
    OnOffTransparency = other->OnOffTransparency;
  }
}

bool TChunktRNS::LoadFromStream(TStream& stream, const TChunkName& name, uint32_t size) {
  TChunk::LoadFromStream(stream, name, size);
  if (size > 256) throw EPNGInvalidPalette(pnglang::EPNGInvalidPaletteText);
  AlphaValues.fill(255);
  std::copy(Data.begin(), Data.end(), AlphaValues.begin());
  // Palette pictures whose alphas are all 0 or 255 are drawn with a mask;
  // any other alpha asks for blending.
  OnOffTransparency = GetHeader().HeaderData.ColorType != COLOR_PALETTE ||
                      std::all_of(Data.begin(), Data.end(), [](uint8_t a) { return a == 0 || a == 255; });
  return true;
}

bool TChunktRNS::SaveToStream(TStream& stream) {
  // Data of more than 256 bytes failed its reading and is written as read.
  if (Data.size() <= AlphaValues.size()) std::copy_n(AlphaValues.begin(), Data.size(), Data.begin());
  SaveData(stream);
  return true;
}

// The colour the picture shows for its transparent sample: the byte the
// bitmap holds for it (the high byte of 16-bit samples), through the grey
// ramp or the gamma table.
TColor TChunktRNS::GetTransparentColor() const {
  const TChunkIHDR& header = GetHeader();
  bool wide = header.HeaderData.BitDepth == 16;
  switch (header.HeaderData.ColorType) {
    case COLOR_GRAYSCALE: {
      int sample = AlphaValues[wide ? 0 : 1];
      if (header.HeaderData.BitDepth == 2) sample = (sample & 3) * 5;  // held as 4-bit
      return QuadToColor(header.ImageInfo.bmiColors[sample & ((1 << header.BitsPerPixel()) - 1)]);
    }
    case COLOR_RGB: {
      const auto& gamma = Owner().GammaLookup;
      int at = wide ? 0 : 1;
      return RGB(gamma[AlphaValues[size_t(at)]], gamma[AlphaValues[size_t(at + 2)]],
                 gamma[AlphaValues[size_t(at + 4)]]);
    }
    case COLOR_PALETTE:
      for (size_t i = 0; i < std::min(Data.size(), AlphaValues.size()); ++i)
        if (AlphaValues[i] == 0) return QuadToColor(header.ImageInfo.bmiColors[i]);
      return 0;
    default:
      return 0;
  }
}

void TChunktRNS::SetTransparentColor(TColor color) {
  const TChunkIHDR& header = GetHeader();
  int depth = header.HeaderData.BitDepth;
  AlphaValues.fill(0);
  OnOffTransparency = true;
  switch (header.HeaderData.ColorType) {
    case COLOR_GRAYSCALE: {
      // The sample as the encoder writes it (16-bit samples hold the value
      // in their high byte).
      int sample = depth >= 8 ? GetRValue(color) : (GetRValue(color) * ((1 << depth) - 1) + 127) / 255;
      AlphaValues[depth == 16 ? 0 : 1] = static_cast<uint8_t>(sample);
      ResizeData(2);
      break;
    }
    case COLOR_RGB: {
      int at = depth == 16 ? 0 : 1;
      AlphaValues[size_t(at)] = GetRValue(color);
      AlphaValues[size_t(at + 2)] = GetGValue(color);
      AlphaValues[size_t(at + 4)] = GetBValue(color);
      ResizeData(6);
      break;
    }
    case COLOR_PALETTE: {
      // The first entry of that colour becomes transparent; without one the
      // picture keeps every entry opaque. A palette handed over longer than
      // a PNG palette is looked at, and given alphas, up to 256 entries only.
      auto count = static_cast<int>(
          std::min(GetPaletteEntries(header.ImagePalette(), 0, 0, nullptr), kMaxPaletteEntries));
      int index = 0;
      while (index < count && QuadToColor(header.ImageInfo.bmiColors[index]) != color) ++index;
      std::fill_n(AlphaValues.begin(), index, 255);
      ResizeData(static_cast<uint32_t>(std::min(index + 1, count)));
      break;
    }
    default:
      break;
  }
  std::copy_n(AlphaValues.begin(), Data.size(), Data.begin());
}

// --- pHYs, tIME -----------------------------------------------------------------

void TChunkpHYs::Assign(const TChunk& source) {
  TChunk::Assign(source);
  if (auto* other = dynamic_cast<const TChunkpHYs*>(&source)) {
    DensityX = other->DensityX;
    DensityY = other->DensityY;
    DensityUnit = other->DensityUnit;
  }
}

bool TChunkpHYs::LoadFromStream(TStream& stream, const TChunkName& name, uint32_t size) {
  TChunk::LoadFromStream(stream, name, size);
  // Data of another length leaves the fields as a new chunk has them.
  if (size != 9) {
    DensityX = DensityY = 0;
    DensityUnit = utUnknown;
    return true;
  }
  DensityX = GetU32(Data.data());
  DensityY = GetU32(Data.data() + 4);
  DensityUnit = static_cast<TUnitType>(Data[8]);
  return true;
}

bool TChunkpHYs::SaveToStream(TStream& stream) {
  ResizeData(9);
  PutU32(Data.data(), DensityX);
  PutU32(Data.data() + 4, DensityY);
  Data[8] = DensityUnit;
  SaveData(stream);
  return true;
}

void TChunktIME::Assign(const TChunk& source) {
  TChunk::Assign(source);
  if (auto* other = dynamic_cast<const TChunktIME*>(&source)) {
    Year = other->Year;
    Month = other->Month, Day = other->Day;
    Hour = other->Hour, Minute = other->Minute, Second = other->Second;
  }
}

bool TChunktIME::LoadFromStream(TStream& stream, const TChunkName& name, uint32_t size) {
  TChunk::LoadFromStream(stream, name, size);
  if (size != 7) {
    Year = 0;
    Month = Day = Hour = Minute = Second = 0;
    return true;
  }
  Year = static_cast<uint16_t>((Data[0] << 8) | Data[1]);
  Month = Data[2], Day = Data[3], Hour = Data[4], Minute = Data[5], Second = Data[6];
  return true;
}

bool TChunktIME::SaveToStream(TStream& stream) {
  Data = {static_cast<uint8_t>(Year >> 8), static_cast<uint8_t>(Year), Month, Day, Hour, Minute, Second};
  SaveData(stream);
  return true;
}

// --- tEXt, zTXt -------------------------------------------------------------------

void TChunktEXt::Assign(const TChunk& source) {
  TChunk::Assign(source);
  if (auto* other = dynamic_cast<const TChunktEXt*>(&source)) {
    Keyword = other->Keyword;
    Text = other->Text;
    KeptAsRead = other->KeptAsRead;
  }
}

bool TChunktEXt::LoadFromStream(TStream& stream, const TChunkName& name, uint32_t size) {
  TChunk::LoadFromStream(stream, name, size);
  Keyword.clear();
  Text.clear();
  // The keyword and text are copies of the data: the data counts whole as
  // the chunk's text, and stays alone when it does not fit.
  KeptAsRead = !Owner().TextRoom().Take(size);
  int end = KeywordEnd(Data);
  if (KeptAsRead || size < 3 || end < 0) return true;
  Keyword.assign(Data.begin(), Data.begin() + end);
  Text.assign(Data.begin() + end + 1, Data.end());
  return true;
}

bool TChunktEXt::SaveKeptData(TStream& stream) {
  if (!KeptAsRead || !Keyword.empty() || !Text.empty()) return false;
  SaveData(stream);
  return true;
}

bool TChunktEXt::SaveToStream(TStream& stream) {
  if (SaveKeptData(stream)) return true;
  Data.assign(Keyword.begin(), Keyword.end());
  Data.push_back(0);
  Data.insert(Data.end(), Text.begin(), Text.end());
  SaveData(stream);
  return true;
}

bool TChunkzTXt::LoadFromStream(TStream& stream, const TChunkName& name, uint32_t size) {
  TChunk::LoadFromStream(stream, name, size);
  Keyword.clear();
  Text.clear();
  KeptAsRead = false;
  int end = KeywordEnd(Data);
  if (size < 3 || end < 0) return true;
  // Too short for a method byte: read as plain text.
  if (size < 4) {
    Keyword.assign(Data.begin(), Data.begin() + end);
    Text.assign(Data.begin() + end + 1, Data.end());
    return true;
  }
  size_t method = size_t(end) + 1;
  int64_t length = kTextNotInflated;
  const uint8_t* compressed = Data.data() + method + 1;
  const size_t compressedSize = method < Data.size() ? Data.size() - method - 1 : 0;
  // The text is inflated once to count it (and a short one taken then) and,
  // when it is kept, once more into a string of its size.
  if (method < Data.size() && Data[method] == 0)
    length = Owner().TextRoom().Inflate(OneBlock(compressed, compressedSize), &Text);
  if (length == kTextTooLong) {
    KeptAsRead = true;
    return true;
  }
  Keyword.assign(Data.begin(), Data.begin() + end);
  if (length > 0 && int64_t(Text.size()) != length)
    Owner().TextRoom().InflateAgain(OneBlock(compressed, compressedSize), length, Text);
  return true;
}

bool TChunkzTXt::SaveToStream(TStream& stream) {
  if (SaveKeptData(stream)) return true;
  if (Text.empty()) Text.assign(1, ' ');
  std::vector<uint8_t> compressed;
  if (!DeflateText(Text, Owner().CompressionLevel, compressed)) return false;
  Data.assign(Keyword.begin(), Keyword.end());
  Data.push_back(0);
  Data.push_back(0);
  Data.insert(Data.end(), compressed.begin(), compressed.end());
  SaveData(stream);
  return true;
}

// --- Batches ----------------------------------------------------------------------

namespace {
// What a batch holds for a chunk: the bytes the chunk writes, which start
// with a length below 2^31; or this byte, then the sizes of a zTXt chunk's
// keyword and text, then keyword and text.
constexpr uint8_t kCompressedText = 0xFF;
}  // namespace

// Appends what is written to a batch's records.
class TBatchWriter : public TStream {
 public:
  explicit TBatchWriter(TChunkBatch& batch) : FBatch(batch) {}
  int64_t Read(void*, int64_t) override { return 0; }
  int64_t Write(const void* buffer, int64_t count) override {
    FBatch.Append(buffer, size_t(count));
    return count;
  }
  int64_t Seek(int64_t, TSeekOrigin) override { return int64_t(FBatch.FSize); }

 private:
  TChunkBatch& FBatch;
};

void TChunkBatch::Append(const void* bytes, size_t count) {
  auto* from = static_cast<const uint8_t*>(bytes);
  while (count > 0) {
    const size_t at = FSize % kBlockBytes;
    if (at == 0 && FSize / kBlockBytes == FBlocks.size()) FBlocks.push_back(std::make_unique<uint8_t[]>(kBlockBytes));
    const size_t n = std::min(count, kBlockBytes - at);
    std::memcpy(FBlocks[FSize / kBlockBytes].get() + at, from, n);
    from += n, count -= n, FSize += n;
  }
}

void TChunkBatch::CopyOut(size_t at, void* bytes, size_t count) const {
  auto* to = static_cast<uint8_t*>(bytes);
  while (count > 0) {
    const size_t n = std::min(count, kBlockBytes - at % kBlockBytes);
    std::memcpy(to, FBlocks[at / kBlockBytes].get() + at % kBlockBytes, n);
    to += n, count -= n, at += n;
  }
}

void TChunkBatch::Assign(const TChunk& source) {
  TChunk::Assign(source);
  auto* other = dynamic_cast<const TChunkBatch*>(&source);
  if (!other || other == this) return;
  FBlocks.clear();
  FSize = 0;
  uint8_t block[kBlockBytes];
  for (size_t at = 0; at < other->FSize; at += kBlockBytes) {
    const size_t n = std::min(kBlockBytes, other->FSize - at);
    other->CopyOut(at, block, n);
    Append(block, n);
  }
}

void TChunkBatch::Keep(TChunk& chunk) {
  // A zTXt chunk's text is compressed when it is written, at the level the
  // picture has then.
  auto* text = &chunk.ChunkClass() == &ChunkClassOf<TChunkzTXt>() ? static_cast<TChunkzTXt*>(&chunk) : nullptr;
  uint8_t head[9];
  if (text && !text->KeptAsRead) {
    head[0] = kCompressedText;
    PutU32(head + 1, static_cast<uint32_t>(text->Keyword.size()));
    PutU32(head + 5, static_cast<uint32_t>(text->Text.size()));
    Append(head, 9);
    Append(text->Keyword.data(), text->Keyword.size());
    Append(text->Text.data(), text->Text.size());
    return;
  }
  TBatchWriter writer(*this);
  chunk.SaveToStream(writer);
}

bool TChunkBatch::SaveToStream(TStream& stream) {
  std::vector<uint8_t> bytes;
  std::unique_ptr<TChunkzTXt> text;
  uint8_t head[9];
  for (size_t at = 0; at < FSize;) {
    CopyOut(at, head, 4);
    if (head[0] != kCompressedText) {
      // Length, name, data, CRC.
      bytes.resize(12 + size_t(GetU32(head)));
      CopyOut(at, bytes.data(), bytes.size());
      stream.WriteBuffer(bytes.data(), int64_t(bytes.size()));
      at += bytes.size();
      continue;
    }
    if (!text) text = std::make_unique<TChunkzTXt>(Owner());
    CopyOut(at, head, 9);
    const size_t keyword = GetU32(head + 1), length = GetU32(head + 5);
    bytes.resize(keyword + length);
    CopyOut(at + 9, bytes.data(), bytes.size());
    text->Keyword.assign(bytes.begin(), bytes.begin() + ptrdiff_t(keyword));
    text->Text.assign(bytes.begin() + ptrdiff_t(keyword), bytes.end());
    text->SaveToStream(stream);
    at += 9 + bytes.size();
  }
  return true;
}
