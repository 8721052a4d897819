// The engine's tables row by row: which extensions each source-type flag
// admits, which format each target extension and BMP pixel format writes,
// and the status texts of a run.
#include "engine/sourcescan.h"
#include "tests/engine/runfixture.h"

TEST(EngineTables, EachSourceTypeFlagAdmitsItsOwnExtensions) {
  TempDir dir;
  const char* const names[] = {"a.BMP", "b.jpg", "c.Jpeg", "d.png", "e.gif", "f.ico", "g.emf", "h.WMF", "i.txt"};
  for (const char* name : names) WriteTextFile(dir.File(name), "x");
  const struct {
    bool TJobRecord::*Flag;
    std::vector<std::string> Admitted;
  } rows[] = {
      {&TJobRecord::SourceBmp, {"a.BMP"}}, {&TJobRecord::SourceJpg, {"b.jpg", "c.Jpeg"}},
      {&TJobRecord::SourcePng, {"d.png"}}, {&TJobRecord::SourceGif, {"e.gif"}},
      {&TJobRecord::SourceIco, {"f.ico"}}, {&TJobRecord::SourceEmf, {"g.emf"}},
      {&TJobRecord::SourceWmf, {"h.WMF"}},
  };
  TJobRecord job(dir.Path());
  for (const auto& row : rows) {
    // The flag alone on.
    for (const auto& other : rows) job.*other.Flag = false;
    job.*row.Flag = true;
    TStringList files;
    ScanSourceFolder(dir.Path(), false, SourceTypesOf(job), files);
    std::vector<std::string> found;
    for (int i = 0; i < files.Count(); ++i) found.push_back(ExtractFileName(files[i]));
    EXPECT_EQ(found, row.Admitted) << row.Admitted[0];
  }
}

TEST(EngineTables, EachTargetExtensionAndBmpFormatWritesItsOwnFile) {
  TempDir dir;
  TJobRecord job(dir.Path());
  auto picture = MakeTestBitmap(12, 7, 3);
  const struct {
    const char* Extension;
    std::string Signature;
  } formats[] = {
      {".bmp", "BM"}, {".jpg", "\xFF\xD8\xFF"}, {".jpeg", "\xFF\xD8\xFF"}, {".gif", "GIF8"}, {".png", "\x89PNG"}};
  for (const auto& format : formats) {
    job.TargetExtension = format.Extension;
    const std::string name = job.SaveBitmapToTarget(*picture, dir.Path(), "p");
    ASSERT_EQ(name, std::string("p_1") + format.Extension);
    const std::vector<uint8_t> file = ReadFile(dir.File(name));
    EXPECT_EQ(std::string(file.begin(), file.begin() + long(format.Signature.size())), format.Signature) << name;
  }
  // The BMP's bits per pixel follow the job's pixel format, and it reads
  // back in that format (16 bits as 5-6-5).
  job.TargetExtension = ".bmp";
  const std::pair<TPixelFormat, int> bits[] = {{pf1bit, 1},   {pf4bit, 4},   {pf8bit, 8},
                                               {pf16bit, 16}, {pf24bit, 24}, {pf32bit, 32}};
  for (auto [pixelFormat, count] : bits) {
    job.BmpPixelFormat = pixelFormat;
    auto copy = MakeTestBitmap(12, 7, 3);
    const std::string number = IntToStr(count);
    const std::string name = job.SaveBitmapToTarget(*copy, dir.Path(), "f" + number);
    const std::vector<uint8_t> file = ReadFile(dir.File(name));
    ASSERT_GT(file.size(), 30u) << name;
    EXPECT_EQ(file[28] | file[29] << 8, count) << name;
    TBitmap back;
    back.LoadFromFile(dir.File(name));
    EXPECT_EQ(back.PixelFormat(), pixelFormat) << name;
  }
}

class RunStatus : public RunFixture {};

TEST_F(RunStatus, ProcessingAndTheFileWhileARunGoesOnThenNothing) {
  AddPicture("one.bmp");
  std::vector<std::pair<std::string, std::string>> shown;
  View.OnFile = [&](const std::string&) { shown.emplace_back(View.Status[0], View.Status[1]); };
  RunToEnd();
  EXPECT_EQ(shown, (std::vector<std::pair<std::string, std::string>>{{"Processing", "one.bmp"}}));
  EXPECT_EQ(View.Status[0], "");
  EXPECT_EQ(View.Status[1], "");
}
