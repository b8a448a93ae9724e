#pragma once

#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class TLogAppender;
class TLogHierarchy;
class TLogLogger;
class TLogOptionHandler;

inline constexpr std::string_view LogConfigFileName = "log.cfg";

// Adds to the root logger the appender "ODS" (the systemd journal) with the default pattern.
class TLogBasicConfigurator
{
public:
    static void Configure(TLogHierarchy &hierarchy);
};

// Reads "name=value" lines in file order. Keys (any case): log4d.configDebug, log4d.threshold,
// log4d.loggerFactory, log4d.rootLogger, log4d.logger.<name>, log4d.additive.<name>,
// log4d.appender.<name>[.<option> | .layout[.<option>] | .filter<id>[.<option>] |
// .errorHandler[.<option>]], log4d.renderer.<class>. Values are taken as they stand (no blanks
// trimmed). Nothing in the text can stop the program: every entry that cannot be used is skipped
// and the reason goes to the internal channel.
class TLogPropertyConfigurator
{
public:
    static constexpr std::string_view ClassName = "TLogPropertyConfigurator";

    explicit TLogPropertyConfigurator(TLogHierarchy &hierarchy);

    // False (after reporting why) when the file cannot be read; the configuration is then unchanged.
    // A relative "fileName" of an appender names a file beside the configuration file.
    bool ConfigureFromFile(const std::string &fileName);
    // A relative "fileName" is taken from `baseDir` when it is given, else from the working folder.
    void ConfigureFromText(std::string_view text, const std::string &baseDir = {});

private:
    struct TProperty
    {
        std::string Key;
        std::string Value;
    };

    const TProperty *Find(std::string_view key) const;
    void ParseLogger(TLogLogger &logger, const std::string &value);
    [[nodiscard]] std::string OptionValue(const std::string &option, const std::string &value) const;
    std::shared_ptr<TLogAppender> ParseAppender(const std::string &name);
    void ApplyOptions(TLogOptionHandler &target, const std::string &prefix, const std::string &what);
    void ParseErrorHandler(TLogAppender &appender, const std::string &prefix, const std::string &className);

    TLogHierarchy &FHierarchy;
    std::string FBaseDir; // folder of the configuration file
    std::vector<TProperty> FProperties;
    std::map<std::string, std::shared_ptr<TLogAppender>> FAppenders; // made in this run, by lower-case name
    std::map<std::string, std::shared_ptr<TLogAppender>> FExisting; // attached before this run
    std::vector<std::string> FParsing; // appenders being made, to refuse cycles
};

// The start-up sequence on `hierarchy`: root level debug, the "ODS" appender with the default
// pattern, then "log.cfg" in `executableDir` when that file exists.
void RunProgramLoggingStartup(TLogHierarchy &hierarchy, const std::string &executableDir);

// Runs the start-up sequence on the program's hierarchy with the given folder. The hierarchy
// already configures itself from the executable's own folder on first use, so calling this with
// that folder changes nothing; call it first thing in main to make the order explicit.
void ConfigureProgramLogging(const std::string &executableDir);

// The folder of the running executable ("" when unknown).
std::string LogExecutableDir();
