#pragma once
// The window's own child windows that sit on the skin: the status line
// (Label1) and the Cancel click area (Image1). Each paints the part of the
// skin behind it itself, double-buffered, so the parent can clip its
// children and nothing flickers when the text changes.
#include <windows.h>

namespace velmora {

// Paints the part of `skin` (drawn at the parent's client origin) that lies
// behind `child` into `target`, in child coordinates.
void PaintSkinBehind(HDC target, HWND child, HBITMAP skin);

// A visible child window of the class, registered on first use, at the
// place; `parameter` reaches the class's WM_NCCREATE.
HWND CreateSkinChild(const wchar_t* className, WNDPROC procedure, HWND parent, const RECT& place, int id,
                     void* parameter);

// The state a skin child keeps for its life, found by its window
// procedure for every message: a copy of the `State` given to
// CreateSkinChild, made at WM_NCCREATE and freed at WM_NCDESTROY (which then
// finds none, as does any message before WM_NCCREATE).
template <class State>
State* SkinChildState(HWND child, UINT message, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        const auto* given = static_cast<const State*>(reinterpret_cast<const CREATESTRUCTW*>(lParam)->lpCreateParams);
        auto* state = new State(*given);
        ::SetWindowLongPtrW(child, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(state));
        return state;
    }
    auto* state = reinterpret_cast<State*>(::GetWindowLongPtrW(child, GWLP_USERDATA));
    if (message == WM_NCDESTROY) {
        ::SetWindowLongPtrW(child, GWLP_USERDATA, 0);
        delete state;
        return nullptr;
    }
    return state;
}

// The status line: its text is the window text (WM_SETTEXT / WM_GETTEXT),
// drawn light grey and centred over the skin.
HWND CreateStatusLabel(HWND parent, const RECT& place, HBITMAP skin, HFONT font);

// The click area: draws nothing but the skin behind it, and sends its parent
// WM_COMMAND with BN_CLICKED and `id` when a left-button press is released
// inside it.
HWND CreateClickArea(HWND parent, const RECT& place, HBITMAP skin, int id);

}  // namespace velmora
