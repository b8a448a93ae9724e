#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

// Fills the "%s" place holders of a (translated) message from left to right; "%%" is a "%".
// Surplus place holders stay empty, surplus arguments are dropped. Arguments are inserted as
// they are, never read as patterns themselves.
[[nodiscard]] inline std::string FormatText(std::string_view pattern, std::initializer_list<std::string_view> args)
{
    std::string result;
    auto next = args.begin();
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] == '%' && i + 1 < pattern.size()) {
            if (pattern[i + 1] == 's') {
                if (next != args.end())
                    result += *next++;
                ++i;
                continue;
            }
            if (pattern[i + 1] == '%') {
                result += '%';
                ++i;
                continue;
            }
        }
        result += pattern[i];
    }
    return result;
}
