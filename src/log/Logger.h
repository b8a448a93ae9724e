#pragma once

#include <exception>
#include <string_view>

// The program's logger. Levels follow log4j: debug < info < warn < error < fatal.
// Every operation may be called from any thread.
class TLogLogger
{
public:
    enum TLevel { Debug = 10000, Info = 20000, Warn = 30000, Error = 40000, Fatal = 50000 };

    explicit TLogLogger(std::string_view name);
    virtual ~TLogLogger() = default;

    [[nodiscard]] bool IsEnabledFor(int level) const;
    [[nodiscard]] bool IsDebugEnabled() const { return IsEnabledFor(Debug); }

    void Log(int level, std::string_view message, const std::exception *e = nullptr);
    void DebugMsg(std::string_view message, const std::exception *e = nullptr) { Log(Debug, message, e); }
    void InfoMsg(std::string_view message, const std::exception *e = nullptr) { Log(Info, message, e); }
    void WarnMsg(std::string_view message, const std::exception *e = nullptr) { Log(Warn, message, e); }
    void ErrorMsg(std::string_view message, const std::exception *e = nullptr) { Log(Error, message, e); }
    void FatalMsg(std::string_view message, const std::exception *e = nullptr) { Log(Fatal, message, e); }

private:
    std::string_view FName;
};

// The logger named "Zumbrel" that every part of the program writes to.
TLogLogger &ProgramLogger();

// The message is built only when the level is enabled.
#define ZU_LOG(level, expr)                                                                                            \
    do {                                                                                                               \
        if (ProgramLogger().IsEnabledFor(level))                                                                       \
            ProgramLogger().Log(level, (expr));                                                                        \
    } while (0)
#define ZU_LOG_DEBUG(expr) ZU_LOG(TLogLogger::Debug, expr)
#define ZU_LOG_INFO(expr) ZU_LOG(TLogLogger::Info, expr)
#define ZU_LOG_WARN(expr) ZU_LOG(TLogLogger::Warn, expr)
#define ZU_LOG_ERROR(expr) ZU_LOG(TLogLogger::Error, expr)
