#include "mapped_file_win.h"

#include "file_ops_win.h"

namespace velmora::engine {

Result<MappedFile> MappedFile::Open(const std::wstring& path) {
    MappedFile mapped;
    auto file = OpenForReadingAlone(path);
    if (!file) return file.Error();
    mapped.file_ = std::move(file).Value();
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(mapped.file_.get(), &size) || size.QuadPart <= 0 ||
        static_cast<std::uint64_t>(size.QuadPart) > SIZE_MAX / 2)
        return LocalFileError("cannot map (empty or too large)", path);
    mapped.mapping_.reset(::CreateFileMappingW(mapped.file_.get(), nullptr, PAGE_READONLY, 0, 0, nullptr));
    if (!mapped.mapping_) return LocalFileError("cannot map", path);
    mapped.view_.reset(::MapViewOfFile(mapped.mapping_.get(), FILE_MAP_READ, 0, 0, 0));
    if (!mapped.view_) return LocalFileError("cannot map a view of", path);
    mapped.size_ = static_cast<std::size_t>(size.QuadPart);
    return mapped;
}

}  // namespace velmora::engine
