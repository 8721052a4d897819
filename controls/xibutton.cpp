#include "controls/xibutton.h"

#include <QDialog>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QShortcutEvent>

#include "controls/xigradient.h"
#include "platform/graphics/colornames.h"
#include "platform/graphics/graphics.h"
#include "platform/system/classes.h"
#include "platform/windows/colors.h"

namespace {

// Scheme colours by index as 0xBBGGRR; -1 keeps the colour as it is.
constexpr TColor kKeep = -1;
// clang-format off
constexpr TColor kSchemes[12][25] = {
  // csNeoDesert
  {0xC6ECFF, 0x37BEFF, 0x009CE8, 0xB9E7FF, 0x005680, 0x000000,
   0xB3E7FF, 0x00A3F0, 0x008ED2, 0x95DAFF, 0x005680, 0x000000,
   0x2BBAFF, 0x77D2FF, 0x8AD9FF, 0x0077B7, 0x0070A6, 0x000000,
   0xEEEEEE, 0xFFFFFF, 0xD2D2D2, 0xFFFFFF, 0x808080, 0x808080, 0x4080FF},
  // csNeoSky
  {0xFFEEDD, 0xFFB66C, 0xFFA851, 0xFFECD9, 0xB35900, 0x000000,
   0xFFEBD7, 0xFFA346, 0xFF9E3E, 0xFFE4CA, 0xB35900, 0x000000,
   0xFFB366, 0xFFCE9D, 0xFFD3A8, 0xFF9E3E, 0xB35900, 0x000000,
   0xEEEEEE, 0xFFFFFF, 0xD2D2D2, 0xFFFFFF, 0x808080, 0x808080, 0xFFA953},
  // csNeoGrass
  {0xDDF9E8, 0x5EDF8E, 0x24B95C, 0xCBF5DB, 0x156F37, 0x000000,
   0xBFF2D2, 0x3DD877, 0x23B459, 0xB5F0CB, 0x17793D, 0x000000,
   0x4EDC83, 0x80E6A6, 0x89E7AC, 0x177D3E, 0x167439, 0x000000,
   0xEEEEEE, 0xFFFFFF, 0xD2D2D2, 0xFFFFFF, 0x808080, 0x808080, 0x24B95C},
  // csNeoSilver
  {0xF3F3F3, 0xBCBCBC, 0xA7A7A7, 0xF7F7F7, 0x626262, 0x000000,
   0xF0F0F0, 0xA6A6A6, 0xA2A2A2, 0xEEEEEE, 0x757575, 0x000000,
   0xCACACA, 0xDADADA, 0xE9E9E9, 0x7C7C7C, 0x4E4E4E, 0x000000,
   0xEEEEEE, 0xFFFFFF, 0xD2D2D2, 0xFFFFFF, 0x808080, 0x808080, 0xADADAD},
  // csNeoRose
  {0xE8E8FF, 0x9595FF, 0x8282FF, 0xDDDDFF, 0x00009D, 0x000000,
   0xDFDFFF, 0x7777FF, 0x6A6AFF, 0xD7D7FF, 0x00009D, 0x000000,
   0xA6A6FF, 0xB9B9FF, 0xCECEFF, 0x5E5EFF, 0x00009D, 0x000000,
   0xEEEEEE, 0xFFFFFF, 0xD2D2D2, 0xFFFFFF, 0x808080, 0x808080, 0x5E5EFF},
  // csNeoSun
  {0xF0FFFF, 0x20D8F9, 0x00BBBB, 0xF2FFFF, 0x006464, 0x000000,
   0xD5FCFF, 0x05BCDC, 0x00A6A6, 0xCCFFFF, 0x006464, 0x000000,
   0x05D1F5, 0x66F0FB, 0x66F3FF, 0x008484, 0x006464, 0x000000,
   0xEEEEEE, 0xFFFFFF, 0xD2D2D2, 0xFFFFFF, 0x808080, 0x808080, 0x00BBBB},
  // csDesert
  {0x95DDFF, kKeep, 0x009CE8, 0xB9E7FF, 0x005680, 0x000000,
   0x6FD0FF, kKeep, 0x008ED2, 0x95DAFF, 0x005680, 0x000000,
   0x6FD0FF, kKeep, 0x8AD9FF, 0x0077B7, 0x0070A6, 0x000000,
   0xE2E2E2, kKeep, 0xD8D8D8, 0xEAEAEA, 0xC4C4C4, 0x808080, 0x4080FF},
  // csGrass
  {0x98EBB7, kKeep, 0x24B95C, 0xCBF5DB, 0x156F37, 0x000000,
   0x68E196, kKeep, 0x23B459, 0xB5F0CB, 0x17793D, 0x000000,
   0x4EDC83, kKeep, 0x89E7AC, 0x177D3E, 0x167439, 0x000000,
   0xE2E2E2, kKeep, 0xD8D8D8, 0xEAEAEA, 0xC4C4C4, 0x808080, 0x00A421},
  // csSky
  {0xFFE0C1, kKeep, 0xFFA953, 0xFFECD9, 0xB35900, 0x000000,
   0xFFCD9B, kKeep, 0xFFB164, 0xFFE4CA, 0xB35900, 0x000000,
   0xFFC082, kKeep, 0xFFD3A8, 0xFF9122, 0xB35900, 0x000000,
   0xE2E2E2, kKeep, 0xD8D8D8, 0xEAEAEA, 0xC4C4C4, 0x808080, 0xDC9B14},
  // csSun
  {0xA8FFFF, kKeep, 0x00BBBB, 0xF2FFFF, 0x006464, 0x000000,
   0x66F3FF, kKeep, 0x00A6A6, 0xCCFFFF, 0x006464, 0x000000,
   0x22EEFF, kKeep, 0x66F3FF, 0x008484, 0x006464, 0x000000,
   0xE2E2E2, kKeep, 0xD8D8D8, 0xEAEAEA, 0xC4C4C4, 0x808080, 0x008CF4},
  // csRose
  {0xC6C6FF, kKeep, 0x8282FF, 0xDDDDFF, 0x00009D, 0x000000,
   0xB0B0FF, kKeep, 0x6A6AFF, 0xD7D7FF, 0x00009D, 0x000000,
   0x9F9FFF, kKeep, 0x8888FF, 0x5E5EFF, 0x00009D, 0x000000,
   0xE2E2E2, kKeep, 0xD8D8D8, 0xEAEAEA, 0xC4C4C4, 0x808080, 0x5E5EFF},
  // csSilver
  {0xE0E0E0, kKeep, 0xAEAEAE, 0xF7F7F7, 0x626262, 0x000000,
   0xCFCFCF, kKeep, 0x797979, 0xEEEEEE, 0x757575, 0x000000,
   0xD3D3D3, kKeep, 0xE9E9E9, 0x7C7C7C, 0x4E4E4E, 0x000000,
   0xE2E2E2, kKeep, 0xD8D8D8, 0xEAEAEA, 0xC4C4C4, 0x808080, 0x8A8A8A},
};
// clang-format on

// Lives as a child of a window that holds gradient buttons and offers them
// the Enter and Escape keys that no focused control took.
class TDialogKeys : public QObject {
 public:
  static constexpr const char* kName = "TXiButtonDialogKeys";
  explicit TDialogKeys(QWidget* window) : QObject(window) { setObjectName(kName); }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() != QEvent::KeyPress || watched != parent()) return false;
    auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter && key->key() != Qt::Key_Escape) return false;
    if (!TXiButton::DialogKey(static_cast<QWidget*>(parent()), key->key(), key->modifiers())) return false;
    key->accept();
    return true;
  }
};

