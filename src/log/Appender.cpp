#include "log/Appender.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <mutex>
#include <ostream>
#include <vector>

#include <sys/uio.h>
#include <syslog.h>
#include <unistd.h>

#include "log/Level.h"
#include "log/LogLog.h"
#include "log/Text.h"

#include <systemd/sd-journal.h>

// ---- error handlers ----

void TLogOnlyOnceErrorHandler::Error(const TLogAppender &appender, std::string_view message, const TLogEvent *)
{
    if (!FReported.exchange(true))
        TLogLog::Error("Appender \"" + appender.Name() + "\": " + std::string(message));
}

void TLogFallbackErrorHandler::Error(const TLogAppender &appender, std::string_view message, const TLogEvent *event)
{
    if (!FReported.exchange(true))
        TLogLog::Error("Appender \"" + appender.Name() + "\": " + std::string(message)
            + (FBackup ? " - using appender \"" + FBackup->Name() + "\" instead" : std::string()));
    // A circle set up step by step in code would otherwise recurse without end.
    thread_local int depth = 0;
    if (FBackup && event && depth < 16) {
        ++depth;
        FBackup->DoAppend(*event);
        --depth;
    }
}

bool TLogFallbackErrorHandler::SetBackupAppender(std::shared_ptr<TLogAppender> backup, const TLogAppender *primary)
{
    // Follow the chain of backups: only a chain that comes back to the primary is a circle; a
    // line A -> B -> C is fine. The walk is bounded, so a circle made elsewhere cannot hang it.
    std::vector<const TLogAppender *> seen;
    for (const TLogAppender *next = backup.get(); next;) {
        if (next == primary || std::find(seen.begin(), seen.end(), next) != seen.end())
            return false;
        seen.push_back(next);
        const auto handler = next->ErrorHandler();
        const auto *fallback = dynamic_cast<const TLogFallbackErrorHandler *>(handler.get());
        next = fallback ? fallback->BackupAppender().get() : nullptr;
    }
    FBackup = std::move(backup);
    return true;
}

// ---- appender ----

TLogAppender::TLogAppender(std::string name)
    : FName(std::move(name))
    , FErrorHandler(std::make_shared<TLogOnlyOnceErrorHandler>())
{ }

void TLogAppender::DoAppend(const TLogEvent &event)
{
    std::scoped_lock guard(FLock);
    if (FClosed)
        return;
    if (FThreshold && event.Level && event.Level->Value() < FThreshold->Value())
        return;
    for (const auto &filter : FFilters) {
        const TLogFilterDecision decision = filter->Decide(event);
        if (decision == TLogFilterDecision::Deny)
            return;
        if (decision == TLogFilterDecision::Accept)
            break;
    }
    try {
        FBuffer.clear();
        if (FLayout) {
            if (FHeaderPending) {
                FBuffer = FLayout->Header();
                FHeaderWritten = FHeaderWritten || !FBuffer.empty();
                FHeaderPending = false;
            }
            FLayout->Format(event, FBuffer);
        } else {
            FBuffer.append(event.Message);
            FBuffer += '\n';
        }
        Write(FBuffer, &event);
    } catch (const std::exception &e) {
        // Logging must never throw into the code that logs (out of memory while formatting, say).
        ReportError(e.what(), &event);
    }
}

void TLogAppender::Close()
{
    std::scoped_lock guard(FLock);
    if (FClosed)
        return;
    FClosed = true;
    try {
        const std::string footer = TakeFooterLocked();
        if (!footer.empty())
            Write(footer, nullptr);
    } catch (const std::exception &e) {
        ReportError(e.what(), nullptr);
    }
    CloseOutput();
}

std::string TLogAppender::TakeFooterLocked()
{
    const bool finished = FHeaderWritten && !FHeaderPending;
    FHeaderWritten = false;
    return finished && FLayout ? FLayout->Footer() : std::string();
}

bool TLogAppender::IsClosed() const
{
    std::scoped_lock guard(FLock);
    return FClosed;
}

void TLogAppender::SetLayout(std::shared_ptr<TLogLayout> layout)
{
    std::scoped_lock guard(FLock);
    FLayout = std::move(layout);
    FHeaderPending = true;
}

std::shared_ptr<TLogLayout> TLogAppender::Layout() const
{
    std::scoped_lock guard(FLock);
    return FLayout;
}

void TLogAppender::SetThreshold(const TLogLevel *level)
{
    std::scoped_lock guard(FLock);
    FThreshold = level;
}

const TLogLevel *TLogAppender::Threshold() const
{
    std::scoped_lock guard(FLock);
    return FThreshold;
}

void TLogAppender::AddFilter(std::shared_ptr<TLogFilter> filter)
{
    std::scoped_lock guard(FLock);
    if (filter)
        FFilters.push_back(std::move(filter));
}

void TLogAppender::ClearFilters()
{
    std::scoped_lock guard(FLock);
    FFilters.clear();
}

void TLogAppender::SetErrorHandler(std::shared_ptr<TLogErrorHandler> handler)
{
    std::scoped_lock guard(FLock);
    if (handler)
        FErrorHandler = std::move(handler);
}

std::shared_ptr<TLogErrorHandler> TLogAppender::ErrorHandler() const
{
    std::scoped_lock guard(FLock);
    return FErrorHandler;
}

