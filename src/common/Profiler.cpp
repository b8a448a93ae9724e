#include "common/Profiler.h"

#include <array>
#include <charconv>
#include <chrono>

#include "common/SizeText.h"
#include "platform/Platform.h"

namespace {

// 100-nanosecond intervals between 1601-01-01 and 1970-01-01 (UTC).
constexpr std::int64_t FileTimeEpochOffset = 116444736000000000;

std::int64_t UtcFileTimeNow()
{
    const auto sinceEpoch = std::chrono::system_clock::now().time_since_epoch();
    return std::chrono::duration_cast<std::chrono::nanoseconds>(sinceEpoch).count() / 100 + FileTimeEpochOffset;
}

} // namespace

double TLLTimer::GetDuration() const
{
    const std::int64_t ticks = StopValue() - StartValue();
    const std::int64_t frequency = Platform().System->CounterFrequency();
    if (frequency > 0)
        return static_cast<double>(ticks) * 1000.0 / static_cast<double>(frequency);
    return static_cast<double>(ticks);
}

void TLLCounterList::Reset()
{
    for (int i = 0; i < Count(); ++i)
        if (TLLCounter *counter = GetItem(i))
            counter->Reset();
}

TLLProfiler::TLLProfiler()
    : FFrequency(Platform().System->CounterFrequency())
    , FHighResCounter(FFrequency > 0)
{ }

std::int64_t TLLProfiler::Now() const
{
    return FHighResCounter ? Platform().System->CounterValue() : UtcFileTimeNow();
}

void TLLProfiler::StartTimer(std::int32_t id)
{
    TLLTimer *timer = nullptr;
    {
        std::scoped_lock guard(FLock);
        const int index = FTimers.IndexOf(id);
        timer = index >= 0 ? FTimers.GetItem(index) : FTimers.GetItem(FTimers.Add(std::make_unique<TLLTimer>(id)));
    }
    timer->SetStartValue(Now());
}

std::int64_t TLLProfiler::StopTimer(std::int32_t id)
{
    const std::int64_t now = Now();
    TLLTimer *timer = GetTimerID(id);
    if (!timer)
        throw ETimerException("Es wurde kein Timer mir der ID " + std::to_string(id) + " gestartet");
    timer->SetStopValue(now);
    return now - timer->StartValue();
}

TLLTimer *TLLProfiler::GetTimerID(std::int32_t id)
{
    std::scoped_lock guard(FLock);
    const int index = FTimers.IndexOf(id);
    return index >= 0 ? FTimers.GetItem(index) : nullptr;
}

TLLCounter &TLLProfiler::GetCounterID(std::int32_t id)
{
    std::scoped_lock guard(FLock);
    int index = FCounters.IndexOf(id);
    if (index < 0)
        index = FCounters.Add(std::make_unique<TLLCounter>(id));
    return *FCounters.GetItem(index);
}

int TLLProfiler::AddCounter(std::int32_t id)
{
    std::scoped_lock guard(FLock);
    if (FCounters.IndexOf(id) >= 0)
        throw ETimerException("Counter ID " + std::to_string(id) + " exists already");
    return FCounters.Add(std::make_unique<TLLCounter>(id));
}

TLLProfiler &ProfilerInstance()
{
    static TLLProfiler instance;
    return instance;
}

void ProfStartTimer(std::int32_t id)
{
    ProfilerInstance().StartTimer(id);
}

double ProfStopSeconds(std::int32_t id)
{
    try {
        TLLProfiler &profiler = ProfilerInstance();
        const std::int64_t ticks = profiler.StopTimer(id);
        if (!profiler.HighResCounter() || profiler.Frequency() <= 0)
            return 0;
        return static_cast<double>(ticks) / static_cast<double>(profiler.Frequency());
    } catch (...) {
        return 0;
    }
}

std::string FormatSeconds(double seconds)
{
    std::array<char, 64> buffer {};
    const auto [end, ec]
        = std::to_chars(buffer.data(), buffer.data() + buffer.size(), seconds, std::chars_format::fixed, 3);
    std::string text(buffer.data(), ec == std::errc() ? end : buffer.data());
    const auto dot = text.find('.');
    if (dot == std::string::npos)
        return text;
    while (text.size() > dot + 2 && text.back() == '0')
        text.pop_back();
    text.replace(dot, 1, DecimalSeparator());
    return text;
}

void ProfLogElapsed(std::int32_t id, std::string_view label)
{
    Platform().System->DebugOutput(std::string(label) + ": " + FormatSeconds(ProfStopSeconds(id)) + " s");
}
