#pragma once

#include <atomic>
#include <cstdint>
#include <exception>
#include <functional>
#include <mutex>
#include <string>

#include "platform/Platform.h"

class TDirNode;

struct TDirScanOptions
{
    // Files smaller than this go into their directory's small-files group; 0 disables grouping.
    std::int64_t GroupFileSize = 0;
    // Workers that walk the tree together; 0 means one per online processor, 1 the single
    // depth-first walk. Every count gives the same tree.
    std::int32_t Threads = 0;
};

inline constexpr std::int32_t MaxScanWorkers = 64;

// The number of workers a scan with `requested` threads uses (1 to MaxScanWorkers).
std::int32_t ScanWorkerCount(std::int32_t requested);

// Called for every subdirectory before it is scanned, on the worker that found it (with
// several workers, from several threads at once). The folder's path costs time in proportion
// to its depth, so it is left to the handlers that need it (dir.GetFullPathName()).
using TFindEvent = std::function<void(const TDirNode &dir, std::int32_t level)>;

// Walks one directory tree depth-first into a directory node: one node per entry, sizes and
// file counts accumulated upwards, small files gathered in their directory's group. StartScan
// runs on the calling thread and, with more than one worker, on helper threads it starts and
// joins (they inherit the caller's priority); other threads may read CurrentDir, Scanning and
// ScanSeconds and call StopScan. Depth is unlimited and costs the same at every level: each
// worker keeps its own stack and only a bounded number of open directory descriptors.
//
// Workers: an idle worker is handed the next unvisited subdirectory of the oldest directory
// another worker has open, so every directory still gets its children in listing order and
// the tree equals the one a single walk makes. A directory's totals reach its parent once its
// own listing and every subdirectory below it are done, whichever worker finishes last.
class TDirScanner
{
public:
    // Lists through `platform`'s services; without them, through the installed ones.
    TDirScanner(TDirNode *rootNode, const TPlatform &platform);
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
    // After a scan: the folders it added below the root, and the folders it marked as failed
    // (the root included). They equal what a walk over the finished tree counts, without that
    // walk's visit to every node.
    [[nodiscard]] std::int64_t DirCount() const { return FDirCount.load(std::memory_order_relaxed); }
    [[nodiscard]] std::int64_t ErrorCount() const { return FErrorCount.load(std::memory_order_relaxed); }
    [[nodiscard]] TDirNode *RootNode() const { return FRootNode; }

    TFindEvent OnFind;

    // How many ancestors keep their directory open; deeper ones are reopened through "..".
    static constexpr std::size_t OpenDirectoryWindow = 64;

private:
    struct TDirState;
    struct TFrame;
    struct TTask;
    class TPool;
    class TWalker;
    void ScanTree(const std::string &path);
    [[nodiscard]] const TPlatform &Services() const { return FPlatform.Lister ? FPlatform : Platform(); }
    // Ends the scan after an exception on a worker; the first one is raised by StartScan.
    void Abort(std::exception_ptr error) noexcept;
    // Hands a directory's totals up once nothing below it is left (see TDirState).
    void Release(TDirState *state) noexcept;
    void AddSize(TDirState *state, std::int64_t size);
    // Marks the folder as failed; true when it had no error before.
    bool Fail(TDirNode *node, int err);

    mutable std::mutex FLock; // guards FCurrentDir and the switch from FCurrentNodes to it
    TDirScanOptions FScanOptions;
    TDirNode *FRootNode; // not owned
    TPlatform FPlatform; // empty: the installed services
    std::atomic<bool> FScanning {false};
    std::atomic<bool> FStopScan {false};
    double FScanSeconds = 0;
    std::atomic<std::int64_t> FDirCount {0};
    std::atomic<std::int64_t> FErrorCount {0};
    // While scanning, the folder each worker entered most recently; its path is made only
    // when asked for, so that entering a folder costs the same at any depth. One cache line
    // per worker: a shared one would travel between the processors at every folder.
    struct alignas(64) TCurrentNode
    {
        std::atomic<TDirNode *> Node {nullptr};
    };
    TCurrentNode FCurrentNodes[MaxScanWorkers];
    std::string FCurrentDir;
    std::mutex FErrorLock;
    std::exception_ptr FError;
};

// The system-directory redirection of a 32-bit process on a 64-bit system, kept as a pure
// function: the pattern to enumerate for `path`. Never active on Linux (no WOW64).
std::string RedirectSystemDir(const std::string &path, const std::string &system32Dir, const std::string &sysnativeDir);
