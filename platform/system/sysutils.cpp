#include "platform/system/sysutils.h"

#include <fcntl.h>
#include <sys/fsuid.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <utility>
#include <vector>

void RaiseZeroDivide() { throw EZeroDivide("Floating point division by zero"); }
void RaiseInvalidOp() { throw EInvalidOp("Invalid floating point operation"); }
void Abort() { throw EAbort("Operation aborted"); }
void RaiseDivByZero() { throw EDivByZero("Division by zero"); }

char FoldChar(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

namespace {
char RaiseChar(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }
}  // namespace

bool SameText(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (FoldChar(a[i]) != FoldChar(b[i])) return false;
  return true;
}

int CompareText(const std::string& a, const std::string& b) {
  size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    int d = static_cast<unsigned char>(FoldChar(a[i])) - static_cast<unsigned char>(FoldChar(b[i]));
    if (d != 0) return d;
  }
  return static_cast<int>(a.size()) - static_cast<int>(b.size());
}

std::string LowerCase(const std::string& s) {
  std::string r = s;
  for (char& c : r) c = FoldChar(c);
  return r;
}

std::string UpperCase(const std::string& s) {
  std::string r = s;
  for (char& c : r) c = RaiseChar(c);
  return r;
}

std::string Trim(const std::string& s) {
  size_t b = 0, e = s.size();
  while (b < e && static_cast<unsigned char>(s[b]) <= ' ') ++b;
  while (e > b && static_cast<unsigned char>(s[e - 1]) <= ' ') --e;
  return s.substr(b, e - b);
}

std::string IntToStr(long long value) { return std::to_string(value); }

namespace {
bool ParseInt(const std::string& text, int& out) {
  std::string s = Trim(text);
  if (s.empty()) return false;
  size_t i = 0;
  bool negative = false;
  if (s[0] == '-' || s[0] == '+') {
    negative = s[0] == '-';
    i = 1;
  }
  if (i >= s.size()) return false;
  long long v = 0;
  bool hex = false;
  if (s[i] == '$') {
    hex = true;
    ++i;
  } else if (i + 1 < s.size() && s[i] == '0' && (s[i + 1] == 'x' || s[i + 1] == 'X')) {
    hex = true;
    i += 2;
  }
  if (i >= s.size()) return false;
  for (; i < s.size(); ++i) {
    char c = s[i];
    int d;
    if (c >= '0' && c <= '9') d = c - '0';
    else if (hex && c >= 'a' && c <= 'f') d = c - 'a' + 10;
    else if (hex && c >= 'A' && c <= 'F') d = c - 'A' + 10;
    else return false;
    v = v * (hex ? 16 : 10) + d;
    if (v > 0x100000000LL) return false;
  }
  if (negative) v = -v;
  if (hex && !negative && v > INT_MAX && v <= 0xFFFFFFFFLL) v -= 0x100000000LL;
  if (v < INT_MIN || v > INT_MAX) return false;
  out = static_cast<int>(v);
  return true;
}
}  // namespace

int StrToInt(const std::string& s) {
  int v = 0;
  if (!ParseInt(s, v)) throw EConvertError("'" + s + "' is not a valid integer value");
  return v;
}

int StrToIntDef(const std::string& s, int fallback) {
  int v = 0;
  return ParseInt(s, v) ? v : fallback;
}

