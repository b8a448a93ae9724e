#include "common/AtomicFileWriter.h"

#include <array>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <fstream>
#include <mutex>
#include <optional>
#include <random>
#include <string_view>
#include <system_error>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "common/FdStream.h"

namespace {

std::atomic<bool> UnnamedTempFilesAllowed {true};

constexpr int MaxLinkHops = 40;

// Reading the umask through umask() would change it for a moment for every thread.
mode_t CurrentUmask()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("Umask:", 0) == 0)
            return static_cast<mode_t>(std::strtoul(line.c_str() + 6, nullptr, 8) & 0777);
    }
    return 022;
}

class TFd
{
public:
    explicit TFd(int fd = -1)
        : FFd(fd)
    { }
    ~TFd() { Reset(); }
    TFd(const TFd &) = delete;
    TFd &operator=(const TFd &) = delete;
    [[nodiscard]] int Get() const { return FFd; }
    void Reset(int fd = -1)
    {
        if (FFd >= 0)
            ::close(FFd);
        FFd = fd;
    }
    int Release()
    {
        const int fd = FFd;
        FFd = -1;
        return fd;
    }

private:
    int FFd;
};

// ---- temporary files removed on the terminating signals ----

// The table is read by a signal handler: fixed storage, lock-free atomics only. A slot's
// folder descriptor is -1 when free and -2 while its name is being written.
struct TTempSlot
{
    std::atomic<int> DirFd {-1};
    std::array<char, 256> Name {};
};
std::array<TTempSlot, 32> TempSlots;
constexpr std::array<int, 3> CleanupSignals = {SIGINT, SIGTERM, SIGHUP};

void RemoveTempFilesOnSignal(int signal)
{
    const int savedErrno = errno;
    for (TTempSlot &slot : TempSlots) {
        const int dirFd = slot.DirFd.load();
        if (dirFd >= 0)
            ::unlinkat(dirFd, slot.Name.data(), 0);
    }
    // Then die of the signal as if nothing had caught it.
    ::signal(signal, SIG_DFL);
    ::raise(signal);
    errno = savedErrno;
}

// Only signals that would end the process are caught: where the program handles a signal
// itself (or ignores it), its own way of ending runs the writer's destructor.
void InstallCleanupHandlers()
{
    static std::once_flag once;
    std::call_once(once, [] {
        for (const int signal : CleanupSignals) {
            struct sigaction current
            { };
            if (::sigaction(signal, nullptr, &current) != 0 || current.sa_handler != SIG_DFL
                || (current.sa_flags & SA_SIGINFO) != 0)
                continue;
            struct sigaction action
            { };
            action.sa_handler = RemoveTempFilesOnSignal;
            sigemptyset(&action.sa_mask);
            for (const int other : CleanupSignals)
                sigaddset(&action.sa_mask, other);
            ::sigaction(signal, &action, nullptr);
        }
    });
}

int RegisterTempFile(int dirFd, const std::string &name)
{
    if (name.size() >= TempSlots[0].Name.size())
        return -1;
    InstallCleanupHandlers();
    for (std::size_t i = 0; i < TempSlots.size(); ++i) {
        int expected = -1;
        if (TempSlots[i].DirFd.compare_exchange_strong(expected, -2)) {
            std::memcpy(TempSlots[i].Name.data(), name.c_str(), name.size() + 1);
            TempSlots[i].DirFd.store(dirFd);
            return static_cast<int>(i);
        }
    }
    return -1;
}

void UnregisterTempFile(int &slot)
{
    if (slot >= 0)
        TempSlots[static_cast<std::size_t>(slot)].DirFd.store(-1);
    slot = -1;
}

std::string RandomTempName(const std::string &base)
{
    static constexpr char Letters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    thread_local std::mt19937_64 random {std::random_device {}()};
    std::string name = "." + base.substr(0, 200) + ".";
    for (int i = 0; i < 6; ++i)
        name += Letters[random() % (sizeof Letters - 1)];
    return name;
}

// ---- resolving the name ----

