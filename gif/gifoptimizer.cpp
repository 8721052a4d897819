// The colour map optimizer, which gives all frames of an image one shared
// colour map of the colours they use, and the image optimizer.
#include <algorithm>
#include <array>

#include "gif/gifimage.h"

namespace {

// The use of one colour of a source colour map.
struct TUsageRecord {
  int64_t Count = 0;  // 0 once merged into Master; -1 when no pixel uses it
  int OldIndex = 0;
  int NewIndex = 256;  // 256 until assigned
  TGIFColor Color;
  TUsageRecord* Master = nullptr;
};

uint32_t ColorValue(const TGIFColor& c) { return c.Red | c.Green << 8 | c.Blue << 16; }

// The use counts of the colours of one colour map over the frames that
// use it.
class THistogram {
 public:
  explicit THistogram(const TGIFColorMap& map) : FColorCount(map.Count()), FRecords(size_t(map.Count())) {
    for (int i = 0; i < FColorCount; ++i) {
      FRecords[size_t(i)].OldIndex = i;
      FRecords[size_t(i)].Color = map.Data()[i];
    }
  }

  // Counts the pixels of a frame; false for an empty one. Each pixel
  // beyond the map becomes 0, with a warning of its own. transparency is
  // set when the frame shows its transparent colour; a frame that does not
  // loses its transparency.
  bool ProcessFrame(TGIFSubImage& frame, bool& transparency) {
    if (frame.Empty()) return false;
    FFrames.push_back(&frame);
    TGIFGraphicControlExtension* gce = frame.GraphicControlExtension();
    int transparent = frame.Transparent() && gce ? gce->TransparentColorIndex() : -1;
    bool shown = false;
    uint8_t* pixels = frame.Data();
    for (int64_t i = 0; i < frame.DataSize(); ++i) {
      int index = pixels[i];
      if (index == transparent) {
        shown = true;
        continue;
      }
      if (index >= FColorCount) {
        pixels[i] = 0;
        index = 0;
        frame.Warning(gsWarning, sInvalidColor);
      }
      ++FRecords[size_t(index)].Count;
    }
    if (transparent >= 0 && !shown) {
      gce->SetTransparentColorIndex(0);
      gce->SetTransparent(false);
    }
    transparency = transparency || shown;
    return true;
  }

  // Keeps the records of used colours, most used first; the others get -1.
  void Prune(std::vector<TUsageRecord*>& all) {
    for (TUsageRecord& record : FRecords)
      if (record.Count == 0) record.Count = -1;
    for (TUsageRecord& record : FRecords)
      if (record.Count > 0) FKept.push_back(&record);
    std::stable_sort(FKept.begin(), FKept.end(),
                     [](const TUsageRecord* a, const TUsageRecord* b) { return a->Count > b->Count; });
    all.insert(all.end(), FKept.begin(), FKept.end());
  }

  // Renumbers the frames' pixels to the new map.
  void MapImages(bool transparency, uint8_t newTransparent) {
    uint8_t table[256] = {};
    for (const TUsageRecord& record : FRecords)
      if (record.NewIndex < 256) table[record.OldIndex] = uint8_t(record.NewIndex);
    for (TGIFSubImage* frame : FFrames) {
      int oldTransparent = -1;
      TGIFGraphicControlExtension* gce = frame->GraphicControlExtension();
      if (transparency && frame->Transparent() && gce) {
        oldTransparent = gce->TransparentColorIndex();
        gce->SetTransparentColorIndex(newTransparent);
      }
      uint8_t* pixels = frame->Data();
      for (int64_t i = 0; i < frame->DataSize(); ++i)
        pixels[i] = pixels[i] == oldTransparent ? newTransparent : table[pixels[i]];
    }
  }

  bool HasFrames() const { return !FFrames.empty(); }

 private:
  int FColorCount;
  std::vector<TUsageRecord> FRecords;
  std::vector<TUsageRecord*> FKept;
  std::vector<TGIFSubImage*> FFrames;
};

}  // namespace

// Gives every frame of the image one global colour map of the colours the
// frames use, most used first: at most 256 entries, or 255 and a black
// transparent entry when a frame shows transparent pixels. Colours beyond
// the limit take the nearest kept colour.
class TColorMapOptimizer {
 public:
  explicit TColorMapOptimizer(TGIFImage& image) : FImage(image) {}

