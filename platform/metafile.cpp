// Placeholder until the metafile player is written.
#include "platform/metafile.h"

TMetafile::TMetafile() = default;
TMetafile::~TMetafile() = default;
void TMetafile::Assign(const TPersistent* source) { TGraphic::Assign(source); }
void TMetafile::LoadFromStream(TStream&) { throw EInvalidGraphic("Metafile is not valid"); }
void TMetafile::SaveToStream(TStream&) {}
void TMetafile::Draw(TCanvas&, const TRect&) {}
void TMetafile::LoadFromMemory(const uint8_t*, size_t) { throw EInvalidGraphic("Metafile is not valid"); }
