#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "common/Translate.h"

// The translation of a text with a count, as GNU gettext's ngettext gives it: the form the
// current catalog's plural rule selects for `n` (Russian has three, Japanese one), or, without a
// translation, `singular` for n == 1 and `plural` otherwise. The text keeps its "%s" for the
// count; the caller fills it in. Every text that shows a count in a sentence goes through it.
[[nodiscard]] std::string _n(std::string_view singular, std::string_view plural, std::uint64_t n);
