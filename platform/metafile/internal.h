// Inside the metafile player: record reading, the device-context state the
// EMF and WMF records act on, and the drawing through Qt's painter. Only the
// metafile sources include this header.
#pragma once

#include <QFont>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QRegion>
#include <QTransform>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <variant>
#include <vector>

#include "platform/graphics/gdi.h"

namespace mf {

[[noreturn]] void Invalid();  // EInvalidGraphic "Metafile is not valid"

// a * b / c rounded to nearest, halves away from zero.
int64_t MulDiv(int64_t a, int64_t b, int64_t c);

// The size a metafile header gives (absolute values, 0.01 mm and pixels).
struct TPictureSize {
  int MMWidth = 0, MMHeight = 0;
  int Width = 0, Height = 0;
};
// Size from the size in 0.01 mm; raises for sizes above 32767 pixels.
TPictureSize SizeFromMM(int64_t mmWidth, int64_t mmHeight);

// True when the data carries the enhanced-metafile signature at byte 40.
bool HasEmfSignature(const uint8_t* data, size_t size);
// Check the header and walk the whole record list; raise for malformed data.
TPictureSize CheckEnhanced(const uint8_t* data, size_t size);
TPictureSize CheckPlaceable(const uint8_t* data, size_t size);
// Play a checked metafile into the rectangle of the image.
void PlayEnhanced(const uint8_t* data, size_t size, QImage& image, const QRectF& rect);
void PlayPlaceable(const uint8_t* data, size_t size, QImage& image, const QRectF& rect);
// What a play of a checked metafile holds at once for its bitmaps (see
// TBitmapBytes), from the records' headers.
int64_t EnhancedBitmapBytes(const uint8_t* data, size_t size);
int64_t PlaceableBitmapBytes(const uint8_t* data, size_t size);

// Thrown for a record whose contents do not fit in it (a read past its end,
// counts beyond its size); playback skips that record.
struct TBadRecord {};

// Little-endian reads inside one record (or header).
class TRecordReader {
 public:
  TRecordReader(const uint8_t* data, size_t size) : FData(data), FSize(size) {}
  const uint8_t* Data() const { return FData; }
  size_t Size() const { return FSize; }
  // True when count items of itemSize bytes from at lie inside.
  bool Has(uint64_t at, uint64_t count, uint64_t itemSize = 1) const {
    return at <= FSize && count <= (FSize - at) / itemSize;
  }
  void Need(uint64_t at, uint64_t count, uint64_t itemSize = 1) const {
    if (!Has(at, count, itemSize)) throw TBadRecord();
  }
  uint8_t U8(uint64_t at) const {
    Need(at, 1);
    return FData[at];
  }
  uint16_t U16(uint64_t at) const {
    Need(at, 2);
    return static_cast<uint16_t>(FData[at] | (FData[at + 1] << 8));
  }
  int16_t I16(uint64_t at) const { return static_cast<int16_t>(U16(at)); }
  uint32_t U32(uint64_t at) const {
    Need(at, 4);
    return FData[at] | (FData[at + 1] << 8) | (FData[at + 2] << 16) | (uint32_t(FData[at + 3]) << 24);
  }
  int32_t I32(uint64_t at) const { return static_cast<int32_t>(U32(at)); }
  float F32(uint64_t at) const;

