// The extension blocks and their two registries: extension classes by
// label, application classes by identifier. Both are searched from the
// newest registration back.
#include <algorithm>
#include <cstring>
#include <string>

#include "gif/gifimage.h"

// --- Registries ---------------------------------------------------------------

TExtensionList::TExtensionList()
    : FRecords{{ExtensionClass<TGIFTextExtension>(), 0x01},
               {ExtensionClass<TGIFGraphicControlExtension>(), 0xF9},
               {ExtensionClass<TGIFCommentExtension>(), 0xFE},
               {ExtensionClass<TGIFApplicationExtension>(), 0xFF}} {}

void TExtensionList::Add(uint8_t label, TGIFExtensionClass extensionClass) {
  std::lock_guard<std::mutex> guard(FLock);
  FRecords.push_back({extensionClass, label});
}

TGIFExtensionClass TExtensionList::Find(uint8_t label) const {
  std::lock_guard<std::mutex> guard(FLock);
  for (auto it = FRecords.rbegin(); it != FRecords.rend(); ++it)
    if (it->Label == label) return it->Class;
  return nullptr;
}

namespace {

TGIFApplicationRec Identifier(const char (&text)[12]) {
  TGIFApplicationRec rec;
  std::memcpy(&rec, text, 11);
  return rec;
}

}  // namespace

TAppExtensionList::TAppExtensionList()
    : FRecords{{ExtensionClass<TGIFAppExtNSLoop>(), Identifier("NETSCAPE2.0")},
               {ExtensionClass<TGIFAppExtNSLoop>(), Identifier("ANIMEXTS1.0")}} {}

void TAppExtensionList::Add(const TGIFApplicationRec& identifier, TGIFExtensionClass extensionClass) {
  std::lock_guard<std::mutex> guard(FLock);
  FRecords.push_back({extensionClass, identifier});
}

TGIFExtensionClass TAppExtensionList::Find(const TGIFApplicationRec& identifier) const {
  std::lock_guard<std::mutex> guard(FLock);
  for (auto it = FRecords.rbegin(); it != FRecords.rend(); ++it)
    if (std::memcmp(&it->Identifier, &identifier, sizeof identifier) == 0) return it->Class;
  return nullptr;
}

namespace {

// The process's registries, made on first use and freed at exit.
TExtensionList& ExtensionRegistry() {
  static TExtensionList list;
  return list;
}

TAppExtensionList& AppExtensionRegistry() {
  static TAppExtensionList list;
  return list;
}

}  // namespace

// --- TGIFExtension ------------------------------------------------------------

TGIFExtension::TGIFExtension(TGIFSubImage* frame)
    : TGIFItem(frame ? frame->Image() : nullptr), FFrame(frame) {}

TGIFExtension::~TGIFExtension() {
  if (FFrame) FFrame->Extensions().Remove(this);
}

void TGIFExtension::SaveToStream(TStream& stream) {
  uint8_t bytes[2] = {bsExtensionIntroducer, GetExtensionType()};
  stream.WriteBuffer(bytes, 2);
}

void TGIFExtension::LoadFromStream(TStream& stream) {
  uint8_t bytes[2];
  ReadCheck(stream, bytes, 2);
  if (bytes[0] != bsExtensionIntroducer) GIFError(sBadExtensionLabel);
  if (bytes[1] != GetExtensionType()) GIFError(sBadExtensionInstance);
}

void TGIFExtension::RegisterExtension(uint8_t label, TGIFExtensionClass extensionClass) {
  ExtensionRegistry().Add(label, extensionClass);
}

TGIFExtensionClass TGIFExtension::FindExtension(TStream& stream) {
  int64_t start = stream.Position();
  int label = ReadByte(stream);
  TGIFExtensionClass result = label >= 0 ? ExtensionRegistry().Find(uint8_t(label)) : nullptr;
  // Ask for a more specific class until the answer stays the same.
  while (result) {
    TGIFExtensionClass sub = result->FindSubExtension(result, stream);
    if (sub == result) break;
    result = sub;
  }
  stream.SetPosition(start);
  return result;
}

// --- Graphic control ----------------------------------------------------------

TGIFGraphicControlExtension::TGIFGraphicControlExtension(TGIFSubImage* frame) : TGIFExtension(frame) {
  if (frame && !frame->FGCE) frame->FGCE = this;
}

