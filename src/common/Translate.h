#pragma once

#include <string>
#include <string_view>
#include <vector>

// The translation engine. Catalogs are the GNU gettext binary catalogs msgfmt writes, named
// after the text domain, in <locale dir>/<code>/LC_MESSAGES/<domain>.mo. The engine reads the
// catalog of the current language itself and keeps it in memory: a language switch then needs
// neither the process environment (LANGUAGE) nor an installed system locale for the language,
// nor any private state of the C library, and look-ups on other threads go on during a switch.
//
// One process-wide state; every function may be called from any thread.

// The text domain: the catalogs' file name without ".mo". Set once, by the build.
[[nodiscard]] std::string_view TextDomain();

// The translation of the message id `msgid` in the current language; the id itself when no
// catalog is in use or it has no entry. The one way texts are translated.
[[nodiscard]] std::string _(std::string_view msgid);

// Makes `localeDir` (empty: the folder "locale" beside the executable) the folder the catalogs
// are looked up in and makes the system's language current. Call once at start-up.
void InitTranslation(const std::string &localeDir = {});

// The folder the catalogs are looked up in: "<executable's folder>/locale" in a build tree, else
// the installed locale tree relative to the executable ("../share/locale"), until
// InitTranslation names another one.
[[nodiscard]] std::string LocaleDirectory();

// Makes `code` ("de", "pt_BR", "de_AT.UTF-8") the current language; an empty code means the
// system's language (see SystemLanguage). The catalog is looked for under the code, then under
// the code without character set and modifier, then under its two-letter language. A code
// without a readable catalog gives the English ids (a damaged catalog is reported in the log).
void UseLanguage(std::string_view code);

// The language code in use ("en", "de", ...); right after start the system's language.
[[nodiscard]] std::string GetCurrentLanguage();

// The system's language: $LANG up to its first "." when set, otherwise the message locale of the
// environment (LC_ALL, LC_MESSAGES) in the same form; "C", "POSIX" and nothing give "en", and
// the language "no" becomes "nb". Reads the environment: call it where nothing changes that.
[[nodiscard]] std::string SystemLanguage();

// Replaces `list` by the codes for which a catalog of `domain` exists in the locale folder,
// sorted by code.
void GetListOfLanguages(std::string_view domain, std::vector<std::string> &list);

// The translator named by the current language's catalog (its "Last-Translator" header
// without the mail address); empty when no catalog is in use.
[[nodiscard]] std::string CatalogTranslator();
