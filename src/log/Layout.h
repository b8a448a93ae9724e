#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "log/Event.h"
#include "log/OptionHandler.h"

// The pattern of the start-up configuration: elapsed ms, [thread], level, logger, context, message.
inline constexpr std::string_view DefaultLogPattern = "%r [%t] %p %c %x - %m%n";
inline constexpr std::string_view DefaultLogDateFormat = "yyyy-mm-dd hh:nn:ss.zzz";

// Formats a time in local time. Tokens (any case): yyyy yy mmmm mmm mm m dddd ddd dd d hh h nn n
// ss s zzz z; "mm"/"m" right after an hour token means minutes; text in '...' or "..." is literal.
std::string FormatLogDate(std::string_view format, std::chrono::system_clock::time_point time);

// Turns events into text. Layouts are configured before they are attached and then used under
// the lock of their appender.
class TLogLayout : public TLogOptionHandler
{
public:
    // Appends the formatted event to `out`.
    virtual void Format(const TLogEvent &event, std::string &out) const = 0;
    [[nodiscard]] virtual std::string Header() const { return {}; }
    [[nodiscard]] virtual std::string Footer() const { return {}; }

    bool SetOption(const std::string &name, const std::string &value) override;
    [[nodiscard]] const std::string &DateFormat() const { return FDateFormat; }
    void SetDateFormat(std::string format) { FDateFormat = std::move(format); }

private:
    std::string FDateFormat {DefaultLogDateFormat};
};

// Formats by a pattern of conversions %[-][min][.max]X[{option}]: c logger (option: keep the last n
// name parts), C class of the calling function, d date (option: date format), e exception message,
// F source file, l location, L line, m message, M calling function, n line end, p level, r elapsed
// ms, t thread id, x nested context, %% a percent sign.
class TLogPatternLayout : public TLogLayout
{
public:
    explicit TLogPatternLayout(std::string_view pattern = "%m%n");

    void Format(const TLogEvent &event, std::string &out) const override;
    bool SetOption(const std::string &name, const std::string &value) override;

    void SetPattern(std::string_view pattern);
    [[nodiscard]] const std::string &Pattern() const { return FPattern; }

private:
    struct TPart
    {
        char Conversion = 0; // 0 for literal text
        std::string Text; // literal text or the {option}
        bool LeftAlign = false;
        std::size_t MinWidth = 0;
        std::size_t MaxWidth = 0; // 0: no limit
        int Precision = 0; // %c{n}
    };
    void AppendConversion(const TPart &part, const TLogEvent &event, std::string &out) const;

    std::string FPattern;
    std::vector<TPart> FParts;
};

// Level, " - ", message, line end.
class TLogSimpleLayout : public TLogLayout
{
public:
    void Format(const TLogEvent &event, std::string &out) const override;
};

// An HTML page with one table row per event; option "title".
class TLogHTMLLayout : public TLogLayout
{
public:
    void Format(const TLogEvent &event, std::string &out) const override;
    [[nodiscard]] std::string Header() const override;
    [[nodiscard]] std::string Footer() const override;
    bool SetOption(const std::string &name, const std::string &value) override;

    [[nodiscard]] const std::string &Title() const { return FTitle; }
    void SetTitle(std::string title) { FTitle = std::move(title); }

private:
    std::string FTitle = "Log messages";
};

// The class and the function name of a source location's function ("void TA::B(int)" -> "TA", "B").
std::string LogLocationClass(const TLogSourceLocation &location);
std::string_view LogLocationMethod(const TLogSourceLocation &location);
