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

template <class E>
void ExpectError(const std::vector<uint8_t>& file, const std::string& message) {
  TPNGObject png;
  try {
    LoadPng(png, file);
    ADD_FAILURE() << "loaded";
  } catch (const E& e) {
    EXPECT_EQ(e.Message, message);
  } catch (const Exception& e) {
    ADD_FAILURE() << "other error: " << e.Message;
  }
}

// The chunks' names after loading.
std::string Names(const TPNGObject& png) {
  std::string names;
  for (int i = 0; i < png.Chunks().Count(); ++i) names += png.Chunks().Item(i)->Name() + " ";
  return names;
}

// The IDAT data cut into pieces of the given sizes (the rest in the last).
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
  EXPECT_EQ(PixelTable(*LoadWorkingBitmap(ValidFile())), kRgbTable);
  std::vector<uint8_t> file = ValidFile();
  file[1] = 'p';
  ExpectError<EPNGInvalidFileHeader>(file, pnglang::EPNGInvalidFileHeaderText);
  ExpectError<EPNGIHDRNotFirst>(
      TChunkStream().End().Bytes,
      "This \"Portable Network Graphics\" image is not supported or it might be invalid."
      "\r\n(IHDR chunk is not the first)");
  ExpectError<EPNGIHDRNotFirst>(TChunkStream().Chunk("PLTE", {0, 0, 0}).Bytes, pnglang::EPNGIHDRNotFirstText);
  // Every cut of the file: before the signature ends a header error, after
  // it an unexpected end.
  file = ValidFile();
  for (size_t size = 0; size < file.size(); ++size) {
    std::vector<uint8_t> cut(file.begin(), file.begin() + long(size));
    if (size < 8)
      ExpectError<EPNGInvalidFileHeader>(cut, pnglang::EPNGInvalidFileHeaderText);
    else
      ExpectError<EPngUnexpectedEnd>(cut, pnglang::EPNGUnexpectedEndText);
  }
  ExpectError<EPNGNoImageData>(ValidStart().End().Bytes, pnglang::EPNGNoImageDataText);
  ExpectError<EPNGUnknownCriticalChunk>(ValidStart().Chunk("ABCD", {1}).End().Bytes,
                                        pnglang::EPNGUnknownCriticalChunkText);
  // Chunk lengths past 2^31 - 1 or past the end of the file.
  for (uint32_t length : {0x80000000u, 0xFFFFFFF0u, 1000u}) {
    TChunkStream bad = ValidStart();
    bad.Raw({uint8_t(length >> 24), uint8_t(length >> 16), uint8_t(length >> 8), uint8_t(length), 't', 'E',
             'X', 't', 'a', 0, 'b', 0, 0, 0, 0});
    ExpectError<EPngUnexpectedEnd>(bad.Bytes, pnglang::EPNGUnexpectedEndText);
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
    bool crcOnly = (at >= 16 && at < 33) || (at >= idatCrc && at < idatCrc + 4) || at >= file.size() - 4;
    if (crcOnly)
      ExpectError<EPngInvalidCRC>(bad, pnglang::EPngInvalidCRCText);
    else
      EXPECT_THROW(LoadWorkingBitmap(bad), Exception) << at;
  }
  // The CRC of the third of five IDAT chunks damaged.
  std::vector<uint8_t> data = Deflate(RgbRows());
  std::vector<uint8_t> split = SplitImageData(ValidStart(), data, {2, 2, 2, 2}).End().Bytes;
  EXPECT_EQ(PixelTable(*LoadWorkingBitmap(split)), kRgbTable);
  size_t thirdCrc = 8 + 25 + 14 * 2 + 8 + 2;
  split[thirdCrc] ^= 1;
  ExpectError<EPngInvalidCRC>(split,
                              "This \"Portable Network Graphics\" image is not valid because it contains "
                              "invalid pieces of data (crc error)");
}

