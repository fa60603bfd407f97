// The container protocol of WindowedControl: identity, client site,
// activation, extent, persistence and dispatch.
#include "framework/control_base.h"

#include <new>

#include "framework/property_bag.h"
#include "framework/variant.h"

namespace velmora::controls {
namespace {

// Runs a COM method body; no exception leaves through the interface.
template <typename Body>
HRESULT Guarded(Body&& body) noexcept {
    try {
        return body();
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_UNEXPECTED;
    }
}

}  // namespace

WindowedControl::WindowedControl(const ControlClass& control, SIZEL extent, FontSpec font)
    : class_(control), extent_(extent), font_(std::move(font)) {}

WindowedControl::~WindowedControl() {
    // A container that let go without deactivating: the window must not
    // outlive the object it calls back.
    if (window_) ::SetWindowLongPtrW(window_.get(), GWLP_USERDATA, 0);
}

// --- IUnknown ---------------------------------------------------------------

void* WindowedControl::FindInterface(REFIID iid) noexcept {
    if (iid == IID_IUnknown || iid == IID_IOleObject) return static_cast<IOleObject*>(this);
    if (iid == IID_IOleWindow || iid == IID_IOleInPlaceObject) return static_cast<IOleInPlaceObject*>(this);
    if (iid == IID_IOleInPlaceActiveObject) return static_cast<IOleInPlaceActiveObject*>(this);
    if (iid == IID_IOleControl) return static_cast<IOleControl*>(this);
    if (iid == IID_IPersist || iid == IID_IPersistPropertyBag) return static_cast<IPersistPropertyBag*>(this);
    if (iid == IID_IPersistStreamInit) return static_cast<IPersistStreamInit*>(this);
    if (iid == IID_IDispatch) return static_cast<IDispatch*>(this);
    return nullptr;
}

// --- IOleObject -------------------------------------------------------------

HRESULT WindowedControl::SetClientSite(IOleClientSite* site) {
    clientSite_ = ComPtr<IOleClientSite>::Share(site);
    return S_OK;
}

HRESULT WindowedControl::GetClientSite(IOleClientSite** site) {
    if (!site) return E_POINTER;
    *site = clientSite_.get();
    if (*site) (*site)->AddRef();
    return S_OK;
}

HRESULT WindowedControl::Close(DWORD) {
    InPlaceDeactivate();
    if (adviseHolder_) adviseHolder_->SendOnClose();
    return S_OK;
}

HRESULT WindowedControl::GetMoniker(DWORD, DWORD, IMoniker** moniker) {
    if (moniker) *moniker = nullptr;
    return E_NOTIMPL;
}

HRESULT WindowedControl::GetClipboardData(DWORD, IDataObject** data) {
    if (data) *data = nullptr;
    return E_NOTIMPL;
}

HRESULT WindowedControl::DoVerb(LONG verb, LPMSG, IOleClientSite* activeSite, LONG, HWND, LPCRECT) {
    return Guarded([&]() -> HRESULT {
        IOleClientSite* site = activeSite ? activeSite : clientSite_.get();
        switch (verb) {
        case OLEIVERB_INPLACEACTIVATE:
            // Active but not shown: the container decides when the control
            // is seen (OLEIVERB_SHOW, or showing the window itself).
            return InPlaceActivate(site);
        case OLEIVERB_PRIMARY:
        case OLEIVERB_SHOW: {
            const HRESULT hr = InPlaceActivate(site);
            if (FAILED(hr)) return hr;
            ::ShowWindow(window_.get(), SW_SHOWNA);
            if (clientSite_) clientSite_->ShowObject();
            return S_OK;
        }
        case OLEIVERB_UIACTIVATE: {
            const HRESULT hr = InPlaceActivate(site);
            return FAILED(hr) ? hr : UIActivate();
        }
        case OLEIVERB_HIDE:
            if (window_) ::ShowWindow(window_.get(), SW_HIDE);
            return S_OK;
        default:
            return verb > 0 ? OLEOBJ_S_INVALIDVERB : E_NOTIMPL;
        }
    });
}

HRESULT WindowedControl::GetUserClassID(CLSID* clsid) { return GetClassID(clsid); }

HRESULT WindowedControl::SetExtent(DWORD aspect, SIZEL* size) {
    if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
    if (!size) return E_POINTER;
    extent_ = *size;
    MarkDirty();
    return S_OK;
}

HRESULT WindowedControl::GetExtent(DWORD aspect, SIZEL* size) {
    if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
    if (!size) return E_POINTER;
    *size = extent_;
    return S_OK;
}

IOleAdviseHolder* WindowedControl::AdviseHolder() {
    if (!adviseHolder_) ::CreateOleAdviseHolder(adviseHolder_.put());
    return adviseHolder_.get();
}

HRESULT WindowedControl::Advise(IAdviseSink* sink, DWORD* connection) {
    IOleAdviseHolder* holder = AdviseHolder();
    return holder ? holder->Advise(sink, connection) : E_OUTOFMEMORY;
}

HRESULT WindowedControl::Unadvise(DWORD connection) {
    return adviseHolder_ ? adviseHolder_->Unadvise(connection) : OLE_E_NOCONNECTION;
}

HRESULT WindowedControl::EnumAdvise(IEnumSTATDATA** advises) {
    if (!advises) return E_POINTER;
    *advises = nullptr;
    IOleAdviseHolder* holder = AdviseHolder();
    return holder ? holder->EnumAdvise(advises) : E_OUTOFMEMORY;
}

HRESULT WindowedControl::GetMiscStatus(DWORD, DWORD* status) {
    if (!status) return E_POINTER;
    *status = kControlMiscStatus;
    return S_OK;
}

// --- In-place activation ----------------------------------------------------

HRESULT WindowedControl::InPlaceActivate(IOleClientSite* site) {
    if (inPlaceSite_) return S_OK;
    if (!site) return E_INVALIDARG;
    ComPtr<IOleInPlaceSite> inPlaceSite;
    if (FAILED(site->QueryInterface(IID_IOleInPlaceSite, inPlaceSite.put_void()))) return E_NOINTERFACE;
    if (inPlaceSite->CanInPlaceActivate() != S_OK) return E_FAIL;
    HRESULT hr = inPlaceSite->OnInPlaceActivate();
    if (FAILED(hr)) return hr;

    HWND parent = nullptr;
    RECT position{};
    RECT clip{};
    OLEINPLACEFRAMEINFO frameInfo{};
    frameInfo.cb = sizeof frameInfo;
    ComPtr<IOleInPlaceFrame> frame;
    ComPtr<IOleInPlaceUIWindow> documentWindow;
    hr = inPlaceSite->GetWindow(&parent);
    if (SUCCEEDED(hr))
        hr = inPlaceSite->GetWindowContext(frame.put(), documentWindow.put(), &position, &clip, &frameInfo);
    if (SUCCEEDED(hr)) hr = CreateControlWindow(parent, position);
    if (FAILED(hr)) {
        inPlaceSite->OnInPlaceDeactivate();
        return hr;
    }
    inPlaceSite_ = std::move(inPlaceSite);
    frame_ = std::move(frame);
    documentWindow_ = std::move(documentWindow);
    return S_OK;
}

HRESULT WindowedControl::UIActivate() {
    if (!uiActive_) {
        uiActive_ = true;
        inPlaceSite_->OnUIActivate();
        if (frame_) frame_->SetActiveObject(this, nullptr);
        if (documentWindow_) documentWindow_->SetActiveObject(this, nullptr);
    }
    ::ShowWindow(window_.get(), SW_SHOWNA);
    ::SetFocus(window_.get());
    return S_OK;
}

HRESULT WindowedControl::UIDeactivate() {
    if (!uiActive_) return S_OK;
    uiActive_ = false;
    if (documentWindow_) documentWindow_->SetActiveObject(nullptr, nullptr);
    if (frame_) frame_->SetActiveObject(nullptr, nullptr);
    if (inPlaceSite_) inPlaceSite_->OnUIDeactivate(FALSE);
    return S_OK;
}

HRESULT WindowedControl::InPlaceDeactivate() {
    if (!inPlaceSite_) return S_OK;
    UIDeactivate();
    window_.reset();
    const ComPtr<IOleInPlaceSite> site = std::move(inPlaceSite_);
    frame_.reset();
    documentWindow_.reset();
    site->OnInPlaceDeactivate();
    return S_OK;
}

HRESULT WindowedControl::GetWindow(HWND* window) {
    if (!window) return E_POINTER;
    *window = window_.get();
    return *window ? S_OK : E_FAIL;
}

HRESULT WindowedControl::SetObjectRects(LPCRECT position, LPCRECT) {
    if (!position) return E_POINTER;
    if (window_)
        ::MoveWindow(window_.get(), position->left, position->top, position->right - position->left,
                     position->bottom - position->top, TRUE);
    return S_OK;
}

// --- IOleControl ------------------------------------------------------------

HRESULT WindowedControl::GetControlInfo(CONTROLINFO* info) {
    if (!info) return E_POINTER;
    info->hAccel = nullptr;
    info->cAccel = 0;
    info->dwFlags = 0;
    return S_OK;
}

// --- Persistence ------------------------------------------------------------

HRESULT WindowedControl::GetClassID(CLSID* clsid) {
    if (!clsid) return E_POINTER;
    *clsid = class_.clsid;
    return S_OK;
}

// The settings are fixed once, by InitNew (the defaults) or by Load; a
// second initialisation would silently mix two states, so it is refused.
HRESULT WindowedControl::Initialize() {
    if (initialized_) return E_UNEXPECTED;
    initialized_ = true;
    dirty_ = false;
    return S_OK;
}

HRESULT WindowedControl::InitNew() { return Initialize(); }

HRESULT WindowedControl::Load(IPropertyBag* bag, IErrorLog*) {
    if (!bag) return E_POINTER;
    return Guarded([&] {
        const HRESULT hr = Initialize();
        if (FAILED(hr)) return hr;
        ReadInt(bag, L"_extentx", extent_.cx);
        ReadInt(bag, L"_extenty", extent_.cy);
        ReadFont(bag, L"font", font_);
        gdiFont_.reset();
        LoadProperties(bag);
        Invalidate();
        return S_OK;
    });
}

HRESULT WindowedControl::Save(IPropertyBag* bag, BOOL clearDirty, BOOL) {
    if (!bag) return E_POINTER;
    return Guarded([&] {
        const HRESULT hr = FirstFailure({WriteInt(bag, L"_extentx", extent_.cx), WriteInt(bag, L"_extenty", extent_.cy),
                                         WriteFont(bag, L"font", font_), SaveProperties(bag)});
        if (SUCCEEDED(hr) && clearDirty) dirty_ = false;
        return hr;
    });
}

// --- IDispatch --------------------------------------------------------------

HRESULT WindowedControl::GetTypeInfoCount(UINT* count) {
    if (!count) return E_POINTER;
    *count = 0;
    return S_OK;
}

HRESULT WindowedControl::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
    if (info) *info = nullptr;
    return DISP_E_BADINDEX;
}