  void Optimize() {
    // A handler run while the painters end may free the image.
    if (!FImage.StopAllPainters()) return;
    TListLock lock(FImage.Painters());
    GatherHistograms();
    std::vector<TUsageRecord*> all;
    for (auto& histogram : FHistograms) histogram->Prune(all);
    MergeEqualColors(all);
    BuildColorMap(all);
    TGIFImageList& frames = FImage.Frames();
    for (int i = 0; i < frames.Count(); ++i) frames.SubImages(i)->ColorMap().Clear();
    FImage.GlobalColorMap().ImportColorMap(FColors.data(), FColorCount);
    FImage.GlobalColorMap().SetOptimized(true);
    for (auto& histogram : FHistograms) histogram->MapImages(FTransparency, FTransparentIndex);
    for (int i = 0; i < frames.Count(); ++i) {
      frames.SubImages(i)->SetHasBitmap(false);
      frames.SubImages(i)->SetPalette(nullptr);
    }
  }

 private:
  void GatherHistograms() {
    TGIFImageList& frames = FImage.Frames();
    if (FImage.GlobalColorMap().Count() > 0) {
      auto histogram = std::make_unique<THistogram>(FImage.GlobalColorMap());
      for (int i = 0; i < frames.Count(); ++i)
        if (frames.SubImages(i)->ColorMap().Count() == 0)
          histogram->ProcessFrame(*frames.SubImages(i), FTransparency);
      if (histogram->HasFrames()) FHistograms.push_back(std::move(histogram));
    }
    for (int i = 0; i < frames.Count(); ++i) {
      TGIFSubImage* frame = frames.SubImages(i);
      if (frame->ColorMap().Count() == 0 || frame->Empty()) continue;
      auto histogram = std::make_unique<THistogram>(frame->ColorMap());
      histogram->ProcessFrame(*frame, FTransparency);
      FHistograms.push_back(std::move(histogram));
    }
  }

  // The first record of each run of one colour takes the counts of the
  // others, which then refer to it.
  static void MergeEqualColors(std::vector<TUsageRecord*>& all) {
    std::stable_sort(all.begin(), all.end(), [](const TUsageRecord* a, const TUsageRecord* b) {
      return ColorValue(a->Color) > ColorValue(b->Color);
    });
    TUsageRecord* master = nullptr;
    for (TUsageRecord* record : all) {
      if (master && record->Color == master->Color) {
        master->Count += record->Count;
        record->Count = 0;
        record->Master = master;
      } else {
        master = record;
      }
    }
  }

  void BuildColorMap(std::vector<TUsageRecord*>& all) {
    std::stable_sort(all.begin(), all.end(),
                     [](const TUsageRecord* a, const TUsageRecord* b) { return a->Count > b->Count; });
    size_t limit = FTransparency ? 255 : 256;
    size_t kept = 0;
    while (kept < all.size() && kept < limit && all[kept]->Count > 0) {
      all[kept]->NewIndex = int(kept);
      FColors[kept] = all[kept]->Color;
      ++kept;
    }
    for (size_t i = kept; i < all.size(); ++i) {
      TUsageRecord* record = all[i];
      if (record->Count == 0) {
        record->NewIndex = record->Master->NewIndex;
        continue;
      }
      record->NewIndex = std::max(NearestColorIndex(record->Color, FColors.data(), int(kept)), 0);
    }
    FColorCount = int(kept);
    if (FTransparency) {
      FTransparentIndex = uint8_t(kept);
      FColors[kept] = {0, 0, 0};
      ++FColorCount;
    }
  }

  TGIFImage& FImage;
  std::vector<std::unique_ptr<THistogram>> FHistograms;
  std::array<TGIFColor, 256> FColors{};
  int FColorCount = 0;
  bool FTransparency = false;
  uint8_t FTransparentIndex = 0;
};

void TGIFImage::OptimizeColorMap() { TColorMapOptimizer(*this).Optimize(); }

