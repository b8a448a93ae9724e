#include <atomic>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

#include <fcntl.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QTest>

#include "platform/linux/LinuxPlatform.h"
#include "shell/FileOperations.h"
#include "shell/ShellServices.h"
#include "shell/Terminal.h"
#include "support/TempTree.h"

namespace {

bool Exists(const std::string &path)
{
    struct stat st
    { };
    return ::lstat(path.c_str(), &st) == 0;
}

std::string ReadAll(const std::string &path)
{
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

void Write(const std::string &path, const std::string &text)
{
    std::ofstream(path) << text;
}

// What an analysis of `root` recorded of `rel` (as the scan does): the way there with each
// folder's identity, the kind, a folder's identity.
TFileTarget Recorded(const std::string &root, const std::string &rel)
{
    TFileTarget target;
    target.Path = root + "/" + rel;
    target.Root = root;
    struct stat st
    { };
    if (::stat(root.c_str(), &st) == 0)
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
    if (::lstat(target.Path.c_str(), &st) == 0) {
        target.Kind = KindOfMode(st.st_mode);
        if (target.Kind == TEntryKind::Folder)
            target.Identity = IdentityOf(st);
    }
    return target;
}

// Runs a shell command as another user (nobody) when the tests run as root, as ourselves
// otherwise (the way there changes the same for every user).
bool AsAnotherUser(const std::string &command)
{
    const std::string quoted = "'" + command + "'";
    if (::geteuid() == 0 && ::access("/usr/sbin/runuser", X_OK) == 0)
        return std::system(("/usr/sbin/runuser -u nobody -- sh -c " + quoted).c_str()) == 0;
    return std::system(("sh -c " + quoted).c_str()) == 0;
}

bool AnotherUserIsReal()
{
    return ::geteuid() == 0 && ::access("/usr/sbin/runuser", X_OK) == 0;
}

// A folder of the analysis that another user may write (the root of the tree and `dir`),
// holding dir/victim.txt, and a folder only we can read that holds a file of the same name.
struct TSharedFolder
{
    TempTree Tree;
    TempTree Secret;
    TSharedFolder()
    {
        Tree.MakeFile("dir/victim.txt", 10);
        Secret.MakeFile("victim.txt", 20);
        ::chmod(Tree.Path().c_str(), 0777);
        ::chmod((Tree / "dir").c_str(), 0777);
        ::chmod(Secret.Path().c_str(), 0700);
    }
};

} // namespace

class FileOperationsTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { InstallPlatform(LinuxPlatform()); }
    void init()
    {
        FData = std::make_unique<TempTree>();
        qputenv("XDG_DATA_HOME", QByteArray::fromStdString(FData->Path()));
    }
    void cleanup() { FData.reset(); }

    void trashMoveWritesTheTrashInfoAndUndoRestores()
    {
        TempTree tree;
        // "%41" must come back as itself, not as "A".
        tree.MakeFile("docs/report 1%41.txt", 1234);
        tree.MakeFile("docs/sub/a.bin", 10);
        const std::string file = tree / "docs/report 1%41.txt";
        const std::string dir = tree / "docs/sub";
        const TFileOpResult result = MoveToTrash({file, dir});
        QCOMPARE(result.Code, 0);
        QCOMPARE(result.Removed.size(), std::size_t(2));
        QCOMPARE(result.Trashed.size(), std::size_t(2));
        QVERIFY(!Exists(file));
        QVERIFY(!Exists(dir));

        const std::string trashed = result.Trashed[0].TrashPath;
        QCOMPARE(trashed, *FData / "Trash/files/report 1%41.txt");
        QVERIFY(Exists(trashed));
        QVERIFY(Exists(*FData / "Trash/files/sub/a.bin"));
        const std::string info = ReadAll(TrashInfoPathOf(trashed));
        QVERIFY2(info.find("[Trash Info]") != std::string::npos, info.c_str());
        // The original path, percent-encoded, and the local date and time of deletion.
        QVERIFY2(info.find("Path=" + tree.Path() + "/docs/report%201%2541.txt") != std::string::npos, info.c_str());
        QVERIFY2(info.find("DeletionDate=20") != std::string::npos, info.c_str());
        QCOMPARE(ReadTrashInfoPath(TrashInfoPathOf(trashed)), file);

        std::string restoredTo;
        QCOMPARE(RestoreFromTrash(trashed, &restoredTo), 0);
        QCOMPARE(restoredTo, file);
        QVERIFY(Exists(file));
        QVERIFY(!Exists(trashed));
        QVERIFY(!Exists(TrashInfoPathOf(trashed)));
        struct stat st
        { };
        QCOMPARE(::stat(file.c_str(), &st), 0);
        QCOMPARE(st.st_size, 1234);

        // Something new in the old place is never overwritten.
        tree.MakeDir("docs/sub");
        QCOMPARE(RestoreFromTrash(result.Trashed[1].TrashPath), EEXIST);
        QVERIFY(Exists(result.Trashed[1].TrashPath));
    }