std::string FormatFloat(const std::string& picture, double value) {
  // Reads the picture: digits before and after the point, and whether
  // thousands are separated.
  size_t point = picture.find('.');
  std::string intPart = picture.substr(0, point);
  std::string fracPart = point == std::string::npos ? "" : picture.substr(point + 1);
  bool thousands = intPart.find(',') != std::string::npos;
  int minInt = 0;
  for (char c : intPart)
    if (c == '0') ++minInt;
  int minFrac = 0, maxFrac = 0;
  for (char c : fracPart) {
    if (c == '0') {
      ++minFrac;
      ++maxFrac;
    } else if (c == '#') {
      ++maxFrac;
    }
  }
  if (!std::isfinite(value)) return value != value ? "NAN" : (value < 0 ? "-INF" : "INF");
  bool negative = value < 0;
  // The value's 15 significant digits: digit k stands for 10^(exponent - k).
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%.14e", std::fabs(value));
  std::string digits = std::string(1, buffer[0]) + std::string(buffer + 2, 14);
  int exponent = std::atoi(std::strchr(buffer, 'e') + 1);
  // all: the digits of |value| * 10^maxFrac rounded half away from zero.
  int keep = exponent + maxFrac + 1;
  std::string all;
  if (keep <= 0) {
    all.assign(1, keep == 0 && digits[0] >= '5' ? '1' : '0');
  } else if (keep >= static_cast<int>(digits.size())) {
    all = digits + std::string(static_cast<size_t>(keep) - digits.size(), '0');
  } else {
    all = digits.substr(0, static_cast<size_t>(keep));
    if (digits[static_cast<size_t>(keep)] >= '5') {
      int k = keep - 1;
      while (k >= 0 && all[static_cast<size_t>(k)] == '9') all[static_cast<size_t>(k--)] = '0';
      if (k < 0) all.insert(all.begin(), '1');
      else ++all[static_cast<size_t>(k)];
    }
  }
  while (static_cast<int>(all.size()) <= maxFrac) all.insert(all.begin(), '0');
  std::string whole = all.substr(0, all.size() - maxFrac);
  std::string frac = all.substr(all.size() - maxFrac);
  while (static_cast<int>(frac.size()) > minFrac && !frac.empty() && frac.back() == '0') frac.pop_back();
  // Leading zeros of the whole part beyond what the picture asks are dropped.
  size_t firstNonZero = whole.find_first_not_of('0');
  whole = firstNonZero == std::string::npos ? "" : whole.substr(firstNonZero);
  while (static_cast<int>(whole.size()) < minInt) whole.insert(whole.begin(), '0');
  if (thousands) {
    std::string grouped;
    int n = static_cast<int>(whole.size());
    for (int i = 0; i < n; ++i) {
      grouped += whole[i];
      int rest = n - 1 - i;
      if (rest > 0 && rest % 3 == 0) grouped += ',';
    }
    whole = grouped;
  }
  std::string result = whole;
  if (!frac.empty()) result += "." + frac;
  if (result.empty()) result.assign(1, '0');
  bool allZero = result.find_first_not_of("0.,") == std::string::npos;
  if (negative && !allZero) result.insert(result.begin(), '-');
  return result;
}

double Now() {
  using namespace std::chrono;
  auto now = system_clock::now();
  std::time_t t = system_clock::to_time_t(now);
  std::tm local{};
  localtime_r(&t, &local);
  auto ms = duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000;
  // Days from 1899-12-30 to the local date.
  int y = local.tm_year + 1900, m = local.tm_mon + 1, d = local.tm_mday;
  // Days since 1970-01-01 by the civil calendar.
  y -= m <= 2;
  long era = (y >= 0 ? y : y - 399) / 400;
  long yoe = y - era * 400;
  long doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  long days1970 = era * 146097 + doe - 719468;
  double days = static_cast<double>(days1970) + 25569.0;
  double fraction = (local.tm_hour * 3600.0 + local.tm_min * 60.0 + local.tm_sec + ms / 1000.0) / 86400.0;
  return days + fraction;
}

namespace {
struct DateParts {
  int year, month, day, hour, minute, second;
};

DateParts SplitDateTime(double dt) {
  // Years 1 to 9999. Before 1899-12-30 the whole part counts days back and
  // the fraction is still the time of day (-1.25 is 1899-12-29 06:00).
  if (!(dt >= -693593.0 && dt < 2958466.0)) throw EConvertError("Invalid date and time value");
  long days = static_cast<long>(std::trunc(dt));
  double frac = std::fabs(dt - static_cast<double>(days));
  long z = days - 25569 + 719468;  // days since 0000-03-01
  long era = (z >= 0 ? z : z - 146096) / 146097;
  long doe = z - era * 146097;
  long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  long y = yoe + era * 400;
  long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  long mp = (5 * doy + 2) / 153;
  long d = doy - (153 * mp + 2) / 5 + 1;
  long m = mp + (mp < 10 ? 3 : -9);
  y += m <= 2;
  long secs = static_cast<long>(std::floor(frac * 86400.0 + 0.0005));
  if (secs >= 86400) secs = 86399;
  return {static_cast<int>(y), static_cast<int>(m), static_cast<int>(d), static_cast<int>(secs / 3600),
          static_cast<int>(secs / 60 % 60), static_cast<int>(secs % 60)};
}

std::string Pad(int v, int width) {
  std::string s = std::to_string(v);
  while (static_cast<int>(s.size()) < width) s.insert(s.begin(), '0');
  return s;
}
}  // namespace

