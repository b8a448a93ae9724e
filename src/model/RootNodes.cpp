#include <algorithm>
#include <cstddef>
#include <cstring>
#include <new>
#include <unordered_map>
#include <vector>

#include "common/Drives.h"
#include "common/ThreadPriority.h"
#include "common/Translate.h"
#include "log/Logger.h"
#include "model/NodePool.h"
#include "model/Paths.h"
#include "model/TreeTypes.h"
#include "platform/Platform.h"

// The tops of a tree: one analysed folder, or all fixed drives.

// ---- TRootDirNode ----

void TRootDirNode::SetFullPathName(std::string_view value)
{
    SetName(value);
    // Only a drive shows its label; a folder on it is named by its path alone.
    FFileType.store(fstNone, std::memory_order_relaxed);
    if (FileType() == fstDrive) {
        const TVolumeInfo info = GetVolumeInfo(Services(), std::string(value));
        if (!info.Name.empty())
            FVolumeName.Set(info.Name);
    }
    UpdateFreeDiskSize();
}

void TRootDirNode::Clear()
{
    TDirNode::Clear();
    FVolumeName.Set({});
    FFileType.store(fstNone, std::memory_order_relaxed);
}

TFileType TRootDirNode::FileType() const
{
    auto type = static_cast<TFileType>(FFileType.load(std::memory_order_relaxed));
    if (type != fstNone)
        return type;
    const std::string name(Name());
    // On Linux the drives are the mount points of volumes.
    const bool drive
        = IsDriveRoot(name) || (!name.empty() && name[0] == PathDelim && Services().Volumes->IsVolumeRoot(name));
    type = drive ? fstDrive : fstDirectory;
    FFileType.store(type, std::memory_order_relaxed);
    return type;
}

std::string TRootDirNode::GetDisplayName() const
{
    const std::string_view volume = VolumeName();
    if (volume.empty())
        return std::string(Name());
    return std::string(volume) + " (" + std::string(Name()) + ")";
}

void TRootDirNode::RecalcSizeAndFileCount()
{
    TDirNode::RecalcSizeAndFileCount();
    UpdateFreeDiskSize();
}

void TRootDirNode::UpdateFreeDiskSize()
{
    // Any path names a volume here ("/" is a single character).
    const std::string name(Name());
    if (name.empty())
        return;
    std::int64_t freeBytes = 0;
    std::int64_t total = 0;
    if (Services().Volumes->DiskFreeSpace(name, freeBytes, total) == 0)
        FFreeDiskSize.store(freeBytes, std::memory_order_relaxed);
}

// ---- TFixedDrivesNode ----

TFixedDrivesNode::TFixedDrivesNode()
{
    PopulateDrives();
}

TFixedDrivesNode::TFixedDrivesNode(const TPlatform &platform)
    : TRootNode(platform)
{
    PopulateDrives();
}

std::string TFixedDrivesNode::GetDisplayName() const
{
    return LocalDrivesCaption();
}

void TFixedDrivesNode::Clear()
{
    TDirNode::Clear();
}

std::int32_t TFixedDrivesNode::PopulateDrives()
{
    if (IsFilesScanned())
        return -1;
    std::vector<std::string> drives;
    GetDrives(*Services().Volumes, {dtFixed}, drives);
    for (const std::string &mountPoint : drives) {
        auto drive = std::make_unique<TRootDirNode>(Services());
        drive->SetName(mountPoint);
        AddChildNode(std::move(drive));
    }
    SetFilesScanned(true);
    return static_cast<std::int32_t>(drives.size());
}
