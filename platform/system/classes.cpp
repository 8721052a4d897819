#include "platform/system/classes.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

// --- TPersistent --------------------------------------------------------------

void TPersistent::Assign(const TPersistent* source) {
  if (source) {
    source->AssignTo(this);
    return;
  }
  AssignError(nullptr);
}

void TPersistent::AssignTo(TPersistent* dest) const { dest->AssignError(this); }

void TPersistent::AssignError(const TPersistent* source) const {
  std::string from = source ? source->ClassName() : "nil";
  throw EConvertError("Cannot assign a " + from + " to a " + ClassName());
}

// --- TStream ------------------------------------------------------------------

int64_t TStream::Size() {
  int64_t pos = Seek(0, soCurrent);
  int64_t size = Seek(0, soEnd);
  Seek(pos, soBeginning);
  return size;
}

void TStream::SetSize(int64_t) { throw EStreamError("Stream size cannot be changed"); }

void TStream::ReadBuffer(void* buffer, int64_t count) {
  if (count > 0 && Read(buffer, count) != count) throw EReadError("Stream read error");
}

void TStream::WriteBuffer(const void* buffer, int64_t count) {
  if (count > 0 && Write(buffer, count) != count) throw EWriteError("Stream write error");
}

int64_t TStream::CopyFrom(TStream& source, int64_t count) {
  if (count == 0) {
    source.SetPosition(0);
    count = source.Size();
  }
  int64_t done = 0;
  std::vector<uint8_t> buffer(static_cast<size_t>(std::min<int64_t>(count, 1 << 16)) + 1);
  while (done < count) {
    int64_t n = std::min<int64_t>(count - done, static_cast<int64_t>(buffer.size()));
    source.ReadBuffer(buffer.data(), n);
    WriteBuffer(buffer.data(), n);
    done += n;
  }
  return done;
}

// --- TMemoryStream ------------------------------------------------------------

int64_t TMemoryStream::Read(void* buffer, int64_t count) {
  int64_t available = static_cast<int64_t>(FData.size()) - FPosition;
  int64_t n = std::max<int64_t>(0, std::min(count, available));
  if (n > 0) std::memcpy(buffer, FData.data() + FPosition, static_cast<size_t>(n));
  FPosition += n;
  return n;
}

int64_t TMemoryStream::Write(const void* buffer, int64_t count) {
  if (count <= 0) return 0;
  int64_t end = FPosition + count;
  if (end > static_cast<int64_t>(FData.size())) FData.resize(static_cast<size_t>(end));
  std::memcpy(FData.data() + FPosition, buffer, static_cast<size_t>(count));
  FPosition = end;
  return count;
}

int64_t TMemoryStream::Seek(int64_t offset, TSeekOrigin origin) {
  int64_t base = origin == soBeginning ? 0
                 : origin == soCurrent  ? FPosition
                                        : static_cast<int64_t>(FData.size());
  FPosition = std::max<int64_t>(0, base + offset);
  return FPosition;
}

void TMemoryStream::SetSize(int64_t size) {
  size = std::max<int64_t>(0, size);
  FData.resize(static_cast<size_t>(size));
  if (FPosition > size) FPosition = size;
}

void TMemoryStream::Clear() {
  FData.clear();
  FData.shrink_to_fit();
  FPosition = 0;
}

void TMemoryStream::LoadFromStream(TStream& source) {
  source.SetPosition(0);
  int64_t size = source.Size();
  SetSize(size);
  FPosition = 0;
  if (size > 0) source.ReadBuffer(FData.data(), size);
}

void TMemoryStream::LoadFromFile(const std::string& path) {
  FData = ReadWholeFile(path);
  FPosition = 0;
}

void TMemoryStream::SaveToStream(TStream& dest) {
  dest.WriteBuffer(FData.data(), static_cast<int64_t>(FData.size()));
}

void TMemoryStream::SaveToFile(const std::string& path) {
  TFileStream file(path, fmCreate);
  SaveToStream(file);
  file.Close();
}

// --- TReadOnlyMemoryStream ------------------------------------------------------

int64_t TReadOnlyMemoryStream::Read(void* buffer, int64_t count) {
  int64_t n = std::max<int64_t>(0, std::min(count, FSize - FPosition));
  if (n > 0) std::memcpy(buffer, FData + FPosition, static_cast<size_t>(n));
  FPosition += n;
  return n;
}

int64_t TReadOnlyMemoryStream::Seek(int64_t offset, TSeekOrigin origin) {
  int64_t base = origin == soBeginning ? 0 : origin == soCurrent ? FPosition : FSize;
  FPosition = std::max<int64_t>(0, base + offset);
  return FPosition;
}

