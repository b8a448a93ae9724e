#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Volumes.h"

// A set of drive types.
class TDriveTypes
{
public:
    constexpr TDriveTypes() = default;
    constexpr TDriveTypes(std::initializer_list<TDriveType> types)
    {
        for (const TDriveType type : types)
            FBits |= Bit(type);
    }
    [[nodiscard]] constexpr bool Contains(TDriveType type) const { return (FBits & Bit(type)) != 0; }

    // Every type a user would open: all but dtUnknown.
    static constexpr TDriveTypes AllKnown() { return {dtRemovable, dtFixed, dtRemote, dtCDROM, dtRAMDisk}; }

private:
    static constexpr std::uint32_t Bit(TDriveType type) { return std::uint32_t {1} << static_cast<unsigned>(type); }
    std::uint32_t FBits = 0;
};

// Appends the mount points (no trailing delimiter except for "/") of the mounted volumes whose
// type is in `types`, in mount table order, and returns the list's new count. Any thread.
int GetDrives(TDriveTypes types, std::vector<std::string> &list);
int GetDrives(IVolumes &volumes, TDriveTypes types, std::vector<std::string> &list);

// Label, serial number and file system name of the volume holding `path`. When the platform
// cannot tell, the record is empty and a debug line "<path> - <system message>" is logged.
// Any thread.
[[nodiscard]] TVolumeInfo GetVolumeInfo(const std::string &path);
struct TPlatform;
[[nodiscard]] TVolumeInfo GetVolumeInfo(const TPlatform &platform, const std::string &path);

// The Windows notation of a drive root: a letter, ":" and an optional "\" ("c:", "C:\").
// A plain text rule; see IsVolumeRoot for the mount points of this system.
[[nodiscard]] bool IsDriveRoot(std::string_view text);
// True when `path` is the mount point of a volume (asks the platform).
[[nodiscard]] bool IsVolumeRoot(const std::string &path);

// The translated "Local Drives", translated on first use and kept for the rest of the run.
[[nodiscard]] const std::string &LocalDrivesCaption();
