#pragma once
// Answers message boxes the way a user would, for tests: a watcher thread
// finds each visible message box (#32770) of a process, reads it and
// presses OK.
#include <windows.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace velmora::testing {

struct MessageBoxSeen {
    std::wstring caption;
    std::wstring text;                  // its static control 0xFFFF
    std::vector<std::wstring> buttons;  // texts of its visible buttons
    bool hasIcon = false;               // a visible icon beside the text
};

// Watches from construction to destruction. Boxes are answered one at a
// time, in the order they appear, each only once.
class MessageBoxWatcher {
public:
    explicit MessageBoxWatcher(DWORD processId = ::GetCurrentProcessId());
    ~MessageBoxWatcher();
    MessageBoxWatcher(const MessageBoxWatcher&) = delete;
    MessageBoxWatcher& operator=(const MessageBoxWatcher&) = delete;

    // The boxes answered so far.
    std::vector<MessageBoxSeen> Seen() const;
    // Waits until at least `count` boxes have been answered; false when the
    // time runs out first.
    bool WaitForCount(size_t count, DWORD timeoutMilliseconds = 5000) const;

private:
    void Watch();
    HWND FindUnanswered() const;

    DWORD processId_;
    std::atomic<bool> stop_{false};
    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    std::vector<MessageBoxSeen> seen_;
    std::vector<HWND> answered_;  // boxes pressed but maybe not yet gone
    std::thread thread_;
};

}  // namespace velmora::testing
