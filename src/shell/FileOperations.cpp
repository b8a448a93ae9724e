#include "shell/FileOperations.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QStorageInfo>

#include "model/Paths.h"
#include "common/ShellTexts.h"

namespace {

// A file descriptor that closes itself.
class TFd
{
public:
    explicit TFd(int fd = -1)
        : FFd(fd)
    { }
    ~TFd()
    {
        if (FFd >= 0)
            ::close(FFd);
    }
    TFd(TFd &&other) noexcept
        : FFd(other.Release())
    { }
    TFd &operator=(TFd &&other) noexcept
    {
        if (this != &other) {
            if (FFd >= 0)
                ::close(FFd);
            FFd = other.Release();
        }
        return *this;
    }
    TFd(const TFd &) = delete;
    TFd &operator=(const TFd &) = delete;
    [[nodiscard]] int Get() const { return FFd; }
    [[nodiscard]] bool Valid() const { return FFd >= 0; }
    int Release()
    {
        const int fd = FFd;
        FFd = -1;
        return fd;
    }

private:
    int FFd;
};

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
    bool Remove(int parentFd, const std::string &parentPath, const std::string &name, dev_t device)
    {
        if (FCancelled)
            return false;
        const std::string path = JoinPath(parentPath, name);
        struct stat st
        { };
        if (::fstatat(parentFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
            return Fail(path, errno);
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

// Qt up to 6.4 writes the original path of a .trashinfo without the percent-encoding the
// Trash specification asks for, so a name holding "%41" would come back as "A" (here and in
// every file manager). The record is written again, encoded, keeping its deletion date.
void RewriteTrashInfo(const std::string &trashPath, const std::string &originalPath)
{
    const std::string infoPath = TrashInfoPathOf(trashPath);
    QFile info(QFile::decodeName(QByteArray::fromStdString(infoPath)));
    if (!info.open(QIODevice::ReadOnly))
        return;
    QByteArray date;
    for (const QByteArray &line : info.readAll().split('\n'))
        if (line.startsWith("DeletionDate="))
            date = line.trimmed();
    info.close();
    // Absolute paths are valid in every Trash, a volume's included.
    const std::string &recorded = originalPath;
    const QByteArray text
        = "[Trash Info]\nPath=" + QByteArray::fromStdString(recorded).toPercentEncoding("/") + "\n" + date + "\n";
    QSaveFile out(info.fileName());
    if (out.open(QIODevice::WriteOnly) && out.write(text) == text.size())
        out.commit();
}

// Qt moves an item off the home volume into <top>/.Trash/<uid> or <top>/.Trash-<uid>, following
// a link or taking a folder of someone else's there: on a volume others can write to, that would
// hand the item to them. Such a planted trash folder stops the move.
bool VolumeTrashIsOurs(const QString &path)
{
    const QStorageInfo volume(path);
    if (!volume.isValid() || volume == QStorageInfo(QDir::home()))
        return true;
    const std::string top = QFile::encodeName(volume.rootPath()).toStdString();
    const std::string uid = std::to_string(::geteuid());
    for (const std::string &candidate : {JoinPath(JoinPath(top, ".Trash"), uid), JoinPath(top, ".Trash-" + uid)}) {
        struct stat st
        { };
        if (::lstat(candidate.c_str(), &st) == 0 && (!S_ISDIR(st.st_mode) || st.st_uid != ::geteuid()))
            return false;
    }
    return true;
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

} // namespace

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

TFileOpResult DeletePermanently(const std::vector<std::string> &paths, const TFileOpProgress &progress)
{
    TFileOpResult result;
    TDeleteWalk walk(result, progress);
    for (const std::string &original : paths) {
        if (walk.Cancelled())
            break;
        const std::string path = ExcludeTrailingPathDelimiter(original);
        const std::string parent = ParentOf(path);
        const std::string name(LastPathComponent(path));
        if (name.empty() || name == "/" || name == "." || name == "..") {
            result.Failures.push_back({path, EINVAL, {}});
            if (result.Code == 0)
                result.Code = EINVAL;
            continue;
        }
        TFd parentFd(::open(parent.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        struct stat st
        { };
        if (!parentFd.Valid() || ::fstatat(parentFd.Get(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
            result.Failures.push_back({path, errno, {}});
            if (result.Code == 0)
                result.Code = errno;
            continue;
        }
        const std::size_t failuresBefore = result.Failures.size();
        if (walk.Remove(parentFd.Get(), parent, name, st.st_dev))
            result.Removed.push_back(original);
        else if (result.Failures.size() != failuresBefore || walk.Cancelled())
            result.Partial.push_back(original);
    }
    result.Aborted = walk.Cancelled();
    return result;
}

TFileOpResult MoveToTrash(const std::vector<std::string> &paths, const TFileOpProgress &progress)
{
    TFileOpResult result;
    for (const std::string &original : paths) {
        if (result.Aborted)
            break;
        const std::string path = ExcludeTrailingPathDelimiter(original);
        const QString name = QFile::decodeName(QByteArray::fromStdString(path));
        QString inTrash;
        // Checked first: moveToTrash reports no reason of its own.
        if (!Exists(path)) {
            result.Failures.push_back({path, errno, {}});
        } else if (QFile::encodeName(name).toStdString() != path) {
            // Qt names files by QString: a name that is not valid in the locale's encoding would
            // reach the Trash as another name, possibly another file's.
            result.Failures.push_back({path, EILSEQ, {}});
        } else if (!VolumeTrashIsOurs(name)) {
            result.Failures.push_back({path, EXDEV, "no trash folder on its volume can take it"});
        } else if (QFile::moveToTrash(name, &inTrash)) {
            const std::string trashed = QFile::encodeName(inTrash).toStdString();
            RewriteTrashInfo(trashed, path);
            result.Removed.push_back(original);
            result.Trashed.push_back({path, trashed});
        } else {
            // No Trash that the item could be renamed into: a read-only folder, or a volume
            // without a usable Trash folder.
            const int code = ::access(ParentOf(path).c_str(), W_OK) != 0 ? errno : EXDEV;
            result.Failures.push_back(
                {path, code, code == EXDEV ? "no trash folder on its volume can take it" : std::string()});
        }
        if (!result.Failures.empty() && result.Code == 0)
            result.Code = result.Failures.front().Code;
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
    if (!Exists(trashPath))
        return ENOENT;
    if (Exists(original))
        return EEXIST;
    if (!QDir().mkpath(QFile::decodeName(QByteArray::fromStdString(ParentOf(original)))))
        return EACCES;
    // Never replaces what appeared meanwhile (renameat2 RENAME_NOREPLACE).
    if (::renameat2(AT_FDCWD, trashPath.c_str(), AT_FDCWD, original.c_str(), RENAME_NOREPLACE) != 0)
        return errno;
    ::unlink(info.c_str());
    if (restoredTo)
        *restoredTo = original;
    return 0;
}
