// The flat radio button: groups under one parent, what the user's mouse and
// keys do (and what focus alone must not do), and its painted button.
#include <QLineEdit>
#include <QSignalSpy>
#include <QtTest>

#include "controls/xpgroupbox.h"
#include "controls/xpradiobutton.h"
#include "platform/windows/colors.h"
#include "tests/controls/controllooks.h"
#include "tests/support/windowtest.h"

namespace {

QPoint ButtonCentre(const TXPRadioButton& button) { return QPoint(6, button.height() / 2); }

// A window with an edit, a group box of four format buttons and an edit
// after it, in Tab order.
struct TFormatWindow {
  QWidget Window;
  QLineEdit* Before = new QLineEdit(&Window);
  TXPGroupBox* Group = new TXPGroupBox(QString(), &Window);
  TXPRadioButton* Buttons[4];
  QLineEdit* After = nullptr;

  TFormatWindow() {
    Group->setGeometry(0, 30, 185, 105);
    const char* names[] = {"bmp", "jpg", "gif", "png"};
    for (int i = 0; i < 4; ++i) {
      Buttons[i] = new TXPRadioButton(names[i], Group);
      Buttons[i]->move(10, 10 + 20 * i);
    }
    After = new QLineEdit(&Window);
    After->move(0, 140);
    (void)ShowActive(Window);
  }
};

// A button-relative point of a radio button 17 pixels high, button on the
// left.
QPoint InButton(int x, int y) { return QPoint(x, y + 2); }

// The radio button's look in the grab: its round button (corners in the
// control's colour, a dark blue rim, grey when disabled), the hover ring
// where it touches the box's middle lines, the dot in the centre, and what
// lies around it. `normal` is the grab of an unchecked enabled button at
// rest, for the face the pictures are drawn with.
void CheckButtonLook(TPixelCheck& check, bool checked, TLook look, const QImage& normal, TColor back) {
  const bool enabled = look != lkDisabled, pressed = look == lkPressed || look == lkSpaceHeld, hover = look == lkHot;
  for (QPoint p : {InButton(0, 0), InButton(12, 0), InButton(0, 12), InButton(12, 12)}) check.At(p, back, "corner");
  for (QPoint p : {InButton(6, 0), InButton(0, 6), InButton(12, 6), InButton(6, 12)}) {
    const TColor rim = check.Pixel(p);
    if (enabled)
      check.At(p, PixelOf(normal, p), "rim");
    else
      check.That(IsGreyish(rim) && rim != 0xFFFFFF, QString("grey rim at (%1, %2): %3").arg(p.x()).arg(p.y()).arg(rim, 6, 16));
  }
  for (QPoint p : {InButton(6, 1), InButton(1, 6), InButton(11, 6), InButton(6, 11)}) {
    const TColor c = check.Pixel(p);
    check.That(IsOrange(c) == hover, QString("%1 ring at (%2, %3): %4").arg(hover ? "a" : "no").arg(p.x()).arg(p.y()).arg(c, 6, 16));
  }
  const QPoint centre = InButton(6, 6);
  const TColor c = check.Pixel(centre);
  const QString at = QString(" in the centre: %1").arg(c, 6, 16);
  if (checked && enabled) check.That(IsGreen(c), "a green dot" + at);
  if (checked && !enabled) check.That(IsGreyish(c) && c != 0xFFFFFF, "a grey dot" + at);
  if (!checked && !enabled) check.At(centre, 0xFFFFFF, "white face");
  if (!checked && pressed)
    check.That(Brightness(c) < Brightness(PixelOf(normal, centre)) && !IsGreen(c), "a darker face" + at);
  if (!checked && enabled && !pressed) check.At(centre, PixelOf(normal, centre), "face");
  {
    // The caption is drawn in the font's colour in every state, disabled
    // too.
    const TColor caption = Darkest(check.Image(), QRect(18, 0, 70, 17));
    check.That(CaptionIs(caption, FromQColor(ToQColor(clWindowText))), QString("caption %1").arg(caption, 6, 16));
  }
  CheckFlagSurroundings(check, back, look == lkFocused || pressed);
}

}  // namespace

class TestXPRadioButton : public QObject {
  Q_OBJECT

 private slots:
  void defaults() {
    TXPRadioButton button("x");
    QCOMPARE(button.size(), QSize(113, 17));
    QCOMPARE(QList<int>({button.Alignment(), button.Checked()}), QList<int>({taLeft, false}));
    QCOMPARE(button.Color(), clWindow);
  }