std::string FormatDateTime(const std::string& format, double dateTime) {
  DateParts p = SplitDateTime(dateTime);
  std::string out;
  size_t i = 0;
  auto run = [&](char c) {
    size_t n = 0;
    while (i + n < format.size() && FoldChar(format[i + n]) == c) ++n;
    return n;
  };
  while (i < format.size()) {
    char c = FoldChar(format[i]);
    size_t n;
    switch (c) {
      case 'c':
        out += FormatDateTime("dd.mm.yyyy hh:nn:ss", dateTime);
        ++i;
        break;
      case 'y':
        n = run('y');
        out += n <= 2 ? Pad(p.year % 100, 2) : Pad(p.year, 4);
        i += n;
        break;
      case 'm':
        n = run('m');
        out += Pad(p.month, n >= 2 ? 2 : 1);
        i += n;
        break;
      case 'd':
        n = run('d');
        out += Pad(p.day, n >= 2 ? 2 : 1);
        i += n;
        break;
      case 'h':
        n = run('h');
        out += Pad(p.hour, n >= 2 ? 2 : 1);
        i += n;
        break;
      case 'n':
        n = run('n');
        out += Pad(p.minute, n >= 2 ? 2 : 1);
        i += n;
        break;
      case 's':
        n = run('s');
        out += Pad(p.second, n >= 2 ? 2 : 1);
        i += n;
        break;
      case '"':
      case '\'': {
        size_t end = format.find(format[i], i + 1);
        if (end == std::string::npos) end = format.size();
        out += format.substr(i + 1, end - i - 1);
        i = end + 1;
        break;
      }
      default:
        out += format[i];
        ++i;
    }
  }
  return out;
}

std::string DateTimeToStr(double dateTime) { return FormatDateTime("c", dateTime); }
std::string DateToStr(double dateTime) { return FormatDateTime("yyyy-mm-dd", dateTime); }
std::string TimeToStr(double dateTime) { return FormatDateTime("hh:nn:ss", dateTime); }

