#include "platform/windows/dialogs.h"

#include <QColorDialog>
#include <QDesktopServices>
#include <QDialogButtonBox>
#include <QFile>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>
#include <QTreeView>
#include <QUrl>
#include <QVBoxLayout>

#include "platform/system/sysutils.h"
#include "platform/windows/colors.h"
#include "platform/windows/guard.h"

namespace {
QString FromPath(const std::string& path) { return QFile::decodeName(QByteArray::fromStdString(path)); }
std::string ToPath(const QString& path) { return QFile::encodeName(path).toStdString(); }
}  // namespace

QString PathText(const std::string& path) { return FromPath(path); }
std::string TypedPath(const QString& text) { return ToPath(text); }

TCommonDialogHooks& CommonDialogHooks() {
  static TCommonDialogHooks hooks;
  return hooks;
}

TFolderDialog::TFolderDialog(QWidget* parent, const std::string& title, unsigned flags, TBrowseCallback callback,
                             const std::string& data)
    : QDialog(parent), FCallback(callback), FData(data) {
  setObjectName("FolderDialog");
  setWindowTitle("Browse for folder");
  resize(360, 420);
  auto* layout = new QVBoxLayout(this);
  Title = new QLabel(QString::fromStdString(title), this);
  Title->setObjectName("Title");
  StatusText = new QLabel(this);
  StatusText->setObjectName("StatusText");
  // A long path is cut at the dialog's edge rather than widening it.
  StatusText->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  StatusText->setVisible(flags & BIF_STATUSTEXT);
  FModel = new QFileSystemModel(this);
  FModel->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot);
  FModel->setRootPath("/");
  Tree = new QTreeView(this);
  Tree->setObjectName("Tree");
  Tree->setModel(FModel);
  Tree->setHeaderHidden(true);
  for (int column = 1; column < FModel->columnCount(); ++column) Tree->hideColumn(column);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  OkButton = buttons->button(QDialogButtonBox::Ok);
  CancelButton = buttons->button(QDialogButtonBox::Cancel);
  OkButton->setEnabled(false);
  layout->addWidget(Title);
  layout->addWidget(StatusText);
  layout->addWidget(Tree, 1);
  layout->addWidget(buttons);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  // The folders are read in the background as the tree needs them: until
  // the user moves the selection, scrolls, or opens or closes a folder, each
  // arrival keeps the folder selected in code in view, once the burst of
  // arrivals has been handled.
  FKeepInViewTimer = new QTimer(this);
  FKeepInViewTimer->setSingleShot(true);
  FKeepInViewTimer->setInterval(0);
  connect(FKeepInViewTimer, &QTimer::timeout, this, [this] {
    if (!FKeepInView.isEmpty()) Tree->scrollTo(Tree->currentIndex(), QAbstractItemView::PositionAtCenter);
  });
  auto keepInView = [this] {
    if (!FKeepInView.isEmpty()) FKeepInViewTimer->start();
  };
  connect(FModel, &QFileSystemModel::directoryLoaded, this, keepInView);
  connect(FModel, &QFileSystemModel::rowsInserted, this, keepInView);
  connect(FModel, &QFileSystemModel::layoutChanged, this, keepInView);
  connect(Tree->verticalScrollBar(), &QScrollBar::actionTriggered, this, [this] { FKeepInView.clear(); });
  // Opening or closing a folder is the user's move too (SetSelection opens
  // the folders above its choice before it keeps it in view).
  connect(Tree, &QTreeView::expanded, this, [this] { FKeepInView.clear(); });
  connect(Tree, &QTreeView::collapsed, this, [this] { FKeepInView.clear(); });
  connect(Tree->selectionModel(), &QItemSelectionModel::currentChanged, this, [this](const QModelIndex& current) {
    OkButton->setEnabled(current.isValid());
    if (FModel->filePath(current) != FKeepInView) FKeepInView.clear();
    if (current.isValid()) TellCallback(BFFM_SELCHANGED, Selection());
  });
}

