#pragma once
// Owners for GDI objects and device contexts, and the few drawing helpers
// the controls share.
#include <windows.h>
#include <ole2.h>
#include <olectl.h>

#include "common/owners_win.h"

namespace velmora::controls {

template <typename T>
struct GdiObjectTraits {
    using Type = T;
    static Type Empty() noexcept { return nullptr; }
    static void Close(Type object) noexcept { ::DeleteObject(object); }
};
struct MemoryDcTraits {
    using Type = HDC;
    static Type Empty() noexcept { return nullptr; }
    static void Close(Type dc) noexcept { ::DeleteDC(dc); }
};
struct WindowTraits {
    using Type = HWND;
    static Type Empty() noexcept { return nullptr; }
    static void Close(Type window) noexcept { ::DestroyWindow(window); }
};

using UniqueFont = UniqueResource<GdiObjectTraits<HFONT>>;
using UniqueBitmap = UniqueResource<GdiObjectTraits<HBITMAP>>;
using UniqueMemoryDc = UniqueResource<MemoryDcTraits>;
using UniqueWindow = UniqueResource<WindowTraits>;

// Selects an object into a device context and puts the previous one back.
class SelectedObject {
public:
    SelectedObject(HDC dc, HGDIOBJ object) noexcept
        : dc_(dc), previous_(object ? ::SelectObject(dc, object) : nullptr) {}
    ~SelectedObject() {
        if (previous_) ::SelectObject(dc_, previous_);
    }
    SelectedObject(const SelectedObject&) = delete;
    SelectedObject& operator=(const SelectedObject&) = delete;

private:
    HDC dc_;
    HGDIOBJ previous_;
};

// An OLE_COLOR as a plain RGB value; system colours (0x800000nn) resolve to
// the current scheme.
COLORREF ToColorRef(OLE_COLOR color) noexcept;

// The colour `step` of `steps` along the straight line from `from` to `to`
// (step 0 is `from`, step `steps` is `to`).
COLORREF Mix(COLORREF from, COLORREF to, int step, int steps) noexcept;

void FillSolid(HDC dc, const RECT& area, COLORREF color) noexcept;

}  // namespace velmora::controls