TEST(PngFile, ImageDataChunksInAnyPieces) {
  std::vector<uint8_t> data = Deflate(RgbRows());
  // One byte per chunk, with empty chunks at the start and within the run.
  TChunkStream bytes = ValidStart().Chunk("IDAT", {});
  for (size_t i = 0; i < data.size(); ++i) {
    bytes.Chunk("IDAT", {data[i]});
    if (i % 3 == 0) bytes.Chunk("IDAT", {});
  }
  EXPECT_EQ(PixelTable(*LoadWorkingBitmap(bytes.End().Bytes)), kRgbTable);
  // The rows are complete before the compressed stream's end: the rest of
  // the chunk, even bytes after the stream, is read before its CRC.
  std::vector<uint8_t> padded = data;
  padded.insert(padded.end(), {1, 2, 3, 4, 5, 6, 7, 8});
  EXPECT_EQ(PixelTable(*LoadWorkingBitmap(ValidStart().Chunk("IDAT", padded).End().Bytes)), kRgbTable);
  EXPECT_EQ(PixelTable(*LoadWorkingBitmap(SplitImageData(ValidStart(), data, {data.size() - 4}).End().Bytes)),
            kRgbTable);
  // A second run of IDAT chunks after another chunk, trailing data after
  // IEND, and chromaticities are passed over.
  TPNGObject png;
  LoadPng(png, ValidStart()
                   .Chunk("IDAT", data)
                   .Chunk("tEXt", {'a', 0, 'b'})
                   .Chunk("IDAT", {1, 2, 3})
                   .Chunk("cHRM", std::vector<uint8_t>(32, 0))
                   .End()
                   .Raw({1, 2, 3, 4, 5})
                   .Bytes);
  EXPECT_EQ(Names(png), "IHDR IDAT tEXt IEND ");
  // A big picture in one chunk of more than 65535 bytes.
  std::vector<uint8_t> rows;
  for (int y = 0; y < 300; ++y) {
    rows.push_back(0);
    for (int x = 0; x < 300 * 3; ++x) rows.push_back(uint8_t(x * y * 2654435761u >> 13));
  }
  std::vector<uint8_t> big = Deflate(rows, 0);
  ASSERT_GT(big.size(), 65535u);
  auto bitmap = LoadWorkingBitmap(TChunkStream().Header(300, 300, 8, 2).Chunk("IDAT", big).End().Bytes);
  size_t last = rows.size() - 3;
  EXPECT_EQ(PixelAt(*bitmap, 299, 299), RGB(rows[last], rows[last + 1], rows[last + 2]));
  // Image data that goes on in another chunk.
  ExpectError<EPNGMissingMultipleIDAT>(
      ValidStart().Chunk("IDAT", std::vector<uint8_t>(data.begin(), data.begin() + 5)).End().Bytes,
      pnglang::EPNGMissingMultipleIDATText);
}

TEST(PngFile, CompressedDataErrors) {
  // An invalid block type.
  ExpectError<EPNGZLIBError>(
      ValidStart().Chunk("IDAT", {0x78, 0x9C, 0xFF, 0xFF}).End().Bytes,
      "Could not decompress the image because it contains invalid compressed data.\r\n "
      "Description: data error (-3)");
  // A stream that asks for a preset dictionary.
  ExpectError<EPNGZLIBError>(ValidStart().Chunk("IDAT", {0x78, 0xBB, 0, 0, 0, 1, 0x63, 0, 0}).End().Bytes,
                             std::string(pnglang::EPNGZLIBErrorText) + "need dictionary (2)");
}

