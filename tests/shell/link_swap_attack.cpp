// An attack on the file commands, not a test of the suite (it takes minutes): another user
// (nobody, through runuser; the program runs as root) swaps the folder of a target for a link
// to a folder only root can read, or for a folder of theirs, in a tight loop, while each file
// command runs. Every round checks that nothing outside the analysed folder was touched and
// that nothing went to or came from a folder of the other user.
//   shell_link_swap_attack [ROUNDS [openat2|openat [file|folder]]]   (200 rounds, every way)
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <string>

#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/linux/LinuxPlatform.h"
#include "shell/FileOperations.h"
#include "support/TempTree.h"

extern char **environ;

namespace {

bool Exists(const std::string &path)
{
    struct stat st
    { };
    return ::lstat(path.c_str(), &st) == 0;
}

std::string Read(const std::string &path)
{
    std::ifstream in(path);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

TFileTarget Recorded(const std::string &root, const std::string &rel)
{
    TFileTarget target;
    target.Path = root + "/" + rel;
    target.Root = root;
    struct stat st
    { };
    ::stat(root.c_str(), &st);
    target.RootIdentity = IdentityOf(st);
    std::string path = root;
    std::size_t start = 0;
    for (std::size_t slash; (slash = rel.find('/', start)) != std::string::npos; start = slash + 1) {
        const std::string name = rel.substr(start, slash - start);
        path += "/" + name;
        ::lstat(path.c_str(), &st);
        target.Folders.push_back({name, IdentityOf(st)});
    }
    target.Name = rel.substr(start);
    ::lstat(target.Path.c_str(), &st);
    target.Kind = KindOfMode(st.st_mode);
    if (target.Kind == TEntryKind::Folder)
        target.Identity = IdentityOf(st);
    return target;
}

// The other user's loop, in a process group of its own so that it can be ended as a whole.
class TSwapper
{
public:
    TSwapper(const std::string &script, const std::string &ready)
    {
        posix_spawnattr_t attr;
        posix_spawnattr_init(&attr);
        posix_spawnattr_setpgroup(&attr, 0);
        posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETPGROUP);
        const char *argv[] = {"/usr/sbin/runuser", "-u", "nobody", "--", "/bin/sh", "-c", script.c_str(), nullptr};
        if (posix_spawn(&FPid, argv[0], nullptr, &attr, const_cast<char **>(argv), environ) != 0)
            FPid = -1;
        posix_spawnattr_destroy(&attr);
        // A turn of the loop done (runuser takes a while on a loaded machine), then a moment
        // into the next one: a turn takes some 10 to 50 ms here.
        for (int i = 0; i < 5000 && !Exists(ready); ++i)
            ::usleep(1000);
        ::usleep(std::rand() % 40000);
    }
    ~TSwapper()
    {
        if (FPid > 0) {
            ::kill(-FPid, SIGKILL);
            int status = 0;
            ::waitpid(FPid, &status, 0);
        }
    }
    TSwapper(const TSwapper &) = delete;
    TSwapper &operator=(const TSwapper &) = delete;

private:
    pid_t FPid = -1;
};

struct TTally
{
    int Acted = 0;
    int Refused = 0;
    int Broken = 0;
    std::map<int, int> Codes;
};

// Tree: T/dir/victim (root's, in folders that the user nobody may write to), S/victim (root
// only). The loop swaps T/dir between the real folder, a link to S and a folder of nobody's.
struct TRound
{
    TempTree Tree;
    TempTree Secret;
    TempTree Data;
    TRound(bool folderTarget)
    {
        if (folderTarget)
            Tree.MakeFile("dir/victim/inner.txt", 10);
        else
            Tree.MakeFile("dir/victim", 10);
        Secret.MakeFile("victim", 20);
        Secret.MakeFile("victim.canary", 20);
        ::chmod(Tree.Path().c_str(), 0777);
        ::chmod((Tree / "dir").c_str(), 0777);
        ::chmod(Secret.Path().c_str(), 0700);
        ::setenv("XDG_DATA_HOME", Data.Path().c_str(), 1);
    }
    [[nodiscard]] std::string Script() const
    {
        const std::string t = Tree.Path();
        // The real folder is in place only for a moment of each turn: a link and a folder of
        // nobody's take its name the rest of the time.
        return "cd " + t + " && while :; do mv dir dir.real 2>/dev/null; ln -s " + Secret.Path() + " dir; ln -sfn "
            + Secret.Path()
            + " dir; rm -f dir; mkdir dir; echo theirs > dir/victim; "
              "mkdir dir/victim.d; rm -rf dir; mv dir.real dir 2>/dev/null; touch ready; done";
    }
    // Nothing of the secret folder is gone or changed, and the Trash holds nothing of it.
    [[nodiscard]] bool SecretIntact() const
    {
        return Read(Secret / "victim").size() == 20 && Exists(Secret / "victim.canary");
    }
    [[nodiscard]] bool TrashHoldsOnlyOurs() const
    {
        // Whatever reached the Trash is root's file from the tree (10 bytes), or nothing.
        const std::string item = Data / "Trash/files/victim";
        if (!Exists(item))
            return true;
        struct stat st
        { };
        ::lstat(item.c_str(), &st);
        if (S_ISDIR(st.st_mode))
            return st.st_uid == 0 && Exists(item + "/inner.txt");
        return st.st_uid == 0 && st.st_size == 10;
    }
};

void Report(const char *name, const TTally &tally)
{
    std::printf("%-28s acted %4d  refused %4d  BROKEN %d  codes:", name, tally.Acted, tally.Refused, tally.Broken);
    for (const auto &[code, count] : tally.Codes)
        std::printf(" %s=%d", std::strerror(code), count);
    std::printf("\n");
    std::fflush(stdout);
}

} // namespace

