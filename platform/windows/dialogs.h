// The common dialogs (folder, open picture, save, colour) and opening a
// link or a document with the desktop's own viewer. Each goes through a
// hook that tests (or a run without a screen) may replace; an empty hook
// brings the real dialog back.
//
// Paths are byte strings as the file system holds them; they are never
// taken from a widget's text.
#pragma once

#include <QDialog>
#include <QString>
#include <functional>
#include <string>

#include "platform/graphics/gdi.h"

class QFileSystemModel;
class QLabel;
class QPushButton;
class QShowEvent;
class QTimer;
class QTreeView;
class QWidget;

// A path as text to show (bytes that are not UTF-8 show as replacement
// characters, so the text never stands in for the path), and text the user
// typed as a path.
QString PathText(const std::string& path);
std::string TypedPath(const QString& text);

// The folder dialog: a tree of the file system's folders from its root, the
// title, and a status line under it. Its callback hears of it as the shell's
// folder dialog tells its own: once when it is up (BFFM_INITIALIZED, no
// argument) and each time the selection moves (BFFM_SELCHANGED, the path of
// the folder now selected); the callback may then move the selection
// (BFFM_SETSELECTIONA: SetSelection) or set the status line
// (BFFM_SETSTATUSTEXTA: SetStatusText).
constexpr int BFFM_INITIALIZED = 1;
constexpr int BFFM_SELCHANGED = 2;
// Flags: only folders of the file system can be chosen (the only kind this
// tree holds); a status line under the title.
constexpr unsigned BIF_RETURNONLYFSDIRS = 0x0001;
constexpr unsigned BIF_STATUSTEXT = 0x0004;

class TFolderDialog;
// The callback: the dialog, the message, its argument and the data given
// with the callback; answers 0.
using TBrowseCallback = int (*)(TFolderDialog& dialog, int message, const std::string& argument,
                                const std::string& data);

class TFolderDialog : public QDialog {
 public:
  TFolderDialog(QWidget* parent, const std::string& title, unsigned flags, TBrowseCallback callback,
                const std::string& data);

  // Selects the folder, opening the tree down to it; nothing when it is
  // not there.
  void SetSelection(const std::string& path);
  void SetStatusText(const std::string& text);
  // The selected folder's path, or "" when none is selected.
  std::string Selection() const;

  QLabel* Title = nullptr;
  QLabel* StatusText = nullptr;  // hidden without BIF_STATUSTEXT
  QTreeView* Tree = nullptr;
  QPushButton* OkButton = nullptr;
  QPushButton* CancelButton = nullptr;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  // Hands the message to the callback, if any, through the handler guard:
  // an error it raises is shown and the dialog goes on.
  void TellCallback(int message, const std::string& argument);

  QFileSystemModel* FModel = nullptr;
  TBrowseCallback FCallback;
  std::string FData;
  bool FInitialized = false;
  // The folder SetSelection chose, kept in view while the tree fills: each
  // arrival of rows restarts the timer, which brings it into view.
  QString FKeepInView;
  QTimer* FKeepInViewTimer = nullptr;
};

// Folder choice in the folder dialog above, with the callback and its data
// (without a callback the dialog opens on data, when it is a folder):
// answers the chosen folder without a trailing '/', or "" when cancelled.
// The dialog itself leaves the current directory as it is.
std::string SelectFolderDialog(QWidget* parent, const std::string& title, const std::string& startFolder,
                               TBrowseCallback callback = nullptr);

// Open-picture choice: answers the chosen file's path or "". filter is in
// Qt's form, e.g. "Pictures (*.bmp *.jpg)".
std::string OpenPictureDialog(QWidget* parent, const std::string& title, const std::string& startFolder,
                              const std::string& filter);

// Save choice: answers the chosen path or "". proposedPath may be a bare
// name or a full path. A defaultSuffix ("txt") is added to a name typed
// without an extension, before the dialog asks whether to replace a file.
std::string SaveFileDialog(QWidget* parent, const std::string& title, const std::string& proposedPath,
                           const std::string& filter, const std::string& defaultSuffix = "");

// What a file dialog holds as a window sets it up before running it: title,
// filter, the folder it opens in and the name it proposes.
struct TFileDialog {
  std::string Title;
  std::string Filter;
  std::string InitialDir;  // with a trailing '/', or empty
  std::string FileName;    // the proposed name; after Execute the chosen path

 protected:
  // True and FileName the chosen path, or false and FileName unchanged
  // when nothing was chosen ("").
  bool Take(const std::string& chosen);
};

// A save dialog: with a default extension; it asks before replacing a file
// and can be resized.
struct TSaveDialog : TFileDialog {
  std::string DefaultExt;
  // Runs SaveFileDialog: true and FileName the chosen path, or false and
  // FileName unchanged when cancelled.
  bool Execute(QWidget* parent);
};

// An open-picture dialog.
struct TOpenPictureDialog : TFileDialog {
  // Runs OpenPictureDialog in InitialDir + FileName: true and FileName the
  // chosen path, or false and FileName unchanged when cancelled.
  bool Execute(QWidget* parent);
};

// Colour choice starting at color (0x00BBGGRR); true and the new colour in
// color when accepted, false and color unchanged when cancelled.
bool ColorDialog(QWidget* parent, TColor& color);

// A colour dialog as a window holds it: the colour it opens with, black
// until one is set or chosen.
struct TColorDialog {
  TColor Color = clBlack;
  // Runs ColorDialog: true and Color the chosen colour, or false and Color
  // unchanged when cancelled.
  bool Execute(QWidget* parent);
};

// Opens a link ("mailto:", "https:") or a local document ("file:") with the
// desktop's viewer; false when none could be started.
bool OpenUrl(const std::string& url);

struct TCommonDialogHooks {
  std::function<std::string(QWidget*, const std::string& title, const std::string& startFolder)> SelectFolder;
  std::function<std::string(QWidget*, const std::string& title, const std::string& startFolder,
                            const std::string& filter)>
      OpenPicture;
  std::function<std::string(QWidget*, const std::string& title, const std::string& proposedPath,
                            const std::string& filter)>
      SaveFile;
  std::function<bool(QWidget*, TColor& color)> Color;
  std::function<bool(const std::string& url)> OpenUrl;
};

// The hooks in force; assign a member to replace that dialog.
TCommonDialogHooks& CommonDialogHooks();
