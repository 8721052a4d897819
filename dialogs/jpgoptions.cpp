#include "dialogs/jpgoptions.h"

#include <QLabel>

#include "controls/xibutton.h"
#include "controls/xipanel.h"
#include "controls/xitrackbar.h"
#include "engine/targetconversion.h"
#include "platform/graphics/jpeg.h"
#include "platform/windows/bitmapview.h"
#include "platform/windows/guard.h"

TJPGForm::TJPGForm(QWidget* parent, TJobRecord& job) : TFormatPreviewDialog(parent, job, 565, 417) {
  setObjectName("JPGForm");
  Label2 = MakeLabel(this, "Label2", "Before", QPoint(20, 8));
  Label3 = MakeLabel(this, "Label3", "After", QPoint(295, 8));
  Panel2 = MakePreviewPanel("Panel2", QPoint(20, 28));
  Panel3 = MakePreviewPanel("Panel3", QPoint(295, 28));
  ImageSrc = MakePaintBox(Panel2, "ImageSrc", [this](QPainter& canvas) { ImageSrcPaint(canvas); });
  ImageJPG = MakePaintBox(Panel3, "ImageJPG", [this](QPainter& canvas) { ImageJPGPaint(canvas); });

  Label1 = MakeLabel(this, "Label1", "Compression/Quality", QPoint(20, 292));
  Label4 = MakeLabel(this, "Label4", "1", QPoint(20, 320));
  XiTrackBar1 = new TXiTrackBar(this);
  XiTrackBar1->setObjectName("XiTrackBar1");
  XiTrackBar1->setGeometry(36, 312, 420, 30);
  XiTrackBar1->SetColorScheme(TXiTrackBar::csDesert);
  XiTrackBar1->SetTickStyle(TXiTrackBar::tsNone);
  XiTrackBar1->SetMin(0);
  XiTrackBar1->SetMax(100);
  XiTrackBar1->SetPosition(10);
  XiTrackBar1->setCursor(Qt::PointingHandCursor);
  Label5 = MakeLabel(this, "Label5", "100", QPoint(462, 320));
  Panel1 = new TXiPanel(this);
  Panel1->setObjectName("Panel1");
  Panel1->setGeometry(495, 313, 50, 27);
  Panel1->SetColorFace(clWhite);
  Panel1->SetColorGrad(clWhite);
  Panel1->SetColorDark(clGray);
  Panel1->SetBevelOuter(TXiPanel::bvLowered);
  MakeFrameControls(QPoint(20, 371), QPoint(330, 368));

  if (!LoadPreview(Panel2, ImageSrc, ImageJPG)) return;

  // The set-up below sets the slider without its change event.
  XiTrackBar1->SetMin(1);
  XiTrackBar1->SetMax(100);
  // A quality the encoder does not take is refused.
  if (Job.JpegQuality < 1 || Job.JpegQuality > 100) Job.JpegQuality = 100;
  XiTrackBar1->SetPosition(Job.JpegQuality);
  connect(XiTrackBar1, &TXiTrackBar::OnChange, this, [this] { Guarded([this] { XiTrackBar1Change(); }); });
  connect(XiButton3, &TXiButton::clicked, this, [this] { Guarded([this] { XiButton3Click(); }); });
  connect(XiButton1, &TXiButton::clicked, this, [this] { Guarded([this] { XiButton1Click(); }); });
  ImageSrc->update();
  Guarded([this] { XiTrackBar1Change(); });
}

void TJPGForm::ImageJPGPaint(QPainter& canvas) {
  if (AfterBitmap) PaintBitmap(canvas, 0, 0, *AfterBitmap);
}

void TJPGForm::XiTrackBar1Change() {
  Panel1->SetCaption(QString::number(XiTrackBar1->Position()));
  UpdatePreview(XiTrackBar1->Position());
}

void TJPGForm::UpdatePreview(int quality) {
  TMemoryStream stream;
  EncodeTargetJpeg(*BeforeBitmap, quality, stream);
  stream.SetPosition(0);
  TJPEGImage jpeg;
  jpeg.LoadFromStream(stream);
  jpeg.DIBNeeded();
  auto after = std::make_unique<TBitmap>();
  after->Assign(&jpeg);
  ShowAfter(std::move(after), ImageJPG);
}

void TJPGForm::XiButton3Click() {
  XiTrackBar1->SetPosition(100);
  FocusOk();
}

void TJPGForm::XiButton1Click() { Job.JpegQuality = XiTrackBar1->Position(); }
