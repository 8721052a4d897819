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

// The message of the error that loading the file raises.
std::string ErrorOf(const std::vector<uint8_t>& file) {
  return RaisedMessage<Exception>([&] { LoadPng(file); });
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

TEST(PngFile, MalformedFilesRaiseTheirMessages) {
  EXPECT_EQ(Shown(ValidFile()), kRgbTable);
  std::vector<uint8_t> badSignature = ValidFile();
  badSignature[1] = 'p';
  auto header = [](std::vector<uint8_t> data) { return TChunkStream().Chunk("IHDR", data).End().Bytes; };
  auto invalid = [](int width, int depth, int type) { return TChunkStream().Header(width, 1, depth, type).End().Bytes; };
  auto palette = [](std::vector<uint8_t> plte, std::vector<uint8_t> trns = {}) {
    TChunkStream stream = TChunkStream().Header(1, 1, 8, 3);
    if (!plte.empty()) stream.Chunk("PLTE", plte);
    if (!trns.empty()) stream.Chunk("tRNS", trns);
    return stream.Chunk("IDAT", Deflate({0, 0})).End().Bytes;
  };
  auto length = [](uint32_t n) {
    return ValidStart()
        .Raw({uint8_t(n >> 24), uint8_t(n >> 16), uint8_t(n >> 8), uint8_t(n), 't', 'E', 'X', 't', 'a', 0, 'b', 0, 0, 0, 0})
        .Bytes;
  };
  const std::pair<std::vector<uint8_t>, std::string> cases[] = {
      {badSignature, pnglang::EPNGInvalidFileHeaderText},
      {TChunkStream().End().Bytes,
       "This \"Portable Network Graphics\" image is not supported or it might be invalid."
       "\r\n(IHDR chunk is not the first)"},
      {ValidStart().End().Bytes, pnglang::EPNGNoImageDataText},
      {ValidStart().Chunk("ABCD", {1}).End().Bytes, pnglang::EPNGUnknownCriticalChunkText},
      {length(0x80000000u), pnglang::EPNGUnexpectedEndText},  // lengths past 2^31 - 1
      {length(1000), pnglang::EPNGUnexpectedEndText},         // or the end of the file
      {ValidStart().Chunk("IDAT", {0x78, 0x9C, 0xFF, 0xFF}).End().Bytes,
       "Could not decompress the image because it contains invalid compressed data.\r\n "
       "Description: data error (-3)"},
      {ValidStart().Chunk("IDAT", {0x78, 0xBB, 0, 0, 0, 1, 0x63, 0, 0}).End().Bytes,
       std::string(pnglang::EPNGZLIBErrorText) + "need dictionary (2)"},
      {header({0, 0, 0, 1, 0, 0, 0, 1, 8, 2, 0, 0}), pnglang::EPNGInvalidIHDRText},
      {header({0, 1, 0, 0, 0, 0, 0, 1, 8, 2, 0, 0, 0}), pnglang::EPNGSizeExceedsText},
      {header({0, 0, 0, 1, 0, 0, 0, 1, 8, 2, 1, 0, 0}), pnglang::EPNGUnknownCompressionText},
      {header({0, 0, 0, 1, 0, 0, 0, 1, 8, 2, 0, 0, 2}), pnglang::EPNGUnknownInterlaceText},
      {invalid(0, 8, 2), pnglang::EPNGInvalidIHDRText},
      {invalid(1, 8, 5), pnglang::EPNGInvalidIHDRText},
      {invalid(1, 16, 3), pnglang::EPNGInvalidIHDRText},
      {invalid(1, 3, 0), pnglang::EPNGInvalidIHDRText},
      {ValidStart().Chunk("IHDR", std::vector<uint8_t>(12, 0)).End().Bytes, pnglang::EPNGInvalidIHDRText},
      {TChunkStream().Header(65535, 65535, 16, 6).End().Bytes, pnglang::EPNGOutMemoryText},
      {palette(std::vector<uint8_t>(770, 0)), pnglang::EPNGInvalidPaletteText},
      {palette({}), pnglang::EPNGMissingPaletteText},
      {palette({1, 2, 3}, std::vector<uint8_t>(257, 0)), pnglang::EPNGInvalidPaletteText},
  };
  for (size_t i = 0; i < std::size(cases); ++i) EXPECT_EQ(ErrorOf(cases[i].first), cases[i].second) << i;
  // Every cut of the file: before the signature ends a header error, after
  // it an unexpected end.
  std::vector<uint8_t> file = ValidFile();
  for (size_t size = 0; size < file.size(); ++size)
    EXPECT_EQ(ErrorOf(std::vector<uint8_t>(file.begin(), file.begin() + long(size))),
              size < 8 ? pnglang::EPNGInvalidFileHeaderText : pnglang::EPNGUnexpectedEndText);
  // The largest width is accepted.
  EXPECT_EQ(LoadPng(TChunkStream().Header(65535, 1, 1, 0).Chunk("IDAT", Deflate({0})).End().Bytes)->Width(),
            65535);
  // The palette's transparent colour is the first entry of that colour.
  std::unique_ptr<TPNGObject> png = LoadPng(palette({1, 2, 3, 4, 5, 6}));
  png->SetTransparentColor(RGB(4, 5, 6));
  EXPECT_EQ(png->ChunkList().FindChunk<TChunktRNS>()->Data, (std::vector<uint8_t>{255, 0}));
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
      EXPECT_EQ(ErrorOf(bad), pnglang::EPngInvalidCRCText) << at;
    else
      EXPECT_THROW(LoadWorkingBitmap(bad), Exception) << at;
  }
  // The CRC of the third of five IDAT chunks damaged.
  std::vector<uint8_t> split = SplitImageData(ValidStart(), Deflate(RgbRows()), {2, 2, 2, 2}).End().Bytes;
  EXPECT_EQ(Shown(split), kRgbTable);
  split[8 + 25 + 14 * 2 + 8 + 2] ^= 1;
  EXPECT_EQ(ErrorOf(split), pnglang::EPngInvalidCRCText);
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
  EXPECT_EQ(png->ChunkList().Count(), 4);
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
  EXPECT_EQ(ErrorOf(
                ValidStart().Chunk("IDAT", std::vector<uint8_t>(data.begin(), data.begin() + 5)).End().Bytes),
            pnglang::EPNGMissingMultipleIDATText);
}

