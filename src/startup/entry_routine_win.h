#pragma once
// The program's start-up on Windows: enter the libs folder, register and
// load-test the control libraries (falling back to regsvr32 once), then load
// and show the window.
#include <functional>

namespace velmora {

// What the start-up does with the updater window.
struct UpdaterWindowOperations {
    // Creates the window and its controls and runs its load step; throws
    // Failure when that fails, leaving nothing shown.
    std::function<void()> load;
    // Shows the loaded window, modeless and without an owner.
    std::function<void()> show;
    // Destroys a window whose load or show failed, so that a second pass
    // creates it anew. Must not throw.
    std::function<void()> discard;
};

// Runs the start-up: returns true when the window has been loaded and
// shown, false when the program should end. Throws velmora::Failure for a
// failure that the component error path no longer catches (main reports it
// in a message box with its number and description and ends).
bool RunEntryRoutine(const UpdaterWindowOperations& window);

}  // namespace velmora
