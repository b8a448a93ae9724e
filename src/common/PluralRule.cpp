#include "common/PluralRule.h"

#include <stdexcept>

namespace {

using TNode = TPluralRule::TNode;
using TKind = TNode::TKind;

// Far more than any language's rule needs; the limits keep a hostile catalog from exhausting the
// stack while the expression is parsed (nesting) or evaluated (the tree's depth is below its
// length).
constexpr int MaxDepth = 32;
constexpr std::size_t MaxLength = 1000;

class TParser
{
public:
    TParser(std::string_view text, std::vector<TNode> &nodes)
        : FText(text)
        , FNodes(nodes)
    { }

    std::uint32_t ParseAll()
    {
        const std::uint32_t root = Choice(0);
        Skip();
        if (FPos != FText.size())
            Fail("unexpected text");
        return root;
    }

private:
    [[noreturn]] void Fail(const char *what) const
    {
        throw std::invalid_argument(
            std::string(what) + " at position " + std::to_string(FPos + 1) + " of \"" + std::string(FText) + "\"");
    }

    void Skip()
    {
        while (FPos < FText.size() && (FText[FPos] == ' ' || FText[FPos] == '\t' || FText[FPos] == '\n'))
            ++FPos;
    }

    bool Accept(std::string_view token)
    {
        Skip();
        if (FText.substr(FPos, token.size()) != token)
            return false;
        // "<" must not take the first half of "<=", "!" not that of "!=", and so on.
        if (token.size() == 1 && FPos + 1 < FText.size() && FText[FPos + 1] == '='
            && (token == "<" || token == ">" || token == "!" || token == "="))
            return false;
        FPos += token.size();
        return true;
    }

    std::uint32_t Add(
        TKind kind, std::uint32_t a = 0, std::uint32_t b = 0, std::uint32_t c = 0, unsigned long value = 0)
    {
        FNodes.push_back(TNode {kind, value, a, b, c});
        return static_cast<std::uint32_t>(FNodes.size() - 1);
    }

    void Enter(int depth) const
    {
        if (depth > MaxDepth)
            Fail("expression nested too deeply");
    }

    // cond ? a : b, right-associative, the lowest precedence.
    std::uint32_t Choice(int depth)
    {
        Enter(depth);
        const std::uint32_t cond = Or(depth);
        if (!Accept("?"))
            return cond;
        const std::uint32_t yes = Choice(depth + 1);
        if (!Accept(":"))
            Fail("':' expected");
        const std::uint32_t no = Choice(depth + 1);
        return Add(TKind::Choice, cond, yes, no);
    }

    std::uint32_t Or(int depth)
    {
        std::uint32_t left = And(depth);
        while (Accept("||"))
            left = Add(TKind::Or, left, And(depth));
        return left;
    }

    std::uint32_t And(int depth)
    {
        std::uint32_t left = Equality(depth);
        while (Accept("&&"))
            left = Add(TKind::And, left, Equality(depth));
        return left;
    }

    std::uint32_t Equality(int depth)
    {
        std::uint32_t left = Relation(depth);
        for (;;) {
            if (Accept("=="))
                left = Add(TKind::Eq, left, Relation(depth));
            else if (Accept("!="))
                left = Add(TKind::NotEq, left, Relation(depth));
            else
                return left;
        }
    }

    std::uint32_t Relation(int depth)
    {
        std::uint32_t left = Sum(depth);
        for (;;) {
            if (Accept("<="))
                left = Add(TKind::LessEq, left, Sum(depth));
            else if (Accept(">="))
                left = Add(TKind::GreaterEq, left, Sum(depth));
            else if (Accept("<"))
                left = Add(TKind::Less, left, Sum(depth));
            else if (Accept(">"))
                left = Add(TKind::Greater, left, Sum(depth));
            else
                return left;
        }
    }

    std::uint32_t Sum(int depth)
    {
        std::uint32_t left = Product(depth);
        for (;;) {
            if (Accept("+"))
                left = Add(TKind::Add, left, Product(depth));
            else if (Accept("-"))
                left = Add(TKind::Sub, left, Product(depth));
            else
                return left;
        }
    }

    std::uint32_t Product(int depth)
    {
        std::uint32_t left = Unary(depth);
        for (;;) {
            if (Accept("*"))
                left = Add(TKind::Mul, left, Unary(depth));
            else if (Accept("/"))
                left = Add(TKind::Div, left, Unary(depth));
            else if (Accept("%"))
                left = Add(TKind::Mod, left, Unary(depth));
            else
                return left;
        }
    }

    std::uint32_t Unary(int depth)
    {
        Enter(depth);
        if (Accept("!"))
            return Add(TKind::Not, Unary(depth + 1));
        return Primary(depth);
    }