bool IsEnter(int key) { return key == Qt::Key_Return || key == Qt::Key_Enter; }

bool NoShiftCtrlAlt(Qt::KeyboardModifiers modifiers) {
  return !(modifiers & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier));
}

}  // namespace

TXiButton::TXiButton(const QString& caption, QWidget* parent) : QAbstractButton(parent) {
  setText(caption);
  resize(75, 25);
  // A Tab stop; the mouse gives the focus only through a left press (below),
  // so a right or middle click leaves it where it is.
  setFocusPolicy(Qt::TabFocus);
  setAttribute(Qt::WA_OpaquePaintEvent);
  SetColorScheme(csNeoDesert);
  // A new button lightens towards white in its hot, pressed and disabled looks.
  FColors[7] = FColors[13] = FColors[19] = 0xFFFFFF;
}

TXiButton::~TXiButton() = default;

void TXiButton::SetAction(QAction* action) {
  if (FAction) {
    disconnect(FActionChanged);
    disconnect(FActionTrigger);
  }
  FAction = action;
  if (!action) return;
  auto follow = [this] {
    if (!FAction) return;
    setEnabled(FAction->isEnabled());
    // The action's hint is its status tip: a tool tip that was set empty
    // reads back as the action's text, which is no hint.
    setToolTip(FAction->statusTip());
  };
  follow();
  FActionChanged = connect(action, &QAction::changed, this, follow);
  FActionTrigger = connect(this, &QAbstractButton::clicked, action, [this] {
    if (FAction) FAction->trigger();
  });
}

