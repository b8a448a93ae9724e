#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "shell/FileTarget.h"

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

// One item moved to the Trash, with what putting it back checks.
struct TTrashedItem
{
    std::string OriginalPath;
    std::string TrashPath; // the item inside <trash>/files
    std::string TrashFolder; // <trash>, holding files/ and info/
    TDiskIdentity TrashIdentity; // of <trash>
    TDiskIdentity Identity; // of the item as it went
    TDiskIdentity ParentIdentity; // of the folder it left
    TFileTarget Origin; // the way to where it came from
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

// Removes each target with everything below it, resolved from its root downwards (see
// ResolveTarget): a target that is not what was confirmed, or whose way there changed, is
// left alone and reported with a note that says what changed. Symbolic links are removed,
// never followed; folders are walked through descriptors (openat/unlinkat) and checked to be
// the folder that was examined, so a folder replaced by a link while the walk runs costs
// nothing outside the selection; folders on another file system (mount points) are left with
// their contents and reported (EXDEV). A folder of the user's own that lacks write or search
// permission gets them, as `rm -r` does for write-protected entries. Failures are collected
// and the rest goes on.
TFileOpResult DeletePermanently(const std::vector<TFileTarget> &targets, const TFileOpProgress &progress = {});
// The same for paths as they are on disk now (each parent folder taken as it stands).
TFileOpResult DeletePermanently(const std::vector<std::string> &paths, const TFileOpProgress &progress = {});

// The targets that are no longer what was confirmed (resolved as DeletePermanently does),
// each with a note that says what changed; empty when all are as confirmed.
[[nodiscard]] std::vector<TFileOpFailure> ChangedTargets(const std::vector<TFileTarget> &targets);

// Moves each target, resolved as for DeletePermanently, into the Trash of the user (when it is
// on the same volume) or of its volume (.Trash/UID, .Trash-UID): renamed relative to the
// folders' descriptors, the .trashinfo (original path, time of deletion) created exclusively
// first, never through a link.
TFileOpResult MoveToTrash(const std::vector<TFileTarget> &targets, const TFileOpProgress &progress = {});
TFileOpResult MoveToTrash(const std::vector<std::string> &paths, const TFileOpProgress &progress = {});

// Puts a trashed item back where it came from and removes its .trashinfo. The way back is
// opened from the origin's root downwards, never through a link; missing folders are made
// (private to the user); a folder on the way that is not the recorded one must be the user's
// own. Returns 0 or an errno (EEXIST when something took its place meanwhile, ENOENT when the
// item left the Trash, ESTALE when the Trash holds another item by that name, EACCES for a
// folder that changed hands; `note` then says so). `restoredTo` receives the path it went to.
int RestoreFromTrash(const TTrashedItem &item, std::string *restoredTo = nullptr, std::string *note = nullptr);
// The same for an item of the Trash by its path, going where its .trashinfo says it came from;
// without records of the way, each folder there must be the user's own or the system's.
int RestoreFromTrash(const std::string &trashPath, std::string *restoredTo = nullptr);

// Runs, when set, between the resolution of a target and the action on it (tests put a swap
// there, the last moment another user could use).
extern std::function<void(const TFileTarget &)> TestHookBeforeAction;

// The .trashinfo file that belongs to an item inside <trash>/files.
[[nodiscard]] std::string TrashInfoPathOf(const std::string &trashPath);

// The original path recorded in a .trashinfo (decoded, absolute); empty when the file cannot be
// read or holds none.
[[nodiscard]] std::string ReadTrashInfoPath(const std::string &trashInfoFile);