    std::uint32_t Primary(int depth)
    {
        Enter(depth);
        if (Accept("(")) {
            const std::uint32_t inner = Choice(depth + 1);
            if (!Accept(")"))
                Fail("')' expected");
            return inner;
        }
        Skip();
        if (FPos < FText.size() && FText[FPos] == 'n') {
            ++FPos;
            return Add(TKind::Count);
        }
        if (FPos < FText.size() && FText[FPos] >= '0' && FText[FPos] <= '9') {
            unsigned long value = 0;
            while (FPos < FText.size() && FText[FPos] >= '0' && FText[FPos] <= '9') {
                const unsigned long digit = static_cast<unsigned long>(FText[FPos] - '0');
                if (value > (~0UL - digit) / 10)
                    Fail("number too large");
                value = value * 10 + digit;
                ++FPos;
            }
            return Add(TKind::Number, 0, 0, 0, value);
        }
        Fail(FPos < FText.size() ? "unexpected character" : "unexpected end");
    }

    std::string_view FText;
    std::size_t FPos = 0;
    std::vector<TNode> &FNodes;
};

std::string_view Trim(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
        s.remove_suffix(1);
    return s;
}

} // namespace

TPluralRule::TPluralRule()
    : TPluralRule(Parse(2, "n != 1"))
{ }

TPluralRule TPluralRule::Parse(unsigned count, std::string_view expression)
{
    if (count == 0 || count > MaxForms)
        throw std::invalid_argument(
            "nplurals=" + std::to_string(count) + " is not between 1 and " + std::to_string(MaxForms));
    if (expression.size() > MaxLength)
        throw std::invalid_argument("the expression is longer than " + std::to_string(MaxLength) + " characters");
    TPluralRule rule(count);
    TParser parser(expression, rule.FNodes);
    // Every node is added after its operands, so the root is the last one.
    static_cast<void>(parser.ParseAll());
    return rule;
}

TPluralRule TPluralRule::FromHeader(std::string_view header, std::string &error)
{
    error.clear();
    std::string_view line;
    for (std::size_t start = 0; start < header.size();) {
        const std::size_t end = std::min(header.find('\n', start), header.size());
        const std::string_view candidate = header.substr(start, end - start);
        if (candidate.substr(0, 13) == "Plural-Forms:") {
            line = candidate.substr(13);
            break;
        }
        start = end + 1;
    }
    if (line.empty())
        return {};
    try {
        const std::size_t countAt = line.find("nplurals=");
        const std::size_t exprAt = line.find("plural=", countAt == std::string_view::npos ? 0 : countAt + 9);
        if (countAt == std::string_view::npos || exprAt == std::string_view::npos)
            throw std::invalid_argument("nplurals= or plural= missing");
        std::string_view countText = line.substr(countAt + 9);
        countText = Trim(countText.substr(0, countText.find(';')));
        unsigned count = 0;
        if (countText.empty() || countText.size() > 2)
            throw std::invalid_argument("nplurals is not a small number");
        for (const char c : countText) {
            if (c < '0' || c > '9')
                throw std::invalid_argument("nplurals is not a number");
            count = count * 10 + static_cast<unsigned>(c - '0');
        }
        std::string_view expression = line.substr(exprAt + 7);
        expression = Trim(expression.substr(0, expression.find(';')));
        return Parse(count, expression);
    } catch (const std::invalid_argument &e) {
        error = std::string("Plural-Forms cannot be read (") + e.what() + "), English rules are used";
        return {};
    }
}

unsigned TPluralRule::FormFor(std::uint64_t n) const
{
    const unsigned long index = Evaluate(static_cast<std::uint32_t>(FNodes.size() - 1), n);
    return index < FCount ? static_cast<unsigned>(index) : 0;
}

unsigned long TPluralRule::Evaluate(std::uint32_t node, std::uint64_t n) const
{
    const TNode &op = FNodes[node];
    const auto a = [&] { return Evaluate(op.A, n); };
    const auto b = [&] { return Evaluate(op.B, n); };
    switch (op.Kind) {
    case TKind::Number:
        return op.Value;
    case TKind::Count:
        return static_cast<unsigned long>(n);
    case TKind::Not:
        return a() == 0;
    case TKind::Mul:
        return a() * b();
    case TKind::Div: {
        const unsigned long left = a(), right = b();
        return right == 0 ? 0 : left / right;
    }
    case TKind::Mod: {
        const unsigned long left = a(), right = b();
        return right == 0 ? 0 : left % right;
    }
    case TKind::Add:
        return a() + b();
    case TKind::Sub:
        return a() - b();
    case TKind::Less:
        return a() < b();
    case TKind::Greater:
        return a() > b();
    case TKind::LessEq:
        return a() <= b();
    case TKind::GreaterEq:
        return a() >= b();
    case TKind::Eq:
        return a() == b();
    case TKind::NotEq:
        return a() != b();
    case TKind::And:
        return a() != 0 && b() != 0;
    case TKind::Or:
        return a() != 0 || b() != 0;
    case TKind::Choice:
        return a() != 0 ? b() : Evaluate(op.C, n);
    }
    return 0;
}
