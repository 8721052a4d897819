#include "platform/system/drives.h"

#include <sys/vfs.h>

bool IsOnOpticalDisc(const std::string& folder) {
  struct statfs info {};
  if (folder.empty() || statfs(folder.c_str(), &info) != 0) return false;
  constexpr long kIso9660 = 0x9660, kUdf = 0x15013346;
  return info.f_type == kIso9660 || info.f_type == kUdf;
}
