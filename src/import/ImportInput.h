#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// The defences of the analysis import against files it should never have been given: a FIFO or
// device that would block the reader for good, compressed or binary files that the JSON parser
// would only call "Invalid value", and strings of gigabytes that the parser would hold whole in
// memory (and whose length wraps at 4 GiB in its 32-bit counter) before handing them over.

// The longest string the import reads, in bytes of its decoded text: the longest name the node
// model stores. Paths of roots are far shorter in practice.
inline constexpr std::size_t MaxImportedStringBytes = 65535;

// Opens `fileName` for reading without waiting: a FIFO without writer, a terminal or a device
// never blocks the call. Anything but a regular file is refused. Returns the descriptor (in
// blocking mode again), or -1 with `error` set to a readable reason.
[[nodiscard]] int OpenAnalysisFile(const std::string &fileName, std::string &error);

// When `head` (the first bytes of a file) shows that the file is something other than an
// analysis in JSON (compressed, an archive, a program, UTF-16 text, binary data), what it is,
// for the message; empty when it may be JSON. `head` should hold at least 8 bytes when the file
// has them.
[[nodiscard]] std::string DescribeForeignContent(std::string_view head);

// The length of a UTF-8 byte order mark at the start of `head` (3), or 0.
[[nodiscard]] std::size_t Utf8BomLength(std::string_view head);

// A RapidJSON input stream over another one that ends the input (the parser then sees a string
// without its closing quote) once a string or key would decode to more than `limit` bytes of
// UTF-8, escapes counted as what they decode to.
template <class TStream> class TBoundedStringStream
{
public:
    using Ch = char;

    TBoundedStringStream(TStream &stream, std::size_t limit)
        : FStream(stream)
        , FLimit(limit)
    { }

    [[nodiscard]] Ch Peek() const { return FOver ? '\0' : FStream.Peek(); }
    Ch Take()
    {
        if (FOver)
            return '\0';
        const Ch c = FStream.Take();
        Track(c);
        return c;
    }
    [[nodiscard]] std::size_t Tell() const { return FStream.Tell(); }
    // Never written to: the parse does not work in place.
    Ch *PutBegin() { return nullptr; }
    void Put(Ch) { }
    void Flush() { }
    std::size_t PutEnd(Ch *) { return 0; }

    // True once a string was cut off at the limit.
    [[nodiscard]] bool Over() const { return FOver; }

private:
    void Track(Ch c)
    {
        if (!FInString) {
            if (c == '"') {
                FInString = true;
                FLength = 0;
            }
            return;
        }
        if (FHexLeft > 0) {
            const int digit = c >= '0' && c <= '9' ? c - '0'
                : c >= 'a' && c <= 'f'             ? c - 'a' + 10
                : c >= 'A' && c <= 'F'             ? c - 'A' + 10
                                                   : 0; // the parser refuses it anyway
            FHex = FHex * 16 + static_cast<unsigned>(digit);
            if (--FHexLeft == 0)
                // Each half of a surrogate pair stands for 2 of the pair's 4 bytes.
                FLength += FHex < 0x80 ? 1 : FHex < 0x800 ? 2 : (FHex >= 0xD800 && FHex < 0xE000) ? 2 : 3;
        } else if (FEscape) {
            FEscape = false;
            if (c == 'u') {
                FHexLeft = 4;
                FHex = 0;
            } else {
                ++FLength;
            }
        } else if (c == '\\') {
            FEscape = true;
        } else if (c == '"') {
            FInString = false;
        } else {
            ++FLength;
        }
        if (FLength > FLimit)
            FOver = true;
    }

    TStream &FStream;
    std::size_t FLimit;
    std::size_t FLength = 0;
    int FHexLeft = 0;
    unsigned FHex = 0;
    bool FInString = false;
    bool FEscape = false;
    bool FOver = false;
};
