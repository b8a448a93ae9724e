#include "platform/linux/LinuxVolumes.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string_view>

#include <blkid/blkid.h>
#include <fcntl.h>
#include <libmount/libmount.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include "platform/linux/MountDisplay.h"

namespace {

struct TableDeleter
{
    void operator()(libmnt_table *t) const { mnt_unref_table(t); }
};
struct IterDeleter
{
    void operator()(libmnt_iter *i) const { mnt_free_iter(i); }
};
using TablePtr = std::unique_ptr<libmnt_table, TableDeleter>;
using IterPtr = std::unique_ptr<libmnt_iter, IterDeleter>;

TablePtr ReadMountTable(const char *path = "/proc/self/mountinfo")
{
    return TablePtr(mnt_new_table_from_file(path));
}

// True when `inner` is `outer` or lies below it ("/a" holds "/a" and "/a/b", not "/ab").
bool PathHolds(std::string_view outer, std::string_view inner)
{
    if (outer == "/" || outer.empty())
        return true;
    return inner.substr(0, outer.size()) == outer && (inner.size() == outer.size() || inner[outer.size()] == '/');
}

std::string Str(const char *s)
{
    return s ? std::string(s) : std::string();
}

bool StartsWith(std::string_view s, std::string_view prefix)
{
    return s.substr(0, prefix.size()) == prefix;
}

bool IsOneOf(std::string_view s, std::initializer_list<std::string_view> list)
{
    for (auto item : list)
        if (s == item)
            return true;
    return false;
}

bool DiskIsRemovable(dev_t devno)
{
    if (devno == 0)
        return false;
    const std::string base = "/sys/dev/block/" + std::to_string(major(devno)) + ":" + std::to_string(minor(devno));
    // A partition has no "removable" attribute of its own; its disk is the parent folder.
    for (const char *rel : {"/removable", "/../removable"}) {
        std::ifstream in(base + rel);
        int value = 0;
        if (in >> value)
            return value == 1;
    }
    return false;
}

} // namespace

TDriveType ClassifyMount(
    const std::string &fsType, const std::string &source, const std::string &mountPoint, bool removableDisk)
{
    if (mountPoint == "/")
        return dtFixed;
    if (IsOneOf(fsType, {"iso9660", "udf"}) || StartsWith(source, "/dev/sr"))
        return dtCDROM;
    if (IsOneOf(fsType,
            {"nfs", "nfs4", "cifs", "smb3", "smbfs", "fuse.sshfs", "9p", "ceph", "glusterfs", "fuse.glusterfs",
                "fuse.rclone", "fuse.s3fs", "fuse.gcsfuse", "fuse.curlftpfs", "davfs", "afs"}))
        return dtRemote;
    if (IsOneOf(fsType, {"tmpfs", "ramfs"}))
        return dtRAMDisk;
    const bool local = IsOneOf(fsType,
        {"ext2", "ext3", "ext4", "xfs", "btrfs", "f2fs", "zfs", "ntfs", "ntfs3", "exfat", "vfat", "msdos", "fuseblk",
            "jfs", "reiserfs", "hfsplus", "nilfs2", "bcachefs"});
    // A FUSE file system of its own (an encrypted folder, an archive) keeps files like a disk.
    const bool fuse = fsType == "fuse" || StartsWith(fsType, "fuse.");
    if (!local && !fuse)
        return dtUnknown;
    if (removableDisk || StartsWith(mountPoint, "/media/") || StartsWith(mountPoint, "/run/media/"))
        return dtRemovable;
    return dtFixed;
}

std::vector<TMountEntry> TLinuxVolumes::Mounts()
{
    return ReadMounts("/proc/self/mountinfo");
}

std::vector<TMountEntry> ReadMounts(const std::string &mountInfoPath)
{
    return ReadMounts(mountInfoPath, CurrentUserPlaces());
}

