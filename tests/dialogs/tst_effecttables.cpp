// Every effect dialog of the effect list, opened as "Effect..." opens it (the
// catalogue's dialog and selector): its caption, sliders, ends, hints and
// type group, the values it reads and writes, and a preview that is the
// picture a run writes with the values OK left in the job. ("Resize..." has
// its own tests: tst_resize.cpp.)
#include <QLabel>

#include "controls/xitrackbar.h"
#include "controls/xpcheckbox.h"
#include "dialogs/effects.h"
#include "dialogs/effectsgroupbox.h"
#include "dialogs/effectstwotrack.h"
#include "dialogs/fisheye.h"
#include "dialogs/pattern.h"
#include "dialogs/rgb.h"
#include "dialogs/simpleeffect.h"
#include "effects/function.h"
#include "effects/random.h"
#include "engine/effectcatalogue.h"
#include "mainwindow/mainwindow.h"
#include "tests/support/windowtest.h"

namespace {

using J = TJobRecord;

struct TSlider {
  int Min, Max;
  bool Ticks;
  const char* Ends[2];  // the texts at the slider's left and right end
  int Stored;           // the member's value when the dialog opens
  int Moved;            // the position the test moves the slider to
  const char* Shown = nullptr;  // the value label then; null: Moved as decimal
};

struct TRow {
  const char* Caption;
  std::vector<TSlider> Sliders;
  // The member of each slider, then the type's (null for Rotate's flag).
  std::vector<int J::*> Members = {};
  const char* Title = nullptr;  // null: the caption
  // The sliders' hints (none: every slider's is empty) and whether they
  // pop up.
  std::vector<const char*> Hints = {};
  bool HintsShown = true;
  // The type group: caption, height, columns, items, the item stored and
  // the one clicked.
  const char* Group = nullptr;
  int GroupHeight = 0, Columns = 0;
  QStringList Items = {};
  int StoredItem = 0, ClickedItem = 0;
  // The check box: its member, checked or not when opening; it is clicked.
  bool J::*Box = nullptr;
  bool StoredBox = false;
  bool Swatch = false;
};

TRow One(const char* caption, int J::*member, TSlider slider) { return {caption, {slider}, {member}}; }

// The two-slider dialog sets its sliders' hints but does not show them.
TRow Two(const char* caption, int J::*first, int J::*second, TSlider a, TSlider b,
         std::vector<const char*> hints) {
  TRow row{caption, {a, b}, {first, second}};
  row.Hints = hints;
  row.HintsShown = false;
  return row;
}

TRow Three(const char* caption, std::vector<int J::*> members, std::vector<TSlider> sliders,
           std::vector<const char*> hints, bool swatch = false) {
  TRow row{caption, sliders, members};
  row.Hints = hints;
  row.Swatch = swatch;
  return row;
}

TRow Typed(const char* caption, int J::*member, int J::*type, TSlider slider, const char* group, int height,
           int columns, QStringList items, int stored, int clicked) {
  TRow row{caption, {slider}, {member, type}};
  row.Group = group, row.GroupHeight = height, row.Columns = columns, row.Items = items;
  row.StoredItem = stored, row.ClickedItem = clicked;
  return row;
}

TRow Preview(const char* caption) { return {caption, {}}; }

constexpr bool T = true, F = false;
const QStringList Numbers4 = {"1", "2", "3", "4"};

// Every entry with a dialog but "Resize...", on a 48 x 36 preview picture
// (W 48, H 36 for the ranges bound to the picture).
const std::vector<TRow>& Rows() {
  static const std::vector<TRow> rows = [] {
    std::vector<TRow> r = {
        // One slider, by OneTrackKind.
        One("Antialias...", &J::AntialiasPasses, {0, 50, T, {"0", "50"}, 7, 3}),
        One("Blur radial...", &J::BlurAngle, {1, 90, F, {"1", "90"}, 40, 25}),
        One("Contrast...", &J::ContrastRange, {0, 200, F, {"0", "200"}, 120, 160}),
        One("Cylinder...", &J::CylinderStretch, {1, 10, T, {"1", "10"}, 7, 4}),
        One("Fractal...", &J::FractalIterations, {1, 10, T, {"1", "10"}, 3, 5}),
        One("Gamma correction...", &J::GammaValue, {0, 48, T, {"0", "5"}, 30, 20, "2.2"}),
        One("Gauss blur...", &J::GaussPasses, {0, 5, T, {"0", "5"}, 4, 2}),
        One("Illusion...", &J::IllusionAmount, {1, 30, T, {"1", "30"}, 12, 6}),
        One("Lightness...", &J::LightnessAmount, {0, 255, F, {"0", "255"}, 150, 60}),
        One("Moire...", &J::MoireDegree, {1, 180, F, {"1", "180"}, 100, 45}),
        One("Pixelate...", &J::PixelSize, {1, 25, T, {"1", "25"}, 9, 4}),
        One("Posterized...", &J::PosterizeStep, {1, 255, F, {"1", "255"}, 100, 40}),
        One("Saturation...", &J::SaturationDepth, {0, 255, F, {"0", "255"}, 20, 200}),
        One("Sepia...", &J::SepiaValue, {0, 255, F, {"0", "255"}, 150, 70}),
        One("Solorized...", &J::SolorizedValue, {1, 255, F, {"1", "255"}, 200, 90}),
        One("Split light...", &J::SplitLightValue, {1, 10, T, {"1", "10"}, 6, 2}),
        One("Swirl...", &J::SwirlDegree, {0, 180, F, {"0", "180"}, 90, 30}),
        One("Threshold...", &J::ThresholdLevel, {0, 255, F, {"0", "255"}, 200, 70}),
        One("Tile...", &J::TileValue, {1, 7, F, {"1", "7"}, 5, 3}),  // min(W / 5, H / 5)
        One("Twist...", &J::TwistValue, {1, 300, F, {"1", "300"}, 200, 120}),
        One("Warp...", &J::WarpFactor, {0, 180, F, {"0", "180"}, 100, 40}),
        One("Wind...", &J::WindLevel, {0, 50, T, {"0", "50"}, 30, 12}),
        // Two sliders, by TwoTrackKind.
        Two("3D grid...", &J::GridStep, &J::GridTransparency, {0, 48, T, {"0", "48"}, 10, 7},
            {0, 255, F, {"0", "255"}, 100, 35}, {"Grid step", "Transparency"}),
        Two("Glasstile...", &J::GlasstileX, &J::GlasstileY, {2, 100, F, {"2", "100"}, 30, 4},
            {2, 100, F, {"2", "100"}, 50, 9}, {"X", "Y"}),
        Two("Lens fire...", &J::LensFireX, &J::LensFireY, {0, 48, F, {"0", "48"}, 10, 30},
            {0, 36, F, {"0", "36"}, 20, 9}, {"X", "Y"}),
        Two("Oil paint...", &J::OilSmooth, &J::OilBrush, {1, 255, F, {"1", "255"}, 100, 40},
            {1, 5, T, {"1", "5"}, 4, 3}, {"Smoothness", "Width of pen"}),
        Two("Puzzle...", &J::PuzzleAcross, &J::PuzzleDown, {1, 48, F, {"", "48"}, 10, 4}, {1, 36, F, {"", "36"}, 8, 3},
            {"Across", "Down"}),
        Two("Rain drops...", &J::RainDropCount, &J::RainDropSize, {1, 255, F, {"1", "255"}, 150, 30},
            {2, 50, T, {"2", "50"}, 40, 8}, {"Amount of drops", "Size of drops"}),
        Two("Ribbon...", &J::RibbonWidth, &J::RibbonFrequency, {0, 100, F, {"0", "100"}, 80, 30},
            {0, 100, F, {"0", "100"}, 10, 70}, {"Width", "Frequency"}),
        Two("Spheric...", &J::SphereX, &J::SphereY, {1, 48, F, {"", "48"}, 30, 20}, {1, 36, F, {"", "36"}, 30, 14},
            {}),
        // Three sliders, by RgbKind: the raw positions reach the job, the
        // labels may show what they stand for.
        Three("RGB...", {&J::RgbRed, &J::RgbGreen, &J::RgbBlue},
              {{-255, 255, F, {"-255", "255"}, 10, 40},
               {-255, 255, F, {"-255", "255"}, 20, -30},
               {-255, 255, F, {"-255", "255"}, 30, 90}},
              {"Red", "Green", "Blue"}),
        Three("HLS...", {&J::HlsHue, &J::HlsLightness, &J::HlsSaturation},
              {{0, 30, F, {"-150", "150"}, 25, 20, "50"},
               {0, 20, F, {"-1", "1"}, 5, 13, "0.3"},
               {0, 20, F, {"-1", "1"}, 15, 6, "-0.4"}},
              {"Hue", "Lightness", "Saturation"}),
        Three("Color tone...", {&J::RedTone, &J::GreenTone, &J::BlueTone},
              {{0, 255, F, {"0", "255"}, 10, 240}, {0, 255, F, {"0", "255"}, 20, 40}, {0, 255, F, {"0", "255"}, 30, 200}},
              {"Red", "Green", "Blue"}, true),
        Three("Tile reflection...", {&J::TileReflectionAngle, &J::TileReflectionSize, &J::TileReflectionCurvature},
              {{0, 90, F, {"-45", "45"}, 60, 30, "-15"},
               {2, 100, F, {"2", "100"}, 50, 9},
               {0, 40, F, {"-20", "20"}, 5, 33, "13"}},
              {"Angle", "Square size", "Curvature"}),
        // Slider and type, by GroupEffectKind.
        Typed("Texturing...", &J::TexturingLevel, &J::TexturingType, {2, 24, T, {"2", "24"}, 10, 6}, "Type", 48, 2,
              {"overlap", "tile"}, 1, 0),  // 2 .. W / 2, ticks up to 50
        Typed("Softened...", &J::SoftenedLevel, &J::SoftenedType, {1, 120, F, {"1", "120"}, 25, 40}, "Type", 68, 3,
              {"1", "2", "3", "4", "box blur", "triangle blur"}, 5, 4),
        Typed("Noise...", &J::NoiseDegree, &J::NoiseType, {1, 250, F, {"1", "250"}, 5, 20}, "Type", 48, 3,
              {"best", "color", "mono"}, 2, 1),
        Typed("Shake...", &J::ShakeValue, &J::ShakeDirection, {0, 50, T, {"0", "50"}, 20, 15}, "Direction", 48, 2,
              {"horizontal", "vertical"}, 1, 0),
        // ("random1" draws from a generator seeded by the clock.)
        Typed("Ripple...", &J::RippleValue, &J::RippleType, {0, 50, T, {"0", "50"}, 10, 5}, "Type", 48, 4,
              {"tooth", "triangle", "random1", "random2"}, 3, 1),
        Typed("Figure...", &J::FigureValue, &J::FigureType, {0, 24, T, {"0", "24"}, 20, 9}, "Type", 48, 7,
              {"1", "2", "3", "4", "5", "6", "7"}, 6, 3),
        Typed("Sharpness...", &J::SharpnessLevel, &J::SharpnessType, {0, 50, F, {"0", "50"}, 10, 30}, "Type", 48, 4,
              Numbers4, 3, 2),
        Typed("Emboss...", &J::EmbossLevel, &J::EmbossType, {0, 255, F, {"0", "255"}, 40, 70}, "Type", 48, 6,
              {"1", "2", "3", "4", "5", "6"}, 5, 3),
        Typed("Detect edge...", &J::DetectEdgeLevel, &J::DetectEdgeType, {0, 255, F, {"0", "255"}, 40, 90}, "Type",
              48, 4, Numbers4, 3, 2),
        Typed("Increase...", &J::IncreaseZoom, &J::IncreaseType, {1, 10, T, {"1", "10"}, 5, 3}, "Type", 48, 2,
              {"Pixelate", "Interpolation"}, 0, 1),
        Typed("Video...", &J::VideoLightness, &J::VideoType, {0, 255, F, {"0", "255"}, 40, 100}, "Type", 48, 4,
              Numbers4, 3, 2),
        Typed("Rotate...", &J::RotateAngle, nullptr, {0, 360, F, {"0", "360"}, 45, 30}, "Type", 48, 2,
              {"as is", "smooth"}, 1, 0),
    };
    TRow fishEye = Two("Fish eye...", &J::FishEyeZoom, &J::FishEyeRadius, {1, 200, F, {"1", "200"}, 100, 180},
                       {4, 18, F, {"4", "18"}, 10, 13}, {"Zoom", "Radius"});  // radius up to min(W, H) / 2
    fishEye.Title = "Fish eye";
    fishEye.HintsShown = true;
    fishEye.Box = &J::FishEyeInversion, fishEye.StoredBox = true;
    r.push_back(fishEye);
    TRow watermark = One("Watermark...", &J::WatermarkLevel, {0, 255, F, {"0", "255"}, 70, 40});
    watermark.Title = "Watermark";
    watermark.Box = &J::WatermarkInverse;
    r.push_back(watermark);
    for (const char* caption : {"Auto color enhance", "Contrast (auto)", "Flip (horizontal)", "Flip (vertical)",
                                "Flip (horiz/vert)", "Greyscale", "Halftone", "Inverse", "Monochrome"})
      r.push_back(Preview(caption));
    return r;
  }();
  return rows;
}

const TRow* FindRow(const std::string& caption) {
  for (const TRow& row : Rows())
    if (caption == row.Caption) return &row;
  return nullptr;
}

// The dialog as "Effect..." makes it.
std::unique_ptr<TEffectFrame> OpenDialog(TEffectDialog dialog, TJobRecord& job) {
  std::unique_ptr<QDialog> made = MakeEffectDialog(dialog, nullptr, job);
  if (!dynamic_cast<TEffectFrame*>(made.get())) return nullptr;
  return std::unique_ptr<TEffectFrame>(static_cast<TEffectFrame*>(made.release()));
}

// A slider row under the designer's names: the slider, its value label
// and its two end labels.
struct TSliderWidgets {
  TXiTrackBar* Bar;
  QLabel* Value;
  QLabel* Ends[2];
};

TSliderWidgets SliderWidgets(const QWidget& dialog, int index) {
  static const char* const names[3][4] = {{"TrackBar1", "Label1", "Label3", "Label4"},
                                          {"TrackBar2", "Label2", "Label5", "Label6"},
                                          {"TrackBar3", "Label7", "Label8", "Label9"}};
  const char* const* n = names[index];
  return {dialog.findChild<TXiTrackBar*>(n[0]),
          dialog.findChild<QLabel*>(n[1]),
          {dialog.findChild<QLabel*>(n[2]), dialog.findChild<QLabel*>(n[3])}};
}

QString Describe(const TXiTrackBar* bar, const QLabel* const ends[2]) {
  return QString("%1 %2..%3 %4 %5")
      .arg(ends[0]->text())
      .arg(bar->Min())
      .arg(bar->Max())
      .arg(ends[1]->text())
      .arg(bar->TickStyle() == TXiTrackBar::tsAuto ? "ticks" : "no ticks");
}

QString Describe(const TSlider& s) {
  return QString("%1 %2..%3 %4 %5").arg(s.Ends[0]).arg(s.Min).arg(s.Max).arg(s.Ends[1]).arg(s.Ticks ? "ticks" : "no ticks");
}

}  // namespace

