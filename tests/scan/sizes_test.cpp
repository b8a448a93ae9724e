// Sizes on disk, hard links counted once and exclusions, on real trees and as rules.
#include <string>
#include <vector>

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "model/TreeTypes.h"
#include "platform/linux/LinuxPlatform.h"
#include "scan/DirScanner.h"
#include "support/TempTree.h"

namespace {

struct TScanned
{
    std::unique_ptr<TRootDirNode> Root;
};

std::unique_ptr<TRootDirNode> Scan(const std::string &path, TDirScanOptions options)
{
    InstallPlatform(LinuxPlatform());
    auto root = std::make_unique<TRootDirNode>();
    root->SetGroupFileSize(options.GroupFileSize);
    TDirScanner scanner(root.get());
    scanner.StartScan(path, options);
    return root;
}

std::int64_t Blocks(const std::string &path)
{
    struct stat st
    { };
    EXPECT_EQ(::lstat(path.c_str(), &st), 0) << path;
    return static_cast<std::int64_t>(st.st_blocks) * 512;
}

// Every node with its name, sizes and marks, in tree order: equal trees give equal texts.
std::string Describe(const TFileSystemNode &node, int depth = 0)
{
    std::string text = std::string(static_cast<std::size_t>(depth), ' ') + std::string(node.Name()) + " "
        + std::to_string(node.GetSize()) + " " + std::to_string(node.GetDiskSize()) + (node.IsHardLink() ? " link" : "")
        + (node.IsExcluded() ? " excluded" : "") + "\n";
    if (node.IsGroup()) {
        const auto &group = static_cast<const TGroupNode &>(node);
        std::scoped_lock guard(group.ChildLock());
        std::vector<const TFileSystemNode *> children;
        for (std::int32_t i = 0; i < group.InterlockedChildCount(); ++i)
            children.push_back(group.GetUnlockedChildNode(i));
        for (const TFileSystemNode *child : children)
            text += Describe(*child, depth + 1);
    }
    return text;
}

TEST(Sizes, AFileKeepsItsAllocationInTheNodeUnlessItIsUnusual)
{
    struct TCase
    {
        std::int64_t Size;
        std::int64_t Disk;
    };
    for (const TCase c : {TCase {0, 0}, {1, 4096}, {4096, 4096}, {4097, 8192}, {1 << 30, 0}, {1 << 30, 69632}, {100, 0},
             {0, 4096}, {5000, 1024}}) {
        auto file = TFileNode::Create("f");
        file->SetSize(c.Size);
        file->SetDiskSize(c.Disk);
        EXPECT_EQ(file->GetDiskSize(), c.Disk) << c.Size << " " << c.Disk;
        EXPECT_EQ(file->GetSize(), c.Size);
        // A second value replaces the first, whichever way it is stored.
        file->SetDiskSize((c.Size + 4095) / 4096 * 4096);
        EXPECT_EQ(file->GetDiskSize(), (c.Size + 4095) / 4096 * 4096);
    }
    auto file = TFileNode::Create("f");
    file->SetSize(10);
    file->SetDiskSize(12345);
    file->SetHardLinkInfo({7, 99, 3});
    auto copy = file->Clone();
    THardLinkInfo info;
    ASSERT_TRUE(copy->GetHardLinkInfo(info));
    EXPECT_EQ(info.Inode, 99u);
    EXPECT_EQ(info.Links, 3u);
    EXPECT_EQ(copy->GetDiskSize(), 12345);
}

TEST(Sizes, HardLinksCountOnceByTheSameNameAtEveryThreadCount)
{
    TempTree tree;
    for (const char *dir : {"a", "b", "c", "d/e", "f"})
        tree.MakeDir(dir);
    tree.MakeFile("b/linked", 150000);
    tree.MakeHardLink("a/linked", "b/linked");
    tree.MakeHardLink("d/e/linked", "b/linked");
    // A name alone in a small-files group: the group folds back into its folder.
    tree.MakeFile("f/tiny", 10);
    tree.MakeHardLink("c/tiny", "f/tiny");
    tree.MakeFile("c/other", 20);
    std::string first;
    for (const std::int32_t threads : {1, 2, 8}) {
        for (int round = 0; round < 3; ++round) {
            TDirScanOptions options;
            options.GroupFileSize = 1000;
            options.Threads = threads;
            auto root = Scan(tree.Path(), options);
            EXPECT_EQ(root->GetSize(), 150000 + 10 + 20);
            EXPECT_EQ(root->FileCount(), 6);
            const std::string text = Describe(*root);
            if (first.empty())
                first = text;
            EXPECT_EQ(text, first) << threads << " threads";
            // The smallest path carries the sizes.
            auto *a = static_cast<TGroupNode *>(root->FindChildNode("a"));
            ASSERT_NE(a, nullptr);
            EXPECT_EQ(a->GetSize(), 150000);
            EXPECT_EQ(static_cast<TGroupNode *>(root->FindChildNode("b"))->GetSize(), 0);
            EXPECT_TRUE(static_cast<TGroupNode *>(root->FindChildNode("b"))->FindChildNode("linked")->IsHardLink());
        }
    }
}

TEST(Sizes, FolderSizesOnDiskAddTheirOwnBlocksAsDuDoes)
{
    TempTree tree;
    tree.MakeDir("sub");
    tree.MakeFile("sub/data", 10000);
    const int fd = ::open((tree / "sparse").c_str(), O_WRONLY | O_CREAT, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::ftruncate(fd, 64 << 20), 0);
    ::close(fd);
    auto root = Scan(tree.Path(), {});
    const std::int64_t expected
        = Blocks(tree.Path()) + Blocks(tree / "sub") + Blocks(tree / "sub/data") + Blocks(tree / "sparse");
    EXPECT_EQ(root->GetDiskSize(), expected);
    EXPECT_EQ(root->GetSize(), 10000 + (64 << 20));
    const TFileSystemNode *sparse = root->FindChildNode("sparse");
    ASSERT_NE(sparse, nullptr);
    EXPECT_TRUE(sparse->IsSparse());
    EXPECT_EQ(sparse->GetDiskSize(), Blocks(tree / "sparse"));
    // A recalculation, as after a deletion, keeps the folder's own blocks.
    const std::int64_t before = root->GetDiskSize();
    root->RecalcSizeAndFileCount();
    EXPECT_EQ(root->GetDiskSize(), before);
}

TEST(Sizes, ExcludedEntriesStayAsRowsWithoutASize)
{
    TempTree tree;
    for (const char *dir : {"keep", "node_modules/x", "src/build", "cache", "fake"})
        tree.MakeDir(dir);
    tree.MakeFile("keep/a", 100);
    tree.MakeFile("node_modules/x/b", 200);
    tree.MakeFile("src/build/c", 300);
    tree.MakeFile("src/d.o", 400);
    tree.MakeFile("cache/e", 500);
    {
        const int fd = ::open((tree / "cache/CACHEDIR.TAG").c_str(), O_WRONLY | O_CREAT, 0644);
        const std::string tag = "Signature: 8a477f597d28d172789f06886806bc55\n";
        ASSERT_EQ(::write(fd, tag.data(), tag.size()), static_cast<ssize_t>(tag.size()));
        ::close(fd);
    }
    tree.MakeFile("fake/CACHEDIR.TAG", 10);
    TDirScanOptions options;
    options.ExcludePatterns = {"node_modules", "src/build", "*.o"};
    options.ExcludeCaches = true;
    auto root = Scan(tree.Path(), options);
    EXPECT_EQ(root->GetSize(), 100 + 10);
    for (const char *excluded : {"node_modules", "cache"}) {
        const TFileSystemNode *node = root->FindChildNode(excluded);
        ASSERT_NE(node, nullptr) << excluded;
        EXPECT_TRUE(node->IsExcluded()) << excluded;
        EXPECT_EQ(node->GetDiskSize(), 0) << excluded;
        EXPECT_FALSE(static_cast<const TGroupNode *>(node)->HasChildren()) << excluded;
    }
    const auto *src = static_cast<const TGroupNode *>(root->FindChildNode("src"));
    ASSERT_NE(src, nullptr);
    EXPECT_TRUE(src->FindChildNode("build")->IsExcluded());
    EXPECT_TRUE(src->FindChildNode("d.o")->IsExcluded());
    EXPECT_FALSE(root->FindChildNode("fake")->IsExcluded());
}

TEST(Sizes, ExcludePatternsMatchNamesOrPathsBelowTheFolder)
{
    struct TCase
    {
        const char *Pattern;
        const char *Name;
        const char *Path;
        bool Match;
    };
    for (const TCase c : {TCase {"node_modules", "node_modules", "a/node_modules", true},
             {"*.o", "x.o", "src/x.o", true}, {"*.o", "x.oo", "x.oo", false}, {"src/*", "x", "src/x", true},
             {"src/*", "y", "src/x/y", false}, {"/src", "src", "src", true}, {"/src", "src", "a/src", false},
             {"build/", "build", "build", true}, {"*", ".git", ".git", true}, {"a/b", "b", "", false}}) {
        EXPECT_EQ(MatchesExcludePattern({c.Pattern}, c.Name, c.Path), c.Match) << c.Pattern << " " << c.Path;
    }
    EXPECT_TRUE(IsCacheDirTag("Signature: 8a477f597d28d172789f06886806bc55"));
    EXPECT_TRUE(IsCacheDirTag("Signature: 8a477f597d28d172789f06886806bc55\n# created by a tool\n"));
    EXPECT_FALSE(IsCacheDirTag("Signature: 8a477f597d28d172789f06886806bc5"));
    EXPECT_FALSE(IsCacheDirTag("signature: 8a477f597d28d172789f06886806bc55"));
}

} // namespace
