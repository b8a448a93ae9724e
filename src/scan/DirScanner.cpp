#include "scan/DirScanner.h"

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <deque>
#include <limits>
#include <memory>
#include <thread>
#include <utility>
#include <vector>

#include <fnmatch.h>
#include <unistd.h>

#include "common/Profiler.h"
#include "log/Logger.h"
#include "model/Paths.h"
#include "model/TreeTypes.h"
#include "platform/Platform.h"

namespace {

// Clears a node's scanning state however its scan ends.
void EndScanning(TDirNode *node) noexcept
{
    try {
        node->SetScanning(false);
    } catch (...) {
        // Folding a one-file group back may fail only for lack of memory; the group then stays.
    }
}

} // namespace

// One directory from its entry until its totals have reached its parent. Its own listing
// holds one reference and every subdirectory being scanned (by any worker) one more; the
// worker that drops the last reference finishes the directory.
struct TDirScanner::TDirState
{
    TDirState(TDirNode *node, TDirState *parent)
        : Node(node)
        , Parent(parent)
    { }
    TDirNode *Node;
    TDirState *Parent;
    std::atomic<std::int32_t> Outstanding {1};
    std::atomic<bool> Saturated {false}; // its size reached the largest value (logged once)
};

// A directory on one worker's stack: its open (or parked) handle and the part of its listing
// not yet taken. Only the worker that owns the stack touches it.
struct TDirScanner::TFrame
{
    TDirState *State = nullptr;
    std::unique_ptr<IDirHandle> Handle;
    TDirListing Listing;
    std::size_t Next = 0;
    std::size_t DirsLeft = 0; // subdirectories to descend among the entries not yet taken
    std::int32_t SmallFiles = 0; // files of the listing that go into the small-files group
    bool Parked = false;
    bool Lost = false; // could not be reached again: the rest of its listing is dropped
    // Totals of the files taken since the last flush (TWalker::Flush), for the directory and
    // its small-files group: one shared update per run of files instead of one per file.
    std::int64_t PendingSize = 0;
    std::int64_t PendingGroupSize = 0;
    std::int64_t PendingDisk = 0;
    std::int64_t PendingGroupDisk = 0;
    std::int32_t PendingFiles = 0;
    std::int32_t PendingGroupFiles = 0;
};

// A subdirectory handed to an idle worker, already opened (or with the error of opening it).
struct TDirScanner::TTask
{
    TDirNode *Node = nullptr;
    TDirState *Parent = nullptr;
    std::unique_ptr<IDirHandle> Handle;
    int Error = 0;
    std::int32_t Level = -1; // the level OnFind reported for it
};

// The idle workers of one scan and the subdirectories handed to them.
class TDirScanner::TPool
{
public:
    explicit TPool(std::int32_t workers)
        : FWorkers(workers)
    { }

    // True while a worker waits and no task is there for it.
    [[nodiscard]] bool Hungry() const { return FHungry.load(std::memory_order_relaxed) > 0; }

    void Push(TTask task)
    {
        {
            std::scoped_lock guard(FLock);
            FTasks.push_back(std::move(task));
            Update();
        }
        FChanged.notify_one();
    }

    // Waits for a task; false once every worker is idle and no task is left, which ends
    // the scan.
    bool Take(TTask &task)
    {
        std::unique_lock guard(FLock);
        ++FIdle;
        Update();
        for (;;) {
            if (!FTasks.empty()) {
                task = std::move(FTasks.front());
                FTasks.pop_front();
                --FIdle;
                Update();
                return true;
            }
            if (FIdle >= FWorkers) {
                FChanged.notify_all();
                return false;
            }
            FChanged.wait(guard);
        }
    }

    // Fewer workers than planned (a thread could not be started).
    void SetWorkers(std::int32_t workers)
    {
        {
            std::scoped_lock guard(FLock);
            FWorkers = workers;
        }
        FChanged.notify_all();
    }

private:
    void Update() { FHungry.store(FIdle - static_cast<std::int32_t>(FTasks.size()), std::memory_order_relaxed); }