class TestEffectTables : public QObject {
  Q_OBJECT

 private:
  TMessageLog Messages;

  // Opens the entry's dialog, checks its face, moves every control, and
  // compares the preview with the run's output after OK.
  void CheckEntry(const TEffectEntry& entry, const TRow& row) {
    // Noise in a narrower range of values: a smooth picture or one of the
    // full range leaves some effects nothing to do.
    TPictureJob f;
    std::unique_ptr<TBitmap> noise = MakeNoiseBitmap(48, 36, 5);
    ApplyContrast(*noise, 70);
    noise->SaveToFile(f.Folder.File("noise.bmp"));
    f.Add(f.Folder.File("noise.bmp"));
    J& job = f.Job;
    job.EffectName = entry.Caption;
    if (entry.SelectorMember) job.*entry.SelectorMember = entry.Selector;
    for (size_t i = 0; i < row.Sliders.size(); ++i) job.*row.Members[i] = row.Sliders[i].Stored;
    int J::*type = row.Group ? row.Members.back() : nullptr;
    if (type) job.*type = row.StoredItem;
    else if (row.Group) job.RotateSmooth = row.StoredItem == 1;
    if (row.Box) job.*row.Box = row.StoredBox;

    std::unique_ptr<TEffectFrame> dialog = OpenDialog(entry.Dialog, job);
    QVERIFY(dialog);
    dialog->show();
    QCOMPARE(dialog->windowTitle(), QString(row.Title ? row.Title : row.Caption));
    for (size_t i = 0; i < row.Sliders.size(); ++i) {
      const TSlider& s = row.Sliders[i];
      TSliderWidgets w = SliderWidgets(*dialog, int(i));
      QVERIFY(w.Bar && w.Value && w.Ends[0] && w.Ends[1]);
      QCOMPARE(Describe(w.Bar, w.Ends), Describe(s));
      QCOMPARE(w.Bar->Position(), s.Stored);
      QCOMPARE(w.Bar->Hint(), QString(row.Hints.empty() ? "" : row.Hints[i]));
      if (!row.Hints.empty()) QCOMPARE(w.Bar->ShowHint(), row.HintsShown);
    }
    if (row.Sliders.size() < 3) QVERIFY(!SliderWidgets(*dialog, int(row.Sliders.size())).Bar);
    if (auto* swatch = dialog->findChild<QWidget*>("Panel4")) QCOMPARE(!swatch->isHidden(), row.Swatch);
    auto* group = dialog->findChild<TRadioGroup*>("RadioGroup1");
    QCOMPARE(group != nullptr, row.Group != nullptr);
    if (group) {
      QCOMPARE(group->Caption(), QString(row.Group));
      QCOMPARE(QList<int>({group->height(), group->Columns(), group->ItemIndex()}),
               QList<int>({row.GroupHeight, row.Columns, row.StoredItem}));
      QCOMPARE(group->Items(), row.Items);
    }
    auto* box = dialog->findChild<TXPCheckBox*>("CheckBox2");
    QCOMPARE(box != nullptr, row.Box != nullptr);
    if (box) QCOMPARE(box->GetChecked(), row.StoredBox);

    // Every control moved; the labels follow.
    for (size_t i = 0; i < row.Sliders.size(); ++i) {
      const TSlider& s = row.Sliders[i];
      TSliderWidgets w = SliderWidgets(*dialog, int(i));
      w.Bar->SetPosition(s.Moved);
      QCOMPARE(w.Value->text(), s.Shown ? QString(s.Shown) : QString::number(s.Moved));
    }
    if (group) QTest::mouseClick(group->Button(row.ClickedItem), Qt::LeftButton, {}, QPoint(6, 6));
    if (box) QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(6, box->height() / 2));
    // The last preview from the generators as at start, as the run's.
    ResetEffectRandomGenerators();
    if (!row.Sliders.empty()) {
      TXiTrackBar* first = SliderWidgets(*dialog, 0).Bar;
      first->SetPosition(first->Position());
    }
    QVERIFY(dialog->Source() && dialog->Result());
    TBitmap source, preview;
    source.Assign(dialog->Source());
    preview.Assign(dialog->Result());
    QVERIFY2(!SameColors(source, preview), "the effect leaves the picture as it is");

