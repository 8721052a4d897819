// The picture object after a header it could not take, and copies between
// picture objects.
#include <gtest/gtest.h>

#include "platform/graphics/jpeg.h"
#include "png/pnglang.h"
#include "tests/png/pngreference.h"
#include "tests/support/testsupport.h"

namespace {

// The object as a caller that copies into another PNG object sees it.
class TOpenPNGObject : public TPNGObject {
 public:
  using TPNGObject::AssignTo;
};

// A 13-byte header of any content, then an IDAT and IEND that are never
// reached.
std::vector<uint8_t> HeaderFile(uint32_t width, uint32_t height, int depth, int colorType, int compression,
                                int interlace) {
  std::vector<uint8_t> data;
  for (uint32_t v : {width, height})
    for (int shift = 24; shift >= 0; shift -= 8) data.push_back(uint8_t(v >> shift));
  data.insert(data.end(), {uint8_t(depth), uint8_t(colorType), uint8_t(compression), 0, uint8_t(interlace)});
  return TChunkStream().Chunk("IHDR", data).Chunk("IDAT", Deflate({0, 0})).End().Bytes;
}

}  // namespace

// A header that fails leaves the header chunk in the list, holding no
// picture: every accessor sees a picture of 0 x 0 and reads nothing.
TEST(PngFailedHeader, TheObjectHoldsAndReportsNothing) {
  struct Case {
    std::vector<uint8_t> File;
    std::string Message;
    bool KindTaken;  // the header passed its checks, the buffers failed
  };
  const Case cases[] = {
      {HeaderFile(300, 200, 8, 5, 0, 0), pnglang::EPNGInvalidIHDRText, false},         // colour type 5
      {HeaderFile(300, 200, 3, 0, 0, 0), pnglang::EPNGInvalidIHDRText, false},         // depth 3
      {HeaderFile(70000, 200, 8, 6, 0, 0), pnglang::EPNGSizeExceedsText, false},       // wide
      {HeaderFile(300, 70000, 8, 6, 0, 0), pnglang::EPNGSizeExceedsText, false},       // tall
      {HeaderFile(300, 200, 8, 6, 1, 0), pnglang::EPNGUnknownCompressionText, false},  //
      {HeaderFile(300, 200, 16, 4, 0, 2), pnglang::EPNGUnknownInterlaceText, false},   //
      {HeaderFile(65535, 65535, 16, 6, 0, 0), pnglang::EPNGOutMemoryText, true},       // 40 GB of buffers
      {HeaderFile(65535, 40000, 16, 0, 0, 0), pnglang::EPNGOutMemoryText, true},       // low-byte plane too
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    TOpenPNGObject png;
    EXPECT_EQ(RaisedMessage<Exception>([&] {
                TReadOnlyMemoryStream stream(cases[i].File.data(), cases[i].File.size());
                png.LoadFromStream(stream);
              }),
              cases[i].Message)
        << i;
    ASSERT_TRUE(png.HeaderPresent()) << i;
    ASSERT_EQ(png.Width(), 0) << i;
    ASSERT_EQ(png.Height(), 0) << i;
    for (int at : {0, 1, 150}) {
      EXPECT_EQ(png.Scanline(at), nullptr) << i;
      EXPECT_EQ(png.ExtraScanline(at), nullptr) << i;
      EXPECT_EQ(png.AlphaScanline(at), nullptr) << i;
      EXPECT_EQ(png.GetPixels(at, at), 0) << i;
      png.SetPixels(at, at, clWhite);
    }
    // Drawing, converting and writing touch no pixel; a copy holds nothing
    // either.
    auto target = MakeFlatBitmap(40, 30, clRed);
    png.Draw(*target->Canvas(), Rect(0, 0, 40, 30));
    png.DrawUsingPixelInformation(*target->Canvas(), Point(2, 2));
    EXPECT_TRUE(SameColors(*target, *MakeFlatBitmap(40, 30, clRed))) << i;
    TBitmap bitmap;
    bitmap.Assign(&png);
    EXPECT_EQ(bitmap.Width() + bitmap.Height(), 0) << i;
    EXPECT_EQ(png.Canvas()->GetPixel(1, 1), TColor(CLR_INVALID)) << i;
    int64_t lineBytes = -1;
    int stride = -1;
    png.GetPixelInfo(lineBytes, stride);
    EXPECT_EQ(lineBytes, 0) << i;
    EXPECT_EQ(png.TransparentColor(), 0) << i;
    ClipResults clip(png);
    SavedBytes(png);
    TPNGObject copy;
    copy.Assign(&png);
    EXPECT_EQ(copy.Width() + copy.Height(), 0) << i;
    EXPECT_EQ(copy.GetPixels(1, 1), 0) << i;
    png.RemoveTransparency();
    png.CreateAlpha();
    EXPECT_EQ(png.AlphaScanline(0), nullptr) << i;
    // Given a size again, a header of a kind holds a whole picture; one that
    // never passed its checks has no kind to make one of.
    if (!cases[i].KindTaken) {
      EXPECT_EQ(RaisedMessage<EPngInvalidIHDR>([&] { png.Resize(3, 2); }), pnglang::EPNGInvalidIHDRText) << i;
      EXPECT_EQ(png.Width() + png.Height(), 0) << i;
      continue;
    }
    png.Resize(3, 2);
    png.SetPixels(2, 1, clWhite);
    EXPECT_EQ(png.GetPixels(2, 1), clWhite) << i;
    EXPECT_EQ(png.Width() * png.Height(), 6) << i;
    EXPECT_NE(png.Scanline(1), nullptr) << i;
  }
}

