#pragma once

#include <cstdint>
#include <string>

#include "log/Appender.h"

// An open file descriptor, closed on destruction.
class TLogFd
{
public:
    TLogFd() = default;
    explicit TLogFd(int fd)
        : FFd(fd)
    { }
    ~TLogFd() { Reset(); }
    TLogFd(TLogFd &&other) noexcept
        : FFd(other.Release())
    { }
    TLogFd &operator=(TLogFd &&other) noexcept;
    TLogFd(const TLogFd &) = delete;
    TLogFd &operator=(const TLogFd &) = delete;

    [[nodiscard]] int Get() const { return FFd; }
    [[nodiscard]] bool IsOpen() const { return FFd >= 0; }
    int Release();
    void Reset(int fd = -1);

private:
    int FFd = -1;
};

// Writes to a file. Options "append" (boolean, default false) and "fileName"; the file is opened
// when "fileName" is applied, creating missing folders, so "append" counts only when it comes first.
// Every event is one write(2), so a crash loses nothing that was logged.
class TLogFileAppender : public TLogAppender
{
public:
    explicit TLogFileAppender(std::string name = {});
    ~TLogFileAppender() override;

    // Opens (or re-opens) the output; false with the reason on the internal channel.
    bool OpenFile(const std::string &fileName);
    [[nodiscard]] std::string FileName() const;
    void SetAppend(bool append);
    [[nodiscard]] bool Append() const;

    bool SetOption(const std::string &name, const std::string &value) override;
    [[nodiscard]] std::string NotReadyReason() const override;

protected:
    void Write(std::string_view text, const TLogEvent *event) override;
    void CloseOutput() override;
    // Called after each successful write with FLock held.
    virtual void AfterWrite() { }
    // Opens FFileName into FFd; the caller holds FLock. Returns "" or the reason of the failure.
    std::string OpenLocked(bool append);
    // Writes the footer of the current file, if it has a header, before that file is left.
    void FinishFileLocked();
    // Writes without the rollover check; false after reporting a failure.
    bool WriteRaw(std::string_view text, const TLogEvent *event);

    std::string FFileName;
    TLogFd FFd;
    std::int64_t FSize = 0; // bytes in the current file
    bool FAppend = false;
    bool FRegular = false; // the output is a regular file (not a device, FIFO or terminal)
};

// A file that is renamed to backups once it reaches "maxFileSize" (bytes or a number with "KB",
// "MB", "GB"; default 10 MB), keeping "maxBackupIndex" backups (default 1) named file.1 (newest)
// to file.N. With maxBackupIndex 0 or less the file is never rolled, and neither is an output that
// is no regular file (/dev/null, a FIFO, a terminal): renaming would move the device node away.
class TLogRollingFileAppender : public TLogFileAppender
{
public:
    static constexpr std::int64_t DefaultMaxFileSize = 10 * 1024 * 1024;

    explicit TLogRollingFileAppender(std::string name = {});
    ~TLogRollingFileAppender() override;

    void SetMaxFileSize(std::int64_t bytes);
    [[nodiscard]] std::int64_t MaxFileSize() const;
    void SetMaxBackupIndex(int count);
    [[nodiscard]] int MaxBackupIndex() const;
    // Rolls now, whatever the size.
    void RollOver();

    bool SetOption(const std::string &name, const std::string &value) override;

protected:
    void AfterWrite() override;

private:
    void RollOverLocked();

    std::int64_t FMaxFileSize = DefaultMaxFileSize;
    int FMaxBackupIndex = 1;
    std::int64_t FNextRollSize = DefaultMaxFileSize;
};
