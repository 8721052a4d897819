// Every gradient button of every window: its colour scheme, stored whole
// (no colour changed after it), the dialog role of OK and Cancel, and the
// look every button of the program shares.
#include <QtTest>
#include <map>
#include <memory>

#include "controls/xibutton.h"
#include "dialogs/about.h"
#include "dialogs/avitogif.h"
#include "dialogs/bmpoptions.h"
#include "dialogs/effects.h"
#include "dialogs/effectsgroupbox.h"
#include "dialogs/effectstwotrack.h"
#include "dialogs/fisheye.h"
#include "dialogs/jpgoptions.h"
#include "dialogs/listeffects.h"
#include "dialogs/pattern.h"
#include "dialogs/pngoptions.h"
#include "dialogs/resize.h"
#include "dialogs/rgb.h"
#include "dialogs/simpleeffect.h"
#include "mainwindow/mainwindow.h"
#include "tests/support/windowtest.h"

namespace {

using TSchemes = std::map<QString, TXiButton::TColorScheme>;

enum TRole { rlPlain, rlOk, rlCancel };

TRole RoleOf(const QString& name, bool isDialog) {
  if (!isDialog) return rlPlain;
  if (name == "XiButton1") return rlOk;
  if (name == "XiButton2") return rlCancel;
  return rlPlain;
}

// Checks every gradient button of the window against the schemes by
// designer name: each button has an entry and each entry a button.
void CheckButtons(QWidget& window, const TSchemes& schemes, bool isDialog) {
  const QString where = window.objectName();
  const QList<TXiButton*> buttons = window.findChildren<TXiButton*>();
  QVERIFY2(int(buttons.size()) == int(schemes.size()), qPrintable(where));
  for (TXiButton* button : buttons) {
    const QString name = where + "." + button->objectName();
    const auto entry = schemes.find(button->objectName());
    QVERIFY2(entry != schemes.end(), qPrintable(name + " has no scheme of its own"));
    QVERIFY2(button->ColorScheme() == entry->second, qPrintable(name));
    // The scheme's own colours, not a new button's white gradient ends.
    TXiButton reference;
    reference.SetColorScheme(entry->second);
    for (int index = 0; index < 25; ++index)
      QVERIFY2(button->Colors(index) == reference.Colors(index), qPrintable(name + " colour " + QString::number(index)));
    QVERIFY2(button->Gradient() && button->HotTrack() && button->Ctl3D() && button->TransparentGlyph(),
             qPrintable(name));
    QVERIFY2(button->Layout() == TXiButton::blGlyphLeft && button->Spacing() == 4, qPrintable(name));
    switch (RoleOf(button->objectName(), isDialog)) {
      case rlOk:
        QVERIFY2(button->Default() && !button->Cancel() && button->ModalResult() == TXiButton::mrOk, qPrintable(name));
        break;
      case rlCancel:
        QVERIFY2(button->Cancel() && !button->Default() && button->ModalResult() == TXiButton::mrCancel,
                 qPrintable(name));
        break;
      case rlPlain:
        QVERIFY2(!button->Default() && !button->Cancel() && button->ModalResult() == TXiButton::mrNone,
                 qPrintable(name));
        break;
    }
  }
}

// OK and Cancel of a dialog, with its other buttons.
TSchemes DialogSchemes(TXiButton::TColorScheme ok, TSchemes others = {}) {
  others["XiButton1"] = ok;
  others["XiButton2"] = TXiButton::csNeoSky;
  return others;
}

template <class TDialog>
void CheckDialog(TJobRecord& job, const TSchemes& schemes) {
  TDialog dialog(nullptr, job);
  if (dialog.objectName().isEmpty()) dialog.setObjectName(dialog.metaObject()->className());
  CheckButtons(dialog, schemes, true);
}

}  // namespace

class TestButtonSchemes : public QObject {
  Q_OBJECT

 private:
  TMessageLog Messages;

 private slots:
  void init() { Messages.clear(); }
  void cleanup() { QVERIFY(Messages.empty()); }

  void mainWindow() {
    TFormMain window;
    CheckButtons(window,
                 {{"XiButSourceCol", TXiButton::csNeoSilver},
                  {"XiButSource", TXiButton::csNeoDesert},
                  {"XiButTarget", TXiButton::csNeoDesert},
                  {"XiButFormat", TXiButton::csNeoSky},
                  {"XiButTargetCol", TXiButton::csNeoSilver},
                  {"XiButEffect", TXiButton::csNeoSky},
                  {"XiButStart", TXiButton::csNeoGrass},
                  {"XiButStop", TXiButton::csNeoRose},
                  {"XiButSaveLog", TXiButton::csNeoSky},
                  {"XiButClearLog", TXiButton::csNeoSky}},
                 false);
  }

  void everyEffectDialogKind() {
    TPictureJob f({QSize(40, 30)});
    const TSchemes frame = DialogSchemes(TXiButton::csNeoDesert);
    CheckDialog<TFormEffect>(f.Job, frame);
    CheckDialog<TFormTwoTrack>(f.Job, frame);
    CheckDialog<TFormRGB>(f.Job, frame);
    CheckDialog<TFormFishEye>(f.Job, frame);
    CheckDialog<TFormGroupEffect>(f.Job, frame);
    CheckDialog<TFormSimpleEffect>(f.Job, frame);
    CheckDialog<TFormPattern>(f.Job, DialogSchemes(TXiButton::csNeoDesert, {{"XiButton3", TXiButton::csNeoRose}}));
    CheckDialog<TFormResize>(f.Job, DialogSchemes(TXiButton::csNeoDesert, {{"XiButton3", TXiButton::csNeoGrass}}));
  }

  void formatDialogsChooserAndAbout() {
    TPictureJob f({QSize(40, 30)});
    const TSchemes preview = DialogSchemes(TXiButton::csNeoDesert, {{"XiButton3", TXiButton::csNeoSun}});
    CheckDialog<TJPGForm>(f.Job, preview);
    CheckDialog<TFormGif>(f.Job, preview);
    CheckDialog<TBMPForm>(f.Job, preview);
    CheckDialog<TPNGForm>(f.Job, DialogSchemes(TXiButton::csNeoDesert, {{"XiButton3", TXiButton::csNeoSun},
                                                                         {"XiButton4", TXiButton::csNeoSun}}));
    CheckDialog<TFormListEffects>(f.Job, DialogSchemes(TXiButton::csNeoGrass));
    CheckDialog<TFormAbout>(f.Job, {{"XiButton1", TXiButton::csNeoSilver}});
  }
};

WINDOW_TEST_MAIN(TestButtonSchemes)
#include "tst_buttonschemes.moc"