    void trashReportsWhatIsMissingAndGoesOn()
    {
        TempTree tree;
        tree.MakeFile("a", 1);
        const TFileOpResult result = MoveToTrash({tree / "missing", tree / "a"});
        QCOMPARE(result.Code, ENOENT);
        QCOMPARE(result.Failures.size(), std::size_t(1));
        QCOMPARE(result.Failures[0].Path, tree / "missing");
        QCOMPARE(result.Removed, std::vector<std::string> {tree / "a"});
    }

    void volumeTrashInfoIsRelativeToTheVolumeTop()
    {
        TempTree top;
        top.MakeDir(".Trash-1000/info");
        Write(top / ".Trash-1000/info/x.txt.trashinfo",
            "[Trash Info]\nPath=dir/x%20y.txt\nDeletionDate=2026-01-02T03:04:05\n");
        QCOMPARE(ReadTrashInfoPath(top / ".Trash-1000/info/x.txt.trashinfo"), top / "dir/x y.txt");
        top.MakeDir(".Trash/1000/info");
        Write(top / ".Trash/1000/info/z.trashinfo", "[Trash Info]\nPath=z\n");
        QCOMPARE(ReadTrashInfoPath(top / ".Trash/1000/info/z.trashinfo"), top / "z");
        Write(top / "bad.trashinfo", "[Other]\nPath=/etc/passwd\n");
        QCOMPARE(ReadTrashInfoPath(top / "bad.trashinfo"), std::string());
    }

    void permanentDeletionNeverFollowsLinks()
    {
        TempTree outside;
        outside.MakeFile("keep/precious.txt", 50);
        outside.MakeFile("single.txt", 5);
        TempTree tree;
        tree.MakeFile("sel/a/b/c.txt", 10);
        tree.MakeSymlink("sel/dirlink", outside / "keep");
        tree.MakeSymlink("sel/a/filelink", outside / "single.txt");
        tree.MakeFile("sel/ro/locked.txt", 3);
        ::chmod((tree / "sel/ro/locked.txt").c_str(), 0400);
        ::chmod((tree / "sel/ro").c_str(), 0500); // our own write-protected folder
        std::vector<std::string> seen;
        const TFileOpResult result = DeletePermanently({tree / "sel"}, [&](const std::string &path) {
            seen.push_back(path);
            return true;
        });
        QVERIFY2(result.Code == 0, result.FailureText().c_str());
        QCOMPARE(result.Removed, std::vector<std::string> {tree / "sel"});
        QVERIFY(!Exists(tree / "sel"));
        QVERIFY(Exists(outside / "keep/precious.txt"));
        QVERIFY(Exists(outside / "single.txt"));
        // Every file, link and folder is reported, the selection last.
        QCOMPARE(seen.size(), std::size_t(8));
        QCOMPARE(seen.back(), tree / "sel");
    }

    void permanentDeletionReportsFailuresAndGoesOn()
    {
        TempTree tree;
        tree.MakeFile("one", 1);
        tree.MakeFile("two", 1);
        const TFileOpResult result = DeletePermanently({tree / "one", tree / "nothing", tree / "two", "/"});
        QCOMPARE(result.Code, ENOENT);
        QCOMPARE(result.Failures.size(), std::size_t(2));
        QCOMPARE(result.Failures[1].Path, std::string("/"));
        QCOMPARE(result.Removed, (std::vector<std::string> {tree / "one", tree / "two"}));
        QVERIFY(!result.FailureText().empty());
    }

    void permanentDeletionStopsWhenCancelled()
    {
        TempTree tree;
        for (int i = 0; i < 20; ++i)
            tree.MakeFile("big/f" + std::to_string(i), 1);
        tree.MakeFile("other", 1);
        int calls = 0;
        const TFileOpResult result
            = DeletePermanently({tree / "big", tree / "other"}, [&](const std::string &) { return ++calls < 5; });
        QVERIFY(result.Aborted);
        QCOMPARE(calls, 5);
        QCOMPARE(result.Partial, std::vector<std::string> {tree / "big"});
        QVERIFY(result.Removed.empty());
        QVERIFY(Exists(tree / "big"));
        QVERIFY(Exists(tree / "other"));
    }