    std::mutex FLock;
    std::condition_variable FChanged;
    std::deque<TTask> FTasks;
    std::int32_t FWorkers;
    std::int32_t FIdle = 0;
    std::atomic<std::int32_t> FHungry {0};
};

// One worker's depth-first walk of the subtrees it is given.
class TDirScanner::TWalker
{
public:
    TWalker(TDirScanner &scanner, TPool &pool, std::int32_t index)
        : FScanner(scanner)
        , FPool(pool)
        , FCurrent(scanner.FCurrentNodes[index].Node)
    {
        FSpare.reserve(SpareFrames);
    }

    // Scans the task's directory and everything below it that is not handed on. An
    // exception ends the whole scan; the walker's own directories are finished first.
    void Run(TTask task, const std::string *rootPath = nullptr)
    {
        FBaseLevel = task.Level + 1;
        try {
            if (rootPath)
                task.Handle = FScanner.Services().Lister->Open(*rootPath, task.Error);
            Enter(task.Node, task.Parent, std::move(task.Handle), task.Error);
            Walk();
        } catch (...) {
            FScanner.Abort(std::current_exception());
            while (!FStack.empty()) {
                std::unique_ptr<TFrame> frame = std::move(FStack.back());
                FStack.pop_back();
                try {
                    Flush(*frame);
                } catch (...) {
                    // The scan fails anyway; the first error is the one raised.
                }
                FScanner.Release(frame->State);
            }
            FDirsLeft = 0;
        }
        // An idle worker's folder is done: CurrentDir shows another worker's, when there is one.
        for (const TCurrentNode &other : FScanner.FCurrentNodes)
            if (&other.Node != &FCurrent && other.Node.load(std::memory_order_relaxed)) {
                FCurrent.store(nullptr, std::memory_order_release);
                break;
            }
        FScanner.FDirCount.fetch_add(FDirs, std::memory_order_relaxed);
        FScanner.FErrorCount.fetch_add(FErrors, std::memory_order_relaxed);
        FDirs = 0;
        FErrors = 0;
    }

private:
    [[nodiscard]] bool Stopped() const { return FScanner.FStopScan.load(std::memory_order_acquire); }

    // Counted here and handed to the scanner once per task: shared counters would be written
    // by every worker for every folder.
    void Fail(TDirNode *node, int err) { FErrors += FScanner.Fail(node, err) ? 1 : 0; }

