#include "upgrade/background_queue.h"

#include <utility>

namespace zestrel::upgrade {

BackgroundQueue::~BackgroundQueue() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    if (thread_.joinable()) thread_.join();
}

void BackgroundQueue::throwFailure(std::unique_lock<std::mutex>& lock) {
    if (!failure_) return;
    std::exception_ptr failure = std::exchange(failure_, nullptr);
    lock.unlock();
    std::rethrow_exception(failure);
}

void BackgroundQueue::post(std::function<void()> piece) {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return waiting_.size() < depth_ || failure_; });
    throwFailure(lock);
    waiting_.push_back(std::move(piece));
    if (!thread_.joinable()) thread_ = std::thread([this] { run(); });
    lock.unlock();
    changed_.notify_all();
}

void BackgroundQueue::wait() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return (waiting_.empty() && !working_) || failure_; });
    // A failure ends the work: what waits after it is dropped.
    changed_.wait(lock, [&] { return !working_; });
    waiting_.clear();
    throwFailure(lock);
}

void BackgroundQueue::run() {
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [&] { return !waiting_.empty() || stopping_; });
        if (waiting_.empty()) return;  // stopping, and all done
        std::function<void()> piece = std::move(waiting_.front());
        waiting_.pop_front();
        if (failure_) continue;  // dropped: the work ended with a failure
        working_ = true;
        lock.unlock();
        changed_.notify_all();
        std::exception_ptr failed;
        try {
            piece();
        } catch (...) {
            failed = std::current_exception();
        }
        piece = nullptr;  // what it holds goes outside the lock
        lock.lock();
        if (failed) failure_ = failed;
        working_ = false;
        changed_.notify_all();
    }
}

}  // namespace zestrel::upgrade
