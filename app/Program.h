#pragma once
// The program's start-up sequence and end, callable without a display so
// tests can run the same steps the program runs.
#include "app/MainUnit.h"

namespace app {

class TfrmHint;

// The hint window made at start-up.
extern TfrmHint* frmHint;

// The executable's folder, with its trailing "/".
String ExecutableFolder();

// Start-up up to the message loop: the path globals from `exeFolder`, the
// main window (its creation steps run), the hint window, and the splash
// shown modally for its moment when `showSplash` is set. The forms belong
// to the application object.
TfrmMain* StartProgram(const String& exeFolder, bool showSplash);

// Frees every form the start-up made, then the overlay picture.
void EndProgram();

// The whole program: the display, the devices (simulated ones when no real
// one is present), the message boxes as dialogs, start-up, the main
// window, the message loop, and the end. Answers the exit status.
int RunProgram();

}  // namespace app
