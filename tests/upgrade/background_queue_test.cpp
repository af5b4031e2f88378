// Work handed to the other thread is done in the order handed over; a piece that fails ends the
// work, its failure reaching the caller once; the caller never runs more than the bound ahead; and
// nothing handed over is left undone when the queue goes.
#include "upgrade/background_queue.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <stdexcept>
#include <thread>
#include <vector>

namespace zestrel::upgrade {
namespace {

TEST(BackgroundQueue, DoesEveryPieceInTheOrderHandedOver) {
    std::vector<int> done;
    BackgroundQueue queue(2);
    for (int i = 0; i < 1000; ++i) queue.post([&done, i] { done.push_back(i); });
    queue.wait();
    ASSERT_EQ(done.size(), 1000u);
    for (int i = 0; i < 1000; ++i) ASSERT_EQ(done[static_cast<std::size_t>(i)], i);
}

TEST(BackgroundQueue, AFailureEndsTheWorkAndReachesTheCallerOnce) {
    std::atomic<int> after{0};
    BackgroundQueue queue(8);
    queue.post([] { throw std::runtime_error("disk full"); });
    try {
        for (int i = 0; i < 100; ++i) queue.post([&] { ++after; });
        queue.wait();
        FAIL() << "the failure was not thrown";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "disk full");
    }
    EXPECT_EQ(after.load(), 0) << "nothing after the failed piece is done";
    EXPECT_NO_THROW(queue.wait()) << "thrown once";
    queue.post([&] { ++after; });
    queue.wait();
    EXPECT_EQ(after.load(), 1) << "work handed over after the failure was said is done";
}

TEST(BackgroundQueue, TheCallerWaitsOnceTheBoundIsReached) {
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    BackgroundQueue queue(2);
    queue.post([released] { released.wait(); });  // being done
    queue.post([] {});
    queue.post([] {});  // two waiting: the bound
    auto third = std::async(std::launch::async, [&] { queue.post([] {}); });
    EXPECT_EQ(third.wait_for(std::chrono::milliseconds(100)), std::future_status::timeout);
    release.set_value();
    third.get();
    queue.wait();
}

TEST(BackgroundQueue, GoesOnlyOnceEveryPieceIsDone) {
    std::atomic<int> done{0};
    {
        BackgroundQueue queue(4);
        for (int i = 0; i < 4; ++i) {
            queue.post([&] {
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
                ++done;
            });
        }
    }
    EXPECT_EQ(done.load(), 4);
}

}  // namespace
}  // namespace zestrel::upgrade
