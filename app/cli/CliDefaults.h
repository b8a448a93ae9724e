#pragma once

#include <cstdint>
#include <string>

#include "common/SizeText.h"

// What the user's settings file says, read once at start; options on the command line win.
struct TCliDefaults
{
    std::int64_t GroupFileSize = 1048576; // 0: no grouping
    TRoundingStyle Rounding = rsTruncate;
};

// Filled by main before any command runs.
TCliDefaults &CliDefaults();

// A byte count of decimal digits only; false for anything else or an overflow.
bool ParseByteCount(const std::string &text, std::int64_t &value);
