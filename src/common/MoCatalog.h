#pragma once

#include <stdexcept>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "common/PluralRule.h"

// A damaged or unreadable message catalog; the message names the file and the fault.
class ECatalogError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// The translations of one GNU gettext binary catalog (the .mo files msgfmt writes), read whole
// into memory and never changed afterwards, so any number of threads may look texts up at once.
//
// Both byte orders and the revisions 0 and 1 of the format are read. Texts of another character
// set than UTF-8 (as the catalog's header names it) are converted to UTF-8 when read. A plural
// entry keeps all its forms, chosen by the header's plural rule (FindPlural); Find gives its
// first form. Entries with a context are kept under "context\x04id" as msgfmt writes them, so a
// plain id never finds them.
class TMoCatalog
{
public:
    TMoCatalog() = default;

    // Reads `fileName`. Throws ECatalogError when the file cannot be read, is no catalog, or
    // any of its tables or texts lies outside the file.
    [[nodiscard]] static TMoCatalog LoadFromFile(const std::string &fileName);
    // The same for the bytes of a catalog; `name` only appears in error messages.
    [[nodiscard]] static TMoCatalog Parse(std::string_view bytes, const std::string &name);

    // The translation of `msgid`, or null when the catalog has none (or an empty one).
    [[nodiscard]] const std::string *Find(std::string_view msgid) const;
    // The form of the plural entry `singular` that the catalog's rule selects for `n`; null when
    // the catalog has no such entry or leaves that form empty.
    [[nodiscard]] const std::string *FindPlural(std::string_view singular, std::uint64_t n) const;
    [[nodiscard]] std::size_t Count() const { return FEntries.size(); }
    // The catalog's header (the translation of the empty id: "Last-Translator: ..." and so on).
    [[nodiscard]] const std::string &Header() const { return FHeader; }
    [[nodiscard]] const TPluralRule &PluralRule() const { return FPluralRule; }
    // What was wrong with the header's Plural-Forms line (English rules are used then); empty
    // when it was fine or absent.
    [[nodiscard]] const std::string &PluralRuleError() const { return FPluralRuleError; }

private:
    struct THash
    {
        using is_transparent = void;
        std::size_t operator()(std::string_view s) const { return std::hash<std::string_view> {}(s); }
    };
    std::unordered_map<std::string, std::string, THash, std::equal_to<>> FEntries;
    // The forms of the plural entries, by singular id.
    std::unordered_map<std::string, std::vector<std::string>, THash, std::equal_to<>> FPlurals;
    std::string FHeader;
    TPluralRule FPluralRule;
    std::string FPluralRuleError;
};
