#include <cerrno>
#include <cstring>
#include <ctime>
#include <memory>
#include <sstream>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "common/Drives.h"
#include "common/FileQueries.h"
#include "common/ShellTexts.h"
#include "log/Appender.h"
#include "log/Layout.h"
#include "log/Logger.h"
#include "platform/fake/FakeDirLister.h"
#include "platform/fake/FakeSystem.h"
#include "platform/fake/FakeVolumes.h"
#include "support/TempTree.h"

namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

class QueriesTest : public ::testing::Test
{
protected:
    TFakeDirLister FLister;
    TFakeVolumes FVolumes;
    TFakeSystem FSystem;
    TScopedPlatform FPlatform {{&FLister, &FVolumes, &FSystem}};
};

TEST_F(QueriesTest, GetDrivesFiltersByTypeInTableOrderAndAppends)
{
    FVolumes.AddMount("/", dtFixed, "ext4");
    FVolumes.AddMount("/dev/shm", dtRAMDisk, "tmpfs");
    FVolumes.AddMount("/media/usb", dtRemovable, "vfat");
    FVolumes.AddMount("/home", dtFixed, "xfs");
    FVolumes.AddMount("/proc", dtUnknown, "proc");
    FVolumes.AddMount("/mnt/nas", dtRemote, "nfs4");

    std::vector<std::string> list {"existing"};
    EXPECT_EQ(GetDrives({dtFixed}, list), 3);
    EXPECT_THAT(list, ElementsAre("existing", "/", "/home"));

    list.clear();
    EXPECT_EQ(GetDrives(TDriveTypes::AllKnown(), list), 5);
    EXPECT_THAT(list, ElementsAre("/", "/dev/shm", "/media/usb", "/home", "/mnt/nas"));

    list.clear();
    EXPECT_EQ(GetDrives({}, list), 0);
}

TEST_F(QueriesTest, GetVolumeInfoAsksWithTrailingDelimiter)
{
    FVolumes.AddMount("/home", dtFixed);
    FVolumes.SetVolumeInfo("/home", {0, "Data", 0xCAFE, "xfs"});
    const TVolumeInfo info = GetVolumeInfo("/home/user");
    EXPECT_EQ(info.Name, "Data");
    EXPECT_EQ(info.SerialNumber, 0xCAFEu);
    EXPECT_EQ(info.FileSystemName, "xfs");
    EXPECT_EQ(info.Drive, 0);
    EXPECT_THAT(FVolumes.VolumeInfoRequests(), ElementsAre("/home/user/"));
}

TEST_F(QueriesTest, GetVolumeInfoFailureLogsAndYieldsAnEmptyRecord)
{
    FVolumes.AddMount("/media/cd", dtCDROM);
    FVolumes.SetVolumeInfo("/media/cd", {0, "Disc", 7, "iso9660"});
    FVolumes.SetError("/media/cd", EIO);
    // The program logger's events (the journal by default) and the platform's debug lines.
    std::ostringstream events;
    auto appender = std::make_shared<TLogStreamAppender>("QueriesTest", events);
    appender->SetLayout(std::make_shared<TLogPatternLayout>("%m%n"));
    DefaultHierarchy().Root().AddAppender(appender);
    const TVolumeInfo info = GetVolumeInfo("/media/cd");
    DefaultHierarchy().Root().RemoveAppender("QueriesTest");
    std::string logged = events.str();
    for (const auto &line : FSystem.DebugLines())
        logged += line + "\n";
    EXPECT_EQ(info.Name, "");
    EXPECT_EQ(info.SerialNumber, 0u);
    EXPECT_EQ(info.FileSystemName, "");
    EXPECT_THAT(logged, HasSubstr(std::string("/media/cd - ") + std::strerror(EIO)));
}

TEST_F(QueriesTest, DriveAndVolumeRoots)
{
    for (const char *yes : {"c:", "C:\\", "z:\\", "A:"})
        EXPECT_TRUE(IsDriveRoot(yes)) << yes;
    for (const char *no : {"C:\\x", "CC:", "C", "", "1:", "C:/x", "C;\\", "/"})
        EXPECT_FALSE(IsDriveRoot(no)) << no;

    FVolumes.AddMount("/", dtFixed);
    FVolumes.AddMount("/media/usb stick", dtRemovable);
    EXPECT_TRUE(IsVolumeRoot("/"));
    EXPECT_TRUE(IsVolumeRoot("/media/usb stick"));
    EXPECT_TRUE(IsVolumeRoot("/media/usb stick/"));
    EXPECT_FALSE(IsVolumeRoot("/media"));
}

TEST_F(QueriesTest, LocalDrivesCaptionIsTranslatedOnceAndKept)
{
    const std::string &first = LocalDrivesCaption();
    EXPECT_EQ(first, "Local Drives");
    EXPECT_EQ(&LocalDrivesCaption(), &first);
}

