// The flat check box: states from code and from the user, and its painted box.
#include <QSignalSpy>
#include <QtTest>
#include <stdexcept>

#include "controls/xpcheckbox.h"
#include "platform/windows/colors.h"
#include "tests/controls/controllooks.h"
#include "tests/support/windowtest.h"

namespace {

// The 13 x 13 box of a grab (the box on the left).
QImage BoxImage(TXPCheckBox& box) {
  return box.grab().toImage().copy(0, box.height() / 2 - 6, 13, 13).convertToFormat(QImage::Format_RGB32);
}

// Exposes the key handlers, to be run with a throwing click handler.
class TOpenCheckBox : public TXPCheckBox {
 public:
  using TXPCheckBox::keyPressEvent;
  using TXPCheckBox::keyReleaseEvent;
  using TXPCheckBox::TXPCheckBox;
};

// A box-relative point of a check box 17 pixels high, box on the left.
QPoint InBox(int x, int y) { return QPoint(x, y + 2); }

// Where the hover ring lies in the box (a two-pixel ring inside the
// frame), and the 7 x 7 square of the tick.
const QPoint kRingPoints[] = {{1, 1}, {1, 6}, {2, 6}, {6, 1}, {6, 2}, {10, 6}, {11, 6}, {6, 10}, {6, 11}, {11, 11}};
QRect TickSquare() { return QRect(InBox(3, 3), QSize(7, 7)); }

// The check box's look in the grab: its frame, the face under the hover
// ring's place, the tick square, the caption and what lies around the box.
// `normal` is the grab of an unchecked enabled box at rest, for the faces
// the pictures are drawn with (light grey to white at rest, darker pressed).
void CheckBoxLook(TPixelCheck& check, TXPCheckBoxState state, TLook look, const QImage& normal, TColor back) {
  const bool enabled = look != lkDisabled, pressed = look == lkPressed || look == lkSpaceHeld, hover = look == lkHot;
  const TColor frame = enabled ? 0x80501F : 0xBFC8CF;
  for (int i = 0; i < 13; ++i)
    for (QPoint p : {InBox(i, 0), InBox(i, 12), InBox(0, i), InBox(12, i)}) check.At(p, frame, "frame");
  auto normalAt = [&](QPoint p) { return PixelOf(normal, p); };
  for (QPoint r : kRingPoints) {
    const QPoint p = InBox(r.x(), r.y());
    const TColor c = check.Pixel(p);
    if (!enabled)
      check.At(p, 0xFFFFFF, "white face");
    else if (hover)
      check.That(IsOrange(c), QString("hover ring at (%1, %2): %3").arg(p.x()).arg(p.y()).arg(c, 6, 16));
    else if (pressed)
      check.That(!IsOrange(c) && Brightness(c) < Brightness(normalAt(p)),
                 QString("darker pressed face at (%1, %2): %3").arg(p.x()).arg(p.y()).arg(c, 6, 16));
    else
      check.At(p, normalAt(p), "face");
  }
  const TColor first = check.Pixel(TickSquare().topLeft());
  int green = 0, face = 0, uniform = 0, greyMarks = 0;
  for (int y = TickSquare().top(); y <= TickSquare().bottom(); ++y)
    for (int x = TickSquare().left(); x <= TickSquare().right(); ++x) {
      const TColor c = check.Pixel(QPoint(x, y));
      green += IsGreen(c);
      uniform += c == first;
      face += enabled ? c == normalAt(QPoint(x, y)) : c == 0xFFFFFF;
      greyMarks += !enabled && c != 0xFFFFFF && IsGreyish(c);
    }
  const QString square = QString(" in the tick square: %1 green, %2 face, %3 alike, %4 grey").arg(green).arg(face).arg(uniform).arg(greyMarks);
  if (state == cbUnchecked) check.That(green == 0 && (pressed || face == 49), "only face" + square);
  if (state == cbChecked && enabled) check.That(green > 0 && green < 49, "a green tick" + square);
  if (state == cbChecked && !enabled) check.That(green == 0 && greyMarks > 0 && face > 0, "a grey tick" + square);
  if (state == cbGrayed && enabled) check.That(uniform == 49 && IsGreen(first), "a solid green square" + square);
  if (state == cbGrayed && !enabled)
    check.That(uniform == 49 && greyMarks == 49, "a solid grey square" + square);
  {
    // The caption is drawn in the font's colour in every state, disabled
    // too.
    const TColor caption = Darkest(check.Image(), QRect(18, 0, 70, 17));
    check.That(CaptionIs(caption, FromQColor(ToQColor(clWindowText))), QString("caption %1").arg(caption, 6, 16));
  }
  CheckFlagSurroundings(check, back, look == lkFocused || pressed);
}

}  // namespace

