#pragma once

#include <functional>
#include <ostream>
#include <streambuf>

// Ctrl+C (SIGINT), SIGTERM and SIGHUP end a command cleanly: the scan stops at its next entry,
// a file being written is discarded so that its target keeps the old content, and the program
// exits with 128 + the signal's number (130 for Ctrl+C). A second signal, or a command that
// has not ended three seconds later (a write blocked on a pipe, a hung network file system),
// ends the process at once.
//
// Call InstallInterruptHandling first in main, before any thread starts: the signals are then
// blocked in every thread and taken by one watching thread, so no code runs in a signal
// handler and no system call of the scan is interrupted half way.
void InstallInterruptHandling();

// The signal that asked the program to end, or 0.
[[nodiscard]] int InterruptSignal();
// 128 + InterruptSignal().
[[nodiscard]] int InterruptExitCode();

// While it lives, `stop` is called once, on the watching thread, when an interrupt arrives
// (at once when one came before). The destructor waits for a call that is running.
class TInterruptScope
{
public:
    explicit TInterruptScope(std::function<void()> stop);
    ~TInterruptScope();
    TInterruptScope(const TInterruptScope &) = delete;
    TInterruptScope &operator=(const TInterruptScope &) = delete;

private:
    std::function<void()> FStop;
};

// An output stream over another stream's buffer that fails once an interrupt has arrived, so
// that a long export stops at its next line and its writer discards the unfinished file.
class TInterruptibleOStream : public std::ostream
{
public:
    explicit TInterruptibleOStream(std::ostream &target);

private:
    class TBuf : public std::streambuf
    {
    public:
        explicit TBuf(std::streambuf *target)
            : FTarget(target)
        { }

    protected:
        int_type overflow(int_type ch) override;
        std::streamsize xsputn(const char *s, std::streamsize n) override;
        int sync() override;

    private:
        std::streambuf *FTarget;
    };
    TBuf FBuf;
};
