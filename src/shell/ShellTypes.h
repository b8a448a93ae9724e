#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/System.h"
#include "platform/Volumes.h"

// Drives, special folders and file icons of the desktop, as indices into TSysImageList.

struct TShellFolderIcon
{
    int IconIndex = -1;
};

// A drive root or special folder with its icon.
class TShellFolder
{
public:
    TShellFolder(int specialFolder, std::string path, int iconIndex)
        : FCSIDL(specialFolder)
        , FPath(std::move(path))
        , FIconIndex(iconIndex)
    { }
    // The special folder (a TSpecialFolder value), or -1 for a plain path.
    [[nodiscard]] int CSIDL() const { return FCSIDL; }
    // With a trailing delimiter.
    [[nodiscard]] const std::string &Path() const { return FPath; }
    [[nodiscard]] int IconIndex() const { return FIconIndex; }
    void SetIconIndex(int index) { FIconIndex = index; }

private:
    int FCSIDL;
    std::string FPath;
    int FIconIndex;
};

// Drive roots and special folders with their icons, plus the generic folder icons.
class TShellFolderList
{
public:
    TShellFolderList();
    [[nodiscard]] int Count() const { return static_cast<int>(FList.size()); }
    // Throws std::out_of_range for a bad index.
    [[nodiscard]] const TShellFolder &Items(int index) const { return FList.at(static_cast<std::size_t>(index)); }
    void Clear() { FList.clear(); }
    void Add(TShellFolder folder) { FList.push_back(std::move(folder)); }

    [[nodiscard]] TShellFolderIcon GetClosedFolderIcon() const { return FDefaultFolders[0]; }
    [[nodiscard]] TShellFolderIcon GetOpenFolderIcon() const { return FDefaultFolders[1]; }
    // The icon of the entry whose path equals `path` (a trailing delimiter added), or -1.
    [[nodiscard]] int GetSysIconIndex(const std::string &path) const;
    // Fills the list with the drive roots, then the special folders that exist, and calls
    // OnPopulate. Looking icons up by name costs no disk access here, so it runs at once.
    void Initialize(const std::vector<std::string> &pathItems, const std::vector<TSpecialFolder> &specialFolders);

    std::function<void()> OnPopulate;

private:
    std::vector<TShellFolder> FList;
    TShellFolderIcon FDefaultFolders[2];
};

// The icon theme name of a drive of that type.
[[nodiscard]] int DriveIconIndex(TDriveType type);

class TShellDrive
{
public:
    std::string Path; // the mount point
    std::string DisplayName;
    TDriveType DriveType = dtUnknown; // dtRemovable, dtFixed or dtUnknown
};

// The mounted drives a user would open, in mount table order.
class TShellDriveList
{
public:
    int RefreshDrives();
    [[nodiscard]] int Count() const { return static_cast<int>(FList.size()); }
    [[nodiscard]] const TShellDrive &Items(int index) const { return FList.at(static_cast<std::size_t>(index)); }
    [[nodiscard]] int IndexOf(const std::string &path) const;

private:
    std::vector<TShellDrive> FList;
};

// One file icon request.
class TSHGetFileInfoProperties
{
public:
    using TClock = std::chrono::steady_clock;
    explicit TSHGetFileInfoProperties(std::string path);
    // A copy with the same identity but its own creation time.
    void Assign(const TSHGetFileInfoProperties &source);

    [[nodiscard]] const std::string &Path() const { return FPath; }
    [[nodiscard]] std::int32_t UniqueID() const { return FUniqueID; }
    [[nodiscard]] std::int32_t SysIconIndex() const { return FSysIconIndex; }
    void SetSysIconIndex(std::int32_t index) { FSysIconIndex = index; }
    [[nodiscard]] TClock::time_point Timestamp() const { return FTimeStamp; }
    void SetTimestamp(TClock::time_point t) { FTimeStamp = t; }

private:
    std::string FPath;
    std::int32_t FUniqueID;
    std::int32_t FSysIconIndex = -1;
    TClock::time_point FTimeStamp;
};

// The icons resolved by the icon thread until the tree picks them up. Every operation holds
// the list's lock.
class TSHGetFileInfoPropertiesList
{
public:
    void Add(std::unique_ptr<TSHGetFileInfoProperties> item);
    void Clear();
    [[nodiscard]] int Count() const;
    void LinkSysIconWithPath(std::int32_t uniqueId, std::int32_t sysIconIndex);
    // -2: no request for the path; -1: still pending (kept); else the index (entry removed).
    std::int32_t PopSysIconIndex(const std::string &path);
    // Drops entries created before `refTime`; returns how many.
    int RemoveOutdatedItems(TSHGetFileInfoProperties::TClock::time_point refTime);

private:
    mutable std::mutex FLock;
    std::vector<std::unique_ptr<TSHGetFileInfoProperties>> FList;
};

// Resolves file icons on a thread of its own, newest request first, and reports each result
// through `post` (called on the worker; it must hand the result to the window thread).
class TShellFileIconThread
{
public:
    using TPost = std::function<void(std::int32_t uniqueId, std::int32_t sysIconIndex)>;
    explicit TShellFileIconThread(TPost post);
    // Asks the worker to end and waits for it.
    ~TShellFileIconThread();
    TShellFileIconThread(const TShellFileIconThread &) = delete;
    TShellFileIconThread &operator=(const TShellFileIconThread &) = delete;

    void Push(std::unique_ptr<TSHGetFileInfoProperties> request);

private:
    void Execute();

    TPost FPost;
    std::mutex FLock;
    std::condition_variable FWake;
    std::vector<std::unique_ptr<TSHGetFileInfoProperties>> FFileInfoStack;
    bool FTerminated = false;
    std::thread FThread;
};
