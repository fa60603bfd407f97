#include "startup/single_instance.h"

#include <cstdint>

#include "core/case_fold.h"

namespace velmora {
namespace {

constexpr std::wstring_view kExtendedLengthPrefix = L"\\\\?\\";
constexpr std::wstring_view kExtendedLengthUncPrefix = L"\\\\?\\UNC\\";

// A UTF-16 unit upper-cased as the file system folds it. Where wchar_t is
// wider (not on Windows), a character beyond U+FFFF stays as it is.
template <typename Unit>
Unit Upcase(Unit unit) {
    if constexpr (sizeof(Unit) > sizeof(char16_t)) {
        if (static_cast<char32_t>(unit) > 0xFFFF) return unit;
    }
    return static_cast<Unit>(engine::UpcaseUnit(static_cast<char16_t>(unit)));
}

// The folder as one text per folder: "\" separators, no closing one, no
// "\\?\" form, every letter upper-cased as the file system folds it.
std::wstring FolderKey(std::wstring_view folder) {
    std::wstring key;
    if (folder.starts_with(kExtendedLengthUncPrefix)) {
        key = L"\\\\";
        folder.remove_prefix(kExtendedLengthUncPrefix.size());
    } else if (folder.starts_with(kExtendedLengthPrefix)) {
        folder.remove_prefix(kExtendedLengthPrefix.size());
    }
    for (const wchar_t unit : folder) key += unit == L'/' ? L'\\' : Upcase(unit);
    while (!key.empty() && key.back() == L'\\') key.pop_back();
    return key;
}

// 64-bit FNV-1a over the UTF-16 code units, low byte first.
std::uint64_t Hash(std::wstring_view text) {
    std::uint64_t hash = 0xcbf29ce484222325u;
    for (const wchar_t unit : text) {
        const auto value = static_cast<std::uint32_t>(unit);
        for (const std::uint32_t byte : {value & 0xFF, (value >> 8) & 0xFF}) {
            hash ^= byte;
            hash *= 0x100000001b3u;
        }
    }
    return hash;
}

}  // namespace

std::wstring SingleInstanceName(std::wstring_view applicationFolder) {
    constexpr wchar_t kDigits[] = L"0123456789abcdef";
    std::wstring name = L"Local\\VelmoraUpdater-";
    const std::uint64_t hash = Hash(FolderKey(applicationFolder));
    for (int shift = 60; shift >= 0; shift -= 4) name += kDigits[(hash >> shift) & 0xF];
    return name;
}

}  // namespace velmora
