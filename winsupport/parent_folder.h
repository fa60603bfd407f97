#pragma once
// The folder a Windows path lies in, as text. Portable, so the rule is
// tested on any machine; the program, the engine and the tests all ask it.
#include <string>
#include <string_view>

namespace velmora {

// Everything before the path's last separator ("\" or "/"), except that a
// drive's root keeps its backslash: "C:\" for "C:\x.exe" and "\\?\C:\" for
// "\\?\C:\x" ("C:" alone would name the drive's current folder). Empty when
// the path has no separator.
std::wstring ParentFolder(std::wstring_view path);

}  // namespace velmora
