#include "core/path_rules.h"

#include <algorithm>
#include <array>
#include <optional>

#include "core/byte_find.h"
#include "core/case_fold.h"

namespace velmora::engine {
namespace {

// Number of UTF-16 code units of `text`, or nothing when it is not valid
// UTF-8 (bad sequences, overlong forms, surrogates, beyond U+10FFFF): such a
// path could not be converted for Windows without guessing.
std::optional<std::size_t> Utf16Length(std::string_view text) {
    std::size_t units = 0;
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        std::size_t length;
        char32_t code;
        if (lead < 0x80) {
            length = 1, code = lead;
        } else if ((lead & 0xE0) == 0xC0) {
            length = 2, code = lead & 0x1Fu;
        } else if ((lead & 0xF0) == 0xE0) {
            length = 3, code = lead & 0x0Fu;
        } else if ((lead & 0xF8) == 0xF0) {
            length = 4, code = lead & 0x07u;
        } else {
            return std::nullopt;
        }
        if (text.size() - i < length) return std::nullopt;
        for (std::size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80) return std::nullopt;
            code = code << 6 | (next & 0x3Fu);
        }
        static constexpr char32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
        if (code < kSmallest[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
            return std::nullopt;
        units += code >= 0x10000 ? 2 : 1;
        i += length;
    }
    return units;
}

// Names Windows opens as devices in any folder, with any extension (and
// with blanks before the extension).
bool IsDeviceName(std::string_view segment) {
    std::string_view base = segment.substr(0, segment.find('.'));
    while (!base.empty() && base.back() == ' ') base.remove_suffix(1);
    // Every device name takes 3 to 7 bytes, also with a letter that folds
    // to ASCII ("con\xC4\xB1n$"): most segments are done here.
    if (base.size() < 3 || base.size() > 7) return false;
    static constexpr std::array<std::string_view, 6> kNames = {"con", "prn", "aux", "nul", "conin$",
                                                               "conout$"};
    for (const std::string_view name : kNames)
        if (EqualIgnoringCase(base, name)) return true;
    if (base.size() < 4 || (!EqualIgnoringCase(base.substr(0, 3), "com") &&
                            !EqualIgnoringCase(base.substr(0, 3), "lpt")))
        return false;
    const std::string_view number = base.substr(3);
    // COM0-COM9 and LPT0-LPT9, and the superscript digits 1 to 3 that
    // Windows also maps to those devices.
    return (number.size() == 1 && number[0] >= '0' && number[0] <= '9') || number == "\xC2\xB9" ||
           number == "\xC2\xB2" || number == "\xC2\xB3";
}

// An 8.3 short name such as VELUPD~1.EXE can reach a file by another name;
// a tilde followed by a digit is refused so that no path aliases one.
bool LooksLikeShortName(std::string_view segment) {
    for (std::size_t i = 0; i + 1 < segment.size(); ++i)
        if (segment[i] == '~' && segment[i + 1] >= '0' && segment[i + 1] <= '9') return true;
    return false;
}

const char* SegmentProblem(std::string_view segment) {
    if (segment.empty()) return "empty path segment";
    if (segment == "." || segment == "..") return "'.' or '..' segment";
    if (segment.back() == '.' || segment.back() == ' ') return "segment ends in a dot or a blank";
    if (IsDeviceName(segment)) return "device name";
    if (LooksLikeShortName(segment)) return "segment looks like a short (8.3) name";
    return nullptr;
}

}  // namespace

const char* PathProblem(std::string_view path) {
    if (path.empty()) return "empty path";
    const std::optional<std::size_t> length = Utf16Length(path);
    if (!length) return "not valid UTF-8";
    if (*length > kMaxManifestPathLength) return "path longer than 240 characters";
    if (path[0] == '/') return "absolute path";
    for (const char c : path) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7F) return "control character";
        if (c == '\\') return "backslash";
        if (c == ':') return "colon (drive letter or alternate data stream)";
        // A switch, not a search of a string of them: this runs for every
        // byte of every path of a manifest of some hundred thousand files.
        switch (c) {
            case '<': case '>': case '"': case '|': case '?': case '*':
                return "character not allowed in Windows file names";
            default:
                break;
        }
    }
    std::size_t start = 0;
    while (true) {
        const std::size_t end = FindByte(path, '/', start);
        const std::string_view segment =
            path.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
        if (const char* problem = SegmentProblem(segment)) return problem;
        if (start == 0 && EqualIgnoringCase(segment, "libs") && !IsUpdaterFile(path))
            return "inside the updater's libs folder (only its own libraries may be named there)";
        if (end == std::string_view::npos) break;
        start = end + 1;
    }
    return nullptr;
}

bool IsUpdaterFile(std::string_view path) {
    for (const std::string_view file : kUpdaterFiles)
        if (EqualIgnoringCase(path, file)) return true;
    return false;
}

std::string ToWindowsRelativePath(std::string_view path) {
    std::string windows(path);
    std::replace(windows.begin(), windows.end(), '/', '\\');
    return windows;
}

}  // namespace velmora::engine
