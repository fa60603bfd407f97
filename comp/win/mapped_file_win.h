#pragma once
// A file's bytes mapped read-only into the address space: the system pages
// them in from the file as they are read, so a large text is read at will
// without a copy of it in the process's own memory. Nobody may write the
// file while it is mapped.
#include <windows.h>

#include <string>
#include <string_view>

#include "core/engine_status.h"
#include "winsupport/owners_win.h"

namespace velmora::engine {

class MappedFile {
public:
    // The whole file at `path`, which must not be empty.
    static Result<MappedFile> Open(const std::wstring& path);

    std::string_view Bytes() const { return {static_cast<const char*>(view_.get()), size_}; }

private:
    using UniqueView = UniqueResource<LPCVOID, ::UnmapViewOfFile>;

    UniqueFileHandle file_;
    UniqueHandle mapping_;
    UniqueView view_;
    std::size_t size_ = 0;
};

}  // namespace velmora::engine
