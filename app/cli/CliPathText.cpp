#include "CliPathText.h"

#include "model/common/Utf8.h"

std::string CliPrintablePath(std::string_view path)
{
    static constexpr char Hex[] = "0123456789abcdef";
    std::string out;
    out.reserve(path.size());
    for (std::size_t i = 0; i < path.size();) {
        const auto b = static_cast<unsigned char>(path[i]);
        if (b >= 0x20 && b < 0x7F) {
            if (b == '\\')
                out += '\\';
            out += static_cast<char>(b);
            ++i;
            continue;
        }
        char32_t cp = 0;
        const std::size_t n = b >= 0x80 ? DecodeUtf8(path.substr(i), cp) : 0;
        // C1 controls and the line and paragraph separators move the cursor too.
        if (n > 0 && cp >= 0xA0 && cp != 0x2028 && cp != 0x2029) {
            out.append(path.substr(i, n));
            i += n;
            continue;
        }
        const std::size_t bad = n > 0 ? n : 1;
        for (std::size_t k = 0; k < bad; ++k) {
            const auto c = static_cast<unsigned char>(path[i + k]);
            if (c == '\t')
                out += "\\t";
            else if (c == '\n')
                out += "\\n";
            else if (c == '\r')
                out += "\\r";
            else {
                out += "\\x";
                out += Hex[c >> 4];
                out += Hex[c & 0xF];
            }
        }
        i += bad;
    }
    return out;
}