 private:
  const uint8_t* FData;
  size_t FSize;
};

// --- GDI values the records use ----------------------------------------------

enum : int {
  MM_TEXT = 1, MM_LOMETRIC, MM_HIMETRIC, MM_LOENGLISH, MM_HIENGLISH, MM_TWIPS, MM_ISOTROPIC, MM_ANISOTROPIC
};
enum : int { BK_TRANSPARENT = 1, BK_OPAQUE = 2 };
enum : int { ALTERNATE = 1, WINDING = 2 };
enum : int { R2_BLACK = 1, R2_NOT = 6, R2_XORPEN = 7, R2_NOP = 11, R2_COPYPEN = 13, R2_WHITE = 16 };
enum : uint32_t { TA_UPDATECP = 1, TA_RIGHT = 2, TA_CENTER = 6, TA_BOTTOM = 8, TA_BASELINE = 24 };
enum : uint32_t { ETO_OPAQUE = 2, ETO_CLIPPED = 4, ETO_GLYPH_INDEX = 0x10, ETO_PDY = 0x2000 };
enum : int { RGN_AND = 1, RGN_OR, RGN_XOR, RGN_DIFF, RGN_COPY };
enum : uint32_t {
  PS_SOLID = 0, PS_DASH, PS_DOT, PS_DASHDOT, PS_DASHDOTDOT, PS_NULL, PS_INSIDEFRAME, PS_USERSTYLE,
  PS_ALTERNATE,
  PS_STYLE_MASK = 0xF, PS_ENDCAP_SQUARE = 0x100, PS_ENDCAP_FLAT = 0x200, PS_ENDCAP_MASK = 0xF00,
  PS_JOIN_BEVEL = 0x1000, PS_JOIN_MITER = 0x2000, PS_JOIN_MASK = 0xF000, PS_GEOMETRIC = 0x10000
};
enum : uint32_t { BS_SOLID = 0, BS_NULL = 1, BS_HATCHED = 2, BS_PATTERN = 3 };
enum : uint32_t { DIB_RGB_COLORS = 0 };

// --- Objects -------------------------------------------------------------------

struct TPenDef {
  uint32_t Style = PS_SOLID;  // style, end cap, join and type bits
  double Width = 0;           // logical units; 0 is one pixel
  TColor Color = clBlack;
  bool Extended = false;      // made by ExtCreatePen: caps and joins as given
  std::vector<double> Dashes;  // PS_USERSTYLE entries in logical units

  // A pen of CreatePen: only the style bits of style count.
  static TPenDef Simple(uint32_t style, double width, TColor color) {
    return {style & PS_STYLE_MASK, width, color, false, {}};
  }
};

struct TBrushDef {
  uint32_t Style = BS_SOLID;  // solid, null, hatched or pattern
  TColor Color = clWhite;
  uint32_t Hatch = 0;
  QImage Pattern;  // pattern brushes
  bool Mono = false;  // Pattern holds 0/1 indices: 0 in the text colour, 1 in the background colour
};

struct TFontDef {
  double Height = 0, Width = 0;  // logical units; height < 0 is the character height
  int Escapement = 0;            // tenths of a degree, counterclockwise
  int Weight = 0;
  bool Italic = false, Underline = false, StrikeOut = false;
  int PitchAndFamily = 0;
  QString Face;
};

// A region as rectangles in logical units (WMF region objects).
struct TRegionDef {
  std::vector<QRectF> Rects;
};

using TGdiObject = std::variant<std::monostate, TPenDef, TBrushDef, TFontDef, TRegionDef>;

// An EMF object index with this bit set names a stock object.
constexpr uint32_t kStockFlag = 0x80000000u;

// --- Bitmaps -------------------------------------------------------------------

// The pixels one play of a metafile decodes for its bitmaps beyond those
// its records carry: the pictures of pattern brushes, which stay for the
// whole play, and the pictures of run-length records, which may expand
// a few bytes into many pixels. A bitmap record whose pixels stand
// uncompressed in it is not counted: what it holds follows the size of
// the file. A record whose bitmap would take the play past the bound is
// drawn without that bitmap; the play goes on.
constexpr int64_t kMaxPlayPixels = int64_t(1) << 26;

// A DIB in a record: the info header with its colour table and the pixels,
// which follow the table unless they lie apart (Bits set) and are joined to
// the header when decoded.
struct TDibRef {
  const uint8_t* Data = nullptr;  // the info header
  size_t Size = 0;                // bytes from Data on that the bitmap may use
  size_t BitsOffset = 0;          // where the pixels start (ReadDib's bitsOffset)
  const uint8_t* Bits = nullptr;  // pixels apart from the header
  size_t BitsSize = 0;
  bool Mono = false;  // a 1-bit picture is kept as 0/1 indices
};

// The size an info header gives; none when the reader refuses the DIB
// (a header cut short or of an unknown size, no pixels, a compression or
// bit count it does not decode, JPEG and PNG pictures among them, or
// uncompressed pixels that the record does not hold).
struct TDibSize {
  int64_t Width = 0, Height = 0;
  int BitCount = 0;
  bool RunLength = false;  // RLE4 or RLE8
};
std::optional<TDibSize> DibSize(const TDibRef& dib);

// What decoding a DIB of that size holds at its peak, and what of it stays
// as the decoded picture.
struct TDibBytes {
  int64_t Decoding = 0, Picture = 0;
};
TDibBytes DibBytes(const TDibRef& dib, const TDibSize& size);

// The pixels a play may still decode.
class TPixelBudget {
 public:
  // Takes the pixels of the picture, kept for the play or drawn, when the
  // bound counts them and they fit in what is left; false, taking nothing,
  // when they do not fit.
  bool Take(const TDibSize& size, bool kept);

