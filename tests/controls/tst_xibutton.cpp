// The gradient button: its looks, and how clicks, keys and modal results
// reach the dialog it sits in.
#include <QDialog>
#include <QLineEdit>
#include <QSignalSpy>
#include <QtTest>

#include "controls/xibutton.h"
#include "platform/graphics/colornames.h"
#include "platform/system/classes.h"
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

// The scheme tables as they are written down: one row per colour index,
// one column per scheme (BBGGRR), "-" where a plain scheme keeps the
// colour it found.
const char* const kNeoSchemes[25] = {
    // csNeoDesert csNeoSky csNeoGrass csNeoSilver csNeoRose csNeoSun
    "C6ECFF FFEEDD DDF9E8 F3F3F3 E8E8FF F0FFFF", "37BEFF FFB66C 5EDF8E BCBCBC 9595FF 20D8F9",
    "009CE8 FFA851 24B95C A7A7A7 8282FF 00BBBB", "B9E7FF FFECD9 CBF5DB F7F7F7 DDDDFF F2FFFF",
    "005680 B35900 156F37 626262 00009D 006464", "000000 000000 000000 000000 000000 000000",
    "B3E7FF FFEBD7 BFF2D2 F0F0F0 DFDFFF D5FCFF", "00A3F0 FFA346 3DD877 A6A6A6 7777FF 05BCDC",
    "008ED2 FF9E3E 23B459 A2A2A2 6A6AFF 00A6A6", "95DAFF FFE4CA B5F0CB EEEEEE D7D7FF CCFFFF",
    "005680 B35900 17793D 757575 00009D 006464", "000000 000000 000000 000000 000000 000000",
    "2BBAFF FFB366 4EDC83 CACACA A6A6FF 05D1F5", "77D2FF FFCE9D 80E6A6 DADADA B9B9FF 66F0FB",
    "8AD9FF FFD3A8 89E7AC E9E9E9 CECEFF 66F3FF", "0077B7 FF9E3E 177D3E 7C7C7C 5E5EFF 008484",
    "0070A6 B35900 167439 4E4E4E 00009D 006464", "000000 000000 000000 000000 000000 000000",
    "EEEEEE EEEEEE EEEEEE EEEEEE EEEEEE EEEEEE", "FFFFFF FFFFFF FFFFFF FFFFFF FFFFFF FFFFFF",
    "D2D2D2 D2D2D2 D2D2D2 D2D2D2 D2D2D2 D2D2D2", "FFFFFF FFFFFF FFFFFF FFFFFF FFFFFF FFFFFF",
    "808080 808080 808080 808080 808080 808080", "808080 808080 808080 808080 808080 808080",
    "4080FF FFA953 24B95C ADADAD 5E5EFF 00BBBB",
};
const char* const kPlainSchemes[25] = {
    // csDesert csGrass csSky csSun csRose csSilver
    "95DDFF 98EBB7 FFE0C1 A8FFFF C6C6FF E0E0E0", "- - - - - -",
    "009CE8 24B95C FFA953 00BBBB 8282FF AEAEAE", "B9E7FF CBF5DB FFECD9 F2FFFF DDDDFF F7F7F7",
    "005680 156F37 B35900 006464 00009D 626262", "000000 000000 000000 000000 000000 000000",
    "6FD0FF 68E196 FFCD9B 66F3FF B0B0FF CFCFCF", "- - - - - -",
    "008ED2 23B459 FFB164 00A6A6 6A6AFF 797979", "95DAFF B5F0CB FFE4CA CCFFFF D7D7FF EEEEEE",
    "005680 17793D B35900 006464 00009D 757575", "000000 000000 000000 000000 000000 000000",
    "6FD0FF 4EDC83 FFC082 22EEFF 9F9FFF D3D3D3", "- - - - - -",
    "8AD9FF 89E7AC FFD3A8 66F3FF 8888FF E9E9E9", "0077B7 177D3E FF9122 008484 5E5EFF 7C7C7C",
    "0070A6 167439 B35900 006464 00009D 4E4E4E", "000000 000000 000000 000000 000000 000000",
    "E2E2E2 E2E2E2 E2E2E2 E2E2E2 E2E2E2 E2E2E2", "- - - - - -",
    "D8D8D8 D8D8D8 D8D8D8 D8D8D8 D8D8D8 D8D8D8", "EAEAEA EAEAEA EAEAEA EAEAEA EAEAEA EAEAEA",
    "C4C4C4 C4C4C4 C4C4C4 C4C4C4 C4C4C4 C4C4C4", "808080 808080 808080 808080 808080 808080",
    "4080FF 00A421 DC9B14 008CF4 5E5EFF 8A8A8A",
};
constexpr TXiButton::TColorScheme kNeoColumns[6] = {TXiButton::csNeoDesert, TXiButton::csNeoSky,
                                                    TXiButton::csNeoGrass,  TXiButton::csNeoSilver,
                                                    TXiButton::csNeoRose,   TXiButton::csNeoSun};
