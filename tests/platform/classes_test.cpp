// Streams, lists and the Assign protocol.
#include <gtest/gtest.h>

#include "tests/support/testsupport.h"

namespace {
std::vector<uint8_t> Bytes(std::initializer_list<int> values) {
  std::vector<uint8_t> v;
  for (int x : values) v.push_back(static_cast<uint8_t>(x));
  return v;
}

std::vector<std::string> Lines(const TStringList& list) {
  std::vector<std::string> lines;
  for (int i = 0; i < list.Count(); ++i) lines.push_back(list[i]);
  return lines;
}
}  // namespace

TEST(MemoryStream, ReadWriteSeek) {
  TMemoryStream s;
  std::vector<uint8_t> data = Bytes({0, 1, 2, 3, 4, 5, 6, 7, 8, 9});
  EXPECT_EQ(s.Write(data.data(), 10), 10);
  EXPECT_EQ(s.Position(), 10);
  EXPECT_EQ(s.Size(), 10);
  uint8_t buffer[16] = {};
  EXPECT_EQ(s.Seek(0, soBeginning), 0);
  EXPECT_EQ(s.Read(buffer, 4), 4);
  EXPECT_EQ(buffer[3], 3);
  EXPECT_EQ(s.Seek(2, soCurrent), 6);
  EXPECT_EQ(s.Read(buffer, 1), 1);
  EXPECT_EQ(buffer[0], 6);
  EXPECT_EQ(s.Seek(-3, soEnd), 7);
  EXPECT_EQ(s.Read(buffer, 16), 3);  // short reads are normal
  EXPECT_EQ(buffer[2], 9);
  EXPECT_EQ(s.Read(buffer, 16), 0);
  EXPECT_EQ(s.Read(buffer, -1), 0);
  s.SetPosition(8);
  try {
    s.ReadBuffer(buffer, 3);
    ADD_FAILURE() << "no exception";
  } catch (const EReadError& e) {
    EXPECT_EQ(e.Message, "Stream read error");
  }
  s.ReadBuffer(buffer, 0);
  EXPECT_EQ(s.Seek(-100, soCurrent), 0);
  // Writing past the end fills the gap with zeros.
  s.Seek(12, soBeginning);
  s.WriteBuffer(data.data(), 1);
  EXPECT_EQ(s.Size(), 13);
  EXPECT_EQ(s.Memory()[10], 0);
  s.SetSize(5);
  EXPECT_EQ(s.Position(), 5);
  s.SetSize(-5);  // as 0
  s.WriteBuffer(data.data() + 1, 2);
  EXPECT_EQ(s.Size(), 2);
  EXPECT_EQ(s.Memory()[0], 1);
  EXPECT_EQ(s.Position(), 2);
  s.Clear();
  EXPECT_EQ(s.Size(), 0);

  TMemoryStream a, b;
  a.WriteBuffer(data.data(), 10);
  EXPECT_EQ(b.CopyFrom(a, 0), 10);  // the whole source
  a.SetPosition(2);
  EXPECT_EQ(b.CopyFrom(a, 3), 3);
  EXPECT_EQ(b.Size(), 13);
  EXPECT_EQ(b.Memory()[12], 4);
  EXPECT_THROW(b.CopyFrom(a, 50), EReadError);
  TMemoryStream c;
  c.LoadFromStream(b);
  EXPECT_EQ(c.Size(), b.Size());
  EXPECT_EQ(c.Position(), 0);

  TReadOnlyMemoryStream r(data.data(), data.size());
  EXPECT_EQ(r.Size(), 10);
  EXPECT_EQ(r.Seek(-2, soEnd), 8);
  EXPECT_EQ(r.Read(buffer, 5), 2);
  EXPECT_EQ(r.Write(buffer, 1), 0);
  EXPECT_THROW(r.WriteBuffer(buffer, 1), EWriteError);
  EXPECT_THROW(r.SetSize(3), EStreamError);
}

