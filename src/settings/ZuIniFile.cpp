#include "settings/ZuIniFile.h"

#include "common/TextUtils.h"

std::int64_t TZuIniFile::ReadInt64(std::string_view section, std::string_view ident, std::int64_t defaultValue) const
{
    std::int64_t value = defaultValue;
    return TryStrToInt64(ReadString(section, ident, ""), value) ? value : defaultValue;
}

void TZuIniFile::WriteInt64(std::string_view section, std::string_view ident, std::int64_t value)
{
    WriteString(section, ident, std::to_string(value));
}

void TZuIniFile::WriteSet(
    std::string_view section, std::string_view ident, std::uint32_t bits, std::span<const std::string_view> names)
{
    WriteString(section, ident, SetToText(bits, names));
}

std::string SetToText(std::uint32_t bits, std::span<const std::string_view> names)
{
    std::string text = "[";
    bool first = true;
    for (std::size_t i = 0; i < names.size() && i < 32; ++i) {
        if (!(bits & (std::uint32_t {1} << i)))
            continue;
        if (!first)
            text += ',';
        text += names[i];
        first = false;
    }
    return text + "]";
}

namespace {

bool IsBlank(char c)
{
    const auto u = static_cast<unsigned char>(c);
    return u >= 1 && u <= ' ';
}

bool SameAsciiText(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i]))
            return false;
    }
    return true;
}

} // namespace

std::uint32_t TextToSet(std::string_view text, std::span<const std::string_view> names)
{
    std::size_t pos = 0;
    while (pos < text.size() && (IsBlank(text[pos]) || text[pos] == '['))
        ++pos;
    std::uint32_t bits = 0;
    while (pos < text.size()) {
        const std::size_t start = pos;
        while (pos < text.size() && !IsBlank(text[pos]) && text[pos] != ',' && text[pos] != ']')
            ++pos;
        const std::string_view name = text.substr(start, pos - start);
        if (name.size() >= 256)
            return 0;
        std::size_t member = names.size();
        for (std::size_t i = 0; i < names.size() && i < 32; ++i)
            if (SameAsciiText(names[i], name)) {
                member = i;
                break;
            }
        if (member == names.size())
            return 0;
        bits |= std::uint32_t {1} << member;
        while (pos < text.size() && (IsBlank(text[pos]) || text[pos] == ',' || text[pos] == ']'))
            ++pos;
    }
    return bits;
}
