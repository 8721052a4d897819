// A bitmap's DIB in a pixel format, and the rendering of frames into
// bitmaps (large frames, renderings called off).
#include <gtest/gtest.h>

#include "gif/gifreduce.h"
#include "tests/gif/gifsupport.h"

namespace {

// The info header and image sizes of the bitmap's DIB.
std::pair<int, int> DIBSizes(TBitmap& bitmap, TPixelFormat format) {
  int info = -1, image = -1;
  InternalGetDIBSizes(bitmap.Handle(), info, image, format);
  return {info, image};
}

}  // namespace

TEST(GifDIB, SizesHeadersAndRows) {
  // Rows padded to 32 bits; a colour table for 8 bits or fewer.
  auto picture = MakeTestBitmap(17, 3);
  EXPECT_EQ(DIBSizes(*picture, pf1bit), std::make_pair(40 + 2 * 4, 4 * 3));
  EXPECT_EQ(DIBSizes(*picture, pf4bit), std::make_pair(40 + 16 * 4, 12 * 3));
  EXPECT_EQ(DIBSizes(*picture, pf8bit), std::make_pair(40 + 256 * 4, 20 * 3));
  EXPECT_EQ(DIBSizes(*picture, pf24bit), std::make_pair(40, 52 * 3));
  for (TPixelFormat format : {pfDevice, pf15bit, pf16bit, pf32bit, pfCustom})
    EXPECT_EQ(RaisedMessage<GIFException>([&] { DIBSizes(*picture, format); }), "Unsupported PixelFormat");

  // An 8-bit bitmap gives its indices bottom-up and its colour table.
  picture->SetPixelFormat(pf8bit);
  BITMAPINFO info{};
  std::vector<uint8_t> bits;
  ASSERT_TRUE(InternalGetDIB(picture->Handle(), nullptr, info, bits, pf8bit));
  EXPECT_EQ(bits.size(), 60u);
  for (int y = 0; y < 3; ++y)
    EXPECT_TRUE(std::equal(bits.begin() + (2 - y) * 20, bits.begin() + (2 - y) * 20 + 17, picture->ScanLine(y)));
  EXPECT_EQ(info.bmiColors[200], picture->ColorTable()[200]);

  // Another format through the palette given.
  const PALETTEENTRY entries[2] = {{0, 0, 0, 0}, {0, 255, 0, 0}};
  HPALETTE palette = CreatePalette(entries, 2);
  auto green = MakeColorBitmap(2, {RGB(10, 240, 10), RGB(5, 5, 5)});
  ASSERT_TRUE(InternalGetDIB(green->Handle(), palette, info, bits, pf8bit));
  EXPECT_EQ(bits, std::vector<uint8_t>({1, 0, 0, 0}));
  EXPECT_EQ(std::vector<RGBQUAD>(info.bmiColors, info.bmiColors + 3), std::vector<RGBQUAD>({{}, {0, 255, 0, 0}, {}}));
  DeleteObject(palette);

  // A device bitmap has no DIB header of its own: one is made from its size.
  TBitmap mono;
  mono.SetSize(9, 2);
  mono.Canvas()->SetPixel(0, 0, clBlack);
  mono.SetMonochrome(true);
  ASSERT_TRUE(InternalGetDIB(mono.Handle(), nullptr, info, bits, pf1bit));
  EXPECT_EQ(bits, std::vector<uint8_t>({0xFF, 0x80, 0, 0, 0x7F, 0x80, 0, 0}));

  EXPECT_EQ(RaisedMessage<GIFException>([&] { InternalGetDIB(nullptr, nullptr, info, bits, pf24bit); }),
            "Bitmap image is not valid");
  // A DIB may not pass 1 GiB, whatever the bitmap takes itself.
  TBitmap large;
  large.SetPixelFormat(pf1bit);
  large.SetSize(20000, 18000);
  EXPECT_EQ(DIBSizes(large, pf8bit).second, 20000 * 18000);
  EXPECT_EQ(RaisedMessage<EOutOfMemory>([&] { DIBSizes(large, pf24bit); }), "Failed to allocate memory for GIF DIB");
  // A bitmap without rows passes that, but a row of it at 24 bits would take
  // more than 1 GiB: the copy raises, and the context it used goes with it
  // (a leak checker sees the one the copy used to leave).
  TBitmap wide;
  wide.SetPixelFormat(pf1bit);
  wide.SetSize(400'000'000, 0);
  EXPECT_EQ(DIBSizes(wide, pf24bit).second, 0);
  EXPECT_EQ(RaisedMessage<EOutOfMemory>([&] { InternalGetDIB(wide.Handle(), nullptr, info, bits, pf24bit); }),
            "Out of memory");
}

