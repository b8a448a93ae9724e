#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <thread>

#include <gtest/gtest.h>

#include "common/Translate.h"
#include "settings/LangUtils.h"
#include "support/TempTree.h"

namespace {

// Sets or clears environment variables for one test and puts the old values back.
class TEnvironment
{
public:
    ~TEnvironment()
    {
        for (auto it = FSaved.rbegin(); it != FSaved.rend(); ++it) {
            if (it->second)
                ::setenv(it->first.c_str(), it->second->c_str(), 1);
            else
                ::unsetenv(it->first.c_str());
        }
    }
    void Set(const std::string &name, const char *value)
    {
        const char *old = std::getenv(name.c_str());
        FSaved.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
        if (value)
            ::setenv(name.c_str(), value, 1);
        else
            ::unsetenv(name.c_str());
    }

private:
    std::vector<std::pair<std::string, std::optional<std::string>>> FSaved;
};

std::string BuiltCatalog()
{
    return LocaleDirectory() + "/de/LC_MESSAGES/" + std::string(TextDomain()) + ".mo";
}

class TranslationTest : public ::testing::Test
{
protected:
    void SetUp() override { InitTranslation(); }
    void TearDown() override
    {
        InitTranslation();
        UseLanguage("en");
    }
};

TEST(LangUtilsTest, TheLanguageTable)
{
    const auto languages = IsoLanguages();
    ASSERT_EQ(languages.size(), 189u);
    EXPECT_EQ(languages.front().ISO_639_1, "aa");
    EXPECT_EQ(languages.front().English_Name, "Afar");
    EXPECT_EQ(languages.back().ISO_639_1, "zu");
    int withCountry = 0;
    for (const TIsoLanguage &language : languages) {
        EXPECT_TRUE(language.ISO_639_1.size() == 2 || language.ISO_639_1.size() == 5) << language.ISO_639_1;
        withCountry += language.ISO_639_1.size() == 5 ? 1 : 0;
    }
    EXPECT_EQ(withCountry, 5);
}

TEST(LangUtilsTest, NamesOfCodes)
{
    const struct
    {
        const char *code, *name, *display, *base;
    } cases[] = {
        {"de", "German", "Deutsch [de]", "Deutsch [de]"},
        {"de_AT", "German", "Deutsch [de_AT]", "Deutsch [de]"},
        {"en_US", "American English", "American English [en_US]", "English [en]"},
        {"en_CA", "English", "English [en_CA]", "English [en]"},
        {"pt_BR", "Portuguese", "Portugu\u00EAs (Brasil) [pt_BR]", "Portugu\u00EAs [pt]"},
        {"fr_BE", "Walloon", "Walloon [fr_BE]", "Fran\u00E7ais [fr]"},
        {"ja", "Japanese", "\u65E5\u672C\u8A9E [ja]", "\u65E5\u672C\u8A9E [ja]"},
        {"ru_UA", "Russian", "\u0420\u0443\u0441\u0441\u043A\u0438\u0439 [ru_UA]",
            "\u0420\u0443\u0441\u0441\u043A\u0438\u0439 [ru]"},
        {"sv", "Swedish", "Swedish [sv]", "Swedish [sv]"},
        {"nd", "Ndebele, North", "Ndebele, North [nd]", "Ndebele, North [nd]"},
        {"EN", "", " [EN]", " [EN]"},
        {"xx", "", " [xx]", " [xx]"},
        {"e", "", " [e]", " [e]"},
        {"", "", " []", " []"},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(GetLanguageName(c.code), c.name) << c.code;
        EXPECT_EQ(GetLanguageDisplayName(c.code), c.display) << c.code;
        EXPECT_EQ(GetBaseLanguageDisplayName(c.code), c.base) << c.code;
    }
}

TEST(LangUtilsTest, ExtractLanguageCode)
{
    const std::pair<const char *, const char *> cases[] = {
        {"German [de]", "de"},
        {"Portuguese [pt_BR]", "pt_BR"},
        {" [xx]", "xx"},
        {"Ndebele, North [nd]", "nd"},
        {"[]", ""},
        {"no code", ""},
        {"open [de", ""},
        {"a ] b [c] [d]", "c"},
    };
    for (const auto &[text, code] : cases)
        EXPECT_EQ(ExtractLanguageCode(text), code) << text;
}

TEST_F(TranslationTest, LanguageListOfTheInstalledCatalogs)
{
    ASSERT_TRUE(std::filesystem::is_regular_file(BuiltCatalog())) << BuiltCatalog();
    const std::string catalog = BuiltCatalog();
    TempTree tree;

    InitTranslation(tree / "nothing-here");
    std::vector<std::string> list {"stale"};
    FillLanguageList(list);
    EXPECT_EQ(list, (std::vector<std::string> {"English [en]"}));

    for (const char *code : {"pt_BR", "de"}) {
        tree.MakeDir(std::string("locale/") + code + "/LC_MESSAGES");
        std::filesystem::copy_file(
            catalog, tree / (std::string("locale/") + code + "/LC_MESSAGES/" + std::string(TextDomain()) + ".mo"));
    }
    tree.MakeDir("locale/fr/LC_MESSAGES"); // no catalog in it
    tree.MakeFile("locale/it");
    InitTranslation(tree / "locale");
    std::vector<std::string> codes;
    GetListOfLanguages(TextDomain(), codes);
    EXPECT_EQ(codes, (std::vector<std::string> {"de", "pt_BR"}));
    FillLanguageList(list);
    EXPECT_EQ(list, (std::vector<std::string> {"Deutsch [de]", "English [en]", "Portugu\u00EAs (Brasil) [pt_BR]"}));
}

TEST_F(TranslationTest, SwitchingBetweenEnglishAndGerman)
{
    UseLanguage("de");
    EXPECT_EQ(GetCurrentLanguage(), "de");
    EXPECT_EQ(_("File"), "Datei");
    EXPECT_EQ(_("Folders && Files"), "Ordner && Dateien");
    EXPECT_EQ(_("Size"),
        "Gr\xC3\xB6\xC3\x9F"
        "e");
    EXPECT_EQ(_("no such message id"), "no such message id");
    EXPECT_EQ(_(""), "");

    UseLanguage("en");
    EXPECT_EQ(_("File"), "File");
    UseLanguage("de_DE");
    EXPECT_EQ(GetCurrentLanguage(), "de_DE");
    EXPECT_EQ(_("File"), "Datei") << "a country falls back to its language";
    UseLanguage("xx");
    EXPECT_EQ(_("File"), "File") << "no catalog: the English ids";

    TEnvironment env;
    env.Set("LANG", "de_AT.UTF-8");
    UseLanguage("");
    EXPECT_EQ(GetCurrentLanguage(), "de_AT");
    EXPECT_EQ(_("Files"), "Dateien");
}

TEST_F(TranslationTest, WithoutCatalogsTheIdsComeBack)
{
    TempTree tree;
    InitTranslation(tree.Path());
    UseLanguage("de");
    EXPECT_EQ(_("File"), "File");

    // A damaged catalog is passed over; the interface stays English.
    tree.MakeDir("de/LC_MESSAGES");
    std::ofstream(tree / ("de/LC_MESSAGES/" + std::string(TextDomain()) + ".mo")) << "not a catalog";
    UseLanguage("de");
    EXPECT_EQ(GetCurrentLanguage(), "de");
    EXPECT_EQ(_("File"), "File");
    // Codes cannot reach outside the locale folder.
    UseLanguage("../de");
    EXPECT_EQ(_("File"), "File");
}

// The choice is the program's own: the environment is neither read for it nor changed.
TEST_F(TranslationTest, TheEnvironmentStaysAsItWas)
{
    TEnvironment env;
    env.Set("LANGUAGE", "de");
    UseLanguage("en");
    EXPECT_EQ(_("File"), "File");
    UseLanguage("de");
    EXPECT_EQ(_("File"), "Datei");
    EXPECT_STREQ(std::getenv("LANGUAGE"), "de");
    env.Set("LANGUAGE", nullptr);
    UseLanguage("en");
    EXPECT_EQ(std::getenv("LANGUAGE"), nullptr);
}

TEST(SystemLanguageTest, FromTheEnvironment)
{
    const struct
    {
        const char *lang, *lcAll, *lcMessages, *expected;
    } cases[] = {
        {"de_DE.UTF-8", nullptr, nullptr, "de_DE"},
        {"pt_BR", "fr_FR.UTF-8", nullptr, "pt_BR"},
        {"C", nullptr, nullptr, "en"},
        {"C.UTF-8", nullptr, nullptr, "en"},
        {nullptr, "no_NO.UTF-8", nullptr, "nb_NO"},
        {nullptr, nullptr, "fr_CA.UTF-8@euro", "fr_CA"},
        {nullptr, "POSIX", "de_DE.UTF-8", "en"},
        {"", nullptr, nullptr, "en"},
        {nullptr, nullptr, nullptr, "en"},
    };
    for (const auto &c : cases) {
        TEnvironment env;
        env.Set("LANG", c.lang);
        env.Set("LC_ALL", c.lcAll);
        env.Set("LC_MESSAGES", c.lcMessages);
        EXPECT_EQ(SystemLanguage(), c.expected) << (c.lang ? c.lang : "-") << " " << (c.lcAll ? c.lcAll : "-");
    }
}

TEST_F(TranslationTest, LookupsRunWhileTheLanguageSwitches)
{
    std::atomic<bool> stop {false};
    std::vector<std::thread> readers;
    for (int t = 0; t < 2; ++t)
        readers.emplace_back([&stop] {
            while (!stop.load()) {
                const std::string text = _("File");
                EXPECT_TRUE(text == "File" || text == "Datei") << text;
                const std::string language = GetCurrentLanguage();
                EXPECT_TRUE(language == "en" || language == "de") << language;
            }
        });
    // A second thread switching too: every switch ends with a matching code and catalog.
    std::thread other([] {
        for (int i = 0; i < 200; ++i)
            UseLanguage(i % 2 ? "en" : "de");
    });
    for (int i = 0; i < 500; ++i)
        UseLanguage(i % 2 ? "de" : "en");
    other.join();
    UseLanguage("de");
    EXPECT_EQ(_("File"), "Datei");
    stop = true;
    for (std::thread &reader : readers)
        reader.join();
}

} // namespace
