// The one-, two- and three-slider dialogs, the fish eye and the preview-only
// dialog: ranges, labels, limits taken from the preview picture, and what
// each writes on OK.
#include <QApplication>
#include <QtTest>

#include "controls/xitrackbar.h"
#include "dialogs/effects.h"
#include "dialogs/effectstwotrack.h"
#include "dialogs/fisheye.h"
#include "dialogs/rgb.h"
#include "dialogs/simpleeffect.h"
#include "effects/function.h"
#include "engine/jobrecord.h"
#include "platform/windows/messages.h"
#include "tests/support/testsupport.h"

namespace {

// A job whose source list holds one BMP picture of the given size.
struct TJobFixture {
  TempDir Folder;
  TJobRecord Job{Folder.Path()};

  explicit TJobFixture(int width = 40, int height = 30) { SetPicture(width, height); }
  void SetPicture(int width, int height) {
    std::string path = Folder.File(std::to_string(width) + "x" + std::to_string(height) + ".bmp");
    MakeTestBitmap(width, height)->SaveToFile(path);
    Job.SourceFiles.Clear();
    Job.SourceFiles.Add(path);
    Job.FileCount = 1;
    Job.PreviewIndex = 0;
    Job.PreviewFile = path;
  }
};

struct TRange {
  int Min, Max;
  bool operator==(const TRange&) const = default;
};
TRange RangeOf(const TXiTrackBar* bar) { return {bar->Min(), bar->Max()}; }
bool Ticks(const TXiTrackBar* bar) { return bar->TickStyle() == TXiTrackBar::tsAuto; }

}  // namespace

