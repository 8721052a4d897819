#include "dialogs/formatdialogs.h"

#include "dialogs/avitogif.h"
#include "dialogs/bmpoptions.h"
#include "dialogs/jpgoptions.h"
#include "dialogs/pngoptions.h"

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
  // BMP, JPEG, GIF, PNG.
  static std::array<TFormatDialogFactory, 4> factories = {
      Factory<TBMPForm>(),
      Factory<TJPGForm>(),
      Factory<TFormGif>(),
      Factory<TPNGForm>(),
  };
  return factories;
}

std::unique_ptr<QDialog> MakeFormatDialog(int targetFormat, QWidget* parent, TJobRecord& job) {
  if (targetFormat < 0 || targetFormat >= static_cast<int>(FormatDialogFactories().size())) return nullptr;
  const TFormatDialogFactory& factory = FormatDialogFactories()[targetFormat];
  return factory ? factory(parent, job) : nullptr;
}