  void codeChecksOneButtonPerParent() {
    QWidget top;
    auto* a = new TXPRadioButton("a", &top);
    auto* b = new TXPRadioButton("b", &top);
    auto* box = new TXPGroupBox("other group", &top);
    auto* c = new TXPRadioButton("c", box);
    auto* d = new TXPRadioButton("d", box);
    QSignalSpy clicks(a, &TXPRadioButton::clicked);
    a->SetChecked(true);
    c->SetChecked(true);
    b->SetChecked(true);
    QVERIFY(!a->Checked() && b->Checked());
    QVERIFY(c->Checked() && !d->Checked());  // the other parent's group is untouched
    QCOMPARE(clicks.count(), 0);
    // Hidden and disabled buttons of the group are unchecked as well.
    for (bool hide : {true, false}) {
      b->SetChecked(true);
      if (hide) b->hide();
      else b->setEnabled(false);
      a->SetChecked(true);
      QVERIFY(a->Checked() && !b->Checked());
      b->show();
      b->setEnabled(true);
    }
    // Checking one that is hidden or disabled clears the visible ones.
    b->setEnabled(false);
    b->SetChecked(true);
    QVERIFY(!a->Checked() && b->Checked());
  }

  void mouseTurnsButtonsOn() {
    TFormatWindow w;
    TXPRadioButton* jpg = w.Buttons[1];
    TXPRadioButton* gif = w.Buttons[2];
    jpg->SetChecked(true);
    QSignalSpy jpgClicks(jpg, &TXPRadioButton::clicked);
    QSignalSpy gifClicks(gif, &TXPRadioButton::clicked);
    // A press on an unfocused button checks it at once and clicks once.
    QTest::mousePress(gif, Qt::LeftButton, {}, ButtonCentre(*gif));
    QVERIFY(gif->Checked() && gif->hasFocus() && !jpg->Checked());
    QCOMPARE(gifClicks.count(), 1);
    QTest::mouseRelease(gif, Qt::LeftButton, {}, ButtonCentre(*gif));
    QCOMPARE(gifClicks.count(), 1);
    // Code turned the focused button off: the user's click, or Space at its
    // release, turns it on and reports it.
    gif->SetChecked(false);
    QTest::mouseClick(gif, Qt::LeftButton, {}, ButtonCentre(*gif));
    QVERIFY(gif->Checked());
    gif->SetChecked(false);
    QTest::keyPress(gif, Qt::Key_Space);
    QVERIFY(gif->Pressed() && !gif->Checked());
    QTest::keyRelease(gif, Qt::Key_Space);
    QVERIFY(gif->Checked());
    QCOMPARE(gifClicks.count(), 3);
    QCOMPARE(jpgClicks.count(), 0);
  }