class TestXPCheckBox : public QObject {
  Q_OBJECT

 private slots:
  void defaults() {
    TXPCheckBox box("x");
    QCOMPARE(box.size(), QSize(97, 17));
    QCOMPARE(QList<int>({box.Alignment(), box.State(), box.AllowGrayed()}), QList<int>({taLeft, cbUnchecked, false}));
    QCOMPARE(box.Color(), clWindow);
    QCOMPARE(box.focusPolicy(), Qt::TabFocus);  // the mouse: a left press only
  }

  void clicksCycleTheStates() {
    TXPCheckBox box("include subfolders");
    QSignalSpy clicks(&box, &TXPCheckBox::clicked);
    box.SetState(cbGrayed);  // code: no click, and a grayed box reads unchecked
    QVERIFY(!box.GetChecked());
    box.SetState(cbUnchecked);
    QCOMPARE(clicks.count(), 0);
    QTest::mouseClick(&box, Qt::LeftButton, {}, QPoint(6, box.height() / 2));
    QCOMPARE(box.State(), cbChecked);
    box.SetAllowGrayed(true);
    for (TXPCheckBoxState next : {cbUnchecked, cbGrayed, cbChecked, cbUnchecked}) {
      QTest::mouseClick(&box, Qt::LeftButton, {}, QPoint(40, box.height() / 2));  // on the caption too
      QCOMPARE(box.State(), next);
    }
    QCOMPARE(clicks.count(), 5);
    // Another button's release clicks without a toggle.
    QTest::mouseClick(&box, Qt::RightButton, {}, QPoint(6, box.height() / 2));
    QCOMPARE(box.State(), cbUnchecked);
    QCOMPARE(clicks.count(), 6);
  }

  void spaceTogglesAtItsRelease() {
    QWidget window;
    auto* box = new TXPCheckBox("low case for files name", &window);
    auto* other = new TXPCheckBox("other", &window);
    other->move(0, 30);
    QVERIFY(ShowActive(window));
    box->setFocus();
    QSignalSpy clicks(box, &TXPCheckBox::clicked);
    QTest::keyPress(box, Qt::Key_Space);
    QTest::keyPress(box, Qt::Key_Space, Qt::NoModifier, -1);  // held: repeats change nothing
    QCOMPARE(box->State(), cbUnchecked);
    QTest::keyRelease(box, Qt::Key_Space);
    QCOMPARE(box->State(), cbChecked);
    QCOMPARE(clicks.count(), 1);
    // Shift+Space does nothing.
    QTest::keyPress(box, Qt::Key_Space, Qt::ShiftModifier);
    QTest::keyRelease(box, Qt::Key_Space, Qt::ShiftModifier);
    QCOMPARE(box->State(), cbChecked);
    // Space held while the focus moves away: the later release toggles nothing.
    QTest::keyPress(box, Qt::Key_Space);
    other->setFocus(Qt::TabFocusReason);
    QVERIFY(!box->Pressed());
    box->setFocus(Qt::TabFocusReason);
    QTest::keyRelease(box, Qt::Key_Space);
    QCOMPARE(box->State(), cbChecked);
    QCOMPARE(clicks.count(), 1);
  }