void TGIFImage::Optimize(TGIFOptimizeOptions options, TColorReduction reduction, TDitherMode, int) {
  if (!StopAllPainters()) return;
  TListLock lock(FPainters);
  auto has = [&](TGIFOptimizeOption option) { return (options & OptimizeOption(option)) != 0; };
  auto disposal = [](TGIFSubImage* frame) {
    TGIFGraphicControlExtension* gce = frame->GraphicControlExtension();
    return gce ? gce->Disposal() : dmNone;
  };
  // Steps may delete frames: the share of a step is taken from the count
  // the optimization began with.
  const int total = std::max(1, FFrames->Count());
  auto progress = [&](int step, int i) {
    Progress(this, psRunning, uint8_t(std::min(100, (step * total + i + 1) * 100 / (5 * total))), false,
             sProgressOptimizing);
  };
  Progress(this, psStarting, 0, false, sProgressOptimizing);
  try {
    if (has(ooColorMap)) {
      if (GlobalColorMap().Count() > 0) GlobalColorMap().Optimize();
      for (int i = 0; i < FFrames->Count(); ++i) {
        if (FFrames->SubImages(i)->ColorMap().Count() > 0) FFrames->SubImages(i)->ColorMap().Optimize();
        progress(0, i);
      }
    }
    if (has(ooCleanup)) {
      // A frame that shows no pixel of its transparent colour (an empty one
      // shows none) is opaque. Only once every frame is settled so is it
      // known which frames are followed by an opaque one.
      for (int i = 0; i < FFrames->Count(); ++i) {
        TGIFSubImage* frame = FFrames->SubImages(i);
        TGIFGraphicControlExtension* gce = frame->GraphicControlExtension();
        const uint8_t* pixels = frame->Data();
        const int64_t count = pixels ? frame->DataSize() : 0;
        if (frame->Transparent() && gce &&
            std::find(pixels, pixels + count, gce->TransparentColorIndex()) == pixels + count)
          gce->SetTransparent(false);
      }
      // A frame that the next, opaque frame covers whole need not be
      // disposed of.
      for (int i = 0; i < FFrames->Count(); ++i) {
        TGIFSubImage* frame = FFrames->SubImages(i);
        TGIFGraphicControlExtension* gce = frame->GraphicControlExtension();
        if (gce && (gce->Disposal() == dmBackground || gce->Disposal() == dmPrevious) &&
            i + 1 < FFrames->Count()) {
          TGIFSubImage* next = FFrames->SubImages(i + 1);
          TRect a = frame->BoundsRect(), b = next->BoundsRect();
          TRect both = Rect(std::max(a.Left, b.Left), std::max(a.Top, b.Top), std::min(a.Right, b.Right),
                            std::min(a.Bottom, b.Bottom));
          if (!next->Transparent() && both.Left < both.Right && both.Top < both.Bottom && both == b)
            gce->SetDisposal(dmNone);
        }
        progress(1, i);
      }
    }
    if (has(ooMerge)) {
      for (int i = 1; i < FFrames->Count(); ++i) {
        int j = i - 1;
        while (j >= 0 && disposal(FFrames->SubImages(j)) == dmPrevious) --j;
        if (j >= 0) FFrames->SubImages(i)->Merge(FFrames->SubImages(j));
        progress(2, i);
      }
    }
    if (has(ooCrop)) {
      for (int i = 0; i < FFrames->Count(); ++i) {
        TGIFSubImage* frame = FFrames->SubImages(i);
        if (frame->Empty() || !frame->Transparent()) continue;
        TGIFGraphicControlExtension* gce = frame->GraphicControlExtension();
        // The last frame stays even when none of it shows: an image without
        // frames cannot be written.
        if (FFrames->Count() == 1 && gce &&
            std::all_of(frame->Data(), frame->Data() + frame->DataSize(),
                        [index = gce->TransparentColorIndex()](uint8_t pixel) { return pixel == index; }))
          continue;
        int delay = gce ? gce->Delay() : 0;
        frame->Crop();
        if (!frame->Empty()) continue;
        // Nothing of the frame is shown: its time goes to the frame before.
        TGIFGraphicControlExtension* previous =
            i > 0 ? FFrames->SubImages(i - 1)->GraphicControlExtension() : nullptr;
        if (previous) previous->SetDelay(uint16_t(std::min(0xFFFF, previous->Delay() + delay)));
        FFrames->Delete(i--);
        progress(3, std::max(i, 0));
      }
    }
    if (has(ooCleanup)) {
      // A graphic control extension that sets nothing goes, and so does a
      // frame left with neither pixels nor extensions.
      for (int i = 0; i < FFrames->Count(); ++i) {
        TGIFSubImage* frame = FFrames->SubImages(i);
        TGIFGraphicControlExtension* gce = frame->GraphicControlExtension();
        if (gce && !gce->Transparent() && gce->Delay() == 0 && gce->Disposal() == dmNone && !gce->UserInput())
          delete gce;
        if (frame->Empty() && frame->Extensions().Count() == 0 && FFrames->Count() > 1) FFrames->Delete(i--);
      }
    }
    if (has(ooReduceColors) && reduction == rmPalette) GIFError(sInvalidReduction);
  } catch (...) {
    Progress(this, psEnding, 0, true, sProgressOptimizing);
    throw;
  }
  FreeBitmap();
  Progress(this, psEnding, 100, true, sProgressOptimizing);
}
