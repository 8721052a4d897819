// The screenshot gallery: every window, dialog and control state rendered
// offscreen to PNG files for a human look (scripts/shots). Each area of the
// program adds its own .cpp here with a SHOTS(name) block.
#pragma once

#include <QWidget>
#include <string>

// Shows the widget offscreen, lets it lay itself out and saves it as
// <shots folder>/<name>.png.
void SaveShot(QWidget* widget, const std::string& name);
// A folder with a few photograph-like pictures (JPEG, PNG, BMP, GIF),
// made once per gallery run.
const std::string& ShotPictureFolder();
// A path of one of them: "photo.jpg", "photo.png", "photo.bmp", "photo.gif",
// "wide.jpg", "tall.jpg".
std::string ShotPicture(const std::string& name);

struct TShotGroup {
  TShotGroup(const char* name, void (*render)());
};

#define SHOTS(name)                                  \
  static void name##_Shots();                         \
  static TShotGroup name##_ShotGroup(#name, name##_Shots); \
  static void name##_Shots()
