#pragma once

#include <cstdint>
#include <streambuf>
#include <string>
#include <string_view>

// Terminal texts of the command line program. They follow the character set of the user's
// locale (LC_CTYPE), which main takes from the environment.

// True when the locale's character set is UTF-8: block characters and "…" can be shown.
[[nodiscard]] bool LocaleIsUtf8();

// Columns `text` takes on a terminal; a UTF-8 text is measured by character (wide East
// Asian characters count two), anything else by byte.
[[nodiscard]] std::size_t DisplayWidth(std::string_view text);

// `text` shortened to at most `width` columns by cutting its beginning off and putting "…"
// (or "..." outside UTF-8) in front: the end of a path says most about where a scan is.
[[nodiscard]] std::string KeepTail(std::string_view text, std::size_t width);

// `text` padded with spaces in front to `width` columns.
[[nodiscard]] std::string PadLeft(std::string_view text, std::size_t width);

// True when TERM says the terminal understands no control sequences ("dumb": an editor's
// shell buffer, say): no colours, and lines are erased by overwriting them with spaces.
[[nodiscard]] bool TerminalIsDumb();

// Whole numbers as written for people: digits in groups of three, separated by the
// thousands separator of the user's numeric locale when it has one.
[[nodiscard]] std::string CountText(std::int64_t value);

// Remembers the numeric locale's thousands separator for CountText; main calls it while
// LC_NUMERIC is the user's.
void SetThousandsSeparator(std::string_view separator);

// An output buffer for data that goes to a terminal as it is (an export on standard output):
// control characters (C0 but tab, newline and carriage return; DEL; C1, and in a UTF-8
// locale bytes that are not UTF-8) are written as \xNN, so that a planted name cannot move
// the cursor, set the window title or answer back. Everything else passes unchanged.
class TTerminalSafeStreamBuf : public std::streambuf
{
public:
    explicit TTerminalSafeStreamBuf(std::streambuf *target);
    ~TTerminalSafeStreamBuf() override;
    TTerminalSafeStreamBuf(const TTerminalSafeStreamBuf &) = delete;
    TTerminalSafeStreamBuf &operator=(const TTerminalSafeStreamBuf &) = delete;

    // Writes a sequence left incomplete at the end (escaped) and flushes the target.
    bool Finish();

protected:
    int_type overflow(int_type ch) override;
    std::streamsize xsputn(const char *s, std::streamsize n) override;
    int sync() override;

private:
    // Passes on what of FPending is complete; with `final`, also an incomplete rest.
    bool Drain(bool final);

    std::streambuf *FTarget;
    bool FUtf8;
    std::string FPending; // at most the start of one UTF-8 sequence between calls
    std::string FOut;
};
