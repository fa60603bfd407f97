#pragma once
// One updater per application folder on Windows. The first thing a start
// does is claim its folder; a start that finds the folder claimed already
// brings the running updater's window to the front and ends, before it
// touches anything of the install (the running one may be switching the
// libraries in libs right then).
#include "winsupport/owners_win.h"

namespace velmora {

struct FolderClaim {
    // Another updater of this folder runs.
    bool heldByAnother = false;
    // Ours while the program runs; the system lets go of it when the
    // program ends, however it ends.
    UniqueHandle mutex;
};

// Claims the folder of the running program. When the system cannot tell the
// folder or make the object, the claim is empty and the start goes on: the
// start-up reports what it cannot do by itself.
FolderClaim ClaimApplicationFolder();

// Brings the window of the updater that runs from this program's folder to
// the front, restored when it is minimised. Nothing happens while that
// updater shows no window (while it registers the controls, or during the
// hand-over to the game).
void BringRunningUpdaterForward();

}  // namespace velmora
