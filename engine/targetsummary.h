// The four target formats and the target summary: the lines that name the
// chosen format and its options, shown beside the target folder and copied
// into the header of every run log.
#pragma once

#include <string>
#include <vector>

#include "engine/jobrecord.h"

// One target format: its radio button's caption, its file extension and
// the hint of the format command.
struct TTargetFormat {
  const char* Caption;    // "bmp"
  const char* Extension;  // ".bmp"
  const char* Hint;       // "BMP tunning"
};

constexpr int TargetFormatCount = 4;
// The format of an index (0 BMP, 1 JPEG, 2 GIF, 3 PNG); null for any other.
const TTargetFormat* FindTargetFormat(int format);
// The index of a caption ("bmp", "jpg", "gif", "png", compared exactly);
// -1 for any other.
int TargetFormatOfCaption(const std::string& caption);

// The summary of a format with the job's options as they stand, e.g. for
// JPEG {"Target: JPG files", "Compress: 100"}; empty for an index outside
// 0..3.
std::vector<std::string> TargetSummaryLines(const TJobRecord& job, int format);
