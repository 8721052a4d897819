// The flat group box: its frame and the caption breaking it.
#include <QtTest>

#include "controls/xpgroupbox.h"
#include "platform/windows/colors.h"
#include "tests/controls/controllooks.h"
#include "tests/support/windowtest.h"

namespace {

// How many pixels of the frame's top edge (between the rounded corners)
// have the border colour.
int TopEdgeBorderPixels(TXPGroupBox& box) {
  const QImage image = box.grab().toImage();
  const int y = box.fontMetrics().height() / 2;
  int count = 0;
  for (int x = 20; x < box.width() - 20; ++x) count += image.pixelColor(x, y) == ToQColor(box.BorderColor());
  return count;
}

}  // namespace

class TestXPGroupBox : public QObject {
  Q_OBJECT

 private slots:
  // A new box's settings, and the ranges its setters keep.
  void defaultsAndLimits() {
    TXPGroupBox box;
    QCOMPARE(box.size(), QSize(185, 105));
    QCOMPARE(QList<TColor>({box.Color(), box.BorderColor(), box.FontColor()}),
             QList<TColor>({clBtnFace, 0xB8D8D7, 0xD05300}));
    QCOMPARE(QList<int>({box.BorderWidth(), box.CornersOffset(), box.CaptionOffset(), box.CaptionAlignment()}),
             QList<int>({1, 10, 10, caLeft}));
    QCOMPARE(box.focusPolicy(), Qt::NoFocus);
    const std::pair<int, int> widths[] = {{0, 1}, {25, 10}, {10, 10}, {4, 4}};
    for (auto [set, kept] : widths) {
      box.SetBorderWidth(set);
      QCOMPARE(box.BorderWidth(), kept);
    }
    const std::pair<int, int> offsets[] = {{0, 1}, {40, 30}, {30, 30}, {7, 7}};
    for (auto [set, kept] : offsets) {
      box.SetCaptionOffset(set);
      box.SetCornersOffset(set);
      QCOMPARE(QList<int>({box.CaptionOffset(), box.CornersOffset()}), QList<int>({kept, kept}));
    }
  }

  // The background, the frame and the caption in their colours: the
  // defaults, colours of our own and the main window's (frame and ground
  // in the info colour); the box has no looks, so the pointer, a press,
  // the focus or being disabled change nothing.
  void everyLookPaintsTheSameColours() {
    TLookWindow window;
    QVERIFY(window.Shown);
    const struct {
      const char* Name;
      TColor Back, Border, Caption;
    } colours[] = {{"defaults", clBtnFace, 0xB8D8D7, 0xD05300},
                   {"own colours", 0xE0F0FF, 0x804000, 0x2020A0},
                   {"info colour", clInfoBk, clInfoBk, 0xD05300}};
    for (const auto& c : colours)
      for (TLook look : kAllLooks) {
        auto* box = new TXPGroupBox("Target format", window.Window());
        box->setGeometry(10, 10, 185, 105);
        box->SetColor(c.Back);
        box->SetBorderColor(c.Border);
        box->SetFontColor(c.Caption);
        const QFontMetrics metrics(box->font());
        TPixelCheck check(window.Shot(box, look, QPoint(92, 52)),
                          QString("%1, %2").arg(c.Name, LookName(look)));
        const TColor back = FromQColor(ToQColor(c.Back)), border = FromQColor(ToQColor(c.Border));
        const int top = metrics.height() / 2, captionWidth = metrics.horizontalAdvance("Target format");
        for (QPoint p : {QPoint(92, 52), QPoint(0, 0), QPoint(184, 0), QPoint(150, top - 1), QPoint(1, 52),
                         QPoint(183, 52), QPoint(92, 103), QPoint(150, top + 1)})
          check.At(p, back, "background");
        for (QPoint p : {QPoint(0, 52), QPoint(184, 52), QPoint(92, 104), QPoint(150, top), QPoint(175, top)})
          check.At(p, border, "frame");
        check.That(10 + captionWidth < 140, "a caption that leaves the top edge from column 140 on");
        const TColor caption = Darkest(check.Image(), QRect(12, 0, captionWidth - 4, metrics.height()));
        check.That(CaptionIs(caption, c.Caption), QString("caption %1").arg(caption, 6, 16));
        VERIFY_PIXELS(check);
      }
  }

  void frameAndCaption() {
    TXPGroupBox box;
    box.resize(185, 105);
    box.SetColor(clInfoBk);
    box.SetBorderWidth(3);
    const QImage image = box.grab().toImage();
    const QColor edge = ToQColor(0xB8D8D7);
    const int middle = box.height() / 2;
    QCOMPARE(image.pixelColor(1, middle), edge);  // the outer half of the pen is cut
    QCOMPARE(image.pixelColor(2, middle), ToQColor(clInfoBk));
    // No caption: the top edge is whole; a caption breaks it.
    const int whole = TopEdgeBorderPixels(box);
    QCOMPARE(whole, box.width() - 40);
    box.SetCaption("Target format");
    const int broken = TopEdgeBorderPixels(box);
    QVERIFY(broken < whole - 20);    // Right-aligned, the caption ends CaptionOffset pixels from the right.

    box.SetCaptionAlignment(caRight);
    const QImage right = box.grab().toImage();
    const int y = box.fontMetrics().height() / 2;
    const int captionLeft = box.width() - 10 - box.fontMetrics().horizontalAdvance("Target format");
    for (int x = 20; x < captionLeft - 1; ++x) QCOMPARE(right.pixelColor(x, y), edge);
    QCOMPARE(right.pixelColor(box.width() - 7, y), edge);
    QCOMPARE(TopEdgeBorderPixels(box), broken);
  }
};

WINDOW_TEST_MAIN(TestXPGroupBox)
#include "tst_xpgroupbox.moc"