    // Lists `node`, opened as `handle` (or failed with `err`), and pushes its frame. The
    // reference `parent` holds for it is released here when nothing is pushed.
    void Enter(TDirNode *node, TDirState *parent, std::unique_ptr<IDirHandle> handle, int err)
    {
        if (Stopped()) {
            FScanner.Release(parent);
            return;
        }
        if (!handle) {
            Fail(node, err ? err : EIO);
            FScanner.Release(parent);
            return;
        }
        std::unique_ptr<TDirState> state;
        try {
            state = std::make_unique<TDirState>(node, parent);
            std::unique_ptr<TFrame> frame;
            if (FSpare.empty()) {
                frame = std::make_unique<TFrame>();
            } else {
                frame = std::move(FSpare.back());
                FSpare.pop_back();
            }
            frame->Handle = std::move(handle);
            if (FStack.size() == FStack.capacity())
                FStack.reserve(std::max<std::size_t>(16, 2 * FStack.size()));
            frame->State = state.release();
            FStack.push_back(std::move(frame)); // room reserved: cannot throw
        } catch (...) {
            FScanner.Release(parent);
            throw;
        }
        // The frame is on the stack, so whatever throws from here on finishes it (Run).
        node->SetScanning(true);
        TFrame &frame = *FStack.back();
        // Only the folder a scan starts at (or a mount point it crosses) learns its own blocks
        // here; the others got them from their parent's listing.
        if (const std::int64_t own = frame.Handle->OwnDiskSize(); own >= 0 && node->OwnDiskSize() == 0) {
            node->SetOwnDiskSize(own);
            node->SetDiskSize(node->OwnDiskSize());
        }
        // File commands later check that this name still leads to the folder listed now.
        if (std::uint64_t device = 0, inode = 0; frame.Handle->Identity(device, inode))
            node->SetDiskIdentity(device, inode);
        if (const int listError = frame.Handle->ReadAll(frame.Listing, FScanner.FStopScan))
            Fail(node, listError); // what was read before the error is kept
        if (FScanner.FScanOptions.ExcludeCaches && node != FScanner.FRootNode && IsCache(frame)) {
            node->SetAttributeBits(NodeAttr::Excluded, true);
            node->SetOwnDiskSize(0);
            node->SetDiskSize(0);
            frame.Listing.Clear();
        }
        const bool crossMounts = FScanner.FScanOptions.CrossMounts;
        // The whole listing is known: make room once instead of growing per entry.
        std::int32_t direct = 0;
        for (const TRawDirEntry &e : frame.Listing.Entries) {
            const bool isDir = e.Attributes & FileAttr::Directory;
            const std::int64_t size = (e.Attributes & FileAttr::ReparsePoint) ? 0 : e.Size;
            if (isDir && (crossMounts || !(e.Attributes & FileAttr::ReparsePoint)))
                ++frame.DirsLeft;
            if (!isDir && size < FScanner.FScanOptions.GroupFileSize)
                ++frame.SmallFiles;
            else
                ++direct;
        }
        FDirsLeft += frame.DirsLeft;
        node->ReserveChildren(direct + (frame.SmallFiles ? 1 : 0));
        // Deep trees: only the newest levels keep their directory open.
        if (FStack.size() > OpenDirectoryWindow) {
            TFrame &old = *FStack[FStack.size() - OpenDirectoryWindow - 1];
            if (!old.Parked && !old.Lost) {
                old.Handle->Park();
                old.Parked = true;
            }
        }
    }

    // A folder holding a valid CACHEDIR.TAG.
    static bool IsCache(TFrame &frame)
    {
        for (const TRawDirEntry &e : frame.Listing.Entries) {
            if ((e.Attributes & (FileAttr::Directory | FileAttr::ReparsePoint))
                || frame.Listing.Name(e) != "CACHEDIR.TAG")
                continue;
            char start[64];
            const long n = frame.Handle->ReadFileStart("CACHEDIR.TAG", start, sizeof start);
            return n > 0 && IsCacheDirTag({start, static_cast<std::size_t>(n)});
        }
        return false;
    }

    // True when an exclusion pattern matches the entry `name` of `node`.
    bool Excluded(const TDirNode *node, std::string_view name) const
    {
        const std::vector<std::string> &patterns = FScanner.FScanOptions.ExcludePatterns;
        if (patterns.empty())
            return false;
        if (!FScanner.FNeedPaths)
            return MatchesExcludePattern(patterns, name, {});
        // The path below the scanned folder, made only when a pattern needs it.
        std::vector<std::string_view> parts {name};
        for (const TFileSystemNode *n = node; n && n != FScanner.FRootNode; n = n->Parent())
            if (n->FileType() != fstFileGroup)
                parts.push_back(n->Name());
        std::string path;
        for (auto it = parts.rbegin(); it != parts.rend(); ++it) {
            if (!path.empty())
                path += '/';
            path.append(*it);
        }
        return MatchesExcludePattern(patterns, name, path);
    }

