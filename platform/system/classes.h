// Base classes, streams and lists.
#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "platform/system/sysutils.h"

class TObject {
 public:
  virtual ~TObject() = default;
  virtual const char* ClassName() const { return "TObject"; }
};

using TNotifyEvent = std::function<void(TObject* sender)>;

// An object that can take over the content of another (Assign). A class that
// cannot copy from the given source hands the work to the source (AssignTo);
// when neither knows the pair, EConvertError "Cannot assign a X to a Y".
class TPersistent : public TObject {
 public:
  const char* ClassName() const override { return "TPersistent"; }
  virtual void Assign(const TPersistent* source);

 protected:
  virtual void AssignTo(TPersistent* dest) const;
  [[noreturn]] void AssignError(const TPersistent* source) const;
};

// --- Streams ----------------------------------------------------------------

enum TSeekOrigin { soBeginning, soCurrent, soEnd };

class TStream : public TObject {
 public:
  const char* ClassName() const override { return "TStream"; }
  // Reads up to count bytes; fewer at the end of the data. Returns the bytes
  // read.
  virtual int64_t Read(void* buffer, int64_t count) = 0;
  virtual int64_t Write(const void* buffer, int64_t count) = 0;
  virtual int64_t Seek(int64_t offset, TSeekOrigin origin) = 0;

  int64_t Position() { return Seek(0, soCurrent); }
  void SetPosition(int64_t pos) { Seek(pos, soBeginning); }
  virtual int64_t Size();
  virtual void SetSize(int64_t size);

  // Exactly count bytes or EReadError "Stream read error".
  void ReadBuffer(void* buffer, int64_t count);
  // Exactly count bytes or EWriteError "Stream write error".
  void WriteBuffer(const void* buffer, int64_t count);
  // Copies count bytes from source (the whole source from its start when
  // count is 0); returns the number copied.
  int64_t CopyFrom(TStream& source, int64_t count);
};

class TMemoryStream : public TStream {
 public:
  const char* ClassName() const override { return "TMemoryStream"; }
  int64_t Read(void* buffer, int64_t count) override;
  int64_t Write(const void* buffer, int64_t count) override;
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  int64_t Size() override { return static_cast<int64_t>(FData.size()); }
  void SetSize(int64_t size) override;

  uint8_t* Memory() { return FData.data(); }
  const uint8_t* Memory() const { return FData.data(); }
  void Clear();
  void LoadFromStream(TStream& source);
  void LoadFromFile(const std::string& path);
  void SaveToStream(TStream& dest);
  void SaveToFile(const std::string& path);

 private:
  std::vector<uint8_t> FData;
  int64_t FPosition = 0;
};

// A read-only stream over memory the caller keeps alive.
class TReadOnlyMemoryStream : public TStream {
 public:
  TReadOnlyMemoryStream(const void* data, size_t size)
      : FData(static_cast<const uint8_t*>(data)), FSize(static_cast<int64_t>(size)) {}
  const char* ClassName() const override { return "TReadOnlyMemoryStream"; }
  int64_t Read(void* buffer, int64_t count) override;
  int64_t Write(const void*, int64_t) override { return 0; }
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;

 private:
  const uint8_t* FData;
  int64_t FSize;
  int64_t FPosition = 0;
};

// Reads another stream through a buffer of its own, so that a walk of many
// small reads and seeks costs the other stream a call per block, not per
// read. Reads of half the buffer or more go straight to the other stream.
// Its size is taken once, when the buffer is made; writing is refused.
// When it ends it leaves the other stream where reading had come to.
class TBufferedReadStream : public TStream {
 public:
  explicit TBufferedReadStream(TStream& source, size_t bufferSize = size_t(1) << 16);
  ~TBufferedReadStream() override;
  TBufferedReadStream(const TBufferedReadStream&) = delete;
  TBufferedReadStream& operator=(const TBufferedReadStream&) = delete;
  const char* ClassName() const override { return "TBufferedReadStream"; }
  int64_t Read(void* buffer, int64_t count) override;
  int64_t Write(const void*, int64_t) override { return 0; }
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  int64_t Size() override { return FSize; }

 private:
  // Reads into memory from the other stream at a position.
  int64_t ReadSource(uint8_t* buffer, int64_t position, int64_t count);
  TStream& FSource;
  const int64_t FSize;
  std::vector<uint8_t> FBuffer;
  // The buffer holds the bytes from FStart on, FLength of them; reading
  // stands at FStart + FAt. FSourceAt: where the other stream stands.
  int64_t FStart = 0, FSourceAt = 0;
  size_t FAt = 0, FLength = 0;
};

// File open modes.
enum : uint16_t {
  fmOpenRead = 0x0000,
  fmOpenWrite = 0x0001,
  fmOpenReadWrite = 0x0002,
  fmShareDenyWrite = 0x0020,
  fmShareDenyNone = 0x0040,
  // Creates the file, replacing one of the same name.
  fmCreate = 0xFF00,
  // Creates the file only when no file of that name exists; otherwise
  // EFCreateError (use TFileStream::CreateNew to test without an exception).
  fmCreateNew = 0xFE00,
};

