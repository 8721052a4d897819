// The effect dialogs: the frame (which row opens, fitting, OK and Cancel,
// one effect run per change) and the slider dialogs' ranges, labels and limits.
#include "controls/xitrackbar.h"
#include "dialogs/effects.h"
#include "dialogs/effectstwotrack.h"
#include "dialogs/fisheye.h"
#include "dialogs/rgb.h"
#include "dialogs/simpleeffect.h"
#include "effects/function.h"
#include "platform/system/sysutils.h"
#include "tests/support/windowtest.h"

namespace {

QString Range(const TXiTrackBar* bar) {
  return QString("%1..%2%3").arg(bar->Min()).arg(bar->Max()).arg(bar->TickStyle() == TXiTrackBar::tsAuto ? " ticks" : "");
}

// Opens the dialog on the job and clicks OK at once.
template <class TDialog>
void OkAtOnce(TJobRecord& job) {
  TDialog(nullptr, job).XiButton1->click();
}

}  // namespace

class TestEffectDialogs : public QObject {
  Q_OBJECT

 private:
  TMessageLog Messages;

 private slots:
  void init() { Messages.clear(); }
  void cleanup() { QVERIFY(Messages.empty()); }

  void opensOnThePreviewRowWhileItsFileExists() {
    TPictureJob f;
    for (int i = 0; i < 3; ++i) f.AddPicture(20, 10 + i);
    f.Job.PreviewIndex = 2;
    f.Job.PreviewFile = f.Job.SourceFiles[2];
    QCOMPARE(TFormSimpleEffect(nullptr, f.Job).Source()->Height(), 12);
    f.Job.PreviewIndex = 3;  // past the list
    QCOMPARE(TFormSimpleEffect(nullptr, f.Job).SelectedRow(), 0);
    f.Job.PreviewIndex = 1;
    f.Job.PreviewFile = f.Folder.File("gone.bmp");
    QCOMPARE(TFormSimpleEffect(nullptr, f.Job).SelectedRow(), 0);
  }

  // The list's rows are numbered from 1 and named by the files' names; a
  // row losing its selection changes nothing in these dialogs.
  void listRowsAndDeselection() {
    TPictureJob f({QSize(20, 10), QSize(20, 12)});
    TFormSimpleEffect dialog(nullptr, f.Job);
    QAbstractItemModel* rows = dialog.ListView1->model();
    QCOMPARE(rows->headerData(0, Qt::Horizontal).toString(), QString::fromUtf8("\u2116"));
    QCOMPARE(rows->headerData(1, Qt::Horizontal).toString(), QString("Name"));
    for (int row = 0; row < 2; ++row) {
      QCOMPARE(rows->data(rows->index(row, 0)).toString(), QString::number(row + 1));
      QCOMPARE(rows->data(rows->index(row, 1)).toString(),
               QString::fromStdString(ExtractFileName(f.Job.SourceFiles[row])));
    }
    dialog.ListView1->selectionModel()->clearSelection();
    QCOMPARE(dialog.PreviewedPath(), f.Job.SourceFiles[0]);
    QCOMPARE(dialog.Source()->Height(), 10);
  }

  void fitsOnlyPicturesLargerThanTheBox() {
    TPictureJob f({QSize(8, 8)});
    const QSize box = TFormSimpleEffect(nullptr, f.Job).ScrollBox1->size();
    const int boxWidth = box.width(), boxHeight = box.height();
    f.AddPicture(boxWidth - 10, boxHeight - 10);
    f.AddPicture(boxWidth - 9, boxHeight - 40);
    f.AddPicture(2000, 1);
    TFormSimpleEffect dialog(nullptr, f.Job);
    dialog.SelectRow(1);
    QCOMPARE(dialog.PaintEffect->size(), QSize(boxWidth - 10, boxHeight - 10));
    // One pixel over: fitted to the box less 15 (single precision may cost a
    // pixel), proportions kept.
    dialog.SelectRow(2);
    QVERIFY(dialog.Source()->Width() >= boxWidth - 16 && dialog.Source()->Width() <= boxWidth - 15);
    QVERIFY(dialog.Source()->Height() < boxHeight - 15);
    // A picture one pixel high stays one pixel high instead of failing.
    dialog.SelectRow(3);
    QCOMPARE(dialog.Result()->Height(), 1);
  }

  void unreadableFilesKeepThePreviewSilently() {
    TPictureJob f({QSize(30, 20)});
    f.AddBroken(".png");
    f.Job.OneTrackKind = 2;  // Contrast
    {
      TFormEffect dialog(nullptr, f.Job);
      const TBitmap* before = dialog.Result();
      dialog.SelectRow(1);
      QCOMPARE(dialog.Result(), before);
      QCOMPARE(dialog.PreviewedPath(), std::string());
      dialog.XiButton1->click();  // still takes the row
    }
    QCOMPARE(f.Job.PreviewIndex, 1);
    // Nothing readable at all: the slider and its label work, no effect runs.
    f.Job.PreviewFile = f.Job.SourceFiles[1];
    f.Job.SourceFiles.Delete(0);
    f.Job.FileCount = 1;
    f.Job.PreviewIndex = 0;
    TFormEffect dialog(nullptr, f.Job);
    QVERIFY(!dialog.Result());
    QCOMPARE(dialog.Label1->text(), QString());
    dialog.TrackBar1->SetPosition(7);
    QCOMPARE(dialog.Label1->text(), QString("7"));
    QCOMPARE(dialog.PreviewRuns(), 0);
  }