HRESULT WindowedControl::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
    if (!names || !ids) return E_POINTER;
    HRESULT hr = S_OK;
    for (UINT i = 0; i < count; ++i) ids[i] = DISPID_UNKNOWN;
    // Only the first name is a member; the others would be parameter
    // names, and no member here takes named parameters.
    for (const auto& member : DispatchMembers()) {
        if (count > 0 && names[0] &&
            ::CompareStringOrdinal(names[0], -1, member.name, -1, TRUE) == CSTR_EQUAL)
            ids[0] = member.id;
    }
    for (UINT i = 0; i < count; ++i) {
        if (ids[i] == DISPID_UNKNOWN) hr = DISP_E_UNKNOWNNAME;
    }
    return hr;
}

HRESULT WindowedControl::Invoke(DISPID id, REFIID iid, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                EXCEPINFO*, UINT* argumentError) {
    if (iid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
    if (!params) return E_INVALIDARG;
    const DispatchMember* member = nullptr;
    for (const auto& candidate : DispatchMembers()) {
        if (candidate.id == id) member = &candidate;
    }
    if (!member) return DISP_E_MEMBERNOTFOUND;
    return Guarded([&]() -> HRESULT {
        if (flags & DISPATCH_PROPERTYPUT) {
            if (member->isMethod) return DISP_E_MEMBERNOTFOUND;
            if (params->cArgs != 1) return DISP_E_BADPARAMCOUNT;
            // The value is the one argument, named DISPID_PROPERTYPUT by
            // the usual callers; an unnamed one is accepted as well.
            if (params->cNamedArgs > 1 ||
                (params->cNamedArgs == 1 && params->rgdispidNamedArgs[0] != DISPID_PROPERTYPUT))
                return DISP_E_PARAMNOTFOUND;
            const HRESULT hr = PutProperty(id, params->rgvarg[0]);
            if ((hr == DISP_E_TYPEMISMATCH || hr == DISP_E_OVERFLOW) && argumentError) *argumentError = 0;
            return hr;
        }
        if (!(flags & (DISPATCH_METHOD | DISPATCH_PROPERTYGET))) return DISP_E_MEMBERNOTFOUND;
        if (params->cArgs != 0) return DISP_E_BADPARAMCOUNT;
        if (member->isMethod) return CallMethod(id);
        Variant value;
        const HRESULT hr = GetProperty(id, value);
        if (SUCCEEDED(hr) && result) {
            *result = value.release();  // the caller owns it now
        }
        return hr;
    });
}

HRESULT WindowedControl::GetProperty(DISPID, VARIANT&) { return DISP_E_MEMBERNOTFOUND; }
HRESULT WindowedControl::PutProperty(DISPID, const VARIANT&) { return DISP_E_MEMBERNOTFOUND; }
HRESULT WindowedControl::CallMethod(DISPID) { return DISP_E_MEMBERNOTFOUND; }

// --- Helpers for the control ------------------------------------------------

void WindowedControl::SetCaption(const std::wstring& text) {
    // The window keeps its own copy of the text; WM_SETTEXT updates ours.
    if (window_)
        ::SetWindowTextW(window_.get(), text.c_str());
    else
        caption_ = text;
}

HFONT WindowedControl::Font() {
    if (!gdiFont_) gdiFont_ = CreateGdiFont(font_);
    return gdiFont_.get();
}

void WindowedControl::Invalidate() noexcept {
    if (window_) ::InvalidateRect(window_.get(), nullptr, FALSE);
}

void WindowedControl::RedrawNow() noexcept {
    if (window_) ::RedrawWindow(window_.get(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
}

}  // namespace velmora::controls
