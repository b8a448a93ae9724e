#include <atomic>
#include <thread>

#include <gtest/gtest.h>

#include "model/TreeTypes.h"
#include "platform/fake/FakeDirLister.h"
#include "platform/fake/FakeSystem.h"
#include "platform/fake/FakeVolumes.h"

namespace {

class TreeTest : public ::testing::Test
{
protected:
    void SetUp() override { FPrevious = InstallPlatform({&FLister, &FVolumes, &FSystem}); }
    void TearDown() override { InstallPlatform(FPrevious); }

    TFakeDirLister FLister;
    TFakeVolumes FVolumes;
    TFakeSystem FSystem;
    TPlatform FPrevious;
};

std::unique_ptr<TFileNode> File(std::string_view name, std::int64_t size)
{
    auto f = TFileNode::Create(name);
    f->SetSize(size);
    return f;
}

// Adds a file the way the scanner does: to the directory, or to its group when small.
void AddScanned(TDirNode &dir, std::string_view name, std::int64_t size, std::int64_t threshold)
{
    dir.IncSize(size);
    dir.IncFileCount(1);
    if (size < threshold) {
        TFileGroupNode *group = dir.GetSmallFilesGroup();
        group->AddChildNode(File(name, size));
        group->IncFileCount(1);
        group->IncSize(size);
    } else {
        dir.AddChildNode(File(name, size));
    }
}

TEST_F(TreeTest, OneSmallFileGroupIsFoldedBackWhenTheScanEnds)
{
    TRootDirNode root;
    root.SetName("/data");
    root.SetGroupFileSize(100);
    TDirNode *dir = root.AddChildDir("sub");
    dir->SetScanning(true);
    AddScanned(*dir, "small.txt", 10, 100);
    AddScanned(*dir, "big.bin", 500, 100);
    ASSERT_NE(dir->SmallFilesGroup(), nullptr);
    EXPECT_EQ(dir->InterlockedChildCount(), 2);

    dir->SetScanning(false);

    EXPECT_EQ(dir->SmallFilesGroup(), nullptr);
    EXPECT_TRUE(dir->IsIgnoreGroupFileSize());
    EXPECT_EQ(dir->GetSize(), 510);
    EXPECT_EQ(dir->FileCount(), 2);
    ASSERT_EQ(dir->InterlockedChildCount(), 2);
    TFileSystemNode *moved = dir->FindChildNode("small.txt");
    ASSERT_NE(moved, nullptr);
    // The group's file goes last, after the files that stayed.
    EXPECT_EQ(dir->GetUnlockedChildNode(0)->Name(), "big.bin");
    EXPECT_EQ(dir->GetUnlockedChildNode(1), moved);
    EXPECT_EQ(moved->Parent(), dir);
    EXPECT_EQ(moved->GetSize(), 10);
    // Once the group is gone, every size is accepted directly.
    EXPECT_TRUE(dir->IsIgnoreGroupFileSize());
}

TEST_F(TreeTest, TwoSmallFilesKeepTheirGroupAndCountOnce)
{
    TRootDirNode root;
    root.SetName("/data");
    root.SetGroupFileSize(100);
    root.SetScanning(true);
    AddScanned(root, "a", 10, 100);
    AddScanned(root, "b", 20, 100);
    root.SetScanning(false);
    TFileGroupNode *group = root.SmallFilesGroup();
    ASSERT_NE(group, nullptr);
    EXPECT_EQ(group->GetSize(), 30);
    EXPECT_EQ(group->FileCount(), 2);
    EXPECT_EQ(root.GetSize(), 30);
    EXPECT_EQ(root.FileCount(), 2);
    EXPECT_EQ(group->FileType(), fstFileGroup);
}

TEST_F(TreeTest, FullPathsSkipGroupsAndTheDrivesNode)
{
    TRootDirNode root;
    root.SetName("/data");
    root.SetGroupFileSize(100);
    TDirNode *sub = root.AddChildDir("sub");
    sub->SetScanning(true);
    AddScanned(*sub, "a.txt", 1, 100);
    AddScanned(*sub, "b.txt", 1, 100);
    sub->SetScanning(false);
    TFileGroupNode *group = sub->SmallFilesGroup();
    ASSERT_NE(group, nullptr);
    EXPECT_EQ(group->GetUnlockedChildNode(0)->GetFullPathName(), "/data/sub/a.txt");

    TRootDirNode slash;
    slash.SetName("/");
    EXPECT_EQ(slash.AddChildDir("etc")->GetFullPathName(), "/etc");

    FVolumes.AddMount("/", dtFixed);
    FVolumes.AddMount("/tmp", dtRAMDisk, "tmpfs", "tmpfs");
    FVolumes.AddMount("/home", dtFixed);
    TFixedDrivesNode drives;
    ASSERT_EQ(drives.InterlockedChildCount(), 2);
    auto *home = static_cast<TRootDirNode *>(drives.GetUnlockedChildNode(1));
    EXPECT_EQ(home->AddChildDir("user")->GetFullPathName(), "/home/user");
    EXPECT_EQ(drives.FileType(), fstComputer);
    // "/" leads to every path; the drive with the longest matching path decides.
    EXPECT_EQ(drives.FindChildNodePath("/home/user"), home->FindChildNode("user"));
    EXPECT_EQ(drives.FindChildNodePath("/home"), home);
    EXPECT_EQ(drives.PopulateDrives(), -1);
}

TEST_F(TreeTest, RootTypeFromTheName)
{
    FVolumes.AddMount("/", dtFixed);
    FVolumes.AddMount("/home", dtFixed);
    const std::pair<const char *, TFileType> cases[]
        = {{"c:", fstDrive}, {"C:\\", fstDrive}, {"C:\\Windows", fstDirectory}, {"1:", fstDirectory}, {"/", fstDrive},
            {"/home", fstDrive}, {"/home/user", fstDirectory}};
    for (const auto &[name, type] : cases) {
        TRootDirNode root;
        root.SetName(name);
        EXPECT_EQ(root.FileType(), type) << name;
    }
}

TEST_F(TreeTest, ErrorCodeAndImageIndexRanges)
{
    auto f = File("x", 0);
    f->SetErrorCode(70000);
    EXPECT_EQ(f->ErrorCode(), 1);
    f->SetErrorCode(-5);
    EXPECT_EQ(f->ErrorCode(), -5);
    EXPECT_EQ(f->GetImageIndex(), -1);
    f->SetImageIndex(32767);
    EXPECT_EQ(f->GetImageIndex(), 32767);
    EXPECT_THROW(f->SetImageIndex(32768), std::out_of_range);
    EXPECT_THROW(f->SetImageIndex(-32769), std::out_of_range);
    EXPECT_EQ(f->GetImageIndex(), 32767);
    auto copy = f->Clone();
    EXPECT_EQ(copy->ErrorCode(), -5);
    EXPECT_EQ(copy->GetImageIndex(), 32767);
    f->Clear();
    EXPECT_EQ(f->ErrorCode(), 0);
    EXPECT_EQ(f->GetImageIndex(), -1);
    EXPECT_EQ(copy->ErrorCode(), -5);
    // Files keep both beside the tree: a node freed with them must not hand them on to the
    // next node built in its place.
    copy.reset();
    for (int i = 0; i < 4; ++i) {
        auto failed = File("x", 0);
        failed->SetErrorCode(13);
        failed.reset();
        auto next = File("x", 0);
        next->SetImageIndex(5);
        EXPECT_EQ(next->ErrorCode(), 0);
        EXPECT_EQ(next->GetImageIndex(), 5);
    }
}

TEST_F(TreeTest, FindChildNodePath)
{
    TRootDirNode root;
    root.SetName("/data");
    root.SetGroupFileSize(100);
    TDirNode *sub = root.AddChildDir("Sub");
    TDirNode *deep = sub->AddChildDir("deep");
    sub->SetScanning(true);
    AddScanned(*sub, "a", 1, 100);
    AddScanned(*sub, "b", 1, 100);
    sub->SetScanning(false);
    TFileGroupNode *group = sub->SmallFilesGroup();

    EXPECT_EQ(root.FindChildNodePath("/data/Sub"), sub);
    EXPECT_EQ(root.FindChildNodePath("/data/Sub/"), sub);
    EXPECT_EQ(root.FindChildNodePath("/data/Sub/deep"), deep);
    EXPECT_EQ(root.FindChildNodePath("/data/sub"), nullptr); // Linux names differ by case
    EXPECT_EQ(root.FindChildNodePath("/data/Sub/a"), nullptr); // files in a group are not found
    EXPECT_EQ(root.FindChildNodePath(group->GetFullPathName()), group);
    EXPECT_EQ(root.FindChildNodePath("/data/Subx"), nullptr);
}

TEST_F(TreeTest, LiveSumsGiveUpWhenAnotherThreadHoldsTheLock)
{
    TRootDirNode root;
    root.SetName("/r");
    root.AddChildNode(File("a", 5));
    root.SetScanning(true);
    EXPECT_EQ(root.GetSize(), 5);
    std::atomic<bool> locked {false};
    std::atomic<bool> release {false};
    std::thread holder([&] {
        std::scoped_lock guard(root.ChildLock());
        locked = true;
        while (!release)
            std::this_thread::yield();
    });
    while (!locked)
        std::this_thread::yield();
    EXPECT_EQ(root.SumChildSizes(), 0);
    EXPECT_EQ(root.GetSize(), 0);
    release = true;
    holder.join();
    root.SetScanning(false);
}

TEST_F(TreeTest, DeletingTheLastChildRecalculatesUpToTheRoot)
{
    TRootDirNode root;
    root.SetName("/r");
    TDirNode *dir = root.AddChildDir("d");
    dir->AddChildNode(File("only", 42));
    dir->RecalcSizeAndFileCountUpToRoot();
    EXPECT_EQ(root.GetSize(), 42);
    EXPECT_EQ(root.FileCount(), 1);
    dir->GetUnlockedChildNode(0)->Delete();
    EXPECT_EQ(dir->GetSize(), 0);
    EXPECT_EQ(dir->FileCount(), 0);
    EXPECT_EQ(root.GetSize(), 0);
    EXPECT_EQ(root.FileCount(), 0);
}

TEST_F(TreeTest, ListRefusesEmptyNodesAndChecksIndexes)
{
    TRootDirNode root;
    EXPECT_EQ(root.AddChildNode(nullptr), -1);
    EXPECT_FALSE(root.HasChildren());
    EXPECT_THROW((void)root.GetUnlockedChildNode(0), std::out_of_range);
    EXPECT_EQ(root.AddChildNode(File("a", 1)), 0);
    EXPECT_THROW((void)root.GetUnlockedChildNode(-1), std::out_of_range);
}

TEST_F(TreeTest, GetRootNodeRejectsTreesWithoutRoot)
{
    TDirNode dir;
    TDirNode *child = dir.AddChildDir("x");
    try {
        (void)child->GetRootNode();
        FAIL() << "no exception";
    } catch (const std::runtime_error &e) {
        EXPECT_NE(std::string(e.what()).find("TDirNode"), std::string::npos);
    }
}

TEST_F(TreeTest, FileNodesKeepShortNamesInline)
{
    // Names of exFAT or NTFS volumes reach 765 bytes in UTF-8.
    auto f = TFileNode::Create(std::string(765, 'y'));
    EXPECT_EQ(f->Name().size(), 765u);
    EXPECT_THROW(TFileNode::Create(std::string(65536, 'x')), std::length_error);
    EXPECT_THROW(TFileNode::Create(std::string("nul\0inside", 10)), std::invalid_argument);
    auto named = TFileNode::Create("bad\nname\xff");
    named->SetTimestamp(45000.5);
    named->SetAttributes(0x0802);
    named->SetSize(7);
    TRootDirNode parent;
    auto *raw = named.get();
    parent.AddChildNode(std::move(named));
    auto copy = raw->Clone();
    EXPECT_EQ(copy->Name(), "bad\nname\xff");
    EXPECT_EQ(copy->Parent(), &parent);
    EXPECT_EQ(copy->GetSize(), 7);
    EXPECT_DOUBLE_EQ(copy->Timestamp(), 45000.5);
    EXPECT_TRUE(copy->IsCompressed());
    EXPECT_TRUE(copy->IsHidden());
    EXPECT_THROW(raw->SetName("a longer name than before"), std::length_error);
    EXPECT_THROW((void)parent.Clone(), std::logic_error);
}

TEST_F(TreeTest, FolderNamesSurviveRenamesAndClears)
{
    // A folder's first name is stored behind its node; later names replace it in blocks of
    // their own while a reader may still hold the first.
    TRootDirNode root;
    root.SetName("/r");
    const std::string withNul("a\0b", 3);
    const std::string names[] = {"", "d", "sixteen-bytes-xx", std::string(300, 'n'), withNul};
    for (const std::string &name : names) {
        TDirNode *dir = root.AddChildDir(name, 45000.5, 0x0010);
        EXPECT_EQ(dir->Name(), name);
        EXPECT_EQ(dir->Timestamp(), 45000.5);
        EXPECT_EQ(dir->Attributes(), 0x0010);
        const std::string_view first = dir->Name();
        dir->SetName("renamed");
        EXPECT_EQ(dir->Name(), "renamed");
        EXPECT_EQ(first, name); // the text a reader took before stays readable
        dir->Clear();
        EXPECT_EQ(dir->Name(), "");
        dir->SetName(name);
        EXPECT_EQ(dir->Name(), name);
        EXPECT_EQ(dir->GetFullPathName(), "/r/" + name);
    }
    EXPECT_EQ(root.InterlockedChildCount(), 5);
    root.RemoveChildNode(root.GetUnlockedChildNode(0));
    root.Clear();
    EXPECT_FALSE(root.HasChildren());
}

TEST_F(TreeTest, RenamedFileNodesKeepTheirRoomParentAndAttributes)
{
    // Parent, attributes and the way the node knows its room share one word; the room decides
    // the bytes given back when the node is freed.
    TRootDirNode parent;
    for (const std::size_t first : {0u, 1u, 2u, 3u, 5u, 21u, 300u, 765u}) {
        auto owned = TFileNode::Create(std::string(first, 'a'));
        TFileNode *f = owned.get();
        const std::size_t bytes = f->HeapBytes();
        f->SetAttributes(0xffff);
        parent.AddChildNode(std::move(owned));
        for (const std::size_t length : {first, first - (first > 0), first / 2, std::size_t {0}, first}) {
            f->SetName(std::string(length, 'b'));
            EXPECT_EQ(f->Name(), std::string(length, 'b')) << first;
            EXPECT_EQ(f->HeapBytes(), bytes) << first << " renamed to " << length;
        }
        EXPECT_THROW(f->SetName(std::string(first + 1, 'c')), std::length_error);
        EXPECT_EQ(f->Parent(), &parent);
        EXPECT_EQ(f->Attributes(), 0xffff);
        f->SetAttributes(0x0400);
        EXPECT_EQ(f->Parent(), &parent);
        EXPECT_TRUE(f->IsSymLink());
        EXPECT_FALSE(f->IsHidden());
        EXPECT_EQ(f->Name(), std::string(first, 'b'));
        parent.RemoveChildNode(f);
    }
}

TEST_F(TreeTest, SortBySizeAndName)
{
    TRootDirNode root;
    root.AddChildNode(File("b", 2));
    root.AddChildNode(File("a", 3));
    TDirNode *dir = root.AddChildDir("c");
    dir->AddChildNode(File("y", 1));
    dir->AddChildNode(File("z", 9));
    dir->RecalcSizeAndFileCount();
    root.Sort(tsFileSize, sdDescending);
    EXPECT_EQ(root.GetUnlockedChildNode(0), dir);
    EXPECT_EQ(root.GetUnlockedChildNode(1)->Name(), "a");
    EXPECT_EQ(dir->GetUnlockedChildNode(0)->Name(), "z");
    root.Sort(tsFileName, sdAscending);
    EXPECT_EQ(root.GetUnlockedChildNode(0)->Name(), "a");
    EXPECT_EQ(root.GetUnlockedChildNode(2)->Name(), "c");
    EXPECT_EQ(dir->GetUnlockedChildNode(0)->Name(), "y");
}

TEST_F(TreeTest, DeepChainsNeverRecurse)
{
    constexpr int depth = 100000;
    auto root = std::make_unique<TRootDirNode>();
    root->SetName("/r");
    TDirNode *node = root.get();
    for (int i = 0; i < depth; ++i)
        node = node->AddChildDir("d");
    node->AddChildNode(File("leaf", 3));
    EXPECT_EQ(root->GetDirCount(), depth);
    root->Sort(tsFileSize, sdDescending);
    EXPECT_EQ(node->GetUnlockedChildNode(0)->GetFullPathName().size(), 2 + 2 * depth + 5);
    TDestroyGroupNodeThread destroyer(std::move(root));
    destroyer.Start();
    destroyer.WaitFor();
    EXPECT_TRUE(destroyer.Finished());
}

TEST_F(TreeTest, LiveSumsOfADeepScanDoNotRecurse)
{
    // During a depth-first scan every level of the path is scanning at once.
    constexpr int depth = 300000;
    auto root = std::make_unique<TRootDirNode>();
    root->SetScanning(true);
    TDirNode *node = root.get();
    for (int i = 0; i < depth; ++i) {
        node = node->AddChildDir("d");
        node->SetScanning(true);
    }
    node->AddChildNode(File("leaf", 5));
    EXPECT_EQ(root->GetSize(), 5);
    EXPECT_EQ(root->FileCount(), 1);
    for (TGroupNode *up = node; up; up = up->Parent())
        up->SetFlag(TGroupNode::ScanningFlag, false);
    TDestroyGroupNodeThread(std::move(root)).WaitFor();
}

TEST_F(TreeTest, FlagsChangeIndependently)
{
    TDirNode dir;
    EXPECT_EQ(dir.Flags(), TGroupNode::Empty);
    dir.SetExpanded(true);
    dir.SetScanning(true);
    dir.SetEmpty(false);
    EXPECT_EQ(dir.Flags(), TGroupNode::Expanded | TGroupNode::ScanningFlag);
    dir.Clear();
    EXPECT_EQ(dir.Flags(), TGroupNode::Empty);
}

TEST_F(TreeTest, FileCountsAreChecked)
{
    TDirNode dir;
    dir.SetFileCount(INT32_MAX);
    EXPECT_THROW(dir.IncFileCount(1), std::overflow_error);
    EXPECT_EQ(dir.FileCount(), INT32_MAX);
}

TEST_F(TreeTest, OnlyADriveRootShowsItsVolumeLabel)
{
    FVolumes.AddMount("/", dtFixed);
    FVolumes.AddMount("/media/usb", dtRemovable, "vfat", "/dev/sdb1");
    FVolumes.SetVolumeInfo("/media/usb", {0, "STICK", 7, "vfat"});
    const std::pair<const char *, const char *> cases[] = {
        {"/media/usb", "STICK (/media/usb)"},
        {"/media/usb/photos/2019", "/media/usb/photos/2019"},
    };
    for (const auto &[path, shown] : cases) {
        TRootDirNode root;
        root.SetFullPathName(path);
        EXPECT_EQ(root.GetDisplayName(), shown);
    }
}

TEST_F(TreeTest, SizesStopAtTheEndOfTheirRange)
{
    TRootDirNode root;
    root.SetName("/data");
    TDirNode *dir = root.AddChildDir("sparse");
    const std::int64_t half = std::int64_t {1} << 62;
    EXPECT_FALSE(dir->IncSize(half));
    EXPECT_FALSE(dir->IncSize(half - 1));
    EXPECT_EQ(dir->GetSize(), INT64_MAX);
    EXPECT_TRUE(dir->IncSize(1));
    EXPECT_EQ(dir->GetSize(), INT64_MAX);
    // Recalculation and the live sums of a folder being scanned saturate the same way.
    dir->AddChildNode(File("a", half));
    dir->AddChildNode(File("b", half));
    root.AddChildNode(File("c", 10));
    root.SetScanning(true);
    EXPECT_EQ(root.GetSize(), INT64_MAX);
    root.SetScanning(false);
    EXPECT_NO_THROW(root.RecalcSizeAndFileCountUpToRoot());
    EXPECT_NO_THROW(dir->RecalcSizeAndFileCountUpToRoot());
    EXPECT_EQ(dir->GetSize(), INT64_MAX);
    EXPECT_EQ(root.GetSize(), INT64_MAX);
}

} // namespace