  void eachChangeRunsTheEffectOnceFromTheSource() {
    TPictureJob f({QSize(60, 40)});
    f.AddPicture(50, 40, 9);
    f.Job.OneTrackKind = 17;  // Threshold
    TFormEffect dialog(nullptr, f.Job);
    QCOMPARE(dialog.PreviewRuns(), 1);
    // The same value twice (a drag that stays put) runs it twice, each
    // time from the source; painting runs nothing, a new row runs it once.
    dialog.TrackBar1->SetPosition(90);
    dialog.TrackBar1->SetPosition(90);
    QCOMPARE(dialog.PreviewRuns(), 3);
    QVERIFY(PreviewIs(dialog, [](TBitmap& b) { ApplyThreshold(b, 90); }));
    dialog.PaintEffect->repaint();
    dialog.SelectRow(1);
    QCOMPARE(dialog.PreviewRuns(), 4);
  }

  void okWritesCancelForgets() {
    TPictureJob f({QSize(40, 30)});
    f.AddPicture(40, 30, 1);
    f.Job.OneTrackKind = 6;  // Gauss
    for (bool ok : {false, true}) {
      TFormEffect dialog(nullptr, f.Job);
      dialog.TrackBar1->SetPosition(4);
      dialog.SelectRow(1);
      (ok ? dialog.XiButton1 : dialog.XiButton2)->click();  // Esc clicks Cancel too (the button's tests)
      QCOMPARE(dialog.result(), ok ? int(QDialog::Accepted) : int(QDialog::Rejected));
      QCOMPARE(QList<int>({f.Job.GaussPasses, f.Job.PreviewIndex}), ok ? QList<int>({4, 1}) : QList<int>({1, 0}));
    }
    // OK with no row selected keeps the previous preview row.
    TFormEffect dialog(nullptr, f.Job);
    dialog.ListView1->selectionModel()->clearSelection();
    dialog.TrackBar1->SetPosition(3);
    dialog.XiButton1->click();
    QCOMPARE(QList<int>({f.Job.GaussPasses, f.Job.PreviewIndex}), QList<int>({3, 1}));
  }

  void aRaisingEffectShowsItsMessageAndTheDialogStays() {
    TPictureJob f({QSize(1, 1)});
    f.Job.OneTrackKind = 7;  // Illusion
    TFormEffect dialog(nullptr, f.Job);
    dialog.TrackBar1->SetPosition(3);
    QCOMPARE(dialog.Label1->text(), QString("3"));
    QCOMPARE(Messages.size(), size_t(2));
    Messages.clear();
    dialog.XiButton1->click();
    QCOMPARE(f.Job.IllusionAmount, 3);
  }

  void gammaShowsTheGammaItself() {
    // (Every kind's range, ends and values: tst_effecttables.cpp.)
    TPictureJob f({QSize(400, 300)});
    f.Job.OneTrackKind = 5;
    TFormEffect gamma(nullptr, f.Job);
    QCOMPARE(gamma.Label3->text() + "/" + gamma.Label4->text() + " " + gamma.Label1->text(), QString("0/5 1.0"));
    gamma.TrackBar1->SetPosition(48);
    QCOMPARE(gamma.Label1->text(), QString("5.0"));
  }

  void limitsNeverLeaveTheSlidersRange() {
    TPictureJob f({QSize(400, 300)});
    f.Job.OneTrackKind = 18;  // Tile
    f.Job.TileValue = 100;
    {
      TFormEffect dialog(nullptr, f.Job);
      QCOMPARE(dialog.Label4->text() + " " + dialog.Label1->text(), QString("60 60"));
      QCOMPARE(f.Job.TileValue, 100);  // only OK writes it
    }
    OkAtOnce<TFormEffect>(f.Job);
    QCOMPARE(f.Job.TileValue, 60);
    f.AddPicture(8, 30);  // too small for a fifth: stays at the minimum 1
    f.Job.PreviewIndex = 1;
    OkAtOnce<TFormEffect>(f.Job);
    QCOMPARE(f.Job.TileValue, 1);
    // A stored value outside a fixed range is taken in too.
    f.Job.OneTrackKind = 2;
    f.Job.ContrastRange = 500;
    OkAtOnce<TFormEffect>(f.Job);
    QCOMPARE(f.Job.ContrastRange, 200);
    // Fish eye: radius up to half the shorter side, never below 4.
    f.Job.FishEyeRadius = 200;
    for (int row : {0, 1}) {
      f.Job.PreviewIndex = row;
      OkAtOnce<TFormFishEye>(f.Job);
      QCOMPARE(f.Job.FishEyeRadius, row ? 4 : 150);  // 8 pixels wide
    }
  }

