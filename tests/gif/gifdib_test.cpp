// Rows of DIBs: their aligned sizes, a bitmap's DIB in a pixel format, and
// the rendering of frames into bitmaps (large frames, renderings called
// off).
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

// The rows of the bitmap bottom-up, each padded to stride bytes.
std::vector<uint8_t> BottomUp(TBitmap& bitmap, int rowBytes, int stride) {
  std::vector<uint8_t> rows;
  for (int y = bitmap.Height() - 1; y >= 0; --y) {
    rows.insert(rows.end(), bitmap.ScanLine(y), bitmap.ScanLine(y) + rowBytes);
    rows.resize(rows.size() + size_t(stride - rowBytes));
  }
  return rows;
}

}  // namespace

TEST(GifDIB, AlignedScanlineBytes) {
  struct Case {
    int64_t Pixels;
    int Bits, Alignment;
    int64_t Bytes;
  };
  for (Case c : {Case{1, 1, 32, 4}, {32, 1, 32, 4}, {33, 1, 32, 8}, {16, 1, 16, 2}, {17, 1, 16, 4},
                 {3, 24, 32, 12}, {5, 4, 8, 3}, {0, 8, 32, 0}, {65535, 24, 32, 196608}})
    EXPECT_EQ(AlignedScanlineBytes(c.Pixels, c.Bits, c.Alignment), c.Bytes) << c.Pixels << " " << c.Bits;
}

TEST(GifDIB, EightAndTwentyFourBitBitmaps) {
  auto indexed = MakeTestBitmap(5, 3);
  indexed->SetPixelFormat(pf8bit);
  EXPECT_EQ(DIBSizes(*indexed, pf8bit), std::make_pair(40 + 256 * 4, 8 * 3));
  BITMAPINFO info{};
  std::vector<uint8_t> bits;
  ASSERT_TRUE(InternalGetDIB(indexed->Handle(), nullptr, info, bits, pf8bit));
  const BITMAPINFOHEADER& h = info.bmiHeader;
  EXPECT_EQ(std::vector<int>({int(h.biSize), h.biWidth, h.biHeight, h.biPlanes, h.biBitCount,
                              int(h.biCompression), int(h.biSizeImage)}),
            std::vector<int>({40, 5, 3, 1, 8, int(BI_RGB), 24}));
  EXPECT_EQ(bits, BottomUp(*indexed, 5, 8));
  EXPECT_EQ(info.bmiColors[200], indexed->ColorTable()[200]);

  auto picture = MakeTestBitmap(5, 3);
  EXPECT_EQ(DIBSizes(*picture, pf24bit), std::make_pair(40, 16 * 3));
  ASSERT_TRUE(InternalGetDIB(picture->Handle(), nullptr, info, bits, pf24bit));
  EXPECT_EQ(info.bmiHeader.biBitCount, 24);
  EXPECT_EQ(bits, BottomUp(*picture, 15, 16));

  // In another format through the palette given.
  const PALETTEENTRY entries[2] = {{0, 0, 0, 0}, {0, 255, 0, 0}};
  HPALETTE palette = CreatePalette(entries, 2);
  auto green = MakeColorBitmap(2, {RGB(10, 240, 10), RGB(5, 5, 5)});
  ASSERT_TRUE(InternalGetDIB(green->Handle(), palette, info, bits, pf8bit));
  EXPECT_EQ(bits, std::vector<uint8_t>({1, 0, 0, 0}));
  DeleteObject(palette);
}

