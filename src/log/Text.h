#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Small text helpers of the logging facility; names and keys compare ASCII case-insensitively.
char LogLowerAscii(char c);
std::string LogLowerAscii(std::string_view text);
bool LogTextEqualsNoCase(std::string_view a, std::string_view b);
bool LogTextStartsWithNoCase(std::string_view text, std::string_view prefix);
// Splits at every separator; tokens keep their blanks.
std::vector<std::string> LogSplit(std::string_view text, char separator);
// "true"/"yes" and "false"/"no" (any case); nothing for any other text.
std::optional<bool> LogParseBool(std::string_view text);
// A non-negative decimal integer that fits into int64; nothing otherwise.
std::optional<std::int64_t> LogParseInt(std::string_view text);
// Bytes, or a number with the suffix "KB", "MB" or "GB" (any case); nothing when malformed or too large.
std::optional<std::int64_t> LogParseFileSize(std::string_view text);
// The text of errno value `err`.
std::string LogErrorText(int err);