  void twoSliderLimitsFollowThePicture() {
    TPictureJob f({QSize(40, 30)});
    f.AddPicture(400, 300);
    f.Job.TwoTrackKind = 0;  // 3D grid
    {
      TFormTwoTrack dialog(nullptr, f.Job);
      QCOMPARE(Range(dialog.TrackBar1) + " " + Range(dialog.TrackBar2), QString("0..40 ticks 0..255"));
      QCOMPARE(dialog.Label1->text(), QString("20"));  // 32 cut to half the larger side
      // A larger picture in the same dialog keeps the ticks.
      dialog.SelectRow(1);
      QCOMPARE(Range(dialog.TrackBar1), QString("0..400 ticks"));
    }
    f.Job.PreviewIndex = 1;
    f.Job.PreviewFile = f.Job.SourceFiles[1];
    {
      TFormTwoTrack dialog(nullptr, f.Job);
      QCOMPARE(Range(dialog.TrackBar1) + " " + dialog.Label1->text(), QString("0..400 32"));
    }
    // Lens fire, Puzzle, Spheric: up to the width and the height.
    f.Job.PreviewIndex = 0;
    f.Job.PreviewFile = f.Job.SourceFiles[0];
    f.Job.LensFireX = f.Job.SphereX = f.Job.LensFireY = f.Job.SphereY = 50;
    for (int kind : {2, 7}) {
      f.Job.TwoTrackKind = kind;
      TFormTwoTrack dialog(nullptr, f.Job);
      QString low = kind == 2 ? "0" : "1";
      QCOMPARE(Range(dialog.TrackBar1) + " " + Range(dialog.TrackBar2), low + "..40 " + low + "..30");
      dialog.XiButton1->click();
    }
    QCOMPARE(QList<int>({f.Job.LensFireX, f.Job.LensFireY, f.Job.SphereX, f.Job.SphereY}), QList<int>({40, 30, 40, 30}));
  }

  void threeSlidersShowDerivedValuesAndPassRawOnes() {
    TPictureJob f({QSize(40, 30)});
    f.Job.RgbKind = 1;  // HLS
    {
      TFormRGB dialog(nullptr, f.Job);
      QCOMPARE(dialog.Label1->text() + " " + dialog.Label2->text() + " " + dialog.Label7->text(), QString("0 0.0 0.0"));
      dialog.TrackBar1->SetPosition(0);
      QCOMPARE(dialog.Label1->text(), QString("-150"));
      dialog.TrackBar2->SetPosition(20);
      dialog.TrackBar3->SetPosition(3);
      QCOMPARE(dialog.Label2->text() + " " + dialog.Label7->text(), QString("1.0 -0.7"));
      QVERIFY(dialog.Panel4->isHidden());
      QVERIFY(PreviewIs(dialog, [](TBitmap& b) { ApplyHLS(b, 0, 20, 3); }));
      dialog.XiButton1->click();
    }
    QCOMPARE(QList<int>({f.Job.HlsHue, f.Job.HlsLightness, f.Job.HlsSaturation}), QList<int>({0, 20, 3}));
    f.Job.RgbKind = 2;  // Color tone: the swatch follows
    TFormRGB dialog(nullptr, f.Job);
    dialog.TrackBar1->SetPosition(255);
    QCOMPARE(dialog.Panel4->palette().color(QPalette::Window), QColor(255, 128, 128));
  }

  void fishEyeReverse() {
    TPictureJob f({QSize(80, 60)});
    f.Job.FishEyeInversion = true;
    auto clickReverse = [](TFormFishEye& dialog) {
      QTest::mouseClick(dialog.CheckBox2, Qt::LeftButton, {}, QPoint(6, dialog.CheckBox2->height() / 2));
    };
    {
      TFormFishEye dialog(nullptr, f.Job);
      QCOMPARE(dialog.PreviewRuns(), 1);  // checking the box in code ran none
      QVERIFY(PreviewIs(dialog, [](TBitmap& b) { ApplyFishEye(b, 70, 30, true); }));
      // A click recomputes without touching the value labels.
      dialog.Label1->setText("x");
      clickReverse(dialog);
      QCOMPARE(dialog.PreviewRuns(), 2);
      QCOMPARE(dialog.Label1->text(), QString("x"));
      dialog.XiButton2->click();
    }
    QVERIFY(f.Job.FishEyeInversion);
    TFormFishEye dialog(nullptr, f.Job);
    clickReverse(dialog);
    dialog.XiButton1->click();
    QVERIFY(!f.Job.FishEyeInversion);
  }

  void previewOnlyFlipIgnoresFlipMode() {
    TPictureJob f({QSize(30, 20)});
    f.Job.SimpleEffectKind = 3;  // "Flip (vertical)"
    f.Job.FlipMode = 0;
    TFormSimpleEffect dialog(nullptr, f.Job);
    QVERIFY(PreviewIs(dialog, [](TBitmap& b) { ApplyFlip(b, 1); }));
    dialog.XiButton1->click();
    QCOMPARE(f.Job.FlipMode, 0);
  }
};

WINDOW_TEST_MAIN(TestEffectDialogs)
#include "tst_effectdialogs.moc"
