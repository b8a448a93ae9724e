#include "CliText.h"

#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <vector>

#include <langinfo.h>

#include "common/Utf8.h"

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

bool TerminalIsDumb()
{
    const char *term = std::getenv("TERM");
    return term && std::strcmp(term, "dumb") == 0;
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

namespace {

// Bytes the lead byte `byte` announces for its UTF-8 sequence; 0 for no lead byte.
std::size_t Utf8SequenceLength(unsigned char byte)
{
    if (byte >= 0xC2 && byte <= 0xDF)
        return 2;
    if (byte >= 0xE0 && byte <= 0xEF)
        return 3;
    if (byte >= 0xF0 && byte <= 0xF4)
        return 4;
    return 0;
}

void AppendHex(std::string &out, unsigned char byte)
{
    static constexpr char Digits[] = "0123456789abcdef";
    out += "\\x";
    out += Digits[byte >> 4];
    out += Digits[byte & 0xF];
}

} // namespace

TTerminalSafeStreamBuf::TTerminalSafeStreamBuf(std::streambuf *target)
    : FTarget(target)
    , FUtf8(LocaleIsUtf8())
{ }

TTerminalSafeStreamBuf::~TTerminalSafeStreamBuf()
{
    Finish();
}

bool TTerminalSafeStreamBuf::Finish()
{
    return Drain(true) && FTarget->pubsync() == 0;
}

TTerminalSafeStreamBuf::int_type TTerminalSafeStreamBuf::overflow(int_type ch)
{
    if (traits_type::eq_int_type(ch, traits_type::eof()))
        return traits_type::not_eof(ch);
    FPending += traits_type::to_char_type(ch);
    return Drain(false) ? ch : traits_type::eof();
}

std::streamsize TTerminalSafeStreamBuf::xsputn(const char *s, std::streamsize n)
{
    FPending.append(s, static_cast<std::size_t>(n));
    return Drain(false) ? n : 0;
}

int TTerminalSafeStreamBuf::sync()
{
    return Drain(false) && FTarget->pubsync() == 0 ? 0 : -1;
}

bool TTerminalSafeStreamBuf::Drain(bool final)
{
    FOut.clear();
    const std::string_view text = FPending;
    std::size_t i = 0;
    while (i < text.size()) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte < 0x80) {
            if ((byte < 0x20 && byte != '\t' && byte != '\n' && byte != '\r') || byte == 0x7F)
                AppendHex(FOut, byte);
            else
                FOut += static_cast<char>(byte);
            ++i;
            continue;
        }
        if (!FUtf8) {
            // Outside UTF-8, 0x80-0x9F are the one-byte C1 controls (CSI among them).
            if (byte <= 0x9F)
                AppendHex(FOut, byte);
            else
                FOut += static_cast<char>(byte);
            ++i;
            continue;
        }
        const std::size_t wanted = Utf8SequenceLength(byte);
        if (!final && wanted > 0 && text.size() - i < wanted) {
            bool prefix = true;
            for (std::size_t k = i + 1; k < text.size(); ++k)
                prefix = prefix && (static_cast<unsigned char>(text[k]) & 0xC0) == 0x80;
            if (prefix)
                break; // the rest of this character comes with the next write
        }
        char32_t codePoint = 0;
        const std::size_t length = DecodeUtf8(text.substr(i), codePoint);
        if (length > 0 && !(codePoint >= 0x80 && codePoint <= 0x9F)) {
            FOut.append(text.substr(i, length));
            i += length;
            continue;
        }
        const std::size_t count = length > 0 ? length : 1;
        for (std::size_t k = 0; k < count; ++k)
            AppendHex(FOut, static_cast<unsigned char>(text[i + k]));
        i += count;
    }
    FPending.erase(0, i);
    const auto size = static_cast<std::streamsize>(FOut.size());
    return FTarget->sputn(FOut.data(), size) == size;
}
