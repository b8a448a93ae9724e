#include "common/TextUtils.h"

#include <algorithm>
#include <charconv>
#include <random>

#include "common/Utf8.h"
#include "platform/Platform.h"

namespace {

bool IsBlank(char c)
{
    return static_cast<unsigned char>(c) <= ' ';
}

bool IsIdentifierChar(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
}

bool IsInvalidFileNameChar(char c)
{
    const auto u = static_cast<unsigned char>(c);
    return u < 32 || std::string_view("\"*/:<>?\\|").find(c) != std::string_view::npos;
}

// Length of the well-formed UTF-8 sequence at the start of `text`, or 0 when it is not one.
std::size_t Utf8SequenceLength(std::string_view text)
{
    char32_t codePoint = 0;
    return DecodeUtf8(text, codePoint);
}

const char *IdentifierReplacement(std::string_view sequence)
{
    static constexpr std::pair<std::string_view, const char *> Table[] = {
        {"\xC3\xA4", "ae"},
        {"\xC3\x84", "Ae"},
        {"\xC3\xBC", "ue"},
        {"\xC3\x9C", "Ue"},
        {"\xC3\xB6", "oe"},
        {"\xC3\x96", "Oe"},
        {"\xC3\x9F", "ss"},
    };
    for (const auto &[from, to] : Table)
        if (sequence == from)
            return to;
    return nullptr;
}

bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b)
{
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
        return lower(x) == lower(y);
    });
}

template <typename T> bool ParseWhole(std::string_view text, T &value)
{
    const std::string trimmed = Trim(text);
    const char *first = trimmed.data();
    const char *last = first + trimmed.size();
    if (last - first > 1 && first[0] == '+' && first[1] != '-')
        ++first;
    T parsed {};
    const auto [end, ec] = std::from_chars(first, last, parsed);
    if (ec != std::errc() || end != last || first == last)
        return false;
    value = parsed;
    return true;
}

} // namespace

bool TryStrToInt(std::string_view text, int &value)
{
    return ParseWhole(text, value);
}

bool TryStrToInt64(std::string_view text, std::int64_t &value)
{
    return ParseWhole(text, value);
}

bool StartsWithText(std::string_view text, std::string_view prefix)
{
    if (text.empty() || prefix.empty() || text.size() < prefix.size())
        return false;
    return text.substr(0, prefix.size()) == prefix;
}

std::string AddTrailingBackslash(std::string_view text)
{
    std::string result(text);
    if (!result.empty() && result.back() != PathDelim)
        result += PathDelim;
    return result;
}

std::string AddTrailingBackslashTrimmed(std::string_view text)
{
    return AddTrailingBackslash(Trim(text));
}

std::string Trim(std::string_view text)
{
    while (!text.empty() && IsBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back()))
        text.remove_suffix(1);
    return std::string(text);
}

std::string NextToken(std::string &text, std::string_view delimiters)
{
    const auto pos = text.find_first_of(delimiters);
    std::string token;
    if (pos == std::string::npos) {
        token.swap(text);
    } else {
        token = text.substr(0, pos);
        text.erase(0, pos + 1);
    }
    return token;
}

int SplitText(std::string_view text, std::string_view delimiters, std::vector<std::string> &list)
{
    list.clear();
    std::size_t pos = 0;
    while (pos < text.size()) {
        const auto start = text.find_first_not_of(delimiters, pos);
        if (start == std::string_view::npos)
            break;
        auto end = text.find_first_of(delimiters, start);
        if (end == std::string_view::npos)
            end = text.size();
        list.emplace_back(text.substr(start, end - start));
        pos = end;
    }
    return static_cast<int>(list.size());
}

void RemoveChars(std::string &text, std::string_view chars)
{
    std::erase_if(text, [chars](char c) { return chars.find(c) != std::string_view::npos; });
}

std::string TextBetween(std::string_view text, std::string_view startMarker, std::string_view endMarker)
{
    // A missing start marker gives nothing, rather than the text up to the end marker.
    const auto start = text.find(startMarker);
    if (start == std::string_view::npos)
        return {};
    const std::string_view rest = text.substr(start + startMarker.size());
    const auto end = rest.find(endMarker);
    if (end == std::string_view::npos || end == 0)
        return {};
    return std::string(rest.substr(0, end));
}

std::string MakeIdentifier(std::string_view text)
{
    std::string result;
    if (text.empty())
        return result;
    if (text.front() >= '0' && text.front() <= '9')
        result += '_';
    while (!text.empty()) {
        if (IsIdentifierChar(text.front())) {
            result += text.front();
            text.remove_prefix(1);
            continue;
        }
        std::size_t length = Utf8SequenceLength(text);
        if (length == 0)
            length = 1;
        const char *replacement = IdentifierReplacement(text.substr(0, length));
        result += replacement ? replacement : "_";
        text.remove_prefix(length);
    }
    return result;
}

std::string MakeFileName(std::string_view text, char replacement, std::string_view extra)
{
    std::string trimmed = Trim(text);
    if (!trimmed.empty() && trimmed.back() == '.')
        trimmed.pop_back();
    std::string result;
    result.reserve(trimmed.size());
    for (const char c : trimmed) {
        if (!IsInvalidFileNameChar(c) && extra.find(c) == std::string_view::npos) {
            result += c;
        } else if (replacement != '\0' && (result.empty() || result.back() != replacement)) {
            result += replacement;
        }
    }
    return result;
}

int RemoveNestedPaths(std::vector<std::string> &list)
{
    std::vector<std::string> withDelim;
    withDelim.reserve(list.size());
    for (const auto &path : list)
        withDelim.push_back(AddTrailingBackslash(path));
    std::vector<bool> removed(list.size());
    for (std::size_t a = 0; a < list.size(); ++a) {
        if (list[a].empty() || removed[a])
            continue;
        for (std::size_t b = 0; b < list.size(); ++b)
            if (b != a && !removed[b] && !list[b].empty() && PathStartsWith(withDelim[b], withDelim[a]))
                removed[b] = true;
    }
    int count = 0;
    for (std::size_t i = list.size(); i-- > 0;) {
        if (removed[i] || list[i].empty()) {
            list.erase(list.begin() + static_cast<std::ptrdiff_t>(i));
            ++count;
        }
    }
    return count;
}

std::string RandomText(int length)
{
    thread_local std::mt19937 generator {std::random_device {}()};
    std::bernoulli_distribution digit(0.5);
    std::uniform_int_distribution<int> letterIndex(0, 25);
    std::uniform_int_distribution<int> digitIndex(0, 9);
    std::string result;
    for (int i = 0; i < length; ++i)
        result += digit(generator) ? static_cast<char>('0' + digitIndex(generator))
                                   : static_cast<char>('A' + letterIndex(generator));
    return result;
}

const char *BoolToStr(bool value)
{
    return value ? "True" : "False";
}

bool TryStrToBool(std::string_view text, bool &value)
{
    const std::string trimmed = Trim(text);
    for (const char *t : {"True", "Wahr"}) {
        if (EqualsIgnoringAsciiCase(trimmed, t)) {
            value = true;
            return true;
        }
    }
    for (const char *f : {"False", "Falsch"}) {
        if (EqualsIgnoringAsciiCase(trimmed, f)) {
            value = false;
            return true;
        }
    }
    std::int64_t number = 0;
    if (!TryStrToInt64(trimmed, number))
        return false;
    value = number != 0;
    return true;
}

bool StrToBoolDef(std::string_view text, bool defaultValue)
{
    bool value = defaultValue;
    return TryStrToBool(text, value) ? value : defaultValue;
}
