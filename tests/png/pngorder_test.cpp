// Chunks out of their usual places: a second header, a palette that comes
// after the image data, two palettes or an empty one, and a late gamma.
#include <gtest/gtest.h>

#include "png/pnglang.h"
#include "tests/png/pngreference.h"
#include "tests/support/testsupport.h"

namespace {

using TChunks = std::vector<std::pair<std::string, std::vector<uint8_t>>>;

std::vector<uint8_t> FileOf(const TChunks& chunks) {
  TChunkStream stream;
  for (const auto& [name, data] : chunks) stream.Chunk(name, data);
  return stream.Bytes;
}

// The chunks with one more put right before the first chunk named before.
TChunks Inserted(TChunks chunks, const std::string& name, const std::vector<uint8_t>& data,
                 const std::string& before) {
  auto at = std::find_if(chunks.begin(), chunks.end(), [&](const auto& chunk) { return chunk.first == before; });
  chunks.insert(at, {name, data});
  return chunks;
}

// The chunks with those of the name taken out and put right before the
// first chunk named before.
TChunks Moved(const TChunks& chunks, const std::string& name, const std::string& before) {
  TChunks kept, taken;
  for (const auto& chunk : chunks) (chunk.first == name ? taken : kept).push_back(chunk);
  for (const auto& [moved, data] : taken) kept = Inserted(kept, moved, data, before);
  return kept;
}

std::string Names(const TChunks& chunks) {
  std::string names;
  for (const auto& chunk : chunks) {
    if (!names.empty()) names += ' ';
    names += chunk.first;
  }
  return names;
}
std::string Names(const TPNGList& list) {
  std::string names;
  for (int i = 0; i < list.Count(); ++i) {
    if (!names.empty()) names += ' ';
    names += list.Item(i)->GetChunkName();
  }
  return names;
}

// The 13 bytes of a header.
std::vector<uint8_t> HeaderBytes(int width, int height, int depth, int colorType, int interlace) {
  return ListChunks(TChunkStream().Header(width, height, depth, colorType, interlace).Bytes)[0].second;
}

// The file's picture, as the program's loader shows it, is the one libpng
// reads from the reference file.
void ExpectPictureOf(const std::vector<uint8_t>& file, const std::vector<uint8_t>& reference, int colorType,
                     uint32_t gamma, const std::string& what) {
  std::unique_ptr<TBitmap> bitmap = LoadWorkingBitmap(file);
  TRgbaPicture rgba = ReadWithLibpng(reference);
  ASSERT_EQ(bitmap->Width(), rgba.Width) << what;
  ASSERT_EQ(bitmap->Height(), rgba.Height) << what;
  std::vector<TColor> expected = ExpectedColors(rgba, colorType, gamma), shown;
  for (int y = 0; y < rgba.Height; ++y)
    for (int x = 0; x < rgba.Width; ++x) shown.push_back(PixelAt(*bitmap, x, y));
  EXPECT_EQ(shown, expected) << what;
}

}  // namespace

