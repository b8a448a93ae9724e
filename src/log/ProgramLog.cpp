// The program's own hierarchy and its start-up. The one place that joins the logger and its
// configurator: the logger knows nothing of configuration files, the configurator only sets up
// a hierarchy it is given.
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>

#include <unistd.h>

#include "log/Configurator.h"
#include "log/Logger.h"

TLogHierarchy &DefaultHierarchy()
{
    // Deliberately never destroyed: scan threads may still log while the program exits. The
    // appenders are closed at exit instead, which writes the footers of HTML logs.
    static TLogHierarchy *const hierarchy = [] {
        TLogHierarchy *created = std::make_unique<TLogHierarchy>().release();
        RunProgramLoggingStartup(*created, LogExecutableDir());
        std::atexit([] { DefaultHierarchy().Shutdown(); });
        return created;
    }();
    return *hierarchy;
}

TLogLogger &ProgramLogger()
{
    static TLogLogger &logger = DefaultHierarchy().GetLogger("Zumbrel");
    return logger;
}

namespace {
std::mutex StartupLock;
std::string StartupDir;
bool StartupDirKnown = false;
} // namespace

void ConfigureProgramLogging(const std::string &executableDir)
{
    TLogHierarchy &hierarchy = DefaultHierarchy();
    std::scoped_lock guard(StartupLock);
    if (!StartupDirKnown) {
        StartupDir = LogExecutableDir();
        StartupDirKnown = true;
    }
    std::error_code ignored;
    // "./bin" and "/opt/zumbrel/bin" may name the same folder; reading its log.cfg twice would
    // empty a log file opened without "append" a second time.
    if (executableDir == StartupDir
        || (!executableDir.empty() && !StartupDir.empty()
            && std::filesystem::equivalent(executableDir, StartupDir, ignored)))
        return;
    StartupDir = executableDir;
    RunProgramLoggingStartup(hierarchy, executableDir);
}

std::string LogExecutableDir()
{
    std::string path(4096, '\0');
    const ssize_t n = ::readlink("/proc/self/exe", path.data(), path.size());
    if (n <= 0 || static_cast<std::size_t>(n) >= path.size())
        return {};
    path.resize(static_cast<std::size_t>(n));
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return {};
    return slash == 0 ? "/" : path.substr(0, slash);
}
