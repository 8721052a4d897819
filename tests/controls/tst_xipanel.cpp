// The gradient panel: gradient ends, bevel rings and schemes, checked on
// grabbed pixels.
#include <QtTest>

#include "controls/xigradient.h"
#include "controls/xipanel.h"
#include "platform/windows/colors.h"
#include "tests/support/windowtest.h"

namespace {

TColor PixelOf(const QImage& image, int x, int y) { return FromQColor(image.pixelColor(x, y)); }

}  // namespace

class TestXiPanel : public QObject {
  Q_OBJECT

 private slots:
  void defaultPanel() {
    TXiPanel panel;
    panel.resize(100, 40);
    QCOMPARE(panel.ColorScheme(), TXiPanel::csDesert);
    QImage image = panel.grab().toImage();
    // One raised ring: light left and top (with the bottom-left corner),
    // dark right and bottom (with the top-right corner).
    const TColor light = 0x008FD5, dark = 0x00699B;
    QCOMPARE(PixelOf(image, 0, 20), light);
    QCOMPARE(PixelOf(image, 50, 0), light);
    QCOMPARE(PixelOf(image, 0, 39), light);
    QCOMPARE(PixelOf(image, 99, 20), dark);
    QCOMPARE(PixelOf(image, 50, 39), dark);
    QCOMPARE(PixelOf(image, 99, 0), dark);
    // White to A4E1FF over 40 rows.
    QCOMPARE(PixelOf(image, 50, 1), RGB(255, 254, 253));

    panel.SetBevelOuter(TXiPanel::bvNone);
    image = panel.grab().toImage();
    QCOMPARE(PixelOf(image, 0, 0), TColor(0xFFFFFF));
    QCOMPARE(PixelOf(image, 50, 39), RGB(255, 226, 166));

    // A lowered ring swaps the colours; bvSpace inside no outer bevel
    // gives one raised ring at the edge.
    panel.SetBevelOuter(TXiPanel::bvLowered);
    image = panel.grab().toImage();
    QCOMPARE(PixelOf(image, 0, 20), dark);
    QCOMPARE(PixelOf(image, 99, 20), light);
    panel.SetBevelOuter(TXiPanel::bvNone);
    panel.SetBevelInner(TXiPanel::bvSpace);
    image = panel.grab().toImage();
    QCOMPARE(PixelOf(image, 0, 20), light);
    QCOMPARE(PixelOf(image, 99, 20), dark);
    QCOMPARE(PixelOf(image, 1, 20), PixelOf(image, 50, 20));

    // Width 3, both bevels raised: six rings, then the gradient.
    panel.SetBevelOuter(TXiPanel::bvRaised);
    panel.SetBevelInner(TXiPanel::bvRaised);
    panel.SetBevelWidth(3);
    image = panel.grab().toImage();
    for (int ring = 0; ring < 6; ++ring) {
      QCOMPARE(PixelOf(image, ring, 20), light);
      QCOMPARE(PixelOf(image, 99 - ring, 20), dark);
    }
    QCOMPARE(PixelOf(image, 6, 20), PixelOf(image, 50, 20));
  }

  void fillsAndSchemes() {
    TXiPanel panel;
    panel.resize(100, 40);
    panel.SetBevelOuter(TXiPanel::bvNone);
    panel.SetColorFace(0x0000FF);
    panel.SetColorGrad(0xFF0000);
    QCOMPARE(panel.ColorScheme(), TXiPanel::csCustom);

    panel.SetFillDirection(TXiPanel::fdHorizontal);
    QImage image = panel.grab().toImage();
    QCOMPARE(PixelOf(image, 0, 20), TColor(0x0000FF));
    QCOMPARE(PixelOf(image, 99, 20), RGB(3, 0, 252));  // column 99 of 100

    // Diagonal: 141 lines along x + y; column 0, which no line reaches,
    // has the start colour instead of whatever was there.
    panel.SetFillDirection(TXiPanel::fdDiagonal);
    image = panel.grab().toImage();
    QCOMPARE(PixelOf(image, 0, 39), TColor(0x0000FF));
    QCOMPARE(PixelOf(image, 1, 0), RGB(253, 0, 2));
    QCOMPARE(PixelOf(image, 99, 39), RGB(4, 0, 251));
    QCOMPARE(PixelOf(image, 60, 10), PixelOf(image, 40, 30));

    // System colours are resolved before the gradient splits them.
    panel.SetFillDirection(TXiPanel::fdVertical);
    panel.SetColorFace(clBtnFace);
    image = panel.grab().toImage();
    QCOMPARE(PixelOf(image, 50, 0), FromQColor(ToQColor(clBtnFace)));

    // A named scheme restores all four colours.
    panel.SetColorScheme(TXiPanel::csGrass);
    QCOMPARE(panel.ColorGrad(), TColor(0xB0F2CB));
    panel.SetColors(7, 0x123456);  // names no colour: only the scheme changes
    QCOMPARE(panel.ColorScheme(), TXiPanel::csCustom);
    QCOMPARE(panel.ColorGrad(), TColor(0xB0F2CB));

    // A gradient with no extent is the start colour throughout.
    for (const QColor& line : GradientColors(0x0000FF, clBtnFace, 0, 3)) QCOMPARE(line, QColor(255, 0, 0));

    // Panels with no extent in their direction paint without trouble.
    for (auto direction : {TXiPanel::fdHorizontal, TXiPanel::fdVertical, TXiPanel::fdDiagonal})
      for (QSize size : {QSize(0, 10), QSize(10, 0), QSize(1, 1)}) {
        panel.SetFillDirection(direction);
        panel.resize(size);
        panel.grab();
      }
  }
};

WINDOW_TEST_MAIN(TestXiPanel)
#include "tst_xipanel.moc"