    // Adds the frame's next entry to its directory; returns it when it is a directory to
    // descend.
    TDirNode *TakeEntry(TFrame &frame, std::int32_t level)
    {
        const TRawDirEntry &entry = frame.Listing.Entries[frame.Next++];
        const std::string_view name = frame.Listing.Name(entry);
        TDirNode *node = frame.State->Node;
        if (node->IsEmpty())
            node->SetEmpty(false);
        const bool excluded = Excluded(node, name);
        if (entry.Attributes & FileAttr::Directory) {
            const bool mount = entry.Attributes & FileAttr::ReparsePoint;
            TDirNode *child = node->AddChildDir(name, entry.Timestamp,
                static_cast<std::uint16_t>(entry.Attributes | (excluded ? NodeAttr::Excluded : 0)));
            ++FDirs;
            FCurrent.store(child, std::memory_order_release);
            if (FScanner.OnFind)
                FScanner.OnFind(*child, level);
            const bool descend = !mount || FScanner.FScanOptions.CrossMounts;
            if (!descend)
                return nullptr;
            --frame.DirsLeft;
            --FDirsLeft;
            if (excluded)
                return nullptr;
            // A mount point's own blocks belong to the mounted file system: its handle tells.
            if (!mount && entry.DiskSize > 0) {
                child->SetOwnDiskSize(entry.DiskSize);
                child->SetDiskSize(child->OwnDiskSize());
            }
            // The totals so far are shown while the subdirectory is scanned.
            Flush(frame);
            return child;
        }
        auto file = TFileNode::Create(name);
        file->SetTimestamp(entry.Timestamp);
        file->SetAttributes(entry.Attributes);
        std::int64_t size = 0;
        std::int64_t disk = 0;
        if (excluded) {
            file->SetAttributeBits(NodeAttr::Excluded, true);
        } else {
            if (!(entry.Attributes & FileAttr::ReparsePoint)) {
                size = entry.Size;
                file->SetSize(size);
            }
            disk = entry.DiskSize;
            if (disk < 0)
                disk = file->GetDiskSize(); // not measured: the size rounded up
            else
                file->SetDiskSize(disk);
            if (IsSparseAllocation(size, disk))
                file->SetAttributeBits(NodeAttr::Sparse, true);
            if (entry.Links > 1) {
                file->SetHardLinkInfo({entry.Device, entry.Inode, entry.Links});
                if (FScanner.SeenLink(entry.Device, entry.Inode, file.get())) {
                    file->SetAttributeBits(NodeAttr::HardLink, true);
                    size = 0;
                    disk = 0;
                }
            }
            if (size && !Accumulate(frame.PendingSize, size))
                FScanner.AddSize(frame.State, size);
            if (disk && !Accumulate(frame.PendingDisk, disk))
                frame.State->Node->IncDiskSize(disk);
        }
        ++frame.PendingFiles;
        // The group takes a file by its own size, counted or not.
        size = file->GetSize();
        if (size < FScanner.FScanOptions.GroupFileSize) {
            // Created on first use, at the position of the first small file.
            const bool fresh = node->SmallFilesGroup() == nullptr;
            TFileGroupNode *group = node->GetSmallFilesGroup();
            if (fresh && frame.SmallFiles > 1)
                group->ReserveChildren(frame.SmallFiles);
            const std::int64_t counted = file->CountedSize(skLogical);
            const std::int64_t countedDisk = file->CountedSize(skDisk);
            group->AddChildNode(std::move(file));
            ++frame.PendingGroupFiles;
            if (!Accumulate(frame.PendingGroupSize, counted))
                group->IncSize(counted);
            if (!Accumulate(frame.PendingGroupDisk, countedDisk))
                group->IncDiskSize(countedDisk);
        } else {
            node->AddChildNode(std::move(file));
        }
        return nullptr;
    }

    // Adds a file's size to a pending sum, unless the sum would leave the range or the size
    // is negative (a broken file system): those go through at once, so that the totals equal
    // adding one file at a time.
    static bool Accumulate(std::int64_t &pending, std::int64_t size)
    {
        if (size < 0 || size > std::numeric_limits<std::int64_t>::max() - pending)
            return false;
        pending += size;
        return true;
    }

