// Where the program keeps what it remembers between starts, per user:
//  - the settings key: the file "Quorvant/Brightmill v1.4.conf" under the
//    configuration folder, one section [Brightmill v1.4] with the window
//    placement, the settings folder and the effect-list masks;
//  - the settings folder "Quorvant/Brightmill/<version>/" under the same
//    folder, which holds the job's INI file.
// The configuration folder is $XDG_CONFIG_HOME, or ~/.config when that is
// unset or not an absolute path.
#pragma once

#include <cstdint>
#include <string>

#include "platform/system/inifile.h"

// The user's home folder: $HOME when it is an absolute path, else the
// password database's entry; "" when neither is known.
std::string HomeFolder();

// The configuration folder with a trailing '/'; "" when neither
// $XDG_CONFIG_HOME nor the home folder is known.
std::string ConfigHome();

// Makes every missing level of an absolute folder path, one at a time. True
// when the folder is there at the end.
bool ForceFolders(const std::string& path);

// ConfigHome() + "Quorvant/Brightmill/" + version + "/", each missing level
// made in turn; "" when there is no configuration folder or a level can
// neither be found nor made.
std::string MakeSettingsFolder(const std::string& version);

// The settings key. Value names are the stored ones ("Left", "Filters",
// "Path for settings", ...). Numbers are written in decimal and read in
// decimal or "0x" hexadecimal; strings longer than MaxKeyString read as
// missing.
class TSettingsKey {
 public:
  static constexpr const char* Section = "Brightmill v1.4";
  static constexpr size_t MaxKeyString = 260;

  // ConfigHome() + "Quorvant/Brightmill v1.4.conf"; "" without a
  // configuration folder.
  static std::string DefaultFileName();

  // Reads the key file; a missing, unreadable or oversized file gives a key
  // without values.
  explicit TSettingsKey(const std::string& fileName = DefaultFileName());

  const std::string& FileName() const { return FIni.FileName(); }

  // Makes the key's folder when it is missing; false when it cannot.
  bool Create();
  // True when the key's folder exists, so that Save can write.
  bool Exists() const;

  bool ReadString(const std::string& name, std::string& value) const;
  // Any 32-bit pattern: decimal from -2147483648 to 4294967295, or
  // hexadecimal up to 0xFFFFFFFF. False when missing or out of range.
  bool ReadDword(const std::string& name, uint32_t& value) const;
  bool ReadInteger(const std::string& name, int32_t& value) const;

  // A string with a line break is not written (the old value stays).
  bool WriteString(const std::string& name, const std::string& value);
  void WriteDword(const std::string& name, uint32_t value);     // unsigned decimal
  void WriteInteger(const std::string& name, int32_t value);  // signed decimal

  // Replaces the key file with the values (other lines of the file kept).
  // False, with the file as it was, when it cannot.
  bool Save();

 private:
  TIniFile FIni;
};

// The window's normal (restored) rectangle as stored: right and bottom are
// one past the last column and row.
struct TPlacementRect {
  int64_t Left = 0, Top = 0, Right = 0, Bottom = 0;
};

// Largest width or height a stored rectangle keeps.
constexpr int64_t MaxPlacementSize = 32767;

// Brings a stored rectangle back to where the window stays reachable on a
// screen of the given size: an inverted rectangle is put the right way
// round and its size limited to MaxPlacementSize; then, when
// Left > screenWidth - 80 or fewer than 80 pixels of the window lie right
// of the screen's left edge, it moves to Left 0; when
// Top > screenHeight - 80 or Top < 0, to Top 0. Its size never changes
// otherwise, and every result fits a 32-bit integer.
TPlacementRect ClampPlacement(TPlacementRect rect, int64_t screenWidth, int64_t screenHeight);
