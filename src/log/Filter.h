#pragma once

#include <string>

#include "log/Event.h"
#include "log/OptionHandler.h"

class TLogLevel;

enum class TLogFilterDecision { Deny, Neutral, Accept };

// A link in an appender's filter chain: the first filter that does not answer Neutral decides;
// when all are neutral the event is written.
class TLogFilter : public TLogOptionHandler
{
public:
    [[nodiscard]] virtual TLogFilterDecision Decide(const TLogEvent &event) const = 0;
};

class TLogDenyAllFilter : public TLogFilter
{
public:
    [[nodiscard]] TLogFilterDecision Decide(const TLogEvent &event) const override;
};

// Options "match" (a level) and "acceptOnMatch" (default true).
class TLogLevelMatchFilter : public TLogFilter
{
public:
    [[nodiscard]] TLogFilterDecision Decide(const TLogEvent &event) const override;
    bool SetOption(const std::string &name, const std::string &value) override;

    const TLogLevel *FMatch = nullptr;
    bool FAcceptOnMatch = true;
};

// Options "minimum", "maximum" (levels, both optional) and "acceptOnMatch" (default false):
// events outside the range are denied, events inside accepted or passed on.
class TLogLevelRangeFilter : public TLogFilter
{
public:
    [[nodiscard]] TLogFilterDecision Decide(const TLogEvent &event) const override;
    bool SetOption(const std::string &name, const std::string &value) override;

    const TLogLevel *FMinimum = nullptr;
    const TLogLevel *FMaximum = nullptr;
    bool FAcceptOnMatch = false;
};

// Options "match" (text in the message), "ignoreCase" (default false) and "acceptOnMatch" (default true).
class TLogStringFilter : public TLogFilter
{
public:
    [[nodiscard]] TLogFilterDecision Decide(const TLogEvent &event) const override;
    bool SetOption(const std::string &name, const std::string &value) override;

    std::string FMatch;
    bool FIgnoreCase = false;
    bool FAcceptOnMatch = true;
};
