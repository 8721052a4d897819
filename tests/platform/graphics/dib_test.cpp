// Copying a bitmap's rows out as a device-independent bitmap of any bit
// count (GetDIBits).
#include <gtest/gtest.h>

#include "tests/support/testsupport.h"

namespace {

BITMAPINFO Request(const TBitmap& bitmap, int bitCount, bool topDown = false) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = 40;
  info.bmiHeader.biWidth = bitmap.Width();
  info.bmiHeader.biHeight = topDown ? -bitmap.Height() : bitmap.Height();
  info.bmiHeader.biBitCount = uint16_t(bitCount);
  return info;
}

// All rows in the asked format.
std::vector<uint8_t> Rows(TBitmap& bitmap, BITMAPINFO& info, HPALETTE palette = nullptr) {
  std::vector<uint8_t> bits(size_t(BytesPerScanLine(bitmap.Width(), info.bmiHeader.biBitCount)) *
                            size_t(bitmap.Height()));
  HDC dc = CreateCompatibleDC();
  SelectPalette(dc, palette);
  EXPECT_EQ(GetDIBits(dc, bitmap.Handle(), 0, 99, bits.data(), info, DIB_RGB_COLORS), bitmap.Height());
  DeleteDC(dc);
  return bits;
}

}  // namespace

TEST(GetDIBits, FormatsTablesAndRowOrder) {
  auto picture = MakeColorBitmap(3, {RGB(250, 10, 10), RGB(2, 2, 2), RGB(240, 240, 230)});
  // Through the context's palette.
  const PALETTEENTRY entries[3] = {{0, 0, 0, 0}, {255, 255, 255, 0}, {255, 0, 0, 0}};
  HPALETTE palette = CreatePalette(entries, 3);
  BITMAPINFO info = Request(*picture, 8);
  EXPECT_EQ(Rows(*picture, info, palette), std::vector<uint8_t>({2, 0, 1, 0}));
  EXPECT_EQ(info.bmiColors[2], ColorToQuad(clRed));
  EXPECT_EQ(info.bmiColors[3], RGBQUAD{});
  DeleteObject(palette);
  // Without one: the standard tables.
  info = Request(*picture, 4);
  EXPECT_EQ(Rows(*picture, info), std::vector<uint8_t>({0x90, 0xF0, 0, 0}));  // red, black, white
  info = Request(*picture, 1);
  EXPECT_EQ(Rows(*picture, info), std::vector<uint8_t>({0x20, 0, 0, 0}));
  info = Request(*picture, 8);
  EXPECT_EQ(QuadToColor(info.bmiColors[Rows(*picture, info)[1]]), clBlack);
  EXPECT_EQ(info.bmiHeader.biSizeImage, 4u);
  // Direct formats, top-down and bottom-up.
  auto column = MakeColorBitmap(1, {clRed, clBlue});
  info = Request(*column, 32, true);
  EXPECT_EQ(Rows(*column, info), std::vector<uint8_t>({0, 0, 255, 0, 255, 0, 0, 0}));
  info = Request(*column, 16);
  std::vector<uint8_t> words = Rows(*column, info);
  EXPECT_EQ(std::vector<int>({words[0] | words[1] << 8, words[4] | words[5] << 8}),
            std::vector<int>({0x001F, 0x7C00}));  // 5-5-5 blue, then red
}

TEST(GetDIBits, PartsOfTheBitmapAndBadRequests) {
  auto picture = MakeColorBitmap(1, {RGB(1, 1, 1), RGB(2, 2, 2), RGB(3, 3, 3)});
  BITMAPINFO info = Request(*picture, 24);
  uint8_t bits[12] = {};
  // Scan lines count from the bottom row of a bottom-up request.
  EXPECT_EQ(GetDIBits(nullptr, picture->Handle(), 1, 5, bits, info, DIB_RGB_COLORS), 2);
  EXPECT_EQ(std::vector<int>({bits[0], bits[4]}), std::vector<int>({2, 1}));
  EXPECT_EQ(GetDIBits(nullptr, picture->Handle(), 3, 1, bits, info, DIB_RGB_COLORS), 0);

  // Requests that do not fit the bitmap copy nothing.
  auto bad = [&](auto change) {
    BITMAPINFO request = Request(*picture, 24);
    change(request.bmiHeader);
    return GetDIBits(nullptr, picture->Handle(), 0, 3, bits, request, DIB_RGB_COLORS);
  };
  EXPECT_EQ(bad([](BITMAPINFOHEADER& h) { h.biSize = 12; }), 0);
  EXPECT_EQ(bad([](BITMAPINFOHEADER& h) { h.biWidth = 2; }), 0);
  EXPECT_EQ(bad([](BITMAPINFOHEADER& h) { h.biHeight = 4; }), 0);
  EXPECT_EQ(bad([](BITMAPINFOHEADER& h) { h.biBitCount = 7; }), 0);
  EXPECT_EQ(bad([](BITMAPINFOHEADER& h) { h.biCompression = BI_RLE8; }), 0);
}
