#include "log/Logger.h"

#include <algorithm>

#include "log/LogLog.h"
#include "log/Text.h"

// ---- logger ----

TLogLogger::TLogLogger(std::string name, TLogHierarchy &hierarchy)
    : FName(std::move(name))
    , FHierarchy(hierarchy)
{ }

void TLogLogger::SetLevel(const TLogLevel *level)
{
    if (!level && !Parent())
        return; // the root always has a level
    FLevel.store(level, std::memory_order_release);
}

const TLogLevel &TLogLogger::EffectiveLevel() const
{
    for (const TLogLogger *logger = this; logger; logger = logger->Parent())
        if (const TLogLevel *level = logger->FLevel.load(std::memory_order_acquire))
            return *level;
    return TLogLevel::Debug;
}

bool TLogLogger::IsEnabledFor(const TLogLevel &level) const
{
    return IsEnabledFor(level.Value());
}

bool TLogLogger::IsEnabledFor(int levelValue) const
{
    return !FHierarchy.IsDisabled(levelValue) && levelValue >= EffectiveLevel().Value();
}

void TLogLogger::AddAppender(std::shared_ptr<TLogAppender> appender)
{
    if (!appender)
        return;
    std::scoped_lock guard(FLock);
    if (std::find(FAppenders.begin(), FAppenders.end(), appender) == FAppenders.end())
        FAppenders.push_back(std::move(appender));
}

void TLogLogger::RemoveAllAppenders()
{
    std::vector<std::shared_ptr<TLogAppender>> removed;
    {
        std::scoped_lock guard(FLock);
        removed.swap(FAppenders);
    }
    // Appenders no longer referenced close here, outside the logger's lock.
}

void TLogLogger::ReplaceAppenders(std::vector<std::shared_ptr<TLogAppender>> appenders)
{
    std::erase(appenders, nullptr);
    {
        std::scoped_lock guard(FLock);
        FAppenders.swap(appenders);
    }
    // The old ones, when no longer referenced, close here outside the logger's lock.
}

void TLogLogger::RemoveAppender(std::string_view name)
{
    std::shared_ptr<TLogAppender> removed;
    std::scoped_lock guard(FLock);
    auto it = std::find_if(FAppenders.begin(), FAppenders.end(),
        [name](const auto &appender) { return LogTextEqualsNoCase(appender->Name(), name); });
    if (it != FAppenders.end()) {
        removed = std::move(*it);
        FAppenders.erase(it);
    }
}

std::shared_ptr<TLogAppender> TLogLogger::GetAppender(std::string_view name) const
{
    std::scoped_lock guard(FLock);
    for (const auto &appender : FAppenders)
        if (LogTextEqualsNoCase(appender->Name(), name))
            return appender;
    return nullptr;
}

std::vector<std::shared_ptr<TLogAppender>> TLogLogger::Appenders() const
{
    std::scoped_lock guard(FLock);
    return FAppenders;
}

void TLogLogger::Log(
    const TLogLevel &level, std::string_view message, const std::exception *e, TLogSourceLocation location)
{
    if (!IsEnabledFor(level))
        return;
    const TLogEvent event = MakeLogEvent(level, FName, message, e, location);
    if (CallAppenders(event) == 0)
        FHierarchy.ReportNoAppenders(*this);
}

std::size_t TLogLogger::CallAppenders(const TLogEvent &event) const
{
    std::size_t reached = 0;
    for (const TLogLogger *logger = this; logger; logger = logger->Parent()) {
        // A copy, so that appenders write without the logger's lock and a configuration change
        // never waits for a slow disk.
        for (const auto &appender : logger->Appenders()) {
            appender->DoAppend(event);
            ++reached;
        }
        if (!logger->Additive())
            break;
    }
    return reached;
}

