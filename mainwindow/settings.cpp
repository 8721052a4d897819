// What the main window keeps between starts: its placement, the settings
// folder and the offered effects in the settings key, and the job's
// folders, types, format, effect and options in the INI file "brmil.dat"
// of the settings folder.
#include <QGuiApplication>
#include <QScreen>
#include <algorithm>

#include "dialogs/listeffects.h"
#include "engine/effectvisibility.h"
#include "mainwindow/mainwindow.h"
#include "platform/system/inifile.h"
#include "platform/system/userconfig.h"

namespace {

constexpr const char* IniFileName = "brmil.dat";

QSize PrimaryScreenSize() {
  if (QScreen* screen = QGuiApplication::primaryScreen()) return screen->geometry().size();
  return QSize(1024, 768);
}

// A stored path: blanks kept, a trailing '/' added unless it is all blanks.
// A folder stored without its full path is taken from where the program
// starts, as the settings folder is: a folder picked later moves the current
// directory, and the scan, Start's checks and the run must all mean the
// folder the file named. A leading "~" is the home folder's, which the
// target edit expands.
std::string StoredFolder(const TMemIniFile& ini, const char* section, const std::string& current) {
  std::string value = ini.ReadString(section, "Path", current);
  if (Trim(value).empty()) return value;
  if (value != "~" && value.rfind("~/", 0) != 0) value = AbsolutePath(value);
  return IncludeTrailingPathDelimiter(value);
}

}  // namespace

// --- Settings key -----------------------------------------------------------------

void TFormMain::LoadRegistryValues() {
  TSettingsKey key;
  key.Create();  // the key is made on the first start

  // A folder stored without its full path is taken from where the program
  // starts, once: the file read now is the one written at the end, wherever
  // the folder dialogs move the current directory meanwhile.
  std::string folder;
  if (key.ReadString("Path for settings", folder))
    SettingsFolder = folder.empty() ? folder : IncludeTrailingPathDelimiter(AbsolutePath(folder));
  else
    SettingsFolder = GetSettingsFolder(VersionText);

  int32_t left, right, top, bottom;
  if (key.ReadInteger("Left", left) && key.ReadInteger("Right", right) && key.ReadInteger("Top", top) &&
      key.ReadInteger("Bottom", bottom)) {
    int32_t state = 0;
    if (!key.ReadInteger("WindowState", state) || state != 1) state = 0;
    QSize screen = PrimaryScreenSize();
    TPlacementRect rect = ClampPlacement({left, top, right, bottom}, screen.width(), screen.height());
    setGeometry(int(rect.Left), int(rect.Top), int(rect.Right - rect.Left), int(rect.Bottom - rect.Top));
    if (state == 1) setWindowState(windowState() | Qt::WindowMaximized);
  } else {
    // Centred, but with the title bar on a screen lower than the window.
    QSize screen = PrimaryScreenSize();
    setGeometry((screen.width() - 660) / 2, std::max(0, (screen.height() - 650) / 2), 660, 650);
  }

  uint32_t filters = AllFilters, filters2 = AllFilters2;
  key.ReadDword("Filters", filters);
  key.ReadDword("Filters2", filters2);
  ApplyVisibilityMasks(*this, filters, filters2);
}

void TFormMain::SaveRegistryValues() {
  TSettingsKey key;
  if (!key.Exists()) return;
  Qt::WindowStates state = windowState();
  bool maximized = (state & Qt::WindowMaximized) && !(state & Qt::WindowMinimized);
  QRect normal = (state & (Qt::WindowMaximized | Qt::WindowFullScreen)) ? normalGeometry() : geometry();
  if (normal.isEmpty()) normal = geometry();
  key.WriteInteger("WindowState", maximized ? 1 : 0);
  key.WriteInteger("Left", normal.x());
  key.WriteInteger("Right", normal.x() + normal.width());
  key.WriteInteger("Top", normal.y());
  key.WriteInteger("Bottom", normal.y() + normal.height());
  key.WriteString("Path for settings", SettingsFolder);
  uint32_t filters, filters2;
  VisibilityMasks(*this, filters, filters2);
  key.WriteDword("Filters", filters);
  key.WriteDword("Filters2", filters2);
  key.Save();
}

