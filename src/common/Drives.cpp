#include "common/Drives.h"

#include "common/TextUtils.h"
#include "common/Translate.h"
#include "log/Logger.h"
#include "platform/Platform.h"

int GetDrives(TDriveTypes types, std::vector<std::string> &list)
{
    return GetDrives(*Platform().Volumes, types, list);
}

int GetDrives(IVolumes &volumes, TDriveTypes types, std::vector<std::string> &list)
{
    for (auto &mount : volumes.Mounts())
        if (types.Contains(mount.DriveType))
            list.push_back(std::move(mount.MountPoint));
    return static_cast<int>(list.size());
}

TVolumeInfo GetVolumeInfo(const std::string &path)
{
    return GetVolumeInfo(Platform(), path);
}

TVolumeInfo GetVolumeInfo(const TPlatform &platform, const std::string &path)
{
    TVolumeInfo info;
    const int err = platform.Volumes->VolumeInformation(AddTrailingBackslash(path), info);
    if (err == 0)
        return info;
    ZU_LOG_DEBUG(path + " - " + platform.System->ErrorMessage(err));
    return {};
}

bool IsDriveRoot(std::string_view text)
{
    if (text.size() < 2 || text.size() > 3)
        return false;
    const char first = text[0];
    const bool letter = (first >= 'A' && first <= 'Z') || (first >= 'a' && first <= 'z');
    return letter && text[1] == ':' && (text.size() == 2 || text[2] == '\\');
}

bool IsVolumeRoot(const std::string &path)
{
    return Platform().Volumes->IsVolumeRoot(path);
}

const std::string &LocalDrivesCaption()
{
    static const std::string caption(_("Local Drives"));
    return caption;
}