    dialog->XiButton1->click();
    QCOMPARE(dialog->result(), int(QDialog::Accepted));
    for (size_t i = 0; i < row.Sliders.size(); ++i) QCOMPARE(job.*row.Members[i], row.Sliders[i].Moved);
    if (type) QCOMPARE(job.*type, row.ClickedItem);
    else if (row.Group) QCOMPARE(job.RotateSmooth, row.ClickedItem == 1);
    if (row.Box) QCOMPARE(job.*row.Box, !row.StoredBox);

    // Choosing a flip entry sets the direction the run takes.
    if (entry.FlipMode >= 0) job.FlipMode = entry.FlipMode;
    std::unique_ptr<TBitmap> output = RunOnPicture(job, source);
    QVERIFY(output);
    QVERIFY2(SameColors(*output, preview), "the preview is not the picture the run writes");
  }

 private slots:
  void init() { Messages.clear(); }
  void cleanup() { QVERIFY(Messages.empty()); }

  void everyDialogPreviewsWhatTheRunWrites() {
    int checked = 0;
    for (const TEffectEntry& entry : EffectCatalogue()) {
      if (entry.IsConvert() || entry.Dialog == TEffectDialog::TFormResize) continue;
      const TRow* row = FindRow(entry.Caption);
      QVERIFY2(row, entry.Caption);
      CheckEntry(entry, *row);
      if (QTest::currentTestFailed()) QFAIL(entry.Caption);
      ++checked;
    }
    QCOMPARE(checked, int(Rows().size()));
  }
};

WINDOW_TEST_MAIN(TestEffectTables)
#include "tst_effecttables.moc"
