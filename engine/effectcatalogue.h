// The effect catalogue: the 59 entries of the effect list (58 effects and
// "Convert to selected format") in list order, each with its caption, its
// list position (also its bit in the stored visibility masks), the index of
// its flag in TJobRecord::EffectVisible, its settings dialog and selector,
// and the summary lines built from the job's members. The caption is the
// entry's identity; entries are found by whole caption without regard to
// case. The batch engine's routine table (applythread.h) is a separate
// list with the suffixes and effect steps.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "engine/jobrecord.h"

// The settings dialog an entry opens with "Effect...".
enum class TEffectDialog {
  None,
  TFormEffect,        // one slider, OneTrackKind
  TFormTwoTrack,      // two sliders, TwoTrackKind
  TFormRGB,           // three sliders, RgbKind
  TFormFishEye,       // no selector
  TFormGroupEffect,   // slider and type, GroupEffectKind
  TFormPattern,       // watermark, no selector
  TFormResize,        // no selector
  TFormSimpleEffect,  // preview only, SimpleEffectKind
};

// How the summary lines are worded: as the effect list shows them, or as
// the "Effect..." command rewrites them after its dialog's OK ("Puzzle..."
// then says "Accross: ", "Rotate..." "Smooth: ", and "Resize..." shows a
// width or height of 0 as the number rather than "undefined").
enum class TSummaryWording { List, AfterDialog };

struct TEffectEntry {
  const char* Caption;
  int ListPosition;
  int VisibleIndex;
  TEffectDialog Dialog;
  // The job member the dialog reads to know which effect it edits, and the
  // value stored there before the dialog is made; null and -1 when the
  // dialog serves only this entry or there is no dialog.
  int TJobRecord::*SelectorMember;
  int Selector;
  // The direction a flip entry sets (0 horizontal, 1 vertical, 2 both);
  // -1 for every other entry.
  int FlipMode;
  std::vector<std::string> (*Lines)(const TJobRecord& job, TSummaryWording wording);

  // The summary lines from the job's members as they are now.
  std::vector<std::string> SummaryLines(const TJobRecord& job,
                                        TSummaryWording wording = TSummaryWording::List) const {
    return Lines(job, wording);
  }
  // "Setting for Gauss blur effect", "Preview for Greyscale effect"; empty
  // for "Convert to selected format".
  std::string Hint() const;
  bool IsConvert() const { return Dialog == TEffectDialog::None; }
};

extern const char* const ConvertCaption;  // "Convert to selected format"

// The 59 entries in list order (entry p has list position p).
const std::array<TEffectEntry, EffectCount>& EffectCatalogue();
// The entry whose caption equals name as a whole text without regard to
// case, or null ("Gauss blur" without its dots finds nothing, nor does "").
const TEffectEntry* FindEffectEntry(const std::string& name);
// The entry whose flag is EffectVisible[visibleIndex], or null.
const TEffectEntry* EffectEntryAtVisibleIndex(int visibleIndex);
// The 59 captions in list order.
std::vector<std::string> AllEffectCaptions();
