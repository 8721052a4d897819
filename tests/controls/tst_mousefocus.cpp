// What each mouse button's press does to the focus: a left press focuses
// the gradient button, the check box and the radio button; a right or
// middle press leaves the focus, and the control, as they were; the slider,
// the panel and the group box take it from no button. The same holds in
// every window of the program, whatever the controls sit in.
#include <QDialog>
#include <QSignalSpy>
#include <QtTest>
#include <memory>

#include "controls/xibutton.h"
#include "controls/xipanel.h"
#include "controls/xitrackbar.h"
#include "controls/xpcheckbox.h"
#include "controls/xpgroupbox.h"
#include "controls/xpradiobutton.h"
#include "mainwindow/mainwindow.h"
#include "tests/dialogs/formatdialogtest.h"
#include "tests/support/windowtest.h"

namespace {

enum TKind { kButton, kCheckBox, kRadioButton, kTrackBar, kPanel, kGroupBox };
const char* const kKindNames[] = {"gradient button", "check box", "radio button", "track bar", "panel", "group box"};

struct TButton {
  Qt::MouseButton Button;
  const char* Name;
};
const TButton kButtons[] = {{Qt::LeftButton, "left"}, {Qt::RightButton, "right"}, {Qt::MiddleButton, "middle"}};

bool IsOurControl(QWidget* widget) {
  return qobject_cast<TXiButton*>(widget) || qobject_cast<TXPCheckBox*>(widget) ||
         qobject_cast<TXPRadioButton*>(widget) || qobject_cast<TXiTrackBar*>(widget) ||
         qobject_cast<TXiPanel*>(widget) || qobject_cast<TXPGroupBox*>(widget);
}

QImage Look(QWidget* control) { return control->grab().toImage().convertToFormat(QImage::Format_RGB32); }

// Puts the focus on `holder` and waits until it has it.
bool FocusOn(QWidget* holder) {
  holder->setFocus(Qt::TabFocusReason);
  return QTest::qWaitFor([holder] { return holder->hasFocus(); }, 30000);
}

// A Tab stop of the window other than `besides` to hold the focus, or the
// window itself when it has none.
QWidget* FocusHolder(QWidget* window, QWidget* besides) {
  for (QWidget* widget : window->findChildren<QWidget*>())
    if (widget != besides && (widget->focusPolicy() & Qt::TabFocus) && widget->isVisibleTo(window) &&
        widget->isEnabled())
      return widget;
  return window;
}

// Presses the right and then the middle button on every control of the set
// in the shown window, with the focus on another control: the focus stays.
void RightAndMiddlePressesKeepTheFocus(QWidget* window, const char* name) {
  QVERIFY2(ShowActive(*window), name);
  int pressed = 0;
  for (QWidget* control : window->findChildren<QWidget*>()) {
    if (!IsOurControl(control) || !control->isVisibleTo(window) || !control->isEnabled()) continue;
    QWidget* holder = FocusHolder(window, control);
    for (Qt::MouseButton button : {Qt::RightButton, Qt::MiddleButton}) {
      QVERIFY2(FocusOn(holder), name);
      const QPoint at = control->rect().center();
      QTest::mousePress(control, button, {}, at);
      const QByteArray what = QByteArray(name) + ": " + control->metaObject()->className() + " " +
                              control->objectName().toUtf8() + (button == Qt::RightButton ? ", right" : ", middle");
      QVERIFY2(QApplication::focusWidget() == holder, what.constData());
      QTest::mouseRelease(control, button, {}, at);
      ++pressed;
    }
  }
  QVERIFY2(pressed > 0, name);
}

}  // namespace

class TestMouseFocus : public QObject {
  Q_OBJECT

