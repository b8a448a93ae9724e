#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>
#include <stdexcept>

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include "model/TreeTypes.h"
#include "platform/fake/FakeDirLister.h"
#include "platform/fake/FakeSystem.h"
#include "platform/fake/FakeVolumes.h"
#include "platform/linux/LinuxPlatform.h"
#include "scan/DirScanner.h"
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

std::unique_ptr<TRootDirNode> Scan(const std::string &path, std::int64_t groupSize, TDirScanner **keep = nullptr)
{
    auto root = std::make_unique<TRootDirNode>();
    root->SetGroupFileSize(groupSize);
    TDirScanner scanner(root.get());
    (void)keep;
    scanner.StartScan(path, {groupSize, 0});
    EXPECT_FALSE(scanner.Scanning());
    return root;
}

TEST(DirScanner, GroupsFilesBelowTheThresholdOnARealTree)
{
    PlatformGuard platform(LinuxPlatform());
    TempTree tree;
    tree.MakeFile("a/one", 99); // below: grouped, and alone, so folded back
    tree.MakeFile("a/two", 100); // at the threshold: direct
    tree.MakeFile("b/x", 1);
    tree.MakeFile("b/y", 2); // two small files: the group stays
    tree.MakeFile("top", 5000);
    tree.MakeDir("empty");

    auto root = Scan(tree.Path() + "/", 100);
    EXPECT_EQ(root->Name(), tree.Path()); // trailing delimiter dropped
    EXPECT_EQ(root->GetSize(), 99 + 100 + 1 + 2 + 5000);
    EXPECT_EQ(root->FileCount(), 5);
    EXPECT_EQ(root->GetDirCount(), 3);

    auto *a = static_cast<TDirNode *>(root->FindChildNode("a"));
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->SmallFilesGroup(), nullptr);
    EXPECT_TRUE(a->IsIgnoreGroupFileSize());
    EXPECT_NE(a->FindChildNode("one"), nullptr);
    EXPECT_EQ(a->GetSize(), 199);

    auto *b = static_cast<TDirNode *>(root->FindChildNode("b"));
    ASSERT_NE(b->SmallFilesGroup(), nullptr);
    EXPECT_EQ(b->SmallFilesGroup()->FileCount(), 2);
    EXPECT_EQ(b->SmallFilesGroup()->GetSize(), 3);
    EXPECT_EQ(b->GetSize(), 3);

    auto *empty = static_cast<TDirNode *>(root->FindChildNode("empty"));
    EXPECT_TRUE(empty->IsEmpty());
    EXPECT_FALSE(a->IsEmpty());
    EXPECT_FALSE(root->Scanning());
}

TEST(DirScanner, LinksAndSpecialFilesAreZeroByteFiles)
{
    PlatformGuard platform(LinuxPlatform());
    TempTree tree;
    tree.MakeFile("real/data", 4096);
    tree.MakeSymlink("linkdir", "real");
    tree.MakeSymlink("linkfile", "real/data");
    tree.MakeSymlink("dangling", "nowhere");
    tree.MakeHardLink("hard", "real/data");
    tree.MakeFifo("fifo");
    // A socket, bound to a short relative path.
    const int s = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un addr {};
    addr.sun_family = AF_UNIX;
    const std::string sock = tree / "sock";
    ASSERT_LT(sock.size(), sizeof addr.sun_path);
    std::strncpy(addr.sun_path, sock.c_str(), sizeof addr.sun_path - 1);
    ASSERT_EQ(::bind(s, reinterpret_cast<sockaddr *>(&addr), sizeof addr), 0);

    auto root = Scan(tree.Path(), 0);
    ::close(s);
    // real/data and its hard link count once; links, FIFO and socket are files of 0 bytes.
    EXPECT_EQ(root->GetSize(), 4096);
    EXPECT_EQ(root->FileCount(), 7);
    EXPECT_EQ(root->GetDirCount(), 1);
    TFileSystemNode *link = root->FindChildNode("linkdir");
    ASSERT_NE(link, nullptr);
    EXPECT_TRUE(link->IsSymLink());
    EXPECT_EQ(link->FileType(), fstFile);
    EXPECT_EQ(link->GetSize(), 0);
    EXPECT_EQ(root->SmallFilesGroup(), nullptr);
}

