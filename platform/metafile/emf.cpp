// Enhanced metafiles: the header check and the playback of the records.
#include <algorithm>
#include <cmath>

#include "platform/metafile/internal.h"

namespace mf {

namespace {

enum : uint32_t {
  EMR_HEADER = 1, EMR_POLYBEZIER, EMR_POLYGON, EMR_POLYLINE, EMR_POLYBEZIERTO, EMR_POLYLINETO,
  EMR_POLYPOLYLINE, EMR_POLYPOLYGON, EMR_SETWINDOWEXTEX, EMR_SETWINDOWORGEX, EMR_SETVIEWPORTEXTEX,
  EMR_SETVIEWPORTORGEX, EMR_EOF = 14, EMR_SETPIXELV = 15, EMR_SETMAPMODE = 17, EMR_SETBKMODE,
  EMR_SETPOLYFILLMODE, EMR_SETROP2, EMR_SETTEXTALIGN = 22, EMR_SETTEXTCOLOR = 24, EMR_SETBKCOLOR,
  EMR_OFFSETCLIPRGN, EMR_MOVETOEX, EMR_EXCLUDECLIPRECT = 29, EMR_INTERSECTCLIPRECT, EMR_SCALEVIEWPORTEXTEX,
  EMR_SCALEWINDOWEXTEX, EMR_SAVEDC, EMR_RESTOREDC, EMR_SETWORLDTRANSFORM, EMR_MODIFYWORLDTRANSFORM,
  EMR_SELECTOBJECT, EMR_CREATEPEN, EMR_CREATEBRUSHINDIRECT, EMR_DELETEOBJECT, EMR_ANGLEARC, EMR_ELLIPSE,
  EMR_RECTANGLE, EMR_ROUNDRECT, EMR_ARC, EMR_CHORD, EMR_PIE, EMR_CREATEPALETTE = 49, EMR_LINETO = 54,
  EMR_ARCTO, EMR_SETARCDIRECTION = 57, EMR_BEGINPATH = 59, EMR_ENDPATH, EMR_CLOSEFIGURE, EMR_FILLPATH,
  EMR_STROKEANDFILLPATH, EMR_STROKEPATH, EMR_SELECTCLIPPATH = 67, EMR_ABORTPATH, EMR_FILLRGN = 71,
  EMR_PAINTRGN = 74, EMR_EXTSELECTCLIPRGN, EMR_BITBLT, EMR_STRETCHBLT, EMR_SETDIBITSTODEVICE = 80,
  EMR_STRETCHDIBITS, EMR_EXTCREATEFONTINDIRECTW, EMR_EXTTEXTOUTA, EMR_EXTTEXTOUTW, EMR_POLYBEZIER16,
  EMR_POLYGON16, EMR_POLYLINE16, EMR_POLYBEZIERTO16, EMR_POLYLINETO16, EMR_POLYPOLYLINE16,
  EMR_POLYPOLYGON16, EMR_CREATEMONOBRUSH = 93, EMR_CREATEDIBPATTERNBRUSHPT, EMR_EXTCREATEPEN
};

constexpr size_t kHeaderSize = 88;
constexpr uint32_t kMaxTextChars = 8192;

// Parts of a record, each read through the reader's bounds checks.
QPointF Point(TRecordReader& r, uint64_t at) { return QPointF(r.I32(at), r.I32(at + 4)); }
QPointF Size(TRecordReader& r, uint64_t at) { return Point(r, at); }
QRectF Box(TRecordReader& r, uint64_t at) { return QRectF(Point(r, at), Point(r, at + 8)); }
TColor Color(TRecordReader& r, uint64_t at) { return static_cast<TColor>(r.U32(at) & 0xFFFFFF); }

std::vector<QPointF> Points(TRecordReader& r, uint64_t at, uint64_t count, bool small) {
  r.Need(at, count, small ? 4 : 8);
  std::vector<QPointF> points;
  points.reserve(count);
  for (uint64_t i = 0; i < count; ++i)
    points.emplace_back(small ? QPointF(r.I16(at + 4 * i), r.I16(at + 4 * i + 2)) : Point(r, at + 8 * i));
  return points;
}

// EMR_POLYPOLY*: bounds, number of figures, number of points, the counts,
// the points. Counts that add up to more than the number of points make the
// record unusable.
std::vector<std::vector<QPointF>> Figures(TRecordReader& r, bool small) {
  uint32_t figures = r.U32(24), total = r.U32(28);
  r.Need(32, figures, 4);
  uint64_t at = 32 + uint64_t(figures) * 4, used = 0;
  for (uint32_t i = 0; i < figures; ++i) used += r.U32(32 + 4 * uint64_t(i));
  if (used > total) throw TBadRecord();
  r.Need(at, total, small ? 4 : 8);
  std::vector<std::vector<QPointF>> result;
  std::vector<QPointF> all = Points(r, at, used, small);
  size_t next = 0;
  for (uint32_t i = 0; i < figures; ++i) {
    uint32_t n = r.U32(32 + 4 * uint64_t(i));
    result.emplace_back(all.begin() + next, all.begin() + next + n);
    next += n;
  }
  return result;
}

// Region data: a 32-byte header (size, type, count, ...) and count rectangles.
std::vector<QRectF> RegionRects(TRecordReader& r, uint64_t at, uint64_t size) {
  uint32_t count = r.U32(at + 8);
  if (size < 32 || count > (size - 32) / 16) throw TBadRecord();
  r.Need(at, size);
  std::vector<QRectF> rects;
  for (uint32_t i = 0; i < count; ++i) rects.push_back(Box(r, at + 32 + 16 * uint64_t(i)));
  return rects;
}

QTransform Xform(TRecordReader& r, uint64_t at) {
  return QTransform(r.F32(at), r.F32(at + 4), r.F32(at + 8), r.F32(at + 12), r.F32(at + 16), r.F32(at + 20));
}

// The picture of a bitmap record: info header at offBmi, pixels at offBits;
// none when the record has no info header.
std::optional<TDibRef> RecordDib(TRecordReader& r, uint64_t fields, bool mono) {
  uint32_t offBmi = r.U32(fields), cbBmi = r.U32(fields + 4);
  uint32_t offBits = r.U32(fields + 8), cbBits = r.U32(fields + 12);
  if (cbBmi == 0) return std::nullopt;
  r.Need(offBmi, cbBmi);
  r.Need(offBits, cbBits);
  if (uint64_t(offBmi) + cbBmi == offBits) return TDibRef{r.Data() + offBmi, size_t(cbBmi) + cbBits, cbBmi,
                                                          nullptr, 0, mono};
  return TDibRef{r.Data() + offBmi, cbBmi, cbBmi, r.Data() + offBits, cbBits, mono};
}

// The pattern brush records.
bool IsPatternBrush(uint32_t type) { return type == EMR_CREATEMONOBRUSH || type == EMR_CREATEDIBPATTERNBRUSHPT; }
std::optional<TDibRef> PatternDib(uint32_t type, TRecordReader& r) {
  return RecordDib(r, 16, type == EMR_CREATEMONOBRUSH);
}

bool IsBlit(uint32_t type) {
  return type == EMR_BITBLT || type == EMR_STRETCHBLT || type == EMR_STRETCHDIBITS ||
         type == EMR_SETDIBITSTODEVICE;
}

// A block transfer record. EMR_BITBLT and EMR_STRETCHBLT may have no
// source bitmap (pattern operations); the DIB calls count source rows from
// the bottom of a bottom-up picture.
TBlit ReadBlit(uint32_t type, TRecordReader& r) {
  TBlit blit;
  if (type == EMR_BITBLT || type == EMR_STRETCHBLT) {
    blit.Dest = QRectF(r.I32(24), r.I32(28), r.I32(32), r.I32(36));
    blit.Rop = r.U32(40);
    blit.Source = QRectF(r.I32(44), r.I32(48), blit.Dest.width(), blit.Dest.height());
    if (type == EMR_STRETCHBLT) blit.Source.setSize(QSizeF(r.I32(100), r.I32(104)));
    if (!RopUsesSource(blit.Rop) || r.U32(88) == 0) {
      blit.Kind = TBlit::bkPattern;
    } else if (std::optional<TDibRef> dib = RecordDib(r, 84, false)) {
      blit.Kind = TBlit::bkBitmap;
      blit.Dib = *dib;
    }
  } else if (type == EMR_STRETCHDIBITS || type == EMR_SETDIBITSTODEVICE) {
    bool stretch = type == EMR_STRETCHDIBITS;
    double xSrc = r.I32(32), ySrc = r.I32(36), cxSrc = r.I32(40), cySrc = r.I32(44);
    blit.Dest = QRectF(r.I32(24), r.I32(28), stretch ? r.I32(72) : cxSrc, stretch ? r.I32(76) : cySrc);
    blit.Rop = stretch ? r.U32(68) : SRCCOPY;
    blit.Source = QRectF(xSrc, ySrc, cxSrc, cySrc);
    blit.RowsFromBottom = true;
    if (r.U32(64) != DIB_RGB_COLORS) return blit;
    if (!RopUsesSource(blit.Rop)) {
      blit.Kind = TBlit::bkPattern;
    } else if (std::optional<TDibRef> dib = RecordDib(r, 48, false)) {
      blit.Kind = TBlit::bkBitmap;
      blit.Dib = *dib;
    }
  }
  return blit;
}

TFontDef Font(TRecordReader& r) {
  TFontDef font;
  font.Height = r.I32(12);
  font.Width = r.I32(16);
  font.Escapement = r.I32(20) % 3600;
  font.Weight = r.I32(28);
  font.Italic = r.U8(32);
  font.Underline = r.U8(33);
  font.StrikeOut = r.U8(34);
  font.PitchAndFamily = r.U8(39);
  for (int i = 0; i < 32; ++i) {
    char16_t c = r.U16(40 + 2 * i);
    if (c == 0) break;
    font.Face += QChar(c);
  }
  return font;
}

TPenDef ExtPen(TRecordReader& r) {
  TPenDef pen;
  pen.Extended = true;
  pen.Style = r.U32(28);
  pen.Width = r.U32(32);
  pen.Color = Color(r, 40);
  if (r.U32(36) == BS_NULL) pen.Style = (pen.Style & ~PS_STYLE_MASK) | PS_NULL;
  uint32_t entries = r.U32(48);
  if ((pen.Style & PS_STYLE_MASK) == PS_USERSTYLE && r.Has(52, entries, 4))
    for (uint32_t i = 0; i < entries && i < 16; ++i) pen.Dashes.push_back(r.U32(52 + 4 * i));
  return pen;
}

void TextOut(TPlayer& player, TRecordReader& r, bool wide) {
  TTextRun run;
  run.Origin = Point(r, 36);
  uint32_t chars = r.U32(44), offString = r.U32(48), offDx = r.U32(72);
  run.Options = r.U32(52);
  run.Rect = Box(r, 56);
  r.Need(offString, chars, wide ? 2 : 1);
  chars = std::min(chars, kMaxTextChars);
  for (uint32_t i = 0; i < chars; ++i)
    run.Text += wide ? QChar(char16_t(r.U16(offString + 2 * uint64_t(i)))) : QChar(r.U8(offString + i));
  if (offDx != 0) {
    bool pairs = run.Options & ETO_PDY;
    r.Need(offDx, chars, pairs ? 8 : 4);
    for (uint64_t i = 0; i < chars; ++i)
      run.Advances.push_back(pairs ? Point(r, offDx + 8 * i) : QPointF(r.I32(offDx + 4 * i), 0));
  }
  player.Text(run);
}

void PlayRecord(TPlayer& player, TDcState& s, uint32_t type, TRecordReader& r) {
  switch (type) {
    case EMR_POLYBEZIER: case EMR_POLYGON: case EMR_POLYLINE: case EMR_POLYBEZIERTO: case EMR_POLYLINETO:
    case EMR_POLYBEZIER16: case EMR_POLYGON16: case EMR_POLYLINE16: case EMR_POLYBEZIERTO16:
    case EMR_POLYLINETO16: {
      bool small = type >= EMR_POLYBEZIER16;
      std::vector<QPointF> points = Points(r, 28, r.U32(24), small);
      switch (small ? type - EMR_POLYBEZIER16 + EMR_POLYBEZIER : type) {
        case EMR_POLYBEZIER: return player.PolyBezier(points);
        case EMR_POLYGON: return points.size() >= 2 ? player.PolyPolygon({points}) : void();
        case EMR_POLYLINE: return player.Polyline(points);
        case EMR_POLYBEZIERTO: return player.PolyBezierTo(points);
        default: return player.PolylineTo(points);
      }
    }
    case EMR_POLYPOLYLINE: case EMR_POLYPOLYGON: case EMR_POLYPOLYLINE16: case EMR_POLYPOLYGON16: {
      std::vector<std::vector<QPointF>> figures = Figures(r, type >= EMR_POLYPOLYLINE16);
      if (type == EMR_POLYPOLYLINE || type == EMR_POLYPOLYLINE16) return player.PolyPolyline(figures);
      return player.PolyPolygon(figures);
    }
    case EMR_SETWINDOWEXTEX: return player.SetWindowExt(Size(r, 8));
    case EMR_SETWINDOWORGEX: return player.SetWindowOrg(Point(r, 8));
    case EMR_SETVIEWPORTEXTEX: return player.SetViewportExt(Size(r, 8));
    case EMR_SETVIEWPORTORGEX: return player.SetViewportOrg(Point(r, 8));
    case EMR_SETPIXELV: return player.SetPixel(Point(r, 8), Color(r, 16));
    case EMR_SETMAPMODE: return player.SetMapMode(r.I32(8));
    case EMR_SETBKMODE: s.BkMode = r.I32(8); return;
    case EMR_SETPOLYFILLMODE: s.PolyFillMode = r.I32(8); return;
    case EMR_SETROP2: s.Rop2 = r.I32(8); return;
    case EMR_SETTEXTALIGN: s.TextAlign = r.U32(8); return;
    case EMR_SETTEXTCOLOR: s.TextColor = Color(r, 8); return;
    case EMR_SETBKCOLOR: s.BkColor = Color(r, 8); return;
    case EMR_SETARCDIRECTION: s.Clockwise = r.I32(8) == 2; return;
    case EMR_OFFSETCLIPRGN: return player.OffsetClip(Point(r, 8));
    case EMR_MOVETOEX: return player.MoveTo(Point(r, 8));
    case EMR_LINETO: return player.LineTo(Point(r, 8));
    case EMR_EXCLUDECLIPRECT: return player.ExcludeClipRect(Box(r, 8));
    case EMR_INTERSECTCLIPRECT: return player.IntersectClipRect(Box(r, 8));
    case EMR_SCALEVIEWPORTEXTEX:
      return player.ScaleViewportExt(r.I32(8), r.I32(12), r.I32(16), r.I32(20));
    case EMR_SCALEWINDOWEXTEX: return player.ScaleWindowExt(r.I32(8), r.I32(12), r.I32(16), r.I32(20));
    case EMR_SAVEDC: return player.SaveDC();
    case EMR_RESTOREDC: return player.RestoreDC(r.I32(8));
    case EMR_SETWORLDTRANSFORM: return player.ModifyWorldTransform(Xform(r, 8), 4);
    case EMR_MODIFYWORLDTRANSFORM: return player.ModifyWorldTransform(Xform(r, 8), r.I32(32));
    case EMR_SELECTOBJECT: return player.SelectObject(r.U32(8));
    case EMR_DELETEOBJECT: return player.DeleteObject(r.U32(8));
    case EMR_CREATEPEN:
      return player.CreateObject(r.U32(8), TPenDef::Simple(r.U32(12), r.I32(16), Color(r, 24)));
    case EMR_EXTCREATEPEN: return player.CreateObject(r.U32(8), ExtPen(r));
    case EMR_CREATEBRUSHINDIRECT:
      return player.CreateObject(r.U32(8), TBrushDef{r.U32(12), Color(r, 16), r.U32(20), {}, false});
    case EMR_CREATEMONOBRUSH: case EMR_CREATEDIBPATTERNBRUSHPT: {
      std::optional<TDibRef> dib = PatternDib(type, r);
      return player.CreateObject(r.U32(8), dib ? player.DibBrush(*dib, TBrushDef{}) : TBrushDef{});
    }
    case EMR_CREATEPALETTE: return player.CreateObject(r.U32(8), std::monostate());
    case EMR_EXTCREATEFONTINDIRECTW: return player.CreateObject(r.U32(8), Font(r));
    case EMR_ANGLEARC: return player.AngleArc(Point(r, 8), r.U32(16), r.F32(20), r.F32(24));
    case EMR_ELLIPSE: return player.Ellipse(Box(r, 8));
    case EMR_RECTANGLE: return player.Rectangle(Box(r, 8));
    case EMR_ROUNDRECT: return player.RoundRect(Box(r, 8), QSizeF(r.I32(24), r.I32(28)));
    case EMR_ARC: return player.Arc(TPlayer::akArc, Box(r, 8), Point(r, 24), Point(r, 32));
    case EMR_CHORD: return player.Arc(TPlayer::akChord, Box(r, 8), Point(r, 24), Point(r, 32));
    case EMR_PIE: return player.Arc(TPlayer::akPie, Box(r, 8), Point(r, 24), Point(r, 32));
    case EMR_ARCTO: return player.ArcTo(Box(r, 8), Point(r, 24), Point(r, 32));
    case EMR_BEGINPATH: return player.BeginPath();
    case EMR_ENDPATH: return player.EndPath();
    case EMR_CLOSEFIGURE: return player.CloseFigure();
    case EMR_FILLPATH: return player.FillPath(true, false);
    case EMR_STROKEANDFILLPATH: return player.FillPath(true, true);
    case EMR_STROKEPATH: return player.FillPath(false, true);
    case EMR_SELECTCLIPPATH: return player.SelectClipPath(r.I32(8));
    case EMR_ABORTPATH: return player.AbortPath();
    case EMR_EXTSELECTCLIPRGN: {
      uint32_t size = r.U32(8);
      int mode = r.I32(12);
      if (size == 0) return mode == RGN_COPY ? player.ResetClip() : void();
      std::vector<QRectF> rects = RegionRects(r, 16, size);
      return player.SelectDeviceClip(rects, mode);
    }
    case EMR_FILLRGN: case EMR_PAINTRGN: {
      bool fill = type == EMR_FILLRGN;
      std::vector<QRectF> rects = RegionRects(r, fill ? 32 : 28, r.U32(24));
      std::optional<TBrushDef> brush = fill ? player.Brush(r.U32(28)) : s.Brush;
      if (brush) player.FillRects(rects, false, *brush);
      return;
    }
    case EMR_BITBLT: case EMR_STRETCHBLT: case EMR_STRETCHDIBITS: case EMR_SETDIBITSTODEVICE:
      return player.Blit(ReadBlit(type, r));
    case EMR_EXTTEXTOUTA: return TextOut(player, r, false);
    case EMR_EXTTEXTOUTW: return TextOut(player, r, true);
    default: return;
  }
}

// Calls record with each record, the header's included, up to the
// end-of-file record or the first that does not fit in the data; a record
// whose contents do not fit in it is left where it throws.
template <class F>
void EachRecord(const uint8_t* data, size_t size, F&& record) {
  for (size_t at = 0; size - at >= 8;) {
    TRecordReader head(data + at, size - at);
    uint32_t type = head.U32(0), length = head.U32(4);
    if (type == EMR_EOF || length < 8 || length > size - at) break;
    TRecordReader r(data + at, length);
    try {
      record(type, r);
    } catch (const TBadRecord&) {
    }
    at += length;
  }
}

}  // namespace

TPictureSize CheckEnhanced(const uint8_t* data, size_t size) {
  TRecordReader header(data, size);
  uint32_t headerSize = header.U32(4);
  if (size < kHeaderSize || header.U32(0) != EMR_HEADER || headerSize < kHeaderSize || headerSize % 4 ||
      headerSize > size)
    Invalid();
  if (header.I32(72) <= 0 || header.I32(76) <= 0 || header.I32(80) <= 0 || header.I32(84) <= 0) Invalid();
  for (size_t at = 0;;) {
    if (size - at < 8) Invalid();
    uint32_t type = header.U32(at), length = header.U32(at + 4);
    if (length < 8 || length % 4 || length > size - at) Invalid();
    at += length;
    if (type == EMR_EOF) break;
  }
  return SizeFromMM(int64_t(header.I32(32)) - header.I32(24), int64_t(header.I32(36)) - header.I32(28));
}

void PlayEnhanced(const uint8_t* data, size_t size, QImage& image, const QRectF& rect, TMetafileDrawUse& use) {
  TRecordReader header(data, size);
  // Reference-device units per millimetre, in micrometres when the header
  // has them (they are more exact).
  double mmX = header.I32(80), mmY = header.I32(84);
  uint32_t headerSize = header.U32(4), offDescription = header.U32(64), description = header.U32(60);
  if (headerSize >= 108 && (description == 0 || offDescription >= 108) && header.I32(100) > 0 &&
      header.I32(104) > 0) {
    mmX = header.I32(100) / 1000.0;
    mmY = header.I32(104) / 1000.0;
  }
  QPointF unitsPerMm(header.I32(72) / mmX, header.I32(76) / mmY);
  // The frame (0.01 mm) in reference-device units maps onto the rectangle.
  double left = header.I32(24) * unitsPerMm.x() / 100, top = header.I32(28) * unitsPerMm.y() / 100;
  double right = header.I32(32) * unitsPerMm.x() / 100, bottom = header.I32(36) * unitsPerMm.y() / 100;
  if (right == left || bottom == top) return;
  QTransform playback;
  playback.translate(rect.left(), rect.top());
  playback.scale(rect.width() / (right - left), rect.height() / (bottom - top));
  playback.translate(-left, -top);

  const TFigures figures = EnhancedFigures(data, size);
  TPlayer player(image, playback, unitsPerMm, WorkLimit(FramePixels(image, rect), size_t(figures.DrawingBytes)),
                 OutlineBytes(figures), use);
  EachRecord(data, size, [&](uint32_t type, TRecordReader& r) { PlayRecord(player, player.State(), type, r); });
}

namespace {

// The points a record adds to the path it draws or gathers, none for a
// record that draws no path: each figure with three more, for its closing
// line and its caps (StrokeBytes); shapes and arcs count as the few curves
// they are made of.
constexpr int64_t kShapePoints = 20;
int64_t PathPoints(uint32_t type, TRecordReader& r) {
  switch (type) {
    case EMR_POLYBEZIER: case EMR_POLYGON: case EMR_POLYLINE: case EMR_POLYBEZIERTO: case EMR_POLYLINETO:
    case EMR_POLYBEZIER16: case EMR_POLYGON16: case EMR_POLYLINE16: case EMR_POLYBEZIERTO16: case EMR_POLYLINETO16:
      return int64_t(r.U32(24)) + 4;
    case EMR_POLYPOLYLINE: case EMR_POLYPOLYGON: case EMR_POLYPOLYLINE16: case EMR_POLYPOLYGON16:
      return int64_t(r.U32(28)) + 3 * int64_t(r.U32(24));
    case EMR_MOVETOEX: case EMR_CLOSEFIGURE: return 3;
    case EMR_LINETO: return 4;
    case EMR_ANGLEARC: case EMR_ELLIPSE: case EMR_RECTANGLE: case EMR_ROUNDRECT: case EMR_ARC: case EMR_CHORD:
    case EMR_PIE: case EMR_ARCTO:
      return kShapePoints;
    case EMR_FILLRGN: case EMR_PAINTRGN:  // each rectangle a figure of its own
      return 5 * int64_t(r.U32(type == EMR_FILLRGN ? 40 : 36));
    default: return 0;
  }
}

// The bytes of a drawing record that its drawing reads: its points, its
// characters and their advances, its rectangles or its bitmap; 0 for a
// record that draws nothing.
uint64_t DrawingBytes(uint32_t type, TRecordReader& r) {
  const uint64_t length = r.Size();
  uint64_t used = 0;
  switch (type) {
    case EMR_POLYBEZIER: case EMR_POLYGON: case EMR_POLYLINE: case EMR_POLYBEZIERTO: case EMR_POLYLINETO:
      used = 28 + 8 * uint64_t(r.U32(24));
      break;
    case EMR_POLYBEZIER16: case EMR_POLYGON16: case EMR_POLYLINE16: case EMR_POLYBEZIERTO16: case EMR_POLYLINETO16:
      used = 28 + 4 * uint64_t(r.U32(24));
      break;
    case EMR_POLYPOLYLINE: case EMR_POLYPOLYGON: case EMR_POLYPOLYLINE16: case EMR_POLYPOLYGON16:
      used = 32 + 4 * uint64_t(r.U32(24)) + (type >= EMR_POLYPOLYLINE16 ? 4 : 8) * uint64_t(r.U32(28));
      break;
    case EMR_SETPIXELV: case EMR_ANGLEARC: case EMR_ELLIPSE: case EMR_RECTANGLE: case EMR_ROUNDRECT: case EMR_ARC:
    case EMR_CHORD: case EMR_PIE: case EMR_LINETO: case EMR_ARCTO: case EMR_FILLPATH: case EMR_STROKEANDFILLPATH:
    case EMR_STROKEPATH:
      used = 40;
      break;
    case EMR_FILLRGN: case EMR_PAINTRGN:
      used = (type == EMR_FILLRGN ? 32 : 28) + uint64_t(r.U32(24));
      break;
    case EMR_EXTTEXTOUTA: case EMR_EXTTEXTOUTW: {
      const uint64_t chars = std::min(r.U32(44), kMaxTextChars);
      used = 80 + chars * (type == EMR_EXTTEXTOUTW ? 2 : 1) +
             (r.U32(72) ? chars * (r.U32(52) & ETO_PDY ? 8 : 4) : 0);
      break;
    }
    case EMR_BITBLT: case EMR_STRETCHBLT: case EMR_STRETCHDIBITS: case EMR_SETDIBITSTODEVICE: {
      // The parameters, and the bitmap's header and the pixels it reads.
      used = type == EMR_BITBLT ? 100 : type == EMR_STRETCHBLT ? 108 : type == EMR_STRETCHDIBITS ? 80 : 76;
      const TBlit blit = ReadBlit(type, r);
      if (blit.Kind != TBlit::bkBitmap) break;
      const std::optional<TDibSize> dib = DibSize(blit.Dib);
      if (!dib) break;
      const uint64_t bits = std::min(DibPixelBytes(*dib), ~uint64_t(0) >> 1);
      used += blit.Dib.Bits ? blit.Dib.BitsOffset + std::min<uint64_t>(blit.Dib.BitsSize, bits)
                            : std::min<uint64_t>(blit.Dib.Size, blit.Dib.BitsOffset + bits);
      break;
    }
    default: break;
  }
  return std::min(length, used);
}

}  // namespace

TFigures EnhancedFigures(const uint8_t* data, size_t size) {
  TFigures figures;
  TBitmapBytes bitmaps;
  int64_t gathered = 0;  // the points of the path being gathered
  bool inPath = false;
  EachRecord(data, size, [&](uint32_t type, TRecordReader& r) {
    if (IsPatternBrush(type)) {
      if (std::optional<TDibRef> dib = PatternDib(type, r)) bitmaps.Kept(*dib);
    } else if (IsBlit(type)) {
      TBlit blit = ReadBlit(type, r);
      if (blit.Kind == TBlit::bkBitmap) bitmaps.Drawn(blit.Dib);
    }
    figures.DrawingBytes += int64_t(DrawingBytes(type, r));
    if (type == EMR_EXTCREATEPEN) {
      const uint32_t style = r.U32(28), dashes = style & PS_STYLE_MASK;
      figures.WideDashes |= (style & PS_GEOMETRIC) && ((dashes >= PS_DASH && dashes <= PS_DASHDOTDOT) ||
                                                       dashes == PS_USERSTYLE || dashes == PS_ALTERNATE);
    }
    switch (type) {
      case EMR_BEGINPATH: inPath = true; gathered = 0; return;
      case EMR_ENDPATH: inPath = false; return;
      case EMR_ABORTPATH: inPath = false; gathered = 0; return;
      case EMR_FILLPATH: case EMR_STROKEANDFILLPATH: case EMR_STROKEPATH: case EMR_SELECTCLIPPATH:
        inPath = false;
        figures.PathPoints = std::max(figures.PathPoints, gathered);
        gathered = 0;
        return;
      default: break;
    }
    const int64_t points = PathPoints(type, r);
    if (inPath && type != EMR_FILLRGN && type != EMR_PAINTRGN)
      gathered += points;
    else
      figures.PathPoints = std::max(figures.PathPoints, points);
  });
  figures.BitmapBytes = bitmaps.Peak();
  return figures;
}

}  // namespace mf
