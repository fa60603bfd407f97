#pragma once
// The application-wide mouse pointer: a busy shape (the hourglass) that
// stands over all of the program's windows, whatever their own class
// pointer says, until it is set back to the default.
//
// SetApplicationPointerBusy changes the pointer at once (SetCursor) and
// records the choice in a process-wide setting. A window's own pointer comes
// back whenever the system asks the window under the pointer for it
// (WM_SETCURSOR); each top-level window of the program therefore answers
// WM_SETCURSOR through ApplyApplicationPointer first. Child windows,
// hosted controls included, pass WM_SETCURSOR to their parent before
// choosing their own pointer, so the top-level answer covers them too.
// While the GUI thread is blocked (as during a registration wait) no
// WM_SETCURSOR is processed and the shape set by SetCursor stays.
#include <windows.h>

namespace velmora {

// The busy shape, or (false) the default one.
void SetApplicationPointerBusy(bool busy);

// For a window procedure's WM_SETCURSOR: when the busy shape is in force,
// sets it and returns true (the procedure then returns TRUE); otherwise
// returns false and the window chooses its own pointer.
bool ApplyApplicationPointer();

}  // namespace velmora
