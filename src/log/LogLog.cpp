#include "log/LogLog.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <string>

#include <unistd.h>

#include "log/Level.h"

namespace {
std::atomic<bool> Debugging {false};

std::mutex &SinkLock()
{
    static std::mutex lock;
    return lock;
}

TLogLog::TSink &CurrentSink()
{
    // Never destroyed: a thread may still report while the program exits.
    static TLogLog::TSink *const sink = std::make_unique<TLogLog::TSink>().release();
    return *sink;
}

void WriteAll(int fd, std::string_view text)
{
    while (!text.empty()) {
        const ssize_t n = ::write(fd, text.data(), text.size());
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return;
        }
        text.remove_prefix(static_cast<std::size_t>(n));
    }
}

void Emit(const TLogLevel &level, std::string_view message)
{
    std::scoped_lock guard(SinkLock());
    if (CurrentSink()) {
        CurrentSink()(level, message);
        return;
    }
    std::string line = "log4d: ";
    if (&level == &TLogLevel::Warn)
        line = "log4d:WARN ";
    else if (&level == &TLogLevel::Error)
        line = "log4d:ERROR ";
    line += message;
    line += '\n';
    WriteAll(STDERR_FILENO, line);
}
} // namespace

void TLogLog::Debug(std::string_view message)
{
    if (Debugging.load(std::memory_order_relaxed))
        Emit(TLogLevel::Debug, message);
}

void TLogLog::Warn(std::string_view message)
{
    Emit(TLogLevel::Warn, message);
}

void TLogLog::Error(std::string_view message)
{
    Emit(TLogLevel::Error, message);
}

void TLogLog::SetInternalDebugging(bool on)
{
    Debugging.store(on, std::memory_order_relaxed);
}

bool TLogLog::InternalDebugging()
{
    return Debugging.load(std::memory_order_relaxed);
}

TLogLog::TSink TLogLog::SetSink(TSink sink)
{
    std::scoped_lock guard(SinkLock());
    TSink previous = std::move(CurrentSink());
    CurrentSink() = std::move(sink);
    return previous;
}
