#pragma once
// Windows paths as text: joining a folder and a name, and the folder of a
// file. Portable, so the rules are tested on any machine.
#include <optional>
#include <string>
#include <string_view>

namespace velmora {

// The folder and the name with one backslash between them. A folder that
// already ends in one (a drive's root, "V:\") gets no second.
std::wstring JoinPath(std::wstring_view folder, std::wstring_view name);

// The folder that holds the file at a full path: everything before its last
// backslash, except that a drive's root keeps its backslash ("V:\", not
// "V:", which would name the drive's current folder). Nothing when the
// path has no backslash.
std::optional<std::wstring> FolderOfFile(std::wstring_view path);

}  // namespace velmora
