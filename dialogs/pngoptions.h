// The PNG options dialog: interlaced writing, the compression level 0..9
// and the transparent colour of PNG output.
#pragma once

#include "dialogs/centreddialog.h"

#include "engine/jobrecord.h"
#include "platform/windows/dialogs.h"

class QLabel;
class QSpinBox;
class TXiButton;
class TXiPanel;
class TXPCheckBox;
class TXPGroupBox;

class TPNGForm : public TCentredDialog {
  Q_OBJECT

 public:
  TPNGForm(QWidget* parent, TJobRecord& job);

  // The working transparent colour the swatch shows (clNone: none).
  TColor SwatchColor() const { return FColor; }
  void SetSwatchColor(TColor color);
  // The level field's value, its text read and kept within 0..9 (the last
  // value when the text is no number).
  int Level();

  void XiButton3Click();  // "Select color"
  void XiButton4Click();  // "by default"
  void XiButton1Click();  // OK

  TXPGroupBox* GroupBox1 = nullptr;  // "Interlace"
  TXPCheckBox* CheckBox1 = nullptr;  // "set"
  TXPGroupBox* GroupBox2 = nullptr;  // "Compression level"
  QSpinBox* CSpinEdit1 = nullptr;
  QLabel* Label1 = nullptr;
  QLabel* Label2 = nullptr;
  TXPGroupBox* GroupBox3 = nullptr;  // "Transparent Color"
  TXiPanel* Panel1 = nullptr;        // the colour swatch
  TXiButton* XiButton3 = nullptr;    // "Select color"
  TXiButton* XiButton1 = nullptr;    // OK
  TXiButton* XiButton2 = nullptr;    // Cancel
  TXiButton* XiButton4 = nullptr;    // "by default"
  TColorDialog ColorDialog1;         // opens on the swatch's colour

 private:
  TJobRecord& Job;
  TColor FColor = clNone;
};
