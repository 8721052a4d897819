// The gradient track bar: position rules, thumb geometry, dragging, ticks.
#include <QHelpEvent>
#include <QSignalSpy>
#include <QToolTip>
#include <QtTest>

#include "controls/xitrackbar.h"
#include "platform/graphics/colornames.h"
#include "platform/system/classes.h"
#include "platform/windows/colors.h"
#include "tests/controls/controllooks.h"
#include "tests/support/windowtest.h"

static int CountInRow(const QImage& image, int y, TColor color) {
  int count = 0;
  for (int x = 0; x < image.width(); ++x) count += FromQColor(image.pixelColor(x, y)) == color;
  return count;
}

// The scheme table as written down: colour index, then one column per
// scheme (csDesert, csGrass, csSilver, csSky, csRose, csSun) as BBGGRR,
// "Face" for the button-face system colour.
const struct {
  int Index;
  const char* Columns;
} kTrackSchemes[21] = {
    {0, "Face Face Face Face Face Face"},          {1, "006A9D 1D9A4B 888888 C88D2D 5B5BFF 00A4A4"},
    {2, "C0C0C0 C0C0C0 C0C0C0 C0C0C0 C0C0C0 C0C0C0"}, {10, "0082BF 20A452 727272 F47A00 4242FF 0077AA"},
    {11, "28B9FF 3ED978 C0C0C0 FFBA75 8282FF 1AD9FB"}, {12, "BBE9FF C1F4D6 EAEAEA FFE9D2 C6DBFF DAFAFE"},
    {13, "BEBEBE BEBEBE BEBEBE BEBEBE BEBEBE BEBEBE"}, {14, "D8D8D8 D8D8D8 D8D8D8 D8D8D8 D8D8D8 D8D8D8"},
    {15, "E8E8E8 E8E8E8 E8E8E8 E8E8E8 E8E8E8 E8E8E8"}, {16, "B5B5B5 B5B5B5 B5B5B5 B5B5B5 B5B5B5 B5B5B5"},
    {17, "EAEAEA EAEAEA EAEAEA EAEAEA EAEAEA EAEAEA"}, {18, "CFCFCF CFCFCF CFCFCF CFCFCF CFCFCF CFCFCF"},
    {20, "005B88 126732 616161 C66300 0000D7 004F84"}, {21, "8CDAFF 82E8AA E1E1E1 FFD9B3 9DC2FF C6FFFF"},
    {22, "0093D9 21AB55 A3A3A3 FF9224 6666FF 00B8E6"}, {30, "005680 156F37 747474 B35900 0000D7 004F84"},
    {31, "5ECBFF 7CE7A7 D1D1D1 FFCF9F 8CB8FF 6AFFFF"}, {32, "007BB7 1E954A 959595 F97C00 5151FF 009CC4"},
    {40, "005680 156F37 747474 B35900 0000D7 004F84"}, {41, "0083C1 20A251 999999 FF8C1A 6666FF 00B8E6"},
    {42, "1AB5FF 5EE193 C1C1C1 FFBF80 8CB8FF 91E9FF"},
};
constexpr TXiTrackBar::TColorScheme kTrackColumns[6] = {TXiTrackBar::csDesert, TXiTrackBar::csGrass,
                                                        TXiTrackBar::csSilver, TXiTrackBar::csSky,
                                                        TXiTrackBar::csRose,   TXiTrackBar::csSun};

// Colours of our own for the 21 indices, each distinct.
const std::pair<int, TColor> kOwnTrackColours[21] = {
    {0, 0xD0E0F0},  {1, 0x102030},  {2, 0x405060},  {10, 0x000080}, {11, 0x4040FF}, {12, 0xC0C0FF}, {13, 0x008000},
    {14, 0x40FF40}, {15, 0xC0FFC0}, {16, 0x800000}, {17, 0xFF4040}, {18, 0xFFC0C0}, {20, 0x008080}, {21, 0x40FFFF},
    {22, 0xA0FFFF}, {30, 0x800080}, {31, 0xFF40FF}, {32, 0xFFA0FF}, {40, 0x606000}, {41, 0xE0E040}, {42, 0xFFFFA0}};
