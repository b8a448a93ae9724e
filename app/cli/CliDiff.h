#pragma once

#include <string>
#include <vector>

// zumbrel-cli diff [--top N] [--format text|csv] [--quiet] OLD NEW
// OLD and NEW are each a folder (scanned now) or an ncdu/gdu JSON export. Prints the folders
// whose size changed most, then the folders added and removed. Returns 0 done, 1 failed;
// throws ECliUsage for bad arguments.
int CommandDiff(const std::vector<std::string> &args);
extern const char *const DiffUsage;
std::string DiffHelp();
