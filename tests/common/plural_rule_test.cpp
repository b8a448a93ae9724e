// Plural rules of catalogs, evaluated as GNU gettext's ngettext does.
#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "common/PluralRule.h"

namespace {

struct TLanguageCase
{
    const char *Language;
    const char *PluralForms; // as the language's catalogs write it
    std::vector<unsigned> Forms; // for n = 0, 1, 2, 5, 11, 21, 22, 25, 101, 111
};

const std::vector<std::uint64_t> Counts = {0, 1, 2, 5, 11, 21, 22, 25, 101, 111};

TEST(PluralRuleTest, LanguagesChooseTheirForms)
{
    const std::vector<TLanguageCase> cases = {
        {"en", "nplurals=2; plural=(n != 1);", {1, 0, 1, 1, 1, 1, 1, 1, 1, 1}},
        {"fr", "nplurals=2; plural=(n > 1);", {0, 0, 1, 1, 1, 1, 1, 1, 1, 1}},
        {"pl", "nplurals=3; plural=(n==1 ? 0 : n%10>=2 && n%10<=4 && (n%100<10 || n%100>=20) ? 1 : 2);",
            {2, 0, 1, 2, 2, 2, 1, 2, 2, 2}},
        {"ru", "nplurals=3; plural=(n%10==1 && n%100!=11 ? 0 : n%10>=2 && n%10<=4 && (n%100<10 || n%100>=20) ? 1 : 2);",
            {2, 0, 1, 2, 2, 0, 1, 2, 0, 2}},
        {"cs", "nplurals=3; plural=(n==1) ? 0 : (n>=2 && n<=4) ? 1 : 2;", {2, 0, 1, 2, 2, 2, 2, 2, 2, 2}},
        {"ja", "nplurals=1; plural=0;", {0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
    };
    for (const TLanguageCase &c : cases) {
        std::string error;
        const TPluralRule rule = TPluralRule::FromHeader(
            std::string("Content-Type: text/plain; charset=UTF-8\nPlural-Forms: ") + c.PluralForms + "\n", error);
        EXPECT_EQ(error, "") << c.Language;
        for (std::size_t i = 0; i < Counts.size(); ++i)
            EXPECT_EQ(rule.FormFor(Counts[i]), c.Forms[i]) << c.Language << " n=" << Counts[i];
    }
}

TEST(PluralRuleTest, OperatorsFollowCPrecedenceAndArithmetic)
{
    struct TCase
    {
        const char *Expression;
        std::uint64_t N;
        unsigned Form;
    };
    const std::vector<TCase> cases = {
        {"1 + 2 * 2 - n", 5, 0}, // 1 + 4 - 5
        {"(1 + 2) * n", 1, 3}, {"n / 2 % 3", 10, 2}, {"!n", 0, 1}, {"!!n + !n", 7, 1},
        {"n - 2 > 0", 1, 1}, // unsigned, as in gettext: 1 - 2 wraps to a large number
        {"n == 1 || n == 2 && 0", 2, 0}, {"n ? n < 3 ? 1 : 2 : 3", 5, 2}, {"n ? n < 3 ? 1 : 2 : 3", 0, 3},
        {"n / 0 + n % 0", 9, 0}, // no trap
        {"n >= 4 && n <= 4 && n != 3", 4, 1}, {"7", 0, 0}, // an index past the forms selects the first
    };
    for (const TCase &c : cases)
        EXPECT_EQ(TPluralRule::Parse(4, c.Expression).FormFor(c.N), c.Form) << c.Expression << " n=" << c.N;
}

TEST(PluralRuleTest, DamagedLinesFallBackToEnglishAndSayWhy)
{
    const std::vector<std::string> lines = {
        "nplurals=2; plural=n %;",
        "nplurals=3; plural=(n==1 ? 0 : 1;",
        "nplurals=2; plural=n ? 1;",
        "nplurals=2; plural=x;",
        "nplurals=2; plural=n = 1;",
        "nplurals=7; plural=n;",
        "nplurals=0; plural=0;",
        "nplurals=two; plural=n != 1;",
        "plural=n != 1;",
        "nplurals=2;",
        "nplurals=2; plural=" + std::string(40, '(') + "n" + std::string(40, ')') + ";",
        "nplurals=2; plural=" + std::string(2000, '!') + "n;",
    };
    for (const std::string &line : lines) {
        std::string error;
        const TPluralRule rule = TPluralRule::FromHeader("Plural-Forms: " + line + "\n", error);
        EXPECT_NE(error, "") << line;
        EXPECT_EQ(rule.FormCount(), 2u) << line;
        EXPECT_EQ(rule.FormFor(1), 0u) << line;
        EXPECT_EQ(rule.FormFor(5), 1u) << line;
    }
    std::string error = "stale";
    EXPECT_EQ(TPluralRule::FromHeader("Language: de\n", error).FormFor(0), 1u) << "no line: English";
    EXPECT_EQ(error, "");
}

} // namespace
