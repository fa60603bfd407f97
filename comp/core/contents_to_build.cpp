#include "core/contents_to_build.h"

namespace velmora::engine {

std::uint32_t ContentsToBuild::AddContent(std::uint32_t source) {
    contents_.push_back({source, 0, 0});
    return static_cast<std::uint32_t>(contents_.size() - 1);
}

void ContentsToBuild::AddFile(std::uint32_t content, FileToWrite file) {
    files_.push_back(file);
    contentOfFile_.push_back(content);
    ++contents_[content].fileCount;
}

void ContentsToBuild::Group() {
    // Each content's files counted as they came: its place in the grouped
    // list is the count of those before it.
    std::uint32_t first = 0;
    for (ContentToBuild& content : contents_) {
        content.firstFile = first;
        first += content.fileCount;
        content.fileCount = 0;
    }
    std::vector<FileToWrite> grouped(files_.size());
    for (std::size_t f = 0; f < files_.size(); ++f) {
        ContentToBuild& content = contents_[contentOfFile_[f]];
        grouped[content.firstFile + content.fileCount++] = files_[f];
    }
    files_ = std::move(grouped);
    std::vector<std::uint32_t>().swap(contentOfFile_);  // its room freed, not only emptied
    // The list doubled as it grew: held for the whole run, it is made to
    // fit now, while the plan holds little else.
    contents_.shrink_to_fit();
}

}  // namespace velmora::engine
