#include "tests/support/picturefiles.h"

#include "tests/support/testsupport.h"

std::vector<uint8_t> MakeIcoFile(int width, int height, TColor color, const std::vector<int>& transparent) {
  int colorStride = BytesPerScanLine(width, 24), maskStride = BytesPerScanLine(width, 1);
  ByteWriter dib;
  dib.U32(40).I32(width).I32(height * 2).U16(1).U16(24).U32(0);
  dib.U32(static_cast<uint32_t>((colorStride + maskStride) * height)).U32(0).U32(0).U32(0).U32(0);
  auto isTransparent = [&](int x, int y) {
    for (int t : transparent)
      if (t == y * width + x) return true;
    return false;
  };
  for (int y = height - 1; y >= 0; --y) {  // bottom-up
    ByteWriter row;
    for (int x = 0; x < width; ++x) {
      TColor c = isTransparent(x, y) ? clBlack : color;
      row.U8(GetBValue(c)).U8(GetGValue(c)).U8(GetRValue(c));
    }
    row.Align(4);
    dib.Bytes(row.Data);
  }
  for (int y = height - 1; y >= 0; --y) {
    std::vector<uint8_t> row(static_cast<size_t>(maskStride), 0);
    for (int x = 0; x < width; ++x)
      if (isTransparent(x, y)) row[static_cast<size_t>(x / 8)] |= static_cast<uint8_t>(0x80 >> (x % 8));
    dib.Bytes(row);
  }
  ByteWriter file;
  file.U16(0).U16(1).U16(1);
  file.U8(static_cast<uint8_t>(width)).U8(static_cast<uint8_t>(height)).U8(0).U8(0).U16(1).U16(24);
  file.U32(static_cast<uint32_t>(dib.Size())).U32(22);
  file.Bytes(dib.Data);
  return file.Data;
}

std::vector<uint8_t> MakeEmfFile(int widthMm100, int heightMm100, TColor fill, int left, int top, int right,
                                 int bottom) {
  ByteWriter f;
  // Header: bounds, frame, signature, version, bytes, records, handles,
  // description, palette, reference device 960 x 960 px on 254 x 254 mm
  // (96 dpi).
  f.U32(1).U32(88);
  f.I32(0).I32(0).I32(widthMm100 * 96 / 2540 - 1).I32(heightMm100 * 96 / 2540 - 1);
  f.I32(0).I32(0).I32(widthMm100).I32(heightMm100);
  f.U32(0x464D4520).U32(0x10000).U32(0).U32(5).U16(2).U16(0).U32(0).U32(0).U32(0);
  f.I32(960).I32(960).I32(254).I32(254);
  f.U32(39).U32(24).U32(1).U32(0).U32(static_cast<uint32_t>(fill)).U32(0);  // solid brush as object 1
  f.U32(37).U32(12).U32(1);                                               // select it
  f.U32(37).U32(12).U32(0x80000008);                                      // stock null pen
  f.U32(43).U32(24).I32(left).I32(top).I32(right).I32(bottom);           // rectangle
  f.U32(14).U32(20).U32(0).U32(16).U32(20);                               // end
  f.PatchU32(48, static_cast<uint32_t>(f.Size()));
  return f.Data;
}
