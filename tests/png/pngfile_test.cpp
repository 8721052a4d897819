// The file structure: signature, chunk framing and CRCs, the chunk list's
// rules, the ancillary chunks, and hand-made malformed files.
#include <gtest/gtest.h>

#include "png/pnglang.h"
#include "tests/png/pngreference.h"
#include "tests/support/testsupport.h"

namespace {

// Two rows of three RGB pixels, filter None.
std::vector<uint8_t> RgbRows() {
  std::vector<uint8_t> rows;
  for (int y = 0; y < 2; ++y) {
    rows.push_back(0);
    for (int i = 0; i < 9; ++i) rows.push_back(uint8_t(10 * y + i));
  }
  return rows;
}

TChunkStream ValidStart() { return TChunkStream().Header(3, 2, 8, 2); }
std::vector<uint8_t> ValidFile() { return ValidStart().Chunk("IDAT", Deflate(RgbRows())).End().Bytes; }
const char* kRgbTable = "2,1,0 5,4,3 8,7,6\n12,11,10 15,14,13 18,17,16";

// The working bitmap's colours for the file.
std::string Shown(const std::vector<uint8_t>& file) { return PixelTable(*LoadWorkingBitmap(file)); }

// The message of the E that loading the file raises.
template <class E>
std::string ErrorOf(const std::vector<uint8_t>& file) {
  return RaisedMessage<E>([&] { LoadPng(file); });
}

// The chunks' names after loading.
std::string Names(const TPNGObject& png) {
  std::string names;
  for (int i = 0; i < png.Chunks().Count(); ++i) names += png.Chunks().Item(i)->Name() + " ";
  return names;
}

// The IDAT data cut at the given sizes, one chunk each, the rest in the last.
TChunkStream SplitImageData(TChunkStream stream, const std::vector<uint8_t>& data,
                            std::vector<size_t> sizes) {
  size_t at = 0;
  for (size_t size : sizes) {
    stream.Chunk("IDAT", std::vector<uint8_t>(data.begin() + long(at), data.begin() + long(at + size)));
    at += size;
  }
  return stream.Chunk("IDAT", std::vector<uint8_t>(data.begin() + long(at), data.end()));
}

}  // namespace

TEST(PngFile, FramingErrorsHaveTheirMessages) {
  EXPECT_EQ(Shown(ValidFile()), kRgbTable);
  std::vector<uint8_t> file = ValidFile();
  file[1] = 'p';
  EXPECT_EQ(ErrorOf<EPNGInvalidFileHeader>(file), pnglang::EPNGInvalidFileHeaderText);
  EXPECT_EQ(ErrorOf<EPNGIHDRNotFirst>(TChunkStream().End().Bytes),
            "This \"Portable Network Graphics\" image is not supported or it might be invalid."
            "\r\n(IHDR chunk is not the first)");
  // Every cut of the file: before the signature ends a header error, after
  // it an unexpected end.
  file = ValidFile();
  for (size_t size = 0; size < file.size(); ++size) {
    std::vector<uint8_t> cut(file.begin(), file.begin() + long(size));
    if (size < 8)
      EXPECT_EQ(ErrorOf<EPNGInvalidFileHeader>(cut), pnglang::EPNGInvalidFileHeaderText);
    else
      EXPECT_EQ(ErrorOf<EPngUnexpectedEnd>(cut), pnglang::EPNGUnexpectedEndText);
  }
  EXPECT_EQ(ErrorOf<EPNGNoImageData>(ValidStart().End().Bytes), pnglang::EPNGNoImageDataText);
  EXPECT_EQ(ErrorOf<EPNGUnknownCriticalChunk>(ValidStart().Chunk("ABCD", {1}).End().Bytes),
            pnglang::EPNGUnknownCriticalChunkText);
  // Chunk lengths past 2^31 - 1 or past the end of the file.
  for (uint32_t length : {0x80000000u, 1000u}) {
    TChunkStream bad = ValidStart().Raw({uint8_t(length >> 24), uint8_t(length >> 16), uint8_t(length >> 8),
                                         uint8_t(length), 't', 'E', 'X', 't', 'a', 0, 'b', 0, 0, 0, 0});
    EXPECT_EQ(ErrorOf<EPngUnexpectedEnd>(bad.Bytes), pnglang::EPNGUnexpectedEndText) << length;
  }
}

