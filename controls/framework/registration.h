#pragma once
// Writes and removes the registry entries that make a control class known:
// the class key with the library's path, its ProgID and the control markers.
#include <windows.h>

#include <string>

#include "framework/control_class.h"

namespace velmora::controls {

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}"
std::wstring GuidText(REFGUID guid);

// Safe to repeat: an existing registration is overwritten with the same data.
HRESULT RegisterControl(const ControlClass& control, const std::wstring& modulePath);

// Removes exactly the values and keys RegisterControl writes. A key is
// deleted only once it is empty, so anything others keep beside our entries
// stays; the ProgID is left alone when it names another class by now.
// Entries already gone count as removed, so repeating it succeeds.
HRESULT UnregisterControl(const ControlClass& control);

}  // namespace velmora::controls
