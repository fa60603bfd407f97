#pragma once

namespace velmora {

// The program's title: the caption of its message boxes.
inline constexpr wchar_t kProgramTitle[] = L"Updater";

}  // namespace velmora
