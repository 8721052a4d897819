// The flat check box: states from code and from the user, and its painted box.
#include <QSignalSpy>
#include <QtTest>
#include <stdexcept>

#include "controls/xpcheckbox.h"
#include "platform/windows/colors.h"
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

}  // namespace

class TestXPCheckBox : public QObject {
  Q_OBJECT

 private slots:
  void defaults() {
    TXPCheckBox box("x");
    QCOMPARE(box.size(), QSize(97, 17));
    QCOMPARE(QList<int>({box.Alignment(), box.State(), box.AllowGrayed()}), QList<int>({taLeft, cbUnchecked, false}));
    QCOMPARE(box.Color(), clWindow);
    QCOMPARE(box.focusPolicy(), Qt::StrongFocus);
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
