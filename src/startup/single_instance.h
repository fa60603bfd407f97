#pragma once
// One updater per application folder: the name of the system object that
// the running updater of a folder holds, so that a second start of the same
// install finds it (and updaters of two installs run side by side).
// Portable, so the rule is tested on any machine.
#include <string>
#include <string_view>

namespace velmora {

// "Local\VelmoraUpdater-" and 16 hex digits made from the folder. Spellings
// that Windows takes for one folder give one name: letters in either case
// (as the file system compares them), "/" for "\", closing separators, and
// the "\\?\" form of a path. The folder is hashed rather than spelled out
// because an object's name may hold no "\" and at most MAX_PATH characters.
std::wstring SingleInstanceName(std::wstring_view applicationFolder);

}  // namespace velmora
