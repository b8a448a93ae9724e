#include <atomic>
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
