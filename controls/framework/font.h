#pragma once
// A control's font as plain values: what the container's IFont says, kept
// so the control owns its font and can hand out a fresh IFont when saved.
#include <windows.h>
#include <ole2.h>
#include <olectl.h>

#include <string>

#include "framework/gdi.h"

namespace velmora::controls {

struct FontSpec {
    std::wstring name;
    LONGLONG size;  // points x 10000, as in IFont's CY size
    SHORT weight;
    SHORT charset;
    bool italic = false;
    bool underline = false;
    bool strikethrough = false;

    bool operator==(const FontSpec&) const = default;
};

// "MS Sans Serif", regular, ANSI, at the given size (points x 10000).
FontSpec SansSerifFont(LONGLONG size);

// False when the font cannot be read; `result` is then unchanged.
bool ReadOleFont(IFont* font, FontSpec& result);
// A new IFont for saving the font; throws std::bad_alloc if none is made.
ComPtr<IFont> CreateOleFont(const FontSpec& font);
// The GDI font for drawing at the screen's resolution.
UniqueFont CreateGdiFont(const FontSpec& font);

}  // namespace velmora::controls