    // Hands the frame's pending totals to its directory and small-files group.
    void Flush(TFrame &frame)
    {
        TDirNode *node = frame.State->Node;
        if (frame.PendingSize) {
            const std::int64_t size = std::exchange(frame.PendingSize, 0);
            FScanner.AddSize(frame.State, size);
        }
        if (frame.PendingDisk)
            node->IncDiskSize(std::exchange(frame.PendingDisk, 0));
        if (frame.PendingFiles)
            node->IncFileCount(std::exchange(frame.PendingFiles, 0));
        if (frame.PendingGroupFiles || frame.PendingGroupSize || frame.PendingGroupDisk) {
            const std::int32_t files = std::exchange(frame.PendingGroupFiles, 0);
            const std::int64_t size = std::exchange(frame.PendingGroupSize, 0);
            const std::int64_t disk = std::exchange(frame.PendingGroupDisk, 0);
            if (TFileGroupNode *group = node->SmallFilesGroup()) {
                group->IncFileCount(files);
                group->IncSize(size);
                group->IncDiskSize(disk);
            }
        }
    }

    void Walk()
    {
        while (!FStack.empty()) {
            TFrame &frame = *FStack.back();
            bool descended = false;
            while (!frame.Lost && frame.Next < frame.Listing.Entries.size() && !Stopped()) {
                // Only work this walker can spare: handing on the one folder it has left
                // would just swap the roles (a chain of folders would change hands at
                // every level).
                if (FDirsLeft > 1 && FPool.Hungry()) {
                    HandOn();
                    if (frame.Next >= frame.Listing.Entries.size())
                        break;
                }
                const auto level = static_cast<std::int32_t>(FBaseLevel + FStack.size() - 1);
                TDirNode *child = TakeEntry(frame, level);
                if (!child)
                    continue;
                int err = 0;
                std::unique_ptr<IDirHandle> handle = frame.Handle->OpenChild(child->Name(), err, child->IsMountPoint());
                frame.State->Outstanding.fetch_add(1, std::memory_order_relaxed);
                const std::size_t depth = FStack.size();
                Enter(child, frame.State, std::move(handle), err);
                if (FStack.size() > depth) {
                    descended = true;
                    break;
                }
            }
            if (!descended)
                Pop();
        }
    }

    // Gives a waiting worker the next subdirectory of the oldest directory that still has
    // one: the biggest piece of work at hand, and taken in listing order, so the tree stays
    // the same.
    void HandOn()
    {
        const std::size_t first = FStack.size() > OpenDirectoryWindow ? FStack.size() - OpenDirectoryWindow : 0;
        for (std::size_t i = first; i < FStack.size(); ++i) {
            TFrame &frame = *FStack[i];
            if (frame.Lost || frame.Parked || frame.DirsLeft == 0)
                continue;
            const auto level = static_cast<std::int32_t>(FBaseLevel + i);
            while (frame.Next < frame.Listing.Entries.size() && !Stopped()) {
                TDirNode *child = TakeEntry(frame, level);
                if (!child)
                    continue;
                TTask task;
                task.Node = child;
                task.Parent = frame.State;
                task.Level = level;
                task.Handle = frame.Handle->OpenChild(child->Name(), task.Error, child->IsMountPoint());
                frame.State->Outstanding.fetch_add(1, std::memory_order_relaxed);
                try {
                    FPool.Push(std::move(task));
                } catch (...) {
                    frame.State->Outstanding.fetch_sub(1, std::memory_order_relaxed); // its frame holds one
                    throw;
                }
                return;
            }
            return;
        }
    }

    // Finishes the newest frame and makes its parent's directory usable again.
    void Pop()
    {
        Flush(*FStack.back());
        std::unique_ptr<TFrame> done = std::move(FStack.back());
        FStack.pop_back();
        FDirsLeft -= done->DirsLeft; // left over when lost or stopped
        if (!FStack.empty()) {
            TFrame &parent = *FStack.back();
            if (parent.Parked && !parent.Lost) {
                const int err = parent.Handle->Unpark(*done->Handle);
                if (err == 0) {
                    parent.Parked = false;
                } else {
                    // Its ".." is not its parent any more: this folder was moved away.
                    if (err == ESTALE)
                        Fail(done->State->Node, ESTALE);
                    Recover();
                }
            }
        }
        FScanner.Release(done->State);
        Recycle(std::move(done));
    }

