#include "settings/Settings.h"

#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <thread>

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "SettingsTestSupport.h"
#include "common/Translate.h"
#include "support/TempTree.h"

namespace {

class SettingsTest : public ::testing::Test
{
protected:
    void TearDown() override
    {
        TSettings::SetScreenSectionSource(nullptr);
        TSettings::SetPainterClassResolver(nullptr);
        TSettings::FreeInstance();
    }

    std::string Settings(const std::string &body) const
    {
        WriteWholeFile(FPath, "[Settings]\n" + body);
        return FPath;
    }

    TempTree FTree;
    std::string FPath = FTree / "Zumbrel.ini";
    TRecordedBoxes FBoxes;
};

TEST_F(SettingsTest, DefaultsAndTheFirstSave)
{
    TSettings settings(FPath);
    EXPECT_EQ(settings.GroupFileSize(), 1048576);
    EXPECT_TRUE(settings.GroupSmallFiles());
    EXPECT_EQ(settings.MaxMruItems(), 20);
    EXPECT_EQ(settings.TreeViewRefreshRate(), 500);
    EXPECT_EQ(settings.FileSizeRounding(), rsTruncate);
    EXPECT_EQ(settings.PaintOptions(), TZuPaintOptions {poPaintBackgroundShape});
    EXPECT_EQ(settings.BarChartPainterClass(), "TDefaultBarChartPainter");
    EXPECT_EQ(settings.LanguageCode(), GetCurrentLanguage());
    EXPECT_FALSE(settings.ScanSettingsChanged());

    settings.Load(); // no file: everything stays
    EXPECT_EQ(settings.GroupFileSize(), 1048576);
    settings.SetLanguageCode("de");
    settings.Save();
    EXPECT_TRUE(FBoxes.Texts.empty());
    EXPECT_EQ(ReadWholeFile(FPath),
        "[Settings]\n"
        "GroupSmallFiles=1\n"
        "GroupFileSize=1048576\n"
        "Language=de\n"
        "TreeViewRefreshRate=500\n"
        "PaintOptions=[poPaintBackgroundShape]\n"
        "FileSizeRounding=2\n"
        "BarChartPainterClass=TDefaultBarChartPainter\n"
        "MaxMruItems=20\n");
}

TEST_F(SettingsTest, SaveAndLoadRoundTrip)
{
    TSettings::SetPainterClassResolver([](std::string_view name) {
        return name == "TSkinCrystal" || name == "tskincrystal" ? std::string("TSkinCrystal") : std::string();
    });
    {
        TSettings settings(FPath);
        settings.SetGroupSmallFiles(false);
        settings.SetGroupFileSize(5000000000);
        settings.SetMaxMruItems(7);
        settings.SetLanguageCode("pt_BR");
        settings.SetPaintOptions({});
        settings.SetFileSizeRounding(rsBankers);
        settings.SetBarChartPainterClass("TSkinCrystal");
        settings.SetTreeViewRefreshRate(2000);
        settings.Save();
    }
    TSettings loaded(FPath);
    loaded.Load();
    EXPECT_TRUE(FBoxes.Texts.empty());
    EXPECT_FALSE(loaded.GroupSmallFiles());
    EXPECT_EQ(loaded.GroupFileSize(), 5000000000);
    EXPECT_EQ(loaded.MaxMruItems(), 7);
    EXPECT_EQ(loaded.LanguageCode(), "pt_BR");
    EXPECT_EQ(loaded.PaintOptions(), TZuPaintOptions {});
    EXPECT_EQ(loaded.FileSizeRounding(), rsBankers);
    EXPECT_EQ(loaded.BarChartPainterClass(), "TSkinCrystal");
    EXPECT_EQ(loaded.TreeViewRefreshRate(), 500); // never read: every run starts at 500
    EXPECT_FALSE(loaded.ScanSettingsChanged());
}

TEST_F(SettingsTest, PaintOptionTexts)
{
    const struct
    {
        const char *text;
        bool shape;
    } cases[] = {
        {"[]", false}, {"[poPaintBackgroundShape]", true}, {"poPaintBackgroundShape,", true},
        {"[poPaintBackgroundShape,foo]", false}, {"", true}, // empty: unchanged
    };
    for (const auto &c : cases) {
        TSettings settings(Settings(std::string("PaintOptions=") + c.text + "\n"));
        settings.Load();
        EXPECT_EQ(settings.PaintOptions().Contains(poPaintBackgroundShape), c.shape) << c.text;
    }
}

TEST_F(SettingsTest, UnknownPainterClassLoadsAndSavesAsTheDefault)
{
    TSettings::SetPainterClassResolver([](std::string_view) { return std::string(); });
    TSettings settings(Settings("BarChartPainterClass=TNoSuchPainter\n"));
    settings.Load();
    EXPECT_EQ(settings.BarChartPainterClass(), "TDefaultBarChartPainter");
    settings.Save();
    EXPECT_EQ(settings.ReadSettingStr("BarChartPainterClass", ""), "TDefaultBarChartPainter");
}

// An out-of-range MaxMruItems is reported and keeps its default, and every key after it still
// loads (it used to end the loading, so Language=de silently stopped working).
TEST_F(SettingsTest, AnOutOfRangeMaxMruItemsKeepsItsDefaultAndTheLaterKeysLoad)
{
    for (const char *value : {"70000", "99999", "-1"}) {
        FBoxes.Texts.clear();
        FBoxes.Titles.clear();
        TSettings settings(Settings(std::string("GroupSmallFiles=0\n"
                                                "GroupFileSize=4096\n"
                                                "MaxMruItems=")
            + value
            + "\n"
              "Language=de\n"
              "PaintOptions=[]\n"
              "FileSizeRounding=1\n"
              "BarChartPainterClass=TDefaultBarChartPainter\n"));
        settings.Load();
        ASSERT_EQ(FBoxes.Texts.size(), 1u) << value;
        EXPECT_EQ(FBoxes.Titles[0], "Error");
        EXPECT_NE(FBoxes.Texts[0].find(value), std::string::npos) << FBoxes.Texts[0];
        EXPECT_FALSE(settings.GroupSmallFiles());
        EXPECT_EQ(settings.GroupFileSize(), 4096);
        EXPECT_EQ(settings.MaxMruItems(), 20) << value;
        EXPECT_EQ(settings.LanguageCode(), "de") << value;
        EXPECT_FALSE(settings.PaintOptions().Contains(poPaintBackgroundShape)) << value;
        EXPECT_EQ(settings.FileSizeRounding(), rsBankers) << value;
        EXPECT_EQ(settings.BarChartPainterClass(), "TDefaultBarChartPainter");
    }
}

TEST_F(SettingsTest, DamagedValuesGiveDefaults)
{
    const struct
    {
        const char *body;
        std::int64_t groupFileSize;
        int maxMru;
        TRoundingStyle rounding;
    } cases[] = {
        {"GroupFileSize=big\nMaxMruItems=many\nFileSizeRounding=x\n", 1048576, 20, rsTruncate},
        {"GroupFileSize=1\nGroupFileSize=2\nMaxMruItems=0x10\n", 1, 16, rsTruncate},
        {"FileSizeRounding=257\n", 1048576, 20, rsBankers}, // only the low byte counts
        {"FileSizeRounding=0\n", 1048576, 20, rsNone},
        {"FileSizeRounding=5\n", 1048576, 20, rsTruncate}, // names no style
        {"MaxMruItems=65535\n", 1048576, 65535, rsTruncate},
    };
    for (const auto &c : cases) {
        TSettings settings(Settings(c.body));
        settings.Load();
        EXPECT_EQ(settings.GroupFileSize(), c.groupFileSize) << c.body;
        EXPECT_EQ(settings.MaxMruItems(), c.maxMru) << c.body;
        EXPECT_EQ(settings.FileSizeRounding(), c.rounding) << c.body;
    }
    EXPECT_TRUE(FBoxes.Texts.empty());
}

TEST_F(SettingsTest, AHugeTextFileLoadsDefaultsAndSurvivesASave)
{
    {
        std::FILE *file = std::fopen(FPath.c_str(), "wb");
        ASSERT_NE(file, nullptr);
        const std::string line(99, 'x');
        for (int i = 0; i < 1024 * 1024; ++i) // 100 MiB of lines without "="
            std::fprintf(file, "%s\n", line.c_str());
        std::fclose(file);
    }
    TSettings settings(FPath);
    settings.Load();
    EXPECT_TRUE(FBoxes.Texts.empty());
    EXPECT_EQ(settings.MaxMruItems(), 20);
    settings.Save();
    EXPECT_TRUE(FBoxes.Texts.empty());
    TSettings reread(FPath);
    EXPECT_EQ(reread.ReadSettingInt("MaxMruItems", 0), 20);
    struct stat st
    { };
    ASSERT_EQ(::stat(FPath.c_str(), &st), 0);
    EXPECT_GT(st.st_size, 100 * 1024 * 1024);
}

// A file of blank lines costs about its own size in memory while it loads (it used to cost
// 32 bytes and more per line), and the keys after the blank lines are still found. A child
// process measures its own peak memory, so earlier tests do not hide the growth.
TEST_F(SettingsTest, ABlankLineFileLoadsInMemoryProportionalToItsSize)
{
    constexpr long BlankLines = 24L * 1024 * 1024;
    {
        std::FILE *file = std::fopen(FPath.c_str(), "wb");
        ASSERT_NE(file, nullptr);
        const std::string blanks(1024 * 1024, '\n');
        for (long written = 0; written < BlankLines; written += static_cast<long>(blanks.size()))
            std::fwrite(blanks.data(), 1, blanks.size(), file);
        std::fputs("[Settings]\nLanguage=de\nMaxMruItems=7\n", file);
        std::fclose(file);
    }
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        rusage before {};
        ::getrusage(RUSAGE_SELF, &before);
        TSettings settings(FPath);
        settings.Load();
        rusage after {};
        ::getrusage(RUSAGE_SELF, &after);
        const long grownMiB = (after.ru_maxrss - before.ru_maxrss) / 1024;
        const bool loaded = settings.LanguageCode() == "de" && settings.MaxMruItems() == 7;
        // Exit code: 1 when the keys were missed, else the growth in units of the file size.
        ::_exit(!loaded ? 1 : static_cast<int>(std::min<long>(100, 2 + grownMiB * 1024 * 1024 / BlankLines)));
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    const int code = WEXITSTATUS(status);
    ASSERT_NE(code, 1) << "the keys after the blank lines were not loaded";
    // Sanitizers add their shadow memory to every byte; the old way cost over 40 times the file.
    EXPECT_LE(code - 2, 12) << "peak memory grew by about " << code - 2 << " times the file size";
}

TEST_F(SettingsTest, SetterRules)
{
    TSettings settings(FPath);
    settings.SetGroupFileSize(1048576);
    settings.SetGroupSmallFiles(true);
    EXPECT_FALSE(settings.ScanSettingsChanged()) << "unchanged values set no flag";
    settings.SetGroupFileSize(2048);
    EXPECT_TRUE(settings.ScanSettingsChanged());
    settings.SetMaxMruItems(10); // lowering keeps a flag set before
    EXPECT_TRUE(settings.ScanSettingsChanged());
    EXPECT_EQ(settings.MaxMruItems(), 10);

    settings.SetScanSettingsChanged(false);
    settings.SetMaxMruItems(5);
    EXPECT_FALSE(settings.ScanSettingsChanged());
    settings.SetMaxMruItems(30);
    EXPECT_TRUE(settings.ScanSettingsChanged());

    settings.SetScanSettingsChanged(false);
    settings.SetGroupSmallFiles(false);
    EXPECT_TRUE(settings.ScanSettingsChanged());

    const std::pair<int, int> rates[]
        = {{50, 100}, {100, 100}, {2000, 2000}, {10000, 10000}, {10001, 10000}, {-5, 100}};
    for (const auto &[in, out] : rates) {
        settings.SetTreeViewRefreshRate(in);
        EXPECT_EQ(settings.TreeViewRefreshRate(), out) << in;
    }

    settings.SetPaintOption(poPaintBackgroundShape, false);
    EXPECT_FALSE(settings.PaintOptions().Contains(poPaintBackgroundShape));
    settings.SetPaintOption(poPaintBackgroundShape, true);
    EXPECT_TRUE(settings.PaintOptions().Contains(poPaintBackgroundShape));

    settings.SetFileSizeRounding(rsNone);
    EXPECT_EQ(settings.FileSizeRounding(), rsNone);
    settings.SetFileSizeRounding(static_cast<TRoundingStyle>(9));
    EXPECT_EQ(settings.FileSizeRounding(), rsNone);
}

TEST_F(SettingsTest, CloneAndAssignCopyEveryPreference)
{
    TSettings settings(FPath);
    settings.SetGroupSmallFiles(false);
    settings.SetGroupFileSize(77);
    settings.SetMaxMruItems(3);
    settings.SetLanguageCode("de");
    settings.SetPaintOptions({});
    settings.SetFileSizeRounding(rsNone);
    settings.SetBarChartPainterClass("TSkinCrystal");
    settings.SetTreeViewRefreshRate(700);
    ASSERT_TRUE(settings.ScanSettingsChanged());

    const std::unique_ptr<TSettings> clone = settings.GetClone();
    EXPECT_EQ(clone->GetFileName(), FPath);
    EXPECT_FALSE(clone->GroupSmallFiles());
    EXPECT_EQ(clone->GroupFileSize(), 77);
    EXPECT_EQ(clone->MaxMruItems(), 3);
    EXPECT_EQ(clone->LanguageCode(), "de");
    EXPECT_EQ(clone->PaintOptions(), TZuPaintOptions {});
    EXPECT_EQ(clone->FileSizeRounding(), rsNone);
    EXPECT_EQ(clone->BarChartPainterClass(), "TSkinCrystal");
    EXPECT_EQ(clone->TreeViewRefreshRate(), 700);
    EXPECT_TRUE(clone->ScanSettingsChanged());

    TSettings fresh(FTree / "other.ini");
    fresh.Assign(*clone);
    EXPECT_EQ(fresh.GetFileName(), FTree / "other.ini");
    EXPECT_EQ(fresh.GroupFileSize(), 77);
    EXPECT_TRUE(fresh.ScanSettingsChanged());
}

TEST_F(SettingsTest, AFailingSaveIsShownAndLeavesTheFile)
{
    const std::string original = "[Settings]\nLanguage=en\n";
    WriteWholeFile(FPath, original);
    TSettings settings(FPath);
    settings.SetLanguageCode(std::string(500, 'x'));

    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit oldLimit {};
    ::getrlimit(RLIMIT_FSIZE, &oldLimit);
    rlimit limit = oldLimit;
    limit.rlim_cur = 100;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limit), 0);
    settings.Save();
    ::setrlimit(RLIMIT_FSIZE, &oldLimit);
    std::signal(SIGXFSZ, oldHandler);

    ASSERT_EQ(FBoxes.Texts.size(), 1u);
    EXPECT_EQ(FBoxes.Titles[0], "Error");
    EXPECT_NE(FBoxes.Texts[0].find(FPath), std::string::npos) << FBoxes.Texts[0];
    EXPECT_EQ(ReadWholeFile(FPath), original);

    // A value that cannot be stored is reported and keeps none of the others from the file
    // (it used to stop the steps after it, so a bad language blocked every later save).
    settings.SetLanguageCode("de\n[Injected]");
    settings.SetGroupFileSize(123);
    settings.Save();
    ASSERT_EQ(FBoxes.Texts.size(), 2u);
    TSettings reread(FPath);
    EXPECT_EQ(reread.ReadSettingStr("GroupFileSize", ""), "123");
    EXPECT_EQ(reread.ReadSettingStr("Language", ""), "en");
    EXPECT_FALSE(reread.IniFile().SectionExists("Injected"));
    EXPECT_TRUE(reread.IniFile().ValueExists("Settings", "MaxMruItems"));
}

