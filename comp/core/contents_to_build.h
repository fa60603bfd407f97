#pragma once
// The file contents a run builds and the files each goes to, held in two
// lists: a large game has some hundred thousand contents, most of them for
// one file, and a list of its own for each would cost an allocation apiece.
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace velmora::engine {

struct FileToWrite {
    std::uint32_t index = 0;  // into the remote manifest's files
    // A file of the remote size already lies there. It may already hold the
    // new content (a run that was stopped after moving it into place), so
    // the Windows side hashes it before it builds anything for it.
    bool sizeOnDiskMatches = false;
};

// One file content the run builds in the staging folder from its chunks;
// several files may share it (same content). Its SHA-256, size and chunks
// are those of its source file.
struct ContentToBuild {
    std::uint32_t source = 0;  // a remote file with this content
    // Its files: `fileCount` of ContentsToBuild::Files() from `firstFile`.
    std::uint32_t firstFile = 0;
    std::uint32_t fileCount = 0;
};

class ContentsToBuild {
public:
    std::size_t size() const noexcept { return contents_.size(); }
    bool empty() const noexcept { return contents_.empty(); }
    const ContentToBuild& operator[](std::size_t c) const { return contents_[c]; }
    const ContentToBuild* begin() const noexcept { return contents_.data(); }
    const ContentToBuild* end() const noexcept { return contents_.data() + contents_.size(); }

    std::span<const FileToWrite> FilesOf(const ContentToBuild& content) const {
        return std::span<const FileToWrite>(files_).subspan(content.firstFile, content.fileCount);
    }
    // Every content's files, content after content.
    std::span<const FileToWrite> Files() const noexcept { return files_; }

    // Building the lists: adds a content made from remote file `source`,
    // numbered from 0 in the order added, then its files in any order
    // among the other contents'. Group puts each content's files together,
    // in the order they were added, and readies the lists for reading.
    std::uint32_t AddContent(std::uint32_t source);
    void AddFile(std::uint32_t content, FileToWrite file);
    void Group();
    // Room for `files` files and as many contents at most, made at once.
    void Reserve(std::size_t files);

    // Keeps of each content the files `keep(file)` is true for, in their
    // order, and only the contents left with any.
    template <typename Keep>
    void KeepFiles(const Keep& keep) {
        std::size_t contentsKept = 0;
        std::size_t filesKept = 0;
        for (ContentToBuild content : contents_) {
            const std::size_t first = filesKept;
            for (std::size_t f = content.firstFile; f < content.firstFile + content.fileCount; ++f)
                if (keep(files_[f])) files_[filesKept++] = files_[f];
            if (filesKept == first) continue;
            content.firstFile = static_cast<std::uint32_t>(first);
            content.fileCount = static_cast<std::uint32_t>(filesKept - first);
            contents_[contentsKept++] = content;
        }
        contents_.resize(contentsKept);
        files_.resize(filesKept);
    }

private:
    std::vector<ContentToBuild> contents_;
    std::vector<FileToWrite> files_;
    // While building, once a file came after a file of a later content:
    // each added file's content. Until then the files lie grouped already.
    std::vector<std::uint32_t> contentOfFile_;
    std::uint32_t lastContent_ = 0;  // of the file added last
};

}  // namespace velmora::engine
