#pragma once

#include <chrono>
#include <cstdint>
#include <exception>
#include <string>
#include <string_view>
#include <version>
#if defined(__cpp_lib_source_location)
#include <source_location>
#endif

class TLogLevel;

// Where a log call was made. Clang before 15 cannot build std::source_location with libstdc++; its
// builtins give the file, the line and the bare function name (no class).
#if defined(__cpp_lib_source_location)
using TLogSourceLocation = std::source_location;
#else
class TLogSourceLocation
{
public:
    static constexpr TLogSourceLocation current(
        const char *file = __builtin_FILE(), int line = __builtin_LINE(), const char *function = __builtin_FUNCTION())
    {
        TLogSourceLocation location;
        location.FFile = file;
        location.FLine = line;
        location.FFunction = function;
        return location;
    }
    [[nodiscard]] constexpr const char *file_name() const { return FFile; }
    [[nodiscard]] constexpr unsigned line() const { return static_cast<unsigned>(FLine); }
    [[nodiscard]] constexpr const char *function_name() const { return FFunction; }

private:
    const char *FFile = "";
    int FLine = 0;
    const char *FFunction = "";
};
#endif

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
    TLogSourceLocation Location;
};

// Fills the time, thread and context fields for an event raised now on this thread.
TLogEvent MakeLogEvent(const TLogLevel &level, std::string_view loggerName, std::string_view message,
    const std::exception *e = nullptr, TLogSourceLocation location = TLogSourceLocation::current());

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
