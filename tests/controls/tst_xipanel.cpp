// The gradient panel: bevel rings and gradients, checked on grabbed pixels.
#include <QPainter>
#include <QtTest>

#include "controls/xigradient.h"
#include "controls/xipanel.h"
#include "platform/windows/colors.h"
#include "tests/controls/controllooks.h"
#include "tests/support/windowtest.h"

static TColor PixelOf(const QImage& image, int x, int y) { return FromQColor(image.pixelColor(x, y)); }

// Every scheme's colours as written down (face, grad, light, dark), then
// colours of our own.
const struct {
  const char* Name;
  TXiPanel::TColorScheme Scheme;
  TColor Colors[4];
} kPanelSchemes[] = {{"csDesert", TXiPanel::csDesert, {0xFFFFFF, 0xA4E1FF, 0x008FD5, 0x00699B}},
                     {"csGrass", TXiPanel::csGrass, {0xFFFFFF, 0xB0F2CB, 0x3EB56A, 0x156F37}},
                     {"csSilver", TXiPanel::csSilver, {0xFFFFFF, 0xDAE0DE, 0x7D7D7D, 0x626262}},
                     {"csSky", TXiPanel::csSky, {0xFFFFFF, 0xFFE0C1, 0xF0964D, 0xB35900}},
                     {"csRose", TXiPanel::csRose, {0xFFFFFF, 0xCCCCFF, 0x0651CC, 0x00009D}},
                     {"csSun", TXiPanel::csSun, {0xFFFFFF, 0xBFFFFF, 0x009595, 0x006464}},
                     {"own colours", TXiPanel::csCustom, {0x2040C0, 0xC0E0F0, 0x80FF80, 0x400040}}};

// A 100 x 40 panel's ring and vertical gradient: the ring's left and top
// edges (with the bottom-left corner) in `topLeft`, its right and bottom
// edges (with the top-right corner) in `bottomRight`; 40 rows from face
// towards grad, the ring covering the first and the last. Without a ring
// the first row is the face and the last one step short of grad.
void CheckPanel(TPixelCheck& check, TColor face, TColor grad, TColor topLeft, TColor bottomRight, bool ring = true) {
  for (QPoint p : {QPoint(0, 20), QPoint(50, 0), QPoint(0, 0), QPoint(0, 39), QPoint(98, 0)})
    check.At(p, ring ? topLeft : GradientLine(face, grad, 40, p.y()), "top-left edge");
  for (QPoint p : {QPoint(99, 0), QPoint(99, 20), QPoint(50, 39), QPoint(1, 39), QPoint(99, 39)})
    check.At(p, ring ? bottomRight : GradientLine(face, grad, 40, p.y()), "bottom-right edge");
  for (int y : {1, 20, 38}) check.At(QPoint(50, y), GradientLine(face, grad, 40, y), "gradient");
}

class TestXiPanel : public QObject {
  Q_OBJECT

 private slots:
  // Every scheme's four colours; a new panel is the desert one, raised,
  // filled from top to bottom.
  void schemesAndDefaults() {
    const struct {
      TXiPanel::TColorScheme Scheme;
      TColor Colors[4];  // face, grad, light, dark
    } schemes[] = {{TXiPanel::csDesert, {0xFFFFFF, 0xA4E1FF, 0x008FD5, 0x00699B}},
                   {TXiPanel::csGrass, {0xFFFFFF, 0xB0F2CB, 0x3EB56A, 0x156F37}},
                   {TXiPanel::csSilver, {0xFFFFFF, 0xDAE0DE, 0x7D7D7D, 0x626262}},
                   {TXiPanel::csSky, {0xFFFFFF, 0xFFE0C1, 0xF0964D, 0xB35900}},
                   {TXiPanel::csRose, {0xFFFFFF, 0xCCCCFF, 0x0651CC, 0x00009D}},
                   {TXiPanel::csSun, {0xFFFFFF, 0xBFFFFF, 0x009595, 0x006464}}};
    for (const auto& row : schemes) {
      TXiPanel panel;
      for (int i = 0; i < 4; ++i) panel.SetColors(i, 0x123456);
      QCOMPARE(panel.ColorScheme(), TXiPanel::csCustom);
      panel.SetColorScheme(row.Scheme);
      QCOMPARE(panel.ColorScheme(), row.Scheme);
      for (int i = 0; i < 4; ++i)
        QVERIFY2(panel.Colors(i) == row.Colors[i], qPrintable(QString("scheme %1, colour %2").arg(row.Scheme).arg(i)));
    }
    TXiPanel fresh;
    QCOMPARE(fresh.ColorScheme(), TXiPanel::csDesert);
    QCOMPARE(QList<TColor>({fresh.ColorFace(), fresh.ColorGrad(), fresh.ColorLight(), fresh.ColorDark()}),
             QList<TColor>({0xFFFFFF, 0xA4E1FF, 0x008FD5, 0x00699B}));
    QCOMPARE(QList<int>({fresh.FillDirection(), fresh.BevelOuter(), fresh.BevelInner(), fresh.BevelWidth(),
                         fresh.Alignment(), fresh.BorderStyle()}),
             QList<int>({TXiPanel::fdVertical, TXiPanel::bvRaised, TXiPanel::bvNone, 1, TXiPanel::taCenter,
                         TXiPanel::bsNone}));
    fresh.SetColorScheme(TXiPanel::csCustom);  // sets no colour
    QCOMPARE(fresh.ColorGrad(), TColor(0xA4E1FF));
  }