TEST(DirScanner, OddNamesAreKeptAsBytes)
{
    PlatformGuard platform(LinuxPlatform());
    TempTree tree;
    const std::string names[] = {"new\nline", "bad\xff\xfe", "comma,\"quote\"", " lead", "trail ", "\xe4\xb8\xad"};
    for (const auto &n : names)
        tree.MakeFile("d/" + n, 10);
    tree.MakeDir("d/sub\ndir");
    auto root = Scan(tree.Path(), 0);
    auto *d = static_cast<TDirNode *>(root->FindChildNode("d"));
    ASSERT_NE(d, nullptr);
    for (const auto &n : names)
        EXPECT_NE(d->FindChildNode(n), nullptr) << n;
    EXPECT_NE(d->FindChildNode("sub\ndir"), nullptr);
    EXPECT_EQ(root->FileCount(), 6);
}

TEST(DirScanner, ScansFromTheFileSystemRootWithoutDoubleDelimiters)
{
    TFakeDirLister lister;
    TFakeVolumes volumes;
    TFakeSystem system;
    PlatformGuard platform({&lister, &volumes, &system});
    lister.AddFile("/etc/passwd", 10);
    auto root = Scan("/", 0);
    EXPECT_EQ(root->Name(), "/");
    auto *etc = static_cast<TDirNode *>(root->FindChildNode("etc"));
    ASSERT_NE(etc, nullptr);
    EXPECT_EQ(etc->GetUnlockedChildNode(0)->GetFullPathName(), "/etc/passwd");
}

TEST(DirScanner, UnreadableDirectoriesRecordTheirErrorAndTheScanGoesOn)
{
    TFakeDirLister lister;
    TFakeVolumes volumes;
    TFakeSystem system;
    PlatformGuard platform({&lister, &volumes, &system});
    lister.AddFile("/r/locked/secret", 100);
    lister.SetOpenError("/r/locked", EACCES);
    lister.AddFile("/r/open/f", 7);
    lister.AddFile("/r/partial/g", 5);
    lister.SetListError("/r/partial", EIO);

    auto root = Scan("/r", 0);
    auto *locked = static_cast<TDirNode *>(root->FindChildNode("locked"));
    ASSERT_NE(locked, nullptr);
    EXPECT_EQ(locked->ErrorCode(), EACCES);
    EXPECT_TRUE(locked->IsEmpty());
    EXPECT_EQ(locked->GetSize(), 0);
    EXPECT_FALSE(locked->IsScanCanceled());
    auto *partial = static_cast<TDirNode *>(root->FindChildNode("partial"));
    EXPECT_EQ(partial->ErrorCode(), EIO);
    EXPECT_EQ(partial->GetSize(), 5);
    EXPECT_EQ(root->GetSize(), 12);
    EXPECT_EQ(root->FileCount(), 2);
    const auto &lines = system.DebugLines();
    EXPECT_NE(std::find(lines.begin(), lines.end(), "ErrorCode 13: /r/locked"), lines.end());

    auto missing = Scan("/does/not/exist", 0);
    EXPECT_EQ(missing->ErrorCode(), ENOENT);
}

