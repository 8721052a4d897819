// Placeable Windows metafiles: the header checks and the playback of the
// records. A record is a size in 16-bit words, a function number and the
// parameters, which start at byte 6.
#include <algorithm>

#include "platform/metafile/internal.h"

namespace mf {

namespace {

enum : uint16_t {
  META_EOF = 0x0000, META_SAVEDC = 0x001E, META_CREATEPALETTE = 0x00F7, META_SETBKMODE = 0x0102,
  META_SETMAPMODE = 0x0103, META_SETROP2 = 0x0104, META_SETPOLYFILLMODE = 0x0106, META_RESTOREDC = 0x0127,
  META_PAINTREGION = 0x012B, META_SELECTCLIPREGION = 0x012C, META_SELECTOBJECT = 0x012D,
  META_SETTEXTALIGN = 0x012E, META_DIBCREATEPATTERNBRUSH = 0x0142, META_DELETEOBJECT = 0x01F0,
  META_CREATEPATTERNBRUSH = 0x01F9, META_SETBKCOLOR = 0x0201, META_SETTEXTCOLOR = 0x0209,
  META_SETWINDOWORG = 0x020B, META_SETWINDOWEXT = 0x020C, META_SETVIEWPORTORG = 0x020D,
  META_SETVIEWPORTEXT = 0x020E, META_OFFSETWINDOWORG = 0x020F, META_OFFSETVIEWPORTORG = 0x0211,
  META_LINETO = 0x0213, META_MOVETO = 0x0214, META_OFFSETCLIPRGN = 0x0220, META_FILLREGION = 0x0228,
  META_CREATEPENINDIRECT = 0x02FA, META_CREATEFONTINDIRECT = 0x02FB, META_CREATEBRUSHINDIRECT = 0x02FC,
  META_CREATEBITMAPINDIRECT = 0x02FD, META_POLYGON = 0x0324, META_POLYLINE = 0x0325,
  META_SCALEWINDOWEXT = 0x0410, META_SCALEVIEWPORTEXT = 0x0412, META_EXCLUDECLIPRECT = 0x0415,
  META_INTERSECTCLIPRECT = 0x0416, META_ELLIPSE = 0x0418, META_RECTANGLE = 0x041B, META_SETPIXEL = 0x041F,
  META_TEXTOUT = 0x0521, META_POLYPOLYGON = 0x0538, META_ROUNDRECT = 0x061C, META_PATBLT = 0x061D,
  META_CREATEBITMAP = 0x06FE, META_CREATEREGION = 0x06FF, META_ARC = 0x0817, META_PIE = 0x081A,
  META_CHORD = 0x0830, META_DIBBITBLT = 0x0940, META_EXTTEXTOUT = 0x0A32, META_DIBSTRETCHBLT = 0x0B41,
  META_SETDIBTODEV = 0x0D33, META_STRETCHDIB = 0x0F43
};

constexpr uint32_t kPlaceableKey = 0x9AC6CDD7;
constexpr size_t kHeaderEnd = 22 + 18;  // placeable header, then the standard one

// The records that fill a slot of the object table, even when their content
// cannot be used.
bool CreatesObject(uint16_t function) {
  switch (function) {
    case META_CREATEPALETTE: case META_DIBCREATEPATTERNBRUSH: case META_CREATEPATTERNBRUSH:
    case META_CREATEPENINDIRECT: case META_CREATEFONTINDIRECT: case META_CREATEBRUSHINDIRECT:
    case META_CREATEBITMAPINDIRECT: case META_CREATEBITMAP: case META_CREATEREGION:
      return true;
    default:
      return false;
  }
}

// Parameter i (16-bit words after the function number).
int16_t P(const TRecordReader& r, int i) { return r.I16(6 + 2 * i); }
QPointF YX(const TRecordReader& r, int i) { return QPointF(P(r, i + 1), P(r, i)); }
// Four parameters bottom, right, top, left.
QRectF Box(const TRecordReader& r, int i) {
  return QRectF(QPointF(P(r, i + 3), P(r, i + 2)), QPointF(P(r, i + 1), P(r, i)));
}
TColor Color(const TRecordReader& r, uint64_t at) { return static_cast<TColor>(r.U32(at) & 0xFFFFFF); }

std::vector<QPointF> Points(const TRecordReader& r, uint64_t at, uint64_t count) {
  r.Need(at, count, 4);
  std::vector<QPointF> points;
  points.reserve(count);
  for (uint64_t i = 0; i < count; ++i) points.emplace_back(r.I16(at + 4 * i), r.I16(at + 4 * i + 2));
  return points;
}

QString Ansi(const TRecordReader& r, uint64_t at, uint64_t count) {
  r.Need(at, count);
  return QString::fromLatin1(reinterpret_cast<const char*>(r.Data() + at), static_cast<qsizetype>(count));
}

TFontDef Font(const TRecordReader& r) {
  TFontDef font;
  font.Height = P(r, 0);
  font.Width = P(r, 1);
  font.Escapement = P(r, 2) % 3600;
  font.Weight = P(r, 4);
  font.Italic = r.U8(16);
  font.Underline = r.U8(17);
  font.StrikeOut = r.U8(18);
  font.PitchAndFamily = r.U8(23);
  for (uint64_t at = 24; at < 56 && r.Has(at, 1) && r.U8(at) != 0; ++at) font.Face += QChar(r.U8(at));
  return font;
}

// A region object: a header with the scan count and bounds, then scans of
// top, bottom and left/right pairs.
TRegionDef Region(const TRecordReader& r) {
  TRegionDef region;
  uint16_t scans = r.U16(16);
  uint64_t at = 28;
  for (uint16_t i = 0; i < scans; ++i) {
    uint16_t count = r.U16(at);
    double top = r.I16(at + 2), bottom = r.I16(at + 4);
    r.Need(at + 6, count / 2, 4);
    for (uint16_t k = 0; k + 1 < count; k += 2)
      region.Rects.emplace_back(QPointF(r.I16(at + 6 + 2 * k), top), QPointF(r.I16(at + 8 + 2 * k), bottom));
    at += 6 + 2 * uint64_t(count) + 2;
  }
  return region;
}

// The DIB that ends a bitmap record, starting at byte at; its pixels follow
// its colour table.
TDibRef TrailingDib(const TRecordReader& r, uint64_t at, bool mono = false) {
  r.Need(at, 1);
  return {r.Data() + at, r.Size() - at, 0, nullptr, 0, mono};
}

// The DIB of a META_DIBCREATEPATTERNBRUSH record, none for a style that
// needs palette colours. Style BS_PATTERN records CreatePatternBrush's
// bitmap as a DIB with RGB colours whatever the usage says; a monochrome
// one draws in the text and background colours, as a bitmap pattern does.
// The other styles are DIB patterns, which need RGB colours here.
std::optional<TDibRef> PatternDib(const TRecordReader& r) {
  bool pattern = r.U16(6) == BS_PATTERN;
  if (!pattern && r.U16(8) != DIB_RGB_COLORS) return std::nullopt;
  return TrailingDib(r, 10, pattern);
}

bool IsBlit(uint16_t function) {
  return function == META_DIBBITBLT || function == META_DIBSTRETCHBLT || function == META_STRETCHDIB ||
         function == META_SETDIBTODEV;
}

// A block transfer record. Its parameters all come before the DIB.
TBlit ReadBlit(uint16_t function, const TRecordReader& r) {
  TBlit blit;
  if (function == META_DIBBITBLT || function == META_DIBSTRETCHBLT) {
    // Without a bitmap the record is shorter and has an unused word.
    bool stretch = function == META_DIBSTRETCHBLT;
    bool bitmap = r.Size() / 2 != uint64_t(function >> 8) + 3;
    blit.Rop = r.U32(6);
    int d = stretch ? 6 : 4;  // first destination parameter
    if (!bitmap) ++d;
    blit.Dest = QRectF(P(r, d + 3), P(r, d + 2), P(r, d + 1), P(r, d));
    blit.Source = QRectF(P(r, stretch ? 5 : 3), P(r, stretch ? 4 : 2), stretch ? P(r, 3) : blit.Dest.width(),
                         stretch ? P(r, 2) : blit.Dest.height());
    if (!bitmap || !RopUsesSource(blit.Rop)) {
      blit.Kind = TBlit::bkPattern;
    } else {
      blit.Kind = TBlit::bkBitmap;
      blit.Dib = TrailingDib(r, 6 + 2 * (uint64_t(d) + 4));
    }
  } else if (function == META_STRETCHDIB) {
    // Rop, usage, source height, width, y, x, target height, width, y, x.
    blit.Rop = r.U32(6);
    blit.Dest = QRectF(P(r, 10), P(r, 9), P(r, 8), P(r, 7));
    blit.Source = QRectF(P(r, 6), P(r, 5), P(r, 4), P(r, 3));
    if (P(r, 2) != DIB_RGB_COLORS) return blit;
    if (!RopUsesSource(blit.Rop)) {
      blit.Kind = TBlit::bkPattern;
    } else {
      blit.Kind = TBlit::bkBitmap;
      blit.Dib = TrailingDib(r, 28);
      blit.RowsFromBottom = true;
    }
  } else if (function == META_SETDIBTODEV) {
    // Usage, lines, first line, source y, x, height, width, target y, x.
    double h = P(r, 5), w = P(r, 6);
    blit.Rop = SRCCOPY;
    blit.Dest = QRectF(P(r, 8), P(r, 7), w, h);
    blit.Source = QRectF(P(r, 4), P(r, 3), w, h);
    if (P(r, 0) != DIB_RGB_COLORS) return blit;
    blit.Kind = TBlit::bkBitmap;
    blit.Dib = TrailingDib(r, 24);
    blit.RowsFromBottom = true;
  }
  return blit;
}

void Text(TPlayer& player, const TRecordReader& r, bool extended) {
  TTextRun run;
  if (!extended) {
    uint16_t count = r.U16(6);
    uint64_t end = 8 + ((uint64_t(count) + 1) & ~uint64_t(1));
    run.Text = Ansi(r, 8, count);
    run.Origin = QPointF(r.I16(end + 2), r.I16(end));
    return player.Text(run);
  }
  run.Origin = YX(r, 0);
  uint16_t count = r.U16(10);
  run.Options = r.U16(12);
  uint64_t at = 14;
  if (run.Options & (ETO_OPAQUE | ETO_CLIPPED)) {
    run.Rect = QRectF(QPointF(r.I16(14), r.I16(16)), QPointF(r.I16(18), r.I16(20)));
    at = 22;
  }
  run.Text = Ansi(r, at, count);
  at += (uint64_t(count) + 1) & ~uint64_t(1);
  if (count > 0 && r.Has(at, count, 2))
    for (uint16_t i = 0; i < count; ++i) run.Advances.emplace_back(r.I16(at + 2 * i), 0);
  player.Text(run);
}

void PlayRecord(TPlayer& player, TDcState& s, uint16_t function, const TRecordReader& r) {
  switch (function) {
    case META_SAVEDC: return player.SaveDC();
    case META_RESTOREDC: return player.RestoreDC(P(r, 0));
    case META_SETBKMODE: s.BkMode = P(r, 0); return;
    case META_SETMAPMODE: return player.SetMapMode(P(r, 0));
    case META_SETROP2: s.Rop2 = P(r, 0); return;
    case META_SETPOLYFILLMODE: s.PolyFillMode = P(r, 0); return;
    case META_SETTEXTALIGN: s.TextAlign = r.U16(6); return;
    case META_SETBKCOLOR: s.BkColor = Color(r, 6); return;
    case META_SETTEXTCOLOR: s.TextColor = Color(r, 6); return;
    case META_SETWINDOWORG: return player.SetWindowOrg(YX(r, 0));
    case META_SETWINDOWEXT: return player.SetWindowExt(YX(r, 0));
    case META_SETVIEWPORTORG: return player.SetViewportOrg(YX(r, 0));
    case META_SETVIEWPORTEXT: return player.SetViewportExt(YX(r, 0));
    case META_OFFSETWINDOWORG: return player.SetWindowOrg(s.WindowOrg + YX(r, 0));
    case META_OFFSETVIEWPORTORG: return player.SetViewportOrg(s.ViewportOrg + YX(r, 0));
    case META_SCALEWINDOWEXT: return player.ScaleWindowExt(P(r, 3), P(r, 2), P(r, 1), P(r, 0));
    case META_SCALEVIEWPORTEXT: return player.ScaleViewportExt(P(r, 3), P(r, 2), P(r, 1), P(r, 0));
    case META_LINETO: return player.LineTo(YX(r, 0));
    case META_MOVETO: return player.MoveTo(YX(r, 0));
    case META_EXCLUDECLIPRECT: return player.ExcludeClipRect(Box(r, 0));
    case META_INTERSECTCLIPRECT: return player.IntersectClipRect(Box(r, 0));
    case META_OFFSETCLIPRGN: return player.OffsetClip(YX(r, 0));
    case META_SELECTOBJECT: return player.SelectObject(r.U16(6));
    case META_DELETEOBJECT: return player.DeleteObject(r.U16(6));
    case META_CREATEPENINDIRECT:
      return player.AddObject(TPenDef::Simple(r.U16(6), P(r, 1), Color(r, 12)));
    case META_CREATEBRUSHINDIRECT:
      return player.AddObject(TBrushDef{r.U16(6), Color(r, 8), r.U16(12), {}, false});
    case META_CREATEFONTINDIRECT: return player.AddObject(Font(r));
    case META_CREATEREGION: return player.AddObject(Region(r));
    case META_DIBCREATEPATTERNBRUSH: {
      const TBrushDef black{BS_SOLID, clBlack, 0, {}, false};
      std::optional<TDibRef> dib = PatternDib(r);
      return player.AddObject(dib ? player.DibBrush(*dib, black) : black);
    }
    case META_SELECTCLIPREGION: {
      const TGdiObject* object = player.Object(r.U16(6));
      if (auto* region = object ? std::get_if<TRegionDef>(object) : nullptr)
        return player.SelectClipRegion(*region);
      return player.ResetClip();
    }
    case META_PAINTREGION: case META_FILLREGION: {
      const TGdiObject* region = player.Object(r.U16(6));
      auto* rects = region ? std::get_if<TRegionDef>(region) : nullptr;
      // FillRegion names its brush; an empty slot fills nothing.
      std::optional<TBrushDef> brush = function == META_FILLREGION ? player.Brush(r.U16(8)) : s.Brush;
      if (rects && brush) player.FillRects(rects->Rects, true, *brush);
      return;
    }
    case META_POLYGON: case META_POLYLINE: {
      std::vector<QPointF> points = Points(r, 8, r.U16(6));
      if (function == META_POLYLINE) return player.Polyline(points);
      return points.size() >= 2 ? player.PolyPolygon({points}) : void();
    }
    case META_POLYPOLYGON: {
      uint16_t polygons = r.U16(6);
      r.Need(8, polygons, 2);
      std::vector<std::vector<QPointF>> figures;
      uint64_t at = 8 + 2 * uint64_t(polygons);
      for (uint16_t i = 0; i < polygons; ++i) {
        uint16_t count = r.U16(8 + 2 * i);
        figures.push_back(Points(r, at, count));
        at += 4 * uint64_t(count);
      }
      return player.PolyPolygon(figures);
    }
    case META_ELLIPSE: return player.Ellipse(Box(r, 0));
    case META_RECTANGLE: return player.Rectangle(Box(r, 0));
    case META_ROUNDRECT: return player.RoundRect(Box(r, 2), QSizeF(P(r, 1), P(r, 0)));
    case META_ARC: return player.Arc(TPlayer::akArc, Box(r, 4), YX(r, 2), YX(r, 0));
    case META_PIE: return player.Arc(TPlayer::akPie, Box(r, 4), YX(r, 2), YX(r, 0));
    case META_CHORD: return player.Arc(TPlayer::akChord, Box(r, 4), YX(r, 2), YX(r, 0));
    case META_SETPIXEL: return player.SetPixel(YX(r, 2), Color(r, 6));
    case META_TEXTOUT: return Text(player, r, false);
    case META_EXTTEXTOUT: return Text(player, r, true);
    case META_PATBLT:
      return player.PatBlt(QRectF(P(r, 5), P(r, 4), P(r, 3), P(r, 2)), r.U32(6));
    case META_DIBBITBLT: case META_DIBSTRETCHBLT: case META_STRETCHDIB: case META_SETDIBTODEV:
      return player.Blit(ReadBlit(function, r));
    default:
      if (CreatesObject(function)) player.AddObject(std::monostate());
      return;
  }
}

// Calls record with each record after the headers, up to the end-of-file
// record or the first that does not fit in the data.
template <class F>
void EachRecord(const uint8_t* data, size_t size, F&& record) {
  TRecordReader h(data, size);
  for (size_t at = kHeaderEnd; size - at >= 6;) {
    uint32_t words = h.U32(at);
    uint16_t function = h.U16(at + 4);
    if (function == META_EOF || words < 3 || words > (size - at) / 2) break;
    record(function, TRecordReader(data + at, 2 * size_t(words)));
    at += 2 * size_t(words);
  }
}

}  // namespace

TPictureSize CheckPlaceable(const uint8_t* data, size_t size) {
  if (size < kHeaderEnd) Invalid();
  TRecordReader h(data, size);
  uint16_t checksum = 0;
  for (int i = 0; i < 10; ++i) checksum ^= h.U16(2 * i);
  const uint16_t inch = h.U16(14), version = h.U16(26);
  if (h.U32(0) != kPlaceableKey || h.U16(4) != 0 || inch == 0 || h.U32(16) != 0 || h.U16(20) != checksum)
    Invalid();
  if ((h.U16(22) != 1 && h.U16(22) != 2) || h.U16(24) != 9 || (version != 0x0100 && version != 0x0300))
    Invalid();
  for (size_t at = kHeaderEnd;;) {
    if (size - at < 6) Invalid();
    uint32_t words = h.U32(at);
    uint16_t function = h.U16(at + 4);
    if (words < 3 || words > (size - at) / 2) Invalid();
    at += 2 * size_t(words);
    if (function == META_EOF) break;
  }
  return SizeFromMM(MulDiv(int64_t(h.I16(10)) - h.I16(6), 2540, inch),
                    MulDiv(int64_t(h.I16(12)) - h.I16(8), 2540, inch));
}

void PlayPlaceable(const uint8_t* data, size_t size, QImage& image, const QRectF& rect, TMetafileDrawUse& use) {
  TRecordReader h(data, size);
  const QPointF origin(h.I16(6), h.I16(8));
  const QPointF extent = QPointF(h.I16(10), h.I16(12)) - origin;
  if (extent.x() == 0 || extent.y() == 0) return;
  // The bounding box maps onto the rectangle; the records' window then maps
  // onto the bounding box.
  QTransform playback;
  playback.translate(rect.left(), rect.top());
  playback.scale(rect.width() / extent.x(), rect.height() / extent.y());
  playback.translate(-origin.x(), -origin.y());
  double unitsPerMm = h.U16(14) / 25.4;

  const TFigures figures = PlaceableFigures(data, size);
  TPlayer player(image, playback, QPointF(unitsPerMm, unitsPerMm),
                 WorkLimit(FramePixels(image, rect), size_t(figures.DrawingBytes)), OutlineBytes(figures), use);
  player.SetMapMode(MM_ANISOTROPIC);
  player.SetWindowOrg(origin);
  player.SetViewportOrg(origin);
  player.SetWindowExt(extent);
  player.SetViewportExt(extent);
  EachRecord(data, size, [&](uint16_t function, const TRecordReader& r) {
    try {
      PlayRecord(player, player.State(), function, r);
    } catch (const TBadRecord&) {
      if (CreatesObject(function)) player.AddObject(std::monostate());
    }
  });
}

namespace {

// The points a record adds to the path it draws, none for a record that
// draws no path: each figure with three more, for its closing line and its
// caps (StrokeBytes); shapes and arcs count as the few curves they are
// made of, a region each rectangle as a figure of its own.
constexpr int64_t kShapePoints = 20;
int64_t PathPoints(uint16_t function, const TRecordReader& r) {
  switch (function) {
    case META_POLYGON: case META_POLYLINE: return int64_t(r.U16(6)) + 4;
    case META_POLYPOLYGON: {
      const uint16_t polygons = r.U16(6);
      int64_t points = 3 * int64_t(polygons);
      for (uint16_t i = 0; i < polygons; ++i) points += r.U16(8 + 2 * i);
      return points;
    }
    case META_LINETO: return 4;
    case META_ELLIPSE: case META_RECTANGLE: case META_ROUNDRECT: case META_ARC: case META_PIE: case META_CHORD:
      return kShapePoints;
    case META_CREATEREGION: return 5 * int64_t(Region(r).Rects.size());
    default: return 0;
  }
}

// The bytes of a drawing record that its drawing reads: its points, its
// characters and their advances or its bitmap; 0 for a record that draws
// nothing.
uint64_t DrawingBytes(uint16_t function, const TRecordReader& r) {
  const uint64_t length = r.Size();
  uint64_t used = 0;
  switch (function) {
    case META_POLYGON: case META_POLYLINE: used = 8 + 4 * uint64_t(r.U16(6)); break;
    case META_POLYPOLYGON: used = 8 + 2 * uint64_t(r.U16(6)) + 4 * uint64_t(PathPoints(function, r) - 3 * r.U16(6)); break;
    case META_LINETO: case META_ELLIPSE: case META_RECTANGLE: case META_ROUNDRECT: case META_ARC: case META_PIE:
    case META_CHORD: case META_SETPIXEL: case META_PATBLT: case META_PAINTREGION: case META_FILLREGION:
      used = 24;
      break;
    case META_TEXTOUT: used = 14 + uint64_t(r.U16(6)); break;
    case META_EXTTEXTOUT: used = 24 + 3 * uint64_t(r.U16(10)); break;
    case META_DIBBITBLT: case META_DIBSTRETCHBLT: case META_STRETCHDIB: case META_SETDIBTODEV: {
      // The parameters, and the bitmap's header, colour table and the
      // pixels it reads.
      const TBlit blit = ReadBlit(function, r);
      if (blit.Kind != TBlit::bkBitmap) {
        used = 32;
        break;
      }
      const uint64_t at = uint64_t(blit.Dib.Data - r.Data());
      const std::optional<TDibSize> dib = DibSize(blit.Dib);
      if (!dib) {
        used = at;
        break;
      }
      const uint64_t bits = std::min(DibPixelBytes(*dib), ~uint64_t(0) >> 1);
      used = at + std::min<uint64_t>(blit.Dib.Size, kDibHeadBytes + 256 * 4 + bits);
      break;
    }
    default: break;
  }
  return std::min(length, used);
}

}  // namespace

TFigures PlaceableFigures(const uint8_t* data, size_t size) {
  TFigures figures;
  TBitmapBytes bitmaps;
  EachRecord(data, size, [&](uint16_t function, const TRecordReader& r) {
    try {
      if (function == META_DIBCREATEPATTERNBRUSH) {
        if (std::optional<TDibRef> dib = PatternDib(r)) bitmaps.Kept(*dib);
      } else if (IsBlit(function)) {
        TBlit blit = ReadBlit(function, r);
        if (blit.Kind == TBlit::bkBitmap) bitmaps.Drawn(blit.Dib);
      }
      figures.DrawingBytes += int64_t(DrawingBytes(function, r));
      figures.PathPoints = std::max(figures.PathPoints, PathPoints(function, r));
    } catch (const TBadRecord&) {
    }
  });
  figures.BitmapBytes = bitmaps.Peak();
  return figures;
}

}  // namespace mf
