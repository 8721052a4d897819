// UTF-8 text: file names on Linux are UTF-8, so cuts and case changes work
// on characters, not bytes.
#pragma once

#include <string>

// The first count characters of the text (all of it when it is shorter).
// A byte that is not valid UTF-8 counts as one character.
std::string Utf8Left(const std::string& text, size_t count);
// Lower-cases every letter (Unicode simple case mapping); other bytes,
// invalid sequences included, stay as they are.
std::string Utf8LowerCase(const std::string& text);
