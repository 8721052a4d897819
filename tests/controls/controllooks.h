// What the control tests share to check the colours a control paints in
// each of its looks: the looks put on by the user's own events in a shown
// window, a gradient line worked out as the looks were designed, and a
// checker that gathers every pixel that is not as expected.
#pragma once

#include <QImage>
#include <QStringList>
#include <QWidget>
#include <QtTest>
#include <algorithm>
#include <cmath>

#include "platform/graphics/gdi.h"
#include "platform/windows/colors.h"
#include "tests/support/windowtest.h"

enum TLook { lkNormal, lkHot, lkPressed, lkFocused, lkDisabled, lkSpaceHeld };
constexpr TLook kAllLooks[] = {lkNormal, lkHot, lkPressed, lkFocused, lkDisabled};
// The looks of a control that Space presses as well.
constexpr TLook kPressableLooks[] = {lkNormal, lkHot, lkPressed, lkSpaceHeld, lkFocused, lkDisabled};

inline const char* LookName(TLook look) {
  static const char* const names[] = {"normal", "hot", "pressed", "focused", "disabled", "Space held"};
  return names[look];
}

// A shown, active window that holds the controls under test, one look at a
// time.
class TLookWindow {
 public:
  TLookWindow() {
    FWindow.resize(400, 260);
    Shown = ShowActive(FWindow);
  }
  QWidget* Window() { return &FWindow; }

  // The pointer to the window's bottom-right corner, where no control is.
  void PointerAway() { QTest::mouseMove(&FWindow, QPoint(FWindow.width() - 1, FWindow.height() - 1)); }

  // Shows the control (a child of the window, already placed) in the look
  // and grabs it: the pointer moved onto `at` (hot), the left button
  // pressed there (pressed, let go again after the grab), the focus given
  // (focused), the control disabled with the pointer over it (disabled), or
  // Space held down on it (let go after the grab); the pointer stays away
  // otherwise.
  QImage Grab(QWidget* control, TLook look, QPoint at) {
    PointerAway();
    control->show();
    switch (look) {
      case lkNormal: break;
      case lkHot: QTest::mouseMove(control, at); break;
      case lkPressed:
        QTest::mouseMove(control, at);
        QTest::mousePress(control, Qt::LeftButton, {}, at);
        break;
      case lkFocused: control->setFocus(Qt::TabFocusReason); break;
      case lkDisabled:
        control->setEnabled(false);
        QTest::mouseMove(control, at);
        break;
      case lkSpaceHeld:
        control->setFocus(Qt::TabFocusReason);
        QTest::keyPress(control, Qt::Key_Space);
        break;
    }
    const QImage image = control->grab().toImage().convertToFormat(QImage::Format_RGB32);
    if (look == lkPressed) QTest::mouseRelease(control, Qt::LeftButton, {}, at);
    if (look == lkSpaceHeld) QTest::keyRelease(control, Qt::Key_Space);
    PointerAway();
    return image;
  }

  // The same, for a control made for the one look: it is deleted after.
  QImage Shot(QWidget* control, TLook look, QPoint at = {}) {
    const QImage image = Grab(control, look, at);
    delete control;
    return image;
  }

  bool Shown = false;

 private:
  QWidget FWindow;
};

// Line i of a two-colour gradient of n steps: per channel a running value
// that starts at the start byte and gains (end - start) / n with each line,
// rounded to the nearest integer, halves to even.
inline TColor GradientLine(TColor start, TColor end, int n, int i) {
  TColor colour = 0;
  for (int shift : {0, 8, 16}) {
    const int from = (start >> shift) & 0xFF, to = (end >> shift) & 0xFF;
    const double step = (to - from) / double(n);
    double value = from;
    for (int line = 0; line < i; ++line) value += step;
    colour |= TColor(int(std::nearbyint(value)) & 0xFF) << shift;
  }
  return colour;
}

inline TColor PixelOf(const QImage& image, QPoint at) { return FromQColor(image.pixelColor(at)); }