TEST(PngFailedHeader, RowsOutsideThePictureHaveNoAddress) {
  TPNGObject png(COLOR_GRAYSCALEALPHA, 16, 5, 3);
  for (int row : {-1, 3}) {
    EXPECT_EQ(png.Scanline(row), nullptr);
    EXPECT_EQ(png.ExtraScanline(row), nullptr);
    EXPECT_EQ(png.AlphaScanline(row), nullptr);
  }
  EXPECT_EQ(png.AlphaScanline(2) - png.AlphaScanline(0), 10);
  EXPECT_NE(png.ExtraScanline(2), nullptr);
}

// A picture whose header freed its buffers holds nothing until it is given
// a size again.
TEST(PngFailedHeader, FreedImageDataLeavesNothingToRead) {
  TPNGObject png(COLOR_RGBALPHA, 16, 40, 30);
  png.Header().FreeImageData();
  EXPECT_EQ(png.Width() + png.Height(), 0);
  EXPECT_EQ(png.Header().ImageInfo.bmiHeader.biWidth, 0);
  EXPECT_EQ(png.Scanline(0), nullptr);
  EXPECT_EQ(png.AlphaScanline(0), nullptr);
  EXPECT_EQ(png.ExtraScanline(0), nullptr);
  EXPECT_EQ(png.Palette(), nullptr);
  EXPECT_EQ(png.Canvas()->GetPixel(0, 0), TColor(CLR_INVALID));
  auto target = MakeFlatBitmap(4, 4, clRed);
  png.Draw(*target->Canvas(), Rect(0, 0, 4, 4));
  EXPECT_EQ(PixelAt(*target, 2, 2), clRed);
  png.Resize(2, 2);
  EXPECT_NE(png.AlphaScanline(1), nullptr);
  EXPECT_NE(png.ExtraScanline(1), nullptr);
}

// A chunk whose content failed its check stays in the list as it was read,
// and is written back so.
TEST(PngFailedLoad, AFailedChunkIsWrittenAsRead) {
  std::vector<uint8_t> alphas(262);
  for (size_t i = 0; i < alphas.size(); ++i) alphas[i] = uint8_t(i % 7);
  std::vector<uint8_t> file =
      TChunkStream().Header(1, 1, 8, 3).Chunk("PLTE", {1, 2, 3, 4, 5, 6}).Chunk("tRNS", alphas).End().Bytes;
  TPNGObject png;
  EXPECT_EQ(RaisedMessage<EPNGInvalidPalette>([&] {
              TReadOnlyMemoryStream stream(file.data(), file.size());
              png.LoadFromStream(stream);
            }),
            pnglang::EPNGInvalidPaletteText);
  EXPECT_EQ(png.TransparentColor(), RGB(1, 2, 3));
  EXPECT_EQ(ChunkData(SavedBytes(png), "tRNS"), alphas);
  TPNGObject copy;
  copy.Assign(&png);
  EXPECT_EQ(ChunkData(SavedBytes(copy), "tRNS"), alphas);
}

