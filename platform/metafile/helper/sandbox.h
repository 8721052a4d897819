// The helper's system-call filter (see sandbox.cpp).
#pragma once

// Installs the filter for the rest of the helper's life; false where the
// system or the machine has none.
bool LockDownHelper();