uint32_t GetTickCount() {
  using namespace std::chrono;
  return static_cast<uint32_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

std::string ExtractFileName(const std::string& path) {
  size_t p = path.rfind(PathDelim);
  return p == std::string::npos ? path : path.substr(p + 1);
}

std::string ExtractFilePath(const std::string& path) {
  size_t p = path.rfind(PathDelim);
  return p == std::string::npos ? std::string() : path.substr(0, p + 1);
}

std::string ExtractFileExt(const std::string& path) {
  std::string name = ExtractFileName(path);
  size_t p = name.rfind('.');
  return p == std::string::npos ? std::string() : name.substr(p);
}

std::string ChangeFileExt(const std::string& path, const std::string& ext) {
  std::string name = ExtractFileName(path);
  size_t p = name.rfind('.');
  std::string folder = ExtractFilePath(path);
  return folder + (p == std::string::npos ? name : name.substr(0, p)) + ext;
}

std::string IncludeTrailingPathDelimiter(const std::string& path) {
  if (!path.empty() && path.back() == PathDelim) return path;
  return path + PathDelim;
}

std::string ExcludeTrailingPathDelimiter(const std::string& path) {
  if (path.size() > 1 && path.back() == PathDelim) return path.substr(0, path.size() - 1);
  return path;
}

namespace {
// A path the system would read only up to its first zero byte names another
// file than the text says: such a path names nothing.
bool UsablePath(const std::string& path) { return !path.empty() && path.find('\0') == std::string::npos; }
}  // namespace

bool IsPlainFileName(const std::string& name) {
  return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos &&
         name.find('\0') == std::string::npos;
}

bool FileExists(const std::string& path) {
  struct stat st {};
  return UsablePath(path) && stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool DirectoryExists(const std::string& path) {
  struct stat st {};
  return UsablePath(path) && stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool CreateDir(const std::string& path) {
  return UsablePath(path) && mkdir(ExcludeTrailingPathDelimiter(path).c_str(), 0777) == 0;
}

bool DeleteFile(const std::string& path) { return UsablePath(path) && unlink(path.c_str()) == 0; }

namespace {

std::atomic<TFileEndCall> SyncCall{nullptr};
std::atomic<TFileEndCall> CloseCall{nullptr};

// How many symbolic links a saved file is followed through, as the system
// itself follows them.
constexpr int MaxLinkHops = 40;

// A handle of the system's, closed when it goes out of scope.
class THandle {
 public:
  explicit THandle(int handle = -1) : FHandle(handle) {}
  ~THandle() { Reset(-1); }
  THandle(const THandle&) = delete;
  THandle& operator=(const THandle&) = delete;
  THandle& operator=(THandle&& other) noexcept {
    if (this != &other) Reset(std::exchange(other.FHandle, -1));
    return *this;
  }
  int Get() const { return FHandle; }
  explicit operator bool() const { return FHandle >= 0; }

 private:
  void Reset(int handle) {
    if (FHandle >= 0) ::close(FHandle);
    FHandle = handle;
  }
  int FHandle;
};

// The file a save replaces, open for writing as it was found, and its state.
struct TReplacedFile {
  THandle Handle;
  struct stat State {};
};

// A value the system sizes before it hands it over (an extended attribute,
// the list of their names): read(buffer, size) as the system's call, asked
// again when the value grew in between. False (errno set) when it cannot be
// read. Values are at most 64 KiB, as the system keeps them.
template <class F>
bool ReadSized(F read, std::string& value) {
  for (int attempt = 0; attempt < 4; ++attempt) {
    ssize_t size = read(nullptr, 0);
    if (size < 0) return false;
    value.resize(static_cast<size_t>(size));
    ssize_t n = read(value.data(), value.size());
    if (n >= 0) {
      value.resize(static_cast<size_t>(n));
      return true;
    }
    if (errno != ERANGE) return false;  // grown meanwhile: ask again
  }
  return false;
}

bool ReadAttribute(int handle, const char* name, std::string& value) {
  return ReadSized([&](char* buffer, size_t size) { return ::fgetxattr(handle, name, buffer, size); }, value);
}

constexpr const char* AccessListAttribute = "system.posix_acl_access";

// Where the rights of an access list's entries for the file's own group, for
// its mask and for others stand (npos when it has none, or when the list
// cannot be read): little-endian version 2, then entries of tag (16 bits),
// rights (16 bits) and id (32 bits).
struct TListEntries {
  size_t Group = std::string::npos, Mask = std::string::npos, Other = std::string::npos;
};

TListEntries EntriesOfAccessList(const std::string& list) {
  auto at = [&](size_t i) { return static_cast<unsigned>(static_cast<unsigned char>(list[i])); };
  constexpr unsigned GroupEntry = 0x04, MaskEntry = 0x10, OtherEntry = 0x20;
  TListEntries entries;
  if (list.size() < 4 || (list.size() - 4) % 8 != 0 || at(0) != 2 || at(1) || at(2) || at(3)) return entries;
  for (size_t i = 4; i < list.size(); i += 8) {
    const unsigned tag = at(i) | at(i + 1) << 8;
    if (tag == GroupEntry) entries.Group = i + 2;
    else if (tag == MaskEntry) entries.Mask = i + 2;
    else if (tag == OtherEntry) entries.Other = i + 2;
  }
  return entries;
}

// Gives the new file the replaced file's mode and what its extended
// attributes hold that may pass: the access list, and the user's own
// attributes ("user."), as a file written in place would keep them. Unless
// groupKept, the new file's group is not the replaced file's and gets no
// rights, and the old group's members, who now count as others, are given no
// more than they had: others get only what both they and the old group had
// (the mode's group bits, which are the mask of a list and bound its group
// entry). The access list goes on before the mode, so that a list the file
// inherited from its folder's default list is never live with the replaced
// file's bits, and when the replaced file has none, the inherited one is
// removed. With an access list the group bits of the mode are the list's
// mask, which can give more than the group entry: when the list cannot be
// put on the new file, the group has only what both allow, so that it never
// has more than it had.
void KeepModeAndAttributes(int from, int to, mode_t mode, bool groupKept) {
  std::string list;
  const bool hasList = ReadAttribute(from, AccessListAttribute, list);
  const bool noList = !hasList && (errno == ENODATA || errno == ENOTSUP);
  const TListEntries entries = hasList ? EntriesOfAccessList(list) : TListEntries();
  if (!groupKept) {
    mode_t oldGroup = (mode >> 3) & 7;
    if (entries.Group != std::string::npos) {
      oldGroup &= static_cast<mode_t>(list[entries.Group]);
      list[entries.Group] = list[entries.Group + 1] = 0;
    }
    mode &= ~static_cast<mode_t>(S_IRWXO) | oldGroup;
    if (entries.Other != std::string::npos)
      list[entries.Other] = static_cast<char>(list[entries.Other] & static_cast<char>(oldGroup));
  }
  // The rights the mode's group bits may give.
  mode_t group = 0;
  if (entries.Group != std::string::npos &&
      ::fsetxattr(to, AccessListAttribute, list.data(), list.size(), 0) == 0) {
    // The bits are the mask now, which gives nothing of its own; only a
    // list without one takes them as the group's rights.
    group = groupKept || entries.Mask != std::string::npos ? 7 : 0;
  } else if (::fremovexattr(to, AccessListAttribute) == 0 || errno == ENODATA || errno == ENOTSUP) {
    if (noList) group = groupKept ? 7 : 0;
    else if (entries.Group != std::string::npos) group = static_cast<mode_t>(list[entries.Group] & 7);
  }
  // An inherited list that stays (it could not be removed) has its mask
  // from the group bits, which then give nothing.
  (void)!::fchmod(to, (mode & ~S_IRWXG) | (mode & (group << 3)));
  std::string names;
  if (!ReadSized([&](char* buffer, size_t size) { return ::flistxattr(from, buffer, size); }, names)) return;
  // Zero-terminated names one after the other.
  for (size_t at = 0; at < names.size();) {
    const char* name = names.data() + at;
    size_t length = ::strnlen(name, names.size() - at);
    at += length + 1;
    std::string value;
    if (std::strncmp(name, "user.", 5) == 0 && at <= names.size() && ReadAttribute(from, name, value))
      (void)!::fsetxattr(to, name, value.data(), value.size(), 0);
  }
}

// Writes text to a new temporary file in folder, which then takes the name:
// folder is a handle the names are taken in (AT_FDCWD for the current
// directory) and prefix the text that leads from it to the file's folder.
// With replaced, the new file gets that file's owner (where the system
// allows), mode and attributes. False with the reason when anything fails;
// the temporary file is then gone and the name as it was.
bool ReplaceWithText(int folder, const std::string& prefix, const std::string& name, const std::string& text,
                     const TReplacedFile* replaced, std::string& reason) {
  // A hidden temporary name beside the target, created exclusively: a link
  // or file that happens to carry that name is never opened. While it
  // stands for a file that may be private, only its owner may read it.
  static std::atomic<unsigned> counter{0};
  std::string temporary;
  int fd = -1;
  for (int attempt = 0; fd < 0 && attempt < 100; ++attempt) {
    temporary = prefix + "." + name.substr(0, 200) + "." + std::to_string(getpid()) + "." +
                std::to_string(++counter) + ".tmp";
    fd = ::openat(folder, temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, replaced ? 0600 : 0666);
    if (fd < 0 && errno != EEXIST) {
      reason = std::strerror(errno);
      return false;
    }
  }
  if (fd < 0) {
    reason = std::strerror(EEXIST);
    return false;
  }
  for (size_t done = 0; reason.empty() && done < text.size();) {
    ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n > 0) done += static_cast<size_t>(n);
    else if (n < 0 && errno == EINTR) continue;
    else reason = std::strerror(n < 0 ? errno : ENOSPC);
  }
  if (reason.empty() && replaced) {
    // The owner first, since a change of owner clears the set-id bits. What
    // the system refuses stays as created: the owner is the user, and the
    // mode never opens the file to more than it was. The group may pass
    // where the owner may not (another user's file); the folder's group
    // (a set-group folder hands its own down) or the user's that the file
    // keeps in its place gets no rights.
    const struct stat& was = replaced->State;
    struct stat made {};
    bool groupKept = ::fstat(fd, &made) == 0 && made.st_gid == was.st_gid;
    if (made.st_uid != was.st_uid || !groupKept)
      groupKept = ::fchown(fd, was.st_uid, was.st_gid) == 0 || groupKept ||
                  ::fchown(fd, static_cast<uid_t>(-1), was.st_gid) == 0;
    KeepModeAndAttributes(replaced->Handle.Get(), fd, was.st_mode & 07777, groupKept);
  }
  // The data must be on the disk before the name moves to it, or a crash
  // could leave an empty file in place of the old one.
  if (reason.empty() && SyncWrittenFile(fd) != 0) reason = std::strerror(errno);
  if (CloseWrittenFile(fd) != 0 && reason.empty()) reason = std::strerror(errno);
  // rename replaces the directory entry: a link named like the target is
  // replaced itself, its target never touched.
  const std::string target = prefix + name;
  if (reason.empty() && ::renameat(folder, temporary.c_str(), folder, target.c_str()) != 0)
    reason = std::strerror(errno);
  if (reason.empty()) return true;
  ::unlinkat(folder, temporary.c_str(), 0);
  return false;
}

// The user the system checks file access for: the file-system user id of
// the calling thread (asking with an invalid id changes nothing).
uid_t FileUser() { return static_cast<uid_t>(::setfsuid(static_cast<uid_t>(-1))); }

// Whether a link found in a folder may be followed: when it is the user's
// own or the folder owner's, or when no one but the folder's owner may write
// the folder (its group and write bits, which show an access list's mask,
// say so). A link that anybody else planted where others may write, sticky
// folder or not, is never followed.
bool MayFollow(const struct stat& link, const struct stat& folder) {
  return link.st_uid == FileUser() || link.st_uid == folder.st_uid || (folder.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

// Where a save of the user's own file writes: the folder, held open so that
// nothing swapped into the path later is walked through, the name in it,
// and the file when one is there.
struct TSavePlace {
  THandle Folder;
  std::string Name;
  TReplacedFile File;  // no handle for a new file
};

// Walks path one name at a time from a held folder, as the system would,
// following each link met on the way under MayFollow, and finds the place
// the save writes. A file that is there is opened for writing, without
// following anything, which asks the system whether the user may write it
// (permissions, access lists, read-only mounts), and must be the entry that
// was checked. False with the reason when the place cannot be written.
bool FindSavePlace(const std::string& path, TSavePlace& place, std::string& reason) {
  auto failWith = [&](int code) {
    reason = std::strerror(code);
    return false;
  };
  auto root = [](const std::string& text) {
    return THandle(text[0] == '/' ? ::open("/", O_PATH | O_DIRECTORY | O_CLOEXEC)
                                  : ::openat(AT_FDCWD, ".", O_PATH | O_DIRECTORY | O_CLOEXEC));
  };
  // The names still to walk, the next one last.
  std::vector<std::string> names;
  auto take = [&](const std::string& text) {
    const size_t from = names.size();
    for (size_t start = 0;;) {
      size_t slash = text.find('/', start);
      names.push_back(text.substr(start, slash - start));
      if (slash == std::string::npos) break;
      start = slash + 1;
    }
    std::reverse(names.begin() + static_cast<std::ptrdiff_t>(from), names.end());
  };
  place.Folder = root(path);
  if (!place.Folder) return failWith(errno);
  take(path);
  for (int hops = 0; !names.empty();) {
    const std::string name = std::move(names.back());
    names.pop_back();
    const bool last = names.empty();
    if (last && !IsPlainFileName(name)) {
      reason = "Invalid file name";
      return false;
    }
    if (name.empty() || name == ".") continue;
    THandle entry(::openat(place.Folder.Get(), name.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
    if (!entry && last && errno == ENOENT) {  // a new file
      place.Name = name;
      break;
    }
    struct stat state {}, folder {};
    if (!entry || ::fstat(entry.Get(), &state) != 0 || ::fstat(place.Folder.Get(), &folder) != 0)
      return failWith(errno);
    if (S_ISLNK(state.st_mode)) {
      if (!MayFollow(state, folder)) {
        reason = "A link of another user in a folder that others may write is not followed";
        return false;
      }
      if (++hops > MaxLinkHops) return failWith(ELOOP);
      // Read from the link that was checked, whatever has its name now.
      char text[PATH_MAX];
      ssize_t n = ::readlinkat(entry.Get(), "", text, sizeof text);
      if (n < 0) return failWith(errno);
      if (n == 0) return failWith(ENOENT);
      if (static_cast<size_t>(n) == sizeof text) return failWith(ENAMETOOLONG);
      const std::string target(text, static_cast<size_t>(n));
      if (target[0] == '/' && !(place.Folder = root(target))) return failWith(errno);
      take(target);
    } else if (!last) {
      if (!S_ISDIR(state.st_mode)) return failWith(ENOTDIR);
      place.Folder = std::move(entry);
    } else {
      if (S_ISDIR(state.st_mode)) return failWith(EISDIR);
      if (!S_ISREG(state.st_mode)) {
        reason = "Not a plain file";
        return false;
      }
      TReplacedFile& file = place.File;
      file.Handle = THandle(
          ::openat(place.Folder.Get(), name.c_str(), O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
      if (!file.Handle || ::fstat(file.Handle.Get(), &file.State) != 0) return failWith(errno);
      if (file.State.st_dev != state.st_dev || file.State.st_ino != state.st_ino) {
        reason = "The file was replaced while it was saved";
        return false;
      }
      place.Name = name;
    }
  }
  return true;
}

}  // namespace

int SyncWrittenFile(int handle) {
  TFileEndCall call = SyncCall.load();
  return call ? call(handle) : ::fsync(handle);
}

int CloseWrittenFile(int handle) {
  TFileEndCall call = CloseCall.load();
  return call ? call(handle) : ::close(handle);
}

void SetFileEndCalls(TFileEndCall sync, TFileEndCall close) {
  SyncCall = sync;
  CloseCall = close;
}

bool SaveTextAtomically(const std::string& path, const std::string& text, std::string* error) {
  std::string reason;
  if (!UsablePath(path) || !IsPlainFileName(ExtractFileName(path))) reason = "Invalid file name";
  else if (ReplaceWithText(AT_FDCWD, ExtractFilePath(path), ExtractFileName(path), text, nullptr, reason))
    return true;
  if (error) *error = "Cannot save \"" + path + "\". " + reason;
  return false;
}

bool SaveUserTextFile(const std::string& path, const std::string& text, std::string* error) {
  std::string reason;
  TSavePlace place;
  if (!UsablePath(path)) reason = "Invalid file name";
  else if (FindSavePlace(path, place, reason) &&
           ReplaceWithText(place.Folder.Get(), "", place.Name, text, place.File.Handle ? &place.File : nullptr,
                           reason))
    return true;
  if (error) *error = "Cannot save \"" + path + "\". " + reason;
  return false;
}

std::string ProgramFolder() {
  char buffer[4096];
  ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  if (n <= 0) return "./";
  buffer[n] = 0;
  return ExtractFilePath(buffer);
}

std::string GetCurrentDir() {
  std::vector<char> buffer(4096);
  while (!::getcwd(buffer.data(), buffer.size())) {
    if (errno != ERANGE || buffer.size() >= (1u << 20)) return std::string();
    buffer.resize(buffer.size() * 2);
  }
  return buffer.data();
}

bool SetCurrentDir(const std::string& folder) { return !folder.empty() && ::chdir(folder.c_str()) == 0; }

std::string AbsolutePath(const std::string& path) {
  if (path.empty() || path[0] == '/') return path;
  return AbsolutePath(path, GetCurrentDir());
}

std::string AbsolutePath(const std::string& path, const std::string& folder) {
  if (path.empty() || path[0] == '/' || folder.empty()) return path;
  return IncludeTrailingPathDelimiter(folder) + (path.rfind("./", 0) == 0 ? path.substr(2) : path);
}
