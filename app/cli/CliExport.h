#pragma once

#include <string>
#include <vector>

// zumbrel-cli export --format csv|txt|html|xml|xml2 [--rounding none|bankers|truncate]
//                    [--output FILE] [--no-grouping | --group-size BYTES] [--quiet] PATH
// Scans PATH and writes the export of its root to FILE (replaced only when complete) or to
// standard output. Returns the process exit code: 0 done, 1 failed; throws ECliUsage for bad
// arguments.
int CommandExport(const std::vector<std::string> &args);

// The usage line of the command.
extern const char *const ExportUsage;