// The descriptor a name of the process's own descriptors stands for.
std::optional<int> OwnDescriptorOf(std::string_view path)
{
    if (path == "/dev/stdin")
        return 0;
    if (path == "/dev/stdout")
        return 1;
    if (path == "/dev/stderr")
        return 2;
    const std::string pid = std::to_string(::getpid());
    for (const std::string &prefix : {std::string("/dev/fd/"), std::string("/proc/self/fd/"),
             std::string("/proc/thread-self/fd/"), "/proc/" + pid + "/fd/"}) {
        if (path.substr(0, prefix.size()) != prefix)
            continue;
        const std::string_view digits = path.substr(prefix.size());
        if (digits.empty() || digits.size() > 9 || digits.find_first_not_of("0123456789") != std::string_view::npos)
            return std::nullopt;
        return std::stoi(std::string(digits));
    }
    return std::nullopt;
}

std::deque<std::string> SplitPath(std::string_view path)
{
    std::deque<std::string> parts;
    std::size_t pos = 0;
    while (pos < path.size()) {
        std::size_t end = path.find('/', pos);
        if (end == std::string_view::npos)
            end = path.size();
        if (end > pos)
            parts.emplace_back(path.substr(pos, end - pos));
        pos = end + 1;
    }
    return parts;
}

std::string JoinPath(std::string_view head, const std::deque<std::string> &parts)
{
    std::string path(head);
    for (const std::string &part : parts) {
        if (path.empty() || path.back() != '/')
            path += '/';
        path += part;
    }
    return path;
}

const char *const PlantedLinkReason = "Permission denied (a symbolic link of another user in a shared sticky "
                                      "folder is not followed)";

struct TResolved
{
    TFd Dir;
    std::string Base;
    std::optional<int> OwnFd;
};

