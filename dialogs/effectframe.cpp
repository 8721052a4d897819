#include "dialogs/effectframe.h"

#include <QApplication>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <algorithm>
#include <iterator>

#include "effects/resample.h"
#include "platform/system/sysutils.h"
#include "controls/xipanel.h"
#include "controls/xitrackbar.h"
#include "controls/xpglyphs.h"
#include "dialogs/dialogbuttons.h"
#include "platform/windows/bitmapview.h"
#include "platform/windows/colors.h"
#include "platform/windows/guard.h"
#include "platform/windows/waitcursor.h"

namespace {

constexpr int ListWidth = 171;

// The list's columns, "№" and "Name": the width each starts with and the
// narrowest and widest the user may drag it to.
struct TColumnSize {
  int Width, Min, Max;
};
constexpr TColumnSize ListColumns[] = {{41, 20, 150}, {100, 50, 300}};

// Keeps every column of the header within its own limits, however it is
// resized (dragging a divider, a double click on it, code).
void KeepColumnLimits(QHeaderView* header) {
  int narrowest = ListColumns[0].Min, widest = ListColumns[0].Max;
  for (const TColumnSize& column : ListColumns) {
    narrowest = std::min(narrowest, column.Min);
    widest = std::max(widest, column.Max);
  }
  header->setMinimumSectionSize(narrowest);
  header->setMaximumSectionSize(widest);
  QObject::connect(header, &QHeaderView::sectionResized, header, [header](int section, int, int size) {
    if (section < 0 || section >= int(std::size(ListColumns))) return;
    const int limited = std::clamp(size, ListColumns[section].Min, ListColumns[section].Max);
    if (limited != size) header->resizeSection(section, limited);
  });
  for (int section = 0; section < int(std::size(ListColumns)); ++section)
    header->resizeSection(section, ListColumns[section].Width);
}

}  // namespace

// --- Loading a preview picture ------------------------------------------------

void FitPictureToBox(TBitmap& picture, int boxWidth, int boxHeight) {
  if (picture.Empty()) return;
  boxWidth = std::max(boxWidth, 1);
  boxHeight = std::max(boxHeight, 1);
  // The library's rule: one scale for both sides, taken in single precision.
  auto sx = static_cast<float>(static_cast<double>(picture.Width()) / boxWidth);
  auto sy = static_cast<float>(static_cast<double>(picture.Height()) / boxHeight);
  float scale = sx >= sy ? sx : sy;
  int width = static_cast<int>(picture.Width() / static_cast<double>(scale));
  int height = static_cast<int>(picture.Height() / static_cast<double>(scale));
  if (width >= 1 && height >= 1) {
    ScaleBitmapToFit(picture, boxWidth, boxHeight);
    return;
  }
  // A very thin picture: keep the thin side at one pixel.
  TBitmap fitted;
  fitted.SetPixelFormat(pf24bit);
  fitted.SetSize(std::max(width, 1), std::max(height, 1));
  StretchBicubic(fitted, picture);
  picture.Assign(&fitted);
}

std::unique_ptr<TBitmap> LoadPreviewPicture(const std::string& path, int limitWidth, int limitHeight, int boxWidth,
                                            int boxHeight, bool* resized) {
  if (resized) *resized = false;
  TWaitCursor wait;
  auto picture = std::make_unique<TBitmap>();
  picture->SetPixelFormat(pf24bit);
  if (!TJobRecord::LoadPictureToBitmap(path, *picture)) return nullptr;
  // GIF and palette BMP pictures arrive with their own format; everything
  // after this works on 24-bit rows.
  picture->SetPixelFormat(pf24bit);
  if (picture->Empty()) return nullptr;
  if (picture->Width() > limitWidth || picture->Height() > limitHeight) {
    FitPictureToBox(*picture, boxWidth, boxHeight);
    if (resized) *resized = true;
  }
  return picture;
}

// --- The list of source files ---------------------------------------------------

