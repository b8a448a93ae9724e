#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

#include "common/SizeText.h"

class TRootDirNode;

struct TReportOptions
{
    int Depth = 2; // levels below the root
    int Top = 10; // children per folder
    TRoundingStyle Rounding = rsTruncate; // rsNone: byte counts
    bool Utf8 = true; // block characters and a partial last block; "#" otherwise
    bool Colour = false; // terminal colours
    double Seconds = 0;
    std::int64_t Errors = 0; // folders that could not be read
    int Size = 0; // TSizeKind: the logical size (0) or the size on disk (1)
};

// The report of a finished tree: a header, then the root and, down to Depth levels, the
// biggest children of every folder first (at most Top, the rest summed up in one line), each
// line with size, percentage of its parent, a bar of that percentage, file count and the
// indented name (C-style escaped, folders with "/"), then a summary line. Translated.
// Written row by row; stops early once out has failed.
void WriteReport(const TRootDirNode &root, const TReportOptions &options, std::ostream &out);

// zumbrel-cli report [--depth N] [--top N] [--rounding none|bankers|truncate] [SCAN OPTIONS] PATH | -f FILE
int CommandReport(const std::vector<std::string> &args);
extern const char *const ReportUsage;