// What tells a file from another, and from itself rewritten: its device
// and number, its size and the time its data last changed (in
// nanoseconds). The time its entry changed is not part of it: a new mode,
// owner, access list, extended attribute or link changes no byte. Size is
// -1 when the system cannot tell.
struct TFileIdentity {
  uint64_t Device = 0, Inode = 0;
  int64_t Size = -1, Modified = 0;
  bool operator==(const TFileIdentity&) const = default;
};
// The identity of the file at path, links followed.
TFileIdentity FileIdentity(const std::string& path);

class TFileStream : public TStream {
 public:
  // Raises EFOpenError / EFCreateError with the path and the system's reason.
  TFileStream(const std::string& path, uint16_t mode);
  ~TFileStream() override;
  TFileStream(const TFileStream&) = delete;
  TFileStream& operator=(const TFileStream&) = delete;

  // Creates path exclusively. Returns null (and sets exists) when a file or
  // folder of that name is already there; raises EFCreateError for any
  // other failure.
  static TFileStream* CreateNew(const std::string& path, bool* exists = nullptr);

  const char* ClassName() const override { return "TFileStream"; }
  int64_t Read(void* buffer, int64_t count) override;
  int64_t Write(const void* buffer, int64_t count) override;
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  void SetSize(int64_t size) override;
  const std::string& FileName() const { return FFileName; }
  // The identity of the open file.
  TFileIdentity Identity() const;

  // Ends a written file: lets the handle go and raises EWriteError with the
  // reason when the system reports a failure there (a network file system
  // or a quota may report a lost write only then). The stream reads and
  // writes nothing afterwards; a second call does nothing.
  void Close();
  // Closes the stream and removes the file CreateNew made, as long as its
  // name still stands for that very file: a file that took the name
  // meanwhile is never removed. True when the file is gone.
  bool RemoveCreated();

 private:
  struct AdoptTag {};
  TFileStream(AdoptTag, int fd, std::string path);
  int FHandle = -1;
  std::string FFileName;
  // The file CreateNew made (device and file number), for RemoveCreated.
  bool FCreated = false;
  uint64_t FDevice = 0, FInode = 0;
};

// Reads a stream from its position to its end.
std::vector<uint8_t> ReadToEnd(TStream& stream);
// Reads a whole file into memory; raises EFOpenError / EReadError.
std::vector<uint8_t> ReadWholeFile(const std::string& path);

// --- Lists ------------------------------------------------------------------

// An ordered list of untyped pointers; the owner frees what they point to.
class TList : public TObject {
 public:
  const char* ClassName() const override { return "TList"; }
  int Count() const { return static_cast<int>(FItems.size()); }
  void* Items(int index) const;  // EListError "List index out of bounds (n)"
  void SetItem(int index, void* item);
  void* operator[](int index) const { return Items(index); }
  int Add(void* item);
  void Insert(int index, void* item);
  void Delete(int index);
  int Remove(void* item);  // index it had, or -1
  int IndexOf(const void* item) const;
  void Exchange(int a, int b);
  void Move(int from, int to);
  void Clear() { FItems.clear(); }
  void* First() const { return Items(0); }
  void* Last() const { return Items(Count() - 1); }
  void SetCount(int count);
  void Sort(const std::function<int(void*, void*)>& compare);
  std::vector<void*>::const_iterator begin() const { return FItems.begin(); }
  std::vector<void*>::const_iterator end() const { return FItems.end(); }

 private:
  void Check(int index) const;
  std::vector<void*> FItems;
};

// A list shared between threads: LockList hands out the list with its lock
// held until UnlockList (the same thread may lock it again meanwhile).
class TThreadList {
 public:
  TList& LockList() {
    FLock.lock();
    return FList;
  }
  void UnlockList() { FLock.unlock(); }
  void Add(void* item);
  void Remove(void* item);
  int Count();

 private:
  std::recursive_mutex FLock;
  TList FList;
};

// An ordered list of 8-bit strings, each with an optional object pointer.
// IndexOf and sorting ignore case, as the program's names do.
class TStringList : public TPersistent {
 public:
  const char* ClassName() const override { return "TStringList"; }
  void Assign(const TPersistent* source) override;

  int Count() const { return static_cast<int>(FItems.size()); }
  const std::string& Strings(int index) const;
  const std::string& operator[](int index) const { return Strings(index); }
  void SetString(int index, const std::string& s);
  TObject* Objects(int index) const;
  void SetObject(int index, TObject* object);
  int Add(const std::string& s);
  int AddObject(const std::string& s, TObject* object);
  void Insert(int index, const std::string& s);
  void Delete(int index);
  void Clear();
  int IndexOf(const std::string& s) const;
  void Sort();
  void AddStrings(const TStringList& other);

  // Lines joined, each followed by "\n".
  std::string Text() const;
  // Splits on "\n", "\r\n" or "\r"; a final line break adds no empty line.
  void SetText(const std::string& text);
  void LoadFromFile(const std::string& path);
  // Writes Text() to path (replacing the file); EFCreateError or
  // EWriteError on failure.
  void SaveToFile(const std::string& path) const;
  void LoadFromStream(TStream& stream);
  void SaveToStream(TStream& stream) const;

  TNotifyEvent OnChange;

 private:
  void Check(int index) const;
  void Changed();
  struct Item {
    std::string S;
    TObject* Object = nullptr;
  };
  std::vector<Item> FItems;
};
