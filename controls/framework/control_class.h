#pragma once
// What a control library tells the shared plumbing about the one class it
// serves: identity, registry texts and how to make an instance.
#include <windows.h>
#include <ole2.h>

namespace velmora::controls {

struct ControlClass {
    CLSID clsid;
    const wchar_t* progId;        // e.g. L"MBProgressBar.ProgressBar"
    const wchar_t* readableName;  // default value of the class and ProgID keys
    const wchar_t* windowClass;   // class name of the control's window
    HRESULT (*create)(REFIID iid, void** object);
};

// Defined once in each control library: the class that library serves.
const ControlClass& ThisLibraryClass();

// Status bits every one of our controls reports, and registers under
// MiscStatus\1.
inline constexpr DWORD kControlMiscStatus = OLEMISC_RECOMPOSEONRESIZE | OLEMISC_CANTLINKINSIDE |
                                            OLEMISC_INSIDEOUT | OLEMISC_ACTIVATEWHENVISIBLE |
                                            OLEMISC_SETCLIENTSITEFIRST;

}  // namespace velmora::controls
