#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

// Language names for the language choice: codes are gettext codes ("de", "pt_BR").

struct TIsoLanguage
{
    std::string_view ISO_639_1;
    std::string_view English_Name;
};

// The 189 known languages; look-ups take the first matching entry.
[[nodiscard]] std::span<const TIsoLanguage> IsoLanguages();

// The English name of the code: for a code longer than two characters the entry with exactly
// that code, else (or when there is none) the entry of its first two characters; codes compare
// case-sensitively. Empty when nothing matches: "en_US" is "American English", "en_CA"
// "English", "EN" "".
[[nodiscard]] std::string GetLanguageName(std::string_view code);
// The language's name in that language ("Deutsch", "Français", "日本語") for the
// languages of the shipped catalogs, first for the whole code, then for its first two characters;
// the English name (GetLanguageName) for the others.
[[nodiscard]] std::string GetLanguageOwnName(std::string_view code);
// Own name + " [" + code + "]": "Deutsch [de]"; an unknown code gives " [xx]".
[[nodiscard]] std::string GetLanguageDisplayName(std::string_view code);
// The display name of the code's language part (before the first "_"): "de_AT" gives "Deutsch [de]".
[[nodiscard]] std::string GetBaseLanguageDisplayName(std::string_view code);
// The text between the first "[" and the next "]"; empty when there is none.
[[nodiscard]] std::string ExtractLanguageCode(std::string_view text);
// The display names of the languages with a catalog of the program's text domain, English always
// among them, ordered by the text after the first "=" of each entry (the whole entry when it has
// none), byte for byte.
void FillLanguageList(std::vector<std::string> &list);
