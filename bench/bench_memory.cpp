// Peak memory and time of one file's road (load, conversion to 24 bits, an
// effect or none, save as JPEG), each file in a child process of its own
// that reports its peak resident size (VmHWM, which starts afresh with the
// program, unlike the peak wait4 reports, which keeps the parent's). Files:
// a 12-megapixel photo in every source format, small or junk files that
// claim large pictures (one too tall for any JPEG), and a wide and a tall
// strip (60000 x 65 and 65 x 60000 PNG) through no effect and through
// every effect of the catalogue, whose working memory grows with the
// strip's length and width alike.
//   bench_memory [junk-megabytes]                  every case (junk .jpg 400 MB by default)
//   bench_memory --road <file> <folder> [effect]   one road (what each child runs)
// Peak memory is given beyond that of the road of a 1 x 1 picture, and as
// the share of (file size + 3 x the 24-bit picture) that it takes.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <tuple>
#include <vector>

#include "bench/benchsupport.h"
#include "engine/picturefiles.h"
#include "engine/recordingview.h"
#include "platform/graphics/jpeg.h"
#include "png/pngimage.h"

extern char** environ;

namespace {

constexpr char kConvert[] = "Convert to selected format";

int Road(const std::string& file, const std::string& folder, const std::string& effect) {
  TJobRecord job(folder);
  job.TargetExtension = ".jpg";
  job.JpegQuality = 90;
  TRecordingRunView view(job);
  TApplyEffectThread worker(view);  // never started: its steps run right here
  worker.Log = std::make_unique<TStringList>();
  worker.TargetDir = folder;
  worker.SourceFiles.Add(file);
  worker.FileCount = 1;
  worker.ProcessFile(*FindEffectRoutine(effect));
  std::string result;
  for (int i = 0; i < worker.Log->Count(); ++i) result += (i ? " | " : "") + (*worker.Log)[i];
  TStringList status;
  status.LoadFromFile("/proc/self/status");
  long peakKB = 0;
  for (int i = 0; i < status.Count(); ++i)
    if (status[i].rfind("VmHWM:", 0) == 0) peakKB = std::atol(status[i].c_str() + 6);
  std::printf("%ld\n%s\n", peakKB, result.c_str());
  return 0;
}

struct Outcome {
  double PeakMB = 0, Seconds = 0;
  std::string Log;
};

Outcome RunChild(const std::string& file, const std::string& folder, const std::string& effect = kConvert) {
  std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
  std::string out = folder + "child.txt";
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  std::vector<std::string> args = {self, "--road", file, folder, effect};
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  auto start = std::chrono::steady_clock::now();
  pid_t pid = 0;
  Outcome outcome;
  if (posix_spawn(&pid, self.c_str(), &actions, nullptr, argv.data(), environ) != 0) return outcome;
  int status = 0;
  waitpid(pid, &status, 0);
  outcome.Seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  TStringList lines;
  lines.LoadFromFile(out);
  if (lines.Count() < 2) {
    outcome.Log = "(no log; status " + std::to_string(status) + ")";
    return outcome;
  }
  outcome.PeakMB = std::atol(lines[0].c_str()) / 1024.0;
  outcome.Log = lines[1];
  return outcome;
}

void Put16(std::vector<uint8_t>& d, unsigned v) {
  d.push_back(uint8_t(v));
  d.push_back(uint8_t(v >> 8));
}
void Put32(std::vector<uint8_t>& d, uint32_t v) {
  Put16(d, v & 0xFFFF);
  Put16(d, v >> 16);
}
void PutBE32(std::vector<uint8_t>& d, uint32_t v) {
  for (int s = 24; s >= 0; s -= 8) d.push_back(uint8_t(v >> s));
}

void Save(const std::string& path, const std::vector<uint8_t>& data) {
  TFileStream file(path, fmCreate);
  file.WriteBuffer(data.data(), int64_t(data.size()));
}

// A BMP of `bits` 8 or 4 whose few bytes of run-length data claim
// width x height.
std::vector<uint8_t> RleBmp(int width, int height, int bits) {
  std::vector<uint8_t> d = {'B', 'M'};
  Put32(d, 0);
  Put32(d, 0);
  Put32(d, 14 + 40 + 8);
  Put32(d, 40);
  Put32(d, uint32_t(width));
  Put32(d, uint32_t(height));
  Put16(d, 1);
  Put16(d, unsigned(bits));
  Put32(d, bits == 8 ? 1 : 2);
  Put32(d, 0);
  Put32(d, 0);
  Put32(d, 0);
  Put32(d, 2);
  Put32(d, 0);
  Put32(d, 0x000000);
  Put32(d, 0xFFFFFF);
  for (int i = 0; i < 20; ++i) d.insert(d.end(), {255, 0x11, 0, 0});  // runs, each on a new row
  d.insert(d.end(), {0, 1});
  return d;
}

// 35 bytes: a GIF whose one frame is as large as its screen.
std::vector<uint8_t> ClaimGif(int width, int height) {
  std::vector<uint8_t> d = {'G', 'I', 'F', '8', '9', 'a'};
  Put16(d, unsigned(width));
  Put16(d, unsigned(height));
  d.insert(d.end(), {0x80, 0, 0, 0, 0, 0, 255, 255, 255});
  d.push_back(0x2C);
  Put16(d, 0);
  Put16(d, 0);
  Put16(d, unsigned(width));
  Put16(d, unsigned(height));
  d.insert(d.end(), {0, 2, 2, 0x4C, 0x01, 0, 0x3B});
  return d;
}

// The GIF with its first frame shown count times: an animation of which
// the road reads only the first frame. (The frame follows the screen and
// its map, as the writer leaves it for an opaque picture.)
std::vector<uint8_t> RepeatedFrames(const std::vector<uint8_t>& gif, int count) {
  TReadOnlyMemoryStream stream(gif.data(), gif.size());
  const size_t end = size_t(GifFirstFrameEnd(stream));
  const size_t start = 13 + ((gif[10] & 0x80) ? size_t(3) << ((gif[10] & 7) + 1) : 0);
  std::vector<uint8_t> d(gif.begin(), gif.begin() + end);
  for (int i = 1; i < count; ++i) d.insert(d.end(), gif.begin() + start, gif.begin() + end);
  d.push_back(0x3B);
  return d;
}

// 46 bytes: a placeable WMF of width x height pixels with no drawing.
std::vector<uint8_t> ClaimWmf(int width, int height) {
  std::vector<uint8_t> d;
  Put32(d, 0x9AC6CDD7);
  Put16(d, 0);
  Put16(d, 0);
  Put16(d, 0);
  Put16(d, unsigned(width));
  Put16(d, unsigned(height));
  Put16(d, 96);
  Put32(d, 0);
  uint16_t sum = 0;
  for (size_t i = 0; i < 20; i += 2) sum ^= uint16_t(d[i] | (d[i + 1] << 8));
  Put16(d, sum);
  Put16(d, 1);
  Put16(d, 9);
  Put16(d, 0x0300);
  Put32(d, 12);
  Put16(d, 0);
  Put32(d, 3);
  Put16(d, 0);
  Put32(d, 3);
  Put16(d, 0);
  return d;
}

// A 1-bit grey PNG of width x height, all black.
std::vector<uint8_t> OneBitPng(int width, int height) {
  size_t rowBytes = 1 + (size_t(width) + 7) / 8;
  std::vector<uint8_t> raw(rowBytes * height, 0);
  uLongf packedSize = compressBound(uLong(raw.size()));
  std::vector<uint8_t> packed(packedSize);
  compress2(packed.data(), &packedSize, raw.data(), uLong(raw.size()), 9);
  packed.resize(packedSize);
  std::vector<uint8_t> d = {0x89, 'P', 'N', 'G', 13, 10, 26, 10};
  auto chunk = [&](const char* name, const std::vector<uint8_t>& body) {
    PutBE32(d, uint32_t(body.size()));
    size_t start = d.size();
    d.insert(d.end(), name, name + 4);
    d.insert(d.end(), body.begin(), body.end());
    PutBE32(d, uint32_t(crc32(0, &d[start], uInt(d.size() - start))));
  };
  std::vector<uint8_t> header;
  PutBE32(header, uint32_t(width));
  PutBE32(header, uint32_t(height));
  header.insert(header.end(), {1, 0, 0, 0, 0});
  chunk("IHDR", header);
  chunk("IDAT", packed);
  chunk("IEND", {});
  return d;
}

struct Case {
  std::string Name;
  int Width, Height;  // as the file claims
  std::string Effect = kConvert;
};

}  // namespace

