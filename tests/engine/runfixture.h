// A run over temporary source and target folders, for the tests of whole
// runs.
#pragma once

#include <gtest/gtest.h>

#include "engine/recordingview.h"
#include "tests/support/testsupport.h"

class RunFixture : public ::testing::Test {
 protected:
  RunFixture() : Job(Programs.Path()), View(Job) {
    Job.SourceDir = Source.Path();
    Job.TargetDir = Target.Path();
    Job.EffectName = "Convert to selected format";
  }
  void AddPicture(const std::string& name, int seed = 0, int width = 6, int height = 5) {
    MakeTestBitmap(width, height, seed)->SaveToFile(Source.File(name));
    AddFile(Source.File(name));
  }
  void AddFile(const std::string& path) {
    Job.SourceFiles.Add(path);
    Job.FileCount = Job.SourceFiles.Count();
  }
  void RunToEnd() {
    Job.StartTicks = GetTickCount();
    StartApplyEffectThread(View);
    WaitForApplyEffectThread(false);
  }
  // The log lines after the header.
  std::vector<std::string> Body() const {
    bool convert = SameText(Job.EffectName, "Convert to selected format");
    size_t header = 6 + View.TargetLines.size() + (convert ? 1 : View.EffectLines.size());
    return {View.LogView.begin() + static_cast<long>(std::min(header, View.LogView.size())), View.LogView.end()};
  }
  TempDir Programs, Source, Target;
  TJobRecord Job;
  TRecordingRunView View;
};

inline bool StartsWith(const std::string& s, const std::string& prefix) { return s.rfind(prefix, 0) == 0; }
