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
#include "platform/metafile/metafile.h"

namespace mf {

[[noreturn]] void Invalid();  // EInvalidGraphic "Metafile is not valid"
[[noreturn]] void TooComplex();  // EInvalidGraphic "Metafile is too complex to draw"

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
// Play a checked metafile into the rectangle of the image, within the
// bounds of a drawing (see TPlayer); what the play used of them goes to use.
void PlayEnhanced(const uint8_t* data, size_t size, QImage& image, const QRectF& rect, TMetafileDrawUse& use);
void PlayPlaceable(const uint8_t* data, size_t size, QImage& image, const QRectF& rect, TMetafileDrawUse& use);
void Play(const uint8_t* data, size_t size, QImage& image, const QRectF& rect, TMetafileDrawUse& use);
// What the records of a checked metafile ask of a play, read from them
// once without drawing (see TFigures).
struct TFigures;
TFigures EnhancedFigures(const uint8_t* data, size_t size);
TFigures PlaceableFigures(const uint8_t* data, size_t size);
TFigures Figures(const uint8_t* data, size_t size);
// The figures of data that is a valid metafile, none for other data.
std::optional<TFigures> ValidFigures(const uint8_t* data, size_t size);

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

// --- Bounds of a drawing ---------------------------------------------------------

// What the painter does is counted as work, in units of about a nanosecond
// of painting on its own 32-bit surface, and charged before the painter is
// called: a drawing may do no work that its frame and its file do not pay
// for. A pixel filled costs kSolidPixelWork in a solid colour, kPixelWork
// through a pattern, a hatch, a raster operation or from a picture, and
// kGlyphPixelWork in a glyph's cell. A pixel of a one-pixel line costs
// kLinePixelWork, but kSpanWork under a clip of many rectangles. A span, a
// run of pixels in one row, costs kSpanWork: each row an outline's edge
// crosses (and as many units again as there are edges crossing that row,
// up to its pixels, for the painter sorts them), each row of a clip's
// rectangle that a painting meets.
constexpr double kSolidPixelWork = 1, kPixelWork = 6, kPicturePixelWork = 16, kGlyphPixelWork = 2, kLinePixelWork = 32;
constexpr double kSpanWork = 256;
// Each rectangle an operation on two regions reads or makes; each
// rectangle made at each step of uniting many regions pairwise.
constexpr double kRegionRectWork = 4, kUniteRectWork = 64;
// Each rectangle of a clip handed to the painter, and each point of a path
// handed to it once more (a clip handed in bands).
constexpr double kClipRectWork = 16, kPointWork = 64;
// Each point of the lines that follow a curve (see Drawn). Each glyph
// drawn in a size, weight and turn not drawn before, with kGlyphPixelWork
// for each pixel of its em square. Each span of the clip in the rows a
// painting is handed (the painter lays out the clip's spans for them);
// with the background opaque, the painter makes the clip an outline and
// fills it, so each row of each rectangle's two edges costs kSpanWork and
// twice the edges in its row more. Each state saved or restored.
constexpr double kCurvePointWork = 1024, kNewGlyphWork = 65536, kClipSpanWork = 4, kEdgeCellWork = 2,
                 kStateWork = 256;
// Each pixel of a bitmap decoded.
constexpr double kDecodePixelWork = 4;
// Each character of a text, drawn or not; each dash of a wide pen that a
// clip shows, and each pixel of the pen's width in it; each dash it hides.
constexpr double kGlyphWork = 2048, kDashWork = 2048, kDashWidthWork = 4 * kSpanWork, kHiddenDashWork = 16;
// Each row of a character's em square, which the painter goes over again
// for each part of a clip handed over in parts, with kGlyphWork.
constexpr double kGlyphRowWork = 64;
// The work of a drawing: this much for each pixel of its frame (the part of
// the picture it is drawn on) up to kDenseFramePixels and
// kWorkPerLargeFramePixel for each pixel beyond, each byte its drawing
// records hold (TFigures::DrawingBytes: what a file holds beside, a
// comment, a record that only sets a value or the padding of a record,
// buys nothing), and the floor beside, half a second; never more than
// kMaxWork, about four seconds, whatever the frame and the file. Ordinary
// drawings use a few thousandths of it, a dense plan or chart up to a half.
// A unit stands for about a nanosecond of the helper's painting, on one
// thread; the helper's processor limit is set from the limit for the
// file's bytes (helperhost.cpp), which the limit of any play of it never
// passes. A dense chart's work follows its lines more than its area, so a
// very large frame gives each pixel beyond the first four million less.
constexpr double kWorkPerFramePixel = 3072, kWorkPerLargeFramePixel = 256, kDenseFramePixels = double(1 << 22);
constexpr double kWorkPerFileByte = 4096, kWorkFloor = double(1 << 29), kMaxWork = double(int64_t(1) << 32);
// Monotone in both, at most kMaxWork.
double WorkLimit(int64_t framePixels, size_t drawingBytes);
// The pixels of the image that the rectangle covers.
int64_t FramePixels(const QImage& image, const QRectF& rect);

// The rectangles of any one clip or region, and of all the clips and
// regions a drawing holds at once (saved states and region objects too).
constexpr int64_t kMaxRegionRects = int64_t(1) << 18;
constexpr int64_t kMaxHeldRegionRects = int64_t(1) << 20;
// The dashes of one stroke of a wide pen within the picture: the painter
// builds an outline for each of them before it fills any, clipped or not.
constexpr int64_t kMaxStrokeDashes = int64_t(1) << 15;
// The painter sets aside memory for a clip's rectangles times its rows,
// kClipSpanBytes for each; a clip is handed to it in bands of rows that
// keep that product below this.
constexpr int64_t kMaxClipBandSpans = int64_t(1) << 20, kClipSpanBytes = 16;
// The memory a drawing may hold beside its pictures: its clips and
// regions, its saved states, and the painter's spans of a clip.
constexpr int64_t kMaxHeldBytes = kMetafileHeldBytes;

// The memory the painter takes for one painting of a path: the path it is
// handed, and the outline it makes of it to fill (a wide pen's two sides,
// its joins and caps, each dash; the path itself for a fill), each point of
// them in several buffers that grow by doubling and keep, for the rest of
// the play, the most they held. For each point of the path, curves
// flattened: kFillPointBytes for a fill, kStrokePointBytes for a wide pen
// of bevelled or mitred joins and flat or square caps, and for a pen of
// round joins or caps kRoundPointBytes up to kRoundPenPixels wide, twice
// that up to four times as wide, and kWideRoundPointBytes beyond. Each
// figure and each dash counts as two points more for its caps.
constexpr int64_t kFillPointBytes = 384, kStrokePointBytes = 768, kRoundPointBytes = 2048,
                  kWideRoundPointBytes = 12288;
constexpr double kRoundPenPixels = 64;
// A play holds each painting within what its records allow: for each
// point of the largest path one painting hands the painter
// (TFigures::PathPoints), what a round pen narrower than kRoundPenPixels
// takes, and at least kMinOutlineBytes, which any shape or curve, and any
// path of a few thousand points, stays within. The memory of a drawing
// counts it (MetafileDrawBytes).
constexpr int64_t kMinOutlineBytes = int64_t(16) << 20;
// A file with a wide pen of dashes has room for the most dashes a stroke
// may make (kMaxStrokeDashes), each two points more.
struct TFigures;
int64_t OutlineBytes(const TFigures& figures);
// What painting the path takes: filled, or stroked with the pen (wide or
// not) in the dashes given.
int64_t FillBytes(const QPainterPath& drawn);
int64_t StrokeBytes(const QPainterPath& drawn, const QPen& pen, int64_t dashes);

// What the records of a metafile ask of a play (see EnhancedFigures): the
// bytes of the records that draw, each as far as its drawing reads it (its
// points, characters, bitmap or rectangles); the points of the largest path
// handed to the painter at once (a record's points, or those a path
// gathers up to the record that paints it or makes it the clip); whether
// it makes a wide pen of dashes; and what the play holds at once for the
// bitmaps (TBitmapBytes).
struct TFigures {
  int64_t DrawingBytes = 0, PathPoints = 0, BitmapBytes = 0;
  bool WideDashes = false;
};

// What the clips, regions and saved states of a drawing hold.
struct THeld {
  int64_t Rects = 0, Bytes = 0;
};

// A clip or region in image pixels, as a region keeps it: rectangles in
// bands of rows, top to bottom, each band's left to right. The bands are
// indexed, so that the part in a range of rows is found without going
// through the rest. While it lives, a clip counts its rectangles and bytes
// in what its player holds.
class TClip {
 public:
  TClip(const QRegion& region, THeld* held);
  // The most bytes a clip of that many rectangles holds.
  static int64_t BytesFor(int64_t rects) { return 256 + 16 * rects + int64_t(sizeof(TBand) + 24) * rects; }
  ~TClip();
  TClip(const TClip&) = delete;
  TClip& operator=(const TClip&) = delete;

