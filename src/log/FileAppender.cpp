#include "log/FileAppender.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <memory>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "log/LogLog.h"
#include "log/Text.h"

TLogFd &TLogFd::operator=(TLogFd &&other) noexcept
{
    if (this != &other)
        Reset(other.Release());
    return *this;
}

int TLogFd::Release()
{
    const int fd = FFd;
    FFd = -1;
    return fd;
}

void TLogFd::Reset(int fd)
{
    if (FFd >= 0)
        ::close(FFd);
    FFd = fd;
}

namespace {
// Creates the folders above `fileName` that are missing; returns 0 or an errno value.
int CreateParentDirs(const std::string &fileName)
{
    const std::size_t slash = fileName.rfind('/');
    if (slash == std::string::npos || slash == 0)
        return 0;
    const std::string dir = fileName.substr(0, slash);
    std::size_t pos = 0;
    while (pos != std::string::npos) {
        pos = dir.find('/', pos + 1);
        const std::string part = dir.substr(0, pos);
        if (part.empty() || part.back() == '/')
            continue;
        if (::mkdir(part.c_str(), 0777) != 0 && errno != EEXIST)
            return errno;
    }
    struct stat st
    { };
    if (::stat(dir.c_str(), &st) != 0)
        return errno;
    return S_ISDIR(st.st_mode) ? 0 : ENOTDIR;
}

struct TDirCloser
{
    void operator()(DIR *dir) const { ::closedir(dir); }
};
} // namespace

TLogFileAppender::TLogFileAppender(std::string name)
    : TLogAppender(std::move(name))
{ }

TLogFileAppender::~TLogFileAppender()
{
    Close();
}

std::string TLogFileAppender::OpenLocked(bool append)
{
    FFd.Reset();
    FSize = 0;
    if (FFileName.empty())
        return "no file name";
    if (const int err = CreateParentDirs(FFileName))
        return "cannot create the folder of \"" + FFileName + "\": " + LogErrorText(err);
    // O_NONBLOCK keeps a FIFO without a reader from hanging the program at start-up. O_APPEND also
    // when the file is emptied: another writer of the same file (an older appender still finishing
    // an event, a second instance) then never leaves a hole of zero bytes in it.
    const int flags = O_WRONLY | O_CREAT | O_CLOEXEC | O_NOCTTY | O_NONBLOCK | O_APPEND | (append ? 0 : O_TRUNC);
    TLogFd fd(::open(FFileName.c_str(), flags, 0666));
    if (!fd.IsOpen())
        return "cannot open \"" + FFileName + "\": " + LogErrorText(errno);
    struct stat st
    { };
    if (::fstat(fd.Get(), &st) != 0)
        return "cannot open \"" + FFileName + "\": " + LogErrorText(errno);
    if (S_ISDIR(st.st_mode))
        return "cannot open \"" + FFileName + "\": " + LogErrorText(EISDIR);
    // A FIFO or socket stays non-blocking: a reader that stops reading costs lines, never the
    // program (a logging call would otherwise wait for it for good).
    const int fileFlags = ::fcntl(fd.Get(), F_GETFL);
    if (fileFlags >= 0 && !S_ISFIFO(st.st_mode) && !S_ISSOCK(st.st_mode))
        ::fcntl(fd.Get(), F_SETFL, fileFlags & ~O_NONBLOCK);
    FRegular = S_ISREG(st.st_mode);
    FSize = FRegular ? st.st_size : 0;
    FFd = std::move(fd);
    RestartHeader();
    return {};
}

bool TLogFileAppender::OpenFile(const std::string &fileName)
{
    std::string error;
    {
        std::scoped_lock guard(FLock);
        FinishFileLocked();
        FFileName = fileName;
        error = OpenLocked(FAppend);
    }
    if (!error.empty()) {
        TLogLog::Error("Appender \"" + Name() + "\": " + error);
        return false;
    }
    TLogLog::Debug("Appender \"" + Name() + "\" writes to \"" + fileName + "\"");
    return true;
}

