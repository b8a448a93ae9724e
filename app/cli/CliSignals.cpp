#include "CliSignals.h"

#include <atomic>
#include <csignal>
#include <ctime>
#include <mutex>
#include <thread>

#include <unistd.h>

namespace {

std::atomic<int> Signal {0};
std::mutex ScopeLock; // guards CurrentStop and serialises its calls
std::function<void()> *CurrentStop = nullptr;
bool StopCalled = false; // guarded by ScopeLock

sigset_t HandledSignals()
{
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGHUP);
    return set;
}

[[noreturn]] void EndNow(int signal)
{
    // A progress line may stand on the terminal; the shell's prompt should start clean.
    if (::isatty(STDERR_FILENO)) {
        static const char erase[] = "\r\033[K";
        [[maybe_unused]] const auto written = ::write(STDERR_FILENO, erase, sizeof erase - 1);
    }
    ::_exit(128 + signal);
}

void Watch(sigset_t set)
{
    int signal = 0;
    while (::sigwait(&set, &signal) != 0) { }
    Signal.store(signal);
    {
        std::scoped_lock guard(ScopeLock);
        if (CurrentStop && !StopCalled) {
            StopCalled = true;
            (*CurrentStop)();
        }
    }
    // The command now winds down on its own thread and exits; this only catches what hangs.
    timespec grace {3, 0};
    const int again = ::sigtimedwait(&set, nullptr, &grace);
    EndNow(again > 0 ? again : signal);
}

} // namespace

void InstallInterruptHandling()
{
    // Once per process, also when main runs more than once (the fuzzer does that).
    static std::once_flag installed;
    std::call_once(installed, [] {
        const sigset_t set = HandledSignals();
        ::pthread_sigmask(SIG_BLOCK, &set, nullptr);
        std::thread(Watch, set).detach();
    });
}

int InterruptSignal()
{
    return Signal.load();
}

int InterruptExitCode()
{
    return 128 + InterruptSignal();
}

TInterruptScope::TInterruptScope(std::function<void()> stop)
    : FStop(std::move(stop))
{
    std::scoped_lock guard(ScopeLock);
    CurrentStop = &FStop;
    StopCalled = false;
    if (Signal.load() != 0) {
        StopCalled = true;
        FStop();
    }
}

TInterruptScope::~TInterruptScope()
{
    std::scoped_lock guard(ScopeLock);
    CurrentStop = nullptr;
}

TInterruptibleOStream::TInterruptibleOStream(std::ostream &target)
    : std::ostream(nullptr)
    , FBuf(target.rdbuf())
{
    rdbuf(&FBuf);
}

TInterruptibleOStream::TBuf::int_type TInterruptibleOStream::TBuf::overflow(int_type ch)
{
    if (Signal.load(std::memory_order_relaxed) != 0)
        return traits_type::eof();
    if (traits_type::eq_int_type(ch, traits_type::eof()))
        return traits_type::not_eof(ch);
    return FTarget->sputc(traits_type::to_char_type(ch));
}

std::streamsize TInterruptibleOStream::TBuf::xsputn(const char *s, std::streamsize n)
{
    if (Signal.load(std::memory_order_relaxed) != 0)
        return 0;
    return FTarget->sputn(s, n);
}

int TInterruptibleOStream::TBuf::sync()
{
    if (Signal.load(std::memory_order_relaxed) != 0)
        return -1;
    return FTarget->pubsync();
}
