#include "dialogs/pattern.h"

#include <QMouseEvent>
#include <QScrollBar>

#include "controls/xipanel.h"
#include "controls/xitrackbar.h"
#include "effects/function.h"
#include "platform/system/sysutils.h"
#include "platform/windows/bitmapview.h"
#include "platform/windows/dialogs.h"
#include "platform/windows/guard.h"
#include "platform/windows/messages.h"

namespace {

constexpr int ColorPatternSize = 60;
constexpr char PictureFilter[] =
    "All pictures (*.bmp *.jpg *.jpeg *.png *.gif *.ico *.emf *.wmf);;Bitmaps (*.bmp);;JPEG pictures (*.jpg "
    "*.jpeg);;PNG pictures (*.png);;GIF pictures (*.gif);;Icons (*.ico);;Metafiles (*.emf *.wmf)";

// A square of one colour, the pattern a colour gives.
std::unique_ptr<TBitmap> ColorSquare(TColor color) {
  auto square = std::make_unique<TBitmap>();
  square->SetPixelFormat(pf24bit);
  square->SetSize(ColorPatternSize, ColorPatternSize);
  square->Canvas()->Brush.Color = color;
  square->Canvas()->FillRect(Rect(0, 0, ColorPatternSize, ColorPatternSize));
  return square;
}

void ScrollToOrigin(QScrollArea* area) {
  area->horizontalScrollBar()->setValue(0);
  area->verticalScrollBar()->setValue(0);
}

}  // namespace

TFormPattern::TFormPattern(QWidget* parent, TJobRecord& job) : TSliderFrame(parent, job) {
  constexpr int Width = 572, ListWidth = 171, PatternPanelHeight = 109;
  setWindowTitle("Watermark");
  BuildFrame(Width, 590, 99, 374, 480, 551);
  SetFaceColor(clInfoBk);

  // The level panel is the frame's parameter panel; the pattern panel sits
  // on it, under the preview and the list.
  XiPanel2 = static_cast<TXiPanel*>(ParameterPanel());
  XiPanel2->setObjectName("XiPanel2");
  int patternTop = XiPanel2->y() - PatternPanelHeight;
  ScrollBox1->resize(Width - ListWidth, patternTop);
  ListView1->resize(ListWidth, patternTop);
  XiPanel1 = new TXiPanel(this);
  XiPanel1->setObjectName("XiPanel1");
  XiPanel1->setGeometry(0, patternTop, Width, PatternPanelHeight);

  XiButton3 = new TXiButton("Select pattern", XiPanel1);
  XiButton3->setObjectName("XiButton3");
  XiButton3->SetColorScheme(TXiButton::csNeoRose);
  XiButton3->setGeometry(24, (PatternPanelHeight - 31) / 2, 120, 31);
  connect(XiButton3, &TXiButton::clicked, this, [this] { XiButton3Click(); });
  ScrollBox2 = new QScrollArea(XiPanel1);
  ScrollBox2->setObjectName("ScrollBox2");
  ScrollBox2->setGeometry(Width - 124 - 8, 4, 124, PatternPanelHeight - 8);
  ScrollBox2->setWidgetResizable(false);
  ScrollBox2->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  PaintBoxPattern = new TPaintBox;
  PaintBoxPattern->setObjectName("PaintBoxPattern");
  PaintBoxPattern->setToolTip("Pattern");
  PaintBoxPattern->setCursor(Qt::PointingHandCursor);
  PaintBoxPattern->resize(70, 60);  // kept until the pattern changes
  PaintBoxPattern->installEventFilter(this);
  PaintBoxPattern->SetOnPaint([this](QPainter& canvas) { PaintBoxPatternPaint(canvas); });
  ScrollBox2->setWidget(PaintBoxPattern);

  CheckBox2 = new TXPCheckBox("inverse", XiPanel2);
  CheckBox2->setObjectName("CheckBox2");
  CheckBox2->setGeometry(10, 6, 80, 17);
  CheckBox2->SetColor(PanelColorAt(XiPanel2, 14));
  AddSlider(XiPanel2, 62, 52, Width - 124);
  SetSliderRange(*TrackBar1, 0, 255);
  Label3->setText("0");
  Label4->setText("255");

  FromFile = job.WatermarkFromFile;
  PatternColor = job.WatermarkColor;
  PatternFile = job.WatermarkFile;
  if (job.WatermarkBitmap && !job.WatermarkBitmap->Empty()) {
    PatternBitmap = std::make_unique<TBitmap>();
    PatternBitmap->Assign(job.WatermarkBitmap.get());
    PatternBitmap->SetPixelFormat(pf24bit);
  } else {
    // The effect needs a pattern of at least one pixel.
    PatternBitmap = ColorSquare(PatternColor);
    FromFile = false;
  }
  Level = job.WatermarkLevel;
  CheckBox2->SetChecked(job.WatermarkInverse);  // raises no click

  OpenPictureDialog1.Title = "Select pattern";
  OpenPictureDialog1.Filter = PictureFilter;

  connect(CheckBox2, &TXPCheckBox::clicked, this, [this] { TrackBar1Change(CheckBox2); });
  StartPreview();
}