TEST(PngFile, OddAncillaryChunksAreToleratedOrPassedOver) {
  // Text chunks without a separator or whose text will not inflate (bad
  // data, a preset dictionary, a cut stream), unknown private chunks.
  std::vector<uint8_t> compressed = Deflate({'h', 'e', 'l', 'l', 'o'});
  std::vector<uint8_t> file = ValidStart()
                                  .Chunk("pHYs", {0, 0, 0x0B, 0x13, 0, 0, 0x0B, 0x14, 1})
                                  .Chunk("tIME", {7, 0xE8, 2, 29, 23, 59, 58})
                                  .Chunk("tEXt", {'x', 'y'})
                                  .Chunk("zTXt", {'B', 0, 0, 0x78, 0x9C, 0xFF})
                                  .Chunk("zTXt", {'C', 0, 0, 0x78, 0xBB, 0, 0, 0, 1, 0x63, 0, 0})
                                  .Chunk("zTXt", {'T', 0, 0, compressed[0], compressed[1], compressed[2]})
                                  .Chunk("prVt", {9, 8, 7})
                                  .Chunk("IDAT", Deflate(RgbRows()))
                                  .End()
                                  .Bytes;
  EXPECT_EQ(Shown(file), kRgbTable);
  // The fields of the physical size and time chunks, read and written
  // again.
  std::unique_ptr<TPNGObject> png = LoadPng(file);
  const TChunkpHYs& phys = *png->ChunkList().FindChunk<TChunkpHYs>();
  EXPECT_EQ(std::vector<uint32_t>({phys.DensityX, phys.DensityY, phys.DensityUnit}),
            std::vector<uint32_t>({0x0B13, 0x0B14, utMeter}));
  const TChunktIME& time = *png->ChunkList().FindChunk<TChunktIME>();
  EXPECT_EQ(std::vector<int>({time.Year, time.Month, time.Day, time.Hour, time.Minute, time.Second}),
            std::vector<int>({2024, 2, 29, 23, 59, 58}));
  std::vector<uint8_t> saved = SavedBytes(*png);
  EXPECT_EQ(ChunkData(saved, "pHYs"), ChunkData(file, "pHYs"));
  EXPECT_EQ(ChunkData(saved, "tIME"), ChunkData(file, "tIME"));
}

TEST(PngFile, RegressionInputsFailCleanly) {
  // As the fuzzer does: load, then convert and write back what was read,
  // also after a failed load; only the codec's own errors may come out.
  ASSERT_FALSE(RegressionInputs("fuzz_png").empty());
  for (const std::string& path : RegressionInputs("fuzz_png")) {
    std::vector<uint8_t> file = ReadFile(path);
    TPNGObject png;
    try {
      TReadOnlyMemoryStream stream(file.data(), file.size());
      png.LoadFromStream(stream);
    } catch (const Exception&) {
    }
    try {
      TBitmap bitmap;
      bitmap.Assign(&png);
      SavedBytes(png);
    } catch (const Exception&) {
    }
  }
}
