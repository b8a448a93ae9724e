#include "platform/linux/MountDisplay.h"

#include <cstdlib>
#include <initializer_list>
#include <string_view>
#include <vector>

#include <pwd.h>
#include <unistd.h>

namespace {

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

// True when `path` lies strictly below the folder `folder` ("/run" holds "/run/x", not "/run").
bool IsBelow(std::string_view path, std::string_view folder)
{
    while (!folder.empty() && folder.back() == '/')
        folder.remove_suffix(1);
    return !folder.empty() && path.size() > folder.size() + 1 && StartsWith(path, folder) && path[folder.size()] == '/';
}

// File systems of the kernel and the desktop's services: never a place to keep files.
bool IsSystemFileSystem(std::string_view fsType)
{
    return IsOneOf(fsType,
        {"autofs", "binfmt_misc", "bpf", "cgroup", "cgroup2", "configfs", "debugfs", "devpts", "devtmpfs", "efivarfs",
            "fusectl", "hugetlbfs", "mqueue", "nsfs", "proc", "pstore", "rpc_pipefs", "securityfs", "selinuxfs",
            "sysfs", "tracefs", "nfsd", "rootfs", "ramfs", "overlay", "aufs", "squashfs", "erofs", "fuse.gvfsd-fuse",
            "fuse.portal", "fuse.xdg-document-portal", "fuse.lxcfs", "fuse.snapfuse", "fuse.squashfuse",
            "fuse.appimagefuse"});
}

// The folders where the desktop mounts the user's media and the user mounts things of their own.
// /mnt is not one of them: it is the administrator's, and sandboxes mount their RAM disks there.
bool IsUserPlace(std::string_view mountPoint, const TUserPlaces &places)
{
    if (IsBelow(mountPoint, "/media"))
        return true;
    if (IsBelow(mountPoint, "/run/media"))
        return places.Root || (!places.UserName.empty() && IsBelow(mountPoint, "/run/media/" + places.UserName));
    return !places.Home.empty() && places.Home != "/" && IsBelow(mountPoint, places.Home);
}

} // namespace

TUserPlaces CurrentUserPlaces()
{
    TUserPlaces places;
    places.Root = ::getuid() == 0;
    const passwd *pw = ::getpwuid(::getuid());
    if (pw && pw->pw_name)
        places.UserName = pw->pw_name;
    if (const char *home = std::getenv("HOME"); home && *home)
        places.Home = home;
    else if (pw && pw->pw_dir)
        places.Home = pw->pw_dir;
    return places;
}

bool IsUserVisibleMount(const std::string &fsType, const std::string &mountPoint, const TUserPlaces &places)
{
    if (mountPoint == "/")
        return true;
    // A mount in a dot folder is hidden on purpose (container layers, caches, portals).
    if (mountPoint.find("/.") != std::string::npos)
        return false;
    if (IsSystemFileSystem(fsType))
        return false;
    // The kernel's and the services' trees; removable media under /run/media are the exception.
    for (const char *system : {"/proc", "/sys", "/dev", "/run", "/snap", "/var/lib/snapd", "/var/run"})
        if (mountPoint == system || IsBelow(mountPoint, system))
            return IsUserPlace(mountPoint, places);
    // RAM disks and FUSE mounts are the system's own (sandboxes, /tmp, /dev/shm) unless the user
    // put them where the user's own mounts go.
    const bool fuse = fsType == "fuse" || StartsWith(fsType, "fuse.");
    if (fsType == "tmpfs" || fuse)
        return IsUserPlace(mountPoint, places);
    return true;
}
