#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Small text helpers. Texts are bytes (UTF-8 for user texts); "character" means byte unless
// a function says otherwise. All functions may be called from any thread.

// True when neither text is empty and `text` begins with `prefix`, byte for byte.
[[nodiscard]] bool StartsWithText(std::string_view text, std::string_view prefix);

// Appends the path delimiter unless the text is empty or ends with it already.
[[nodiscard]] std::string AddTrailingBackslash(std::string_view text);
// The same after trimming blanks from both ends.
[[nodiscard]] std::string AddTrailingBackslashTrimmed(std::string_view text);

// Removes spaces and control characters from both ends.
[[nodiscard]] std::string Trim(std::string_view text);

// Takes the text up to the first byte of `delimiters` off the front of `text`, together with
// that delimiter, and returns it; without a delimiter the whole text is taken.
std::string NextToken(std::string &text, std::string_view delimiters);
// Replaces `list` by the non-empty runs of bytes not in `delimiters`; returns their count.
int SplitText(std::string_view text, std::string_view delimiters, std::vector<std::string> &list);
// Removes every byte that occurs in `chars`.
void RemoveChars(std::string &text, std::string_view chars);
// The text between the first `startMarker` and the first `endMarker` after it; empty when
// either marker is missing or nothing lies between them. TextBetween("German [de]", "[", "]")
// is "de".
[[nodiscard]] std::string TextBetween(std::string_view text, std::string_view startMarker, std::string_view endMarker);

// A key made of A-Z, a-z, 0-9 and "_" only: German umlauts and ß are spelled out (ä -> ae),
// every other character (a whole UTF-8 sequence, or one invalid byte) becomes "_", and a
// leading digit gets a "_" in front. "1 Größe" gives "_1_Groesse".
[[nodiscard]] std::string MakeIdentifier(std::string_view text);

// A file name without the characters file systems and file managers refuse (control
// characters, " * / : < > ? \ |) or those in `extra`: the text is trimmed, one trailing "." is
// dropped, and every run of such characters becomes one `replacement` (or nothing when
// `replacement` is '\0'). Bytes of multi-byte UTF-8 characters are kept.
[[nodiscard]] std::string MakeFileName(std::string_view text, char replacement, std::string_view extra = {});

// Removes every entry that lies inside (or equals) another entry of the list, by the file
// system's path rule; of two equal entries the later one goes, as do empty entries. Returns
// how many entries were removed. The order of the rest is kept.
int RemoveNestedPaths(std::vector<std::string> &list);

// `length` characters, each an upper-case letter or a digit, the two kinds equally likely.
[[nodiscard]] std::string RandomText(int length);

// Whole numbers in decimal, with optional sign and surrounding blanks; false (and `value`
// untouched) for anything else, including numbers out of range.
bool TryStrToInt(std::string_view text, int &value);
bool TryStrToInt64(std::string_view text, std::int64_t &value);

// Boolean texts of stored files: "True" and "False" are written; "True", "Wahr", "False" and
// "Falsch" (any case) and whole numbers (0 is false) are read.
[[nodiscard]] const char *BoolToStr(bool value);
// Returns false and leaves `value` alone when the text is none of the above.
bool TryStrToBool(std::string_view text, bool &value);
[[nodiscard]] bool StrToBoolDef(std::string_view text, bool defaultValue);
