// The debugger output channel is the systemd journal. A child process gets a private /run with a
// socket of its own where journald's would be, so the test reads what a journal would receive
// without needing one (and without touching the machine's).
#include <cstdio>
#include <cstring>
#include <string>

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include "log/Appender.h"
#include "log/Configurator.h"
#include "log/Logger.h"

namespace {

constexpr int Skipped = 77;

// In the child: a private, empty /run. False when the system does not allow it.
bool PrivateRun()
{
    return ::unshare(CLONE_NEWNS) == 0 && ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0
        && ::mount("tmpfs", "/run", "tmpfs", 0, "mode=755") == 0;
}

// Runs `body` in a child; its exit code, Skipped when the child could not set itself up.
template <typename F> int InChild(F body)
{
    std::fflush(nullptr);
    const pid_t child = ::fork();
    if (child == 0)
        ::_exit(PrivateRun() ? body() : Skipped);
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 100;
}

// Standard error of the child goes to a file; returns what was written there.
std::string StandardErrorOf(const std::string &path)
{
    std::string text;
    if (std::FILE *f = std::fopen(path.c_str(), "rb")) {
        char buffer[4096];
        for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, f)) > 0;)
            text.append(buffer, n);
        std::fclose(f);
    }
    return text;
}

TEST(LogJournal, EventsBecomeJournalEntriesWithPriorityAndIdentifierAndNothingOnStandardError)
{
    const int code = InChild([] {
        if (::mkdir("/run/systemd", 0755) != 0 || ::mkdir("/run/systemd/journal", 0755) != 0)
            return Skipped;
        const int journal = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_un address {};
        address.sun_family = AF_UNIX;
        std::strcpy(address.sun_path, "/run/systemd/journal/socket");
        if (journal < 0 || ::bind(journal, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0)
            return Skipped;
        const int err = ::open("/run/stderr", O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        ::dup2(err, STDERR_FILENO);

        TLogHierarchy hierarchy;
        RunProgramLoggingStartup(hierarchy, "");
        hierarchy.GetLogger("Zumbrel").Warn("a warning\nof two lines");
        hierarchy.GetLogger("Zumbrel").Debug("CmdLine: zumbrel-cli scan /data");

        char buffer[65536];
        const ssize_t n = ::recv(journal, buffer, sizeof buffer, MSG_DONTWAIT);
        const std::string entry = n > 0 ? std::string(buffer, static_cast<std::size_t>(n)) : std::string();
        int failures = 0;
        failures += entry.find("SYSLOG_IDENTIFIER=zumbrel\n") == std::string::npos;
        failures += entry.find("PRIORITY=4\n") == std::string::npos;
        failures += entry.find("ZUMBREL_LOGGER=Zumbrel\n") == std::string::npos;
        failures += entry.find("warn Zumbrel  - a warning\nof two lines") == std::string::npos;
        const ssize_t second = ::recv(journal, buffer, sizeof buffer, MSG_DONTWAIT);
        failures += second <= 0
            || std::string(buffer, static_cast<std::size_t>(second)).find("PRIORITY=7\n") == std::string::npos;
        failures += !StandardErrorOf("/run/stderr").empty();
        return failures == 0 ? 0 : 10 + failures;
    });
    if (code == Skipped)
        GTEST_SKIP() << "no private mount namespace";
    EXPECT_EQ(code, 0);
}

TEST(LogJournal, WithoutAJournalEventsGoNowhereUnlessZumbrelDebugIsSet)
{
    const int code = InChild([] {
        const int err = ::open("/run/stderr", O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        ::dup2(err, STDERR_FILENO);
        {
            TLogHierarchy hierarchy;
            RunProgramLoggingStartup(hierarchy, "");
            hierarchy.GetLogger("Zumbrel").Error("nobody listens");
        }
        if (!StandardErrorOf("/run/stderr").empty())
            return 1;
        ::setenv("ZUMBREL_DEBUG", "1", 1);
        TLogHierarchy hierarchy;
        RunProgramLoggingStartup(hierarchy, "");
        hierarchy.GetLogger("Zumbrel").Info("CmdLine: zumbrel");
        // A name with terminal controls reaches standard error escaped.
        hierarchy.GetLogger("Zumbrel").Info("ErrorCode 13: u/e\x1b[31mRED\rx");
        const std::string copied = StandardErrorOf("/run/stderr");
        if (copied.find("ErrorCode 13: u/e\\x1b[31mRED\\x0dx\n") == std::string::npos
            || copied.find('\x1b') != std::string::npos)
            return 3;
        return copied.find("info Zumbrel  - CmdLine: zumbrel\n") != std::string::npos ? 0 : 2;
    });
    if (code == Skipped)
        GTEST_SKIP() << "no private mount namespace";
    EXPECT_EQ(code, 0);
}

TEST(LogJournal, LevelsMapToSyslogPriorities)
{
    EXPECT_EQ(TLogODSAppender::JournalPriority(&TLogLevel::Debug), 7);
    EXPECT_EQ(TLogODSAppender::JournalPriority(&TLogLevel::Info), 6);
    EXPECT_EQ(TLogODSAppender::JournalPriority(&TLogLevel::Warn), 4);
    EXPECT_EQ(TLogODSAppender::JournalPriority(&TLogLevel::Error), 3);
    EXPECT_EQ(TLogODSAppender::JournalPriority(&TLogLevel::Fatal), 2);
    EXPECT_EQ(TLogODSAppender::JournalIdentifier(), "zumbrel");
}

} // namespace
