#pragma once

#include <cstdint>
#include <string>

// A byte count the way `du -h` prints it: powers of 1024 with the suffixes K, M, G, T, P, E,
// rounded up, one decimal below 10 ("0", "512", "1.0K", "9.9M", "10M", "1023K", "1.0G").
[[nodiscard]] std::string DuHumanSize(std::int64_t bytes);
// The same with a sign for changes: "+1.5M", "-200K", "0".
[[nodiscard]] std::string DuHumanChange(std::int64_t bytes);
