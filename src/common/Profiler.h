#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

// A small timing facility of numbered timers and counters. Ticks come from the platform's
// high-resolution counter, or, when it has none, from the UTC clock in 100-nanosecond units.

class ETimerException : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

class TLLTimer
{
public:
    explicit TLLTimer(std::int32_t id)
        : FID(id)
    { }

    [[nodiscard]] std::int32_t ID() const { return FID; }
    [[nodiscard]] std::int64_t StartValue() const { return FStartValue.load(std::memory_order_relaxed); }
    void SetStartValue(std::int64_t value) { FStartValue.store(value, std::memory_order_relaxed); }
    [[nodiscard]] std::int64_t StopValue() const { return FStopValue.load(std::memory_order_relaxed); }
    void SetStopValue(std::int64_t value) { FStopValue.store(value, std::memory_order_relaxed); }

    // Milliseconds between start and stop by the platform's counter frequency; the plain tick
    // difference when the platform has no frequency.
    [[nodiscard]] double GetDuration() const;

private:
    std::int32_t FID;
    std::atomic<std::int64_t> FStartValue {0};
    std::atomic<std::int64_t> FStopValue {0};
};

class TLLCounter
{
public:
    explicit TLLCounter(std::int32_t id)
        : FID(id)
    { }

    [[nodiscard]] std::int32_t ID() const { return FID; }
    [[nodiscard]] std::int64_t Value() const { return FValue.load(std::memory_order_relaxed); }
    void SetValue(std::int64_t value) { FValue.store(value, std::memory_order_relaxed); }
    void Inc() { FValue.fetch_add(1, std::memory_order_relaxed); }
    void Dec() { FValue.fetch_sub(1, std::memory_order_relaxed); }
    void Reset() { SetValue(0); }

private:
    std::int32_t FID;
    std::atomic<std::int64_t> FValue {0};
};

// An owning list of timers or counters. Items never move in memory, so a pointer to one stays
// valid while the list lives. Not synchronised: the profiler guards its lists.
template <typename T> class TLLItemList
{
public:
    [[nodiscard]] int Count() const { return static_cast<int>(FItems.size()); }
    // Throws std::out_of_range for an index outside 0..Count()-1.
    [[nodiscard]] T *GetItem(int index) const { return FItems.at(Checked(index)).get(); }
    void SetItem(int index, std::unique_ptr<T> item) { FItems.at(Checked(index)) = std::move(item); }
    // Appends and returns the new item's index.
    int Add(std::unique_ptr<T> item)
    {
        FItems.push_back(std::move(item));
        return Count() - 1;
    }
    // Index of the first item with that ID, or -1.
    [[nodiscard]] int IndexOf(std::int32_t id) const
    {
        for (std::size_t i = 0; i < FItems.size(); ++i)
            if (FItems[i] && FItems[i]->ID() == id)
                return static_cast<int>(i);
        return -1;
    }

private:
    static std::size_t Checked(int index)
    {
        if (index < 0)
            throw std::out_of_range("list index out of range");
        return static_cast<std::size_t>(index);
    }
    std::vector<std::unique_ptr<T>> FItems;
};

using TLLTimerList = TLLItemList<TLLTimer>;

class TLLCounterList : public TLLItemList<TLLCounter>
{
public:
    // Sets every counter to 0.
    void Reset();
};

// Timers and counters by ID. StartTimer, StopTimer, GetTimerID, GetCounterID and AddCounter
// may be called from several threads at once; Timers() and Counters() only while no other
// thread uses the profiler.
class TLLProfiler
{
public:
    // Reads the counter frequency from the installed platform.
    TLLProfiler();
    TLLProfiler(const TLLProfiler &) = delete;
    TLLProfiler &operator=(const TLLProfiler &) = delete;

    [[nodiscard]] std::int64_t Frequency() const { return FFrequency; }
    [[nodiscard]] bool HighResCounter() const { return FHighResCounter; }
    [[nodiscard]] const TLLTimerList &Timers() const { return FTimers; }
    [[nodiscard]] const TLLCounterList &Counters() const { return FCounters; }

    // (Re)starts the timer with that ID, creating it on first use.
    void StartTimer(std::int32_t id);
    // Ticks since the timer's start; the timer keeps its start, so a later stop measures from
    // the same point. Throws ETimerException when no timer with that ID was started.
    std::int64_t StopTimer(std::int32_t id);
    // The timer with that ID, or null. The timer lives as long as the profiler.
    [[nodiscard]] TLLTimer *GetTimerID(std::int32_t id);
    // The counter with that ID, created with value 0 on first use.
    TLLCounter &GetCounterID(std::int32_t id);
    // Creates the counter and returns its index; throws ETimerException when the ID exists.
    int AddCounter(std::int32_t id);

private:
    std::int64_t Now() const;

    std::int64_t FFrequency = 0;
    bool FHighResCounter = false;
    std::mutex FLock; // guards the membership of both lists
    TLLTimerList FTimers;
    TLLCounterList FCounters;
};

// The profiler shared by the whole program, created on first use, freed at exit.
TLLProfiler &ProfilerInstance();
// StartTimer on the shared instance.
void ProfStartTimer(std::int32_t id);
// Seconds since the shared timer's start; 0 when the timer was never started or the platform
// has no high-resolution counter.
double ProfStopSeconds(std::int32_t id);
// Writes "<label>: <seconds> s" (one to three decimals, the current decimal separator) to the
// platform's debug output, the seconds being ProfStopSeconds(id).
void ProfLogElapsed(std::int32_t id, std::string_view label);

// "0.0##": one to three decimals, rounded, with the current decimal separator.
[[nodiscard]] std::string FormatSeconds(double seconds);
