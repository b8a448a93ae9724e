#include <csignal>
#include <string>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include "SettingsTestSupport.h"
#include "settings/ZuIniFile.h"
#include "support/TempTree.h"

namespace {

std::vector<std::string> FolderEntries(const std::string &dir)
{
    std::vector<std::string> names;
    if (DIR *d = ::opendir(dir.c_str())) {
        while (const dirent *e = ::readdir(d))
            if (std::string(e->d_name) != "." && std::string(e->d_name) != "..")
                names.emplace_back(e->d_name);
        ::closedir(d);
    }
    return names;
}

ino_t InodeOf(const std::string &path)
{
    struct stat st
    { };
    return ::stat(path.c_str(), &st) == 0 ? st.st_ino : 0;
}

class IniFileTest : public ::testing::Test
{
protected:
    TempTree FTree;
    std::string FPath = FTree / "Zumbrel.ini";
};

TEST_F(IniFileTest, MissingFileSectionOrKeyGivesDefaults)
{
    TZuIniFile ini(FPath);
    EXPECT_EQ(ini.ReadString("Settings", "Language", "dflt"), "dflt");
    EXPECT_EQ(ini.ReadInteger("Settings", "MaxMruItems", 20), 20);
    EXPECT_TRUE(ini.ReadBool("Settings", "GroupSmallFiles", true));
    EXPECT_EQ(ini.ReadInt64("Settings", "GroupFileSize", 1048576), 1048576);
    EXPECT_FALSE(ini.SectionExists("Settings"));

    WriteWholeFile(FPath, "[Other]\nLanguage=de\n");
    EXPECT_EQ(ini.ReadString("Settings", "Language", "dflt"), "dflt");
    EXPECT_EQ(ini.ReadString("Other", "Missing", "dflt"), "dflt");
}

TEST_F(IniFileTest, ReadRulesOfTheProfileFunctions)
{
    WriteWholeFile(FPath,
        "\xEF\xBB\xBF"
        "Orphan=before any section\n"
        "[Settings]\n"
        "Plain = some value  \n"
        "Double=\"  quoted  \"\n"
        "Single='a,\"b\"'\n"
        "Mismatched=\"abc'\n"
        "OneQuote=\"\n"
        "Inner=a \"b\" c\n"
        "Twice=\"\"x\"\"\n"
        "line without equals sign\n"
        "; comment\n"
        "Dup=first\n"
        "dup=second\n"
        "Crlf=windows\r\n"
        "Empty=\n"
        "  [ Spaced ]  \n"
        "Key=spaced section\n"
        "[settings]\n"
        "Late=in a second block\n"
        "Dup=third\n");
    TIniFile ini(FPath);
    const struct
    {
        const char *section, *key, *expected;
    } cases[] = {
        {"Settings", "Plain", "some value"},
        {"Settings", "Double", "  quoted  "},
        {"Settings", "Single", "a,\"b\""},
        {"Settings", "Mismatched", "\"abc'"},
        {"Settings", "OneQuote", "\""},
        {"Settings", "Inner", "a \"b\" c"},
        {"Settings", "Twice", "\"x\""},
        {"Settings", "Dup", "first"},
        {"SETTINGS", "plain", "some value"},
        {"Settings", "Crlf", "windows"},
        {"Settings", "Empty", ""},
        {"Spaced", "Key", "spaced section"},
        {"Settings", "Late", "in a second block"},
        {"Settings", "line without equals sign", "dflt"},
        {"Settings", "Orphan", "dflt"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(ini.ReadString(c.section, c.key, "dflt"), c.expected) << c.section << "/" << c.key;
    EXPECT_EQ(ini.ReadSections(), (std::vector<std::string> {"Settings", "Spaced"}));
    EXPECT_EQ(ini.ReadSection("Spaced"), (std::vector<std::string> {"Key"}));
}

TEST_F(IniFileTest, IntegerAndInt64Texts)
{
    const struct
    {
        const char *text;
        int expected;
    } ints[] = {
        {"12", 12},
        {" -5", -5},
        {"0x1F", 31},
        {"0XfF", 255},
        {"0xFFFFFFFF", -1},
        {"0x7fffffff", 2147483647},
        {"0x", 7},
        {"0x123456789", 7},
        {"0xG1", 7},
        {"abc", 7},
        {"12abc", 7},
        {"99999999999", 7},
        {"", 7},
        {"1.5", 7},
    };
    for (const auto &c : ints) {
        WriteWholeFile(FPath, std::string("[S]\nK=") + c.text + "\n");
        TZuIniFile ini(FPath);
        EXPECT_EQ(ini.ReadInteger("S", "K", 7), c.expected) << c.text;
        EXPECT_EQ(ini.ReadBool("S", "K", false), c.expected != 7 && c.expected != 0) << c.text;
    }
    const struct
    {
        const char *text;
        std::int64_t expected;
    } int64s[] = {
        {"1048576", 1048576},
        {"-9223372036854775808", INT64_MIN},
        {"9223372036854775807", INT64_MAX},
        {"9223372036854775808", 3},
        {"0x10", 3},
        {"ten", 3},
    };
    for (const auto &c : int64s) {
        WriteWholeFile(FPath, std::string("[S]\nK=") + c.text + "\n");
        TZuIniFile ini(FPath);
        EXPECT_EQ(ini.ReadInt64("S", "K", 3), c.expected) << c.text;
    }
}

TEST_F(IniFileTest, ValuesAreCutAfter2047CharactersNeverInsideOne)
{
    const std::string ascii(3000, 'a');
    std::string umlauts;
    for (int i = 0; i < 2100; ++i)
        umlauts += "\xC3\xA4";
    WriteWholeFile(FPath,
        "[S]\nAscii=" + ascii + "\nUmlauts=" + umlauts + "\nQuoted='" + std::string(2047, 'q')
            + "'\nExact=" + std::string(2047, 'e') + "\n");
    TIniFile ini(FPath);
    EXPECT_EQ(ini.ReadString("S", "Ascii", ""), std::string(2047, 'a'));
    EXPECT_EQ(ini.ReadString("S", "Umlauts", ""), umlauts.substr(0, 2 * 2047));
    EXPECT_EQ(ini.ReadString("S", "Quoted", ""), std::string(2047, 'q'));
    EXPECT_EQ(ini.ReadString("S", "Exact", ""), std::string(2047, 'e'));
}

TEST_F(IniFileTest, WritesKeepEverythingElseOfTheFile)
{
    const std::string original = "; written by a later version\n"
                                 "[Settings]\n"
                                 "Language=en\n"
                                 "FutureKey=keep me\n"
                                 "junk line\n"
                                 "\n"
                                 "[1920x1080]\n"
                                 "Position=1,2,3,4\n"
                                 "[Unknown]\n"
                                 "a=b\n";
    WriteWholeFile(FPath, original);
    TIniFile ini(FPath);
    ini.WriteString("settings", "language", "de");
    ini.WriteString("Settings", "NewKey", "x");
    ini.WriteString("1920x1080", "WindowState", "2");
    ini.WriteString("New Section", "K", " v ");
    EXPECT_EQ(ReadWholeFile(FPath),
        "; written by a later version\n"
        "[Settings]\n"
        "Language=de\n"
        "FutureKey=keep me\n"
        "junk line\n"
        "NewKey=x\n"
        "\n"
        "[1920x1080]\n"
        "Position=1,2,3,4\n"
        "WindowState=2\n"
        "[Unknown]\n"
        "a=b\n"
        "\n"
        "[New Section]\n"
        "K= v \n");
    // A second object on the same file sees the writes at once.
    TIniFile other(FPath);
    EXPECT_EQ(other.ReadString("Settings", "Language", ""), "de");

    ini.DeleteKey("Settings", "NewKey");
    ini.EraseSection("Unknown");
    EXPECT_FALSE(ini.ValueExists("Settings", "NewKey"));
    EXPECT_FALSE(ini.SectionExists("Unknown"));
    EXPECT_EQ(ini.ReadString("Settings", "FutureKey", ""), "keep me");
}

TEST_F(IniFileTest, TextsThatWouldChangeOtherEntriesAreRefused)
{
    WriteWholeFile(FPath, "[S]\nK=v\n");
    TIniFile ini(FPath);
    const struct
    {
        std::string section, key, value;
    } cases[] = {
        {"S", "K", "line\nInjected=1"},
        {"S", "K", "cr\r"},
        {"S", "K", std::string("nul\0x", 5)},
        {"S", "A=B", "v"},
        {"S]x", "K", "v"},
        {"S\n[T]", "K", "v"},
        {"", "K", "v"},
        {"S", " ", "v"},
    };
    for (const auto &c : cases)
        EXPECT_THROW(ini.WriteString(c.section, c.key, c.value), EIniFileError) << c.key << "=" << c.value;
    EXPECT_EQ(ReadWholeFile(FPath), "[S]\nK=v\n");
}

TEST_F(IniFileTest, ExternalChangesAreSeenAtTheNextRead)
{
    WriteWholeFile(FPath, "[S]\nK=1\n");
    TIniFile ini(FPath);
    EXPECT_EQ(ini.ReadString("S", "K", ""), "1");
    WriteWholeFile(FPath, "[S]\nK=2\n");
    struct timespec times[2] = {{0, UTIME_OMIT}, {12345, 678}};
    ::utimensat(AT_FDCWD, FPath.c_str(), times, 0); // same size, other stamp
    EXPECT_EQ(ini.ReadString("S", "K", ""), "2");
    ::unlink(FPath.c_str());
    EXPECT_EQ(ini.ReadString("S", "K", "gone"), "gone");
}

TEST_F(IniFileTest, ReplacementKeepsModeAndFollowsALinkedFile)
{
    WriteWholeFile(FTree / "real.ini", "[S]\nK=1\n");
    ::chmod((FTree / "real.ini").c_str(), 0640);
    FTree.MakeSymlink("Zumbrel.ini", "real.ini");
    TIniFile ini(FPath);
    ini.WriteString("S", "K", "2");

    struct stat st
    { };
    ASSERT_EQ(::lstat(FPath.c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    ASSERT_EQ(::stat((FTree / "real.ini").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(ReadWholeFile(FTree / "real.ini"), "[S]\nK=2\n");
}

// The settings file is written by the same rules as exports: a link another user planted in a
// shared sticky folder is not followed, a read-only file is refused, hard links stay together.
TEST_F(IniFileTest, SavingFollowsTheRulesOfEveryWrittenFile)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to plant links as another user";
    ASSERT_EQ(::chmod(FTree.Path().c_str(), 0755), 0);
    const std::string victim = FTree / "victim";
    WriteWholeFile(victim, "secret");
    FTree.MakeDir("shared");
    ASSERT_EQ(::chown((FTree / "shared").c_str(), 12345, 12345), 0);
    ASSERT_EQ(::chmod((FTree / "shared").c_str(), 01777), 0);
    const std::string planted = FTree / "shared/Zumbrel.ini";
    ASSERT_EQ(::symlink(victim.c_str(), planted.c_str()), 0);
    ASSERT_EQ(::lchown(planted.c_str(), 23456, 23456), 0);
    TIniFile viaLink(planted);
    try {
        viaLink.WriteString("S", "K", "v");
        ADD_FAILURE() << "the planted link was followed";
    } catch (const EIniFileError &e) {
        EXPECT_NE(std::string(e.what()).find("Permission denied"), std::string::npos) << e.what();
    }
    EXPECT_EQ(ReadWholeFile(victim), "secret");

    WriteWholeFile(FPath, "[S]\nK=1\n");
    ASSERT_EQ(::chmod(FPath.c_str(), 0444), 0);
    TIniFile readOnly(FPath);
    EXPECT_THROW(readOnly.WriteString("S", "K", "2"), EIniFileError);
    EXPECT_EQ(ReadWholeFile(FPath), "[S]\nK=1\n");

    ASSERT_EQ(::chmod(FPath.c_str(), 0600), 0);
    FTree.MakeHardLink("backup.ini", "Zumbrel.ini");
    TIniFile linked(FPath);
    linked.WriteString("S", "K", "3");
    EXPECT_EQ(ReadWholeFile(FTree / "backup.ini"), "[S]\nK=3\n");
}

TEST_F(IniFileTest, NewFileIsPrivate)
{
    TIniFile ini(FPath);
    ini.WriteString("S", "K", "v");
    struct stat st
    { };
    ASSERT_EQ(::stat(FPath.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0600u);
    EXPECT_EQ(ReadWholeFile(FPath), "[S]\nK=v\n");
}

TEST_F(IniFileTest, AFullDiskLeavesTheOldFileAndNoTemporaryFile)
{
    const std::string original = "[S]\nK=old\n";
    WriteWholeFile(FPath, original);
    TIniFile ini(FPath);
    EXPECT_EQ(ini.ReadString("S", "K", ""), "old");

    // A file size limit makes write() fail the way a full disk does.
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit oldLimit {};
    ::getrlimit(RLIMIT_FSIZE, &oldLimit);
    rlimit limit = oldLimit;
    limit.rlim_cur = 64;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limit), 0);
    EXPECT_THROW(ini.WriteString("S", "K", std::string(1000, 'n')), EIniFileError);
    ::setrlimit(RLIMIT_FSIZE, &oldLimit);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_EQ(ReadWholeFile(FPath), original);
    EXPECT_EQ(FolderEntries(FTree.Path()), (std::vector<std::string> {"Zumbrel.ini"}));
    EXPECT_EQ(ini.ReadString("S", "K", ""), "old");
    ini.WriteString("S", "K", "new");
    EXPECT_EQ(ini.ReadString("S", "K", ""), "new");
}

TEST_F(IniFileTest, AnExistingFileThatCannotBeReadIsNeverReplaced)
{
    FTree.MakeDir("Zumbrel.ini/inside");
    TIniFile ini(FPath);
    EXPECT_EQ(ini.ReadString("S", "K", "dflt"), "dflt");
    EXPECT_THROW(ini.WriteString("S", "K", "v"), EIniFileError);
    struct stat st
    { };
    ASSERT_EQ(::stat((FTree / "Zumbrel.ini/inside").c_str(), &st), 0);

    TIniFile fifo(FTree / "fifo.ini");
    FTree.MakeFifo("fifo.ini");
    EXPECT_EQ(fifo.ReadString("S", "K", "dflt"), "dflt");
    EXPECT_THROW(fifo.WriteString("S", "K", "v"), EIniFileError);
    ASSERT_EQ(::lstat((FTree / "fifo.ini").c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
}

TEST_F(IniFileTest, BinaryJunkReadsAsDefaultsAndIsKeptOnWrite)
{
    std::string junk;
    for (int i = 0; i < 4096; ++i)
        junk += static_cast<char>((i * 7919 + 13) % 256);
    WriteWholeFile(FPath, junk);
    TZuIniFile ini(FPath);
    EXPECT_EQ(ini.ReadString("Settings", "Language", "dflt"), "dflt");
    EXPECT_EQ(ini.ReadInteger("Settings", "MaxMruItems", 20), 20);
    ini.WriteString("Settings", "Language", "de");
    EXPECT_EQ(ini.ReadString("Settings", "Language", ""), "de");
    EXPECT_EQ(ReadWholeFile(FPath).substr(0, junk.size()), junk);
}

TEST_F(IniFileTest, ABatchReplacesTheFileOnceAndCancellingForgetsIt)
{
    WriteWholeFile(FPath, "[S]\nA=0\n");
    TIniFile ini(FPath);
    const ino_t before = InodeOf(FPath);
    {
        TIniFile::TUpdate update(ini);
        ini.WriteString("S", "A", "1");
        ini.WriteString("S", "B", "2");
        EXPECT_EQ(ini.ReadString("S", "B", ""), "2"); // the batch reads its own writes
        EXPECT_EQ(InodeOf(FPath), before);
        EXPECT_EQ(ReadWholeFile(FPath), "[S]\nA=0\n");
        update.Commit();
    }
    EXPECT_EQ(ReadWholeFile(FPath), "[S]\nA=1\nB=2\n");
    {
        TIniFile::TUpdate update(ini);
        ini.WriteString("S", "A", "forgotten");
    }
    EXPECT_EQ(ini.ReadString("S", "A", ""), "1");
    EXPECT_EQ(ReadWholeFile(FPath), "[S]\nA=1\nB=2\n");
}

TEST(SetTextTest, WriteAndReadSets)
{
    const std::string_view names[] = {"poPaintBackgroundShape", "poOther"};
    EXPECT_EQ(SetToText(0, names), "[]");
    EXPECT_EQ(SetToText(1, names), "[poPaintBackgroundShape]");
    EXPECT_EQ(SetToText(3, names), "[poPaintBackgroundShape,poOther]");
    const struct
    {
        const char *text;
        std::uint32_t expected;
    } cases[] = {
        {"[]", 0},
        {"[poPaintBackgroundShape]", 1},
        {"poPaintBackgroundShape,", 1},
        {"  [ POPAINTBACKGROUNDSHAPE ]", 1},
        {"[poOther , poPaintBackgroundShape]", 3},
        {"[poPaintBackgroundShape,foo]", 0},
        {"[foo,poPaintBackgroundShape]", 0},
        {"poPaintBackgroundShape]]],,,poOther", 3},
    };
    for (const auto &c : cases)
        EXPECT_EQ(TextToSet(c.text, names), c.expected) << c.text;
    const std::string longName = "[" + std::string(300, 'x') + "]";
    EXPECT_EQ(TextToSet(longName, names), 0u);
}

} // namespace