std::unique_ptr<TStringList> TXiButton::GetColorScheme() const {
  // Each look lists its inner edges light before dark.
  static constexpr const char* kRoles[6] = {"ColorFace", "ColorGrad", "ColorLight", "ColorDark", "ColorBorder",
                                            "ColorText"};
  static constexpr int kRoleIndex[6] = {0, 1, 3, 2, 4, 5};
  static constexpr const char* kLooks[4] = {"", "Over", "Down", "Disabled"};
  auto lines = std::make_unique<TStringList>();
  for (int look = 0; look < 4; ++look)
    for (int role = 0; role < 6; ++role)
      lines->Add(std::string(kLooks[look]) + kRoles[role] + ":= " + ColorToString(FColors[look * 6 + kRoleIndex[role]]) +
                 ";");
  lines->Add("ColorFocusRect:=  " + ColorToString(FColors[24]) + ";");
  return lines;
}

TColor TXiButton::Colors(int index) const { return index >= 0 && index < 25 ? FColors[index] : clNone; }

void TXiButton::SetColors(int index, TColor value) {
  if (index >= 0 && index < 25) FColors[index] = value;
  FColorScheme = csCustom;
  update();
}

void TXiButton::SetColorScheme(TColorScheme value) {
  if (value > csCustom) value = csCustom;
  if (value < csCustom) {
    for (int i = 0; i < 25; ++i)
      if (kSchemes[value][i] != kKeep) FColors[i] = kSchemes[value][i];
    FGradient = value <= csNeoSun;
  }
  FColorScheme = value;
  update();
}

void TXiButton::SetCtl3D(bool value) {
  FCtl3D = value;
  update();
}

void TXiButton::SetLayout(TButtonLayout value) {
  FLayout = value;
  update();
}

void TXiButton::SetGlyph(const QImage& glyph) {
  FGlyph = glyph;
  MakeDrawnGlyph();
  update();
}

void TXiButton::SetGlyph(const TBitmap& glyph) {
  if (glyph.Empty()) {
    SetGlyph(QImage());
    return;
  }
  TBitmap copy;
  copy.Assign(&glyph);
  copy.SetPixelFormat(pf24bit);
  QImage image(copy.Width(), copy.Height(), QImage::Format_RGB32);
  for (int y = 0; y < copy.Height(); ++y) {
    const uint8_t* row = copy.ScanLine(y);
    auto* out = reinterpret_cast<QRgb*>(image.scanLine(y));
    for (int x = 0; x < copy.Width(); ++x) out[x] = qRgb(row[3 * x + 2], row[3 * x + 1], row[3 * x]);
  }
  SetGlyph(image);
}

