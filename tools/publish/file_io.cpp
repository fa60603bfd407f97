#include "file_io.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>

#include "publish_error.h"

namespace velmora::publish {

std::string ReadWholeFile(const std::filesystem::path& file) {
    std::ifstream input(file, std::ios::binary);
    if (!input) throw PublishError("cannot read " + file.string() + ": " + std::strerror(errno));
    std::ostringstream content;
    content << input.rdbuf();
    if (input.bad()) throw PublishError("cannot read " + file.string());
    return std::move(content).str();
}

void WriteNewFile(const std::filesystem::path& file, std::string_view text, unsigned mode) {
    // O_EXCL: an existing key is never overwritten; the mode is set at
    // creation so that a private key is never readable by others, not even
    // for a moment.
    const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (fd < 0) throw PublishError("cannot create " + file.string() + ": " + std::strerror(errno));
    std::size_t written = 0;
    while (written < text.size()) {
        const ssize_t n = ::write(fd, text.data() + written, text.size() - written);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            const int error = errno;
            ::close(fd);
            throw PublishError("cannot write " + file.string() + ": " + std::strerror(error));
        }
        written += static_cast<std::size_t>(n);
    }
    if (::fsync(fd) != 0 || ::close(fd) != 0)
        throw PublishError("cannot write " + file.string() + ": " + std::strerror(errno));
}

void LinkOrCopy(const std::filesystem::path& from, const std::filesystem::path& to) {
    std::error_code error;
    std::filesystem::create_hard_link(from, to, error);
    if (!error) return;
    // Another file system, or one without hard links: the bytes are copied.
    if (!std::filesystem::copy_file(from, to, error) || error)
        throw PublishError("cannot copy " + from.string() + " to " + to.string() + ": " + error.message());
}

}  // namespace velmora::publish
