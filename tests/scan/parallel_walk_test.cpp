#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <set>
#include <sstream>
#include <thread>

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include "model/TreeTypes.h"
#include "common/ThreadPriority.h"
#include "platform/fake/FakeDirLister.h"
#include "platform/fake/FakeSystem.h"
#include "platform/fake/FakeVolumes.h"
#include "platform/linux/LinuxPlatform.h"
#include "scan/DirScanner.h"
#include "scan/QueueDispatcher.h"
#include "scan/ScanThread.h"
#include "support/TempTree.h"

namespace {

class PlatformGuard
{
public:
    explicit PlatformGuard(const TPlatform &p)
        : FPrevious(InstallPlatform(p))
    { }
    ~PlatformGuard() { InstallPlatform(FPrevious); }

private:
    TPlatform FPrevious;
};

// Everything a node shows, in child order, one line per node.
std::string Dump(const TGroupNode &top)
{
    std::ostringstream out;
    struct Item
    {
        const TFileSystemNode *Node;
        int Depth;
    };
    std::vector<Item> pending {{&top, 0}};
    while (!pending.empty()) {
        const Item item = pending.back();
        pending.pop_back();
        const TFileSystemNode *n = item.Node;
        out << std::string(static_cast<std::size_t>(item.Depth), ' ') << n->ClassName() << " [" << n->Name()
            << "] size=" << n->GetSize() << " files=" << n->FileCount() << " attr=" << n->Attributes()
            << " err=" << n->ErrorCode() << " time=" << n->Timestamp();
        if (n->IsGroup()) {
            const auto *g = static_cast<const TGroupNode *>(n);
            out << " flags=" << int(g->Flags()) << " dirs=" << g->GetDirCount();
            for (std::int32_t i = g->InterlockedChildCount() - 1; i >= 0; --i)
                pending.push_back({g->GetUnlockedChildNode(i), item.Depth + 1});
        }
        out << "\n";
    }
    return out.str();
}

std::string ScanDump(const std::string &path, std::int64_t groupSize, std::int32_t threads)
{
    TRootDirNode root;
    root.SetGroupFileSize(groupSize);
    TDirScanner scanner(&root);
    TDirScanOptions options;
    options.GroupFileSize = groupSize;
    options.Threads = threads;
    scanner.StartScan(path, options);
    EXPECT_FALSE(scanner.Scanning());
    // The counts the scan keeps on the way must match the finished tree.
    std::int64_t failed = 0;
    std::vector<const TGroupNode *> pending {&root};
    while (!pending.empty()) {
        const TGroupNode *g = pending.back();
        pending.pop_back();
        failed += g->ErrorCode() != 0;
        for (std::int32_t i = 0; i < g->InterlockedChildCount(); ++i)
            if (g->GetUnlockedChildNode(i)->IsGroup())
                pending.push_back(static_cast<const TGroupNode *>(g->GetUnlockedChildNode(i)));
    }
    EXPECT_EQ(scanner.DirCount(), root.GetDirCount()) << threads << " workers";
    EXPECT_EQ(scanner.ErrorCount(), failed) << threads << " workers";
    return Dump(root);
}

// Odd names, links, special files, grouping edges, wide and deep parts (deeper than the
// scanner keeps open, with siblings to hand on at every level).
void MakeFixture(const TempTree &tree)
{
    const std::string odd[] = {"new\nline", "bad\xff\xfe", "comma,\"q\"", " lead", "\xe4\xb8\xad", ".hidden"};
    for (const auto &n : odd)
        tree.MakeFile("odd/" + n, 10);
    tree.MakeDir("odd/sub\ndir");
    tree.MakeFile("links/real/data", 4096);
    tree.MakeSymlink("links/linkdir", "real");
    tree.MakeSymlink("links/dangling", "nowhere");
    tree.MakeHardLink("links/hard", "links/real/data");
    tree.MakeFifo("links/fifo");
    tree.MakeFile("group/one/a", 99); // alone below the threshold: folded back
    tree.MakeFile("group/one/b", 100); // at the threshold: direct
    tree.MakeFile("group/two/x", 1);
    tree.MakeFile("group/two/y", 2);
    tree.MakeSymlink("group/two/link", "x"); // 0 bytes: grouped
    tree.MakeDir("group/empty");
    for (int i = 0; i < 40; ++i)
        for (int j = 0; j < 5; ++j)
            tree.MakeFile("wide/d" + std::to_string(i) + "/s" + std::to_string(j) + "/f", i * 100 + j);
    std::string deep = "deep";
    for (int i = 0; i < 150; ++i) {
        deep += "/l" + std::to_string(i);
        tree.MakeFile(deep + "/side/f", i);
        tree.MakeFile(deep + "/file", 1000 + i);
    }
}

TEST(ParallelWalk, MakesExactlyTheSingleWalksTree)
{
    PlatformGuard platform(LinuxPlatform());
    TempTree tree;
    MakeFixture(tree);
    for (const std::int64_t groupSize : {std::int64_t {0}, std::int64_t {100}}) {
        const std::string single = ScanDump(tree.Path(), groupSize, 1);
        for (const std::int32_t threads : {2, 3, 8})
            EXPECT_EQ(ScanDump(tree.Path(), groupSize, threads), single) << threads << " workers";
    }
}

TEST(ParallelWalk, ErrorsLandOnTheRightFolders)
{
    TFakeDirLister lister;
    TFakeVolumes volumes;
    TFakeSystem system;
    PlatformGuard platform({&lister, &volumes, &system});
    for (int i = 0; i < 30; ++i) {
        const std::string d = "/r/d" + std::to_string(i);
        lister.AddFile(d + "/f", i);
        lister.AddFile(d + "/locked/secret", 100);
        lister.SetOpenError(d + "/locked", EACCES);
        lister.AddFile(d + "/partial/g", 5);
        lister.SetListError(d + "/partial", EIO);
    }
    const std::string single = ScanDump("/r", 3, 1);
    for (const std::int32_t threads : {2, 4})
        EXPECT_EQ(ScanDump("/r", 3, threads), single);
    EXPECT_NE(single.find("[locked] size=0 files=0 attr=16 err=13"), std::string::npos);
}

// A big slow tree: every worker is busy when the stop comes.
TEST(ParallelWalk, AStopEndsEveryWorkerAndLeavesNothingScanning)
{
    TFakeDirLister lister;
    TFakeVolumes volumes;
    TFakeSystem system;
    PlatformGuard platform({&lister, &volumes, &system});
    for (int i = 0; i < 50; ++i)
        for (int j = 0; j < 50; ++j)
            lister.AddFile("/r/a" + std::to_string(i) + "/b" + std::to_string(j) + "/f", 1);
    std::atomic<int> listed {0};
    lister.OnList = [&](const std::string &) {
        ++listed;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    };
    TRootDirNode root;
    TDirScanner scanner(&root);
    TDirScanOptions options;
    options.Threads = 4;
    std::thread scan([&] { scanner.StartScan("/r", options); });
    while (listed < 100)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    const auto stopAt = std::chrono::steady_clock::now();
    scanner.StopScan();
    while (scanner.Scanning())
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    const auto stopped = std::chrono::steady_clock::now() - stopAt;
    scan.join();
    EXPECT_LT(stopped, std::chrono::seconds(5)); // a hang, not a speed figure
    EXPECT_LT(listed, 2551);
    EXPECT_TRUE(root.IsScanCanceled());
    std::vector<const TGroupNode *> pending {&root};
    std::int32_t files = 0;
    while (!pending.empty()) {
        const TGroupNode *node = pending.back();
        pending.pop_back();
        EXPECT_FALSE(node->Scanning()) << node->GetFullPathName();
        for (std::int32_t i = 0; i < node->InterlockedChildCount(); ++i) {
            const TFileSystemNode *child = node->GetUnlockedChildNode(i);
            if (child->IsGroup())
                pending.push_back(static_cast<const TGroupNode *>(child));
            else
                ++files;
        }
    }
    // The totals hold what was found, however the stop cut the walk.
    EXPECT_EQ(root.FileCount(), files);
    EXPECT_EQ(root.GetSize(), files);
}

// While a folder is listed, it and all its ancestors are marked as being scanned and the
// live totals never exceed the final ones.
TEST(ParallelWalk, ScanningFlagsAndLiveTotalsWhileFoldersFill)
{
    TFakeDirLister lister;
    TFakeVolumes volumes;
    TFakeSystem system;
    PlatformGuard platform({&lister, &volumes, &system});
    for (int i = 0; i < 20; ++i)
        for (int j = 0; j < 10; ++j)
            lister.AddFile("/r/a" + std::to_string(i) + "/b" + std::to_string(j) + "/f", 7);
    TRootDirNode root;
    std::atomic<int> wrong {0};
    std::atomic<std::int64_t> largest {0};
    lister.OnList = [&](const std::string &path) {
        if (path == "/r")
            return;
        const TFileSystemNode *node = root.FindChildNodePath(path);
        if (!node) {
            ++wrong;
            return;
        }
        for (const TGroupNode *up = static_cast<const TGroupNode *>(node); up; up = up->Parent())
            wrong += !up->Scanning();
        const std::int64_t live = root.GetSize();
        std::int64_t seen = largest.load();
        while (live > seen && !largest.compare_exchange_weak(seen, live))
            ;
    };
    TDirScanner scanner(&root);
    TDirScanOptions options;
    options.Threads = 3;
    scanner.StartScan("/r", options);
    EXPECT_EQ(wrong, 0);
    EXPECT_EQ(root.GetSize(), 20 * 10 * 7);
    EXPECT_LE(largest, root.GetSize());
    EXPECT_GT(largest, 0);
}

// The workers of a scan thread run at its lowered priority and in the idle I/O class, and
// report a folder being read while they work.
TEST(ParallelWalk, WorkersInheritTheScanThreadsPriority)
{
    PlatformGuard platform(LinuxPlatform());
    TempTree tree;
    for (int i = 0; i < 30; ++i)
        tree.MakeFile("d" + std::to_string(i) + "/e/f", 1);
    errno = 0;
    const int base = ::getpriority(PRIO_PROCESS, static_cast<id_t>(::syscall(SYS_gettid)));
    TQueueDispatcher dispatcher;
    TDirScanThreadList list(9, dispatcher);
    TRootDirNode root;
    root.SetName(tree.Path());
    TDirScanOptions options;
    options.Threads = 3;
    TDirScanThread *thread = list.Add(&root, options);
    std::mutex lock;
    std::set<std::pair<int, int>> seen; // nice value, I/O class
    std::atomic<int> emptyCurrentDir {0};
    thread->DirScanner().OnFind = [&](const TDirNode &, std::int32_t) {
        errno = 0;
        const int nice = ::getpriority(PRIO_PROCESS, static_cast<id_t>(::syscall(SYS_gettid)));
        emptyCurrentDir += thread->CurrentDir().empty();
        std::scoped_lock guard(lock);
        seen.insert({nice, ThreadIoPriorityClass()});
    };
    std::atomic<bool> done {false};
    thread->SetOnTerminate([&](TDirScanThread &) { done = true; });
    thread->Start();
    dispatcher.ProcessUntil([&] { return done.load(); });
    const std::set<std::pair<int, int>> expected {{base + 1, 3}};
    EXPECT_EQ(seen, expected);
    EXPECT_EQ(emptyCurrentDir, 0);
    EXPECT_EQ(root.FileCount(), 30);
}

} // namespace
