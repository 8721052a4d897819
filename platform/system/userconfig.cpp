#include "platform/system/userconfig.h"

#include <pwd.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <vector>

namespace {

// One level: there already, or made now (or made by someone else meanwhile).
bool MakeLevel(const std::string& folder) { return DirectoryExists(folder) || CreateDir(folder) || DirectoryExists(folder); }

}  // namespace

std::string HomeFolder() {
  const char* home = std::getenv("HOME");
  if (home && home[0] == '/') return home;
  std::vector<char> buffer(16384);
  passwd entry{};
  passwd* found = nullptr;
  if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found && found->pw_dir &&
      found->pw_dir[0] == '/')
    return found->pw_dir;
  return {};
}

std::string ConfigHome() {
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  if (xdg && xdg[0] == '/') return IncludeTrailingPathDelimiter(xdg);
  std::string home = HomeFolder();
  if (home.empty()) return {};
  return IncludeTrailingPathDelimiter(home) + ".config/";
}

bool ForceFolders(const std::string& path) {
  if (path.empty() || path[0] != '/') return false;
  std::string folder = IncludeTrailingPathDelimiter(path);
  for (size_t slash = folder.find('/', 1); slash != std::string::npos; slash = folder.find('/', slash + 1)) {
    if (slash > 0 && folder[slash - 1] == '/') continue;  // "//" names no new level
    if (!MakeLevel(folder.substr(0, slash + 1))) return false;
  }
  return true;
}

std::string MakeSettingsFolder(const std::string& version) {
  std::string folder = ConfigHome();
  if (folder.empty() || !ForceFolders(folder)) return {};
  for (const std::string& level : {std::string("Quorvant"), std::string("Brightmill"), version}) {
    if (level.empty()) continue;
    folder += level + "/";
    if (!MakeLevel(folder)) return {};
  }
  return folder;
}

// --- The settings key ---------------------------------------------------------

std::string TSettingsKey::DefaultFileName() {
  std::string home = ConfigHome();
  return home.empty() ? std::string() : home + "Quorvant/Brightmill v1.4.conf";
}

TSettingsKey::TSettingsKey(const std::string& fileName) : FIni(fileName) {}

bool TSettingsKey::Create() { return !FileName().empty() && ForceFolders(ExtractFilePath(FileName())); }

bool TSettingsKey::Exists() const { return !FileName().empty() && DirectoryExists(ExtractFilePath(FileName())); }

bool TSettingsKey::ReadString(const std::string& name, std::string& value) const {
  if (!FIni.ValueExists(Section, name)) return false;
  std::string text = FIni.ReadString(Section, name, "");
  if (text.size() > MaxKeyString) return false;
  value = text;
  return true;
}

bool TSettingsKey::ReadDword(const std::string& name, uint32_t& value) const {
  int64_t number;
  if (!FIni.ValueExists(Section, name) ||
      !ParseIniInteger(FIni.ReadString(Section, name, ""), INT32_MIN, UINT32_MAX, number))
    return false;
  value = static_cast<uint32_t>(number);
  return true;
}

bool TSettingsKey::ReadInteger(const std::string& name, int32_t& value) const {
  uint32_t bits;
  if (!ReadDword(name, bits)) return false;
  value = static_cast<int32_t>(bits);
  return true;
}

bool TSettingsKey::WriteString(const std::string& name, const std::string& value) {
  return FIni.WriteString(Section, name, value);
}

void TSettingsKey::WriteDword(const std::string& name, uint32_t value) {
  FIni.WriteString(Section, name, std::to_string(value));
}

void TSettingsKey::WriteInteger(const std::string& name, int32_t value) {
  FIni.WriteString(Section, name, std::to_string(value));
}

bool TSettingsKey::Save() {
  if (!Exists()) return false;
  try {
    FIni.UpdateFile();
    return true;
  } catch (const EIniFileException&) {
    return false;
  }
}

// --- Window placement ---------------------------------------------------------

TPlacementRect ClampPlacement(TPlacementRect rect, int64_t screenWidth, int64_t screenHeight) {
  if (rect.Right < rect.Left) std::swap(rect.Left, rect.Right);
  if (rect.Bottom < rect.Top) std::swap(rect.Top, rect.Bottom);
  // Each side is at most 2^32 apart for stored 32-bit values, but the
  // function takes any 64-bit input: work on the sizes, never on sums that
  // could overflow.
  auto size = [](int64_t from, int64_t to) {
    uint64_t span = static_cast<uint64_t>(to) - static_cast<uint64_t>(from);
    return static_cast<int64_t>(std::min<uint64_t>(span, MaxPlacementSize));
  };
  int64_t width = size(rect.Left, rect.Right);
  int64_t height = size(rect.Top, rect.Bottom);
  // Left + width < 80, written so that a very negative Left cannot overflow.
  if (rect.Left > screenWidth - 80 || rect.Left < 80 - width) rect.Left = 0;
  if (rect.Top > screenHeight - 80 || rect.Top < 0) rect.Top = 0;
  rect.Right = rect.Left + width;
  rect.Bottom = rect.Top + height;
  return rect;
}
