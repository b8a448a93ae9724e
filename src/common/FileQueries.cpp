#include "common/FileQueries.h"

#include <atomic>
#include <cerrno>
#include <ctime>

#include <fnmatch.h>
#include <sys/stat.h>

#include "common/TextUtils.h"
#include "platform/Platform.h"

namespace {

constexpr double SecondsPerDay = 86400.0;
constexpr double UnixEpochDay = 25569.0; // 1970-01-01 as days since 1899-12-30

bool HasWildcard(std::string_view name)
{
    return name.find_first_of("*?[") != std::string_view::npos;
}

} // namespace

double LocalDateTimeOf(std::int64_t seconds, std::uint32_t nanoseconds)
{
    const auto t = static_cast<time_t>(seconds);
    tm local {};
    const long offset = localtime_r(&t, &local) ? local.tm_gmtoff : 0;
    return UnixEpochDay + (static_cast<double>(seconds) + static_cast<double>(offset)) / SecondsPerDay
        + static_cast<double>(nanoseconds) / 1e9 / SecondsPerDay;
}

double FileTimestamp(const std::string &path)
{
    struct stat st
    { };
    if (path.empty() || ::lstat(path.c_str(), &st) != 0)
        return -1;
    return LocalDateTimeOf(st.st_mtim.tv_sec, static_cast<std::uint32_t>(st.st_mtim.tv_nsec));
}

int ForEachEntry(const std::string &pattern, const std::function<void(const TEntryRecord &)> &callback)
{
    return ForEachEntry(*Platform().Lister, pattern, callback);
}

int ForEachEntry(
    IDirLister &lister, const std::string &pattern, const std::function<void(const TEntryRecord &)> &callback)
{
    std::string folder = pattern;
    std::string namePattern;
    if (const auto slash = pattern.rfind(PathDelim); slash != std::string::npos) {
        const std::string_view last = std::string_view(pattern).substr(slash + 1);
        if (HasWildcard(last)) {
            namePattern = std::string(last);
            folder = slash == 0 ? std::string(1, PathDelim) : pattern.substr(0, slash);
        }
    } else if (HasWildcard(pattern)) {
        namePattern = pattern;
        folder = ".";
    }
    if (namePattern == "*.*")
        namePattern.clear();

    int err = 0;
    const auto handle = lister.Open(folder, err);
    if (!handle)
        return err != 0 ? err : ENOENT;
    TDirListing listing;
    const std::atomic<bool> stop {false};
    err = handle->ReadAll(listing, stop);
    for (const auto &entry : listing.Entries) {
        const std::string_view name = listing.Name(entry);
        if (name == "." || name == "..")
            continue;
        if (!namePattern.empty() && ::fnmatch(namePattern.c_str(), std::string(name).c_str(), 0) != 0)
            continue;
        callback({name, entry.Attributes, entry.Size, entry.Timestamp});
    }
    return err;
}

std::string SpecialFolder(TSpecialFolder folder)
{
    return SpecialFolder(*Platform().System, folder);
}

std::string SpecialFolder(ISystem &system, TSpecialFolder folder)
{
    return AddTrailingBackslash(system.SpecialFolder(folder));
}

std::string DocumentsFolder()
{
    return SpecialFolder(TSpecialFolder::Documents);
}

std::string AppDataFolder()
{
    return SpecialFolder(TSpecialFolder::AppData);
}