int main(int argc, char **argv)
{
    if (::geteuid() != 0 || ::access("/usr/sbin/runuser", X_OK) != 0) {
        std::fprintf(stderr, "runs as root with runuser, to act as another user\n");
        return 2;
    }
    InstallPlatform(LinuxPlatform());
    const int rounds = argc > 1 ? std::atoi(argv[1]) : 200;
    int broken = 0;
    const std::string onlyWay = argc > 2 ? argv[2] : "";
    const std::string onlyKind = argc > 3 ? argv[3] : "";
    for (const bool openat2 : {true, false}) {
        if (!onlyWay.empty() && onlyWay != (openat2 ? "openat2" : "openat"))
            continue;
        SetOpenat2Allowed(openat2);
        std::printf("-- %s\n", openat2 ? "openat2" : "openat step by step");
        for (const bool folder : {false, true}) {
            if (!onlyKind.empty() && onlyKind != (folder ? "folder" : "file"))
                continue;
            for (const bool permanent : {true, false}) {
                TTally tally;
                for (int i = 0; i < rounds; ++i) {
                    TRound round(folder);
                    const TFileTarget target = Recorded(round.Tree.Path(), "dir/victim");
                    TFileOpResult result;
                    {
                        TSwapper swapper(round.Script(), round.Tree / "ready");
                        result = permanent ? DeletePermanently({target}) : MoveToTrash({target});
                    }
                    if (result.Code == 0)
                        ++tally.Acted;
                    else
                        ++tally.Refused, ++tally.Codes[result.Code];
                    if (!round.SecretIntact() || !round.TrashHoldsOnlyOurs())
                        ++tally.Broken;
                }
                Report((std::string(permanent ? "delete " : "trash ") + (folder ? "folder" : "file")).c_str(), tally);
                broken += tally.Broken;
            }
            // Undo: trashed undisturbed, put back while the loop swaps.
            TTally tally;
            for (int i = 0; i < rounds; ++i) {
                TRound round(folder);
                const TFileTarget target = Recorded(round.Tree.Path(), "dir/victim");
                const TFileOpResult trashed = MoveToTrash({target});
                if (trashed.Trashed.size() != 1) {
                    ++tally.Broken;
                    continue;
                }
                int code = 0;
                std::string restoredTo;
                {
                    TSwapper swapper(round.Script(), round.Tree / "ready");
                    code = RestoreFromTrash(trashed.Trashed[0], &restoredTo);
                }
                if (code == 0) {
                    ++tally.Acted;
                    // Back in root's own folder (wherever the loop left it), never in the
                    // secret folder or in a folder of nobody's.
                    bool ours = false;
                    for (const char *name : {"dir", "dir.real"}) {
                        struct stat st
                        { };
                        const std::string at = round.Tree / name;
                        if (::lstat(at.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == 0
                            && Exists(at + "/victim"))
                            ours = true;
                    }
                    if (!ours)
                        ++tally.Broken;
                } else {
                    ++tally.Refused, ++tally.Codes[code];
                    if (!Exists(trashed.Trashed[0].TrashPath))
                        ++tally.Broken; // refused, yet gone from the Trash
                }
                if (!round.SecretIntact())
                    ++tally.Broken;
            }
            Report(folder ? "undo folder" : "undo file", tally);
            broken += tally.Broken;
        }
    }
    std::printf("%s\n", broken ? "BROKEN" : "held");
    return broken ? 1 : 0;
}