// --- Settings folder and INI file ---------------------------------------------------

std::string TFormMain::GetSettingsFolder(const std::string& version) { return MakeSettingsFolder(version); }

void TFormMain::LoadSettings() {
  if (SettingsFolder.empty()) return;
  TMemIniFile ini(SettingsFolder + IniFileName);
  TargetDir = StoredFolder(ini, "Target", TargetDir);
  TargetFormat = ini.ReadInteger("Target", "Extension", TargetFormat);
  TargetPanelExpanded = ini.ReadBool("Target", "Collapse", TargetPanelExpanded);
  SourceDir = StoredFolder(ini, "Source", SourceDir);
  SourcePanelExpanded = ini.ReadBool("Source", "Collapse", SourcePanelExpanded);
  IncludeSubfolders = ini.ReadBool("Source", "Subfolder", IncludeSubfolders);
  SourceBmp = ini.ReadBool("Source", "BMP", SourceBmp);
  SourceGif = ini.ReadBool("Source", "GIF", SourceGif);
  SourcePng = ini.ReadBool("Source", "PNG", SourcePng);
  SourceJpg = ini.ReadBool("Source", "JPG", SourceJpg);
  SourceIco = ini.ReadBool("Source", "ICO", SourceIco);
  SourceEmf = ini.ReadBool("Source", "EMF", SourceEmf);
  SourceWmf = ini.ReadBool("Source", "WMF", SourceWmf);
  EffectIndex = ini.ReadInteger("Effects", "Effect", EffectIndex);
  SaveEnvironment = ini.ReadBool("Actions", "Environment", SaveEnvironment);
  LowerCaseNames = ini.ReadBool("Actions", "Case", LowerCaseNames);
}

void TFormMain::SaveSettings() {
  if (!DirectoryExists(SettingsFolder)) SettingsFolder = GetSettingsFolder(VersionText);
  std::string file = SettingsFolder + IniFileName;
  // Without a settings folder there is nowhere to write: never a file
  // beside the working directory.
  if (SettingsFolder.empty()) throw EIniFileException("Unable to write to " + file);
  TIniFile ini(file);
  // A folder name with a line break is not written; the old one stays.
  ini.WriteString("Target", "Path", TargetDir);
  ini.WriteInteger("Target", "Extension", TargetFormat);
  ini.WriteBool("Target", "Collapse", TargetPanelExpanded);
  ini.WriteString("Source", "Path", SourceDir);
  ini.WriteBool("Source", "Collapse", SourcePanelExpanded);
  ini.WriteBool("Source", "BMP", SourceBmp);
  ini.WriteBool("Source", "GIF", SourceGif);
  ini.WriteBool("Source", "PNG", SourcePng);
  ini.WriteBool("Source", "JPG", SourceJpg);
  ini.WriteBool("Source", "ICO", SourceIco);
  ini.WriteBool("Source", "EMF", SourceEmf);
  ini.WriteBool("Source", "WMF", SourceWmf);
  ini.WriteInteger("Source", "Subfolder", IncludeSubfolders ? 1 : 0);
  ini.WriteInteger("Effects", "Effect", EffectIndex);
  ini.WriteBool("Actions", "Environment", SaveEnvironment);
  ini.WriteBool("Actions", "Case", LowerCaseNames);
  ini.UpdateFile();
}

// Run through the window's handler guard, which shows a write error.
void TFormMain::SaveEnvClick() { SaveSettings(); }

// --- Effect-list chooser ------------------------------------------------------------

bool TFormMain::ExecuteEffectListChooser() {
  TFormListEffects dialog(this, *this);
  return dialog.exec() == QDialog::Accepted;
}