 private:
  int64_t FLeft = kMaxPlayPixels;
};

// A decoded device-independent bitmap.
struct TDib {
  QImage Image;
  bool TopDown = false;
  bool Mono = false;  // 1-bit picture kept as 0/1 indices (Format_Indexed8)
};
// Decodes an info header with its colour table and pixels (see ReadDib);
// nothing for data that does not decode. The caller has taken its pixels
// from the play's budget.
std::optional<TDib> DecodeDib(const TDibRef& dib);
// A pattern brush from a picture, tiled whole.
TBrushDef PatternBrush(const TDib& dib);
// True when a ternary raster operation reads the source.
bool RopUsesSource(uint32_t rop);

// What a block transfer record asks for: a picture drawn from its DIB, a
// fill from the pattern alone (the operation reads no source, or the
// record has no bitmap), or nothing.
struct TBlit {
  enum TKind { bkNone, bkPattern, bkBitmap };
  TKind Kind = bkNone;
  QRectF Dest;  // logical; negative sizes mirror
  uint32_t Rop = 0;
  // In the picture's pixels, rows counted from the top; the DIB calls
  // count them from the bottom row of a bottom-up picture instead.
  QRectF Source;
  bool RowsFromBottom = false;
  TDibRef Dib;
};

// What one play holds at once for its bitmaps, added up record by record
// as the play meets them, within the play's budget: the pictures of the
// pattern brushes stay (whether or not a brush is deleted), a drawn picture
// only while its record plays.
class TBitmapBytes {
 public:
  void Drawn(const TDibRef& dib) { Add(dib, false); }
  void Kept(const TDibRef& dib) { Add(dib, true); }
  int64_t Peak() const { return FPeak; }