TEST(FileStream, ModesAndCreateNew) {
  TempDir dir;
  std::string path = dir.File("a.bin");
  {
    TFileStream f(path, fmCreate);
    f.WriteBuffer("hello", 5);
    EXPECT_EQ(f.FileName(), path);
    EXPECT_EQ(f.Size(), 5);
  }
  {
    TFileStream f(path, fmOpenReadWrite);
    f.Seek(0, soEnd);
    f.WriteBuffer("!", 1);
    f.SetPosition(1);
    char c[8] = {};
    EXPECT_EQ(f.Read(c, 8), 5);
    EXPECT_EQ(std::string(c), "ello!");
  }
  {
    TFileStream f(path, fmOpenWrite | fmShareDenyNone);  // keeps the content
    f.WriteBuffer("J", 1);
  }
  {
    TFileStream f(path, fmOpenRead | fmShareDenyWrite);
    EXPECT_EQ(f.Write("x", 1), 0);
    EXPECT_THROW(f.WriteBuffer("x", 1), EWriteError);
    EXPECT_EQ(f.Size(), 6);
  }
  std::vector<uint8_t> whole = ReadWholeFile(path);
  EXPECT_EQ(std::string(whole.begin(), whole.end()), "Jello!");
  {
    TFileStream f(path, fmCreate | fmShareDenyWrite);  // share flags with create
    EXPECT_EQ(f.Size(), 0);
    f.WriteBuffer("abc", 3);
    f.SetSize(1);
    EXPECT_EQ(f.Size(), 1);
  }
  EXPECT_THROW(TFileStream(path, fmCreateNew), EFCreateError);
  EXPECT_THROW(TFileStream(dir.File("none"), fmOpenRead), EFOpenError);
  EXPECT_THROW(TFileStream(dir.Path(), fmOpenRead), EFOpenError);
  EXPECT_THROW(TFileStream(dir.File("no/such"), fmCreate), EFCreateError);
  try {
    TFileStream f(dir.File("none"), fmOpenRead);
  } catch (const EFOpenError& e) {
    EXPECT_NE(e.Message.find("none"), std::string::npos);
  }
  { TFileStream fresh(dir.File("new.bin"), fmCreateNew); }
  EXPECT_TRUE(FileExists(dir.File("new.bin")));
  EXPECT_THROW(ReadWholeFile(dir.File("none")), EFOpenError);

  bool exists = true;
  std::unique_ptr<TFileStream> made(TFileStream::CreateNew(dir.File("c.bin"), &exists));
  ASSERT_NE(made, nullptr);
  EXPECT_FALSE(exists);
  made->WriteBuffer("z", 1);
  EXPECT_EQ(TFileStream::CreateNew(dir.File("c.bin"), &exists), nullptr);
  EXPECT_TRUE(exists);
  CreateDir(dir.File("folder"));
  exists = false;
  EXPECT_EQ(TFileStream::CreateNew(dir.File("folder"), &exists), nullptr);
  EXPECT_TRUE(exists);
  EXPECT_EQ(TFileStream::CreateNew(dir.File("folder")), nullptr);
  EXPECT_THROW(TFileStream::CreateNew(dir.File("missing/x.bin"), &exists), EFCreateError);

  TMemoryStream m;
  m.LoadFromFile(path);
  EXPECT_EQ(m.Size(), 1);
  m.SaveToFile(dir.File("copy.bin"));
  EXPECT_EQ(ReadWholeFile(dir.File("copy.bin")), Bytes({'a'}));
}

TEST(List, PointersAndBounds) {
  TList list;
  int a = 1, b = 2, c = 3;
  EXPECT_EQ(list.Add(&a), 0);
  EXPECT_EQ(list.Add(&b), 1);
  list.Insert(0, &c);
  list.Insert(3, &a);
  EXPECT_EQ(list.Count(), 4);
  EXPECT_EQ(list[0], &c);
  EXPECT_EQ(list.Last(), &a);
  EXPECT_EQ(list.IndexOf(&a), 1);
  EXPECT_EQ(list.IndexOf(nullptr), -1);
  try {
    list.Items(4);
    ADD_FAILURE() << "no exception";
  } catch (const EListError& e) {
    EXPECT_EQ(e.Message, "List index out of bounds (4)");
  }
  EXPECT_THROW(list.Items(-1), EListError);
  EXPECT_THROW(list.Insert(6, &a), EListError);
  EXPECT_THROW(list.Delete(4), EListError);
  EXPECT_THROW(list.Exchange(0, 9), EListError);
  EXPECT_THROW(list.SetItem(-2, &a), EListError);
  EXPECT_THROW(list.SetCount(-1), EListError);
  EXPECT_EQ(list.Remove(&a), 1);
  EXPECT_EQ(list.Remove(&a), 2);
  EXPECT_EQ(list.Remove(&a), -1);
  list.Exchange(0, 1);
  EXPECT_EQ(list.First(), &b);
  list.Add(&a);
  list.Move(0, 2);
  EXPECT_EQ(list[2], &b);
  list.Sort([](void* x, void* y) { return *static_cast<int*>(x) - *static_cast<int*>(y); });
  EXPECT_EQ(list[0], &a);
  EXPECT_EQ(list[2], &c);
  list.SetCount(5);
  EXPECT_EQ(list[4], nullptr);
  list.Clear();
  EXPECT_THROW(list.First(), EListError);
  EXPECT_THROW(list.Last(), EListError);
}

