#include "export/TextEscape.h"

#include <cstdint>

namespace {

constexpr std::string_view ReplacementChar = "\xEF\xBF\xBD"; // U+FFFD

// Calls `handle(codePoint, bytes)` for every code point of `text`; a byte that does not start
// a well-formed sequence comes as U+FFFD with its one byte, and the scan goes on after it.
template <class THandler> void ForEachCodePoint(std::string_view text, THandler &&handle)
{
    std::size_t i = 0;
    while (i < text.size()) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte < 0x80) {
            handle(static_cast<char32_t>(byte), text.substr(i, 1));
            ++i;
            continue;
        }
        char32_t cp = 0;
        const std::size_t length = DecodeUtf8(text.substr(i), cp);
        if (length == 0) {
            handle(char32_t {0xFFFD}, ReplacementChar);
            ++i;
        } else {
            handle(cp, text.substr(i, length));
            i += length;
        }
    }
}

bool IsPlainAscii(std::string_view text, std::string_view specials)
{
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte >= 0x7F || specials.find(c) != std::string_view::npos)
            return false;
    }
    return true;
}

} // namespace

void AppendUtf8(std::string &out, std::string_view text)
{
    ForEachCodePoint(text, [&](char32_t, std::string_view bytes) { out.append(bytes); });
}

void AppendXmlEscaped(std::string &out, std::string_view text, bool html)
{
    if (IsPlainAscii(text, "\"&'<>")) {
        out.append(text);
        return;
    }
    ForEachCodePoint(text, [&](char32_t cp, std::string_view bytes) {
        switch (cp) {
        case '"':
            out += "&quot;";
            break;
        case '&':
            out += "&amp;";
            break;
        case '\'':
            out += html ? "&#39;" : "&apos;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '\t':
            out += "&#9;";
            break;
        case '\n':
            out += "&#10;";
            break;
        case '\r':
            out += "&#13;";
            break;
        default:
            if (cp < 0x20 || cp == 0xFFFE || cp == 0xFFFF)
                out += ReplacementChar;
            else
                out += bytes;
        }
    });
}

std::string XmlEscape(std::string_view text, bool html)
{
    std::string result;
    result.reserve(text.size());
    AppendXmlEscaped(result, text, html);
    return result;
}

void AppendCsvField(std::string &out, std::string_view text, std::string_view separator)
{
    // A spreadsheet takes a cell that starts with one of these for a formula (a name such as
    // "=HYPERLINK(...)" would run as one): as OWASP advises against CSV injection, a leading "'"
    // inside the quoted field makes it text.
    const bool formula = !text.empty() && std::string_view("=+-@\t\r").find(text.front()) != std::string_view::npos;
    const bool quote = formula || text.find_first_of("\"\r\n") != std::string_view::npos
        || (!separator.empty() && text.find(separator) != std::string_view::npos);
    if (!quote) {
        AppendUtf8(out, text);
        return;
    }
    out += '"';
    if (formula)
        out += '\'';
    ForEachCodePoint(text, [&](char32_t cp, std::string_view bytes) {
        if (cp == '"')
            out += '"';
        out += bytes;
    });
    out += '"';
}

void AppendLineText(std::string &out, std::string_view text)
{
    ForEachCodePoint(text, [&](char32_t cp, std::string_view bytes) {
        if (cp < 0x20 || (cp >= 0x7F && cp <= 0x9F) || cp == 0x2028 || cp == 0x2029)
            out += ReplacementChar;
        else
            out += bytes;
    });
}
