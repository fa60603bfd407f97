#pragma once
// Mends what an update run stopped half-way through a switch of the
// updater's libraries can leave: a library's place empty and its old file
// set aside beside it.
#include <string>

namespace velmora {

// Renames each set-aside library back into its place where that place is
// empty, so that registration and loading find a whole set. Quiet: what it
// cannot mend, the start-up's own steps report.
void RestoreSetAsideLibraries(const std::wstring& applicationFolder);

}  // namespace velmora