constexpr int kOwnTrackColumn = 6;

// Colour `index` as the scheme in the column sets it (column 6: our own),
// system colours resolved as painted.
TColor TrackColor(int column, int index) {
  if (column == kOwnTrackColumn) {
    for (auto [i, colour] : kOwnTrackColours)
      if (i == index) return colour;
  }
  for (const auto& row : kTrackSchemes)
    if (row.Index == index) {
      const QString cell = QString(row.Columns).split(' ')[column];
      return cell == "Face" ? FromQColor(ToQColor(clBtnFace)) : TColor(cell.toUInt(nullptr, 16));
    }
  return clNone;
}

// A bar of 161 x 36 (or 36 x 161 upright) at position 0 of 0 ... 10 with
// ticks at both ends: its thumb covers columns 0-13 and rows 4-31, its
// slide rows 13-22, its ticks columns 7 and 154 of rows 33-35 (rows and
// columns exchanged when upright). Checks the background, the slide, the
// thumb and the ticks against the colours of the look: the thumb's three
// starting at `thumb`, the slide's at `slide`, the tick's at `tick`.
void CheckBar(TPixelCheck& check, int column, bool upright, int thumb, int slide, int tick) {
  auto at = [upright](int x, int y) { return upright ? QPoint(y, x) : QPoint(x, y); };
  const TColor back = TrackColor(column, 0);
  for (QPoint p : {at(100, 2), at(100, 30), at(160, 13), at(160, 22), at(0, 4), at(13, 4), at(0, 31), at(13, 31),
                   at(8, 34)})
    check.At(p, back, "background");
  const TColor slideBorder = TrackColor(column, slide), slideFace = TrackColor(column, slide + 1),
               slideGrad = TrackColor(column, slide + 2);
  for (QPoint p : {at(100, 13), at(100, 22), at(160, 17), at(159, 13)}) check.At(p, slideBorder, "slide border");
  // Ten lines across the slide from its face colour; the border covers
  // the first and the last.
  check.At(at(100, 14), GradientLine(slideFace, slideGrad, 10, 1), "slide face");
  check.At(at(100, 21), GradientLine(slideFace, slideGrad, 10, 8), "slide end");
  const TColor thumbBorder = TrackColor(column, thumb), thumbFace = TrackColor(column, thumb + 1),
               thumbGrad = TrackColor(column, thumb + 2);
  for (QPoint p : {at(0, 18), at(13, 18), at(6, 4), at(6, 31)}) check.At(p, thumbBorder, "thumb border");
  // Fourteen lines along the slide, likewise.
  check.At(at(1, 18), GradientLine(thumbFace, thumbGrad, 14, 1), "thumb face");
  check.At(at(6, 10), GradientLine(thumbFace, thumbGrad, 14, 6), "thumb middle");
  check.At(at(12, 18), GradientLine(thumbFace, thumbGrad, 14, 12), "thumb end");
  for (QPoint p : {at(7, 33), at(7, 35), at(154, 34)}) check.At(p, TrackColor(column, tick), "tick");
}

TXiTrackBar* BarIn(TLookWindow& window, int column, bool upright) {
  auto* bar = new TXiTrackBar(window.Window());
  if (column == kOwnTrackColumn)
    for (auto [index, colour] : kOwnTrackColours) bar->SetColors(index, colour);
  else
    bar->SetColorScheme(kTrackColumns[column]);
  bar->SetOrientation(upright ? TXiTrackBar::trVertical : TXiTrackBar::trHorizontal);
  bar->setGeometry(10, 10, upright ? 36 : 161, upright ? 161 : 36);
  bar->SetTickStyle(TXiTrackBar::tsManual);
  return bar;
}

