#pragma once

#include <atomic>
#include <exception>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "log/Appender.h"
#include "log/Level.h"

class TLogHierarchy;

// A named logger in a hierarchy ("a.b" is below "a", everything below the root "root").
// Every operation may be called from any thread; checking a level takes a few atomic loads.
class TLogLogger
{
public:
    TLogLogger(std::string name, TLogHierarchy &hierarchy);
    virtual ~TLogLogger() = default;
    TLogLogger(const TLogLogger &) = delete;
    TLogLogger &operator=(const TLogLogger &) = delete;

    [[nodiscard]] const std::string &Name() const { return FName; }
    [[nodiscard]] TLogHierarchy &Hierarchy() const { return FHierarchy; }
    [[nodiscard]] TLogLogger *Parent() const { return FParent.load(std::memory_order_acquire); }

    // nullptr: inherit the nearest ancestor's level (ignored for the root, which always has one).
    void SetLevel(const TLogLevel *level);
    [[nodiscard]] const TLogLevel *Level() const { return FLevel.load(std::memory_order_acquire); }
    [[nodiscard]] const TLogLevel &EffectiveLevel() const;

    void SetAdditive(bool additive) { FAdditive.store(additive, std::memory_order_release); }
    [[nodiscard]] bool Additive() const { return FAdditive.load(std::memory_order_acquire); }

    void AddAppender(std::shared_ptr<TLogAppender> appender);
    void RemoveAllAppenders();
    // Replaces all appenders in one step, so events logged meanwhile see the old or the new set.
    void ReplaceAppenders(std::vector<std::shared_ptr<TLogAppender>> appenders);
    void RemoveAppender(std::string_view name);
    [[nodiscard]] std::shared_ptr<TLogAppender> GetAppender(std::string_view name) const;
    [[nodiscard]] std::vector<std::shared_ptr<TLogAppender>> Appenders() const;

    [[nodiscard]] bool IsEnabledFor(const TLogLevel &level) const;
    [[nodiscard]] bool IsEnabledFor(int levelValue) const;
    [[nodiscard]] bool IsDebugEnabled() const { return IsEnabledFor(TLogLevel::Debug); }

    // One event at `level` when it is enabled, delivered to this logger's appenders and, while
    // loggers are additive, to those of its ancestors.
    void Log(const TLogLevel &level, std::string_view message, const std::exception *e = nullptr,
        TLogSourceLocation location = TLogSourceLocation::current());
    void Debug(std::string_view message, const std::exception *e = nullptr,
        TLogSourceLocation location = TLogSourceLocation::current())
    {
        Log(TLogLevel::Debug, message, e, location);
    }
    void Info(std::string_view message, const std::exception *e = nullptr,
        TLogSourceLocation location = TLogSourceLocation::current())
    {
        Log(TLogLevel::Info, message, e, location);
    }
    void Warn(std::string_view message, const std::exception *e = nullptr,
        TLogSourceLocation location = TLogSourceLocation::current())
    {
        Log(TLogLevel::Warn, message, e, location);
    }
    void Error(std::string_view message, const std::exception *e = nullptr,
        TLogSourceLocation location = TLogSourceLocation::current())
    {
        Log(TLogLevel::Error, message, e, location);
    }
    void Fatal(std::string_view message, const std::exception *e = nullptr,
        TLogSourceLocation location = TLogSourceLocation::current())
    {
        Log(TLogLevel::Fatal, message, e, location);
    }
    // Older names of the same operations.
    void DebugMsg(std::string_view message, const std::exception *e = nullptr,
        TLogSourceLocation location = TLogSourceLocation::current())
    {
        Log(TLogLevel::Debug, message, e, location);
    }
    void InfoMsg(std::string_view message, const std::exception *e = nullptr,
        TLogSourceLocation location = TLogSourceLocation::current())
    {
        Log(TLogLevel::Info, message, e, location);
    }
    void WarnMsg(std::string_view message, const std::exception *e = nullptr,
        TLogSourceLocation location = TLogSourceLocation::current())
    {
        Log(TLogLevel::Warn, message, e, location);
    }
    void ErrorMsg(std::string_view message, const std::exception *e = nullptr,
        TLogSourceLocation location = TLogSourceLocation::current())
    {
        Log(TLogLevel::Error, message, e, location);
    }
    void FatalMsg(std::string_view message, const std::exception *e = nullptr,
        TLogSourceLocation location = TLogSourceLocation::current())
    {
        Log(TLogLevel::Fatal, message, e, location);
    }

private:
    friend class TLogHierarchy;
    // Delivers an enabled event; returns the number of appenders reached.
    std::size_t CallAppenders(const TLogEvent &event) const;

