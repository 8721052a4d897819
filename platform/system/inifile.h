// INI files: "[Section]" lines, each followed by "key=value" lines. Section
// and key names match without regard to case; values are taken as they
// stand, blanks included.
//
// The whole file is read into memory when the object is made (a missing or
// unreadable file, or one larger than MaxIniFileSize, reads as empty).
// Writes change that copy only; UpdateFile then replaces the file with the
// new text in one step, so a failure never leaves it half written. Lines
// the program does not know (keys of others, comments, blank lines) keep
// their text and their order. Lines are written with "\n" and read with
// "\n" or "\r\n".
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/system/sysutils.h"

BRIGHTMILL_EXCEPTION(EIniFileException, Exception)

constexpr int64_t MaxIniFileSize = 1 << 20;

// The integer a value stands for: decimal with an optional sign, or, for a
// text of more than two characters beginning with "0x" or "0X",
// hexadecimal; blanks around it are ignored. False when the text is no
// integer or lies outside [minimum, maximum].
bool ParseIniInteger(const std::string& text, int64_t minimum, int64_t maximum, int64_t& value);

class TIniFile {
 public:
  explicit TIniFile(std::string fileName);

  const std::string& FileName() const { return FFileName; }
  // The text UpdateFile writes.
  std::string Text() const;
  void SetText(const std::string& text);

  bool SectionExists(const std::string& section) const;
  bool ValueExists(const std::string& section, const std::string& key) const;
  // The value of the first such key in the first such section, or fallback.
  std::string ReadString(const std::string& section, const std::string& key, const std::string& fallback) const;
  // A 32-bit integer by ParseIniInteger (hexadecimal up to 0xFFFFFFFF wraps
  // to a negative number); fallback when the value is missing or no such
  // integer.
  int ReadInteger(const std::string& section, const std::string& key, int fallback) const;
  // An integer read as ReadInteger with fallback 1 or 0, true when not 0.
  bool ReadBool(const std::string& section, const std::string& key, bool fallback) const;

  // Sets the key's value in memory: an existing key is replaced in place, a
  // new key goes after the last line of its section, a new section at the
  // end. A value with a line break (or a name that could not be read back)
  // is not written: the result is false and the old value stays.
  bool WriteString(const std::string& section, const std::string& key, const std::string& value);
  bool WriteInteger(const std::string& section, const std::string& key, int value);
  bool WriteBool(const std::string& section, const std::string& key, bool value);  // "1" or "0"

  // Replaces the file with Text(), through a symbolic link to the file it
  // names, keeping the file's mode (SaveUserTextFile). Raises
  // EIniFileException with "Unable to write to " and the file name when it
  // cannot, the user may not write the file included; the file then stays
  // as it was.
  void UpdateFile();

 private:
  struct TSectionRange {
    size_t Header;  // index of the "[...]" line
    size_t End;     // one past the last line of the section
  };
  bool FindSection(const std::string& section, TSectionRange& range) const;
  // Index of the key's line inside the section, or npos.
  size_t FindKey(const TSectionRange& range, const std::string& key) const;

  std::string FFileName;
  std::vector<std::string> FLines;
};

// The in-memory reader a window reads its settings with: the same class,
// since TIniFile already reads the whole file when it is made.
using TMemIniFile = TIniFile;
