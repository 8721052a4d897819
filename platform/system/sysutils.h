// System utilities: the exception classes, text helpers, file and folder
// helpers, tick counts and number/date formatting used across the program.
#pragma once

#include <cstdint>
#include <exception>
#include <string>

// Base of every error the program raises itself. Message is the text shown
// to the user or written to the log.
class Exception : public std::exception {
 public:
  explicit Exception(std::string message) : Message(std::move(message)) {}
  const char* what() const noexcept override { return Message.c_str(); }
  std::string Message;
};

#define BRIGHTMILL_EXCEPTION(Name, Base)                 \
  class Name : public Base {                              \
   public:                                                \
    using Base::Base;                                     \
  };

BRIGHTMILL_EXCEPTION(EOutOfMemory, Exception)
BRIGHTMILL_EXCEPTION(EInvalidGraphic, Exception)
BRIGHTMILL_EXCEPTION(EInvalidGraphicOperation, Exception)
BRIGHTMILL_EXCEPTION(EConvertError, Exception)
BRIGHTMILL_EXCEPTION(EListError, Exception)
BRIGHTMILL_EXCEPTION(EStreamError, Exception)
BRIGHTMILL_EXCEPTION(EReadError, EStreamError)
BRIGHTMILL_EXCEPTION(EWriteError, EStreamError)
BRIGHTMILL_EXCEPTION(EFOpenError, EStreamError)
BRIGHTMILL_EXCEPTION(EFCreateError, EStreamError)
// Maths errors. They are raised from explicit checks in the code, never from
// hardware floating-point traps.
BRIGHTMILL_EXCEPTION(EMathError, Exception)
BRIGHTMILL_EXCEPTION(EInvalidOp, EMathError)
BRIGHTMILL_EXCEPTION(EZeroDivide, EMathError)
BRIGHTMILL_EXCEPTION(EOverflow, EMathError)
BRIGHTMILL_EXCEPTION(EIntError, Exception)
BRIGHTMILL_EXCEPTION(EDivByZero, EIntError)
// The silent exception: it ends an operation that the user or a handler
// (a progress event, for example) called off. Whoever catches it drops it
// without telling anyone.
BRIGHTMILL_EXCEPTION(EAbort, Exception)

// Raise the standard maths errors with their usual texts.
[[noreturn]] void RaiseZeroDivide();     // "Floating point division by zero"
[[noreturn]] void RaiseInvalidOp();      // "Invalid floating point operation"
[[noreturn]] void RaiseDivByZero();      // "Division by zero"
// Raises EAbort ("Operation aborted").
[[noreturn]] void Abort();

// --- Text -------------------------------------------------------------------
// Case-insensitive comparison of 8-bit text (ASCII letters only fold, as the
// program's names and extensions are ASCII).
bool SameText(const std::string& a, const std::string& b);
int CompareText(const std::string& a, const std::string& b);
// The character in lower case (ASCII letters only).
char FoldChar(char c);
std::string LowerCase(const std::string& s);
std::string UpperCase(const std::string& s);
std::string Trim(const std::string& s);
std::string IntToStr(long long value);
// Parses a decimal integer; raises EConvertError with
// "'<text>' is not a valid integer value" when it cannot.
int StrToInt(const std::string& s);
int StrToIntDef(const std::string& s, int fallback);

// Formats a number by a picture such as "#,#0.0" or "0.00": '0' a digit
// always shown, '#' a digit shown when significant, ',' thousands
// separators, '.' the decimal point. Rounds half away from zero on the
// value's 15 significant decimal digits (2.675 gives "2.68" with "0.00").
std::string FormatFloat(const std::string& picture, double value);

// Local date and time now, as days since 1899-12-30 with the time as the
// fraction (the classic "TDateTime").
double Now();
// Formats a date and time with tokens yyyy, yy, mm, m, dd, d, hh, h, nn, n,
// ss, s, and "c" (short date then long time: "dd.mm.yyyy hh:nn:ss"); text in
// quotes is copied. Raises EConvertError for a value outside the years 1 to
// 9999.
std::string FormatDateTime(const std::string& format, double dateTime);
std::string DateTimeToStr(double dateTime);
// The date and the time of day as the run log writes them, ISO-style and
// the same on every machine: "2026-12-06" and "21:07:03".
std::string DateToStr(double dateTime);
std::string TimeToStr(double dateTime);