TGIFGraphicControlExtension::~TGIFGraphicControlExtension() {
  TGIFSubImage* frame = Frame();
  if (frame && frame->FGCE == this) {
    if (Transparent()) frame->FTransparent = false;
    frame->FGCE = nullptr;
  }
}

void TGIFGraphicControlExtension::SaveToStream(TStream& stream) {
  TGIFExtension::SaveToStream(stream);
  uint8_t bytes[6] = {FRec.BlockSize, FRec.PackedFields, 0, 0, FRec.TransparentColorIndex, FRec.Terminator};
  PutU16(bytes + 2, FRec.Delay);
  stream.WriteBuffer(bytes, 6);
}

void TGIFGraphicControlExtension::LoadFromStream(TStream& stream) {
  TGIFExtension::LoadFromStream(stream);
  uint8_t bytes[6];
  if (stream.Read(bytes, 6) != 6) {
    Warning(gsWarning, sOutOfData);
    return;
  }
  FRec = {bytes[0], bytes[1], GetU16(bytes + 2), bytes[4], bytes[5]};
  if (Transparent() && Frame()) Frame()->FTransparent = true;
}

void TGIFGraphicControlExtension::SetTransparent(bool value) {
  FRec.PackedFields = static_cast<uint8_t>(value ? FRec.PackedFields | 0x01 : FRec.PackedFields & ~0x01);
  if (Frame()) Frame()->FTransparent = value;
}

void TGIFGraphicControlExtension::SetTransparentColorIndex(int index) {
  if (Frame()) {
    TGIFColorMap& map = Frame()->ActiveColorMap();
    if (map.Count() > 0 && (index < 0 || index >= map.Count())) {
      Warning(gsWarning, sBadColorIndex);
      index = 0;
    }
  }
  FRec.TransparentColorIndex = static_cast<uint8_t>(index);
}

TColor TGIFGraphicControlExtension::TransparentColor() {
  if (!Frame()) GIFError(sNoColorTable);
  return TGIFColorMap::RGB2Color(Frame()->ActiveColorMap().Colors(FRec.TransparentColorIndex));
}

void TGIFGraphicControlExtension::SetTransparentColor(TColor color) {
  if (!Frame()) GIFError(sNoColorTable);
  int index = Frame()->ActiveColorMap().AddUnique(TGIFColorMap::Color2RGB(color));
  FRec.TransparentColorIndex = static_cast<uint8_t>(index);
}

void TGIFGraphicControlExtension::SetUserInput(bool value) {
  FRec.PackedFields = static_cast<uint8_t>(value ? FRec.PackedFields | 0x02 : FRec.PackedFields & ~0x02);
}

void TGIFGraphicControlExtension::SetDisposal(TDisposalMethod value) {
  FRec.PackedFields = static_cast<uint8_t>((FRec.PackedFields & ~0x1C) | ((value & 0x07) << 2));
}

// --- Plain text and comment ---------------------------------------------------

void TGIFTextExtension::SaveToStream(TStream& stream) {
  TGIFExtension::SaveToStream(stream);
  uint8_t bytes[13] = {FRec.BlockSize};
  PutU16(bytes + 1, FRec.Left);
  PutU16(bytes + 3, FRec.Top);
  PutU16(bytes + 5, FRec.Width);
  PutU16(bytes + 7, FRec.Height);
  bytes[9] = FRec.CellWidth;
  bytes[10] = FRec.CellHeight;
  bytes[11] = FRec.TextFGColorIndex;
  bytes[12] = FRec.TextBGColorIndex;
  stream.WriteBuffer(bytes, 13);
  FText.SaveToStream(stream);
}

void TGIFTextExtension::LoadFromStream(TStream& stream) {
  TGIFExtension::LoadFromStream(stream);
  uint8_t bytes[13];
  ReadCheck(stream, bytes, 13);
  FRec = {bytes[0], GetU16(bytes + 1), GetU16(bytes + 3), GetU16(bytes + 5), GetU16(bytes + 7),
          bytes[9], bytes[10],         bytes[11],         bytes[12]};
  FText.LoadFromStream(stream);
}

