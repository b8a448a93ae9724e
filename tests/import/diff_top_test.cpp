#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <string>

#include <gtest/gtest.h>

#include "import/HumanSize.h"
#include "import/LargestFiles.h"
#include "import/TreeCompare.h"
#include "import/TreeDiff.h"
#include "model/DeleteNodes.h"
#include "model/TreeTypes.h"
#include "platform/UnixTime.h"
#include "platform/fake/FakeDirLister.h"
#include "platform/fake/FakeSystem.h"
#include "platform/fake/FakeVolumes.h"

namespace {

class FakePlatform : public ::testing::Test
{
protected:
    FakePlatform()
        : FPrevious(InstallPlatform({&FLister, &FVolumes, &FSystem}))
    { }
    ~FakePlatform() override { InstallPlatform(FPrevious); }

    TFakeDirLister FLister;
    TFakeVolumes FVolumes;
    TFakeSystem FSystem;
    TPlatform FPrevious;
};

// A tree from "path=size" lines: a trailing "/" makes a folder, sizes add up to the top.
std::unique_ptr<TRootDirNode> Tree(
    std::initializer_list<std::pair<const char *, std::int64_t>> entries, std::int64_t groupSize = 0)
{
    auto root = std::make_unique<TRootDirNode>();
    root->SetName("/r");
    root->SetGroupFileSize(groupSize);
    for (const auto &[path, size] : entries) {
        std::string p = path;
        const bool dir = p.back() == '/';
        if (dir)
            p.pop_back();
        TDirNode *parent = root.get();
        std::size_t start = 0;
        for (std::size_t slash; (slash = p.find('/', start)) != std::string::npos; start = slash + 1) {
            const std::string part = p.substr(start, slash - start);
            auto *next = dynamic_cast<TDirNode *>(parent->FindChildNode(part));
            parent = next ? next : parent->AddChildDir(part);
        }
        const std::string name = p.substr(start);
        if (dir) {
            parent->AddChildDir(name);
            continue;
        }
        auto file = TFileNode::Create(name);
        file->SetSize(size);
        if (size < groupSize) {
            TFileGroupNode *group = parent->GetSmallFilesGroup();
            group->AddChildNode(std::move(file));
            group->IncFileCount(1);
            group->IncSize(size);
        } else {
            parent->AddChildNode(std::move(file));
        }
        for (TGroupNode *n = parent; n; n = n->Parent())
            if (n->FileType() != fstFileGroup)
                n->IncSize(size);
    }
    return root;
}

std::string Rows(const std::vector<TFolderChange> &list)
{
    std::string text;
    for (const TFolderChange &c : list)
        text += (c.Path.empty() ? "." : c.Path) + ":" + std::to_string(c.OldSize) + ">" + std::to_string(c.NewSize)
            + " ";
    return text;
}

using TreeDiffTest = FakePlatform;

TEST_F(TreeDiffTest, RanksChangesBothWaysAndListsOutermostAddedAndRemovedFolders)
{
    const auto before = Tree(
        {{"a/x", 100}, {"a/old/deep/y", 50}, {"b/z", 1000}, {"c/w", 10}, {"same/s", 5}, {"t1/f", 7}, {"t2/f", 7}});
    const auto after = Tree({{"a/x", 400}, {"b/z", 200}, {"c/w", 10}, {"new/n/m", 30}, {"new/q/", 0}, {"same/s", 5},
        {"t1/f", 1}, {"t2/f", 1}});
    const TTreeDiff all = DiffTrees(*before, *after, 0);
    // Growth and shrinkage rank by their size; equal ones by path.
    EXPECT_EQ(Rows(all.Changed), "b:1000>200 .:1179>647 a:150>400 t1:7>1 t2:7>1 ");
    EXPECT_EQ(Rows(all.Added), "new:0>30 ");
    EXPECT_EQ(Rows(all.Removed), "a/old:50>0 ");
    EXPECT_EQ(all.OldTotal, 1179);
    EXPECT_EQ(all.NewTotal, 647);

    const TTreeDiff top = DiffTrees(*before, *after, 4);
    EXPECT_EQ(Rows(top.Changed), "b:1000>200 .:1179>647 a:150>400 t1:7>1 ");
}

TEST_F(TreeDiffTest, SmallFilesGroupsAreNoFolders)
{
    const auto before = Tree({{"a/s1", 5}, {"a/s2", 6}, {"a/big", 500}}, 100);
    const auto after = Tree({{"a/s1", 5}, {"a/big", 500}}, 100);
    const TTreeDiff diff = DiffTrees(*before, *after, 0);
    EXPECT_EQ(Rows(diff.Changed), ".:511>505 a:511>505 ");
    EXPECT_TRUE(diff.Added.empty());
    EXPECT_TRUE(diff.Removed.empty());
}

using LargestFilesTest = FakePlatform;

TEST_F(LargestFilesTest, LooksIntoGroupsAndBreaksTiesByPath)
{
    const auto root = Tree(
        {{"a/small1", 10}, {"a/small2", 30}, {"a/big", 900}, {"b/c/deep", 500}, {"z", 30}, {"b/tie", 30}, {"top", 700}},
        100);
    const auto names = [](const std::vector<TLargeFile> &files) {
        std::string text;
        for (const TLargeFile &f : files) {
            EXPECT_EQ(f.Path(), f.Node->GetFullPathName());
            text += f.Path() + "=" + std::to_string(f.Size) + " ";
        }
        return text;
    };
    EXPECT_EQ(names(CollectLargestFiles(*root, 3)), "/r/a/big=900 /r/top=700 /r/b/c/deep=500 ");
    EXPECT_EQ(
        names(CollectLargestFiles(*root, 5)), "/r/a/big=900 /r/top=700 /r/b/c/deep=500 /r/a/small2=30 /r/b/tie=30 ");
    EXPECT_EQ(CollectLargestFiles(*root, 100).size(), 7u);
    EXPECT_TRUE(CollectLargestFiles(*root, 0).empty());
}

// Rows of the list act on the tree's nodes: every listed file (group members and files of the
// root included) finds its node again, and one that left the tree finds nothing.
TEST_F(LargestFilesTest, ListedFilesFindTheirNodesAgain)
{
    const auto root = Tree({{"a/small1", 10}, {"a/small2", 30}, {"a/big", 900}, {"b/c/deep", 500}, {"top", 700}}, 100);
    const std::vector<TLargeFile> files = CollectLargestFiles(*root, 100);
    ASSERT_EQ(files.size(), 5u);
    for (const TLargeFile &f : files)
        EXPECT_EQ(FindLargeFileNode(*root, f), f.Node) << f.Path();
    TLargeFile gone = files.back(); // a/small1, a member of a's group
    ASSERT_EQ(gone.Name, "small1");
    ASSERT_TRUE(RemoveNodeByPath(*root, gone.Path()));
    EXPECT_EQ(FindLargeFileNode(*root, gone), nullptr);
    TLargeFile wrongFolder = files.front();
    wrongFolder.Folder = "/r/b";
    EXPECT_EQ(FindLargeFileNode(*root, wrongFolder), nullptr);
    wrongFolder.Folder = "/r/b/c/deep"; // a file, not a folder
    EXPECT_EQ(FindLargeFileNode(*root, wrongFolder), nullptr);

    // Below all local drives, whose names are whole paths.
    FVolumes.AddMount("/", dtFixed);
    FVolumes.AddMount("/home", dtFixed);
    TFixedDrivesNode drives;
    auto *home = dynamic_cast<TDirNode *>(drives.FindChildNode("/home"));
    ASSERT_NE(home, nullptr);
    auto file = TFileNode::Create("f");
    file->SetSize(5);
    home->AddChildDir("u")->AddChildNode(std::move(file));
    const std::vector<TLargeFile> onDrives = CollectLargestFiles(drives, 10);
    ASSERT_EQ(onDrives.size(), 1u);
    EXPECT_EQ(onDrives[0].Path(), "/home/u/f");
    EXPECT_EQ(FindLargeFileNode(drives, onDrives[0]), onDrives[0].Node);
}

TEST(HumanSize, PrintsLikeDuDashH)
{
    // Taken from `du -h --apparent-size` on files of these sizes.
    const std::pair<std::int64_t, const char *> cases[] = {{0, "0"}, {1, "1"}, {1023, "1023"}, {1024, "1.0K"},
        {1025, "1.1K"}, {10239, "10K"}, {10240, "10K"}, {10241, "11K"}, {1048575, "1.0M"}, {1048576, "1.0M"},
        {1572864, "1.5M"}, {10485759, "10M"}, {1073741823, "1.0G"}, {1099511627776, "1.0T"}, {INT64_MAX, "8.0E"}};
    for (const auto &[bytes, text] : cases)
        EXPECT_EQ(DuHumanSize(bytes), text) << bytes;
    EXPECT_EQ(DuHumanChange(1536), "+1.5K");
    EXPECT_EQ(DuHumanChange(-1536), "-1.5K");
    EXPECT_EQ(DuHumanChange(0), "0");
}

TEST(UnixTime, WholeSecondsSurviveTheRoundTripAroundZoneChanges)
{
    const char *old = std::getenv("TZ");
    const std::string saved = old ? old : "";
    ::setenv("TZ", "Europe/Berlin", 1);
    ::tzset();
    // Plain times, the hour skipped in spring and the hour that repeats in autumn (2024).
    for (const std::int64_t t : {std::int64_t {0}, std::int64_t {1'700'000'123}, std::int64_t {1'711'846'799},
             std::int64_t {1'711'846'800}, std::int64_t {1'729'990'800}, std::int64_t {1'729'994'399},
             std::int64_t {1'729'994'400}, std::int64_t {-86'400}})
        EXPECT_EQ(LocalDateTimeToUnixSeconds(UnixSecondsToLocalDateTime(t)), t) << t;
    // Far outside any calendar (a hostile or damaged analysis file): never 1970, and the ends
    // of the range stay at their ends. Days as a double keep about 15 digits.
    for (const std::int64_t t : {std::int64_t {999'999'999'999'999}, std::int64_t {-5'000'000'000'000'000},
             std::int64_t {4'000'000'000'000'000'000}, INT64_MAX, INT64_MIN}) {
        const std::int64_t back = LocalDateTimeToUnixSeconds(UnixSecondsToLocalDateTime(t));
        EXPECT_NEAR(static_cast<double>(back), static_cast<double>(t), 1e-12 * std::abs(static_cast<double>(t))) << t;
        EXPECT_EQ(back > 0, t > 0) << t;
    }
    if (old)
        ::setenv("TZ", saved.c_str(), 1);
    else
        ::unsetenv("TZ");
    ::tzset();
}

} // namespace

namespace {

using TreeComparisonTest = FakePlatform;

TEST_F(TreeComparisonTest, OldSizesPerNodeAndTotalsOfGrowthAndShrinkage)
{
    const auto before
        = Tree({{"a/x", 100}, {"a/s1", 5}, {"a/s2", 6}, {"gone/f", 40}, {"keep", 1000}, {"shrinks", 500}}, 50);
    const auto after
        = Tree({{"a/x", 300}, {"a/s1", 5}, {"a/s3", 9}, {"new/f", 70}, {"keep", 1000}, {"shrinks", 200}}, 50);
    const TTreeComparison cmp(*before, *after);
    const auto *a = dynamic_cast<const TDirNode *>(after->FindChildNode("a"));
    EXPECT_EQ(cmp.OldSize(after.get()), 1651);
    EXPECT_EQ(cmp.OldSize(a), 111);
    EXPECT_EQ(cmp.Change(a, a->GetSize()), 314 - 111);
    EXPECT_EQ(cmp.OldSize(a->FindChildNode("x")), 100);
    EXPECT_EQ(cmp.OldSize(a->SmallFilesGroup()), 11); // the group stands for the small files
    EXPECT_FALSE(cmp.HasCounterpart(after->FindChildNode("new")));
    EXPECT_EQ(cmp.OldSize(after->FindChildNode("new")), 0);
    EXPECT_EQ(cmp.OldSize(after->FindChildNode("shrinks")), 500);
    // x +200, s3 +9, new +70; s2 -6, gone -40, shrinks -300.
    EXPECT_EQ(cmp.Growth(), 279);
    EXPECT_EQ(cmp.Shrinkage(), 346);
    EXPECT_EQ(cmp.Growth() - cmp.Shrinkage(), after->GetSize() - before->GetSize());
}

// A saved analysis never holds small-files groups: the group of the current tree is compared
// with the files it holds and the small ones since gone, so an unchanged folder shows no change.
TEST_F(TreeComparisonTest, GroupsCompareWithTheFilesOfAnUngroupedAnalysis)
{
    const auto saved = Tree({{"a/big", 500}, {"a/s1", 5}, {"a/s2", 6}, {"b/big", 70}, {"b/s1", 7}, {"b/s2", 8}}, 0);
    const auto now = Tree({{"a/big", 500}, {"a/s1", 5}, {"a/s2", 6}, {"b/big", 70}, {"b/s1", 10}, {"b/s3", 1}}, 50);
    const TTreeComparison cmp(*saved, *now);
    const auto *a = dynamic_cast<const TDirNode *>(now->FindChildNode("a"));
    const auto *b = dynamic_cast<const TDirNode *>(now->FindChildNode("b"));
    ASSERT_NE(a->SmallFilesGroup(), nullptr);
    EXPECT_EQ(cmp.Change(a->SmallFilesGroup(), a->SmallFilesGroup()->GetSize()), 0);
    EXPECT_EQ(cmp.Change(a, a->GetSize()), 0);
    // s1 grew by 3, s2 (8) went, s3 (1) came: -4, as the folder.
    EXPECT_EQ(cmp.Change(b->SmallFilesGroup(), b->SmallFilesGroup()->GetSize()), -4);
    EXPECT_EQ(cmp.Change(b, b->GetSize()), -4);
    EXPECT_EQ(cmp.OldSize(b->FindChildNode("big")), 70);
}

} // namespace