TFormPattern::~TFormPattern() { PaintBoxPattern->SetOnPaint(nullptr); }

bool TFormPattern::eventFilter(QObject* watched, QEvent* event) {
  if (watched == PaintBoxPattern && event->type() == QEvent::MouseButtonRelease &&
      static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton &&
      PaintBoxPattern->rect().contains(static_cast<QMouseEvent*>(event)->position().toPoint())) {
    PaintBoxPatternClick();
    return true;
  }
  return TSliderFrame::eventFilter(watched, event);
}

void TFormPattern::ShowPattern() {
  PaintBoxPattern->resize(PatternBitmap->Width(), PatternBitmap->Height());
  PaintBoxPattern->update();
}

void TFormPattern::PaintBoxPatternPaint(QPainter& canvas) {
  if (PatternBitmap) PaintBitmap(canvas, 0, 0, *PatternBitmap);
}

void TFormPattern::PaintBoxPatternClick() {
  Guarded([&] {
    if (!ColorDialog1.Execute(this)) return;
    PatternColor = ColorDialog1.Color;
    ScrollToOrigin(ScrollBox2);
    PatternBitmap = ColorSquare(PatternColor);
    FromFile = false;
    ShowPattern();
    TrackBar1Change(nullptr);
  });
}

void TFormPattern::XiButton3Click() {
  Guarded([&] {
    OpenPictureDialog1.InitialDir = PatternFile.empty() ? Job.ProgramFolder : ExtractFilePath(PatternFile);
    OpenPictureDialog1.FileName.clear();
    if (!OpenPictureDialog1.Execute(this)) return;
    const std::string path = OpenPictureDialog1.FileName;
    ScrollToOrigin(ScrollBox2);
    auto picture = std::make_unique<TBitmap>();
    picture->SetPixelFormat(pf24bit);
    // A picture without pixels cannot be tiled: it is as unreadable as junk.
    if (!TJobRecord::LoadPictureToBitmap(path, *picture) || picture->Empty()) {
      ShowMessage("This program cannot read the file: " + path);
      return;
    }
    picture->SetPixelFormat(pf24bit);
    PatternFile = path;
    PatternBitmap = std::move(picture);
    FromFile = true;
    ShowPattern();
    TrackBar1Change(nullptr);
  });
}

void TFormPattern::PositionControls() { Level = PositionSlider(*TrackBar1, Level); }

void TFormPattern::ReadControl(QObject* sender) {
  if (sender == TrackBar1) Level = TrackBar1->Position();
}

void TFormPattern::ShowValues(QObject* sender) {
  // The "inverse" box and a new pattern leave the number as it is.
  if (sender == TrackBar1 || sender == ListView1) ShowLabel(Label1, QString::number(Level));
}

void TFormPattern::ApplyEffect(TBitmap& result) {
  ApplyWatermark(result, *PatternBitmap, Level, CheckBox2->GetChecked());
}

void TFormPattern::WriteValues() {
  Job.WatermarkFromFile = FromFile;
  if (FromFile) Job.WatermarkFile = PatternFile;
  else Job.WatermarkColor = PatternColor;
  if (!Job.WatermarkBitmap) Job.WatermarkBitmap = std::make_unique<TBitmap>();
  Job.WatermarkBitmap->Assign(PatternBitmap.get());
  Job.WatermarkBitmap->SetPixelFormat(pf24bit);
  Job.WatermarkLevel = Level;
  Job.WatermarkInverse = CheckBox2->GetChecked();
}
