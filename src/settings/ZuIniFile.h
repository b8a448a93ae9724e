#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "settings/IniFile.h"

// The settings file's INI access with 64-bit integers and sets.
class TZuIniFile : public TIniFile
{
public:
    using TIniFile::TIniFile;

    // The value as a signed 64-bit decimal number; the default when it is missing or does not
    // convert.
    [[nodiscard]] std::int64_t ReadInt64(
        std::string_view section, std::string_view ident, std::int64_t defaultValue) const;
    void WriteInt64(std::string_view section, std::string_view ident, std::int64_t value);
    // The set `bits` (bit i = member i of `names`) as set text, see SetToText.
    void WriteSet(
        std::string_view section, std::string_view ident, std::uint32_t bits, std::span<const std::string_view> names);
};

// Set text: the names of the members in ascending order, separated by "," without blanks,
// enclosed in "[" and "]"; the empty set is "[]". Bit i stands for names[i].
[[nodiscard]] std::string SetToText(std::uint32_t bits, std::span<const std::string_view> names);

// Reads set text: the leading run of blanks and "[" is skipped; then each name runs up to the next blank,
// ",", "]" or the end, and the blanks, commas and "]" after it are skipped. Names compare without
// regard to ASCII case. The first unknown name, or one of 256 or more characters, makes the
// whole result the empty set.
[[nodiscard]] std::uint32_t TextToSet(std::string_view text, std::span<const std::string_view> names);