TEST(PngFile, HeaderIsChecked) {
  auto header = [](std::vector<uint8_t> data) { return TChunkStream().Chunk("IHDR", data).End().Bytes; };
  ExpectError<EPngInvalidIHDR>(header({0, 0, 0, 1, 0, 0, 0, 1, 8, 2, 0, 0}), pnglang::EPNGInvalidIHDRText);
  ExpectError<EPNGSizeExceeds>(header({0, 1, 0, 0, 0, 0, 0, 1, 8, 2, 0, 0, 0}), pnglang::EPNGSizeExceedsText);
  ExpectError<EPngInvalidIHDR>(header({0, 0, 0, 0, 0, 0, 0, 1, 8, 2, 0, 0, 0}), pnglang::EPNGInvalidIHDRText);
  ExpectError<EPNGUnknownCompression>(header({0, 0, 0, 1, 0, 0, 0, 1, 8, 2, 1, 0, 0}),
                                      pnglang::EPNGUnknownCompressionText);
  ExpectError<EPNGUnknownInterlace>(header({0, 0, 0, 1, 0, 0, 0, 1, 8, 2, 0, 0, 2}),
                                    pnglang::EPNGUnknownInterlaceText);
  for (auto [depth, type] : {std::pair{8, 5}, {4, 2}, {16, 3}, {2, 4}, {3, 0}, {8, 7}})
    ExpectError<EPngInvalidIHDR>(TChunkStream().Header(1, 1, depth, type).End().Bytes,
                                 pnglang::EPNGInvalidIHDRText);
  // The largest width is accepted; buffers past 1 GiB are refused.
  TPNGObject wide;
  LoadPng(wide, TChunkStream().Header(65535, 1, 1, 0).Chunk("IDAT", Deflate({0})).End().Bytes);
  EXPECT_EQ(wide.Width(), 65535);
  ExpectError<EPNGOutMemory>(TChunkStream().Header(65535, 65535, 16, 6).End().Bytes,
                             pnglang::EPNGOutMemoryText);
  ExpectError<EPngInvalidIHDR>(ValidStart().Header(3, 2, 8, 2).End().Bytes, pnglang::EPNGInvalidIHDRText);
}

TEST(PngFile, PaletteAndTransparencyChunks) {
  auto palette = [](std::vector<uint8_t> plte) {
    return TChunkStream().Header(1, 1, 8, 3).Chunk("PLTE", plte).Chunk("IDAT", Deflate({0, 0})).End().Bytes;
  };
  ExpectError<EPNGInvalidPalette>(palette(std::vector<uint8_t>(770, 0)), pnglang::EPNGInvalidPaletteText);
  ExpectError<EPNGInvalidPalette>(palette({1, 2, 3, 4}), pnglang::EPNGInvalidPaletteText);
  ExpectError<EPNGMissingPalette>(
      TChunkStream().Header(1, 1, 8, 3).Chunk("IDAT", Deflate({0, 0})).End().Bytes,
      pnglang::EPNGMissingPaletteText);
  ExpectError<EPNGInvalidPalette>(TChunkStream()
                                      .Header(1, 1, 8, 3)
                                      .Chunk("PLTE", {1, 2, 3})
                                      .Chunk("tRNS", std::vector<uint8_t>(257, 0))
                                      .Chunk("IDAT", Deflate({0, 0}))
                                      .End()
                                      .Bytes,
                                  pnglang::EPNGInvalidPaletteText);
  TPNGObject png;
  LoadPng(png, palette({1, 2, 3, 4, 5, 6}));
  auto* plte = png.Chunks().FindChunk<TChunkPLTE>();
  EXPECT_EQ(plte->GetPaletteItem(1), (RGBQUAD{6, 5, 4, 0}));
  try {
    plte->GetPaletteItem(2);
    FAIL();
  } catch (const EPngError& e) {
    EXPECT_EQ(e.Message, pnglang::EPNGUnknownPalEntryText);
  }
  // The palette's transparent colour is the first entry of that colour.
  png.SetTransparentColor(RGB(4, 5, 6));
  auto* trns = png.Chunks().FindChunk<TChunktRNS>();
  EXPECT_EQ(trns->Data, (std::vector<uint8_t>{255, 0}));
  EXPECT_EQ(png.TransparentColor(), RGB(4, 5, 6));
  EXPECT_EQ(Names(png), "IHDR PLTE tRNS IDAT IEND ");
}