std::vector<TMountEntry> ReadMounts(const std::string &mountInfoPath, const TUserPlaces &places)
{
    std::vector<TMountEntry> result;
    TablePtr table = ReadMountTable(mountInfoPath.c_str());
    IterPtr iter(mnt_new_iter(MNT_ITER_FORWARD));
    if (!table || !iter)
        return result;
    // The part of each file system already listed: its device and the folder of it mounted.
    std::vector<std::pair<dev_t, std::string>> listed;
    libmnt_fs *fs = nullptr;
    while (mnt_table_next_fs(table.get(), iter.get(), &fs) == 0) {
        TMountEntry entry;
        entry.MountPoint = Str(mnt_fs_get_target(fs));
        entry.FileSystem = Str(mnt_fs_get_fstype(fs));
        entry.Source = Str(mnt_fs_get_source(fs));
        const dev_t devno = mnt_fs_get_devno(fs);
        const std::string root = Str(mnt_fs_get_root(fs));
        entry.DriveType = ClassifyMount(entry.FileSystem, entry.Source, entry.MountPoint,
            StartsWith(entry.Source, "/dev/") && DiskIsRemovable(devno));
        if (entry.DriveType == dtUnknown || !IsUserVisibleMount(entry.FileSystem, entry.MountPoint, places))
            continue;
        // A bind mount shows again (a part of) what another mount point already shows.
        if (entry.MountPoint != "/" && devno != 0 && std::any_of(listed.begin(), listed.end(), [&](const auto &seen) {
                return seen.first == devno && PathHolds(seen.second, root);
            }))
            continue;
        listed.emplace_back(devno, root);
        // A later mount on the same mount point hides the earlier one.
        bool replaced = false;
        for (auto &existing : result) {
            if (existing.MountPoint == entry.MountPoint) {
                existing = entry;
                replaced = true;
            }
        }
        if (!replaced)
            result.push_back(std::move(entry));
    }
    return result;
}

int TLinuxVolumes::DiskFreeSpace(const std::string &path, std::int64_t &freeForUser, std::int64_t &total)
{
    struct statvfs st
    { };
    if (::statvfs(path.c_str(), &st) != 0)
        return errno;
    freeForUser = static_cast<std::int64_t>(st.f_bavail) * static_cast<std::int64_t>(st.f_frsize);
    total = static_cast<std::int64_t>(st.f_blocks) * static_cast<std::int64_t>(st.f_frsize);
    return 0;
}

int TLinuxVolumes::VolumeInformation(const std::string &path, TVolumeInfo &info)
{
    struct statvfs vst
    { };
    if (::statvfs(path.c_str(), &vst) != 0)
        return errno;
    TablePtr table = ReadMountTable();
    if (!table)
        return ENOENT;
    char resolved[PATH_MAX];
    const char *lookup = ::realpath(path.c_str(), resolved) ? resolved : path.c_str();
    libmnt_fs *fs = mnt_table_find_mountpoint(table.get(), lookup, MNT_ITER_BACKWARD);
    if (!fs)
        return ENOENT;
    info = TVolumeInfo {};
    info.FileSystemName = Str(mnt_fs_get_fstype(fs));
    info.SerialNumber = static_cast<std::uint32_t>(vst.f_fsid);
    const std::string source = Str(mnt_fs_get_source(fs));
    if (StartsWith(source, "/dev/")) {
        // The cache of blkid only reads what udev already probed; no device is opened as root.
        blkid_cache cache = nullptr;
        if (blkid_get_cache(&cache, nullptr) == 0) {
            if (char *label = blkid_get_tag_value(cache, "LABEL", source.c_str())) {
                info.Name = label;
                std::free(label);
            }
            blkid_put_cache(cache);
        }
    }
    return 0;
}

bool TLinuxVolumes::IsVolumeRoot(const std::string &path)
{
    // A bind mount of a folder of the same file system differs from its parent in nothing
    // but the kernel's mount-root attribute.
    struct statx sx
    { };
    if (::statx(AT_FDCWD, path.c_str(), AT_NO_AUTOMOUNT, STATX_TYPE, &sx) == 0 && S_ISDIR(sx.stx_mode)
        && (sx.stx_attributes_mask & sx.stx_attributes & STATX_ATTR_MOUNT_ROOT))
        return true;
    struct stat self
    { };
    struct stat parent
    { };
    if (::stat(path.c_str(), &self) != 0 || !S_ISDIR(self.st_mode))
        return false;
    const std::string up = path + (path.empty() || path.back() != '/' ? "/.." : "..");
    if (::stat(up.c_str(), &parent) != 0)
        return false;
    return self.st_dev != parent.st_dev || self.st_ino == parent.st_ino;
}
