#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Terminal texts of the command line program. They follow the character set of the user's
// locale (LC_CTYPE), which main takes from the environment.

// True when the locale's character set is UTF-8: block characters and "…" can be shown.
[[nodiscard]] bool LocaleIsUtf8();

// Columns `text` takes on a terminal; a UTF-8 text is measured by character (wide East
// Asian characters count two), anything else by byte.
[[nodiscard]] std::size_t DisplayWidth(std::string_view text);

// `text` shortened to at most `width` columns by cutting its beginning off and putting "…"
// (or "..." outside UTF-8) in front: the end of a path says most about where a scan is.
[[nodiscard]] std::string KeepTail(std::string_view text, std::size_t width);

// `text` padded with spaces in front to `width` columns.
[[nodiscard]] std::string PadLeft(std::string_view text, std::size_t width);

// Whole numbers as written for people: digits in groups of three, separated by the
// thousands separator of the user's numeric locale when it has one.
[[nodiscard]] std::string CountText(std::int64_t value);

// Remembers the numeric locale's thousands separator for CountText; main calls it while
// LC_NUMERIC is the user's.
void SetThousandsSeparator(std::string_view separator);