// A PNG object copies itself into another one: settings, chunks and
// pixels; the copy is written byte for byte as the original.
TEST(PngAssignTo, AnotherPngObjectTakesTheCopy) {
  TSamplePicture sample = MakeSamplePicture(3, 4, 9, 5, true, 2);
  sample.PaletteAlpha = {0, 90};
  sample.Gamma = 100000;
  std::unique_ptr<TPNGObject> loaded = LoadPng(WriteWithLibpng(sample));
  TOpenPNGObject source;
  source.Assign(loaded.get());
  source.AddtEXt("Title", "copy");
  source.Filters = FilterSet(pfUp) | FilterSet(pfPaeth);
  source.CompressionLevel = 2;
  source.SetMaxIdatSize(70000);
  TPNGObject target(COLOR_RGB, 8, 2, 2);
  source.AssignTo(&target);
  EXPECT_EQ(target.InterlaceMethod, imAdam7);
  EXPECT_EQ(target.Filters, source.Filters);
  EXPECT_EQ(target.CompressionLevel, 2);
  EXPECT_EQ(target.MaxIdatSize(), 70000u);
  EXPECT_EQ(target.GammaLookup, source.GammaLookup);
  EXPECT_EQ(target.InverseGammaLookup, source.InverseGammaLookup);
  EXPECT_EQ(target.TransparencyMode(), ptmPartial);
  ASSERT_EQ(target.Width(), 9);
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 9; ++x) EXPECT_EQ(target.GetPixels(x, y), source.GetPixels(x, y)) << x << "," << y;
  EXPECT_EQ(SavedBytes(target), SavedBytes(source));
  // Other targets still refuse.
  TJPEGImage jpeg;
  EXPECT_THROW(source.AssignTo(&jpeg), EConvertError);
}

// The picture class is known to the picture holder by its extension while
// the codec is registered, and tells its version.
TEST(PngObject, RegisteredForTheExtensionWithItsVersion) {
  RegisterPngFormat();
  RegisterPngFormat();
  TGraphicFactory factory = TPicture::FindFileFormat("PNG");
  ASSERT_TRUE(factory);
  EXPECT_STREQ(factory()->ClassName(), "TPNGObject");
  EXPECT_STREQ(TPNGObject::GetLibraryVersion(), "1.564");
  TempDir dir;
  TPNGObject source(COLOR_RGB, 8, 3, 2);
  source.SetPixels(2, 1, RGB(10, 20, 30));
  WriteFile(dir.File("p.PNG"), SavedBytes(source));
  TPicture picture;
  picture.LoadFromFile(dir.File("p.PNG"));
  ASSERT_STREQ(picture.Graphic()->ClassName(), "TPNGObject");
  EXPECT_EQ(static_cast<TPNGObject*>(picture.Graphic())->GetPixels(2, 1), RGB(10, 20, 30));

  // Unregistered on the way out: the extension is not known any more, until
  // the codec starts again.
  UnregisterPngFormat();
  UnregisterPngFormat();
  EXPECT_FALSE(TPicture::FindFileFormat("png"));
  EXPECT_EQ(RaisedMessage<EInvalidGraphic>([&] { picture.LoadFromFile(dir.File("p.PNG")); }),
            "Unknown picture file extension (.PNG)");
  RegisterPngFormat();
  picture.LoadFromFile(dir.File("p.PNG"));
  EXPECT_STREQ(picture.Graphic()->ClassName(), "TPNGObject");
}