TEST(StringList, LinesTextAndFiles) {
  TStringList list;
  int changes = 0;
  list.OnChange = [&](TObject*) { ++changes; };
  list.Add("Alpha");
  list.Add("beta");
  list.Insert(1, "Gamma");
  EXPECT_EQ(changes, 3);
  EXPECT_EQ(list.IndexOf("BETA"), 2);
  EXPECT_EQ(list.IndexOf("delta"), -1);
  EXPECT_THROW(list.Strings(3), EListError);
  EXPECT_THROW(list.Insert(4, "x"), EListError);
  EXPECT_THROW(list.Delete(-1), EListError);
  EXPECT_THROW(list.Objects(9), EListError);
  list.Sort();
  EXPECT_EQ(Lines(list), (std::vector<std::string>{"Alpha", "beta", "Gamma"}));
  EXPECT_EQ(list.Text(), "Alpha\nbeta\nGamma\n");

  list.SetText("one\r\ntwo\nthree\rfour\r\n\r\nsix");
  EXPECT_EQ(Lines(list), (std::vector<std::string>{"one", "two", "three", "four", "", "six"}));
  list.SetText("a\n");  // a final line break adds no line
  EXPECT_EQ(Lines(list), (std::vector<std::string>{"a"}));
  list.SetText("\n\r");
  EXPECT_EQ(Lines(list), (std::vector<std::string>{"", ""}));
  list.SetText("");
  EXPECT_EQ(list.Count(), 0);
  list.SetText("x\r");
  EXPECT_EQ(Lines(list), (std::vector<std::string>{"x"}));

  TempDir dir;
  list.SetText("first\nsecond");
  list.SaveToFile(dir.File("l.txt"));
  TStringList loaded;
  loaded.LoadFromFile(dir.File("l.txt"));
  EXPECT_EQ(Lines(loaded), Lines(list));
  WriteTextFile(dir.File("dos.txt"), "p\r\nq\r\n");
  loaded.LoadFromFile(dir.File("dos.txt"));
  EXPECT_EQ(Lines(loaded), (std::vector<std::string>{"p", "q"}));
  EXPECT_THROW(loaded.LoadFromFile(dir.File("none.txt")), EFOpenError);
  EXPECT_THROW(list.SaveToFile(dir.File("no/l.txt")), EFCreateError);

  TStringList copy;
  TObject marker;
  list.SetObject(0, &marker);
  copy.Assign(&list);
  EXPECT_EQ(Lines(copy), Lines(list));
  EXPECT_EQ(copy.Objects(0), &marker);
  copy.AddStrings(list);
  EXPECT_EQ(copy.Count(), 4);
  copy.Clear();
  EXPECT_EQ(copy.Count(), 0);
}

TEST(Persistent, AssignErrors) {
  TStringList list;
  TBitmap bitmap;
  try {
    bitmap.Assign(&list);
    ADD_FAILURE() << "no exception";
  } catch (const EConvertError& e) {
    EXPECT_EQ(e.Message, "Cannot assign a TStringList to a TBitmap");
  }
  try {
    list.Assign(&bitmap);
    ADD_FAILURE() << "no exception";
  } catch (const EConvertError& e) {
    EXPECT_EQ(e.Message, "Cannot assign a TBitmap to a TStringList");
  }
  try {
    list.Assign(nullptr);
    ADD_FAILURE() << "no exception";
  } catch (const EConvertError& e) {
    EXPECT_EQ(e.Message, "Cannot assign a nil to a TStringList");
  }
}
