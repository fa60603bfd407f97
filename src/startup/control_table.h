#pragma once
// The three control libraries the window is built from, in the order every
// step of the start-up uses them, and the paths and command lines made from
// them. Everything is built afresh on each use, with one backslash between
// folder and name (an install at a drive's root, "V:\", gets no second).
#include <array>
#include <string>
#include <string_view>

namespace velmora {

// File names of the control libraries: the progress bar, the tab strip and
// the rich text box, in table order.
inline constexpr std::array<std::wstring_view, 3> kControlLibraries = {
    L"mbprgbar.ocx",
    L"mscomctl.ocx",
    L"richtx32.ocx",
};

// The update engine's library, in the libs folder beside the controls.
inline constexpr std::wstring_view kEngineLibraryFileName = L"comp.dll";

// application folder + "\libs"
std::wstring LibsFolder(std::wstring_view applicationFolder);

// application folder + "\libs\" + file: the path registration is given.
std::wstring ControlLibraryPath(std::wstring_view applicationFolder, std::wstring_view file);

// regsvr32 /s "<application folder>\libs\<file>". The path is quoted: an
// install folder with a blank in it (under "Program Files", say) would
// otherwise reach the tool cut in two and could never be registered.
std::wstring FallbackCommandLine(std::wstring_view applicationFolder, std::wstring_view file);

}  // namespace velmora