TEST_F(SettingsTest, ReadOnlySettingsNeverWrite)
{
    const std::string original = "[Settings]\nLanguage=de\nFileSizeRounding=1\n";
    WriteWholeFile(FPath, original);
    const std::unique_ptr<TSettings> settings = TSettings::OpenReadOnly(FPath);
    settings->Load();
    EXPECT_EQ(settings->LanguageCode(), "de");
    EXPECT_EQ(settings->FileSizeRounding(), rsBankers);
    settings->Save();
    EXPECT_EQ(FBoxes.Texts.size(), 1u);
    EXPECT_THROW(settings->SaveSettingStr("LastSaveDir", "/tmp"), ESettingsError);
    EXPECT_THROW(settings->GetClone()->SaveSettingInt("LastFilterIndex", 2), ESettingsError);
    EXPECT_EQ(ReadWholeFile(FPath), original);
}

TEST_F(SettingsTest, ScreenSectionsKeepGeometryPerResolution)
{
    TSettings settings(FPath);
    EXPECT_EQ(TSettings::ScreenSection(), "");
    settings.SaveScreenStr("Position", "1,2,3,4"); // no screen: nothing is written
    EXPECT_EQ(settings.ReadScreenSetting("Position", "dflt"), "dflt");
    EXPECT_FALSE(settings.IniFile().SectionExists(""));

    std::string screen = TSettings::ScreenSectionName(1920, 1080);
    TSettings::SetScreenSectionSource([&screen] { return screen; });
    settings.SaveScreenStr("Position", "0,0,800,600");
    settings.SaveScreenInt("WindowState", 2);
    screen = TSettings::ScreenSectionName(1024, 768);
    EXPECT_EQ(settings.ReadScreenSetting("Position", "dflt"), "dflt");
    settings.SaveScreenStr("Position", "112,84,912,684");
    EXPECT_EQ(settings.ReadScreenSettingInt("WindowState", 0), 0);

    screen = "1920x1080";
    EXPECT_EQ(settings.ReadScreenSetting("Position", ""), "0,0,800,600");
    EXPECT_EQ(settings.ReadScreenSettingInt("WindowState", 0), 2);
    EXPECT_EQ(settings.ReadStr("1024x768", "Position", ""), "112,84,912,684");
    settings.SaveStr("Other", "K", "v");
    EXPECT_EQ(settings.ReadStr("other", "k", ""), "v");
}

