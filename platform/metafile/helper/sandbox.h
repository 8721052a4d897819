// The helper's lock-down: what it may open, and its system-call filter
// (see sandbox.cpp).
#pragma once

#include <sys/types.h>

// Restricts the files the helper may open to reading its fonts, where the
// system has Landlock, then installs the filter, both for the rest of the
// helper's life (self: the helper's process id); false where either could
// not be installed, where the helper already has a second thread, or where
// the machine has no filter (other than x86-64 and arm64): the helper then
// does not draw. Qt's fonts must be up: fontconfig names the folders.
bool LockDownHelper(pid_t self);
