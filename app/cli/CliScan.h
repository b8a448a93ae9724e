#pragma once

#include <memory>
#include <string>

#include "model/TreeTypes.h"
#include "scan/DirScanner.h"

struct TCliScanResult
{
    std::unique_ptr<TRootDirNode> Root;
    double Seconds = 0;
    int Error = 0; // errno when the folder itself could not be opened
    bool Failed = false; // the scan ended by an error (reported on standard error)
};

// Scans `path` into a new root with the real scan thread machinery and waits for the end.
TCliScanResult RunCliScan(const std::string &path, const TDirScanOptions &options);

// The value of --threads: scan workers, 1 to 64 (1: the single walk; without the option one
// per online processor).
bool ParseThreadCount(const std::string &text, std::int32_t &threads);

// Number of directory nodes below and including `root` whose listing failed.
std::int64_t CountErrorNodes(const TGroupNode &root);
