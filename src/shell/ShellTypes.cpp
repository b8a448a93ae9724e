#include "shell/ShellTypes.h"

#include <algorithm>
#include <random>

#include <QStringList>

#include "common/Drives.h"
#include "common/FileQueries.h"
#include "model/Paths.h"
#include "platform/Platform.h"
#include "shell/SysImageList.h"

namespace {

int SpecialFolderIconIndex(TSpecialFolder folder)
{
    const char *name = "folder";
    switch (folder) {
    case TSpecialFolder::Home:
        name = "user-home";
        break;
    case TSpecialFolder::Desktop:
        name = "user-desktop";
        break;
    case TSpecialFolder::Documents:
        name = "folder-documents";
        break;
    case TSpecialFolder::Pictures:
        name = "folder-pictures";
        break;
    case TSpecialFolder::Music:
        name = "folder-music";
        break;
    case TSpecialFolder::Videos:
        name = "folder-videos";
        break;
    case TSpecialFolder::Downloads:
        name = "folder-download";
        break;
    case TSpecialFolder::AppData:
        break;
    }
    return TSysImageList::Instance().IndexOfNames({QString::fromLatin1(name), QStringLiteral("folder")});
}

std::int32_t RandomUniqueId()
{
    static std::mutex lock;
    static std::mt19937 engine {std::random_device {}()};
    std::scoped_lock guard(lock);
    return std::uniform_int_distribution<std::int32_t>(0, 2147483646)(engine);
}

} // namespace

int DriveIconIndex(TDriveType type)
{
    const char *name = "drive-harddisk";
    switch (type) {
    case dtRemovable:
        name = "drive-removable-media";
        break;
    case dtCDROM:
        name = "media-optical";
        break;
    case dtRemote:
        name = "folder-remote";
        break;
    default:
        break;
    }
    return TSysImageList::Instance().IndexOfNames({QString::fromLatin1(name), QStringLiteral("drive-harddisk")});
}

TShellFolderList::TShellFolderList()
{
    FDefaultFolders[0].IconIndex = FolderIconIndex(false);
    FDefaultFolders[1].IconIndex = FolderIconIndex(true);
}

int TShellFolderList::GetSysIconIndex(const std::string &path) const
{
    const std::string key = IncludeTrailingPathDelimiter(path);
    for (const TShellFolder &folder : FList)
        if (SamePath(folder.Path(), key))
            return folder.IconIndex();
    return -1;
}

void TShellFolderList::Initialize(
    const std::vector<std::string> &pathItems, const std::vector<TSpecialFolder> &specialFolders)
{
    FList.clear();
    std::vector<TMountEntry> mounts;
    try {
        mounts = Platform().Volumes->Mounts();
    } catch (const std::exception &) {
        // Without a mount table every drive gets the hard disk icon.
    }
    for (const std::string &path : pathItems) {
        TDriveType type = dtFixed;
        for (const TMountEntry &m : mounts)
            if (SamePath(m.MountPoint, path))
                type = m.DriveType;
        FList.emplace_back(-1, IncludeTrailingPathDelimiter(path), DriveIconIndex(type));
    }
    for (const TSpecialFolder folder : specialFolders) {
        const std::string path = SpecialFolder(folder);
        if (path.empty())
            continue;
        FList.emplace_back(
            static_cast<int>(folder), IncludeTrailingPathDelimiter(path), SpecialFolderIconIndex(folder));
    }
    if (OnPopulate)
        OnPopulate();
}

int TShellDriveList::RefreshDrives()
{
    FList.clear();
    std::vector<TMountEntry> mounts;
    try {
        mounts = Platform().Volumes->Mounts();
    } catch (const std::exception &) {
        return 0;
    }
    for (const TMountEntry &m : mounts) {
        if (m.DriveType == dtUnknown)
            continue;
        TShellDrive drive;
        drive.Path = m.MountPoint;
        // Network file systems carry no label, and asking a dead server would hang the window.
        const TVolumeInfo info = m.DriveType == dtRemote ? TVolumeInfo {} : GetVolumeInfo(m.MountPoint);
        drive.DisplayName
            = info.Name.empty() ? std::string(LastPathComponent(m.MountPoint)) : info.Name + " (" + m.MountPoint + ")";
        switch (m.DriveType) {
        case dtRemovable:
        case dtCDROM:
            drive.DriveType = dtRemovable;
            break;
        case dtFixed:
        case dtRemote:
        case dtRAMDisk:
            drive.DriveType = dtFixed;
            break;
        default:
            drive.DriveType = dtUnknown;
        }
        FList.push_back(std::move(drive));
    }
    return Count();
}

