#pragma once

#include <map>
#include <mutex>

#include "platform/Volumes.h"

// Mounted volumes for tests: a settable mount table, and free space, volume information and
// errors per path. A path is answered by its own settings, else by those of the longest
// mount point that holds it. Trailing delimiters do not matter. Any thread.
class TFakeVolumes final : public IVolumes
{
public:
    void SetMounts(std::vector<TMountEntry> mounts);
    void AddMount(const std::string &mountPoint, TDriveType type, const std::string &fileSystem = "ext4",
        const std::string &source = "/dev/fake");
    void SetDiskFreeSpace(const std::string &path, std::int64_t freeForUser, std::int64_t total);
    void SetVolumeInfo(const std::string &path, const TVolumeInfo &info);
    // DiskFreeSpace and VolumeInformation for that path fail with `err` (0 clears).
    void SetError(const std::string &path, int err);
    // The paths VolumeInformation was asked for, as passed.
    [[nodiscard]] std::vector<std::string> VolumeInfoRequests() const;

    std::vector<TMountEntry> Mounts() override;
    int DiskFreeSpace(const std::string &path, std::int64_t &freeForUser, std::int64_t &total) override;
    int VolumeInformation(const std::string &path, TVolumeInfo &info) override;
    bool IsVolumeRoot(const std::string &path) override;

private:
    struct TPathState
    {
        bool HasSpace = false;
        std::int64_t Free = 0;
        std::int64_t Total = 0;
        bool HasInfo = false;
        TVolumeInfo Info;
        int Error = 0;
    };
    // The settings that answer for `path`, or null. FLock held.
    const TPathState *Lookup(const std::string &path) const;

    mutable std::mutex FLock;
    std::vector<TMountEntry> FMounts;
    std::map<std::string, TPathState> FStates;
    std::vector<std::string> FVolumeInfoRequests;
};