TEST(DirScanner, StopMarksTheInterruptedDirectoryAndItsAncestors)
{
    TFakeDirLister lister;
    TFakeVolumes volumes;
    TFakeSystem system;
    PlatformGuard platform({&lister, &volumes, &system});
    lister.AddFile("/r/a/b/c/f1", 1);
    lister.AddFile("/r/a/b/c/f2", 1);
    lister.AddFile("/r/a/later", 1);
    lister.AddFile("/r/z/never", 1);

    auto root = std::make_unique<TRootDirNode>();
    TDirScanner scanner(root.get());
    std::vector<std::pair<std::string, int>> found;
    scanner.OnFind = [&](const TDirNode &dir, std::int32_t level) {
        const std::string path = dir.GetFullPathName();
        found.emplace_back(path, level);
        if (path == "/r/a/b/c")
            scanner.StopScan();
    };
    TDirScanOptions single;
    single.Threads = 1;
    scanner.StartScan("/r", single);
    EXPECT_FALSE(scanner.Scanning());
    const std::vector<std::pair<std::string, int>> expected {{"/r/a", 0}, {"/r/a/b", 1}, {"/r/a/b/c", 2}};
    EXPECT_EQ(found, expected);
    EXPECT_EQ(scanner.CurrentDir(), "/r/a/b/c");
    auto *a = static_cast<TDirNode *>(root->FindChildNode("a"));
    auto *b = static_cast<TDirNode *>(a->FindChildNode("b"));
    EXPECT_TRUE(root->IsScanCanceled());
    EXPECT_TRUE(a->IsScanCanceled());
    EXPECT_TRUE(b->IsScanCanceled());
    EXPECT_EQ(root->FindChildNode("z"), nullptr);
    // The directory found when the stop came is never entered.
    auto *c = static_cast<TDirNode *>(b->FindChildNode("c"));
    ASSERT_NE(c, nullptr);
    EXPECT_FALSE(c->HasChildren());
    for (const TGroupNode *n : {static_cast<const TGroupNode *>(root.get()), static_cast<const TGroupNode *>(a),
             static_cast<const TGroupNode *>(b), static_cast<const TGroupNode *>(c)})
        EXPECT_FALSE(n->Scanning());

    // A stop before the start ends the scan at once.
    TRootDirNode other;
    TDirScanner stopped(&other);
    stopped.StopScan();
    stopped.StartScan("/r", {});
    EXPECT_FALSE(other.HasChildren());
}

TEST(DirScanner, AFolderThatVanishesBeforeItIsEnteredIsRecordedAndTheScanGoesOn)
{
    PlatformGuard platform(LinuxPlatform());
    TempTree tree;
    tree.MakeFile("a/gone/inside", 10);
    tree.MakeFile("a/stays/file", 20);
    tree.MakeFile("b/file", 30);
    auto root = std::make_unique<TRootDirNode>();
    TDirScanner scanner(root.get());
    scanner.OnFind = [&](const TDirNode &dir, std::int32_t) {
        const std::string path = dir.GetFullPathName();
        if (path == tree / "a/gone") {
            ::unlink((path + "/inside").c_str());
            ::rmdir(path.c_str());
        }
    };
    scanner.StartScan(tree.Path(), {});
    auto *a = static_cast<TDirNode *>(root->FindChildNode("a"));
    ASSERT_NE(a, nullptr);
    auto *gone = static_cast<TDirNode *>(a->FindChildNode("gone"));
    ASSERT_NE(gone, nullptr);
    EXPECT_EQ(gone->ErrorCode(), ENOENT);
    EXPECT_EQ(root->GetSize(), 50);
    EXPECT_EQ(root->FileCount(), 2);
}

TEST(DirScanner, SystemDirectoryRedirectionIsAPureRule)
{
    EXPECT_EQ(RedirectSystemDir("c:\\windows\\system32\\drivers", "c:\\windows\\system32", "C:\\Windows\\Sysnative"),
        "C:\\Windows\\Sysnative\\drivers");
    EXPECT_EQ(RedirectSystemDir("c:\\windows\\system", "c:\\windows\\system32", "C:\\Windows\\Sysnative"),
        "c:\\windows\\system");
    EXPECT_EQ(RedirectSystemDir("/usr/lib", "", ""), "/usr/lib");
}

// Creates a chain of `depth` folders named `name` below `base`, relative to descriptors so
// that the total path length does not matter. Returns false on failure.
bool MakeChain(const std::string &base, const std::string &name, int depth, std::int64_t leafSize)
{
    int fd = ::open(base.c_str(), O_RDONLY | O_DIRECTORY);
    for (int i = 0; i < depth && fd >= 0; ++i) {
        if (::mkdirat(fd, name.c_str(), 0755) != 0)
            return false;
        const int next = ::openat(fd, name.c_str(), O_RDONLY | O_DIRECTORY);
        ::close(fd);
        fd = next;
    }
    if (fd < 0)
        return false;
    const int file = ::openat(fd, "leaf", O_WRONLY | O_CREAT, 0644);
    const bool ok = file >= 0 && ::ftruncate(file, leafSize) == 0;
    ::close(file);
    ::close(fd);
    return ok;
}

