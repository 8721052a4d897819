// The helper's system-call filter (see sandbox.cpp).
#pragma once

#include <sys/types.h>

// Installs the filter for the rest of the helper's life (self: the
// helper's process id); false where it could not be installed, or where
// the machine has none (other than x86-64 and arm64): the helper then does
// not draw.
bool LockDownHelper(pid_t self);
