#pragma once

#include <functional>
#include <string_view>

class TLogLevel;

// The facility's own diagnostic channel: configuration steps and failures of appenders.
// Debug messages appear only while internal debugging is on ("log4d.configDebug");
// warnings and errors always do. By default the channel is standard error.
class TLogLog
{
public:
    using TSink = std::function<void(const TLogLevel &level, std::string_view message)>;

    static void Debug(std::string_view message);
    static void Warn(std::string_view message);
    static void Error(std::string_view message);

    static void SetInternalDebugging(bool on);
    [[nodiscard]] static bool InternalDebugging();

    // Routes the channel to `sink` (an empty sink restores standard error); returns the previous sink.
    static TSink SetSink(TSink sink);
};