// Removes what MakeChain made, bottom up through "..".
void RemoveChain(const std::string &base, const std::string &name, int depth)
{
    int fd = ::open(base.c_str(), O_RDONLY | O_DIRECTORY);
    int reached = 0;
    for (; reached < depth; ++reached) {
        const int next = ::openat(fd, name.c_str(), O_RDONLY | O_DIRECTORY);
        if (next < 0)
            break;
        ::close(fd);
        fd = next;
    }
    ::unlinkat(fd, "leaf", 0);
    for (; reached > 0; --reached) {
        const int up = ::openat(fd, "..", O_RDONLY | O_DIRECTORY);
        ::close(fd);
        fd = up;
        ::unlinkat(fd, name.c_str(), AT_REMOVEDIR);
    }
    ::close(fd);
}

TEST(DirScanner, UnlimitedDepthAndPathLength)
{
    PlatformGuard platform(LinuxPlatform());
    TempTree tree;
    struct Case
    {
        std::string Name;
        int Depth;
    };
    // 300 levels of 20-byte names pass PATH_MAX; 100,000 levels test the stack.
    for (const Case &c : {Case {std::string(20, 'n'), 300}, Case {"d", 100000}}) {
        ASSERT_TRUE(MakeChain(tree.Path(), c.Name, c.Depth, 77));
        auto root = Scan(tree.Path(), 0);
        EXPECT_EQ(root->GetDirCount(), c.Depth);
        EXPECT_EQ(root->FileCount(), 1);
        EXPECT_EQ(root->GetSize(), 77);
        EXPECT_EQ(root->ErrorCode(), 0);
        TDestroyGroupNodeThread(std::move(root)).WaitFor();
        RemoveChain(tree.Path(), c.Name, c.Depth);
    }
}

TEST(DirScanner, SizesBeyondTheRangeSaturateAndTheScanCompletes)
{
    TFakeDirLister lister;
    TFakeVolumes volumes;
    TFakeSystem system;
    PlatformGuard platform({&lister, &volumes, &system});
    // Two sparse files of 2^62 bytes each, and one more byte: 2^63 + 1 does not fit.
    const std::int64_t half = std::int64_t {1} << 62;
    lister.AddFile("/r/big/a", half);
    lister.AddFile("/r/big/b", half);
    lister.AddFile("/r/big/c", 1);
    lister.AddFile("/r/small/x", 5);
    lister.AddFile("/r/also/y", half);
    lister.AddFile("/r/also/z", half - 1);
    for (const int threads : {1, 2}) {
        auto root = std::make_unique<TRootDirNode>();
        TDirScanner scanner(root.get());
        TDirScanOptions options;
        options.Threads = threads;
        EXPECT_NO_THROW(scanner.StartScan("/r", options));
        EXPECT_EQ(root->FindChildNode("big")->GetSize(), INT64_MAX);
        EXPECT_EQ(root->FindChildNode("also")->GetSize(), INT64_MAX); // exactly the largest value
        EXPECT_EQ(root->FindChildNode("small")->GetSize(), 5);
        EXPECT_EQ(root->GetSize(), INT64_MAX);
        EXPECT_EQ(root->FileCount(), 6);
        root->RecalcSizeAndFileCountUpToRoot();
        EXPECT_EQ(root->GetSize(), INT64_MAX);
    }
}