    // Keeps a few finished frames: their listings' storage serves the next folders instead of
    // growing anew for each one.
    void Recycle(std::unique_ptr<TFrame> frame) noexcept
    {
        if (FSpare.size() >= SpareFrames)
            return;
        frame->Handle.reset();
        frame->Listing.Clear();
        frame->State = nullptr;
        frame->Next = 0;
        frame->DirsLeft = 0;
        frame->SmallFiles = 0;
        frame->Parked = false;
        frame->Lost = false;
        frame->PendingSize = 0;
        frame->PendingGroupSize = 0;
        frame->PendingDisk = 0;
        frame->PendingGroupDisk = 0;
        frame->PendingFiles = 0;
        frame->PendingGroupFiles = 0;
        FSpare.push_back(std::move(frame)); // room reserved: cannot throw
    }

    // Reopens the newest frame's directory by name from the nearest open ancestor (or by
    // its path), checking every folder on the way. Folders that are not there any more
    // record the error and drop the rest of their listing; the others carry on.
    void Recover()
    {
        const std::size_t top = FStack.size() - 1;
        std::size_t from = top;
        while (from > 0 && FStack[from - 1]->Parked && !FStack[from - 1]->Lost)
            --from;
        for (std::size_t i = from; i <= top; ++i) {
            TFrame &frame = *FStack[i];
            const TDirNode *node = frame.State->Node;
            const int err = i == 0 ? frame.Handle->Reopen(nullptr, node->GetFullPathName())
                                   : frame.Handle->Reopen(FStack[i - 1]->Handle.get(), std::string(node->Name()));
            if (err) {
                for (std::size_t j = i; j <= top; ++j) {
                    FStack[j]->Lost = true;
                    Fail(FStack[j]->State->Node, err);
                }
                return;
            }
            frame.Parked = false;
            // Only the newest levels stay open, as while descending.
            if (i > from && i - 1 + OpenDirectoryWindow < FStack.size()) {
                FStack[i - 1]->Handle->Park();
                FStack[i - 1]->Parked = true;
            }
        }
    }

    TDirScanner &FScanner;
    TPool &FPool;
    std::atomic<TDirNode *> &FCurrent; // this worker's entry for CurrentDir
    std::vector<std::unique_ptr<TFrame>> FStack;
    static constexpr std::size_t SpareFrames = 8;
    std::vector<std::unique_ptr<TFrame>> FSpare; // finished frames for reuse (see Recycle)
    std::int32_t FBaseLevel = 0; // OnFind's level for the entries of the first frame
    std::size_t FDirsLeft = 0; // subdirectories still to descend, over the whole stack
    std::int64_t FDirs = 0; // folders added since the task began
    std::int64_t FErrors = 0; // folders marked as failed since the task began
};

std::int32_t ScanWorkerCount(std::int32_t requested)
{
    if (requested <= 0) {
        const long online = ::sysconf(_SC_NPROCESSORS_ONLN);
        requested = online > 0 ? static_cast<std::int32_t>(std::min<long>(online, MaxScanWorkers)) : 1;
    }
    return std::clamp(requested, 1, MaxScanWorkers);
}

std::string RedirectSystemDir(const std::string &path, const std::string &system32Dir, const std::string &sysnativeDir)
{
    if (!system32Dir.empty() && path.size() >= system32Dir.size()
        && path.compare(0, system32Dir.size(), system32Dir) == 0)
        return sysnativeDir + path.substr(system32Dir.size());
    return path;
}

TDirScanner::TDirScanner(TDirNode *rootNode, const TPlatform &platform)
    : FRootNode(rootNode)
    , FPlatform(platform)
{ }

