// Handlers of the main window whose commands are still to come. Each block
// is one command; it moves into its own source file when it is written.
#include "mainwindow/mainwindow.h"

// ====== Effect-list chooser ==================================================

bool TFormMain::ExecuteEffectListChooser() { return false; }

// ====== Registry =============================================================

void TFormMain::LoadRegistryValues() {}

void TFormMain::SaveRegistryValues() {}

// ====== Settings folder and settings file ====================================

std::string TFormMain::GetSettingsFolder(const std::string& /*version*/) { return "error"; }

void TFormMain::LoadSettings() {}

void TFormMain::SaveSettings() {}

void TFormMain::SaveEnvClick() {}
