#pragma once

#include <atomic>
#include <memory>
#include <string_view>

#include "log/Event.h"
#include "log/OptionHandler.h"

class TLogAppender;

// Receives the failures of an appender (a file that cannot be written, a full disk). Called with
// the appender's lock held, so a handler must not log through that appender.
class TLogErrorHandler : public TLogOptionHandler
{
public:
    // `event` is the event that could not be written, or nullptr.
    virtual void Error(const TLogAppender &appender, std::string_view message, const TLogEvent *event) = 0;
};

// Reports the first failure on the internal channel and keeps quiet about the rest, so a full disk
// does not flood standard error.
class TLogOnlyOnceErrorHandler : public TLogErrorHandler
{
public:
    void Error(const TLogAppender &appender, std::string_view message, const TLogEvent *event) override;

private:
    std::atomic<bool> FReported {false};
};

// Reports the failure once and hands every event that failed to a backup appender.
class TLogFallbackErrorHandler : public TLogErrorHandler
{
public:
    void Error(const TLogAppender &appender, std::string_view message, const TLogEvent *event) override;

    // Refuses (returns false) a backup that could lead back here: the primary itself, or a backup
    // whose own chain of backups comes back to the primary. A chain A -> B -> C is accepted.
    bool SetBackupAppender(std::shared_ptr<TLogAppender> backup, const TLogAppender *primary);
    [[nodiscard]] std::shared_ptr<TLogAppender> BackupAppender() const { return FBackup; }

private:
    std::shared_ptr<TLogAppender> FBackup;
    std::atomic<bool> FReported {false};
};
