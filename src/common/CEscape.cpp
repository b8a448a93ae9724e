#include "common/CEscape.h"

#include "common/Utf8.h"

namespace {

void AppendHexByte(std::string &out, unsigned char byte)
{
    static constexpr char Digits[] = "0123456789abcdef";
    out += '\\';
    out += 'x';
    out += Digits[byte >> 4];
    out += Digits[byte & 0xF];
}

} // namespace

void AppendCEscaped(std::string &out, std::string_view bytes)
{
    out.reserve(out.size() + bytes.size());
    std::size_t i = 0;
    while (i < bytes.size()) {
        const auto byte = static_cast<unsigned char>(bytes[i]);
        if (byte >= 0x20 && byte < 0x7F && byte != '\\') {
            out += static_cast<char>(byte);
            ++i;
            continue;
        }
        switch (byte) {
        case '\\':
            out += "\\\\";
            ++i;
            continue;
        case '\n':
            out += "\\n";
            ++i;
            continue;
        case '\t':
            out += "\\t";
            ++i;
            continue;
        case '\r':
            out += "\\r";
            ++i;
            continue;
        default:
            break;
        }
        char32_t codePoint = 0;
        const std::size_t length = byte >= 0x80 ? DecodeUtf8(bytes.substr(i), codePoint) : 0;
        // C1 controls include the terminal's one-byte CSI; the separators break lines in editors.
        const bool harmless
            = length > 0 && !(codePoint >= 0x80 && codePoint <= 0x9F) && codePoint != 0x2028 && codePoint != 0x2029;
        if (harmless) {
            out.append(bytes.substr(i, length));
            i += length;
            continue;
        }
        const std::size_t count = length > 0 ? length : 1;
        for (std::size_t k = 0; k < count; ++k)
            AppendHexByte(out, static_cast<unsigned char>(bytes[i + k]));
        i += count;
    }
}

std::string CEscaped(std::string_view bytes)
{
    std::string out;
    AppendCEscaped(out, bytes);
    return out;
}

bool CUnescape(std::string_view text, std::string &bytes)
{
    bytes.clear();
    bytes.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            bytes += text[i];
            continue;
        }
        if (++i >= text.size())
            return false;
        switch (text[i]) {
        case '\\':
            bytes += '\\';
            break;
        case 'n':
            bytes += '\n';
            break;
        case 't':
            bytes += '\t';
            break;
        case 'r':
            bytes += '\r';
            break;
        case 'x': {
            const int high = i + 1 < text.size() ? HexDigitValue(text[i + 1]) : -1;
            const int low = i + 2 < text.size() ? HexDigitValue(text[i + 2]) : -1;
            if (high < 0 || low < 0)
                return false;
            bytes += static_cast<char>(high * 16 + low);
            i += 2;
            break;
        }
        default:
            return false;
        }
    }
    return true;
}

int HexDigitValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}