namespace {

using TTextRec = TGIFPlainTextExtensionRec;

// The record's fields by the accessors' indices (1 for the first).
constexpr uint16_t TTextRec::*TextBounds[] = {&TTextRec::Left, &TTextRec::Top, &TTextRec::Width, &TTextRec::Height};
constexpr uint8_t TTextRec::*TextCell[] = {&TTextRec::CellWidth, &TTextRec::CellHeight};
constexpr uint8_t TTextRec::*TextColors[] = {&TTextRec::TextFGColorIndex, &TTextRec::TextBGColorIndex};

template <class T, size_t N>
T TTextRec::*TextField(T TTextRec::*const (&fields)[N], int index) {
  if (index < 1 || index > int(N)) throw EListError("List index out of bounds (" + std::to_string(index) + ")");
  return fields[index - 1];
}

}  // namespace

uint16_t TGIFTextExtension::Bounds(int index) const { return FRec.*TextField(TextBounds, index); }
void TGIFTextExtension::SetBounds(int index, uint16_t value) { FRec.*TextField(TextBounds, index) = value; }
uint8_t TGIFTextExtension::CharacterBounds(int index) const { return FRec.*TextField(TextCell, index); }
void TGIFTextExtension::SetCharacterBounds(int index, uint8_t value) { FRec.*TextField(TextCell, index) = value; }
uint8_t TGIFTextExtension::ColorIndex(int index) const { return FRec.*TextField(TextColors, index); }
void TGIFTextExtension::SetColorIndex(int index, uint8_t value) { FRec.*TextField(TextColors, index) = value; }

namespace {

TGIFColorMap& TextColorMap(TGIFSubImage* frame) {
  if (!frame) GIFError(sNoColorTable);
  return frame->ActiveColorMap();
}

}  // namespace

TColor TGIFTextExtension::ForegroundColor() {
  return TGIFColorMap::RGB2Color(TextColorMap(Frame()).Colors(ForegroundColorIndex()));
}

void TGIFTextExtension::SetForegroundColor(TColor color) {
  SetForegroundColorIndex(static_cast<uint8_t>(TextColorMap(Frame()).AddUnique(TGIFColorMap::Color2RGB(color))));
}

TColor TGIFTextExtension::BackgroundColor() {
  return TGIFColorMap::RGB2Color(TextColorMap(Frame()).Colors(BackgroundColorIndex()));
}

void TGIFTextExtension::SetBackgroundColor(TColor color) {
  SetBackgroundColorIndex(static_cast<uint8_t>(TextColorMap(Frame()).AddUnique(TGIFColorMap::Color2RGB(color))));
}

void TGIFCommentExtension::SaveToStream(TStream& stream) {
  TGIFExtension::SaveToStream(stream);
  FText.SaveToStream(stream);
}

void TGIFCommentExtension::LoadFromStream(TStream& stream) {
  TGIFExtension::LoadFromStream(stream);
  FText.LoadFromStream(stream);
}

// --- Application extensions ---------------------------------------------------

namespace {

void SetPadded(char* field, size_t size, const std::string& value) {
  std::memset(field, ' ', size);
  std::memcpy(field, value.data(), std::min(size, value.size()));
}

}  // namespace

void TGIFApplicationExtension::SetIdentifier(const std::string& value) {
  SetPadded(FRec.Identifier, sizeof FRec.Identifier, value);
}

void TGIFApplicationExtension::SetAuthentication(const std::string& value) {
  SetPadded(FRec.Authentication, sizeof FRec.Authentication, value);
}

void TGIFApplicationExtension::SaveToStream(TStream& stream) {
  TGIFExtension::SaveToStream(stream);
  WriteByte(stream, 11);
  stream.WriteBuffer(&FRec, 11);
  SaveData(stream);
}

void TGIFApplicationExtension::LoadFromStream(TStream& stream) {
  TGIFExtension::LoadFromStream(stream);
  uint8_t size;
  ReadCheck(stream, &size, 1);
  if (size < 10) GIFError(sBadBlockSize);
  ReadCheck(stream, &FRec, 11);
  // A 10-byte block has given one byte too many; a longer one has more.
  stream.Seek(size - 11, soCurrent);
  LoadData(stream);
}

void TGIFApplicationExtension::SaveData(TStream& stream) { FBlocks.SaveToStream(stream); }