TDirScanner::TDirScanner(TDirNode *rootNode)
    : FRootNode(rootNode)
{ }

TDirScanner::~TDirScanner()
{
    FRootNode = nullptr;
}

std::string TDirScanner::CurrentDir() const
{
    std::scoped_lock guard(FLock);
    // The first worker's folder while it has one (it starts at the root), else any other's.
    for (const TCurrentNode &current : FCurrentNodes)
        if (const TDirNode *node = current.Node.load(std::memory_order_acquire))
            return node->GetFullPathName();
    return FCurrentDir;
}

bool TDirScanner::Fail(TDirNode *node, int err)
{
    const bool first = node->ErrorCode() == 0;
    node->SetErrorCode(err);
    Services().System->DebugOutput("ErrorCode " + std::to_string(node->ErrorCode()) + ": " + node->GetFullPathName());
    return first;
}

void TDirScanner::AddSize(TDirState *state, std::int64_t size)
{
    if (state->Node->IncSize(size) && !state->Saturated.exchange(true, std::memory_order_relaxed))
        ZU_LOG_WARN("Size beyond 2^63 bytes, kept at the largest value: " + state->Node->GetFullPathName());
}

void TDirScanner::Abort(std::exception_ptr error) noexcept
{
    {
        std::scoped_lock guard(FErrorLock);
        if (!FError)
            FError = std::move(error);
    }
    FStopScan.store(true, std::memory_order_release);
}

void TDirScanner::Release(TDirState *state) noexcept
{
    while (state && state->Outstanding.fetch_sub(1, std::memory_order_acq_rel) == 1) {
        TDirNode *node = state->Node;
        node->SetScanCanceled(FStopScan.load(std::memory_order_acquire));
        EndScanning(node);
        TDirState *parent = state->Parent;
        if (parent) {
            try {
                AddSize(parent, node->GetSize());
                parent->Node->IncDiskSize(node->GetDiskSize());
                parent->Node->IncFileCount(node->FileCount());
            } catch (...) {
                Abort(std::current_exception());
            }
        }
        delete state;
        state = parent;
    }
}

void TDirScanner::StartScan(const std::string &path, const TDirScanOptions &options)
{
    constexpr std::int32_t ScanTimer = 8192;
    TLLProfiler profiler; // private: other threads time with the shared one
    profiler.StartTimer(ScanTimer);
    FScanning.store(true, std::memory_order_release);
    FScanSeconds = 0;
    FDirCount.store(0, std::memory_order_relaxed);
    FErrorCount.store(0, std::memory_order_relaxed);
    FScanOptions = options;
    FNeedPaths = std::any_of(options.ExcludePatterns.begin(), options.ExcludePatterns.end(),
        [](const std::string &p) { return p.find('/') != std::string::npos; });
    const auto finish = [this] {
        std::scoped_lock guard(FLock);
        bool kept = false;
        for (TCurrentNode &current : FCurrentNodes)
            if (const TDirNode *last = current.Node.exchange(nullptr, std::memory_order_acq_rel); last && !kept) {
                FCurrentDir = last->GetFullPathName();
                kept = true;
            }
    };
    try {
        const std::string start = ExcludeTrailingPathDelimiter(path);
        FRootNode->Clear();
        FRootNode->SetFullPathName(start);
        ScanTree(start);
    } catch (...) {
        finish();
        FScanning.store(false, std::memory_order_release);
        throw;
    }
    finish();
    FScanning.store(false, std::memory_order_release);
    if (profiler.HighResCounter() && profiler.Frequency() > 0)
        FScanSeconds = static_cast<double>(profiler.StopTimer(ScanTimer)) / static_cast<double>(profiler.Frequency());
}

