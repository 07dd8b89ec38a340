#include <gtest/gtest.h>

#include <pthread.h>

#include <condition_variable>
#include <future>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/serial_queue.h"

namespace vantorel {
namespace {

TEST(SerialQueue, RunsTasksInOrderOneAtATimeOnItsNamedThread) {
    std::vector<int> order;
    std::string threadName;
    {
        SerialQueue queue("Vantorel.samples");
        // Posted from several threads; each thread's own tasks keep their order.
        std::vector<std::thread> posters;
        for (int t = 0; t < 4; ++t) {
            posters.emplace_back([&, t] {
                for (int i = 0; i < 100; ++i) {
                    queue.async([&, t, i] { order.push_back(t * 1000 + i); });
                }
            });
        }
        for (auto& p : posters) {
            p.join();
        }
        queue.async([&] {
            char name[16] = {};
            pthread_getname_np(pthread_self(), name, sizeof name);
            threadName = name;
            EXPECT_TRUE(queue.isCurrent());
        });
        EXPECT_FALSE(queue.isCurrent());
    }  // destruction waits for every task posted before it
    ASSERT_EQ(order.size(), 400u);
    for (int t = 0; t < 4; ++t) {
        int last = -1;
        for (int value : order) {
            if (value / 1000 == t) {
                EXPECT_GT(value % 1000, last);
                last = value % 1000;
            }
        }
    }
    EXPECT_EQ(threadName, "Vantorel.sample");  // the kernel keeps 15 bytes
}

TEST(SerialQueue, FinishesItsTasksWhenReleasedFromOneOfThem) {
    auto queue = std::make_shared<SerialQueue>("Vantorel.samples");
    SerialQueue* raw = queue.get();
    std::promise<void> gate;
    std::shared_future<void> opened = gate.get_future().share();
    std::promise<void> ranAfterRelease;
    // Hold the worker so that everything below is queued before the release runs.
    raw->async([opened] { opened.wait(); });
    raw->async([held = std::move(queue)]() mutable { held.reset(); });
    raw->async([&] { ranAfterRelease.set_value(); });
    gate.set_value();
    EXPECT_EQ(ranAfterRelease.get_future().wait_for(std::chrono::seconds(10)),
              std::future_status::ready);
}

}  // namespace
}  // namespace vantorel
