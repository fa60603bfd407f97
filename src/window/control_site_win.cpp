#include "window/control_site_win.h"

#include <olectl.h>

namespace velmora {

ComPtr<ControlSite> ControlSite::Create(HWND host, const RECT& position) {
    return ComPtr<ControlSite>::Attach(new ControlSite(host, position));
}

void* ControlSite::FindInterface(REFIID iid) noexcept {
    if (iid == IID_IUnknown || iid == IID_IOleClientSite) return static_cast<IOleClientSite*>(this);
    if (iid == IID_IOleWindow || iid == IID_IOleInPlaceSite) return static_cast<IOleInPlaceSite*>(this);
    if (iid == IID_IOleInPlaceUIWindow || iid == IID_IOleInPlaceFrame) return static_cast<IOleInPlaceFrame*>(this);
    if (iid == IID_IOleControlSite) return static_cast<IOleControlSite*>(this);
    if (iid == IID_IDispatch) return static_cast<IDispatch*>(this);
    return nullptr;
}

// IOleClientSite: the control lives in the window only; there is no
// document to save it to and no moniker to name it by.
HRESULT ControlSite::SaveObject() { return E_NOTIMPL; }
HRESULT ControlSite::GetMoniker(DWORD, DWORD, IMoniker** moniker) {
    if (moniker) *moniker = nullptr;
    return E_NOTIMPL;
}
HRESULT ControlSite::GetContainer(IOleContainer** container) {
    if (container) *container = nullptr;
    return E_NOINTERFACE;
}
HRESULT ControlSite::ShowObject() { return S_OK; }
HRESULT ControlSite::OnShowWindow(BOOL) { return S_OK; }
HRESULT ControlSite::RequestNewObjectLayout() { return E_NOTIMPL; }

HRESULT ControlSite::GetWindow(HWND* window) {
    if (!window) return E_POINTER;
    *window = host_;
    return S_OK;
}
HRESULT ControlSite::ContextSensitiveHelp(BOOL) { return E_NOTIMPL; }

// IOleInPlaceSite
HRESULT ControlSite::CanInPlaceActivate() { return S_OK; }
HRESULT ControlSite::OnInPlaceActivate() { return S_OK; }
HRESULT ControlSite::OnUIActivate() { return S_OK; }

HRESULT ControlSite::GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** document, RECT* position,
                                      RECT* clip, OLEINPLACEFRAMEINFO* info) {
    if (!frame || !document || !position || !clip || !info) return E_POINTER;
    *frame = static_cast<IOleInPlaceFrame*>(this);
    AddRef();
    *document = nullptr;
    *position = position_;
    *clip = position_;
    info->cb = sizeof *info;
    info->fMDIApp = FALSE;
    info->hwndFrame = host_;
    info->haccel = nullptr;
    info->cAccelEntries = 0;
    return S_OK;
}

HRESULT ControlSite::Scroll(SIZE) { return E_NOTIMPL; }
HRESULT ControlSite::OnUIDeactivate(BOOL) { return S_OK; }
HRESULT ControlSite::OnInPlaceDeactivate() {
    inPlaceObject_.reset();
    return S_OK;
}
HRESULT ControlSite::DiscardUndoState() { return S_OK; }
HRESULT ControlSite::DeactivateAndUndo() { return S_OK; }

// The layout is fixed: a control that asks to move is given back its place.
HRESULT ControlSite::OnPosRectChange(LPCRECT) {
    if (inPlaceObject_) inPlaceObject_->SetObjectRects(&position_, &position_);
    return S_OK;
}

// IOleInPlaceUIWindow / IOleInPlaceFrame
HRESULT ControlSite::GetBorder(LPRECT) { return INPLACE_E_NOTOOLSPACE; }
HRESULT ControlSite::RequestBorderSpace(LPCBORDERWIDTHS) { return INPLACE_E_NOTOOLSPACE; }
HRESULT ControlSite::SetBorderSpace(LPCBORDERWIDTHS) { return INPLACE_E_NOTOOLSPACE; }
HRESULT ControlSite::SetActiveObject(IOleInPlaceActiveObject*, LPCOLESTR) { return S_OK; }
HRESULT ControlSite::InsertMenus(HMENU, LPOLEMENUGROUPWIDTHS) { return E_NOTIMPL; }
HRESULT ControlSite::SetMenu(HMENU, HOLEMENU, HWND) { return S_OK; }
HRESULT ControlSite::RemoveMenus(HMENU) { return E_NOTIMPL; }
HRESULT ControlSite::SetStatusText(LPCOLESTR) { return S_OK; }
HRESULT ControlSite::EnableModeless(BOOL) { return S_OK; }
HRESULT ControlSite::TranslateAccelerator(LPMSG, WORD) { return S_FALSE; }

