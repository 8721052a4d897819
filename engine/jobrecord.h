// The job: everything one batch run needs to know (folders, source types,
// the source-file list, the target format and its options, the chosen effect
// and the parameters of every effect), with the picture loaders and the
// target writer that read it. The main window holds one of these for the
// life of the program; the headless runner makes its own.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "gif/gifoptions.h"
#include "platform/system/classes.h"
#include "platform/graphics/graphics.h"

struct TClaimedFile;

// The help viewer started from the Help menu.
struct TProcessInformation {
  int64_t hProcess = 0;  // process id while it runs, 0 when none
  int64_t hThread = 0;
  uint32_t dwProcessId = 0;
  uint32_t dwThreadId = 0;
};

constexpr int EffectCount = 59;

// The values a file's road reads from the job: the target format and its
// options, the output names' case and the effects' parameters. A run takes a
// copy of them for every file when the file enters work, so a change made
// meanwhile (a dialog's OK) reaches the files that enter after it and never
// a file in progress.
struct TJobValues {
  std::string TargetExtension = ".bmp";
  bool LowerCaseNames = false;

  // Encodes the finished picture in the target format with the job's
  // options, in memory; null when it cannot be encoded. The picture may be
  // changed on the way (a BMP's pixel format, a GIF's transparency).
  std::unique_ptr<TMemoryStream> EncodeForTarget(TBitmap& bitmap) const;
  // Writes encoded data into targetDir as newBaseName + "_" + n +
  // TargetExtension with the first free n. Answers the written file's name
  // (without the folder), or "Error". Never replaces a file.
  std::string WriteToTarget(TMemoryStream& encoded, const std::string& targetDir,
                            const std::string& newBaseName) const;
  // Both in one, on the main thread: also sets the GIF codec's process-wide
  // defaults from the job's GIF options when it writes a GIF.
  std::string SaveBitmapToTarget(TBitmap& bitmap, const std::string& targetDir, const std::string& newBaseName) const;
  // The GIF codec's process-wide defaults follow the job's GIF options.
  void SetGifDefaults() const;

  // --- B. Target-format options -----------------------------------------------
  TColor PngTransparentColor = clNone;
  bool PngInterlace = false;
  int PngCompressionLevel = 6;
  bool GifTransparent = false;
  TColorReduction GifColorReduction = rmQuantize;
  std::string GifColorReductionText = "Quantize";
  int GifColorBits = 8;
  std::string GifColorsText = "256";
  TDitherMode GifDitherMode = dmNearest;
  std::string GifDitherText = "Nearest";
  TGIFCompression GifCompression = gcLZW;
  TColor GifTransparentColor = clNone;
  int JpegQuality = 100;
  TPixelFormat BmpPixelFormat = pf24bit;
  std::string BmpPixelFormatText = "Pixel format: 24 bit";

  // --- C. Effect parameters ---------------------------------------------------
  int GridStep = 32, GridTransparency = 60;
  int AntialiasPasses = 2;
  int BlurAngle = 10;
  int RedTone = 128, GreenTone = 128, BlueTone = 128;
  int ContrastRange = 100;
  int CylinderStretch = 10;
  int FractalIterations = 2;
  int GammaValue = 8;  // gamma = (GammaValue + 2) * 0.1
  int GaussPasses = 1;
  int GlasstileX = 20, GlasstileY = 20;
  int IllusionAmount = 10;
  int LensFireX = 2, LensFireY = 2;
  int LightnessAmount = 100;
  int MoireDegree = 10;
  int OilSmooth = 10, OilBrush = 2;
  int PixelSize = 3;
  int PosterizeStep = 1;
  int PuzzleAcross = 5, PuzzleDown = 5;
  int RibbonWidth = 50, RibbonFrequency = 50;
  int RainDropCount = 100, RainDropSize = 20;
  int SphereX = 50, SphereY = 50;
  int SepiaValue = 35;
  int SaturationDepth = 100;
  int SplitLightValue = 3;
  int SolorizedValue = 255;
  int SwirlDegree = 3;
  int TileValue = 2;
  int ThresholdLevel = 128;
  int TwistValue = 50;
  int WarpFactor = 5;
  int WindLevel = 5;
  int RgbRed = 0, RgbGreen = 0, RgbBlue = 0;
  int HlsHue = 15, HlsLightness = 10, HlsSaturation = 10;
  int TileReflectionAngle = 0, TileReflectionSize = 6, TileReflectionCurvature = 16;
  int FishEyeZoom = 70, FishEyeRadius = 40;
  bool FishEyeInversion = false;
  int TexturingLevel = 10, TexturingType = 0;
  int SoftenedLevel = 25, SoftenedType = 0;
  int NoiseDegree = 5, NoiseType = 0;
  int ShakeValue = 20, ShakeDirection = 0;
  int RippleValue = 10, RippleType = 0;
  int FigureValue = 40, FigureType = 1;
  int SharpnessLevel = 10, SharpnessType = 0;
  int EmbossLevel = 40, EmbossType = 0;
  int DetectEdgeLevel = 40, DetectEdgeType = 0;
  int IncreaseZoom = 2, IncreaseType = 0;
  int WatermarkLevel = 70;
  bool WatermarkInverse = false;
  bool WatermarkFromFile = true;
  std::string WatermarkFile;
  TColor WatermarkColor = 0x8000;
  int ResizeWidth = 0, ResizeHeight = 0;
  int ResizeScaleType = 0;  // 0 fix width, 1 fix height, 2 scale by percent
  int ResizePercent = 100;
  std::array<std::string, 3> ScaleTypeNames = {"fix Width", "fix Height", "scale"};
  bool ResizePreserveAspect = true;
  int VideoLightness = 40, VideoType = 0;
  int FlipMode = 0;  // 0 horizontal, 1 vertical, 2 both
  int RotateAngle = 45;
  bool RotateSmooth = false;
};

