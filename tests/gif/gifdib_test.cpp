// Rows of DIBs: their aligned sizes, a bitmap's DIB in a pixel format, and
// the rendering of frames into bitmaps (large frames, renderings called
// off).
#include <gtest/gtest.h>

#include "gif/gifreduce.h"
#include "tests/gif/gifsupport.h"

namespace {

struct Sizes {
  int Info = -1, Image = -1;
};
Sizes DIBSizes(TBitmap& bitmap, TPixelFormat format) {
  Sizes sizes;
  InternalGetDIBSizes(bitmap.Handle(), sizes.Info, sizes.Image, format);
  return sizes;
}

// A 5 x 3 bitmap of 8 bits with a table of three colours.
std::unique_ptr<TBitmap> Indexed() {
  auto bitmap = std::make_unique<TBitmap>();
  bitmap->SetPixelFormat(pf8bit);
  bitmap->SetSize(5, 3);
  bitmap->SetColorTable({ColorToQuad(clRed), ColorToQuad(clLime), ColorToQuad(clBlue)});
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 5; ++x) bitmap->ScanLine(y)[x] = uint8_t((x + y) % 3);
  return bitmap;
}

// Rows of the bitmap bottom-up, each padded to 4 bytes.
std::vector<uint8_t> BottomUp(TBitmap& bitmap, int rowBytes, int stride) {
  std::vector<uint8_t> rows;
  for (int y = bitmap.Height() - 1; y >= 0; --y) {
    const uint8_t* row = bitmap.ScanLine(y);
    rows.insert(rows.end(), row, row + rowBytes);
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
                 {3, 24, 32, 12}, {5, 8, 32, 8}, {5, 4, 8, 3}, {0, 8, 32, 0}, {65535, 24, 32, 196608}})
    EXPECT_EQ(AlignedScanlineBytes(c.Pixels, c.Bits, c.Alignment), c.Bytes)
        << c.Pixels << " " << c.Bits << " " << c.Alignment;
}

TEST(GifDIB, EightAndTwentyFourBitBitmaps) {
  auto indexed = Indexed();
  Sizes sizes = DIBSizes(*indexed, pf8bit);
  EXPECT_EQ(sizes.Info, 40 + 256 * 4);
  EXPECT_EQ(sizes.Image, 8 * 3);
  BITMAPINFO info{};
  std::vector<uint8_t> bits;
  ASSERT_TRUE(InternalGetDIB(indexed->Handle(), nullptr, info, bits, pf8bit));
  const BITMAPINFOHEADER& h = info.bmiHeader;
  EXPECT_EQ(h.biSize, 40u);
  EXPECT_EQ(h.biWidth, 5);
  EXPECT_EQ(h.biHeight, 3);
  EXPECT_EQ(h.biPlanes, 1);
  EXPECT_EQ(h.biBitCount, 8);
  EXPECT_EQ(h.biCompression, BI_RGB);
  EXPECT_EQ(h.biSizeImage, 24u);
  EXPECT_EQ(bits, BottomUp(*indexed, 5, 8));
  EXPECT_EQ(info.bmiColors[1], ColorToQuad(clLime));
  EXPECT_EQ(info.bmiColors[3], RGBQUAD{});

  auto picture = MakeTestBitmap(5, 3);
  sizes = DIBSizes(*picture, pf24bit);
  EXPECT_EQ(sizes.Info, 40);
  EXPECT_EQ(sizes.Image, 16 * 3);
  ASSERT_TRUE(InternalGetDIB(picture->Handle(), nullptr, info, bits, pf24bit));
  EXPECT_EQ(info.bmiHeader.biBitCount, 24);
  EXPECT_EQ(bits, BottomUp(*picture, 15, 16));

  // In another format through the palette given.
  const PALETTEENTRY entries[2] = {{0, 0, 0, 0}, {0, 255, 0, 0}};
  HPALETTE palette = CreatePalette(entries, 2);
  auto green = MakeColorBitmap(2, {RGB(10, 240, 10), RGB(5, 5, 5)});
  ASSERT_TRUE(InternalGetDIB(green->Handle(), palette, info, bits, pf8bit));
  EXPECT_EQ(bits, std::vector<uint8_t>({1, 0, 0, 0}));
  EXPECT_EQ(QuadToColor(info.bmiColors[1]), clLime);
  DeleteObject(palette);
}

