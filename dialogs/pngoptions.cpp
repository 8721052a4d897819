#include "dialogs/pngoptions.h"

#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>
#include <algorithm>

#include "controls/xibutton.h"
#include "controls/xipanel.h"
#include "controls/xpcheckbox.h"
#include "controls/xpgroupbox.h"
#include "dialogs/formatpreview.h"
#include "platform/windows/dialogs.h"
#include "platform/windows/guard.h"

namespace {

constexpr int kMinLevel = 0, kMaxLevel = 9;

// A number field that takes digits only and keeps its value within its
// range: a typed number beyond it is taken as the nearest end when the
// field is left (or the number is read), not refused key by key.
class TCSpinEdit : public QSpinBox {
 public:
  using QSpinBox::QSpinBox;

 protected:
  QValidator::State validate(QString& text, int&) const override {
    if (text.isEmpty()) return QValidator::Intermediate;
    for (QChar c : text)
      if (!c.isDigit() || c.unicode() > '9') return QValidator::Invalid;
    return text.size() <= 9 ? QValidator::Acceptable : QValidator::Invalid;
  }
  int valueFromText(const QString& text) const override {
    return std::clamp(text.toInt(), minimum(), maximum());
  }
  void fixup(QString& text) const override {
    if (!text.isEmpty()) text = QString::number(valueFromText(text));
  }
};

TXPGroupBox* MakeGroup(QWidget* parent, const char* name, const QString& caption, const QRect& bounds) {
  auto* group = new TXPGroupBox(caption, parent);
  group->setObjectName(name);
  group->setGeometry(bounds);
  return group;
}

}  // namespace

TPNGForm::TPNGForm(QWidget* parent, TJobRecord& job) : TCentredDialog(parent), Job(job) {
  setObjectName("PNGForm");
  setFixedSize(353, 264);
  setWindowTitle(QString::fromStdString(Job.PreviewFile));

  GroupBox1 = MakeGroup(this, "GroupBox1", "Interlace", QRect(8, 6, 337, 50));
  CheckBox1 = new TXPCheckBox("set", GroupBox1);
  CheckBox1->setObjectName("CheckBox1");
  CheckBox1->setGeometry(14, 22, 100, 20);
  CheckBox1->SetColor(GroupBox1->Color());

  GroupBox2 = MakeGroup(this, "GroupBox2", "Compression level", QRect(8, 62, 337, 80));
  CSpinEdit1 = new TCSpinEdit(GroupBox2);
  CSpinEdit1->setObjectName("CSpinEdit1");
  CSpinEdit1->setRange(kMinLevel, kMaxLevel);
  CSpinEdit1->setGeometry(14, 34, 50, 26);
  Label1 = MakeLabel(GroupBox2, "Label1", "9 - min file size, but max saving time", QPoint(76, 24));
  Label2 = MakeLabel(GroupBox2, "Label2", "0 - max file size, but min saving time", QPoint(76, 48));

  GroupBox3 = MakeGroup(this, "GroupBox3", "Transparent Color", QRect(8, 148, 337, 56));
  Panel1 = new TXiPanel(GroupBox3);
  Panel1->setObjectName("Panel1");
  Panel1->setGeometry(14, 24, 23, 22);
  Panel1->SetBevelOuter(TXiPanel::bvLowered);
  Panel1->SetColorLight(clWhite);
  Panel1->SetColorDark(clGray);
  XiButton3 = new TXiButton(QString(), GroupBox3);
  XiButton3->setObjectName("XiButton3");
  XiButton3->setGeometry(46, 22, 26, 26);
  XiButton3->SetColorScheme(TXiButton::csNeoSun);
  XiButton3->SetGlyph(SelectColorGlyph());
  XiButton3->setToolTip("Select color");

  XiButton4 = MakeDefaultButton(this, "XiButton4", QRect(8, 228, 22, 22));
  XiButton1 = MakeOkButton(this, QRect(200, 226, 65, 25));
  XiButton2 = MakeCancelButton(this, QRect(280, 226, 65, 25));
  XiButton1->setFocus();

  SetSwatchColor(Job.PngTransparentColor);
  CheckBox1->SetChecked(Job.PngInterlace);
  CSpinEdit1->setValue(std::clamp(Job.PngCompressionLevel, kMinLevel, kMaxLevel));

  connect(XiButton3, &TXiButton::clicked, this, [this] { Guarded([this] { XiButton3Click(); }); });
  connect(XiButton4, &TXiButton::clicked, this, [this] { Guarded([this] { XiButton4Click(); }); });
  connect(XiButton1, &TXiButton::clicked, this, [this] { Guarded([this] { XiButton1Click(); }); });
}

void TPNGForm::SetSwatchColor(TColor color) {
  FColor = color;
  // No colour shows as the dialog's face with a tip saying so.
  TColor shown = color == clNone ? clBtnFace : color;
  Panel1->SetColorFace(shown);
  Panel1->SetColorGrad(shown);
  Panel1->setToolTip(color == clNone ? "no transparent colour" : QString());
}

int TPNGForm::Level() {
  CSpinEdit1->interpretText();
  return std::clamp(CSpinEdit1->value(), kMinLevel, kMaxLevel);
}

void TPNGForm::XiButton3Click() {
  ColorDialog1.Color = FColor;
  if (ColorDialog1.Execute(this)) SetSwatchColor(ColorDialog1.Color);
  XiButton1->setFocus();
}

void TPNGForm::XiButton4Click() {
  CheckBox1->SetChecked(false);
  CSpinEdit1->setValue(kMaxLevel);
  SetSwatchColor(clWhite);
  XiButton1->setFocus();
}

void TPNGForm::XiButton1Click() {
  Job.PngTransparentColor = FColor;
  Job.PngInterlace = CheckBox1->Checked();
  Job.PngCompressionLevel = Level();
}
