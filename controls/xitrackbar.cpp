#include "controls/xitrackbar.h"

#include <QMouseEvent>
#include <QPainter>
#include <cmath>

#include "platform/graphics/colornames.h"
#include "platform/system/classes.h"
#include "platform/windows/colors.h"

namespace {

constexpr int kColorIndex[21] = {0, 1, 2, 10, 11, 12, 13, 14, 15, 16, 17, 18, 20, 21, 22, 30, 31, 32, 40, 41, 42};

// Scheme colours as 0xBBGGRR in the order of kColorIndex.
// clang-format off
constexpr TColor kSchemes[6][21] = {
  // csDesert
  {clBtnFace, 0x006A9D, 0xC0C0C0, 0x0082BF, 0x28B9FF, 0xBBE9FF, 0xBEBEBE, 0xD8D8D8, 0xE8E8E8,
   0xB5B5B5, 0xEAEAEA, 0xCFCFCF, 0x005B88, 0x8CDAFF, 0x0093D9, 0x005680, 0x5ECBFF, 0x007BB7,
   0x005680, 0x0083C1, 0x1AB5FF},
  // csGrass
  {clBtnFace, 0x1D9A4B, 0xC0C0C0, 0x20A452, 0x3ED978, 0xC1F4D6, 0xBEBEBE, 0xD8D8D8, 0xE8E8E8,
   0xB5B5B5, 0xEAEAEA, 0xCFCFCF, 0x126732, 0x82E8AA, 0x21AB55, 0x156F37, 0x7CE7A7, 0x1E954A,
   0x156F37, 0x20A251, 0x5EE193},
  // csSilver
  {clBtnFace, 0x888888, 0xC0C0C0, 0x727272, 0xC0C0C0, 0xEAEAEA, 0xBEBEBE, 0xD8D8D8, 0xE8E8E8,
   0xB5B5B5, 0xEAEAEA, 0xCFCFCF, 0x616161, 0xE1E1E1, 0xA3A3A3, 0x747474, 0xD1D1D1, 0x959595,
   0x747474, 0x999999, 0xC1C1C1},
  // csSky
  {clBtnFace, 0xC88D2D, 0xC0C0C0, 0xF47A00, 0xFFBA75, 0xFFE9D2, 0xBEBEBE, 0xD8D8D8, 0xE8E8E8,
   0xB5B5B5, 0xEAEAEA, 0xCFCFCF, 0xC66300, 0xFFD9B3, 0xFF9224, 0xB35900, 0xFFCF9F, 0xF97C00,
   0xB35900, 0xFF8C1A, 0xFFBF80},
  // csRose
  {clBtnFace, 0x5B5BFF, 0xC0C0C0, 0x4242FF, 0x8282FF, 0xC6DBFF, 0xBEBEBE, 0xD8D8D8, 0xE8E8E8,
   0xB5B5B5, 0xEAEAEA, 0xCFCFCF, 0x0000D7, 0x9DC2FF, 0x6666FF, 0x0000D7, 0x8CB8FF, 0x5151FF,
   0x0000D7, 0x6666FF, 0x8CB8FF},
  // csSun
  {clBtnFace, 0x00A4A4, 0xC0C0C0, 0x0077AA, 0x1AD9FB, 0xDAFAFE, 0xBEBEBE, 0xD8D8D8, 0xE8E8E8,
   0xB5B5B5, 0xEAEAEA, 0xCFCFCF, 0x004F84, 0xC6FFFF, 0x00B8E6, 0x004F84, 0x6AFFFF, 0x009CC4,
   0x004F84, 0x00B8E6, 0x91E9FF},
};
// clang-format on

bool NamesColor(int index) {
  for (int i : kColorIndex)
    if (i == index) return true;
  return false;
}

int Round(double value) { return int(std::nearbyint(value)); }

}  // namespace

TXiTrackBar::TXiTrackBar(QWidget* parent) : QWidget(parent) {
  setFocusPolicy(Qt::NoFocus);
  setMouseTracking(true);
  setAttribute(Qt::WA_OpaquePaintEvent);
  FColors[0] = clBtnFace;
  SetColorScheme(csDesert);
  resize(100, 28);
}

bool TXiTrackBar::PointInRect(int x, int y, const QRect& r) {
  // Left < X < Right and Top < Y < Bottom, Right and Bottom just outside.
  return r.left() < x && x < r.left() + r.width() && r.top() < y && y < r.top() + r.height();
}

void TXiTrackBar::GradientFillRect(QPainter& canvas, const QRect& rect, TColor start, TColor end,
                                   TFillDirection direction) {
  if (direction != fdDiagonal) GradientFill(canvas, rect, start, end, TGradientDirection(direction));
}

bool TXiTrackBar::event(QEvent* event) {
  // A hint that is switched off does not pop up.
  if (event->type() == QEvent::ToolTip && !FShowHint) {
    event->ignore();
    return true;
  }
  return QWidget::event(event);
}

