// The gradient button: its looks, and how clicks, keys and modal results
// reach the dialog it sits in.
#include <QDialog>
#include <QLineEdit>
#include <QSignalSpy>
#include <QtTest>

#include "controls/xibutton.h"
#include "platform/windows/colors.h"
#include "tests/support/windowtest.h"

namespace {

TColor PixelOf(QWidget& widget, int x, int y) { return FromQColor(widget.grab().toImage().pixelColor(x, y)); }

// A dialog with an edit field, an OK button (default, result 1) and a
// Cancel button (cancel, result 2), as the program's dialogs have them.
struct TDialog {
  QDialog dialog;
  QLineEdit* edit = new QLineEdit(&dialog);
  TXiButton* ok = new TXiButton("OK", &dialog);
  TXiButton* cancel = new TXiButton("Cancel", &dialog);
  QSignalSpy okClicks{ok, &TXiButton::clicked};
  QSignalSpy cancelClicks{cancel, &TXiButton::clicked};
  TDialog() {
    ok->move(10, 40);
    cancel->move(100, 40);
    ok->SetDefault(true);
    ok->SetModalResult(TXiButton::mrOk);
    cancel->SetCancel(true);
    cancel->SetModalResult(TXiButton::mrCancel);
  }
  // Puts the focus on `focus`, runs `act` inside exec() and answers exec()'s
  // result (-1 when the dialog stayed open).
  int Run(QWidget* focus, const std::function<void()>& act) {
    QTimer::singleShot(0, [&] {
      dialog.activateWindow();
      focus->setFocus();
      QApplication::processEvents();
      act();
      if (dialog.isVisible()) dialog.done(-1);
    });
    return dialog.exec();
  }
};

}  // namespace

class TestXiButton : public QObject {
  Q_OBJECT

 private slots:
  void disabledLookWinsOverPressed() {
    TXiButton button("OK");
    const TColor border = PixelOf(button, 0, 12);
    SendMouse(&button, QEvent::MouseButtonPress, QPoint(10, 10), Qt::LeftButton);
    QCOMPARE(button.State(), TXiButton::bsDown);
    button.setEnabled(false);
    QCOMPARE(PixelOf(button, 0, 12), TColor(0x808080));
    QVERIFY(border != TColor(0x808080));
  }

  void focusRectangleSchemesAndAccelerator() {
    QWidget window;
    auto* button = new TXiButton("&Go", &window);
    QSignalSpy clicks(button, &TXiButton::clicked);
    QVERIFY(ShowActive(window));
    button->setFocus();
    QEvent leave(QEvent::Leave);  // wherever the pointer is, it is not over the button
    QApplication::sendEvent(button, &leave);
    QCOMPARE(PixelOf(*button, 3, 12), TColor(0x4080FF));
    QVERIFY(PixelOf(*button, 4, 12) != TColor(0x4080FF));
    // A plain scheme after a Neo one turns the gradient off: one colour.
    button->SetColorScheme(TXiButton::csNeoSky);
    button->SetColorScheme(TXiButton::csSky);
    QCOMPARE(PixelOf(*button, 5, 2), PixelOf(*button, 5, 20));
    button->SetColorFace(clBtnFace);  // system colours are resolved
    QCOMPARE(PixelOf(*button, 5, 2), FromQColor(ToQColor(clBtnFace)));
    QTest::keyClick(&window, Qt::Key_G, Qt::AltModifier);
    QCOMPARE(clicks.count(), 1);
  }

