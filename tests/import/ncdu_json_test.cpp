#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "export/NcduJsonExport.h"
#include "import/NcduJsonImport.h"
#include "model/TreeTypes.h"
#include "platform/DirLister.h"
#include "platform/UnixTime.h"
#include "platform/fake/FakeDirLister.h"
#include "platform/fake/FakeSystem.h"
#include "platform/fake/FakeVolumes.h"
#include "platform/linux/LinuxPlatform.h"
#include "scan/DirScanner.h"
#include "support/TempTree.h"

namespace {

class PlatformGuard
{
public:
    explicit PlatformGuard(const TPlatform &p)
        : FPrevious(InstallPlatform(p))
    { }
    ~PlatformGuard() { InstallPlatform(FPrevious); }

private:
    TPlatform FPrevious;
};

std::unique_ptr<TRootDirNode> Scan(const std::string &path, std::int64_t groupSize)
{
    auto root = std::make_unique<TRootDirNode>();
    root->SetGroupFileSize(groupSize);
    TDirScanner scanner(root.get());
    scanner.StartScan(path, {groupSize, 0});
    return root;
}

std::string Export(const TDirNode &root)
{
    TNcduJsonExport exporter(&root);
    std::ostringstream out;
    exporter.SaveToStream(out);
    return out.str();
}

void WriteFile(const std::string &path, const std::string &bytes)
{
    std::ofstream(path, std::ios::binary) << bytes;
}

std::int64_t Seconds(const TFileSystemNode &n)
{
    return n.Timestamp() == 0 ? 0 : LocalDateTimeToUnixSeconds(n.Timestamp());
}

// Both trees node by node, in child order; reports the first difference with its path.
void ExpectSameTree(const TFileSystemNode &a, const TFileSystemNode &b, const std::string &path = "")
{
    const std::string where = path + "/" + std::string(a.Name());
    constexpr std::uint16_t Carried = FileAttr::Directory | FileAttr::ReparsePoint | FileAttr::Hidden;
    if (std::string_view(a.ClassName()) != b.ClassName() || a.Name() != b.Name() || a.GetSize() != b.GetSize()
        || a.FileCount() != b.FileCount() || Seconds(a) != Seconds(b)
        || (a.Attributes() & Carried) != (b.Attributes() & Carried) || (a.ErrorCode() != 0) != (b.ErrorCode() != 0)) {
        ADD_FAILURE() << "differs at " << where << ": " << a.ClassName() << "/" << b.ClassName() << " size "
                      << a.GetSize() << "/" << b.GetSize() << " files " << a.FileCount() << "/" << b.FileCount()
                      << " time " << Seconds(a) << "/" << Seconds(b) << " attributes " << a.Attributes() << "/"
                      << b.Attributes() << " error " << a.ErrorCode() << "/" << b.ErrorCode();
        return;
    }
    if (!a.IsGroup())
        return;
    const auto &ga = static_cast<const TGroupNode &>(a);
    const auto &gb = static_cast<const TGroupNode &>(b);
    if (ga.Flags() != gb.Flags() || ga.InterlockedChildCount() != gb.InterlockedChildCount()) {
        ADD_FAILURE() << "children or flags differ at " << where << ": " << ga.InterlockedChildCount() << "/"
                      << gb.InterlockedChildCount() << " flags " << int(ga.Flags()) << "/" << int(gb.Flags());
        return;
    }
    for (std::int32_t i = 0; i < ga.InterlockedChildCount(); ++i)
        ExpectSameTree(*ga.GetUnlockedChildNode(i), *gb.GetUnlockedChildNode(i), where);
}

TEST(NcduJson, RoundTripOfARealTreeKeepsEveryNodeAndGroup)
{
    PlatformGuard platform(LinuxPlatform());
    TempTree tree;
    // Every byte but the delimiter in a name, with sizes on both sides of the group limit.
    for (int b = 1; b < 256; ++b) {
        if (b == '/')
            continue;
        const std::string name = std::string("n") + static_cast<char>(b) + "\"\\\xff";
        tree.MakeFile("odd/" + name, b * 7);
        tree.SetMtime("odd/" + name, 1'600'000'000 + b * 3600);
    }
    tree.MakeFile("\x7f\x01\xc3", 3000);
    tree.MakeFile("hard/original", 5000);
    tree.MakeHardLink("hard/link", "hard/original");
    tree.MakeSymlink("hard/symlink", "original");
    tree.MakeFile("one/only-small", 10); // a group of one folds back
    tree.MakeDir("empty/inner-empty");
    tree.MakeFile(".hidden/f", 2000);
    std::string deep = "deep";
    for (int i = 0; i < 600; ++i)
        deep += "/d";
    tree.MakeFile(deep + "/bottom", 1234);

    for (const std::int64_t group : {std::int64_t {0}, std::int64_t {1000}}) {
        SCOPED_TRACE("group size " + std::to_string(group));
        const auto scanned = Scan(tree.Path(), group);
        const std::string text = Export(*scanned);
        const TImportResult imported = ImportNcduJsonText(text, {group});
        ASSERT_NE(imported.Root, nullptr);
        EXPECT_EQ(imported.Root->Name(), tree.Path());
        EXPECT_EQ(imported.Root->GroupFileSize(), group);
        EXPECT_EQ(imported.ProgramName, "zumbrel");
        ExpectSameTree(*scanned, *imported.Root);
        // Written again, the import gives the same text but for the time of writing.
        const std::string again = Export(*imported.Root);
        EXPECT_EQ(again.substr(again.find("},")), text.substr(text.find("},")));
    }
}

TEST(NcduJson, RoundTripKeepsReadErrorsMountPointsAndLinks)
{
    TFakeDirLister lister;
    TFakeVolumes volumes;
    TFakeSystem system;
    PlatformGuard platform({&lister, &volumes, &system});
    const double time = UnixSecondsToLocalDateTime(1'700'000'000);
    lister.AddFile("/r/locked/secret", 100, time);
    lister.SetOpenError("/r/locked", EACCES);
    lister.AddFile("/r/partial/g", 5, time);
    lister.SetListError("/r/partial", EIO);
    lister.AddDir("/r/mnt", time, FileAttr::ReparsePoint);
    lister.AddFile("/r/link", 0, time, FileAttr::ReparsePoint);
    lister.AddFile("/r/plain", 77, time);

    const auto scanned = Scan("/r", 0);
    const std::string text = Export(*scanned);
    EXPECT_NE(text.find("{\"name\":\"mnt\",\"excluded\":\"otherfs\""), std::string::npos) << text;
    EXPECT_NE(text.find("{\"name\":\"link\",\"asize\":0,\"notreg\":true"), std::string::npos) << text;
    EXPECT_NE(text.find("\"read_error\":true"), std::string::npos) << text;
    const TImportResult imported = ImportNcduJsonText(text, {0});
    ExpectSameTree(*scanned, *imported.Root);
    EXPECT_EQ(imported.Entries, 7);
}

// All local drives in one file: the tree of "/" with each drive at its mount point, whether
// "/" shows that mount point (home), shows another mount above it (mnt, not analysed) or
// nothing at all (srv). Our import, ncdu and gdu read it with the sum of the drives.
TEST(NcduJson, AllLocalDrivesBecomeOneTreeOfTheirCommonFolder)
{
    // The file system of "/" as its scan sees it (other file systems' mount points are not
    // entered), and the others.
    TFakeDirLister rootFs;
    TFakeDirLister others;
    TFakeVolumes volumes;
    TFakeSystem system;
    const double time = UnixSecondsToLocalDateTime(1'700'000'000);
    for (const char *mount : {"/", "/home", "/mnt/usb", "/srv/data"})
        volumes.AddMount(mount, dtFixed);
    rootFs.AddFile("/etc/conf", 100, time);
    rootFs.AddDir("/home", time, FileAttr::ReparsePoint);
    rootFs.AddDir("/mnt", time, FileAttr::ReparsePoint);
    others.AddFile("/home/u/big", 5000, time);
    others.AddFile("/mnt/usb/photo", 3000, time);
    others.AddFile("/srv/data/db", 700, time);
    PlatformGuard platform({&others, &volumes, &system});
    std::string text;
    {
        TFixedDrivesNode drives;
        ASSERT_EQ(drives.InterlockedChildCount(), 4);
        for (std::int32_t i = 0; i < drives.InterlockedChildCount(); ++i) {
            auto *drive = dynamic_cast<TDirNode *>(drives.GetUnlockedChildNode(i));
            const std::string path = drive->GetFullPathName();
            PlatformGuard lister({path == "/" ? &rootFs : &others, &volumes, &system});
            TDirScanner scanner(drive);
            scanner.StartScan(path, {0, 0});
        }
        drives.RecalcSizeAndFileCount();
        ASSERT_EQ(drives.GetSize(), 8800);
        text = Export(drives);
    }
    const TImportResult imported = ImportNcduJsonText(text, {0});
    ASSERT_NE(imported.Root, nullptr);
    EXPECT_EQ(imported.Root->Name(), "/");
    EXPECT_EQ(imported.Root->GetSize(), 8800);
    EXPECT_EQ(imported.Root->FileCount(), 4);
    for (const auto &[path, size] : std::initializer_list<std::pair<const char *, std::int64_t>> {
             {"/etc/conf", 100}, {"/home/u/big", 5000}, {"/mnt/usb/photo", 3000}, {"/srv/data/db", 700}}) {
        const TFileSystemNode *node = imported.Root->FindChildNodePath(path);
        ASSERT_NE(node, nullptr) << path;
        EXPECT_EQ(node->GetSize(), size) << path;
    }
    // A mount point that became its drive's tree is a folder like any other; each name once.
    const TFileSystemNode *home = imported.Root->FindChildNode("home");
    EXPECT_FALSE(home->IsSymLink());
    EXPECT_EQ(imported.Root->InterlockedChildCount(), 4); // etc, home, mnt, srv
    EXPECT_EQ(LocalDateTimeToUnixSeconds(home->Timestamp()), 1'700'000'000);

    TempTree files;
    const std::string ours = files / "drives.json";
    {
        std::ofstream out(ours, std::ios::binary);
        out << text;
    }
    const auto run = [](const std::string &command) {
        std::string output;
        std::unique_ptr<std::FILE, int (*)(std::FILE *)> pipe(::popen(command.c_str(), "r"), ::pclose);
        char buffer[4096];
        while (pipe && std::fgets(buffer, sizeof buffer, pipe.get()))
            output += buffer;
        return output;
    };
    if (::access("/usr/bin/ncdu", X_OK) == 0) {
        // ncdu writes back what it read: the same totals.
        const std::string again = files / "again.json";
        EXPECT_EQ(std::system(("ncdu -f '" + ours + "' -o '" + again + "' </dev/null").c_str()), 0);
        const TImportResult back = ImportNcduJsonFile(again, {0});
        EXPECT_EQ(back.Root->Name(), "/");
        EXPECT_EQ(back.Root->GetSize(), 8800);
        EXPECT_EQ(back.Root->FileCount(), 4);
    }
    if (::access("/usr/bin/gdu", X_OK) == 0) {
        // gdu counts 4096 bytes for each folder that records no size: "/", etc, home, u, mnt,
        // usb, srv and data.
        const std::string total = run("gdu -f '" + ours + "' -n -p -c -a -s --no-prefix </dev/null");
        EXPECT_EQ(std::atoll(total.c_str()), 8800 + 8 * 4096) << total;
    }
}

TEST(NcduJson, ReadsWhatNcduAndGduWriteAndSkipsUnknownFields)
{
    // Shapes of both tools' files: extended fields, dsize, hard link marks, nested unknowns,
    // old-style excluded flags, names escaped as \u sequences.
    const std::string text = R"([1,2,{"progname":"ncdu","progver":"1.18","timestamp":1,"x":{"y":[1,{}]}},
[{"name":"/data/","asize":4096,"dsize":4096,"dev":65024,"uid":0,"gid":0,"mode":16877,"mtime":1700000000},
 {"name":"f\u00e9","asize":10,"dsize":4096,"mode":33060,"mtime":1700000000,"ino":5,"hlnkc":true,"nlink":2},
 {"name":"l","asize":7,"mode":41471,"notreg":false},
 {"name":"proc","excluded":"kernfs"},
 {"name":"skipped","excluded":"pattern"},
 {"name":"old","excluded":true,"future":[{"a":[]}]},
 [{"name":"sub","read_error":true,"future":null},{"name":"g","asize":1.0e3}]]])";
    const TImportResult r = ImportNcduJsonText(text, {0});
    EXPECT_EQ(r.Root->Name(), "/data");
    EXPECT_EQ(LocalDateTimeToUnixSeconds(r.Root->Timestamp()), 1700000000);
    EXPECT_EQ(r.Entries, 8);
    EXPECT_EQ(r.Root->FileCount(), 5); // f\u00e9, l, skipped, old, g
    EXPECT_EQ(r.Root->GetSize(), 10 + 7 + 1000);
    EXPECT_EQ(r.Root->GetDirCount(), 2); // proc, sub
    const TFileSystemNode *f = r.Root->FindChildNode("f\xc3\xa9");
    ASSERT_NE(f, nullptr);
    EXPECT_TRUE(f->Attributes() & FileAttr::ReadOnly); // mode 0444
    EXPECT_EQ(LocalDateTimeToUnixSeconds(f->Timestamp()), 1700000000);
    EXPECT_TRUE(r.Root->FindChildNode("l")->IsSymLink()); // the mode says so, whatever notreg says
    const TFileSystemNode *proc = r.Root->FindChildNode("proc");
    EXPECT_EQ(proc->FileType(), fstDirectory);
    EXPECT_TRUE(proc->IsSymLink()); // never entered, like a mount point found by a scan
    EXPECT_NE(r.Root->FindChildNode("sub")->ErrorCode(), 0);
}

TEST(NcduJson, DamagedFilesFailWithTheirOffsetAndNoTree)
{
    struct TCase
    {
        const char *Text;
        const char *Message; // a part of the error text
        std::uint64_t Offset; // at the offending token or right behind the value
    };
    const TCase cases[] = {
        {"", "ends too early", 0},
        {"{}", "no array", 0},
        {"[2,0,{},[{\"name\":\"/\"}]]", "major version 1", 1},
        {"[1,2,{},[{\"asize\":3}]]", "without a name", 19},
        {"[1,2,{},[{\"name\":\"/r\"},{\"name\":\"a/b\"}]]", "single path component", 36},
        {"[1,2,{},[{\"name\":\"/r\"},{\"name\":\"..\"}]]", "single path component", 35},
        {"[1,2,{},[{\"name\":\"/r\"},{\"name\":\"a\\u0000b\"}]]", "NUL", 41},
        {"[1,2,{},[{\"name\":\"/r\"},{\"name\":\"a\",\"asize\":-1}]]", "not a size", 43},
        {"[1,2,{},[{\"name\":\"/r\"},{\"name\":\"a\",\"asize\":\"1\"}]]", "not a size", 46},
        {"[1,2,{},[{\"name\":\"/r\"},[]]]", "without its info", 24},
        {"[1,2,{},[{\"name\":\"/r\"},[[{\"name\":\"x\"}]]]]", "without its info", 24},
        {"[1,2,{},[{\"name\":\"/r\"}],5]", "unexpected value", 24},
        {"[1,2,{},[{\"name\":\"/r\"}]] x", "not be followed", 25},
        {"[1,2,{},[{\"name\":\"/r\"},{\"name\":\"a\" \"asize\":1}]]", "Missing a comma", 35},
        {"[1,2,[{\"name\":\"/r\"}]]", "unexpected array", 5},
    };
    for (const TCase &c : cases) {
        SCOPED_TRACE(c.Text);
        try {
            (void)ImportNcduJsonText(c.Text, {0});
            ADD_FAILURE() << "accepted";
        } catch (const EImportError &e) {
            EXPECT_NE(std::string(e.what()).find(c.Message), std::string::npos) << e.what();
            EXPECT_EQ(e.Offset(), c.Offset) << e.what();
            EXPECT_NE(std::string(e.what()).find("at byte " + std::to_string(c.Offset)), std::string::npos);
        }
    }
}

TEST(NcduJson, EveryCutOffExportFailsCleanly)
{
    TFakeDirLister lister;
    TFakeVolumes volumes;
    TFakeSystem system;
    PlatformGuard platform({&lister, &volumes, &system});
    auto root = std::make_unique<TRootDirNode>();
    root->SetName("/r");
    TDirNode *a = root->AddChildDir("a");
    auto file = TFileNode::Create("f\"1");
    file->SetSize(12);
    a->AddChildNode(std::move(file));
    root->AddChildDir("b");
    const std::string text = Export(*root);
    ASSERT_NO_THROW((void)ImportNcduJsonText(text, {0}));
    // The trailing line feed is optional; every shorter prefix is damaged.
    const std::size_t complete = text.size() - 1;
    for (std::size_t n = 0; n < complete; ++n) {
        try {
            (void)ImportNcduJsonText(std::string_view(text).substr(0, n), {0});
            ADD_FAILURE() << "accepted the first " << n << " bytes";
        } catch (const EImportError &e) {
            EXPECT_LE(e.Offset(), n);
        }
    }
}

TEST(NcduJson, FileErrorsNameTheCauseAndTruncationTheOffset)
{
    TempTree tree;
    EXPECT_THROW((void)ImportNcduJsonFile(tree / "missing.json", {0}), EImportError);
    EXPECT_THROW((void)ImportNcduJsonFile(tree.Path(), {0}), EImportError);
    EXPECT_FALSE(LooksLikeJsonExport(tree.Path()));
    const std::string path = tree / "cut.json";
    {
        std::FILE *f = std::fopen(path.c_str(), "wb");
        ASSERT_NE(f, nullptr);
        std::fputs("  [1,2,{},[{\"name\":\"/r\"},{\"name\":\"a\",\"asi", f);
        std::fclose(f);
    }
    EXPECT_TRUE(LooksLikeJsonExport(path));
    try {
        (void)ImportNcduJsonFile(path, {0});
        ADD_FAILURE() << "accepted";
    } catch (const EImportError &e) {
        EXPECT_EQ(e.Offset(), 41u); // the length of the file
        EXPECT_NE(std::string(e.what()).find("ends too early"), std::string::npos) << e.what();
    }
}

// What a hostile or unlucky user hands over: the import says what is wrong and holds no more
// than a name's worth of any string.
TEST(NcduJson, HostileInputIsRefusedWithTheReason)
{
    const std::string head = "[1,2,{},[{\"name\":\"/r\"},{\"name\":\"";
    struct TCase
    {
        std::string Text;
        const char *Message; // a part of the error text; empty: accepted
    };
    const TCase cases[] = {
        {"\x1F\x8B\x08\x00\x00\x00\x00\x00\x00\x03", "gzip"},
        {"\x28\xB5\x2F\xFD\x04\x00", "zstd"},
        {"\xFF\xFE[\0"
         "1\0",
            "UTF-16"},
        {std::string("\x01\x02\x00garbage", 10), "binary data"},
        {"hello, world", "not an analysis in JSON"},
        {"\xEF\xBB\xBF[1,2,{},[{\"name\":\"/r\"}]]", ""}, // a byte order mark is read past
        {head + "a\"},{\"name\":\"a\"}]]", "\"a\" appears twice"},
        {head + "a\"},[{\"name\":\"a\"}]]]", "\"a\" appears twice"}, // a file and a folder
        {head + "a\"},[{\"name\":\"b\"},{\"name\":\"a\"}],[{\"name\":\"d\"},{\"name\":\"a\"}]]]", ""}, // per folder
        {head + std::string(65535, 'n') + "\"}]]", ""},
        {head + std::string(65536, 'n') + "\"}]]", "longer than 65535 bytes"},
        // Escapes count as what they decode to: 21845 three-byte characters fit, one more not.
        {head +
                [] {
                    std::string s;
                    for (int i = 0; i < 21845; ++i)
                        s += "\\u20ac";
                    return s;
                }()
                + "\"}]]",
            ""},
        {head +
                [] {
                    std::string s;
                    for (int i = 0; i < 21846; ++i)
                        s += "\\u20ac";
                    return s;
                }()
                + "\"}]]",
            "longer than 65535 bytes"},
    };
    for (const TCase &c : cases) {
        SCOPED_TRACE(c.Text.substr(0, 60));
        if (!*c.Message) {
            EXPECT_NO_THROW((void)ImportNcduJsonText(c.Text, {0}));
            continue;
        }
        try {
            (void)ImportNcduJsonText(c.Text, {0});
            ADD_FAILURE() << "accepted";
        } catch (const EImportError &e) {
            EXPECT_NE(std::string(e.what()).find(c.Message), std::string::npos) << e.what();
        }
    }

    // A name of 64 MiB is refused once the limit is passed, not after the parser has read and
    // copied all of it: the offset is the limit's, right behind the name's start.
    const std::string huge = head + std::string(64u << 20, 'x') + "\"}]]";
    try {
        (void)ImportNcduJsonText(huge, {0});
        ADD_FAILURE() << "accepted";
    } catch (const EImportError &e) {
        EXPECT_EQ(e.Offset(), head.size() + 65536) << e.what();
    }
}

TEST(NcduJson, SpecialFilesAreRefusedWithoutBlocking)
{
    TempTree tree;
    const std::string fifo = tree / "analysis.json";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    // Without O_NONBLOCK both calls would wait for a writer for ever.
    EXPECT_FALSE(LooksLikeJsonExport(fifo));
    try {
        (void)ImportNcduJsonFile(fifo, {0});
        ADD_FAILURE() << "accepted";
    } catch (const EImportError &e) {
        EXPECT_NE(std::string(e.what()).find("a FIFO"), std::string::npos) << e.what();
    }
    try {
        (void)ImportNcduJsonFile("/dev/zero", {0});
        ADD_FAILURE() << "accepted";
    } catch (const EImportError &e) {
        EXPECT_NE(std::string(e.what()).find("a device"), std::string::npos) << e.what();
    }
    // The gzip check works on files as well; a byte order mark shifts no offset.
    const std::string gz = tree / "a.json.gz";
    WriteFile(gz, std::string("\x1F\x8B\x08\x00", 4));
    EXPECT_THROW((void)ImportNcduJsonFile(gz, {0}), EImportError);
    const std::string bom = tree / "bom.json";
    WriteFile(bom, "\xEF\xBB\xBF[1,2,{},[{\"name\":\"/r\"},{\"name\":\"a\",\"asize\":x}]]");
    EXPECT_TRUE(LooksLikeJsonExport(bom));
    try {
        (void)ImportNcduJsonFile(bom, {0});
        ADD_FAILURE() << "accepted";
    } catch (const EImportError &e) {
        EXPECT_EQ(e.Offset(), 46u) << e.what();
    }
}

// FIFOs, sockets and devices reach an export as "notreg", as ncdu writes them, and come back
// as special files.
TEST(NcduJson, SpecialFilesAreExportedAsNotRegular)
{
    PlatformGuard platform(LinuxPlatform());
    TempTree tree;
    tree.MakeFile("plain", 3);
    ASSERT_EQ(::mkfifo((tree / "pipe").c_str(), 0600), 0);
    auto root = Scan(tree.Path(), 0);
    const std::string text = Export(*root);
    EXPECT_NE(text.find("{\"name\":\"pipe\",\"asize\":0,\"notreg\":true"), std::string::npos) << text;
    EXPECT_EQ(text.find("{\"name\":\"plain\",\"asize\":3,\"notreg\""), std::string::npos) << text;
    const TImportResult back = ImportNcduJsonText(text, {0});
    const TFileSystemNode *pipe = back.Root->FindChildNode("pipe");
    ASSERT_NE(pipe, nullptr);
    EXPECT_TRUE(pipe->IsSymLink()) << "without a mode, notreg reads as a link, as before";
    EXPECT_TRUE(root->FindChildNode("pipe")->IsSysFile());
}

} // namespace
