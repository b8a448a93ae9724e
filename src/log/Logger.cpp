#include "log/Logger.h"

#include <chrono>
#include <cstdio>
#include <mutex>
#include <string>
#include <sys/syscall.h>
#include <unistd.h>

// Until the configurable facility is in place, every event goes to standard error
// in the default pattern "%r [%t] %p %c %x - %m%n".
namespace {
const auto StartTime = std::chrono::steady_clock::now();

const char *LevelName(int level)
{
    if (level >= TLogLogger::Fatal)
        return "FATAL";
    if (level >= TLogLogger::Error)
        return "ERROR";
    if (level >= TLogLogger::Warn)
        return "WARN";
    if (level >= TLogLogger::Info)
        return "INFO";
    return "DEBUG";
}
} // namespace

TLogLogger::TLogLogger(std::string_view name)
    : FName(name)
{
}

bool TLogLogger::IsEnabledFor(int) const
{
    return true;
}

void TLogLogger::Log(int level, std::string_view message, const std::exception *e)
{
    const auto ms
        = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - StartTime).count();
    std::string line = std::to_string(ms) + " [" + std::to_string(static_cast<long>(syscall(SYS_gettid))) + "] "
        + LevelName(level) + " " + std::string(FName) + "  - " + std::string(message);
    if (e)
        line += std::string(" ") + e->what();
    line += '\n';
    static std::mutex lock;
    std::scoped_lock guard(lock);
    std::fwrite(line.data(), 1, line.size(), stderr);
}

TLogLogger &ProgramLogger()
{
    static TLogLogger logger("Zumbrel");
    return logger;
}
