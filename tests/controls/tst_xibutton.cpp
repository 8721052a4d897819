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
#include "tests/controls/controllooks.h"
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
    WhenShown([&](QWidget*) {
      focus->setFocus();
      // act() checks that the focus arrived.
      static_cast<void>(QTest::qWaitFor([focus] { return focus->hasFocus(); }, 30000));
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

// Colours a button takes in its looks besides the twelve schemes: a new
// button's, and 25 colours of our own, each role and look distinct, the
// captions darker than everything else.
enum { kNewButton = 12, kOwnColours = 13 };
// clang-format off
constexpr TColor kOwnPalette[25] = {
    0xFFE0E0, 0xC08080, 0x804040, 0xFFF0F0, 0x400000, 0x200000,   // normal
    0xE0FFE0, 0x80C080, 0x408040, 0xF0FFF0, 0x004000, 0x002000,   // hot
    0xE0E0FF, 0x8080C0, 0x404080, 0xF0F0FF, 0x000040, 0x000020,   // pressed
    0xE8E8E8, 0xB0B0B0, 0x707070, 0xF8F8F8, 0x303030, 0x101010,   // disabled
    0x00FFFF};                                                    // focus rectangle
// clang-format on

// Colour `index` as a button shows it after the scheme (or the colour set
// above), and whether its face is a gradient; a plain scheme's face is
// its face colour alone.
TColor LookColor(int scheme, int index) {
  if (scheme == kOwnColours) return kOwnPalette[index];
  if (scheme == kNewButton) return index == 7 || index == 13 || index == 19 ? 0xFFFFFF : TableColor(kNeoSchemes[index], 0);
  for (int column = 0; column < 6; ++column) {
    if (kNeoColumns[column] == scheme) return TableColor(kNeoSchemes[index], column);
    if (kPlainColumns[column] == scheme) return TableColor(kPlainSchemes[index], column);
  }
  return clNone;
}
bool HasGradient(int scheme) { return scheme < TXiButton::csDesert || scheme >= kNewButton; }

QString SchemeName(int scheme) {
  static const char* const names[] = {"csNeoDesert", "csNeoSky", "csNeoGrass", "csNeoSilver", "csNeoRose",
                                      "csNeoSun",    "csDesert", "csGrass",    "csSky",       "csSun",
                                      "csRose",      "csSilver", "new button", "own colours"};
  return names[scheme];
}

// A 90 x 31 button's face, border, inner edges, caption and focus
// rectangle, sampled where they meet nothing else, against the colours of
// the look whose six colours start at `base`.
void CheckLook(TPixelCheck& check, int scheme, int base, bool focused, bool ctl3D = true) {
  const int w = 90, h = 31;
  const TColor face = LookColor(scheme, base), grad = LookColor(scheme, base + 1),
               dark = LookColor(scheme, base + 2), light = LookColor(scheme, base + 3),
               border = LookColor(scheme, base + 4), text = LookColor(scheme, base + 5);
  auto row = [&](int y) { return HasGradient(scheme) ? GradientLine(face, grad, h, y) : face; };
  for (QPoint p : {QPoint(0, 0), QPoint(0, 15), QPoint(45, 0), QPoint(w - 1, 15), QPoint(45, h - 1),
                   QPoint(w - 1, h - 1)})
    check.At(p, border, "border");
  // The upper-left edge runs up column 1 from the bottom and along row 1;
  // the lower-right one down column w - 2 from the top and back along row
  // h - 2, each without its end pixel.
  for (QPoint p : {QPoint(1, h - 2), QPoint(1, 15), QPoint(1, 1), QPoint(45, 1), QPoint(w - 3, 1)})
    check.At(p, ctl3D ? light : row(p.y()), "light edge");
  for (QPoint p : {QPoint(w - 2, 1), QPoint(w - 2, 15), QPoint(w - 2, h - 2), QPoint(45, h - 2), QPoint(2, h - 2)})
    check.At(p, ctl3D ? dark : row(p.y()), "dark edge");
  for (int y : {2, 15, h - 3}) check.At(QPoint(6, y), row(y), "face");
  // The focus rectangle: rows 3 and h - 4, columns 3 and w - 4.
  for (QPoint p : {QPoint(3, 15), QPoint(w - 4, 15), QPoint(6, 3), QPoint(w - 7, h - 4)})
    check.At(p, focused ? LookColor(scheme, 24) : row(p.y()), "focus rectangle");
  check.At(QPoint(4, 15), row(15), "inside the focus rectangle");
  const TColor caption = Darkest(check.Image(), QRect(12, 5, w - 24, h - 10));
  check.That(CaptionIs(caption, text), QString("caption %1, not %2").arg(caption, 6, 16).arg(text, 6, 16));
}

TXiButton* ButtonIn(TLookWindow& window, int scheme) {
  auto* button = new TXiButton("&Button", window.Window());
  if (scheme < kNewButton) button->SetColorScheme(TXiButton::TColorScheme(scheme));
  if (scheme == kOwnColours)
    for (int index = 0; index < 25; ++index) button->SetColors(index, kOwnPalette[index]);
  button->setGeometry(10, 10, 90, 31);
  return button;
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
    QCOMPARE(button.focusPolicy(), Qt::TabFocus);  // the mouse: a left press only
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

  // Every scheme, a new button and colours of its own, in each look the
  // user can bring about.
  void everyLookPaintsItsColours() {
    TLookWindow window;
    QVERIFY(window.Shown);
    const QPoint over(45, 15);
    for (int scheme = 0; scheme <= kOwnColours; ++scheme)
      for (TLook look : kPressableLooks) {
        TPixelCheck check(window.Shot(ButtonIn(window, scheme), look, over), SchemeName(scheme) + " " + LookName(look));
        const bool pressed = look == lkPressed || look == lkSpaceHeld;
        const int base = look == lkHot ? 6 : pressed ? 12 : look == lkDisabled ? 18 : 0;
        // A press takes the focus.
        CheckLook(check, scheme, base, look == lkFocused || pressed);
        VERIFY_PIXELS(check);
      }
  }

  // How the looks follow one another, and the switches that change them.
  void looksFollowTheUser() {
    TLookWindow window;
    QVERIFY(window.Shown);
    const int scheme = kOwnColours;
    TXiButton* button = ButtonIn(window, scheme);
    auto expect = [&](const char* what, int base, bool focused, bool ctl3D = true) {
      TPixelCheck check(button, what);
      CheckLook(check, scheme, base, focused, ctl3D);
      VERIFY_PIXELS(check);
    };
    window.PointerAway();
    button->show();
    // Pressed, the pointer leaves with the button held and comes back.
    QTest::mouseMove(button, QPoint(45, 15));
    QTest::mousePress(button, Qt::LeftButton, {}, QPoint(45, 15));
    expect("pressed and focused", 12, true);
    QTest::mouseMove(button, QPoint(150, 15));
    expect("dragged out", 0, true);
    QTest::mouseMove(button, QPoint(40, 12));
    expect("dragged back", 12, true);
    QTest::mouseRelease(button, Qt::LeftButton, {}, QPoint(40, 12));
    expect("released", 6, true);
    // The focus goes: no focus rectangle, the normal look.
    window.Window()->setFocus();
    expect("focus gone", 0, false);
    // Space let go shows the normal look.
    button->setFocus(Qt::TabFocusReason);
    QTest::keyPress(button, Qt::Key_Space);
    QTest::keyRelease(button, Qt::Key_Space);
    expect("Space let go", 0, true);
    // Without hot tracking the pointer over the button changes nothing;
    // without Ctl3D there is no inner edge; a disabled button has no
    // focus rectangle.
    window.PointerAway();
    button->SetHotTrack(false);
    QTest::mouseMove(button, QPoint(45, 15));
    expect("no hot tracking", 0, true);
    button->SetCtl3D(false);
    expect("no inner edge", 0, true, false);
    button->SetCtl3D(true);
    button->setEnabled(false);
    expect("disabled", 18, false);
    button->setEnabled(true);
    expect("enabled again", 0, false);
  }

  // A glyph without a caption sits in the middle, (37, 7) on a 90 x 31
  // button, one pixel further right and down while pressed; the colour of
  // its top-left pixel shows the face through it unless the glyph is
  // opaque; a disabled button draws it as it is.
  void glyphColours() {
    TLookWindow window;
    QVERIFY(window.Shown);
    QImage glyph(16, 16, QImage::Format_RGB32);
    glyph.fill(QColor(255, 0, 255));
    glyph.setPixelColor(0, 15, QColor(0, 0, 255));
    for (int y = 3; y < 13; ++y)
      for (int x = 3; x < 13; ++x) glyph.setPixelColor(x, y, QColor(0, 128, 0));
    const TColor green = RGB(0, 128, 0), magenta = RGB(255, 0, 255), blue = RGB(0, 0, 255);
    const int scheme = kOwnColours;
    for (bool transparent : {true, false})
      for (TLook look : kAllLooks) {
        auto* button = new TXiButton(QString(), window.Window());
        for (int index = 0; index < 25; ++index) button->SetColors(index, kOwnPalette[index]);
        button->setGeometry(10, 10, 90, 31);
        button->SetGlyph(glyph);
        button->SetTransparentGlyph(transparent);
        TPixelCheck check(window.Shot(button, look, QPoint(70, 15)),
                          QString("%1 glyph, %2").arg(transparent ? "transparent" : "opaque", LookName(look)));
        const int base = look == lkHot ? 6 : look == lkPressed ? 12 : look == lkDisabled ? 18 : 0;
        const int shift = look == lkPressed ? 1 : 0;
        const int left = 37 + shift, top = 7 + shift;
        auto face = [&](int y) { return GradientLine(LookColor(scheme, base), LookColor(scheme, base + 1), 31, y); };
        for (QPoint p : {QPoint(3, 3), QPoint(12, 12), QPoint(7, 8)}) check.At(QPoint(left, top) + p, green, "glyph");
        for (QPoint p : {QPoint(0, 0), QPoint(2, 7), QPoint(15, 15), QPoint(13, 5)})
          check.At(QPoint(left, top) + p, transparent ? face(top + p.y()) : magenta, "glyph's ground");
        check.At(QPoint(left, top + 15), blue, "glyph's other colour");
        check.At(QPoint(left - 1, top + 3), face(top + 3), "face beside the glyph");
        VERIFY_PIXELS(check);
      }
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
