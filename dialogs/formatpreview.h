// The frame shared by the JPEG, GIF and BMP option dialogs: the job's
// preview picture loaded, fitted into a 250 x 250 panel and centred in two
// paint boxes, "before" as loaded and "after" as the target format's
// conversion leaves it, with the status panel and the OK, Cancel and
// "by default" buttons. A picture that is missing or cannot be read is
// reported and the dialog then ends with Cancel without being shown.
//
// The glyphs of the format dialogs' small buttons live here too.
#pragma once

#include <QImage>
#include <memory>

#include "dialogs/centreddialog.h"
#include "dialogs/dialogbuttons.h"
#include "dialogs/paintbox.h"
#include "engine/jobrecord.h"

class QLabel;
class TXiButton;
class TXiPanel;

// The "by default" glyph (a turning arrow) and the "Select color" glyph
// (four colour squares); the top-left pixel's colour is the transparent one.
QImage DefaultGlyph();
QImage SelectColorGlyph();

// The glyph-only "by default" button of an options dialog, with its
// designer name (OK and Cancel: dialogs/dialogbuttons.h).
TXiButton* MakeDefaultButton(QWidget* parent, const char* name, const QRect& bounds);
// A plain label at a place.
QLabel* MakeLabel(QWidget* parent, const char* name, const QString& text, const QPoint& at);

class TFormatPreviewDialog : public TCentredDialog {
  Q_OBJECT

 public:
  // The preview panels' designed size, and the margin the fit keeps.
  static constexpr int PanelSize = 250;
  static constexpr int PanelMargin = 4;

  // Ends with Rejected at once, without showing, when the picture could
  // not be loaded.
  int exec() override;
  // The picture could not be loaded (the message was shown).
  bool LoadFailed() const { return FLoadFailed; }

  // Draws the "before" picture at (0, 0) of its paint box.
  void ImageSrcPaint(QPainter& canvas);

  TXiPanel* Panel4 = nullptr;      // "normal" or "resizing"
  TXiButton* XiButton1 = nullptr;  // OK
  TXiButton* XiButton2 = nullptr;  // Cancel
  TXiButton* XiButton3 = nullptr;  // "by default"

  // The loaded picture, 24-bit, fitted into the preview panel; its copy at
  // the "before" box's size, which the box shows and every conversion
  // starts from; the latest conversion (none before the first).
  std::unique_ptr<TBitmap> SourceBitmap;
  std::unique_ptr<TBitmap> BeforeBitmap;
  std::unique_ptr<TBitmap> AfterBitmap;

 protected:
  TFormatPreviewDialog(QWidget* parent, TJobRecord& job, int clientWidth, int clientHeight);

  // A silver preview panel with a lowered edge, and the paint box inside it
  // with its paint handler.
  TXiPanel* MakePreviewPanel(const char* name, const QPoint& at);
  TPaintBox* MakePaintBox(TXiPanel* panel, const char* name, TPaintBox::TPaintHandler paint);
  // Panel4 and the three buttons along the bottom: the status panel at
  // statusAt, "by default", OK and Cancel from buttonsAt to the right.
  void MakeFrameControls(const QPoint& statusAt, const QPoint& buttonsAt);

  // Loads the job's preview picture, fits it into previewPanel (the panel
  // the dialog measures), places both paint boxes and makes BeforeBitmap.
  // False after a failure: the message is shown, the dialog will end with
  // Cancel, and the rest of the set-up must be skipped.
  bool LoadPreview(TXiPanel* previewPanel, TPaintBox* before, TPaintBox* after);
  // Shows the new AfterBitmap in the paint box (the old one goes).
  void ShowAfter(std::unique_ptr<TBitmap> after, TPaintBox* view);
  void FocusOk();

  TJobRecord& Job;

 private:
  bool FLoadFailed = false;
};
