#include "platform/system/inifile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>

namespace {

constexpr size_t npos = std::string::npos;

bool HasLineBreak(const std::string& s) { return s.find_first_of("\r\n", 0) != npos || s.find('\0') != npos; }

// The whole file, or "" when it is missing, no regular file, unreadable or
// larger than MaxIniFileSize. Opened without blocking so that a pipe
// carrying the name cannot hold the program.
std::string ReadWholeFile(const std::string& path) {
  if (path.empty()) return {};
  int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return {};
  std::string text;
  struct stat st {};
  if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size <= MaxIniFileSize) {
    char buffer[65536];
    for (;;) {
      ssize_t n = ::read(fd, buffer, sizeof buffer);
      if (n > 0) {
        text.append(buffer, static_cast<size_t>(n));
        // The file may have grown since it was measured.
        if (static_cast<int64_t>(text.size()) > MaxIniFileSize) {
          text.clear();
          break;
        }
      } else if (n < 0 && errno == EINTR) {
        continue;
      } else {
        if (n < 0) text.clear();
        break;
      }
    }
  }
  ::close(fd);
  return text;
}

// The name of a "[name]" line.
bool SectionOf(const std::string& line, std::string& name) {
  size_t first = line.find_first_not_of(" \t");
  if (first == npos || line[first] != '[') return false;
  size_t close = line.find(']', first);
  if (close == npos) return false;
  name = Trim(line.substr(first + 1, close - first - 1));
  return true;
}

// The key of a "key=value" line (comments and lines without '=' have none).
bool KeyOf(const std::string& line, std::string& key) {
  size_t first = line.find_first_not_of(" \t");
  if (first == npos || line[first] == ';' || line[first] == '#' || line[first] == '[') return false;
  size_t equals = line.find('=');
  if (equals == npos) return false;
  key = Trim(line.substr(0, equals));
  return !key.empty();
}

bool IsBlank(const std::string& line) { return line.find_first_not_of(" \t") == npos; }

}  // namespace

bool ParseIniInteger(const std::string& text, int64_t minimum, int64_t maximum, int64_t& value) {
  std::string s = Trim(text);
  bool hex = s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X');
  size_t i = hex ? 2 : 0;
  bool negative = false;
  if (!hex && i < s.size() && (s[i] == '-' || s[i] == '+')) negative = s[i++] == '-';
  if (i == s.size()) return false;
  // Accumulated as a magnitude that stops growing far beyond any 64-bit
  // limit the callers use, so no text can overflow it.
  constexpr uint64_t Cap = uint64_t{1} << 62;
  uint64_t magnitude = 0;
  for (; i < s.size(); ++i) {
    char c = s[i];
    int digit;
    if (c >= '0' && c <= '9') digit = c - '0';
    else if (hex && c >= 'a' && c <= 'f') digit = c - 'a' + 10;
    else if (hex && c >= 'A' && c <= 'F') digit = c - 'A' + 10;
    else return false;
    if (magnitude < Cap) magnitude = magnitude * (hex ? 16 : 10) + static_cast<uint64_t>(digit);
  }
  if (magnitude >= Cap) return false;
  int64_t result = negative ? -static_cast<int64_t>(magnitude) : static_cast<int64_t>(magnitude);
  if (result < minimum || result > maximum) return false;
  value = result;
  return true;
}

TIniFile::TIniFile(std::string fileName) : FFileName(std::move(fileName)) { SetText(ReadWholeFile(FFileName)); }

void TIniFile::SetText(const std::string& text) {
  FLines.clear();
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    FLines.push_back(std::move(line));
    start = end + 1;
  }
}

std::string TIniFile::Text() const {
  std::string text;
  for (const std::string& line : FLines) {
    text += line;
    text += '\n';
  }
  return text;
}

bool TIniFile::FindSection(const std::string& section, TSectionRange& range) const {
  std::string name;
  for (size_t i = 0; i < FLines.size(); ++i) {
    if (!SectionOf(FLines[i], name) || !SameText(name, section)) continue;
    range.Header = i;
    range.End = i + 1;
    while (range.End < FLines.size() && !SectionOf(FLines[range.End], name)) ++range.End;
    return true;
  }
  return false;
}

size_t TIniFile::FindKey(const TSectionRange& range, const std::string& key) const {
  std::string name;
  for (size_t i = range.Header + 1; i < range.End; ++i)
    if (KeyOf(FLines[i], name) && SameText(name, key)) return i;
  return npos;
}

bool TIniFile::SectionExists(const std::string& section) const {
  TSectionRange range;
  return FindSection(section, range);
}

bool TIniFile::ValueExists(const std::string& section, const std::string& key) const {
  TSectionRange range;
  return FindSection(section, range) && FindKey(range, key) != npos;
}

std::string TIniFile::ReadString(const std::string& section, const std::string& key,
                                 const std::string& fallback) const {
  TSectionRange range;
  if (!FindSection(section, range)) return fallback;
  size_t line = FindKey(range, key);
  if (line == npos) return fallback;
  return FLines[line].substr(FLines[line].find('=') + 1);
}

int TIniFile::ReadInteger(const std::string& section, const std::string& key, int fallback) const {
  std::string text = Trim(ReadString(section, key, ""));
  int64_t value;
  bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
  if (!ParseIniInteger(text, INT_MIN, hex ? int64_t{UINT32_MAX} : INT_MAX, value)) return fallback;
  return static_cast<int>(static_cast<int32_t>(static_cast<uint32_t>(value)));
}

bool TIniFile::ReadBool(const std::string& section, const std::string& key, bool fallback) const {
  return ReadInteger(section, key, fallback ? 1 : 0) != 0;
}

bool TIniFile::WriteString(const std::string& section, const std::string& key, const std::string& value) {
  // Names must read back as the same names.
  if (HasLineBreak(value) || HasLineBreak(section) || HasLineBreak(key) || Trim(section) != section ||
      section.empty() || section.find(']') != npos || Trim(key) != key || key.empty() ||
      key.find('=') != npos || key[0] == ';' || key[0] == '#' || key[0] == '[')
    return false;
  std::string line = key + "=" + value;
  TSectionRange range;
  if (!FindSection(section, range)) {
    if (!FLines.empty() && !IsBlank(FLines.back())) FLines.emplace_back();
    FLines.push_back("[" + section + "]");
    FLines.push_back(line);
    return true;
  }
  size_t existing = FindKey(range, key);
  if (existing != npos) {
    FLines[existing] = line;
    return true;
  }
  size_t at = range.End;
  while (at > range.Header + 1 && IsBlank(FLines[at - 1])) --at;
  FLines.insert(FLines.begin() + static_cast<std::ptrdiff_t>(at), line);
  return true;
}

bool TIniFile::WriteInteger(const std::string& section, const std::string& key, int value) {
  return WriteString(section, key, std::to_string(value));
}

bool TIniFile::WriteBool(const std::string& section, const std::string& key, bool value) {
  return WriteString(section, key, value ? "1" : "0");
}

void TIniFile::UpdateFile() {
  std::string error;
  if (!SaveUserTextFile(FFileName, Text(), &error)) throw EIniFileException("Unable to write to " + FFileName);
}
