#pragma once

#include <string>
#include <string_view>

// The translation of the message id `msgid` in the current language (GNU gettext, text
// domain "default"); the id itself when no catalog is in use or it has no entry. Any thread.
[[nodiscard]] std::string _(std::string_view msgid);

// The language code in use ("en", "de", ...).
[[nodiscard]] std::string GetCurrentLanguage();
