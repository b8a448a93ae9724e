#pragma once

#include <chrono>
#include <cstdint>
#include <exception>
#include <source_location>
#include <string>
#include <string_view>

class TLogLevel;

// One logging request as appenders, filters and layouts see it. The views stay valid for the
// duration of the call that delivers the event.
struct TLogEvent
{
    const TLogLevel *Level = nullptr;
    std::string_view LoggerName;
    std::string_view Message;
    const std::exception *Exception = nullptr;
    std::int64_t ElapsedMs = 0; // since the facility started
    std::chrono::system_clock::time_point Time;
    long ThreadId = 0;
    std::string_view Context; // nested diagnostic context of the logging thread
    std::source_location Location;
};

// Fills the time, thread and context fields for an event raised now on this thread.
TLogEvent MakeLogEvent(const TLogLevel &level, std::string_view loggerName, std::string_view message,
    const std::exception *e = nullptr, std::source_location location = std::source_location::current());

// Milliseconds since the facility started (the program start, for all practical purposes).
std::int64_t LogElapsedMs();
// The kernel's id of the calling thread, as shown by %t.
long LogThreadId();

// Nested diagnostic context: a per-thread stack of texts shown by %x, separated by blanks.
class TLogNDC
{
public:
    static void Push(std::string_view context);
    static std::string Pop();
    static void Clear();
    [[nodiscard]] static std::string_view Get();
    [[nodiscard]] static std::size_t Depth();
};

// Pushes a context for the lifetime of the object.
class TLogNDCScope
{
public:
    explicit TLogNDCScope(std::string_view context) { TLogNDC::Push(context); }
    ~TLogNDCScope() { TLogNDC::Pop(); }
    TLogNDCScope(const TLogNDCScope &) = delete;
    TLogNDCScope &operator=(const TLogNDCScope &) = delete;
};