TColor TXiTrackBar::Colors(int index) const { return NamesColor(index) ? FColors[index] : clNone; }

void TXiTrackBar::SetColors(int index, TColor value) {
  if (NamesColor(index)) FColors[index] = value;
  FColorScheme = csCustom;
  repaint();
}

void TXiTrackBar::SetColorScheme(TColorScheme value) {
  if (value > csSun) value = csCustom;
  if (value != csCustom)
    for (int i = 0; i < 21; ++i) FColors[kColorIndex[i]] = kSchemes[value - 1][i];
  FColorScheme = value;
  update();
}

std::unique_ptr<TStringList> TXiTrackBar::GetColorScheme() const {
  static constexpr struct {
    const char* Field;
    int Index;
  } kFields[21] = {{"FBackColor", 0},           {"FTickColor", 1},
                   {"FSlideBorderColor", 10},   {"FSlideFaceColor", 11},
                   {"FSlideGradColor", 12},     {"FThumbBorderColor", 20},
                   {"FThumbFaceColor", 21},     {"FThumbGradColor", 22},
                   {"FOverThumbBorderColor", 30}, {"FOverThumbFaceColor", 31},
                   {"FOverThumbGradColor", 32}, {"FDownThumbBorderColor", 40},
                   {"FDownThumbFaceColor", 41}, {"FDownThumbGradColor", 42},
                   {"FDisabledTickColor", 2},   {"FDisabledSlideBorderColor", 13},
                   {"FDisabledSlideFaceColor", 14}, {"FDisabledSlideGradColor", 15},
                   {"FDisabledThumbBorderColor", 16}, {"FDisabledThumbFaceColor", 17},
                   {"FDisabledThumbGradColor", 18}};
  auto lines = std::make_unique<TStringList>();
  for (const auto& field : kFields)
    lines->Add(std::string(16, ' ') + field.Field + ":=" + ColorToString(FColors[field.Index]) + ";");
  return lines;
}

void TXiTrackBar::SetSmoothCorners(bool value) {
  FSmoothCorners = value;
  repaint();
}

int TXiTrackBar::ThumbLength() const { return (FOrientation == trHorizontal ? height() : width()) - 8; }

int TXiTrackBar::TrackLength() const { return (FOrientation == trHorizontal ? width() : height()) - ThumbWidth(); }

int TXiTrackBar::ThumbOffset() const {
  const int64_t range = int64_t(FMax) - FMin;
  const int track = TrackLength();
  if (range <= 0 || track <= 0) return 0;
  return Round(track / double(range) * double(int64_t(FPosition) - FMin));
}

QRect TXiTrackBar::ThumbRect() const {
  if (FOrientation == trHorizontal) return QRect(ThumbOffset(), 4, ThumbWidth(), ThumbLength());
  return QRect(4, ThumbOffset(), ThumbLength(), ThumbWidth());
}

QRect TXiTrackBar::SlideRect() const {
  if (FOrientation == trHorizontal) {
    const int s = height() / 3 + 1;
    return QRect(0, s, width(), height() - 2 * s);
  }
  const int s = width() / 3 + 1;
  return QRect(s, 0, width() - 2 * s, height());
}

void TXiTrackBar::SetPosition(int value) {
  if (value < FMin) value = FMin;
  if (value > FMax) value = FMax;
  FPosition = value;
  repaint();
  emit OnChange();
}

void TXiTrackBar::SetMin(int value) {
  FMin = value;
  if (FPosition < FMin) FPosition = FMin;
  repaint();
}

void TXiTrackBar::SetMax(int value) {
  FMax = value;
  if (FPosition > FMax) FPosition = FMax;
  repaint();
}

void TXiTrackBar::SetFrequency(int value) {
  FFrequency = value;
  repaint();
}

void TXiTrackBar::SetTickStyle(TTickStyle value) {
  FTickStyle = value;
  repaint();
}

void TXiTrackBar::SetTickMarks(TTickMark value) {
  FTickMarks = value;
  repaint();
}

void TXiTrackBar::SetOrientation(TTrackBarOrientation value) {
  FOrientation = value;
  repaint();
}

void TXiTrackBar::SetLook(TBtnState state) {
  FState = state;
  repaint();
}

void TXiTrackBar::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  update();
}

void TXiTrackBar::enterEvent(QEnterEvent*) {
  if (isEnabled()) repaint();
}

void TXiTrackBar::leaveEvent(QEvent*) {
  if (isEnabled() && FState != bsDown) SetLook(bsOut);
}

void TXiTrackBar::mousePressEvent(QMouseEvent* event) {
  if (!isEnabled()) return;
  const QPoint at = event->position().toPoint();
  if (PointInRect(at.x(), at.y(), ThumbRect())) FState = bsDown;
  repaint();
}

void TXiTrackBar::mouseReleaseEvent(QMouseEvent* event) {
  if (!isEnabled()) return;
  const QPoint at = event->position().toPoint();
  SetLook(PointInRect(at.x(), at.y(), ThumbRect()) ? bsOver : bsOut);
}

