#include "dialogs/resize.h"

#include <QPainter>
#include <QScrollBar>
#include <QShowEvent>
#include <algorithm>
#include <limits>

#include "controls/xipanel.h"
#include "engine/picturefiles.h"
#include "platform/system/sysutils.h"
#include "platform/windows/guard.h"
#include "platform/windows/messages.h"

namespace {

constexpr int ClientWidth = 623, ListWidth = 172;

// The small pen drawn beside each size field that may be typed in.
QPixmap PenIcon() {
  QPixmap icon(16, 16);
  icon.fill(Qt::transparent);
  QPainter painter(&icon);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.translate(8, 8);
  painter.rotate(45);
  painter.setPen(QColor(0x40, 0x40, 0x40));
  painter.setBrush(QColor(0xF0, 0xC0, 0x30));
  painter.drawRect(QRectF(-2.5, -7, 5, 10));  // the shaft
  painter.setBrush(QColor(0xE8, 0xB0, 0x90));
  painter.drawPolygon(QPolygonF({QPointF(-2.5, 3), QPointF(2.5, 3), QPointF(0, 7.5)}));  // the point
  painter.setBrush(QColor(0xD0, 0x40, 0x40));
  painter.drawRect(QRectF(-2.5, -8, 5, 2));  // the end
  return icon;
}

// A field's text as a number: empty gives the fallback, a number too large
// for an int the largest int (the size check refuses it then).
int FieldValue(const QString& text, int fallback) {
  if (text.isEmpty()) return fallback;
  bool ok = false;
  qlonglong value = text.toLongLong(&ok);
  if (!ok) return 0;
  return int(std::min<qlonglong>(value, std::numeric_limits<int>::max()));
}

int ToInt(int64_t value) {
  return int(std::clamp<int64_t>(value, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}

// How many digits a user may type into each field.
int TypingLimit(const TXPEdit* edit) { return edit->objectName() == "XPEdit3" ? 4 : 5; }

// Sets the edit's text without running its change handler. A number worked
// out here may be longer than a user could type: the field shows it whole
// and takes the typing limit back once the user has made it short enough.
void SetQuietly(TXPEdit* edit, int64_t value) {
  QString text = QString::number(value);
  QSignalBlocker quiet(edit);
  edit->SetMaxLength(int(text.size()) > TypingLimit(edit) ? 0 : TypingLimit(edit));
  edit->SetText(text);
}

void RestoreTypingLimit(TXPEdit* edit) {
  if (edit->text().size() <= TypingLimit(edit)) edit->SetMaxLength(TypingLimit(edit));
}

}  // namespace

TFormResize::TFormResize(QWidget* parent, TJobRecord& job) : TEffectFrame(parent, job) {
  setWindowTitle("Resize");
  BuildFrame(ClientWidth, 583, 87, 427, 530, 546);
  SetFaceColor(clInfoBk);
  Panel3->hide();  // no status here: the picture is never shrunk

  // From the bottom of the preview column up: the size fields (the frame's
  // parameter panel), the mode group, the aspect panel.
  XiPanel1 = static_cast<TXiPanel*>(ParameterPanel());
  constexpr int GroupHeight = 62, AspectHeight = 34;
  int groupTop = XiPanel1->y() - GroupHeight;
  int aspectTop = groupTop - AspectHeight;
  ScrollBox1->setGeometry(0, 0, ClientWidth - ListWidth, aspectTop);
  ListView1->setGeometry(ClientWidth - ListWidth, 0, ListWidth, XiPanel1->y());

  XiPanel2 = new TXiPanel(this);
  XiPanel2->setObjectName("XiPanel2");
  XiPanel2->SetColorScheme(TXiPanel::csSun);
  XiPanel2->setGeometry(0, aspectTop, ClientWidth - ListWidth, AspectHeight);
  XPCheckBox1 = new TXPCheckBox("preserve aspect ratio", XiPanel2);
  XPCheckBox1->setObjectName("XPCheckBox1");
  XPCheckBox1->SetAlignment(taRight);  // the text left of the box
  XPCheckBox1->setGeometry(12, (AspectHeight - 17) / 2, 160, 17);
  XPCheckBox1->SetColor(PanelColorAt(XiPanel2, AspectHeight / 2));

  RadioGroup1 = new TRadioGroup("", this);
  RadioGroup1->setObjectName("RadioGroup1");
  RadioGroup1->setGeometry(0, groupTop, ClientWidth - ListWidth, GroupHeight);
  RadioGroup1->SetColumns(3);
  RadioGroup1->SetItems({"fix width", "fix height", "scale"});

  QPixmap pen = PenIcon();
  auto field = [&](int top, const char* caption, const char* labelName, const char* editName, const char* imageName,
                   QLabel*& label, TXPEdit*& edit, QLabel*& image) {
    label = new QLabel(caption, XiPanel1);
    label->setObjectName(labelName);
    label->setGeometry(24, top, 80, 21);
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    edit = new TXPEdit(XiPanel1);
    edit->setObjectName(editName);
    edit->setGeometry(112, top, 64, 21);
    edit->SetNumbersOnly(true);
    edit->SetMaxLength(TypingLimit(edit));
    image = new QLabel(XiPanel1);
    image->setObjectName(imageName);
    image->setPixmap(pen);
    image->setGeometry(182, top + 2, 16, 16);
    image->hide();
  };
  field(6, "New width:", "Label1", "XPEdit1", "Image1", Label1, XPEdit1, Image1);
  field(32, "New height:", "Label2", "XPEdit2", "Image2", Label2, XPEdit2, Image2);
  field(58, "%", "Label3", "XPEdit3", "Image3", Label3, XPEdit3, Image3);

  XiButton3 = new TXiButton("Apply", this);
  XiButton3->setObjectName("XiButton3");
  XiButton3->SetColorScheme(TXiButton::csNeoGrass);
  XiButton3->setGeometry(18, 546, 80, 31);

  // The stored values, the mode group's state with them.
  RadioGroup1->SetItemIndex(job.ResizeScaleType);
  XPCheckBox1->SetChecked(job.ResizePreserveAspect);
  RadioGroup1->setEnabled(job.ResizePreserveAspect);
  RadioGroup1->SetGroupColor(job.ResizePreserveAspect ? clInfoBk : clBtnFace);
  NewWidth = job.ResizeWidth;
  NewHeight = job.ResizeHeight;
  SizeUndefined = NewWidth == 0 || NewHeight == 0;
  Percent = job.ResizePercent;
  SetQuietly(XPEdit1, NewWidth);
  SetQuietly(XPEdit2, NewHeight);
  SetQuietly(XPEdit3, Percent);

  auto onChange = [this](TXPEdit* edit, void (TFormResize::*handler)()) {
    connect(edit, &TXPEdit::OnChange, this, [this, edit, handler] {
      Guarded([&] {
        RestoreTypingLimit(edit);
        (this->*handler)();
      });
    });
  };
  onChange(XPEdit1, &TFormResize::XPEdit1Change);
  onChange(XPEdit2, &TFormResize::XPEdit2Change);
  onChange(XPEdit3, &TFormResize::XPEdit3Change);
  connect(RadioGroup1, &TRadioGroup::Click, this, [this] { Guarded([this] { RadioGroup1Click(); }); });
  connect(XPCheckBox1, &TXPCheckBox::clicked, this, [this] { Guarded([this] { XPCheckBox1Click(); }); });
  connect(XiButton3, &TXiButton::clicked, this, [this] { Guarded([this] { XiButton3Click(); }); });
}

void TFormResize::showEvent(QShowEvent* event) {
  TEffectFrame::showEvent(event);
  // Shown by the program, not brought back by the desktop.
  if (!event->spontaneous()) Guarded([this] { FormShow(); });
}

void TFormResize::FormShow() {
  // OK is the active control until the layout gives its size field the
  // focus (the free layout leaves it on OK); then the list is filled.
  XiButton1->setFocus();
  if (!Job.ResizePreserveAspect) SetLayout(flFree);
  else if (Job.ResizeScaleType >= 0 && Job.ResizeScaleType <= 2) SetLayout(TFieldLayout(Job.ResizeScaleType));
  SelectStartRow();
}

void TFormResize::SetLayout(TFieldLayout layout) {
  auto editable = [this](TXPEdit* edit, bool value) {
    edit->SetReadOnly(!value);
    edit->SetColor(value ? EditableColor : ReadOnlyColor);
  };
  bool width = layout == flFixWidth || layout == flFree;
  bool height = layout == flFixHeight || layout == flFree;
  bool percent = layout == flScale;
  Image1->setVisible(width);
  editable(XPEdit1, width);
  Image2->setVisible(height);
  editable(XPEdit2, height);
  XPEdit3->setVisible(percent);
  Image3->setVisible(percent);
  Label3->setVisible(percent);
  switch (layout) {
    case flFixWidth: XPEdit1->setFocus(); break;
    case flFixHeight: XPEdit2->setFocus(); break;
    case flScale: XPEdit3->setFocus(); break;
    case flFree: break;
  }
}

TResizeValues TFormResize::Values() const {
  return {AspectKept(), RadioGroup1->ItemIndex(), NewWidth, NewHeight, Percent <= 0 ? 100 : Percent};
}

bool TFormResize::SizeAcceptable(int64_t width, int64_t height, bool quiet) const {
  std::string size = std::to_string(width) + " x " + std::to_string(height);
  if (width <= 0 || height <= 0) {
    if (!quiet) ShowMessage("The new size is too small: " + size + ".");
    return false;
  }
  if (!FitsWorkingBitmap(width, height)) {
    if (!quiet) ShowMessage("The new size is too large: " + size + ".");
    return false;
  }
  return true;
}

void TFormResize::ScrollToOrigin() {
  ScrollBox1->horizontalScrollBar()->setValue(0);
  ScrollBox1->verticalScrollBar()->setValue(0);
}

bool TFormResize::ComputePreview() {
  // Scaled by no percentage at all is scaled by 100; the field then says
  // so.
  if (AspectKept() && RadioGroup1->ItemIndex() == 2 && Percent <= 0) Percent = 100;
  TResizeValues values = Values();
  TResizedSize size = ResizedSize(SourceBitmap->Width(), SourceBitmap->Height(), values);
  // Refused before any memory is taken; the preview stays as it was.
  if (!SizeAcceptable(size.Width, size.Height)) return false;
  auto result = std::make_unique<TBitmap>();
  ResizePicture(*SourceBitmap, *result, values);
  ResultBitmap = std::move(result);
  PaintEffect->resize(ResultBitmap->Width(), ResultBitmap->Height());
  PaintEffect->update();
  return true;
}

void TFormResize::ApplyEffect(TBitmap& result) { ResizePicture(result, result, Values()); }

void TFormResize::ListView1SelectItem(int row, bool selected) {
  if (!selected) {
    PreviewPath.clear();
    return;
  }
  Guarded([&] {
    if (row < 0 || row >= Job.SourceFiles.Count()) return;
    ScrollToOrigin();
    PreviewPath = Job.SourceFiles[row];
    // At full size: the preview is the picture the run writes.
    constexpr int NoLimit = std::numeric_limits<int>::max();
    SourceBitmap = LoadPreviewPicture(PreviewPath, NoLimit, NoLimit, NoLimit, NoLimit);
    if (!SourceBitmap) {
      ShowMessage("This program cannot read the file: " + PreviewPath + " Try select another one.");
      return;
    }
    if (SizeUndefined) {
      NewWidth = SourceBitmap->Width();
      NewHeight = SourceBitmap->Height();
      SizeUndefined = false;
    }
    if (NewWidth == 0 || NewHeight == 0) return;
    if (!ComputePreview()) return;
    SetQuietly(XPEdit1, ResultBitmap->Width());
    SetQuietly(XPEdit2, ResultBitmap->Height());
    SetQuietly(XPEdit3, Percent);
    setWindowTitle(QString("Resize: (%1 x %2)").arg(SourceBitmap->Width()).arg(SourceBitmap->Height()));
  });
}

void TFormResize::ShowSizes(int64_t width, int64_t height) {
  SetQuietly(XPEdit1, width);
  SetQuietly(XPEdit2, height);
}

void TFormResize::XPEdit1Change() {
  NewWidth = FieldValue(XPEdit1->Text(), HasPicture() ? SourceBitmap->Width() : 0);
  if (NewWidth <= 0 || !AspectKept() || !HasPicture()) return;
  TResizeValues values{true, 0, NewWidth, NewHeight, Percent};
  int64_t height = ResizedSize(SourceBitmap->Width(), SourceBitmap->Height(), values).Height;
  NewHeight = ToInt(height);
  SetQuietly(XPEdit2, NewHeight);
}

void TFormResize::XPEdit2Change() {
  NewHeight = FieldValue(XPEdit2->Text(), HasPicture() ? SourceBitmap->Height() : 0);
  if (NewHeight <= 0 || !AspectKept() || !HasPicture()) return;
  TResizeValues values{true, 1, NewWidth, NewHeight, Percent};
  int64_t width = ResizedSize(SourceBitmap->Width(), SourceBitmap->Height(), values).Width;
  NewWidth = ToInt(width);
  SetQuietly(XPEdit1, NewWidth);
}

void TFormResize::XPEdit3Change() {
  Percent = FieldValue(XPEdit3->Text(), 100);
  if (Percent <= 0) return;
  // Without a picture (its file could not be read) any percentage of it is
  // 0 x 0, which OK does not store.
  const int64_t sourceWidth = HasPicture() ? SourceBitmap->Width() : 0;
  const int64_t sourceHeight = HasPicture() ? SourceBitmap->Height() : 0;
  int64_t width = sourceWidth * Percent / 100;
  int64_t height = sourceHeight * Percent / 100;
  NewWidth = ToInt(width);
  NewHeight = ToInt(height);
  ShowSizes(width, height);
}

void TFormResize::SwitchMode() {
  switch (RadioGroup1->ItemIndex()) {
    case 0:
      SetLayout(flFixWidth);
      // The width follows from the height shown.
      if (HasPicture()) XPEdit2Change();
      XPEdit1->setFocus();
      break;
    case 1:
      SetLayout(flFixHeight);
      if (HasPicture()) XPEdit1Change();
      XPEdit2->setFocus();
      break;
    case 2:
      SetLayout(flScale);
      XPEdit3Change();  // without a picture: 0 x 0
      XPEdit3->setFocus();
      break;
    default: break;
  }
}

void TFormResize::RadioGroup1Click() { SwitchMode(); }

void TFormResize::XPCheckBox1Click() {
  if (AspectKept()) {
    RadioGroup1->setEnabled(true);
    RadioGroup1->SetGroupColor(clInfoBk);
    SwitchMode();
  } else {
    SetLayout(flFree);
    RadioGroup1->setEnabled(false);
    RadioGroup1->SetGroupColor(clBtnFace);
  }
}

void TFormResize::XiButton3Click() {
  // Nothing to resize before a picture has loaded.
  if (!HasPicture() || NewWidth == 0 || NewHeight == 0) return;
  ScrollToOrigin();
  if (AspectKept() && RadioGroup1->ItemIndex() == 2 && Percent <= 0) {
    Percent = 100;
    XPEdit3->SetText("100");  // its handler shows 100 % of the picture
  }
  if (!ComputePreview()) return;
  if (AspectKept() && (RadioGroup1->ItemIndex() == 0 || RadioGroup1->ItemIndex() == 1))
    ShowSizes(ResultBitmap->Width(), ResultBitmap->Height());
  XiButton1->setFocus();
}

bool TFormResize::ValuesAcceptable() {
  // Stretched to a fixed size, every file would fail at a size no bitmap
  // can have; kept in proportion, the size depends on each picture.
  if (AspectKept() || NewWidth <= 0 || NewHeight <= 0) return true;
  return FitsWorkingBitmap(NewWidth, NewHeight);
}

void TFormResize::done(int result) {
  if (result == QDialog::Accepted) {
    bool acceptable = true;
    Guarded([&] {
      acceptable = ValuesAcceptable();
      if (!acceptable) SizeAcceptable(NewWidth, NewHeight);  // says why
    });
    if (!acceptable) return;
  }
  TEffectFrame::done(result);
}

void TFormResize::WriteValues() {
  if (NewWidth > 0) Job.ResizeWidth = NewWidth;
  if (NewHeight > 0) Job.ResizeHeight = NewHeight;
  Job.ResizePreserveAspect = AspectKept();
  if (AspectKept()) {
    Job.ResizeScaleType = RadioGroup1->ItemIndex();
    if (Job.ResizeScaleType == 2) Job.ResizePercent = Percent <= 0 ? 100 : Percent;
  }
}
