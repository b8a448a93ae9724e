#include "log/Configurator.h"

#include <algorithm>
#include <cerrno>
#include <functional>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "log/Appender.h"
#include "log/FileAppender.h"
#include "log/LogLog.h"
#include "log/Logger.h"
#include "log/Text.h"

namespace {
constexpr std::string_view KeyPrefix = "log4d.";
constexpr std::string_view ConfigDebugKey = "log4d.configDebug";
constexpr std::string_view ThresholdKey = "log4d.threshold";
constexpr std::string_view LoggerFactoryKey = "log4d.loggerFactory";
constexpr std::string_view RootLoggerKey = "log4d.rootLogger";
constexpr std::string_view LoggerPrefix = "log4d.logger.";
constexpr std::string_view AdditivePrefix = "log4d.additive.";
constexpr std::string_view AppenderPrefix = "log4d.appender.";
constexpr std::string_view RendererPrefix = "log4d.renderer.";
// A configuration file is a few dozen lines; anything far larger is not one.
constexpr std::size_t MaxConfigFileSize = 1024 * 1024;

template <typename T> using TMaker = std::function<std::shared_ptr<T>()>;

template <typename T>
std::shared_ptr<T> MakeByClass(
    const std::vector<std::pair<std::string_view, TMaker<T>>> &classes, std::string_view className)
{
    for (const auto &[name, make] : classes)
        if (LogTextEqualsNoCase(name, className))
            return make();
    return nullptr;
}

template <typename Base, typename Derived> std::pair<std::string_view, TMaker<Base>> Class(std::string_view name)
{
    return {name, [] { return std::make_shared<Derived>(); }};
}

std::shared_ptr<TLogAppender> MakeAppender(std::string_view className)
{
    static const std::vector<std::pair<std::string_view, TMaker<TLogAppender>>> classes = {
        Class<TLogAppender, TLogODSAppender>("TLogODSAppender"),
        Class<TLogAppender, TLogStreamAppender>("TLogStreamAppender"),
        Class<TLogAppender, TLogFileAppender>("TLogFileAppender"),
        Class<TLogAppender, TLogRollingFileAppender>("TLogRollingFileAppender"),
        Class<TLogAppender, TLogNullAppender>("TLogNullAppender"),
    };
    return MakeByClass(classes, className);
}

std::shared_ptr<TLogLayout> MakeLayout(std::string_view className)
{
    static const std::vector<std::pair<std::string_view, TMaker<TLogLayout>>> classes = {
        Class<TLogLayout, TLogPatternLayout>("TLogPatternLayout"),
        Class<TLogLayout, TLogSimpleLayout>("TLogSimpleLayout"),
        Class<TLogLayout, TLogHTMLLayout>("TLogHTMLLayout"),
    };
    return MakeByClass(classes, className);
}

std::shared_ptr<TLogFilter> MakeFilter(std::string_view className)
{
    static const std::vector<std::pair<std::string_view, TMaker<TLogFilter>>> classes = {
        Class<TLogFilter, TLogDenyAllFilter>("TLogDenyAllFilter"),
        Class<TLogFilter, TLogLevelMatchFilter>("TLogLevelMatchFilter"),
        Class<TLogFilter, TLogLevelRangeFilter>("TLogLevelRangeFilter"),
        Class<TLogFilter, TLogStringFilter>("TLogStringFilter"),
    };
    return MakeByClass(classes, className);
}

std::shared_ptr<TLogErrorHandler> MakeErrorHandler(std::string_view className)
{
    static const std::vector<std::pair<std::string_view, TMaker<TLogErrorHandler>>> classes = {
        Class<TLogErrorHandler, TLogOnlyOnceErrorHandler>("TLogOnlyOnceErrorHandler"),
        Class<TLogErrorHandler, TLogFallbackErrorHandler>("TLogFallbackErrorHandler"),
    };
    return MakeByClass(classes, className);
}

std::shared_ptr<TLogLoggerFactory> MakeLoggerFactory(std::string_view className)
{
    static const std::vector<std::pair<std::string_view, TMaker<TLogLoggerFactory>>> classes = {
        Class<TLogLoggerFactory, TLogDefaultLoggerFactory>("TLogDefaultLoggerFactory"),
    };
    return MakeByClass(classes, className);
}

std::string Quoted(std::string_view text)
{
    return "\"" + std::string(text) + "\"";
}
} // namespace