  // Every scheme and colours of our own: raised and lowered rings and the
  // gradient; a panel has no looks of its own, so the pointer, a press,
  // the focus or being disabled change nothing.
  void everySchemePaintsItsColours() {
    TLookWindow window;
    QVERIFY(window.Shown);
    for (const auto& row : kPanelSchemes) {
      const TColor face = row.Colors[0], grad = row.Colors[1], light = row.Colors[2], dark = row.Colors[3];
      auto make = [&] {
        auto* panel = new TXiPanel(window.Window());
        if (row.Scheme == TXiPanel::csCustom)
          for (int i = 0; i < 4; ++i) panel->SetColors(i, row.Colors[i]);
        else
          panel->SetColorScheme(row.Scheme);
        panel->setGeometry(10, 10, 100, 40);
        panel->setFocusPolicy(Qt::StrongFocus);
        return panel;
      };
      for (TLook look : kAllLooks) {
        TPixelCheck check(window.Shot(make(), look, QPoint(50, 20)), QString(row.Name) + " raised " + LookName(look));
        CheckPanel(check, face, grad, light, dark);
        VERIFY_PIXELS(check);
      }
      TXiPanel* panel = make();
      panel->SetBevelOuter(TXiPanel::bvLowered);
      TPixelCheck lowered(window.Grab(panel, lkNormal, {}), QString(row.Name) + " lowered");
      CheckPanel(lowered, face, grad, dark, light);
      VERIFY_PIXELS(lowered);
      panel->SetBevelOuter(TXiPanel::bvNone);
      panel->SetBevelInner(TXiPanel::bvLowered);
      TPixelCheck inner(window.Grab(panel, lkNormal, {}), QString(row.Name) + " lowered inside");
      CheckPanel(inner, face, grad, dark, light);
      VERIFY_PIXELS(inner);
      panel->SetBevelInner(TXiPanel::bvNone);
      TPixelCheck plain(window.Grab(panel, lkNormal, {}), QString(row.Name) + " without bevels");
      CheckPanel(plain, face, grad, light, dark, false);
      VERIFY_PIXELS(plain);
      delete panel;
    }
  }

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

  // A ring's edges and corners, with the bottom-left corner on either
  // edge (the panel's bevels put it on the left one, the edit box's frame
  // on the bottom one); what lies inside and outside stays.
  void rings() {
    for (TRingCorner corner : {rcLeftEdge, rcBottomEdge}) {
      QImage image(7, 6, QImage::Format_RGB32);
      image.fill(Qt::black);
      QPainter painter(&image);
      DrawRing(painter, QRect(1, 1, 5, 4), Qt::red, Qt::blue, corner);
      DrawRing(painter, QRect(0, 0, 0, 6), Qt::green, Qt::green, corner);  // empty
      painter.end();
      const QColor black(Qt::black), red(Qt::red), blue(Qt::blue);
      const QColor expected[6][7] = {
          {black, black, black, black, black, black, black},
          {black, red, red, red, red, blue, black},
          {black, red, black, black, black, blue, black},
          {black, red, black, black, black, blue, black},
          {black, corner == rcLeftEdge ? red : blue, blue, blue, blue, blue, black},
          {black, black, black, black, black, black, black}};
      for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 7; ++x) QCOMPARE(image.pixelColor(x, y), expected[y][x]);
    }
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
    // A rectangle away from the corner gets the same lines from its own
    // top-left corner, and nothing around it is painted.
    for (auto direction : {TXiPanel::fdHorizontal, TXiPanel::fdVertical, TXiPanel::fdDiagonal}) {
      QImage atCorner(7, 5, QImage::Format_RGB32), away(12, 9, QImage::Format_RGB32);
      atCorner.fill(Qt::black);
      away.fill(Qt::black);
      QPainter painter(&atCorner);
      TXiPanel::GradientFillRect(painter, QRect(0, 0, 7, 5), 0x0000FF, 0xFF8000, direction);
      painter.end();
      painter.begin(&away);
      TXiPanel::GradientFillRect(painter, QRect(3, 2, 7, 5), 0x0000FF, 0xFF8000, direction);
      painter.end();
      QImage expected(12, 9, QImage::Format_RGB32);
      expected.fill(Qt::black);
      painter.begin(&expected);
      painter.drawImage(3, 2, atCorner);
      painter.end();
      QCOMPARE(away, expected);
    }
  }
};

WINDOW_TEST_MAIN(TestXiPanel)
#include "tst_xipanel.moc"