void TXiTrackBar::mouseMoveEvent(QMouseEvent* event) {
  if (!isEnabled()) return;
  const QPoint at = event->position().toPoint();
  if (FState != bsDown) {
    TBtnState look = PointInRect(at.x(), at.y(), ThumbRect()) ? bsOver : bsOut;
    if (look != FState) SetLook(look);
    return;
  }
  const int track = TrackLength();
  int offset = FOrientation == trHorizontal ? at.x() - ThumbWidth() / 2 : at.y() - 5;
  offset = std::max(0, std::min(offset, track));
  const int64_t range = int64_t(FMax) - FMin;
  int position = FMin;
  if (range > 0 && track > 0) position = int(std::llrint(double(range * offset) / track) + FMin);
  if (position > FMax) position = FMax;
  FPosition = position;
  repaint();
  emit OnChange();
}

void TXiTrackBar::changeEvent(QEvent* event) {
  QWidget::changeEvent(event);
  if (event->type() == QEvent::EnabledChange) {
    if (!isEnabled()) FState = bsOut;
    update();
  }
}

void TXiTrackBar::paintEvent(QPaintEvent*) {
  const bool enabled = isEnabled();
  const int thumbBase = FState == bsOver ? 30 : FState == bsDown ? 40 : 20;
  const TColor slideBorder = FColors[enabled ? 10 : 13], slideFace = FColors[enabled ? 11 : 14],
               slideGrad = FColors[enabled ? 12 : 15], tick = FColors[enabled ? 1 : 2],
               thumbBorder = FColors[enabled ? thumbBase : 16], thumbFace = FColors[enabled ? thumbBase + 1 : 17],
               thumbGrad = FColors[enabled ? thumbBase + 2 : 18];
  const QColor back = ToQColor(FColors[0]);
  const bool horizontal = FOrientation == trHorizontal;

  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing, false);
  painter.fillRect(rect(), back);

  auto outline = [&](const QRect& r, TColor color) {
    if (r.width() <= 0 || r.height() <= 0) return;
    const QColor c = ToQColor(color);
    painter.fillRect(r.left(), r.top(), r.width(), 1, c);
    painter.fillRect(r.left(), r.top() + r.height() - 1, r.width(), 1, c);
    painter.fillRect(r.left(), r.top(), 1, r.height(), c);
    painter.fillRect(r.left() + r.width() - 1, r.top(), 1, r.height(), c);
    if (FSmoothCorners) {
      const int right = r.left() + r.width() - 1, bottom = r.top() + r.height() - 1;
      for (QPoint p : {QPoint(r.left(), r.top()), QPoint(r.left(), bottom), QPoint(right, r.top()),
                       QPoint(right, bottom)})
        painter.fillRect(p.x(), p.y(), 1, 1, back);
    }
  };

  const QRect slide = SlideRect(), thumb = ThumbRect();
  GradientFillRect(painter, slide, slideFace, slideGrad, horizontal ? fdVertical : fdHorizontal);
  outline(slide, slideBorder);
  GradientFillRect(painter, thumb, thumbFace, thumbGrad, horizontal ? fdHorizontal : fdVertical);
  outline(thumb, thumbBorder);

  if (FTickStyle == tsNone) return;
  const QColor tickColor = ToQColor(tick);
  const int64_t range = int64_t(FMax) - FMin;
  // Where step i lies along the track, before the thumb's half width.
  const int track = TrackLength(), thumbWidth = ThumbWidth();
  auto along = [&](int64_t i) { return range > 0 ? double(int64_t(track) * i) / double(range) : 0.0; };
  auto drawTick = [&](int64_t i) {
    const bool first = FTickMarks == tmTopLeft || FTickMarks == tmBoth;
    const bool second = FTickMarks == tmBottomRight || FTickMarks == tmBoth;
    if (horizontal) {
      if (first) painter.fillRect(Round(along(i) + thumbWidth / 2.0), 0, 1, 3, tickColor);
      if (second) painter.fillRect(Round(along(i)) + thumbWidth / 2, height() - 3, 1, 3, tickColor);
    } else {
      const int y = Round(along(i)) + thumbWidth / 2;
      if (first) painter.fillRect(0, y, 3, 1, tickColor);
      if (second) painter.fillRect(width() - 3, y, 3, 1, tickColor);
    }
  };
  // With Max at or below Min there is a single step: one tick.
  const int64_t last = std::max<int64_t>(range, 0);
  if (FTickStyle == tsManual) {
    drawTick(0);
    if (last > 0) drawTick(last);
    return;
  }
  // Ticks denser than the pixels along the track cover every one of them;
  // a wide range need not be walked step by step.
  int64_t step = FFrequency == 0 ? 1 : std::abs(int64_t(FFrequency));
  const int64_t pixels = std::max(track, 1);
  if (last / step > 4 * pixels) step = std::max<int64_t>(step, last / (4 * pixels));
  for (int64_t i = 0; i < last; i += step) drawTick(i);
  drawTick(last);
}