    const std::string FName;
    TLogHierarchy &FHierarchy;
    std::atomic<TLogLogger *> FParent {nullptr};
    std::atomic<const TLogLevel *> FLevel {nullptr};
    std::atomic<bool> FAdditive {true};
    mutable std::mutex FLock; // guards FAppenders
    std::vector<std::shared_ptr<TLogAppender>> FAppenders;
};

// Makes the logger objects of a hierarchy.
class TLogLoggerFactory
{
public:
    virtual ~TLogLoggerFactory() = default;
    [[nodiscard]] virtual std::unique_ptr<TLogLogger> MakeNewLoggerInstance(
        const std::string &name, TLogHierarchy &hierarchy)
        = 0;
};

class TLogDefaultLoggerFactory : public TLogLoggerFactory
{
public:
    [[nodiscard]] std::unique_ptr<TLogLogger> MakeNewLoggerInstance(
        const std::string &name, TLogHierarchy &hierarchy) override;
};

// The repository of loggers. Loggers live as long as their hierarchy; names compare
// case-insensitively. A new hierarchy has a root at level debug, no appenders and threshold "all".
class TLogHierarchy
{
public:
    TLogHierarchy();
    ~TLogHierarchy();
    TLogHierarchy(const TLogHierarchy &) = delete;
    TLogHierarchy &operator=(const TLogHierarchy &) = delete;

    [[nodiscard]] TLogLogger &Root() { return *FRoot; }
    // The logger of that name, made on first request ("root" and "" name the root).
    TLogLogger &GetLogger(std::string_view name);
    [[nodiscard]] TLogLogger *Exists(std::string_view name) const;
    [[nodiscard]] std::vector<TLogLogger *> CurrentLoggers() const;

    // Nothing below the threshold is logged anywhere in the hierarchy.
    void SetThreshold(const TLogLevel &level) { FThreshold.store(&level, std::memory_order_release); }
    [[nodiscard]] const TLogLevel &Threshold() const { return *FThreshold.load(std::memory_order_acquire); }
    [[nodiscard]] bool IsDisabled(int levelValue) const
    {
        return levelValue < FThreshold.load(std::memory_order_relaxed)->Value();
    }

    void SetLoggerFactory(std::shared_ptr<TLogLoggerFactory> factory);

    // Root back to debug, other levels cleared, all additive, no appenders, threshold "all".
    void ResetConfiguration();
    // Closes every appender (layouts write their footers); loggers stay usable but silent.
    void Shutdown();

    // Warns once on the internal channel that an event reached no appender.
    void ReportNoAppenders(const TLogLogger &logger);

private:
    mutable std::mutex FLock; // guards FLoggers and FFactory
    std::unique_ptr<TLogLogger> FRoot;
    std::map<std::string, std::unique_ptr<TLogLogger>> FLoggers; // by lower-case name
    std::shared_ptr<TLogLoggerFactory> FFactory;
    std::atomic<const TLogLevel *> FThreshold {&TLogLevel::All};
    std::atomic<bool> FNoAppenderWarned {false};
};

// The program's hierarchy. On first use it configures itself as the program starts: root level
// debug, the appender "ODS" (the systemd journal) with the default pattern, then "log.cfg" beside the
// executable when that file exists. It is never destroyed, so threads may log until the very end.
TLogHierarchy &DefaultHierarchy();

// The logger named "Zumbrel" that every part of the program writes to.
TLogLogger &ProgramLogger();

// The message is built only when the level is enabled.
#define ZU_LOG(level, expr)                                                                                            \
    do {                                                                                                               \
        TLogLogger &zuLogger_ = ProgramLogger();                                                                       \
        if (zuLogger_.IsEnabledFor(level))                                                                             \
            zuLogger_.Log(level, (expr));                                                                              \
    } while (0)
#define ZU_LOG_DEBUG(expr) ZU_LOG(TLogLevel::Debug, expr)
#define ZU_LOG_INFO(expr) ZU_LOG(TLogLevel::Info, expr)
#define ZU_LOG_WARN(expr) ZU_LOG(TLogLevel::Warn, expr)
#define ZU_LOG_ERROR(expr) ZU_LOG(TLogLevel::Error, expr)
#define ZU_LOG_FATAL(expr) ZU_LOG(TLogLevel::Fatal, expr)
