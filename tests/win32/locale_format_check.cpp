// Exits 0 when FormatBytes(1536) in the user's regional settings equals the
// text given as the one argument, 1 otherwise; prints both.
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <string>

#include "text/format_bytes.h"


int main() {
    int argc = 0;
    wchar_t** argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
    if (argc != 2) {
        std::fprintf(stderr, "usage: locale_format_check <expected text>\n");
        return 2;
    }
    const std::wstring actual = velmora::FormatBytes(1536);
    std::printf("expected \"%ls\", got \"%ls\"\n", argv[1], actual.c_str());
    return actual == argv[1] ? 0 : 1;
}