// --- TBufferedReadStream -----------------------------------------------------

TBufferedReadStream::TBufferedReadStream(TStream& source, size_t bufferSize)
    : FSource(source), FSize(source.Size()), FBuffer(std::max<size_t>(bufferSize, 1)) {
  FStart = FSourceAt = source.Position();
}

TBufferedReadStream::~TBufferedReadStream() {
  try {
    if (FSourceAt != FStart + int64_t(FAt)) FSource.SetPosition(FStart + int64_t(FAt));
  } catch (...) {
    // The other stream keeps the position it has.
  }
}

int64_t TBufferedReadStream::ReadSource(uint8_t* buffer, int64_t position, int64_t count) {
  if (FSourceAt != position) FSourceAt = FSource.Seek(position, soBeginning);
  const int64_t got = std::max<int64_t>(0, FSource.Read(buffer, count));
  FSourceAt += got;
  return got;
}

int64_t TBufferedReadStream::Read(void* buffer, int64_t count) {
  auto* to = static_cast<uint8_t*>(buffer);
  int64_t done = 0;
  while (done < count) {
    if (FAt == FLength) {
      // The buffer is spent: a large rest goes straight to the caller.
      FStart += int64_t(FLength);
      FAt = FLength = 0;
      if (count - done >= int64_t(FBuffer.size() / 2)) {
        const int64_t got = ReadSource(to + done, FStart, count - done);
        FStart += got;
        return done + got;
      }
      FLength = size_t(ReadSource(FBuffer.data(), FStart, int64_t(FBuffer.size())));
      if (FLength == 0) break;
    }
    const size_t n = size_t(std::min<int64_t>(count - done, int64_t(FLength - FAt)));
    std::memcpy(to + done, FBuffer.data() + FAt, n);
    FAt += n;
    done += int64_t(n);
  }
  return done;
}

int64_t TBufferedReadStream::Seek(int64_t offset, TSeekOrigin origin) {
  const int64_t base = origin == soBeginning ? 0 : origin == soCurrent ? FStart + int64_t(FAt) : FSize;
  const int64_t to = std::max<int64_t>(0, base + offset);
  if (to >= FStart && to <= FStart + int64_t(FLength)) {
    FAt = size_t(to - FStart);
  } else {
    FStart = to;
    FAt = FLength = 0;
  }
  return to;
}

// --- TFileStream --------------------------------------------------------------

namespace {
std::string SystemReason() { return std::strerror(errno); }

TFileIdentity IdentityOf(const struct stat& st) {
  auto ns = [](const timespec& t) { return int64_t(t.tv_sec) * 1000000000 + t.tv_nsec; };
  return {uint64_t(st.st_dev), uint64_t(st.st_ino), int64_t(st.st_size), ns(st.st_mtim)};
}
}  // namespace

TFileIdentity FileIdentity(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 ? IdentityOf(st) : TFileIdentity();
}

TFileIdentity TFileStream::Identity() const {
  struct stat st {};
  return FHandle >= 0 && ::fstat(FHandle, &st) == 0 ? IdentityOf(st) : TFileIdentity();
}

TFileStream::TFileStream(const std::string& path, uint16_t mode) : FFileName(path) {
  // The create modes fill the high byte; share flags may be or-ed in.
  uint16_t create = mode & 0xFF00;
  if (create == fmCreate || create == fmCreateNew) {
    int flags = O_RDWR | O_CREAT | O_CLOEXEC | (create == fmCreate ? O_TRUNC : O_EXCL);
    FHandle = ::open(path.c_str(), flags, 0666);
    if (FHandle < 0) throw EFCreateError("Cannot create file \"" + path + "\". " + SystemReason());
    return;
  }
  int access = mode & 3;
  int flags = (access == fmOpenWrite ? O_WRONLY : access == fmOpenReadWrite ? O_RDWR : O_RDONLY) | O_CLOEXEC;
  FHandle = ::open(path.c_str(), flags);
  if (FHandle >= 0) {
    struct stat st {};
    if (fstat(FHandle, &st) == 0 && S_ISDIR(st.st_mode)) {
      ::close(FHandle);
      FHandle = -1;
      errno = EISDIR;
    }
  }
  if (FHandle < 0) throw EFOpenError("Cannot open file \"" + path + "\". " + SystemReason());
}

TFileStream* TFileStream::CreateNew(const std::string& path, bool* exists) {
  if (exists) *exists = false;
  int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0) {
    if (errno == EEXIST || errno == EISDIR) {
      if (exists) *exists = true;
      return nullptr;
    }
    throw EFCreateError("Cannot create file \"" + path + "\". " + SystemReason());
  }
  return new TFileStream(AdoptTag{}, fd, path);
}

