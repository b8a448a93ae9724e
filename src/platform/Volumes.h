#pragma once

#include <cstdint>
#include <string>
#include <vector>

enum TDriveType { dtUnknown = 0, dtRemovable = 1, dtFixed = 2, dtRemote = 3, dtCDROM = 4, dtRAMDisk = 5 };

// One mounted volume of the kernel mount table.
struct TMountEntry
{
    std::string MountPoint; // raw bytes, "/" for the root
    std::string FileSystem; // "ext4", "tmpfs", ...
    std::string Source; // "/dev/sda1", "server:/export", ...
    TDriveType DriveType = dtUnknown;
};

struct TVolumeInfo
{
    char Drive = 0; // left empty
    std::string Name;
    std::uint32_t SerialNumber = 0;
    std::string FileSystemName;
};

// Mounted volumes: the drives of the program.
class IVolumes
{
public:
    virtual ~IVolumes() = default;
    // Mount points in table order, one per mount point, pseudo file systems and duplicate
    // bind mounts left out.
    virtual std::vector<TMountEntry> Mounts() = 0;
    // Free bytes for the calling user and total bytes of the volume holding `path`.
    // Returns 0 or an errno.
    virtual int DiskFreeSpace(const std::string &path, std::int64_t &freeForUser, std::int64_t &total) = 0;
    // Label, serial and file system name of the volume holding `path`. Returns 0 or an errno.
    virtual int VolumeInformation(const std::string &path, TVolumeInfo &info) = 0;
    // True when `path` is the mount point of a volume.
    virtual bool IsVolumeRoot(const std::string &path) = 0;
};
