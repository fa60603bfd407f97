#pragma once
// Test-only container pieces for hosting our controls the way a window
// does: a property bag in memory, a client site that records the calls it
// receives, a control library loaded from a file, and helpers to drive a
// control through IDispatch and read back what its window shows.
#include <windows.h>
#include <ole2.h>
#include <ocidl.h>
#include <olectl.h>

#include <string>
#include <utility>
#include <vector>

#include "framework/gdi.h"
#include "winsupport/owners_win.h"
#include "winsupport/variant_win.h"

namespace velmora::testing {

// Values of the kinds the tests hand the controls.
Variant Int(LONG value);
Variant Short(SHORT value);
Variant Unsigned(ULONG value);
Variant Bool(bool value);
Variant Text(const std::wstring& value);
Variant Unknown(IUnknown* object, VARTYPE type = VT_UNKNOWN);  // null allowed
// VT_BYREF | VT_I4 pointing at `target`, as a caller passing by reference.
Variant IntByReference(LONG* target);
// A font as OleCreateFontIndirect makes it (ANSI, not italic).
ComPtr<IFont> MakeFont(const wchar_t* name, LONGLONG size, SHORT weight);
// How Describe() shows a font of that description. A font object reports
// the font the system realised for it (another face where the named one is
// missing, the size rounded to whole pixels), so saved fonts are compared
// with fonts made here rather than with the bare description.
std::string FontText(const wchar_t* name, LONGLONG size, SHORT weight);

// The value as comparable text: "I4:5", "BOOL:true", "BSTR:abc",
// "FONT:MS Sans Serif/8.25/400/0", "EMPTY", "UNKNOWN:null".
std::string Describe(const VARIANT& value);

// IPropertyBag over a list of named values. Read hands out the stored value
// as it is, whatever type the caller asked for, as a lax container would.
class MemoryPropertyBag final : public IPropertyBag {
public:
    MemoryPropertyBag() = default;
    MemoryPropertyBag(std::initializer_list<std::pair<std::wstring, Variant>> values) : values_(values) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
    ULONG STDMETHODCALLTYPE Release() override { return --references_; }
    HRESULT STDMETHODCALLTYPE Read(LPCOLESTR name, VARIANT* value, IErrorLog*) override;
    HRESULT STDMETHODCALLTYPE Write(LPCOLESTR name, VARIANT* value) override;

    const std::vector<std::pair<std::wstring, Variant>>& Values() const { return values_; }
    const VARIANT* Find(const std::wstring& name) const;
    ULONG References() const { return references_; }

private:
    std::vector<std::pair<std::wstring, Variant>> values_;
    ULONG references_ = 1;
};

// A client site with in-place support over a host window. It records the
// name of every site call in order.
class RecordingSite final : public IOleClientSite, public IOleInPlaceSite {
public:
    RecordingSite(HWND host, RECT position) : host_(host), position_(position) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
    ULONG STDMETHODCALLTYPE Release() override { return --references_; }

    HRESULT STDMETHODCALLTYPE SaveObject() override { return Note("SaveObject", S_OK); }
    HRESULT STDMETHODCALLTYPE GetMoniker(DWORD, DWORD, IMoniker** moniker) override;
    HRESULT STDMETHODCALLTYPE GetContainer(IOleContainer** container) override;
    HRESULT STDMETHODCALLTYPE ShowObject() override { return Note("ShowObject", S_OK); }
    HRESULT STDMETHODCALLTYPE OnShowWindow(BOOL) override { return Note("OnShowWindow", S_OK); }
    HRESULT STDMETHODCALLTYPE RequestNewObjectLayout() override { return E_NOTIMPL; }

    HRESULT STDMETHODCALLTYPE GetWindow(HWND* window) override;
    HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE CanInPlaceActivate() override { return Note("CanInPlaceActivate", S_OK); }
    HRESULT STDMETHODCALLTYPE OnInPlaceActivate() override { return Note("OnInPlaceActivate", S_OK); }
    HRESULT STDMETHODCALLTYPE OnUIActivate() override { return Note("OnUIActivate", S_OK); }
    HRESULT STDMETHODCALLTYPE GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** document,
                                               LPRECT position, LPRECT clip, LPOLEINPLACEFRAMEINFO info) override;
    HRESULT STDMETHODCALLTYPE Scroll(SIZE) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE OnUIDeactivate(BOOL) override { return Note("OnUIDeactivate", S_OK); }
    HRESULT STDMETHODCALLTYPE OnInPlaceDeactivate() override { return Note("OnInPlaceDeactivate", S_OK); }
    HRESULT STDMETHODCALLTYPE DiscardUndoState() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE DeactivateAndUndo() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE OnPosRectChange(LPCRECT) override { return Note("OnPosRectChange", S_OK); }

    std::vector<std::string> calls;
    ULONG References() const { return references_; }

private:
    HRESULT Note(const char* call, HRESULT result) {
        calls.emplace_back(call);
        return result;
    }

    HWND host_;
    RECT position_;
    ULONG references_ = 1;
};

// A control library loaded from a file, asked for objects directly through
// its class object, as COM would after looking the class up.
class ControlLibrary {
public:
    explicit ControlLibrary(const std::wstring& path);
    bool Loaded() const { return static_cast<bool>(module_); }
    // A new control, or an empty pointer (the failure is reported to gtest).
    ComPtr<IOleObject> Create(REFCLSID clsid) const;
    HRESULT CanUnloadNow() const;
    HRESULT Register() const;
    HRESULT Unregister() const;

private:
    FARPROC Entry(const char* name) const;
    UniqueModule module_;
};

// IDispatch calls as a Visual Basic style caller makes them.
HRESULT PutProperty(IDispatch* object, DISPID id, const Variant& value, UINT* argumentError = nullptr);
HRESULT GetProperty(IDispatch* object, DISPID id, Variant& result);
HRESULT CallMethod(IDispatch* object, DISPID id);
// The property's value as Describe() gives it, or "error 0x..." when the get fails.
std::string Read(IDispatch* object, DISPID id);

std::wstring WindowText(HWND window);

// The client area of a window as it paints itself into a 32-bit bitmap
// (WM_PRINTCLIENT), one COLORREF per pixel, row by row.
struct Picture {
    int width = 0;
    int height = 0;
    std::vector<COLORREF> pixels;
    COLORREF At(int x, int y) const { return pixels[static_cast<size_t>(y * width + x)]; }
};
Picture Render(HWND window);

}  // namespace velmora::testing
