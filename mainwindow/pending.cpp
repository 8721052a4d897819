// Handlers of the main window whose commands are still to come. Each block
// is one command; it moves into its own source file when it is written.
#include "mainwindow/mainwindow.h"
