#include "tests/support/testsupport.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sched.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <iostream>
#include <filesystem>
#include <random>

#include <gtest/gtest.h>

extern char** environ;

TempDir::TempDir() : TempDir(std::filesystem::temp_directory_path().string()) {}

TempDir::TempDir(const std::string& parent) {
  std::string pattern = parent + "/brightmill-test-XXXXXX";
  std::vector<char> buffer(pattern.begin(), pattern.end());
  buffer.push_back(0);
  if (!mkdtemp(buffer.data())) throw Exception("Cannot create a temporary folder");
  FPath = std::string(buffer.data()) + "/";
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::permissions(FPath, std::filesystem::perms::owner_all, ignored);
  std::filesystem::remove_all(FPath, ignored);
}

std::vector<std::string> FolderEntries(const std::string& folder) {
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(folder, ec))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

void WriteFile(const std::string& path, const std::vector<uint8_t>& data) {
  TFileStream file(path, fmCreate);
  file.WriteBuffer(data.data(), static_cast<int64_t>(data.size()));
}

void WriteTextFile(const std::string& path, const std::string& text) {
  WriteFile(path, std::vector<uint8_t>(text.begin(), text.end()));
}

std::vector<uint8_t> ReadFile(const std::string& path) { return ReadWholeFile(path); }

void RewriteInPlace(const std::string& path, const std::vector<uint8_t>& data, bool timeBack) {
  struct stat before {};
  const int file = open(path.c_str(), O_WRONLY | O_CLOEXEC);
  if (file < 0 || fstat(file, &before) != 0 || pwrite(file, data.data(), data.size(), 0) != ssize_t(data.size()))
    throw Exception("Cannot rewrite " + path);
  const timespec times[2] = {before.st_atim, before.st_mtim};
  if (timeBack && futimens(file, times) != 0) throw Exception("Cannot set the time of " + path);
  close(file);
}

void WaitPastChangeTime(const std::string& path) {
  struct stat st {};
  if (stat(path.c_str(), &st) != 0) throw Exception("Cannot read the times of " + path);
  // The system stamps files by its coarse clock.
  for (timespec now{}; clock_gettime(CLOCK_REALTIME_COARSE, &now) == 0 &&
                       (now.tv_sec < st.st_ctim.tv_sec ||
                        (now.tv_sec == st.st_ctim.tv_sec && now.tv_nsec <= st.st_ctim.tv_nsec));)
    sched_yield();
}

std::string ReadTextFile(const std::string& path) {
  std::vector<uint8_t> data = ReadFile(path);
  return std::string(data.begin(), data.end());
}

std::vector<std::string> Strings(const TStringList& list) {
  std::vector<std::string> lines;
  for (int i = 0; i < list.Count(); ++i) lines.push_back(list[i]);
  return lines;
}

ByteWriter& ByteWriter::U8(uint8_t v) {
  Data.push_back(v);
  return *this;
}

ByteWriter& ByteWriter::U16(uint16_t v) {
  Data.push_back(static_cast<uint8_t>(v));
  Data.push_back(static_cast<uint8_t>(v >> 8));
  return *this;
}

ByteWriter& ByteWriter::U32(uint32_t v) {
  for (int i = 0; i < 4; ++i) Data.push_back(static_cast<uint8_t>(v >> (8 * i)));
  return *this;
}

ByteWriter& ByteWriter::Bytes(const void* data, size_t size) {
  auto* p = static_cast<const uint8_t*>(data);
  Data.insert(Data.end(), p, p + size);
  return *this;
}

ByteWriter& ByteWriter::Zeros(size_t count) {
  Data.insert(Data.end(), count, 0);
  return *this;
}

ByteWriter& ByteWriter::Align(size_t n) {
  while (Data.size() % n) Data.push_back(0);
  return *this;
}

void ByteWriter::PatchU32(size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) Data.at(at + i) = static_cast<uint8_t>(v >> (8 * i));
}

std::unique_ptr<TBitmap> MakeTestBitmap(int width, int height, int seed) {
  auto bitmap = std::make_unique<TBitmap>();
  bitmap->SetPixelFormat(pf24bit);
  bitmap->SetSize(width, height);
  for (int y = 0; y < height; ++y) {
    uint8_t* row = bitmap->ScanLine(y);
    for (int x = 0; x < width; ++x) {
      row[3 * x] = static_cast<uint8_t>(x + seed);
      row[3 * x + 1] = static_cast<uint8_t>(y + seed);
      row[3 * x + 2] = static_cast<uint8_t>(x + y + seed);
    }
  }
  return bitmap;
}

std::unique_ptr<TBitmap> MakeFlatBitmap(int width, int height, TColor color, TPixelFormat format) {
  auto bitmap = std::make_unique<TBitmap>();
  bitmap->SetPixelFormat(format);
  bitmap->SetSize(width, height);
  bitmap->Canvas()->Brush.Color = color;
  bitmap->Canvas()->FillRect(Rect(0, 0, width, height));
  return bitmap;
}

std::unique_ptr<TBitmap> MakeColorBitmap(int width, const std::vector<TColor>& colors) {
  const int height = static_cast<int>(colors.size()) / width;
  auto bitmap = MakeTestBitmap(width, height);
  for (int i = 0; i < width * height; ++i) bitmap->Canvas()->SetPixel(i % width, i / width, colors[i]);
  return bitmap;
}

