#pragma once

#include <string>
#include <string_view>
#include <vector>

// The translation engine: GNU gettext of the C library, text domain "zumbrel", binary catalogs
// in <locale dir>/<code>/LC_MESSAGES/zumbrel.mo. One process-wide state; every function may be
// called from any thread (a language switch is serialised against running look-ups).

// The program's own text domain: a name of its own, so that installed catalogs in the shared
// locale tree never collide with another program's.
inline constexpr const char *TranslationDomain = "zumbrel";

// The translation of the message id `msgid` in the current language; the id itself when no
// catalog is in use or it has no entry.
[[nodiscard]] std::string _(std::string_view msgid);

// Binds the program's domain to `localeDir` (empty: the folder "locale" beside the executable in
// a build tree, or the installed locale folder relative to it, "../share/locale"),
// gives the messages a non-"C" locale so that the language list of gettext is honoured, and
// makes the system's language current. Call once at start-up, before threads call `_`.
void InitTranslation(const std::string &localeDir = {});

// The folder the catalogs are looked up in: "<executable's folder>/locale" when it exists, else
// the installed one, until InitTranslation binds another one.
[[nodiscard]] std::string LocaleDirectory();

// Makes `code` ("de", "pt_BR") the current language; an empty code means the system's
// language (see SystemLanguage). A code without catalog gives the English ids.
void UseLanguage(std::string_view code);

// The language code in use ("en", "de", ...); right after start the system's language.
[[nodiscard]] std::string GetCurrentLanguage();

// The system's language: $LANG up to its first "." when set, otherwise the message locale of the
// environment (LC_ALL, LC_MESSAGES) in the same form; "C", "POSIX" and nothing give "en", and
// the language "no" becomes "nb".
[[nodiscard]] std::string SystemLanguage();

// Replaces `list` by the codes for which a catalog of `domain` exists in the locale folder,
// sorted by code.
void GetListOfLanguages(std::string_view domain, std::vector<std::string> &list);