TFileStream::TFileStream(AdoptTag, int fd, std::string path) : FHandle(fd), FFileName(std::move(path)) {
  struct stat st {};
  if (fstat(FHandle, &st) == 0) {
    FCreated = true;
    FDevice = st.st_dev;
    FInode = st.st_ino;
  }
}

TFileStream::~TFileStream() {
  if (FHandle >= 0) ::close(FHandle);
}

void TFileStream::Close() {
  if (FHandle < 0) return;
  int handle = FHandle;
  FHandle = -1;
  if (CloseWrittenFile(handle) != 0)
    throw EWriteError("Cannot write file \"" + FFileName + "\". " + SystemReason());
}

bool TFileStream::RemoveCreated() {
  if (FHandle >= 0) ::close(FHandle);
  FHandle = -1;
  struct stat st {};
  if (!FCreated || lstat(FFileName.c_str(), &st) != 0 || uint64_t(st.st_dev) != FDevice ||
      uint64_t(st.st_ino) != FInode)
    return false;
  FCreated = false;
  return ::unlink(FFileName.c_str()) == 0;
}

int64_t TFileStream::Read(void* buffer, int64_t count) {
  int64_t done = 0;
  auto* p = static_cast<uint8_t*>(buffer);
  while (done < count) {
    ssize_t n = ::read(FHandle, p + done, static_cast<size_t>(std::min<int64_t>(count - done, 1 << 30)));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += n;
  }
  return done;
}

int64_t TFileStream::Write(const void* buffer, int64_t count) {
  int64_t done = 0;
  auto* p = static_cast<const uint8_t*>(buffer);
  while (done < count) {
    ssize_t n = ::write(FHandle, p + done, static_cast<size_t>(std::min<int64_t>(count - done, 1 << 30)));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += n;
  }
  return done;
}

int64_t TFileStream::Seek(int64_t offset, TSeekOrigin origin) {
  int whence = origin == soBeginning ? SEEK_SET : origin == soCurrent ? SEEK_CUR : SEEK_END;
  off_t r = ::lseek(FHandle, offset, whence);
  return r < 0 ? -1 : static_cast<int64_t>(r);
}

void TFileStream::SetSize(int64_t size) {
  if (::ftruncate(FHandle, size) != 0) throw EStreamError("Stream size cannot be changed");
}

std::vector<uint8_t> ReadToEnd(TStream& stream) {
  std::vector<uint8_t> data;
  // What the stream says it holds is read at once, without the copies
  // a growing buffer makes; anything beyond (a file that grew) in chunks.
  int64_t left = stream.Size() - stream.Position();
  if (left > 0) {
    data.resize(static_cast<size_t>(left));
    data.resize(static_cast<size_t>(std::max<int64_t>(0, stream.Read(data.data(), left))));
  }
  uint8_t chunk[1 << 16];
  for (int64_t n; (n = stream.Read(chunk, sizeof chunk)) > 0;) data.insert(data.end(), chunk, chunk + n);
  return data;
}

std::vector<uint8_t> ReadWholeFile(const std::string& path) {
  TFileStream file(path, fmOpenRead | fmShareDenyWrite);
  return ReadToEnd(file);
}

// --- TList --------------------------------------------------------------------

namespace {
[[noreturn]] void ListIndexError(int index) {
  throw EListError("List index out of bounds (" + std::to_string(index) + ")");
}
}  // namespace

void TList::Check(int index) const {
  if (index < 0 || index >= Count()) ListIndexError(index);
}

void* TList::Items(int index) const {
  Check(index);
  return FItems[static_cast<size_t>(index)];
}

void TList::SetItem(int index, void* item) {
  Check(index);
  FItems[static_cast<size_t>(index)] = item;
}

int TList::Add(void* item) {
  FItems.push_back(item);
  return Count() - 1;
}

void TList::Insert(int index, void* item) {
  if (index < 0 || index > Count()) ListIndexError(index);
  FItems.insert(FItems.begin() + index, item);
}

void TList::Delete(int index) {
  Check(index);
  FItems.erase(FItems.begin() + index);
}

int TList::Remove(void* item) {
  int i = IndexOf(item);
  if (i >= 0) Delete(i);
  return i;
}

int TList::IndexOf(const void* item) const {
  auto it = std::find(FItems.begin(), FItems.end(), item);
  return it == FItems.end() ? -1 : static_cast<int>(it - FItems.begin());
}

void TList::Exchange(int a, int b) {
  Check(a);
  Check(b);
  std::swap(FItems[static_cast<size_t>(a)], FItems[static_cast<size_t>(b)]);
}

