// A run ends under whatever OpenMP settings the environment carries, with
// the files and the log of a run under the runtime's defaults: a team
// smaller than asked for (a thread limit, no active levels, dynamic teams)
// down to a team of one, one thread, busy waits. The runtime reads its
// settings once, when the program starts, so each setting gets a process of
// its own: this program, run again for this test alone, which does the same
// runs and an effect outside a run and leaves what they wrote in a folder
// the test compares. A process that does not end in time fails the test.
#include <cstdlib>
#include <map>

#include "effects/neighbourhood.h"
#include "tests/engine/runfixture.h"

namespace {

// Set in the process that works: the folder of the pictures, and where the
// process leaves what it wrote.
constexpr char kSourceFolder[] = "BRIGHTMILL_OPENMP_SOURCE";
constexpr char kOutFolder[] = "BRIGHTMILL_OPENMP_OUT";

// Every OpenMP setting that shapes a team or its waits; each process starts
// with none of them but those its case sets.
const char* const kSettings[] = {"OMP_THREAD_LIMIT", "OMP_MAX_ACTIVE_LEVELS", "OMP_NESTED", "OMP_DYNAMIC",
                                 "OMP_NUM_THREADS", "OMP_WAIT_POLICY", "OMP_PROC_BIND", "OMP_PLACES",
                                 "GOMP_SPINCOUNT"};

// The runs: a plain conversion, an effect worked in row bands on the large
// picture, and two that draw random numbers (their steps wait for one
// another in the files' order).
struct TRunCase {
  const char* Effect;
  const char* Extension;
};
const TRunCase kRuns[] = {{"Convert to selected format", ".png"},
                          {"Gauss blur...", ".bmp"},
                          {"Noise...", ".gif"},
                          {"Rain drops...", ".jpg"}};

// Every file below a folder (one level of sub-folders) with its bytes.
std::map<std::string, std::vector<uint8_t>> FolderBytes(const std::string& folder) {
  std::map<std::string, std::vector<uint8_t>> files;
  for (const std::string& name : FolderEntries(folder)) {
    if (DirectoryExists(folder + name)) {
      for (const std::string& inner : FolderEntries(folder + name + "/"))
        files[name + "/" + inner] = ReadFile(folder + name + "/" + inner);
    } else {
      files[name] = ReadFile(folder + name);
    }
  }
  return files;
}

}  // namespace

class OpenMPSettings : public RunFixture {
 protected:
  // In the process that works: every run over the source folder's files,
  // each into a folder of its own beside its log, and the Gauss blur of the
  // large picture outside a run (the dialogs' previews and a single effect
  // spread their bands in a team of their own).
  void WorkInto(const std::string& source, const std::string& out) {
    for (const std::string& name : FolderEntries(source)) AddFile(source + name);
    Job.NoiseType = 1;
    for (const TRunCase& run : kRuns) {
      const std::string target = out + std::string(run.Effect).substr(0, 5) + "/";
      ASSERT_TRUE(CreateDir(target));
      Job.TargetDir = target;
      Job.TargetExtension = run.Extension;
      Job.EffectName = run.Effect;
      ResetEffectRandomGenerators();
      RunToEnd();
      std::string log;
      for (const std::string& line : Body()) log += line + "\n";
      WriteTextFile(out + std::string(run.Effect).substr(0, 5) + ".log", log);
    }
    auto picture = MakeNoiseBitmap(600, 520, 7);
    ApplyGauss(*picture, 2);
    picture->SaveToFile(out + "outside.bmp");
  }
};

TEST_F(OpenMPSettings, ARunEndsWithTheFilesAndLogOfTheDefaults) {
  const char* source = std::getenv(kSourceFolder);
  const char* out = std::getenv(kOutFolder);
  if (source && out) return WorkInto(source, out);

  // Pictures of several formats, one large enough for row bands, one that
  // cannot be read.
  MakeTestBitmap(23, 17, 1)->SaveToFile(Source.File("a.bmp"));
  MakeNoiseBitmap(530, 500, 2)->SaveToFile(Source.File("b.bmp"));
  MakeNoiseBitmap(31, 29, 3)->SaveToFile(Source.File("c.bmp"));
  WriteTextFile(Source.File("d.png"), "\x89PNG\r\n\x1A\n not really");
  MakeTestBitmap(17, 41, 5)->SaveToFile(Source.File("e.bmp"));

  auto workUnder = [&](std::vector<std::string> variables) {
    TempDir folder;
    for (const char* setting : kSettings) {
      bool set = false;
      for (const std::string& variable : variables) set = set || variable.rfind(std::string(setting) + "=", 0) == 0;
      if (!set) variables.push_back(setting);
    }
    variables.push_back(std::string(kSourceFolder) + "=" + Source.Path());
    variables.push_back(std::string(kOutFolder) + "=" + folder.Path());
    const int status = RunCurrentTestInOwnProcess(variables, 240);
    auto files = FolderBytes(folder.Path());
    EXPECT_EQ(status, 0) << "did not end, or failed (its output is above)";
    return std::make_pair(status, files);
  };
  const auto defaults = workUnder({});
  ASSERT_EQ(defaults.first, 0);
  // Four written files and the log of each run, and the effect outside a
  // run; every log tells of the file that cannot be read.
  ASSERT_EQ(defaults.second.size(), 4u * (4 + 1) + 1);
  for (const TRunCase& run : kRuns) {
    const auto log = defaults.second.find(std::string(run.Effect).substr(0, 5) + ".log");
    ASSERT_NE(log, defaults.second.end()) << run.Effect;
    EXPECT_NE(std::string(log->second.begin(), log->second.end()).find("Error: d.png\n"), std::string::npos);
  }

  const std::vector<std::vector<std::string>> settings = {
      {"OMP_THREAD_LIMIT=1"},
      {"OMP_MAX_ACTIVE_LEVELS=0"},
      {"OMP_NUM_THREADS=1"},
      {"OMP_THREAD_LIMIT=2"},
      {"OMP_NUM_THREADS=3"},
      {"OMP_DYNAMIC=true"},
      {"OMP_DYNAMIC=true", "OMP_THREAD_LIMIT=1"},
      {"OMP_WAIT_POLICY=ACTIVE"},
      {"OMP_WAIT_POLICY=ACTIVE", "OMP_THREAD_LIMIT=1"},
      {"OMP_NESTED=false", "OMP_MAX_ACTIVE_LEVELS=1", "OMP_NUM_THREADS=2"},
  };
  for (const auto& setting : settings) {
    std::string shown;
    for (const std::string& variable : setting) shown += variable + " ";
    const auto under = workUnder(setting);
    EXPECT_TRUE(under.second == defaults.second) << shown << "gave other files or logs";
  }
}