int TShellDriveList::IndexOf(const std::string &path) const
{
    for (std::size_t i = 0; i < FList.size(); ++i)
        if (SamePath(FList[i].Path, path))
            return static_cast<int>(i);
    return -1;
}

TSHGetFileInfoProperties::TSHGetFileInfoProperties(std::string path)
    : FPath(std::move(path))
    , FUniqueID(RandomUniqueId())
    , FTimeStamp(TClock::now())
{ }

void TSHGetFileInfoProperties::Assign(const TSHGetFileInfoProperties &source)
{
    FPath = source.FPath;
    FUniqueID = source.FUniqueID;
    FSysIconIndex = source.FSysIconIndex;
}

void TSHGetFileInfoPropertiesList::Add(std::unique_ptr<TSHGetFileInfoProperties> item)
{
    std::scoped_lock guard(FLock);
    FList.push_back(std::move(item));
}

void TSHGetFileInfoPropertiesList::Clear()
{
    std::scoped_lock guard(FLock);
    FList.clear();
}

int TSHGetFileInfoPropertiesList::Count() const
{
    std::scoped_lock guard(FLock);
    return static_cast<int>(FList.size());
}

void TSHGetFileInfoPropertiesList::LinkSysIconWithPath(std::int32_t uniqueId, std::int32_t sysIconIndex)
{
    std::scoped_lock guard(FLock);
    for (auto &item : FList)
        if (item->UniqueID() == uniqueId) {
            item->SetSysIconIndex(sysIconIndex);
            return;
        }
}

std::int32_t TSHGetFileInfoPropertiesList::PopSysIconIndex(const std::string &path)
{
    std::scoped_lock guard(FLock);
    for (auto it = FList.begin(); it != FList.end(); ++it) {
        if ((*it)->Path() != path)
            continue;
        const std::int32_t index = (*it)->SysIconIndex();
        if (index < 0)
            return -1;
        FList.erase(it);
        return index;
    }
    return -2;
}

int TSHGetFileInfoPropertiesList::RemoveOutdatedItems(TSHGetFileInfoProperties::TClock::time_point refTime)
{
    std::scoped_lock guard(FLock);
    const auto before = FList.size();
    std::erase_if(FList, [&](const auto &item) { return item->Timestamp() < refTime; });
    return static_cast<int>(before - FList.size());
}

TShellFileIconThread::TShellFileIconThread(TPost post)
    : FPost(std::move(post))
    , FThread([this] { Execute(); })
{ }

TShellFileIconThread::~TShellFileIconThread()
{
    {
        std::scoped_lock guard(FLock);
        FTerminated = true;
    }
    FWake.notify_all();
    FThread.join();
}

void TShellFileIconThread::Push(std::unique_ptr<TSHGetFileInfoProperties> request)
{
    {
        std::scoped_lock guard(FLock);
        FFileInfoStack.push_back(std::move(request));
    }
    FWake.notify_one();
}

void TShellFileIconThread::Execute()
{
    for (;;) {
        std::unique_ptr<TSHGetFileInfoProperties> request;
        {
            std::unique_lock guard(FLock);
            // The predicate is checked under the lock, so a push just before waiting is seen.
            FWake.wait(guard, [this] { return FTerminated || !FFileInfoStack.empty(); });
            if (FTerminated)
                return;
            request = std::move(FFileInfoStack.back());
            FFileInfoStack.pop_back();
        }
        const int index = FileIconIndexOfName(LastPathComponent(request->Path()));
        if (index >= 0 && FPost)
            FPost(request->UniqueID(), index);
    }
}
