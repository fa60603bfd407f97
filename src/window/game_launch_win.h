#pragma once

namespace velmora {

// Starts "velmora.exe /NOUPDATE" from the working folder, shown normally and
// not waited for, when the game is there as an ordinary file; otherwise
// tells the player it is missing. A game that is there but cannot be
// started raises Failure.
void StartGameOrReportMissing();

}  // namespace velmora