  void throwingClickHandlerLeavesPaintingOn() {
    TOpenCheckBox box("x");
    box.resize(97, 17);
    connect(&box, &TXPCheckBox::clicked, &box, [] { throw std::runtime_error("handler failed"); });
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier, " ");
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_Space, Qt::NoModifier, " ");
    box.keyPressEvent(&press);
    QVERIFY_THROWS_EXCEPTION(std::runtime_error, box.keyReleaseEvent(&release));
    QCOMPARE(box.State(), cbChecked);
    // The box is still painted: its frame shows.
    QCOMPARE(BoxImage(box).pixelColor(0, 6), ToQColor(0x80501F));
  }

  void paintedBox() {
    TXPCheckBox box("caption");
    box.resize(97, 17);
    const QRect tick(3, 3, 7, 7);
    const QImage unchecked = BoxImage(box).copy(tick);
    box.SetChecked(true);
    const QImage checked = BoxImage(box).copy(tick);
    box.SetState(cbGrayed);
    QVERIFY(unchecked != checked && BoxImage(box).copy(tick) != checked);
    // Nowhere a pixel of the pictures' key colour; the box goes to the right.
    box.SetAlignment(taRight);
    const QImage all = box.grab().toImage().convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < all.height(); ++y)
      for (int x = 0; x < all.width(); ++x) QVERIFY(all.pixel(x, y) != qRgb(255, 0, 255));
    QCOMPARE(all.pixelColor(box.width() - 13, box.height() / 2), ToQColor(0x80501F));
  }

  // Each state in each look, on a colour of its own.
  void everyLookPaintsItsColours() {
    TLookWindow window;
    QVERIFY(window.Shown);
    const TColor back = 0xD0F0E0;
    auto make = [&](TXPCheckBoxState state) {
      auto* box = new TXPCheckBox("include &subfolders", window.Window());
      box->setGeometry(10, 10, 97, 17);
      box->SetColor(back);
      box->SetAllowGrayed(true);
      box->SetState(state);
      return box;
    };
    const QImage normal = window.Shot(make(cbUnchecked), lkNormal);
    const char* const names[] = {"unchecked", "checked", "grayed"};
    for (TXPCheckBoxState state : {cbUnchecked, cbChecked, cbGrayed})
      for (TLook look : kPressableLooks) {
        TPixelCheck check(window.Shot(make(state), look, QPoint(6, 8)), QString("%1 %2").arg(names[state], LookName(look)));
        CheckBoxLook(check, state, look, normal, back);
        VERIFY_PIXELS(check);
      }
  }

  // The pressed box until the button is let go, the ring under the pointer
  // until it leaves; a disabled box shows no ring nor pressed face,
  // whatever the pointer does.
  void looksFollowTheUser() {
    TLookWindow window;
    QVERIFY(window.Shown);
    auto* box = new TXPCheckBox("auto save the log", window.Window());
    box->setGeometry(10, 10, 97, 17);
    const QImage normal = window.Grab(box, lkNormal, {});
    auto expect = [&](const char* what, TXPCheckBoxState state, TLook look) {
      TPixelCheck check(box, what);
      CheckBoxLook(check, state, look, normal, FromQColor(ToQColor(clWindow)));
      VERIFY_PIXELS(check);
    };
    QTest::mouseMove(box, QPoint(6, 8));
    QTest::mousePress(box, Qt::LeftButton, {}, QPoint(6, 8));
    expect("pressed", cbUnchecked, lkPressed);
    QTest::mouseRelease(box, Qt::LeftButton, {}, QPoint(6, 8));
    window.PointerAway();
    expect("let go, the pointer gone", cbChecked, lkFocused);
    QTest::mouseMove(box, QPoint(6, 8));
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(6, 8));
    window.Window()->setFocus();
    expect("clicked again, the focus gone", cbUnchecked, lkHot);
    window.PointerAway();
    expect("the pointer gone", cbUnchecked, lkNormal);
    box->setEnabled(false);
    QTest::mouseMove(box, QPoint(6, 8));
    QTest::mousePress(box, Qt::LeftButton, {}, QPoint(6, 8));
    expect("disabled, pressed", cbUnchecked, lkDisabled);
    QTest::mouseRelease(box, Qt::LeftButton, {}, QPoint(6, 8));
    box->setEnabled(true);
    expect("enabled again under the pointer", cbUnchecked, lkHot);
  }

  void focusRectangleRules() {
    // A caption wider than the control: cut at the right edge (rule 3).
    QCOMPARE(xpglyphs::FocusRect(taLeft, 60, 17, 100, 13, 13), QRect(QPoint(17, 2), QPoint(59, 14)));
    // It fits: tight around the caption (rule 1).
    QCOMPARE(xpglyphs::FocusRect(taLeft, 97, 17, 40, 13, 13), QRect(QPoint(17, 1), QPoint(58, 14)));
    // Every rule for both sides, as (left, top, right, bottom) with right
    // and bottom outside: control width and height, caption width.
    const struct {
      int Width, Height, TextWidth;
      QRect Left, Right;
    } rules[] = {
        {97, 17, 40, QRect(QPoint(17, 1), QPoint(58, 14)), QRect(QPoint(0, 1), QPoint(43, 14))},   // 1: fits
        {60, 14, 40, QRect(QPoint(17, 0), QPoint(59, 13)), QRect(QPoint(0, 0), QPoint(42, 13))},   // 2: too tight
        {60, 17, 100, QRect(QPoint(17, 2), QPoint(59, 14)), QRect(QPoint(0, 2), QPoint(42, 14))},  // 3: too wide
        {97, 14, 40, QRect(QPoint(17, 0), QPoint(58, 13)), QRect(QPoint(0, 0), QPoint(45, 13))},   // 4: too low
    };
    for (const auto& rule : rules) {
      QCOMPARE(xpglyphs::FocusRect(taLeft, rule.Width, rule.Height, rule.TextWidth, 13, 13), rule.Left);
      QCOMPARE(xpglyphs::FocusRect(taRight, rule.Width, rule.Height, rule.TextWidth, 13, 13), rule.Right);
    }
  }
};

WINDOW_TEST_MAIN(TestXPCheckBox)
#include "tst_xpcheckbox.moc"
