// The flat group box: its frame and the caption breaking it.
#include <QtTest>

#include "controls/xpgroupbox.h"
#include "platform/windows/colors.h"
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
