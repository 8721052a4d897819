// Runs a window's handler so that no exception leaves a Qt slot (Qt would
// end the program and the job with it): an error is shown in a message box
// and the handler's window stays as it was.
#pragma once

#include <functional>

// Runs the handler; answers false when it raised (after showing the
// error's text).
bool Guarded(const std::function<void()>& handler);
