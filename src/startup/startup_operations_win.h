#pragma once
// The system operation of the start-up passes that is theirs alone; the
// others are the program's common ones (common/folders_win.h,
// common/process_win.h, common/message_box_win.h).
#include <string_view>

namespace velmora {

// Loads a library by bare file name through the system's search (which
// includes the working folder). The handle is never released: the library
// stays loaded until the program ends. False when it does not load.
bool LoadLibraryForGood(std::wstring_view fileName);

}  // namespace velmora
