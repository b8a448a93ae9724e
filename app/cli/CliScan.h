#pragma once

#include <memory>
#include <string>
#include <vector>

#include "model/TreeTypes.h"
#include "scan/DirScanner.h"

struct TCliScanResult
{
    std::unique_ptr<TRootDirNode> Root;
    double Seconds = 0;
    // Counted by the scan while it added them (the tree's GetDirCount and CountErrorNodes
    // give the same, at the price of a visit to every node).
    std::int64_t Directories = 0;
    std::int64_t Errors = 0;
    bool Failed = false; // the scan ended by an error (reported on standard error)
    bool Interrupted = false; // a signal stopped it; the tree is incomplete
};

// Scans `path` into a new root with the real scan thread machinery and waits for the end.
// Shows the progress line on a terminal unless `quiet`; an interrupt stops the scan.
TCliScanResult RunCliScan(const std::string &path, const TDirScanOptions &options, bool quiet = false);

// Checks that `path` is an existing folder before any work; otherwise prints
// "zumbrel-cli: PATH: <reason>" and returns false.
bool CheckScanRoot(const std::string &path);

// 0 when the scan gave a tree worth showing; otherwise the exit code, the reason already on
// standard error: the scan failed, was interrupted, or the folder itself could not be read
// (errors below it only count in its totals).
int ScanOutcome(const std::string &path, const TCliScanResult &result);

// Number of directory nodes below and including `root` whose listing failed.
std::int64_t CountErrorNodes(const TGroupNode &root);

// Prints "zumbrel-cli: <message>" on standard error.
void PrintError(const std::string &message);

// Writes `text` to standard output; on failure prints the system's reason and returns false.
bool WriteStandardOutput(const std::string &text);

// Keeps a finished tree reachable until exit: freeing millions of nodes right before the
// process ends is pointless work, and leak checkers see the tree as kept rather than lost.
void KeepUntilExit(std::unique_ptr<TRootDirNode> root);

// The totals `scan` prints: key=value lines, or one JSON object with both sizes.
std::string ScanTotalsText(const std::string &path, const TGroupNode &root, std::int64_t directories,
    std::int64_t errors, double seconds, TSizeKind kind, bool json);
// Appends `text` as the inside of a JSON string.
void AppendJsonEscaped(std::string &out, std::string_view text);

// zumbrel-cli scan [--no-grouping | --group-size BYTES] [--quiet] PATH
int CommandScan(const std::vector<std::string> &args);
extern const char *const ScanUsage;
