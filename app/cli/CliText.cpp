#include "CliText.h"

#include <cstring>
#include <cwchar>
#include <vector>

#include <langinfo.h>

#include "model/common/Utf8.h"

namespace {

std::string &ThousandsSeparator()
{
    static std::string separator;
    return separator;
}

std::size_t CodePointWidth(char32_t cp)
{
    const int w = ::wcwidth(static_cast<wchar_t>(cp));
    return w < 0 ? 1 : static_cast<std::size_t>(w);
}

} // namespace

bool LocaleIsUtf8()
{
    const char *codeset = ::nl_langinfo(CODESET);
    return codeset && (std::strcmp(codeset, "UTF-8") == 0 || std::strcmp(codeset, "utf8") == 0);
}

std::size_t DisplayWidth(std::string_view text)
{
    if (!LocaleIsUtf8())
        return text.size();
    std::size_t width = 0;
    for (std::size_t i = 0; i < text.size();) {
        char32_t cp = 0;
        const std::size_t n = DecodeUtf8(text.substr(i), cp);
        width += n ? CodePointWidth(cp) : 1;
        i += n ? n : 1;
    }
    return width;
}

std::string KeepTail(std::string_view text, std::size_t width)
{
    if (DisplayWidth(text) <= width)
        return std::string(text);
    const bool utf8 = LocaleIsUtf8();
    const std::string ellipsis = utf8 ? "\xe2\x80\xa6" : "...";
    const std::size_t ellipsisWidth = utf8 ? 1 : 3;
    if (width <= ellipsisWidth)
        return ellipsis.substr(0, utf8 ? (width ? ellipsis.size() : 0) : width);
    // Characters from the end while they fit.
    std::vector<std::size_t> starts;
    for (std::size_t i = 0; i < text.size();) {
        char32_t cp = 0;
        const std::size_t n = utf8 ? DecodeUtf8(text.substr(i), cp) : 0;
        starts.push_back(i);
        i += n ? n : 1;
    }
    std::size_t used = 0;
    std::size_t from = text.size();
    for (auto it = starts.rbegin(); it != starts.rend(); ++it) {
        const std::string_view ch = text.substr(*it, from - *it);
        char32_t cp = 0;
        const std::size_t w = utf8 && DecodeUtf8(ch, cp) ? CodePointWidth(cp) : 1;
        if (used + w > width - ellipsisWidth)
            break;
        used += w;
        from = *it;
    }
    return ellipsis + std::string(text.substr(from));
}

std::string PadLeft(std::string_view text, std::size_t width)
{
    const std::size_t w = DisplayWidth(text);
    return std::string(w < width ? width - w : 0, ' ') + std::string(text);
}

std::string CountText(std::int64_t value)
{
    const std::string digits = std::to_string(value < 0 ? -(value + 1) + 1ULL : static_cast<unsigned long long>(value));
    std::string out = value < 0 ? "-" : "";
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0)
            out += ThousandsSeparator();
        out += digits[i];
    }
    return out;
}

void SetThousandsSeparator(std::string_view separator)
{
    ThousandsSeparator() = separator.size() <= 4 ? std::string(separator) : std::string();
}
