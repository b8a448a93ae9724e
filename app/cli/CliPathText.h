#pragma once

#include <string>
#include <string_view>

// A path for a terminal line: printable UTF-8 as it is, the backslash doubled, tab, line
// feed and carriage return as \t \n \r, any other control character or byte that is not
// well-formed UTF-8 as \xHH. No name can then break the line or fake a column.
[[nodiscard]] std::string CliPrintablePath(std::string_view path);