  const QRegion& Region() const { return FRegion; }
  int64_t Rects() const { return FRectsBefore.back(); }
  // The rows from the first band's top to the last one's bottom (exclusive).
  int Top() const { return FBands.empty() ? 0 : FBands.front().Top; }
  int Bottom() const { return FBands.empty() ? 0 : FBands.back().Bottom; }
  // The rectangles, and the spans (rectangles times rows), in rows top to
  // bottom - 1.
  int64_t RectsIn(int top, int bottom) const;
  double SpansIn(int top, int bottom) const;
  // The work of the clip made an outline and filled, in rows top to
  // bottom - 1 (see kEdgeCellWork).
  double OutlineWorkIn(int top, int bottom) const;
  // The clip in rows top to bottom - 1, in parts of consecutive rows whose
  // rectangles times rows (gaps between bands included) stay within
  // maxSpans where a single row allows it.
  std::vector<QRegion> Parts(int top, int bottom, int64_t maxSpans) const;
  // The most rectangles combining the two (in any way) can give: in each
  // band of rows, the rectangles of both.
  static int64_t CombinedRects(const TClip& a, const TClip& b);

 private:
  struct TBand {
    int Top, Bottom;  // rows, bottom exclusive
    int64_t First;    // the band's first rectangle
  };
  // The bands meeting rows top to bottom - 1: first and one past the last.
  std::pair<size_t, size_t> BandsIn(int top, int bottom) const;
  int64_t Count(size_t band) const { return FRectsBefore[band + 1] - FRectsBefore[band]; }
  // Sums over rows top to bottom - 1 what before adds up band by band,
  // perRow(rectangles) for each row.
  template <class F>
  double RowsIn(int top, int bottom, const std::vector<double>& before, F&& perRow) const;