std::unique_ptr<TBitmap> MakeNoiseBitmap(int width, int height, unsigned seed) {
  auto bitmap = MakeTestBitmap(width, height);
  std::mt19937 random(seed);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < 3 * width; ++x) bitmap->ScanLine(y)[x] = static_cast<uint8_t>(random());
  return bitmap;
}

TColor PixelAt(TBitmap& bitmap, int x, int y) {
  return static_cast<TColor>(DibGetPixel(*bitmap.Handle(), x, y));
}

bool SameColors(TBitmap& a, TBitmap& b) {
  if (a.Width() != b.Width() || a.Height() != b.Height()) return false;
  for (int y = 0; y < a.Height(); ++y)
    for (int x = 0; x < a.Width(); ++x)
      if (PixelAt(a, x, y) != PixelAt(b, x, y)) return false;
  return true;
}

std::string PixelTable(TBitmap& bitmap, int channels) {
  std::string text;
  for (int y = 0; y < bitmap.Height(); ++y)
    for (int x = 0; x < bitmap.Width(); ++x) {
      text += x ? " " : (y ? "\n" : "");
      TColor color = PixelAt(bitmap, x, y);
      for (int c = 0; c < channels; ++c) text += std::string(c ? "," : "") + std::to_string((color >> (16 - 8 * c)) & 0xFF);
    }
  return text;
}

std::string ColorLetters(TBitmap& bitmap) {
  const std::pair<TColor, char> letters[] = {{clBlack, 'K'}, {clWhite, 'W'}, {clRed, 'R'}, {clLime, 'G'},
                                             {clBlue, 'B'}, {clYellow, 'Y'}, {clFuchsia, 'F'}, {clAqua, 'A'}};
  std::string text;
  for (int y = 0; y < bitmap.Height(); ++y)
    for (int x = 0; x < bitmap.Width(); ++x) {
      if (x == 0 && y > 0) text += '\n';
      char letter = '?';
      for (const auto& [color, c] : letters)
        if (PixelAt(bitmap, x, y) == color) letter = c;
      text += letter;
    }
  return text;
}

std::vector<uint8_t> SavedBytes(TGraphic& graphic) {
  TMemoryStream stream;
  graphic.SaveToStream(stream);
  return std::vector<uint8_t>(stream.Memory(), stream.Memory() + stream.Size());
}

std::string TestDataFolder() { return std::string(BRIGHTMILL_SOURCE_DIR) + "/tests/data/"; }

std::vector<std::string> RegressionInputs(const std::string& kind) {
  std::vector<std::string> files;
  std::string folder = TestDataFolder() + "regressions/" + kind;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(folder, ec))
    if (entry.is_regular_file()) files.push_back(entry.path().string());
  std::sort(files.begin(), files.end());
  if (files.empty()) ADD_FAILURE() << "No regression inputs in " << folder;
  return files;
}

void ReplayRegressionInputs(const std::string& kind, const RegressionRun& run, const std::string& message) {
  for (const std::string& path : RegressionInputs(kind)) {
    try {
      run(ReadFile(path));
    } catch (const EInvalidGraphic& e) {
      EXPECT_TRUE(message.empty() || e.Message == message) << path << ": " << e.Message;
    } catch (const EOutOfMemory&) {
    }
  }
}

HGLOBAL GlobalBlockOf(const std::vector<uint8_t>& bytes) {
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, bytes.size());
  std::copy(bytes.begin(), bytes.end(), static_cast<uint8_t*>(GlobalLock(block)));
  GlobalUnlock(block);
  return block;
}

std::vector<uint8_t> GlobalBlockBytes(HGLOBAL block) {
  const auto* p = static_cast<const uint8_t*>(GlobalLock(block));
  std::vector<uint8_t> bytes(p, p + (p ? GlobalSize(block) : 0));
  GlobalUnlock(block);
  return bytes;
}

int RunCurrentTestInOwnProcess(const std::vector<std::string>& variables, int timeoutSeconds) {
  const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
  std::string self = "/proc/self/exe";
  std::string filter = std::string("--gtest_filter=") + test->test_suite_name() + "." + test->name();
  char* argv[] = {self.data(), filter.data(), nullptr};
  auto nameOf = [](const std::string& variable) { return variable.substr(0, variable.find('=')); };
  std::vector<std::string> kept;
  for (char** variable = environ; *variable; ++variable) {
    const std::string name = nameOf(*variable);
    if (std::none_of(variables.begin(), variables.end(), [&](const std::string& v) { return nameOf(v) == name; }))
      kept.push_back(*variable);
  }
  for (const std::string& variable : variables)
    if (variable.find('=') != std::string::npos) kept.push_back(variable);
  std::vector<char*> env;
  for (std::string& variable : kept) env.push_back(variable.data());
  env.push_back(nullptr);
  std::cout.flush();
  std::fflush(nullptr);
  pid_t child = 0;
  if (posix_spawn(&child, self.c_str(), nullptr, nullptr, argv, env.data()) != 0) return -1;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
  int status = 0;
  for (;;) {
    const pid_t ended = waitpid(child, &status, timeoutSeconds > 0 ? WNOHANG : 0);
    if (ended == child) break;
    if (ended < 0 && errno != EINTR) return -1;
    if (std::chrono::steady_clock::now() >= deadline) {
      kill(child, SIGKILL);
      waitpid(child, &status, 0);
      return -1;
    }
    usleep(20000);
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
