#pragma once
// The window class a control's window belongs to: registered by the library
// on first use, removed when the library may unload.
#include <windows.h>

#include "framework/control_class.h"

namespace velmora::controls {

bool RegisterControlWindowClass(const ControlClass& control, WNDPROC procedure);
void UnregisterControlWindowClass(const ControlClass& control);

}  // namespace velmora::controls