    void permanentDeletionNeverEntersABindMount()
    {
        TempTree outside;
        outside.MakeFile("victim/precious.txt", 50);
        TempTree tree;
        tree.MakeFile("sel/a.txt", 1);
        tree.MakeDir("sel/mnt");
        // Same file system, so the device number alone cannot tell the mount point.
        if (::mount((outside / "victim").c_str(), (tree / "sel/mnt").c_str(), nullptr, MS_BIND, nullptr) != 0)
            QSKIP("bind mounts need root");
        const TFileOpResult result = DeletePermanently({tree / "sel"});
        const bool kept = Exists(outside / "victim/precious.txt");
        ::umount2((tree / "sel/mnt").c_str(), MNT_DETACH);
        QVERIFY(kept);
        QCOMPARE(result.Code, EXDEV);
        QCOMPARE(result.Partial, std::vector<std::string> {tree / "sel"});
        QVERIFY(!Exists(tree / "sel/a.txt"));
    }

    void trashNeverTakesAnotherFileForANameOutsideUtf8()
    {
        TempTree tree;
        tree.MakeFile("\xff.txt", 1);
        tree.MakeFile("\xef\xbf\xbd.txt", 2); // what a lossy decoding of the first name reads as
        const TFileOpResult result = MoveToTrash({tree / "\xff.txt"});
        QVERIFY(Exists(tree / "\xef\xbf\xbd.txt"));
        if (result.Code == 0) {
            QVERIFY(!Exists(tree / "\xff.txt"));
        } else {
            QVERIFY(Exists(tree / "\xff.txt"));
            QVERIFY(result.Removed.empty());
        }
    }

    void trashInfoPathsThatLeaveTheirPlaceAreRefused()
    {
        TempTree top;
        top.MakeDir(".Trash-1000/info");
        const std::vector<std::string> values {
            "../../x", "dir/../../x", "/tmp/../etc/x", "/tmp/a%00b", "/tmp//x", "/tmp/./x"};
        for (const std::string &value : values) {
            Write(top / ".Trash-1000/info/x.trashinfo", "[Trash Info]\nPath=" + value + "\n");
            QVERIFY2(ReadTrashInfoPath(top / ".Trash-1000/info/x.trashinfo").empty(), value.c_str());
        }
    }

    void permanentDeletionOfADeepChain()
    {
        TempTree tree;
        std::string rel = "deep";
        tree.MakeDir(rel);
        {
            // Built through descriptors: the full path is far longer than PATH_MAX.
            int fd = ::open((tree / rel).c_str(), O_RDONLY | O_DIRECTORY);
            for (int i = 0; i < 2000; ++i) {
                QCOMPARE(::mkdirat(fd, "d", 0755), 0);
                const int next = ::openat(fd, "d", O_RDONLY | O_DIRECTORY);
                ::close(fd);
                fd = next;
            }
            ::close(fd);
        }
        // A tight descriptor limit, as desktop sessions often have: the walk must not spend
        // more than one descriptor per level.
        rlimit saved {};
        ::getrlimit(RLIMIT_NOFILE, &saved);
        rlimit tight = saved;
        tight.rlim_cur = std::min<rlim_t>(saved.rlim_cur, 3000);
        ::setrlimit(RLIMIT_NOFILE, &tight);
        const TFileOpResult result = DeletePermanently({tree / rel});
        ::setrlimit(RLIMIT_NOFILE, &saved);
        QVERIFY2(result.Code == 0, std::to_string(result.Code).c_str());
        QVERIFY(!Exists(tree / rel));
    }

    void permanentDeletionRacesAFolderSwappedForALink()
    {
        TempTree outside;
        TempTree tree;
        for (int round = 0; round < 50; ++round) {
            outside.MakeFile("victim/v" + std::to_string(round), 1);
            tree.MakeFile("sel/sub/f1", 1);
            tree.MakeFile("sel/sub/f2", 1);
            tree.MakeFile("sel/sub/inner/f3", 1);
            std::atomic<bool> stop = false;
            std::thread swapper([&] {
                const std::string sub = tree / "sel/sub";
                const std::string aside = tree / "aside";
                while (!stop) {
                    if (::rename(sub.c_str(), aside.c_str()) == 0)
                        ::symlink((outside / "victim").c_str(), sub.c_str());
                }
            });
            (void)DeletePermanently({tree / "sel"});
            stop = true;
            swapper.join();
            for (int i = 0; i <= round; ++i)
                QVERIFY(Exists(outside / ("victim/v" + std::to_string(i))));
            (void)DeletePermanently({tree / "sel", tree / "aside"});
        }
    }

