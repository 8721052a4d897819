// Copying a bitmap's rows out as a device-independent bitmap of any bit
// count (GetDIBits).
#include <gtest/gtest.h>

#include "tests/support/testsupport.h"

namespace {

BITMAPINFO Request(const TBitmap& bitmap, int bitCount) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = 40;
  info.bmiHeader.biWidth = bitmap.Width();
  info.bmiHeader.biHeight = bitmap.Height();
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

TEST(GetDIBits, StandardTablesAndDirectRows) {
  // Without a palette in the context: the standard tables.
  auto picture = MakeColorBitmap(3, {RGB(250, 10, 10), RGB(2, 2, 2), RGB(240, 240, 230)});
  BITMAPINFO info = Request(*picture, 4);
  EXPECT_EQ(Rows(*picture, info), std::vector<uint8_t>({0x90, 0xF0, 0, 0}));  // red, black, white
  info = Request(*picture, 1);
  EXPECT_EQ(Rows(*picture, info), std::vector<uint8_t>({0x20, 0, 0, 0}));
  info = Request(*picture, 8);
  EXPECT_EQ(QuadToColor(info.bmiColors[Rows(*picture, info)[1]]), clBlack);
  EXPECT_EQ(info.bmiHeader.biSizeImage, 4u);
  // 24 bits: the rows as they are, bottom-up.
  auto column = MakeColorBitmap(1, {clRed, clBlue});
  info = Request(*column, 24);
  EXPECT_EQ(Rows(*column, info), std::vector<uint8_t>({255, 0, 0, 0, 0, 0, 255, 0}));
}