 private:
  void Add(const TDibRef& dib, bool kept);
  TPixelBudget FBudget;
  int64_t FKept = 0, FPeak = 0;
};

// Text as a record gives it.
struct TTextRun {
  QPointF Origin;                 // logical reference point
  QString Text;
  std::vector<QPointF> Advances;  // per character (logical), empty for the font's own
  uint32_t Options = 0;           // ETO_* flags
  QRectF Rect;                    // logical rectangle for ETO_OPAQUE / ETO_CLIPPED
};

// What SaveDC keeps.
struct TDcState {
  int MapMode = MM_TEXT;
  QPointF WindowOrg, ViewportOrg;
  QPointF WindowExt{1, 1}, ViewportExt{1, 1};
  QTransform World;
  TPenDef Pen;
  TBrushDef Brush;
  TFontDef Font;
  TColor TextColor = clBlack, BkColor = clWhite;
  int BkMode = BK_OPAQUE;
  uint32_t TextAlign = 0;
  int PolyFillMode = ALTERNATE;
  int Rop2 = R2_COPYPEN;
  bool Clockwise = false;       // arc direction
  QPointF Position;             // current position, logical
  std::optional<QRegion> Clip;  // image pixels; none clips nothing
};

// Plays drawing operations given in logical units onto the image, as a
// device context would: logical units go through the world transform and
// the window/viewport mapping into device units, which the playback
// transform takes into image pixels.
class TPlayer {
 public:
  // unitsPerMm: device units per millimetre (x, y), for the fixed map modes.
  TPlayer(QImage& image, const QTransform& playback, QPointF unitsPerMm);
  ~TPlayer();
  TPlayer(const TPlayer&) = delete;
  TPlayer& operator=(const TPlayer&) = delete;

  // The state, for the records that only set a value.
  TDcState& State() { return FState; }

  // Mapping.
  void SetMapMode(int mode);
  void SetWindowOrg(QPointF p);
  void SetViewportOrg(QPointF p);
  void SetWindowExt(QPointF e) { SetExtent(FState.WindowExt, e); }
  void SetViewportExt(QPointF e) { SetExtent(FState.ViewportExt, e); }
  void ScaleWindowExt(double xNum, double xDenom, double yNum, double yDenom) {
    ScaleExtent(FState.WindowExt, xNum, xDenom, yNum, yDenom);
  }
  void ScaleViewportExt(double xNum, double xDenom, double yNum, double yDenom) {
    ScaleExtent(FState.ViewportExt, xNum, xDenom, yNum, yDenom);
  }
  // GDI's world transform modes: 1 identity, 2 left multiply, 3 right
  // multiply, 4 set. A result that is singular or not finite is refused.
  void ModifyWorldTransform(const QTransform& xform, int mode);
  void SaveDC();
  void RestoreDC(int which);  // < 0 relative, > 0 absolute

  // Objects. EMF records name the slot; WMF records take the lowest free one.
  void CreateObject(uint32_t index, TGdiObject object);
  void AddObject(TGdiObject object);
  void SelectObject(uint32_t index);  // kStockFlag | n selects stock object n
  void SelectStockObject(uint32_t stock);
  void DeleteObject(uint32_t index);
  const TGdiObject* Object(uint32_t index) const;
  // The brush an index names, a stock brush included; none for another
  // kind of object or an empty slot.
  std::optional<TBrushDef> Brush(uint32_t index) const;

  // Drawing. Points and boxes are logical.
  void MoveTo(QPointF p);
  void LineTo(QPointF p);
  void Polyline(const std::vector<QPointF>& points);
  void PolylineTo(const std::vector<QPointF>& points);
  void PolyPolyline(const std::vector<std::vector<QPointF>>& polylines);
  void PolyPolygon(const std::vector<std::vector<QPointF>>& polygons);
  void PolyBezier(const std::vector<QPointF>& points);
  void PolyBezierTo(const std::vector<QPointF>& points);
  void Rectangle(const QRectF& box);
  void RoundRect(const QRectF& box, QSizeF corner);
  void Ellipse(const QRectF& box);
  enum TArcKind { akArc, akChord, akPie };
  void Arc(TArcKind kind, const QRectF& box, QPointF start, QPointF end);
  void ArcTo(const QRectF& box, QPointF start, QPointF end);
  void AngleArc(QPointF center, double radius, double startDegrees, double sweepDegrees);
  void SetPixel(QPointF p, TColor color);
  void Text(const TTextRun& run);

  // Paths.
  void BeginPath();
  void EndPath() { FInPath = false; }
  void AbortPath();
  void CloseFigure();
  void FillPath(bool fill, bool stroke);
  void SelectClipPath(int mode);