 private slots:
  // Each control under each button, with the focus on another button of
  // the window beforehand.
  void eachButtonOnEachControl_data() {
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("button");
    for (int kind = kButton; kind <= kGroupBox; ++kind)
      for (int button = 0; button < 3; ++button)
        QTest::addRow("%s, %s", kKindNames[kind], kButtons[button].Name) << kind << button;
  }
  void eachButtonOnEachControl() {
    QFETCH(int, kind);
    QFETCH(int, button);
    const Qt::MouseButton mouse = kButtons[button].Button;
    const bool left = mouse == Qt::LeftButton;
    QWidget window;
    window.resize(400, 200);
    auto* holder = new TXiButton("Source...", &window);
    holder->move(10, 10);
    // The radio button pressed is not its group's Tab stop: the checked one
    // beside it is.
    TXPRadioButton* checkedRadio = nullptr;
    QWidget* control = nullptr;
    switch (TKind(kind)) {
      case kButton: control = new TXiButton("Start", &window); break;
      case kCheckBox: control = new TXPCheckBox("include subfolders", &window); break;
      case kRadioButton:
        checkedRadio = new TXPRadioButton("bmp", &window);
        checkedRadio->move(200, 10);
        checkedRadio->SetChecked(true);
        control = new TXPRadioButton("jpg", &window);
        break;
      case kTrackBar: control = new TXiTrackBar(&window); break;
      case kPanel: control = new TXiPanel(&window); break;
      case kGroupBox: control = new TXPGroupBox("Target format", &window); break;
    }
    control->move(10, 60);
    std::unique_ptr<QSignalSpy> clicks;
    if (kind <= kRadioButton) clicks = std::make_unique<QSignalSpy>(control, SIGNAL(clicked()));
    QVERIFY(ShowActive(window));
    QVERIFY(FocusOn(holder));
    const QImage before = Look(control);
    const QPoint at(6, control->height() / 2);

    QTest::mousePress(control, mouse, {}, at);
    const bool takes = left && (kind == kButton || kind == kCheckBox || kind == kRadioButton);
    QCOMPARE(QApplication::focusWidget(), takes ? control : static_cast<QWidget*>(holder));
    // Another button's press shows nothing on the flag controls and the
    // button: no pressed look, no focus rectangle, no check.
    if (!left && kind <= kRadioButton) QVERIFY(Look(control) == before);
    if (kind == kRadioButton) {
      auto* radio = static_cast<TXPRadioButton*>(control);
      QCOMPARE(radio->Checked(), left);
      QCOMPARE(checkedRadio->Checked(), !left);
    }
    if (kind == kButton) QCOMPARE(static_cast<TXiButton*>(control)->State(), left ? TXiButton::bsDown : TXiButton::bsNormal);

    QTest::mouseRelease(control, mouse, {}, at);
    QCOMPARE(QApplication::focusWidget(), takes ? control : static_cast<QWidget*>(holder));
    switch (TKind(kind)) {
      case kButton: QCOMPARE(clicks->count(), left ? 1 : 0); break;
      // Every release clicks a check box; only the left one toggles it.
      case kCheckBox:
        QCOMPARE(static_cast<TXPCheckBox*>(control)->State(), left ? cbChecked : cbUnchecked);
        QCOMPARE(clicks->count(), 1);
        break;
      case kRadioButton:
        QCOMPARE(static_cast<TXPRadioButton*>(control)->Checked(), left);
        QCOMPARE(clicks->count(), left ? 1 : 0);
        break;
      default: break;
    }
  }

  // In the program's own windows: whatever a control sits in (a panel, a
  // group box, the window), a right or middle press on it moves no focus.
  void mainWindowKeepsTheFocus() {
    TMessageLog messages;
    TFormMain window;
    RightAndMiddlePressesKeepTheFocus(&window, "main window");
  }

  void everyDialogKeepsTheFocus_data() {
    QTest::addColumn<int>("kind");
    for (size_t i = 0; i < EveryDialog().size(); ++i) QTest::newRow(EveryDialog()[i].Name) << int(i);
  }
  void everyDialogKeepsTheFocus() {
    QFETCH(int, kind);
    TDialogJob job;
    job.AddPicture(64, 48, 1);
    job.Job.PreviewIndex = 0;
    job.Job.PreviewFile = job.Job.SourceFiles[0];
    std::unique_ptr<QDialog> dialog = EveryDialog()[size_t(kind)].Make(nullptr, job.Job);
    RightAndMiddlePressesKeepTheFocus(dialog.get(), EveryDialog()[size_t(kind)].Name);
  }
};

WINDOW_TEST_MAIN(TestMouseFocus)
#include "tst_mousefocus.moc"
