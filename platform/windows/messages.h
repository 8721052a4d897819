// Message boxes with the program's title as caption.
#pragma once

#include <functional>
#include <string>

// The text, an OK button, no icon.
void ShowMessage(const std::string& text);

// Replaces the message box, e.g. for runs without a screen; an empty
// handler brings the box back.
void SetMessageHandler(std::function<void(const std::string&)> handler);
