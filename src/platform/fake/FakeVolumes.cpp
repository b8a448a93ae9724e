#include "platform/fake/FakeVolumes.h"

#include <cerrno>

#include "platform/Platform.h"

namespace {

std::string Normalized(std::string path)
{
    while (path.size() > 1 && path.back() == PathDelim)
        path.pop_back();
    return path;
}

bool Holds(const std::string &mountPoint, const std::string &path)
{
    if (mountPoint == path)
        return true;
    const std::string prefix = mountPoint == "/" ? mountPoint : mountPoint + PathDelim;
    return path.compare(0, prefix.size(), prefix) == 0;
}

} // namespace

void TFakeVolumes::SetMounts(std::vector<TMountEntry> mounts)
{
    std::scoped_lock guard(FLock);
    FMounts = std::move(mounts);
}

void TFakeVolumes::AddMount(
    const std::string &mountPoint, TDriveType type, const std::string &fileSystem, const std::string &source)
{
    std::scoped_lock guard(FLock);
    FMounts.push_back({mountPoint, fileSystem, source, type});
}

void TFakeVolumes::SetDiskFreeSpace(const std::string &path, std::int64_t freeForUser, std::int64_t total)
{
    std::scoped_lock guard(FLock);
    TPathState &state = FStates[Normalized(path)];
    state.HasSpace = true;
    state.Free = freeForUser;
    state.Total = total;
}

void TFakeVolumes::SetVolumeInfo(const std::string &path, const TVolumeInfo &info)
{
    std::scoped_lock guard(FLock);
    TPathState &state = FStates[Normalized(path)];
    state.HasInfo = true;
    state.Info = info;
}

void TFakeVolumes::SetError(const std::string &path, int err)
{
    std::scoped_lock guard(FLock);
    FStates[Normalized(path)].Error = err;
}

std::vector<std::string> TFakeVolumes::VolumeInfoRequests() const
{
    std::scoped_lock guard(FLock);
    return FVolumeInfoRequests;
}

const TFakeVolumes::TPathState *TFakeVolumes::Lookup(const std::string &path) const
{
    const std::string key = Normalized(path);
    if (const auto it = FStates.find(key); it != FStates.end())
        return &it->second;
    const TMountEntry *best = nullptr;
    for (const auto &mount : FMounts) {
        const std::string point = Normalized(mount.MountPoint);
        if (Holds(point, key) && (!best || point.size() > Normalized(best->MountPoint).size()))
            best = &mount;
    }
    if (!best)
        return nullptr;
    const auto it = FStates.find(Normalized(best->MountPoint));
    return it == FStates.end() ? nullptr : &it->second;
}

std::vector<TMountEntry> TFakeVolumes::Mounts()
{
    std::scoped_lock guard(FLock);
    return FMounts;
}

int TFakeVolumes::DiskFreeSpace(const std::string &path, std::int64_t &freeForUser, std::int64_t &total)
{
    std::scoped_lock guard(FLock);
    const TPathState *state = Lookup(path);
    if (state && state->Error != 0)
        return state->Error;
    if (!state || !state->HasSpace)
        return ENOENT;
    freeForUser = state->Free;
    total = state->Total;
    return 0;
}

int TFakeVolumes::VolumeInformation(const std::string &path, TVolumeInfo &info)
{
    std::scoped_lock guard(FLock);
    FVolumeInfoRequests.push_back(path);
    const TPathState *state = Lookup(path);
    if (state && state->Error != 0)
        return state->Error;
    if (!state || !state->HasInfo)
        return ENOENT;
    info = state->Info;
    return 0;
}

bool TFakeVolumes::IsVolumeRoot(const std::string &path)
{
    std::scoped_lock guard(FLock);
    const std::string key = Normalized(path);
    for (const auto &mount : FMounts)
        if (Normalized(mount.MountPoint) == key)
            return true;
    return false;
}
