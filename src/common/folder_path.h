#pragma once
// Windows paths as text: joining a folder and a name. (The folder of a file
// is winsupport/parent_folder.h.) Portable, so the rule is tested on any
// machine.
#include <string>
#include <string_view>

namespace velmora {

// The folder and the name with one backslash between them. A folder that
// already ends in one (a drive's root, "V:\") gets no second.
std::wstring JoinPath(std::wstring_view folder, std::wstring_view name);

}  // namespace velmora
