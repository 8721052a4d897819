// What kind of medium a folder lies on.
#pragma once

#include <string>

// True when the folder's file system is one of a CD or DVD (ISO 9660 or
// UDF); false also when the folder cannot be examined.
bool IsOnOpticalDisc(const std::string& folder);
