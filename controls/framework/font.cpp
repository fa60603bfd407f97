#include "framework/font.h"

#include <cmath>
#include <new>

namespace velmora::controls {

FontSpec SansSerifFont(LONGLONG size) { return {L"MS Sans Serif", size, FW_NORMAL, ANSI_CHARSET}; }

bool ReadOleFont(IFont* font, FontSpec& result) {
    if (!font) return false;
    BSTR name = nullptr;
    CY size{};
    BOOL italic = FALSE;
    BOOL underline = FALSE;
    BOOL strikethrough = FALSE;
    FontSpec read{};
    const bool ok = SUCCEEDED(font->get_Name(&name)) && SUCCEEDED(font->get_Size(&size)) &&
                    SUCCEEDED(font->get_Weight(&read.weight)) && SUCCEEDED(font->get_Charset(&read.charset)) &&
                    SUCCEEDED(font->get_Italic(&italic)) && SUCCEEDED(font->get_Underline(&underline)) &&
                    SUCCEEDED(font->get_Strikethrough(&strikethrough));
    if (ok) {
        read.name.assign(name ? name : L"", ::SysStringLen(name));
        read.size = size.int64;
        read.italic = italic != FALSE;
        read.underline = underline != FALSE;
        read.strikethrough = strikethrough != FALSE;
        result = std::move(read);
    }
    ::SysFreeString(name);
    return ok;
}

ComPtr<IFont> CreateOleFont(const FontSpec& font) {
    FONTDESC description{};
    description.cbSizeofstruct = sizeof description;
    description.lpstrName = const_cast<LPOLESTR>(font.name.c_str());
    description.cySize.int64 = font.size;
    description.sWeight = font.weight;
    description.sCharset = font.charset;
    description.fItalic = font.italic;
    description.fUnderline = font.underline;
    description.fStrikethrough = font.strikethrough;
    ComPtr<IFont> result;
    if (FAILED(::OleCreateFontIndirect(&description, IID_IFont, result.put_void()))) throw std::bad_alloc();
    return result;
}

UniqueFont CreateGdiFont(const FontSpec& font) {
    int pixelsPerInch = 96;
    if (HDC screen = ::GetDC(nullptr)) {
        pixelsPerInch = ::GetDeviceCaps(screen, LOGPIXELSY);
        ::ReleaseDC(nullptr, screen);
    }
    LOGFONTW description{};
    // Negative: the character height without internal leading, as a point
    // size means.
    description.lfHeight = -static_cast<LONG>(std::lround(static_cast<double>(font.size) / 10000.0 * pixelsPerInch / 72.0));
    description.lfWeight = font.weight;
    description.lfItalic = font.italic;
    description.lfUnderline = font.underline;
    description.lfStrikeOut = font.strikethrough;
    description.lfCharSet = static_cast<BYTE>(font.charset);
    font.name.copy(description.lfFaceName, LF_FACESIZE - 1);
    return UniqueFont(::CreateFontIndirectW(&description));
}

}  // namespace velmora::controls