class TestEffectDialogs : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    SetMessageHandler([](const std::string& text) { QFAIL(("unexpected message: " + text).c_str()); });
  }
  void cleanup() { SetMessageHandler(nullptr); }

  void oneSliderKinds() {
    struct TKind {
      int TJobRecord::*Member;
      int Min, Max;
      bool Ticks;
    };
    // By OneTrackKind, on a 400 x 300 preview (Tile's maximum from it).
    const TKind kinds[] = {
        {&TJobRecord::AntialiasPasses, 0, 50, true}, {&TJobRecord::BlurAngle, 1, 90, false},
        {&TJobRecord::ContrastRange, 0, 200, false}, {&TJobRecord::CylinderStretch, 1, 10, true},
        {&TJobRecord::FractalIterations, 1, 10, true}, {&TJobRecord::GammaValue, 0, 48, true},
        {&TJobRecord::GaussPasses, 0, 5, true},       {&TJobRecord::IllusionAmount, 1, 30, true},
        {&TJobRecord::LightnessAmount, 0, 255, false}, {&TJobRecord::MoireDegree, 1, 180, false},
        {&TJobRecord::PixelSize, 1, 25, true},        {&TJobRecord::PosterizeStep, 1, 255, false},
        {&TJobRecord::SaturationDepth, 0, 255, false}, {&TJobRecord::SepiaValue, 0, 255, false},
        {&TJobRecord::SolorizedValue, 1, 255, false}, {&TJobRecord::SplitLightValue, 1, 10, true},
        {&TJobRecord::SwirlDegree, 0, 180, false},    {&TJobRecord::ThresholdLevel, 0, 255, false},
        {&TJobRecord::TileValue, 1, 60, false},       {&TJobRecord::TwistValue, 1, 300, false},
        {&TJobRecord::WarpFactor, 0, 180, false},     {&TJobRecord::WindLevel, 0, 50, true},
    };
    TJobFixture f(400, 300);
    for (int kind = 0; kind < 22; ++kind) {
      const TKind& k = kinds[kind];
      f.Job.OneTrackKind = kind;
      f.Job.EffectName = "Kind " + std::to_string(kind);
      int before = f.Job.*k.Member;
      TFormEffect dialog(nullptr, f.Job);
      QString where = QString("kind %1").arg(kind);
      QVERIFY2(RangeOf(dialog.TrackBar1) == (TRange{k.Min, k.Max}), qPrintable(where));
      QVERIFY2(Ticks(dialog.TrackBar1) == k.Ticks, qPrintable(where));
      QCOMPARE(dialog.windowTitle(), QString::fromStdString(f.Job.EffectName));
      QCOMPARE(dialog.TrackBar1->Position(), before);
      if (kind != 5) {
        QCOMPARE(dialog.Label3->text(), QString::number(k.Min));
        QCOMPARE(dialog.Label4->text(), QString::number(k.Max));
        QCOMPARE(dialog.Label1->text(), QString::number(before));
      }
      // OK writes the kind's own member and no other.
      dialog.TrackBar1->SetPosition(k.Max - 1);
      dialog.XiButton1->click();
      QVERIFY2(f.Job.*k.Member == k.Max - 1, qPrintable(where));
      f.Job.*k.Member = before;
    }
  }

  void gammaShowsTheGammaItself() {
    TJobFixture f;
    f.Job.OneTrackKind = 5;
    TFormEffect dialog(nullptr, f.Job);
    QCOMPARE(dialog.Label3->text(), QString("0"));
    QCOMPARE(dialog.Label4->text(), QString("5"));
    QCOMPARE(dialog.Label1->text(), QString("1.0"));
    dialog.TrackBar1->SetPosition(0);
    QCOMPARE(dialog.Label1->text(), QString("0.2"));
    dialog.TrackBar1->SetPosition(48);
    QCOMPARE(dialog.Label1->text(), QString("5.0"));
  }

  void tileFollowsThePreviewPicture() {
    TJobFixture f(400, 300);
    f.Job.OneTrackKind = 18;
    f.Job.TileValue = 100;
    {
      TFormEffect dialog(nullptr, f.Job);
      QCOMPARE(RangeOf(dialog.TrackBar1), (TRange{1, 60}));
      QCOMPARE(dialog.Label4->text(), QString("60"));
      QCOMPARE(dialog.Label1->text(), QString("60"));
      QCOMPARE(f.Job.TileValue, 100);  // only OK writes it
      dialog.XiButton1->click();
    }
    QCOMPARE(f.Job.TileValue, 60);
    // A picture too small for a fifth: the slider stays at its minimum 1.
    f.SetPicture(8, 30);
    TFormEffect dialog(nullptr, f.Job);
    QCOMPARE(RangeOf(dialog.TrackBar1), (TRange{1, 1}));
    QCOMPARE(dialog.Label4->text(), QString("1"));
    dialog.XiButton1->click();
    QCOMPARE(f.Job.TileValue, 1);
  }

  void storedValuesOutsideTheRangeAreClamped() {
    TJobFixture f;
    f.Job.OneTrackKind = 2;
    f.Job.ContrastRange = 500;
    TFormEffect dialog(nullptr, f.Job);
    QCOMPARE(dialog.Label1->text(), QString("200"));
    dialog.XiButton1->click();
    QCOMPARE(f.Job.ContrastRange, 200);
  }

  void gridLimitsAndTicksFollowThePicture() {
    TJobFixture f(40, 30);
    f.Job.TwoTrackKind = 0;
    {
      TFormTwoTrack dialog(nullptr, f.Job);
      QCOMPARE(RangeOf(dialog.TrackBar1), (TRange{0, 40}));
      QVERIFY(Ticks(dialog.TrackBar1));
      QCOMPARE(dialog.Label4->text(), QString("40"));
      QCOMPARE(dialog.Label1->text(), QString("20"));  // 32 cut to half the larger side
      QCOMPARE(RangeOf(dialog.TrackBar2), (TRange{0, 255}));
      QCOMPARE(dialog.Label3->text() + dialog.Label5->text() + "/" + dialog.Label6->text(), QString("00/255"));
    }
    f.SetPicture(400, 300);
    TFormTwoTrack dialog(nullptr, f.Job);
    QCOMPARE(RangeOf(dialog.TrackBar1), (TRange{0, 400}));
    QVERIFY(!Ticks(dialog.TrackBar1));
    QCOMPARE(dialog.Label1->text(), QString("32"));
  }

  void gridTicksStayForALargerPictureInTheSameDialog() {
    TJobFixture f(40, 30);
    std::string large = f.Folder.File("large.bmp");
    MakeTestBitmap(400, 300)->SaveToFile(large);
    f.Job.SourceFiles.Add(large);
    f.Job.FileCount = 2;
    f.Job.TwoTrackKind = 0;
    TFormTwoTrack dialog(nullptr, f.Job);
    dialog.SelectRow(1);
    QCOMPARE(RangeOf(dialog.TrackBar1), (TRange{0, 400}));
    QVERIFY(Ticks(dialog.TrackBar1));
  }

  void pictureSizedSlidersCutTheirValues() {
    // Lens fire, Puzzle, Spheric: x up to the width, y up to the height.
    for (int kind : {2, 4, 7}) {
      TJobFixture f(30, 20);
      f.Job.TwoTrackKind = kind;
      f.Job.LensFireX = f.Job.PuzzleAcross = f.Job.SphereX = 50;
      f.Job.LensFireY = f.Job.PuzzleDown = f.Job.SphereY = 50;
      TFormTwoTrack dialog(nullptr, f.Job);
      int minimum = kind == 2 ? 0 : 1;
      QCOMPARE(RangeOf(dialog.TrackBar1), (TRange{minimum, 30}));
      QCOMPARE(RangeOf(dialog.TrackBar2), (TRange{minimum, 20}));
      QCOMPARE(dialog.Label4->text() + "," + dialog.Label6->text(), QString("30,20"));
      QCOMPARE(dialog.Label3->text(), kind == 2 ? QString("0") : QString());
      dialog.XiButton1->click();
      int x = kind == 2 ? f.Job.LensFireX : kind == 4 ? f.Job.PuzzleAcross : f.Job.SphereX;
      int y = kind == 2 ? f.Job.LensFireY : kind == 4 ? f.Job.PuzzleDown : f.Job.SphereY;
      QCOMPARE(x, 30);
      QCOMPARE(y, 20);
    }
    // A one-pixel-wide picture leaves Puzzle at one piece across.
    TJobFixture f(1, 20);
    f.Job.TwoTrackKind = 4;
    TFormTwoTrack dialog(nullptr, f.Job);
    QCOMPARE(RangeOf(dialog.TrackBar1), (TRange{1, 1}));
    dialog.XiButton1->click();
    QCOMPARE(f.Job.PuzzleAcross, 1);
  }

  void fixedTwoSliderRangesAndTicks() {
    TJobFixture f;
    f.Job.TwoTrackKind = 3;  // Oil paint
    {
      TFormTwoTrack dialog(nullptr, f.Job);
      QCOMPARE(RangeOf(dialog.TrackBar1), (TRange{1, 255}));
      QCOMPARE(RangeOf(dialog.TrackBar2), (TRange{1, 5}));
      QVERIFY(!Ticks(dialog.TrackBar1));
      QVERIFY(Ticks(dialog.TrackBar2));
      QCOMPARE(dialog.Label6->text(), QString("5"));
      dialog.TrackBar1->SetPosition(77);
      QCOMPARE(dialog.Label1->text(), QString("77"));
      QCOMPARE(dialog.Label2->text(), QString("2"));
      dialog.TrackBar2->SetPosition(4);
      dialog.XiButton1->click();
    }
    QCOMPARE(f.Job.OilSmooth, 77);
    QCOMPARE(f.Job.OilBrush, 4);
    f.Job.TwoTrackKind = 5;  // Rain drops
    TFormTwoTrack dialog(nullptr, f.Job);
    QCOMPARE(RangeOf(dialog.TrackBar2), (TRange{2, 50}));
    QVERIFY(Ticks(dialog.TrackBar2));
  }

  void hlsAndTileReflectionShowDerivedValues() {
    TJobFixture f;
    f.Job.RgbKind = 1;
    {
      TFormRGB dialog(nullptr, f.Job);
      QCOMPARE(dialog.Label1->text() + " " + dialog.Label2->text() + " " + dialog.Label7->text(),
               QString("0 0.0 0.0"));
      QCOMPARE(dialog.Label3->text() + "/" + dialog.Label4->text(), QString("-150/150"));
      QCOMPARE(RangeOf(dialog.TrackBar1), (TRange{0, 30}));
      QCOMPARE(RangeOf(dialog.TrackBar2), (TRange{0, 20}));
      dialog.TrackBar1->SetPosition(0);
      QCOMPARE(dialog.Label1->text(), QString("-150"));
      dialog.TrackBar1->SetPosition(30);
      QCOMPARE(dialog.Label1->text(), QString("150"));
      dialog.TrackBar2->SetPosition(20);
      QCOMPARE(dialog.Label2->text(), QString("1.0"));
      dialog.TrackBar3->SetPosition(3);
      QCOMPARE(dialog.Label7->text(), QString("-0.7"));
      QVERIFY(dialog.Panel4->isHidden());
      dialog.XiButton1->click();
    }
    QCOMPARE(f.Job.HlsHue, 30);
    QCOMPARE(f.Job.HlsLightness, 20);
    QCOMPARE(f.Job.HlsSaturation, 3);

    f.Job.RgbKind = 3;
    TFormRGB dialog(nullptr, f.Job);
    QCOMPARE(dialog.Label1->text() + " " + dialog.Label2->text() + " " + dialog.Label7->text(), QString("-45 6 -4"));
    QCOMPARE(dialog.Label8->text() + "/" + dialog.Label9->text(), QString("-20/20"));
    QCOMPARE(RangeOf(dialog.TrackBar2), (TRange{2, 100}));
    // The library gets the raw positions.
    TBitmap expected;
    expected.Assign(dialog.Source());
    ApplyTileReflection(expected, 0, 6, 16);
    TBitmap result;
    result.Assign(dialog.Result());
    QVERIFY(SameColors(expected, result));
  }

  void rgbShowsSignedOffsets() {
    TJobFixture f;
    f.Job.RgbKind = 0;
    TFormRGB dialog(nullptr, f.Job);
    QCOMPARE(RangeOf(dialog.TrackBar3), (TRange{-255, 255}));
    dialog.TrackBar1->SetPosition(-255);
    QCOMPARE(dialog.Label1->text(), QString("-255"));
    QCOMPARE(dialog.Label2->text(), QString("0"));
    QCOMPARE(dialog.TrackBar1->toolTip(), QString("Red"));
    dialog.XiButton1->click();
    QCOMPARE(f.Job.RgbRed, -255);
  }

  void colorToneShowsItsSwatch() {
    TJobFixture f;
    f.Job.RgbKind = 2;
    TFormRGB dialog(nullptr, f.Job);
    QVERIFY(!dialog.Panel4->isHidden());
    QCOMPARE(dialog.Panel4->palette().color(QPalette::Window), QColor(128, 128, 128));
    dialog.TrackBar1->SetPosition(255);
    QCOMPARE(dialog.Panel4->palette().color(QPalette::Window), QColor(255, 128, 128));
    TBitmap expected;
    expected.Assign(dialog.Source());
    ApplyColorTone(expected, 0x8080FF);
    TBitmap result;
    result.Assign(dialog.Result());
    QVERIFY(SameColors(expected, result));
  }

  void fishEyeRadiusFollowsThePicture() {
    TJobFixture f(400, 300);
    f.Job.FishEyeRadius = 200;
    {
      TFormFishEye dialog(nullptr, f.Job);
      QCOMPARE(dialog.windowTitle(), QString("Fish eye"));
      QCOMPARE(RangeOf(dialog.TrackBar1), (TRange{1, 200}));
      QCOMPARE(RangeOf(dialog.TrackBar2), (TRange{4, 150}));
      QCOMPARE(dialog.Label5->text() + "/" + dialog.Label6->text(), QString("4/150"));
      QCOMPARE(dialog.Label2->text(), QString("150"));
      dialog.XiButton1->click();
    }
    QCOMPARE(f.Job.FishEyeRadius, 150);
    f.SetPicture(60, 50);
    f.Job.FishEyeRadius = 40;
    {
      TFormFishEye dialog(nullptr, f.Job);
      QCOMPARE(dialog.Label2->text(), QString("25"));
    }
    // Under ten pixels: the maximum stays at the minimum 4.
    f.SetPicture(6, 30);
    TFormFishEye dialog(nullptr, f.Job);
    QCOMPARE(RangeOf(dialog.TrackBar2), (TRange{4, 4}));
    dialog.XiButton1->click();
    QCOMPARE(f.Job.FishEyeRadius, 4);
  }

  void fishEyeReverse() {
    TJobFixture f(80, 60);
    f.Job.FishEyeInversion = true;
    {
      TFormFishEye dialog(nullptr, f.Job);
      QVERIFY(dialog.CheckBox2->GetChecked());
      QCOMPARE(dialog.PreviewRuns(), 1);  // setting the box ran no preview
      TBitmap pinch;
      pinch.Assign(dialog.Result());
      TBitmap expected;
      expected.Assign(dialog.Source());
      ApplyFishEye(expected, 70, 30, true);
      QVERIFY(SameColors(expected, pinch));
      // A click recomputes without touching the value labels.
      dialog.Label1->setText("x");
      QTest::mouseClick(dialog.CheckBox2, Qt::LeftButton, {}, QPoint(6, dialog.CheckBox2->height() / 2));
      QVERIFY(!dialog.CheckBox2->GetChecked());
      QCOMPARE(dialog.PreviewRuns(), 2);
      QCOMPARE(dialog.Label1->text(), QString("x"));
      dialog.XiButton2->click();
    }
    QVERIFY(f.Job.FishEyeInversion);
    TFormFishEye dialog(nullptr, f.Job);
    QTest::mouseClick(dialog.CheckBox2, Qt::LeftButton, {}, QPoint(6, dialog.CheckBox2->height() / 2));
    dialog.TrackBar1->SetPosition(120);
    dialog.XiButton1->click();
    QVERIFY(!f.Job.FishEyeInversion);
    QCOMPARE(f.Job.FishEyeZoom, 120);
  }

  void previewOnlyFlipIgnoresFlipMode() {
    TJobFixture f(30, 20);
    f.Job.SimpleEffectKind = 3;  // "Flip (vertical)"
    f.Job.FlipMode = 0;
    f.Job.EffectName = "Flip (vertical)";
    TFormSimpleEffect dialog(nullptr, f.Job);
    QCOMPARE(dialog.windowTitle(), QString("Flip (vertical)"));
    TBitmap expected;
    expected.Assign(dialog.Source());
    ApplyFlip(expected, 1);
    TBitmap result;
    result.Assign(dialog.Result());
    QVERIFY(SameColors(expected, result));
    int fileCount = f.Job.FileCount, flip = f.Job.FlipMode;
    dialog.XiButton1->click();
    QCOMPARE(f.Job.FlipMode, flip);
    QCOMPARE(int(f.Job.FileCount), fileCount);
  }
};

int main(int argc, char** argv) {
  TempDir config;
  qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(config.Path()));
  QApplication application(argc, argv);
  TestEffectDialogs test;
  return QTest::qExec(&test, argc, argv);
}

#include "tst_effectdialogs.moc"