// Walks the name one component at a time, following links the way the kernel's
// protected_symlinks rule allows, to the folder and name of the file that is really meant.
// The walk does the kernel's work itself because realpath() and rename() would follow (or
// replace) a planted link without asking.
void Resolve(const std::string &fileName, TResolved &out)
{
    if (const auto fd = OwnDescriptorOf(fileName)) {
        out.OwnFd = fd;
        return;
    }
    const auto fail = [&fileName](int code) { throw EFileWriteError(fileName, code); };
    TFd dir(::open(fileName[0] == '/' ? "/" : ".", O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (dir.Get() < 0)
        fail(errno);
    std::deque<std::string> parts = SplitPath(fileName);
    int hops = 0;
    while (!parts.empty()) {
        std::string name = std::move(parts.front());
        parts.pop_front();
        const bool last = parts.empty();
        struct stat st
        { };
        if (name == "." || name == ".." || ::fstatat(dir.Get(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
            if (name != "." && name != "..") {
                if (errno == ENOENT && last) {
                    out.Dir.Reset(dir.Release());
                    out.Base = std::move(name);
                    return;
                }
                fail(errno);
            }
            if (last)
                fail(EISDIR);
            st.st_mode = S_IFDIR;
        }
        if (S_ISLNK(st.st_mode)) {
            if (++hops > MaxLinkHops)
                fail(ELOOP);
            struct stat folder
            { };
            if (::fstat(dir.Get(), &folder) != 0)
                fail(errno);
            if ((folder.st_mode & S_ISVTX) != 0 && (folder.st_mode & S_IWOTH) != 0 && st.st_uid != ::geteuid()
                && st.st_uid != folder.st_uid)
                throw EFileWriteError(fileName, EACCES, PlantedLinkReason);
            std::string target(4096, '\0');
            const ssize_t length = ::readlinkat(dir.Get(), name.c_str(), target.data(), target.size());
            if (length < 0)
                fail(errno);
            if (length == 0 || static_cast<std::size_t>(length) >= target.size())
                fail(length == 0 ? ENOENT : ENAMETOOLONG);
            target.resize(static_cast<std::size_t>(length));
            if (target[0] == '/') {
                if (const auto fd = OwnDescriptorOf(JoinPath(target, parts))) {
                    out.OwnFd = fd;
                    return;
                }
                dir.Reset(::open("/", O_PATH | O_DIRECTORY | O_CLOEXEC));
                if (dir.Get() < 0)
                    fail(errno);
            }
            std::deque<std::string> targetParts = SplitPath(target);
            if (target.back() == '/' && last)
                fail(EISDIR);
            parts.insert(parts.begin(), targetParts.begin(), targetParts.end());
            continue;
        }
        if (last) {
            out.Dir.Reset(dir.Release());
            out.Base = std::move(name);
            return;
        }
        if (!S_ISDIR(st.st_mode))
            fail(ENOTDIR);
        const int next = ::openat(dir.Get(), name.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (next < 0)
            fail(errno);
        dir.Reset(next);
    }
    fail(EISDIR); // "/" or nothing but "." and ".."
}

} // namespace

EFileWriteError::EFileWriteError(const std::string &fileName, int errorCode)
    : EFileWriteError(fileName, errorCode, std::generic_category().message(errorCode))
{ }

EFileWriteError::EFileWriteError(const std::string &fileName, int errorCode, const std::string &reason)
    : std::runtime_error(fileName + ": " + reason)
    , FFileName(fileName)
    , FErrorCode(errorCode)
    , FReason(reason)
{ }

void TAtomicFileWriter::AllowUnnamedTempFiles(bool allow)
{
    UnnamedTempFilesAllowed = allow;
}

TAtomicFileWriter::TAtomicFileWriter(std::string fileName, mode_t newFileMode)
    : FFileName(std::move(fileName))
{
    if (FFileName.empty())
        throw EFileWriteError(FFileName, ENOENT);
    if (FFileName.back() == '/')
        throw EFileWriteError(FFileName, EISDIR);

    TResolved resolved;
    Resolve(FFileName, resolved);
    if (resolved.OwnFd) {
        FMethod = TMethod::Descriptor;
        const int flags = ::fcntl(*resolved.OwnFd, F_GETFL);
        if (flags < 0 || (flags & O_ACCMODE) == O_RDONLY)
            Fail(EBADF);
        FFd = ::fcntl(*resolved.OwnFd, F_DUPFD_CLOEXEC, 3);
        if (FFd < 0)
            Fail(errno);
        FStream = std::make_unique<TFdOStream>(FFd);
        return;
    }
    FDirFd = resolved.Dir.Release();
    FBase = std::move(resolved.Base);

    struct stat st
    { };
    if (::fstatat(FDirFd, FBase.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
        if (errno != ENOENT)
            Fail(errno);
        // A new file: the folder must take it; said now rather than after a long scan.
        if (::faccessat(FDirFd, ".", W_OK, AT_EACCESS) != 0)
            Fail(errno);
        FMethod = TMethod::Replace;
        FMode = newFileMode & ~CurrentUmask() & 07777;
        FGroup = static_cast<gid_t>(-1);
        return;
    }
    if (S_ISDIR(st.st_mode))
        Fail(EISDIR);
    if (!S_ISREG(st.st_mode)) {
        OpenInPlace(false);
        return;
    }
    // A file without any write permission is read-only on purpose; root too leaves it alone.
    if (::faccessat(FDirFd, FBase.c_str(), W_OK, AT_EACCESS) != 0)
        Fail(errno);
    if ((st.st_mode & 0222) == 0)
        Fail(EACCES);
    // Replacing would split hard links, hand another user's file to us, or needs a folder
    // we may not write: write such files where they are.
    if (st.st_nlink > 1 || st.st_uid != ::geteuid() || ::faccessat(FDirFd, ".", W_OK, AT_EACCESS) != 0) {
        OpenInPlace(true);
        return;
    }
    FMethod = TMethod::Replace;
    FExists = true;
    FMode = st.st_mode & 07777;
    FGroup = st.st_gid;
}

TAtomicFileWriter::~TAtomicFileWriter()
{
    if (!FCommitted)
        Discard();
    if (FDirFd >= 0)
        ::close(FDirFd);
}

void TAtomicFileWriter::Fail(int errorCode)
{
    Discard();
    if (FDirFd >= 0) {
        ::close(FDirFd);
        FDirFd = -1;
    }
    throw EFileWriteError(FFileName, errorCode);
}

void TAtomicFileWriter::OpenInPlace(bool regular)
{
    FMethod = TMethod::InPlace;
    FRegular = regular;
    // A FIFO waits here for its reader: before the work, not after it.
    do
        FFd = ::openat(FDirFd, FBase.c_str(), O_WRONLY | O_NOCTTY | O_NOFOLLOW | O_CLOEXEC);
    while (FFd < 0 && errno == EINTR);
    if (FFd < 0)
        Fail(errno);
}

void TAtomicFileWriter::CreateTempFile()
{
    if (UnnamedTempFilesAllowed)
        FFd = ::openat(FDirFd, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
    if (FFd < 0) {
        for (int attempt = 0; attempt < 100 && FFd < 0; ++attempt) {
            std::string name = RandomTempName(FBase);
            FFd = ::openat(FDirFd, name.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_NOFOLLOW | O_CLOEXEC, 0600);
            if (FFd >= 0) {
                FTempName = std::move(name);
                FTempSlot = RegisterTempFile(FDirFd, FTempName);
            } else if (errno != EEXIST) {
                Fail(errno);
            }
        }
        if (FFd < 0)
            Fail(EEXIST);
    }
    if (::fchmod(FFd, FMode) != 0)
        Fail(errno);
    struct stat st
    { };
    if (FGroup != static_cast<gid_t>(-1) && ::fstat(FFd, &st) == 0 && st.st_gid != FGroup
        && ::fchown(FFd, static_cast<uid_t>(-1), FGroup) != 0) {
        // The new file could not keep the group of the old one: keep the old file itself.
        Discard();
        OpenInPlace(true);
        CreateStageFile();
        return;
    }
    // The group may have dropped set-id bits; put them back.
    if (FGroup != static_cast<gid_t>(-1) && ::fchmod(FFd, FMode) != 0)
        Fail(errno);
}

void TAtomicFileWriter::CreateStageFile()
{
    // The copy must not be another name of the target's file system that readers could see, nor
    // anything another user could swap: an unnamed file of our own in the temporary folder.
    const char *tmp = std::getenv("TMPDIR");
    const std::string folder = tmp && *tmp == '/' ? tmp : "/tmp";
    const auto refuse = [this, &folder](int code) {
        const int saved = code;
        Discard();
        throw EFileWriteError(FFileName, saved,
            std::generic_category().message(saved) + " (it cannot be replaced, so its new content is written to "
                + folder + " first and copied over it; set TMPDIR to a folder with room)");
    };
    FStageDirFd = ::open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (FStageDirFd < 0)
        refuse(errno);
    int fd = -1;
    if (UnnamedTempFilesAllowed)
        fd = ::openat(FStageDirFd, ".", O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    for (int attempt = 0; fd < 0 && attempt < 100; ++attempt) {
        std::string name = RandomTempName(FBase);
        fd = ::openat(FStageDirFd, name.c_str(), O_CREAT | O_EXCL | O_RDWR | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd >= 0) {
            FStageName = std::move(name);
            FStageSlot = RegisterTempFile(FStageDirFd, FStageName);
        } else if (errno != EEXIST) {
            refuse(errno);
        }
    }
    if (fd < 0)
        refuse(EEXIST);
    FStream = std::make_unique<TFdOStream>(fd);
    FStageFd = fd;
}

void TAtomicFileWriter::CopyStageInPlace()
{
    struct stat st
    { };
    if (::fstat(FStageFd, &st) != 0)
        Fail(errno);
    const off_t size = st.st_size;
    // Two writers of one file take turns instead of mixing their output.
    while (::flock(FFd, LOCK_EX) != 0)
        if (errno != EINTR)
            Fail(errno);
    // The room first: a disk that cannot hold the new content refuses here, before the old
    // content is touched.
    if (size > 0 && ::fallocate(FFd, FALLOC_FL_KEEP_SIZE, 0, size) != 0 && errno != EOPNOTSUPP && errno != ENOSYS)
        throw EFileWriteError(FFileName, errno,
            std::generic_category().message(errno) + " (the new content does not fit; the old content is kept)");
    char buffer[64 * 1024];
    off_t offset = 0;
    while (offset < size) {
        const ssize_t got = ::pread(FStageFd, buffer, sizeof buffer, offset);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            Fail(got < 0 ? errno : EIO);
        for (ssize_t done = 0; done < got;) {
            const ssize_t put = ::pwrite(FFd, buffer + done, static_cast<std::size_t>(got - done), offset + done);
            if (put < 0 && errno == EINTR)
                continue;
            if (put <= 0)
                Fail(put < 0 ? errno : EIO);
            done += put;
        }
        offset += got;
    }
    if (::ftruncate(FFd, size) != 0)
        Fail(errno);
    if (::fsync(FFd) != 0 && errno != EINVAL && errno != EROFS)
        Fail(errno);
}

void TAtomicFileWriter::Prepare()
{
    if (FFd >= 0 && FMethod != TMethod::Replace) {
        if (FRegular) {
            CreateStageFile();
            return;
        }
    } else if (FFd < 0) {
        CreateTempFile();
        if (FStream)
            return; // it turned out to be written in place
    }
    FStream = std::make_unique<TFdOStream>(FFd);
}

std::ostream &TAtomicFileWriter::Stream()
{
    if (FCommitted)
        throw std::logic_error("The file writer is already done");
    if (!FStream)
        Prepare();
    return *FStream;
}

void TAtomicFileWriter::ThrowIfFailed() const
{
    if (FStream && FStream->ErrorCode() != 0)
        throw EFileWriteError(FFileName, FStream->ErrorCode());
}

void TAtomicFileWriter::Commit()
{
    if (FCommitted)
        throw std::logic_error("The file writer is already done");
    if (!FStream)
        Prepare();
    FStream->flush();
    if (FStream->ErrorCode() != 0)
        Fail(FStream->ErrorCode());
    if (!*FStream)
        Fail(EIO);
    FStream.reset();
    if (FMethod != TMethod::Replace) {
        if (FStageFd >= 0) {
            CopyStageInPlace();
            DiscardStage();
        }
        const int fd = FFd;
        FFd = -1;
        if (::close(fd) != 0 && errno != EINTR)
            throw EFileWriteError(FFileName, errno);
        FCommitted = true;
        return;
    }
    // Some file systems report a full disk only here, or on close.
    if (::fsync(FFd) != 0 && errno != EINVAL && errno != EROFS)
        Fail(errno);
    if (FTempName.empty()) {
        // Give the unnamed file a name, then move that name over the target in one step.
        std::string name;
        for (int attempt = 0; attempt < 100 && FTempName.empty(); ++attempt) {
            name = RandomTempName(FBase);
            const std::string self = "/proc/self/fd/" + std::to_string(FFd);
            int result = ::linkat(AT_FDCWD, self.c_str(), FDirFd, name.c_str(), AT_SYMLINK_FOLLOW);
            if (result != 0 && errno == ENOENT)
                result = ::linkat(FFd, "", FDirFd, name.c_str(), AT_EMPTY_PATH);
            if (result == 0) {
                FTempName = name;
                FTempSlot = RegisterTempFile(FDirFd, FTempName);
            } else if (errno != EEXIST) {
                Fail(errno);
            }
        }
        if (FTempName.empty())
            Fail(EEXIST);
    }
    const int fd = FFd;
    FFd = -1;
    if (::close(fd) != 0 && errno != EINTR)
        Fail(errno);
    if (::renameat(FDirFd, FTempName.c_str(), FDirFd, FBase.c_str()) != 0)
        Fail(errno);
    UnregisterTempFile(FTempSlot);
    FTempName.clear();
    FCommitted = true;
    // Make the rename itself durable; a failure here changes nothing that was written.
    const int dirFd = ::openat(FDirFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        (void)::fsync(dirFd);
        ::close(dirFd);
    }
}

void TAtomicFileWriter::Discard() noexcept
{
    FStream.reset();
    DiscardStage();
    if (FFd >= 0) {
        ::close(FFd);
        FFd = -1;
    }
    if (!FTempName.empty()) {
        ::unlinkat(FDirFd, FTempName.c_str(), 0);
        FTempName.clear();
    }
    UnregisterTempFile(FTempSlot);
}

void TAtomicFileWriter::DiscardStage() noexcept
{
    if (FStageFd >= 0) {
        ::close(FStageFd);
        FStageFd = -1;
    }
    if (!FStageName.empty()) {
        ::unlinkat(FStageDirFd, FStageName.c_str(), 0);
        FStageName.clear();
    }
    UnregisterTempFile(FStageSlot);
    if (FStageDirFd >= 0) {
        ::close(FStageDirFd);
        FStageDirFd = -1;
    }
}
