#include "log/Layout.h"

#include <ctime>

#include "log/Level.h"
#include "log/LogLog.h"
#include "log/Text.h"

bool TLogOptionHandler::SetOption(const std::string &, const std::string &)
{
    return false;
}

// ---- dates ----

namespace {
// Date formats are formatted for every event; a format from log.cfg longer than this (it could
// be megabytes) is ignored rather than slowing every log line down.
constexpr std::size_t MaxLogDateFormatLength = 256;

const char *const MonthNames[] = {"January", "February", "March", "April", "May", "June", "July", "August", "September",
    "October", "November", "December"};
const char *const DayNames[] = {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};

void AppendNumber(std::string &out, long value, int digits)
{
    std::string text = std::to_string(value);
    if (static_cast<int>(text.size()) < digits)
        out.append(static_cast<std::size_t>(digits) - text.size(), '0');
    out += text;
}

std::size_t RunLength(std::string_view format, std::size_t pos)
{
    std::size_t n = 1;
    while (pos + n < format.size() && LogLowerAscii(format[pos + n]) == LogLowerAscii(format[pos]))
        ++n;
    return n;
}
} // namespace

std::string FormatLogDate(std::string_view format, std::chrono::system_clock::time_point time)
{
    const auto sinceEpoch = time.time_since_epoch();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(time);
    const long millis
        = static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(sinceEpoch).count() % 1000 + 1000)
        % 1000;
    std::tm tm {};
    localtime_r(&seconds, &tm);

    std::string out;
    bool afterHour = false;
    std::size_t pos = 0;
    while (pos < format.size()) {
        const char c = LogLowerAscii(format[pos]);
        if (format[pos] == '\'' || format[pos] == '"') {
            const std::size_t end = format.find(format[pos], pos + 1);
            const std::size_t stop = end == std::string_view::npos ? format.size() : end;
            out.append(format.substr(pos + 1, stop - pos - 1));
            pos = end == std::string_view::npos ? format.size() : end + 1;
            continue;
        }
        std::size_t n = RunLength(format, pos);
        switch (c) {
        case 'y':
            if (n >= 3) {
                AppendNumber(out, tm.tm_year + 1900, 4);
                n = std::min<std::size_t>(n, 4);
            } else {
                AppendNumber(out, (tm.tm_year + 1900) % 100, 2);
                n = 2 <= n ? 2 : n;
            }
            break;
        case 'm':
            if (afterHour && n <= 2) {
                AppendNumber(out, tm.tm_min, static_cast<int>(n));
                afterHour = false;
            } else if (n >= 4) {
                out += MonthNames[tm.tm_mon];
                n = 4;
            } else if (n == 3) {
                out.append(MonthNames[tm.tm_mon], 3);
            } else {
                AppendNumber(out, tm.tm_mon + 1, static_cast<int>(n));
            }
            break;
        case 'd':
            if (n >= 4) {
                out += DayNames[tm.tm_wday];
                n = 4;
            } else if (n == 3) {
                out.append(DayNames[tm.tm_wday], 3);
            } else {
                AppendNumber(out, tm.tm_mday, static_cast<int>(n));
            }
            break;
        case 'h':
            n = std::min<std::size_t>(n, 2);
            AppendNumber(out, tm.tm_hour, static_cast<int>(n));
            afterHour = true;
            pos += n;
            continue;
        case 'n':
            n = std::min<std::size_t>(n, 2);
            AppendNumber(out, tm.tm_min, static_cast<int>(n));
            break;
        case 's':
            n = std::min<std::size_t>(n, 2);
            AppendNumber(out, tm.tm_sec, static_cast<int>(n));
            break;
        case 'z':
            n = n >= 3 ? 3 : 1;
            AppendNumber(out, millis, static_cast<int>(n));
            break;
        default:
            out += format[pos];
            n = 1;
            // Separators between an hour and its minutes keep "hh:mm" meaning minutes.
            pos += n;
            continue;
        }
        afterHour = false;
        pos += n;
    }
    return out;
}

