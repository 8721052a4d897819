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
std::vector<uint8_t> Rows(TBitmap& bitmap, BITMAPINFO& info) {
  std::vector<uint8_t> bits(size_t(BytesPerScanLine(bitmap.Width(), info.bmiHeader.biBitCount)) *
                            size_t(bitmap.Height()));
  EXPECT_EQ(GetDIBits(nullptr, bitmap.Handle(), 0, 99, bits.data(), info, DIB_RGB_COLORS), bitmap.Height());
  return bits;
}

}  // namespace

TEST(GetDIBits, FormatsTablesAndRowOrder) {
  // Without a palette in the context: the standard tables.
  auto picture = MakeColorBitmap(3, {RGB(250, 10, 10), RGB(2, 2, 2), RGB(240, 240, 230)});
  BITMAPINFO info = Request(*picture, 4);
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

TEST(GetDIBits, RequestsThatDoNotFitTheBitmapCopyNothing) {
  auto picture = MakeColorBitmap(1, {RGB(1, 1, 1), RGB(2, 2, 2), RGB(3, 3, 3)});
  uint8_t bits[12] = {};
  for (auto change : {+[](BITMAPINFOHEADER& h) { h.biSize = 12; }, +[](BITMAPINFOHEADER& h) { h.biWidth = 2; },
                      +[](BITMAPINFOHEADER& h) { h.biHeight = 4; }, +[](BITMAPINFOHEADER& h) { h.biBitCount = 7; },
                      +[](BITMAPINFOHEADER& h) { h.biCompression = BI_RLE8; }}) {
    BITMAPINFO request = Request(*picture, 24);
    change(request.bmiHeader);
    EXPECT_EQ(GetDIBits(nullptr, picture->Handle(), 0, 3, bits, request, DIB_RGB_COLORS), 0);
  }
}
