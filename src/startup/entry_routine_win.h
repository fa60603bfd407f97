#pragma once
// The program's start-up on Windows: enter the libs folder, register and
// load-test the control libraries (falling back to regsvr32 once), then load
// and show the window.
#include <windows.h>

#include <memory>

#include "window/updater_window_win.h"

namespace velmora {

// Runs the start-up: returns the loaded and shown window, or nothing when
// the program should end. Raises velmora::Failure for a failure that the
// component error path no longer catches (the caller reports it and ends).
std::unique_ptr<UpdaterWindow> RunEntryRoutine(HINSTANCE instance);

}  // namespace velmora