TEST(PngFile, CrcIsCheckedInEveryChunk) {
  // A bit changed in the data or the CRC of the header or the end chunk, or
  // in the CRC of the image data chunk; any change elsewhere fails somehow.
  std::vector<uint8_t> file = ValidFile();
  size_t idatCrc = file.size() - 12 - 4;
  for (size_t at = 8; at < file.size(); ++at) {
    std::vector<uint8_t> bad = file;
    bad[at] ^= 0x01;
    if ((at >= 16 && at < 33) || (at >= idatCrc && at < idatCrc + 4) || at >= file.size() - 4)
      EXPECT_EQ(ErrorOf<EPngInvalidCRC>(bad), pnglang::EPngInvalidCRCText) << at;
    else
      EXPECT_THROW(LoadWorkingBitmap(bad), Exception) << at;
  }
  // The CRC of the third of five IDAT chunks damaged.
  std::vector<uint8_t> split = SplitImageData(ValidStart(), Deflate(RgbRows()), {2, 2, 2, 2}).End().Bytes;
  EXPECT_EQ(Shown(split), kRgbTable);
  split[8 + 25 + 14 * 2 + 8 + 2] ^= 1;
  EXPECT_EQ(ErrorOf<EPngInvalidCRC>(split), pnglang::EPngInvalidCRCText);
}

TEST(PngFile, ImageDataInAnyNumberOfChunks) {
  std::vector<uint8_t> data = Deflate(RgbRows());
  // One byte per chunk, with empty chunks at the start and within the run.
  TChunkStream bytes = ValidStart().Chunk("IDAT", {});
  for (size_t i = 0; i < data.size(); ++i) {
    bytes.Chunk("IDAT", {data[i]});
    if (i % 3 == 0) bytes.Chunk("IDAT", {});
  }
  EXPECT_EQ(Shown(bytes.End().Bytes), kRgbTable);
  // The rows are complete before the compressed stream's end: the rest of
  // the chunk, even bytes after the stream, is read before its CRC.
  std::vector<uint8_t> padded = data;
  padded.insert(padded.end(), {1, 2, 3, 4, 5, 6, 7, 8});
  EXPECT_EQ(Shown(ValidStart().Chunk("IDAT", padded).End().Bytes), kRgbTable);
  // A second run of IDAT chunks after another chunk, trailing data after
  // IEND, and chromaticities are passed over.
  std::unique_ptr<TPNGObject> png = LoadPng(ValidStart()
                                                .Chunk("IDAT", data)
                                                .Chunk("tEXt", {'a', 0, 'b'})
                                                .Chunk("IDAT", {1, 2, 3})
                                                .Chunk("cHRM", std::vector<uint8_t>(32, 0))
                                                .End()
                                                .Raw({1, 2, 3, 4, 5})
                                                .Bytes);
  EXPECT_EQ(Names(*png), "IHDR IDAT tEXt IEND ");
  // A big picture in one chunk of more than 65535 bytes.
  auto noise = MakeNoiseBitmap(300, 300, 2);
  TPNGObject big;
  big.CompressionLevel = 0;
  big.SetMaxIdatSize(1 << 20);
  big.Assign(noise.get());
  std::vector<uint8_t> file = SavedBytes(big);
  ASSERT_GT(ChunkData(file, "IDAT").size(), 65535u);
  EXPECT_TRUE(SameColors(*LoadWorkingBitmap(file), *noise));
  // Image data that goes on in another chunk.
  EXPECT_EQ(ErrorOf<EPNGMissingMultipleIDAT>(
                ValidStart().Chunk("IDAT", std::vector<uint8_t>(data.begin(), data.begin() + 5)).End().Bytes),
            pnglang::EPNGMissingMultipleIDATText);
}

TEST(PngFile, CompressedDataErrors) {
  // An invalid block type, and a stream that asks for a preset dictionary.
  EXPECT_EQ(ErrorOf<EPNGZLIBError>(ValidStart().Chunk("IDAT", {0x78, 0x9C, 0xFF, 0xFF}).End().Bytes),
            "Could not decompress the image because it contains invalid compressed data.\r\n "
            "Description: data error (-3)");
  EXPECT_EQ(
      ErrorOf<EPNGZLIBError>(ValidStart().Chunk("IDAT", {0x78, 0xBB, 0, 0, 0, 1, 0x63, 0, 0}).End().Bytes),
      std::string(pnglang::EPNGZLIBErrorText) + "need dictionary (2)");
}

