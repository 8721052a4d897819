// The frame every effect settings dialog is built on: the job's source files
// in a list on the right, the chosen file's preview with the effect applied
// on the left, a status panel and OK / Cancel.
//
// How a dialog uses it:
//   1. Derive from TEffectFrame; in the constructor call BuildFrame() with the
//      dialog's client size, the height of its parameter panel (0 for none)
//      and the places of OK and Cancel, then put the parameter controls on
//      ParameterPanel(), copy the dialog's values from Job, and call
//      StartPreview() last (it selects the first row, which loads the picture
//      and computes the first preview, so the dialog must be complete).
//   2. Override ApplyEffect() (runs the effect on a fresh copy of the
//      preview picture) and WriteValues() (OK: values into the job record).
//      Where the dialog has controls, override ApplyPictureLimits() (ranges
//      that depend on the preview picture), PositionControls() (set the
//      sliders from the values; signals are blocked there) and
//      ReadControl() / ShowValues() (a control changed / show the values).
//   3. Connect every parameter control's change signal to
//      TrackBar1Change(control).
// The frame's handlers keep the designer's names: ListView1Data (a cell of
// the list), ListView1SelectItem (a row gained or lost the selection),
// TrackBar1Change, PaintEffectPaint (draws the preview) and XiButton1Click
// (OK). The frame writes PreviewIndex on OK; Cancel writes nothing.
//
// LoadPreviewPicture() is the one way a dialog loads a source picture for a
// preview; the format dialogs use it too.
#pragma once

#include <QAbstractTableModel>
#include <QLabel>
#include <QScrollArea>
#include <QTableView>
#include <memory>
#include <string>

#include "controls/xibutton.h"
#include "dialogs/centreddialog.h"
#include "dialogs/paintbox.h"
#include "engine/jobrecord.h"

// Loads the picture at path through the engine's loaders (".gif" or the
// others by the extension) and makes it 24-bit at once. A picture wider than
// limitWidth or higher than limitHeight is scaled, its proportions kept, to
// fit boxWidth x boxHeight, never below 1 pixel a side; *resized tells
// whether it was. Answers null for a file that cannot be read or holds no
// pixels. Shows the wait cursor while it works.
std::unique_ptr<TBitmap> LoadPreviewPicture(const std::string& path, int limitWidth, int limitHeight, int boxWidth,
                                            int boxHeight, bool* resized = nullptr);

// Scales the picture, proportions kept, to fit the box as ScaleBitmapToFit
// does, but never to less than 1 pixel a side (a 2000 x 1 picture stays one
// row high).
void FitPictureToBox(TBitmap& picture, int boxWidth, int boxHeight);

class TEffectFrame;

// The rows of the source-file list, as the frame's ListView1Data supplies
// them when the view asks.
class TSourceFileModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  TSourceFileModel(const TEffectFrame& frame, const TJobRecord& job, QObject* parent);
  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

 private:
  const TEffectFrame& FFrame;
  int FRows;  // FileCount when the dialog was made
};

class TEffectFrame : public TCentredDialog {
  Q_OBJECT

 public:
  TEffectFrame(QWidget* parent, TJobRecord& job);
  ~TEffectFrame() override;

  // The list's selected row, -1 when none.
  int SelectedRow() const;
  // Selects the row (as a click would), which loads its picture.
  void SelectRow(int row);
  // The picture the preview shows (null until a picture has loaded).
  const TBitmap* Result() const { return ResultBitmap.get(); }
  const TBitmap* Source() const { return SourceBitmap.get(); }
  const std::string& PreviewedPath() const { return PreviewPath; }
  // How many times the preview has been computed.
  int PreviewRuns() const { return FPreviewRuns; }

  // One cell of a row of the list on demand, built only when asked for:
  // column 0 the row's caption "1", "2", ..., column 1 the file name of the
  // job's source file at the index.
  QString ListView1Data(int index, int column) const;
  // A row gained (selected) or lost its selection: a newly selected row's
  // file is loaded and previewed; losing it does nothing here.
  virtual void ListView1SelectItem(int row, bool selected);
  // A parameter control changed (or, with ListView1 as sender, a picture
  // was loaded): read it, show the values, recompute the preview.
  void TrackBar1Change(QObject* sender);
  // Draws the preview at (0, 0) (nothing before the first).
  void PaintEffectPaint(QPainter& canvas);
  // OK: the dialog's values into the job, then PreviewIndex = the selected
  // row.
  void XiButton1Click();

