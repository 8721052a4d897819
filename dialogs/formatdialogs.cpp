#include "dialogs/formatdialogs.h"

namespace {

// Makes a dialog class that is constructed as (parent, job).
template <class TDialog>
TFormatDialogFactory Factory() {
  return [](QWidget* parent, TJobRecord& job) -> std::unique_ptr<QDialog> {
    return std::make_unique<TDialog>(parent, job);
  };
}

}  // namespace

std::array<TFormatDialogFactory, 4>& FormatDialogFactories() {
  // BMP, JPEG, GIF, PNG: fill an entry with Factory<TTheDialog>() once the
  // dialog exists.
  static std::array<TFormatDialogFactory, 4> factories = {
      TFormatDialogFactory(),
      TFormatDialogFactory(),
      TFormatDialogFactory(),
      TFormatDialogFactory(),
  };
  return factories;
}

std::unique_ptr<QDialog> MakeFormatDialog(int targetFormat, QWidget* parent, TJobRecord& job) {
  if (targetFormat < 0 || targetFormat >= static_cast<int>(FormatDialogFactories().size())) return nullptr;
  const TFormatDialogFactory& factory = FormatDialogFactories()[targetFormat];
  return factory ? factory(parent, job) : nullptr;
}
