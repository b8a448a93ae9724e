#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// A catalog's plural rule: the "Plural-Forms: nplurals=N; plural=EXPR;" line of its header,
// evaluated the way GNU gettext's ngettext does. EXPR is a C expression over the unsigned count
// n with ?:, ||, &&, ==, !=, <, >, <=, >=, +, -, *, /, %, ! and parentheses; arithmetic is on
// unsigned long as in gettext, and a division by zero gives 0 instead of a trap.
class TPluralRule
{
public:
    static constexpr unsigned MaxForms = 6;

    // English: two forms, the first for n == 1.
    TPluralRule();

    // The rule of a catalog header. A header without a Plural-Forms line gives the English rule;
    // a line that cannot be read (a damaged expression, nplurals missing, 0 or above MaxForms)
    // gives the English rule too and sets `error` to what was wrong, else `error` is cleared.
    [[nodiscard]] static TPluralRule FromHeader(std::string_view header, std::string &error);
    // The rule "nplurals=`count`; plural=`expression`". Throws std::invalid_argument naming the
    // fault when the expression or the count cannot be used.
    [[nodiscard]] static TPluralRule Parse(unsigned count, std::string_view expression);

    [[nodiscard]] unsigned FormCount() const { return FCount; }
    // The index of the form to use for `n`, always below FormCount() (an expression that gives
    // more selects the first form, as ngettext does).
    [[nodiscard]] unsigned FormFor(std::uint64_t n) const;

    // A node of the parsed expression; children are indexes into FNodes.
    struct TNode
    {
        enum class TKind : std::uint8_t {
            Number,
            Count,
            Not,
            Mul,
            Div,
            Mod,
            Add,
            Sub,
            Less,
            Greater,
            LessEq,
            GreaterEq,
            Eq,
            NotEq,
            And,
            Or,
            Choice
        };
        TKind Kind = TKind::Number;
        unsigned long Value = 0;
        std::uint32_t A = 0, B = 0, C = 0;
    };

private:
    explicit TPluralRule(unsigned count)
        : FCount(count)
    { }
    [[nodiscard]] unsigned long Evaluate(std::uint32_t node, std::uint64_t n) const;

    unsigned FCount = 2;
    std::vector<TNode> FNodes; // the root is the last one
};
