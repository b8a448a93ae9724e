#include <gtest/gtest.h>

#include "model/DeleteNodes.h"
#include "platform/fake/FakeDirLister.h"
#include "platform/fake/FakeSystem.h"
#include "platform/fake/FakeVolumes.h"

namespace {

class DeleteNodesTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        FPrevious = InstallPlatform({&FLister, &FVolumes, &FSystem});
        // /data: a/ (x 100, y 200, small s1 5, s2 7), b 1000
        FRoot.SetName("/data");
        FRoot.SetGroupFileSize(10);
        FA = FRoot.AddChildDir("a");
        Add(*FA, "x", 100);
        Add(*FA, "y", 200);
        Add(*FA, "s1", 5);
        Add(*FA, "s2", 7);
        Add(FRoot, "b", 1000);
        FRoot.RecalcSizeAndFileCount();
    }
    void TearDown() override { InstallPlatform(FPrevious); }

    static void Add(TDirNode &dir, std::string_view name, std::int64_t size)
    {
        auto file = TFileNode::Create(name);
        file->SetSize(size);
        if (size < 10) {
            TFileGroupNode *group = dir.GetSmallFilesGroup();
            group->AddChildNode(std::move(file));
            group->RecalcSizeAndFileCount();
        } else {
            dir.AddChildNode(std::move(file));
        }
        dir.RecalcSizeAndFileCount();
    }

    TFakeDirLister FLister;
    TFakeVolumes FVolumes;
    TFakeSystem FSystem;
    TPlatform FPrevious;
    TRootDirNode FRoot;
    TDirNode *FA = nullptr;
};

TEST(CollapseNestedEntries, KeepsTopEntriesInSelectionOrder)
{
    struct TCase
    {
        std::vector<std::string> In;
        std::vector<std::string> Out;
    };
    const TCase cases[] = {
        {{"/d/a/f", "/d/a"}, {"/d/a"}}, // a file inside a selected folder goes with it
        {{"/d/a", "/d/a/", "/d/a"}, {"/d/a"}}, // duplicates, trailing delimiter or not
        {{"/d/ab", "/d/a"}, {"/d/ab", "/d/a"}}, // a name prefix is no folder prefix
        {{"/d/b", "/d/a/x/y", "/d/a/x", "/d/c"}, {"/d/b", "/d/a/x", "/d/c"}},
        {{"/d/A/f", "/d/a"}, {"/d/A/f", "/d/a"}}, // names differing in case are different files here
    };
    for (const TCase &c : cases) {
        std::vector<TDeleteEntry> in;
        for (const auto &p : c.In)
            in.push_back({p, nullptr});
        std::vector<std::string> out;
        for (const auto &e : CollapseNestedEntries(in))
            out.push_back(e.Path);
        EXPECT_EQ(out, c.Out) << c.In.front();
    }
}

TEST_F(DeleteNodesTest, AncestorsLoseTheSizeAndCountOfWhatLeft)
{
    ASSERT_EQ(FRoot.GetSize(), 1312);
    ASSERT_EQ(FRoot.FileCount(), 5);
    EXPECT_TRUE(RemoveNodeByPath(FRoot, "/data/a/y"));
    EXPECT_EQ(FA->GetSize(), 112);
    EXPECT_EQ(FA->FileCount(), 3);
    EXPECT_EQ(FRoot.GetSize(), 1112);
    EXPECT_EQ(FRoot.FileCount(), 4);
    EXPECT_FALSE(RemoveNodeByPath(FRoot, "/data/a/y")); // gone already
    EXPECT_TRUE(RemoveNodeByPath(FRoot, "/data/a"));
    EXPECT_EQ(FRoot.GetSize(), 1000);
    EXPECT_EQ(FRoot.FileCount(), 1);
}

TEST_F(DeleteNodesTest, MembersOfASmallFilesGroupAreFoundAndTheEmptyGroupGoes)
{
    TFileGroupNode *group = FA->SmallFilesGroup();
    ASSERT_NE(group, nullptr);
    const auto members = GroupMemberPaths(*group);
    EXPECT_EQ(members, (std::vector<std::string> {"/data/a/s1", "/data/a/s2"}));
    // The group row itself is no file.
    EXPECT_FALSE(RemoveNodeByPath(FRoot, group->GetFullPathName()));

    EXPECT_TRUE(RemoveNodeByPath(FRoot, "/data/a/s1"));
    EXPECT_EQ(group->FileCount(), 1);
    EXPECT_EQ(FA->GetSize(), 307);
    EXPECT_EQ(FRoot.GetSize(), 1307);
    EXPECT_EQ(FRoot.FileCount(), 4);

    EXPECT_TRUE(RemoveNodeByPath(FRoot, "/data/a/s2"));
    EXPECT_EQ(FA->SmallFilesGroup(), nullptr);
    EXPECT_EQ(FA->InterlockedChildCount(), 2); // x and y
    EXPECT_EQ(FRoot.GetSize(), 1300);
    EXPECT_EQ(FRoot.FileCount(), 3);
}

TEST_F(DeleteNodesTest, IsSameOrBelowFollowsParents)
{
    TFileSystemNode *x = FA->FindChildNode("x");
    EXPECT_TRUE(IsSameOrBelow(x, FA));
    EXPECT_TRUE(IsSameOrBelow(FA, FA));
    EXPECT_FALSE(IsSameOrBelow(FA, x));
}

} // namespace