    void trashOnAVolumeNeverFollowsAPlantedTrashFolder()
    {
        TempTree mnt;
        if (::mount("tmpfs", mnt.Path().c_str(), "tmpfs", 0, "size=8m") != 0)
            QSKIP("mounting a volume needs root");
        const std::string uid = std::to_string(::geteuid());
        // Another user's folder that the trash folder's name leads to.
        ::mkdir((mnt / "theirs").c_str(), 0777);
        ::chmod((mnt / "theirs").c_str(), 0777);
        ::symlink("theirs", (mnt / (".Trash-" + uid)).c_str());
        std::ofstream(mnt / "w") << "abc";
        const TFileOpResult linked = MoveToTrash({mnt / "w"});
        ::unlink((mnt / (".Trash-" + uid)).c_str());
        // A planted folder of someone else's is no better.
        ::mkdir((mnt / (".Trash-" + uid)).c_str(), 0777);
        ::chown((mnt / (".Trash-" + uid)).c_str(), 12345, 12345);
        const TFileOpResult foreign = MoveToTrash({mnt / "w"});
        const bool kept = Exists(mnt / "w");
        const bool leaked = Exists(mnt / "theirs/files/w") || Exists(mnt / (".Trash-" + uid + "/files/w"));
        ::rmdir((mnt / (".Trash-" + uid)).c_str());
        // A sound volume trash still takes it.
        const TFileOpResult sound = MoveToTrash({mnt / "w"});
        ::umount2(mnt.Path().c_str(), MNT_DETACH);
        QVERIFY(!leaked);
        QVERIFY(kept);
        QCOMPARE(linked.Code, EXDEV);
        QCOMPARE(foreign.Code, EXDEV);
        QCOMPARE(sound.Code, 0);
        QCOMPARE(sound.Trashed.size(), std::size_t(1));
        QCOMPARE(sound.Trashed[0].TrashPath, mnt / (".Trash-" + uid + "/files/w"));
    }

    // While the confirmation waits, another user moves the folder aside and puts a link to a
    // folder only we can read, or a folder of theirs, in its place: nothing is touched there,
    // and the failure says what changed. Both ways of resolving (openat2 and the step-by-step
    // fallback) are run.
    void swapWhileTheConfirmationWaitsChangesNothing()
    {
        struct TCase
        {
            const char *Swap;
            int Code;
        };
        const TCase swaps[] = {
            {"mv dir dir.moved && ln -s SECRET dir", ELOOP},
            {"mv dir dir.moved && mkdir dir && echo x > dir/victim.txt", ESTALE},
            {"mv dir dir.moved && ln -s SECRET/victim.txt dir", ELOOP},
        };
        for (const bool openat2 : {true, false}) {
            SetOpenat2Allowed(openat2);
            for (const bool permanent : {true, false}) {
                for (const TCase &c : swaps) {
                    TSharedFolder shared;
                    const TFileTarget target = Recorded(shared.Tree.Path(), "dir/victim.txt");
                    std::string swap = c.Swap;
                    if (const auto at = swap.find("SECRET"); at != std::string::npos)
                        swap.replace(at, 6, shared.Secret.Path());
                    QVERIFY(AsAnotherUser("cd " + shared.Tree.Path() + " && " + swap));
                    const TFileOpResult result = permanent ? DeletePermanently({target}) : MoveToTrash({target});
                    const std::string what = std::string(c.Swap) + (permanent ? " delete" : " trash")
                        + (openat2 ? " openat2" : " openat") + ": " + result.FailureText();
                    QVERIFY2(result.Code == c.Code, what.c_str());
                    QVERIFY2(result.Removed.empty(), what.c_str());
                    QVERIFY2(!result.Failures.front().Note.empty(), what.c_str());
                    QVERIFY(Exists(shared.Secret / "victim.txt"));
                    QVERIFY(Exists(shared.Tree / "dir.moved/victim.txt"));
                    QVERIFY(!Exists(*FData / "Trash/files/victim.txt"));
                }
            }
        }
        SetOpenat2Allowed(true);
        QVERIFY(UsesOpenat2() || !UsesOpenat2()); // either way, both paths ran above
    }

