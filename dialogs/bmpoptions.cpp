#include "dialogs/bmpoptions.h"

#include <QLabel>

#include "controls/xibutton.h"
#include "controls/xipanel.h"
#include "dialogs/radiogroup.h"
#include "engine/targetconversion.h"
#include "platform/windows/bitmapview.h"
#include "platform/windows/guard.h"

const std::array<TBmpFormatItem, 6> BmpFormatItems = {{
    {"1 bit", pf1bit, "Pixel format: 1 bit"},
    {"4 bit", pf4bit, "Pixel format: 4 bit"},
    {"8 bit", pf8bit, "Pixel format: 8 bit"},
    {"16 bit", pf16bit, "Pixel format: 16 bit"},
    {"24 bit", pf24bit, "Pixel format: 24 bit"},
    {"32 bit", pf32bit, "Pixel format: 32 bit"},
}};

namespace {
constexpr int k24BitItem = 4;
}

TBMPForm::TBMPForm(QWidget* parent, TJobRecord& job) : TFormatPreviewDialog(parent, job, 726, 340) {
  setObjectName("BMPForm");
  Label1 = MakeLabel(this, "Label1", "Before", QPoint(10, 8));
  Label2 = MakeLabel(this, "Label2", "After", QPoint(280, 8));
  Panel1 = MakePreviewPanel("Panel1", QPoint(10, 28));
  Panel2 = MakePreviewPanel("Panel2", QPoint(280, 28));
  ImageSrc = MakePaintBox(Panel1, "ImageSrc", [this](QPainter& canvas) { ImageSrcPaint(canvas); });
  ImageBMP = MakePaintBox(Panel2, "ImageBMP", [this](QPainter& canvas) { ImageBMPPaint(canvas); });

  RadioGroup1 = new TRadioGroup("Pixel format", this);
  RadioGroup1->setObjectName("RadioGroup1");
  RadioGroup1->setGeometry(539, 4, 183, 332);
  RadioGroup1->SetColumns(2);
  QStringList captions;
  for (const TBmpFormatItem& item : BmpFormatItems) captions << item.Caption;
  RadioGroup1->SetItems(captions);
  RadioGroup1->SetItemIndex(k24BitItem);
  MakeFrameControls(QPoint(10, 296), QPoint(315, 292));

  if (!LoadPreview(Panel2, ImageSrc, ImageBMP)) return;

  int item = k24BitItem;
  for (size_t i = 0; i < BmpFormatItems.size(); ++i)
    if (BmpFormatItems[i].Format == Job.BmpPixelFormat) item = int(i);
  RadioGroup1->SetItemIndex(item);
  connect(RadioGroup1, &TRadioGroup::Click, this, [this] { Guarded([this] { RadioGroup1Click(); }); });
  connect(XiButton3, &TXiButton::clicked, this, [this] { Guarded([this] { XiButton3Click(); }); });
  connect(XiButton1, &TXiButton::clicked, this, [this] { Guarded([this] { XiButton1Click(); }); });
  ImageSrc->update();
  Guarded([this] { UpdatePreview(); });
}

void TBMPForm::UpdatePreview() {
  int item = RadioGroup1->ItemIndex();
  if (item < 0) return;
  // A fresh bitmap every time: what the writer makes of the picture.
  auto after = std::make_unique<TBitmap>();
  after->Assign(BeforeBitmap.get());
  ConvertToTargetBmp(*after, BmpFormatItems[size_t(item)].Format);
  ShowAfter(std::move(after), ImageBMP);
}

void TBMPForm::ImageBMPPaint(QPainter& canvas) {
  if (AfterBitmap) PaintBitmap(canvas, 0, 0, *AfterBitmap);
}

void TBMPForm::RadioGroup1Click() {
  UpdatePreview();
  FocusOk();
}

void TBMPForm::XiButton3Click() {
  RadioGroup1->SetItemIndex(k24BitItem);
  UpdatePreview();
  FocusOk();
}

void TBMPForm::XiButton1Click() {
  int item = RadioGroup1->ItemIndex();
  if (item < 0) return;
  Job.BmpPixelFormat = BmpFormatItems[size_t(item)].Format;
  Job.BmpPixelFormatText = BmpFormatItems[size_t(item)].Text;
}
