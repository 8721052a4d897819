// Hand-made metafiles for the metafile tests: builders for enhanced and
// placeable Windows metafiles, and drawing them onto a bitmap.
#pragma once

#include <algorithm>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "platform/metafile/metafile.h"
#include "tests/support/testsupport.h"

namespace mftest {

// An info header for a bottom-up DIB with a table of the colours given.
inline ByteWriter DibHeader(int width, int height, int bits, uint32_t compression,
                            const std::vector<TColor>& table = {}) {
  ByteWriter w;
  w.U32(40).I32(width).I32(height).U16(1).U16(uint16_t(bits)).U32(compression).U32(0).I32(0).I32(0);
  w.U32(uint32_t(table.size())).U32(0);
  for (TColor c : table) w.U8(GetBValue(c)).U8(GetGValue(c)).U8(GetRValue(c)).U8(0);
  return w;
}

// An RLE8 DIB that ends at once: every pixel in the colour, in a few bytes.
inline std::vector<uint8_t> RleDib(int width, int height, TColor color) {
  return DibHeader(width, height, 8, 1, {color}).U8(0).U8(1).Data;
}

// --- Building enhanced metafiles ------------------------------------------------

enum : uint32_t {
  EMR_POLYGON = 3, EMR_POLYLINE = 4, EMR_POLYPOLYGON = 8, EMR_SETWINDOWEXTEX = 9, EMR_SETWINDOWORGEX = 10,
  EMR_SETVIEWPORTEXTEX = 11, EMR_SETVIEWPORTORGEX = 12, EMR_EOF = 14, EMR_SETMAPMODE = 17, EMR_SETBKMODE = 18,
  EMR_SETPOLYFILLMODE = 19, EMR_SETROP2 = 20, EMR_SETTEXTALIGN = 22, EMR_SETTEXTCOLOR = 24, EMR_SETBKCOLOR = 25,
  EMR_MOVETOEX = 27, EMR_EXCLUDECLIPRECT = 29, EMR_INTERSECTCLIPRECT = 30, EMR_SAVEDC = 33, EMR_RESTOREDC = 34,
  EMR_SETWORLDTRANSFORM = 35, EMR_MODIFYWORLDTRANSFORM = 36, EMR_SELECTOBJECT = 37, EMR_CREATEPEN = 38,
  EMR_CREATEBRUSHINDIRECT = 39, EMR_DELETEOBJECT = 40, EMR_RECTANGLE = 43, EMR_ARC = 45, EMR_LINETO = 54,
  EMR_SETARCDIRECTION = 57, EMR_BEGINPATH = 59, EMR_ENDPATH, EMR_CLOSEFIGURE, EMR_FILLPATH, EMR_SELECTCLIPPATH = 67,
  EMR_ABORTPATH, EMR_FILLRGN = 71, EMR_PAINTRGN = 74, EMR_EXTSELECTCLIPRGN = 75, EMR_BITBLT = 76,
  EMR_STRETCHDIBITS = 81, EMR_EXTCREATEFONTINDIRECTW = 82, EMR_EXTTEXTOUTW = 84, EMR_EXTCREATEPEN = 95
};
constexpr int32_t kNullPen = int32_t(0x80000008);

// An EMF whose reference device has 96 pixels per inch (480 pixels in
// 127 mm), so a picture drawn at its own size maps device units 1:1.
class Emf {
 public:
  explicit Emf(int left = 0, int top = 0, int right = 2540, int bottom = 2540) {
    W.U32(1).U32(88).I32(0).I32(0).I32(95).I32(95);
    W.I32(left).I32(top).I32(right).I32(bottom);
    W.Text(" EMF").U32(0x10000).U32(0).U32(0).U16(16).U16(0).U32(0).U32(0).U32(0);
    W.I32(480).I32(480).I32(127).I32(127);
  }
  // A record of 32-bit values.
  Emf& Rec(uint32_t type, std::initializer_list<int32_t> values) {
    W.U32(type).U32(static_cast<uint32_t>(8 + 4 * values.size()));
    for (int32_t v : values) W.I32(v);
    ++FRecords;
    return *this;
  }
  // A record with a raw body (padded to a multiple of 4).
  Emf& Raw(uint32_t type, const std::vector<uint8_t>& body) {
    W.U32(type).U32(static_cast<uint32_t>(8 + ((body.size() + 3) & ~size_t(3)))).Bytes(body).Align(4);
    ++FRecords;
    return *this;
  }
  Emf& SolidBrush(int index, TColor color) { return Rec(EMR_CREATEBRUSHINDIRECT, {index, 0, int32_t(color), 0}); }
  Emf& Pen(int index, int style, int width, TColor color) {
    return Rec(EMR_CREATEPEN, {index, style, width, 0, int32_t(color)});
  }
  Emf& Select(int32_t index) { return Rec(EMR_SELECTOBJECT, {index}); }
  Emf& Rect(int l, int t, int r, int b) { return Rec(EMR_RECTANGLE, {l, t, r, b}); }
  Emf& Line(int x0, int y0, int x1, int y1) { return Rec(EMR_MOVETOEX, {x0, y0}).Rec(EMR_LINETO, {x1, y1}); }
  // Red fill without outline.
  Emf& RedFill() { return SolidBrush(1, clRed).Select(1).Select(kNullPen); }
  // EMR_BITBLT without a source bitmap.
  Emf& PatBlt(int x, int y, int w, int h, uint32_t rop) {
    return Rec(EMR_BITBLT, {0, 0, 0, 0, x, y, w, h, int32_t(rop), 0, 0, 0x3F800000, 0, 0, 0x3F800000, 0, 0, 0, 0,
                            0, 0, 0, 0});
  }
  // Regions of one rectangle (device units); FillRgn names its brush.
  Emf& FillRgn(int32_t brush, int l, int t, int r, int b) {
    ByteWriter w;
    w.I32(l).I32(t).I32(r).I32(b).U32(48).I32(brush);
    return Raw(EMR_FILLRGN, RegionOf(w, l, t, r, b).Data);
  }
  Emf& PaintRgn(int l, int t, int r, int b) {
    ByteWriter w;
    w.I32(l).I32(t).I32(r).I32(b).U32(48);
    return Raw(EMR_PAINTRGN, RegionOf(w, l, t, r, b).Data);
  }
  // EMR_EXTCREATEFONTINDIRECTW with a height, weight 400 and no face name.
  Emf& Font(int index, int height, int pitchAndFamily = 0) {
    return Rec(EMR_EXTCREATEFONTINDIRECTW, {index, height, 0, 0, 0, 400, 0, pitchAndFamily << 24, 0, 0, 0, 0, 0, 0,
                                            0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
  }
  // EMR_EXTTEXTOUTW; options with their rectangle, and the advances.
  Emf& TextOut(int x, int y, const std::u16string& text, uint32_t options = 0, TRect rect = {0, 0, -1, -1},
               const std::vector<int32_t>& dx = {}) {
    ByteWriter w;
    w.I32(0).I32(0).I32(-1).I32(-1).U32(1).U32(0).U32(0);  // bounds, graphics mode, scales
    w.I32(x).I32(y).U32(uint32_t(text.size())).U32(76).U32(options);
    uint32_t offDx = dx.empty() ? 0 : uint32_t(76 + ((2 * text.size() + 3) & ~size_t(3)));
    w.I32(rect.Left).I32(rect.Top).I32(rect.Right).I32(rect.Bottom).U32(offDx);
    for (char16_t c : text) w.U16(c);
    w.Align(4);
    for (int32_t d : dx) w.I32(d);
    return Raw(EMR_EXTTEXTOUTW, w.Data);
  }
  std::vector<uint8_t> Finish() {
    Rec(EMR_EOF, {0, 16, 20});
    W.PatchU32(48, static_cast<uint32_t>(W.Size()));
    W.PatchU32(52, FRecords + 1);
    return W.Data;
  }
  ByteWriter W;

 private:
  static ByteWriter& RegionOf(ByteWriter& w, int l, int t, int r, int b) {
    for (int32_t v : {32, 1, 1, 16, l, t, r, b, l, t, r, b}) w.I32(v);
    return w;
  }
  uint32_t FRecords = 0;
};

// --- Building placeable Windows metafiles ---------------------------------------

enum : uint16_t {
  META_SAVEDC = 0x001E, META_SETBKMODE = 0x0102, META_SETROP2 = 0x0104, META_RESTOREDC = 0x0127,
  META_PAINTREGION = 0x012B, META_SELECTOBJECT = 0x012D, META_DELETEOBJECT = 0x01F0, META_SETBKCOLOR = 0x0201,
  META_LINETO = 0x0213, META_MOVETO = 0x0214, META_FILLREGION = 0x0228, META_CREATEPENINDIRECT = 0x02FA,
  META_CREATEFONTINDIRECT = 0x02FB, META_CREATEBRUSHINDIRECT = 0x02FC, META_RECTANGLE = 0x041B,
  META_TEXTOUT = 0x0521, META_PATBLT = 0x061D, META_CREATEREGION = 0x06FF, META_DIBBITBLT = 0x0940,
  META_STRETCHDIB = 0x0F43
};

class Wmf {
 public:
  Wmf(int16_t left = 0, int16_t top = 0, int16_t right = 96, int16_t bottom = 96, uint16_t inch = 96) {
    W.U32(0x9AC6CDD7).U16(0).I16(left).I16(top).I16(right).I16(bottom).U16(inch).U32(0);
    uint16_t sum = 0;
    for (int i = 0; i < 10; ++i) sum ^= static_cast<uint16_t>(W.Data[2 * i] | (W.Data[2 * i + 1] << 8));
    W.U16(sum);
    W.U16(1).U16(9).U16(0x0300).U32(0).U16(4).U32(0).U16(0);
  }
  Wmf& Rec(uint16_t function, std::initializer_list<int16_t> params) {
    W.U32(static_cast<uint32_t>(3 + params.size())).U16(function);
    for (int16_t p : params) W.I16(p);
    return *this;
  }
  Wmf& Raw(uint16_t function, const std::vector<uint8_t>& params) {
    W.U32(static_cast<uint32_t>(3 + (params.size() + 1) / 2)).U16(function).Bytes(params).Align(2);
    return *this;
  }
  // Objects take the lowest free slot of the table.
  Wmf& Brush(int style, TColor color, int hatch = 0) {
    return Rec(META_CREATEBRUSHINDIRECT, {int16_t(style), int16_t(color & 0xFFFF), int16_t(color >> 16),
                                          int16_t(hatch)});
  }
  Wmf& Pen(int style, int width, TColor color) {
    return Rec(META_CREATEPENINDIRECT, {int16_t(style), int16_t(width), 0, int16_t(color & 0xFFFF),
                                        int16_t(color >> 16)});
  }
  Wmf& Select(int slot) { return Rec(META_SELECTOBJECT, {int16_t(slot)}); }
  Wmf& Rect(int l, int t, int r, int b) {  // parameters go bottom, right, top, left
    return Rec(META_RECTANGLE, {int16_t(b), int16_t(r), int16_t(t), int16_t(l)});
  }
  Wmf& Line(int x0, int y0, int x1, int y1) {
    return Rec(META_MOVETO, {int16_t(y0), int16_t(x0)}).Rec(META_LINETO, {int16_t(y1), int16_t(x1)});
  }
  // META_DIBCREATEPATTERNBRUSH: style 5 a DIB pattern in RGB colours, 3 a bitmap's pattern.
  Wmf& PatternBrush(const std::vector<uint8_t>& dib, uint16_t style = 5) {
    return Raw(0x0142, ByteWriter().U16(style).U16(0).Bytes(dib).Data);
  }
  // META_STRETCHDIB of the whole DIB into the box.
  Wmf& StretchDib(int l, int t, int r, int b, int dibWidth, int dibHeight, const std::vector<uint8_t>& dib) {
    return Raw(META_STRETCHDIB, ByteWriter().U32(SRCCOPY).I16(0).I16(int16_t(dibHeight)).I16(int16_t(dibWidth))
        .I16(0).I16(0).I16(int16_t(b - t)).I16(int16_t(r - l)).I16(int16_t(t)).I16(int16_t(l)).Bytes(dib).Data);
  }
  std::vector<uint8_t> Finish() {
    Rec(0, {});
    W.PatchU32(22 + 6, static_cast<uint32_t>((W.Size() - 22) / 2));
    return W.Data;
  }
  ByteWriter W;
};

// --- Drawing helpers --------------------------------------------------------------

inline std::unique_ptr<TMetafile> Load(const std::vector<uint8_t>& data) { return LoadGraphic<TMetafile>(data); }

inline std::unique_ptr<TBitmap> Render(const std::vector<uint8_t>& data, int w = 96, int h = 96,
                                       TColor fill = clWhite, TPixelFormat format = pf24bit) {
  auto b = MakeFlatBitmap(w, h, fill, format);
  b->Canvas()->StretchDraw(::Rect(0, 0, w, h), Load(data).get());
  return b;
}

inline int Count(TBitmap& b, const TRect& r, TColor color) {
  int n = 0;
  for (int y = r.Top; y < r.Bottom; ++y)
    for (int x = r.Left; x < r.Right; ++x) n += PixelAt(b, x, y) == color;
  return n;
}

// The rectangle covered by pixels of the colour (within area), or an empty one.
inline TRect Extent(TBitmap& b, TColor color, TRect area = {0, 0, 1 << 30, 1 << 30}) {
  TRect e{b.Width(), b.Height(), 0, 0};
  for (int y = area.Top; y < std::min(area.Bottom, b.Height()); ++y)
    for (int x = area.Left; x < std::min(area.Right, b.Width()); ++x)
      if (PixelAt(b, x, y) == color) e = {std::min(e.Left, x), std::min(e.Top, y), std::max(e.Right, x + 1),
                                          std::max(e.Bottom, y + 1)};
  return e.Right ? e : TRect{};
}

// The rectangle covered by pixels other than the colour, or an empty one.
inline TRect InkExtent(TBitmap& b, TColor background, TRect area = {0, 0, 1 << 30, 1 << 30}) {
  TRect e{b.Width(), b.Height(), 0, 0};
  for (int y = area.Top; y < std::min(area.Bottom, b.Height()); ++y)
    for (int x = area.Left; x < std::min(area.Right, b.Width()); ++x)
      if (PixelAt(b, x, y) != background) e = {std::min(e.Left, x), std::min(e.Top, y), std::max(e.Right, x + 1),
                                               std::max(e.Bottom, y + 1)};
  return e.Right ? e : TRect{};
}

}  // namespace mftest