void TXiButton::SetSpacing(int value) {
  FSpacing = value;
  update();
}

void TXiButton::SetTransparentGlyph(bool value) {
  FTransparentGlyph = value;
  MakeDrawnGlyph();
  update();
}

void TXiButton::SetGradient(bool value) {
  FGradient = value;
  update();
}

void TXiButton::SetHotTrack(bool value) {
  FHotTrack = value;
  update();
}

void TXiButton::SetCancel(bool value) {
  FCancel = value;
  WatchDialogKeys();
}

void TXiButton::SetDefault(bool value) {
  FDefault = value;
  WatchDialogKeys();
}

void TXiButton::MakeDrawnGlyph() {
  if (FGlyph.isNull() || !FTransparentGlyph) {
    FDrawnGlyph = FGlyph;
    return;
  }
  FDrawnGlyph = FGlyph.convertToFormat(QImage::Format_ARGB32);
  const QRgb transparent = FDrawnGlyph.pixel(0, 0) | 0xFF000000u;
  for (int y = 0; y < FDrawnGlyph.height(); ++y) {
    auto* row = reinterpret_cast<QRgb*>(FDrawnGlyph.scanLine(y));
    for (int x = 0; x < FDrawnGlyph.width(); ++x)
      if ((row[x] | 0xFF000000u) == transparent) row[x] = 0;
  }
}

void TXiButton::Click() { click(); }

void TXiButton::nextCheckState() {
  if (FModalResult != mrNone)
    if (auto* dialog = qobject_cast<QDialog*>(window()); dialog && dialog != static_cast<QWidget*>(this))
      dialog->done(FModalResult == mrCancel ? int(QDialog::Rejected) : FModalResult);
  FState = bsNormal;
  repaint();
}

QSize TXiButton::sizeHint() const {
  int textWidth = fontMetrics().horizontalAdvance(text());
  int glyphWidth = FGlyph.isNull() ? 0 : FGlyph.width() + FSpacing;
  return QSize(std::max(75, textWidth + glyphWidth + 16), std::max(25, fontMetrics().height() + 10));
}

bool TXiButton::DialogKey(QWidget* window, int key, Qt::KeyboardModifiers modifiers) {
  if (!window || (!IsEnter(key) && key != Qt::Key_Escape)) return false;
  const QList<TXiButton*> buttons = window->findChildren<TXiButton*>();
  for (TXiButton* button : buttons) {
    if (button->window() != window || !button->isEnabled() || !button->isVisible()) continue;
    bool first = NoShiftCtrlAlt(modifiers) &&
                 ((IsEnter(key) && button->hasFocus()) || (key == Qt::Key_Escape && button->FCancel));
    bool second = button->FDefault && IsEnter(key);
    if (first || second) {
      button->Click();
      return true;
    }
  }
  return false;
}

void TXiButton::WatchDialogKeys() {
  QWidget* top = window();
  if (top == this || top->findChild<QObject*>(TDialogKeys::kName, Qt::FindDirectChildrenOnly)) return;
  top->installEventFilter(new TDialogKeys(top));
}

void TXiButton::SetLook(TBtnState state) {
  FState = state;
  repaint();
}

void TXiButton::MouseEntered() {
  FMouseInside = true;
  if (FHotTrack) SetLook(FMousePressed ? bsDown : bsOver);
}

void TXiButton::MouseLeft() {
  FMouseInside = false;
  SetLook(bsNormal);
}

void TXiButton::enterEvent(QEnterEvent*) { MouseEntered(); }

void TXiButton::leaveEvent(QEvent*) { MouseLeft(); }

