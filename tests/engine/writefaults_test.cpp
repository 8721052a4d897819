// Writes that fail on the disk: a picture whose write or close fails is
// logged as an error and leaves no file (only the file the writer made is
// ever removed), the run goes on; the run's log that cannot be saved keeps
// the old one; and a shared target folder cannot send the log elsewhere.
#include <sys/stat.h>
#include <unistd.h>

#include <tuple>

#include "gif/gifimage.h"
#include "tests/engine/runfixture.h"
#include "tests/support/fileendfault.h"
#include "tests/support/writelimit.h"

namespace {

const char* const kFormats[] = {".bmp", ".jpg", ".gif", ".png"};

class WriteFaults : public RunFixture {
 protected:
  // The GIF writer leaves the job's settings in the codec's defaults: the
  // ones from before come back.
  ~WriteFaults() override {
    std::tie(GIFImageDefaultColorReduction, GIFImageDefaultColorReductionBits, GIFImageDefaultDitherMode,
             GIFImageDefaultCompression) = GifDefaults;
  }
  const std::tuple<TColorReduction, int, TDitherMode, TGIFCompression> GifDefaults{
      GIFImageDefaultColorReduction, GIFImageDefaultColorReductionBits, GIFImageDefaultDitherMode,
      GIFImageDefaultCompression};
  std::string Save(const std::string& base, TBitmap& picture) {
    return Job.SaveBitmapToTarget(picture, Target.Path(), base);
  }
};

TEST_F(WriteFaults, PictureWhoseWriteOrCloseFailsLeavesNoFile) {
  auto small = MakeTestBitmap(4, 4);
  auto large = MakeNoiseBitmap(200, 100, 1);
  for (const char* extension : kFormats) {
    Job.TargetExtension = extension;
    const std::string first = std::string("x_1") + extension;
    {
      TWriteLimit full(1000);  // the disk fills up half way
      EXPECT_EQ(Save("x", *large), "Error") << extension;
    }
    {
      TFileEndFault lost(TFileEndFault::Close, "x_");  // the file system reports a lost write
      EXPECT_EQ(Save("x", *small), "Error") << extension;
      EXPECT_EQ(lost.Failures(), 1);
    }
    EXPECT_TRUE(FolderEntries(Target.Path()).empty()) << extension;
    // The number is free again for the next picture.
    EXPECT_EQ(Save("x", *small), first);
    ASSERT_TRUE(DeleteFile(Target.File(first)));
  }
}

// The writer removes the file it made, never one that took its name.
std::string OtherFile, ItsPlace;
int CloseAfterAnotherFileTookTheName(int handle) {
  ::close(handle);
  rename(OtherFile.c_str(), ItsPlace.c_str());
  errno = EIO;
  return -1;
}

TEST_F(WriteFaults, WriterNeverRemovesAFileThatTookItsName) {
  auto picture = MakeTestBitmap(4, 4);
  OtherFile = Source.File("theirs");
  ItsPlace = Target.File("x_1.bmp");
  WriteTextFile(OtherFile, "theirs");
  SetFileEndCalls(nullptr, CloseAfterAnotherFileTookTheName);
  std::string written = Save("x", *picture);
  SetFileEndCalls(nullptr, nullptr);
  EXPECT_EQ(written, "Error");
  EXPECT_EQ(ReadTextFile(ItsPlace), "theirs");
  EXPECT_EQ(Save("x", *picture), "x_2.bmp");
}

TEST_F(WriteFaults, RunLogsTheFailedFileAndGoesOn) {
  AddPicture("a.bmp");
  MakeNoiseBitmap(200, 100, 1)->SaveToFile(Source.File("b.bmp"));  // large in every format
  AddFile(Source.File("b.bmp"));
  AddPicture("c.bmp", 2);
  for (const char* extension : kFormats) {
    Job.TargetExtension = extension;
    for (int way = 0; way < 2; ++way) {
      {
        // The large picture's write fails on a full disk, or its close
        // reports a write the file system lost.
        std::unique_ptr<TWriteLimit> full(way == 0 ? new TWriteLimit(1000) : nullptr);
        std::unique_ptr<TFileEndFault> lost(way == 1 ? new TFileEndFault(TFileEndFault::Close, "b(") : nullptr);
        RunToEnd();
      }
      const std::string a = std::string("a(Convert)_1") + extension, c = std::string("c(Convert)_1") + extension;
      EXPECT_EQ(Body(), (Lines{"Success: a.bmp", "New name: " + a, "Error: b.bmp", "Cannot create new file.",
                               "Success: c.bmp", "New name: " + c, "Done: ", "Time span: "}))
          << extension << way;
      EXPECT_EQ(FolderEntries(Target.Path()), (std::vector<std::string>{a, c})) << extension << way;
      ASSERT_TRUE(DeleteFile(Target.File(a)) && DeleteFile(Target.File(c)));
    }
  }
}

TEST_F(WriteFaults, LogThatCannotBeEndedKeepsTheOldOne) {
  AddPicture("a.bmp");
  View.AutoSave = true;
  WriteTextFile(Target.File("log.txt"), "an earlier run\n");
  for (TFileEndFault::TCall call : {TFileEndFault::Sync, TFileEndFault::Close}) {
    {
      TFileEndFault fault(call, "log.txt");
      RunToEnd();
      EXPECT_EQ(fault.Failures(), 1);
    }
    EXPECT_EQ(ReadTextFile(Target.File("log.txt")), "an earlier run\n");
    ASSERT_FALSE(View.LogView.empty());
    EXPECT_EQ(View.LogView.back(), "The log file could not be saved: Cannot save \"" + Target.File("log.txt") +
                                       "\". Input/output error");
    // The picture is there; no temporary file is.
    EXPECT_EQ(FolderEntries(Target.Path()), (std::vector<std::string>{"a(Convert)_1.bmp", "log.txt"}));
    ASSERT_TRUE(DeleteFile(Target.File("a(Convert)_1.bmp")));
  }
}

// Whatever a link named "log.txt" in the target folder points to, the run
// writes its log in the target folder, in place of the link.
TEST_F(WriteFaults, LinkInTheTargetFolderCannotSendTheLogElsewhere) {
  TempDir elsewhere;
  View.AutoSave = true;
  WriteTextFile(elsewhere.File("precious"), "keep");
  ASSERT_EQ(symlink(elsewhere.File("precious").c_str(), Target.File("hop").c_str()), 0);
  for (const std::string& to : {elsewhere.File("made"), Target.File("hop"), elsewhere.Path()}) {
    ASSERT_EQ(symlink(to.c_str(), Target.File("log.txt").c_str()), 0);
    RunToEnd();
    struct stat st {};
    ASSERT_EQ(lstat(Target.File("log.txt").c_str(), &st), 0);
    EXPECT_TRUE(S_ISREG(st.st_mode)) << to;
    EXPECT_NE(ReadTextFile(Target.File("log.txt")).find("Done: "), std::string::npos);
    EXPECT_EQ(FolderEntries(elsewhere.Path()), std::vector<std::string>{"precious"});
    EXPECT_EQ(ReadTextFile(elsewhere.File("precious")), "keep");
    ASSERT_TRUE(DeleteFile(Target.File("log.txt")));
  }
}

}  // namespace
