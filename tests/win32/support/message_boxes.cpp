#include "support/message_boxes.h"

#include <algorithm>
#include <chrono>

namespace velmora::testing {
namespace {

constexpr int kMessageTextId = 0xFFFF;

std::wstring ClassOf(HWND window) {
    wchar_t name[64] = {};
    ::GetClassNameW(window, name, 64);
    return name;
}

// WM_GETTEXT rather than GetWindowText: it also reads controls of another
// process. A box that does not answer within the time gives an empty text.
// Not SMTO_ABORTIFHUNG: a thread that retrieved no message for five seconds
// counts as hung until its next retrieval, and a box that follows a long
// wait (the registration's ten seconds) shows itself before its dialog loop
// retrieves anything, so its texts would read back empty.
std::wstring TextOf(HWND window) {
    if (!window) return {};
    wchar_t text[2048] = {};
    DWORD_PTR ignored = 0;
    ::SendMessageTimeoutW(window, WM_GETTEXT, std::size(text), reinterpret_cast<LPARAM>(text), SMTO_NORMAL,
                          2000, &ignored);
    return text;
}

MessageBoxSeen Read(HWND box) {
    MessageBoxSeen seen;
    seen.caption = TextOf(box);
    seen.text = TextOf(::GetDlgItem(box, kMessageTextId));
    for (HWND child = ::GetWindow(box, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
        if (!::IsWindowVisible(child)) continue;
        const std::wstring kind = ClassOf(child);
        const LONG style = ::GetWindowLongW(child, GWL_STYLE);
        if (_wcsicmp(kind.c_str(), L"Button") == 0)
            seen.buttons.push_back(TextOf(child));
        else if (_wcsicmp(kind.c_str(), L"Static") == 0 && (style & SS_TYPEMASK) == SS_ICON &&
                 ::SendMessageW(child, STM_GETICON, 0, 0) != 0)
            seen.hasIcon = true;  // the box keeps an empty icon control when it shows none
    }
    return seen;
}

}  // namespace

MessageBoxWatcher::MessageBoxWatcher(DWORD processId) : processId_(processId), thread_([this] { Watch(); }) {}

MessageBoxWatcher::~MessageBoxWatcher() {
    stop_ = true;
    thread_.join();
}

std::vector<MessageBoxSeen> MessageBoxWatcher::Seen() const {
    std::lock_guard lock(mutex_);
    return seen_;
}

bool MessageBoxWatcher::WaitForCount(size_t count, DWORD timeoutMilliseconds) const {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMilliseconds),
                             [&] { return seen_.size() >= count; });
}

HWND MessageBoxWatcher::FindUnanswered() const {
    struct Search {
        DWORD processId;
        const std::vector<HWND>* answered;
        HWND found;
    } search{processId_, &answered_, nullptr};
    struct Visit {
        static BOOL CALLBACK Window(HWND window, LPARAM data) {
            auto& s = *reinterpret_cast<Search*>(data);
            DWORD owner = 0;
            ::GetWindowThreadProcessId(window, &owner);
            // Visible only once its dialog set-up has filled it in.
            if (owner != s.processId || !::IsWindowVisible(window) || ClassOf(window) != L"#32770") return TRUE;
            if (std::find(s.answered->begin(), s.answered->end(), window) != s.answered->end()) return TRUE;
            s.found = window;
            return FALSE;
        }
    };
    ::EnumWindows(Visit::Window, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

void MessageBoxWatcher::Watch() {
    while (!stop_) {
        // Boxes that have gone may hand their handle on to a new one.
        std::erase_if(answered_, [](HWND box) { return !::IsWindow(box); });
        const HWND box = FindUnanswered();
        if (!box) {
            ::Sleep(20);
            continue;
        }
        // Recorded before it is pressed, so that whoever waits in the box
        // finds it recorded once the box returns.
        {
            std::lock_guard lock(mutex_);
            seen_.push_back(Read(box));
        }
        changed_.notify_all();
        answered_.push_back(box);
        ::PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                       reinterpret_cast<LPARAM>(::GetDlgItem(box, IDOK)));
    }
}

}  // namespace velmora::testing
