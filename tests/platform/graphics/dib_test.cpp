// Describing bitmaps (GetObject) and copying their rows out as
// device-independent bitmaps of any bit count (GetDIBits).
#include <gtest/gtest.h>

#include "tests/support/testsupport.h"

namespace {

BITMAPINFO Request(const TBitmap& bitmap, int bitCount, bool topDown = false) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = 40;
  info.bmiHeader.biWidth = bitmap.Width();
  info.bmiHeader.biHeight = topDown ? -bitmap.Height() : bitmap.Height();
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = uint16_t(bitCount);
  info.bmiHeader.biCompression = BI_RGB;
  return info;
}

// All rows of the bitmap in the asked format, from GetDIBits.
std::vector<uint8_t> Rows(TBitmap& bitmap, BITMAPINFO& info, HPALETTE palette = nullptr) {
  std::vector<uint8_t> bits(size_t(BytesPerScanLine(bitmap.Width(), info.bmiHeader.biBitCount)) *
                            size_t(bitmap.Height()));
  HDC dc = CreateCompatibleDC();
  SelectPalette(dc, palette);
  int rows = GetDIBits(dc, bitmap.Handle(), 0, unsigned(bitmap.Height()), bits.data(), info, DIB_RGB_COLORS);
  DeleteDC(dc);
  EXPECT_EQ(rows, bitmap.Height());
  return bits;
}

// A 3 x 2 bitmap of 8 bits with a table of three colours; row 0 holds
// indices 0 1 2, row 1 indices 2 2 1.
std::unique_ptr<TBitmap> Indexed8() {
  auto bitmap = std::make_unique<TBitmap>();
  bitmap->SetPixelFormat(pf8bit);
  bitmap->SetSize(3, 2);
  bitmap->SetColorTable({ColorToQuad(clRed), ColorToQuad(clLime), ColorToQuad(clBlue)});
  const uint8_t rows[2][3] = {{0, 1, 2}, {2, 2, 1}};
  for (int y = 0; y < 2; ++y) std::copy_n(rows[y], 3, bitmap->ScanLine(y));
  return bitmap;
}

}  // namespace

TEST(GetObject, DibsAndDeviceBitmaps) {
  auto bitmap = Indexed8();
  DIBSECTION ds;
  ASSERT_EQ(GetObject(bitmap->Handle(), sizeof(ds), &ds), int(sizeof(DIBSECTION)));
  EXPECT_EQ(ds.dsBm.bmWidth, 3);
  EXPECT_EQ(ds.dsBm.bmHeight, 2);
  EXPECT_EQ(ds.dsBm.bmWidthBytes, 4);
  EXPECT_EQ(ds.dsBm.bmBitsPixel, 8);
  EXPECT_EQ(ds.dsBmih.biSize, 40u);
  EXPECT_EQ(ds.dsBmih.biWidth, 3);
  EXPECT_EQ(ds.dsBmih.biHeight, 2);
  EXPECT_EQ(ds.dsBmih.biBitCount, 8);
  EXPECT_EQ(ds.dsBmih.biCompression, BI_RGB);
  EXPECT_EQ(ds.dsBmih.biSizeImage, 8u);
  EXPECT_EQ(ds.dsBmih.biClrUsed, 3u);
  // 5-6-5 pixels are bit fields.
  auto rgb565 = MakeFlatBitmap(2, 2, clRed, pf16bit);
  ASSERT_EQ(GetObject(rgb565->Handle(), sizeof(ds), &ds), int(sizeof(DIBSECTION)));
  EXPECT_EQ(ds.dsBmih.biCompression, BI_BITFIELDS);
  EXPECT_EQ(ds.dsBitfields[1], 0x07E0u);

  // Too little room, or a device bitmap: only the plain description.
  BITMAP bm;
  EXPECT_EQ(GetObject(bitmap->Handle(), sizeof(bm), &bm), int(sizeof(BITMAP)));
  EXPECT_EQ(bm.bmWidth, 3);
  TBitmap mono;
  mono.SetSize(9, 4);
  mono.SetMonochrome(true);
  EXPECT_EQ(GetObject(mono.Handle(), sizeof(ds), &ds), int(sizeof(BITMAP)));
  EXPECT_EQ(ds.dsBm.bmBitsPixel, 1);
  EXPECT_EQ(GetObject(nullptr, sizeof(ds), &ds), 0);
  EXPECT_EQ(GetObject(bitmap->Handle(), 4, &ds), 0);
}

