// runjob: runs one job headless on an offscreen main window, exactly as the
// Start command does, then prints the run log and the milliseconds spent on
// every file (loading, in the effect, saving).
//
//   runjob --source DIR [--subfolders] --target DIR --format bmp|jpg|gif|png
//          --effect "CAPTION" [--set MEMBER=VALUE ...]
#include <QApplication>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "engine/jobmembers.h"
#include "engine/sourcescan.h"
#include "mainwindow/mainwindow.h"
#include "platform/windows/messages.h"

namespace {

int Usage(const char* problem) {
  std::fprintf(stderr, "runjob: %s\n", problem);
  std::fprintf(stderr,
               "usage: runjob --source DIR [--subfolders] --target DIR --format bmp|jpg|gif|png\n"
               "              --effect \"CAPTION\" [--set MEMBER=VALUE ...]\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  std::string source, target, format, effect;
  bool subfolders = false;
  std::vector<std::pair<std::string, std::string>> settings;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    auto value = [&]() -> const char* { return i + 1 < argc ? argv[++i] : nullptr; };
    if (arg == "--subfolders") {
      subfolders = true;
    } else if (arg == "--source" || arg == "--target" || arg == "--format" || arg == "--effect" || arg == "--set") {
      const char* v = value();
      if (!v) return Usage(("missing value after " + arg).c_str());
      if (arg == "--source") source = v;
      else if (arg == "--target") target = v;
      else if (arg == "--format") format = LowerCase(v);
      else if (arg == "--effect") effect = v;
      else {
        std::string s = v;
        size_t eq = s.find('=');
        if (eq == std::string::npos || eq == 0) return Usage(("--set needs MEMBER=VALUE, not " + s).c_str());
        settings.emplace_back(s.substr(0, eq), s.substr(eq + 1));
      }
    } else {
      return Usage(("unknown argument " + arg).c_str());
    }
  }
  if (source.empty() || target.empty() || format.empty() || effect.empty())
    return Usage("--source, --target, --format and --effect are needed");
  const std::vector<std::string> formats = {"bmp", "jpg", "gif", "png"};
  auto found = std::find(formats.begin(), formats.end(), format);
  if (found == formats.end()) return Usage(("unknown format " + format).c_str());

  if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication application(argc, argv);
  QApplication::setApplicationName("Brightmill");
  int failures = 0;
  SetMessageHandler([&](const std::string& text) {
    std::fprintf(stderr, "runjob: %s\n", text.c_str());
    ++failures;
  });

  TFormMain window;
  window.SourceDir = IncludeTrailingPathDelimiter(source);
  window.TargetDir = IncludeTrailingPathDelimiter(target);
  window.TargetFormat = static_cast<int>(found - formats.begin());
  window.EffectName = effect;
  window.IncludeSubfolders = subfolders;
  for (const auto& [name, value] : settings)
    if (!SetJobMember(window, name, value)) return Usage(("cannot set " + name + " to " + value).c_str());
  // The extension, and the summary lines the log header copies.
  window.SetTargetFormat(window.TargetFormat);

  window.SourceFiles.Clear();
  ScanSourceFolder(window.SourceDir, window.IncludeSubfolders, SourceTypesOf(window), window.SourceFiles);
  window.FileCount = window.SourceFiles.Count();

  std::vector<std::string> timings;
  window.OnFileTimed = [&](const std::string& name, double load, double effectMs, double save) {
    char line[512];
    std::snprintf(line, sizeof line, "%10.1f %10.1f %10.1f  %s", load, effectMs, save, name.c_str());
    timings.push_back(line);
  };

  window.ActionStartExecute();
  if (failures) return 1;
  WaitForApplyEffectThread(false);
  std::printf("%s\n", window.MemoLog->toPlainText().toStdString().c_str());
  std::printf("\n   load ms  effect ms    save ms  file\n");
  for (const std::string& line : timings) std::printf("%s\n", line.c_str());
  return 0;
}