TSourceFileModel::TSourceFileModel(const TEffectFrame& frame, const TJobRecord& job, QObject* parent)
    : QAbstractTableModel(parent), FFrame(frame), FRows(std::clamp(job.FileCount.load(), 0, job.SourceFiles.Count())) {}

int TSourceFileModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : FRows; }

int TSourceFileModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : 2; }

QVariant TSourceFileModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= FRows) return {};
  if (role == Qt::TextAlignmentRole && index.column() == 1) return int(Qt::AlignCenter);
  if (role != Qt::DisplayRole) return {};
  return FFrame.ListView1Data(index.row(), index.column());
}

QVariant TSourceFileModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal) return {};
  if (role == Qt::TextAlignmentRole && section == 1) return int(Qt::AlignCenter);
  if (role != Qt::DisplayRole) return {};
  return section == 0 ? QString::fromUtf8("\u2116") : QString("Name");
}

// --- The frame -------------------------------------------------------------------

TEffectFrame::TEffectFrame(QWidget* parent, TJobRecord& job) : TCentredDialog(parent), Job(job) {}

TEffectFrame::~TEffectFrame() {
  // The view may paint until it goes; it must not reach a dialog half gone.
  if (PaintEffect) PaintEffect->SetOnPaint(nullptr);
}

void TEffectFrame::SetFaceColor(TColor color) {
  QPalette colours = palette();
  colours.setColor(QPalette::Window, ToQColor(color));
  setPalette(colours);
  setAutoFillBackground(true);
}

void TEffectFrame::BuildFrame(int width, int height, int panelHeight, int okLeft, int cancelLeft, int buttonTop) {
  setFixedSize(width, height);
  int bandTop = buttonTop - 6;
  int panelTop = bandTop - panelHeight;

  ListView1 = new QTableView(this);
  ListView1->setObjectName("ListView1");
  ListView1->setGeometry(width - ListWidth, 0, ListWidth, panelTop);
  FModel = new TSourceFileModel(*this, Job, this);
  ListView1->setModel(FModel);
  ListView1->setSelectionMode(QAbstractItemView::SingleSelection);
  ListView1->setSelectionBehavior(QAbstractItemView::SelectRows);
  ListView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
  ListView1->setShowGrid(true);
  ListView1->setWordWrap(false);
  ListView1->verticalHeader()->hide();
  ListView1->verticalHeader()->setDefaultSectionSize(ListView1->fontMetrics().height() + 4);
  QHeaderView* header = ListView1->horizontalHeader();
  header->setSectionsClickable(false);
  header->setHighlightSections(false);
  KeepColumnLimits(header);
  // The selected row stays visible when the list has no focus.
  QPalette listPalette = ListView1->palette();
  listPalette.setColor(QPalette::Inactive, QPalette::Highlight, listPalette.color(QPalette::Active, QPalette::Highlight));
  listPalette.setColor(QPalette::Inactive, QPalette::HighlightedText,
                       listPalette.color(QPalette::Active, QPalette::HighlightedText));
  ListView1->setPalette(listPalette);
  // The header's empty end in the header's own colour, not the dialog's.
  QPalette headerPalette = QApplication::palette(header);
  header->setPalette(headerPalette);
  header->setAutoFillBackground(true);
  header->viewport()->setAutoFillBackground(true);
  header->viewport()->setBackgroundRole(QPalette::Button);
  // The row that lost the selection is told first, then the one that
  // gained it.
  connect(ListView1->selectionModel(), &QItemSelectionModel::selectionChanged, this,
          [this](const QItemSelection& selected, const QItemSelection& deselected) {
            if (!deselected.indexes().isEmpty()) ListView1SelectItem(deselected.indexes().first().row(), false);
            if (!selected.indexes().isEmpty()) ListView1SelectItem(selected.indexes().first().row(), true);
          });

  ScrollBox1 = new QScrollArea(this);
  ScrollBox1->setObjectName("ScrollBox1");
  ScrollBox1->setGeometry(0, 0, width - ListWidth, panelTop);
  ScrollBox1->setWidgetResizable(false);
  ScrollBox1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  PaintEffect = new TPaintBox;
  PaintEffect->setObjectName("PaintEffect");
  PaintEffect->resize(129, 129);
  PaintEffect->SetOnPaint([this](QPainter& canvas) { PaintEffectPaint(canvas); });
  ScrollBox1->setWidget(PaintEffect);

  if (panelHeight > 0) {
    auto* panel = new TXiPanel(this);
    panel->setObjectName("XiPanel1");
    panel->setGeometry(0, panelTop, width, panelHeight);
    FParameterPanel = panel;
  }

  Panel3 = new QLabel(this);
  Panel3->setObjectName("Panel3");
  Panel3->setGeometry(10, buttonTop + 3, 88, 25);
  Panel3->setFrameStyle(QFrame::Panel | QFrame::Raised);
  Panel3->setAlignment(Qt::AlignCenter);
  Panel3->setToolTip("Status");

  // OK's modal result closes the dialog before its handler runs.
  XiButton1 = MakeOkButton(this, QRect(okLeft, buttonTop, 80, 31));
  connect(XiButton1, &TXiButton::clicked, this, [this] { XiButton1Click(); });
  XiButton2 = MakeCancelButton(this, QRect(cancelLeft, buttonTop, 80, 31));
}

