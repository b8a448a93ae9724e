#include "shell/FileOperations.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <ctime>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QStorageInfo>

#include "common/FormatText.h"
#include "common/ShellTexts.h"
#include "common/Translate.h"
#include "model/Paths.h"
#include "shell/FileTarget.h"
#include "shell/UniqueFd.h"

namespace {

// True when the folder open as `fd` is the root of a mount, bind mounts of the same file
// system included (kernels before 5.8 do not tell; the device check then stands alone).
bool IsMountRoot(int fd)
{
    struct statx stx
    { };
    if (::statx(fd, "", AT_EMPTY_PATH | AT_SYMLINK_NOFOLLOW, STATX_TYPE, &stx) != 0)
        return false;
    return (stx.stx_attributes_mask & STATX_ATTR_MOUNT_ROOT) != 0 && (stx.stx_attributes & STATX_ATTR_MOUNT_ROOT) != 0;
}

class TDeleteWalk
{
public:
    TDeleteWalk(TFileOpResult &result, const TFileOpProgress &progress)
        : FResult(result)
        , FProgress(progress)
    { }

    // Removes `name` inside the folder `parentFd` (whose path is `parentPath`); true when it is
    // gone. `device` is the file system the selection lives on.
    // `confirmed`, for a selected entry, is what the resolution found: the entry must still be
    // that (the same kind, and the same folder) when the walk starts on it.
    bool Remove(int parentFd, const std::string &parentPath, const std::string &name, dev_t device,
        const struct stat *confirmed = nullptr)
    {
        if (FCancelled)
            return false;
        const std::string path = JoinPath(parentPath, name);
        struct stat st
        { };
        if (::fstatat(parentFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
            return Fail(path, errno);
        if (confirmed
            && (KindOfMode(st.st_mode) != KindOfMode(confirmed->st_mode)
                || (S_ISDIR(st.st_mode) && IdentityOf(st) != IdentityOf(*confirmed))))
            return Fail(
                path, ESTALE, FormatText(_("%s changed while it was being deleted; it was left alone."), {path}));
        if (S_ISDIR(st.st_mode)) {
            if (st.st_dev != device) // a mount point: its contents are not ours to take
                return Fail(path, EXDEV, "another file system is mounted here; it was left alone");
            if (!RemoveContents(parentFd, path, name, st))
                return false;
            if (::unlinkat(parentFd, name.c_str(), AT_REMOVEDIR) != 0)
                return Fail(path, errno);
        } else if (::unlinkat(parentFd, name.c_str(), 0) != 0) {
            return Fail(path, errno);
        }
        return Removed(path);
    }

    [[nodiscard]] bool Cancelled() const { return FCancelled; }

private:
    // Empties the folder `name` of `parentFd` that fstatat described as `seen`.
    bool RemoveContents(int parentFd, const std::string &path, const std::string &name, const struct stat &seen)
    {
        // O_PATH with O_NOFOLLOW pins the inode without needing read permission; comparing it
        // with what fstatat saw shuts out a folder swapped for a link or another folder.
        TFd pinned(::openat(parentFd, name.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (!pinned.Valid())
            return Fail(path, errno == ELOOP || errno == ENOTDIR ? ESTALE : errno);
        struct stat st
        { };
        if (::fstat(pinned.Get(), &st) != 0)
            return Fail(path, errno);
        if (st.st_dev != seen.st_dev || st.st_ino != seen.st_ino)
            return Fail(path, ESTALE);
        if (IsMountRoot(pinned.Get())) // a bind mount keeps the device number: ask the kernel
            return Fail(path, EXDEV, "another file system is mounted here; it was left alone");
        if (st.st_uid == ::geteuid() && (st.st_mode & S_IRWXU) != S_IRWXU) {
            // A write-protected folder of our own: like rm -r, its owner may empty it.
            const std::string self = "/proc/self/fd/" + std::to_string(pinned.Get());
            (void)::chmod(self.c_str(), (st.st_mode & 07777) | S_IRWXU);
        }
        TFd dirFd(::openat(pinned.Get(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (!dirFd.Valid())
            return Fail(path, errno);
        // One descriptor per level is all a deep chain may hold.
        pinned = TFd();
        std::vector<std::string> names;
        {
            TFd listFd(::dup(dirFd.Get()));
            if (!listFd.Valid())
                return Fail(path, errno);
            DIR *dir = ::fdopendir(listFd.Get());
            if (!dir)
                return Fail(path, errno);
            listFd.Release(); // the DIR owns it now
            errno = 0;
            while (const dirent *entry = ::readdir(dir)) {
                const std::string_view n(entry->d_name);
                if (n != "." && n != "..")
                    names.emplace_back(n);
                errno = 0;
            }
            const int readError = errno;
            ::closedir(dir);
            if (readError != 0)
                return Fail(path, readError);
        }
        bool all = true;
        for (const std::string &child : names) {
            if (FCancelled)
                return false;
            all = Remove(dirFd.Get(), path, child, seen.st_dev) && all;
        }
        return all;
    }

    bool Fail(const std::string &path, int code, std::string note = {})
    {
        FResult.Failures.push_back({path, code, std::move(note)});
        if (FResult.Code == 0)
            FResult.Code = code;
        return false;
    }

    bool Removed(const std::string &path)
    {
        if (FProgress && !FProgress(path))
            FCancelled = true;
        return true;
    }

    TFileOpResult &FResult;
    const TFileOpProgress &FProgress;
    bool FCancelled = false;
};

std::string ParentOf(const std::string &path)
{
    const std::string clean = ExcludeTrailingPathDelimiter(path);
    const auto slash = clean.rfind(PathDelim);
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? std::string(1, PathDelim) : clean.substr(0, slash);
}

// True when a path entry exists, links included.
bool Exists(const std::string &path)
{
    struct stat st
    { };
    return ::lstat(path.c_str(), &st) == 0;
}

void AddFailure(TFileOpResult &result, const std::string &path, int code, std::string note = {})
{
    result.Failures.push_back({path, code, std::move(note)});
    if (result.Code == 0)
        result.Code = code;
}

// A recorded path must name its place directly: no "." or ".." steps that would lead a
// restore elsewhere, no empty steps, no NUL byte that would cut it short.
bool IsPlainPath(const std::string &value)
{
    if (value.empty() || value.find('\0') != std::string::npos)
        return false;
    std::size_t start = value.front() == PathDelim ? 1 : 0;
    while (start <= value.size()) {
        const std::size_t end = std::min(value.find(PathDelim, start), value.size());
        const std::string_view step(value.data() + start, end - start);
        if (step.empty() || step == "." || step == "..")
            return false;
        start = end + 1;
    }
    return true;
}

// The folder `name` inside `dirFd`, made (0700) when missing; it must be a folder of ours,
// reached without a link. -1 otherwise.
int OwnFolderAt(int dirFd, const char *name)
{
    if (::mkdirat(dirFd, name, 0700) != 0 && errno != EEXIST)
        return -1;
    TFd fd(OpenFolderBeneath(dirFd, name));
    struct stat st
    { };
    if (!fd.Valid() || ::fstat(fd.Get(), &st) != 0 || st.st_uid != ::geteuid())
        return -1;
    return fd.Release();
}

// A Trash folder ready to take items of one file system.
struct TTrashFolder
{
    std::string Path;
    TFd Trash;
    TFd Files;
    TFd Info;
};

// files/ and info/ of the Trash folder `trash` (of ours), made when missing.
bool OpenTrashParts(TTrashFolder &folder)
{
    folder.Files = TFd(OwnFolderAt(folder.Trash.Get(), "files"));
    folder.Info = TFd(OwnFolderAt(folder.Trash.Get(), "info"));
    return folder.Files.Valid() && folder.Info.Valid();
}

// The user's own Trash ($XDG_DATA_HOME/Trash) when it lives on `device`.
bool OpenHomeTrash(dev_t device, TTrashFolder &folder)
{
    const QString dataHome = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (dataHome.isEmpty() || !QDir().mkpath(dataHome))
        return false;
    const std::string data = QFile::encodeName(dataHome).toStdString();
    // The data folder is the user's own setting: taken as it stands, links included.
    TFd dataFd(::open(data.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    struct stat st
    { };
    if (!dataFd.Valid() || ::fstat(dataFd.Get(), &st) != 0 || st.st_dev != device)
        return false;
    folder.Trash = TFd(OwnFolderAt(dataFd.Get(), "Trash"));
    if (!folder.Trash.Valid() || ::fstat(folder.Trash.Get(), &st) != 0 || st.st_dev != device)
        return false;
    folder.Path = JoinPath(data, "Trash");
    return OpenTrashParts(folder);
}

// The Trash of the volume that holds `path` (on `device`) for this user: <top>/.Trash/<uid>
// when the administrator made <top>/.Trash (a real folder with the sticky bit), else
// <top>/.Trash-<uid>. On a volume others can write to, a link or someone else's folder in
// their place would hand the item to them: such a Trash is refused.
bool OpenVolumeTrash(const std::string &path, dev_t device, TTrashFolder &folder)
{
    const QStorageInfo volume(QFile::decodeName(QByteArray::fromStdString(path)));
    if (!volume.isValid())
        return false;
    const std::string top = QFile::encodeName(volume.rootPath()).toStdString();
    TFd topFd(::open(top.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    struct stat st
    { };
    if (!topFd.Valid() || ::fstat(topFd.Get(), &st) != 0 || st.st_dev != device)
        return false;
    const std::string uid = std::to_string(::geteuid());
    TFd shared(OpenFolderBeneath(topFd.Get(), ".Trash"));
    if (shared.Valid() && ::fstat(shared.Get(), &st) == 0 && (st.st_mode & S_ISVTX) != 0) {
        folder.Trash = TFd(OwnFolderAt(shared.Get(), uid.c_str()));
        if (folder.Trash.Valid()) {
            folder.Path = JoinPath(JoinPath(top, ".Trash"), uid);
            return OpenTrashParts(folder);
        }
    }
    struct stat planted
    { };
    if (::fstatat(topFd.Get(), (".Trash-" + uid).c_str(), &planted, AT_SYMLINK_NOFOLLOW) == 0
        && (!S_ISDIR(planted.st_mode) || planted.st_uid != ::geteuid()))
        return false;
    folder.Trash = TFd(OwnFolderAt(topFd.Get(), (".Trash-" + uid).c_str()));
    if (!folder.Trash.Valid())
        return false;
    folder.Path = JoinPath(top, ".Trash-" + uid);
    return OpenTrashParts(folder);
}

std::string DeletionDate()
{
    const std::time_t now = std::time(nullptr);
    std::tm local {};
    ::localtime_r(&now, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &local);
    return text;
}

// Writes `text` into a new file `name` of `dirFd`: never through a link, never over an
// existing file (EEXIST tells the caller to choose another name).
int CreateExclusive(int dirFd, const std::string &name, const std::string &text)
{
    TFd fd(::openat(dirFd, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!fd.Valid())
        return errno;
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd.Get(), text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            const int code = n < 0 ? errno : EIO;
            ::unlinkat(dirFd, name.c_str(), 0);
            return code;
        }
        done += static_cast<std::size_t>(n);
    }
    return 0;
}

// "name", "name.2", "name.3", ... keeping an extension at the end ("a.2.txt").
std::string TrashNameCandidate(const std::string &name, int attempt)
{
    if (attempt <= 1)
        return name;
    const auto dot = name.rfind('.');
    const std::string suffix = "." + std::to_string(attempt);
    if (dot == std::string::npos || dot == 0)
        return name + suffix;
    return name.substr(0, dot) + suffix + name.substr(dot);
}

// Moves the entry `name` of `parentFd` (found as `now`) into the Trash.
int TrashOne(const TFileTarget &target, int parentFd, const struct stat &now, TTrashedItem &item, std::string &note)
{
    TTrashFolder trash;
    if (!OpenHomeTrash(now.st_dev, trash)) {
        trash = TTrashFolder();
        if (!OpenVolumeTrash(ParentOf(target.Path), now.st_dev, trash)) {
            note = _("no trash folder on its volume can take it");
            return EXDEV;
        }
    }
    const std::string original = ExcludeTrailingPathDelimiter(target.Path);
    // Absolute paths are valid in every Trash, a volume's included.
    const std::string info
        = "[Trash Info]\nPath=" + QByteArray::fromStdString(original).toPercentEncoding("/").toStdString()
        + "\nDeletionDate=" + DeletionDate() + "\n";
    for (int attempt = 1; attempt < 10000; ++attempt) {
        const std::string candidate = TrashNameCandidate(target.Name, attempt);
        const std::string infoName = candidate + ".trashinfo";
        if (infoName.size() > NAME_MAX)
            return ENAMETOOLONG;
        // The record comes first and claims the name (the Trash's own rule against races).
        if (const int code = CreateExclusive(trash.Info.Get(), infoName, info); code != 0) {
            if (code == EEXIST)
                continue;
            return code;
        }
        if (::renameat2(parentFd, target.Name.c_str(), trash.Files.Get(), candidate.c_str(), RENAME_NOREPLACE) != 0) {
            const int code = errno;
            ::unlinkat(trash.Info.Get(), infoName.c_str(), 0);
            if (code == EEXIST)
                continue;
            return code;
        }
        struct stat st
        { };
        item.OriginalPath = original;
        item.TrashPath = JoinPath(JoinPath(trash.Path, "files"), candidate);
        item.TrashFolder = trash.Path;
        if (::fstat(trash.Trash.Get(), &st) == 0)
            item.TrashIdentity = IdentityOf(st);
        if (::fstatat(trash.Files.Get(), candidate.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0)
            item.Identity = IdentityOf(st);
        if (::fstat(parentFd, &st) == 0)
            item.ParentIdentity = IdentityOf(st);
        item.Origin = target;
        return 0;
    }
    return EEXIST;
}

// Opens the folder a trashed item goes back to, from its root downwards, never through a
// link; missing folders are made. A folder on the way that is not the recorded one (or has no
// record) must be the user's own; the root of the system's folders counts as such for items
// that came from there.
int OpenRestoreParent(const TTrashedItem &item, TFd &parent, std::string &note)
{
    const TFileTarget &origin = item.Origin;
    parent = TFd(::open(origin.Root.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (!parent.Valid())
        return errno;
    struct stat st
    { };
    if (::fstat(parent.Get(), &st) != 0)
        return errno;
    const auto acceptable = [](const struct stat &found, const TDiskIdentity &recorded) {
        return (recorded.Known() && IdentityOf(found) == recorded) || found.st_uid == ::geteuid()
            || (!recorded.Known() && found.st_uid == 0);
    };
    const bool leaf = origin.Folders.empty();
    if (!acceptable(st, leaf && item.ParentIdentity.Known() ? item.ParentIdentity : origin.RootIdentity)) {
        note = FormatText(
            _("%s is no longer the folder the item came from, and it belongs to someone else."), {origin.Root});
        return EACCES;
    }
    std::string path = ExcludeTrailingPathDelimiter(origin.Root);
    for (std::size_t i = 0; i < origin.Folders.size(); ++i) {
        const TFileTarget::TFolder &folder = origin.Folders[i];
        path = JoinPath(path, folder.Name);
        bool made = false;
        TFd next(OpenFolderBeneath(parent.Get(), folder.Name.c_str()));
        if (!next.Valid() && errno == ENOENT) {
            // Private until the user says otherwise: it is made in a place that may be others'.
            if (::mkdirat(parent.Get(), folder.Name.c_str(), 0700) != 0 && errno != EEXIST)
                return errno;
            made = true;
            next = TFd(OpenFolderBeneath(parent.Get(), folder.Name.c_str()));
        }
        if (!next.Valid()) {
            const int code = errno;
            if (code == ELOOP || code == ENOTDIR)
                note = FormatText(_("%s is a link or a file now; nothing is put back through it."), {path});
            return code;
        }
        if (::fstat(next.Get(), &st) != 0)
            return errno;
        const TDiskIdentity &recorded
            = i + 1 == origin.Folders.size() && item.ParentIdentity.Known() ? item.ParentIdentity : folder.Identity;
        if (!made && !acceptable(st, recorded)) {
            note = FormatText(
                _("%s is no longer the folder the item came from, and it belongs to someone else."), {path});
            return EACCES;
        }
        parent = std::move(next);
    }
    return 0;
}

} // namespace

std::function<void(const TFileTarget &)> TestHookBeforeAction;

std::string TFileOpResult::FailureText(std::size_t limit) const
{
    std::string text;
    for (std::size_t i = 0; i < Failures.size() && i < limit; ++i) {
        if (!text.empty())
            text += '\n';
        text += Failures[i].Path + ": "
            + (Failures[i].Note.empty() ? FileOperationErrorText(Failures[i].Code) : Failures[i].Note);
    }
    if (Failures.size() > limit)
        text += "\n… (" + std::to_string(Failures.size() - limit) + ")";
    return text;
}

namespace {

std::vector<TFileTarget> TargetsAsTheyAreNow(const std::vector<std::string> &paths)
{
    std::vector<TFileTarget> targets;
    targets.reserve(paths.size());
    for (const std::string &path : paths)
        targets.push_back(TargetAsItIsNow(path));
    return targets;
}

} // namespace

TFileOpResult DeletePermanently(const std::vector<std::string> &paths, const TFileOpProgress &progress)
{
    return DeletePermanently(TargetsAsTheyAreNow(paths), progress);
}

TFileOpResult DeletePermanently(const std::vector<TFileTarget> &targets, const TFileOpProgress &progress)
{
    TFileOpResult result;
    TDeleteWalk walk(result, progress);
    for (const TFileTarget &target : targets) {
        if (walk.Cancelled())
            break;
        const std::string path = ExcludeTrailingPathDelimiter(target.Path);
        TResolvedTarget resolved = ResolveTarget(target);
        if (resolved.Code != 0) {
            AddFailure(result, path, resolved.Code, std::move(resolved.Note));
            continue;
        }
        if (TestHookBeforeAction)
            TestHookBeforeAction(target);
        const std::size_t failuresBefore = result.Failures.size();
        if (walk.Remove(resolved.Parent.Get(), ParentOf(path), target.Name, resolved.Now.st_dev, &resolved.Now))
            result.Removed.push_back(target.Path);
        else if (result.Failures.size() != failuresBefore || walk.Cancelled())
            result.Partial.push_back(target.Path);
    }
    result.Aborted = walk.Cancelled();
    return result;
}

std::vector<TFileOpFailure> ChangedTargets(const std::vector<TFileTarget> &targets)
{
    std::vector<TFileOpFailure> changed;
    for (const TFileTarget &target : targets)
        if (TResolvedTarget resolved = ResolveTarget(target); resolved.Code != 0)
            changed.push_back({ExcludeTrailingPathDelimiter(target.Path), resolved.Code, std::move(resolved.Note)});
    return changed;
}

TFileOpResult MoveToTrash(const std::vector<std::string> &paths, const TFileOpProgress &progress)
{
    return MoveToTrash(TargetsAsTheyAreNow(paths), progress);
}

TFileOpResult MoveToTrash(const std::vector<TFileTarget> &targets, const TFileOpProgress &progress)
{
    TFileOpResult result;
    for (const TFileTarget &target : targets) {
        if (result.Aborted)
            break;
        const std::string path = ExcludeTrailingPathDelimiter(target.Path);
        TResolvedTarget resolved = ResolveTarget(target);
        if (resolved.Code != 0) {
            AddFailure(result, path, resolved.Code, std::move(resolved.Note));
        } else {
            if (TestHookBeforeAction)
                TestHookBeforeAction(target);
            // The entry is taken as the resolution found it: a swap in the last moment is
            // caught by the identity the moved item has in the Trash.
            TTrashedItem item;
            std::string note;
            if (const int code = TrashOne(target, resolved.Parent.Get(), resolved.Now, item, note); code != 0) {
                AddFailure(result, path, code, std::move(note));
            } else if (KindOfMode(resolved.Now.st_mode) == TEntryKind::Folder
                && item.Identity != IdentityOf(resolved.Now)) {
                // Another folder took the name in the last moment: it goes back where it was.
                (void)::renameat2(
                    AT_FDCWD, item.TrashPath.c_str(), resolved.Parent.Get(), target.Name.c_str(), RENAME_NOREPLACE);
                ::unlink(TrashInfoPathOf(item.TrashPath).c_str());
                AddFailure(result, path, ESTALE,
                    FormatText(_("%s changed while it was being moved; it was left alone."), {path}));
            } else {
                result.Removed.push_back(target.Path);
                result.Trashed.push_back(std::move(item));
            }
        }
        if (progress && !progress(path))
            result.Aborted = true;
    }
    return result;
}

std::string TrashInfoPathOf(const std::string &trashPath)
{
    // <trash>/files/<name> has its record in <trash>/info/<name>.trashinfo.
    const std::string files = ParentOf(trashPath);
    const std::string trash = ParentOf(files);
    return JoinPath(JoinPath(trash, "info"), std::string(LastPathComponent(trashPath)) + ".trashinfo");
}

std::string ReadTrashInfoPath(const std::string &trashInfoFile)
{
    QFile file(QFile::decodeName(QByteArray::fromStdString(trashInfoFile)));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    bool inSection = false;
    while (!file.atEnd()) {
        const QByteArray line = file.readLine().trimmed();
        if (line.startsWith('[')) {
            inSection = line == "[Trash Info]";
            continue;
        }
        if (!inSection || !line.startsWith("Path="))
            continue;
        // The value is percent-encoded bytes: absolute in the home Trash, relative to the
        // volume's top folder in a volume Trash.
        std::string value = QByteArray::fromPercentEncoding(line.mid(5)).toStdString();
        if (!IsPlainPath(value))
            return {};
        if (value.front() != PathDelim) {
            // <top>/.Trash-UID/info or <top>/.Trash/UID/info
            std::string trash = ParentOf(ParentOf(trashInfoFile));
            std::string top = ParentOf(trash);
            if (LastPathComponent(top) == ".Trash")
                top = ParentOf(top);
            value = JoinPath(top, value);
        }
        return value;
    }
    return {};
}

int RestoreFromTrash(const std::string &trashPath, std::string *restoredTo)
{
    const std::string info = TrashInfoPathOf(trashPath);
    const std::string original = ReadTrashInfoPath(info);
    if (original.empty())
        return Exists(info) ? EINVAL : ENOENT;
    // No record of the way: from "/" down, every folder must be the user's or the system's.
    TTrashedItem item;
    item.OriginalPath = original;
    item.TrashPath = trashPath;
    item.TrashFolder = ParentOf(ParentOf(trashPath));
    item.Origin.Path = original;
    item.Origin.Root = "/";
    std::size_t start = 1;
    while (start < original.size()) {
        const std::size_t end = std::min(original.find(PathDelim, start), original.size());
        item.Origin.Folders.push_back({original.substr(start, end - start), {}});
        start = end + 1;
    }
    item.Origin.Name = item.Origin.Folders.back().Name;
    item.Origin.Folders.pop_back();
    std::string note;
    return RestoreFromTrash(item, restoredTo, &note);
}

int RestoreFromTrash(const TTrashedItem &item, std::string *restoredTo, std::string *note)
{
    std::string why;
    const auto fail = [&](int code) {
        if (note)
            *note = why;
        return code;
    };
    const std::string trashName(LastPathComponent(item.TrashPath));
    TFd trash(::open(item.TrashFolder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    struct stat st
    { };
    if (!trash.Valid() || ::fstat(trash.Get(), &st) != 0)
        return fail(ENOENT);
    if ((item.TrashIdentity.Known() && IdentityOf(st) != item.TrashIdentity) || st.st_uid != ::geteuid())
        return fail(ESTALE);
    TFd filesFd(OpenFolderBeneath(trash.Get(), "files"));
    TFd infoFd(OpenFolderBeneath(trash.Get(), "info"));
    if (!filesFd.Valid() || !infoFd.Valid())
        return fail(ENOENT);
    if (::fstatat(filesFd.Get(), trashName.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        return fail(ENOENT);
    if (item.Identity.Known() && IdentityOf(st) != item.Identity)
        return fail(ESTALE);
    TFd parent;
    if (const int code = OpenRestoreParent(item, parent, why); code != 0)
        return fail(code);
    if (::fstatat(parent.Get(), item.Origin.Name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0)
        return fail(EEXIST);
    // Never replaces what appeared meanwhile (RENAME_NOREPLACE), never through a link: both
    // ends are named relative to folders opened without one.
    if (::renameat2(filesFd.Get(), trashName.c_str(), parent.Get(), item.Origin.Name.c_str(), RENAME_NOREPLACE) != 0)
        return fail(errno);
    ::unlinkat(infoFd.Get(), (trashName + ".trashinfo").c_str(), 0);
    if (restoredTo)
        *restoredTo = item.OriginalPath;
    return 0;
}
