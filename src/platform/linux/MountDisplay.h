#pragma once

#include <string>

// Where the user's own mounts go: the desktops show what is mounted there.
struct TUserPlaces
{
    std::string UserName; // "anna"
    std::string Home; // "/home/anna"
    bool Root = false; // the program runs as root: every /run/media/<user>/ is its own
};

// The places of the user running the program ($HOME or the password database).
TUserPlaces CurrentUserPlaces();

// Whether a user reads the mount as a drive of the machine. The rules follow the desktops'
// (GIO's system-internal file systems and paths, mounts in dot folders hidden, RAM disks and
// FUSE mounts shown only where users mount their own things), except that "/" and the system's
// disk partitions are drives here: a disk space analyzer is asked about them first.
bool IsUserVisibleMount(const std::string &fsType, const std::string &mountPoint, const TUserPlaces &places);
