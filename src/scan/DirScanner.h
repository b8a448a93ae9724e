#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>

class TDirNode;

struct TDirScanOptions
{
    // Files smaller than this go into their directory's small-files group; 0 disables grouping.
    std::int64_t GroupFileSize = 0;
    std::uint16_t MaxNumberOfTopItems = 0;
};

// Called for every subdirectory before it is scanned, on the scanning thread.
using TFindEvent = std::function<void(const std::string &path, std::int32_t level)>;

// Walks one directory tree depth-first into a directory node: one node per entry, sizes and
// file counts accumulated upwards, small files gathered in their directory's group. Runs on
// one thread; other threads may read CurrentDir, Scanning and ScanSeconds and call StopScan.
// Depth is unlimited: the walk keeps its own stack and only a bounded number of open
// directory descriptors.
class TDirScanner
{
public:
    explicit TDirScanner(TDirNode *rootNode);
    ~TDirScanner();
    TDirScanner(const TDirScanner &) = delete;
    TDirScanner &operator=(const TDirScanner &) = delete;

    // Scans `path` into the root node (cleared first); returns when done or stopped.
    // A scanner performs one scan.
    void StartScan(const std::string &path, const TDirScanOptions &options);
    // Asks a running or future scan to end at its next entry; returns at once.
    void StopScan() { FStopScan.store(true, std::memory_order_release); }

    [[nodiscard]] std::string CurrentDir() const;
    [[nodiscard]] bool Scanning() const { return FScanning.load(std::memory_order_acquire); }
    [[nodiscard]] bool StopRequested() const { return FStopScan.load(std::memory_order_acquire); }
    [[nodiscard]] double ScanSeconds() const { return FScanSeconds; }
    [[nodiscard]] TDirNode *RootNode() const { return FRootNode; }

    TFindEvent OnFind;

    // How many ancestors keep their directory open; deeper ones are reopened through "..".
    static constexpr std::size_t OpenDirectoryWindow = 64;

private:
    struct TFrame;
    void ScanTree(const std::string &path);
    void SetCurrentDir(const std::string &path);

    mutable std::mutex FLock; // guards FCurrentDir
    TDirScanOptions FScanOptions;
    TDirNode *FRootNode; // not owned
    std::int32_t FLevel = 0;
    std::atomic<bool> FScanning {false};
    std::atomic<bool> FStopScan {false};
    double FScanSeconds = 0;
    std::string FCurrentDir;
};

// The system-directory redirection of a 32-bit process on a 64-bit system, kept as a pure
// function: the pattern to enumerate for `path`. Never active on Linux (no WOW64).
std::string RedirectSystemDir(const std::string &path, const std::string &system32Dir, const std::string &sysnativeDir);
