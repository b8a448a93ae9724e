#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "common/Profiler.h"
#include "common/SizeText.h"
#include "platform/fake/FakeDirLister.h"
#include "platform/fake/FakeSystem.h"
#include "platform/fake/FakeVolumes.h"

namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

// The shared instance reads the frequency once, so every test here runs at 1000 ticks per
// second on a counter that moves only when told.
class ProfilerTest : public ::testing::Test
{
protected:
    void TearDown() override { SetDecimalSeparator("."); }

    TFakeDirLister FLister;
    TFakeVolumes FVolumes;
    TFakeSystem FSystem {1000};
    TScopedPlatform FPlatform {{&FLister, &FVolumes, &FSystem}};
};

TEST_F(ProfilerTest, StopMeasuresFromTheSameStartEachTime)
{
    TLLProfiler profiler;
    EXPECT_TRUE(profiler.HighResCounter());
    EXPECT_EQ(profiler.Frequency(), 1000);
    FSystem.SetCounterValue(5000);
    profiler.StartTimer(7);
    FSystem.AdvanceCounter(250);
    EXPECT_EQ(profiler.StopTimer(7), 250);
    FSystem.AdvanceCounter(100);
    EXPECT_EQ(profiler.StopTimer(7), 350);

    TLLTimer *timer = profiler.GetTimerID(7);
    ASSERT_NE(timer, nullptr);
    EXPECT_EQ(timer->StartValue(), 5000);
    EXPECT_EQ(timer->StopValue(), 5350);
    EXPECT_DOUBLE_EQ(timer->GetDuration(), 350.0); // milliseconds at 1000 ticks per second

    // Starting again moves the start; the timer is reused, not added twice.
    profiler.StartTimer(7);
    FSystem.AdvanceCounter(1);
    EXPECT_EQ(profiler.StopTimer(7), 1);
    EXPECT_EQ(profiler.Timers().Count(), 1);
    EXPECT_EQ(profiler.GetTimerID(8), nullptr);
}

TEST_F(ProfilerTest, StoppingAnUnknownTimerNamesItsId)
{
    TLLProfiler profiler;
    profiler.StartTimer(1);
    try {
        profiler.StopTimer(-8192);
        FAIL() << "no exception";
    } catch (const ETimerException &e) {
        EXPECT_STREQ(e.what(), "Es wurde kein Timer mir der ID -8192 gestartet");
    }
}

TEST_F(ProfilerTest, WithoutCounterTimesComeFromTheClock)
{
    FSystem.SetCounterFrequency(0);
    TLLProfiler profiler;
    EXPECT_FALSE(profiler.HighResCounter());
    profiler.StartTimer(3);
    const TLLTimer *timer = profiler.GetTimerID(3);
    // 100-nanosecond units since 1601: after 2020-01-01 (132223104000000000).
    EXPECT_GT(timer->StartValue(), 132223104000000000);
    EXPECT_GE(profiler.StopTimer(3), 0);
    EXPECT_GE(timer->GetDuration(), 0.0); // plain tick difference, no frequency
}

TEST_F(ProfilerTest, Counters)
{
    TLLProfiler profiler;
    TLLCounter &counter = profiler.GetCounterID(42);
    EXPECT_EQ(counter.Value(), 0);
    counter.Inc();
    counter.Inc();
    counter.Dec();
    EXPECT_EQ(profiler.GetCounterID(42).Value(), 1);
    EXPECT_EQ(&profiler.GetCounterID(42), &counter);

    EXPECT_EQ(profiler.AddCounter(43), 1);
    EXPECT_THROW(profiler.AddCounter(42), ETimerException);
    EXPECT_EQ(profiler.Counters().IndexOf(43), 1);
    EXPECT_EQ(profiler.Counters().IndexOf(44), -1);

    TLLCounterList list;
    list.Add(std::make_unique<TLLCounter>(1));
    list.Add(std::make_unique<TLLCounter>(2));
    list.GetItem(0)->SetValue(5);
    list.GetItem(1)->Inc();
    list.Reset();
    EXPECT_EQ(list.GetItem(0)->Value(), 0);
    EXPECT_EQ(list.GetItem(1)->Value(), 0);
    EXPECT_THROW((void)list.GetItem(2), std::out_of_range);
    EXPECT_THROW((void)list.GetItem(-1), std::out_of_range);
    list.SetItem(1, std::make_unique<TLLCounter>(9));
    EXPECT_EQ(list.IndexOf(9), 1);
}

TEST_F(ProfilerTest, SharedInstanceSecondsAndDebugLines)
{
    ProfStartTimer(222);
    FSystem.AdvanceCounter(500);
    ProfLogElapsed(222, "Refresh2");
    FSystem.AdvanceCounter(1734);
    ProfLogElapsed(222, "Refresh3");
    FSystem.AdvanceCounter(12345);
    SetDecimalSeparator(",");
    ProfLogElapsed(222, "RemoveOutdatedItems: 3");
    EXPECT_THAT(
        FSystem.DebugLines(), ElementsAre("Refresh2: 0.5 s", "Refresh3: 2.234 s", "RemoveOutdatedItems: 3: 14,579 s"));

    EXPECT_DOUBLE_EQ(ProfStopSeconds(222), 14.579);
    EXPECT_EQ(ProfStopSeconds(12345), 0.0); // never started
}

TEST(FormatSeconds, OneToThreeDecimalsRounded)
{
    const std::pair<double, const char *> cases[] = {
        {0, "0.0"},
        {0.5, "0.5"},
        {1.23456, "1.235"},
        {2.0004, "2.0"},
        {12.25, "12.25"},
        {1234567.1, "1234567.1"},
    };
    for (const auto &[seconds, text] : cases)
        EXPECT_EQ(FormatSeconds(seconds), text) << seconds;
}

} // namespace
