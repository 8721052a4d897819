// The bounds of a drawing: the work the painter is asked for, reckoned
// before it is asked, and the clips and regions with their bands of rows.
#include <algorithm>
#include <cmath>

#include "platform/metafile/internal.h"

namespace mf {

void TooComplex() { throw EInvalidGraphic("Metafile is too complex to draw"); }

double WorkLimit(int64_t framePixels, size_t drawingBytes) {
  const double pixels = double(std::max<int64_t>(framePixels, 0)), dense = std::min(pixels, kDenseFramePixels);
  return std::min(kMaxWork, kWorkFloor + kWorkPerFramePixel * dense + kWorkPerLargeFramePixel * (pixels - dense) +
                                kWorkPerFileByte * double(drawingBytes));
}

int64_t FramePixels(const QImage& image, const QRectF& rect) {
  const QRectF frame = rect.normalized().intersected(QRectF(image.rect()));
  return frame.isEmpty() ? 0 : int64_t(std::ceil(frame.width()) * std::ceil(frame.height()));
}

// --- Clips -------------------------------------------------------------------------

namespace {

// What a row of a band of count rectangles costs made an outline and filled.
double OutlineRowWork(int64_t count) { return 2.0 * count * (kSpanWork + kEdgeCellWork * 2.0 * count); }

}  // namespace

TClip::TClip(const QRegion& region, THeld* held) : FRegion(region), FHeld(held) {
  int64_t index = 0;
  auto close = [&] {
    FRectsBefore.push_back(index);
    const double rows = FBands.back().Bottom - FBands.back().Top;
    const int64_t count = Count(FBands.size() - 1);
    FSpansBefore.push_back(FSpansBefore.back() + double(count) * rows);
    FOutlineBefore.push_back(FOutlineBefore.back() + OutlineRowWork(count) * rows);
  };
  for (const QRect& r : FRegion) {
    const int top = r.top(), bottom = r.top() + r.height();
    if (FBands.empty() || FBands.back().Top != top || FBands.back().Bottom != bottom) {
      if (!FBands.empty()) close();
      FBands.push_back({top, bottom, index});
    }
    ++index;
  }
  if (!FBands.empty()) close();
  FBytes = 256 + 16 * Rects() + int64_t(sizeof(TBand) + 24) * int64_t(FBands.size());
  FHeld->Rects += Rects();
  FHeld->Bytes += FBytes;
}

TClip::~TClip() {
  FHeld->Rects -= Rects();
  FHeld->Bytes -= FBytes;
}

std::pair<size_t, size_t> TClip::BandsIn(int top, int bottom) const {
  auto first = std::partition_point(FBands.begin(), FBands.end(), [&](const TBand& b) { return b.Bottom <= top; });
  auto last = std::partition_point(first, FBands.end(), [&](const TBand& b) { return b.Top < bottom; });
  return {size_t(first - FBands.begin()), size_t(last - FBands.begin())};
}

int64_t TClip::RectsIn(int top, int bottom) const {
  auto [first, last] = BandsIn(top, bottom);
  return FRectsBefore[last] - FRectsBefore[first];
}

double TClip::SpansIn(int top, int bottom) const {
  return RowsIn(top, bottom, FSpansBefore, [](int64_t count) { return double(count); });
}

double TClip::OutlineWorkIn(int top, int bottom) const {
  return RowsIn(top, bottom, FOutlineBefore, OutlineRowWork);
}

template <class F>
double TClip::RowsIn(int top, int bottom, const std::vector<double>& before, F&& perRow) const {
  auto [first, last] = BandsIn(top, bottom);
  if (first == last) return 0;
  double sum = before[last] - before[first];
  // Less the rows of the end bands outside the range.
  sum -= perRow(Count(first)) * std::max(0, top - FBands[first].Top);
  sum -= perRow(Count(last - 1)) * std::max(0, FBands[last - 1].Bottom - bottom);
  return sum;
}

std::vector<QRegion> TClip::Parts(int top, int bottom, int64_t maxSpans) const {
  auto [first, last] = BandsIn(top, bottom);
  if (first == last) return {};
  if (first == 0 && last == FBands.size() && top <= Top() && bottom >= Bottom() &&
      Rects() * int64_t(Bottom() - Top()) <= maxSpans)
    return {FRegion};
  std::vector<QRegion> parts;
  std::vector<QRect> rects;
  int partTop = 0;
  auto flush = [&] {
    if (rects.empty()) return;
    QRegion part;
    part.setRects(rects.data(), int(rects.size()));
    parts.push_back(part);
    rects.clear();
  };
  const QRect* all = FRegion.begin();
  for (size_t b = first; b < last; ++b) {
    const int bandTop = std::max(FBands[b].Top, top), bandBottom = std::min(FBands[b].Bottom, bottom);
    const int64_t count = Count(b);
    // A band too large on its own is cut into runs of rows.
    const int64_t step = std::max<int64_t>(1, maxSpans / count);
    for (int64_t y = bandTop; y < bandBottom; y += step) {
      const int pieceBottom = int(std::min<int64_t>(bandBottom, y + step));
      if (!rects.empty() && (int64_t(rects.size()) + count) * (pieceBottom - partTop) > maxSpans) flush();
      if (rects.empty()) partTop = int(y);
      for (int64_t i = 0; i < count; ++i) {
        const QRect& r = all[FBands[b].First + i];
        rects.emplace_back(QPoint(r.left(), int(y)), QPoint(r.right(), pieceBottom - 1));
      }
    }
  }
  flush();
  return parts;
}

namespace {

// Adds up, over the bands between the events' rows, the count of what is
// open in each: events are (row, change), sorted here.
int64_t SumOverBands(std::vector<std::pair<int, int64_t>>& events) {
  std::sort(events.begin(), events.end());
  int64_t open = 0, sum = 0;
  for (size_t i = 0; i < events.size(); ++i) {
    open += events[i].second;
    if (i + 1 < events.size() && events[i + 1].first > events[i].first) sum += open;
  }
  return sum;
}

}  // namespace

int64_t TClip::CombinedRects(const TClip& a, const TClip& b) {
  std::vector<std::pair<int, int64_t>> events;
  events.reserve(2 * (a.FBands.size() + b.FBands.size()));
  for (const TClip* clip : {&a, &b})
    for (size_t i = 0; i < clip->FBands.size(); ++i) {
      events.emplace_back(clip->FBands[i].Top, clip->Count(i));
      events.emplace_back(clip->FBands[i].Bottom, -clip->Count(i));
    }
  return SumOverBands(events);
}

int64_t UnitedRects(const std::vector<QRect>& rects) {
  std::vector<std::pair<int, int64_t>> events;
  events.reserve(2 * rects.size());
  for (const QRect& r : rects) {
    if (r.isEmpty()) continue;
    events.emplace_back(r.top(), 1);
    events.emplace_back(r.top() + r.height(), -1);
  }
  return SumOverBands(events);
}

// --- Work of paths -----------------------------------------------------------------

double EdgeWork(std::vector<TEdgeRows> edges, int top, int bottom, int columns, double sorting, double rowWork) {
  std::vector<std::pair<double, int>> events;
  events.reserve(2 * edges.size());
  for (const TEdgeRows& e : edges) {
    const double from = std::max<double>(std::floor(e.Top), top), to = std::min<double>(std::ceil(e.Bottom), bottom);
    if (!(from < to)) continue;
    events.emplace_back(from, e.Weight);
    events.emplace_back(to, -e.Weight);
  }
  std::sort(events.begin(), events.end());
  double work = 0, open = 0;
  for (size_t i = 0; i + 1 < events.size(); ++i) {
    open += events[i].second;
    work += (events[i + 1].first - events[i].first) * open * (rowWork + sorting * std::min<double>(open, columns));
  }
  return work;
}

namespace {

// Calls line with each segment of the path: its lines, and the control
// polygons of its curves; when closing, the line back to each figure's
// start too.
template <class F>
void EachSegment(const QPainterPath& path, bool closing, F&& line) {
  QPointF start, at;
  const int n = path.elementCount();
  for (int i = 0; i < n; ++i) {
    const QPainterPath::Element e = path.elementAt(i);
    const QPointF p(e.x, e.y);
    if (e.isMoveTo()) {
      if (closing && i > 0) line(at, start, true);
      start = at = p;
    } else {
      line(at, p, false);
      at = p;
    }
  }
  if (closing && n > 0) line(at, start, true);
}

// The part of the segment from a to b inside the rectangle (Liang and
// Barsky); false when none is.
bool ClipSegment(QPointF& a, QPointF& b, const QRectF& r) {
  double t0 = 0, t1 = 1;
  const double dx = b.x() - a.x(), dy = b.y() - a.y();
  const double p[] = {-dx, dx, -dy, dy};
  const double q[] = {a.x() - r.left(), r.right() - a.x(), a.y() - r.top(), r.bottom() - a.y()};
  for (int i = 0; i < 4; ++i) {
    if (p[i] == 0) {
      if (q[i] < 0) return false;
    } else {
      const double t = q[i] / p[i];
      if (p[i] < 0) t0 = std::max(t0, t);
      else t1 = std::min(t1, t);
    }
  }
  if (!(t0 <= t1)) return false;
  const QPointF from = a;
  a = from + QPointF(dx, dy) * t0;
  b = from + QPointF(dx, dy) * t1;
  return true;
}

double VisibleArea(const QRectF& box, const QRect& visible) {
  const QRectF area = box.intersected(QRectF(visible));
  return area.isEmpty() ? 0 : area.width() * area.height();
}

}  // namespace

namespace {

bool Curved(const QPainterPath& path) {
  for (int i = 0, n = path.elementCount(); i < n; ++i)
    if (path.elementAt(i).isCurveTo()) return true;
  return false;
}

// Each point of the lines that follow the curves, which the painter makes
// and walks for the whole curve, wherever it lies.
double CurveWork(const QPainterPath& path, const QPainterPath& drawn) {
  return Curved(path) ? kCurvePointWork * drawn.elementCount() : 0;
}

}  // namespace

QPainterPath Drawn(const QPainterPath& path) {
  if (!Curved(path)) return path;
  QPainterPath drawn;
  for (const QPolygonF& polygon : path.toSubpathPolygons()) drawn.addPolygon(polygon);
  return drawn;
}

std::vector<TEdgeRows> PathEdges(const QPainterPath& path) {
  std::vector<TEdgeRows> edges;
  edges.reserve(size_t(path.elementCount()));
  EachSegment(Drawn(path), true, [&](QPointF a, QPointF b, bool) {
    if (a.y() != b.y()) edges.push_back({std::min(a.y(), b.y()), std::max(a.y(), b.y()), 1});
  });
  return edges;
}

TPaintWork FillWork(const QPainterPath& path, const QRect& visible, double pixelWork) {
  if (visible.isEmpty()) return {};
  const QPainterPath drawn = Drawn(path);
  const double curves = CurveWork(path, drawn);
  return {pixelWork * VisibleArea(drawn.controlPointRect(), visible) + curves +
              EdgeWork(PathEdges(drawn), visible.top(), visible.top() + visible.height(), visible.width(), 1),
          curves, 0};
}

double PenReach(const QPen& pen) {
  // Mitres reach up to half the width times the limit; square caps half
  // the width's diagonal.
  const double width = pen.widthF();
  return width <= 1 ? 2 : width * std::max(pen.miterLimit(), 2.0) / 2 + width + 2;
}

TPaintWork StrokeWork(const QPainterPath& curves, const QPen& pen, const QRect& visible, const QRect& device,
                      double pixelWork, double linePixelWork, double rowWork) {
  TPaintWork result;
  const QPainterPath path = Drawn(curves);
  result.Work = result.Repeated = CurveWork(curves, path);
  const double width = pen.widthF();
  const bool cosmetic = width <= 1;
  const double reach = PenReach(pen);
  const QRectF shown = QRectF(visible).adjusted(-reach, -reach, reach, reach);
  // The painter makes every dash within the picture, whatever the clip.
  const QRectF made = QRectF(device).adjusted(-reach, -reach, reach, reach);
  const QList<qreal> pattern = pen.style() == Qt::CustomDashLine ? pen.dashPattern() : QList<qreal>();
  double period = 0;
  for (qreal d : pattern) period += d * (cosmetic ? 1 : width);
  const double dashesPerPixel = period > 0 ? double(pattern.size() / 2) / period : 0;

  double length = 0, madeLength = 0, madePieces = 0, hidden = 0, segments = 0;
  std::vector<TEdgeRows> edges;
  EachSegment(path, false, [&](QPointF a, QPointF b, bool) {
    const double whole = std::hypot(b.x() - a.x(), b.y() - a.y());
    segments += whole > 0;
    QPointF ma = a, mb = b;
    if (ClipSegment(ma, mb, made)) {
      madeLength += std::hypot(mb.x() - ma.x(), mb.y() - ma.y());
      madePieces += 1;
      hidden += whole - std::hypot(mb.x() - ma.x(), mb.y() - ma.y());
    } else {
      hidden += whole;
    }
    if (visible.isEmpty() || !ClipSegment(a, b, shown)) return;
    if (cosmetic) {
      length += std::max(std::abs(b.x() - a.x()), std::abs(b.y() - a.y())) + 1;
    } else {
      length += std::hypot(b.x() - a.x(), b.y() - a.y());
      // The outline's two sides, widened by the pen at both ends.
      edges.push_back({std::min(a.y(), b.y()), std::max(a.y(), b.y()), 1});
      edges.push_back({std::min(a.y(), b.y()) - width / 2, std::max(a.y(), b.y()) + width / 2, 1});
    }
  });
  if (cosmetic) {
    // Each pixel of a one-pixel line is a span of its own; dashes are
    // counted pixel by pixel.
    result.Work += length * linePixelWork * (period > 0 ? 2 : 1);
    return result;
  }
  // The painter makes the outline of the whole path, wherever it lies: the
  // sides and join of each segment that has a length.
  const double points = kWidePointWork * segments;
  result.Work += points;
  result.Repeated += points;
  result.Work += pixelWork * length * width +
                (visible.isEmpty() ? 0
                                   : EdgeWork(std::move(edges), visible.top(), visible.top() + visible.height(),
                                              visible.width(), kStrokeSorting, rowWork));
  if (period > 0) {
    result.Dashes = int64_t(std::ceil(std::min(madeLength * dashesPerPixel + madePieces, 1e18)));
    result.Work += double(result.Dashes) * (kDashWork + kDashWidthWork * width);
    result.Repeated += double(result.Dashes) * kDashWork;
    // The painter walks the dashes outside the picture too, but for a path
    // whose extent passes ten thousand periods, which it strokes whole.
    const QRectF box = path.controlPointRect();
    if (std::max(box.width(), box.height()) <= 10000 * period) {
      result.Work += hidden * dashesPerPixel * kHiddenDashWork;
      result.Repeated += hidden * dashesPerPixel * kHiddenDashWork;
    }
  }
  return result;
}

// --- Memory of paths ---------------------------------------------------------------

int64_t OutlineBytes(const TFigures& figures) {
  const int64_t points = std::clamp<int64_t>(figures.PathPoints, 0, int64_t(1) << 40);
  return std::max(kMinOutlineBytes, kRoundPointBytes * (points + (figures.WideDashes ? 2 * kMaxStrokeDashes : 0)));
}

namespace {

// The figures a path's points begin.
int64_t Figures(const QPainterPath& path) {
  int64_t figures = 0;
  for (int i = 0, n = path.elementCount(); i < n; ++i) figures += path.elementAt(i).isMoveTo();
  return figures;
}

}  // namespace

int64_t FillBytes(const QPainterPath& drawn) {
  return kFillPointBytes * (int64_t(drawn.elementCount()) + Figures(drawn));
}

int64_t StrokeBytes(const QPainterPath& drawn, const QPen& pen, int64_t dashes) {
  const double width = pen.widthF();
  // A one-pixel pen is drawn straight from the path, as a fill's path is.
  if (width <= 1) return FillBytes(drawn);
  const bool round = pen.joinStyle() == Qt::RoundJoin || pen.capStyle() == Qt::RoundCap;
  const int64_t perPoint = !round                         ? kStrokePointBytes
                           : width < kRoundPenPixels      ? kRoundPointBytes
                           : width < 4 * kRoundPenPixels  ? 2 * kRoundPointBytes
                                                          : kWideRoundPointBytes;
  return perPoint * (int64_t(drawn.elementCount()) + 2 * (Figures(drawn) + std::max<int64_t>(dashes, 0)));
}

}  // namespace mf
