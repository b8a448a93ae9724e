#include "log/Event.h"

#include <vector>

#include <sys/syscall.h>
#include <unistd.h>

namespace {
std::chrono::steady_clock::time_point StartTime()
{
    static const auto start = std::chrono::steady_clock::now();
    return start;
}
// Starts the clock while the program initialises, not at the first event.
const auto StartTimeTouched = StartTime();

struct TContextStack
{
    std::vector<std::string> Entries;
    std::string Joined;

    void Rejoin()
    {
        Joined.clear();
        for (const std::string &entry : Entries) {
            if (!Joined.empty())
                Joined += ' ';
            Joined += entry;
        }
    }
};

TContextStack &Contexts()
{
    thread_local TContextStack stack;
    return stack;
}
} // namespace

std::int64_t LogElapsedMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - StartTime())
        .count();
}

long LogThreadId()
{
    thread_local const long id = static_cast<long>(::syscall(SYS_gettid));
    return id;
}

TLogEvent MakeLogEvent(const TLogLevel &level, std::string_view loggerName, std::string_view message,
    const std::exception *e, TLogSourceLocation location)
{
    TLogEvent event;
    event.Level = &level;
    event.LoggerName = loggerName;
    event.Message = message;
    event.Exception = e;
    event.ElapsedMs = LogElapsedMs();
    event.Time = std::chrono::system_clock::now();
    event.ThreadId = LogThreadId();
    event.Context = TLogNDC::Get();
    event.Location = location;
    return event;
}

void TLogNDC::Push(std::string_view context)
{
    Contexts().Entries.emplace_back(context);
    Contexts().Rejoin();
}

std::string TLogNDC::Pop()
{
    TContextStack &stack = Contexts();
    if (stack.Entries.empty())
        return {};
    std::string top = std::move(stack.Entries.back());
    stack.Entries.pop_back();
    stack.Rejoin();
    return top;
}

void TLogNDC::Clear()
{
    Contexts().Entries.clear();
    Contexts().Joined.clear();
}

std::string_view TLogNDC::Get()
{
    return Contexts().Joined;
}

std::size_t TLogNDC::Depth()
{
    return Contexts().Entries.size();
}
