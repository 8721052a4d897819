#include "dialogs/formatpreview.h"

#include <QLabel>
#include <QPainter>
#include <QPainterPath>

#include "controls/xibutton.h"
#include "controls/xipanel.h"
#include "dialogs/effectframe.h"
#include "platform/windows/bitmapview.h"
#include "platform/windows/colors.h"
#include "platform/windows/guard.h"
#include "platform/windows/messages.h"

namespace {

// The glyphs are drawn on this colour, which the button leaves out.
const QColor kGlyphBack(255, 0, 255);

QImage NewGlyph(int size) {
  QImage glyph(size, size, QImage::Format_RGB32);
  glyph.fill(kGlyphBack);
  return glyph;
}

}  // namespace

QImage DefaultGlyph() {
  QImage glyph = NewGlyph(16);
  QPainter painter(&glyph);
  painter.setRenderHint(QPainter::Antialiasing);
  const QColor ink(0, 90, 40);
  painter.setPen(QPen(ink, 2.0));
  // Three quarters of a circle from the top round to the right, ending in
  // an arrow head that points up.
  painter.drawArc(QRectF(3, 3, 10, 10), 90 * 16, 270 * 16);
  QPainterPath head;
  head.moveTo(10.0, 9.0);
  head.lineTo(16.0, 9.0);
  head.lineTo(13.0, 4.5);
  head.closeSubpath();
  painter.fillPath(head, ink);
  return glyph;
}

QImage SelectColorGlyph() {
  QImage glyph = NewGlyph(16);
  QPainter painter(&glyph);
  const QColor colors[4] = {QColor(220, 30, 30), QColor(30, 160, 40), QColor(30, 60, 220), QColor(240, 200, 20)};
  for (int i = 0; i < 4; ++i) {
    QRect square(2 + (i % 2) * 6, 2 + (i / 2) * 6, 6, 6);
    painter.fillRect(square, colors[i]);
    painter.setPen(QColor(40, 40, 40));
    painter.drawRect(square.adjusted(0, 0, -1, -1));
  }
  return glyph;
}

TXiButton* MakeDefaultButton(QWidget* parent, const char* name, const QRect& bounds) {
  auto* button = new TXiButton(QString(), parent);
  button->setObjectName(name);
  button->setGeometry(bounds);
  button->SetColorScheme(TXiButton::csNeoSun);
  button->SetGlyph(DefaultGlyph());
  button->setToolTip("by default");
  return button;
}

QLabel* MakeLabel(QWidget* parent, const char* name, const QString& text, const QPoint& at) {
  auto* label = new QLabel(text, parent);
  label->setObjectName(name);
  label->move(at);
  label->adjustSize();
  return label;
}

TFormatPreviewDialog::TFormatPreviewDialog(QWidget* parent, TJobRecord& job, int clientWidth, int clientHeight)
    : TCentredDialog(parent), Job(job) {
  setFixedSize(clientWidth, clientHeight);
}

int TFormatPreviewDialog::exec() {
  if (FLoadFailed) {
    setResult(QDialog::Rejected);
    return QDialog::Rejected;
  }
  return QDialog::exec();
}

TXiPanel* TFormatPreviewDialog::MakePreviewPanel(const char* name, const QPoint& at) {
  auto* panel = new TXiPanel(this);
  panel->setObjectName(name);
  panel->setGeometry(at.x(), at.y(), PanelSize, PanelSize);
  panel->SetColorFace(clSilver);
  panel->SetColorGrad(clSilver);
  panel->SetColorLight(clWhite);
  panel->SetColorDark(clGray);
  panel->SetBevelOuter(TXiPanel::bvNone);
  panel->SetBevelInner(TXiPanel::bvLowered);
  return panel;
}

TPaintBox* TFormatPreviewDialog::MakePaintBox(TXiPanel* panel, const char* name, TPaintBox::TPaintHandler paint) {
  auto* view = new TPaintBox(panel);
  view->setObjectName(name);
  QPalette palette = view->palette();
  palette.setColor(QPalette::Window, ToQColor(clSilver));
  view->setPalette(palette);
  view->setGeometry(0, 0, 0, 0);
  view->SetOnPaint(std::move(paint));
  return view;
}

void TFormatPreviewDialog::MakeFrameControls(const QPoint& statusAt, const QPoint& buttonsAt) {
  Panel4 = new TXiPanel(this);
  Panel4->setObjectName("Panel4");
  Panel4->setGeometry(statusAt.x(), statusAt.y(), 110, 25);
  Panel4->SetColorScheme(TXiPanel::csSilver);
  Panel4->SetBevelOuter(TXiPanel::bvLowered);
  Panel4->SetCaption("normal");
  Panel4->setToolTip("Status");

  XiButton3 = MakeDefaultButton(this, "XiButton3", QRect(buttonsAt.x(), buttonsAt.y() + 2, 27, 27));
  XiButton1 = MakeOkButton(this, QRect(buttonsAt.x() + 45, buttonsAt.y(), 80, 31));
  XiButton2 = MakeCancelButton(this, QRect(buttonsAt.x() + 135, buttonsAt.y(), 80, 31));
  XiButton1->setFocus();
}

bool TFormatPreviewDialog::LoadPreview(TXiPanel* previewPanel, TPaintBox* before, TPaintBox* after) {
  const std::string path = Job.PreviewFile;
  setWindowTitle(QString::fromStdString(path));
  if (!FileExists(path)) {
    ShowMessage("The file: " + path + " wasn't found");
    FLoadFailed = true;
    return false;
  }
  const int cw = previewPanel->width(), ch = previewPanel->height();
  bool resized = false;
  std::unique_ptr<TBitmap> picture;
  if (!Guarded([&] {
        picture = LoadPreviewPicture(path, cw - PanelMargin, ch - PanelMargin, cw - PanelMargin, ch - PanelMargin,
                                     &resized);
      })) {
    FLoadFailed = true;
    return false;
  }
  if (!picture) {
    ShowMessage("This program cannot read the file: " + path);
    FLoadFailed = true;
    return false;
  }
  SourceBitmap = std::move(picture);
  Panel4->SetCaption(resized ? "resizing" : "normal");
  FLoadFailed = !Guarded([&] {
    const int w = SourceBitmap->Width(), h = SourceBitmap->Height();
    const int x = cw - w >= 2 ? (cw - w) / 2 : 2;
    const int y = ch - h >= 2 ? (ch - h) / 2 : 2;
    before->setGeometry(x, y, w, h);
    after->setGeometry(x, y, w, h);
    // What the "before" box shows and every conversion starts from: the
    // picture copied at the box's size.
    auto copy = std::make_unique<TBitmap>();
    copy->SetPixelFormat(pf24bit);
    copy->SetSize(before->width(), before->height());
    const TRect area = Rect(0, 0, copy->Width(), copy->Height());
    copy->Canvas()->CopyRect(area, *SourceBitmap->Canvas(), area);
    BeforeBitmap = std::move(copy);
  });
  return !FLoadFailed;
}

void TFormatPreviewDialog::ImageSrcPaint(QPainter& canvas) {
  if (BeforeBitmap) PaintBitmap(canvas, 0, 0, *BeforeBitmap);
}

void TFormatPreviewDialog::ShowAfter(std::unique_ptr<TBitmap> after, TPaintBox* view) {
  AfterBitmap = std::move(after);
  view->update();
}

void TFormatPreviewDialog::FocusOk() { XiButton1->setFocus(); }
