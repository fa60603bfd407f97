#include "engine_records_win.h"

#include "file_ops_win.h"

namespace velmora::engine {

EngineRecords::EngineRecords(std::wstring libsFolder, std::wstring localManifest, std::wstring scratch)
    : lock_(libsFolder + L"\\gamedata.lock"),
      localManifest_(std::move(localManifest)),
      journal_(libsFolder + L"\\gamedata.journal"),
      fetched_(libsFolder + L"\\gamedata.fetched"),
      floor_(libsFolder + L"\\gamedata.floor"),
      placed_(libsFolder + L"\\gamedata.placed"),
      scratch_(std::move(scratch)) {}

Result<FolderLock> EngineRecords::Lock() const { return FolderLock::Acquire(lock_); }

std::optional<AcceptedFloor> EngineRecords::FloorRecord() const {
    const std::optional<std::string> text = ReadFileUpTo(floor_, 1024);
    return text ? ParseFloorRecord(*text) : std::nullopt;
}

PlacedFiles EngineRecords::Placed(std::span<const ManifestFile> alike) const {
    auto file = OpenForReadingAlone(placed_);
    if (!file) return {};
    std::optional<PlacedFiles> read = ReadPlacedFiles(
        [&](const TextPieces& take) { return ReadFromStart(file.Value().get(), placed_, take); }, alike);
    return read ? std::move(*read) : PlacedFiles();
}

Result<void> EngineRecords::WritePlaced(const std::function<Result<void>(const TextPieces&)>& write) const {
    if (auto written = WriteFileFlushed(scratch_, write); !written) return written;
    return ReplaceWith(scratch_, placed_);
}

std::optional<CheckedManifestFile> EngineRecords::CheckedLocalManifest() const {
    auto checked = CheckedManifestFile::Open(localManifest_);
    if (!checked) return std::nullopt;
    return std::move(checked).Value();
}

Result<void> EngineRecords::RemoveJournal() const {
    if (!DeleteIfPresent(journal_)) return LocalFileError("cannot remove", journal_);
    return {};
}

Result<void> EngineRecords::RemoveFetched() const {
    if (!DeleteIfPresent(fetched_)) return LocalFileError("cannot remove", fetched_);
    return {};
}

Result<void> EngineRecords::Replace(const std::wstring& path, const std::string& bytes) const {
    if (auto written = WriteFileFlushed(scratch_, bytes); !written) return written;
    return ReplaceWith(scratch_, path);
}

// A manifest's text is copied, not rewritten: the run never holds it whole.
Result<void> EngineRecords::Copy(const ManifestText& text, const std::wstring& path) const {
    if (auto copied = CopyFlushed(text.file, scratch_); !copied) return copied;
    return ReplaceWith(scratch_, path);
}

}  // namespace velmora::engine