TEST(GetDIBits, SameFormatCopiesRowsAndTable) {
  auto bitmap = Indexed8();
  BITMAPINFO info = Request(*bitmap, 8);
  info.bmiHeader.biClrUsed = 7;
  // Bottom-up: the last row first.
  EXPECT_EQ(Rows(*bitmap, info), std::vector<uint8_t>({2, 2, 1, 0, 0, 1, 2, 0}));
  EXPECT_EQ(info.bmiHeader.biSizeImage, 8u);
  EXPECT_EQ(info.bmiHeader.biClrUsed, 0u);
  EXPECT_EQ(info.bmiColors[0], ColorToQuad(clRed));
  EXPECT_EQ(info.bmiColors[2], ColorToQuad(clBlue));
  EXPECT_EQ(info.bmiColors[3], RGBQUAD{});
  EXPECT_EQ(info.bmiColors[255], RGBQUAD{});
  // A palette in the context does not change an indexed bitmap's table.
  HPALETTE grey = CreatePalette(std::vector<PALETTEENTRY>(4, PALETTEENTRY{9, 9, 9, 0}).data(), 4);
  info = Request(*bitmap, 8, true);
  EXPECT_EQ(Rows(*bitmap, info, grey), std::vector<uint8_t>({0, 1, 2, 0, 2, 2, 1, 0}));
  EXPECT_EQ(info.bmiColors[1], ColorToQuad(clLime));

  auto picture = MakeColorBitmap(2, {RGB(1, 2, 3), RGB(4, 5, 6), RGB(7, 8, 9), RGB(10, 11, 12)});
  info = Request(*picture, 24);
  EXPECT_EQ(Rows(*picture, info), std::vector<uint8_t>({9, 8, 7, 12, 11, 10, 0, 0, 3, 2, 1, 6, 5, 4, 0, 0}));
  EXPECT_EQ(info.bmiHeader.biSizeImage, 16u);
  DeleteObject(grey);
}

TEST(GetDIBits, OtherFormatsTakeNearestColours) {
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
  EXPECT_EQ(info.bmiColors[9], ColorToQuad(clRed));
  info = Request(*picture, 1);
  EXPECT_EQ(Rows(*picture, info), std::vector<uint8_t>({0x20, 0, 0, 0}));
  info = Request(*picture, 8);
  std::vector<uint8_t> halftone = Rows(*picture, info);
  EXPECT_EQ(QuadToColor(info.bmiColors[halftone[1]]), clBlack);
  // Direct formats from an indexed bitmap.
  auto bitmap = Indexed8();
  info = Request(*bitmap, 32, true);
  std::vector<uint8_t> direct = Rows(*bitmap, info);
  EXPECT_EQ(std::vector<uint8_t>(direct.begin(), direct.begin() + 8), std::vector<uint8_t>({0, 0, 255, 0, 0, 255, 0, 0}));
  info = Request(*bitmap, 16, true);
  direct = Rows(*bitmap, info);
  EXPECT_EQ(direct[0] | direct[1] << 8, 0x7C00);  // 5-5-5 red
}

TEST(GetDIBits, PartsOfTheBitmapAndBadRequests) {
  auto picture = MakeColorBitmap(1, {RGB(1, 1, 1), RGB(2, 2, 2), RGB(3, 3, 3)});
  BITMAPINFO info = Request(*picture, 24);
  uint8_t bits[12] = {};
  // Scan lines count from the bottom row of a bottom-up request.
  EXPECT_EQ(GetDIBits(nullptr, picture->Handle(), 1, 5, bits, info, DIB_RGB_COLORS), 2);
  EXPECT_EQ(bits[0], 2);
  EXPECT_EQ(bits[4], 1);
  EXPECT_EQ(GetDIBits(nullptr, picture->Handle(), 3, 1, bits, info, DIB_RGB_COLORS), 0);
  // Without bits only the header is filled in.
  info = Request(*picture, 8);
  EXPECT_EQ(GetDIBits(nullptr, picture->Handle(), 0, 3, nullptr, info, DIB_RGB_COLORS), 3);
  EXPECT_EQ(info.bmiHeader.biSizeImage, 12u);
  EXPECT_EQ(info.bmiColors[255], HalftoneColors()[255]);

  auto bad = [&](auto change) {
    BITMAPINFO request = Request(*picture, 24);
    unsigned usage = DIB_RGB_COLORS;
    change(request, usage);
    return GetDIBits(nullptr, picture->Handle(), 0, 3, bits, request, usage);
  };
  EXPECT_EQ(bad([](BITMAPINFO& i, unsigned&) { i.bmiHeader.biSize = 12; }), 0);
  EXPECT_EQ(bad([](BITMAPINFO& i, unsigned&) { i.bmiHeader.biWidth = 2; }), 0);
  EXPECT_EQ(bad([](BITMAPINFO& i, unsigned&) { i.bmiHeader.biHeight = 4; }), 0);
  EXPECT_EQ(bad([](BITMAPINFO& i, unsigned&) { i.bmiHeader.biBitCount = 7; }), 0);
  EXPECT_EQ(bad([](BITMAPINFO& i, unsigned&) { i.bmiHeader.biCompression = BI_RLE8; }), 0);
  EXPECT_EQ(bad([](BITMAPINFO&, unsigned& u) { u = DIB_PAL_COLORS; }), 0);
  EXPECT_EQ(GetDIBits(nullptr, nullptr, 0, 3, bits, info, DIB_RGB_COLORS), 0);
}
