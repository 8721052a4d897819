#include "engine/jobmembers.h"

#include <variant>

namespace {

struct Member {
  const char* Name;
  // Where the value lives in a job, and its kind.
  std::variant<int TJobRecord::*, bool TJobRecord::*, std::string TJobRecord::*, TColorReduction TJobRecord::*,
               TDitherMode TJobRecord::*, TGIFCompression TJobRecord::*, TPixelFormat TJobRecord::*>
      Field;
  int Min = -0x7FFFFFFF, Max = 0x7FFFFFFF;  // for enumerations
};

#define M(name) Member{#name, &TJobRecord::name}
#define E(name, max) Member{#name, &TJobRecord::name, 0, max}

const std::vector<Member>& Members() {
  static const std::vector<Member> members = {
      M(SourceBmp), M(SourceJpg), M(SourceGif), M(SourcePng), M(SourceIco), M(SourceEmf), M(SourceWmf),
      M(IncludeSubfolders), M(SaveEnvironment), M(TargetFormat), M(EffectIndex), M(PreviewIndex), M(SourceDir),
      M(TargetDir), M(EffectName), M(TargetExtension), M(LowerCaseNames), M(FilesInFlight),
      M(PngTransparentColor), M(PngInterlace), M(PngCompressionLevel), M(GifTransparent),
      E(GifColorReduction, rmPalette), M(GifColorBits), E(GifDitherMode, dmBurkes), E(GifCompression, gcRLE),
      M(GifTransparentColor), M(JpegQuality), E(BmpPixelFormat, pfCustom),
      M(GridStep), M(GridTransparency), M(AntialiasPasses), M(BlurAngle), M(RedTone), M(GreenTone), M(BlueTone),
      M(ContrastRange), M(CylinderStretch), M(FractalIterations), M(GammaValue), M(GaussPasses), M(GlasstileX),
      M(GlasstileY), M(IllusionAmount), M(LensFireX), M(LensFireY), M(LightnessAmount), M(MoireDegree),
      M(OilSmooth), M(OilBrush), M(PixelSize), M(PosterizeStep), M(PuzzleAcross), M(PuzzleDown), M(RibbonWidth),
      M(RibbonFrequency), M(RainDropCount), M(RainDropSize), M(SphereX), M(SphereY), M(SepiaValue),
      M(SaturationDepth), M(SplitLightValue), M(SolorizedValue), M(SwirlDegree), M(TileValue), M(ThresholdLevel),
      M(TwistValue), M(WarpFactor), M(WindLevel), M(RgbRed), M(RgbGreen), M(RgbBlue), M(HlsHue), M(HlsLightness),
      M(HlsSaturation), M(TileReflectionAngle), M(TileReflectionSize), M(TileReflectionCurvature),
      M(FishEyeZoom), M(FishEyeRadius), M(FishEyeInversion), M(TexturingLevel), M(TexturingType),
      M(SoftenedLevel), M(SoftenedType), M(NoiseDegree), M(NoiseType), M(ShakeValue), M(ShakeDirection),
      M(RippleValue), M(RippleType), M(FigureValue), M(FigureType), M(SharpnessLevel), M(SharpnessType),
      M(EmbossLevel), M(EmbossType), M(DetectEdgeLevel), M(DetectEdgeType), M(IncreaseZoom), M(IncreaseType),
      M(WatermarkLevel), M(WatermarkInverse), M(WatermarkColor), M(ResizeWidth), M(ResizeHeight),
      M(ResizeScaleType), M(ResizePercent), M(ResizePreserveAspect), M(VideoLightness), M(VideoType),
      M(FlipMode), M(RotateAngle), M(RotateSmooth),
  };
  return members;
}

#undef M
#undef E

bool ParseBool(const std::string& text, bool& out) {
  if (SameText(text, "true") || text == "1") out = true;
  else if (SameText(text, "false") || text == "0") out = false;
  else return false;
  return true;
}

}  // namespace

bool SetJobMember(TJobRecord& job, const std::string& name, const std::string& value) {
  for (const Member& member : Members()) {
    if (!SameText(member.Name, name)) continue;
    return std::visit(
        [&](auto field) -> bool {
          using T = std::remove_reference_t<decltype(job.*field)>;
          if constexpr (std::is_same_v<T, std::string>) {
            job.*field = value;
            return true;
          } else if constexpr (std::is_same_v<T, bool>) {
            return ParseBool(value, job.*field);
          } else {
            int number = 0;
            try {
              number = StrToInt(value);
            } catch (const EConvertError&) {
              return false;
            }
            if (number < member.Min || number > member.Max) return false;
            job.*field = static_cast<T>(number);
            return true;
          }
        },
        member.Field);
  }
  return false;
}

std::vector<std::string> JobMemberNames() {
  std::vector<std::string> names;
  for (const Member& member : Members()) names.push_back(member.Name);
  return names;
}