// A header after the first is read and kept where it stood, but the picture
// is the first header's: its size, kind and interlacing decode and hold the
// image data, whichever place, size, kind or interlacing the later header
// claims. The later one holds no picture, and the file written holds only
// the picture's header, so that other readers take it.
TEST(PngChunkOrder, ALaterHeaderLeavesThePictureToTheFirst) {
  struct Case {
    TSamplePicture First;
    std::vector<uint8_t> Later;
    std::string Before;  // the later header comes right before this chunk
  };
  TSamplePicture paletteAlphas = MakeSamplePicture(3, 2, 6, 3, false, 4);
  // Alphas a grey 2-bit header would take for its transparent sample.
  paletteAlphas.PaletteAlpha = {0, 3};
  const Case cases[] = {
      // Buffers of the later header's size would pass the memory cap.
      {MakeSamplePicture(2, 8, 7, 5, false, 1), HeaderBytes(65535, 65535, 16, 6, 1), "IDAT"},
      {MakeSamplePicture(2, 16, 9, 4, true, 2), HeaderBytes(1, 1, 1, 0, 0), "IDAT"},
      {MakeSamplePicture(4, 8, 5, 5, true, 3), HeaderBytes(40, 2, 8, 3, 0), "IDAT"},  // no PLTE
      {paletteAlphas, HeaderBytes(3, 3, 2, 0, 1), "IEND"},
      {MakeSamplePicture(0, 4, 8, 2, false, 5), HeaderBytes(8, 2, 16, 2, 1), "IEND"},
  };
  for (const Case& c : cases) {
    const std::string what = c.First.Name() + " before " + c.Before;
    std::vector<uint8_t> original = WriteWithLibpng(c.First);
    TChunks chunks = Inserted(ListChunks(original), "IHDR", c.Later, c.Before);
    std::vector<uint8_t> file = FileOf(chunks);
    std::unique_ptr<TPNGObject> png = LoadPng(file);
    EXPECT_EQ(Names(png->ChunkList()), Names(chunks)) << what;
    EXPECT_EQ(png->Width(), c.First.Width) << what;
    EXPECT_EQ(png->Height(), c.First.Height) << what;
    EXPECT_EQ(png->InterlaceMethod, c.First.Interlaced ? imAdam7 : imNone) << what;
    int at = int(std::find_if(chunks.begin() + 1, chunks.end(), [](const auto& k) { return k.first == "IHDR"; }) -
                 chunks.begin());
    auto* later = dynamic_cast<TChunkIHDR*>(png->ChunkList().Item(at));
    ASSERT_NE(later, nullptr) << what;
    EXPECT_EQ(later->Data, c.Later) << what;
    EXPECT_EQ(later->Width() + later->Height(), 0) << what;
    EXPECT_EQ(later->RowStride(), 0) << what;
    ExpectPictureOf(file, original, c.First.ColorType, 0, what);

    // Written back, the picture and its chunks are there once; the copy of
    // the object writes the same.
    std::vector<uint8_t> saved = SavedBytes(*png);
    EXPECT_EQ(Names(ListChunks(saved)), Names(ListChunks(original))) << what;
    EXPECT_EQ(ReadWithLibpng(saved).Pixels, ReadWithLibpng(original).Pixels) << what;
    EXPECT_EQ(LoadPng(saved)->InterlaceMethod, png->InterlaceMethod) << what;
    TPNGObject copy;
    copy.Assign(png.get());
    EXPECT_EQ(SavedBytes(copy), saved) << what;
  }

  // A later header is checked as the first is.
  std::vector<uint8_t> rgb = WriteWithLibpng(MakeSamplePicture(2, 8, 4, 4, false, 6));
  const std::pair<std::vector<uint8_t>, std::string> refused[] = {
      {std::vector<uint8_t>(12, 1), pnglang::EPNGInvalidIHDRText},
      {HeaderBytes(70000, 1, 8, 2, 0), pnglang::EPNGSizeExceedsText},
      {HeaderBytes(4, 4, 8, 5, 0), pnglang::EPNGInvalidIHDRText},
  };
  for (const auto& [later, message] : refused)
    EXPECT_EQ(RaisedMessage<Exception>([&] { LoadPng(FileOf(Inserted(ListChunks(rgb), "IHDR", later, "IDAT"))); }),
              message);
}

// A palette that comes after the image data colours the picture, with the
// transparency and gamma read anywhere; the file written holds it before
// the image data. A palette picture without a palette before its end has
// no colours and is refused.
TEST(PngChunkOrder, APaletteAfterTheImageDataColoursThePicture) {
  for (int depth : {1, 2, 4, 8})
    for (bool interlaced : {false, true}) {
      TSamplePicture picture = MakeSamplePicture(3, depth, 11, 6, interlaced, depth);
      if (depth >= 2) picture.PaletteAlpha = {255, 0, 90};
      if (depth == 8) picture.Gamma = 100000;
      std::vector<uint8_t> original = WriteWithLibpng(picture);
      const std::string what = picture.Name();
      // The palette alone moved, and with the transparency after it.
      TChunks late = Moved(ListChunks(original), "PLTE", "IEND");
      TChunks lateWithAlphas = Moved(late, "tRNS", "IEND");
      for (const TChunks& chunks : {late, lateWithAlphas})
        ExpectPictureOf(FileOf(chunks), original, 3, picture.Gamma, what + ": " + Names(chunks));

      std::vector<uint8_t> saved = SavedBytes(*LoadPng(FileOf(late)));
      EXPECT_EQ(Names(ListChunks(saved)), Names(ListChunks(original))) << what;
      if (!picture.Gamma) {
        EXPECT_EQ(ReadWithLibpng(saved).Pixels, ReadWithLibpng(original).Pixels) << what;
      }
    }

  // The palette check reads the picture's own header, not a later one.
  TSamplePicture grey = MakeSamplePicture(0, 8, 3, 2, false, 7);
  std::vector<uint8_t> greyFile = WriteWithLibpng(grey);
  ExpectPictureOf(FileOf(Inserted(ListChunks(greyFile), "IHDR", HeaderBytes(3, 2, 8, 3, 0), "IDAT")), greyFile, 0,
                  0, "grey, then a palette header");
  TChunks palette = ListChunks(WriteWithLibpng(MakeSamplePicture(3, 4, 3, 2, false, 8)));
  TChunks none = palette;
  std::erase_if(none, [](const auto& chunk) { return chunk.first == "PLTE"; });
  TChunks pastTheEnd = none;
  pastTheEnd.emplace_back("PLTE", std::vector<uint8_t>(48, 7));
  for (const TChunks& chunks : {none, Inserted(none, "IHDR", HeaderBytes(3, 2, 8, 2, 0), "IDAT"), pastTheEnd})
    EXPECT_EQ(RaisedMessage<EPNGMissingPalette>([&] { LoadPng(FileOf(chunks)); }),
              pnglang::EPNGMissingPaletteText)
        << Names(chunks);
}

