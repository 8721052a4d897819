// The gradient track bar: position rules, thumb geometry, dragging, ticks.
#include <QSignalSpy>
#include <QtTest>

#include "controls/xitrackbar.h"
#include "platform/windows/colors.h"
#include "tests/support/windowtest.h"

static int CountInRow(const QImage& image, int y, TColor color) {
  int count = 0;
  for (int x = 0; x < image.width(); ++x) count += FromQColor(image.pixelColor(x, y)) == color;
  return count;
}

class TestXiTrackBar : public QObject {
  Q_OBJECT

 private slots:
  void positionRulesAndSignals() {
    TXiTrackBar bar;
    QSignalSpy changes(&bar, &TXiTrackBar::OnChange);
    bar.SetPosition(7);
    bar.SetPosition(7);  // unchanged, still signalled
    QCOMPARE(changes.count(), 2);
    bar.SetPosition(50);
    QCOMPARE(bar.Position(), 10);
    // Min and Max pull Position in without a signal.
    bar.SetPosition(2);
    changes.clear();
    bar.SetMin(5);
    QCOMPARE(bar.Position(), 5);
    QCOMPARE(changes.count(), 0);

    // Max at or below Min: Max wins, the thumb sits at the start, one tick.
    bar.SetTickStyle(TXiTrackBar::tsAuto);
    bar.SetMax(2);
    bar.SetPosition(4);
    QCOMPARE(bar.Position(), 2);
    QCOMPARE(bar.ThumbOffset(), 0);
    QCOMPARE(CountInRow(bar.grab().toImage(), 27, bar.TickColor()), 1);
    bar.SetMin(-2147483647 - 1);  // the widest range does not overflow
    bar.SetMax(2147483647);
    bar.SetPosition(0);
    QCOMPARE(bar.ThumbOffset(), 45);
    // Bars too small for a thumb paint without trouble.
    for (QSize size : {QSize(100, 9), QSize(4, 28), QSize(0, 0), QSize(1, 1)}) {
      bar.resize(size);
      bar.SetPosition(3);
      bar.grab();
    }
  }

  void thumbFollowsPositionAndSize() {
    // Set up before it is ever shown, as the dialogs do; a layout's resize
    // moves the thumb with it.
    TXiTrackBar bar;
    bar.resize(200, 28);
    bar.SetPosition(5);
    QCOMPARE(bar.ThumbOffset(), 95);
    bar.resize(100, 28);
    QCOMPARE(bar.ThumbRect(), QRect(45, 4, 10, 20));
    // Painting never moves Position, even where the thumb's offset rounds
    // back to another position.
    bar.SetOrientation(TXiTrackBar::trVertical);
    bar.resize(36, 120);
    bar.SetMax(1000);
    bar.SetPosition(7);
    bar.grab();
    QCOMPARE(bar.Position(), 7);
  }

  void ticks() {
    struct TCase {
      TXiTrackBar::TTickStyle style;
      TXiTrackBar::TTickMark marks;
      int frequency, top, bottom;
    };
    // 0 ... 10 on a 100-pixel bar: automatic ticks every 3 steps fall on
    // 0, 3, 6, 9 and the end.
    const TCase cases[] = {
        {TXiTrackBar::tsNone, TXiTrackBar::tmBoth, 1, 0, 0},
        {TXiTrackBar::tsManual, TXiTrackBar::tmBottomRight, 1, 0, 2},
        {TXiTrackBar::tsAuto, TXiTrackBar::tmBottomRight, 3, 0, 5},
        {TXiTrackBar::tsAuto, TXiTrackBar::tmTopLeft, 0, 11, 0},
    };
    for (const TCase& c : cases) {
      TXiTrackBar bar;
      bar.SetTickStyle(c.style);
      bar.SetTickMarks(c.marks);
      bar.SetFrequency(c.frequency);
      const QImage image = bar.grab().toImage();
      QCOMPARE(CountInRow(image, 0, bar.TickColor()), c.top);
      QCOMPARE(CountInRow(image, 27, bar.TickColor()), c.bottom);
    }
    TXiTrackBar bar;
    bar.SetTickStyle(TXiTrackBar::tsAuto);
    bar.SetFrequency(3);
    for (int x : {5, 32, 59, 86, 95}) QCOMPARE(FromQColor(bar.grab().toImage().pixelColor(x, 26)), bar.TickColor());
    bar.setEnabled(false);
    QCOMPARE(CountInRow(bar.grab().toImage(), 27, bar.DisabledTickColor()), 5);
  }

  void dragging() {
    TXiTrackBar bar;
    bar.resize(210, 28);  // track length 200
    bar.SetMax(255);
    bar.show();
    QSignalSpy changes(&bar, &TXiTrackBar::OnChange);
    SendMouse(&bar, QEvent::MouseButtonPress, QPoint(5, 14), Qt::LeftButton);
    QCOMPARE(bar.ThumbState(), TXiTrackBar::bsDown);
    // The thumb snaps to the pixel of the rounded position; position 2 is
    // skipped.
    SendMouse(&bar, QEvent::MouseMove, QPoint(6, 14), Qt::LeftButton);
    QCOMPARE(bar.Position(), 1);
    SendMouse(&bar, QEvent::MouseMove, QPoint(7, 14), Qt::LeftButton);
    QCOMPARE(bar.Position(), 3);
    QCOMPARE(bar.ThumbOffset(), 2);
    SendMouse(&bar, QEvent::MouseMove, QPoint(7, 14), Qt::LeftButton);  // no change, still signalled
    QCOMPARE(changes.count(), 3);
    // Far outside the bar the drag goes on and stops at the ends.
    SendMouse(&bar, QEvent::MouseMove, QPoint(500, 80), Qt::LeftButton);
    QCOMPARE(bar.Position(), 255);
    SendMouse(&bar, QEvent::MouseButtonRelease, QPoint(500, 80));
    // A press beside the thumb, or on a disabled bar, drags nothing.
    for (bool enabled : {true, false}) {
      bar.SetPosition(enabled ? 255 : 0);
      bar.setEnabled(enabled);
      changes.clear();
      SendMouse(&bar, QEvent::MouseButtonPress, QPoint(enabled ? 50 : 5, 14), Qt::LeftButton);
      SendMouse(&bar, QEvent::MouseMove, QPoint(100, 14), Qt::LeftButton);
      SendMouse(&bar, QEvent::MouseButtonRelease, QPoint(100, 14));
      QCOMPARE(bar.Position(), enabled ? 255 : 0);
      QCOMPARE(changes.count(), 0);
    }
  }
};

WINDOW_TEST_MAIN(TestXiTrackBar)
#include "tst_xitrackbar.moc"