TEST(PngFile, ChunkListRules) {
  TPNGObject png;
  LoadPng(png, ValidFile());
  auto expectRefused = [&](auto add, const char* text) {
    try {
      add();
      ADD_FAILURE();
    } catch (const EPngError& e) {
      EXPECT_EQ(e.Message, text);
    }
  };
  expectRefused([&] { png.Chunks().Add<TChunkIHDR>(); }, pnglang::EPNGCannotAddChunkText);
  expectRefused([&] { png.Chunks().Add<TChunkIDAT>(); }, pnglang::EPNGCannotAddChunkText);
  png.Chunks().Add<TChunkgAMA>();
  expectRefused([&] { png.Chunks().Add<TChunkgAMA>(); }, pnglang::EPNGCannotAddChunkText);
  png.Chunks().Add<TChunktRNS>();
  png.AddtEXt("Title", "Mill");
  png.Chunks().Add<TChunkpHYs>();
  EXPECT_EQ(Names(png), "IHDR pHYs gAMA tRNS IDAT tEXt IEND ");
  png.Chunks().RemoveChunk(png.Chunks().FindChunk<TChunkIEND>());
  expectRefused([&] { png.AddtEXt("a", "b"); }, pnglang::EPNGCannotAddInvalidImageText);
  TPNGObject rgb(COLOR_RGB, 8, 1, 1);
  expectRefused([&] { rgb.Chunks().FindChunk<TChunkIHDR>()->Assign(*rgb.Chunks().FindChunk<TChunkIDAT>()); },
                pnglang::EPNGCannotAssignChunkText);
  // A copy of a picture has the same chunks and pixels.
  TPNGObject loaded, copy;
  LoadPng(
      loaded,
      ValidStart().Chunk("tIME", {7, 0xE8, 2, 29, 23, 59, 58}).Chunk("IDAT", Deflate(RgbRows())).End().Bytes);
  copy.Assign(&loaded);
  EXPECT_EQ(SavePng(copy), SavePng(loaded));
}

TEST(PngFile, AncillaryChunksRoundTrip) {
  std::vector<uint8_t> zText = {'K', 0, 0};
  std::vector<uint8_t> compressed = Deflate({'h', 'e', 'l', 'l', 'o'});
  zText.insert(zText.end(), compressed.begin(), compressed.end());
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
  TPNGObject png;
  LoadPng(png, file);
  auto* phys = png.Chunks().FindChunk<TChunkpHYs>();
  EXPECT_EQ(phys->DensityX, 2835u);
  EXPECT_EQ(phys->DensityY, 2836u);
  EXPECT_EQ(phys->DensityUnit, utMeter);
  auto* time = png.Chunks().FindChunk<TChunktIME>();
  EXPECT_EQ(time->Year, 2024);
  EXPECT_EQ(time->Second, 58);
  std::vector<std::pair<std::string, std::string>> texts;
  for (int i = 0; i < png.Chunks().Count(); ++i)
    if (auto* t = dynamic_cast<TChunktEXt*>(png.Chunks().Item(i))) texts.emplace_back(t->Keyword, t->Text);
  EXPECT_EQ(texts, (std::vector<std::pair<std::string, std::string>>{
                       {"a", "b"}, {"", ""}, {"", ""}, {"K", "hello"}, {"B", ""}, {"C", ""}, {"T", ""}}));
  // Unknown ancillary chunks and the parsed ones are written back as read.
  auto chunks = ListChunks(SavePng(png));
  auto original = ListChunks(file);
  for (const char* name : {"pHYs", "tIME", "prVt"}) {
    auto find = [&](auto& list) {
      return std::find_if(list.begin(), list.end(), [&](auto& c) { return c.first == name; })->second;
    };
    EXPECT_EQ(find(chunks), find(original)) << name;
  }
  // zTXt written by the codec: an empty text is one space.
  png.AddzTXt("Empty", "");
  png.AddzTXt("Long", std::string(100000, 'w'));
  TPNGObject again;
  LoadPng(again, SavePng(png));
  std::vector<std::string> written;
  for (int i = 0; i < again.Chunks().Count(); ++i)
    if (auto* z = dynamic_cast<TChunkzTXt*>(again.Chunks().Item(i))) written.push_back(z->Text);
  ASSERT_EQ(written.size(), 6u);
  EXPECT_EQ(written[4], " ");
  EXPECT_EQ(written[5], std::string(100000, 'w'));
}

TEST(PngFile, RegressionInputsFailCleanly) {
  for (const std::string& path : RegressionInputs("fuzz_png")) {
    std::vector<uint8_t> data = ReadFile(path);
    try {
      TPNGObject png;
      LoadPng(png, data);
      TBitmap bitmap;
      bitmap.Assign(&png);
    } catch (const Exception&) {
    }
  }
}
