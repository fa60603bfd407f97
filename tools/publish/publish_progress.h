#pragma once
// How far a publication has come, for a person watching a long run: one
// line on a terminal, rewritten in place, with the files and bytes read so
// far, the rate and the time left.
#include <chrono>
#include <cstdint>
#include <ostream>
#include <string>

namespace velmora::publish {

struct ProgressState {
    std::uint64_t filesDone = 0, files = 0;
    std::uint64_t bytesDone = 0, bytes = 0;
    double seconds = 0;  // since the start
};

// "3/40 files, 1.2 GiB of 50.0 GiB, 85.3 MiB/s, 9 min 40 s left". Rate and
// time left show once a second has passed and some bytes have been read.
std::string ProgressLine(const ProgressState& state);

class PublishProgress {
public:
    // `terminal` must be a terminal: the line is rewritten with a carriage
    // return and erased to its end.
    PublishProgress(std::ostream& terminal, std::uint64_t files, std::uint64_t bytes);
    // Erases the line, so that what follows (the report, an error) starts
    // on a clean one.
    ~PublishProgress();
    PublishProgress(const PublishProgress&) = delete;
    PublishProgress& operator=(const PublishProgress&) = delete;

    void BytesRead(std::uint64_t count);
    void FileDone();

private:
    // Redraws the line, at most a few times a second unless `now`.
    void Show(bool now);

    using Clock = std::chrono::steady_clock;
    std::ostream& terminal_;
    ProgressState state_;
    Clock::time_point start_ = Clock::now();
    Clock::time_point shown_{};
};

}  // namespace velmora::publish