std::string TLogFileAppender::FileName() const
{
    std::scoped_lock guard(FLock);
    return FFileName;
}

void TLogFileAppender::SetAppend(bool append)
{
    std::scoped_lock guard(FLock);
    FAppend = append;
}

bool TLogFileAppender::Append() const
{
    std::scoped_lock guard(FLock);
    return FAppend;
}

bool TLogFileAppender::SetOption(const std::string &name, const std::string &value)
{
    if (LogTextEqualsNoCase(name, "fileName")) {
        OpenFile(value);
        return true;
    }
    if (LogTextEqualsNoCase(name, "append")) {
        if (const auto flag = LogParseBool(value))
            SetAppend(*flag);
        else
            TLogLog::Warn("Value \"" + value + "\" of option \"append\" of appender \"" + Name()
                + "\" is no boolean; left unchanged");
        return true;
    }
    return TLogAppender::SetOption(name, value);
}

std::string TLogFileAppender::NotReadyReason() const
{
    std::scoped_lock guard(FLock);
    if (FFileName.empty())
        return "no \"fileName\" was given";
    return FFd.IsOpen() ? std::string() : "the file \"" + FFileName + "\" is not open";
}

void TLogFileAppender::Write(std::string_view text, const TLogEvent *event)
{
    if (WriteRaw(text, event))
        AfterWrite();
}

