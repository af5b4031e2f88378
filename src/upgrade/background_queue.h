// Work done on one other thread, piece after piece in the order handed over, while the caller goes
// on: the list of changes is sorted and written there as the copy makes it.
//
// At most `depth` pieces wait; handing over one more waits for room, so that the memory they take
// stays bounded however fast the caller is. A piece that throws ends the work: the pieces after it
// are dropped, and its failure is thrown to the caller at the next post() or wait(), once. The
// thread starts with the first piece; the destructor waits for what was handed over (a failure
// then goes unsaid: the caller had no use for it).
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>

namespace zestrel::upgrade {

class BackgroundQueue {
public:
    explicit BackgroundQueue(std::size_t depth = 4) : depth_(depth == 0 ? 1 : depth) {}
    ~BackgroundQueue();
    BackgroundQueue(const BackgroundQueue&) = delete;
    BackgroundQueue& operator=(const BackgroundQueue&) = delete;

    void post(std::function<void()> piece);
    // Returns once every piece handed over is done.
    void wait();

private:
    void run();
    // Throws the failure a piece raised, once; called with the lock held.
    void throwFailure(std::unique_lock<std::mutex>& lock);

    const std::size_t depth_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::function<void()>> waiting_;
    bool working_ = false;  // a piece is being done
    bool stopping_ = false;
    std::exception_ptr failure_;
    std::thread thread_;
};

}  // namespace zestrel::upgrade
