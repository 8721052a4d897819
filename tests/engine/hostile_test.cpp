// Runs over hostile input: file names that try to leave the target folder,
// a log file that is a link or cannot be written.
#include <unistd.h>

#include "platform/metafile/helperhost.h"
#include "tests/engine/runfixture.h"
#include "tests/platform/metafile/metafilebuild.h"
#include "tests/support/writelimit.h"

namespace {

// A run whose target folder lies inside a folder of its own, so that
// anything written beside the target shows.
class HostileRun : public RunFixture {
 protected:
  HostileRun() {
    Job.TargetDir = Outer.File("target/");
    CreateDir(Job.TargetDir);
  }
  std::vector<std::string> Written() const { return FolderEntries(Job.TargetDir); }
  TempDir Outer;
};

TEST_F(HostileRun, NamesNeverLeaveTheTargetFolder) {
  const std::string names[] = {
      "\xC0\xAE\xC0\xAE\xC0\xAF" "escape.bmp",   // overlong "../"
      "A\xC0\x80" "one.bmp", "A\xC0\x80" "two.bmp",  // overlong zero byte, twice
      "\xC0\xAF.bmp",                              // overlong "/"
      "\x80\xBF" "lone.bmp", "cut\xE2\x82.bmp", "\xED\xA0\x80" "surrogate.bmp", "..bmp"};
  for (bool lower : {false, true}) {
    Job.SourceFiles.Clear();
    Job.LowerCaseNames = lower;
    for (const std::string& name : names) AddPicture(name);
    RunToEnd();
    EXPECT_EQ(FolderEntries(Outer.Path()), std::vector<std::string>{"target"});
    // Every file was written, each under a name of its own: the bytes the
    // case mapping does not understand stay as they are.
    Lines body = Body();
    ASSERT_EQ(body.size(), 2 * std::size(names) + 2) << lower;
    for (size_t i = 0; i < std::size(names); ++i) EXPECT_EQ(body[2 * i], "Success: " + names[i]);
    EXPECT_EQ(Written().size(), (lower ? 2 : 1) * std::size(names));
  }
  EXPECT_TRUE(FileExists(Job.TargetDir + "\xC0\xAE\xC0\xAE\xC0\xAF" "escape(convert)_1.bmp"));
}

TEST_F(HostileRun, WriterTakesOnlyOnePlainNameInTheFolder) {
  auto picture = MakeTestBitmap(3, 3);
  for (const std::string& base : {std::string("../up"), std::string("sub/x"), std::string("a\0b", 3),
                                  std::string("a\0b", 3), std::string("/abs")})
    EXPECT_EQ(Job.SaveBitmapToTarget(*picture, Job.TargetDir, base), "Error");
  EXPECT_EQ(FolderEntries(Outer.Path()), std::vector<std::string>{"target"});
  EXPECT_TRUE(Written().empty());
  EXPECT_EQ(Job.SaveBitmapToTarget(*picture, Job.TargetDir, ".."), ".._1.bmp");
}

TEST_F(HostileRun, AutoSavedLogReplacesALinkNotItsTarget) {
  AddPicture("IMG_01.bmp");
  View.AutoSave = true;
  Job.LowerCaseNames = true;  // the suffix too
  WriteTextFile(Outer.File("precious"), "keep me");
  ASSERT_EQ(symlink(Outer.File("precious").c_str(), (Job.TargetDir + "log.txt").c_str()), 0);
  RunToEnd();
  EXPECT_EQ(ReadFile(Outer.File("precious")).size(), 7u);
  EXPECT_TRUE(FileExists(Job.TargetDir + "img_01(convert)_1.bmp"));
  // The saved log is the shown one, with Linux line ends.
  TStringList saved;
  saved.LoadFromFile(Job.TargetDir + "log.txt");
  EXPECT_EQ(Strings(saved), View.LogView);
  auto bytes = ReadFile(Job.TargetDir + "log.txt");
  EXPECT_EQ(std::count(bytes.begin(), bytes.end(), '\r'), 0);
}

TEST_F(HostileRun, LogThatCannotBeSavedKeepsTheOldOneAndSaysWhy) {
  // No file: the log alone is written, and the "disk" holds 64 bytes.
  View.AutoSave = true;
  WriteTextFile(Job.TargetDir + "log.txt", "an earlier run\n");
  {
    TWriteLimit limit(64);
    RunToEnd();
  }
  EXPECT_EQ(ReadFile(Job.TargetDir + "log.txt").size(), 15u);
  EXPECT_EQ(Written(), std::vector<std::string>{"log.txt"});
  ASSERT_FALSE(View.LogView.empty());
  EXPECT_EQ(View.LogView.back(), "The log file could not be saved: Cannot save \"" + Job.TargetDir +
                                     "log.txt\". File too large");
}

// A 4-bit run-length BMP of about a hundred bytes that claims 20000 x 20000
// pixels: 200 MB as it is, 1.2 GB at 24 bits, past the working bitmap's cap.
std::vector<uint8_t> SmallBmpOverTheCapAt24Bits() {
  ByteWriter w;
  w.Text("BM").U32(0).U32(0).U32(62).U32(40).I32(20000).I32(20000).U16(1).U16(4).U32(2);
  w.Zeros(20).U32(0).U32(0xFFFFFF).U8(0).U8(1);
  return w.Data;
}

TEST_F(HostileRun, OneFileFailingAnywhereOnItsRoadEndsOnlyItsOwnGroup) {
  AddPicture("first.bmp", 1, 40, 30);
  WriteFile(Source.File("huge.bmp"), SmallBmpOverTheCapAt24Bits());
  AddFile(Source.File("huge.bmp"));
  AddPicture("tiny.bmp", 2, 6, 5);  // 10 percent of it is no picture at all
  AddPicture("last.bmp", 3, 40, 30);
  Job.EffectName = "Resize...";
  Job.ResizeScaleType = 2;
  Job.ResizePercent = 10;
  RunToEnd();
  Lines body = Body();
  ASSERT_GE(body.size(), 12u);
  EXPECT_EQ(Lines(body.begin(), body.begin() + 4),
            (Lines{"New width: 4", "New height: 3", "Success: first.bmp", "New name: first(4 x 3)_1.bmp"}));
  EXPECT_EQ(body[4], "Error: huge.bmp");
  auto tiny = std::find(body.begin(), body.end(), "Error: tiny.bmp");
  ASSERT_LT(tiny + 1, body.end());
  EXPECT_EQ(tiny[1], "Floating point division by zero");
  EXPECT_EQ(Lines(body.end() - 6, body.end()), (Lines{"New width: 4", "New height: 3", "Success: last.bmp",
                                                       "New name: last(4 x 3)_1.bmp", "Done: ", "Time span: "}));
  EXPECT_EQ(Written().size(), 2u);
  EXPECT_EQ(View.ProgressAtEnd, 4);
}

TEST_F(HostileRun, AMetafileTooCostlyToDrawFailsAloneBetweenPicturesThatAreWritten) {
  // A zigzag of one-unit dashes in 8 KB, between two ordinary drawings.
  const std::vector<mftest::TOrdinaryDrawing> ordinary = mftest::OrdinaryDrawings();
  mftest::Render(ordinary[0].Data);  // the first drawing makes the program's Qt application, on this thread
  WriteFile(Source.File("chart.emf"), ordinary[0].Data);
  WriteFile(Source.File("zigzag.emf"), mftest::DashedZigzag(2000, 400));
  WriteFile(Source.File("scene.wmf"), ordinary[3].Data);
  for (const char* name : {"chart.emf", "zigzag.emf", "scene.wmf"}) AddFile(Source.File(name));
  RunToEnd();
  EXPECT_EQ(Body(), (Lines{"Success: chart.emf", "New name: chart(Convert)_1.bmp", "Error: zigzag.emf",
                           "Success: scene.wmf", "New name: scene(Convert)_1.bmp", "Done: ", "Time span: "}));
  EXPECT_EQ(Written(), (std::vector<std::string>{"chart(Convert)_1.bmp", "scene(Convert)_1.bmp"}));
}

TEST_F(HostileRun, AMetafileWhoseHelperFailsEndsWithAnErrorAndTheRunGoesOn) {
  // The helper crashes, runs out of memory or out of processor time in
  // place of drawing; the picture beside is written.
  const std::pair<const char*, mfhost::TTestSettings> rows[] = {{"crash", {.Fault = mfjob::TFault::Crash}},
                                                                {"memory", {.Fault = mfjob::TFault::Memory}},
                                                                {"time", {.Fault = mfjob::TFault::Spin, .CpuSeconds = 1}}};
  WriteFile(Source.File("chart.emf"), mftest::OrdinaryDrawings()[0].Data);
  AddFile(Source.File("chart.emf"));
  AddPicture("photo.bmp");
  for (const auto& [name, settings] : rows) {
    SCOPED_TRACE(name);
    mfhost::SetTestSettings(settings);
    RunToEnd();
    mfhost::SetTestSettings({});
    EXPECT_EQ(Body(), (Lines{"Error: chart.emf", "Success: photo.bmp", "New name: photo(Convert)_1.bmp", "Done: ",
                             "Time span: "}));
    EXPECT_EQ(Written(), std::vector<std::string>{"photo(Convert)_1.bmp"});
    DeleteFile(Job.TargetDir + "photo(Convert)_1.bmp");
  }
}

TEST_F(HostileRun, StopEndsAMetafileBeingDrawnAndTheRunStopsBeforeIt) {
  // The helper would use the processor for a minute; Stop ends it, and the
  // file counts neither as an error nor as processed.
  WriteFile(Source.File("chart.emf"), mftest::OrdinaryDrawings()[0].Data);
  AddFile(Source.File("chart.emf"));
  AddPicture("photo.bmp");
  mfhost::SetTestSettings({.Fault = mfjob::TFault::Spin, .CpuSeconds = 60});
  // Stop is pressed a moment into the run, as the window presses it.
  StartApplyEffectThread(View);
  for (const uint32_t start = GetTickCount(); GetTickCount() - start < 200;) CheckSynchronize(20);
  WaitForApplyEffectThread(true);
  mfhost::SetTestSettings({});
  EXPECT_EQ(Body(), (Lines{"It was processed only 0 from 2 files", "Stopped: ", "Time span: "}));
  EXPECT_TRUE(Written().empty());
}

TEST_F(HostileRun, MetafilesOfEveryCostlyKindFailAloneAndDenseChartsDraw) {
  // Each file is converted before an ordinary drawing, which is written
  // whatever became of it. Crafted files of a few KB each stop on their
  // bounds (curves charged by the lines that follow them, glyphs by their
  // own cells and by their making, the clip's spans met by text, a clip
  // made an outline under an opaque background, saved states by what they
  // hold, clipped text met with the clip by the player, text under a clip
  // handed over in parts by each part, stretches of a picture by their
  // pixels however a comment pads them); dense charts draw, those of a wide
  // pen too, in the helper's memory.
  const std::vector<mftest::TOrdinaryDrawing> ordinary = mftest::OrdinaryDrawings();
  mftest::Render(ordinary[0].Data);  // the first drawing makes the program's Qt application, on this thread
  mftest::Emf savedStates;
  for (int i = 0; i < 100000; ++i) savedStates.Rec(mftest::EMR_SAVEDC, {});
  struct TRow {
    const char* Name;
    std::vector<uint8_t> Data;
    bool Drawn;
  };
  const TRow rows[] = {
      {"dashed curves.emf", mftest::HugeEllipses(1000, 500, false), false},
      {"xor curves.wmf", mftest::HugeEllipses(600, 500, true), false},
      {"piled glyphs.emf", mftest::LargeTexts(1, 4000, 1000, true), false},
      {"turned piled glyphs.emf", mftest::LargeTexts(1, 4000, 1000, true, true), false},
      {"glyph sizes.emf", mftest::GlyphSizes(8192, 24, u'\u0100', 800), false},
      {"texts in strips.emf", mftest::StripClip(500, 800, 1, 1000), false},
      {"opaque strips.emf", mftest::StripClip(1000, 0, 2, 2000), false},
      {"saved states.emf", savedStates.Finish(), false},
      {"clipped turned text.emf", mftest::StripClip(1000, -1, 2, 4000), false},
      {"text in clip parts.emf", mftest::BandedText(2000, 260, 100, 12), false},
      {"padded stretches.emf", mftest::PageStretches(1100, 512, 4 << 20), false},
      {"noise.emf", mftest::Trace(20000, 1000, 600, false), true},
      {"vibration.emf", mftest::Trace(16000, 1000, 600, true), true},
      {"wide pen chart.emf", mftest::WanderingTrace(150000, 1000, 600, 2), true},
      {"map.emf", mftest::PolygonMap(10000, 2000, 1500, 2), true},
      {"map of 50,000.emf", mftest::PolygonMap(50000, 2000, 1500, 5), true},
  };
  WriteFile(Source.File("chart.emf"), ordinary[0].Data);
  for (const TRow& row : rows) {
    SCOPED_TRACE(row.Name);
    WriteFile(Source.File(row.Name), row.Data);
    Job.SourceFiles.Clear();
    for (const std::string name : {row.Name, "chart.emf"}) AddFile(Source.File(name));
    RunToEnd();
    const std::string stem = std::string(row.Name).substr(0, std::string(row.Name).rfind('.'));
    Lines expected = {"Error: " + std::string(row.Name)};
    if (row.Drawn) expected = {"Success: " + std::string(row.Name), "New name: " + stem + "(Convert)_1.bmp"};
    for (const char* line : {"Success: chart.emf", "New name: chart(Convert)_1.bmp", "Done: ", "Time span: "})
      expected.push_back(line);
    EXPECT_EQ(Body(), expected);
    for (const std::string& name : Written()) DeleteFile(Job.TargetDir + name);
  }
}

}  // namespace