bool TLogLayout::SetOption(const std::string &name, const std::string &value)
{
    if (LogTextEqualsNoCase(name, "dateFormat")) {
        if (value.size() > MaxLogDateFormatLength) {
            TLogLog::Warn(
                "A date format longer than " + std::to_string(MaxLogDateFormatLength) + " characters is ignored");
            return true;
        }
        FDateFormat = value;
        return true;
    }
    return false;
}

// ---- source locations ----

namespace {
// Splits a compiler's function signature into its qualified name; tolerant of any text.
std::string_view QualifiedFunctionName(std::string_view signature)
{
    constexpr std::string_view anonymous = "(anonymous namespace)";
    std::size_t paren = std::string_view::npos;
    int depth = 0;
    for (std::size_t i = 0; i < signature.size(); ++i) {
        const char c = signature[i];
        if (c == '(' && signature.substr(i, anonymous.size()) == anonymous) {
            i += anonymous.size() - 1;
        } else if (c == '<') {
            ++depth;
        } else if (c == '>' && depth > 0) {
            --depth;
        } else if (c == '(' && depth == 0) {
            paren = i;
            break;
        }
    }
    std::string_view head = signature.substr(0, paren);
    depth = 0;
    for (std::size_t i = head.size(); i-- > 0;) {
        const char c = head[i];
        if (c == '>')
            ++depth;
        else if (c == '<' && depth > 0)
            --depth;
        else if (c == ' ' && depth == 0 && !(i >= 10 && head.substr(i - 10, 10) == "(anonymous"))
            return head.substr(i + 1);
    }
    return head;
}

std::size_t LastScopeSeparator(std::string_view name)
{
    int depth = 0;
    for (std::size_t i = name.size(); i-- > 1;) {
        const char c = name[i];
        if (c == '>')
            ++depth;
        else if (c == '<' && depth > 0)
            --depth;
        else if (c == ':' && name[i - 1] == ':' && depth == 0)
            return i - 1;
    }
    return std::string_view::npos;
}
} // namespace

std::string LogLocationClass(const TLogSourceLocation &location)
{
    const std::string_view name = QualifiedFunctionName(location.function_name());
    const std::size_t sep = LastScopeSeparator(name);
    std::string scope(sep == std::string_view::npos ? std::string_view() : name.substr(0, sep));
    // Compilers name anonymous namespaces differently; they add nothing for a reader of the log.
    for (const std::string_view marker : {"{anonymous}::", "(anonymous namespace)::"})
        for (std::size_t pos; (pos = scope.find(marker)) != std::string::npos;)
            scope.erase(pos, marker.size());
    for (const std::string_view marker :
        {"::{anonymous}", "::(anonymous namespace)", "{anonymous}", "(anonymous namespace)"})
        if (scope.ends_with(marker))
            scope.erase(scope.size() - marker.size());
    return scope;
}

std::string_view LogLocationMethod(const TLogSourceLocation &location)
{
    const std::string_view name = QualifiedFunctionName(location.function_name());
    const std::size_t sep = LastScopeSeparator(name);
    return sep == std::string_view::npos ? name : name.substr(sep + 2);
}

// ---- pattern layout ----