// A file holds one palette, and no empty one: of two, the picture is drawn
// with the last read, which alone is kept, in the place of the first, and
// indices past its entries show the colours they start with; an empty one
// holds no colour, so a palette picture with no other is refused.
TEST(PngChunkOrder, OnePaletteIsKeptTheLastAndNoEmptyOne) {
  TSamplePicture picture = MakeSamplePicture(3, 4, 7, 3, false, 9);
  picture.PaletteAlpha = {255, 0, 90};
  const TChunks palette = ListChunks(WriteWithLibpng(picture));
  const TChunks rgb = ListChunks(WriteWithLibpng(MakeSamplePicture(2, 8, 5, 2, false, 12)));
  const std::vector<uint8_t> three = {10, 20, 30, 40, 50, 60, 70, 80, 90};
  TChunks paletteOfThree = palette, none = palette;
  for (auto& [name, data] : paletteOfThree)
    if (name == "PLTE") data = three;
  std::erase_if(none, [](const auto& chunk) { return chunk.first == "PLTE"; });
  const std::pair<TChunks, TChunks> cases[] = {
      {Inserted(palette, "PLTE", three, "PLTE"), palette},
      {Inserted(Moved(palette, "PLTE", "IEND"), "PLTE", three, "tRNS"), palette},
      {Inserted(palette, "PLTE", three, "IEND"), paletteOfThree},
      {Inserted(palette, "PLTE", {}, "IEND"), palette},
      {Inserted(rgb, "PLTE", {}, "IDAT"), rgb},
  };
  for (const auto& [chunks, alone] : cases) {
    EXPECT_TRUE(SameColors(*LoadWorkingBitmap(FileOf(chunks)), *LoadWorkingBitmap(FileOf(alone)))) << Names(chunks);
    EXPECT_EQ(SavedBytes(*LoadPng(FileOf(chunks))), SavedBytes(*LoadPng(FileOf(alone)))) << Names(chunks);
  }
  EXPECT_EQ(RaisedMessage<EPNGMissingPalette>([&] { LoadPng(FileOf(Inserted(none, "PLTE", {}, "IDAT"))); }),
            pnglang::EPNGMissingPaletteText);
}

// A gAMA after the image data comes too late for its samples, and one after
// a palette picture's palette too late for its colours: it stays where it
// stands, and the picture keeps its samples however often it is loaded and
// written back. Two palettes around a gAMA leave the one kept ahead of it.
TEST(PngChunkOrder, AGammaAfterTheSamplesItWouldChangeChangesNothing) {
  TSamplePicture rgb = MakeSamplePicture(2, 8, 4, 3, false, 13), indexed = MakeSamplePicture(3, 8, 4, 3, false, 13);
  rgb.Gamma = indexed.Gamma = 100000;
  const std::vector<uint8_t> rgbFile = WriteWithLibpng(rgb), indexedFile = WriteWithLibpng(indexed);
  const TChunks indexedChunks = ListChunks(indexedFile);
  const auto palette = std::find_if(indexedChunks.begin(), indexedChunks.end(),
                                    [](const auto& chunk) { return chunk.first == "PLTE"; });
  ASSERT_NE(palette, indexedChunks.end());
  const TChunks twoPalettes = Inserted(indexedChunks, "PLTE", palette->second, "gAMA");
  const struct {
    TChunks Chunks;
    std::vector<uint8_t> Original;
    std::string Kept;
  } cases[] = {
      {Moved(ListChunks(rgbFile), "gAMA", "IEND"), rgbFile, "IHDR IDAT gAMA IEND"},
      {Moved(indexedChunks, "gAMA", "IEND"), indexedFile, "IHDR PLTE IDAT gAMA IEND"},
      {Moved(indexedChunks, "gAMA", "IDAT"), indexedFile, "IHDR PLTE gAMA IDAT IEND"},
      {twoPalettes, indexedFile, "IHDR PLTE gAMA IDAT IEND"},
  };
  for (const auto& c : cases) {
    std::vector<uint8_t> again = SavedBytes(*LoadPng(SavedBytes(*LoadPng(FileOf(c.Chunks)))));
    EXPECT_EQ(Names(ListChunks(again)), c.Kept) << Names(c.Chunks);
    EXPECT_EQ(ReadWithLibpng(again).Pixels, ReadWithLibpng(c.Original).Pixels) << Names(c.Chunks);
  }
}
