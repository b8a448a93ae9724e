#include "shell/FileTarget.h"

#include <atomic>
#include <cerrno>

#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/syscall.h>
#include <unistd.h>

#include "common/FormatText.h"
#include "common/Translate.h"
#include "model/Paths.h"

namespace {

// -1 not asked yet, 0 the kernel lacks openat2 (or it is turned off), 1 it has it.
std::atomic<int> GOpenat2 {-1};
std::atomic<bool> GOpenat2Allowed {true};

std::string ParentOfPath(const std::string &path)
{
    const auto slash = path.rfind(PathDelim);
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? std::string(1, PathDelim) : path.substr(0, slash);
}

TResolvedTarget Failed(int code, std::string note)
{
    TResolvedTarget result;
    result.Code = code;
    result.Note = std::move(note);
    return result;
}

// What stands in the way at `name` inside `dirFd` where a folder was expected.
TResolvedTarget FolderChanged(int dirFd, const std::string &name, const std::string &path, int openError)
{
    struct stat st
    { };
    if (::fstatat(dirFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
        if (errno == ENOENT)
            return Failed(ENOENT, FormatText(_("The folder %s is gone. Nothing was done."), {path}));
        return Failed(openError, {});
    }
    if (S_ISLNK(st.st_mode))
        return Failed(ELOOP,
            FormatText(_("The folder %s has been replaced by a link since the analysis. Nothing was done."), {path}));
    if (!S_ISDIR(st.st_mode))
        return Failed(ENOTDIR,
            FormatText(_("The folder %s has been replaced by a file since the analysis. Nothing was done."), {path}));
    return Failed(openError, {});
}

TResolvedTarget OtherFolder(const std::string &path)
{
    return Failed(ESTALE,
        FormatText(
            _("%s is no longer the folder that was analysed: it was moved or replaced. Nothing was done."), {path}));
}

} // namespace

TEntryKind KindOfMode(mode_t mode)
{
    if (S_ISDIR(mode))
        return TEntryKind::Folder;
    if (S_ISLNK(mode))
        return TEntryKind::Link;
    return TEntryKind::File;
}

std::string KindText(TEntryKind kind)
{
    switch (kind) {
    case TEntryKind::Folder:
        return _("folder");
    case TEntryKind::Link:
        return _("link");
    case TEntryKind::Missing:
        return _("nothing");
    case TEntryKind::File:
        break;
    }
    return _("file");
}

TDiskIdentity IdentityOf(const struct stat &st)
{
    return {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
}

bool UsesOpenat2()
{
    if (!GOpenat2Allowed.load())
        return false;
    int known = GOpenat2.load();
    if (known < 0) {
        // Asked with a harmless call: ENOSYS says the kernel (or a seccomp filter) lacks it.
        struct open_how how
        { };
        how.flags = O_PATH | O_DIRECTORY | O_CLOEXEC;
        how.resolve = RESOLVE_NO_SYMLINKS | RESOLVE_BENEATH;
        const long fd = ::syscall(SYS_openat2, AT_FDCWD, ".", &how, sizeof how);
        known = fd >= 0 || (errno != ENOSYS && errno != EPERM) ? 1 : 0;
        if (fd >= 0)
            ::close(static_cast<int>(fd));
        GOpenat2.store(known);
    }
    return known == 1;
}

void SetOpenat2Allowed(bool allowed)
{
    GOpenat2Allowed.store(allowed);
}

namespace {

int OpenFolderBeneathRaw(int dirFd, const char *name)
{
    if (UsesOpenat2()) {
        struct open_how how
        { };
        how.flags = O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
        how.resolve = RESOLVE_NO_SYMLINKS | RESOLVE_NO_MAGICLINKS | RESOLVE_BENEATH;
        long fd;
        do
            fd = ::syscall(SYS_openat2, dirFd, name, &how, sizeof how);
        while (fd < 0 && errno == EAGAIN);
        return static_cast<int>(fd);
    }
    // One step, so O_NOFOLLOW covers the whole way; "." and ".." never come here.
    return ::openat(dirFd, name, O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
}

} // namespace

int OpenFolderBeneath(int dirFd, const char *name)
{
    const int fd = OpenFolderBeneathRaw(dirFd, name);
    if (fd < 0 && errno == ENOTDIR) {
        // Both ways tell a link the same: ELOOP (openat with O_DIRECTORY says ENOTDIR).
        struct stat st
        { };
        if (::fstatat(dirFd, name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(st.st_mode))
            errno = ELOOP;
        else
            errno = ENOTDIR;
    }
    return fd;
}

TFileTarget TargetAsItIsNow(const std::string &path)
{
    TFileTarget target;
    target.Path = path;
    const std::string clean = ExcludeTrailingPathDelimiter(path);
    target.Root = ParentOfPath(clean);
    target.Name = std::string(LastPathComponent(clean));
    struct stat st
    { };
    if (::stat(target.Root.c_str(), &st) == 0)
        target.RootIdentity = IdentityOf(st);
    if (::lstat(clean.c_str(), &st) == 0) {
        target.Kind = KindOfMode(st.st_mode);
        if (target.Kind == TEntryKind::Folder)
            target.Identity = IdentityOf(st);
    } else {
        target.Kind = TEntryKind::Missing;
    }
    return target;
}

TResolvedTarget ResolveTarget(const TFileTarget &target)
{
    if (target.Name.empty() || target.Name == "." || target.Name == ".."
        || target.Name.find(PathDelim) != std::string::npos || target.Root.empty())
        return Failed(EINVAL, {});
    for (const TFileTarget::TFolder &folder : target.Folders)
        if (folder.Name.empty() || folder.Name == "." || folder.Name == ".."
            || folder.Name.find(PathDelim) != std::string::npos)
            return Failed(EINVAL, {});

    TResolvedTarget result;
    result.Parent = TFd(::open(target.Root.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (!result.Parent.Valid())
        return Failed(errno,
            errno == ENOENT ? FormatText(_("The folder %s is gone. Nothing was done."), {target.Root}) : std::string());
    struct stat st
    { };
    if (::fstat(result.Parent.Get(), &st) != 0)
        return Failed(errno, {});
    if (target.RootIdentity.Known() && IdentityOf(st) != target.RootIdentity)
        return OtherFolder(target.Root);

    std::string path = ExcludeTrailingPathDelimiter(target.Root);
    for (const TFileTarget::TFolder &folder : target.Folders) {
        path = JoinPath(path, folder.Name);
        TFd next(OpenFolderBeneath(result.Parent.Get(), folder.Name.c_str()));
        if (!next.Valid())
            return FolderChanged(result.Parent.Get(), folder.Name, path, errno);
        if (::fstat(next.Get(), &st) != 0)
            return Failed(errno, {});
        if (folder.Identity.Known() && IdentityOf(st) != folder.Identity)
            return OtherFolder(path);
        result.Parent = std::move(next);
    }

    path = JoinPath(path, target.Name);
    if (::fstatat(result.Parent.Get(), target.Name.c_str(), &result.Now, AT_SYMLINK_NOFOLLOW) != 0) {
        const int code = errno;
        return Failed(code, code == ENOENT ? FormatText(_("%s is gone. Nothing was done."), {path}) : std::string());
    }
    const TEntryKind now = KindOfMode(result.Now.st_mode);
    if (target.Kind != TEntryKind::Missing && now != target.Kind)
        return Failed(ESTALE,
            FormatText(_("%s was a %s when you confirmed and is a %s now. Nothing was done."),
                {path, KindText(target.Kind), KindText(now)}));
    if (now == TEntryKind::Folder && target.Identity.Known() && IdentityOf(result.Now) != target.Identity)
        return OtherFolder(path);
    return result;
}