class TestXiTrackBar : public QObject {
  Q_OBJECT

 private slots:
  void everySchemeSetsItsTable() {
    for (int column = 0; column < 6; ++column) {
      TXiTrackBar bar;
      for (const auto& row : kTrackSchemes) bar.SetColors(row.Index, 0x123456);
      QCOMPARE(bar.ColorScheme(), TXiTrackBar::csCustom);
      bar.SetColorScheme(kTrackColumns[column]);
      QCOMPARE(bar.ColorScheme(), kTrackColumns[column]);
      for (const auto& row : kTrackSchemes) {
        const QString cell = QString(row.Columns).split(' ')[column];
        const TColor expected = cell == "Face" ? clBtnFace : TColor(cell.toUInt(nullptr, 16));
        QVERIFY2(bar.Colors(row.Index) == expected,
                 qPrintable(QString("scheme %1, colour %2").arg(kTrackColumns[column]).arg(row.Index)));
      }
    }
    // Custom sets none; an index that names no colour stores nothing.
    TXiTrackBar bar;
    bar.SetColorScheme(TXiTrackBar::csCustom);
    QCOMPARE(bar.TickColor(), TColor(0x006A9D));
    bar.SetColors(3, 0);
    QCOMPARE(bar.Colors(3), clNone);
  }

  // Every scheme and colours of our own, lying and upright, in each look
  // (the bar takes no focus: focused it looks normal).
  void everyLookPaintsItsColours() {
    TLookWindow window;
    QVERIFY(window.Shown);
    const char* const names[] = {"csDesert", "csGrass", "csSilver", "csSky", "csRose", "csSun", "own colours"};
    for (int column = 0; column <= kOwnTrackColumn; ++column)
      for (bool upright : {false, true})
        for (TLook look : kAllLooks) {
          const QPoint onThumb = upright ? QPoint(18, 7) : QPoint(7, 18);
          TPixelCheck check(window.Shot(BarIn(window, column, upright), look, onThumb),
                            QString("%1%2 %3").arg(names[column], upright ? " upright" : "", LookName(look)));
          if (look == lkDisabled)
            CheckBar(check, column, upright, 16, 13, 2);
          else
            CheckBar(check, column, upright, look == lkHot ? 30 : look == lkPressed ? 40 : 20, 10, 1);
          VERIFY_PIXELS(check);
        }
  }

  // The thumb is hot only under the pointer, pressed only when the press
  // was on it.
  void thumbLookFollowsThePointer() {
    TLookWindow window;
    QVERIFY(window.Shown);
    TXiTrackBar* bar = BarIn(window, kOwnTrackColumn, false);
    window.PointerAway();
    bar->show();
    auto expect = [&](const char* what, int thumb) {
      TPixelCheck check(bar, what);
      CheckBar(check, kOwnTrackColumn, false, thumb, 10, 1);
      VERIFY_PIXELS(check);
    };
    QTest::mouseMove(bar, QPoint(7, 18));
    expect("over the thumb", 30);
    QTest::mouseMove(bar, QPoint(0, 18));  // its edge counts as outside
    expect("on the thumb's edge", 20);
    QTest::mouseMove(bar, QPoint(100, 18));
    expect("over the slide", 20);
    QTest::mousePress(bar, Qt::LeftButton, {}, QPoint(100, 18));
    expect("pressed on the slide", 20);
    QTest::mouseRelease(bar, Qt::LeftButton, {}, QPoint(100, 18));
    QTest::mouseMove(bar, QPoint(7, 18));
    QTest::mousePress(bar, Qt::LeftButton, {}, QPoint(7, 18));
    expect("pressed on the thumb", 40);
    QTest::mouseRelease(bar, Qt::LeftButton, {}, QPoint(7, 18));
    expect("let go on the thumb", 30);
    window.PointerAway();
    expect("the pointer gone", 20);
    // Without smooth corners the slide's and the thumb's corners keep
    // their borders' colours.
    bar->SetSmoothCorners(false);
    TPixelCheck corners(bar, "square corners");
    for (QPoint p : {QPoint(160, 13), QPoint(160, 22)}) corners.At(p, TrackColor(kOwnTrackColumn, 10), "slide corner");
    for (QPoint p : {QPoint(0, 4), QPoint(13, 31)}) corners.At(p, TrackColor(kOwnTrackColumn, 20), "thumb corner");
    VERIFY_PIXELS(corners);
  }

