#pragma once
// Writes and removes the registry entries that make a control class known:
// the class key with the library's path, its ProgID and the control markers,
// for the machine or, where the machine's classes refuse them, for the user
// (registration_scopes.h decides which).
#include <windows.h>

#include <string>

#include "framework/control_class.h"

namespace velmora::controls {

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}"
std::wstring GuidText(REFGUID guid);

// Safe to repeat: an existing registration is overwritten with the same data.
// S_OK when the class ends up registered for the machine (with no
// registration of the user's left to shadow it) or for the user; otherwise
// the failure as an HRESULT.
HRESULT RegisterControl(const ControlClass& control, const std::wstring& modulePath);

// Removes exactly the values and keys RegisterControl writes, from the
// machine's and the user's classes. A key is deleted only once it is empty,
// so anything others keep beside our entries stays; the ProgID is left alone
// when it names another class by now. Entries already gone count as
// removed, so repeating it succeeds.
HRESULT UnregisterControl(const ControlClass& control);

}  // namespace velmora::controls
