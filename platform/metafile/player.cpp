// The device-context state of metafile playback and the drawing through Qt.
//
// Geometry is mapped into image pixels (rounded, as GDI does for device
// coordinates) and painted with an identity painter transform. Qt fills the
// pixels whose centres lie inside a shape, so a box from L to R fills the
// pixels L .. R-1; its outline is stroked on the box L .. R-1 with Qt's
// one-pixel cosmetic pen, which lights the pixels under integer
// coordinates. That gives GDI's rule that right and bottom edges are left
// out.
#include <QFontMetricsF>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>
#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include "platform/graphics/graphics.h"
#include "platform/metafile/internal.h"

namespace mf {

namespace {

// Image coordinates stay inside this range, which Qt's fixed-point
// rasterizer handles without overflow.
constexpr double kCoordLimit = 1 << 22;
constexpr double kMaxPenWidth = 4096;
constexpr int kMaxFontPixels = 1000;
constexpr int kDefaultFontPixels = 16;
constexpr size_t kMaxDashes = 16;
// GDI's default mitre limit: the longest mitre, in pen widths from the
// inner to the outer corner of the join; a longer one is bevelled.
constexpr double kMiterLimit = 10;

#if defined(__x86_64__)
__attribute__((target("avx"))) void ZeroUpperHalves() { _mm256_zeroupper(); }
#endif

// Qt's span fillers leave the upper halves of the wide vector registers in
// use, and while they are, every call into the maths library's routines
// (the angles and arcs of a wide pen's joins, the player's own lengths)
// takes hundreds of cycles more: a map's round joins took three times as
// long. Each painting starts with them cleared, and the player's own work
// after it too; nothing is held in them across a call.
void ClearVectorState() {
#if defined(__x86_64__)
  static const bool wide = __builtin_cpu_supports("avx");
  if (wide) ZeroUpperHalves();
#endif
}

// The row of a coordinate, the fallback for one that is not finite.
int Row(double y, int fallback) {
  return std::isfinite(y) ? int(std::clamp(std::floor(y), -kCoordLimit, kCoordLimit)) : fallback;
}

// NaN goes to the lower limit.
double Clamp(double v) { return std::fmin(std::fmax(v, -kCoordLimit), kCoordLimit); }

bool Finite(const QTransform& t) {
  for (double v : {t.m11(), t.m12(), t.m13(), t.m21(), t.m22(), t.m23(), t.m31(), t.m32(), t.m33()})
    if (!std::isfinite(v)) return false;
  return true;
}

bool Invertible(const QTransform& t) { return Finite(t) && std::isfinite(1 / t.determinant()); }

QColor ToQColor(TColor c) { return QColor(GetRValue(c), GetGValue(c), GetBValue(c)); }

// False for paths that reach beyond the coordinate limit (or are not finite).
bool Reasonable(const QPainterPath& path) {
  QRectF r = path.controlPointRect();
  for (double v : {r.left(), r.top(), r.right(), r.bottom()})
    if (!(std::abs(v) <= kCoordLimit)) return false;
  return true;
}

// Sutherland-Hodgman clipping of a polygon to a rectangle; the area inside
// the rectangle is kept exactly (edges may run along its border).
QPolygonF ClipPolygon(QPolygonF poly, const QRectF& r) {
  auto clipEdge = [&](auto inside, auto cross) {
    QPolygonF out;
    for (qsizetype i = 0; i < poly.size(); ++i) {
      QPointF a = poly[i], b = poly[(i + 1) % poly.size()];
      bool ia = inside(a), ib = inside(b);
      if (ia) out << a;
      if (ia != ib) out << cross(a, b);
    }
    poly = out;
  };
  auto atX = [](QPointF a, QPointF b, double x) {
    return QPointF(x, a.y() + (b.y() - a.y()) * (x - a.x()) / (b.x() - a.x()));
  };
  auto atY = [](QPointF a, QPointF b, double y) {
    return QPointF(a.x() + (b.x() - a.x()) * (y - a.y()) / (b.y() - a.y()), y);
  };
  clipEdge([&](QPointF p) { return p.x() >= r.left(); },
           [&](QPointF a, QPointF b) { return atX(a, b, r.left()); });
  clipEdge([&](QPointF p) { return p.x() <= r.right(); },
           [&](QPointF a, QPointF b) { return atX(a, b, r.right()); });
  clipEdge([&](QPointF p) { return p.y() >= r.top(); },
           [&](QPointF a, QPointF b) { return atY(a, b, r.top()); });
  clipEdge([&](QPointF p) { return p.y() <= r.bottom(); },
           [&](QPointF a, QPointF b) { return atY(a, b, r.bottom()); });
  return poly;
}

// Unites many regions pairwise, which stays fast for long rectangle lists.
QRegion UniteAll(std::vector<QRegion> parts) {
  if (parts.empty()) return {};
  while (parts.size() > 1) {
    std::vector<QRegion> next;
    for (size_t i = 0; i + 1 < parts.size(); i += 2) next.push_back(parts[i].united(parts[i + 1]));
    if (parts.size() % 2) next.push_back(parts.back());
    parts = std::move(next);
  }
  return parts[0];
}

// The composition mode for a binary raster operation (R2_*); R2_BLACK and
// R2_WHITE paint a fixed colour instead.
QPainter::CompositionMode Rop2Mode(int rop2, QColor* fixed) {
  switch (rop2) {
    case R2_BLACK: *fixed = Qt::black; break;
    case R2_WHITE: *fixed = Qt::white; break;
    case 2: return QPainter::RasterOp_NotSourceAndNotDestination;
    case 3: return QPainter::RasterOp_NotSourceAndDestination;
    case 4: return QPainter::RasterOp_NotSource;
    case 5: return QPainter::RasterOp_SourceAndNotDestination;
    case R2_NOT: return QPainter::RasterOp_NotDestination;
    case R2_XORPEN: return QPainter::RasterOp_SourceXorDestination;
    case 8: return QPainter::RasterOp_NotSourceOrNotDestination;
    case 9: return QPainter::RasterOp_SourceAndDestination;
    case 10: return QPainter::RasterOp_NotSourceXorDestination;
    case 12: return QPainter::RasterOp_NotSourceOrDestination;
    case 14: return QPainter::RasterOp_SourceOrNotDestination;
    case 15: return QPainter::RasterOp_SourceOrDestination;
    default: break;
  }
  return QPainter::CompositionMode_SourceOver;
}

// The composition mode for the source raster operations of block transfers
// (the third byte of the code); the others copy.
QPainter::CompositionMode SourceRopMode(uint32_t rop) {
  switch ((rop >> 16) & 0xFF) {
    case 0xEE: return QPainter::RasterOp_SourceOrDestination;       // SRCPAINT
    case 0x88: return QPainter::RasterOp_SourceAndDestination;      // SRCAND
    case 0x66: return QPainter::RasterOp_SourceXorDestination;      // SRCINVERT
    case 0x44: return QPainter::RasterOp_SourceAndNotDestination;   // SRCERASE
    case 0x33: return QPainter::RasterOp_NotSource;                 // NOTSRCCOPY
    case 0x11: return QPainter::RasterOp_NotSourceAndNotDestination;  // NOTSRCERASE
    case 0xBB: return QPainter::RasterOp_NotSourceOrDestination;    // MERGEPAINT
    default: return QPainter::CompositionMode_SourceOver;
  }
}

// Angle (degrees, counterclockwise on a y-down plane) of the point where the
// radial through p meets the ellipse in box, as Qt's arc functions count it.
double EllipseAngle(const QRectF& box, QPointF p) {
  QPointF c = box.center();
  return std::atan2(-(p.y() - c.y()) / (box.height() / 2), (p.x() - c.x()) / (box.width() / 2)) * 180 /
         std::numbers::pi;
}

QPointF EllipsePoint(const QRectF& box, double degrees) {
  double a = degrees * std::numbers::pi / 180;
  return box.center() + QPointF(box.width() / 2 * std::cos(a), -box.height() / 2 * std::sin(a));
}

// Sweep from a0 to a1 in the given direction; equal angles give a full turn.
double Sweep(double a0, double a1, bool clockwise) {
  double s = std::fmod(clockwise ? a0 - a1 : a1 - a0, 360.0);
  if (s <= 0) s += 360;
  return clockwise ? -s : s;
}

QPainterPath ArcShape(TPlayer::TArcKind kind, const QRectF& box, QPointF start, QPointF end, bool clockwise) {
  QPainterPath p;
  if (box.width() <= 0 || box.height() <= 0) return p;
  double a0 = EllipseAngle(box, start);
  double sweep = Sweep(a0, EllipseAngle(box, end), clockwise);
  if (kind == TPlayer::akPie) {
    p.moveTo(box.center());
    p.arcTo(box, a0, sweep);
  } else {
    p.arcMoveTo(box, a0);
    p.arcTo(box, a0, sweep);
  }
  if (kind != TPlayer::akArc) p.closeSubpath();
  return p;
}

// True when the path has two figures or more, of lines alone, each ending
// where it starts (the painter's stroke joins such a figure's end to its
// start, with no caps), and one of more than two points: the painter draws
// a path of figures of two points each as lines, a pen's caps on each.
bool ClosedFigures(const QPainterPath& path) {
  int figures = 0;
  bool lines = true;
  QPointF start, at;
  for (int i = 0, n = path.elementCount(); i <= n; ++i) {
    const QPainterPath::Element e =
        i < n ? path.elementAt(i) : QPainterPath::Element{0, 0, QPainterPath::MoveToElement};
    if (e.isCurveTo()) return false;
    if (i < n && e.isMoveTo() != (i % 2 == 0)) lines = false;
    if (e.isMoveTo()) {
      if (i > 0 && (at.x() != start.x() || at.y() != start.y())) return false;
      figures += i < n;
      start = QPointF(e.x, e.y);
    }
    at = QPointF(e.x, e.y);
  }
  return figures > 1 && !lines;
}

// Calls stroke with the path, or when apart with each figure of it (of
// lines alone) as a path of its own. A figure of one point, however often
// repeated, has no outline, and is left out: on its own, as two points,
// the painter would draw it as a line with the pen's caps.
template <class F>
void EachFigure(const QPainterPath& path, bool apart, F&& stroke) {
  if (!apart) return stroke(path);
  QPolygonF figure;
  bool point = true;
  for (int i = 0, n = path.elementCount(); i <= n; ++i) {
    if (i == n || path.elementAt(i).isMoveTo()) {
      if (!point) {
        QPainterPath one;
        one.addPolygon(figure);
        stroke(one);
      }
      figure.clear();
      point = true;
    }
    if (i == n) break;
    const QPointF p = path.elementAt(i);
    if (!figure.isEmpty() && (p.x() != figure.front().x() || p.y() != figure.front().y())) point = false;
    figure << p;
  }
}

}  // namespace

// --- Record reader ---------------------------------------------------------------

float TRecordReader::F32(uint64_t at) const {
  uint32_t bits = U32(at);
  float f;
  std::memcpy(&f, &bits, sizeof f);
  return f;
}

// --- Bitmaps -----------------------------------------------------------------------

std::optional<TDibSize> DibSize(const TDibRef& dib) {
  // The bitmap reader's own reading of the header. Pixels apart from it
  // follow its bytes, as DecodeDib joins them; the header is then read
  // from a copy, so that nothing past its bytes is read.
  try {
    TDibShape shape;
    if (!dib.Bits) {
      shape = ReadDibShape(dib.Data, dib.Size, dib.BitsOffset);
    } else {
      uint8_t head[kDibHeadBytes] = {};
      std::memcpy(head, dib.Data, std::min(dib.Size, sizeof head));
      shape = ReadDibShape(head, dib.Size + dib.BitsSize, dib.BitsOffset);
    }
    return TDibSize{shape.Width, shape.Height, shape.BitCount, shape.RunLength};
  } catch (const Exception&) {
    return std::nullopt;
  }
}

namespace {

// A block of the heap as the allocator counts it: small blocks with a few
// words of its own, large ones (which may be mapped) in whole pages.
int64_t HeapBlock(int64_t bytes) { return bytes + 32 + (bytes >= (int64_t(32) << 10) ? 4096 : 0); }

}  // namespace

TDibBytes DibBytes(const TDibRef& dib, const TDibSize& size) {
  // Pixel memory of a huge page and more is aligned to huge pages, for
  // which the allocator may take one more.
  constexpr int64_t kHugePage = int64_t(2) << 20;
  // The DIB as read: at its own bit count but 16-bit pixels, which may be
  // widened to 24 bits; with its structure and colour table.
  const int bits = size.BitCount <= 1 ? 1 : size.BitCount <= 4 ? 4 : size.BitCount <= 8 ? 8
                   : size.BitCount <= 24 ? 24 : 32;
  const int64_t pixels = int64_t(PixelMemorySize(size_t(AlignedRowBytes(size.Width, bits) * size.Height)));
  const int64_t read = (pixels >= kHugePage ? pixels + kHugePage : HeapBlock(pixels)) + HeapBlock(256) +
                       HeapBlock(256 * sizeof(RGBQUAD));
  // The picture: 0/1 indices for a monochrome pattern, else 24-bit, in a
  // QImage with rows of whole 32-bit words, its data and its colour table.
  const bool indices = dib.Mono && size.BitCount == 1;
  const int64_t picture = HeapBlock(AlignedRowBytes(size.Width, indices ? 8 : 24) * size.Height) +
                          HeapBlock(256) + HeapBlock(64);
  // Pixels apart from the header are joined to a copy of it.
  const int64_t joined = dib.Bits ? HeapBlock(int64_t(dib.Size + dib.BitsSize)) : 0;
  return {joined + read + picture, picture};
}

uint64_t DibPixelBytes(const TDibSize& size) {
  const uint64_t row = uint64_t(AlignedRowBytes(size.Width, size.BitCount)), rows = uint64_t(size.Height);
  return size.RunLength || (row && rows > ~uint64_t(0) / row) ? ~uint64_t(0) : row * rows;
}

bool TPixelBudget::Take(const TDibSize& size, bool kept) {
  if (!kept && !size.RunLength) return true;
  // Sides are below 2^32: the product does not overflow.
  const int64_t pixels = size.Width * size.Height;
  if (pixels > FLeft) return false;
  FLeft -= pixels;
  return true;
}

void TBitmapBytes::Add(const TDibRef& dib, bool kept) {
  std::optional<TDibSize> size = DibSize(dib);
  if (!size || !FBudget.Take(*size, kept)) return;
  const TDibBytes bytes = DibBytes(dib, *size);
  FPeak = std::max(FPeak, FKept + bytes.Decoding);
  if (kept) FKept += bytes.Picture;
}

std::optional<TDib> DecodeDib(const TDibRef& ref) {
  std::vector<uint8_t> joined;
  const uint8_t* data = ref.Data;
  size_t size = ref.Size;
  if (ref.Bits) {
    joined.reserve(ref.Size + ref.BitsSize);
    joined.assign(ref.Data, ref.Data + ref.Size);
    joined.insert(joined.end(), ref.Bits, ref.Bits + ref.BitsSize);
    data = joined.data();
    size = joined.size();
  }
  std::unique_ptr<TDibSection> dib;
  TDibHeaderInfo info;
  try {
    dib = ReadDib(data, size, ref.BitsOffset, false, &info);
  } catch (const Exception&) {
    return std::nullopt;
  }
  TDib result;
  result.TopDown = info.TopDown;
  if (ref.Mono && dib->BitCount == 1) {
    result.Mono = true;
    result.Image = QImage(dib->Width, dib->Height, QImage::Format_Indexed8);
    if (result.Image.isNull()) return std::nullopt;
    result.Image.setColorTable({qRgb(0, 0, 0), qRgb(255, 255, 255)});
    for (int y = 0; y < dib->Height; ++y) {
      const uint8_t* row = dib->ScanLine(y);
      uchar* out = result.Image.scanLine(y);
      for (int x = 0; x < dib->Width; ++x) out[x] = (row[x >> 3] >> (7 - (x & 7))) & 1;
    }
    return result;
  }
  result.Image = QImage(dib->Width, dib->Height, QImage::Format_BGR888);
  if (result.Image.isNull()) return std::nullopt;
  for (int y = 0; y < dib->Height; ++y) DibReadRow(*dib, y, 0, dib->Width, result.Image.scanLine(y));
  return result;
}

TBrushDef PatternBrush(const TDib& dib) {
  TBrushDef brush;
  brush.Style = BS_PATTERN;
  brush.Mono = dib.Mono;
  brush.Pattern = dib.Image;
  return brush;
}

bool RopUsesSource(uint32_t rop) { return (((rop >> 2) ^ rop) & 0x330000) != 0; }

// --- State and mapping ----------------------------------------------------------

TPlayer::TPlayer(QImage& image, const QTransform& playback, QPointF unitsPerMm, double workLimit,
                 int64_t outlineLimit, TMetafileDrawUse& use)
    : FImage(image), FPlayback(playback), FUnitsPerMm(unitsPerMm), FUse(use) {
  FUse = TMetafileDrawUse();
  FUse.WorkLimit = workLimit;
  FUse.OutlineLimit = outlineLimit;
  FPainter.begin(&FImage);
  FPainter.setRenderHint(QPainter::Antialiasing, false);
  FPainter.setRenderHint(QPainter::TextAntialiasing, false);
  FPainter.setRenderHint(QPainter::SmoothPixmapTransform, false);
  UpdateTransform();
}

TPlayer::~TPlayer() { FPainter.end(); }

void TPlayer::SetMapMode(int mode) {
  if (mode < MM_TEXT || mode > MM_ANISOTROPIC) return;
  FState.MapMode = mode;
  static const double kUnitsPerMm[] = {0, 1, 10, 100, 100 / 25.4, 1000 / 25.4, 1440 / 25.4};
  if (mode == MM_TEXT) {
    FState.WindowExt = FState.ViewportExt = QPointF(1, 1);
  } else if (mode < MM_ISOTROPIC) {
    FState.WindowExt = QPointF(kUnitsPerMm[mode], kUnitsPerMm[mode]);
    FState.ViewportExt = QPointF(FUnitsPerMm.x(), -FUnitsPerMm.y());
  }
  UpdateTransform();
}

void TPlayer::SetWindowOrg(QPointF p) {
  FState.WindowOrg = p;
  UpdateTransform();
}

void TPlayer::SetViewportOrg(QPointF p) {
  FState.ViewportOrg = p;
  UpdateTransform();
}

// Extents count only in the two scalable modes; zero extents are refused.
void TPlayer::SetExtent(QPointF& extent, QPointF value) {
  if (FState.MapMode < MM_ISOTROPIC || value.x() == 0 || value.y() == 0) return;
  if (!std::isfinite(value.x()) || !std::isfinite(value.y())) return;
  extent = value;
  UpdateTransform();
}

void TPlayer::ScaleExtent(QPointF& extent, double xNum, double xDenom, double yNum, double yDenom) {
  if (xDenom == 0 || yDenom == 0) return;
  SetExtent(extent, QPointF(extent.x() * xNum / xDenom, extent.y() * yNum / yDenom));
}

void TPlayer::ModifyWorldTransform(const QTransform& xform, int mode) {
  QTransform world;
  switch (mode) {
    case 1: break;
    case 2: world = xform * FState.World; break;
    case 3: world = FState.World * xform; break;
    case 4: world = xform; break;
    default: return;
  }
  if (!Invertible(world)) return;
  FState.World = world;
  UpdateTransform();
}

QTransform TPlayer::PageTransform() const {
  double sx = FState.ViewportExt.x() / FState.WindowExt.x();
  double sy = FState.ViewportExt.y() / FState.WindowExt.y();
  if (FState.MapMode == MM_ISOTROPIC) {
    double m = std::min(std::abs(sx), std::abs(sy));
    sx = std::copysign(m, sx);
    sy = std::copysign(m, sy);
  }
  return QTransform(sx, 0, 0, sy, FState.ViewportOrg.x() - FState.WindowOrg.x() * sx,
                    FState.ViewportOrg.y() - FState.WindowOrg.y() * sy);
}

void TPlayer::UpdateTransform() {
  FTransform = FState.World * PageTransform() * FPlayback;
  FTransformOk = Invertible(FTransform);
}

namespace {

// What a saved state holds: itself, twice over for the list of them grows
// by copying, and what its pen and font keep on the heap.
int64_t StateBytes(const TDcState& state) {
  return 2 * int64_t(sizeof(TDcState)) + 32 + int64_t(state.Pen.Dashes.capacity() * sizeof(double)) + 32 +
         2 * int64_t(state.Font.Face.capacity()) + 32;
}

}  // namespace

void TPlayer::SaveDC() {
  Charge(kStateWork);
  const int64_t bytes = StateBytes(FState);
  CheckHeldBytes(bytes);
  FSaved.push_back(FState);
  FHeld.Bytes += bytes;
}

void TPlayer::RestoreDC(int which) {
  int64_t count = static_cast<int64_t>(FSaved.size());
  int64_t keep = which < 0 ? count + which : int64_t(which) - 1;
  if (which == 0 || keep < 0 || keep >= count) return;
  Charge(kStateWork * double(count - keep));
  FState = FSaved[keep];
  for (int64_t i = keep; i < count; ++i) FHeld.Bytes -= StateBytes(FSaved[i]);
  FSaved.resize(keep);
  UpdateTransform();
}

QPointF TPlayer::Map(QPointF p) const {
  QPointF q = FTransform.map(p);
  return QPointF(std::round(Clamp(q.x())), std::round(Clamp(q.y())));
}

bool TPlayer::AxisAligned() const { return FTransform.m12() == 0 && FTransform.m21() == 0; }

QRectF TPlayer::DeviceBox(const QRectF& box) const {
  QPointF a = Map(box.topLeft()), b = Map(box.bottomRight());
  return QRectF(QPointF(std::min(a.x(), b.x()), std::min(a.y(), b.y())),
                QPointF(std::max(a.x(), b.x()), std::max(a.y(), b.y())));
}

QPolygonF TPlayer::MapPolygon(const std::vector<QPointF>& points) const {
  QPolygonF poly;
  poly.reserve(static_cast<qsizetype>(points.size()));
  for (QPointF p : points) poly << Map(p);
  return poly;
}

// The arc direction is kept for device units; a mirroring world and page
// mapping turns it round for the logical plane, a mirroring playback for
// the image.
bool TPlayer::LogicalClockwise() const {
  return FState.Clockwise != ((FState.World * PageTransform()).determinant() < 0);
}

bool TPlayer::ImageClockwise() const { return FState.Clockwise != (FPlayback.determinant() < 0); }

// --- Objects -----------------------------------------------------------------------

void TPlayer::CreateObject(uint32_t index, TGdiObject object) { FObjects[index] = std::move(object); }

void TPlayer::AddObject(TGdiObject object) {
  uint32_t index = FNextSlot;
  if (!FFreeSlots.empty()) {
    index = *FFreeSlots.begin();
    FFreeSlots.erase(FFreeSlots.begin());
  } else {
    ++FNextSlot;
  }
  FObjects[index] = std::move(object);
}

void TPlayer::DeleteObject(uint32_t index) {
  if (FObjects.erase(index) && index < FNextSlot) FFreeSlots.insert(index);
}

const TGdiObject* TPlayer::Object(uint32_t index) const {
  auto it = FObjects.find(index);
  return it == FObjects.end() ? nullptr : &it->second;
}

void TPlayer::SelectObject(uint32_t index) {
  if (index & kStockFlag) return SelectStockObject(index & ~kStockFlag);
  const TGdiObject* object = Object(index);
  if (!object) return;
  if (auto* pen = std::get_if<TPenDef>(object)) FState.Pen = *pen;
  if (auto* brush = std::get_if<TBrushDef>(object)) FState.Brush = *brush;
  if (auto* font = std::get_if<TFontDef>(object)) FState.Font = *font;
  if (auto* region = std::get_if<TRegionDef>(object)) {
    // Under a mapping that cannot be inverted it clips everything.
    if (FTransformOk)
      SelectClipRegion(*region);
    else
      CombineClip(QRegion(), RGN_COPY);
  }
}

namespace {

// The stock objects by their number, none for the numbers that name no
// object of the kind: brushes 0 to 5 (white, light grey, grey, dark grey,
// black, null), pens 6 to 8 (white, black, null), fonts 10 to 14, 16 and 17
// (10, 11 and 16 of fixed pitch), the default palette 15, the DC brush 18
// and the DC pen 19, whose colours start white and black.
std::optional<TBrushDef> StockBrush(uint32_t stock) {
  static const TColor kBrushes[] = {clWhite, clSilver, clGray, RGB(64, 64, 64), clBlack};
  if (stock <= 4) return TBrushDef{BS_SOLID, kBrushes[stock], 0, {}, false};
  if (stock == 5) return TBrushDef{BS_NULL, clWhite, 0, {}, false};
  if (stock == 18) return TBrushDef{BS_SOLID, clWhite, 0, {}, false};
  return std::nullopt;
}

std::optional<TPenDef> StockPen(uint32_t stock) {
  if (stock >= 6 && stock <= 8)
    return TPenDef::Simple(stock == 8 ? PS_NULL : PS_SOLID, 0, stock == 6 ? clWhite : clBlack);
  if (stock == 19) return TPenDef::Simple(PS_SOLID, 0, clBlack);
  return std::nullopt;
}

std::optional<TFontDef> StockFont(uint32_t stock) {
  if (stock < 10 || stock > 17 || stock == 15) return std::nullopt;
  TFontDef font;
  if (stock == 10 || stock == 11 || stock == 16) font.PitchAndFamily = 0x31;  // fixed pitch, modern
  return font;
}

}  // namespace

void TPlayer::SelectStockObject(uint32_t stock) {
  if (std::optional<TBrushDef> brush = StockBrush(stock)) FState.Brush = std::move(*brush);
  if (std::optional<TPenDef> pen = StockPen(stock)) FState.Pen = std::move(*pen);
  if (std::optional<TFontDef> font = StockFont(stock)) FState.Font = std::move(*font);
}

std::optional<TBrushDef> TPlayer::Brush(uint32_t index) const {
  if (index & kStockFlag) return StockBrush(index & ~kStockFlag);
  const TGdiObject* object = Object(index);
  auto* brush = object ? std::get_if<TBrushDef>(object) : nullptr;
  return brush ? std::optional<TBrushDef>(*brush) : std::nullopt;
}

// --- Bounds --------------------------------------------------------------------------

void TPlayer::Charge(double work) {
  const double total = FUse.Work + work;
  if (!(total <= FUse.WorkLimit)) {
    FUse.Stopped = true;
    TooComplex();
  }
  FUse.Work = total;
}

void TPlayer::CheckOutline(int64_t bytes) {
  FUse.OutlineBytes = std::max(FUse.OutlineBytes, bytes);
  if (bytes > FUse.OutlineLimit) {
    FUse.Stopped = true;
    TooComplex();
  }
}

void TPlayer::CheckRegionRects(int64_t rects) {
  FUse.RegionRects = std::max(FUse.RegionRects, rects);
  FUse.HeldRegionRects = std::max(FUse.HeldRegionRects, FHeld.Rects + rects);
  if (rects > kMaxRegionRects || FHeld.Rects + rects > kMaxHeldRegionRects) {
    FUse.Stopped = true;
    TooComplex();
  }
}

// The painter's spans of a clip are held beside, as many as a band of the
// clip may have.
void TPlayer::CheckHeldBytes(int64_t more) {
  const int64_t held = FHeld.Bytes + more + kMaxClipBandSpans * kClipSpanBytes;
  FUse.HeldBytes = std::max(FUse.HeldBytes, held);
  if (held > kMaxHeldBytes) {
    FUse.Stopped = true;
    TooComplex();
  }
}

TClipRef TPlayer::MakeClip(const QRegion& region) {
  CheckRegionRects(region.rectCount());
  CheckHeldBytes(TClip::BytesFor(region.rectCount()));
  return std::make_shared<const TClip>(region, &FHeld);
}

// The pixels a painting may change: the image, within the clip's rows and
// columns.
QRect TPlayer::Visible() const {
  if (!FState.Clip) return FImage.rect();
  return FImage.rect().intersected(FState.Clip->Region().boundingRect());
}

double TPlayer::BusySpans(const QRectF& busy) const {
  if (!FState.Clip || busy.isEmpty()) return 0;
  const TClip& clip = *FState.Clip;
  const int top = std::max(clip.Top(), Row(busy.top(), clip.Top()));
  const int bottom = std::min(clip.Bottom(), Row(busy.bottom(), clip.Bottom()) + 1);
  return top < bottom ? clip.SpansIn(top, bottom) : 0;
}

template <class F>
void TPlayer::Paint(const QRectF& reach, const QRectF& busy, const TPaintWork& work, double points, F&& paint) {
  if (!FState.Clip) {
    Charge(work.Work);
    FPainter.setClipping(false);
    ClearVectorState();
    paint();
    ClearVectorState();
    return;
  }
  // The clip is handed over for the rows the painting reaches alone: the
  // painter does for every rectangle it is handed what it does for the
  // whole of a clip; a clip whose rectangles times rows are many is handed
  // in bands. Nothing is painted outside the clip's rows.
  const TClip& clip = *FState.Clip;
  const int top = std::max(clip.Top(), Row(reach.top(), clip.Top()));
  const int bottom = std::min(clip.Bottom(), Row(reach.bottom(), clip.Bottom()) + 1);
  if (top >= bottom) return;
  const std::vector<QRegion> parts = clip.Parts(top, bottom, kMaxClipBandSpans);
  if (parts.empty()) return;
  // The painter lays out the spans of every part of many rectangles it is
  // handed, and with the background opaque it makes such a part an outline
  // and fills it.
  const bool complex = clip.Rects() > 1, outlined = complex && FPainter.backgroundMode() == Qt::OpaqueMode;
  Charge(work.Work + kClipRectWork * double(clip.RectsIn(top, bottom)) +
         (complex ? kClipSpanWork * clip.SpansIn(top, bottom) : 0) + (outlined ? clip.OutlineWorkIn(top, bottom) : 0) +
         kSpanWork * BusySpans(busy) + (work.Repeated + kPointWork * points) * double(parts.size() - 1));
  for (const QRegion& part : parts) {
    FPainter.setClipRegion(part);
    ClearVectorState();
    paint();
  }
  ClearVectorState();
}

// --- Painting ----------------------------------------------------------------------

bool TPlayer::BeginPaint(QColor* fixed) {
  if (!FTransformOk || FState.Rop2 == R2_NOP) return false;
  *fixed = QColor();
  FPainter.setCompositionMode(Rop2Mode(FState.Rop2, fixed));
  FPainter.setBackgroundMode(FState.BkMode == BK_OPAQUE ? Qt::OpaqueMode : Qt::TransparentMode);
  FPainter.setBackground(ToQColor(FState.BkColor));
  return true;
}

QBrush TPlayer::MakeBrush(const TBrushDef& brush) const {
  static const Qt::BrushStyle kHatches[] = {Qt::HorPattern,   Qt::VerPattern,   Qt::FDiagPattern,
                                            Qt::BDiagPattern, Qt::CrossPattern, Qt::DiagCrossPattern};
  QColor color = ToQColor(brush.Color);
  switch (brush.Style) {
    case BS_NULL: return Qt::NoBrush;
    case BS_HATCHED: return brush.Hatch < 6 ? QBrush(color, kHatches[brush.Hatch]) : QBrush(color);
    case BS_PATTERN:
      if (brush.Pattern.isNull()) return QBrush(color);
      if (brush.Mono) {
        // The indices under the text and background colours, in a picture
        // that shares the pattern's pixels, so that no fill copies a
        // pattern as large as the play's bitmaps may be. It holds a
        // reference that keeps those pixels while it lives.
        auto* shared = new QImage(brush.Pattern);
        QImage pattern(const_cast<uchar*>(shared->constBits()), shared->width(), shared->height(),
                       shared->bytesPerLine(), QImage::Format_Indexed8,
                       [](void* image) { delete static_cast<QImage*>(image); }, shared);
        pattern.setColorTable({ToQColor(FState.TextColor).rgb(), ToQColor(FState.BkColor).rgb()});
        return QBrush(pattern);
      }
      return QBrush(brush.Pattern);
    default: return QBrush(color);
  }
}

double TPlayer::PenWidth() const {
  const TPenDef& pen = FState.Pen;
  if (pen.Extended && !(pen.Style & PS_GEOMETRIC)) return 1;
  double w = pen.Width * std::sqrt(std::abs(FTransform.determinant()));
  if (!(w >= 1)) return 1;  // NaN too
  return std::round(std::min(w, kMaxPenWidth));
}

std::optional<QPen> TPlayer::MakePen(QColor fixed) const {
  const TPenDef& def = FState.Pen;
  uint32_t style = def.Style & PS_STYLE_MASK;
  if (style == PS_NULL) return std::nullopt;
  double width = PenWidth();
  bool cosmetic = width <= 1;
  QPen pen(fixed.isValid() ? fixed : ToQColor(def.Color));
  pen.setWidthF(cosmetic ? 0 : width);
  pen.setCapStyle(Qt::FlatCap);
  pen.setJoinStyle(Qt::MiterJoin);
  if (!cosmetic) {
    uint32_t cap = def.Extended ? def.Style & PS_ENDCAP_MASK : 0;
    uint32_t join = def.Extended ? def.Style & PS_JOIN_MASK : 0;
    pen.setCapStyle(cap == PS_ENDCAP_FLAT     ? Qt::FlatCap
                    : cap == PS_ENDCAP_SQUARE ? Qt::SquareCap
                                              : Qt::RoundCap);
    // Qt's SVG mitre has GDI's limit rule; its plain mitre is cut off at
    // the limit instead.
    pen.setJoinStyle(join == PS_JOIN_MITER   ? Qt::SvgMiterJoin
                     : join == PS_JOIN_BEVEL ? Qt::BevelJoin
                                             : Qt::RoundJoin);
    pen.setMiterLimit(kMiterLimit);
  }
  // Dash lengths in pixels for one-pixel pens; wide pens of CreatePen draw
  // solid, those of ExtCreatePen scale the pattern with their width.
  QList<qreal> dashes;
  switch (style) {
    case PS_DASH: dashes = {18, 6}; break;
    case PS_DOT: dashes = {3, 3}; break;
    case PS_DASHDOT: dashes = {9, 6, 3, 6}; break;
    case PS_DASHDOTDOT: dashes = {9, 3, 3, 3, 3, 3}; break;
    case PS_ALTERNATE: dashes = {1, 1}; break;
    case PS_USERSTYLE: {
      double scale = std::sqrt(std::abs(FTransform.determinant()));
      for (size_t i = 0; i < def.Dashes.size() && i < kMaxDashes; ++i)
        dashes << std::clamp(def.Dashes[i] * scale, 1.0, kCoordLimit);
      if (dashes.size() % 2) dashes += dashes;
      break;
    }
    default: break;
  }
  if (!dashes.isEmpty() && (cosmetic || def.Extended)) {
    if (!cosmetic)
      for (qreal& d : dashes) d = std::max(style == PS_USERSTYLE ? d / width : d / 3, 0.1);
    pen.setDashPattern(dashes);
  }
  return pen;
}

void TPlayer::FillShape(QPainterPath path, const TBrushDef& brush) {
  QColor fixed;
  if (!BeginPaint(&fixed)) return;
  QBrush b = fixed.isValid() && brush.Style != BS_NULL ? QBrush(fixed) : MakeBrush(brush);
  if (b.style() == Qt::NoBrush) return;
  path.setFillRule(FState.PolyFillMode == WINDING ? Qt::WindingFill : Qt::OddEvenFill);
  FillPainted(path, b);
}

// What a pixel painted through the brush costs, as the painter stands.
double TPlayer::PixelWork(const QBrush& brush) const {
  return brush.style() == Qt::SolidPattern && FPainter.compositionMode() == QPainter::CompositionMode_SourceOver
             ? kSolidPixelWork
             : kPixelWork;
}

// Fills the path with the brush as the painter stands (composition and
// background set).
void TPlayer::FillPainted(const QPainterPath& path, const QBrush& brush) {
  const QRectF box = path.controlPointRect().adjusted(-1, -1, 1, 1);
  CheckOutline(FillBytes(Drawn(path)));
  Paint(box, box, FillWork(path, Visible(), PixelWork(brush)), path.elementCount(), [&] {
    FPainter.setPen(Qt::NoPen);
    FPainter.setBrush(brush);
    FPainter.drawPath(path);
  });
}

void TPlayer::StrokeShape(const QPainterPath& path) {
  QColor fixed;
  if (!BeginPaint(&fixed)) return;
  std::optional<QPen> pen = MakePen(fixed);
  if (!pen) return;
  // A wide pen's outline of many closed figures is made and filled a
  // figure at a time where that paints the same pixels: the painter makes
  // each figure's outline apart from the others' anyway; it winds a closed
  // figure's outline one way round everywhere, so that no pixel one figure
  // covers is taken out by another's, and the outlines filled together or
  // one by one cover the same pixels; and an opaque pen copied paints a
  // pixel covered twice as it paints it once. Filled together, the painter
  // goes over the whole outline for every band of rows it fills and sorts
  // the edges of all the figures in each row: a map of 50,000 polygons of
  // 20 points took three seconds to outline, one by one one second, and
  // 200,000 triangles eight seconds against one. Under a clip of many
  // rectangles each figure meets the clip's spans in its own rows, which
  // may cost more than the whole outline meeting them once: the way that
  // costs less is taken.
  bool apart = pen->widthF() > 1 && pen->style() == Qt::SolidLine &&
               FPainter.compositionMode() == QPainter::CompositionMode_SourceOver && ClosedFigures(path);
  // One-pixel lines are drawn pixel by pixel straight into the picture but
  // under a clip of many rectangles, where each pixel is a span clipped
  // on its own.
  const bool plainClip = !FState.Clip || FState.Clip->Rects() <= 1;
  const QRect visible = Visible();
  const double reach = PenReach(*pen), half = pen->widthF() / 2 + 1;
  // The work of the stroke, whole or a figure at a time, with the clip's
  // spans in the rows of each figure's outline (within half the pen's
  // width of it but for the tips of mitres), and the most the painter
  // holds for one painting.
  struct TStroke {
    TPaintWork Work;
    int64_t Bytes = 0;
    QRectF Reach;
  };
  auto cost = [&](bool figures) {
    TStroke stroke;
    EachFigure(path, figures, [&](const QPainterPath& figure) {
      const TPaintWork one = StrokeWork(figure, *pen, visible, FImage.rect(), PixelWork(pen->brush()),
                                        plainClip ? kLinePixelWork : kSpanWork, figures ? kFigureRowWork : kSpanWork);
      const QRectF box = figure.controlPointRect();
      const QRectF busy = box.adjusted(-half, -half, half, half);
      stroke.Work.Work += one.Work + (figures ? kFigureWork + kSpanWork * BusySpans(busy) : 0);
      stroke.Work.Repeated += one.Repeated + (figures ? kFigureWork : 0);
      stroke.Work.Dashes = std::max(stroke.Work.Dashes, one.Dashes);
      stroke.Bytes = std::max(stroke.Bytes, StrokeBytes(Drawn(figure), *pen, one.Dashes));
      stroke.Reach = stroke.Reach.united(box.adjusted(-reach, -reach, reach, reach));
    });
    return stroke;
  };
  TStroke stroke = cost(false);
  if (apart) {
    TStroke figures = cost(true);
    apart = figures.Work.Work <= stroke.Work.Work + kSpanWork * BusySpans(stroke.Reach);
    if (apart) stroke = figures;
  }
  FUse.StrokeDashes = std::max(FUse.StrokeDashes, stroke.Work.Dashes);
  if (stroke.Work.Dashes > kMaxStrokeDashes) {
    FUse.Stopped = true;
    TooComplex();
  }
  CheckOutline(stroke.Bytes);
  Paint(stroke.Reach, apart ? QRectF() : stroke.Reach, stroke.Work, path.elementCount(), [&] {
    FPainter.setPen(*pen);
    FPainter.setBrush(Qt::NoBrush);
    EachFigure(path, apart, [&](const QPainterPath& figure) {
      ClearVectorState();
      FPainter.drawPath(figure);
    });
  });
}

void TPlayer::Draw(const QPainterPath& fill, const QPainterPath& outline, bool closed) {
  if (FInPath) {
    FPath.addPath(closed ? fill : outline);
    FFigureOpen = false;
    return;
  }
  if (closed) FillShape(fill, FState.Brush);
  StrokeShape(outline);
}

void TPlayer::EnsureFigure(QPointF from) {
  if (FFigureOpen) return;
  FPath.moveTo(Map(from));
  FFigureOpen = true;
}

// --- Lines and curves ------------------------------------------------------------

void TPlayer::MoveTo(QPointF p) {
  FState.Position = p;
  if (FInPath && FTransformOk) {
    FPath.moveTo(Map(p));
    FFigureOpen = true;
  }
}

void TPlayer::LineTo(QPointF p) {
  QPointF from = FState.Position;
  FState.Position = p;
  if (!FTransformOk) return;
  if (FInPath) {
    EnsureFigure(from);
    FPath.lineTo(Map(p));
    return;
  }
  QPointF a = Map(from), b = Map(p);
  if (a == b) return;
  // Qt's one-pixel lines leave out the end with the larger coordinate; GDI
  // leaves out the end point. Shifting a line that runs towards smaller
  // coordinates by one pixel makes it start and stop where GDI's does.
  if (PenWidth() <= 1) {
    QPointF d = b - a;
    QPointF step = std::abs(d.x()) >= std::abs(d.y()) ? QPointF(d.x() < 0, 0) : QPointF(0, d.y() < 0);
    a += step;
    b += step;
  }
  QPainterPath path(a);
  path.lineTo(b);
  StrokeShape(path);
}

void TPlayer::OpenFigures(const std::vector<std::vector<QPointF>>& lines, bool bezier) {
  if (!FTransformOk) return;
  QPainterPath path;
  for (const auto& points : lines) {
    QPolygonF poly = MapPolygon(points);
    if (poly.size() < 2) continue;
    path.moveTo(poly[0]);
    for (qsizetype i = 1; i < poly.size(); i += bezier ? 3 : 1) {
      if (bezier)
        path.cubicTo(poly[i], poly[i + 1], poly[i + 2]);
      else
        path.lineTo(poly[i]);
    }
  }
  if (FInPath) {
    FPath.addPath(path);
    FFigureOpen = false;
  } else {
    StrokeShape(path);
  }
}

void TPlayer::Polyline(const std::vector<QPointF>& points) { OpenFigures({points}, false); }

void TPlayer::PolyPolyline(const std::vector<std::vector<QPointF>>& polylines) {
  OpenFigures(polylines, false);
}

void TPlayer::PolyBezier(const std::vector<QPointF>& points) {
  if (points.size() >= 4 && (points.size() - 1) % 3 == 0) OpenFigures({points}, true);
}

void TPlayer::ContinueFigure(const std::vector<QPointF>& points, bool bezier) {
  if (points.empty() || (bezier && points.size() % 3 != 0)) return;
  QPointF from = FState.Position;
  FState.Position = points.back();
  if (!FTransformOk) return;
  if (FInPath) {
    EnsureFigure(from);
    QPolygonF poly = MapPolygon(points);
    for (qsizetype i = 0; i < poly.size(); i += bezier ? 3 : 1) {
      if (bezier)
        FPath.cubicTo(poly[i], poly[i + 1], poly[i + 2]);
      else
        FPath.lineTo(poly[i]);
    }
    return;
  }
  std::vector<QPointF> all{from};
  all.insert(all.end(), points.begin(), points.end());
  OpenFigures({all}, bezier);
}

void TPlayer::PolylineTo(const std::vector<QPointF>& points) { ContinueFigure(points, false); }

void TPlayer::PolyBezierTo(const std::vector<QPointF>& points) { ContinueFigure(points, true); }

void TPlayer::PolyPolygon(const std::vector<std::vector<QPointF>>& polygons) {
  if (!FTransformOk) return;
  QPainterPath path;
  for (const auto& points : polygons) {
    if (points.size() < 2) continue;
    path.addPolygon(MapPolygon(points));
    path.closeSubpath();
  }
  Draw(path, path, true);
}

// --- Shapes in a box -------------------------------------------------------------

// Builds a shape from its box: with an unrotated mapping in image pixels
// (filled over the box, outlined on the box less its right and bottom edge,
// or inside the frame for PS_INSIDEFRAME pens); otherwise in logical units
// and then mapped.
void TPlayer::BoxShape(const QRectF& box, const TShapeMaker& make, bool closed) {
  if (!FTransformOk) return;
  if (AxisAligned()) {
    QRectF fill = DeviceBox(box);
    if (fill.width() <= 0 || fill.height() <= 0) return;
    QRectF outline = fill.adjusted(0, 0, -1, -1);
    double width = PenWidth();
    if ((FState.Pen.Style & PS_STYLE_MASK) == PS_INSIDEFRAME && width > 1) {
      double inset = std::min({(width - 1) / 2, outline.width() / 2, outline.height() / 2});
      outline.adjust(inset, inset, -inset, -inset);
    }
    Draw(make(fill, true), make(outline, true), closed);
    return;
  }
  QPainterPath path = FTransform.map(make(box.normalized(), false));
  if (Reasonable(path)) Draw(path, path, closed);
}

void TPlayer::Rectangle(const QRectF& box) {
  BoxShape(box, [](const QRectF& r, bool) {
    QPainterPath p;
    p.addRect(r);
    return p;
  }, true);
}

void TPlayer::Ellipse(const QRectF& box) {
  BoxShape(box, [](const QRectF& r, bool) {
    QPainterPath p;
    p.addEllipse(r);
    return p;
  }, true);
}

void TPlayer::RoundRect(const QRectF& box, QSizeF corner) {
  BoxShape(box, [&](const QRectF& r, bool image) {
    double rx = std::abs(corner.width()) / 2, ry = std::abs(corner.height()) / 2;
    if (image) {
      rx *= std::abs(FTransform.m11());
      ry *= std::abs(FTransform.m22());
    }
    QPainterPath p;
    p.addRoundedRect(r, std::min(rx, r.width() / 2), std::min(ry, r.height() / 2));
    return p;
  }, true);
}

void TPlayer::Arc(TArcKind kind, const QRectF& box, QPointF start, QPointF end) {
  BoxShape(box, [&](const QRectF& r, bool image) {
    if (image) return ArcShape(kind, r, Map(start), Map(end), ImageClockwise());
    return ArcShape(kind, r, start, end, LogicalClockwise());
  }, kind != akArc);
}

// Line from the current position to the arc's start, then the arc; the
// current position moves to the arc's end. Drawn in logical units.
void TPlayer::ArcFromPosition(const QPainterPath& arc, QPointF arcEnd) {
  QPointF from = FState.Position;
  FState.Position = arcEnd;
  if (!FTransformOk || arc.isEmpty()) return;
  QPainterPath mapped = FTransform.map(arc);
  if (!Reasonable(mapped)) return;
  if (FInPath) {
    EnsureFigure(from);
    FPath.connectPath(mapped);
    return;
  }
  QPainterPath path(Map(from));
  path.connectPath(mapped);
  StrokeShape(path);
}

void TPlayer::ArcTo(const QRectF& box, QPointF start, QPointF end) {
  QRectF b = box.normalized();
  if (b.width() <= 0 || b.height() <= 0) return;
  double a0 = EllipseAngle(b, start), a1 = EllipseAngle(b, end);
  QPainterPath arc;
  arc.arcMoveTo(b, a0);
  arc.arcTo(b, a0, Sweep(a0, a1, LogicalClockwise()));
  ArcFromPosition(arc, EllipsePoint(b, a1));
}

// Angles count counterclockwise as seen on the device, whatever the arc
// direction.
void TPlayer::AngleArc(QPointF center, double radius, double startDegrees, double sweepDegrees) {
  if (!std::isfinite(startDegrees) || !std::isfinite(sweepDegrees) || !(radius >= 0)) return;
  bool mirrored = (FState.World * PageTransform()).determinant() < 0;
  double a0 = std::fmod(mirrored ? -startDegrees : startDegrees, 360.0);
  // Turns beyond a full circle draw nothing new.
  double sweep = std::clamp(mirrored ? -sweepDegrees : sweepDegrees, -360.0, 360.0);
  QRectF box(center.x() - radius, center.y() - radius, 2 * radius, 2 * radius);
  QPainterPath arc;
  arc.arcMoveTo(box, a0);
  arc.arcTo(box, a0, sweep);
  ArcFromPosition(arc, EllipsePoint(box, a0 + sweep));
}

void TPlayer::SetPixel(QPointF p, TColor color) {
  if (!FTransformOk) return;
  QPointF d = Map(p);
  FPainter.setCompositionMode(QPainter::CompositionMode_SourceOver);
  const QRectF pixel(d.x(), d.y(), 1, 1);
  Paint(pixel, pixel, {kSpanWork, 0, 0}, 1, [&] { FPainter.fillRect(pixel, ToQColor(color)); });
}

// --- Paths -------------------------------------------------------------------------

void TPlayer::BeginPath() {
  FPath = QPainterPath();
  FInPath = true;
  FFigureOpen = false;
}

void TPlayer::AbortPath() {
  FPath = QPainterPath();
  FInPath = false;
}

void TPlayer::CloseFigure() {
  if (!FInPath) return;
  FPath.closeSubpath();
  FFigureOpen = false;
}

void TPlayer::FillPath(bool fill, bool stroke) {
  FInPath = false;
  QPainterPath path = FPath;
  FPath = QPainterPath();
  if (fill) FillShape(path, FState.Brush);
  if (stroke) StrokeShape(path);
}

void TPlayer::SelectClipPath(int mode) {
  FInPath = false;
  // One polygon for all figures (the joins between them cancel out under
  // the alternate rule), clipped to the image so that the region stays small.
  QRectF bounds = QRectF(FImage.rect()).adjusted(-1, -1, 1, 1);
  QPolygon outline = ClipPolygon(FPath.toFillPolygon(), bounds).toPolygon();
  FPath = QPainterPath();
  // Each row has a rectangle for every two edges crossing it, at most.
  QPainterPath edges;
  edges.addPolygon(QPolygonF(outline));
  const std::vector<TEdgeRows> rows = PathEdges(edges);
  double crossings = 0;
  for (const TEdgeRows& e : rows) crossings += std::ceil(e.Bottom) - std::floor(e.Top);
  CheckRegionRects(int64_t(std::min(crossings / 2 + 1, 1e18)));
  Charge(EdgeWork(rows, int(bounds.top()), int(bounds.bottom()), int(bounds.width()), 1));
  CombineClip(QRegion(outline, FState.PolyFillMode == WINDING ? Qt::WindingFill : Qt::OddEvenFill), mode);
}

// --- Clipping ----------------------------------------------------------------------

QRegion TPlayer::ImageRegion(const std::vector<QRectF>& rects, const QTransform& transform) {
  QRectF bounds = QRectF(FImage.rect()).adjusted(-1, -1, 1, 1);
  const bool aligned = transform.m12() == 0 && transform.m21() == 0;
  std::vector<QRect> boxes;
  std::vector<QPolygon> polygons;
  for (const QRectF& r : rects) {
    QPolygonF poly = transform.map(QPolygonF(r));
    for (QPointF& p : poly) p = QPointF(std::round(Clamp(p.x())), std::round(Clamp(p.y())));
    if (aligned) {
      QRectF box = poly.boundingRect().intersected(bounds);
      if (!box.isEmpty()) boxes.push_back(box.toRect());
    } else {
      polygons.push_back(ClipPolygon(poly, bounds).toPolygon());
    }
  }
  // What the union may hold, before it is made: a rectangle in each band
  // for each box meeting it; a row of its own for each row of a turned
  // rectangle.
  int64_t estimate = UnitedRects(boxes);
  for (const QPolygon& polygon : polygons) estimate += polygon.boundingRect().height() + 1;
  CheckRegionRects(estimate);
  const double parts = double(boxes.size() + polygons.size());
  Charge(kUniteRectWork * (parts + double(estimate) * std::max(1.0, std::ceil(std::log2(std::max(parts, 1.0))))));
  std::vector<QRegion> regions;
  regions.reserve(boxes.size() + polygons.size());
  for (const QRect& box : boxes) regions.emplace_back(box);
  for (const QPolygon& polygon : polygons) regions.emplace_back(polygon);
  return UniteAll(std::move(regions));
}

QRegion TPlayer::LogicalRegion(const std::vector<QRectF>& rects) {
  return FTransformOk ? ImageRegion(rects, FTransform) : QRegion();
}

void TPlayer::CombineClip(const QRegion& region, int mode) {
  if (mode < RGN_AND || mode > RGN_COPY) return;
  CombineClip(MakeClip(region), mode);
}

void TPlayer::CombineClip(const TClipRef& operand, int mode) {
  if (mode == RGN_COPY) {
    FState.Clip = operand;
    return;
  }
  if (mode < RGN_AND || mode > RGN_COPY) return;
  const TClipRef current = FState.Clip ? FState.Clip : MakeClip(QRegion(FImage.rect()));
  const int64_t estimate = TClip::CombinedRects(*current, *operand);
  CheckRegionRects(estimate);
  Charge(kRegionRectWork * double(current->Rects() + operand->Rects() + estimate));
  const QRegion& a = current->Region();
  const QRegion& b = operand->Region();
  QRegion result;
  switch (mode) {
    case RGN_AND: result = a.intersected(b); break;
    case RGN_OR: result = a.united(b); break;
    case RGN_XOR: result = a.xored(b); break;
    default: result = a.subtracted(b); break;
  }
  FState.Clip = MakeClip(result);
}

void TPlayer::IntersectClipRect(const QRectF& rect) {
  if (FTransformOk) CombineClip(LogicalRegion({rect}), RGN_AND);
}

void TPlayer::ExcludeClipRect(const QRectF& rect) {
  if (FTransformOk) CombineClip(LogicalRegion({rect}), RGN_DIFF);
}

void TPlayer::SelectDeviceClip(const std::vector<QRectF>& rects, int mode) {
  if (mode < RGN_AND || mode > RGN_COPY) return;
  CombineClip(ImageRegion(rects, FPlayback), mode);
}

void TPlayer::SelectClipRegion(const TRegionDef& region) {
  if (!FTransformOk) return;
  // Built once for the mapping it is selected under.
  if (!region.Built || region.BuiltFor != FTransform) {
    region.Built.reset();
    region.Built = MakeClip(LogicalRegion(region.Rects));
    region.BuiltFor = FTransform;
  }
  CombineClip(region.Built, RGN_COPY);
}

void TPlayer::OffsetClip(QPointF logicalOffset) {
  if (!FState.Clip || !FTransformOk) return;
  QPointF d = FTransform.map(logicalOffset) - FTransform.map(QPointF(0, 0));
  Charge(kRegionRectWork * double(FState.Clip->Rects()));
  FState.Clip = MakeClip(
      FState.Clip->Region().translated(int(std::round(Clamp(d.x()))), int(std::round(Clamp(d.y())))));
}

void TPlayer::FillRects(const std::vector<QRectF>& rects, bool logical, const TBrushDef& brush) {
  if (!FTransformOk) return;
  QPainterPath path;
  path.addRegion(logical ? LogicalRegion(rects) : ImageRegion(rects, FPlayback));
  FillShape(path, brush);
}

// --- Bitmaps -----------------------------------------------------------------------

void TPlayer::DrawImage(const QRectF& dest, const QImage& source, const QRectF& sourceRect, uint32_t rop) {
  if (!FTransformOk || source.isNull() || sourceRect.width() == 0 || sourceRect.height() == 0) return;
  if (((rop >> 16) & 0xFF) == 0xAA) return;  // leaves the target as it is
  QRect part = QRectF(source.rect()).intersected(sourceRect.normalized()).toRect();
  if (part.isEmpty()) return;
  // Source pixels (u, v) go to p0 + (u - sx) / sw * (px - p0) + (v - sy) / sh * (py - p0).
  QPointF p0 = Map(dest.topLeft()), px = Map(dest.topRight()), py = Map(dest.bottomLeft());
  if (px == p0 || py == p0) return;
  double sw = sourceRect.width(), sh = sourceRect.height();
  QPointF ex = (px - p0) / sw, ey = (py - p0) / sh;
  QPointF offset = p0 - ex * sourceRect.x() - ey * sourceRect.y();
  QTransform t(ex.x(), ex.y(), ey.x(), ey.y(), offset.x(), offset.y());
  FPainter.setCompositionMode(SourceRopMode(rop));
  // Each pixel the picture covers, a span for each of its rows.
  const QRectF box = t.mapRect(QRectF(part)).adjusted(-1, -1, 1, 1);
  const QRectF shown = box.intersected(QRectF(Visible()));
  const double work =
      shown.isEmpty() ? 0 : kPicturePixelWork * shown.width() * shown.height() + kSpanWork * shown.height();
  Paint(box, box, {work, 0, 0}, 4, [&] {
    FPainter.setTransform(t);
    FPainter.drawImage(QPointF(part.topLeft()), source, QRectF(part));
    FPainter.resetTransform();
  });
}

void TPlayer::PatBlt(const QRectF& dest, uint32_t rop) {
  if (!FTransformOk) return;
  QBrush brush;
  QPainter::CompositionMode mode = QPainter::CompositionMode_SourceOver;
  switch ((rop >> 16) & 0xFF) {
    case 0xF0: brush = MakeBrush(FState.Brush); break;  // PATCOPY
    case 0x5A:                                          // PATINVERT
      brush = MakeBrush(FState.Brush);
      mode = QPainter::RasterOp_SourceXorDestination;
      break;
    case 0x00: brush = QBrush(Qt::black); break;  // BLACKNESS
    case 0xFF: brush = QBrush(Qt::white); break;  // WHITENESS
    case 0x55:                                    // DSTINVERT
      brush = QBrush(Qt::black);
      mode = QPainter::RasterOp_NotDestination;
      break;
    default: return;
  }
  if (brush.style() == Qt::NoBrush) return;
  QPainterPath path;
  if (AxisAligned()) {
    path.addRect(DeviceBox(dest));
  } else {
    path.addPolygon(MapPolygon({dest.topLeft(), dest.topRight(), dest.bottomRight(), dest.bottomLeft()}));
    path.closeSubpath();
  }
  FPainter.setCompositionMode(mode);
  FPainter.setBackgroundMode(FState.BkMode == BK_OPAQUE ? Qt::OpaqueMode : Qt::TransparentMode);
  FPainter.setBackground(ToQColor(FState.BkColor));
  FillPainted(path, brush);
}

std::optional<TDib> TPlayer::Decode(const TDibRef& dib, bool kept, bool* overBudget) {
  *overBudget = false;
  std::optional<TDibSize> size = DibSize(dib);
  if (!size) return std::nullopt;
  if (!FBudget.Take(*size, kept)) {
    *overBudget = true;
    return std::nullopt;
  }
  FUse.BitmapPixels = FBudget.Taken();
  Charge(kDecodePixelWork * double(size->Width) * double(size->Height));
  return DecodeDib(dib);
}

void TPlayer::Blit(const TBlit& blit) {
  if (blit.Kind == TBlit::bkPattern) return PatBlt(blit.Dest, blit.Rop);
  if (blit.Kind != TBlit::bkBitmap) return;
  bool overBudget;
  std::optional<TDib> dib = Decode(blit.Dib, false, &overBudget);
  if (!dib) return;
  QRectF source = blit.Source;
  if (blit.RowsFromBottom && !dib->TopDown)
    source.moveTop(dib->Image.height() - source.y() - source.height());
  DrawImage(blit.Dest, dib->Image, source, blit.Rop);
}

TBrushDef TPlayer::DibBrush(const TDibRef& dib, const TBrushDef& undecodable) {
  bool overBudget;
  std::optional<TDib> picture = Decode(dib, true, &overBudget);
  if (picture) return PatternBrush(*picture);
  return overBudget ? TBrushDef{BS_NULL, clWhite, 0, {}, false} : undecodable;
}

// --- Text --------------------------------------------------------------------------

// The glyphs of the text not drawn before in the font and turn, which the
// painter makes before it draws them.
double TPlayer::NewGlyphsWork(const QFont& font, double angle, const QString& text) {
  const QString key = font.key() + QLatin1Char('/') + QString::number(angle, 'g', 17);
  auto it = FFonts.find(key);
  if (it == FFonts.end()) it = FFonts.emplace(key, int(FFonts.size())).first;
  const double em = font.pixelSize();
  double work = 0;
  for (QChar c : text)
    if (FGlyphs.insert({it->second, c.unicode()}).second) work += kNewGlyphWork + kGlyphPixelWork * em * em;
  return work;
}

// The selected font in image pixels: the height (character height when
// negative, cell height when positive) and width scale with the mapping.
QFont TPlayer::MakeFont() const {
  const TFontDef& def = FState.Font;
  QFont font;
  bool fixedPitch = (def.PitchAndFamily & 3) == 1;
  switch (def.PitchAndFamily >> 4) {
    case 1: font.setStyleHint(QFont::Serif); break;
    case 3: font.setStyleHint(QFont::TypeWriter); break;
    case 4: font.setStyleHint(QFont::Cursive); break;
    case 5: font.setStyleHint(QFont::Decorative); break;
    default: font.setStyleHint(fixedPitch ? QFont::TypeWriter : QFont::SansSerif); break;
  }
  // Qt looks at the hint only when the named family is missing; without a
  // name the font takes the hint's family, as the font mapper picks a font
  // of the asked family and pitch.
  font.setFamily(def.Face.isEmpty() ? font.defaultFamily() : def.Face);
  if (fixedPitch) font.setFixedPitch(true);
  font.setStyleStrategy(QFont::NoAntialias);
  font.setWeight(def.Weight > 0 ? QFont::Weight(std::clamp(def.Weight, 100, 900)) : QFont::Normal);
  font.setItalic(def.Italic);
  font.setUnderline(def.Underline);
  font.setStrikeOut(def.StrikeOut);

  double scaleY = std::hypot(FTransform.m21(), FTransform.m22());
  double scaleX = std::hypot(FTransform.m11(), FTransform.m12());
  double height = def.Height == 0 ? kDefaultFontPixels : std::abs(def.Height) * scaleY;
  if (def.Height > 0) {
    // A cell height: find the character height that gives it.
    font.setPixelSize(100);
    double cell = QFontMetricsF(font).height();
    if (cell > 0) height = height * 100 / cell;
  }
  font.setPixelSize(static_cast<int>(std::clamp(std::round(height), 1.0, double(kMaxFontPixels))));
  if (def.Width != 0) {
    double average = QFontMetricsF(font).averageCharWidth();
    double wanted = std::abs(def.Width) * scaleX;
    if (average > 0 && std::isfinite(wanted))
      font.setStretch(static_cast<int>(std::clamp(std::round(100 * wanted / average), 1.0, 4000.0)));
  }
  return font;
}

void TPlayer::Text(const TTextRun& run) {
  if (!FTransformOk) return;
  QFont font = MakeFont();
  QFontMetricsF metrics(font);
  double ascent = metrics.ascent(), descent = metrics.descent();
  bool updateCP = FState.TextAlign & TA_UPDATECP;
  QPointF origin = Map(updateCP ? FState.Position : run.Origin);
  double angle = -FState.Font.Escapement / 10.0 +
                 std::atan2(FState.World.m12(), FState.World.m11()) * 180 / std::numbers::pi;

  // Glyph positions along the baseline, in image pixels.
  bool glyphIndices = run.Options & ETO_GLYPH_INDEX;  // indices into a font we do not have: not drawn
  std::vector<QPointF> positions;
  double width = 0;
  if (!run.Advances.empty()) {
    double sx = std::hypot(FTransform.m11(), FTransform.m12()), sy = FTransform.m22();
    QPointF at;
    for (QPointF a : run.Advances) {
      positions.push_back(at);
      at += QPointF(a.x() * sx, -a.y() * sy);
    }
    width = at.x();
  } else if (!glyphIndices) {
    width = metrics.horizontalAdvance(run.Text);
  }
  if (!std::isfinite(width)) return;
  double x0 = 0, y0 = ascent;
  if ((FState.TextAlign & TA_CENTER) == TA_CENTER)
    x0 = -width / 2;
  else if (FState.TextAlign & TA_RIGHT)
    x0 = -width;
  if ((FState.TextAlign & TA_BASELINE) == TA_BASELINE)
    y0 = 0;
  else if (FState.TextAlign & TA_BOTTOM)
    y0 = -descent;

  // The text's cells along the baseline, in image pixels: for the work
  // alone (a glyph's ink may reach beyond its cell, so the painting may
  // reach the whole clip).
  double left = std::min(0.0, width), right = std::max(0.0, width), up = 0, down = 0;
  for (QPointF p : positions) {
    left = std::min(left, p.x());
    right = std::max(right, p.x());
    up = std::min(up, p.y());
    down = std::max(down, p.y());
  }
  const double em = font.pixelSize();
  QTransform baseline;
  baseline.translate(origin.x(), origin.y());
  baseline.rotate(angle);
  const QRectF cell = baseline.mapRect(QRectF(QPointF(x0 + left, y0 - ascent + up), QPointF(x0 + right, y0 + descent + down)));
  const QRect visible = Visible();
  auto shownArea = [&](const QRectF& r) {
    const QRectF shown = r.intersected(QRectF(visible));
    return shown.isEmpty() ? 0 : shown.width() * shown.height();
  };
  // Glyphs placed by their advances each paint their own cell, which may
  // lie on the others'.
  double work = 0;
  if (positions.empty()) {
    work = kGlyphPixelWork * shownArea(cell);
  } else if (!glyphIndices) {
    for (QPointF p : positions)
      work += kGlyphPixelWork * shownArea(baseline.mapRect(QRectF(x0 + p.x(), y0 - ascent + p.y(), em, ascent + descent)));
  }
  // Each part of a clip handed over in parts draws every glyph again, in
  // the part's rows.
  const double repeated = glyphIndices ? 0 : (kGlyphWork + kGlyphRowWork * em) * double(run.Text.size());
  if (!glyphIndices) work += kGlyphWork * double(run.Text.size()) + NewGlyphsWork(font, angle, run.Text);

  FPainter.setCompositionMode(QPainter::CompositionMode_SourceOver);
  QColor background = ToQColor(FState.BkColor);
  QRegion box;
  if (run.Options & (ETO_OPAQUE | ETO_CLIPPED)) {
    box = LogicalRegion({run.Rect});
    const QRectF filled = QRectF(box.boundingRect()).intersected(QRectF(visible));
    if ((run.Options & ETO_OPAQUE) && !filled.isEmpty())
      work += kSolidPixelWork * filled.width() * filled.height() + kSpanWork * filled.height();
  }
  // Clipped text is drawn under the clip met with its rectangle, made here
  // within the bounds of a clip: the painter, asked to meet them, sets
  // aside the rectangles of the result times its rows without a bound, and
  // overflows.
  const TClipRef unclipped = FState.Clip;
  if (run.Options & ETO_CLIPPED) CombineClip(box, RGN_AND);
  Paint(QRectF(FImage.rect()).adjusted(-2, -2, 2, 2), cell.adjusted(-em, -em, em, em), {work, repeated, 0},
        double(run.Text.size()), [&] {
    FPainter.save();
    if (run.Options & ETO_OPAQUE) {
      QPainterPath area;
      area.addRegion(box);
      FPainter.fillPath(area, background);
    }
    FPainter.translate(origin);
    FPainter.rotate(angle);
    if (FState.BkMode == BK_OPAQUE)
      FPainter.fillRect(QRectF(x0, y0 - ascent, width, ascent + descent), background);
    if (!glyphIndices) {
      FPainter.setFont(font);
      FPainter.setPen(ToQColor(FState.TextColor));
      if (positions.empty()) {
        FPainter.drawText(QPointF(x0, y0), run.Text);
      } else {
        for (qsizetype i = 0; i < run.Text.size() && i < qsizetype(positions.size()); ++i) {
          // A surrogate pair is one character drawn at the first position.
          qsizetype n = run.Text[i].isHighSurrogate() && i + 1 < run.Text.size() ? 2 : 1;
          FPainter.drawText(QPointF(x0, y0) + positions[i], run.Text.mid(i, n));
          i += n - 1;
        }
      }
    }
    FPainter.restore();
  });
  FState.Clip = unclipped;

  if (updateCP) {
    double move = (FState.TextAlign & TA_CENTER) == TA_CENTER ? 0
                   : FState.TextAlign & TA_RIGHT                ? -width
                                                                : width;
    FState.Position = FTransform.inverted().map(baseline.map(QPointF(move, 0)));
  }
}

}  // namespace mf
