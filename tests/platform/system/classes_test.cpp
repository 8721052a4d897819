// Streams, lists and the Assign protocol.
#include <gtest/gtest.h>

#include "tests/support/fileendfault.h"
#include "tests/support/testsupport.h"

TEST(MemoryStream, ReadWriteSeek) {
  TMemoryStream s;
  const uint8_t data[10] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
  EXPECT_EQ(s.Write(data, 10), 10);
  EXPECT_EQ(s.Position(), 10);
  uint8_t buffer[16] = {};
  EXPECT_EQ(s.Seek(2, soBeginning), 2);
  EXPECT_EQ(s.Seek(2, soCurrent), 4);
  EXPECT_EQ(s.Seek(-3, soEnd), 7);
  EXPECT_EQ(s.Read(buffer, 16), 3);  // short reads are normal
  EXPECT_EQ(buffer[2], 9);
  EXPECT_EQ(s.Read(buffer, -1), 0);
  s.SetPosition(8);
  EXPECT_EQ(RaisedMessage<EReadError>([&] { s.ReadBuffer(buffer, 3); }), "Stream read error");
  // Writing past the end fills the gap with zeros.
  s.Seek(12, soBeginning);
  s.WriteBuffer(data, 1);
  EXPECT_EQ(s.Size(), 13);
  EXPECT_EQ(s.Memory()[10], 0);

  TMemoryStream a, b;
  a.WriteBuffer(data, 10);
  EXPECT_EQ(b.CopyFrom(a, 0), 10);  // the whole source
  a.SetPosition(2);
  EXPECT_EQ(b.CopyFrom(a, 3), 3);
  EXPECT_EQ(b.Memory()[12], 4);
  EXPECT_THROW(b.CopyFrom(a, 50), EReadError);

  TReadOnlyMemoryStream r(data, 10);
  EXPECT_EQ(r.Write(buffer, 1), 0);
  EXPECT_EQ(RaisedMessage<EWriteError>([&] { r.WriteBuffer(buffer, 1); }), "Stream write error");
  EXPECT_THROW(r.SetSize(3), EStreamError);
}

TEST(BufferedReadStream, ReadsAndSeeksAsItsSourceAndLeavesItWhereReadingCame) {
  std::vector<uint8_t> data(100);
  for (size_t i = 0; i < data.size(); ++i) data[i] = uint8_t(i);
  TReadOnlyMemoryStream source(data.data(), data.size()), plain(data.data(), data.size());
  source.SetPosition(5), plain.SetPosition(5);
  {
    // Within the buffer, across it, past half of it, back, from the end, beyond it.
    TBufferedReadStream buffered(source, 8);
    for (auto [offset, origin, count] : std::vector<std::tuple<int64_t, TSeekOrigin, int64_t>>{
             {0, soCurrent, 3}, {1, soCurrent, 2}, {-4, soCurrent, 6}, {0, soCurrent, 20}, {10, soBeginning, 3},
             {-7, soEnd, 10}, {50, soEnd, 4}, {-60, soEnd, 2}, {90, soBeginning, 1}}) {
      std::vector<uint8_t> got(20), expected(20);
      EXPECT_EQ(buffered.Seek(offset, origin), plain.Seek(offset, origin));
      EXPECT_EQ(buffered.Read(got.data(), count), plain.Read(expected.data(), count));
      EXPECT_EQ(got, expected) << offset;
    }
    EXPECT_EQ(buffered.Size(), 100);
  }
  EXPECT_EQ(source.Position(), 91);
}

TEST(FileStream, ModesAndCreateNew) {
  TempDir dir;
  std::string path = dir.File("a.bin");
  TFileStream(path, fmCreate | fmShareDenyWrite).WriteBuffer("hello!", 6);  // share flags with create
  TFileStream(path, fmOpenWrite | fmShareDenyNone).WriteBuffer("J", 1);      // keeps the content
  EXPECT_THROW(TFileStream(path, fmOpenRead).WriteBuffer("x", 1), EWriteError);
  EXPECT_EQ(ReadFile(path), std::vector<uint8_t>({'J', 'e', 'l', 'l', 'o', '!'}));
  TFileStream(path, fmOpenReadWrite).SetSize(1);
  EXPECT_EQ(ReadFile(path).size(), 1u);
  EXPECT_EQ(TFileStream(path, fmCreate).Size(), 0);  // replaces the file

  EXPECT_THROW(TFileStream(path, fmCreateNew), EFCreateError);
  EXPECT_NE(RaisedMessage<EFOpenError>([&] { TFileStream(dir.File("none"), fmOpenRead); }).find("none"),
            std::string::npos);
  EXPECT_THROW(TFileStream(dir.File("no/such"), fmCreate), EFCreateError);
  bool exists = true;
  EXPECT_NE(std::unique_ptr<TFileStream>(TFileStream::CreateNew(dir.File("c.bin"), &exists)), nullptr);
  EXPECT_FALSE(exists);
  CreateDir(dir.File("folder"));
  for (const char* taken : {"c.bin", "folder"}) {
    exists = false;
    EXPECT_EQ(TFileStream::CreateNew(dir.File(taken), &exists), nullptr);
    EXPECT_TRUE(exists) << taken;
  }
  EXPECT_THROW(TFileStream::CreateNew(dir.File("missing/x.bin"), &exists), EFCreateError);
}

