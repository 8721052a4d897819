// Hand-made metafiles for the metafile tests: builders for enhanced and
// placeable Windows metafiles, and drawing them onto a bitmap.
#pragma once

#include <algorithm>
#include <cmath>
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
  EMR_OFFSETCLIPRGN = 26, EMR_MOVETOEX = 27, EMR_EXCLUDECLIPRECT = 29, EMR_INTERSECTCLIPRECT = 30, EMR_SAVEDC = 33, EMR_RESTOREDC = 34,
  EMR_SETWORLDTRANSFORM = 35, EMR_MODIFYWORLDTRANSFORM = 36, EMR_SELECTOBJECT = 37, EMR_CREATEPEN = 38,
  EMR_CREATEBRUSHINDIRECT = 39, EMR_DELETEOBJECT = 40, EMR_ELLIPSE = 42, EMR_RECTANGLE = 43, EMR_ARC = 45, EMR_LINETO = 54,
  EMR_SETARCDIRECTION = 57, EMR_BEGINPATH = 59, EMR_ENDPATH, EMR_CLOSEFIGURE, EMR_FILLPATH, EMR_STROKEPATH = 64, EMR_SELECTCLIPPATH = 67,
  EMR_ABORTPATH, EMR_FILLRGN = 71, EMR_PAINTRGN = 74, EMR_EXTSELECTCLIPRGN = 75, EMR_BITBLT = 76,
  EMR_STRETCHDIBITS = 81, EMR_EXTCREATEFONTINDIRECTW = 82, EMR_EXTTEXTOUTW = 84, EMR_POLYLINE16 = 87,
  EMR_POLYGON16 = 86, EMR_POLYPOLYGON16 = 91, EMR_CREATEMONOBRUSH = 93, EMR_CREATEDIBPATTERNBRUSHPT = 94, EMR_EXTCREATEPEN = 95
};
enum : uint32_t { kGeometricPen = 0x10000, kFlatCaps = 0x200, kMitreJoins = 0x2000 };
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
  Emf& Rec(uint32_t type, std::initializer_list<int32_t> values) { return Record(type, values); }
  template <class Values>
  Emf& Record(uint32_t type, const Values& values) {
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
  // EMR_EXTCREATEPEN of a solid brush, with a user style when given.
  Emf& ExtPen(int index, uint32_t style, int width, TColor color, const std::vector<int32_t>& dashes = {}) {
    ByteWriter w;
    w.U32(index).U32(0).U32(0).U32(0).U32(0);  // index, no bitmap
    w.U32(style).U32(width).U32(0).U32(color).U32(0).U32(uint32_t(dashes.size()));
    for (int32_t d : dashes) w.I32(d);
    return Raw(EMR_EXTCREATEPEN, w.Data);
  }
  Emf& Select(int32_t index) { return Rec(EMR_SELECTOBJECT, {index}); }
  Emf& Rect(int l, int t, int r, int b) { return Rec(EMR_RECTANGLE, {l, t, r, b}); }
  Emf& Line(int x0, int y0, int x1, int y1) { return Rec(EMR_MOVETOEX, {x0, y0}).Rec(EMR_LINETO, {x1, y1}); }
  // Red fill without outline.
  Emf& RedFill() { return SolidBrush(1, clRed).Select(1).Select(kNullPen); }
  // EMR_POLYLINE16, EMR_POLYGON16 and the like: bounds, count, points.
  Emf& Points16(uint32_t type, const std::vector<std::pair<int, int>>& points) {
    ByteWriter w;
    w.I32(0).I32(0).I32(0).I32(0).U32(uint32_t(points.size()));
    for (auto [x, y] : points) w.I16(int16_t(x)).I16(int16_t(y));
    return Raw(type, w.Data);
  }
  // EMR_POLYPOLYGON16 of the figures.
  Emf& PolyPolygon16(const std::vector<std::vector<std::pair<int, int>>>& figures) {
    ByteWriter w;
    size_t points = 0;
    for (const auto& figure : figures) points += figure.size();
    w.I32(0).I32(0).I32(0).I32(0).U32(uint32_t(figures.size())).U32(uint32_t(points));
    for (const auto& figure : figures) w.U32(uint32_t(figure.size()));
    for (const auto& figure : figures)
      for (auto [x, y] : figure) w.I16(int16_t(x)).I16(int16_t(y));
    return Raw(EMR_POLYPOLYGON16, w.Data);
  }
  // EMR_EXTSELECTCLIPRGN of rectangles (device units) in the mode.
  Emf& ClipRegion(const std::vector<TRect>& rects, int mode) {
    ByteWriter w;
    w.U32(uint32_t(32 + 16 * rects.size())).I32(mode);
    w.U32(32).U32(1).U32(uint32_t(rects.size())).U32(uint32_t(16 * rects.size())).I32(0).I32(0).I32(0).I32(0);
    for (const TRect& r : rects) w.I32(r.Left).I32(r.Top).I32(r.Right).I32(r.Bottom);
    return Raw(EMR_EXTSELECTCLIPRGN, w.Data);
  }
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
  // EMR_EXTCREATEFONTINDIRECTW of a named face, weight, slant and turn.
  Emf& FaceFont(int index, int height, const std::u16string& face, int weight = 400, bool italic = false,
                int escapement = 0) {
    ByteWriter w;
    w.I32(index).I32(height).I32(0).I32(escapement).I32(escapement).I32(weight).U8(italic);
    for (int i = 0; i < 7; ++i) w.U8(0);
    for (size_t i = 0; i < 32; ++i) w.U16(i < face.size() ? face[i] : 0);
    return Raw(EMR_EXTCREATEFONTINDIRECTW, w.Data);
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
  META_SAVEDC = 0x001E, META_SETBKMODE = 0x0102, META_SETMAPMODE = 0x0103, META_SETWINDOWEXT = 0x020C, META_SETROP2 = 0x0104, META_RESTOREDC = 0x0127,
  META_PAINTREGION = 0x012B, META_SELECTOBJECT = 0x012D, META_DELETEOBJECT = 0x01F0, META_SETBKCOLOR = 0x0201,
  META_LINETO = 0x0213, META_MOVETO = 0x0214, META_FILLREGION = 0x0228, META_CREATEPENINDIRECT = 0x02FA,
  META_CREATEFONTINDIRECT = 0x02FB, META_CREATEBRUSHINDIRECT = 0x02FC, META_RECTANGLE = 0x041B,
  META_TEXTOUT = 0x0521, META_PATBLT = 0x061D, META_CREATEREGION = 0x06FF, META_DIBBITBLT = 0x0940,
  META_STRETCHDIB = 0x0F43, META_SETPOLYFILLMODE = 0x0106, META_SELECTCLIPREGION = 0x012C,
  META_SETTEXTCOLOR = 0x0209, META_SETWINDOWORG = 0x020B, META_POLYGON = 0x0324, META_POLYLINE = 0x0325, META_EXCLUDECLIPRECT = 0x0415,
  META_INTERSECTCLIPRECT = 0x0416, META_ELLIPSE = 0x0418
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
  Wmf& Rec(uint16_t function, std::initializer_list<int16_t> params) { return Record(function, params); }
  template <class Params>
  Wmf& Record(uint16_t function, const Params& params) {
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
  // META_POLYGON and META_POLYLINE: count, points.
  Wmf& Points(uint16_t function, const std::vector<std::pair<int, int>>& points) {
    ByteWriter w;
    w.U16(uint16_t(points.size()));
    for (auto [x, y] : points) w.I16(int16_t(x)).I16(int16_t(y));
    return Raw(function, w.Data);
  }
  // META_CREATEREGION of scans: each its rows top to bottom and its spans
  // of columns left to right.
  struct TScan {
    int Top, Bottom;
    std::vector<std::pair<int, int>> Spans;
  };
  Wmf& Region(const std::vector<TScan>& scans) {
    ByteWriter w;
    w.U16(0).U16(6).U32(0).U16(0).U16(uint16_t(scans.size())).U16(0).Zeros(8);
    for (const TScan& scan : scans) {
      w.U16(uint16_t(2 * scan.Spans.size())).I16(int16_t(scan.Top)).I16(int16_t(scan.Bottom));
      for (auto [l, r] : scan.Spans) w.I16(int16_t(l)).I16(int16_t(r));
      w.U16(uint16_t(2 * scan.Spans.size()));
    }
    return Raw(META_CREATEREGION, w.Data);
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

// --- Ordinary drawings ------------------------------------------------------------

// Pictures as drawing programs write them, at their own size: a chart, a
// floor plan, a page of text, a clip-art scene and a photo with a frame.
// Deterministic (a fixed sequence of pseudo-random numbers places things).
struct TOrdinaryDrawing {
  std::string Name;
  std::vector<uint8_t> Data;
};

inline std::vector<TOrdinaryDrawing> OrdinaryDrawings() {
  uint32_t seed = 12345;
  auto next = [&](int n) {
    seed = seed * 1103515245u + 12345u;
    return int((seed >> 8) % uint32_t(n));
  };
  std::vector<TOrdinaryDrawing> drawings;

  {  // A bar chart with a line series, 1056 x 816.
    Emf e(0, 0, 27940, 21590);
    e.SolidBrush(1, RGB(250, 250, 245)).Select(1).Select(kNullPen).Rect(0, 0, 1056, 816);
    e.Pen(2, 2, 1, RGB(190, 190, 190)).Select(2);  // dotted grid
    for (int i = 0; i <= 10; ++i) e.Line(90, 80 + 60 * i, 1010, 80 + 60 * i);
    e.Pen(3, 0, 2, clBlack).Select(3).Line(90, 80, 90, 680).Line(90, 680, 1010, 680);
    for (int i = 0; i < 12; ++i) {
      e.SolidBrush(4 + i % 3, i % 3 == 0 ? RGB(70, 110, 200) : i % 3 == 1 ? RGB(220, 120, 40) : RGB(90, 170, 90));
      e.Select(4 + i % 3).Rect(110 + 75 * i, 680 - 40 - next(500), 160 + 75 * i, 680);
    }
    e.Rec(EMR_SAVEDC, {}).Rec(EMR_INTERSECTCLIPRECT, {90, 80, 1010, 680});
    e.ExtPen(7, kGeometricPen | 0x0000, 3, RGB(200, 30, 30)).Select(7);
    std::vector<std::pair<int, int>> series;
    for (int i = 0; i < 48; ++i) series.emplace_back(100 + 19 * i, 600 - next(400));
    e.Points16(EMR_POLYLINE16, series).Rec(EMR_RESTOREDC, {-1});
    e.Rec(EMR_SETBKMODE, {1}).Font(8, -14).Select(8);
    for (int i = 0; i < 12; ++i) e.TextOut(115 + 75 * i, 690, u"Month " + std::u16string(1, char16_t(u'A' + i)));
    for (int i = 0; i <= 10; ++i) e.TextOut(40, 72 + 60 * i, std::u16string(u"") + char16_t(u'0' + (10 - i) % 10) + u"0");
    e.Font(9, -28, 0x20).Select(9).TextOut(380, 20, u"Sales by month, all regions");
    for (int i = 0; i < 3; ++i) e.Select(4 + i).Select(kNullPen).Rect(880, 700 + 30 * i, 900, 720 + 30 * i);
    drawings.push_back({"chart.emf", e.Finish()});
  }
  {  // A floor plan in tenths of a unit, 1600 x 1200: walls, doors, centre
     // lines, hatched rooms, dimensions with labels.
    Emf e(0, 0, 42333, 31750);
    e.Rec(EMR_SETMAPMODE, {8}).Rec(EMR_SETWINDOWEXTEX, {16000, 12000}).Rec(EMR_SETVIEWPORTEXTEX, {1600, 1200});
    e.Rec(EMR_CREATEBRUSHINDIRECT, {1, 2, int32_t(RGB(160, 160, 160)), 2}).Rec(EMR_SETBKMODE, {1});
    e.Select(1).Select(kNullPen);
    for (int i = 0; i < 24; ++i) e.Rect(500 + 2500 * (i % 6), 500 + 2800 * (i / 6), 2700 + 2500 * (i % 6), 3000 + 2800 * (i / 6));
    e.Select(int32_t(0x80000005));
    e.ExtPen(2, kGeometricPen | kFlatCaps | kMitreJoins, 30, clBlack).Select(2);
    for (int i = 0; i < 24; ++i) {
      int l = 400 + 2500 * (i % 6), t = 400 + 2800 * (i / 6);
      e.Points16(EMR_POLYLINE16, {{l, t}, {l + 2500, t}, {l + 2500, t + 2800}, {l, t + 2800}, {l, t}});
    }
    e.Pen(3, 0, 0, clBlack).Select(3);
    for (int i = 0; i < 120; ++i) {
      int x = 600 + next(14000), y = 600 + next(10400);
      e.Rec(EMR_ARC, {x, y, x + 800, y + 800, x + 800, y + 400, x + 400, y});
    }
    e.Pen(4, 3, 1, RGB(0, 0, 160)).Select(4);  // dash-dot centre lines
    for (int i = 0; i < 30; ++i) e.Line(200, 300 + 380 * i, 15800, 300 + 380 * i);
    e.ExtPen(5, kGeometricPen | 1, 20, RGB(0, 120, 0)).Select(5);  // dashed, 2 pixels wide
    for (int i = 0; i < 40; ++i) e.Line(300 + 380 * i, 200, 300 + 380 * i, 11800);
    e.Pen(6, 0, 0, RGB(120, 0, 0)).Select(6).Font(7, -100).Select(7).Rec(EMR_SETTEXTCOLOR, {int32_t(RGB(120, 0, 0))});
    for (int i = 0; i < 300; ++i) {
      int x = 400 + next(14800), y = 400 + next(11000), len = 300 + next(1500);
      e.Line(x, y, x + len, y).Line(x, y - 60, x, y + 60).Line(x + len, y - 60, x + len, y + 60);
      e.TextOut(x + len / 3, y - 140, u"2500");
    }
    drawings.push_back({"plan.emf", e.Finish()});
  }
  {  // A page of text, 816 x 1056: a heading, then sixty lines with their
     // advances, every seventh on a highlighted background.
    Emf e(0, 0, 21590, 27940);
    e.Font(1, -30, 0x10).Select(1).Rec(EMR_SETBKMODE, {1}).TextOut(96, 60, u"Quarterly report of the mill");
    e.Font(2, -13, 0x10).Select(2).Rec(EMR_SETBKCOLOR, {int32_t(RGB(255, 255, 150))});
    std::u16string line;
    for (int i = 0; i < 90; ++i) line += i % 7 == 6 ? u' ' : char16_t(u'a' + next(26));
    const std::vector<int32_t> advances(line.size(), 7);
    for (int i = 0; i < 60; ++i) {
      const int y = 120 + 15 * i;
      e.TextOut(60, y, line, i % 7 == 3 ? 2 : 0, {60, y, 60 + 7 * 90, y + 15}, advances);
    }
    drawings.push_back({"page.emf", e.Finish()});
  }
  {  // A clip-art scene, 800 x 800: a sky of 128 bands, a sun, hills,
     // trees, and a lake clipped by a region.
    Wmf w(0, 0, 800, 800, 96);
    w.Pen(5, 0, 0).Select(0);  // slot 0: null pen
    for (int i = 0; i < 128; ++i) {
      w.Brush(0, RGB(60 + i, 120 + i / 2, 255)).Select(1).Rect(0, 4 * i, 800, 4 * i + 4).Rec(META_DELETEOBJECT, {1});
    }
    w.Brush(0, RGB(255, 220, 60)).Select(1).Rec(META_ELLIPSE, {220, 720, 100, 600}).Rec(META_DELETEOBJECT, {1});
    for (int hill = 0; hill < 5; ++hill) {
      std::vector<std::pair<int, int>> outline{{0, 800}};
      for (int x = 0; x <= 800; x += 40) outline.emplace_back(x, 420 + 40 * hill + next(80));
      outline.emplace_back(800, 800);
      w.Brush(0, RGB(40, 90 + 25 * hill, 40)).Select(1).Points(META_POLYGON, outline).Rec(META_DELETEOBJECT, {1});
    }
    w.Brush(0, RGB(30, 70, 30)).Select(1).Brush(0, RGB(110, 70, 30)).Select(2);
    for (int i = 0; i < 100; ++i) {
      int x = next(780), y = 450 + next(300);
      w.Select(1).Points(META_POLYGON, {{x, y - 40}, {x + 15, y}, {x - 15, y}}).Select(2).Rect(x - 3, y, x + 3, y + 12);
    }
    std::vector<Wmf::TScan> lake;
    for (int row = 0; row < 60; ++row) {
      int half = 200 - (row - 30) * (row - 30) / 5;
      lake.push_back({640 + 2 * row, 642 + 2 * row, {{400 - half, 400 + half}}});
    }
    w.Region(lake).Rec(META_SELECTCLIPREGION, {3});
    w.Brush(0, RGB(70, 130, 220)).Select(4).Rect(0, 600, 800, 800);
    w.Pen(0, 0, RGB(200, 220, 255)).Select(5);
    for (int i = 0; i < 30; ++i) w.Line(150 + next(500), 650 + 4 * i, 200 + next(500), 650 + 4 * i);
    drawings.push_back({"scene.wmf", w.Finish()});
  }
  {  // A photo of 320 x 240 stretched to 800 x 600 in a frame of a pattern
     // brush, with a caption.
    ByteWriter photo = DibHeader(320, 240, 24, 0);
    for (int y = 0; y < 240; ++y)
      for (int x = 0; x < 320; ++x) photo.U8(uint8_t(x)).U8(uint8_t(y + x / 4)).U8(uint8_t(200 - y / 2 + next(16)));
    ByteWriter blit;  // bounds, dest, source, offBmi, cbBmi, offBits, cbBits, usage, rop, dest size
    for (int32_t v : {0, 0, 0, 0, 40, 40, 0, 0, 320, 240, 80, 40, 120, 320 * 240 * 3, 0, int32_t(SRCCOPY), 720, 520})
      blit.I32(v);
    blit.Bytes(photo.Data);
    ByteWriter pattern = DibHeader(8, 8, 24, 0);
    for (int i = 0; i < 64; ++i) pattern.U8(uint8_t(i * 4)).U8(80).U8(uint8_t(255 - i * 4));
    ByteWriter brush;
    brush.U32(1).U32(0).U32(32).U32(40).U32(72).U32(192).Bytes(pattern.Data);
    Emf e(0, 0, 21167, 16933);
    e.Raw(EMR_CREATEDIBPATTERNBRUSHPT, brush.Data).Select(1).Select(kNullPen).Rect(0, 0, 800, 640);
    e.Raw(EMR_STRETCHDIBITS, blit.Data);
    e.Rec(EMR_SETBKMODE, {1}).Rec(EMR_SETTEXTCOLOR, {int32_t(clWhite)}).Font(2, -16).Select(2);
    e.TextOut(300, 600, u"The mill pond in May");
    drawings.push_back({"photo.emf", e.Finish()});
  }
  return drawings;
}

// --- Drawings whose work is out of all proportion to their bytes -------------------

// Each draws, onto a frame of side x side pixels at its own size, what
// takes the painter far more work than its records hold; count scales it.

// The frame of an EMF side pixels square.
inline Emf SquareEmf(int side) { return Emf(0, 0, (side * 2540 + 48) / 96, (side * 2540 + 48) / 96); }

// The clip regions of count one-pixel rows, then count one-pixel columns
// xor-ed with it: a grid of count^2 cells.
inline Emf& GridClip(Emf& e, int count, int side) {
  std::vector<TRect> rows, columns;
  for (int i = 0; i < count; ++i) {
    rows.push_back(Bounds(0, i * side / count, side, 1));
    columns.push_back(Bounds(i * side / count, 0, 1, side));
  }
  return e.ClipRegion(rows, 5).ClipRegion(columns, 3);
}

// The grid clip, then a fill of the frame.
inline std::vector<uint8_t> ClipGrid(int count, int side) {
  Emf e = SquareEmf(side);
  return GridClip(e, count, side).RedFill().Rect(0, 0, side, side).Finish();
}

// The grid clip, then count times a saved state and the clip moved by a
// pixel: each saved state keeps a grid of its own.
inline std::vector<uint8_t> SavedGridClips(int count, int grid, int side) {
  Emf e = SquareEmf(side);
  GridClip(e, grid, side);
  for (int i = 0; i < count; ++i) e.Rec(EMR_SAVEDC, {}).Rec(EMR_OFFSETCLIPRGN, {1, 0});
  return e.RedFill().Rect(0, 0, side, side).Finish();
}

// count strips cut out of the clip, rows and columns in turn, then a
// rectangle over the frame.
inline std::vector<uint8_t> ExcludedStrips(int count, int side) {
  Wmf w(0, 0, int16_t(side), int16_t(side), 96);
  for (int i = 0; i < count; ++i) {
    const int at = int16_t((i / 2) * 2 * side / count);
    if (i % 2)
      w.Rec(META_EXCLUDECLIPRECT, {int16_t(side), int16_t(at + 1), 0, int16_t(at)});
    else
      w.Rec(META_EXCLUDECLIPRECT, {int16_t(at + 1), int16_t(side), int16_t(at), 0});
  }
  return w.Brush(0, clRed).Select(0).Rect(0, 0, side, side).Finish();
}

// A polyline of count points from the top of the frame to its bottom and
// back, across it; drawn with a pen 3 pixels wide of one-unit dashes,
// under a clip of the top left 2 x 2 pixels when clipped.
inline std::vector<std::pair<int, int>> Zigzag(int count, int side) {
  std::vector<std::pair<int, int>> points;
  for (int i = 0; i < count; ++i) points.emplace_back(i * (side - 1) / std::max(1, count - 1), i % 2 ? side - 1 : 0);
  return points;
}
inline std::vector<uint8_t> DashedZigzag(int count, int side, bool clipped = false) {
  Emf e = SquareEmf(side);
  if (clipped) e.Rec(EMR_INTERSECTCLIPRECT, {0, 0, 2, 2});
  return e.ExtPen(1, kGeometricPen | 8, 3, clBlack).Select(1).Points16(EMR_POLYLINE16, Zigzag(count, side)).Finish();
}

// count inversions of the whole frame through a hatched brush.
inline std::vector<uint8_t> PagePatBlts(int count, int side) {
  Wmf w(0, 0, int16_t(side), int16_t(side), 96);
  w.Brush(2, clBlue, 5).Select(0);
  for (int i = 0; i < count; ++i) w.Rec(META_PATBLT, {0x0049, 0x005A, int16_t(side), int16_t(side), 0, 0});
  return w.Finish();
}

// A region of rows one-pixel rows of columns one-pixel spans, selected as
// the clip count times, each time under a window moved by a pixel when
// moving; then a fill of the frame.
inline std::vector<uint8_t> ReselectedRegion(int rows, int columns, int count, bool moving, int side) {
  std::vector<Wmf::TScan> scans;
  for (int y = 0; y < rows; ++y) {
    scans.push_back({y * side / rows, y * side / rows + 1, {}});
    for (int x = 0; x < columns; ++x) scans.back().Spans.emplace_back(x * side / columns, x * side / columns + 1);
  }
  Wmf w(0, 0, int16_t(side), int16_t(side), 96);
  w.Region(scans);
  for (int i = 0; i < count; ++i) {
    if (moving) w.Rec(META_SETWINDOWORG, {0, int16_t(i % 2)});
    w.Rec(META_SELECTCLIPREGION, {0});
  }
  return w.Brush(0, clRed).Pen(5, 0, 0).Select(1).Select(2).Rect(0, 0, side, side).Finish();
}

// count texts of chars capitals in the largest font, down the frame; each
// text's capitals on one spot when piled; the world turned by a degree
// when turned.
inline std::vector<uint8_t> LargeTexts(int count, int chars, int side, bool piled = false, bool turned = false) {
  Emf e = SquareEmf(side);
  if (turned) e.Rec(EMR_SETWORLDTRANSFORM, {0x3F7FF605, 0x3C8EF859, int32_t(0xBC8EF859), 0x3F7FF605, 0, 0});
  e.Font(1, -2000).Select(1);
  for (int i = 0; i < count; ++i)
    e.TextOut(0, (i * 37) % side - 500, std::u16string(size_t(chars), u'W'), 0, {0, 0, -1, -1},
              std::vector<int32_t>(piled ? chars : 0, 0));
  return e.Finish();
}

// count zigzags of points points each from the top of the frame to its
// bottom: paths filled, polygons filled, lines of a pen 9 pixels wide, or
// a path made the clip.
enum TZigzag { zzPath, zzPolygon, zzWideLine, zzClipPath };
inline std::vector<uint8_t> Zigzags(TZigzag kind, int count, int points, int side) {
  const std::vector<std::pair<int, int>> zigzag = Zigzag(points, side);
  Emf e = SquareEmf(side);
  e.Rec(EMR_SETPOLYFILLMODE, {2}).SolidBrush(1, clRed).Select(1).Select(kNullPen);
  if (kind == zzWideLine) e.Pen(2, 0, 9, clBlue).Select(2);
  for (int i = 0; i < count; ++i) {
    if (kind == zzPath || kind == zzClipPath) {
      e.Rec(EMR_BEGINPATH, {}).Points16(EMR_POLYLINE16, zigzag).Rec(EMR_CLOSEFIGURE, {}).Rec(EMR_ENDPATH, {});
      e.Rec(kind == zzPath ? EMR_FILLPATH : EMR_SELECTCLIPPATH, {kind == zzPath ? 0 : 1, 0, 0, 0});
    } else {
      e.Points16(kind == zzPolygon ? EMR_POLYGON16 : EMR_POLYLINE16, zigzag);
    }
  }
  return e.Rect(0, 0, side, side).Finish();
}

// count ellipses of the radius (pixels) whose curve crosses the
// frame while their control points lie outside it: in a path stroked with
// a dashed pen 2 pixels wide (EMF), or drawn with an xor pen 4096 pixels
// wide (WMF, whose logical units are side / 10 pixels).
inline std::vector<uint8_t> HugeEllipses(int count, int side, bool wmf, int radius = 500000) {
  const int shift = int(radius / 1.4142) - side / 2;
  if (!wmf) {
    Emf e = SquareEmf(side);
    e.ExtPen(1, kGeometricPen | 1, 2, clBlue).Select(1).Rec(EMR_BEGINPATH, {});
    for (int i = 0; i < count; ++i)
      e.Rec(EMR_ELLIPSE, {i - shift - radius, -shift - radius, i - shift + radius, -shift + radius});
    return e.Rec(EMR_ENDPATH, {}).Rec(EMR_STROKEPATH, {0, 0, 0, 0}).Finish();
  }
  Wmf w(0, 0, int16_t(side), int16_t(side), 96);
  const int unit = side / 10, r = radius / unit, at = shift / unit;
  w.Rec(META_SETWINDOWEXT, {10, 10}).Pen(0, 4096 / unit, clBlue).Select(0).Rec(META_SETROP2, {7});
  for (int i = 0; i < count; ++i)
    w.Rec(META_ELLIPSE, {int16_t(r - at), int16_t(r - at + i % 8), int16_t(-r - at), int16_t(-r - at + i % 8)});
  return w.Finish();
}

// chars different characters from first on, at each of sizes font sizes.
inline std::vector<uint8_t> GlyphSizes(int chars, int sizes, char16_t first, int side) {
  Emf e = SquareEmf(side);
  std::u16string text;
  for (int i = 0; i < chars; ++i) text += char16_t(first + i);
  for (int i = 0; i < sizes; ++i)
    e.Font(1 + i, -(8 + 4 * i)).Select(1 + i).TextOut(0, (i * 37) % side, text);
  return e.Finish();
}

// A clip of strips one-pixel columns the frame's height, spread evenly,
// under background mode mode (1 transparent, 2 opaque); then count
// one-letter texts, or a fill of the frame when count is 0, or when it is
// -1 clipped text (ETO_CLIPPED, on its background) in a world turned by
// 30 degrees, whose rectangle meets each strip in each row.
inline std::vector<uint8_t> StripClip(int strips, int count, int mode, int side) {
  std::vector<TRect> columns;
  for (int i = 0; i < strips; ++i) columns.push_back(Bounds(int(int64_t(i) * side / strips), 0, 1, side));
  Emf e = SquareEmf(side);
  e.ClipRegion(columns, 5).Rec(EMR_SETBKMODE, {mode});
  if (count == 0) return e.RedFill().Rect(0, 0, side, side).Finish();
  if (count < 0) e.Rec(EMR_SETWORLDTRANSFORM, {0x3F5DB3D7, 0x3F000000, int32_t(0xBF000000), 0x3F5DB3D7, 0, 0});
  e.Font(1, count < 0 ? -40 : -16).Select(1);
  if (count < 0) e.TextOut(side / 2, 0, u"Brightmill", 4, {0, 0, 2 * side, 2 * side});
  for (int i = 0; i < count; ++i) e.TextOut((i * 13) % side, (i * 29) % side, u"x");
  return e.Finish();
}

// --- Dense honest charts ---------------------------------------------------------

// A trace of samples points across width pixels, height high: loud noise
// with a one-pixel pen, or a vibration (a few sines and some noise) with a
// pen 3 pixels wide.
inline std::vector<uint8_t> Trace(int samples, int width, int height, bool vibration) {
  uint32_t seed = 99;
  std::vector<std::pair<int, int>> points;
  for (int i = 0; i < samples; ++i) {
    seed = seed * 1103515245u + 12345u;
    const double t = double(i) / samples, noise = double(seed >> 16) / 65536 - 0.5;
    const double v = vibration ? 0.3 * std::sin(t * 900) + 0.1 * std::sin(t * 5311) + 0.15 * noise : 0.98 * noise;
    points.emplace_back(int(t * width), int(height / 2 + v * height));
  }
  Emf e(0, 0, (width * 2540 + 48) / 96, (height * 2540 + 48) / 96);
  e.Pen(1, 0, vibration ? 3 : 1, vibration ? clNavy : clBlack).Select(1);
  return e.Points16(EMR_POLYLINE16, points).Finish();
}

// A chart of samples points across width x height pixels that wander as a
// signal does, each within a pixel or so of the last, drawn with a round
// pen pen pixels wide, or a geometric pen of the style.
inline std::vector<uint8_t> WanderingTrace(int samples, int width, int height, int pen, uint32_t style = 0) {
  uint32_t seed = 99;
  double at = 0;
  std::vector<std::pair<int, int>> points;
  for (int i = 0; i < samples; ++i) {
    seed = seed * 1103515245u + 12345u;
    at = std::clamp(at + 0.003 * (double(seed >> 16) / 65536 - 0.5), -0.45, 0.45);
    points.emplace_back(int(double(i) * width / samples), int(height * (0.5 + at)));
  }
  Emf e(0, 0, (width * 2540 + 48) / 96, (height * 2540 + 48) / 96);
  if (style)
    e.ExtPen(1, kGeometricPen | style, pen, clNavy);
  else
    e.Pen(1, 0, pen, clNavy);
  return e.Select(1).Points16(EMR_POLYLINE16, points).Finish();
}

// A map of count polygons of 20 points, in a grid over width x height
// pixels, filled and outlined with a round pen pen pixels wide in one
// record.
inline std::vector<uint8_t> PolygonMap(int count, int width, int height, int pen) {
  const int columns = int(std::sqrt(double(count) * width / height)) + 1;
  const double cell = double(width) / columns;
  ByteWriter w;
  w.I32(0).I32(0).I32(0).I32(0).U32(uint32_t(count)).U32(uint32_t(20 * count));
  for (int p = 0; p < count; ++p) w.U32(20);
  for (int p = 0; p < count; ++p)
    for (int i = 0; i < 20; ++i) {
      const double a = 0.1 * M_PI * i, r = cell * (0.3 + 0.02 * ((p * 7 + i * 13) % 12));
      w.I16(int16_t((p % columns + 0.5) * cell + r * std::cos(a))).I16(int16_t((p / columns + 0.5) * cell + r * std::sin(a)));
    }
  Emf e(0, 0, (width * 2540 + 48) / 96, (height * 2540 + 48) / 96);
  return e.SolidBrush(1, RGB(200, 220, 180)).Select(1).Pen(2, 0, pen, clBlack).Select(2).Raw(EMR_POLYPOLYGON16, w.Data).Finish();
}

// count stretches of a 2 x 2 picture over a frame side pixels square,
// after a comment of padding bytes.
inline std::vector<uint8_t> PageStretches(int count, int side, int padding) {
  ByteWriter blit;  // bounds, dest, source, offBmi, cbBmi, offBits, cbBits, usage, rop, dest size
  for (int32_t v : {0, 0, 0, 0, 0, 0, 0, 0, 2, 2, 80, 40, 120, 16, 0, int32_t(SRCCOPY), side, side}) blit.I32(v);
  blit.Bytes(DibHeader(2, 2, 24, 0).U8(255).U8(0).U8(0).U8(0).U8(255).U8(0).U16(0).U8(0).U8(0).U8(255).Zeros(5).Data);
  Emf e = SquareEmf(side);
  if (padding) e.Raw(70, std::vector<uint8_t>(size_t(padding), 0));  // EMR_GDICOMMENT
  for (int i = 0; i < count; ++i) e.Raw(EMR_STRETCHDIBITS, blit.Data);
  return e.Finish();
}

// A clip of every eighth row xor-ed with columns one-pixel columns, which
// reaches the painter in parts, under texts of chars capitals 300 pixels
// high.
inline std::vector<uint8_t> BandedText(int side, int columns, int texts, int chars) {
  std::vector<TRect> rows, strips;
  for (int y = 0; y < side; y += 8) rows.push_back(Bounds(0, y, side, 1));
  for (int i = 0; i < columns; ++i) strips.push_back(Bounds(int(int64_t(i) * side / columns), 0, 1, side));
  Emf e = SquareEmf(side);
  e.ClipRegion(rows, 5).ClipRegion(strips, 3).Rec(EMR_SETBKMODE, {1}).Font(1, -300).Select(1);
  for (int i = 0; i < texts; ++i) e.TextOut((i * 37) % side - 150, (i * 91) % side - 150, std::u16string(size_t(chars), u'W'));
  return e.Finish();
}

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