void TXiButton::mousePressEvent(QMouseEvent* event) {
  event->accept();
  // Another button's press changes nothing on the button, not even a repaint.
  if (event->button() != Qt::LeftButton) return;
  FMousePressed = true;
  FMouseInside = true;
  FState = bsDown;
  QPointer<TXiButton> alive(this);
  if (focusPolicy() & Qt::TabFocus) setFocus(Qt::MouseFocusReason);
  if (alive) repaint();
}

void TXiButton::mouseMoveEvent(QMouseEvent* event) {
  // While a button is held Qt reports no crossing, so test it here.
  if (!FMousePressed) return;
  bool inside = rect().contains(event->position().toPoint());
  if (inside && !FMouseInside) MouseEntered();
  if (!inside && FMouseInside) MouseLeft();
}

void TXiButton::mouseReleaseEvent(QMouseEvent* event) {
  event->accept();
  const QPoint at = event->position().toPoint();
  QPointer<TXiButton> alive(this);
  if (event->button() == Qt::LeftButton && FMousePressed && rect().contains(at)) Click();
  if (!alive) return;
  FMousePressed = false;
  // Column 0 and row 0 count as outside.
  if (at.x() > 0 && at.x() < width() && at.y() > 0 && at.y() < height()) FState = FHotTrack ? bsOver : bsNormal;
  repaint();
}

void TXiButton::keyPressEvent(QKeyEvent* event) {
  QPointer<TXiButton> alive(this);
  const int key = event->key();
  if (key == Qt::Key_Space) {
    if (!event->isAutoRepeat()) FState = bsDown;
  } else if (IsEnter(key)) {
    // The focused button takes a plain Enter; with Shift, Ctrl or Alt the
    // window's default button has it first.
    if (NoShiftCtrlAlt(event->modifiers()) || !DialogKey(window(), key, event->modifiers())) Click();
  } else if (key == Qt::Key_Escape) {
    if (!DialogKey(window(), key, event->modifiers())) {
      event->ignore();
      return;
    }
  } else {
    event->ignore();
  }
  if (alive) repaint();
}

void TXiButton::keyReleaseEvent(QKeyEvent* event) {
  if (event->key() != Qt::Key_Space || event->isAutoRepeat()) {
    event->ignore();
    return;
  }
  SetLook(bsNormal);
  Click();
}

void TXiButton::focusInEvent(QFocusEvent* event) {
  QWidget::focusInEvent(event);
  update();
}

void TXiButton::focusOutEvent(QFocusEvent* event) {
  QWidget::focusOutEvent(event);
  FState = bsNormal;
  update();
}

void TXiButton::changeEvent(QEvent* event) {
  QAbstractButton::changeEvent(event);
  // A disabled button gets no release: the press it was in ends here (the
  // pressed look stays, in the disabled colours).
  if (event->type() == QEvent::EnabledChange && !isEnabled()) FMousePressed = false;
  if (event->type() == QEvent::EnabledChange || event->type() == QEvent::FontChange) update();
  if (event->type() == QEvent::ParentChange && isVisible()) WatchDialogKeys();
}

void TXiButton::showEvent(QShowEvent* event) {
  QAbstractButton::showEvent(event);
  WatchDialogKeys();
}

bool TXiButton::event(QEvent* event) {
  if (event->type() == QEvent::Shortcut) {
    // The caption's accelerator clicks at once.
    if (static_cast<QShortcutEvent*>(event)->isAmbiguous())
      setFocus(Qt::ShortcutFocusReason);
    else if (isEnabled())
      Click();
    return true;
  }
  return QAbstractButton::event(event);
}

void TXiButton::GradientFillRect(QPainter& canvas, const QRect& rect, TColor start, TColor end) {
  GradientFill(canvas, rect, start, end, gdVertical);
}

