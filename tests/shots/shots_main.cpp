// Renders every registered shot group: brightmill_shots [folder] [group...]
#include <QApplication>
#include <QEnterEvent>
#include <QLabel>
#include <QPainter>
#include <QDir>
#include <QFile>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <tuple>

#include "engine/jobrecord.h"
#include "platform/windows/appstyle.h"
#include "platform/windows/dialogs.h"
#include "shots.h"
#include "tests/support/testsupport.h"
#include "tests/support/windowtest.h"

namespace {
std::map<std::string, void (*)()>& Groups() {
  static std::map<std::string, void (*)()> groups;
  return groups;
}
std::string& OutputFolder() {
  static std::string folder = "build/shots";
  return folder;
}

// A landscape-like picture: sky gradient, hills, a sun and some texture.
std::unique_ptr<TBitmap> MakePhoto(int width, int height) {
  auto b = std::make_unique<TBitmap>();
  b->SetPixelFormat(pf24bit);
  b->SetSize(width, height);
  uint32_t grain = 777;
  for (int y = 0; y < height; ++y) {
    uint8_t* row = b->ScanLine(y);
    for (int x = 0; x < width; ++x) {
      grain = grain * 1664525u + 1013904223u;
      int noise = int(grain >> 28) - 8;
      double fx = double(x) / width, fy = double(y) / height;
      double hill = 0.62 + 0.08 * std::sin(fx * 9.0) + 0.05 * std::cos(fx * 23.0 + 1.0);
      double sun = std::hypot(fx - 0.75, fy - 0.22);
      int r, g, bl;
      if (sun < 0.07) {
        r = 255, g = 230, bl = 120;
      } else if (fy < hill) {
        r = int(90 + 120 * fy), g = int(150 + 80 * fy), bl = int(235 - 20 * fy);
      } else {
        double shade = 0.6 + 0.4 * std::sin(fx * 40.0 + fy * 13.0);
        r = int(40 + 50 * shade), g = int(110 + 70 * shade), bl = int(30 + 20 * shade);
      }
      row[3 * x] = uint8_t(std::clamp(bl + noise, 0, 255));
      row[3 * x + 1] = uint8_t(std::clamp(g + noise, 0, 255));
      row[3 * x + 2] = uint8_t(std::clamp(r + noise, 0, 255));
    }
  }
  return b;
}
}  // namespace

static void Settle() {
  for (int i = 0; i < 3; ++i) QApplication::processEvents();
}

QImage ShotCell(QWidget* control, TShotLook look, QPoint at) {
  if (at.isNull()) at = QPoint(6, control->height() / 2);
  control->show();
  Settle();
  // Wherever the pointer is, it is not over the control unless wanted; a
  // window shown offscreen gives its first control the focus.
  QEvent leave(QEvent::Leave);
  QApplication::sendEvent(control, &leave);
  if (QWidget* focused = control->focusWidget()) focused->clearFocus();
  if (look == slHot || look == slPressed) {
    QEnterEvent enter{QPointF(at), QPointF(at), QPointF(control->mapToGlobal(at))};
    QApplication::sendEvent(control, &enter);
    if (look == slHot) SendMouse(control, QEvent::MouseMove, at);
    else SendMouse(control, QEvent::MouseButtonPress, at, Qt::LeftButton);
  } else if (look == slFocused) {
    control->activateWindow();
    for (int i = 0; i < 100 && !control->isActiveWindow(); ++i) QApplication::processEvents(QEventLoop::AllEvents, 10);
    control->setFocus(Qt::TabFocusReason);
  } else if (look == slDisabled) {
    control->setEnabled(false);
  }
  Settle();
  QImage image = control->grab().toImage();
  delete control;
  return image;
}

void TShotSheet::AddRow(const QString& title, const std::vector<TShotLook>& looks,
                        const std::function<QWidget*()>& make) {
  std::vector<QImage> cells;
  for (TShotLook look : looks) cells.push_back(ShotCell(make(), look));
  AddRow(title, std::move(cells));
}