TEST(PngFile, HeaderIsChecked) {
  auto header = [](std::vector<uint8_t> data) { return TChunkStream().Chunk("IHDR", data).End().Bytes; };
  // A short header, a width past 65535, compression 1, interlace 2.
  EXPECT_EQ(ErrorOf<EPngInvalidIHDR>(header({0, 0, 0, 1, 0, 0, 0, 1, 8, 2, 0, 0})),
            pnglang::EPNGInvalidIHDRText);
  EXPECT_EQ(ErrorOf<EPNGSizeExceeds>(header({0, 1, 0, 0, 0, 0, 0, 1, 8, 2, 0, 0, 0})),
            pnglang::EPNGSizeExceedsText);
  EXPECT_EQ(ErrorOf<EPNGUnknownCompression>(header({0, 0, 0, 1, 0, 0, 0, 1, 8, 2, 1, 0, 0})),
            pnglang::EPNGUnknownCompressionText);
  EXPECT_EQ(ErrorOf<EPNGUnknownInterlace>(header({0, 0, 0, 1, 0, 0, 0, 1, 8, 2, 0, 0, 2})),
            pnglang::EPNGUnknownInterlaceText);
  // Width 0, invalid type and depth pairs, and a second header.
  for (auto [width, depth, type] : {std::tuple{0, 8, 2}, {1, 8, 5}, {1, 16, 3}, {1, 3, 0}})
    EXPECT_EQ(ErrorOf<EPngInvalidIHDR>(TChunkStream().Header(width, 1, depth, type).End().Bytes),
              pnglang::EPNGInvalidIHDRText);
  EXPECT_EQ(ErrorOf<EPngInvalidIHDR>(ValidStart().Header(3, 2, 8, 2).End().Bytes),
            pnglang::EPNGInvalidIHDRText);
  // The largest width is accepted; buffers past 1 GiB are refused.
  EXPECT_EQ(LoadPng(TChunkStream().Header(65535, 1, 1, 0).Chunk("IDAT", Deflate({0})).End().Bytes)->Width(),
            65535);
  EXPECT_EQ(ErrorOf<EPNGOutMemory>(TChunkStream().Header(65535, 65535, 16, 6).End().Bytes),
            pnglang::EPNGOutMemoryText);
}

TEST(PngFile, PaletteAndTransparencyChunks) {
  auto palette = [](std::vector<uint8_t> plte, std::vector<uint8_t> trns = {}) {
    TChunkStream stream = TChunkStream().Header(1, 1, 8, 3);
    if (!plte.empty()) stream.Chunk("PLTE", plte);
    if (!trns.empty()) stream.Chunk("tRNS", trns);
    return stream.Chunk("IDAT", Deflate({0, 0})).End().Bytes;
  };
  EXPECT_EQ(ErrorOf<EPNGInvalidPalette>(palette(std::vector<uint8_t>(770, 0))),
            pnglang::EPNGInvalidPaletteText);
  EXPECT_EQ(ErrorOf<EPNGMissingPalette>(palette({})), pnglang::EPNGMissingPaletteText);
  EXPECT_EQ(ErrorOf<EPNGInvalidPalette>(palette({1, 2, 3}, std::vector<uint8_t>(257, 0))),
            pnglang::EPNGInvalidPaletteText);
  std::unique_ptr<TPNGObject> png = LoadPng(palette({1, 2, 3, 4, 5, 6}));
  auto* plte = png->Chunks().FindChunk<TChunkPLTE>();
  EXPECT_EQ(plte->GetPaletteItem(1), (RGBQUAD{6, 5, 4, 0}));
  EXPECT_EQ(RaisedMessage<EPngError>([&] { plte->GetPaletteItem(2); }), pnglang::EPNGUnknownPalEntryText);
  // The palette's transparent colour is the first entry of that colour.
  png->SetTransparentColor(RGB(4, 5, 6));
  EXPECT_EQ(png->Chunks().FindChunk<TChunktRNS>()->Data, (std::vector<uint8_t>{255, 0}));
  EXPECT_EQ(Names(*png), "IHDR PLTE tRNS IDAT IEND ");
}