void TXiButton::paintEvent(QPaintEvent*) {
  const int w = width(), h = height();
  int base = FState == bsOver ? 6 : FState == bsDown ? 12 : 0;
  if (!isEnabled()) base = 18;
  const TColor face = FColors[base], grad = FColors[base + 1], dark = FColors[base + 2],
               light = FColors[base + 3], border = FColors[base + 4], textColor = FColors[base + 5];

  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing, false);
  painter.fillRect(0, 0, w, h, ToQColor(face));
  if (FGradient) GradientFillRect(painter, rect(), face, grad);

  // Caption and glyph places; div truncates toward zero as C++ does.
  const QFontMetrics metrics(font());
  const QString caption = text();
  const int tw = metrics.horizontalAdvance(caption), th = metrics.height();
  int textLeft = (w - tw) / 2, textTop = (h - th) / 2;
  const int pressed = FState == bsDown ? 1 : 0;
  if (!FGlyph.isNull()) {
    const int gw = FGlyph.width(), gh = FGlyph.height();
    const bool gap = !caption.isEmpty();
    const int half = FSpacing / 2 + FSpacing % 2;
    int glyphLeft = 0, glyphTop = 0, left = textLeft, top = textTop;
    switch (FLayout) {
      case blGlyphLeft:
        glyphLeft = textLeft - gw / 2;
        glyphTop = (h - gh) / 2;
        left += gw / 2;
        if (gap) glyphLeft -= half, left += FSpacing / 2;
        break;
      case blGlyphRight:
        glyphLeft = textLeft + tw - gw / 2;
        glyphTop = (h - gh) / 2;
        left += (-gw) / 2;
        if (gap) glyphLeft += half, left += (-FSpacing) / 2;
        break;
      case blGlyphTop:
        glyphLeft = (w - gw) / 2;
        glyphTop = textTop - gh / 2 - gh % 2;
        top += gh / 2;
        if (gap) glyphTop -= half, top += FSpacing / 2;
        break;
      case blGlyphBottom:
        glyphLeft = (w - gw) / 2;
        glyphTop = textTop + th - gh / 2;
        top += (-gh) / 2;
        if (gap) glyphTop += half, top += (-FSpacing) / 2;
        break;
    }
    textLeft = left;
    textTop = top;
    painter.drawImage(glyphLeft + pressed, glyphTop + pressed, FDrawnGlyph);
  }
  if (!caption.isEmpty()) {
    painter.setPen(ToQColor(textColor));
    painter.drawText(QRect(textLeft + pressed, textTop + pressed, tw, th),
                     Qt::AlignCenter | Qt::TextSingleLine | Qt::TextShowMnemonic | Qt::TextDontClip, caption);
  }

  // Outline, inner edges and focus rectangle, as half-open pixel runs.
  const QColor outline = ToQColor(border);
  painter.fillRect(0, 0, w, 1, outline);
  painter.fillRect(0, h - 1, w, 1, outline);
  painter.fillRect(0, 0, 1, h, outline);
  painter.fillRect(w - 1, 0, 1, h, outline);
  if (FCtl3D && w > 3 && h > 3) {
    const QColor upper = ToQColor(light), lower = ToQColor(dark);
    painter.fillRect(1, 2, 1, h - 3, upper);      // (1, h-2) up to (1, 2)
    painter.fillRect(1, 1, w - 2, 1, upper);      // (1, 1) on to (w-2, 1)
    painter.fillRect(w - 2, 1, 1, h - 3, lower);  // (w-2, 1) down to (w-2, h-3)
    painter.fillRect(2, h - 2, w - 3, 1, lower);  // (w-2, h-2) back to (2, h-2)
  }
  if (hasFocus() && w > 7 && h > 7) {
    const QColor focus = ToQColor(FColors[24]);
    painter.fillRect(3, 3, w - 6, 1, focus);
    painter.fillRect(3, h - 4, w - 6, 1, focus);
    painter.fillRect(3, 3, 1, h - 6, focus);
    painter.fillRect(w - 4, 3, 1, h - 6, focus);
  }
}