std::unique_ptr<TLogLogger> TLogDefaultLoggerFactory::MakeNewLoggerInstance(
    const std::string &name, TLogHierarchy &hierarchy)
{
    return std::make_unique<TLogLogger>(name, hierarchy);
}

// ---- hierarchy ----

TLogHierarchy::TLogHierarchy()
    : FRoot(std::make_unique<TLogLogger>("root", *this))
    , FFactory(std::make_shared<TLogDefaultLoggerFactory>())
{
    FRoot->SetLevel(&TLogLevel::Debug);
}

TLogHierarchy::~TLogHierarchy()
{
    Shutdown();
}

TLogLogger &TLogHierarchy::GetLogger(std::string_view name)
{
    if (name.empty() || LogTextEqualsNoCase(name, "root"))
        return *FRoot;
    const std::string key = LogLowerAscii(name);
    std::scoped_lock guard(FLock);
    if (auto it = FLoggers.find(key); it != FLoggers.end())
        return *it->second;

    std::unique_ptr<TLogLogger> logger = FFactory->MakeNewLoggerInstance(std::string(name), *this);
    if (!logger || &logger->Hierarchy() != this)
        logger = std::make_unique<TLogLogger>(std::string(name), *this);

    TLogLogger *parent = FRoot.get();
    for (std::size_t dot = key.rfind('.'); dot != std::string::npos && dot > 0; dot = key.rfind('.', dot - 1)) {
        if (auto it = FLoggers.find(key.substr(0, dot)); it != FLoggers.end()) {
            parent = it->second.get();
            break;
        }
    }
    logger->FParent.store(parent, std::memory_order_release);

    // Loggers made earlier below the new one now inherit from it.
    const std::string prefix = key + ".";
    for (auto it = FLoggers.lower_bound(prefix); it != FLoggers.end() && it->first.starts_with(prefix); ++it) {
        TLogLogger *current = it->second->Parent();
        if (current == FRoot.get() || current->Name().size() < key.size())
            it->second->FParent.store(logger.get(), std::memory_order_release);
    }
    return *FLoggers.emplace(key, std::move(logger)).first->second;
}

TLogLogger *TLogHierarchy::Exists(std::string_view name) const
{
    if (name.empty() || LogTextEqualsNoCase(name, "root"))
        return FRoot.get();
    std::scoped_lock guard(FLock);
    const auto it = FLoggers.find(LogLowerAscii(name));
    return it == FLoggers.end() ? nullptr : it->second.get();
}

std::vector<TLogLogger *> TLogHierarchy::CurrentLoggers() const
{
    std::scoped_lock guard(FLock);
    std::vector<TLogLogger *> loggers;
    loggers.reserve(FLoggers.size());
    for (const auto &entry : FLoggers)
        loggers.push_back(entry.second.get());
    return loggers;
}

void TLogHierarchy::SetLoggerFactory(std::shared_ptr<TLogLoggerFactory> factory)
{
    if (!factory)
        return;
    std::scoped_lock guard(FLock);
    FFactory = std::move(factory);
}

void TLogHierarchy::ResetConfiguration()
{
    SetThreshold(TLogLevel::All);
    FRoot->SetLevel(&TLogLevel::Debug);
    FRoot->SetAdditive(true);
    FRoot->RemoveAllAppenders();
    for (TLogLogger *logger : CurrentLoggers()) {
        logger->SetLevel(nullptr);
        logger->SetAdditive(true);
        logger->RemoveAllAppenders();
    }
}

void TLogHierarchy::Shutdown()
{
    std::vector<TLogLogger *> loggers = CurrentLoggers();
    loggers.push_back(FRoot.get());
    for (TLogLogger *logger : loggers)
        for (const auto &appender : logger->Appenders())
            appender->Close();
}

void TLogHierarchy::ReportNoAppenders(const TLogLogger &logger)
{
    if (!FNoAppenderWarned.exchange(true))
        TLogLog::Warn("No appenders could be found for logger \"" + logger.Name() + "\"");
}
