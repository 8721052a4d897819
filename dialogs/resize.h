// The settings dialog of "Resize...": a free width and height, or the
// aspect ratio kept by fixing the width, fixing the height or scaling by a
// percentage. The preview is the chosen picture at its full size, resized by
// the run's own resize step, so it is the picture the run writes.
#pragma once

#include "controls/xpcheckbox.h"
#include "controls/xpedit.h"
#include "dialogs/effectframe.h"
#include "dialogs/radiogroup.h"
#include "engine/resizestep.h"

class TXiPanel;

class TFormResize : public TEffectFrame {
  Q_OBJECT

 public:
  TFormResize(QWidget* parent, TJobRecord& job);

  // The sizes being edited.
  int Width() const { return NewWidth; }
  int Height() const { return NewHeight; }

  TXiPanel* XiPanel1 = nullptr;  // the size fields
  TXiPanel* XiPanel2 = nullptr;  // "preserve aspect ratio"
  TXPCheckBox* XPCheckBox1 = nullptr;
  TRadioGroup* RadioGroup1 = nullptr;  // "fix width", "fix height", "scale"
  QLabel* Label1 = nullptr;
  QLabel* Label2 = nullptr;
  QLabel* Label3 = nullptr;
  TXPEdit* XPEdit1 = nullptr;  // width
  TXPEdit* XPEdit2 = nullptr;  // height
  TXPEdit* XPEdit3 = nullptr;  // percent
  QLabel* Image1 = nullptr;    // pen icons beside the fields that are typed in
  QLabel* Image2 = nullptr;
  QLabel* Image3 = nullptr;
  TXiButton* XiButton3 = nullptr;  // "Apply"

  // Each time the dialog is shown: the fields' layout from the job, then
  // the list filled and its start row selected.
  void FormShow();
  // A row losing its selection forgets its file (PreviewPath ""); a row
  // gaining it is loaded at full size (a file that cannot be read is
  // reported) and previewed resized.
  void ListView1SelectItem(int row, bool selected) override;
  void XPEdit1Change();
  void XPEdit2Change();
  void XPEdit3Change();
  void RadioGroup1Click();
  void XPCheckBox1Click();
  void XiButton3Click();

  void done(int result) override;

 protected:
  void showEvent(QShowEvent* event) override;
  void ApplyEffect(TBitmap& result) override;
  bool ValuesAcceptable() override;
  void WriteValues() override;

 private:
  enum TFieldLayout { flFixWidth, flFixHeight, flScale, flFree };
  void SetLayout(TFieldLayout layout);
  // The mode's layout, its edit handler and the focus.
  void SwitchMode();
  bool HasPicture() const { return SourceBitmap && !SourceBitmap->Empty(); }
  bool AspectKept() const { return XPCheckBox1->GetChecked(); }
  // The values the resize step takes now (a percent of 0 or less counts as
  // 100 there).
  TResizeValues Values() const;
  // Whether a picture of width x height can be made; otherwise says so.
  bool SizeAcceptable(int64_t width, int64_t height, bool quiet = false) const;
  // Resizes the picture into ResultBitmap and shows it, unless the new size
  // is refused. Answers whether it did.
  bool ComputePreview();
  void ShowSizes(int64_t width, int64_t height);
  void ScrollToOrigin();

  int NewWidth = 0;
  int NewHeight = 0;
  int Percent = 100;
  bool SizeUndefined = false;
  TColor ReadOnlyColor = 0xE0E0E0;
  TColor EditableColor = 0xFFFFFF;
};
