#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// Moving files to the freedesktop Trash, deleting them for good, and putting trashed items
// back. Plain file system work: any thread, no user interface. Callers show progress and
// offer Cancel through TFileOpProgress.

// Told about every removed entry (files and folders alike, `path` being its full path);
// returning false cancels the operation at the next entry.
using TFileOpProgress = std::function<bool(const std::string &path)>;

struct TFileOpFailure
{
    std::string Path;
    int Code = 0; // errno
    std::string Note; // says more than the system's message for the code, when set
};

// One item moved to the Trash.
struct TTrashedItem
{
    std::string OriginalPath;
    std::string TrashPath; // the item inside <trash>/files
};

struct TFileOpResult
{
    // 0, or the errno of the first failure (FileOperationErrorText gives its text).
    int Code = 0;
    // The user cancelled before everything was done.
    bool Aborted = false;
    std::vector<TFileOpFailure> Failures;
    // Selected paths that are entirely gone (in the Trash or deleted).
    std::vector<std::string> Removed;
    // Selected paths of which only a part is gone.
    std::vector<std::string> Partial;
    std::vector<TTrashedItem> Trashed;

    // "path: message" lines of the failures, at most `limit` of them and a count of the rest.
    [[nodiscard]] std::string FailureText(std::size_t limit = 10) const;
};

// Removes each path with everything below it. Symbolic links are removed, never followed;
// folders are walked through descriptors (openat/unlinkat) and checked to be the folder that
// was examined, so a folder replaced by a link while the walk runs costs nothing outside
// the selection; folders on another file system (mount points) are left with their contents
// and reported (EXDEV). A folder of the user's own that lacks write or search permission gets
// them, as `rm -r` does for write-protected entries. Failures are collected and the rest goes
// on.
TFileOpResult DeletePermanently(const std::vector<std::string> &paths, const TFileOpProgress &progress = {});

// Moves each path to the Trash of the user (or of its volume, .Trash-UID), writing the
// .trashinfo with the original path and the time of deletion.
TFileOpResult MoveToTrash(const std::vector<std::string> &paths, const TFileOpProgress &progress = {});

// Puts a trashed item back where its .trashinfo says it came from and removes the
// .trashinfo. Returns 0 or an errno (EEXIST when something took its place meanwhile, ENOENT
// when the item left the Trash). `restoredTo` receives the path it went to.
int RestoreFromTrash(const std::string &trashPath, std::string *restoredTo = nullptr);

// The .trashinfo file that belongs to an item inside <trash>/files.
[[nodiscard]] std::string TrashInfoPathOf(const std::string &trashPath);

// The original path recorded in a .trashinfo (decoded, absolute); empty when the file cannot be
// read or holds none.
[[nodiscard]] std::string ReadTrashInfoPath(const std::string &trashInfoFile);
