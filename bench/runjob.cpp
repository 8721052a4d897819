// runjob: runs one job headless on an offscreen main window: the window's
// own start-up scans the source folder and fills the summaries, then Start
// runs the job as the button does; prints the run log and the milliseconds
// spent on every file (loading, in the effect, saving).
//
//   runjob --source DIR [--subfolders] --target DIR --format bmp|jpg|gif|png
//          --effect "CAPTION" [--files-in-flight N] [--set MEMBER=VALUE ...]
//
// --files-in-flight N works on at most N files at once (1: one at a time);
// by default on as many as the machine has cores.
#include <QApplication>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/applythread.h"
#include "engine/effectcatalogue.h"
#include "engine/jobmembers.h"
#include "mainwindow/mainwindow.h"
#include "platform/windows/messages.h"

namespace {

int Usage(const char* problem) {
  std::fprintf(stderr, "runjob: %s\n", problem);
  std::fprintf(stderr,
               "usage: runjob --source DIR [--subfolders] --target DIR --format bmp|jpg|gif|png\n"
               "              --effect \"CAPTION\" [--files-in-flight N] [--set MEMBER=VALUE ...]\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  // As the program does, before any thread starts.
  SetUpRunMemory();
  std::string source, target, format, effect;
  bool subfolders = false;
  int filesInFlight = 0;
  std::vector<std::pair<std::string, std::string>> settings;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    auto value = [&]() -> const char* { return i + 1 < argc ? argv[++i] : nullptr; };
    if (arg == "--subfolders") {
      subfolders = true;
    } else if (arg == "--files-in-flight") {
      const char* v = value();
      char* end = nullptr;
      long n = v ? std::strtol(v, &end, 10) : 0;
      if (!v || *end || n < 1 || n > 1024) return Usage("--files-in-flight needs a number from 1 to 1024");
      filesInFlight = static_cast<int>(n);
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

  // A settings folder of its own: the run starts from the defaults and
  // leaves the settings of the person running it alone.
  char configTemplate[] = "/tmp/runjob-config-XXXXXX";
  const char* config = mkdtemp(configTemplate);
  if (!config) return Usage("cannot make a temporary settings folder");
  setenv("XDG_CONFIG_HOME", config, 1);
  struct RemoveConfig {
    std::string Folder;
    ~RemoveConfig() { std::filesystem::remove_all(Folder); }
  } removeConfig{config};

  // The job as the window finds it stored at start: folders, format, the
  // effect's place in the list and the members. The window's own start-up
  // then scans the source folder and fills the target and effect summaries
  // that the log's header copies.
  TFormMain window;
  window.SourceDir = IncludeTrailingPathDelimiter(source);
  window.TargetDir = IncludeTrailingPathDelimiter(target);
  window.TargetFormat = static_cast<int>(found - formats.begin());
  window.IncludeSubfolders = subfolders;
  window.FilesInFlight = filesInFlight;
  window.VisibleEffectNames.Clear();
  window.EffectIndex = -1;
  for (const std::string& caption : AllEffectCaptions()) {
    if (SameText(caption, effect)) window.EffectIndex = window.VisibleEffectNames.Count();
    window.VisibleEffectNames.Add(caption);
  }
  if (window.EffectIndex < 0) return Usage(("unknown effect " + effect).c_str());
  for (const auto& [name, value] : settings)
    if (!SetJobMember(window, name, value)) return Usage(("cannot set " + name + " to " + value).c_str());
  window.ApplySettingsToControls();
  if (failures) return 1;

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
