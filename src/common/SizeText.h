#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Size texts of the tree, the status bar and the exports: the value in the largest unit of
// "Byte", "KB", "MB", "GB", "TB" (steps of 1024) that keeps it at or above 1, with two, one or
// no decimals for values below 10, below 100 and from 100 on. 1024 TB and more stay in TB as
// a whole number. Every function here may be called from any thread.

using TFileSizeStrProc = std::string (*)(std::int64_t ASize);

// Cuts surplus decimals off ("9.999 KB" is "9.99 KB").
std::string FileSizeToStrTruncated(std::int64_t ASize);
// Rounds half to even on the shown decimals, after the unit is chosen: 10239 bytes are
// "10 KB", 1073741823 bytes "1024 MB".
std::string FileSizeToStrRounded(std::int64_t ASize);

// The shortest text of `value` (up to 15 significant digits, the current decimal separator,
// no thousands separator), with every digit beyond `decimals` after the separator cut off, not
// rounded; with `decimals` 0 the separator goes as well. FloatToStrDecimals(2, 1.999) is "1.99".
std::string FloatToStrDecimals(int decimals, double value);
// The shortest text of `value`: up to 15 significant digits, current separator.
std::string FloatToStr(double value);

// The decimal separator of size texts, process-wide; "." until the window sets the one of the
// user's locale at start-up. Up to 4 bytes (one UTF-8 character); anything else keeps ".".
void SetDecimalSeparator(std::string_view separator);
[[nodiscard]] std::string DecimalSeparator();

// Which size text the window and the exports use (the FileSizeRounding setting).
enum TRoundingStyle { rsNone = 0, rsBankers = 1, rsTruncate = 2 };

// The translated name of a rounding style; empty for rsNone.
[[nodiscard]] std::string RoundingStyleText(TRoundingStyle style);
// The names offered to the user: the non-empty ones, rsBankers first.
[[nodiscard]] std::vector<std::string> RoundingStyleTexts();
// The style whose translated name equals `text` exactly; rsNone when none does.
[[nodiscard]] TRoundingStyle TextToRoundingStyle(std::string_view text);
