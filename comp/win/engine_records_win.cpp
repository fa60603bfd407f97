#include "engine_records_win.h"

#include "file_ops_win.h"

namespace velmora::engine {

EngineRecords::EngineRecords(std::wstring libsFolder, std::wstring localManifest, std::wstring scratch)
    : lock_(libsFolder + L"\\gamedata.lock"),
      localManifest_(std::move(localManifest)),
      journal_(libsFolder + L"\\gamedata.journal"),
      floor_(libsFolder + L"\\gamedata.floor"),
      placed_(libsFolder + L"\\gamedata.placed"),
      scratch_(std::move(scratch)) {}

Result<FolderLock> EngineRecords::Lock() const { return FolderLock::Acquire(lock_); }

std::optional<AcceptedFloor> EngineRecords::FloorRecord() const {
    const std::optional<std::string> text = ReadFileUpTo(floor_, 1024);
    return text ? ParseFloorRecord(*text) : std::nullopt;
}

std::string EngineRecords::PlacedText() const {
    return ReadFileUpTo(placed_, kMaxManifestBytes).value_or(std::string());
}

Result<void> EngineRecords::RemoveJournal() const {
    if (!DeleteIfPresent(journal_)) return LocalFileError("cannot remove", journal_);
    return {};
}

Result<void> EngineRecords::Replace(const std::wstring& path, const std::string& bytes) const {
    return velmora::engine::WriteLocalManifest(path, scratch_, bytes);
}

}  // namespace velmora::engine