  QRegion FRegion;
  std::vector<TBand> FBands;
  std::vector<int64_t> FRectsBefore{0};  // rectangles before each band, and in all
  std::vector<double> FSpansBefore{0};
  std::vector<double> FOutlineBefore{0};  // the outline's work in each band's rows
  int64_t FBytes = 0;
  THeld* FHeld;
};
using TClipRef = std::shared_ptr<const TClip>;

// The most rectangles the union of the rectangles can have: in each band
// between their tops and bottoms, as many as meet it.
int64_t UnitedRects(const std::vector<QRect>& rects);

// Each segment of the path of a wide pen that has a length, of which the
// painter makes the outline's sides and join; the share of a row's sort
// that the edges of such an outline cost, which seldom cross each other
// as the edges of a filled shape may.
constexpr double kWidePointWork = 2048, kStrokeSorting = 0.5;
// Each figure of a path that a wide pen strokes a figure at a time, which
// is handed to the painter on its own; each row an edge of such a
// figure's outline crosses, where the painter meets a few edges, not the
// edges of a whole path in every band of rows it fills.
constexpr double kFigureWork = 1024, kFigureRowWork = 128;

// The rows an edge crosses, from top to bottom, counted weight times.
struct TEdgeRows {
  double Top, Bottom;
  int Weight;
};
// The work of the rows the edges cross within rows top to bottom - 1 of
// columns pixels each: for each row, rowWork for each edge crossing it
// (a span, kSpanWork, but for the outline of a small figure) and sorting
// units for each of the edges crossing it, or of columns when fewer, where
// the painter sorts them.
double EdgeWork(std::vector<TEdgeRows> edges, int top, int bottom, int columns, double sorting,
                double rowWork = kSpanWork);
// The path as the painter draws it: curves flattened into the lines that
// follow them, which may cross the picture where their control points do
// not.
QPainterPath Drawn(const QPainterPath& path);
// The edges of the path's outline (each figure closed), curves flattened.
std::vector<TEdgeRows> PathEdges(const QPainterPath& path);

// The work of a painting, and the part of it that the painter does again
// for each part of a clip it is handed in bands: for the whole path, not
// only in the rows of the part (the curves flattened, the dashes made).
struct TPaintWork {
  double Work = 0, Repeated = 0;
  int64_t Dashes = 0;
};
// What filling the path inside the visible rectangle costs: its pixels, at
// pixelWork each, and the rows its edges cross.
TPaintWork FillWork(const QPainterPath& path, const QRect& visible, double pixelWork);
// What stroking the path with the pen inside the visible rectangle costs
// (the pixels a wide pen covers at pixelWork each, those of a one-pixel
// line at linePixelWork each, each row an edge of a wide pen's outline
// crosses at rowWork), and the dashes of a wide pen inside the device
// rectangle, which the painter makes whatever the clip.
TPaintWork StrokeWork(const QPainterPath& path, const QPen& pen, const QRect& visible, const QRect& device,
                      double pixelWork, double linePixelWork, double rowWork = kSpanWork);
// How far beyond its path a stroke of the pen may paint, in pixels.
double PenReach(const QPen& pen);

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

// A region as rectangles in logical units (WMF region objects). It is
// built into image pixels when first selected, and again only when the
// mapping has changed since.
struct TRegionDef {
  std::vector<QRectF> Rects;
  mutable TClipRef Built;
  mutable QTransform BuiltFor;
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
// The bytes of pixels a DIB of that size reads: its rows, or for a
// run-length one whatever it is given (the most a uint64_t holds).
uint64_t DibPixelBytes(const TDibSize& size);

// The pixels a play may still decode.
class TPixelBudget {
 public:
  // Takes the pixels of the picture, kept for the play or drawn, when the
  // bound counts them and they fit in what is left; false, taking nothing,
  // when they do not fit.
  bool Take(const TDibSize& size, bool kept);
  int64_t Taken() const { return kMaxPlayPixels - FLeft; }

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
  bool Clockwise = false;  // arc direction
  QPointF Position;        // current position, logical
  TClipRef Clip;           // image pixels; none clips nothing
};

// Plays drawing operations given in logical units onto the image, as a
// device context would: logical units go through the world transform and
// the window/viewport mapping into device units, which the playback
// transform takes into image pixels.
//
// A play stops (TooComplex) before any call into the painter whose work
// would pass the play's limit, before building a clip or region of more
// rectangles than kMaxRegionRects or one that would take what all of them
// hold past kMaxHeldRegionRects, before a clip, region or saved state
// that would take what it holds past kMaxHeldBytes, and before a stroke
// with more dashes in view than kMaxStrokeDashes, and before a painting
// whose path and outline would take the painter more memory than its
// records allow (OutlineBytes). What it used of each bound is kept in use.
class TPlayer {
 public:
  // unitsPerMm: device units per millimetre (x, y), for the fixed map
  // modes. The limits of work and of a painting's memory are those the
  // frame and the records played allow (WorkLimit, OutlineBytes).
  TPlayer(QImage& image, const QTransform& playback, QPointF unitsPerMm, double workLimit, int64_t outlineLimit,
          TMetafileDrawUse& use);
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
  void SelectClipRegion(const TRegionDef& region);
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
  // Work and bounds.
  void Charge(double work);
  void CheckOutline(int64_t bytes);
  void CheckRegionRects(int64_t rects);
  void CheckHeldBytes(int64_t more);
  TClipRef MakeClip(const QRegion& region);
  QRect Visible() const;
  // The spans of the clip in the rows of busy, which the painter meets
  // where a painting does most of its work (none for an empty one).
  double BusySpans(const QRectF& busy) const;
  // Calls paint, which paints nothing outside reach (image pixels), with
  // the clip set; busy is where the painting does most of its work (empty
  // when the work holds what the clip's spans there cost). The work is
  // charged first, with what the clip adds: a large clip is handed over in
  // parts, and the painting does its repeated work again for each part,
  // and hands the painter its points again (kPointWork each).
  template <class F>
  void Paint(const QRectF& reach, const QRectF& busy, const TPaintWork& work, double points, F&& paint);

