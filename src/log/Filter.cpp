#include "log/Filter.h"

#include "log/Level.h"
#include "log/LogLog.h"
#include "log/Text.h"

namespace {
bool SetLevelOption(const std::string &name, const std::string &value, const TLogLevel *&target)
{
    const TLogLevel *level = TLogLevel::FromName(value);
    if (!level)
        TLogLog::Error("Unknown level \"" + value + "\" for filter option \"" + name + "\"");
    else
        target = level;
    return true;
}

bool SetBoolOption(const std::string &name, const std::string &value, bool &target)
{
    if (const auto flag = LogParseBool(value))
        target = *flag;
    else
        TLogLog::Warn("Value \"" + value + "\" of filter option \"" + name + "\" is no boolean; left unchanged");
    return true;
}
} // namespace

TLogFilterDecision TLogDenyAllFilter::Decide(const TLogEvent &) const
{
    return TLogFilterDecision::Deny;
}

TLogFilterDecision TLogLevelMatchFilter::Decide(const TLogEvent &event) const
{
    if (!FMatch || !event.Level || event.Level->Value() != FMatch->Value())
        return TLogFilterDecision::Neutral;
    return FAcceptOnMatch ? TLogFilterDecision::Accept : TLogFilterDecision::Deny;
}

bool TLogLevelMatchFilter::SetOption(const std::string &name, const std::string &value)
{
    if (LogTextEqualsNoCase(name, "match"))
        return SetLevelOption(name, value, FMatch);
    if (LogTextEqualsNoCase(name, "acceptOnMatch"))
        return SetBoolOption(name, value, FAcceptOnMatch);
    return TLogFilter::SetOption(name, value);
}

TLogFilterDecision TLogLevelRangeFilter::Decide(const TLogEvent &event) const
{
    const int value = event.Level ? event.Level->Value() : 0;
    if ((FMinimum && value < FMinimum->Value()) || (FMaximum && value > FMaximum->Value()))
        return TLogFilterDecision::Deny;
    return FAcceptOnMatch ? TLogFilterDecision::Accept : TLogFilterDecision::Neutral;
}

bool TLogLevelRangeFilter::SetOption(const std::string &name, const std::string &value)
{
    if (LogTextEqualsNoCase(name, "minimum"))
        return SetLevelOption(name, value, FMinimum);
    if (LogTextEqualsNoCase(name, "maximum"))
        return SetLevelOption(name, value, FMaximum);
    if (LogTextEqualsNoCase(name, "acceptOnMatch"))
        return SetBoolOption(name, value, FAcceptOnMatch);
    return TLogFilter::SetOption(name, value);
}

TLogFilterDecision TLogStringFilter::Decide(const TLogEvent &event) const
{
    if (FMatch.empty())
        return TLogFilterDecision::Neutral;
    const bool found = FIgnoreCase ? LogLowerAscii(event.Message).find(LogLowerAscii(FMatch)) != std::string::npos
                                   : event.Message.find(FMatch) != std::string_view::npos;
    if (!found)
        return TLogFilterDecision::Neutral;
    return FAcceptOnMatch ? TLogFilterDecision::Accept : TLogFilterDecision::Deny;
}

bool TLogStringFilter::SetOption(const std::string &name, const std::string &value)
{
    if (LogTextEqualsNoCase(name, "match")) {
        FMatch = value;
        return true;
    }
    if (LogTextEqualsNoCase(name, "ignoreCase"))
        return SetBoolOption(name, value, FIgnoreCase);
    if (LogTextEqualsNoCase(name, "acceptOnMatch"))
        return SetBoolOption(name, value, FAcceptOnMatch);
    return TLogFilter::SetOption(name, value);
}