// The darkest pixel of the area (by the sum of its channels): where a
// caption is drawn in a colour darker than its ground, its solid strokes.
inline TColor Darkest(const QImage& image, const QRect& area) {
  TColor darkest = 0xFFFFFF;
  int least = 3 * 255 + 1;
  for (int y = area.top(); y <= area.bottom(); ++y)
    for (int x = area.left(); x <= area.right(); ++x) {
      const QColor c = image.pixelColor(x, y);
      if (c.red() + c.green() + c.blue() < least) least = c.red() + c.green() + c.blue(), darkest = FromQColor(c);
    }
  return darkest;
}

// Whether a caption's darkest pixel shows the caption's colour: its solid
// strokes have it, give or take the smoothing of the glyphs' edges.
inline bool CaptionIs(TColor darkest, TColor expected) {
  for (int shift : {0, 8, 16})
    if (std::abs(int((darkest >> shift) & 0xFF) - int((expected >> shift) & 0xFF)) > 8) return false;
  return true;
}

// What the pictures of the check box and radio button are drawn in, by the
// colour words their looks are described with.
inline int Red(TColor c) { return c & 0xFF; }
inline int Green(TColor c) { return (c >> 8) & 0xFF; }
inline int Blue(TColor c) { return (c >> 16) & 0xFF; }
inline int Brightness(TColor c) { return Red(c) + Green(c) + Blue(c); }
inline bool IsGreen(TColor c) { return Green(c) > Red(c) + 40 && Green(c) > Blue(c) + 40; }
inline bool IsOrange(TColor c) { return Red(c) > Blue(c) + 64 && Green(c) > Blue(c); }
inline bool IsGreyish(TColor c) {
  return std::max({Red(c), Green(c), Blue(c)}) - std::min({Red(c), Green(c), Blue(c)}) <= 48;
}
inline bool IsDarkBlue(TColor c) { return Blue(c) > Red(c) + 40 && Brightness(c) < 3 * 128; }

// Gathers what is wrong with a grabbed look, to report it all at once.
class TPixelCheck {
 public:
  TPixelCheck(const QImage& image, const QString& what) : FImage(image), FWhat(what) {}
  // The control as it looks now.
  TPixelCheck(QWidget* control, const QString& what)
      : TPixelCheck(control->grab().toImage().convertToFormat(QImage::Format_RGB32), what) {}

  // The pixel at `at` has the colour.
  void At(QPoint at, TColor expected, const char* role) {
    const TColor found = PixelOf(FImage, at);
    if (found != expected)
      FFailures << QString("%1 at (%2, %3): %4, not %5")
                       .arg(role)
                       .arg(at.x())
                       .arg(at.y())
                       .arg(found, 6, 16, QChar('0'))
                       .arg(expected, 6, 16, QChar('0'));
  }
  void That(bool ok, const QString& failure) {
    if (!ok) FFailures << failure;
  }
  TColor Pixel(QPoint at) const { return PixelOf(FImage, at); }
  const QImage& Image() const { return FImage; }

  bool Ok() const { return FFailures.isEmpty(); }
  QByteArray Report() const { return (FWhat + ": " + FFailures.join("; ")).toUtf8(); }

 private:
  QImage FImage;
  QString FWhat;
  QStringList FFailures;
};

// Around the 13 x 13 box of a check box or radio button on the left of a
// control 17 pixels high (the box in rows 2-14): the control's colour above
// and below the box and between it and the caption, and the dotted focus
// rectangle's left edge in column 17 while focused, nothing there otherwise.
inline void CheckFlagSurroundings(TPixelCheck& check, TColor back, bool focused) {
  for (QPoint p : {QPoint(0, 0), QPoint(6, 1), QPoint(12, 15), QPoint(6, 16), QPoint(14, 8), QPoint(15, 3)})
    check.At(p, back, "background");
  int marks = 0, adjacent = 0;
  for (int y = 0; y < 17; ++y)
    if (check.Pixel(QPoint(17, y)) != back) {
      ++marks;
      if (y > 0 && check.Pixel(QPoint(17, y - 1)) != back) ++adjacent;
    }
  if (focused)
    check.That(marks >= 4 && adjacent == 0,
               QString("a dotted focus edge in column 17, not %1 marks with %2 joined").arg(marks).arg(adjacent));
  else
    check.That(marks == 0, QString("no focus edge, but %1 marks in column 17").arg(marks));
}

// Fails the test with every finding of the check.
#define VERIFY_PIXELS(check) QVERIFY2((check).Ok(), (check).Report().constData())
