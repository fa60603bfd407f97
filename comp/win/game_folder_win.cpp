#include "game_folder_win.h"

#include "core/path_rules.h"
#include "file_ops_win.h"
#include "system_text_win.h"

namespace velmora::engine {

std::optional<std::wstring> GameFolder::FullPath(std::string_view manifestPath) const {
    const std::optional<std::wstring> relative = FromUtf8(ToWindowsRelativePath(manifestPath));
    if (!relative) return std::nullopt;
    return path_ + L"\\" + *relative;
}

std::optional<std::uint64_t> GameFolder::FileSize(std::string_view manifestPath) const {
    const std::optional<std::wstring> full = FullPath(manifestPath);
    return full ? PlainFileSize(*full) : std::nullopt;
}

Result<void> GameFolder::PutInPlace(const std::wstring& verified, std::string_view manifestPath) const {
    const std::optional<std::wstring> target = FullPath(manifestPath);
    if (!target) return InvalidFormat("path is not UTF-8: " + std::string(manifestPath));
    if (IsFolder(*target))
        return EngineError{EngineStatus::WrongFile, "a folder stands where " + Utf8(*target) + " belongs"};
    if (auto folders = CreateFolders(ParentFolder(*target)); !folders) return folders;
    return ReplaceWith(verified, *target);
}

}  // namespace velmora::engine
