#pragma once
// The few file operations the engine performs, with failures as values. A
// local file that cannot be read, written or replaced is reported as the
// wrong file (-7): the install cannot be brought to the manifest.
#include <windows.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <span>
#include <string_view>
#include <vector>

#include "winsupport/parent_folder.h"

#include "core/engine_status.h"
#include "core/file_stamp.h"
#include "winsupport/owners_win.h"

namespace velmora::engine {

EngineError LocalFileError(std::string what, const std::wstring& path);

// The size of the plain file at `path`; nothing when there is none (missing,
// a folder, unreadable attributes).
std::optional<std::uint64_t> PlainFileSize(const std::wstring& path);
// Its size and last-write time (nothing for a folder or no file).
std::optional<FileStamp> PlainFileStamp(const std::wstring& path);

bool IsFolder(const std::wstring& path);

// A folder that is a junction, a symbolic link or a mount point: what lies
// behind it is not the game's, so the engine never writes, deletes or cleans
// through one. A placeholder of a cloud drive is a reparse point too, but it
// is the folder itself, not a way elsewhere.
bool IsLinkedFolder(const std::wstring& path);

// -7, naming the link; local trouble, so downloads are kept.
EngineError LinkedFolderError(const std::wstring& path);

// The whole file when it exists and holds at most `limit` bytes.
std::optional<std::string> ReadFileUpTo(const std::wstring& path, std::uint64_t limit);

// Opens an existing file for reading while nobody writes to it: others may
// read it but not write it for as long as the handle is open.
Result<UniqueFileHandle> OpenForReadingAlone(const std::wstring& path);

// Reads the open file (at `path`, for messages) from its start to its end,
// in pieces of at most 1 MiB, giving each to `take`; stops at the first
// failure `take` returns.
Result<void> ReadFromStart(HANDLE file, const std::wstring& path,
                           const std::function<Result<void>(std::string_view piece)>& take);

// A new (or truncated) empty file for WriteAt.
Result<UniqueFileHandle> CreateForWriting(const std::wstring& path);

// Gives the pieces of a file's bytes, in order, to the function it is
// handed; stops at the first failure that function returns.
using PiecesOfFile = std::function<Result<void>(const std::function<Result<void>(std::string_view piece)>& take)>;

// Writes the pieces `write` gives to a new or truncated file and flushes it
// to the disk; the file is closed when this returns.
Result<void> WriteFileFlushed(const std::wstring& path, const PiecesOfFile& write);
// The same for bytes held whole.
Result<void> WriteFileFlushed(const std::wstring& path, std::string_view bytes);

// `size` bytes of the file at `offset`; fewer when the file ends first.
Result<std::vector<std::uint8_t>> ReadAt(const std::wstring& path, std::uint64_t offset, std::uint32_t size);
// The same of the open file (at `path`, for messages). Each read names its
// place, so threads may read one handle at once.
Result<std::vector<std::uint8_t>> ReadAt(HANDLE file, const std::wstring& path, std::uint64_t offset,
                                         std::uint32_t size);

// Opens an existing file for WriteAt. Other handles may write other parts
// of the file at the same time.
Result<UniqueFileHandle> OpenForWriting(const std::wstring& path);

// Writes `bytes` into the open file (at `path`, for messages) at `offset`.
Result<void> WriteAt(HANDLE file, const std::wstring& path, std::uint64_t offset,
                     std::span<const std::uint8_t> bytes);

// A new (or truncated) file of `size` bytes, to be filled by WriteAt.
Result<void> CreateSized(const std::wstring& path, std::uint64_t size);

// Flushes what was written to the file to the disk.
Result<void> Flush(const std::wstring& path);
// The same through a handle open for writing.
Result<void> Flush(HANDLE file, const std::wstring& path);

// Creates `folder` and every missing folder above it.
Result<void> CreateFolders(const std::wstring& folder);

// Renames `from` to `to` in one step, replacing `to` (a read-only `to` is
// made writable first), and returns once the rename is on the disk.
Result<void> ReplaceWith(const std::wstring& from, const std::wstring& to);

// Copies `from` to `to` (replacing it) and flushes the copy to the disk.
Result<void> CopyFlushed(const std::wstring& from, const std::wstring& to);

// Deletes a file; true when it is gone (or was never there).
bool DeleteIfPresent(const std::wstring& path);

}  // namespace velmora::engine