// A written file is ended with its close checked; a file made by CreateNew
// is removed again only while its name still stands for it.
TEST(FileStream, CloseIsCheckedAndOnlyTheCreatedFileIsRemoved) {
  TempDir dir;
  std::unique_ptr<TFileStream> file(TFileStream::CreateNew(dir.File("a.bin")));
  file->WriteBuffer("abc", 3);
  {
    TFileEndFault fault(TFileEndFault::Close, "a.bin");
    EXPECT_EQ(RaisedMessage<EWriteError>([&] { file->Close(); }),
              "Cannot write file \"" + dir.File("a.bin") + "\". Input/output error");
  }
  file->Close();  // once is all
  EXPECT_EQ(file->Write("x", 1), 0);
  EXPECT_TRUE(file->RemoveCreated());
  EXPECT_TRUE(FolderEntries(dir.Path()).empty());

  // Another file took the name meanwhile: it stays.
  file.reset(TFileStream::CreateNew(dir.File("b.bin")));
  WriteTextFile(dir.File("other"), "theirs");
  ASSERT_EQ(rename(dir.File("other").c_str(), dir.File("b.bin").c_str()), 0);
  EXPECT_FALSE(file->RemoveCreated());
  EXPECT_EQ(ReadTextFile(dir.File("b.bin")), "theirs");
  // A stream that made no file removes none.
  EXPECT_FALSE(TFileStream(dir.File("b.bin"), fmOpenRead).RemoveCreated());
  EXPECT_FALSE(TFileStream(dir.File("c.bin"), fmCreate).RemoveCreated());
  EXPECT_EQ(FolderEntries(dir.Path()), (std::vector<std::string>{"b.bin", "c.bin"}));

  // The class library's savers raise a failed close.
  TFileEndFault fault(TFileEndFault::Close);
  TStringList lines;
  lines.Add("x");
  EXPECT_THROW(lines.SaveToFile(dir.File("lines.txt")), EWriteError);
  TMemoryStream memory;
  EXPECT_THROW(memory.SaveToFile(dir.File("memory.bin")), EWriteError);
  EXPECT_EQ(fault.Failures(), 2);
}

TEST(List, PointersAndBounds) {
  TList list;
  int a = 1, b = 2, c = 3;
  list.Add(&a);
  list.Add(&b);
  list.Insert(0, &c);
  list.Insert(3, &a);
  auto items = [&] { return std::vector<void*>(list.begin(), list.end()); };
  EXPECT_EQ(items(), std::vector<void*>({&c, &a, &b, &a}));
  EXPECT_EQ(RaisedMessage<EListError>([&] { list.Items(4); }), "List index out of bounds (4)");
  EXPECT_THROW(list.Items(-1), EListError);
  EXPECT_THROW(list.Insert(5, &a), EListError);
  EXPECT_EQ(list.Remove(&a), 1);  // the first one
  list.Exchange(0, 1);
  list.Move(0, 2);
  EXPECT_EQ(items(), std::vector<void*>({&c, &a, &b}));
  list.Sort([](void* x, void* y) { return *static_cast<int*>(x) - *static_cast<int*>(y); });
  EXPECT_EQ(items(), std::vector<void*>({&a, &b, &c}));
  list.Clear();
  EXPECT_THROW(list.First(), EListError);
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
  EXPECT_THROW(list.Strings(3), EListError);
  list.Sort();
  EXPECT_EQ(list.Text(), "Alpha\nbeta\nGamma\n");

  list.SetText("one\r\ntwo\nthree\rfour\r\n\r\nsix");
  EXPECT_EQ(Strings(list), (std::vector<std::string>{"one", "two", "three", "four", "", "six"}));
  list.SetText("a\r");  // a final line break adds no line
  EXPECT_EQ(Strings(list), (std::vector<std::string>{"a"}));

  TempDir dir;
  list.SetText("first\nsecond");
  list.SaveToFile(dir.File("l.txt"));
  TStringList loaded;
  loaded.LoadFromFile(dir.File("l.txt"));
  EXPECT_EQ(Strings(loaded), Strings(list));

  TObject marker;
  list.SetObject(0, &marker);
  loaded.Assign(&list);
  EXPECT_EQ(loaded.Objects(0), &marker);
}

TEST(Persistent, AssignErrors) {
  TStringList list;
  TBitmap bitmap;
  auto message = [](const std::function<void()>& assign) { return RaisedMessage<EConvertError>(assign); };
  EXPECT_EQ(message([&] { bitmap.Assign(&list); }), "Cannot assign a TStringList to a TBitmap");
  EXPECT_EQ(message([&] { list.Assign(nullptr); }), "Cannot assign a nil to a TStringList");
}
