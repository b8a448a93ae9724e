#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Special folders that exist on Linux desktops (XDG user directories and home).
enum class TSpecialFolder { Home, Desktop, Documents, Pictures, Music, Videos, Downloads, AppData };

// Process and system queries.
class ISystem
{
public:
    virtual ~ISystem() = default;
    // Path of a special folder without trailing delimiter, or empty when it does not exist.
    virtual std::string SpecialFolder(TSpecialFolder folder) = 0;
    // The system's message for an error code (errno).
    virtual std::string ErrorMessage(int code) = 0;
    // High-resolution counter: ticks per second (0 when unavailable) and the current tick.
    virtual std::int64_t CounterFrequency() = 0;
    virtual std::int64_t CounterValue() = 0;
    // The debug output channel: one line per call.
    virtual void DebugOutput(std::string_view text) = 0;
    // True for a 32-bit process on a 64-bit system; never the case here.
    virtual bool IsWow64() = 0;
};
