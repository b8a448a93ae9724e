#include "settings/MRUDirList.h"

#include <gtest/gtest.h>

#include "SettingsTestSupport.h"
#include "settings/Settings.h"
#include "support/TempTree.h"

namespace {

using TList = std::vector<std::string>;

struct TCountedList : TMRUDirList
{
    TCountedList()
    {
        OnChange = [this] { ++Changes; };
    }
    int Changes = 0;
};

TEST(MRUDirListTest, AddDirectoryMovesAnEqualEntryAndTrims)
{
    TCountedList list;
    list.SetMaxItems(3);
    list.Changes = 0;
    list.AddDirectory("/data/");
    list.AddDirectory("/home/a");
    list.AddDirectory("/data");
    EXPECT_EQ(list.Items(), (TList {"/home/a", "/data"}));
    EXPECT_EQ(list.Changes, 3) << "one change event per AddDirectory";

    list.AddDirectory("/b");
    list.AddDirectory("/c");
    EXPECT_EQ(list.Items(), (TList {"/data", "/b", "/c"}));
    list.AddDirectory("/");
    EXPECT_EQ(list.Items(), (TList {"/b", "/c", "/"}));
}

TEST(MRUDirListTest, LoweringTheMaximumDropsTheOldestAtOnce)
{
    TCountedList list;
    list.SetMaxItems(20);
    for (int i = 0; i < 20; ++i)
        list.AddDirectory("/d" + std::to_string(i));
    list.Changes = 0;
    list.SetMaxItems(5);
    EXPECT_EQ(list.Items(), (TList {"/d15", "/d16", "/d17", "/d18", "/d19"}));
    EXPECT_EQ(list.Changes, 1);
    list.SetMaxItems(0);
    EXPECT_EQ(list.Count(), 0);
    list.AddDirectory("/x");
    EXPECT_EQ(list.Count(), 0) << "a maximum of 0 keeps the list empty";
}

TEST(MRUDirListTest, CommaTextQuotesWhatNeedsIt)
{
    TMRUDirList list;
    list.SetMaxItems(20);
    for (const char *dir : {"/plain", "/with blank", "/a,b", "/say \"hi\"", "/tab\there", "/\xC3\xA4\xFF"})
        list.Add(dir);
    EXPECT_EQ(list.CommaText(), "/plain,\"/with blank\",\"/a,b\",\"/say \"\"hi\"\"\",\"/tab\there\",/\xC3\xA4\xFF");
    TMRUDirList back;
    back.SetCommaText(list.CommaText());
    EXPECT_EQ(back.Items(), list.Items());

    TMRUDirList single;
    single.Add("");
    EXPECT_EQ(single.CommaText(), "\"\"");
}

TEST(MRUDirListTest, ReadingCommaTexts)
{
    const struct
    {
        std::string text;
        TList expected;
    } cases[] = {
        {"", {}},
        {"  /a , /b", {"/a", "/b"}},
        {"/a b", {"/a", "b"}},
        {"\"/a b\",/c", {"/a b", "/c"}},
        {"/a,", {"/a", ""}},
        {"/a,,/b", {"/a", "", "/b"}},
        {"\"x\"\"y\"", {"x\"y"}},
        {"\"unclosed, rest", {"unclosed, rest"}},
        {"\"\"", {""}},
        {"\n\t/a\r\n,/b", {"/a", "/b"}},
    };
    for (const auto &c : cases) {
        TMRUDirList list;
        list.SetCommaText(c.text);
        EXPECT_EQ(list.Items(), c.expected) << c.text;
    }
}

TEST(MRUDirListTest, StoredValueSurvivesTheSettingsFile)
{
    TempTree tree;
    TRecordedBoxes boxes;
    TFakePlatform platform;
    platform.Volumes.AddMount("/", dtFixed);
    platform.Volumes.AddMount("/media/usb", dtRemovable);

    TMRUDirList list;
    list.SetMaxItems(20);
    for (const char *dir : {"/home/me/My Music", "'quoted'", "/a,b", "/x\"y", "/new\nline", "/tmp"})
        list.AddDirectory(dir);
    {
        TSettings settings(tree / "Zumbrel.ini");
        settings.SaveSettingStr("MRUDirList", list.StoredText());
    }
    EXPECT_EQ(ReadWholeFile(tree / "Zumbrel.ini"),
        "[Settings]\nMRUDirList='\"/home/me/My Music\",'quoted',\"/a,b\",\"/x\"\"y\",/tmp'\n");

    TSettings settings(tree / "Zumbrel.ini");
    TCountedList loaded;
    loaded.SetMaxItems(20);
    loaded.Changes = 0;
    loaded.LoadStoredText(settings.ReadSettingStr("MRUDirList", ""));
    EXPECT_EQ(loaded.Items(), (TList {"/home/me/My Music", "'quoted'", "/a,b", "/x\"y", "/tmp"}));
    EXPECT_EQ(loaded.Changes, 1);
}

TEST(MRUDirListTest, TheStoredValueIsCutAt2047Characters)
{
    TempTree tree;
    TRecordedBoxes boxes;
    std::string text = "'";
    TList expected;
    for (int i = 0; text.size() < 2100; ++i) {
        const std::string dir = "/folder" + std::to_string(1000 + i);
        text += (i ? "," : "") + dir;
        if (text.size() - 1 <= 2047)
            expected.push_back(dir);
    }
    text += "'";
    WriteWholeFile(tree / "Zumbrel.ini", "[Settings]\nMRUDirList=" + text + "\n");
    TSettings settings(tree / "Zumbrel.ini");
    const std::string value = settings.ReadSettingStr("MRUDirList", "");
    ASSERT_EQ(value.size(), 2047u);
    TMRUDirList list;
    list.SetMaxItems(1000);
    list.SetCommaText(value);
    // The last entry is cut short; the ones before come back whole.
    ASSERT_EQ(list.Count(), static_cast<int>(expected.size()) + 1);
    EXPECT_EQ(TList(list.Items().begin(), list.Items().end() - 1), expected);
    EXPECT_EQ(list.Items().back(), value.substr(value.rfind(',') + 1));
}

TEST(MRUDirListTest, DriveEntriesGoAtLoad)
{
    TFakePlatform platform;
    platform.Volumes.AddMount("/", dtFixed);
    platform.Volumes.AddMount("/media/usb", dtRemovable);
    platform.Volumes.AddMount("/proc", dtUnknown);
    TMRUDirList list;
    list.SetMaxItems(20);
    list.LoadStoredText("/,/media/usb/,/media/usb,/proc,/home/me,/media/usb/photos");
    EXPECT_EQ(list.Items(), (TList {"/media/usb/", "/proc", "/home/me", "/media/usb/photos"}));
}

TEST(MRUDirListTest, RemoveInvalidDirectoriesFollowsLinksAndReportsOnce)
{
    TempTree tree;
    tree.MakeDir("kept");
    tree.MakeFile("file");
    tree.MakeSymlink("link", "kept");
    tree.MakeSymlink("dangling", "nowhere");
    TCountedList list;
    list.SetMaxItems(20);
    for (const char *name : {"kept", "file", "link", "dangling", "missing"})
        list.Add(tree / name);
    list.Changes = 0;
    list.RemoveInvalidDirectories();
    EXPECT_EQ(list.Items(), (TList {tree / "kept", tree / "link"}));
    EXPECT_EQ(list.Changes, 1);
    list.RemoveInvalidDirectories();
    EXPECT_EQ(list.Count(), 2);
    EXPECT_EQ(list.Changes, 2) << "a batch that changed nothing still reports";
}

} // namespace