bool TLogAppender::SetOption(const std::string &name, const std::string &value)
{
    if (LogTextEqualsNoCase(name, "threshold")) {
        if (const TLogLevel *level = TLogLevel::FromName(value))
            SetThreshold(level);
        else
            TLogLog::Error("Unknown level \"" + value + "\" for the threshold of appender \"" + FName + "\"");
        return true;
    }
    return TLogOptionHandler::SetOption(name, value);
}

void TLogAppender::ReportError(std::string_view message, const TLogEvent *event)
{
    if (FErrorHandler)
        FErrorHandler->Error(*this, message, event);
}

// ---- simple outputs ----

void TLogNullAppender::Write(std::string_view, const TLogEvent *)
{ }

TLogODSAppender::TLogODSAppender(std::string name)
    : TLogAppender(std::move(name))
{
    const char *debug = std::getenv("ZUMBREL_DEBUG");
    FCopyToStandardError = debug && std::string_view(debug) == "1";
}

TLogODSAppender::~TLogODSAppender()
{
    Close();
}

std::string TLogODSAppender::JournalIdentifier()
{
    return std::string_view(program_invocation_short_name) == "zumbrel-cli" ? "zumbrel-cli" : "zumbrel";
}

int TLogODSAppender::JournalPriority(const TLogLevel *level)
{
    const int value = level ? level->Value() : TLogLevel::Info.Value();
    if (value >= TLogLevel::Fatal.Value())
        return LOG_CRIT;
    if (value >= TLogLevel::Error.Value())
        return LOG_ERR;
    if (value >= TLogLevel::Warn.Value())
        return LOG_WARNING;
    if (value >= TLogLevel::Info.Value())
        return LOG_INFO;
    return LOG_DEBUG;
}

void TLogODSAppender::Write(std::string_view text, const TLogEvent *event)
{
    if (!LogWriteDebugChannel(text, JournalPriority(event ? event->Level : nullptr),
            event ? event->LoggerName : std::string_view(), FCopyToStandardError))
        ReportError("cannot write to standard error: " + LogErrorText(errno), event);
}

bool LogWriteDebugChannel(std::string_view line, int priority, std::string_view loggerName)
{
    static const bool copy = [] {
        const char *debug = std::getenv("ZUMBREL_DEBUG");
        return debug && std::string_view(debug) == "1";
    }();
    return LogWriteDebugChannel(line, priority, loggerName, copy);
}

bool LogWriteDebugChannel(std::string_view line, int priority, std::string_view loggerName, bool copyToStandardError)
{
    std::string_view message = line;
    if (!message.empty() && message.back() == '\n')
        message.remove_suffix(1);
    if (!message.empty() && message.back() == '\r')
        message.remove_suffix(1);
    static const std::string identifier = "SYSLOG_IDENTIFIER=" + TLogODSAppender::JournalIdentifier();
    const std::string messageField = "MESSAGE=" + std::string(message);
    const std::string priorityField = "PRIORITY=" + std::to_string(priority);
    const std::string loggerField = "ZUMBREL_LOGGER=" + std::string(loggerName);
    const iovec fields[] = {
        {const_cast<char *>(messageField.data()), messageField.size()},
        {const_cast<char *>(priorityField.data()), priorityField.size()},
        {const_cast<char *>(identifier.data()), identifier.size()},
        {const_cast<char *>(loggerField.data()), loggerField.size()},
    };
    // No journal, no listener: the line is dropped, as the channel drops it on the platform the
    // program comes from. libsystemd opens its journal socket lazily on the first send, in code
    // ThreadSanitizer cannot follow; one lock keeps scan threads that report errors at the same
    // moment in order, and costs nothing on this rare path.
    {
        static std::mutex journalLock;
        const std::scoped_lock guard(journalLock);
        (void)sd_journal_sendv(fields, loggerName.empty() ? 3 : 4);
    }

    if (!copyToStandardError)
        return true;
    // Events carry file names, which may hold any byte: control characters would drive the
    // terminal, so they go out as \xNN (a tab stays).
    std::string copy;
    copy.reserve(message.size() + 1);
    for (const char c : message) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte < 0x20 && byte != '\t') || byte == 0x7F) {
            static constexpr char Digits[] = "0123456789abcdef";
            copy += "\\x";
            copy += Digits[byte >> 4];
            copy += Digits[byte & 0xF];
        } else {
            copy += c;
        }
    }
    copy += '\n';
    // One write per line, so that the lines of several threads never interleave.
    std::string_view rest = copy;
    while (!rest.empty()) {
        const ssize_t n = ::write(STDERR_FILENO, rest.data(), rest.size());
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        rest.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

TLogStreamAppender::TLogStreamAppender(std::string name, std::ostream &stream)
    : TLogAppender(std::move(name))
    , FStream(&stream)
{ }

TLogStreamAppender::TLogStreamAppender(std::string name)
    : TLogAppender(std::move(name))
{ }

TLogStreamAppender::~TLogStreamAppender()
{
    Close();
}

std::string TLogStreamAppender::NotReadyReason() const
{
    return FStream ? std::string() : std::string("it writes to a stream that only code can give");
}

void TLogStreamAppender::Write(std::string_view text, const TLogEvent *event)
{
    if (!FStream) {
        ReportError("no stream to write to", event);
        return;
    }
    FStream->write(text.data(), static_cast<std::streamsize>(text.size()));
    FStream->flush();
    if (!*FStream)
        ReportError("cannot write to the stream", event);
}
