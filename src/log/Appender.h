#pragma once

#include <iosfwd>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "log/ErrorHandler.h"
#include "log/Event.h"
#include "log/Filter.h"
#include "log/Layout.h"
#include "log/OptionHandler.h"

class TLogLevel;

// Sends events to an output. Each appender serialises its output with a lock of its own, so every
// event arrives whole even when many threads log at once. Option "threshold" (a level name).
class TLogAppender : public TLogOptionHandler
{
public:
    explicit TLogAppender(std::string name = {});
    TLogAppender(const TLogAppender &) = delete;
    TLogAppender &operator=(const TLogAppender &) = delete;

    [[nodiscard]] const std::string &Name() const { return FName; }
    // Only before the appender is attached to a logger.
    void SetName(std::string name) { FName = std::move(name); }

    // Threshold, filters, layout, output; failures go to the error handler, never to the caller.
    void DoAppend(const TLogEvent &event);
    // Writes the layout's footer and releases the output; later events are dropped.
    void Close();
    [[nodiscard]] bool IsClosed() const;

    void SetLayout(std::shared_ptr<TLogLayout> layout);
    [[nodiscard]] std::shared_ptr<TLogLayout> Layout() const;
    void SetThreshold(const TLogLevel *level);
    [[nodiscard]] const TLogLevel *Threshold() const;
    void AddFilter(std::shared_ptr<TLogFilter> filter);
    void ClearFilters();
    void SetErrorHandler(std::shared_ptr<TLogErrorHandler> handler);
    [[nodiscard]] std::shared_ptr<TLogErrorHandler> ErrorHandler() const;

    [[nodiscard]] virtual bool RequiresLayout() const { return true; }
    // Why the appender cannot write ("" when it can); asked once its configuration is complete.
    [[nodiscard]] virtual std::string NotReadyReason() const { return {}; }

    bool SetOption(const std::string &name, const std::string &value) override;

protected:
    // Writes formatted text; called with FLock held. Failures go to ReportError.
    virtual void Write(std::string_view text, const TLogEvent *event) = 0;
    // Releases the output; called with FLock held, once.
    virtual void CloseOutput() { }
    // The next event starts with the layout's header (a new file was opened).
    void RestartHeader() { FHeaderPending = true; }
    // The layout's footer when the current output got its header ("" otherwise); the output then
    // counts as finished. Called with FLock held.
    std::string TakeFooterLocked();
    void ReportError(std::string_view message, const TLogEvent *event);

    mutable std::mutex FLock;

private:
    std::string FName;
    std::shared_ptr<TLogLayout> FLayout;
    const TLogLevel *FThreshold = nullptr;
    std::vector<std::shared_ptr<TLogFilter>> FFilters;
    std::shared_ptr<TLogErrorHandler> FErrorHandler;
    bool FHeaderPending = true;
    bool FHeaderWritten = false;
    bool FClosed = false;
    std::string FBuffer; // reused for formatting, under FLock
};

// Writes nothing.
class TLogNullAppender : public TLogAppender
{
public:
    using TLogAppender::TLogAppender;
    [[nodiscard]] bool RequiresLayout() const override { return false; }

protected:
    void Write(std::string_view text, const TLogEvent *event) override;
};

// Sends one line to the debugger output channel: a journal entry (the line as its message,
// `priority` a syslog level) and, with ZUMBREL_DEBUG=1, a copy on standard error. Where no
// journal runs, only the copy is made, if any. Any thread; false when the copy could not be
// written.
bool LogWriteDebugChannel(std::string_view line, int priority, std::string_view loggerName = {});
// The same with the copy on standard error chosen by the caller.
bool LogWriteDebugChannel(std::string_view line, int priority, std::string_view loggerName, bool copyToStandardError);

// The debugger output channel. On Linux that is the systemd journal: each event is one journal
// entry with the level as its priority, filed under JournalIdentifier(), so that
// `journalctl -t zumbrel -f` follows the program like a debugger's output window. Where no
// journal runs the events go nowhere, like the channel without a listener. With the
// environment variable ZUMBREL_DEBUG=1 (read when the appender is made) every event is also
// copied to standard error.
class TLogODSAppender : public TLogAppender
{
public:
    explicit TLogODSAppender(std::string name = {});
    ~TLogODSAppender() override;

    // "zumbrel-cli" in the command line program, "zumbrel" everywhere else.
    [[nodiscard]] static std::string JournalIdentifier();
    // The journal priority (syslog level) of an event of `level`.
    [[nodiscard]] static int JournalPriority(const TLogLevel *level);

protected:
    void Write(std::string_view text, const TLogEvent *event) override;

private:
    bool FCopyToStandardError = false;
};

// A byte stream given in code; the stream must outlive the appender.
class TLogStreamAppender : public TLogAppender
{
public:
    TLogStreamAppender(std::string name, std::ostream &stream);
    // Made by the configuration file, which cannot give a stream: never ready.
    explicit TLogStreamAppender(std::string name = {});
    ~TLogStreamAppender() override;

    [[nodiscard]] std::string NotReadyReason() const override;

protected:
    void Write(std::string_view text, const TLogEvent *event) override;

private:
    std::ostream *FStream = nullptr;
};
