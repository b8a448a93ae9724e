#include "import/HumanSize.h"

#include <cstdint>
#include <cstdio>

std::string DuHumanSize(std::int64_t bytes)
{
    if (bytes < 0)
        return "-" + DuHumanSize(bytes == INT64_MIN ? INT64_MAX : -bytes);
    if (bytes < 1024)
        return std::to_string(bytes);
    static constexpr char Suffixes[] = "KMGTPE";
    // Whole tenths of the unit, rounded up, in integers so that nothing is lost (every
    // intermediate value stays below 2^64).
    std::size_t unit = 0;
    std::uint64_t scale = 1024;
    const auto value = static_cast<std::uint64_t>(bytes);
    while (unit + 1 < sizeof Suffixes - 1 && value >= scale * 1024)
        scale *= 1024, ++unit;
    const std::uint64_t quotient = value / scale;
    const std::uint64_t rest = value % scale;
    const std::uint64_t tenths = quotient * 10 + (rest * 10 + scale - 1) / scale;
    char text[32];
    if (tenths < 100) {
        std::snprintf(text, sizeof text, "%llu.%llu%c", static_cast<unsigned long long>(tenths / 10),
            static_cast<unsigned long long>(tenths % 10), Suffixes[unit]);
        return text;
    }
    const std::uint64_t whole = quotient + (rest ? 1 : 0);
    if (whole >= 1024 && unit + 1 < sizeof Suffixes - 1) {
        // 1023.5K rounds up to 1024K, which du writes as the next unit.
        return std::string("1.0") + Suffixes[unit + 1];
    }
    std::snprintf(text, sizeof text, "%llu%c", static_cast<unsigned long long>(whole), Suffixes[unit]);
    return text;
}

std::string DuHumanChange(std::int64_t bytes)
{
    if (bytes > 0)
        return "+" + DuHumanSize(bytes);
    return DuHumanSize(bytes);
}