void TGIFApplicationExtension::LoadData(TStream& stream) { FBlocks.LoadFromStream(stream); }

TGIFExtensionClass TGIFApplicationExtension::FindSubExtension(TGIFExtensionClass self, TStream& stream) {
  int size = ReadByte(stream);
  if (size == 11) {
    TGIFApplicationRec identifier;
    if (stream.Read(&identifier, 11) != 11) return self;
    TGIFExtensionClass found = AppExtensionRegistry().Find(identifier);
    return found ? found : ExtensionClass<TGIFUnknownAppExtension>();
  }
  if (size == 10) {
    char identifier[10];
    if (stream.Read(identifier, 10) != 10) return nullptr;
    return ExtensionClass<TGIFUnknownAppExtension>();
  }
  if (size < 0) return nullptr;
  stream.Seek(-1, soCurrent);
  return self;
}

void TGIFApplicationExtension::RegisterExtension(const TGIFApplicationRec& identifier,
                                                 TGIFExtensionClass extensionClass) {
  AppExtensionRegistry().Add(identifier, extensionClass);
}

TGIFAppExtNSLoop::TGIFAppExtNSLoop(TGIFSubImage* frame) : TGIFApplicationExtension(frame) {
  std::memcpy(&FRec, "NETSCAPE2.0", 11);
}

void TGIFAppExtNSLoop::SaveData(TStream& stream) {
  uint8_t loop[5] = {3, 1};
  PutU16(loop + 2, FLoops);
  stream.WriteBuffer(loop, 4);
  if (FBufferSize != 0) {
    uint8_t buffer[6] = {5,
                         2,
                         uint8_t(FBufferSize),
                         uint8_t(FBufferSize >> 8),
                         uint8_t(FBufferSize >> 16),
                         uint8_t(FBufferSize >> 24)};
    stream.WriteBuffer(buffer, 6);
  }
  WriteByte(stream, 0);
}

void TGIFAppExtNSLoop::LoadData(TStream& stream) {
  // The end of the data ends the sub-blocks like a terminator.
  for (int size = ReadByte(stream); size > 0; size = ReadByte(stream)) {
    int id = ReadByte(stream);
    if (id < 0) break;
    int rest = size - 1;
    uint8_t bytes[4];
    if ((id & 0x07) == 1) {
      if (rest < 2) GIFError(sInvalidData);
      ReadCheck(stream, bytes, 2);
      FLoops = GetU16(bytes);
      rest -= 2;
    } else if ((id & 0x07) == 2) {
      if (rest < 4) GIFError(sInvalidData);
      ReadCheck(stream, bytes, 4);
      FBufferSize =
          uint32_t(bytes[0]) | uint32_t(bytes[1]) << 8 | uint32_t(bytes[2]) << 16 | uint32_t(bytes[3]) << 24;
      rest -= 4;
    }
    stream.Seek(rest, soCurrent);
  }
}

// --- Extension list -----------------------------------------------------------

void TGIFExtensionList::LoadFromStream(TStream& stream, TObject* parent) {
  auto* frame = static_cast<TGIFSubImage*>(parent);
  bool skipped = false;
  int b = ReadByte(stream);
  while (b >= 0 && b != bsImageSeparator && b != bsTrailer) {
    if (b != bsExtensionIntroducer) {
      Warning(gsWarning, sBadExtensionLabel);
      break;
    }
    TGIFExtensionClass extensionClass = TGIFExtension::FindExtension(stream);
    if (!extensionClass) GIFError(sUnknownExtension);
    stream.Seek(-1, soCurrent);
    std::unique_ptr<TGIFExtension> extension(extensionClass->Create(frame));
    extension->LoadFromStream(stream);
    if (Count() < GIFMaxFrameExtensions || (frame && frame->GraphicControlExtension() == extension.get())) {
      Add(extension.release());
    } else {
      if (!skipped) Warning(gsWarning, sTooManyExtensions);
      skipped = true;
      // In no list, it need not look for itself there as it goes.
      extension->FFrame = nullptr;
    }
    b = ReadByte(stream);
  }
  // The separator, trailer or rejected byte is read next.
  if (b >= 0) stream.Seek(-1, soCurrent);
}
