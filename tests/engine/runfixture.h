// A run over temporary source and target folders, for the tests of whole
// runs.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <regex>

#include "effects/random.h"
#include "engine/recordingview.h"
#include "tests/support/testsupport.h"

using Lines = std::vector<std::string>;

class RunFixture : public ::testing::Test {
 protected:
  RunFixture() : Job(Programs.Path()), View(Job) {
    Job.SourceDir = Source.Path();
    Job.TargetDir = Target.Path();
    Job.EffectName = "Convert to selected format";
  }
  // A test picture saved in the source folder and added to the run's list.
  void AddPicture(const std::string& name, int seed = 0, int width = 6, int height = 5) {
    MakeTestBitmap(width, height, seed)->SaveToFile(Source.File(name));
    AddFile(Source.File(name));
  }
  void AddFile(const std::string& path) {
    Job.SourceFiles.Add(path);
    Job.FileCount = Job.SourceFiles.Count();
  }
  // Runs the job to its end; answers the milliseconds the run took as seen
  // from here, which the log's time span may not exceed.
  uint32_t RunToEnd() {
    Job.StartTicks = GetTickCount();
    StartApplyEffectThread(View);
    WaitForApplyEffectThread(false);
    return GetTickCount() - Job.StartTicks;
  }
  // A run of the effect over the file alone in the list, the effects'
  // generators as at start; answers Body().
  Lines RunOn(const std::string& effect, const std::string& file) {
    Job.SourceFiles.Clear();
    AddFile(file);
    Job.EffectName = effect;
    ResetEffectRandomGenerators();
    RunToEnd();
    return Body();
  }
  // The log lines after the header, the closing lines without their times.
  Lines Body() const {
    bool convert = SameText(Job.EffectName, "Convert to selected format");
    size_t header = 6 + View.TargetLines.size() + (convert ? 1 : View.EffectLines.size());
    Lines body;
    for (size_t i = std::min(header, View.LogView.size()); i < View.LogView.size(); ++i) {
      body.push_back(View.LogView[i]);
      for (const char* timed : {"Done: ", "Stopped: ", "Time span: "})
        if (body.back().rfind(timed, 0) == 0) body.back() = timed;
    }
    return body;
  }
  // The seconds of a "Time span: " line written by the pattern "#,#0.0"
  // (groups of three digits, one decimal), or -1 when the line has another
  // form.
  static double TimeSpanSeconds(const std::string& line) {
    std::smatch match;
    if (!std::regex_match(line, match, std::regex(R"(Time span: (\d{1,3}(,\d{3})*\.\d) s)"))) return -1;
    std::string digits = match[1];
    digits.erase(std::remove(digits.begin(), digits.end(), ','), digits.end());
    return std::stod(digits);
  }
  TempDir Programs, Source, Target;
  TJobRecord Job;
  TRecordingRunView View;
};