TEST(GifDIB, RowsArePaddedToTheirAlignment) {
  // 17 pixels: 17, 68, 136, 272, 408 and 544 bits.
  const std::pair<int, int64_t> dibRows[] = {{1, 4}, {4, 12}, {8, 20}, {16, 36}, {24, 52}, {32, 68}};
  for (auto [bits, bytes] : dibRows) {
    EXPECT_EQ(AlignedScanlineBytes(17, bits, 32), bytes) << bits;
    EXPECT_EQ(BytesPerScanLine(17, bits), bytes) << bits;
    std::unique_ptr<TDibSection> dib(CreateDib(17, 1, bits));
    EXPECT_EQ(dib->Stride, bytes) << bits;
  }
  EXPECT_EQ(AlignedScanlineBytes(17, 1, 8), 3);
  EXPECT_EQ(AlignedScanlineBytes(17, 8, 16), 18);
  EXPECT_EQ(AlignedScanlineBytes(0, 24, 32), 0);
  // Wider than 32 bits can count.
  EXPECT_EQ(AlignedScanlineBytes(3'000'000'001, 24, 32), 9'000'000'004);
}

TEST(GifRender, LargeFramesKeepEveryIndex) {
  // Above 500,000 pixels, where a bitmap of NewBitmap's is sized at 1 bit
  // first, the rendering is still the frame's 8-bit indices.
  const int width = 1001, height = 500;
  std::vector<uint8_t> pixels = RandomPixels(int64_t(width) * height, 200, 7);
  auto image = MakeImage(200, width, height, pixels);
  TBitmap* bitmap = FrameOf(*image).Bitmap();
  ASSERT_EQ(bitmap->PixelFormat(), pf8bit);
  for (int y : {0, 250, height - 1})
    EXPECT_TRUE(std::equal(pixels.begin() + y * width, pixels.begin() + (y + 1) * width, bitmap->ScanLine(y)));
}

TEST(GifRender, AbortFromProgressLeavesNoBitmap) {
  std::vector<uint8_t> pixels(10 * 70, 1);
  pixels[5] = 3;
  auto image = MakeImage(4, 10, 70, pixels);
  TGIFSubImage& frame = FrameOf(*image);
  MakeTransparent(frame, 3);
  for (TProgressStage abortAt : {psStarting, psRunning, psEnding}) {
    image->OnProgress = [&](TObject*, TProgressStage stage, uint8_t percent, bool, const TRect&, const std::string&) {
      if (stage == abortAt && (stage != psRunning || percent > 0)) Abort();
    };
    EXPECT_EQ(frame.Bitmap(), nullptr) << int(abortAt);
    EXPECT_EQ(image->Bitmap(), nullptr) << int(abortAt);
  }
  // Other errors pass on.
  image->OnProgress = [](TObject*, TProgressStage stage, uint8_t, bool, const TRect&, const std::string&) {
    if (stage == psRunning) throw EInvalidGraphic("stop");
  };
  EXPECT_EQ(RaisedMessage<EInvalidGraphic>([&] { frame.Bitmap(); }), "stop");
  // Without the handler the rendering is made, with the mask still due.
  image->OnProgress = nullptr;
  EXPECT_NE(frame.Bitmap(), nullptr);
  EXPECT_NE(frame.Mask(), nullptr);
}

TEST(GifDIB, ReadersAndWritersServeRowsThroughTheirCommonBase) {
  // A writer fills a new 8-bit bitmap with the palette's table; a reader
  // gives its rows back after converting the bitmap in place.
  const PALETTEENTRY entries[2] = {{255, 0, 0, 0}, {0, 0, 255, 0}};
  HPALETTE palette = CreatePalette(entries, 2);
  TBitmap bitmap;
  {
    TDIBWriter writer(bitmap, pf8bit, 3, 2, palette);
    TDIB& dib = writer;
    EXPECT_EQ(dib.PixelFormat(), pf8bit);
    EXPECT_EQ(&dib.Bitmap(), &bitmap);
    for (int y = 0; y < 2; ++y)
      for (int x = 0; x < 3; ++x) dib.ScanLine(y)[x] = uint8_t((x + y) & 1);
    EXPECT_EQ(RaisedMessage<EInvalidGraphicOperation>([&] { dib.ScanLine(2); }), "Scan line index out of range");
  }
  DeleteObject(palette);
  EXPECT_EQ(ColorLetters(bitmap), "RBR\nBRB");
  TDIBReader reader(bitmap, pf24bit);
  TDIB& dib = reader;
  EXPECT_EQ(bitmap.PixelFormat(), pf24bit);
  EXPECT_EQ(dib.PixelFormat(), pf24bit);
  EXPECT_EQ(std::vector<uint8_t>(dib.ScanLine(1), dib.ScanLine(1) + 9),
            std::vector<uint8_t>({255, 0, 0, 0, 0, 255, 255, 0, 0}));
}
