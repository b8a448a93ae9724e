#include "log/Text.h"

#include <cstring>
#include <limits>

char LogLowerAscii(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string LogLowerAscii(std::string_view text)
{
    std::string result(text);
    for (char &c : result)
        c = LogLowerAscii(c);
    return result;
}

bool LogTextEqualsNoCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (LogLowerAscii(a[i]) != LogLowerAscii(b[i]))
            return false;
    return true;
}

bool LogTextStartsWithNoCase(std::string_view text, std::string_view prefix)
{
    return text.size() >= prefix.size() && LogTextEqualsNoCase(text.substr(0, prefix.size()), prefix);
}

std::vector<std::string> LogSplit(std::string_view text, char separator)
{
    std::vector<std::string> tokens;
    std::size_t start = 0;
    while (true) {
        const std::size_t pos = text.find(separator, start);
        if (pos == std::string_view::npos) {
            tokens.emplace_back(text.substr(start));
            return tokens;
        }
        tokens.emplace_back(text.substr(start, pos - start));
        start = pos + 1;
    }
}

std::optional<bool> LogParseBool(std::string_view text)
{
    if (LogTextEqualsNoCase(text, "true") || LogTextEqualsNoCase(text, "yes"))
        return true;
    if (LogTextEqualsNoCase(text, "false") || LogTextEqualsNoCase(text, "no"))
        return false;
    return std::nullopt;
}

std::optional<std::int64_t> LogParseInt(std::string_view text)
{
    if (text.empty())
        return std::nullopt;
    std::int64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        const int digit = c - '0';
        if (value > (std::numeric_limits<std::int64_t>::max() - digit) / 10)
            return std::nullopt;
        value = value * 10 + digit;
    }
    return value;
}

std::optional<std::int64_t> LogParseFileSize(std::string_view text)
{
    std::int64_t factor = 1;
    if (text.size() > 2) {
        const std::string_view suffix = text.substr(text.size() - 2);
        if (LogTextEqualsNoCase(suffix, "KB"))
            factor = 1024;
        else if (LogTextEqualsNoCase(suffix, "MB"))
            factor = 1024 * 1024;
        else if (LogTextEqualsNoCase(suffix, "GB"))
            factor = 1024 * 1024 * 1024;
        if (factor != 1)
            text.remove_suffix(2);
    }
    const auto number = LogParseInt(text);
    if (!number || *number > std::numeric_limits<std::int64_t>::max() / factor)
        return std::nullopt;
    return *number * factor;
}

std::string LogErrorText(int err)
{
    char buffer[256];
    // The GNU variant may return a static string instead of filling the buffer.
    const char *text = strerror_r(err, buffer, sizeof buffer);
    return text ? std::string(text) : std::string("error ") + std::to_string(err);
}
