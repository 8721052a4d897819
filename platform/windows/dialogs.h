// The common dialogs (folder, open picture, save, colour) and opening a
// link or a document with the desktop's own viewer. Each goes through a
// hook that tests (or a run without a screen) may replace; an empty hook
// brings the real dialog back.
//
// Paths are byte strings as the file system holds them; they are never
// taken from a widget's text.
#pragma once

#include <functional>
#include <string>

#include "platform/graphics/gdi.h"

class QString;
class QWidget;

// A path as text to show (bytes that are not UTF-8 show as replacement
// characters, so the text never stands in for the path), and text the user
// typed as a path.
QString PathText(const std::string& path);
std::string TypedPath(const QString& text);

// Folder choice: answers the chosen folder without a trailing '/', or ""
// when cancelled. startFolder may be empty. Never changes the working
// directory.
std::string SelectFolderDialog(QWidget* parent, const std::string& title, const std::string& startFolder);

// Open-picture choice: answers the chosen file's path or "". filter is in
// Qt's form, e.g. "Pictures (*.bmp *.jpg)".
std::string OpenPictureDialog(QWidget* parent, const std::string& title, const std::string& startFolder,
                              const std::string& filter);

// Save choice: answers the chosen path or "". proposedPath may be a bare
// name or a full path. A defaultSuffix ("txt") is added to a name typed
// without an extension, before the dialog asks whether to replace a file.
std::string SaveFileDialog(QWidget* parent, const std::string& title, const std::string& proposedPath,
                           const std::string& filter, const std::string& defaultSuffix = "");

// Colour choice starting at color (0x00BBGGRR); true and the new colour in
// color when accepted, false and color unchanged when cancelled.
bool ColorDialog(QWidget* parent, TColor& color);

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
