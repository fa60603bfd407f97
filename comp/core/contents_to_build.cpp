#include "core/contents_to_build.h"

namespace velmora::engine {

std::uint32_t ContentsToBuild::AddContent(std::uint32_t source) {
    contents_.push_back({source, 0, 0});
    return static_cast<std::uint32_t>(contents_.size() - 1);
}

void ContentsToBuild::Reserve(std::size_t files) {
    contents_.reserve(files);
    files_.reserve(files);
}

void ContentsToBuild::AddFile(std::uint32_t content, FileToWrite file) {
    const bool grouped = contentOfFile_.empty();
    if (grouped && content < lastContent_) {
        // The first file out of content order: the content of each file so
        // far, which came content after content, from their counts.
        contentOfFile_.reserve(files_.capacity());
        for (std::uint32_t c = 0; c <= lastContent_; ++c)
            contentOfFile_.insert(contentOfFile_.end(), contents_[c].fileCount, c);
    }
    files_.push_back(file);
    if (!contentOfFile_.empty()) contentOfFile_.push_back(content);
    lastContent_ = content;
    ++contents_[content].fileCount;
}

void ContentsToBuild::Group() {
    // Each content's files counted as they came: its place in the grouped
    // list is the count of those before it.
    std::uint32_t first = 0;
    for (ContentToBuild& content : contents_) {
        content.firstFile = first;
        first += content.fileCount;
        if (!contentOfFile_.empty()) content.fileCount = 0;
    }
    if (!contentOfFile_.empty()) {
        std::vector<FileToWrite> grouped(files_.size());
        for (std::size_t f = 0; f < files_.size(); ++f) {
            ContentToBuild& content = contents_[contentOfFile_[f]];
            grouped[content.firstFile + content.fileCount++] = files_[f];
        }
        files_ = std::move(grouped);
        std::vector<std::uint32_t>().swap(contentOfFile_);  // its room freed, not only emptied
    }
    lastContent_ = 0;
    // The lists are held for the whole run: made to fit now, while the
    // plan holds little else.
    contents_.shrink_to_fit();
    files_.shrink_to_fit();
}

}  // namespace velmora::engine