  void keyboardReachesOnlyTheCheckedButton() {
    TFormatWindow w;
    TXPRadioButton** b = w.Buttons;
    b[2]->SetChecked(true);
    QSignalSpy clicks0(b[0], &TXPRadioButton::clicked);
    QSignalSpy clicks2(b[2], &TXPRadioButton::clicked);
    QSignalSpy clicks3(b[3], &TXPRadioButton::clicked);
    w.Before->setFocus(Qt::TabFocusReason);
    QTest::keyClick(w.Before, Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), b[2]);
    QTest::keyClick(b[2], Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), w.After);
    QTest::keyClick(w.After, Qt::Key_Backtab);
    QCOMPARE(QApplication::focusWidget(), b[2]);
    QCOMPARE(clicks2.count(), 0);  // reaching the checked button changes nothing
    // The arrows move on, wrap around and check as they go.
    QTest::keyClick(b[2], Qt::Key_Down);
    QVERIFY(b[3]->hasFocus() && b[3]->Checked() && !b[2]->Checked());
    QTest::keyClick(b[3], Qt::Key_Right);
    QVERIFY(b[0]->hasFocus() && b[0]->Checked());
    QCOMPARE(clicks3.count(), 1);
    QCOMPARE(clicks0.count(), 1);
    // The Tab stop followed the check.
    QTest::keyClick(b[0], Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), w.After);
    QTest::keyClick(w.After, Qt::Key_Backtab);
    QCOMPARE(QApplication::focusWidget(), b[0]);
    // A disabled button is passed over by the arrows.
    QTest::keyClick(b[0], Qt::Key_Up);
    b[0]->setEnabled(false);
    QTest::keyClick(b[3], Qt::Key_Down);
    QVERIFY(b[1]->hasFocus() && b[1]->Checked());
  }

  void focusAloneChecksNothing() {
    TFormatWindow w;
    TXPRadioButton** b = w.Buttons;
    QSignalSpy clicks(b[0], &TXPRadioButton::clicked);
    // Nothing checked: Tab reaches the first button, which stays off.
    w.Before->setFocus(Qt::TabFocusReason);
    QTest::keyClick(w.Before, Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), b[0]);
    QVERIFY(!b[0]->Checked());
    // The focus coming back with the window or from a popup.
    for (Qt::FocusReason reason : {Qt::ActiveWindowFocusReason, Qt::PopupFocusReason}) {
      w.After->setFocus(Qt::TabFocusReason);
      b[1]->setFocus(reason);
      QVERIFY(b[1]->hasFocus());
      QVERIFY(!b[1]->Checked());
    }
    QCOMPARE(clicks.count(), 0);
  }

  // Unchecked and checked in each look, on the main window's info colour;
  // the button's own rim is the dark blue one.
  void everyLookPaintsItsColours() {
    TLookWindow window;
    QVERIFY(window.Shown);
    const TColor back = FromQColor(ToQColor(clInfoBk));
    auto make = [&](bool checked) {
      auto* button = new TXPRadioButton("&jpg", window.Window());
      button->setGeometry(10, 10, 113, 17);
      button->SetColor(clInfoBk);
      button->SetChecked(checked);
      return button;
    };
    const QImage normal = window.Shot(make(false), lkNormal);
    TPixelCheck rim(normal, "the rim");
    for (QPoint p : {InButton(6, 0), InButton(0, 6), InButton(12, 6), InButton(6, 12)})
      rim.That(IsDarkBlue(rim.Pixel(p)), QString("dark blue at (%1, %2)").arg(p.x()).arg(p.y()));
    VERIFY_PIXELS(rim);
    for (bool checked : {false, true})
      for (TLook look : kPressableLooks) {
        // A press on an unchecked button checks it at once, Space when let go.
        TPixelCheck check(window.Shot(make(checked), look, QPoint(6, 8)),
                          QString("%1 %2").arg(checked ? "checked" : "unchecked", LookName(look)));
        CheckButtonLook(check, checked || look == lkPressed, look, normal, back);
        VERIFY_PIXELS(check);
      }
  }

  // The ring follows the pointer; a disabled button shows none.
  void looksFollowTheUser() {
    TLookWindow window;
    QVERIFY(window.Shown);
    auto* unchecked = new TXPRadioButton("bmp", window.Window());
    unchecked->setGeometry(10, 40, 113, 17);
    const QImage normal = window.Grab(unchecked, lkNormal, {});
    auto* button = new TXPRadioButton("gif", window.Window());
    button->setGeometry(10, 10, 113, 17);
    button->SetChecked(true);
    button->show();
    auto expect = [&](const char* what, TLook look) {
      TPixelCheck check(button, what);
      CheckButtonLook(check, true, look, normal, FromQColor(ToQColor(clWindow)));
      VERIFY_PIXELS(check);
    };
    QTest::mouseMove(button, QPoint(6, 8));
    expect("under the pointer", lkHot);
    window.PointerAway();
    expect("the pointer gone", lkNormal);
    button->setEnabled(false);
    QTest::mouseMove(button, QPoint(6, 8));
    expect("disabled under the pointer", lkDisabled);
    button->setEnabled(true);
    expect("enabled again", lkHot);
  }

  void paintedButton() {
    TXPRadioButton button("jpg");
    button.resize(113, 17);
    button.SetColor(clInfoBk);
    const QRect box(0, button.height() / 2 - 6, 13, 13);
    const QImage off = button.grab().toImage().copy(box);
    QCOMPARE(off.pixelColor(0, 0), ToQColor(clInfoBk));  // the corners show the control's colour
    button.SetChecked(true);
    QVERIFY(button.grab().toImage().copy(box).copy(4, 4, 5, 5) != off.copy(4, 4, 5, 5));
    button.setEnabled(false);
    const QImage all = button.grab().toImage().convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < all.height(); ++y)
      for (int x = 0; x < all.width(); ++x) QVERIFY(all.pixel(x, y) != qRgb(255, 0, 255));
  }
};

WINDOW_TEST_MAIN(TestXPRadioButton)
#include "tst_xpradiobutton.moc"
