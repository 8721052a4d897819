// The LZW decoder against giflib's files, hand-made code streams, and both
// encoders decoded by giflib and by the decoder.
#include "gif/giflzw.h"

#include <gtest/gtest.h>

#include "tests/gif/gifsupport.h"

namespace {

// A one-frame file with its image data (from dataAt, the code-size byte)
// cut again into sub-blocks of blockSize bytes.
std::vector<uint8_t> Reblock(const std::vector<uint8_t>& file, size_t dataAt, int blockSize) {
  std::vector<uint8_t> codes, out(file.begin(), file.begin() + long(dataAt + 1));
  size_t at = dataAt + 1;
  for (; file[at] != 0; at += 1 + file[at]) codes.insert(codes.end(), &file[at + 1], &file[at + 1] + file[at]);
  std::vector<uint8_t> blocks = SubBlocks(codes, blockSize);
  out.insert(out.end(), blocks.begin(), blocks.end());
  out.insert(out.end(), file.begin() + long(at + 1), file.end());
  return out;
}

// A file of one frame whose image data is the code size and the codes.
std::vector<uint8_t> HandMade(int width, int height, int codeSize, const std::vector<std::pair<int, int>>& codes) {
  ByteWriter w = GifStart(width, height, 8);
  ImageDescriptor(w, 0, 0, width, height);
  w.U8(static_cast<uint8_t>(codeSize)).Bytes(SubBlocks(PackCodes(codes))).U8(0x3B);
  return w.Data;
}

// The code size and the codes as sub-blocks.
std::vector<uint8_t> CodeData(int codeSize, const std::vector<std::pair<int, int>>& codes) {
  std::vector<uint8_t> data = SubBlocks(PackCodes(codes));
  data.insert(data.begin(), uint8_t(codeSize));
  return data;
}

// The frame saved with each compression comes back from giflib and from the
// decoder, in its row order.
void ExpectRoundTrips(TGIFImage& image, const std::vector<uint8_t>& pixels) {
  for (TGIFCompression compression : {gcLZW, gcRLE}) {
    SCOPED_TRACE(compression == gcLZW ? "LZW" : "RLE");
    image.Compression = compression;
    std::vector<uint8_t> file = SavedBytes(image);
    EXPECT_EQ(GiflibRead(file).Frames.at(0), pixels);
    TGIFImage back;
    EXPECT_TRUE(LoadGif(back, file).empty());
    EXPECT_EQ(FramePixels(FrameOf(back)), pixels);
    EXPECT_EQ(FrameOf(back).Interlaced(), FrameOf(image).Interlaced());
  }
}

TEST(GifDecoder, MatchesGiflibForEveryCodeSizeHeightAndRowOrder) {
  for (int bits = 1; bits <= 8; ++bits)
    for (int height = 1; height <= 5; ++height)
      for (bool interlaced : {false, true}) {
        SCOPED_TRACE("bits " + std::to_string(bits) + " height " + std::to_string(height) +
                     (interlaced ? " interlaced" : ""));
        RefFrame frame(13, height, RandomPixels(13 * height, 1 << bits, bits * 10 + height));
        frame.Interlaced = interlaced;
        std::vector<uint8_t> file = GiflibWrite(13, height, bits, {frame});
        EXPECT_EQ(DecodedPixels(file), GiflibRead(file).Frames[0]);
      }
}

TEST(GifDecoder, MatchesGiflibForLargeFramesWithFullTables) {
  // Long random frames fill the table to 4096 codes and need clear codes;
  // the second, interlaced and placed, also has a local map.
  std::vector<RefFrame> frames = {{301, 217, RandomPixels(301 * 217, 256, 1, 3)},
                                  {160, 99, RandomPixels(160 * 99, 16, 2, 20)}};
  frames[1].Left = 5;
  frames[1].Top = 7;
  frames[1].Interlaced = true;
  frames[1].LocalBits = 4;
  std::vector<uint8_t> file = GiflibWrite(320, 240, 8, frames);
  TGIFImage image;
  EXPECT_TRUE(LoadGif(image, file).empty());
  ASSERT_EQ(image.Frames().Count(), 2);
  for (int i = 0; i < 2; ++i) EXPECT_EQ(FramePixels(FrameOf(image, i)), frames[size_t(i)].Pixels);
  EXPECT_EQ(FrameOf(image, 1).BoundsRect(), Rect(5, 7, 165, 106));
}

TEST(GifDecoder, ReadsCodesSpreadOverOneByteSubBlocks) {
  // A 12-bit code then spans up to three sub-blocks of one byte each.
  RefFrame frame(97, 61, RandomPixels(97 * 61, 256, 3, 4));
  std::vector<uint8_t> file = GiflibWrite(97, 61, 8, {frame});
  for (int blockSize : {1, 2, 3})
    EXPECT_EQ(DecodedPixels(Reblock(file, 13 + 3 * 256 + 10, blockSize)), frame.Pixels) << blockSize;
}

TEST(GifDecoder, HandlesTheSpecialCasesOfTheCodeStream) {
  // Code size 2: clear 4, end 5, first table code 6. "6" and "7" are each
  // the code being defined (previous string plus its own first pixel); the
  // stream starts with a clear code that is read again.
  EXPECT_EQ(DecodedPixels(HandMade(7, 1, 2, {{4, 3}, {4, 3}, {1, 3}, {6, 3}, {7, 3}, {2, 4}, {5, 4}})),
            std::vector<uint8_t>({1, 1, 1, 1, 1, 1, 2}));
  // After a clear code the first code is a pixel whatever its value (the
  // low 8 bits count).
  EXPECT_EQ(DecodedPixels(HandMade(2, 1, 8, {{256, 9}, {300, 9}, {7, 9}, {257, 9}})),
            std::vector<uint8_t>({300 & 0xFF, 7}));
}

TEST(GifDecoder, LeavesTheFillValueWhereTheDataEnds) {
  // An end code after two pixels: the rest keeps the transparent index of
  // the frame's graphic control extension; the next frame still loads.
  ByteWriter w = GifStart(4, 1, 2);
  w.U8(0x21).U8(0xF9).U8(4).U8(0x01).U16(0).U8(3).U8(0);
  ImageDescriptor(w, 0, 0, 4, 1);
  w.Bytes(CodeData(2, {{4, 3}, {1, 3}, {2, 3}, {5, 3}}));
  ImageDescriptor(w, 0, 0, 4, 1);
  w.Bytes(CodeData(2, {{4, 3}, {2, 3}, {5, 3}})).U8(0x3B);
  TGIFImage image;
  EXPECT_TRUE(LoadGif(image, w.Data).empty());
  ASSERT_EQ(image.Frames().Count(), 2);
  EXPECT_TRUE(FrameOf(image).Transparent());
  EXPECT_EQ(FramePixels(FrameOf(image)), std::vector<uint8_t>({1, 2, 3, 3}));
  EXPECT_EQ(FramePixels(FrameOf(image, 1)), std::vector<uint8_t>({2, 0, 0, 0}));

  // Data that stops without an end code, on a byte boundary: the bits run
  // out after the terminator.
  EXPECT_EQ(LoadGif(image, HandMade(6, 1, 2, {{4, 3}, {1, 3}, {2, 3}, {3, 3}, {1, 4}})),
            std::vector<std::string>({sDecodeTooFewBits}));
  EXPECT_EQ(FramePixels(FrameOf(image)), std::vector<uint8_t>({1, 2, 3, 1, 0, 0}));

  // A sub-block longer than the rest of the file: decoding goes on with the
  // bytes that are there.
  std::vector<uint8_t> file = HandMade(6, 1, 2, {{4, 3}, {1, 3}, {2, 3}, {3, 3}, {2, 4}, {1, 4}, {5, 4}});
  file.resize(file.size() - 3);  // the last data byte, the terminator and the trailer
  EXPECT_EQ(LoadGif(image, file), std::vector<std::string>({sOutOfData}));
  EXPECT_EQ(FramePixels(FrameOf(image)), std::vector<uint8_t>({1, 2, 3, 2, 0, 0}));

  // No code-size byte at all: the frame keeps its fill value silently.
  ByteWriter bare = GifStart(2, 1, 1);
  ImageDescriptor(bare, 0, 0, 2, 1);
  EXPECT_EQ(DecodedPixels(bare.Data), std::vector<uint8_t>({0, 0}));
}

TEST(GifDecoder, RefusesCircularTablesAndOversizedCodes) {
  TGIFImage image;
  // Code 7 is defined with prefix 7: a table entry that is its own prefix.
  EXPECT_EQ(LoadError(image, HandMade(20, 1, 2, {{4, 3}, {7, 3}, {7, 3}, {7, 3}, {7, 4}, {5, 4}})), sDecodeCircular);
  EXPECT_EQ(image.Frames().Count(), 0);
  // Codes 10 and 11 become each other's prefix: the string never ends.
  EXPECT_EQ(LoadError(image, HandMade(100, 1, 3, {{8, 4}, {11, 4}, {10, 4}, {11, 4}, {10, 4}, {9, 4}})),
            sDecodeCircular);
  // A code size of 12 would make codes beyond the 4096-entry table; 11 is
  // the largest that works.
  EXPECT_EQ(LoadError(image, HandMade(2, 1, 12, {{4096, 13}, {1, 13}})), sInvalidData);
  EXPECT_EQ(DecodedPixels(HandMade(2, 1, 11, {{2048, 12}, {9, 12}, {200, 12}, {2049, 12}})),
            std::vector<uint8_t>({9, 200}));
}

TEST(GifEncoder, BothEncodersRoundTripThroughGiflibAndTheDecoder) {
  for (int colors : {2, 3, 5, 17, 256})
    for (int height = 1; height <= 5; ++height)
      for (bool interlaced : {false, true}) {
        SCOPED_TRACE("colours " + std::to_string(colors) + " height " + std::to_string(height) +
                     (interlaced ? " interlaced" : ""));
        std::vector<uint8_t> pixels = RandomPixels(11 * height, colors, colors + height, 6);
        ExpectRoundTrips(*MakeImage(colors, 11, height, pixels, interlaced), pixels);
      }
  // Random short runs make the LZW table full many times; long single-colour
  // runs and alternating runs drive every branch of the run-length encoder.
  std::vector<uint8_t> noisy = RandomPixels(400 * 300, 256, 7, 3), mixed = RandomPixels(400 * 300, 3, 9, 40);
  std::vector<uint8_t> runs = RandomPixels(400 * 300, 5, 8, 5000);
  std::fill(runs.begin() + 1000, runs.begin() + 60000, uint8_t(2));
  ExpectRoundTrips(*MakeImage(256, 400, 300, noisy), noisy);
  ExpectRoundTrips(*MakeImage(5, 400, 300, runs), runs);
  ExpectRoundTrips(*MakeImage(5, 400, 300, mixed, true), mixed);
  // A frame of one colour takes about sqrt(2 n) run codes.
  std::vector<uint8_t> flat(1000 * 1000, 1);
  auto image = MakeImage(2, 1000, 1000, flat);
  image->Compression = gcRLE;
  std::vector<uint8_t> file = SavedBytes(*image);
  EXPECT_LT(file.size(), 3000u);
  EXPECT_EQ(GiflibRead(file).Frames.at(0), flat);
}

// The codes of image data (the code-size byte, then sub-blocks) with the
// widths they were read at, following the table as a decoder keeps it.
std::vector<std::pair<int, int>> CodesOf(const std::vector<uint8_t>& data) {
  const int codeSize = data.at(0), clear = 1 << codeSize;
  std::vector<uint8_t> bytes;
  for (size_t at = 1; data.at(at) != 0; at += 1 + data[at]) bytes.insert(bytes.end(), &data[at + 1], &data[at + 1] + data[at]);
  std::vector<std::pair<int, int>> codes;
  int width = codeSize + 1, next = clear + 2;
  bool first = true;
  for (size_t bit = 0; bit + size_t(width) <= bytes.size() * 8;) {
    int code = 0;
    for (int i = 0; i < width; ++i, ++bit) code |= (bytes[bit / 8] >> (bit % 8) & 1) << i;
    codes.emplace_back(code, width);
    if (code == clear + 1) break;
    if (code == clear) {
      width = codeSize + 1;
      next = clear + 2;
      first = true;
      continue;
    }
    if (!first && next < 4096 && ++next >= 1 << width && width < 12) ++width;
    first = false;
  }
  return codes;
}

TEST(GifEncoder, LzwClearsWhenTheTableIsFull) {
  // Every miss defines a code from 258 on; the miss that would define 4095
  // writes its code and then a clear code, at 12 bits; the codes after it
  // start at 9 bits again.
  std::vector<uint8_t> pixels = RandomPixels(300 * 200, 256, 11, 1);
  std::vector<uint8_t> file = SavedBytes(*MakeImage(256, 300, 200, pixels));
  std::vector<std::pair<int, int>> codes = CodesOf(std::vector<uint8_t>(file.begin() + 13 + 768 + 10, file.end()));
  ASSERT_GT(codes.size(), 3900u);
  EXPECT_EQ(codes[0], std::make_pair(256, 9));
  size_t second = 1;
  while (second < codes.size() && codes[second].first != 256) ++second;
  EXPECT_EQ(second, 1 + (4095 - 258) + 1u);
  ASSERT_LT(second + 1, codes.size());
  EXPECT_EQ(codes[second].second, 12);
  EXPECT_EQ(codes[second + 1].second, 9);
}

// The data codes between one clear code and the next, for every clear.
std::vector<size_t> ClearSpacing(const std::vector<std::pair<int, int>>& codes, int clear) {
  std::vector<size_t> spacing;
  size_t last = 0;
  for (size_t i = 1; i < codes.size(); ++i)
    if (codes[i].first == clear) {
      spacing.push_back(i - last - 1);
      last = i;
    }
  return spacing;
}

TEST(GifEncoder, RunLengthCodesKeepToTheirLimits) {
  // Neighbours that all differ: literal codes, and a clear code as soon as
  // 9 followed the last one (code sizes up to 3), else clear code - 2.
  for (auto [colors, limit] : {std::pair{4, 9}, std::pair{8, 9}, std::pair{16, 14}, std::pair{256, 254}}) {
    SCOPED_TRACE(colors);
    std::vector<uint8_t> pixels(3000);
    for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = uint8_t(i % size_t(colors));
    auto image = MakeImage(colors, 3000, 1, pixels);
    image->Compression = gcRLE;
    std::vector<uint8_t> file = SavedBytes(*image);
    int bits = ColorsToBitsPerPixel(colors), codeSize = std::max(2, bits);
    std::vector<std::pair<int, int>> codes = CodesOf(std::vector<uint8_t>(file.begin() + 13 + (3 << bits) + 10, file.end()));
    std::vector<size_t> spacing = ClearSpacing(codes, 1 << codeSize);
    ASSERT_GT(spacing.size(), 3u);
    for (size_t s : spacing) ASSERT_EQ(s, size_t(limit));
  }
  // One colour: the pixel, then the run codes 6, 7, 8, ... (runs of 2, 3,
  // 4, ... pixels), until 4095 - 6 codes followed the clear.
  auto image = MakeImage(2, 3000, 3000, std::vector<uint8_t>(size_t(3000) * 3000, 1));
  image->Compression = gcRLE;
  std::vector<uint8_t> file = SavedBytes(*image);
  std::vector<std::pair<int, int>> codes = CodesOf(std::vector<uint8_t>(file.begin() + 13 + 6 + 10, file.end()));
  ASSERT_GT(codes.size(), 4100u);
  EXPECT_EQ(std::vector<int>({codes[1].first, codes[2].first, codes[3].first, codes[4089].first}),
            std::vector<int>({1, 6, 7, 4093}));
  EXPECT_EQ(ClearSpacing(codes, 4).at(0), 4089u);
}

TEST(GifEncoder, RefusesPixelsBeyondTheColourCount) {
  // The codes packed before the bad pixel were written, without the
  // terminator.
  std::vector<uint8_t> pixels = RandomPixels(5000, 4, 12, 2);
  pixels[4000] = 4;
  for (TGIFCompression compression : {gcLZW, gcRLE}) {
    auto image = MakeImage(4, 100, 50, pixels, false, compression == gcRLE);
    image->Compression = compression;
    TMemoryStream stream;
    EXPECT_EQ(RaisedMessage<GIFException>([&] { image->SaveToStream(stream); }), sInvalidColor);
    EXPECT_GT(stream.Size(), 100);
  }
  // A frame without colours anywhere allows the pixel 0 only.
  EXPECT_THROW(SavedBytes(*MakeImage(0, 2, 1, {0, 1})), GIFException);
}

TEST(GifEncoder, HashTableGivesUpAfterOneTurnOfItsProbe) {
  // More keys than slots: every probe cycle fills, and inserting or looking
  // up then stops after one turn instead of circling for ever. What was
  // stored is still found.
  THashTable table;
  EXPECT_EQ(table.Lookup(0), -1);
  for (int key = 0; key < 10000; ++key) table.Insert(key, key & 0xFFF);
  int found = 0;
  for (int key = 0; key < 10000; ++key) found += table.Lookup(key) == (key & 0xFFF);
  EXPECT_EQ(found, 8009);
  EXPECT_EQ(table.Lookup(30000), -1);
  table.Clear();
  EXPECT_EQ(table.Lookup(7), -1);
}

}  // namespace
