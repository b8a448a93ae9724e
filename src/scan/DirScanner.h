#pragma once

#include <atomic>
#include <cstdint>
#include <exception>
#include <functional>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/Platform.h"

class TDirNode;
class TFileSystemNode;

struct TDirScanOptions
{
    // The first two fields in order, as callers list them ({groupFileSize, 0}).
    TDirScanOptions(std::int64_t groupFileSize = 0, std::int32_t threads = 0)
        : GroupFileSize(groupFileSize)
        , Threads(threads)
    { }

    // Files smaller than this go into their directory's small-files group; 0 disables grouping.
    std::int64_t GroupFileSize = 0;
    // Workers that walk the tree together; 0 means one per online processor, 1 the single
    // depth-first walk. Every count gives the same tree.
    std::int32_t Threads = 0;
    // Shell globs: on an entry's name, or, when the pattern holds a "/", on its path below
    // the scanned folder. A match stays as a row marked excluded, with no size.
    std::vector<std::string> ExcludePatterns;
    // Leaves out folders holding a valid CACHEDIR.TAG (the Cache Directory Tagging rules).
    bool ExcludeCaches = false;
    // Descends into mount points (other file systems and bind mounts) instead of showing them.
    bool CrossMounts = false;
};

// True when `name` (the entry's name) or `relativePath` (its path below the scanned folder)
// matches one of the patterns as the options describe.
bool MatchesExcludePattern(
    const std::vector<std::string> &patterns, std::string_view name, std::string_view relativePath);
// True when `content`, the start of a file named CACHEDIR.TAG, makes its folder a cache.
bool IsCacheDirTag(std::string_view content);

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
    // A file with more than one link was found: true when another of its names carries its
    // sizes already (this one is then not counted).
    bool SeenLink(std::uint64_t device, std::uint64_t inode, TFileSystemNode *node);
    // After the walk: the name that carries an inode's sizes is the one with the smallest path,
    // whichever worker found which name first.
    void SettleLinks();

    mutable std::mutex FLock; // guards FCurrentDir and the switch from FCurrentNodes to it
    TDirScanOptions FScanOptions;
    bool FNeedPaths = false; // an exclusion pattern looks at paths, not only names
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
    struct TLinkKey
    {
        std::uint64_t Device;
        std::uint64_t Inode;
        bool operator==(const TLinkKey &) const = default;
    };
    struct TLinkKeyHash
    {
        std::size_t operator()(const TLinkKey &k) const noexcept { return k.Inode * 0x9E3779B97F4A7C15ull ^ k.Device; }
    };
    std::mutex FLinkLock;
    // The names found per inode; the first carries the sizes.
    std::unordered_map<TLinkKey, std::vector<TFileSystemNode *>, TLinkKeyHash> FLinks;
};

// The system-directory redirection of a 32-bit process on a 64-bit system, kept as a pure
// function: the pattern to enumerate for `path`. Never active on Linux (no WOW64).
std::string RedirectSystemDir(const std::string &path, const std::string &system32Dir, const std::string &sysnativeDir);
