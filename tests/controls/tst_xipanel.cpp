// The gradient panel: bevel rings and gradients, checked on grabbed pixels.
#include <QtTest>

#include "controls/xigradient.h"
#include "controls/xipanel.h"
#include "platform/windows/colors.h"
#include "tests/support/windowtest.h"

static TColor PixelOf(const QImage& image, int x, int y) { return FromQColor(image.pixelColor(x, y)); }

class TestXiPanel : public QObject {
  Q_OBJECT

 private slots:
  void bevels() {
    TXiPanel panel;
    panel.resize(100, 40);
    // One raised ring: light left and bottom-left corner, dark right and
    // top-right corner; the face runs from white to A4E1FF.
    const TColor light = 0x008FD5, dark = 0x00699B;
    QImage image = panel.grab().toImage();
    QCOMPARE(PixelOf(image, 0, 39), light);
    QCOMPARE(PixelOf(image, 99, 0), dark);
    QCOMPARE(PixelOf(image, 50, 1), RGB(255, 254, 253));
    // bvSpace inside no outer bevel is one raised ring at the edge.
    panel.SetBevelOuter(TXiPanel::bvNone);
    panel.SetBevelInner(TXiPanel::bvSpace);
    image = panel.grab().toImage();
    QCOMPARE(PixelOf(image, 0, 20), light);
    QCOMPARE(PixelOf(image, 1, 20), PixelOf(image, 50, 20));
    // Width 3, both bevels raised: six rings, then the gradient.
    panel.SetBevelOuter(TXiPanel::bvRaised);
    panel.SetBevelInner(TXiPanel::bvRaised);
    panel.SetBevelWidth(3);
    image = panel.grab().toImage();
    QCOMPARE(PixelOf(image, 5, 20), light);
    QCOMPARE(PixelOf(image, 94, 20), dark);
    QCOMPARE(PixelOf(image, 6, 20), PixelOf(image, 50, 20));
  }

  void fills() {
    TXiPanel panel;
    panel.resize(100, 40);
    panel.SetBevelOuter(TXiPanel::bvNone);
    panel.SetColorFace(0x0000FF);
    panel.SetColorGrad(0xFF0000);
    panel.SetFillDirection(TXiPanel::fdHorizontal);
    QCOMPARE(PixelOf(panel.grab().toImage(), 99, 20), RGB(3, 0, 252));  // column 99 of 100
    // Diagonal: 141 lines along x + y; column 0, which no line reaches,
    // has the start colour.
    panel.SetFillDirection(TXiPanel::fdDiagonal);
    QImage image = panel.grab().toImage();
    QCOMPARE(PixelOf(image, 0, 39), TColor(0x0000FF));
    QCOMPARE(PixelOf(image, 99, 39), RGB(4, 0, 251));
    QCOMPARE(PixelOf(image, 60, 10), PixelOf(image, 40, 30));
    // System colours are resolved before the gradient splits them.
    panel.SetFillDirection(TXiPanel::fdVertical);
    panel.SetColorFace(clBtnFace);
    QCOMPARE(PixelOf(panel.grab().toImage(), 50, 0), FromQColor(ToQColor(clBtnFace)));
    // A gradient with no extent is the start colour throughout, and panels
    // with no extent paint without trouble.
    for (const QColor& line : GradientColors(0x0000FF, clBtnFace, 0, 3)) QCOMPARE(line, QColor(255, 0, 0));
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