TEST(DirScanner, AThrowingOpenLeavesNoFolderMarkedAsScanning)
{
    TFakeDirLister lister;
    TFakeVolumes volumes;
    TFakeSystem system;
    PlatformGuard platform({&lister, &volumes, &system});
    for (int i = 0; i < 8; ++i)
        lister.AddFile("/r/d" + std::to_string(i) + "/e/f", 1);
    lister.AddFile("/r/a/b/boom/f", 1);
    lister.OnOpen = [](const std::string &path) {
        if (path == "/r/a/b/boom")
            throw std::bad_alloc();
    };
    for (const int threads : {1, 3}) {
        auto root = std::make_unique<TRootDirNode>();
        TDirScanner scanner(root.get());
        TDirScanOptions options;
        options.Threads = threads;
        EXPECT_THROW(scanner.StartScan("/r", options), std::bad_alloc);
        EXPECT_FALSE(scanner.Scanning());
        std::vector<const TGroupNode *> pending {root.get()};
        while (!pending.empty()) {
            const TGroupNode *node = pending.back();
            pending.pop_back();
            EXPECT_FALSE(node->Scanning()) << node->GetFullPathName();
            for (std::int32_t i = 0; i < node->InterlockedChildCount(); ++i)
                if (node->GetUnlockedChildNode(i)->IsGroup())
                    pending.push_back(static_cast<const TGroupNode *>(node->GetUnlockedChildNode(i)));
        }
    }
}

// A chain deeper than the scanner keeps open (c0 .. c99 below det/a), big folders at its
// end, and untouched folders after it; during the scan, folders far above the scan
// position are moved away.
TEST(DirScanner, FoldersMovedFarAboveTheScanPositionFailAloneAndTheRestCarriesOn)
{
    PlatformGuard platform(LinuxPlatform());
    struct Case
    {
        std::vector<std::string> Moves; // chain levels moved to det/movedN, in order
        std::vector<int> Failed; // chain levels that must record an error
    };
    const Case cases[] = {
        {{"c9"}, {9}}, // c9 moved: its ".." leads to det now, not to c8
        {{"c9", "c4"}, {4, 5, 6, 7, 8, 9}}, // then c8 is not reachable by its path either
    };
    for (const Case &c : cases) {
        TempTree tree;
        std::string chain = "det/a";
        std::vector<std::string> levels;
        for (int i = 0; i < 100; ++i) {
            chain += "/c" + std::to_string(i);
            levels.push_back(chain);
            tree.MakeFile(chain + "/file", 1);
        }
        for (const char *other : {"det/b", "det/c", "det/d"})
            for (int i = 0; i < 20; ++i)
                tree.MakeFile(std::string(other) + "/f" + std::to_string(i), 10);
        auto root = std::make_unique<TRootDirNode>();
        TDirScanner scanner(root.get());
        bool moved = false;
        scanner.OnFind = [&](const TDirNode &dir, std::int32_t) {
            const std::string path = dir.GetFullPathName();
            if (moved || path != tree / levels[99])
                return;
            moved = true;
            int n = 0;
            for (const std::string &level : c.Moves) {
                const auto at = std::find_if(levels.begin(), levels.end(), [&](const std::string &l) {
                    return l.size() >= level.size() && l.compare(l.size() - level.size(), level.size(), level) == 0;
                });
                ASSERT_EQ(::rename((tree / *at).c_str(), (tree / ("det/moved" + std::to_string(n++))).c_str()), 0);
            }
        };
        TDirScanOptions options;
        options.Threads = 1;
        scanner.StartScan(tree / "det", options);
        ASSERT_TRUE(moved);
        for (const char *other : {"b", "c", "d"}) {
            const auto *node = static_cast<const TDirNode *>(root->FindChildNode(other));
            ASSERT_NE(node, nullptr);
            EXPECT_EQ(node->ErrorCode(), 0) << other;
            EXPECT_EQ(node->FileCount(), 20) << other;
        }
        // Walk the chain: only the levels that moved (or lie inside what moved) failed.
        const TGroupNode *node = static_cast<const TGroupNode *>(root->FindChildNode("a"));
        for (int i = 0; i < 100 && node; ++i) {
            node = static_cast<const TGroupNode *>(node->FindChildNode("c" + std::to_string(i)));
            ASSERT_NE(node, nullptr) << i;
            const bool failed = std::find(c.Failed.begin(), c.Failed.end(), i) != c.Failed.end();
            EXPECT_EQ(node->ErrorCode() != 0, failed) << "c" << i << " error " << node->ErrorCode();
        }
        EXPECT_FALSE(root->Scanning());
    }
}

} // namespace