namespace {
std::string_view BaseName(std::string_view path)
{
    const std::size_t slash = path.rfind('/');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

// The last `count` parts of a dotted (or ::-separated) name.
std::string_view LastNameParts(std::string_view name, int count)
{
    if (count <= 0)
        return name;
    std::size_t pos = name.size();
    while (count > 0 && pos > 0) {
        const std::size_t dot = name.find_last_of(".:", pos - 1);
        if (dot == std::string_view::npos)
            return name;
        pos = dot;
        if (--count == 0)
            return name.substr(dot + 1);
        while (pos > 0 && name[pos - 1] == ':')
            --pos;
    }
    return name;
}

constexpr std::string_view Conversions = "cCdeFlLmMnprtx";
} // namespace

TLogPatternLayout::TLogPatternLayout(std::string_view pattern)
{
    SetPattern(pattern);
}

bool TLogPatternLayout::SetOption(const std::string &name, const std::string &value)
{
    if (LogTextEqualsNoCase(name, "pattern")) {
        SetPattern(value);
        return true;
    }
    return TLogLayout::SetOption(name, value);
}

void TLogPatternLayout::SetPattern(std::string_view pattern)
{
    FPattern = pattern;
    FParts.clear();
    std::string literal;
    auto flushLiteral = [&] {
        if (!literal.empty()) {
            TPart part;
            part.Text = std::move(literal);
            FParts.push_back(std::move(part));
            literal.clear();
        }
    };
    std::size_t pos = 0;
    while (pos < pattern.size()) {
        const char c = pattern[pos];
        if (c != '%') {
            literal += c;
            ++pos;
            continue;
        }
        const std::size_t start = pos++;
        if (pos < pattern.size() && pattern[pos] == '%') {
            literal += '%';
            ++pos;
            continue;
        }
        TPart part;
        if (pos < pattern.size() && pattern[pos] == '-') {
            part.LeftAlign = true;
            ++pos;
        }
        auto readNumber = [&](std::size_t &value) {
            while (pos < pattern.size() && pattern[pos] >= '0' && pattern[pos] <= '9') {
                // Widths beyond a line's sensible length are clamped instead of overflowing.
                value = std::min<std::size_t>(value * 10 + static_cast<std::size_t>(pattern[pos] - '0'), 4096);
                ++pos;
            }
        };
        readNumber(part.MinWidth);
        if (pos < pattern.size() && pattern[pos] == '.') {
            ++pos;
            readNumber(part.MaxWidth);
        }
        if (pos >= pattern.size() || Conversions.find(pattern[pos]) == std::string_view::npos) {
            const std::size_t end = std::min(pos + 1, pattern.size());
            TLogLog::Warn("Unknown conversion \"" + std::string(pattern.substr(start, end - start)) + "\" in pattern \""
                + std::string(pattern) + "\"");
            literal += pattern.substr(start, end - start);
            pos = end;
            continue;
        }
        part.Conversion = pattern[pos++];
        if (pos < pattern.size() && pattern[pos] == '{') {
            const std::size_t close = pattern.find('}', pos);
            if (close != std::string_view::npos) {
                part.Text = pattern.substr(pos + 1, close - pos - 1);
                pos = close + 1;
                if (part.Conversion == 'd' && part.Text.size() > MaxLogDateFormatLength) {
                    // Formatted for every event: a huge one would slow each line to seconds.
                    TLogLog::Warn("A date format longer than " + std::to_string(MaxLogDateFormatLength)
                        + " characters is ignored");
                    part.Text = {};
                }
                if (part.Conversion == 'c' || part.Conversion == 'C') {
                    const auto count = LogParseInt(part.Text);
                    part.Precision = count && *count < 1000 ? static_cast<int>(*count) : 0;
                }
            }
        }
        flushLiteral();
        FParts.push_back(std::move(part));
    }
    flushLiteral();
}

void TLogPatternLayout::AppendConversion(const TPart &part, const TLogEvent &event, std::string &out) const
{
    switch (part.Conversion) {
    case 'c':
        out += LastNameParts(event.LoggerName, part.Precision);
        break;
    case 'C':
        out += LastNameParts(LogLocationClass(event.Location), part.Precision);
        break;
    case 'd':
        out += FormatLogDate(part.Text.empty() ? std::string_view(DateFormat()) : part.Text, event.Time);
        break;
    case 'e':
        if (event.Exception)
            out += event.Exception->what();
        break;
    case 'F':
        out += BaseName(event.Location.file_name());
        break;
    case 'l': {
        const std::string cls = LogLocationClass(event.Location);
        if (!cls.empty()) {
            out += cls;
            out += "::";
        }
        out += LogLocationMethod(event.Location);
        out += '(';
        out += BaseName(event.Location.file_name());
        out += ':';
        out += std::to_string(event.Location.line());
        out += ')';
        break;
    }
    case 'L':
        out += std::to_string(event.Location.line());
        break;
    case 'm':
        out += event.Message;
        break;
    case 'M':
        out += LogLocationMethod(event.Location);
        break;
    case 'n':
        out += '\n';
        break;
    case 'p':
        if (event.Level)
            out += event.Level->Name();
        break;
    case 'r':
        out += std::to_string(event.ElapsedMs);
        break;
    case 't':
        out += std::to_string(event.ThreadId);
        break;
    case 'x':
        out += event.Context;
        break;
    default:
        break;
    }
}

void TLogPatternLayout::Format(const TLogEvent &event, std::string &out) const
{
    for (const TPart &part : FParts) {
        if (part.Conversion == 0) {
            out += part.Text;
            continue;
        }
        if (part.MinWidth == 0 && part.MaxWidth == 0) {
            AppendConversion(part, event, out);
            continue;
        }
        std::string value;
        AppendConversion(part, event, value);
        // Too long: keep the end, as the end of a logger name tells most.
        if (part.MaxWidth > 0 && value.size() > part.MaxWidth)
            value.erase(0, value.size() - part.MaxWidth);
        if (value.size() < part.MinWidth) {
            const std::string padding(part.MinWidth - value.size(), ' ');
            value = part.LeftAlign ? value + padding : padding + value;
        }
        out += value;
    }
}

// ---- simple and HTML layouts ----

void TLogSimpleLayout::Format(const TLogEvent &event, std::string &out) const
{
    if (event.Level)
        out += event.Level->Name();
    out += " - ";
    out += event.Message;
    out += '\n';
}

namespace {
void AppendEscaped(std::string &out, std::string_view text)
{
    for (char c : text) {
        switch (c) {
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '&':
            out += "&amp;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\n':
            out += "<br>";
            break;
        case '\r':
            break;
        default:
            out += c;
        }
    }
}
} // namespace

bool TLogHTMLLayout::SetOption(const std::string &name, const std::string &value)
{
    if (LogTextEqualsNoCase(name, "title")) {
        FTitle = value;
        return true;
    }
    return TLogLayout::SetOption(name, value);
}

std::string TLogHTMLLayout::Header() const
{
    std::string out = "<!DOCTYPE html>\n<html>\n<head>\n<meta charset=\"utf-8\">\n<title>";
    AppendEscaped(out, FTitle);
    out += "</title>\n<style>\nbody { font-family: sans-serif; font-size: small; }\n"
           "table { border-collapse: collapse; }\nth, td { border: 1px solid #999; padding: 2px 6px; }\n"
           "th { background: #336; color: white; }\ntd.warn { color: #960; }\n"
           "td.error, td.fatal { color: #c00; font-weight: bold; }\n</style>\n</head>\n<body>\n<h1>";
    AppendEscaped(out, FTitle);
    out += "</h1>\n<table>\n<tr><th>Time</th><th>Date</th><th>Thread</th><th>Level</th><th>Logger</th>"
           "<th>Context</th><th>Message</th></tr>\n";
    return out;
}

std::string TLogHTMLLayout::Footer() const
{
    return "</table>\n</body>\n</html>\n";
}

void TLogHTMLLayout::Format(const TLogEvent &event, std::string &out) const
{
    const std::string_view level = event.Level ? event.Level->Name() : std::string_view();
    out += "<tr><td>";
    out += std::to_string(event.ElapsedMs);
    out += "</td><td>";
    AppendEscaped(out, FormatLogDate(DateFormat(), event.Time));
    out += "</td><td>";
    out += std::to_string(event.ThreadId);
    out += "</td><td class=\"";
    out += level;
    out += "\">";
    out += level;
    out += "</td><td>";
    AppendEscaped(out, event.LoggerName);
    out += "</td><td>";
    AppendEscaped(out, event.Context);
    out += "</td><td>";
    AppendEscaped(out, event.Message);
    out += "</td></tr>\n";
    if (event.Exception) {
        out += "<tr><td colspan=\"7\">";
        AppendEscaped(out, event.Exception->what());
        out += "</td></tr>\n";
    }
}