TEST_F(QueriesTest, ForEachEntryListsAllButDotsAndFiltersByPattern)
{
    FLister.AddDir("/skins");
    FLister.AddFile("/skins/blue.png", 10);
    FLister.AddDir("/skins/sub", 2.5);
    FLister.AddFile("/skins/notes.txt", 20);
    FLister.AddFile("/skins/.hidden.png", 30);
    FLister.AddFile("/skins/README", 40);

    const auto names = [&](const std::string &pattern, int expectedResult = 0) {
        std::vector<std::string> found;
        EXPECT_EQ(ForEachEntry(pattern, [&](const TEntryRecord &e) { found.emplace_back(e.Name); }), expectedResult)
            << pattern;
        return found;
    };
    EXPECT_THAT(names("/skins"), ElementsAre("blue.png", "sub", "notes.txt", ".hidden.png", "README"));
    EXPECT_THAT(names("/skins/*.*"), ElementsAre("blue.png", "sub", "notes.txt", ".hidden.png", "README"));
    EXPECT_THAT(names("/skins/*.png"), ElementsAre("blue.png", ".hidden.png"));
    EXPECT_THAT(names("/skins/[bn]*"), ElementsAre("blue.png", "notes.txt"));
    EXPECT_THAT(names("/missing/*", ENOENT), ElementsAre());

    bool sawDir = false;
    ForEachEntry("/skins/s?b", [&](const TEntryRecord &e) {
        sawDir = e.IsDirectory();
        EXPECT_DOUBLE_EQ(e.Timestamp, 2.5);
    });
    EXPECT_TRUE(sawDir);
}

TEST_F(QueriesTest, ForEachEntryReportsAReadErrorAfterTheEntriesBeforeIt)
{
    FLister.AddDir("/d");
    FLister.AddFile("/d/a", 1);
    FLister.SetListError("/d", EIO);
    std::vector<std::string> found;
    EXPECT_EQ(ForEachEntry("/d", [&](const TEntryRecord &e) { found.emplace_back(e.Name); }), EIO);
    EXPECT_THAT(found, ElementsAre("a"));
}

TEST_F(QueriesTest, SpecialFoldersGetATrailingDelimiter)
{
    FSystem.SetSpecialFolder(TSpecialFolder::Documents, "/home/u/Dokumente");
    FSystem.SetSpecialFolder(TSpecialFolder::AppData, "/home/u/.config");
    EXPECT_EQ(DocumentsFolder(), "/home/u/Dokumente/");
    EXPECT_EQ(AppDataFolder(), "/home/u/.config/");
    EXPECT_EQ(SpecialFolder(TSpecialFolder::Music), "");
}

TEST_F(QueriesTest, FileOperationErrorTexts)
{
    // The shell table serves the codes of a shell operation only.
    EXPECT_EQ(ShellOperationErrorText(113), "The source and destination files are the same file.");
    EXPECT_EQ(ShellOperationErrorText(117),
        "The operation was cancelled by the user, or silently cancelled if the appropriate flags were supplied to "
        "SHFileOperation.");
    EXPECT_EQ(ShellOperationErrorText(1026),
        "An unknown error occurred. This is typically due to an invalid path in the source or destination. This error "
        "does not occur on Windows Vista and later.");
    EXPECT_EQ(ShellOperationErrorText(65652), "Destination is a root directory and cannot be renamed.");
    EXPECT_EQ(ShellOperationErrorText(EACCES), std::strerror(EACCES));
    // errno values read as the system's messages, those that share a number with a shell
    // code included.
    for (const int code : {EACCES, ENOENT, ESTALE, EUCLEAN, EDQUOT, ECANCELED, EXDEV})
        EXPECT_EQ(FileOperationErrorText(code), std::strerror(code)) << code;
}

TEST(ShellTexts, VersionCaptionAndAltColor)
{
    EXPECT_EQ(VersionCaption("1.2.0.7"), "Version 1.2");
    EXPECT_EQ(VersionCaption("1.2.3.7"), "Version 1.2.3");
    EXPECT_EQ(VersionCaption("0.1.0"), "Version 0.1");
    EXPECT_EQ(VersionCaption("3"), "Version 3");
    EXPECT_EQ(VersionCaption(""), "");
    EXPECT_EQ(GetExplorerAltColor(), 0x00FF0000u);
}

TEST(FileTimestamp, LocalLastWriteTimeOfTheEntryItself)
{
    TempTree tree;
    tree.MakeFile("f");
    tree.MakeFile("target");
    tree.MakeSymlink("link", "target");
    tree.MakeDir("d");
    const std::int64_t stamp = 1700000000; // 2023-11-14 22:13:20 UTC
    tree.SetMtime("f", stamp);
    tree.SetMtime("d", stamp + 86400);

    const time_t t = stamp;
    tm local {};
    ASSERT_TRUE(localtime_r(&t, &local));
    const double expected = 25569.0 + static_cast<double>(stamp + local.tm_gmtoff) / 86400.0;
    EXPECT_NEAR(FileTimestamp(tree / "f"), expected, 1e-6);
    EXPECT_NEAR(FileTimestamp(tree / "d"), expected + 1, 1e-4); // one day later, up to a zone change
    EXPECT_NEAR(FileTimestamp(tree / "d/"), FileTimestamp(tree / "d"), 1e-9);
    // The link's own time, which is "now", not the target's 2023 time.
    tree.SetMtime("target", stamp);
    EXPECT_GT(FileTimestamp(tree / "link"), expected + 30);
    EXPECT_EQ(FileTimestamp(tree / "missing"), -1);
    EXPECT_EQ(FileTimestamp(""), -1);
    EXPECT_EQ(FileTimestamp(tree / "f/x"), -1);
}

TEST(FileTimestamp, DateTimeOfKnownMoments)
{
    // 1970-01-01 00:00:00 UTC is day 25569 plus the zone offset of that moment.
    const time_t zero = 0;
    tm local {};
    ASSERT_TRUE(localtime_r(&zero, &local));
    EXPECT_NEAR(LocalDateTimeOf(0, 0), 25569.0 + local.tm_gmtoff / 86400.0, 1e-9);
    EXPECT_NEAR(LocalDateTimeOf(0, 500000000) - LocalDateTimeOf(0, 0), 0.5 / 86400.0, 1e-10);
}

} // namespace
