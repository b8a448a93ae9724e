#pragma once

#include "platform/Volumes.h"

struct TUserPlaces;

// Volumes from the kernel mount table (libmount), labels from libblkid.
class TLinuxVolumes final : public IVolumes
{
public:
    std::vector<TMountEntry> Mounts() override;
    int DiskFreeSpace(const std::string &path, std::int64_t &freeForUser, std::int64_t &total) override;
    int VolumeInformation(const std::string &path, TVolumeInfo &info) override;
    bool IsVolumeRoot(const std::string &path) override;
};

// The drive kind of one mount, from its file system type, source device and mount point.
// `removableDisk` tells whether the block device's disk reports itself removable.
TDriveType ClassifyMount(
    const std::string &fsType, const std::string &source, const std::string &mountPoint, bool removableDisk);

// The drives of a mount table in the kernel's mountinfo format: what Mounts() returns for
// /proc/self/mountinfo. Pseudo file systems and the system's own mounts are left out
// (IsUserVisibleMount), judged for the running user or for `places`.
std::vector<TMountEntry> ReadMounts(const std::string &mountInfoPath);
std::vector<TMountEntry> ReadMounts(const std::string &mountInfoPath, const TUserPlaces &places);
