// What the format dialog tests share: a job in a temporary folder
// whose preview file the tests write, the messages shown, and a QtTest main
// that points the settings at a temporary folder first.
#pragma once

#include <QApplication>
#include <QTimer>
#include <QtTest>
#include <set>
#include <string>
#include <vector>

#include "engine/jobrecord.h"
#include "engine/targetconversion.h"
#include "gif/gifimage.h"
#include "platform/windows/messages.h"
#include "tests/support/testsupport.h"

// A job over a temporary folder that collects the messages shown.
struct TDialogJob {
  TDialogJob() { SetMessageHandler([this](const std::string& text) { Messages.push_back(text); }); }
  ~TDialogJob() { SetMessageHandler(nullptr); }

  // Writes the picture as <name> (by its extension: .bmp in the bitmap's
  // own pixel format, .gif through the GIF writer with 256 colours, .jpg
  // at quality 100) and makes it the preview file.
  std::string UsePicture(TBitmap& picture, const std::string& name) {
    std::string path = Dir.File(name);
    std::string ext = ExtractFileExt(name);
    if (ext == ".gif") {
      TBitmap work;
      work.Assign(&picture);
      work.SetPixelFormat(pf24bit);
      TGIFImage gif;
      ConvertToTargetGif(work, TGifConversion(), gif);
      gif.SaveToFile(path);
    } else if (ext == ".jpg") {
      TMemoryStream data;
      EncodeTargetJpeg(picture, 100, data);
      data.SaveToFile(path);
    } else {
      picture.SaveToFile(path);
    }
    Job.PreviewFile = path;
    return path;
  }

  TempDir Dir;
  TJobRecord Job{Dir.Path()};
  std::vector<std::string> Messages;
};

// The number of different colours of a picture.
inline int ColorCount(TBitmap& picture) {
  std::set<TColor> colors;
  for (int y = 0; y < picture.Height(); ++y)
    for (int x = 0; x < picture.Width(); ++x) colors.insert(PixelAt(picture, x, y));
  return int(colors.size());
}

// Runs action once the dialog's modal loop is running (to press a key or
// a button in it).
inline void WhenShown(const std::function<void(QWidget* dialog)>& action) {
  QTimer::singleShot(0, [action] {
    QWidget* dialog = QApplication::activeModalWidget();
    if (dialog) action(dialog);
  });
}

#define FORMAT_DIALOG_TEST_MAIN(TestClass)                          \
  int main(int argc, char** argv) {                                 \
    TempDir config;                                                 \
    qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(config.Path())); \
    QApplication app(argc, argv);                                   \
    TestClass test;                                                 \
    return QTest::qExec(&test, argc, argv);                         \
  }