  QRegion ImageRegion(const std::vector<QRectF>& rects, const QTransform& transform);
  QRegion LogicalRegion(const std::vector<QRectF>& rects);
  void CombineClip(const QRegion& region, int mode);
  void CombineClip(const TClipRef& operand, int mode);

  // Nothing when the DIB does not decode or, with *overBudget set, when its
  // pixels do not fit in what the play may still decode.
  std::optional<TDib> Decode(const TDibRef& dib, bool kept, bool* overBudget);
  bool BeginPaint(QColor* fixed);
  QBrush MakeBrush(const TBrushDef& brush) const;
  double PenWidth() const;
  std::optional<QPen> MakePen(QColor fixed) const;
  QFont MakeFont() const;
  void FillShape(QPainterPath path, const TBrushDef& brush);
  double PixelWork(const QBrush& brush) const;
  void FillPainted(const QPainterPath& path, const QBrush& brush);
  void StrokeShape(const QPainterPath& path);
  void Draw(const QPainterPath& fill, const QPainterPath& outline, bool closed);
  void EnsureFigure(QPointF from);
  void OpenFigures(const std::vector<std::vector<QPointF>>& lines, bool bezier);
  void ContinueFigure(const std::vector<QPointF>& points, bool bezier);
  void BoxShape(const QRectF& box, const TShapeMaker& make, bool closed);
  void ArcFromPosition(const QPainterPath& arc, QPointF arcEnd);
  double NewGlyphsWork(const QFont& font, double angle, const QString& text);

  QImage& FImage;
  QPainter FPainter;
  QTransform FPlayback;
  QPointF FUnitsPerMm;
  TMetafileDrawUse& FUse;
  THeld FHeld;  // the clips and regions below count themselves in it, the saved states too
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
  std::map<QString, int> FFonts;                 // the fonts and turns text was drawn in
  std::set<std::pair<int, char16_t>> FGlyphs;  // the glyphs drawn in each
};

}  // namespace mf
