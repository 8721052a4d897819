#include "platform/windows/dialogs.h"

#include <QColorDialog>
#include <QDesktopServices>
#include <QFile>
#include <QFileDialog>
#include <QUrl>

#include "platform/windows/colors.h"

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

std::string SelectFolderDialog(QWidget* parent, const std::string& title, const std::string& startFolder) {
  if (CommonDialogHooks().SelectFolder) return CommonDialogHooks().SelectFolder(parent, title, startFolder);
  QString folder = QFileDialog::getExistingDirectory(parent, QString::fromStdString(title), FromPath(startFolder),
                                                     QFileDialog::ShowDirsOnly);
  std::string result = ToPath(folder);
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

bool ColorDialog(QWidget* parent, TColor& color) {
  if (CommonDialogHooks().Color) return CommonDialogHooks().Color(parent, color);
  QColor chosen = QColorDialog::getColor(ToQColor(color), parent);
  if (!chosen.isValid()) return false;
  color = FromQColor(chosen);
  return true;
}

bool OpenUrl(const std::string& url) {
  if (CommonDialogHooks().OpenUrl) return CommonDialogHooks().OpenUrl(url);
  return QDesktopServices::openUrl(QUrl(QString::fromStdString(url)));
}