void TEffectFrame::StartPreview() {
  SelectStartRow();
  XiButton1->setFocus();
}

void TEffectFrame::SelectStartRow() {
  int rows = FModel->rowCount();
  int row = Job.PreviewIndex >= 0 && Job.PreviewIndex < rows && FileExists(Job.PreviewFile) ? Job.PreviewIndex : 0;
  if (rows > 0) SelectRow(row);
}

int TEffectFrame::SelectedRow() const {
  if (!ListView1) return -1;
  QModelIndexList rows = ListView1->selectionModel()->selectedRows();
  return rows.isEmpty() ? -1 : rows.first().row();
}

void TEffectFrame::SelectRow(int row) {
  QModelIndex index = FModel->index(row, 0);
  if (!index.isValid()) return;
  ListView1->selectionModel()->setCurrentIndex(
      index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  ListView1->scrollTo(index);
}

QString TEffectFrame::ListView1Data(int index, int column) const {
  if (column == 0) return QString::number(index + 1);
  return index >= 0 && index < Job.SourceFiles.Count() ? QString::fromStdString(ExtractFileName(Job.SourceFiles[index]))
                                                       : QString();
}

void TEffectFrame::ListView1SelectItem(int row, bool selected) {
  if (!selected) return;
  Guarded([&] {
    if (row < 0 || row >= Job.SourceFiles.Count()) return;
    PreviewPath = Job.SourceFiles[row];
    bool resized = false;
    std::unique_ptr<TBitmap> picture = LoadPreviewPicture(
        PreviewPath, ScrollBox1->width() - 10, ScrollBox1->height() - 10, ScrollBox1->width() - 15,
        ScrollBox1->height() - 15, &resized);
    if (!picture) {
      // Not readable: the previous preview, values and status stay.
      PreviewPath.clear();
      return;
    }
    Panel3->setText(resized ? "resizing" : "normal");
    SourceBitmap = std::move(picture);
    ApplyPictureLimits();
    PositionControls();
    PaintEffect->resize(SourceBitmap->Width(), SourceBitmap->Height());
    TrackBar1Change(ListView1);
  });
}

void TEffectFrame::TrackBar1Change(QObject* sender) {
  Guarded([&] {
    ReadControl(sender);
    ShowValues(sender);
    // Nothing to show the effect on until a picture has loaded.
    if (!SourceBitmap) return;
    auto result = std::make_unique<TBitmap>();
    result->Assign(SourceBitmap.get());
    result->SetPixelFormat(pf24bit);
    ++FPreviewRuns;
    ApplyEffect(*result);
    ResultBitmap = std::move(result);
    PaintEffect->update();
  });
}

void TEffectFrame::PaintEffectPaint(QPainter& canvas) {
  if (ResultBitmap) PaintBitmap(canvas, 0, 0, *ResultBitmap);
}

void TEffectFrame::XiButton1Click() {
  Guarded([&] {
    if (!ValuesAcceptable()) return;
    WriteValues();
    // With no row selected the previous preview file stays the job's.
    int row = SelectedRow();
    if (row >= 0) Job.PreviewIndex = row;
  });
}

// --- Sliders of the parameter panels ----------------------------------------------

TColor PanelColorAt(const QWidget* panel, int y) {
  auto* xiPanel = qobject_cast<const TXiPanel*>(panel);
  if (!xiPanel || xiPanel->FillDirection() != TXiPanel::fdVertical || panel->height() <= 0) return clBtnFace;
  const QRgb face = ToQColor(xiPanel->ColorFace()).rgb(), grad = ToQColor(xiPanel->ColorGrad()).rgb();
  return FromQColor(QColor(xpglyphs::Mix(face, grad, std::clamp(double(y) / panel->height(), 0.0, 1.0))));
}

TSliderRow AddSliderRow(QWidget* panel, int left, int top, int width, const char* barName, const char* valueName,
                        const char* minName, const char* maxName) {
  TSliderRow row;
  row.Bar = new TXiTrackBar(panel);
  row.Bar->setObjectName(barName);
  row.Bar->setGeometry(left, top, width, 34);
  row.Bar->SetBackColor(PanelColorAt(panel, top + 17));
  auto label = [&](const char* name, int x, int y, int w, Qt::Alignment alignment) {
    auto* result = new QLabel(panel);
    result->setObjectName(name);
    result->setGeometry(x, y, w, 16);
    result->setAlignment(alignment | Qt::AlignVCenter);
    return result;
  };
  row.Value = label(valueName, left, top - 17, width, Qt::AlignHCenter);
  row.MinLabel = label(minName, left - 50, top + 9, 46, Qt::AlignRight);
  row.MaxLabel = label(maxName, left + width + 4, top + 9, 46, Qt::AlignLeft);
  return row;
}

void TSliderFrame::AddSlider(QWidget* panel, int left, int top, int width) {
  TSliderRow row = AddSliderRow(panel, left, top, width, "TrackBar1", "Label1", "Label3", "Label4");
  TrackBar1 = row.Bar, Label1 = row.Value, Label3 = row.MinLabel, Label4 = row.MaxLabel;
  connect(TrackBar1, &TXiTrackBar::OnChange, this, [this] { TrackBar1Change(TrackBar1); });
}

void TTwoSliderFrame::AddSliders(QWidget* panel, int left, int top1, int top2, int width) {
  AddSlider(panel, left, top1, width);
  TSliderRow row = AddSliderRow(panel, left, top2, width, "TrackBar2", "Label2", "Label5", "Label6");
  TrackBar2 = row.Bar, Label2 = row.Value, Label5 = row.MinLabel, Label6 = row.MaxLabel;
  connect(TrackBar2, &TXiTrackBar::OnChange, this, [this] { TrackBar1Change(TrackBar2); });
}

int SetSliderRange(TXiTrackBar& bar, int minimum, int maximum) {
  maximum = std::max(maximum, minimum);
  QSignalBlocker quiet(&bar);
  bar.SetMin(minimum);
  bar.SetMax(maximum);
  return maximum;
}

int PositionSlider(TXiTrackBar& bar, int value) {
  QSignalBlocker quiet(&bar);
  bar.SetPosition(std::clamp(value, bar.Min(), std::max(bar.Min(), bar.Max())));
  return bar.Position();
}

void ShowLabel(QLabel* label, const QString& text) {
  label->setText(text);
  label->repaint();
}