    // What is on disk is compared with what was confirmed: a file that became a folder, a
    // folder that became a file, or another folder of the same name, is left alone.
    void aChangedTargetIsLeftAlone()
    {
        struct TCase
        {
            const char *Before; // "file" or "dir"
            const char *Change;
            int Code;
        };
        const TCase cases[] = {
            {"file", "rm docs && mkdir docs && touch docs/a docs/b", ESTALE},
            {"dir", "rm -r docs && echo x > docs", ESTALE},
            {"dir", "mv docs docs.old && mkdir docs && touch docs/a", ESTALE},
            {"file", "rm docs", ENOENT},
        };
        for (const bool permanent : {true, false}) {
            for (const TCase &c : cases) {
                TempTree tree;
                if (std::string(c.Before) == "file")
                    tree.MakeFile("docs", 10);
                else
                    tree.MakeFile("docs/inner", 10);
                const TFileTarget target = Recorded(tree.Path(), "docs");
                QVERIFY(std::system(("cd " + tree.Path() + " && " + c.Change).c_str()) == 0);
                const std::vector<TFileOpFailure> changed = ChangedTargets({target});
                QCOMPARE(changed.size(), std::size_t(1));
                QVERIFY2(!changed[0].Note.empty(), c.Change);
                const TFileOpResult result = permanent ? DeletePermanently({target}) : MoveToTrash({target});
                QVERIFY2(result.Code == c.Code, (std::string(c.Change) + ": " + result.FailureText()).c_str());
                QVERIFY(result.Removed.empty());
                if (c.Code != ENOENT)
                    QVERIFY(Exists(tree / "docs"));
            }
        }
        // What is as confirmed goes.
        TempTree tree;
        tree.MakeFile("keep/docs", 10);
        const TFileTarget target = Recorded(tree.Path(), "keep/docs");
        QVERIFY(ChangedTargets({target}).empty());
        QCOMPARE(DeletePermanently({target}).Code, 0);
        QVERIFY(!Exists(tree / "keep/docs"));
    }

    // The last moment: a swap between the resolution and the action is caught by the walk
    // (delete) or by the identity of what reached the Trash (which goes back).
    void swapInTheLastMomentIsCaught()
    {
        for (const bool permanent : {true, false}) {
            TSharedFolder shared;
            shared.Tree.MakeFile("dir/sub/own.txt", 5);
            const TFileTarget target = Recorded(shared.Tree.Path(), "dir/sub");
            TestHookBeforeAction = [&](const TFileTarget &) {
                QVERIFY(AsAnotherUser("cd " + shared.Tree.Path() + "/dir && mv sub sub.moved && mkdir sub"));
            };
            const TFileOpResult result = permanent ? DeletePermanently({target}) : MoveToTrash({target});
            TestHookBeforeAction = nullptr;
            QVERIFY2(result.Code == ESTALE, result.FailureText().c_str());
            QVERIFY(result.Removed.empty());
            QVERIFY(Exists(shared.Tree / "dir/sub"));
            QVERIFY(Exists(shared.Tree / "dir/sub.moved/own.txt"));
            QVERIFY(!Exists(*FData / "Trash/files/sub"));
        }
    }