  QTableView* ListView1 = nullptr;
  QScrollArea* ScrollBox1 = nullptr;
  TPaintBox* PaintEffect = nullptr;
  TXiButton* XiButton1 = nullptr;  // OK
  TXiButton* XiButton2 = nullptr;  // Cancel
  QLabel* Panel3 = nullptr;        // "normal" / "resizing"

 protected:
  // Lays the frame out: client size, height of the parameter panel above
  // the button band (0: none), left edges of OK and Cancel and their top.
  void BuildFrame(int width, int height, int panelHeight, int okLeft, int cancelLeft, int buttonTop);
  // The dialog's face: the colour behind the list, the preview and the
  // panels.
  void SetFaceColor(TColor color);
  // The area under the preview for the parameter controls (null without).
  QWidget* ParameterPanel() const { return FParameterPanel; }
  // Fills the list and selects row PreviewIndex when it is in the list and
  // PreviewFile exists, else the top row; then OK has the focus.
  void StartPreview();
  // The selection alone, the focus left where it is.
  void SelectStartRow();

  virtual void ApplyPictureLimits() {}
  virtual void PositionControls() {}
  virtual void ReadControl(QObject* /*sender*/) {}
  virtual void ShowValues(QObject* /*sender*/) {}
  virtual void ApplyEffect(TBitmap& result) = 0;
  virtual void WriteValues() = 0;
  // OK: false keeps the values out of the job (a dialog that refuses them
  // also keeps itself open, in done(), and says why).
  virtual bool ValuesAcceptable() { return true; }
  TJobRecord& Job;
  std::unique_ptr<TBitmap> ResultBitmap;
  std::unique_ptr<TBitmap> SourceBitmap;
  std::string PreviewPath;

 private:
  QWidget* FParameterPanel = nullptr;
  TSourceFileModel* FModel = nullptr;
  int FPreviewRuns = 0;
};

// --- Sliders of the parameter panels ----------------------------------------

class TXiTrackBar;

// One slider with its value label centred above it and its minimum and
// maximum labels at its left and right end.
struct TSliderRow {
  TXiTrackBar* Bar = nullptr;
  QLabel* Value = nullptr;
  QLabel* MinLabel = nullptr;
  QLabel* MaxLabel = nullptr;
};

// Puts a slider row on the panel, the slider at (left, top) and width wide,
// the objects named by the dialog's designer names.
TSliderRow AddSliderRow(QWidget* panel, int left, int top, int width, const char* barName, const char* valueName,
                        const char* minName, const char* maxName);
// The colour a gradient panel shows at row y, for the controls on it that
// fill their own background (clBtnFace for any other widget).
TColor PanelColorAt(const QWidget* panel, int y);
// Sets the slider's range without a change signal; a maximum below the
// minimum becomes the minimum, so the slider never offers a value the
// effect cannot use. Answers the maximum set.
int SetSliderRange(TXiTrackBar& bar, int minimum, int maximum);
// Puts the slider at the value, clamped to its range, without a change
// signal; answers the position it took.
int PositionSlider(TXiTrackBar& bar, int value);
// Sets the label's text and repaints it at once (so a number follows the
// slider even while a slow effect runs).
void ShowLabel(QLabel* label, const QString& text);

// A frame with one slider row on its parameter panel: TrackBar1, its value
// Label1 above it and its ends Label3 and Label4.
class TSliderFrame : public TEffectFrame {
  Q_OBJECT

 public:
  TXiTrackBar* TrackBar1 = nullptr;
  QLabel* Label1 = nullptr;  // the value
  QLabel* Label3 = nullptr;  // minimum
  QLabel* Label4 = nullptr;  // maximum

 protected:
  using TEffectFrame::TEffectFrame;
  // Puts TrackBar1's row on the panel (as AddSliderRow); its changes reach
  // TrackBar1Change.
  void AddSlider(QWidget* panel, int left, int top, int width);
};

// A frame with a second slider row below the first: TrackBar2, its value
// Label2 and its ends Label5 and Label6.
class TTwoSliderFrame : public TSliderFrame {
  Q_OBJECT

 public:
  TXiTrackBar* TrackBar2 = nullptr;
  QLabel* Label2 = nullptr;  // the value
  QLabel* Label5 = nullptr;  // minimum
  QLabel* Label6 = nullptr;  // maximum

 protected:
  using TSliderFrame::TSliderFrame;
  // Both rows at left, width wide, at the two tops.
  void AddSliders(QWidget* panel, int left, int top1, int top2, int width);
};
