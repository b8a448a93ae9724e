#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "platform/DirLister.h"
#include "platform/System.h"

// One entry handed to ForEachEntry's callback; the name is valid during the call only.
struct TEntryRecord
{
    std::string_view Name;
    std::uint16_t Attributes = 0; // FileAttr bits
    std::int64_t Size = 0;
    double Timestamp = 0; // local last-write time, days since 1899-12-30

    [[nodiscard]] bool IsDirectory() const { return (Attributes & FileAttr::Directory) != 0; }
};

// The local last-write time of the directory entry `path` names (a link itself, not its
// target) as days since 1899-12-30, or -1 when there is no such entry. Any thread.
[[nodiscard]] double FileTimestamp(const std::string &path);

// Local date-time (days since 1899-12-30) of a time in seconds and nanoseconds since the epoch.
[[nodiscard]] double LocalDateTimeOf(std::int64_t seconds, std::uint32_t nanoseconds);

// Calls `callback` for every entry of a folder, "." and ".." excluded, in the order the file
// system returns them, through the installed directory lister. `pattern` is a folder path,
// or a folder path and "/" followed by a shell wildcard pattern on the names ("*", "?", "[")
// such as "/usr/share/skins/*.png"; "*.*" matches every name, as it does in the design's
// callers. Returns 0, or the errno that kept the folder from being opened or read entirely
// (entries read before a read error have been passed on). Any thread.
int ForEachEntry(const std::string &pattern, const std::function<void(const TEntryRecord &)> &callback);
// The same through `lister`.
int ForEachEntry(
    IDirLister &lister, const std::string &pattern, const std::function<void(const TEntryRecord &)> &callback);

// A special folder's path with a trailing delimiter, or empty when the system has none.
[[nodiscard]] std::string SpecialFolder(TSpecialFolder folder);
[[nodiscard]] std::string SpecialFolder(ISystem &system, TSpecialFolder folder);
// The user's documents folder and configuration folder, each with a trailing delimiter.
[[nodiscard]] std::string DocumentsFolder();
[[nodiscard]] std::string AppDataFolder();