// IOleControlSite
HRESULT ControlSite::OnControlInfoChanged() { return S_OK; }
HRESULT ControlSite::LockInPlaceActive(BOOL) { return S_OK; }
HRESULT ControlSite::GetExtendedControl(IDispatch** control) {
    if (control) *control = nullptr;
    return E_NOTIMPL;
}

// Container coordinates are pixels at 96 dots per inch.
HRESULT ControlSite::TransformCoords(POINTL* himetric, POINTF* container, DWORD flags) {
    if (!himetric || !container) return E_POINTER;
    if (flags & XFORMCOORDS_HIMETRICTOCONTAINER) {
        container->x = static_cast<float>(himetric->x) * 96.0f / 2540.0f;
        container->y = static_cast<float>(himetric->y) * 96.0f / 2540.0f;
    } else if (flags & XFORMCOORDS_CONTAINERTOHIMETRIC) {
        himetric->x = static_cast<LONG>(container->x * 2540.0f / 96.0f + 0.5f);
        himetric->y = static_cast<LONG>(container->y * 2540.0f / 96.0f + 0.5f);
    } else {
        return E_INVALIDARG;
    }
    return S_OK;
}

HRESULT ControlSite::TranslateAccelerator(MSG*, DWORD) { return S_FALSE; }
HRESULT ControlSite::OnFocus(BOOL) { return S_OK; }
HRESULT ControlSite::ShowPropertyFrame() { return E_NOTIMPL; }

// IDispatch: ambient properties. The control runs in user mode, draws no
// grab handles or hatching, and handles its own messages.
HRESULT ControlSite::GetTypeInfoCount(UINT* count) {
    if (!count) return E_POINTER;
    *count = 0;
    return S_OK;
}
HRESULT ControlSite::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
    if (info) *info = nullptr;
    return E_NOTIMPL;
}
HRESULT ControlSite::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) { return E_NOTIMPL; }

HRESULT ControlSite::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS*, VARIANT* result, EXCEPINFO*, UINT*) {
    if (!(flags & DISPATCH_PROPERTYGET)) return DISP_E_MEMBERNOTFOUND;
    if (!result) return E_POINTER;
    ::VariantInit(result);
    auto boolean = [&](bool value) {
        result->vt = VT_BOOL;
        result->boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
        return S_OK;
    };
    switch (id) {
        case DISPID_AMBIENT_USERMODE: return boolean(true);
        case DISPID_AMBIENT_UIDEAD: return boolean(false);
        case DISPID_AMBIENT_SHOWGRABHANDLES: return boolean(false);
        case DISPID_AMBIENT_SHOWHATCHING: return boolean(false);
        case DISPID_AMBIENT_MESSAGEREFLECT: return boolean(false);
        case DISPID_AMBIENT_DISPLAYASDEFAULT: return boolean(false);
        case DISPID_AMBIENT_SUPPORTSMNEMONICS: return boolean(false);
        case DISPID_AMBIENT_AUTOCLIP: return boolean(true);
        case DISPID_AMBIENT_LOCALEID:
            result->vt = VT_I4;
            result->lVal = static_cast<LONG>(::GetUserDefaultLCID());
            return S_OK;
        case DISPID_AMBIENT_BACKCOLOR:
            result->vt = VT_I4;
            result->lVal = 0;  // the window's black
            return S_OK;
        case DISPID_AMBIENT_FORECOLOR:
            result->vt = VT_I4;
            result->lVal = static_cast<LONG>(0x80000000 | COLOR_WINDOWTEXT);
            return S_OK;
        default: return DISP_E_MEMBERNOTFOUND;
    }
}

}  // namespace velmora