class TJobRecord : public TJobValues {
 public:
  // Sets every default and builds the watermark pattern from
  // programFolder + "back.bmp" (a 60 x 60 square of WatermarkColor when that
  // file is missing or not a readable picture). programFolder ends with '/'.
  explicit TJobRecord(const std::string& programFolder);
  virtual ~TJobRecord();
  TJobRecord(const TJobRecord&) = delete;
  TJobRecord& operator=(const TJobRecord&) = delete;

  // --- Picture loading and saving --------------------------------------------

  // Loads a GIF file into the bitmap; false when it cannot be read.
  static bool LoadGifToBitmap(const std::string& path, TBitmap& bitmap);
  // Loads a BMP, EMF, WMF, JPEG, PNG or ICO file (chosen by the extension)
  // into the bitmap; false when it cannot be read or the extension is none
  // of these.
  static bool LoadImageToBitmap(const std::string& path, TBitmap& bitmap);
  // Either loader, chosen by the extension (".gif" or not).
  static bool LoadPictureToBitmap(const std::string& path, TBitmap& bitmap);
  // Loads a file claimed by ClaimFile with the loader its kind names: the
  // bytes it decodes are read from its open file once and claimed again in
  // memory (TClaimedFile::ReadClaimedData). False when it cannot be read,
  // its claim is not readable, it is no longer the file claimed or its
  // bytes claim more than it did. The load takes the open file.
  static bool LoadClaimedPicture(TClaimedFile& source, TBitmap& bitmap);

  // --- The effect list -----------------------------------------------------------
  // Empties AllEffectNames and appends the 59 captions of the effect
  // catalogue in list order (effectcatalogue.h).
  void FillAllEffectNames();

  // --- A. Window, files and run state -----------------------------------------
  TProcessInformation HelpProcess;
  uint32_t HelpExitCode = 0;
  std::string ProgramFolder;
  std::string VersionText = "1.4.1";
  std::string HelpCommandLine;
  std::string SettingsFolder;
  bool SourceBmp = true, SourceJpg = true, SourceGif = true, SourcePng = true, SourceIco = true,
       SourceEmf = true, SourceWmf = true;
  bool IncludeSubfolders = false;
  bool SourcePanelExpanded = true;
  bool TargetPanelExpanded = true;
  bool SaveEnvironment = false;
  int SourcePanelWidth = 0;
  int TargetPanelWidth = 0;
  int TargetFormat = 0;
  int EffectIndex = 0;
  int PreviewIndex = 0;
  std::string SourceDir;
  std::string TargetDir;
  std::string EffectName;
  std::string VersionTag;
  std::string PreviewFile;
  // Read by the worker thread between files, so it is atomic.
  std::atomic<int> FileCount{0};
  uint32_t StartTicks = 0;
  TStringList SourceFiles;
  TStringList AllEffectNames;
  TStringList VisibleEffectNames;
  int SimpleEffectKind = 0, OneTrackKind = 0, TwoTrackKind = 0, RgbKind = 0, GroupEffectKind = 0;
  bool Busy = false;
  // How many files a run works on at once; 0 or less for one per core.
  int FilesInFlight = 0;
  // The memory the pictures of the files in work may take together; 0 or
  // less for RunMemoryBudget() (applythread.h).
  int64_t MemoryBudget = 0;
  // The watermark effect's pattern (24-bit).
  std::unique_ptr<TBitmap> WatermarkBitmap;

  // --- D. Effect visibility ---------------------------------------------------
  std::array<bool, EffectCount> EffectVisible{};

 private:
  void BuildWatermarkPattern();
};