int main(int argc, char** argv) {
  if ((argc == 4 || argc == 5) && std::string(argv[1]) == "--road")
    return Road(argv[2], argv[3], argc == 5 ? argv[4] : kConvert);
  const int64_t junkMB = argc > 1 ? std::atoll(argv[1]) : 400;

  char pattern[] = "/tmp/brightmill-memory-XXXXXX";
  const std::string folder = std::string(mkdtemp(pattern)) + "/";
  std::vector<Case> cases;
  {
    TBitmap& photo = BenchPhoto();
    photo.SaveToFile(folder + "photo.bmp");
    TJPEGImage jpeg;
    jpeg.Assign(&photo);
    jpeg.Compress();
    jpeg.SaveToFile(folder + "photo.jpg");
    jpeg.ProgressiveEncoding = true;
    jpeg.Compress();
    jpeg.SaveToFile(folder + "progressive.jpg");
    TPNGObject png;
    png.Assign(&photo);
    png.SaveToFile(folder + "photo.png");
    TJobRecord job(folder);
    job.TargetExtension = ".gif";
    std::string gif = job.SaveBitmapToTarget(photo, folder, "photo");
    std::filesystem::rename(folder + gif, folder + "photo.gif");
    Save(folder + "animation.gif", RepeatedFrames(ReadWholeFile(folder + "photo.gif"), 8));
    for (const char* name : {"photo.bmp", "photo.jpg", "progressive.jpg", "photo.png", "photo.gif", "animation.gif"})
      cases.push_back({name, BenchWidth, BenchHeight});
    auto one = std::make_unique<TBitmap>();
    one->SetPixelFormat(pf24bit);
    one->SetSize(1, 1);
    one->SaveToFile(folder + "one.bmp");
  }
  Save(folder + "rle8-claim.bmp", RleBmp(18000, 18000, 8));
  // Taller than the JPEG the road writes can be: refused before its load.
  Save(folder + "rle8-tall.bmp", RleBmp(1, 268435456, 8));
  Save(folder + "rle4-over-cap.bmp", RleBmp(20000, 20000, 4));
  Save(folder + "claim.gif", ClaimGif(18000, 18000));
  Save(folder + "claim.wmf", ClaimWmf(18000, 18000));
  Save(folder + "one-bit-over-cap.png", OneBitPng(20000, 20000));
  cases.push_back({"rle8-claim.bmp", 18000, 18000});
  cases.push_back({"rle8-tall.bmp", 1, 268435456});
  cases.push_back({"rle4-over-cap.bmp", 20000, 20000});
  cases.push_back({"claim.gif", 18000, 18000});
  cases.push_back({"claim.wmf", 18000, 18000});
  cases.push_back({"one-bit-over-cap.png", 20000, 20000});
  {
    // Sparse: it costs no disk, but reading it costs its whole size.
    TFileStream junk(folder + "junk.jpg", fmCreate);
    junk.SetSize(junkMB << 20);
  }
  cases.push_back({"junk.jpg", 0, 0});
  for (auto [name, w, h] : {std::tuple{"wide.png", 60000, 65}, {"tall.png", 65, 60000}}) {
    TPNGObject png;
    png.Assign(MakeBenchPhoto(w, h).get());
    png.SaveToFile(folder + name);
    cases.push_back({name, w, h});
    for (const TEffectRoutine& routine : EffectRoutines())
      if (routine.Caption != kConvert) cases.push_back({name, w, h, routine.Caption});
  }

  Outcome base = RunChild(folder + "one.bmp", folder);
  std::printf("Baseline (1 x 1 picture): %.1f MB peak, %.2f s\n\n", base.PeakMB, base.Seconds);
  std::printf("%-22s %-20s %12s %13s %12s %10s %9s  %s\n", "file", "effect", "file MB", "claims", "24-bit MB",
              "peak+ MB", "budget", "seconds / log");
  for (const Case& c : cases) {
    std::string path = folder + c.Name;
    double fileMB = std::filesystem::file_size(path) / 1048576.0;
    double pictureMB = (int64_t(c.Width) * 3 + 3) / 4 * 4 * double(c.Height) / 1048576.0;
    Outcome o = RunChild(path, folder, c.Effect);
    double above = std::max(0.0, o.PeakMB - base.PeakMB);
    std::string claims = c.Width ? std::to_string(c.Width) + "x" + std::to_string(c.Height) : "-";
    std::string effect = c.Effect == kConvert ? "-" : c.Effect;
    std::printf("%-22s %-20s %12.3f %13s %12.1f %10.1f %8.0f%%  %.2f s  %s\n", c.Name.c_str(), effect.c_str(), fileMB,
                claims.c_str(), pictureMB, above, 100 * above / (fileMB + 3 * pictureMB), o.Seconds, o.Log.c_str());
    // The written files: every name with "(" (the effect's suffix).
    for (const auto& entry : std::filesystem::directory_iterator(folder))
      if (entry.path().filename().string().find('(') != std::string::npos) std::filesystem::remove(entry.path());
  }
  std::filesystem::remove_all(folder);
  return 0;
}
