#pragma once

#include <string>
#include <string_view>

// Names on disk are bytes and may hold anything but "/" and NUL. Where one is written on a
// line of its own (the key=value output, the report, a list of differences), these escapes
// keep it on that line, keep it from driving the terminal, and let a reader get the exact
// bytes back:
//   backslash -> \\   newline -> \n   tab -> \t   carriage return -> \r
//   other control characters (C0, DEL), bytes that are not part of well-formed UTF-8, and
//   the UTF-8 bytes of C1 controls and of the line and paragraph separators -> \xNN
//   (two lower-case hexadecimal digits per byte)
// Everything else, well-formed UTF-8 included, stays as it is. The result is valid UTF-8.
// Thread-safe.
void AppendCEscaped(std::string &out, std::string_view bytes);
[[nodiscard]] std::string CEscaped(std::string_view bytes);

// The bytes back from an escaped text; false (and `bytes` unspecified) for a text that no
// escaping produces, such as a lone backslash at the end or "\q".
bool CUnescape(std::string_view text, std::string &bytes);

// The value of a hexadecimal digit ("0"-"9", "a"-"f", "A"-"F"), or -1 for any other character.
[[nodiscard]] int HexDigitValue(char c);