void TList::Move(int from, int to) {
  if (from == to) return;
  Check(from);
  Check(to);
  void* item = FItems[static_cast<size_t>(from)];
  FItems.erase(FItems.begin() + from);
  FItems.insert(FItems.begin() + to, item);
}

void TList::SetCount(int count) {
  if (count < 0) throw EListError("List count out of bounds (" + std::to_string(count) + ")");
  FItems.resize(static_cast<size_t>(count), nullptr);
}

void TList::Sort(const std::function<int(void*, void*)>& compare) {
  std::stable_sort(FItems.begin(), FItems.end(), [&](void* a, void* b) { return compare(a, b) < 0; });
}

// --- TThreadList --------------------------------------------------------------

void TThreadList::Add(void* item) {
  std::lock_guard<std::recursive_mutex> guard(FLock);
  FList.Add(item);
}

void TThreadList::Remove(void* item) {
  std::lock_guard<std::recursive_mutex> guard(FLock);
  FList.Remove(item);
}

int TThreadList::Count() {
  std::lock_guard<std::recursive_mutex> guard(FLock);
  return FList.Count();
}

// --- TStringList --------------------------------------------------------------

void TStringList::Check(int index) const {
  if (index < 0 || index >= Count()) ListIndexError(index);
}

void TStringList::Changed() {
  if (OnChange) OnChange(this);
}

void TStringList::Assign(const TPersistent* source) {
  if (auto* other = dynamic_cast<const TStringList*>(source)) {
    FItems = other->FItems;
    Changed();
    return;
  }
  TPersistent::Assign(source);
}

const std::string& TStringList::Strings(int index) const {
  Check(index);
  return FItems[static_cast<size_t>(index)].S;
}

void TStringList::SetString(int index, const std::string& s) {
  Check(index);
  FItems[static_cast<size_t>(index)].S = s;
  Changed();
}

TObject* TStringList::Objects(int index) const {
  Check(index);
  return FItems[static_cast<size_t>(index)].Object;
}

void TStringList::SetObject(int index, TObject* object) {
  Check(index);
  FItems[static_cast<size_t>(index)].Object = object;
}

int TStringList::Add(const std::string& s) { return AddObject(s, nullptr); }

int TStringList::AddObject(const std::string& s, TObject* object) {
  FItems.push_back({s, object});
  Changed();
  return Count() - 1;
}

void TStringList::Insert(int index, const std::string& s) {
  if (index < 0 || index > Count()) ListIndexError(index);
  FItems.insert(FItems.begin() + index, Item{s, nullptr});
  Changed();
}

void TStringList::Delete(int index) {
  Check(index);
  FItems.erase(FItems.begin() + index);
  Changed();
}

void TStringList::Clear() {
  if (FItems.empty()) return;
  FItems.clear();
  Changed();
}

int TStringList::IndexOf(const std::string& s) const {
  for (size_t i = 0; i < FItems.size(); ++i)
    if (SameText(FItems[i].S, s)) return static_cast<int>(i);
  return -1;
}

void TStringList::Sort() {
  std::stable_sort(FItems.begin(), FItems.end(),
                   [](const Item& a, const Item& b) { return CompareText(a.S, b.S) < 0; });
  Changed();
}

void TStringList::AddStrings(const TStringList& other) {
  for (const Item& item : other.FItems) FItems.push_back(item);
  Changed();
}

std::string TStringList::Text() const {
  std::string text;
  for (const Item& item : FItems) {
    text += item.S;
    text += '\n';
  }
  return text;
}

void TStringList::SetText(const std::string& text) {
  FItems.clear();
  size_t i = 0;
  while (i < text.size()) {
    size_t end = text.find_first_of("\r\n", i);
    if (end == std::string::npos) {
      FItems.push_back({text.substr(i), nullptr});
      break;
    }
    FItems.push_back({text.substr(i, end - i), nullptr});
    i = end + 1;
    if (text[end] == '\r' && i < text.size() && text[i] == '\n') ++i;
  }
  Changed();
}

void TStringList::LoadFromFile(const std::string& path) {
  std::vector<uint8_t> data = ReadWholeFile(path);
  SetText(std::string(data.begin(), data.end()));
}

void TStringList::SaveToFile(const std::string& path) const {
  TFileStream file(path, fmCreate);
  SaveToStream(file);
  file.Close();
}

void TStringList::LoadFromStream(TStream& stream) {
  std::vector<uint8_t> data = ReadToEnd(stream);
  SetText(std::string(data.begin(), data.end()));
}

void TStringList::SaveToStream(TStream& stream) const {
  std::string text = Text();
  stream.WriteBuffer(text.data(), static_cast<int64_t>(text.size()));
}
