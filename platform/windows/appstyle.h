// The program's look: Qt's Fusion style with a light palette, so the drawn
// controls read the same on every desktop.
#pragma once

// Call once after the QApplication is made.
void ApplyProgramStyle();
