// The option handlers of the GIF and BMP dialogs: however an option is
// changed (an arrow key, the mouse wheel, a pick, a click, the space bar),
// its handler takes the change and ends with the focus on OK.
#include <QComboBox>
#include <QWheelEvent>
#include <QtTest>

#include "controls/xibutton.h"
#include "controls/xpcheckbox.h"
#include "controls/xpradiobutton.h"
#include "dialogs/avitogif.h"
#include "dialogs/bmpoptions.h"
#include "dialogs/radiogroup.h"
#include "gif/gifimage.h"
#include "tests/dialogs/formatdialogtest.h"

namespace {

QWidget* Focus() { return QApplication::focusWidget(); }

// One notch of the wheel, away from the user (up) or towards.
void Wheel(QWidget* widget, bool up) {
  const QPointF at(widget->width() / 2.0, widget->height() / 2.0);
  QWheelEvent wheel(at, widget->mapToGlobal(at), QPoint(), QPoint(0, up ? 120 : -120), Qt::NoButton,
                    Qt::NoModifier, Qt::NoScrollPhase, false);
  QApplication::sendEvent(widget, &wheel);
}

void Key(QWidget* widget, Qt::Key key) { QTest::keyClick(widget, key); }
void Click(QWidget* widget) { QTest::mouseClick(widget, Qt::LeftButton, {}, QPoint(6, 6)); }
void Pick(QWidget* list, int index) { static_cast<QComboBox*>(list)->setCurrentIndex(index); }

// One way of changing one option: the control that has the focus first,
// what the user does to it, and whether the dialog took the change.
template <class TDialog>
struct TOptionChange {
  const char* Name;
  std::function<QWidget*(TDialog&)> Control;
  std::function<void(QWidget*)> Act;
  std::function<bool(TDialog&)> Taken;
};

// Opens a dialog for each change on the default job, makes the change and
// checks that it was taken and that OK has the focus afterwards.
template <class TDialog>
void EachChangeEndsOnOk(const std::vector<TOptionChange<TDialog>>& changes) {
  for (const TOptionChange<TDialog>& change : changes) {
    // Two colours, the bottom one white: a GIF of it can be transparent.
    TDialogJob job;
    auto picture = MakeFlatBitmap(60, 40, clWhite);
    for (int y = 0; y < 20; ++y)
      for (int x = 0; x < 60; ++x) picture->Canvas()->SetPixel(x, y, clNavy);
    job.UsePicture(*picture, "flag.bmp");
    TDialog dialog(nullptr, job.Job);
    QVERIFY2(ShowActive(dialog), change.Name);
    QWidget* control = change.Control(dialog);
    control->setFocus();
    QVERIFY2(Focus() == control, change.Name);
    change.Act(control);
    QVERIFY2(change.Taken(dialog), change.Name);
    QVERIFY2(Focus() == dialog.XiButton1, change.Name);
  }
}

}  // namespace

class TestDialogKeys : public QObject {
  Q_OBJECT

 private slots:
  // The GIF dialog opens on "Quantize", "Nearest", "256", "LZW" and
  // "transparent" unchecked.
  void gifOptionHandlersEndOnOk() {
    using G = TFormGif;
    auto reduction = [](G& d) -> QWidget* { return d.ComboReduction; };
    auto dither = [](G& d) -> QWidget* { return d.ComboDither; };
    auto colors = [](G& d) -> QWidget* { return d.ComboColor; };
    auto lzw = [](G& d) -> QWidget* { return d.CompressGroup->Button(0); };
    auto rle = [](G& d) -> QWidget* { return d.CompressGroup->Button(1); };
    auto transparent = [](G& d) -> QWidget* { return d.CheckBox1; };
    auto reductionIs = [](TColorReduction value) {
      return [value](G&) { return GIFImageDefaultColorReduction == value; };
    };
    auto ditherIs = [](TDitherMode value) { return [value](G&) { return GIFImageDefaultDitherMode == value; }; };
    auto bitsAre = [](int value) { return [value](G&) { return GIFImageDefaultColorReductionBits == value; }; };
    auto rleTaken = [](G& d) { return d.CompressGroup->ItemIndex() == 1 && GIFImageDefaultCompression == gcRLE; };
    auto transparentTaken = [](G& d) { return d.CheckBox1->Checked() && d.AfterBitmap->Transparent(); };
    EachChangeEndsOnOk<G>({
        {"reduction by key", reduction, [](QWidget* w) { Key(w, Qt::Key_Up); }, reductionIs(rmWindows256)},
        {"reduction by wheel", reduction, [](QWidget* w) { Wheel(w, false); }, reductionIs(rmQuantizeWindows)},
        {"reduction picked", reduction, [](QWidget* w) { Pick(w, 1); }, reductionIs(rmMonochrome)},
        {"dither by key", dither, [](QWidget* w) { Key(w, Qt::Key_Home); }, ditherIs(dmFloydSteinberg)},
        {"dither by wheel", dither, [](QWidget* w) { Wheel(w, true); }, ditherIs(dmBurkes)},
        {"dither picked", dither, [](QWidget* w) { Pick(w, 2); }, ditherIs(dmSierra)},
        {"colours by key", colors, [](QWidget* w) { Key(w, Qt::Key_Up); }, bitsAre(7)},
        {"colours by wheel", colors, [](QWidget* w) { Wheel(w, true); }, bitsAre(7)},
        {"colours picked", colors, [](QWidget* w) { Pick(w, 0); }, bitsAre(3)},
        {"compression by key", lzw, [](QWidget* w) { Key(w, Qt::Key_Right); }, rleTaken},
        {"compression by click", rle, Click, rleTaken},
        {"compression by space", rle, [](QWidget* w) { Key(w, Qt::Key_Space); }, rleTaken},
        {"transparent by click", transparent, [](QWidget* w) { QTest::mouseClick(w, Qt::LeftButton); },
         transparentTaken},
        {"transparent by space", transparent, [](QWidget* w) { Key(w, Qt::Key_Space); }, transparentTaken},
        {"by default", colors,
         [](QWidget* w) {
           Pick(w, 0);
           Click(w->window()->findChild<TXiButton*>("XiButton3"));
         },
         [](G& d) { return d.ComboColor->currentText() == "256" && GIFImageDefaultColorReductionBits == 8; }},
    });
  }

  // The BMP dialog opens on "24 bit".
  void bmpOptionHandlersEndOnOk() {
    using B = TBMPForm;
    auto item = [](int index) { return [index](B& d) -> QWidget* { return d.RadioGroup1->Button(index); }; };
    auto formatIs = [](TPixelFormat format) {
      return [format](B& d) { return d.AfterBitmap->PixelFormat() == format; };
    };
    EachChangeEndsOnOk<B>({
        {"pixel format by key", item(4), [](QWidget* w) { Key(w, Qt::Key_Up); }, formatIs(pf16bit)},
        {"pixel format by click", item(0), Click, formatIs(pf1bit)},
        {"pixel format by space", item(2), [](QWidget* w) { Key(w, Qt::Key_Space); }, formatIs(pf8bit)},
        {"by default", item(1),
         [](QWidget* w) {
           Click(w);
           Click(w->window()->findChild<TXiButton*>("XiButton3"));
         },
         formatIs(pf24bit)},
    });
  }
};

WINDOW_TEST_MAIN(TestDialogKeys)
#include "tst_dialogkeys.moc"