// ---- basic ----

void TLogBasicConfigurator::Configure(TLogHierarchy &hierarchy)
{
    auto appender = std::make_shared<TLogODSAppender>("ODS");
    appender->SetLayout(std::make_shared<TLogPatternLayout>(DefaultLogPattern));
    hierarchy.Root().AddAppender(std::move(appender));
}

// ---- property file ----

TLogPropertyConfigurator::TLogPropertyConfigurator(TLogHierarchy &hierarchy)
    : FHierarchy(hierarchy)
{ }

bool TLogPropertyConfigurator::ConfigureFromFile(const std::string &fileName)
{
    auto fail = [&fileName](const std::string &reason) {
        TLogLog::Error("Couldn't read configuration file " + Quoted(fileName) + " - " + reason);
        TLogLog::Error("Ignoring configuration file " + Quoted(fileName));
        return false;
    };
    // O_NONBLOCK: a FIFO in the file's place must not hang the start of the program.
    TLogFd fd(::open(fileName.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (!fd.IsOpen())
        return fail(LogErrorText(errno));
    struct stat st
    { };
    if (::fstat(fd.Get(), &st) != 0)
        return fail(LogErrorText(errno));
    if (S_ISDIR(st.st_mode))
        return fail(LogErrorText(EISDIR));
    if (!S_ISREG(st.st_mode))
        return fail("not a regular file");
    if (static_cast<std::uint64_t>(st.st_size) > MaxConfigFileSize)
        return fail("larger than " + std::to_string(MaxConfigFileSize) + " bytes");
    std::string text;
    char buffer[8192];
    while (true) {
        const ssize_t n = ::read(fd.Get(), buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return fail(LogErrorText(errno));
        }
        if (n == 0)
            break;
        text.append(buffer, static_cast<std::size_t>(n));
        if (text.size() > MaxConfigFileSize)
            return fail("larger than " + std::to_string(MaxConfigFileSize) + " bytes");
    }
    TLogLog::Debug("Reading configuration file " + Quoted(fileName));
    const std::size_t slash = fileName.rfind('/');
    std::string baseDir = slash == std::string::npos ? "." : slash == 0 ? "/" : fileName.substr(0, slash);
    if (baseDir[0] != '/') {
        // The folder as it is now: a later change of the working folder must not move the log.
        char cwd[4096];
        if (::getcwd(cwd, sizeof cwd))
            baseDir = std::string(cwd) + (baseDir == "." ? "" : "/" + baseDir);
    }
    ConfigureFromText(text, baseDir);
    return true;
}

const TLogPropertyConfigurator::TProperty *TLogPropertyConfigurator::Find(std::string_view key) const
{
    // A key given twice counts with its last value.
    for (auto it = FProperties.rbegin(); it != FProperties.rend(); ++it)
        if (LogTextEqualsNoCase(it->Key, key))
            return &*it;
    return nullptr;
}

void TLogPropertyConfigurator::ConfigureFromText(std::string_view text, const std::string &baseDir)
{
    FBaseDir = baseDir;
    FProperties.clear();
    FAppenders.clear();
    FExisting.clear();
    std::size_t lineNumber = 0;
    for (std::string_view line : LogSplit(text, '\n')) {
        ++lineNumber;
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (line.empty() || line[0] == '#' || line[0] == '!')
            continue;
        const std::size_t eq = line.find('=');
        if (eq == std::string_view::npos) {
            TLogLog::Debug("Line " + std::to_string(lineNumber) + " ignored: no \"=\"");
            continue;
        }
        FProperties.push_back({std::string(line.substr(0, eq)), std::string(line.substr(eq + 1))});
    }

    if (const TProperty *p = Find(ConfigDebugKey)) {
        if (const auto on = LogParseBool(p->Value))
            TLogLog::SetInternalDebugging(*on);
    }
    if (const TProperty *p = Find(LoggerFactoryKey)) {
        if (auto factory = MakeLoggerFactory(p->Value)) {
            FHierarchy.SetLoggerFactory(std::move(factory));
            TLogLog::Debug("Logger factory " + Quoted(p->Value));
        } else {
            TLogLog::Error("Unknown logger factory class " + Quoted(p->Value));
        }
    }
    if (const TProperty *p = Find(ThresholdKey)) {
        if (const TLogLevel *level = TLogLevel::FromName(p->Value)) {
            FHierarchy.SetThreshold(*level);
            TLogLog::Debug("Threshold " + Quoted(level->Name()));
        } else {
            TLogLog::Error("Unknown level " + Quoted(p->Value) + " for " + std::string(ThresholdKey));
        }
    }

    // Appenders that were attached before can be named again without being defined here ("ODS").
    std::vector<TLogLogger *> loggers = FHierarchy.CurrentLoggers();
    loggers.push_back(&FHierarchy.Root());
    for (TLogLogger *logger : loggers)
        for (auto &appender : logger->Appenders())
            FExisting.emplace(LogLowerAscii(appender->Name()), appender);

    for (std::size_t i = 0; i < FProperties.size(); ++i) {
        const std::string key = FProperties[i].Key;
        const std::string value = FProperties[i].Value;
        if (LogTextEqualsNoCase(key, RootLoggerKey)) {
            ParseLogger(FHierarchy.Root(), value);
        } else if (LogTextStartsWithNoCase(key, LoggerPrefix)) {
            const std::string name = key.substr(LoggerPrefix.size());
            if (name.empty())
                TLogLog::Error("Logger entry without a logger name: " + Quoted(key));
            else
                ParseLogger(FHierarchy.GetLogger(name), value);
        } else if (LogTextStartsWithNoCase(key, AdditivePrefix)) {
            const std::string name = key.substr(AdditivePrefix.size());
            const auto additive = LogParseBool(value);
            if (name.empty())
                TLogLog::Error("Additivity entry without a logger name: " + Quoted(key));
            else if (!additive)
                TLogLog::Warn("Additivity " + Quoted(value) + " of logger " + Quoted(name) + " is no boolean");
            else {
                FHierarchy.GetLogger(name).SetAdditive(*additive);
                TLogLog::Debug("Logger " + Quoted(name) + " additive: " + (*additive ? "true" : "false"));
            }
        } else if (LogTextStartsWithNoCase(key, RendererPrefix)) {
            TLogLog::Debug("Renderer " + Quoted(value) + " for " + Quoted(key.substr(RendererPrefix.size()))
                + " not needed: messages are text already");
        } else if (LogTextEqualsNoCase(key, ConfigDebugKey) || LogTextEqualsNoCase(key, ThresholdKey)
            || LogTextEqualsNoCase(key, LoggerFactoryKey) || LogTextStartsWithNoCase(key, AppenderPrefix)) {
            // read above, or when a logger names the appender
        } else if (LogTextStartsWithNoCase(key, KeyPrefix)) {
            TLogLog::Warn("Unknown key " + Quoted(key) + " ignored");
        }
    }
    TLogLog::Debug("Finished configuring with " + std::string(ClassName));
    FAppenders.clear();
    FExisting.clear();
}

void TLogPropertyConfigurator::ParseLogger(TLogLogger &logger, const std::string &value)
{
    const std::vector<std::string> tokens = LogSplit(value, ',');
    const std::string &levelName = tokens.front();
    const bool isRoot = &logger == &FHierarchy.Root();
    if (levelName.empty()) {
        // keeps the level
    } else if (LogTextEqualsNoCase(levelName, "inherited")) {
        if (isRoot)
            TLogLog::Error("The root logger cannot inherit a level; level unchanged");
        else
            logger.SetLevel(nullptr);
    } else if (const TLogLevel *level = TLogLevel::FromName(levelName)) {
        logger.SetLevel(level);
        TLogLog::Debug("Logger " + Quoted(logger.Name()) + " level " + Quoted(level->Name()));
    } else {
        TLogLog::Error("Unknown level " + Quoted(levelName) + " for logger " + Quoted(logger.Name()));
    }

    // The named appenders replace all the logger had, including the start-up "ODS" of the root.
    std::vector<std::shared_ptr<TLogAppender>> appenders;
    for (std::size_t i = 1; i < tokens.size(); ++i) {
        if (tokens[i].empty())
            continue;
        auto appender = ParseAppender(tokens[i]);
        if (appender && std::find(appenders.begin(), appenders.end(), appender) == appenders.end()) {
            appenders.push_back(std::move(appender));
            TLogLog::Debug("Appender " + Quoted(tokens[i]) + " added to logger " + Quoted(logger.Name()));
        }
    }
    logger.ReplaceAppenders(std::move(appenders));
}

std::string TLogPropertyConfigurator::OptionValue(const std::string &option, const std::string &value) const
{
    // A relative file name means a file beside log.cfg, not in whatever folder the program was
    // started from.
    if (LogTextEqualsNoCase(option, "fileName") && !FBaseDir.empty() && !value.empty() && value[0] != '/')
        return FBaseDir + (FBaseDir.back() == '/' ? "" : "/") + value;
    return value;
}

void TLogPropertyConfigurator::ApplyOptions(
    TLogOptionHandler &target, const std::string &prefix, const std::string &what)
{
    for (const TProperty &p : FProperties) {
        if (!LogTextStartsWithNoCase(p.Key, prefix))
            continue;
        const std::string option = p.Key.substr(prefix.size());
        if (option.empty() || option.find('.') != std::string::npos || !target.SetOption(option, p.Value))
            TLogLog::Warn("Unknown option " + Quoted(option) + " of " + what + " ignored");
    }
}

void TLogPropertyConfigurator::ParseErrorHandler(
    TLogAppender &appender, const std::string &prefix, const std::string &className)
{
    auto handler = MakeErrorHandler(className);
    if (!handler) {
        TLogLog::Error("Unknown error handler class " + Quoted(className) + " for appender " + Quoted(appender.Name()));
        return;
    }
    auto *fallback = dynamic_cast<TLogFallbackErrorHandler *>(handler.get());
    for (const TProperty &p : FProperties) {
        if (!LogTextStartsWithNoCase(p.Key, prefix))
            continue;
        const std::string option = p.Key.substr(prefix.size());
        if (fallback && LogTextEqualsNoCase(option, "appender")) {
            auto backup = ParseAppender(p.Value);
            if (backup && !fallback->SetBackupAppender(backup, &appender))
                TLogLog::Error("Appender " + Quoted(p.Value) + " cannot stand in for appender "
                    + Quoted(appender.Name()) + ": it would fall back in a circle");
        } else if (option.find('.') != std::string::npos || !handler->SetOption(option, p.Value)) {
            TLogLog::Warn("Unknown option " + Quoted(option) + " of the error handler of appender "
                + Quoted(appender.Name()) + " ignored");
        }
    }
    appender.SetErrorHandler(std::move(handler));
}

std::shared_ptr<TLogAppender> TLogPropertyConfigurator::ParseAppender(const std::string &name)
{
    const std::string key = LogLowerAscii(name);
    if (auto it = FAppenders.find(key); it != FAppenders.end())
        return it->second;
    if (std::find(FParsing.begin(), FParsing.end(), key) != FParsing.end()) {
        TLogLog::Error("Appender " + Quoted(name) + " refers to itself");
        return nullptr;
    }
    const std::string classKey = std::string(AppenderPrefix) + name;
    const TProperty *classEntry = Find(classKey);
    if (!classEntry) {
        if (auto it = FExisting.find(key); it != FExisting.end())
            return it->second;
        TLogLog::Error("Appender " + Quoted(name) + " is not defined (no " + Quoted(classKey) + ")");
        FAppenders[key] = nullptr;
        return nullptr;
    }
    auto appender = MakeAppender(classEntry->Value);
    if (!appender) {
        TLogLog::Error("Unknown appender class " + Quoted(classEntry->Value) + " for appender " + Quoted(name));
        FAppenders[key] = nullptr;
        return nullptr;
    }
    appender->SetName(name);
    TLogLog::Debug("Making appender " + Quoted(name) + " of class " + Quoted(classEntry->Value));
    FParsing.push_back(key);

    // Options in file order: "fileName" opens the file when it is met.
    const std::string prefix = classKey + ".";
    for (const TProperty &p : FProperties) {
        if (!LogTextStartsWithNoCase(p.Key, prefix))
            continue;
        const std::string sub = p.Key.substr(prefix.size());
        if (LogTextEqualsNoCase(sub, "layout")) {
            auto layout = MakeLayout(p.Value);
            if (!layout) {
                TLogLog::Error("Unknown layout class " + Quoted(p.Value) + " for appender " + Quoted(name));
                continue;
            }
            ApplyOptions(*layout, prefix + "layout.", "the layout of appender " + Quoted(name));
            appender->SetLayout(std::move(layout));
        } else if (LogTextStartsWithNoCase(sub, "layout.")) {
            // applied with the layout
        } else if (LogTextStartsWithNoCase(sub, "filter") && sub.find('.') == std::string::npos) {
            auto filter = MakeFilter(p.Value);
            if (!filter) {
                TLogLog::Error("Unknown filter class " + Quoted(p.Value) + " for appender " + Quoted(name));
                continue;
            }
            ApplyOptions(*filter, prefix + sub + ".", "filter " + Quoted(sub) + " of appender " + Quoted(name));
            appender->AddFilter(std::move(filter));
        } else if (LogTextStartsWithNoCase(sub, "filter")) {
            // applied with its filter
        } else if (LogTextEqualsNoCase(sub, "errorHandler")) {
            ParseErrorHandler(*appender, prefix + "errorHandler.", p.Value);
        } else if (LogTextStartsWithNoCase(sub, "errorHandler.")) {
            // applied with the error handler
        } else if (sub.empty() || sub.find('.') != std::string::npos
            || !appender->SetOption(sub, OptionValue(sub, p.Value))) {
            TLogLog::Warn("Unknown option " + Quoted(sub) + " of appender " + Quoted(name) + " ignored");
        }
    }
    FParsing.pop_back();

    if (appender->RequiresLayout() && !appender->Layout()) {
        TLogLog::Error("Appender " + Quoted(name) + " needs a layout and has none; not used");
        appender = nullptr;
    } else if (const std::string reason = appender->NotReadyReason(); !reason.empty()) {
        TLogLog::Error("Appender " + Quoted(name) + " not used: " + reason);
        appender = nullptr;
    }
    FAppenders[key] = appender;
    return appender;
}

// ---- start-up ----

void RunProgramLoggingStartup(TLogHierarchy &hierarchy, const std::string &executableDir)
{
    hierarchy.ResetConfiguration();
    hierarchy.Root().SetLevel(&TLogLevel::Debug);
    TLogBasicConfigurator::Configure(hierarchy);
    if (executableDir.empty())
        return;
    const std::string fileName = executableDir + "/" + std::string(LogConfigFileName);
    struct stat st
    { };
    if (::stat(fileName.c_str(), &st) != 0 && errno == ENOENT) {
        TLogLog::Debug("No configuration file " + Quoted(fileName));
        return;
    }
    TLogPropertyConfigurator(hierarchy).ConfigureFromFile(fileName);
}
