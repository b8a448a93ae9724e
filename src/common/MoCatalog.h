#pragma once

#include <stdexcept>
#include <string>
#include <string_view>
#include <unordered_map>

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
// entry is found by its singular id and gives its first form; entries with a context are kept
// under "context\x04id" as msgfmt writes them, so a plain id never finds them.
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
    [[nodiscard]] std::size_t Count() const { return FEntries.size(); }
    // The catalog's header (the translation of the empty id: "Last-Translator: ..." and so on).
    [[nodiscard]] const std::string &Header() const { return FHeader; }

private:
    struct THash
    {
        using is_transparent = void;
        std::size_t operator()(std::string_view s) const { return std::hash<std::string_view> {}(s); }
    };
    std::unordered_map<std::string, std::string, THash, std::equal_to<>> FEntries;
    std::string FHeader;
};
