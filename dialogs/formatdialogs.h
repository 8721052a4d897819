// The option dialogs of the four target formats, found by the format's
// index (0 BMP, 1 JPEG, 2 GIF, 3 PNG). The format command opens the dialog
// of the checked format and rebuilds the target summary after OK.
#pragma once

#include <QDialog>
#include <array>
#include <functional>
#include <memory>

#include "engine/jobrecord.h"

// Makes a format's dialog over the job: constructed as (parent, job), shown
// with exec().
using TFormatDialogFactory = std::function<std::unique_ptr<QDialog>(QWidget* parent, TJobRecord& job)>;

// The factory of each format by index; an empty entry is a format without
// an options dialog. Tests may replace entries.
std::array<TFormatDialogFactory, 4>& FormatDialogFactories();

// The options dialog of a format, or null for a format without one and for
// an index outside 0..3.
std::unique_ptr<QDialog> MakeFormatDialog(int targetFormat, QWidget* parent, TJobRecord& job);
