#pragma once
// The part every one of our controls shares: an in-process windowed ActiveX
// control with one reference count behind all of its interfaces. It speaks
// the container protocol (client site, in-place activation, extent,
// property-bag persistence, dispatch by DISPID) and owns the control's child
// window; a control adds its drawing, its settings and its dispatch members.
#include <windows.h>
#include <ole2.h>
#include <ocidl.h>
#include <olectl.h>

#include <span>
#include <string>

#include "framework/control_class.h"
#include "framework/font.h"
#include "framework/gdi.h"
#include "framework/module.h"
#include "winsupport/com_object_win.h"

namespace velmora::controls {

class WindowedControl : public ComObject<IOleObject, IOleInPlaceObject, IOleInPlaceActiveObject, IOleControl,
                                         IPersistPropertyBag, IPersistStreamInit, IDispatch> {
public:
    // A member reachable through IDispatch.
    struct DispatchMember {
        const wchar_t* name;
        DISPID id;
        bool isMethod;
    };

    // IOleObject
    HRESULT STDMETHODCALLTYPE SetClientSite(IOleClientSite* site) override;
    HRESULT STDMETHODCALLTYPE GetClientSite(IOleClientSite** site) override;
    HRESULT STDMETHODCALLTYPE SetHostNames(LPCOLESTR, LPCOLESTR) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Close(DWORD saveOption) override;
    HRESULT STDMETHODCALLTYPE SetMoniker(DWORD, IMoniker*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetMoniker(DWORD, DWORD, IMoniker**) override;
    HRESULT STDMETHODCALLTYPE InitFromData(IDataObject*, BOOL, DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetClipboardData(DWORD, IDataObject**) override;
    HRESULT STDMETHODCALLTYPE DoVerb(LONG verb, LPMSG, IOleClientSite* activeSite, LONG, HWND,
                                     LPCRECT) override;
    HRESULT STDMETHODCALLTYPE EnumVerbs(IEnumOLEVERB**) override { return OLE_S_USEREG; }
    HRESULT STDMETHODCALLTYPE Update() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE IsUpToDate() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE GetUserClassID(CLSID* clsid) override;
    HRESULT STDMETHODCALLTYPE GetUserType(DWORD, LPOLESTR*) override { return OLE_S_USEREG; }
    HRESULT STDMETHODCALLTYPE SetExtent(DWORD aspect, SIZEL* size) override;
    HRESULT STDMETHODCALLTYPE GetExtent(DWORD aspect, SIZEL* size) override;
    HRESULT STDMETHODCALLTYPE Advise(IAdviseSink* sink, DWORD* connection) override;
    HRESULT STDMETHODCALLTYPE Unadvise(DWORD connection) override;
    HRESULT STDMETHODCALLTYPE EnumAdvise(IEnumSTATDATA** advises) override;
    HRESULT STDMETHODCALLTYPE GetMiscStatus(DWORD aspect, DWORD* status) override;
    HRESULT STDMETHODCALLTYPE SetColorScheme(LOGPALETTE*) override { return E_NOTIMPL; }

    // IOleWindow, for both in-place interfaces
    HRESULT STDMETHODCALLTYPE GetWindow(HWND* window) override;
    HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }

    // IOleInPlaceObject
    HRESULT STDMETHODCALLTYPE InPlaceDeactivate() override;
    HRESULT STDMETHODCALLTYPE UIDeactivate() override;
    HRESULT STDMETHODCALLTYPE SetObjectRects(LPCRECT position, LPCRECT clip) override;
    HRESULT STDMETHODCALLTYPE ReactivateAndUndo() override { return E_NOTIMPL; }

    // IOleInPlaceActiveObject
    HRESULT STDMETHODCALLTYPE TranslateAccelerator(LPMSG) override { return S_FALSE; }
    HRESULT STDMETHODCALLTYPE OnFrameWindowActivate(BOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnDocWindowActivate(BOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE ResizeBorder(LPCRECT, IOleInPlaceUIWindow*, BOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE EnableModeless(BOOL) override { return S_OK; }

    // IOleControl: no mnemonics, no ambient properties used, no events.
    HRESULT STDMETHODCALLTYPE GetControlInfo(CONTROLINFO* info) override;
    HRESULT STDMETHODCALLTYPE OnMnemonic(MSG*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE OnAmbientPropertyChange(DISPID) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE FreezeEvents(BOOL) override { return S_OK; }

    // IPersist, IPersistPropertyBag, IPersistStreamInit. InitNew serves
    // both; settings persist through the bag only, so the stream's Load and
    // Save are not offered.
    HRESULT STDMETHODCALLTYPE GetClassID(CLSID* clsid) override;
    HRESULT STDMETHODCALLTYPE InitNew() override;
    HRESULT STDMETHODCALLTYPE Load(IPropertyBag* bag, IErrorLog* log) override;
    HRESULT STDMETHODCALLTYPE Save(IPropertyBag* bag, BOOL clearDirty, BOOL saveAll) override;
    HRESULT STDMETHODCALLTYPE IsDirty() override { return dirty_ ? S_OK : S_FALSE; }
    HRESULT STDMETHODCALLTYPE Load(LPSTREAM) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Save(LPSTREAM, BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetSizeMax(ULARGE_INTEGER*) override { return E_NOTIMPL; }

    // IDispatch, without type information.
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                     EXCEPINFO*, UINT* argumentError) override;

protected:
    WindowedControl(const ControlClass& control, SIZEL extent, FontSpec font);
    ~WindowedControl() override;
    void* FindInterface(REFIID iid) noexcept override;

    // Paints every pixel of `bounds` (the client area).
    virtual void Draw(HDC dc, const RECT& bounds) = 0;
    // The control's own settings; extent and font are read and written here.
    virtual void LoadProperties(IPropertyBag* bag) = 0;
    virtual HRESULT SaveProperties(IPropertyBag* bag) = 0;
    // Members reachable through IDispatch. Invoke checks the DISPID and the
    // kind of call against this list before it asks the accessors below.
    virtual std::span<const DispatchMember> DispatchMembers() const { return {}; }
    virtual HRESULT GetProperty(DISPID id, VARIANT& result);
    virtual HRESULT PutProperty(DISPID id, const VARIANT& value);
    virtual HRESULT CallMethod(DISPID id);

    HWND Window() const noexcept { return window_.get(); }
    // The control's text, which is also its window's text (WM_GETTEXT).
    const std::wstring& Caption() const noexcept { return caption_; }
    void SetCaption(const std::wstring& text);
    // Null when the font cannot be made; drawing then uses the DC's font.
    HFONT Font();
    void Invalidate() noexcept;
    void RedrawNow() noexcept;
    void MarkDirty() noexcept { dirty_ = true; }

private:
    HRESULT Initialize();
    HRESULT InPlaceActivate(IOleClientSite* site);
    HRESULT UIActivate();
    HRESULT CreateControlWindow(HWND parent, const RECT& position);
    IOleAdviseHolder* AdviseHolder();

    // control_window.cpp
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void PaintBuffered(HDC target);

    ModuleReference module_;
    const ControlClass& class_;
    ComPtr<IOleClientSite> clientSite_;
    ComPtr<IOleAdviseHolder> adviseHolder_;
    ComPtr<IOleInPlaceSite> inPlaceSite_;  // set while in-place active
    ComPtr<IOleInPlaceFrame> frame_;
    ComPtr<IOleInPlaceUIWindow> documentWindow_;
    UniqueWindow window_;
    bool uiActive_ = false;
    bool initialized_ = false;
    bool dirty_ = false;
    SIZEL extent_;
    FontSpec font_;
    UniqueFont gdiFont_;
    std::wstring caption_;
};

// The creation function a ControlClass names.
template <typename Control>
HRESULT CreateControl(REFIID iid, void** object) {
    auto* control = new Control();
    const HRESULT hr = control->QueryInterface(iid, object);
    control->Release();
    return hr;
}

}  // namespace velmora::controls
