// Placeholder until the icon class is written.
#include "platform/icon.h"

TIcon::TIcon() = default;
TIcon::~TIcon() = default;
void TIcon::Assign(const TPersistent* source) { TGraphic::Assign(source); }
void TIcon::LoadFromStream(TStream&) { throw EInvalidGraphic("Icon image is not valid"); }
void TIcon::SaveToStream(TStream&) {}
void TIcon::Draw(TCanvas&, const TRect&) {}
void TIcon::LoadFromMemory(const uint8_t*, size_t) { throw EInvalidGraphic("Icon image is not valid"); }