TEST(PngFile, ChunkListRules) {
  std::unique_ptr<TPNGObject> png = LoadPng(ValidFile());
  TPNGList& chunks = png->Chunks();
  auto refused = [](auto add) { return RaisedMessage<EPngError>(add); };
  EXPECT_EQ(refused([&] { chunks.Add<TChunkIHDR>(); }), pnglang::EPNGCannotAddChunkText);
  chunks.Add<TChunkgAMA>();
  EXPECT_EQ(refused([&] { chunks.Add<TChunkgAMA>(); }), pnglang::EPNGCannotAddChunkText);
  chunks.Add<TChunktRNS>();
  png->AddtEXt("Title", "Mill");
  chunks.Add<TChunkpHYs>();
  EXPECT_EQ(Names(*png), "IHDR pHYs gAMA tRNS IDAT tEXt IEND ");
  chunks.RemoveChunk(chunks.FindChunk<TChunkIEND>());
  EXPECT_EQ(refused([&] { png->AddtEXt("a", "b"); }), pnglang::EPNGCannotAddInvalidImageText);
  // A copy of a picture has the same chunks and pixels.
  std::unique_ptr<TPNGObject> loaded = LoadPng(
      ValidStart().Chunk("tIME", {7, 0xE8, 2, 29, 23, 59, 58}).Chunk("IDAT", Deflate(RgbRows())).End().Bytes);
  TPNGObject copy;
  copy.Assign(loaded.get());
  EXPECT_EQ(SavedBytes(copy), SavedBytes(*loaded));
}

TEST(PngFile, AncillaryChunksRoundTrip) {
  std::vector<uint8_t> zText = {'K', 0, 0};
  std::vector<uint8_t> compressed = Deflate({'h', 'e', 'l', 'l', 'o'});
  zText.insert(zText.end(), compressed.begin(), compressed.end());
  // Text chunks without a separator, or whose text will not inflate (bad
  // data, a preset dictionary, a cut stream), load with empty texts.
  std::vector<uint8_t> file = ValidStart()
                                  .Chunk("pHYs", {0, 0, 0x0B, 0x13, 0, 0, 0x0B, 0x14, 1})
                                  .Chunk("tIME", {7, 0xE8, 2, 29, 23, 59, 58})
                                  .Chunk("tEXt", {'a', 0, 'b'})
                                  .Chunk("tEXt", {'x', 'y'})
                                  .Chunk("tEXt", {'n', 'o', 'z', 'e', 'r', 'o'})
                                  .Chunk("zTXt", zText)
                                  .Chunk("zTXt", {'B', 0, 0, 0x78, 0x9C, 0xFF})
                                  .Chunk("zTXt", {'C', 0, 0, 0x78, 0xBB, 0, 0, 0, 1, 0x63, 0, 0})
                                  .Chunk("zTXt", {'T', 0, 0, compressed[0], compressed[1], compressed[2]})
                                  .Chunk("prVt", {9, 8, 7})
                                  .Chunk("IDAT", Deflate(RgbRows()))
                                  .End()
                                  .Bytes;
  std::unique_ptr<TPNGObject> png = LoadPng(file);
  auto* phys = png->Chunks().FindChunk<TChunkpHYs>();
  EXPECT_EQ(phys->DensityX, 2835u);
  EXPECT_EQ(phys->DensityUnit, utMeter);
  EXPECT_EQ(png->Chunks().FindChunk<TChunktIME>()->Year, 2024);
  std::vector<std::pair<std::string, std::string>> texts;
  for (int i = 0; i < png->Chunks().Count(); ++i)
    if (auto* t = dynamic_cast<TChunktEXt*>(png->Chunks().Item(i))) texts.emplace_back(t->Keyword, t->Text);
  EXPECT_EQ(texts, (std::vector<std::pair<std::string, std::string>>{
                       {"a", "b"}, {"", ""}, {"", ""}, {"K", "hello"}, {"B", ""}, {"C", ""}, {"T", ""}}));
  // Unknown ancillary chunks and the parsed ones are written back as read.
  for (const char* name : {"pHYs", "tIME", "prVt"})
    EXPECT_EQ(ChunkData(SavedBytes(*png), name), ChunkData(file, name));
  // zTXt written by the codec: an empty text is one space.
  png->AddzTXt("Empty", "");
  std::unique_ptr<TPNGObject> again = LoadPng(SavedBytes(*png));
  std::vector<std::string> written;
  for (int i = 0; i < again->Chunks().Count(); ++i)
    if (auto* z = dynamic_cast<TChunkzTXt*>(again->Chunks().Item(i))) written.push_back(z->Text);
  ASSERT_EQ(written.size(), 5u);
  EXPECT_EQ(written[4], " ");
}

TEST(PngFile, RegressionInputsFailCleanly) {
  // As the fuzzer does: load, convert and write back; only the codec's own
  // errors may come out.
  ASSERT_FALSE(RegressionInputs("fuzz_png").empty());
  for (const std::string& path : RegressionInputs("fuzz_png")) {
    try {
      std::unique_ptr<TPNGObject> png = LoadPng(ReadFile(path));
      TBitmap bitmap;
      bitmap.Assign(png.get());
      SavedBytes(*png);
    } catch (const Exception&) {
    }
  }
}
