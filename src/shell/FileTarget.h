#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <sys/stat.h>

#include "shell/UniqueFd.h"

// Where a file command acts, as the analysis recorded it and the user confirmed it, and the
// way there on disk: from the analysis root downwards, never through a link, each folder on
// the way checked to be the one the analysis listed. Another user who can write a folder of
// the analysis may move it aside and put a link or another folder in its place while the
// confirmation waits; the command then finds the change and does nothing, instead of acting
// on whatever the name leads to now.

// A folder or file on disk (st_dev, st_ino); both 0 when nothing was recorded.
struct TDiskIdentity
{
    std::uint64_t Device = 0;
    std::uint64_t Inode = 0;
    [[nodiscard]] bool Known() const { return Device != 0 || Inode != 0; }
    bool operator==(const TDiskIdentity &) const = default;
};

enum class TEntryKind { Missing, File, Folder, Link };

struct TFileTarget
{
    struct TFolder
    {
        std::string Name;
        TDiskIdentity Identity;
    };
    // The full path, as results and messages name the target.
    std::string Path;
    // The analysis root (absolute), opened the way the analysis opened it: a link there is
    // followed, as it was when the user chose the folder.
    std::string Root;
    TDiskIdentity RootIdentity;
    // The folders below the root down to the one holding the target, in order.
    std::vector<TFolder> Folders;
    // The target's name in the last of them (or in the root).
    std::string Name;
    // What the user confirmed: a file, a folder or a link.
    TEntryKind Kind = TEntryKind::File;
    // Of a folder target: the folder the analysis listed.
    TDiskIdentity Identity;
};

// The target `path` as it is on disk now, its parent folder taken as the root: for callers
// that have no analysis to check it against.
[[nodiscard]] TFileTarget TargetAsItIsNow(const std::string &path);

// The way to a target, found on disk.
struct TResolvedTarget
{
    // The folder holding the target (an O_PATH descriptor, fit for the *at calls).
    TFd Parent;
    // The target as found now (lstat-like).
    struct stat Now
    { };
    // 0, or the errno that stopped the resolution; `Note` then says what changed.
    int Code = 0;
    std::string Note;
};

// Opens the target's folder from the root downwards and checks each folder on the way and the
// target against the records: a folder that is gone, a link, no folder any more, or another
// folder than the recorded one stops it (ENOENT, ELOOP, ENOTDIR, ESTALE), and so does a
// target that is not what the user confirmed (another kind, or another folder).
[[nodiscard]] TResolvedTarget ResolveTarget(const TFileTarget &target);

// The kind of an entry that lstat described.
[[nodiscard]] TEntryKind KindOfMode(mode_t mode);
// "file", "folder", "link" (translated).
[[nodiscard]] std::string KindText(TEntryKind kind);
[[nodiscard]] TDiskIdentity IdentityOf(const struct stat &st);

// Opens the folder `name` (one path step) inside `dirFd` as an O_PATH descriptor without
// following a link: openat2 with RESOLVE_NO_SYMLINKS | RESOLVE_BENEATH when the kernel has it,
// openat with O_NOFOLLOW | O_DIRECTORY otherwise. -1 with errno set on failure (ELOOP or
// ENOTDIR for a link).
[[nodiscard]] int OpenFolderBeneath(int dirFd, const char *name);
// Whether OpenFolderBeneath uses openat2 (asked of the kernel once); tests may turn it off to
// run the other way too.
[[nodiscard]] bool UsesOpenat2();
void SetOpenat2Allowed(bool allowed);
