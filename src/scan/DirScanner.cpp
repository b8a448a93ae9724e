#include "scan/DirScanner.h"

#include <memory>
#include <vector>

#include "model/Paths.h"
#include "model/TreeTypes.h"
#include "model/common/Profiler.h"
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

struct TDirScanner::TFrame
{
    TDirNode *Node = nullptr;
    std::size_t PathLength = 0; // the frame's path is the first PathLength bytes of the shared path
    std::unique_ptr<IDirHandle> Handle;
    TDirListing Listing;
    std::size_t Next = 0;
    TDirNode *PendingChild = nullptr; // a subdirectory whose totals are still to be added
    int ReopenError = 0; // why a parked handle could not be reopened
    std::int32_t SmallFiles = 0; // files of the listing that go into the small-files group
};

std::string RedirectSystemDir(const std::string &path, const std::string &system32Dir, const std::string &sysnativeDir)
{
    if (!system32Dir.empty() && path.size() >= system32Dir.size()
        && path.compare(0, system32Dir.size(), system32Dir) == 0)
        return sysnativeDir + path.substr(system32Dir.size());
    return path;
}

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
    return FCurrentDir;
}

void TDirScanner::SetCurrentDir(const std::string &path)
{
    std::scoped_lock guard(FLock);
    FCurrentDir.assign(path);
}

void TDirScanner::StartScan(const std::string &path, const TDirScanOptions &options)
{
    constexpr std::int32_t ScanTimer = 8192;
    TLLProfiler profiler; // private: other threads time with the shared one
    profiler.StartTimer(ScanTimer);
    FScanning.store(true, std::memory_order_release);
    FScanSeconds = 0;
    FScanOptions = options;
    try {
        const std::string start = ExcludeTrailingPathDelimiter(path);
        FRootNode->Clear();
        FRootNode->SetFullPathName(start);
        ScanTree(start);
    } catch (...) {
        FScanning.store(false, std::memory_order_release);
        throw;
    }
    FScanning.store(false, std::memory_order_release);
    if (profiler.HighResCounter() && profiler.Frequency() > 0)
        FScanSeconds = static_cast<double>(profiler.StopTimer(ScanTimer)) / static_cast<double>(profiler.Frequency());
}