constexpr TXiButton::TColorScheme kPlainColumns[6] = {TXiButton::csDesert, TXiButton::csGrass, TXiButton::csSky,
                                                      TXiButton::csSun,    TXiButton::csRose,  TXiButton::csSilver};

// The table's entry for a column as a colour, or -1 for "-".
TColor TableColor(const char* row, int column) {
  const QStringList cells = QString(row).split(' ');
  return cells[column] == "-" ? TColor(-1) : TColor(cells[column].toUInt(nullptr, 16));
}

}  // namespace

class TestXiButton : public QObject {
  Q_OBJECT

 private slots:
  // A new button's settings beside its colours.
  void defaults() {
    TXiButton button;
    QCOMPARE(button.size(), QSize(75, 25));
    QVERIFY(button.Ctl3D() && button.TransparentGlyph() && button.Gradient() && button.HotTrack());
    QVERIFY(!button.Cancel() && !button.Default() && button.Glyph().isNull());
    QCOMPARE(QList<int>({button.Layout(), button.Spacing(), button.ModalResult(), button.State()}),
             QList<int>({TXiButton::blGlyphLeft, 4, TXiButton::mrNone, TXiButton::bsNormal}));
    QCOMPARE(button.focusPolicy(), Qt::StrongFocus);
  }

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

  void everySchemeSetsItsTable() {
    const TColor found = 0x123456;  // what a plain scheme must leave alone
    for (bool neo : {true, false}) {
      for (int column = 0; column < 6; ++column) {
        const TXiButton::TColorScheme scheme = (neo ? kNeoColumns : kPlainColumns)[column];
        TXiButton button;
        for (int index = 0; index < 25; ++index) button.SetColors(index, found);
        button.SetColorScheme(scheme);
        QCOMPARE(button.ColorScheme(), scheme);
        QCOMPARE(button.Gradient(), neo);
        for (int index = 0; index < 25; ++index) {
          TColor expected = TableColor((neo ? kNeoSchemes : kPlainSchemes)[index], column);
          if (expected == TColor(-1)) expected = found;
          QVERIFY2(button.Colors(index) == expected,
                   qPrintable(QString("scheme %1, colour %2: %3").arg(scheme).arg(index).arg(button.Colors(index), 6, 16)));
        }
      }
    }
    // A new button: the desert scheme with white gradient ends in its hot,
    // pressed and disabled looks; any single colour makes the scheme custom.
    TXiButton fresh;
    QCOMPARE(fresh.ColorScheme(), TXiButton::csNeoDesert);
    for (int index = 0; index < 25; ++index)
      QCOMPARE(fresh.Colors(index), index == 7 || index == 13 || index == 19 ? TColor(0xFFFFFF)
                                                                             : TableColor(kNeoSchemes[index], 0));
    fresh.SetColors(25, 0);  // no such colour: nothing stored, still custom
    QCOMPARE(fresh.ColorScheme(), TXiButton::csCustom);
  }

  void colorSchemeAsText() {
    // Each look lists face, grad, light, dark, border, text; the focus
    // rectangle comes last after two blanks.
    TXiButton button;
    button.SetColorScheme(TXiButton::csNeoRose);
    button.SetColorText(clBtnFace);
    const std::unique_ptr<TStringList> lines = button.GetColorScheme();
    QCOMPARE(lines->Count(), 25);
    const char* const roles[6] = {"ColorFace", "ColorGrad", "ColorLight", "ColorDark", "ColorBorder", "ColorText"};
    const int roleIndex[6] = {0, 1, 3, 2, 4, 5};
    const char* const looks[4] = {"", "Over", "Down", "Disabled"};
    for (int look = 0; look < 4; ++look)
      for (int role = 0; role < 6; ++role) {
        const int index = look * 6 + roleIndex[role];
        QCOMPARE((*lines)[look * 6 + role],
                 std::string(looks[look]) + roles[role] + ":= " + ColorToString(button.Colors(index)) + ";");
      }
    QCOMPARE((*lines)[0], std::string("ColorFace:= $00E8E8FF;"));
    QCOMPARE((*lines)[5], std::string("ColorText:= clBtnFace;"));
    QCOMPARE((*lines)[24], std::string("ColorFocusRect:=  $005E5EFF;"));
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
    // The button shows the action's hint, and no hint when it has none
    // (an action with an empty tool tip reports its text as one).
    QCOMPARE(button.toolTip(), QString());
    action.setToolTip("");
    action.setEnabled(false);
    QCOMPARE(button.toolTip(), QString());
    action.setStatusTip("Run it");
    QCOMPARE(button.toolTip(), QString("Run it"));
  }
};

WINDOW_TEST_MAIN(TestXiButton)
#include "tst_xibutton.moc"
