// Handlers of the main window whose commands are still to come. Each block
// is one command; it moves into its own source file when it is written.
#include "mainwindow/mainwindow.h"

// ====== Source folder scan ===================================================

void TFormMain::XiButSourceClick() {}

void TFormMain::ScanSourceFolder(const std::string& /*folder*/, bool /*includeSubfolders*/) {}

void TFormMain::AddFolderFiles(const std::string& /*folder*/, TStringList& /*files*/) {}

bool TFormMain::BrowseForFolder(std::string& /*folder*/, const std::string& /*title*/) { return false; }

void TFormMain::XPCheckBoxBMPClick() {}
void TFormMain::XPCheckBoxJPGClick() {}
void TFormMain::XPCheckBoxGIFClick() {}
void TFormMain::XPCheckBoxPNGClick() {}
void TFormMain::XPCheckBoxEMFClick() {}
void TFormMain::XPCheckBoxWMFClick() {}
void TFormMain::XPCheckBoxICOClick() {}

// ====== Target folder and format =============================================

void TFormMain::XiButTargetClick() {}

void TFormMain::XPEditTargetChange() {}

void TFormMain::XPRButBMPClick(QObject* /*sender*/) {}

void TFormMain::SetTargetFormat(int /*index*/) {}

void TFormMain::ActionFormatExecute() {}

// ====== Effect settings command ==============================================

void TFormMain::ActionEffectExecute() {}

// ====== Log and help commands ================================================

void TFormMain::XiButSaveLogClick() {}

void TFormMain::XiButClearLogClick() {}

void TFormMain::ItemContentClick() {}

void TFormMain::ItemAboutClick() {}

void TFormMain::EndHelpViewer() {}
