// Reading gettext binary catalogs, also damaged ones.
#include <cstdint>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "common/MoCatalog.h"
#include "support/TempTree.h"

namespace {

using TEntries = std::vector<std::pair<std::string, std::string>>;

void PutWord(std::string &out, std::size_t at, std::uint32_t v, bool bigEndian)
{
    for (int i = 0; i < 4; ++i) {
        const int shift = bigEndian ? 24 - 8 * i : 8 * i;
        out[at + static_cast<std::size_t>(i)] = static_cast<char>((v >> shift) & 0xFF);
    }
}

// A catalog laid out as msgfmt does: header, both tables, then the texts (entries sorted by id).
std::string MakeCatalog(const TEntries &entries, bool bigEndian = false, std::uint32_t revision = 0)
{
    const auto n = static_cast<std::uint32_t>(entries.size());
    const std::uint32_t originals = 28, translations = originals + 8 * n;
    std::string out(translations + 8 * n, '\0');
    PutWord(out, 0, 0x950412de, bigEndian);
    PutWord(out, 4, revision, bigEndian);
    PutWord(out, 8, n, bigEndian);
    PutWord(out, 12, originals, bigEndian);
    PutWord(out, 16, translations, bigEndian);
    const auto addText = [&out, bigEndian](std::uint32_t table, std::uint32_t i, const std::string &text) {
        PutWord(out, table + 8 * i, static_cast<std::uint32_t>(text.size()), bigEndian);
        PutWord(out, table + 8 * i + 4, static_cast<std::uint32_t>(out.size()), bigEndian);
        out += text;
        out += '\0';
    };
    for (std::uint32_t i = 0; i < n; ++i)
        addText(originals, i, entries[i].first);
    for (std::uint32_t i = 0; i < n; ++i)
        addText(translations, i, entries[i].second);
    return out;
}

const std::string Header = "Content-Type: text/plain; charset=UTF-8\n";

TEST(MoCatalogTest, FindsTranslationsInBothByteOrders)
{
    const TEntries entries = {{"", Header}, {"File", "Datei"},
        {"Size",
            "Gr\xC3\xB6\xC3\x9F"
            "e"},
        {"Untranslated", ""}, {std::string("item\0items", 10), std::string("Eintrag\0Eintr\xC3\xA4ge", 17)},
        {std::string("menu\x04Open"),
            "\xC3\x96"
            "ffnen"}};
    for (const bool bigEndian : {false, true}) {
        const TMoCatalog catalog = TMoCatalog::Parse(MakeCatalog(entries, bigEndian, 1 << 16), "test.mo");
        ASSERT_NE(catalog.Find("File"), nullptr);
        EXPECT_EQ(*catalog.Find("File"), "Datei");
        EXPECT_EQ(*catalog.Find("Size"),
            "Gr\xC3\xB6\xC3\x9F"
            "e");
        EXPECT_EQ(catalog.Find("Untranslated"), nullptr) << "an empty translation keeps the id";
        EXPECT_EQ(*catalog.Find("item"), "Eintrag") << "plural entries by their singular";
        EXPECT_EQ(catalog.Find("Open"), nullptr) << "an entry with a context is not a plain id";
        EXPECT_EQ(catalog.Find(""), nullptr);
        EXPECT_EQ(catalog.Find("Missing"), nullptr);
    }
}

TEST(MoCatalogTest, PluralEntriesKeepEveryForm)
{
    const std::string header = Header
        + "Plural-Forms: nplurals=3; plural=(n%10==1 && n%100!=11 ? 0 : n%10>=2 && n%10<=4 && (n%100<10 || "
          "n%100>=20) ? 1 : 2);\n";
    const std::string forms[] = {"%s \xD1\x84\xD0\xB0\xD0\xB9\xD0\xBB", "%s \xD1\x84\xD0\xB0\xD0\xB9\xD0\xBB\xD0\xB0",
        "%s \xD1\x84\xD0\xB0\xD0\xB9\xD0\xBB\xD0\xBE\xD0\xB2"};
    const TMoCatalog catalog = TMoCatalog::Parse(
        MakeCatalog({{"", header}, {std::string("%s file\0%s files", 17), forms[0] + '\0' + forms[1] + '\0' + forms[2]},
            {std::string("%s item\0%s items", 17), std::string("\0\0", 2)}}),
        "ru.mo");
    EXPECT_EQ(catalog.PluralRuleError(), "");
    for (const auto &[n, form] :
        std::vector<std::pair<std::uint64_t, int>> {{1, 0}, {3, 1}, {5, 2}, {21, 0}, {111, 2}}) {
        ASSERT_NE(catalog.FindPlural("%s file", n), nullptr) << n;
        EXPECT_EQ(*catalog.FindPlural("%s file", n), forms[form]) << n;
    }
    EXPECT_EQ(*catalog.Find("%s file"), forms[0]);
    EXPECT_EQ(catalog.FindPlural("%s item", 2), nullptr) << "empty forms keep the English text";
    EXPECT_EQ(catalog.FindPlural("%s files", 2), nullptr) << "found by the singular only";

    const TMoCatalog damaged
        = TMoCatalog::Parse(MakeCatalog({{"", Header + "Plural-Forms: nplurals=3; plural=n %% ;\n"},
                                {std::string("%s file\0%s files", 17), std::string("A\0B\0C", 5)}}),
            "damaged.mo");
    EXPECT_NE(damaged.PluralRuleError(), "");
    EXPECT_EQ(*damaged.FindPlural("%s file", 1), "A") << "English rules";
    EXPECT_EQ(*damaged.FindPlural("%s file", 5), "B");
}

TEST(MoCatalogTest, ConvertsOtherCharacterSetsToUtf8)
{
    const TMoCatalog catalog = TMoCatalog::Parse(MakeCatalog({{"", "Content-Type: text/plain; charset=ISO-8859-1\n"},
                                                     {"Size",
                                                         "Gr\xF6\xDF"
                                                         "e"}}),
        "latin1.mo");
    EXPECT_EQ(*catalog.Find("Size"),
        "Gr\xC3\xB6\xC3\x9F"
        "e");
    EXPECT_THROW((void)TMoCatalog::Parse(
                     MakeCatalog({{"", "Content-Type: text/plain; charset=NO-SUCH-SET\n"}, {"a", "b"}}), "x.mo"),
        ECatalogError);
}

TEST(MoCatalogTest, DamagedCatalogsAreRefusedWithTheirName)
{
    const std::string good = MakeCatalog({{"", Header}, {"File", "Datei"}});
    std::vector<std::pair<const char *, std::string>> damaged;
    damaged.emplace_back("empty", "");
    damaged.emplace_back("truncated header", good.substr(0, 12));
    damaged.emplace_back("truncated texts", good.substr(0, good.size() - 3));
    std::string magic = good;
    magic[0] = 'X';
    damaged.emplace_back("bad magic", magic);
    std::string revision = good;
    PutWord(revision, 4, 2u << 16, false);
    damaged.emplace_back("future revision", revision);
    std::string count = good;
    PutWord(count, 8, 0x7FFFFFFF, false);
    damaged.emplace_back("huge count", count);
    std::string offset = good;
    PutWord(offset, 28 + 4, 0xFFFFFFF0, false);
    damaged.emplace_back("text offset outside", offset);
    std::string table = good;
    PutWord(table, 12, 0xFFFFFFFC, false);
    damaged.emplace_back("table outside", table);
    for (const auto &[what, bytes] : damaged) {
        try {
            (void)TMoCatalog::Parse(bytes, "damaged.mo");
            ADD_FAILURE() << what << " was accepted";
        } catch (const ECatalogError &e) {
            EXPECT_NE(std::string(e.what()).find("damaged.mo"), std::string::npos) << e.what();
        }
    }
}

TEST(MoCatalogTest, LoadsFilesAndReportsMissingOnes)
{
    TempTree tree;
    std::ofstream(tree / "de.mo", std::ios::binary) << MakeCatalog({{"", Header}, {"File", "Datei"}});
    EXPECT_EQ(*TMoCatalog::LoadFromFile(tree / "de.mo").Find("File"), "Datei");
    EXPECT_THROW((void)TMoCatalog::LoadFromFile(tree / "missing.mo"), ECatalogError);
    EXPECT_THROW((void)TMoCatalog::LoadFromFile(tree.Path()), ECatalogError) << "a folder is no catalog";
}

} // namespace