    // Undo puts an item back only through the folders it came from: not through a link put
    // in their place, not into a folder of another user that took the place; a folder that
    // is gone is made again, and what is unchanged takes it back.
    void undoNeverRestoresThroughAnotherUsersFolder()
    {
        struct TCase
        {
            const char *Change;
            int Code;
            bool NeedsAnotherUser;
        };
        const TCase cases[] = {
            {"", 0, false},
            {"mv dir dir.moved && ln -s SECRET dir", ELOOP, false},
            {"mv dir dir.moved && mkdir dir && chmod 777 dir", EACCES, true},
            {"mv dir dir.moved", 0, false},
        };
        for (const TCase &c : cases) {
            if (c.NeedsAnotherUser && !AnotherUserIsReal())
                continue;
            TSharedFolder shared;
            const TFileTarget target = Recorded(shared.Tree.Path(), "dir/victim.txt");
            const TFileOpResult trashed = MoveToTrash({target});
            QVERIFY2(trashed.Code == 0, trashed.FailureText().c_str());
            QCOMPARE(trashed.Trashed.size(), std::size_t(1));
            if (*c.Change) {
                std::string change = c.Change;
                if (const auto at = change.find("SECRET"); at != std::string::npos)
                    change.replace(at, 6, shared.Secret.Path());
                QVERIFY(AsAnotherUser("cd " + shared.Tree.Path() + " && " + change));
            }
            std::string restoredTo, note;
            const int code = RestoreFromTrash(trashed.Trashed[0], &restoredTo, &note);
            QVERIFY2(code == c.Code, (std::string(c.Change) + ": " + std::to_string(code) + " " + note).c_str());
            QCOMPARE(Exists(trashed.Trashed[0].TrashPath), code != 0);
            QVERIFY(Exists(shared.Secret / "victim.txt"));
            if (code == 0) {
                QCOMPARE(restoredTo, shared.Tree / "dir/victim.txt");
                QVERIFY(Exists(shared.Tree / "dir/victim.txt"));
                QVERIFY(!Exists(TrashInfoPathOf(trashed.Trashed[0].TrashPath)));
                struct stat st
                { };
                QCOMPARE(::lstat((shared.Tree / "dir").c_str(), &st), 0);
                QVERIFY(S_ISDIR(st.st_mode));
                if (std::string(c.Change) == "mv dir dir.moved")
                    QCOMPARE(st.st_mode & 0777, 0700u); // made again, private
            } else {
                QVERIFY(!note.empty());
                QVERIFY(!Exists(shared.Tree / "dir/victim.txt")
                    || std::string(c.Change).find("ln -s") != std::string::npos);
            }
        }
    }

    // The user's terminal starts in the folder: the desktop's setting first (GNOME keeps it
    // for gsettings to read), else Debian's x-terminal-emulator; none on the PATH says so.
    void userTerminalStartsInTheFolder()
    {
        TempTree bin;
        TempTree folder;
        const auto script = [&](const std::string &name, const std::string &body) {
            Write(bin / name, "#!/bin/sh\n" + body + "\n");
            ::chmod((bin / name).c_str(), 0755);
        };
        script("x-terminal-emulator", "pwd > " + bin / "debian.out");
        script("my-term", "pwd > " + bin / "desktop.out");
        script("gsettings", "echo \"'my-term'\"");
        const QByteArray savedPath = qgetenv("PATH");
        const QByteArray savedDesktop = qgetenv("XDG_CURRENT_DESKTOP");
        qputenv("PATH", QByteArray::fromStdString(bin.Path()));
        struct TCase
        {
            const char *Desktop;
            const char *Output;
        };
        for (const TCase &c : {TCase {"KDE", "debian.out"}, TCase {"ubuntu:GNOME", "desktop.out"}}) {
            qputenv("XDG_CURRENT_DESKTOP", c.Desktop);
            std::string error;
            QVERIFY2(TerminalLauncher().OpenTerminal(folder.Path(), error), error.c_str());
            QTRY_VERIFY(Exists(bin / c.Output));
            QTRY_COMPARE(ReadAll(bin / c.Output), folder.Path() + "\n");
        }
        TempTree empty;
        qputenv("PATH", QByteArray::fromStdString(empty.Path()));
        std::string error;
        QVERIFY(!TerminalLauncher().OpenTerminal(folder.Path(), error));
        QVERIFY(!error.empty());
        qputenv("PATH", savedPath);
        qputenv("XDG_CURRENT_DESKTOP", savedDesktop);
    }

    void shellWrappers()
    {
        QCOMPARE(DisplayNameOfPath("/usr/share/"), std::string("share"));
        QCOMPARE(FileVersion("/proc/self/exe"), ProgramVersion());
        const std::string version = ProgramVersion();
        QCOMPARE(std::count(version.begin(), version.end(), '.'), 3);
        QCOMPARE(FileVersion("/bin/sh"), std::string());
        QVERIFY(IconIndexOfPath("/nowhere/picture.png") >= 0);
        QCOMPARE(IconIndexOfPath(""), -1);
        TempTree tree;
        tree.MakeFile("a", 1);
        bool aborted = true;
        QCOMPARE(DeleteFiles({tree / "a"}, false, aborted), 0);
        QVERIFY(!aborted);
        QVERIFY(!Exists(tree / "a"));
    }

private:
    std::unique_ptr<TempTree> FData;
};

QTEST_GUILESS_MAIN(FileOperationsTest)
#include "file_operations_test.moc"
