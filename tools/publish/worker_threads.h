#pragma once
// A fixed set of threads that run posted tasks in the order they were
// posted. With no thread at all, Post runs each task at once on the
// caller's thread.
#include <condition_variable>
#include <deque>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace velmora::publish {

class WorkerThreads {
public:
    explicit WorkerThreads(unsigned count);
    // Lets the running tasks end, drops the ones not begun (their futures
    // then hold a broken promise), and joins the threads.
    ~WorkerThreads();
    WorkerThreads(const WorkerThreads&) = delete;
    WorkerThreads& operator=(const WorkerThreads&) = delete;

    // Runs `task` on a worker; its result, or what it threw, comes through
    // the future.
    template <typename Task>
    auto Post(Task task) -> std::future<decltype(task())> {
        auto packaged = std::make_shared<std::packaged_task<decltype(task())()>>(std::move(task));
        auto result = packaged->get_future();
        Enqueue([packaged] { (*packaged)(); });
        return result;
    }

private:
    void Enqueue(std::function<void()> task);
    void Work();

    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::function<void()>> tasks_;
    bool stopping_ = false;
    std::vector<std::thread> threads_;
};

// The worker count when none is given: one per hardware thread.
unsigned DefaultWorkerCount();

}  // namespace velmora::publish
