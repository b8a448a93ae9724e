#include <atomic>
#include <future>
#include <sstream>
#include <stdexcept>
#include <thread>

#include <gtest/gtest.h>

#include "ExportTestTree.h"

namespace {

// Writes one token per hook, so that a test sees the exact call sequence of the walk.
class TRecordingExport : public TTextExport
{
public:
    using TTextExport::TTextExport;
    const char *ThrowAt = nullptr; // WriteNode throws for the directory of this name

protected:
    void WriteHeader(std::ostream &s) override { s << "H"; }
    void WriteFooter(std::ostream &s) override { s << " F"; }
    void WriteDirStart(std::ostream &s) override { s << " ["; }
    void WriteDirEnd(std::ostream &s) override { s << " ]"; }
    void WriteSubDirsStart(std::ostream &s) override { s << " {"; }
    void WriteSubDirsEnd(std::ostream &s) override { s << " }"; }
    void WriteNode(const TDirNode &node, std::ostream &s) override
    {
        if (ThrowAt && node.Name() == ThrowAt)
            throw std::runtime_error("stop");
        s << " " << node.Name() << ":" << NodePath() << ":" << NodeLevel() << ":";
        for (std::size_t l = 1; l <= NodeLevel(); ++l)
            s << (HasLaterDirSibling(l) ? "+" : "-");
    }
};

// Counts directories and the deepest level without storing anything per node.
class TCountingExport : public TTextExport
{
public:
    using TTextExport::TTextExport;
    std::size_t Nodes = 0;
    std::size_t MaxLevel = 0;

protected:
    void WriteNode(const TDirNode &, std::ostream &) override
    {
        ++Nodes;
        MaxLevel = std::max(MaxLevel, NodeLevel());
    }
};

using WalkTest = ExportTest;

TEST_F(WalkTest, VisitsDirectoriesDepthFirstAndSkipsFiles)
{
    const auto root = ExampleTree();
    EXPECT_EQ(ExportText<TRecordingExport>(root.get()),
        "H [ R:R:0: { [ A:R/A:1:+ { [ C:R/A/C:2:+- ] } ] [ B:R/B:1:- ] } ] F");
}

TEST_F(WalkTest, BracketsChildrenOfAnyKindButNeverVisitsSmallFileGroups)
{
    auto root = Root("/", 10, 3);
    TDirNode *onlyFiles = Dir(*root, "files", 5, 2);
    AddFile(*onlyFiles, "x", 3);
    TFileGroupNode *group = onlyFiles->GetSmallFilesGroup();
    AddFile(*group, "small", 2);
    Dir(*root, "empty", 0, 0);
    // A root of "/" joins to "/files", never "//files".
    EXPECT_EQ(
        ExportText<TRecordingExport>(root.get()), "H [ /:/:0: { [ files:/files:1:+ { } ] [ empty:/empty:1:- ] } ] F");
}

// Below "all fixed drives" each drive root is a full path of its own, not joined to a parent.
TEST_F(WalkTest, DriveRootsOfAllFixedDrivesKeepTheirOwnPaths)
{
    FVolumes.AddMount("/", dtFixed);
    FVolumes.AddMount("/home", dtFixed);
    TFixedDrivesNode drives;
    ASSERT_EQ(drives.InterlockedChildCount(), 2);
    auto *home = dynamic_cast<TDirNode *>(drives.GetUnlockedChildNode(1));
    ASSERT_NE(home, nullptr);
    Dir(*home, "user", 0, 0);
    EXPECT_EQ(ExportText<TRecordingExport>(&drives),
        "H [ ::0: { [ /:/:1:+ ] [ /home:/home:1:- { [ user:/home/user:2:-- ] } ] } ] F");
}

TEST_F(WalkTest, ExportsASubtreeWithItsFullPathAsTheRoot)
{
    const auto root = ExampleTree();
    const auto *a = dynamic_cast<const TDirNode *>(root->FindChildNode("A"));
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(ExportText<TRecordingExport>(a), "H [ A:R/A:0: { [ C:R/A/C:1:- ] } ] F");
}

#if defined(__SANITIZE_THREAD__)
// ThreadSanitizer's deadlock detector tracks at most 64 locks held at once, and the walk holds
// one per level of the current path.
constexpr std::size_t DeepTreeDepth = 60;
#else
constexpr std::size_t DeepTreeDepth = 100000;
#endif

TEST_F(WalkTest, AnyDepthWalksWithoutRecursion)
{
    constexpr std::size_t depth = DeepTreeDepth;
    auto root = Root("/deep", 0, 0);
    TGroupNode *node = root.get();
    for (std::size_t i = 0; i < depth; ++i)
        node = node->AddChildDir("d");
    TCountingExport exporter(root.get());
    std::ostringstream out;
    exporter.SaveToStream(out);
    EXPECT_EQ(exporter.Nodes, depth + 1);
    EXPECT_EQ(exporter.MaxLevel, depth);
}

TEST_F(WalkTest, AnErrorReleasesEveryLockOnThePath)
{
    const auto root = ExampleTree();
    auto *a = dynamic_cast<TDirNode *>(root->FindChildNode("A"));
    ASSERT_NE(a, nullptr);
    TRecordingExport exporter(root.get());
    exporter.ThrowAt = "C";
    std::ostringstream out;
    EXPECT_THROW(exporter.SaveToStream(out), std::runtime_error);
    // Another thread must be able to take both locks the walk held when it failed.
    auto locked = std::async(std::launch::async, [&] {
        std::unique_lock rootLock(root->ChildLock(), std::try_to_lock);
        std::unique_lock aLock(a->ChildLock(), std::try_to_lock);
        return rootLock.owns_lock() && aLock.owns_lock();
    });
    EXPECT_TRUE(locked.get());
}

TEST_F(WalkTest, AFailingStreamEndsTheWalkWithAnError)
{
    const auto root = ExampleTree();
    TRecordingExport exporter(root.get());
    std::ostringstream out;
    out.setstate(std::ios_base::badbit);
    EXPECT_THROW(exporter.SaveToStream(out), std::ios_base::failure);
}

TEST_F(WalkTest, ANullRootWritesHeaderAndFooterOnly)
{
    EXPECT_EQ(ExportText<TRecordingExport>(nullptr), "H F");
}

} // namespace