  void mouseAndSpaceClicks() {
    TXiButton button("OK");
    QSignalSpy clicks(&button, &TXiButton::clicked);
    button.show();
    QEnterEvent enter{QPointF(10, 10), QPointF(10, 10), QPointF(button.mapToGlobal(QPoint(10, 10)))};
    QApplication::sendEvent(&button, &enter);
    SendMouse(&button, QEvent::MouseButtonPress, QPoint(10, 10), Qt::LeftButton);
    SendMouse(&button, QEvent::MouseButtonRelease, QPoint(10, 10));
    QCOMPARE(clicks.count(), 1);
    // Pressed, dragged out and released outside: no click, the normal look.
    SendMouse(&button, QEvent::MouseButtonPress, QPoint(10, 10), Qt::LeftButton);
    SendMouse(&button, QEvent::MouseMove, QPoint(20, 40), Qt::LeftButton);
    SendMouse(&button, QEvent::MouseButtonRelease, QPoint(20, 40));
    QCOMPARE(clicks.count(), 1);
    QCOMPARE(button.State(), TXiButton::bsNormal);
    // Space: pressed look on the way down, the click on the way up.
    QTest::keyPress(&button, Qt::Key_Space);
    QCOMPARE(button.State(), TXiButton::bsDown);
    QCOMPARE(clicks.count(), 1);
    QTest::keyRelease(&button, Qt::Key_Space);
    QCOMPARE(button.State(), TXiButton::bsNormal);
    QCOMPARE(clicks.count(), 2);
  }

  void modalResults() {
    // OK's result is set before its click handler runs; modal result 0
    // leaves the window open; a result of its own ends exec() with it.
    const std::pair<int, int> cases[] = {
        {TXiButton::mrOk, QDialog::Accepted}, {TXiButton::mrNone, -1}, {TXiButton::mrYes, TXiButton::mrYes}};
    for (auto [modal, result] : cases) {
      TDialog d;
      d.ok->SetModalResult(modal);
      int seen = -2;
      QObject::connect(d.ok, &TXiButton::clicked, [&] { seen = d.dialog.result(); });
      QCOMPARE(d.Run(d.edit, [&] { QTest::mouseClick(d.ok, Qt::LeftButton); }), result);
      QCOMPARE(d.okClicks.count(), 1);
      if (modal == TXiButton::mrOk) QCOMPARE(seen, int(QDialog::Accepted));
    }
    TDialog d;
    QCOMPARE(d.Run(d.edit, [&] { d.cancel->Click(); }), int(QDialog::Rejected));
  }

  void dialogKeys() {
    struct TCase {
      const char* name;
      bool focusOnCancel, okEnabled;
      int key;
      Qt::KeyboardModifiers modifiers;
      int okClicks, cancelClicks;
    };
    const TCase cases[] = {
        {"keypad Enter in the edit clicks the default button", false, true, Qt::Key_Enter, Qt::KeypadModifier, 1, 0},
        {"Esc clicks the cancel button", false, true, Qt::Key_Escape, {}, 0, 1},
        {"Shift+Esc clicks nothing", false, true, Qt::Key_Escape, Qt::ShiftModifier, 0, 0},
        {"Enter on the focused Cancel clicks Cancel", true, true, Qt::Key_Return, {}, 0, 1},
        {"Shift+Enter on the focused Cancel clicks the default", true, true, Qt::Key_Return, Qt::ShiftModifier, 1, 0},
        {"a disabled default button is passed over", false, false, Qt::Key_Return, {}, 0, 0},
    };
    for (const TCase& c : cases) {
      TDialog d;
      d.ok->setEnabled(c.okEnabled);
      QWidget* focus = c.focusOnCancel ? static_cast<QWidget*>(d.cancel) : d.edit;
      d.Run(focus, [&] {
        QVERIFY2(focus->hasFocus(), c.name);
        QTest::keyClick(focus, Qt::Key(c.key), c.modifiers);
      });
      QVERIFY2(d.okClicks.count() == c.okClicks, c.name);
      QVERIFY2(d.cancelClicks.count() == c.cancelClicks, c.name);
    }
  }

  void followsItsAction() {
    QAction action("Start run");
    QSignalSpy triggered(&action, &QAction::triggered);
    TXiButton button("Start");
    button.SetAction(&action);
    action.setEnabled(false);
    QVERIFY(!button.isEnabled());
    action.setEnabled(true);
    button.Click();
    QCOMPARE(triggered.count(), 1);
  }
};

WINDOW_TEST_MAIN(TestXiButton)
#include "tst_xibutton.moc"
