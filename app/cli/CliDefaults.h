#pragma once

#include <cstdint>

#include "model/common/SizeText.h"

// What the user's settings file says, read once at start; options on the command line win.
struct TCliDefaults
{
    std::int64_t GroupFileSize = 1048576; // 0: no grouping
    TRoundingStyle Rounding = rsTruncate;
};

// Filled by main before any command runs.
TCliDefaults &CliDefaults();