  void colorSchemeAsText() {
    TXiTrackBar bar;
    bar.SetColorScheme(TXiTrackBar::csSky);
    const std::unique_ptr<TStringList> lines = bar.GetColorScheme();
    const std::pair<const char*, int> fields[21] = {
        {"FBackColor", 0},           {"FTickColor", 1},           {"FSlideBorderColor", 10},
        {"FSlideFaceColor", 11},     {"FSlideGradColor", 12},     {"FThumbBorderColor", 20},
        {"FThumbFaceColor", 21},     {"FThumbGradColor", 22},     {"FOverThumbBorderColor", 30},
        {"FOverThumbFaceColor", 31}, {"FOverThumbGradColor", 32}, {"FDownThumbBorderColor", 40},
        {"FDownThumbFaceColor", 41}, {"FDownThumbGradColor", 42}, {"FDisabledTickColor", 2},
        {"FDisabledSlideBorderColor", 13}, {"FDisabledSlideFaceColor", 14}, {"FDisabledSlideGradColor", 15},
        {"FDisabledThumbBorderColor", 16}, {"FDisabledThumbFaceColor", 17}, {"FDisabledThumbGradColor", 18}};
    QCOMPARE(lines->Count(), 21);
    for (int i = 0; i < 21; ++i)
      QCOMPARE((*lines)[i],
               std::string(16, ' ') + fields[i].first + ":=" + ColorToString(bar.Colors(fields[i].second)) + ";");
    QCOMPARE((*lines)[0], std::string("                FBackColor:=clBtnFace;"));
    QCOMPARE((*lines)[1], std::string("                FTickColor:=$00C88D2D;"));
  }

  void defaults() {
    TXiTrackBar bar;
    QCOMPARE(bar.size(), QSize(100, 28));
    QCOMPARE(QList<int>({bar.Min(), bar.Max(), bar.Position(), bar.Frequency()}), QList<int>({0, 10, 0, 1}));
    QCOMPARE(QList<int>({bar.ColorScheme(), bar.ThumbState(), bar.TickStyle(), bar.TickMarks(), bar.Orientation()}),
             QList<int>({TXiTrackBar::csDesert, TXiTrackBar::bsOut, TXiTrackBar::tsNone, TXiTrackBar::tmBottomRight,
                         TXiTrackBar::trHorizontal}));
    QVERIFY(bar.SmoothCorners() && bar.ShowHint() && bar.Hint().isEmpty());
    QCOMPARE(bar.BackColor(), clBtnFace);
    QCOMPARE(bar.focusPolicy(), Qt::NoFocus);
  }

  // A hint switched off stays the slider's but does not pop up.
  void hintsPopUpOnlyWhenShown() {
    TXiTrackBar bar;
    bar.SetHint("Zoom");
    QVERIFY(ShowActive(bar));
    auto asked = [&bar] {
      QHelpEvent help(QEvent::ToolTip, QPoint(5, 5), bar.mapToGlobal(QPoint(5, 5)));
      QApplication::sendEvent(&bar, &help);
      return QToolTip::isVisible() ? QToolTip::text() : QString();
    };
    bar.SetShowHint(false);
    QCOMPARE(asked(), QString());
    QCOMPARE(bar.Hint(), QString("Zoom"));
    bar.SetShowHint(true);
    QCOMPARE(asked(), QString("Zoom"));
    QToolTip::hideText();
  }

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
