#pragma once
// The extended-length form of a full Windows path ("\\?\C:\..." or
// "\\?\UNC\server\share\..."), which the file functions take beyond the
// old 260-character limit. Files deep inside a game folder that is itself
// deep (under "C:\Program Files (x86)\...") reach past that limit.
#include <string>
#include <string_view>

namespace velmora::engine {

// `path` is a full path with backslashes and without "." or ".." parts, as
// GetFullPathName gives it. A path already in that form, or one that is not
// a drive or UNC path, is returned as it is.
std::wstring ExtendedLengthPath(std::wstring_view path);

}  // namespace velmora::engine