void TFolderDialog::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (FInitialized) return;
  FInitialized = true;
  if (FCallback) TellCallback(BFFM_INITIALIZED, std::string());
  else SetSelection(FData);
}

void TFolderDialog::TellCallback(int message, const std::string& argument) {
  if (FCallback) Guarded([&] { FCallback(*this, message, argument, FData); });
}

void TFolderDialog::SetSelection(const std::string& path) {
  if (path.empty() || !DirectoryExists(path)) return;
  QModelIndex index = FModel->index(FromPath(ExcludeTrailingPathDelimiter(path)));
  if (!index.isValid()) return;
  for (QModelIndex parent = index.parent(); parent.isValid(); parent = parent.parent()) Tree->expand(parent);
  FKeepInView = FModel->filePath(index);
  Tree->setCurrentIndex(index);
  Tree->scrollTo(index, QAbstractItemView::PositionAtCenter);
}

void TFolderDialog::SetStatusText(const std::string& text) {
  StatusText->setText(FromPath(text));
  StatusText->setToolTip(StatusText->text());
}

std::string TFolderDialog::Selection() const {
  QModelIndex current = Tree->currentIndex();
  return current.isValid() ? ToPath(FModel->filePath(current)) : std::string();
}

std::string SelectFolderDialog(QWidget* parent, const std::string& title, const std::string& startFolder,
                               TBrowseCallback callback) {
  if (CommonDialogHooks().SelectFolder) return CommonDialogHooks().SelectFolder(parent, title, startFolder);
  TFolderDialog dialog(parent, title, BIF_RETURNONLYFSDIRS | BIF_STATUSTEXT, callback, startFolder);
  if (dialog.exec() != QDialog::Accepted) return std::string();
  std::string result = dialog.Selection();
  while (result.size() > 1 && result.back() == '/') result.pop_back();
  return result;
}

std::string OpenPictureDialog(QWidget* parent, const std::string& title, const std::string& startFolder,
                              const std::string& filter) {
  if (CommonDialogHooks().OpenPicture) return CommonDialogHooks().OpenPicture(parent, title, startFolder, filter);
  return ToPath(QFileDialog::getOpenFileName(parent, QString::fromStdString(title), FromPath(startFolder),
                                             QString::fromStdString(filter)));
}

std::string SaveFileDialog(QWidget* parent, const std::string& title, const std::string& proposedPath,
                           const std::string& filter, const std::string& defaultSuffix) {
  if (CommonDialogHooks().SaveFile) return CommonDialogHooks().SaveFile(parent, title, proposedPath, filter);
  QFileDialog dialog(parent, QString::fromStdString(title), FromPath(proposedPath), QString::fromStdString(filter));
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setDefaultSuffix(QString::fromStdString(defaultSuffix));
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::string();
  return ToPath(dialog.selectedFiles().first());
}

bool TFileDialog::Take(const std::string& chosen) {
  if (chosen.empty()) return false;
  FileName = chosen;
  return true;
}

bool TSaveDialog::Execute(QWidget* parent) {
  return Take(SaveFileDialog(parent, Title, InitialDir + FileName, Filter, DefaultExt));
}

bool TOpenPictureDialog::Execute(QWidget* parent) {
  return Take(OpenPictureDialog(parent, Title, InitialDir + FileName, Filter));
}

bool ColorDialog(QWidget* parent, TColor& color) {
  if (CommonDialogHooks().Color) return CommonDialogHooks().Color(parent, color);
  QColor chosen = QColorDialog::getColor(ToQColor(color), parent);
  if (!chosen.isValid()) return false;
  color = FromQColor(chosen);
  return true;
}

bool TColorDialog::Execute(QWidget* parent) { return ColorDialog(parent, Color); }

bool OpenUrl(const std::string& url) {
  if (CommonDialogHooks().OpenUrl) return CommonDialogHooks().OpenUrl(url);
  return QDesktopServices::openUrl(QUrl(QString::fromStdString(url)));
}