void TDirScanner::ScanTree(const std::string &startPath)
{
    IDirLister &lister = *Platform().Lister;
    ISystem &system = *Platform().System;
    std::vector<std::unique_ptr<TFrame>> stack;
    std::string path = startPath;

    // Opens and lists one directory; pushes a frame for it unless it failed or a stop came.
    const auto enter = [&](TDirNode *node, IDirHandle *parent, int parentError) {
        if (FStopScan.load(std::memory_order_acquire))
            return;
        node->SetScanning(true);
        int err = parentError;
        std::unique_ptr<IDirHandle> handle;
        if (!err) {
            handle = parent ? parent->OpenChild(LastPathComponent(path), err) : lister.Open(path, err);
            if (!handle && !err)
                err = EIO;
        }
        node->SetErrorCode(err);
        if (node->ErrorCode() != 0) {
            system.DebugOutput("ErrorCode " + std::to_string(node->ErrorCode()) + ": " + path);
            EndScanning(node);
            return;
        }
        auto frame = std::make_unique<TFrame>();
        frame->Node = node;
        frame->PathLength = path.size();
        frame->Handle = std::move(handle);
        int listError = 0;
        try {
            listError = frame->Handle->ReadAll(frame->Listing, FStopScan);
        } catch (...) {
            EndScanning(node); // not on the stack yet, so the outer handler cannot reach it
            throw;
        }
        if (listError) {
            // What was read before the error is kept; the node still shows the failure.
            node->SetErrorCode(listError);
            system.DebugOutput("ErrorCode " + std::to_string(node->ErrorCode()) + ": " + path);
        }
        // The whole listing is known: make room once instead of growing per entry.
        std::int32_t direct = 0;
        std::int32_t small = 0;
        for (const TRawDirEntry &e : frame->Listing.Entries) {
            const bool isDir = e.Attributes & FileAttr::Directory;
            const std::int64_t size = (e.Attributes & FileAttr::ReparsePoint) ? 0 : e.Size;
            if (!isDir && size < FScanOptions.GroupFileSize)
                ++small;
            else
                ++direct;
        }
        node->ReserveChildren(direct + (small ? 1 : 0));
        frame->SmallFiles = small;
        stack.push_back(std::move(frame));
        // Deep trees: only the newest levels keep their directory open.
        if (stack.size() > OpenDirectoryWindow)
            stack[stack.size() - OpenDirectoryWindow - 1]->Handle->Park();
    };

    try {
        enter(FRootNode, nullptr, 0);
        while (!stack.empty()) {
            TFrame &frame = *stack.back();
            TDirNode *node = frame.Node;
            path.resize(frame.PathLength);
            if (frame.PendingChild) {
                node->IncSize(frame.PendingChild->GetSize());
                node->IncFileCount(frame.PendingChild->FileCount());
                frame.PendingChild = nullptr;
            }
            bool descended = false;
            while (frame.Next < frame.Listing.Entries.size() && !FStopScan.load(std::memory_order_acquire)) {
                const TRawDirEntry &entry = frame.Listing.Entries[frame.Next++];
                const std::string_view name = frame.Listing.Name(entry);
                node->SetEmpty(false);
                if (entry.Attributes & FileAttr::Directory) {
                    path = JoinPath(path.substr(0, frame.PathLength), name);
                    SetCurrentDir(path);
                    if (OnFind)
                        OnFind(path, FLevel);
                    TDirNode *child = node->AddChildDir(name, entry.Timestamp, entry.Attributes);
                    if (entry.Attributes & FileAttr::ReparsePoint) {
                        path.resize(frame.PathLength);
                        continue;
                    }
                    frame.PendingChild = child;
                    const std::size_t depth = stack.size();
                    ++FLevel;
                    enter(child, frame.Handle.get(), frame.ReopenError);
                    if (stack.size() > depth) {
                        descended = true;
                        break;
                    }
                    --FLevel;
                    node->IncSize(child->GetSize());
                    node->IncFileCount(child->FileCount());
                    frame.PendingChild = nullptr;
                    path.resize(frame.PathLength);
                    continue;
                }
                auto file = TFileNode::Create(name);
                file->SetTimestamp(entry.Timestamp);
                file->SetAttributes(entry.Attributes);
                std::int64_t size = 0;
                if (!(entry.Attributes & FileAttr::ReparsePoint)) {
                    size = entry.Size;
                    file->SetSize(size);
                    node->IncSize(size);
                }
                node->IncFileCount(1);
                if (size < FScanOptions.GroupFileSize) {
                    // Created on first use, at the position of the first small file.
                    const bool fresh = node->SmallFilesGroup() == nullptr;
                    TFileGroupNode *group = node->GetSmallFilesGroup();
                    if (fresh && frame.SmallFiles > 1)
                        group->ReserveChildren(frame.SmallFiles);
                    group->AddChildNode(std::move(file));
                    group->IncFileCount(1);
                    group->IncSize(size);
                } else {
                    node->AddChildNode(std::move(file));
                }
            }
            if (descended)
                continue;
            node->SetScanCanceled(FStopScan.load(std::memory_order_acquire));
            EndScanning(node);
            std::unique_ptr<TFrame> done = std::move(stack.back());
            stack.pop_back();
            if (!stack.empty()) {
                --FLevel;
                TFrame &parent = *stack.back();
                if (!parent.ReopenError)
                    parent.ReopenError = parent.Handle->Unpark(*done->Handle);
            }
        }
    } catch (...) {
        for (auto it = stack.rbegin(); it != stack.rend(); ++it)
            EndScanning((*it)->Node);
        throw;
    }
}
