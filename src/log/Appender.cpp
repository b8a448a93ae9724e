#include "log/Appender.h"

#include <cerrno>
#include <ostream>

#include <unistd.h>

#include "log/Level.h"
#include "log/LogLog.h"
#include "log/Text.h"

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
    if (FBackup && event)
        FBackup->DoAppend(*event);
}

bool TLogFallbackErrorHandler::SetBackupAppender(std::shared_ptr<TLogAppender> backup, const TLogAppender *primary)
{
    if (backup && (backup.get() == primary || dynamic_cast<TLogFallbackErrorHandler *>(backup->ErrorHandler().get())))
        return false;
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

TLogODSAppender::~TLogODSAppender()
{
    Close();
}

void TLogODSAppender::Write(std::string_view text, const TLogEvent *event)
{
    while (!text.empty()) {
        const ssize_t n = ::write(STDERR_FILENO, text.data(), text.size());
        if (n < 0) {
            if (errno == EINTR)
                continue;
            ReportError("cannot write to standard error: " + LogErrorText(errno), event);
            return;
        }
        text.remove_prefix(static_cast<std::size_t>(n));
    }
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
