#include "threads/call_workers.h"

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

namespace {

TEST(CallWorkers, run_tasks_runs_every_task_once_with_the_caller_taking_part) {
    for (unsigned threads : {1u, 2u, 3u, 8u}) {
        for (std::uint64_t count : {0u, 1u, 2u, 5u, 300u}) {
            std::vector<std::atomic<int>> runs(count);
            std::atomic<int> on_caller{0};
            const std::thread::id caller = std::this_thread::get_id();
            vorn::run_tasks(count, threads, vorn::never_stop(), [&](std::uint64_t t, const vorn::StopCheck&) {
                runs[t].fetch_add(1);
                if (std::this_thread::get_id() == caller) {
                    on_caller.fetch_add(1);
                    return;
                }
                // Workers hold their tasks until the caller has run one (or
                // give up after a while), so a caller that only waits fails.
                const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(5);
                while (on_caller.load() == 0 && std::chrono::steady_clock::now() < give_up) std::this_thread::yield();
            });
            for (std::uint64_t t = 0; t < count; ++t) EXPECT_EQ(runs[t].load(), 1) << threads << " threads, task " << t;
            EXPECT_EQ(on_caller.load() > 0, count > 0) << threads << " threads, " << count << " tasks";
        }
    }
}

TEST(CallWorkers, run_tasks_rethrows_a_failure_from_any_thread) {
    for (std::uint64_t failing : {0u, 1u, 7u}) {
        EXPECT_THROW(vorn::run_tasks(8, 2, vorn::never_stop(),
                                     [&](std::uint64_t t, const vorn::StopCheck& stop) {
                                         if (t == failing) throw std::runtime_error("task failed");
                                         for (int i = 0; i < 100000; ++i) stop.poll();
                                     }),
                     std::runtime_error);
    }
}

}  // namespace