// Milliseconds since an arbitrary start, wrapping like a 32-bit counter.
uint32_t GetTickCount();

// --- Files and folders ------------------------------------------------------
// Paths use '/' as separator. Folder texts kept by the program end with '/'.
constexpr char PathDelim = '/';

// Text after the last '/' (the whole text when there is none).
std::string ExtractFileName(const std::string& path);
// Text up to and including the last '/' (empty when there is none).
std::string ExtractFilePath(const std::string& path);
// Text from the last '.' of the file name, the dot included; empty when the
// file name has no dot.
std::string ExtractFileExt(const std::string& path);
std::string ChangeFileExt(const std::string& path, const std::string& ext);
std::string IncludeTrailingPathDelimiter(const std::string& path);
std::string ExcludeTrailingPathDelimiter(const std::string& path);

// True for an existing regular file (or a link to one); folders are not files.
bool FileExists(const std::string& path);
bool DirectoryExists(const std::string& path);
// Creates one folder level; false when it cannot (parent missing, no right,
// already there).
bool CreateDir(const std::string& path);
bool DeleteFile(const std::string& path);
// True for a name that stands for one entry directly inside a folder: not
// empty, not "." or "..", without '/' and without a zero byte.
bool IsPlainFileName(const std::string& name);
// Writes text as the whole content of the file at path without ever leaving
// it half written: the text goes to a new temporary file in the same folder,
// which then takes the name (a symbolic link at path is replaced, never
// followed). On failure the old file stays as it was, the temporary file is
// removed, error (when given) receives the reason, and the result is false.
// Every write, the sync and the close of the temporary file are checked.
bool SaveTextAtomically(const std::string& path, const std::string& text, std::string* error);
// The same for a file of the user's own (a settings file, a log saved by
// hand): a symbolic link at path is followed, through a chain of them, to
// the file it names, which is replaced in its own folder while the links
// stay (a link to nothing makes the file it names). A link, at the end or
// in any folder on the way, is followed only when it is the user's own or
// its folder owner's, or when no one but that owner may write the folder:
// a link someone else planted in a shared or sticky folder is refused and
// nothing is written. The replaced file's mode, access list and user
// attributes, and its owner and group where the system allows, pass to the
// new one, which is never open to more people than the old: a group it
// cannot be given gets no rights on it, and a list the folder hands down
// does not stay on it when the old file had none. A file the user may not
// write, or that is no plain file, is refused and stays as it was.
bool SaveUserTextFile(const std::string& path, const std::string& text, std::string* error);

// The calls that end every file the program writes: the sync puts what was
// written on the disk, the close lets the handle go and is where a network
// file system or a quota may first report a write it could not keep. Both
// answer 0, or -1 with errno set, as the system's fsync and close do; the
// close releases the handle either way. Their results are always checked.
int SyncWrittenFile(int handle);
int CloseWrittenFile(int handle);
// Puts other calls in their place (null: the system's own again), so that
// tests can see how a failure that shows only at the end of a file is
// taken.
using TFileEndCall = int (*)(int handle);
void SetFileEndCalls(TFileEndCall sync, TFileEndCall close);
// Folder of the running program with a trailing '/'.
std::string ProgramFolder();
// The process's current directory, without a trailing '/'; "" when it
// cannot be read (it was removed meanwhile).
std::string GetCurrentDir();
// Makes the folder the current directory; false (and the directory as it
// was) when it cannot, an empty text included.
bool SetCurrentDir(const std::string& folder);
// The path made absolute against the current directory as it is now; an
// absolute or empty path, or one when the current directory cannot be read,
// comes back as it is.
std::string AbsolutePath(const std::string& path);
// The same against the folder given (as GetCurrentDir gives it); an empty
// folder leaves the path as it is.
std::string AbsolutePath(const std::string& path, const std::string& folder);
