#pragma once

#include <string>
#include <vector>

// zumbrel-cli top [--count N] [--quiet] PATH
// The N (default 20) largest files of a folder (scanned now) or of an ncdu/gdu JSON export:
// size as du -h prints it, last-write time, full path; largest first.
int CommandTop(const std::vector<std::string> &args);
extern const char *const TopUsage;
std::string TopHelp();