void TShotSheet::Save(const std::string& name) {
  const int left = 110, top = 22, gap = 10;
  QImage sheet(left + int(FColumns.size()) * (FCellWidth + gap), top + int(FRows.size()) * (FCellHeight + gap),
               QImage::Format_RGB32);
  sheet.fill(QColor(236, 233, 216));
  QPainter painter(&sheet);
  for (size_t c = 0; c < FColumns.size(); ++c)
    painter.drawText(QRect(left + int(c) * (FCellWidth + gap), 0, FCellWidth, top), Qt::AlignCenter, FColumns[c]);
  for (size_t r = 0; r < FRows.size(); ++r) {
    const int y = top + int(r) * (FCellHeight + gap);
    painter.drawText(QRect(4, y, left - 8, FCellHeight), Qt::AlignVCenter | Qt::AlignLeft, FRows[r].first);
    for (size_t c = 0; c < FRows[r].second.size(); ++c)
      painter.drawImage(left + int(c) * (FCellWidth + gap), y, FRows[r].second[c]);
  }
  painter.end();
  QLabel label;
  label.setPixmap(QPixmap::fromImage(sheet));
  label.resize(sheet.size());
  SaveShot(&label, name);
}

TShotGroup::TShotGroup(const char* name, void (*render)()) { Groups()[name] = render; }

void SaveShot(QWidget* widget, const std::string& name) {
  widget->show();
  for (int i = 0; i < 3; ++i) QApplication::processEvents();
  std::string path = OutputFolder() + "/" + name + ".png";
  if (!widget->grab().save(QString::fromStdString(path))) std::fprintf(stderr, "could not save %s\n", path.c_str());
}

const std::string& ShotPictureFolder() {
  static std::string folder = [] {
    std::string dir = OutputFolder() + "/pictures/";
    std::filesystem::create_directories(dir);
    TJobRecord writer(dir);
    const std::tuple<const char*, const char*, int, int> pictures[] = {
        {"photo", ".jpg", 800, 600}, {"photo", ".png", 800, 600}, {"photo", ".bmp", 800, 600},
        {"photo", ".gif", 800, 600}, {"wide", ".jpg", 1200, 300},  {"tall", ".jpg", 300, 900}};
    for (auto [base, extension, width, height] : pictures) {
      std::filesystem::remove(dir + base + extension);
      writer.TargetExtension = extension;
      std::string written = writer.SaveBitmapToTarget(*MakePhoto(width, height), dir, base);
      if (written != "Error") std::filesystem::rename(dir + written, dir + base + extension);
    }
    return dir;
  }();
  return folder;
}

std::string ShotPicture(const std::string& name) { return ShotPictureFolder() + name; }

void UseShotPictures(TJobRecord& job, int preview) {
  for (const char* name : {"photo.jpg", "photo.png", "photo.bmp", "photo.gif", "wide.jpg", "tall.jpg"})
    job.SourceFiles.Add(ShotPicture(name));
  job.FileCount = job.SourceFiles.Count();
  PreviewShotPicture(job, preview);
}

void PreviewShotPicture(TJobRecord& job, int index) {
  job.PreviewIndex = index;
  job.PreviewFile = job.SourceFiles[index];
}

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  QApplication::setApplicationName("Brightmill");
  ApplyProgramStyle();
  if (argc > 1) OutputFolder() = argv[1];
  // The windows' folder picks move the current directory.
  OutputFolder() = AbsolutePath(OutputFolder());
  QDir().mkpath(QString::fromStdString(OutputFolder()));
  int rendered = 0;
  for (auto& [name, render] : Groups()) {
    bool wanted = argc <= 2;
    for (int i = 2; i < argc; ++i) wanted = wanted || name == argv[i];
    if (!wanted) continue;
    std::printf("%s\n", name.c_str());
    render();
    ++rendered;
  }
  std::printf("%d groups rendered into %s\n", rendered, OutputFolder().c_str());
  return 0;
}
