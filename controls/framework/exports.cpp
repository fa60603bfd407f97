// The four entry points of a control library, shared by all three: each
// library differs only in the class ThisLibraryClass() describes. Nothing
// may throw past them.
#include <windows.h>
#include <ole2.h>
#include <olectl.h>

#include <new>

#include "framework/class_factory.h"
#include "framework/control_class.h"
#include "framework/control_window.h"
#include "framework/module.h"
#include "framework/registration.h"

using namespace velmora::controls;

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** object) {
    if (!object) return E_POINTER;
    *object = nullptr;
    const ControlClass& control = ThisLibraryClass();
    if (clsid != control.clsid) return CLASS_E_CLASSNOTAVAILABLE;
    auto* factory = new (std::nothrow) ClassFactory(control.create);
    if (!factory) return E_OUTOFMEMORY;
    const HRESULT result = factory->QueryInterface(iid, object);
    factory->Release();
    return result;
}

STDAPI DllCanUnloadNow() {
    if (ModuleInUse()) return S_FALSE;
    // No object is left, so no window of ours is either: the window class
    // can go, and a later load of the library at another address registers
    // it afresh.
    UnregisterControlWindowClass(ThisLibraryClass());
    return S_OK;
}

STDAPI DllRegisterServer() {
    try {
        return RegisterControl(ThisLibraryClass(), ThisModulePath());
    } catch (...) {
        return SELFREG_E_CLASS;
    }
}

STDAPI DllUnregisterServer() {
    try {
        return UnregisterControl(ThisLibraryClass());
    } catch (...) {
        return SELFREG_E_CLASS;
    }
}
