// The LZW decoder against giflib's files, hand-made code streams, and both
// encoders decoded by giflib and by the decoder.
#include "gif/giflzw.h"

#include <gtest/gtest.h>

#include <cstring>

#include "tests/gif/gifsupport.h"

namespace {

// Offset of the image data (code-size byte) of a file with one frame, no
// extensions and only a global map of 2^globalBits entries.
size_t ImageDataOffset(int globalBits) { return 13 + 3 * (size_t(1) << globalBits) + 10; }

// The same file with its image data cut into sub-blocks of blockSize bytes.
std::vector<uint8_t> Reblock(const std::vector<uint8_t>& file, size_t dataAt, int blockSize) {
  std::vector<uint8_t> codes;
  size_t at = dataAt + 1;
  while (file[at] != 0) {
    codes.insert(codes.end(), file.begin() + static_cast<ptrdiff_t>(at + 1),
                 file.begin() + static_cast<ptrdiff_t>(at + 1 + file[at]));
    at += 1 + file[at];
  }
  std::vector<uint8_t> out(file.begin(), file.begin() + static_cast<ptrdiff_t>(dataAt + 1));
  std::vector<uint8_t> blocks = SubBlocks(codes, blockSize);
  out.insert(out.end(), blocks.begin(), blocks.end());
  out.insert(out.end(), file.begin() + static_cast<ptrdiff_t>(at + 1), file.end());
  return out;
}

// A file of one frame whose image data is the code size and the codes.
std::vector<uint8_t> HandMade(int width, int height, int codeSize,
                              const std::vector<std::pair<int, int>>& codes, int blockSize = 255) {
  ByteWriter w = GifStart(width, height, 8);
  ImageDescriptor(w, 0, 0, width, height);
  w.U8(static_cast<uint8_t>(codeSize)).Bytes(SubBlocks(PackCodes(codes), blockSize)).U8(0x3B);
  return w.Data;
}

TEST(GifDecoder, MatchesGiflibForEveryCodeSizeHeightAndRowOrder) {
  for (int bits = 1; bits <= 8; ++bits) {
    for (int height = 1; height <= 5; ++height) {
      for (bool interlaced : {false, true}) {
        SCOPED_TRACE("bits " + std::to_string(bits) + " height " + std::to_string(height) +
                     (interlaced ? " interlaced" : ""));
        RefFrame frame(13, height, RandomPixels(13 * height, 1 << bits, bits * 10 + height));
        frame.Interlaced = interlaced;
        std::vector<uint8_t> file = GiflibWrite(13, height, bits, {frame});
        TGIFImage image;
        EXPECT_TRUE(LoadGif(image, file).empty());
        ASSERT_EQ(image.Frames().Count(), 1);
        EXPECT_EQ(FramePixels(*image.Frames().SubImages(0)), GiflibRead(file).Frames[0]);
        EXPECT_EQ(image.Frames().SubImages(0)->Interlaced(), interlaced);
      }
    }
  }
}

TEST(GifDecoder, MatchesGiflibForLargeFramesWithFullTables) {
  // Long random frames fill the table to 4096 codes and need clear codes;
  // the interlaced one also has a local map.
  std::vector<RefFrame> frames = {{301, 217, RandomPixels(301 * 217, 256, 1, 3)},
                                  {160, 99, RandomPixels(160 * 99, 16, 2, 20)}};
  frames[1].Left = 5;
  frames[1].Top = 7;
  frames[1].Interlaced = true;
  frames[1].LocalBits = 4;
  std::vector<uint8_t> file = GiflibWrite(320, 240, 8, frames);
  RefImage ref = GiflibRead(file);
  TGIFImage image;
  EXPECT_TRUE(LoadGif(image, file).empty());
  ASSERT_EQ(image.Frames().Count(), 2);
  EXPECT_EQ(image.Width(), 320);
  EXPECT_EQ(FramePixels(*image.Frames().SubImages(0)), ref.Frames[0]);
  TGIFSubImage* second = image.Frames().SubImages(1);
  EXPECT_EQ(FramePixels(*second), ref.Frames[1]);
  EXPECT_EQ(second->BoundsRect(), Rect(5, 7, 165, 106));
  EXPECT_EQ(second->ColorMap().Count(), 16);
}

TEST(GifDecoder, ReadsCodesSpreadOverOneByteSubBlocks) {
  // A 12-bit code then spans up to three sub-blocks of one byte each.
  RefFrame frame(97, 61, RandomPixels(97 * 61, 256, 3, 4));
  std::vector<uint8_t> file = GiflibWrite(97, 61, 8, {frame});
  for (int blockSize : {1, 2, 3}) {
    std::vector<uint8_t> reblocked = Reblock(file, ImageDataOffset(8), blockSize);
    TGIFImage image;
    EXPECT_TRUE(LoadGif(image, reblocked).empty()) << blockSize;
    EXPECT_EQ(FramePixels(*image.Frames().SubImages(0)), frame.Pixels) << blockSize;
  }
}

TEST(GifDecoder, HandlesTheSpecialCasesOfTheCodeStream) {
  // Code size 2: clear 4, end 5, first table code 6. "6" and "7" are each
  // the code being defined (previous string plus its own first pixel); the
  // stream starts with a clear code that is read again.
  TGIFImage image;
  std::vector<uint8_t> file = HandMade(7, 1, 2, {{4, 3}, {4, 3}, {1, 3}, {6, 3}, {7, 3}, {2, 4}, {5, 4}});
  EXPECT_TRUE(LoadGif(image, file).empty());
  EXPECT_EQ(FramePixels(*image.Frames().SubImages(0)), std::vector<uint8_t>({1, 1, 1, 1, 1, 1, 2}));

  // After a clear code the first code is a pixel whatever its value (the
  // low 8 bits count).
  file = HandMade(2, 1, 8, {{256, 9}, {300, 9}, {7, 9}, {257, 9}});
  EXPECT_TRUE(LoadGif(image, file).empty());
  EXPECT_EQ(FramePixels(*image.Frames().SubImages(0)), std::vector<uint8_t>({300 & 0xFF, 7}));
}

TEST(GifDecoder, LeavesTheFillValueWhereTheDataEnds) {
  // An end code after two pixels: the rest keeps the transparent index of
  // the frame's graphic control extension; the next frame still loads.
  ByteWriter w = GifStart(4, 1, 2);
  w.U8(0x21).U8(0xF9).U8(4).U8(0x01).U16(0).U8(3).U8(0);
  ImageDescriptor(w, 0, 0, 4, 1);
  w.U8(2).Bytes(SubBlocks(PackCodes({{4, 3}, {1, 3}, {2, 3}, {5, 3}})));
  ImageDescriptor(w, 0, 0, 4, 1);
  w.U8(2).Bytes(SubBlocks(PackCodes({{4, 3}, {2, 3}, {5, 3}}))).U8(0x3B);
  TGIFImage image;
  EXPECT_TRUE(LoadGif(image, w.Data).empty());
  ASSERT_EQ(image.Frames().Count(), 2);
  EXPECT_TRUE(image.Frames().SubImages(0)->Transparent());
  EXPECT_EQ(FramePixels(*image.Frames().SubImages(0)), std::vector<uint8_t>({1, 2, 3, 3}));
  EXPECT_EQ(FramePixels(*image.Frames().SubImages(1)), std::vector<uint8_t>({2, 0, 0, 0}));

  // Data that stops without an end code, on a byte boundary: the bits run
  // out after the terminator.
  EXPECT_EQ(LoadGif(image, HandMade(6, 1, 2, {{4, 3}, {1, 3}, {2, 3}, {3, 3}, {1, 4}})),
            std::vector<std::string>({sDecodeTooFewBits}));
  EXPECT_EQ(FramePixels(*image.Frames().SubImages(0)), std::vector<uint8_t>({1, 2, 3, 1, 0, 0}));

  // A sub-block longer than the rest of the file: decoding goes on with the
  // bytes that are there.
  std::vector<uint8_t> file = HandMade(6, 1, 2, {{4, 3}, {1, 3}, {2, 3}, {3, 3}, {2, 4}, {1, 4}, {5, 4}});
  file.resize(file.size() - 3);  // the last data byte, the terminator and the trailer
  EXPECT_EQ(LoadGif(image, file), std::vector<std::string>({sOutOfData}));
  EXPECT_EQ(FramePixels(*image.Frames().SubImages(0)), std::vector<uint8_t>({1, 2, 3, 2, 0, 0}));

  // No code-size byte at all: the frame keeps its fill value silently.
  ByteWriter bare = GifStart(2, 1, 1);
  ImageDescriptor(bare, 0, 0, 2, 1);
  EXPECT_TRUE(LoadGif(image, bare.Data).empty());
  EXPECT_EQ(FramePixels(*image.Frames().SubImages(0)), std::vector<uint8_t>({0, 0}));
}

TEST(GifDecoder, RefusesCircularTablesAndOversizedCodes) {
  TGIFImage image;
  // Code 7 is defined with prefix 7: a table entry that is its own prefix.
  EXPECT_EQ(LoadError(image, HandMade(20, 1, 2, {{4, 3}, {7, 3}, {7, 3}, {7, 3}, {7, 4}, {5, 4}})),
            sDecodeCircular);
  EXPECT_EQ(image.Frames().Count(), 0);
  // Codes 10 and 11 become each other's prefix: the string never ends.
  EXPECT_EQ(LoadError(image, HandMade(100, 1, 3, {{8, 4}, {11, 4}, {10, 4}, {11, 4}, {10, 4}, {9, 4}})),
            sDecodeCircular);
  // A code size of 12 would make codes beyond the 4096-entry table.
  EXPECT_EQ(LoadError(image, HandMade(2, 1, 12, {{4096, 13}, {1, 13}})), sInvalidData);
  // Code size 11 is the largest that works.
  EXPECT_EQ(LoadError(image, HandMade(2, 1, 11, {{2048, 12}, {9, 12}, {200, 12}, {2049, 12}})), "");
  EXPECT_EQ(FramePixels(*image.Frames().SubImages(0)), std::vector<uint8_t>({9, 200}));
}

// --- Encoders -----------------------------------------------------------------

std::vector<uint8_t> Encode(TGIFEncoder&& encoder, int bits, int width, int height, bool interlaced,
                            const uint8_t* data, int colors) {
  TMemoryStream stream;
  encoder.Compress(stream, bits, width, height, interlaced, data, colors);
  return std::vector<uint8_t>(stream.Memory(), stream.Memory() + stream.Size());
}

std::vector<uint8_t> Concat(std::vector<uint8_t> a, const std::vector<uint8_t>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

TEST(GifEncoder, BothEncodersRoundTripThroughGiflibAndTheDecoder) {
  for (TGIFCompression compression : {gcLZW, gcRLE}) {
    for (int colors : {2, 3, 4, 5, 16, 17, 128, 256}) {
      for (int height = 1; height <= 5; ++height) {
        for (bool interlaced : {false, true}) {
          SCOPED_TRACE(std::string(compression == gcLZW ? "LZW" : "RLE") + " colours " +
                       std::to_string(colors) + " height " + std::to_string(height) +
                       (interlaced ? " interlaced" : ""));
          std::vector<uint8_t> pixels = RandomPixels(11 * height, colors, colors + height, 6);
          auto image = MakeImage(colors, 11, height, pixels, interlaced);
          image->Compression = compression;
          std::vector<uint8_t> file = SaveGif(*image);
          EXPECT_EQ(GiflibRead(file).Frames.at(0), pixels);
          TGIFImage back;
          EXPECT_TRUE(LoadGif(back, file).empty());
          EXPECT_EQ(FramePixels(*back.Frames().SubImages(0)), pixels);
          EXPECT_EQ(back.Frames().SubImages(0)->Interlaced(), interlaced);
        }
      }
    }
  }
}

TEST(GifEncoder, LongFramesRoundTripThroughGiflib) {
  // Random short runs make the LZW table full many times; long single-colour
  // runs and alternating runs drive every branch of the run-length encoder.
  std::vector<uint8_t> noisy = RandomPixels(400 * 300, 256, 7, 3);
  std::vector<uint8_t> runs = RandomPixels(400 * 300, 5, 8, 5000);
  std::vector<uint8_t> mixed = RandomPixels(400 * 300, 3, 9, 40);
  std::fill(runs.begin() + 1000, runs.begin() + 60000, uint8_t(2));
  for (TGIFCompression compression : {gcLZW, gcRLE}) {
    for (const auto* pixels : {&noisy, &runs, &mixed}) {
      auto image = MakeImage(pixels == &noisy ? 256 : 5, 400, 300, *pixels, pixels == &mixed);
      image->Compression = compression;
      std::vector<uint8_t> file = SaveGif(*image);
      EXPECT_EQ(GiflibRead(file).Frames.at(0), *pixels);
      TGIFImage back;
      EXPECT_TRUE(LoadGif(back, file).empty());
      EXPECT_EQ(FramePixels(*back.Frames().SubImages(0)), *pixels);
    }
  }
  // A frame of one colour takes about sqrt(2 n) run codes.
  std::vector<uint8_t> flat(1000 * 1000, 1);
  auto image = MakeImage(2, 1000, 1000, flat);
  image->Compression = gcRLE;
  std::vector<uint8_t> file = SaveGif(*image);
  EXPECT_LT(file.size(), 3000u);
  EXPECT_EQ(GiflibRead(file).Frames.at(0), flat);
}

TEST(GifEncoder, WritesTheExactCodeSequences) {
  uint8_t pixel = 0;
  // A 1-bit frame uses code size 2: clear 4, the pixel, end 5, three bits each.
  std::vector<uint8_t> lzw = Encode(TLZWEncoder(), 1, 1, 1, false, &pixel, 2);
  EXPECT_EQ(lzw, std::vector<uint8_t>({2, 2, 0x44, 0x01, 0}));
  // Without pixels only the end code is written.
  EXPECT_EQ(Encode(TLZWEncoder(), 1, 0, 5, false, &pixel, 2), std::vector<uint8_t>({2, 1, 5, 0}));
  EXPECT_EQ(Encode(TRLEEncoder(), 3, 4, 4, false, nullptr, 8), std::vector<uint8_t>({3, 1, 9, 0}));

  // One colour as a run: the pixel, then the codes 6, 7, 8 for runs of 2, 3
  // and 4 pixels; the width grows after the third code.
  std::vector<uint8_t> ones(10, 1);
  EXPECT_EQ(Encode(TRLEEncoder(), 1, 10, 1, false, ones.data(), 2),
            Concat({2}, SubBlocks(PackCodes({{4, 3}, {1, 3}, {6, 3}, {7, 3}, {8, 4}, {5, 4}}))));

  // Neighbours that all differ: literal codes, a clear code after 9 of them.
  std::vector<uint8_t> steps = {0, 1, 2, 3, 0, 1, 2, 3, 0, 1, 2, 3};
  std::vector<std::pair<int, int>> codes = {{4, 3}, {0, 3}, {1, 3}, {2, 3}};
  for (int i = 3; i < 9; ++i) codes.push_back({steps[i], 4});
  codes.insert(codes.end(), {{4, 4}, {1, 3}, {2, 3}, {3, 3}, {5, 4}});
  EXPECT_EQ(Encode(TRLEEncoder(), 2, 12, 1, false, steps.data(), 4),
            Concat({2}, SubBlocks(PackCodes(codes))));

  // With code size 4 the clear comes one code before the width would grow.
  std::vector<uint8_t> ramp(30);
  for (size_t i = 0; i < ramp.size(); ++i) ramp[i] = static_cast<uint8_t>(i % 16);
  codes = {{16, 5}};
  for (size_t i = 0; i < ramp.size(); ++i) {
    codes.push_back({ramp[i], 5});
    if (i == 13 || i == 27) codes.push_back({16, 5});
  }
  codes.push_back({17, 5});
  EXPECT_EQ(Encode(TRLEEncoder(), 4, 30, 1, false, ramp.data(), 16),
            Concat({4}, SubBlocks(PackCodes(codes))));
}

TEST(GifEncoder, WritesSubBlocksOf255BytesAndATerminator) {
  std::vector<uint8_t> pixels = RandomPixels(200 * 100, 256, 11, 1);
  std::vector<uint8_t> out = Encode(TLZWEncoder(), 8, 200, 100, false, pixels.data(), 256);
  ASSERT_EQ(out[0], 8);
  size_t at = 1;
  int blocks = 0;
  while (out[at] == 255) {
    at += 256;
    ++blocks;
  }
  EXPECT_GT(blocks, 10);
  ASSERT_GT(out[at], 0);
  at += out[at] + 1u;
  EXPECT_EQ(out[at], 0);
  EXPECT_EQ(at + 1, out.size());
  // The codes start with a clear code (256 in 9 bits).
  EXPECT_EQ(out[2], 0x00);
  EXPECT_EQ(out[3] & 1, 1);
}

TEST(GifEncoder, RefusesPixelsBeyondTheColourCount) {
  std::vector<uint8_t> pixels = RandomPixels(5000, 4, 12, 2);
  pixels[4000] = 4;
  for (TGIFCompression compression : {gcLZW, gcRLE}) {
    auto image = MakeImage(4, 100, 50, pixels, false, compression == gcRLE);
    image->Compression = compression;
    TMemoryStream stream;
    try {
      image->SaveToStream(stream);
      FAIL() << "no exception";
    } catch (const GIFException& e) {
      EXPECT_STREQ(e.what(), sInvalidColor);
    }
    // The codes packed before the bad pixel were written, without the
    // terminator.
    EXPECT_GT(stream.Size(), 100);
  }
  // A frame without colours anywhere allows the pixel 0 only.
  auto image = MakeImage(0, 2, 1, {0, 1});
  EXPECT_THROW(SaveGif(*image), GIFException);
}

TEST(GifEncoder, AdaptorStreamRefusesStreamOperations) {
  TMemoryStream target;
  TGIFWriter writer(target);
  uint8_t byte = 0;
  for (auto op : {0, 1, 2}) {
    try {
      if (op == 0) writer.Read(&byte, 1);
      if (op == 1) writer.Seek(0, soBeginning);
      if (op == 2) TGIFStream(target).Write(&byte, 1);
      FAIL() << "no exception";
    } catch (const Exception& e) {
      EXPECT_EQ(e.Message, sInvalidStream);
    }
  }
  // The writer packs 300 bytes into blocks of 255 and 45.
  std::vector<uint8_t> data(300, 7);
  EXPECT_EQ(writer.Write(data.data(), 300), 300);
  writer.Flush();
  EXPECT_EQ(target.Size(), 302);
  EXPECT_EQ(target.Memory()[0], 255);
  EXPECT_EQ(target.Memory()[256], 45);
}

TEST(GifEncoder, HashTableFindsWhatWasInsertedEvenWhenCrowded) {
  THashTable table;
  EXPECT_EQ(table.Lookup(0), -1);
  // More entries than one probe cycle has slots: every lookup ends.
  for (int code = 6; code < 4095; ++code) table.Insert(code << 8 | (code & 3), code);
  int found = 0;
  for (int code = 6; code < 4095; ++code) found += table.Lookup(code << 8 | (code & 3)) == code;
  EXPECT_GT(found, 4000);
  EXPECT_EQ(table.Lookup(5 << 8), -1);
  table.Clear();
  EXPECT_EQ(table.Lookup(6 << 8 | 2), -1);
}

}  // namespace
