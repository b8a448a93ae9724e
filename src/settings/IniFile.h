#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

struct stat;

// A failed write of an INI file; the message names the file and the reason.
class EIniFileError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// An INI file with the rules of the classic profile functions, kept in UTF-8 (bytes):
// - "[Section]" lines open sections, "Key=Value" lines hold values; section and key names
//   compare without regard to ASCII case; blanks around names and values do not count;
// - the first matching key of the first matching section wins (duplicates are kept as they are);
// - a value read loses one pair of matching single or double quotes enclosing all of it, and
//   is cut after MaxValueLength characters; a missing file, section or key gives the default;
// - lines the reader does not understand (comments, junk, keys of other versions) are kept.
//
// The object keeps no values of its own: every read looks at the file (a parse is reused while
// the file is unchanged), and every write replaces the file at once through a temporary file
// in the same folder that is flushed and renamed over it, so the file is always either the old
// or the new one. Writes between BeginUpdate and EndUpdate reach the file together at the
// outermost EndUpdate. An existing file that cannot be read is never replaced: such writes fail.
// Every write, and a batch from its BeginUpdate to its end, holds an exclusive flock on the
// folder that holds the file and starts from the file as it is then: two processes on one
// file never undo each other's keys, only a key both write goes to the later one.
// Not thread-safe; one thread uses one object.
class TIniFile
{
public:
    static constexpr std::size_t MaxValueLength = 2047;
    // Files larger than this are treated as unreadable (defaults, no writes).
    static constexpr std::int64_t MaxFileSize = std::int64_t {256} << 20;

    explicit TIniFile(std::string fileName);
    virtual ~TIniFile();
    TIniFile(const TIniFile &) = delete;
    TIniFile &operator=(const TIniFile &) = delete;

    [[nodiscard]] const std::string &FileName() const { return FFileName; }

    [[nodiscard]] std::string ReadString(
        std::string_view section, std::string_view ident, std::string_view defaultValue) const;
    // Throws EIniFileError when the file cannot be written, or when a name or value contains a
    // line break or NUL, a key contains "=", a section "]" (they would change other entries).
    void WriteString(std::string_view section, std::string_view ident, std::string_view value);

    // "0x"/"0X" followed by up to 8 hexadecimal digits (taken as the 32 bits of the result), or a
    // decimal number; the default for anything else.
    [[nodiscard]] int ReadInteger(std::string_view section, std::string_view ident, int defaultValue) const;
    void WriteInteger(std::string_view section, std::string_view ident, int value);
    // An integer, non-zero meaning true; written as "1" or "0".
    [[nodiscard]] bool ReadBool(std::string_view section, std::string_view ident, bool defaultValue) const;
    void WriteBool(std::string_view section, std::string_view ident, bool value);

    [[nodiscard]] bool SectionExists(std::string_view section) const;
    [[nodiscard]] bool ValueExists(std::string_view section, std::string_view ident) const;
    // Section names in file order, each once (first spelling).
    [[nodiscard]] std::vector<std::string> ReadSections() const;
    // Key names of a section in file order, each once.
    [[nodiscard]] std::vector<std::string> ReadSection(std::string_view section) const;
    void DeleteKey(std::string_view section, std::string_view ident);
    void EraseSection(std::string_view section);

    // Batches writes; nesting counts. EndUpdate of the outermost level writes the file (and
    // throws EIniFileError when that fails; the batch is over either way).
    void BeginUpdate();
    void EndUpdate();
    // Ends every level of an open batch and forgets its writes.
    void CancelUpdate() noexcept;

    // Ends a batch on every path: Commit writes, leaving the scope without it forgets.
    class TUpdate
    {
    public:
        explicit TUpdate(TIniFile &ini)
            : FIni(ini)
        {
            FIni.BeginUpdate();
        }
        ~TUpdate()
        {
            if (!FDone)
                FIni.CancelUpdate();
        }
        TUpdate(const TUpdate &) = delete;
        TUpdate &operator=(const TUpdate &) = delete;
        void Commit()
        {
            FDone = true;
            FIni.EndUpdate();
        }

    private:
        TIniFile &FIni;
        bool FDone = false;
    };

private:
    struct TStamp
    {
        bool Exists = false;
        std::uint64_t Device = 0, Inode = 0;
        std::int64_t Size = 0, ModifiedNs = 0;
        friend bool operator==(const TStamp &, const TStamp &) = default;
    };

    // A line the reader understands: a section header or a key, by its place in the text.
    struct TEntry
    {
        bool IsSection = false;
        std::size_t LineBegin = 0, LineEnd = 0; // the line without its "\n"
        std::size_t NameBegin = 0, NameSize = 0;
        std::size_t ValueBegin = 0, ValueSize = 0;
    };

    // The file's text as it is (untouched lines are written back byte for byte) and its
    // sections and keys, parsed once per reading. Other lines cost only their bytes, so memory
    // follows the size of the file, however many blank or junk lines it has.
    struct TContent
    {
        std::string Text;
        std::vector<TEntry> Entries;
        bool Unreadable = false; // exists, but could not be read: never replace it
        std::string Error; // why it could not be read
    };

    static TStamp StampOf(const struct stat &st);
    const TContent &Current() const;
    TContent &Editable();
    void Store();
    static void Index(TContent &content);
    static std::string_view NameOf(const TContent &content, const TEntry &entry);
    // Index of the entry holding the key, or -1.
    [[nodiscard]] static std::ptrdiff_t FindKey(
        const TContent &content, std::string_view section, std::string_view ident);
    // Replaces the text from `begin` to `end` and parses the result again.
    static void Splice(TContent &content, std::size_t begin, std::size_t end, std::string_view text);
    [[noreturn]] void WriteError(const std::string &reason) const;
    void LockFile() noexcept;
    void UnlockFile() noexcept;
    // Holds the lock for one write outside a batch (a batch holds it already).
    class TWriteGuard
    {
    public:
        explicit TWriteGuard(TIniFile &ini)
            : FIni(ini.FLockFd < 0 ? &ini : nullptr)
        {
            if (FIni)
                FIni->LockFile();
        }
        ~TWriteGuard()
        {
            if (FIni)
                FIni->UnlockFile();
        }
        TWriteGuard(const TWriteGuard &) = delete;
        TWriteGuard &operator=(const TWriteGuard &) = delete;

    private:
        TIniFile *FIni;
    };

    std::string FFileName;
    mutable TContent FContent;
    mutable TStamp FStamp;
    mutable bool FLoaded = false;
    int FUpdateCount = 0;
    bool FDirty = false;
    int FLockFd = -1; // the locked folder, while a write or batch holds it
};