void TDirScanner::ScanTree(const std::string &startPath)
{
    const std::int32_t workers = ScanWorkerCount(FScanOptions.Threads);
    TPool pool(workers);
    const auto work = [this, &pool](std::int32_t index) {
        try {
            TWalker walker(*this, pool, index);
            TTask task;
            while (pool.Take(task))
                walker.Run(std::move(task));
        } catch (...) {
            Abort(std::current_exception());
        }
    };
    std::vector<std::thread> helpers;
    struct TJoin
    {
        std::vector<std::thread> &Threads;
        ~TJoin()
        {
            for (std::thread &t : Threads)
                t.join();
        }
    } join {helpers};
    try {
        helpers.reserve(static_cast<std::size_t>(workers - 1));
        for (std::int32_t i = 1; i < workers; ++i)
            helpers.emplace_back(work, i);
    } catch (const std::system_error &) {
        // Fewer threads only make the scan slower.
        pool.SetWorkers(static_cast<std::int32_t>(helpers.size()) + 1);
    }
    {
        TWalker walker(*this, pool, 0);
        TTask root;
        root.Node = FRootNode;
        walker.Run(std::move(root), &startPath);
    }
    work(0);
    for (std::thread &t : helpers)
        t.join();
    helpers.clear();
    {
        std::scoped_lock guard(FErrorLock);
        if (FError)
            std::rethrow_exception(FError);
    }
    SettleLinks();
}

bool TDirScanner::SeenLink(std::uint64_t device, std::uint64_t inode, TFileSystemNode *node)
{
    std::scoped_lock guard(FLinkLock);
    std::vector<TFileSystemNode *> &names = FLinks[TLinkKey {device, inode}];
    names.push_back(node);
    return names.size() > 1;
}

namespace {

// Adds `size` and `disk` to every group above `node` up to `top`, which is included.
void AddUpTo(TFileSystemNode *node, const TDirNode *top, std::int64_t size, std::int64_t disk)
{
    for (TGroupNode *group = node->Parent(); group; group = group->Parent()) {
        group->IncSize(size);
        group->IncDiskSize(disk);
        if (group == top)
            break;
    }
}

} // namespace

void TDirScanner::SettleLinks()
{
    for (auto &[key, names] : FLinks) {
        if (names.size() < 2)
            continue;
        std::size_t best = 0;
        std::string bestPath = names[0]->GetFullPathName();
        for (std::size_t i = 1; i < names.size(); ++i) {
            std::string path = names[i]->GetFullPathName();
            if (path < bestPath) {
                best = i;
                bestPath = std::move(path);
            }
        }
        if (best == 0)
            continue;
        // The sizes move from the name found first to the one that carries them.
        TFileSystemNode *was = names[0];
        TFileSystemNode *now = names[best];
        AddUpTo(was, FRootNode, -was->GetSize(), -was->GetDiskSize());
        was->SetAttributeBits(NodeAttr::HardLink, true);
        now->SetAttributeBits(NodeAttr::HardLink, false);
        AddUpTo(now, FRootNode, now->GetSize(), now->GetDiskSize());
        std::swap(names[0], names[best]);
    }
    FLinks.clear();
}

bool MatchesExcludePattern(
    const std::vector<std::string> &patterns, std::string_view name, std::string_view relativePath)
{
    const std::string n(name);
    const std::string path(relativePath);
    for (const std::string &pattern : patterns) {
        if (pattern.empty())
            continue;
        if (pattern.find('/') == std::string::npos) {
            if (::fnmatch(pattern.c_str(), n.c_str(), 0) == 0)
                return true;
            continue;
        }
        // "/build" and "build/" anchor at the scanned folder and name a folder as "build" does.
        std::string p = pattern;
        while (p.size() > 1 && p.back() == '/')
            p.pop_back();
        if (p.front() == '/')
            p.erase(0, 1);
        if (!path.empty() && ::fnmatch(p.c_str(), path.c_str(), FNM_PATHNAME) == 0)
            return true;
    }
    return false;
}

bool IsCacheDirTag(std::string_view content)
{
    static constexpr std::string_view Signature = "Signature: 8a477f597d28d172789f06886806bc55";
    return content.substr(0, Signature.size()) == Signature;
}