bool TLogFileAppender::WriteRaw(std::string_view text, const TLogEvent *event)
{
    if (!FFd.IsOpen()) {
        ReportError("no open file to write to", event);
        return false;
    }
    while (!text.empty()) {
        const ssize_t n = ::write(FFd.Get(), text.data(), text.size());
        if (n < 0) {
            if (errno == EINTR)
                continue;
            ReportError("cannot write to \"" + FFileName + "\": " + LogErrorText(errno), event);
            return false;
        }
        FSize += n;
        text.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

void TLogFileAppender::FinishFileLocked()
{
    if (!FFd.IsOpen())
        return;
    const std::string footer = TakeFooterLocked();
    if (!footer.empty())
        WriteRaw(footer, nullptr);
}

void TLogFileAppender::CloseOutput()
{
    FFd.Reset();
}

// ---- rolling ----

TLogRollingFileAppender::TLogRollingFileAppender(std::string name)
    : TLogFileAppender(std::move(name))
{ }

TLogRollingFileAppender::~TLogRollingFileAppender()
{
    Close();
}

void TLogRollingFileAppender::SetMaxFileSize(std::int64_t bytes)
{
    std::scoped_lock guard(FLock);
    FMaxFileSize = std::max<std::int64_t>(bytes, 1);
    FNextRollSize = FMaxFileSize;
}

std::int64_t TLogRollingFileAppender::MaxFileSize() const
{
    std::scoped_lock guard(FLock);
    return FMaxFileSize;
}

void TLogRollingFileAppender::SetMaxBackupIndex(int count)
{
    std::scoped_lock guard(FLock);
    FMaxBackupIndex = count;
}

int TLogRollingFileAppender::MaxBackupIndex() const
{
    std::scoped_lock guard(FLock);
    return FMaxBackupIndex;
}

bool TLogRollingFileAppender::SetOption(const std::string &name, const std::string &value)
{
    if (LogTextEqualsNoCase(name, "maxFileSize")) {
        const auto size = LogParseFileSize(value);
        if (size && *size > 0)
            SetMaxFileSize(*size);
        else
            TLogLog::Error("Bad \"maxFileSize\" \"" + value + "\" for appender \"" + Name() + "\"; left unchanged");
        return true;
    }
    if (LogTextEqualsNoCase(name, "maxBackupIndex")) {
        // A leading minus means "do not roll"; keep the value's sign but bound its size.
        const bool negative = !value.empty() && value[0] == '-';
        const auto count = LogParseInt(negative ? std::string_view(value).substr(1) : std::string_view(value));
        if (count && *count <= INT_MAX)
            SetMaxBackupIndex(negative ? -static_cast<int>(*count) : static_cast<int>(*count));
        else
            TLogLog::Error("Bad \"maxBackupIndex\" \"" + value + "\" for appender \"" + Name() + "\"; left unchanged");
        return true;
    }
    return TLogFileAppender::SetOption(name, value);
}

void TLogRollingFileAppender::AfterWrite()
{
    if (FMaxBackupIndex > 0 && FRegular && FSize >= FNextRollSize)
        RollOverLocked();
}

void TLogRollingFileAppender::RollOver()
{
    std::scoped_lock guard(FLock);
    if (FFd.IsOpen())
        RollOverLocked();
}

namespace {
// The numbers of the backups of `base` that exist, ascending, up to `maxIndex`. The folder is
// listed once instead of probing every number, as maxBackupIndex may be huge.
std::vector<int> ExistingBackups(const std::string &base, int maxIndex)
{
    const std::size_t slash = base.rfind('/');
    const std::string dir = slash == std::string::npos ? "." : (slash == 0 ? "/" : base.substr(0, slash));
    const std::string prefix = (slash == std::string::npos ? base : base.substr(slash + 1)) + ".";
    std::vector<int> found;
    std::unique_ptr<DIR, TDirCloser> listing(::opendir(dir.c_str()));
    if (!listing) {
        for (int i = 1; i <= std::min(maxIndex, 100000); ++i)
            found.push_back(i);
        return found;
    }
    while (const dirent *entry = ::readdir(listing.get())) {
        const std::string_view name = entry->d_name;
        if (name.size() <= prefix.size() || name.substr(0, prefix.size()) != prefix)
            continue;
        const std::string_view digits = name.substr(prefix.size());
        if (digits[0] == '0')
            continue;
        const auto number = LogParseInt(digits);
        if (number && *number >= 1 && *number <= maxIndex)
            found.push_back(static_cast<int>(*number));
    }
    std::sort(found.begin(), found.end());
    return found;
}
} // namespace

void TLogRollingFileAppender::RollOverLocked()
{
    if (FMaxBackupIndex <= 0 || FFileName.empty() || !FRegular)
        return;
    // The name may have been given to something else since the file was opened.
    struct stat st
    { };
    if (::stat(FFileName.c_str(), &st) == 0 && !S_ISREG(st.st_mode))
        return;
    const std::string &base = FFileName;
    auto backup = [&base](int index) { return base + "." + std::to_string(index); };
    const std::vector<int> existing = ExistingBackups(base, FMaxBackupIndex);
    if (!existing.empty() && existing.back() == FMaxBackupIndex && ::unlink(backup(FMaxBackupIndex).c_str()) != 0
        && errno != ENOENT)
        ReportError("cannot delete \"" + backup(FMaxBackupIndex) + "\": " + LogErrorText(errno), nullptr);
    for (auto it = existing.rbegin(); it != existing.rend(); ++it) {
        if (*it >= FMaxBackupIndex)
            continue;
        if (::rename(backup(*it).c_str(), backup(*it + 1).c_str()) != 0 && errno != ENOENT)
            ReportError("cannot rename \"" + backup(*it) + "\": " + LogErrorText(errno), nullptr);
    }
    FinishFileLocked();
    FFd.Reset();
    const bool renamed = ::rename(base.c_str(), backup(1).c_str()) == 0;
    if (!renamed)
        ReportError("cannot rename \"" + base + "\": " + LogErrorText(errno), nullptr);
    // When the file could not be moved away, keep adding to it rather than losing what it holds.
    const std::string error = OpenLocked(!renamed);
    if (!error.empty())
        ReportError(error, nullptr);
    FNextRollSize = renamed ? FMaxFileSize : FSize + FMaxFileSize;
}
