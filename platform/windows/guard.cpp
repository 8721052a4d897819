#include "platform/windows/guard.h"

#include <exception>
#include <string>

#include "platform/windows/messages.h"

bool Guarded(const std::function<void()>& handler) {
  std::string message;
  try {
    handler();
    return true;
  } catch (const std::exception& error) {
    message = error.what();
  } catch (...) {
    message = "Unknown error";
  }
  // The box is shown outside the catch so that a second failure in it
  // cannot escape either.
  try {
    ShowMessage(message);
  } catch (...) {
  }
  return false;
}
