#pragma once
// Which paths a manifest may name. A path is relative to the game folder,
// `/`-separated UTF-8, and must stay inside that folder and name an ordinary
// file on Windows: no absolute paths, drive letters, `..`, alternate data
// streams, device names or short-name aliases. The top-level `libs` folder
// is the updater's: only its own files there (and its program) may be named,
// so that a release can mend the updater; the engine's records stay its own.
#include <array>
#include <string>
#include <string_view>

namespace velmora::engine {

// Paths longer than this many UTF-16 code units are refused, so that the
// game folder plus the path stays within the classic Windows path limit.
inline constexpr std::size_t kMaxManifestPathLength = 240;

// The updater's own files, which a release may replace. They are in use
// while the updater runs, so the engine sets each old one aside rather than
// overwriting it.
inline constexpr std::array<std::string_view, 5> kUpdaterFiles = {
    "VELUpdater.exe", "libs/comp.dll", "libs/mbprgbar.ocx", "libs/mscomctl.ocx", "libs/richtx32.ocx"};

// Whether `path` names one of kUpdaterFiles, compared as Windows compares
// names.
bool IsUpdaterFile(std::string_view path);

// Why `path` is not a safe manifest path, or nullptr when it is safe.
const char* PathProblem(std::string_view path);

inline bool IsSafeManifestPath(std::string_view path) { return PathProblem(path) == nullptr; }

// A safe manifest path as a Windows relative path: `/` becomes `\`. Still
// UTF-8; the Windows side converts it to UTF-16.
std::string ToWindowsRelativePath(std::string_view path);

}  // namespace velmora::engine