TEST_F(SettingsTest, TheSingletonLivesInTheApplicationDataFolder)
{
    TFakePlatform platform;
    platform.System.SetSpecialFolder(TSpecialFolder::AppData, FTree / "config");
    EXPECT_EQ(TSettings::DefaultFileName(false), FTree / "config/Zumbrel/Zumbrel.ini");
    const std::unique_ptr<TSettings> readOnly = TSettings::OpenReadOnly();
    EXPECT_EQ(readOnly->GetFileName(), FTree / "config/Zumbrel/Zumbrel.ini");
    struct stat st
    { };
    EXPECT_NE(::stat((FTree / "config").c_str(), &st), 0) << "reading creates no folder";

    TSettings &instance = TSettings::GetInstance();
    EXPECT_EQ(&instance, &TSettings::GetInstance());
    EXPECT_EQ(instance.GetFileName(), FTree / "config/Zumbrel/Zumbrel.ini");
    EXPECT_EQ(::stat((FTree / "config/Zumbrel").c_str(), &st), 0);
    EXPECT_TRUE(S_ISDIR(st.st_mode));
    TSettings::FreeInstance();

    FTree.MakeFile("blocked");
    platform.System.SetSpecialFolder(TSpecialFolder::AppData, FTree / "blocked");
    try {
        (void)TSettings::GetInstance();
        FAIL() << "no error";
    } catch (const ESettingsError &e) {
        EXPECT_EQ(std::string(e.what()),
            "The application data directory '" + FTree / "blocked/Zumbrel/" + "' could not be created.");
    }
}

