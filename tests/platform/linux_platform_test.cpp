#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <map>
#include <vector>

#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>

#include "platform/linux/LinuxDirLister.h"
#include "platform/linux/LinuxSystem.h"
#include "platform/linux/LinuxVolumes.h"
#include "platform/linux/MountDisplay.h"
#include "support/TempTree.h"

namespace {

TEST(LinuxVolumes, DriveKindsFromTheMountTable)
{
    struct Case
    {
        const char *Type, *Source, *MountPoint;
        bool Removable;
        TDriveType Expected;
    };
    const Case cases[] = {
        {"overlay", "overlay", "/", false, dtFixed}, // the root is fixed whatever it is
        {"ext4", "/dev/sda2", "/home", false, dtFixed},
        {"btrfs", "/dev/nvme0n1p3", "/data", false, dtFixed},
        {"vfat", "/dev/sdb1", "/mnt/stick", true, dtRemovable},
        {"ext4", "/dev/sdc1", "/media/user/disk", false, dtRemovable},
        {"exfat", "/dev/sdd1", "/run/media/user/card", false, dtRemovable},
        {"iso9660", "/dev/sr0", "/media/cdrom", true, dtCDROM},
        {"udf", "/dev/loop3", "/mnt/dvd", false, dtCDROM},
        {"nfs4", "server:/export", "/net/export", false, dtRemote},
        {"fuse.sshfs", "user@host:", "/mnt/ssh", false, dtRemote},
        {"cifs", "//server/share", "/mnt/share", false, dtRemote},
        {"tmpfs", "tmpfs", "/tmp", false, dtRAMDisk},
        {"proc", "proc", "/proc", false, dtUnknown},
        {"squashfs", "/dev/loop0", "/snap/core/1", false, dtUnknown},
        {"cgroup2", "cgroup2", "/sys/fs/cgroup", false, dtUnknown},
    };
    for (const Case &c : cases)
        EXPECT_EQ(ClassifyMount(c.Type, c.Source, c.MountPoint, c.Removable), c.Expected) << c.MountPoint;
}

// What the start page offers as drives, for user anna: the disks, the media and network shares
// she sees in her file manager, none of the kernel's, the sandboxes' or the snap packages' mounts.
TEST(LinuxVolumes, OnlyTheMountsAUserSeesAreDrives)
{
    struct Case
    {
        const char *MountPoint, *Type, *Source;
        bool Shown;
        TDriveType Kind;
    };
    const Case cases[] = {
        {"/", "ext4", "/dev/nvme0n1p2", true, dtFixed},
        {"/home", "btrfs", "/dev/nvme0n1p3", true, dtFixed},
        {"/boot/efi", "vfat", "/dev/nvme0n1p1", true, dtFixed},
        {"/media/anna/STICK", "vfat", "/dev/sdb1", true, dtRemovable},
        {"/run/media/anna/CARD", "exfat", "/dev/mmcblk0p1", true, dtRemovable},
        {"/run/media/bert/DISK", "ext4", "/dev/sdc1", false, dtUnknown}, // another user's
        {"/mnt/nas", "nfs4", "nas:/export", true, dtRemote},
        {"/mnt/backup", "ext4", "/dev/sdd1", true, dtFixed},
        {"/home/anna/cloud", "fuse.rclone", "drive:", true, dtRemote},
        {"/home/anna/Vault", "fuse.gocryptfs", "/home/anna/.vault", true, dtFixed},
        {"/media/anna/RAM", "tmpfs", "tmpfs", true, dtRAMDisk},
        {"/dev/shm", "tmpfs", "tmpfs", false, dtUnknown},
        {"/tmp", "tmpfs", "tmpfs", false, dtUnknown},
        {"/run/user/1000", "tmpfs", "tmpfs", false, dtUnknown},
        {"/mnt/sandbox/env/python", "tmpfs", "sandbox", false, dtUnknown},
        {"/sys/fs/cgroup", "tmpfs", "tmpfs", false, dtUnknown},
        {"/sys/fs/cgroup/memory", "cgroup", "cgroup", false, dtUnknown},
        {"/sys/fs/cgroup/unified", "cgroup2", "cgroup2", false, dtUnknown},
        {"/proc", "proc", "proc", false, dtUnknown},
        {"/dev/pts", "devpts", "devpts", false, dtUnknown},
        {"/snap/core22/1033", "squashfs", "/dev/loop3", false, dtUnknown},
        {"/snap/firefox/2000", "ext4", "/dev/loop4", false, dtUnknown},
        {"/run/user/1000/doc", "fuse.portal", "portal", false, dtUnknown},
        {"/run/user/1000/gvfs", "fuse.gvfsd-fuse", "gvfsd-fuse", false, dtUnknown},
        {"/mnt/fuse", "fuse.bindfs", "/srv", false, dtUnknown}, // FUSE outside the user's places
        {"/home/anna/.local/share/containers/storage/overlay/1/merged", "overlay", "overlay", false, dtUnknown},
        {"/home/anna/.cache/mnt", "ext4", "/dev/sde1", false, dtUnknown}, // hidden on purpose
        {"/var/lib/docker/overlay2/1/merged", "overlay", "overlay", false, dtUnknown},
        {"/run/initramfs", "ext4", "/dev/sda1", false, dtUnknown},
    };
    const TUserPlaces anna {"anna", "/home/anna", false};
    TempTree tree;
    std::string table;
    int id = 1;
    for (const Case &c : cases) {
        EXPECT_EQ(IsUserVisibleMount(c.Type, c.MountPoint, anna), c.Shown) << c.MountPoint;
        // A device of its own for each mount, so that none counts as a bind mount of another.
        table += std::to_string(id) + " 1 " + std::to_string(id) + ":0 / " + c.MountPoint + " rw - " + c.Type + " "
            + c.Source + " rw\n";
        ++id;
    }
    {
        std::FILE *f = std::fopen((tree / "mountinfo").c_str(), "w");
        ASSERT_NE(f, nullptr);
        std::fputs(table.c_str(), f);
        std::fclose(f);
    }
    std::vector<std::pair<std::string, TDriveType>> expected, listed;
    for (const Case &c : cases)
        if (c.Shown)
            expected.emplace_back(c.MountPoint, c.Kind);
    for (const TMountEntry &m : ReadMounts(tree / "mountinfo", anna))
        listed.emplace_back(m.MountPoint, m.DriveType);
    EXPECT_EQ(listed, expected);
    // As root every user's media count.
    EXPECT_TRUE(IsUserVisibleMount("ext4", "/run/media/bert/DISK", {"root", "/root", true}));
    // This machine's own table: no kernel tree and no RAM disk outside the user's places.
    for (const TMountEntry &m : TLinuxVolumes().Mounts()) {
        EXPECT_FALSE(
            m.MountPoint.starts_with("/sys/") || m.MountPoint.starts_with("/proc") || m.MountPoint.starts_with("/dev/"))
            << m.MountPoint;
        EXPECT_NE(m.FileSystem, "cgroup") << m.MountPoint;
    }
}

TEST(LinuxVolumes, TheRootIsAFixedVolumeWithSpace)
{
    TLinuxVolumes volumes;
    const auto mounts = volumes.Mounts();
    const auto root
        = std::find_if(mounts.begin(), mounts.end(), [](const TMountEntry &m) { return m.MountPoint == "/"; });
    ASSERT_NE(root, mounts.end());
    EXPECT_EQ(root->DriveType, dtFixed);
    for (const auto &m : mounts)
        EXPECT_NE(m.DriveType, dtUnknown) << m.MountPoint;
    std::int64_t freeBytes = -1, total = -1;
    EXPECT_EQ(volumes.DiskFreeSpace("/", freeBytes, total), 0);
    EXPECT_GT(total, 0);
    EXPECT_GE(freeBytes, 0);
    EXPECT_LE(freeBytes, total);
    EXPECT_EQ(volumes.DiskFreeSpace("/no/such/folder", freeBytes, total), ENOENT);
    TVolumeInfo info;
    EXPECT_EQ(volumes.VolumeInformation("/", info), 0);
    EXPECT_FALSE(info.FileSystemName.empty());
    EXPECT_TRUE(volumes.IsVolumeRoot("/"));
    EXPECT_TRUE(volumes.IsVolumeRoot("/proc"));
    EXPECT_FALSE(volumes.IsVolumeRoot("/usr/bin"));
    EXPECT_FALSE(volumes.IsVolumeRoot("/no/such/folder"));
}

TEST(LinuxDirLister, EntriesCarryTheSynthesizedAttributes)
{
    TempTree tree;
    tree.MakeFile("plain", 1234);
    tree.MakeFile(".hidden", 1);
    tree.MakeFile("readonly", 5);
    ::chmod((tree / "readonly").c_str(), 0444);
    tree.MakeDir("dir");
    tree.MakeSymlink("link", "dir");
    tree.MakeFifo("fifo");
    tree.SetMtime("plain", 946684800); // 2000-01-01 00:00:00 UTC

    TLinuxDirLister lister;
    int err = -1;
    auto handle = lister.Open(tree.Path(), err);
    ASSERT_TRUE(handle);
    EXPECT_EQ(err, 0);
    TDirListing listing;
    std::atomic<bool> stop {false};
    ASSERT_EQ(handle->ReadAll(listing, stop), 0);
    std::map<std::string, TRawDirEntry> byName;
    for (const auto &e : listing.Entries)
        byName[std::string(listing.Name(e))] = e;
    ASSERT_EQ(byName.size(), 6u);
    EXPECT_EQ(byName["plain"].Size, 1234);
    EXPECT_EQ(byName["plain"].Attributes, 0);
    EXPECT_EQ(byName[".hidden"].Attributes, FileAttr::Hidden);
    EXPECT_EQ(byName["readonly"].Attributes, FileAttr::ReadOnly);
    EXPECT_EQ(byName["dir"].Attributes, FileAttr::Directory);
    EXPECT_EQ(byName["link"].Attributes & FileAttr::ReparsePoint, FileAttr::ReparsePoint);
    EXPECT_EQ(byName["link"].Size, 0);
    EXPECT_EQ(byName["fifo"].Size, 0);
    // Days since 1899-12-30 in local time.
    const time_t t = 946684800;
    tm local {};
    localtime_r(&t, &local);
    EXPECT_DOUBLE_EQ(byName["plain"].Timestamp, 36526.0 + local.tm_gmtoff / 86400.0);

    auto child = handle->OpenChild("dir", err);
    EXPECT_TRUE(child);
    EXPECT_FALSE(handle->OpenChild("link", err)); // links are never followed
    EXPECT_TRUE(err == ELOOP || err == ENOTDIR) << err;
    EXPECT_FALSE(handle->OpenChild("missing", err));
    EXPECT_EQ(err, ENOENT);
    // A parked handle comes back through its child's "..".
    handle->Park();
    EXPECT_EQ(handle->Unpark(*child), 0);
    EXPECT_TRUE(handle->OpenChild("dir", err));
    EXPECT_FALSE(lister.Open(tree / "plain", err));
    EXPECT_EQ(err, ENOTDIR);
}

TEST(LinuxDirLister, MountPointsAreReparsePoints)
{
    TLinuxDirLister lister;
    int err = 0;
    auto root = lister.Open("/", err);
    ASSERT_TRUE(root);
    TDirListing listing;
    std::atomic<bool> stop {false};
    ASSERT_EQ(root->ReadAll(listing, stop), 0);
    bool sawProc = false;
    for (const auto &e : listing.Entries) {
        if (listing.Name(e) == "proc") {
            sawProc = true;
            EXPECT_EQ(e.Attributes & (FileAttr::Directory | FileAttr::ReparsePoint),
                FileAttr::Directory | FileAttr::ReparsePoint);
        }
    }
    EXPECT_TRUE(sawProc);
}

TEST(LinuxSystem, UserDirsAndMessages)
{
    const std::string text = "# comment\nXDG_DESKTOP_DIR=\"$HOME/Schreibtisch\"\nXDG_MUSIC_DIR=\"/srv/music\"\n"
                             "XDG_VIDEOS_DIR=\"relative\"\n";
    EXPECT_EQ(ParseUserDir(text, "DESKTOP", "/home/u"), "/home/u/Schreibtisch");
    EXPECT_EQ(ParseUserDir(text, "MUSIC", "/home/u"), "/srv/music");
    EXPECT_EQ(ParseUserDir(text, "VIDEOS", "/home/u"), "");
    EXPECT_EQ(ParseUserDir(text, "DOCUMENTS", "/home/u"), "");
    TLinuxSystem system;
    EXPECT_EQ(system.ErrorMessage(EACCES), "Permission denied");
    EXPECT_FALSE(system.IsWow64());
    EXPECT_EQ(system.CounterFrequency(), 1000000000);
    const std::int64_t first = system.CounterValue();
    EXPECT_LE(first, system.CounterValue());
    ::setenv("XDG_CONFIG_HOME", "/tmp/zumbrel-config-test", 1);
    EXPECT_EQ(system.SpecialFolder(TSpecialFolder::AppData), "/tmp/zumbrel-config-test");
    ::unsetenv("XDG_CONFIG_HOME");
}

TEST(LinuxVolumes, EachFileSystemIsListedOnce)
{
    TempTree tree;
    // mountinfo: id parent major:minor root mount-point options - type source super-options
    const std::string table = "1 0 8:1 / / rw - ext4 /dev/sda1 rw\n"
                              "2 1 8:2 / /home rw - ext4 /dev/sda2 rw\n"
                              "3 1 8:2 /user/photos /srv/photos rw - ext4 /dev/sda2 rw\n" // a part of /home
                              "4 1 8:1 /var /mnt/var rw - ext4 /dev/sda1 rw\n" // a part of /
                              "5 1 8:3 /data /srv/data rw - ext4 /dev/sda3 rw\n" // first of its device
                              "6 1 8:3 /data/old /srv/old rw - ext4 /dev/sda3 rw\n" // inside the one above
                              "7 1 8:3 /database /srv/db rw - ext4 /dev/sda3 rw\n" // beside it, not inside
                              "8 1 0:5 / /proc rw - proc proc rw\n";
    tree.MakeFile("mountinfo");
    {
        std::FILE *f = std::fopen((tree / "mountinfo").c_str(), "w");
        ASSERT_NE(f, nullptr);
        std::fputs(table.c_str(), f);
        std::fclose(f);
    }
    std::vector<std::string> points;
    for (const TMountEntry &m : ReadMounts(tree / "mountinfo"))
        points.push_back(m.MountPoint);
    const std::vector<std::string> expected {"/", "/home", "/srv/data", "/srv/db"};
    EXPECT_EQ(points, expected);
}

// A bind mount of a folder of the same file system: the scanner shows it as a mount point
// and does not descend it, and the drive list leaves it out. Needs the right to mount (in a
// private mount namespace); skipped otherwise.
TEST(LinuxVolumes, BindMountsOfTheSameFileSystemAreMountPoints)
{
    if (::unshare(CLONE_NEWNS) != 0 || ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
        GTEST_SKIP() << "no right to mount here";
    TempTree tree;
    tree.MakeFile("data/file", 100);
    tree.MakeDir("bind");
    tree.MakeDir("data/self");
    if (::mount((tree / "data").c_str(), (tree / "bind").c_str(), nullptr, MS_BIND, nullptr) != 0
        || ::mount((tree / "data").c_str(), (tree / "data/self").c_str(), nullptr, MS_BIND, nullptr) != 0)
        GTEST_SKIP() << "bind mounts refused";
    TLinuxDirLister lister;
    int err = 0;
    auto handle = lister.Open(tree.Path(), err);
    ASSERT_NE(handle, nullptr);
    TDirListing listing;
    std::atomic<bool> stop {false};
    ASSERT_EQ(handle->ReadAll(listing, stop), 0);
    std::map<std::string, std::uint16_t> attributes;
    for (const auto &e : listing.Entries)
        attributes[std::string(listing.Name(e))] = e.Attributes;
    EXPECT_TRUE(attributes["bind"] & FileAttr::ReparsePoint);
    EXPECT_FALSE(attributes["data"] & FileAttr::ReparsePoint);
    TLinuxVolumes volumes;
    EXPECT_TRUE(volumes.IsVolumeRoot(tree / "bind"));
    EXPECT_TRUE(volumes.IsVolumeRoot(tree / "data/self"));
    EXPECT_FALSE(volumes.IsVolumeRoot(tree / "data"));
    for (const TMountEntry &m : volumes.Mounts()) {
        EXPECT_NE(m.MountPoint, tree / "bind");
        EXPECT_NE(m.MountPoint, tree / "data/self");
    }
    ::umount2((tree / "data/self").c_str(), MNT_DETACH);
    ::umount2((tree / "bind").c_str(), MNT_DETACH);
}

} // namespace
