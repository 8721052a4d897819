// The screenshot gallery: every window, dialog and control state rendered
// offscreen to PNG files for a human look (scripts/shots). Each area of the
// program adds its own .cpp here with a SHOTS(name) block.
#pragma once

#include <QImage>
#include <QWidget>
#include <functional>
#include <string>
#include <vector>

// Shows the widget offscreen, lets it lay itself out and saves it as
// <shots folder>/<name>.png.
void SaveShot(QWidget* widget, const std::string& name);
// A folder with a few photograph-like pictures (JPEG, PNG, BMP, GIF),
// made once per gallery run.
const std::string& ShotPictureFolder();
// A path of one of them: "photo.jpg", "photo.png", "photo.bmp", "photo.gif",
// "wide.jpg", "tall.jpg".
std::string ShotPicture(const std::string& name);

class TJobRecord;
// Opens a dialog of class D over the job, lets `setUp` act on it and saves
// it as <name>.
template <class D>
void SaveDialogShot(TJobRecord& job, const std::string& name, const std::function<void(D&)>& setUp = {}) {
  D dialog(nullptr, job);
  if (setUp) setUp(dialog);
  SaveShot(&dialog, name);
}
// Puts every one of those pictures into the job's source files, in the
// order above, previewing the one at `preview`.
void UseShotPictures(TJobRecord& job, int preview = 0);
// Previews the job's source file at `index`.
void PreviewShotPicture(TJobRecord& job, int index);

// A control's look in a sheet of states.
enum TShotLook { slNormal, slHot, slPressed, slFocused, slDisabled };
// Shows the control alone, puts it into the look (the pointer at `at`,
// by default near its left edge) and grabs it; the control is deleted.
QImage ShotCell(QWidget* control, TShotLook look, QPoint at = {});
// One PNG of cells in rows, with row titles on the left and column titles
// above.
class TShotSheet {
 public:
  TShotSheet(int cellWidth, int cellHeight, std::vector<QString> columns)
      : FCellWidth(cellWidth), FCellHeight(cellHeight), FColumns(std::move(columns)) {}
  void AddRow(const QString& title, std::vector<QImage> cells) { FRows.push_back({title, std::move(cells)}); }
  // A row of one control per look, each made by `make`.
  void AddRow(const QString& title, const std::vector<TShotLook>& looks, const std::function<QWidget*()>& make);
  void Save(const std::string& name);

 private:
  int FCellWidth, FCellHeight;
  std::vector<QString> FColumns;
  std::vector<std::pair<QString, std::vector<QImage>>> FRows;
};

struct TShotGroup {
  TShotGroup(const char* name, void (*render)());
};

#define SHOTS(name)                                  \
  static void name##_Shots();                         \
  static TShotGroup name##_ShotGroup(#name, name##_Shots); \
  static void name##_Shots()