TEST_F(SettingsTest, ScanThreadsReadWhileTheDialogAssigns)
{
    TSettings settings(FPath);
    TSettings other(FPath);
    other.SetGroupFileSize(4096);
    other.SetGroupSmallFiles(false);
    other.SetMaxMruItems(99);
    std::atomic<bool> stop {false};
    std::thread reader([&] {
        std::int64_t sum = 0;
        do {
            sum += settings.GroupFileSize() + settings.MaxMruItems() + (settings.GroupSmallFiles() ? 1 : 0);
            const std::int64_t size = settings.GroupFileSize();
            EXPECT_TRUE(size == 4096 || size == 1048576);
        } while (!stop.load());
        EXPECT_GT(sum, 0);
    });
    const std::unique_ptr<TSettings> defaults = std::make_unique<TSettings>(FPath);
    for (int i = 0; i < 2000; ++i)
        settings.Assign(i % 2 ? other : *defaults);
    stop = true;
    reader.join();
}

// Two windows on one file: each one's changes survive the other's exit, whichever order they
// exit in; a key both changed goes to the later one.
TEST_F(SettingsTest, TwoWindowsKeepEachOthersChanges)
{
    Settings("Language=en\nMaxMruItems=20\n");
    TSettings first(FPath);
    TSettings second(FPath);
    first.Load();
    second.Load();
    first.SetGroupFileSize(4096);
    first.SetMaxMruItems(5);
    second.SetLanguageCode("de");
    second.SetMaxMruItems(7);
    // Meanwhile a key of another kind goes to the file at once.
    first.SaveSettingStr("LastFolder", "/srv");
    first.Save();
    second.Save();
    EXPECT_TRUE(FBoxes.Texts.empty());

    TSettings reread(FPath);
    reread.Load();
    EXPECT_EQ(reread.GroupFileSize(), 4096);
    EXPECT_EQ(reread.LanguageCode(), "de");
    EXPECT_EQ(reread.MaxMruItems(), 7);
    EXPECT_EQ(reread.ReadSettingStr("LastFolder", ""), "/srv");
    // Saving again without changes writes nothing over the others' keys.
    reread.SaveSettingStr("Language", "fr");
    first.Save();
    EXPECT_EQ(TSettings(FPath).ReadSettingStr("Language", ""), "fr");
}

// A value the file cannot hold again (a NUL byte, a line break through an edit) is dropped at
// Load, so the next Save stores every key, that one included.
TEST_F(SettingsTest, UnstorableValuesAreDroppedOnLoad)
{
    Settings(std::string("Language=de\0x\n", 14) + "GroupFileSize=77\n");
    TSettings settings(FPath);
    settings.Load();
    EXPECT_EQ(settings.LanguageCode(), GetCurrentLanguage());
    EXPECT_EQ(settings.GroupFileSize(), 77);
    settings.SetMaxMruItems(9);
    settings.Save();
    EXPECT_TRUE(FBoxes.Texts.empty()) << FBoxes.Texts.front();
    const std::string text = ReadWholeFile(FPath);
    EXPECT_EQ(text.find('\0'), std::string::npos);
    EXPECT_NE(text.find("MaxMruItems=9\n"), std::string::npos) << text;
    EXPECT_NE(text.find("Language=" + GetCurrentLanguage() + "\n"), std::string::npos) << text;
}

} // namespace