TEST(GifDIB, SmallFormatsDeviceBitmapsAndRefusals) {
  auto picture = MakeTestBitmap(17, 2);
  EXPECT_EQ(DIBSizes(*picture, pf1bit).Info, 40 + 2 * 4);
  EXPECT_EQ(DIBSizes(*picture, pf1bit).Image, 4 * 2);
  EXPECT_EQ(DIBSizes(*picture, pf4bit).Info, 40 + 16 * 4);
  EXPECT_EQ(DIBSizes(*picture, pf4bit).Image, 12 * 2);
  // A device bitmap has no DIB header of its own: one is made from its size.
  TBitmap mono;
  mono.SetSize(9, 2);
  mono.Canvas()->SetPixel(0, 0, clBlack);
  mono.SetMonochrome(true);
  BITMAPINFO info{};
  std::vector<uint8_t> bits;
  ASSERT_TRUE(InternalGetDIB(mono.Handle(), nullptr, info, bits, pf1bit));
  EXPECT_EQ(info.bmiHeader.biWidth, 9);
  EXPECT_EQ(info.bmiHeader.biHeight, 2);
  EXPECT_EQ(bits, std::vector<uint8_t>({0xFF, 0x80, 0, 0, 0x7F, 0x80, 0, 0}));

  for (TPixelFormat format : {pfDevice, pf15bit, pf16bit, pf32bit, pfCustom})
    EXPECT_EQ(RaisedMessage<GIFException>([&] { DIBSizes(*picture, format); }), "Unsupported PixelFormat")
        << int(format);
  int info_size = 0, image_size = 0;
  EXPECT_EQ(RaisedMessage<GIFException>([&] { InternalGetDIBSizes(nullptr, info_size, image_size, pf8bit); }),
            "Bitmap image is not valid");
  EXPECT_EQ(RaisedMessage<GIFException>([&] { InternalGetDIB(nullptr, nullptr, info, bits, pf24bit); }),
            "Bitmap image is not valid");
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
  ASSERT_EQ(bitmap->Width(), width);
  ASSERT_EQ(bitmap->Height(), height);
  for (int y : {0, 1, 250, height - 1})
    EXPECT_TRUE(std::equal(pixels.begin() + int64_t(y) * width, pixels.begin() + int64_t(y + 1) * width,
                           bitmap->ScanLine(y)))
        << y;
  EXPECT_EQ(QuadToColor(bitmap->ColorTable()[199]), TGIFColorMap::RGB2Color(image->GlobalColorMap().Colors(199)));
}

TEST(GifRender, AbortFromProgressLeavesNoBitmap) {
  std::vector<uint8_t> pixels(10 * 70, 1);
  pixels[5] = 3;
  auto image = MakeImage(4, 10, 70, pixels);
  TGIFSubImage& frame = FrameOf(*image);
  MakeTransparent(frame, 3);
  TProgressStage abortAt = psRunning;
  int reports = 0;
  image->OnProgress = [&](TObject*, TProgressStage stage, uint8_t percent, bool, const TRect&, const std::string&) {
    ++reports;
    if (stage == abortAt && (stage != psRunning || percent > 0)) Abort();
  };
  for (TProgressStage stage : {psStarting, psRunning, psEnding}) {
    abortAt = stage;
    reports = 0;
    EXPECT_EQ(frame.Bitmap(), nullptr) << int(stage);
    EXPECT_FALSE(frame.HasBitmap());
    EXPECT_GT(reports, 0);
  }
  EXPECT_EQ(image->Bitmap(), nullptr);
  TBitmap screen;
  screen.Assign(image.get());
  EXPECT_TRUE(screen.Empty());

  // Other errors pass on.
  image->OnProgress = [](TObject*, TProgressStage stage, uint8_t, bool, const TRect&, const std::string&) {
    if (stage == psRunning) throw EInvalidGraphic("stop");
  };
  EXPECT_EQ(RaisedMessage<EInvalidGraphic>([&] { frame.Bitmap(); }), "stop");

  // Without the handler the rendering is made, its mask too.
  image->OnProgress = nullptr;
  ASSERT_NE(frame.Bitmap(), nullptr);
  HBITMAP mask = frame.Mask();
  ASSERT_NE(mask, nullptr);
  EXPECT_EQ(DibGetPixel(*mask, 5, 0), uint32_t(clWhite));
  EXPECT_EQ(DibGetPixel(*mask, 6, 0), uint32_t(clBlack));
  ASSERT_NE(image->Bitmap(), nullptr);
  EXPECT_EQ(image->Bitmap()->Height(), 70);
}