TEST(GifDIB, SmallFormatsDeviceBitmapsAndRefusals) {
  auto picture = MakeTestBitmap(17, 2);
  EXPECT_EQ(DIBSizes(*picture, pf1bit), std::make_pair(40 + 2 * 4, 4 * 2));
  EXPECT_EQ(DIBSizes(*picture, pf4bit), std::make_pair(40 + 16 * 4, 12 * 2));
  // A device bitmap has no DIB header of its own: one is made from its size.
  TBitmap mono;
  mono.SetSize(9, 2);
  mono.Canvas()->SetPixel(0, 0, clBlack);
  mono.SetMonochrome(true);
  BITMAPINFO info{};
  std::vector<uint8_t> bits;
  ASSERT_TRUE(InternalGetDIB(mono.Handle(), nullptr, info, bits, pf1bit));
  EXPECT_EQ(bits, std::vector<uint8_t>({0xFF, 0x80, 0, 0, 0x7F, 0x80, 0, 0}));

  for (TPixelFormat format : {pfDevice, pf15bit, pf16bit, pf32bit, pfCustom})
    EXPECT_EQ(RaisedMessage<GIFException>([&] { DIBSizes(*picture, format); }), "Unsupported PixelFormat");
  EXPECT_EQ(RaisedMessage<GIFException>([&] { InternalGetDIB(nullptr, nullptr, info, bits, pf24bit); }),
            "Bitmap image is not valid");
  // A DIB may not pass 1 GiB, whatever the bitmap takes itself.
  TBitmap large;
  large.SetPixelFormat(pf1bit);
  large.SetSize(20000, 18000);
  EXPECT_EQ(DIBSizes(large, pf8bit).second, 20000 * 18000);
  EXPECT_EQ(RaisedMessage<EOutOfMemory>([&] { DIBSizes(large, pf24bit); }), "Failed to allocate memory for GIF DIB");
}

TEST(GifRender, LargeFramesKeepEveryIndex) {
  // Above 500,000 pixels the bitmap is sized at 1 bit first; the rendering
  // is still the frame's 8-bit indices.
  const int width = 1001, height = 500;
  std::vector<uint8_t> pixels = RandomPixels(int64_t(width) * height, 200, 7);
  auto image = MakeImage(200, width, height, pixels);
  TBitmap* bitmap = FrameOf(*image).Bitmap();
  ASSERT_NE(bitmap, nullptr);
  EXPECT_EQ(bitmap->PixelFormat(), pf8bit);
  ASSERT_EQ(bitmap->Height(), height);
  for (int y : {0, 250, height - 1})
    EXPECT_TRUE(std::equal(pixels.begin() + y * width, pixels.begin() + (y + 1) * width, bitmap->ScanLine(y)));
  EXPECT_EQ(QuadToColor(bitmap->ColorTable()[199]), TGIFColorMap::RGB2Color(image->GlobalColorMap().Colors(199)));
}

TEST(GifRender, AbortFromProgressLeavesNoBitmap) {
  std::vector<uint8_t> pixels(10 * 70, 1);
  pixels[5] = 3;
  auto image = MakeImage(4, 10, 70, pixels);
  TGIFSubImage& frame = FrameOf(*image);
  MakeTransparent(frame, 3);
  TProgressStage abortAt = psRunning;
  image->OnProgress = [&](TObject*, TProgressStage stage, uint8_t percent, bool, const TRect&, const std::string&) {
    if (stage == abortAt && (stage != psRunning || percent > 0)) Abort();
  };
  for (TProgressStage stage : {psStarting, psRunning, psEnding}) {
    abortAt = stage;
    EXPECT_EQ(frame.Bitmap(), nullptr) << int(stage);
    EXPECT_FALSE(frame.HasBitmap());
  }
  EXPECT_EQ(image->Bitmap(), nullptr);
  // Other errors pass on.
  image->OnProgress = [](TObject*, TProgressStage stage, uint8_t, bool, const TRect&, const std::string&) {
    if (stage == psRunning) throw EInvalidGraphic("stop");
  };
  EXPECT_EQ(RaisedMessage<EInvalidGraphic>([&] { frame.Bitmap(); }), "stop");

  // Without the handler the rendering is made, and the mask that was due.
  image->OnProgress = nullptr;
  ASSERT_NE(frame.Bitmap(), nullptr);
  ASSERT_NE(frame.Mask(), nullptr);
  EXPECT_EQ(DibGetPixel(*frame.Mask(), 5, 0), uint32_t(clWhite));
  EXPECT_EQ(DibGetPixel(*frame.Mask(), 6, 0), uint32_t(clBlack));
  ASSERT_NE(image->Bitmap(), nullptr);
}