  // Clipping, and region fills. Device rectangles are in the metafile's
  // device units.
  void IntersectClipRect(const QRectF& rect);
  void ExcludeClipRect(const QRectF& rect);
  void SelectDeviceClip(const std::vector<QRectF>& rects, int mode);
  void SelectClipRegion(const std::vector<QRectF>& logicalRects, int mode);
  void ResetClip() { FState.Clip.reset(); }
  void OffsetClip(QPointF logicalOffset);
  void FillRects(const std::vector<QRectF>& rects, bool logical, const TBrushDef& brush);

  // Bitmaps. dest is a logical rectangle (negative sizes mirror); the source
  // rectangle is in the picture's pixels. rop is a ternary raster operation.
  void DrawImage(const QRectF& dest, const QImage& source, const QRectF& sourceRect, uint32_t rop);
  // A block transfer without a source: pattern fills, black, white, inversion.
  void PatBlt(const QRectF& dest, uint32_t rop);
  // A block transfer record: its picture decoded within the play's budget
  // and drawn (nothing past the budget), or its pattern fill.
  void Blit(const TBlit& blit);
  // A pattern brush from the DIB, decoded within the play's budget; past
  // the budget a brush that paints nothing, for a DIB that does not decode
  // the brush given.
  TBrushDef DibBrush(const TDibRef& dib, const TBrushDef& undecodable);

 private:
  using TShapeMaker = std::function<QPainterPath(const QRectF& box, bool imagePixels)>;
  void SetExtent(QPointF& extent, QPointF value);
  void ScaleExtent(QPointF& extent, double xNum, double xDenom, double yNum, double yDenom);
  QTransform PageTransform() const;
  void UpdateTransform();
  QPointF Map(QPointF p) const;
  bool AxisAligned() const;
  QRectF DeviceBox(const QRectF& box) const;
  QPolygonF MapPolygon(const std::vector<QPointF>& points) const;
  bool LogicalClockwise() const;
  bool ImageClockwise() const;
  QRegion ImageRegion(const std::vector<QRectF>& rects, const QTransform& transform) const;
  QRegion LogicalRegion(const std::vector<QRectF>& rects) const;
  void CombineClip(const QRegion& region, int mode);

  // Nothing when the DIB does not decode or, with *overBudget set, when its
  // pixels do not fit in what the play may still decode.
  std::optional<TDib> Decode(const TDibRef& dib, bool kept, bool* overBudget);
  bool BeginPaint(QColor* fixed);
  void ApplyClip();
  QBrush MakeBrush(const TBrushDef& brush) const;
  double PenWidth() const;
  std::optional<QPen> MakePen(QColor fixed) const;
  QFont MakeFont() const;
  void FillShape(QPainterPath path, const TBrushDef& brush);
  void StrokeShape(const QPainterPath& path);
  void Draw(const QPainterPath& fill, const QPainterPath& outline, bool closed);
  void EnsureFigure(QPointF from);
  void OpenFigures(const std::vector<std::vector<QPointF>>& lines, bool bezier);
  void ContinueFigure(const std::vector<QPointF>& points, bool bezier);
  void BoxShape(const QRectF& box, const TShapeMaker& make, bool closed);
  void ArcFromPosition(const QPainterPath& arc, QPointF arcEnd);

  QImage& FImage;
  QPainter FPainter;
  QTransform FPlayback;
  QPointF FUnitsPerMm;
  TDcState FState;
  std::vector<TDcState> FSaved;
  std::map<uint32_t, TGdiObject> FObjects;
  std::set<uint32_t> FFreeSlots;  // WMF slots freed below FNextSlot
  uint32_t FNextSlot = 0;
  QTransform FTransform;  // logical units to image pixels
  bool FTransformOk = true;
  bool FInPath = false;
  bool FFigureOpen = false;  // lines continue the path's last figure
  QPainterPath FPath;        // image pixels
  TPixelBudget FBudget;
};

}  // namespace mf
