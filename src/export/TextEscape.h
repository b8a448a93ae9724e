#pragma once

#include <string>
#include <string_view>

#include "common/Utf8.h"

// Text conversions of the export formats. Input texts are raw bytes (names as the kernel
// returns them); every function appends valid UTF-8 to `out`, with each byte that is not part
// of a well-formed UTF-8 sequence (stray continuation bytes, overlong forms, surrogates,
// values above U+10FFFF, cut-off sequences) written as U+FFFD. All functions may be called
// from any thread.

// The text as UTF-8, invalid bytes replaced.
void AppendUtf8(std::string &out, std::string_view text);

// `text` with the five markup characters replaced: `"` by "&quot;", "&" by "&amp;", "'" by
// "&apos;" (or "&#39;" when `html`), "<" by "&lt;" and ">" by "&gt;". So that the output is
// always well-formed XML 1.0, TAB, LF and CR become "&#9;", "&#10;" and "&#13;" (a parser
// keeps them that way, also inside attributes), and every other character XML 1.0 does not
// allow (C0 controls, U+FFFE, U+FFFF) becomes U+FFFD.
void AppendXmlEscaped(std::string &out, std::string_view text, bool html);
[[nodiscard]] std::string XmlEscape(std::string_view text, bool html);

// One CSV field: unchanged unless it contains `separator`, a double quote, CR or LF; then it
// is enclosed in double quotes with each inner double quote doubled (RFC 4180). A field that
// starts with "=", "+", "-", "@", TAB or CR is quoted with a "'" in front, so that no
// spreadsheet runs it as a formula.
void AppendCsvField(std::string &out, std::string_view text, std::string_view separator);

// Text for a line-oriented file: control characters (C0, DEL, C1) and the Unicode line and
// paragraph separators become U+FFFD, so that the text never breaks or disturbs the line.
void AppendLineText(std::string &out, std::string_view text);
