#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "common/Profiler.h"
#include "platform/fake/FakeDirLister.h"
#include "platform/fake/FakeSystem.h"
#include "platform/fake/FakeVolumes.h"

namespace {

// Threads start and stop their own timer IDs on one profiler while others create timers and
// counters; every stop must find its timer and see a non-negative duration.
TEST(ProfilerConcurrency, TimersAndCountersFromSeveralThreads)
{
    TFakeDirLister lister;
    TFakeVolumes volumes;
    TFakeSystem system(1000);
    TScopedPlatform platform({&lister, &volumes, &system});

    TLLProfiler profiler;
    constexpr int Threads = 6;
    constexpr int Rounds = 2000;
    std::vector<std::thread> threads;
    for (int t = 0; t < Threads; ++t) {
        threads.emplace_back([&profiler, &system, t] {
            for (int i = 0; i < Rounds; ++i) {
                const int id = t * 100000 + i % 50;
                profiler.StartTimer(id);
                system.AdvanceCounter(1);
                EXPECT_GE(profiler.StopTimer(id), 0);
                profiler.GetCounterID(i % 7).Inc();
            }
        });
    }
    for (auto &thread : threads)
        thread.join();

    EXPECT_EQ(profiler.Timers().Count(), Threads * 50);
    std::int64_t total = 0;
    for (int i = 0; i < profiler.Counters().Count(); ++i)
        total += profiler.Counters().GetItem(i)->Value();
    EXPECT_EQ(profiler.Counters().Count(), 7);
    EXPECT_EQ(total, Threads * Rounds);
}

} // namespace
