#pragma once

#include <cstdint>
#include <functional>
#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

class TDirNode;

// What a format is meant for. Only for xfVisual formats does a caller set a size formatter;
// the others always carry plain byte counts.
enum TExportFileType { xfUndefined, xfData, xfVisual };

// The order in which the walk visits the subdirectories of each directory: as they were read
// (Stored), or by one value, ties kept in the stored order. Names compare bytewise with ASCII
// letters folded; sizes, counts and dates compare as numbers.
struct TExportOrder
{
    enum TKey { Stored, Size, Name, Files, Date };
    TKey Key = Stored;
    bool Descending = false;

    // Biggest first: what the window shows at start.
    [[nodiscard]] static TExportOrder BiggestFirst() { return {Size, true}; }
    friend bool operator==(const TExportOrder &, const TExportOrder &) = default;
};

// The display text of a byte count; FileSizeToStrRounded and FileSizeToStrTruncated
// (common/SizeText.h) have this shape.
using TFormatFileSizeProc = std::string (*)(std::int64_t ASize);

// One export of an analysed tree to a byte stream: the walk visits every directory node below
// and including the root depth first, in child-list order, and calls the hooks of the format:
//
//   WriteHeader
//   for each directory D (subdirectories in the order set by SetOrder, stored order by default):  WriteDirStart,
//   WriteNode(D),
//                          [when D has children of any kind: WriteSubDirsStart,
//                           the subdirectories of D, WriteSubDirsEnd],
//                          WriteDirEnd
//   WriteFooter
//
// Files and small-file groups are never visited. The walk holds the child-list lock of each
// directory on the current path (ancestor first) while it iterates that directory, so scan
// threads may still be adding nodes elsewhere; sizes and counts are the live values of the
// moment. It keeps its own stack, so any depth of tree is fine. Output is UTF-8 without byte
// order mark; names are converted by the formats (invalid bytes become U+FFFD).
//
// An export object serves one save on one thread: create it (usually through
// TExportClass::Create or CreateExport in export/ExportRegistry.h), optionally set the size
// formatter, call SaveToFile or SaveToStream once, destroy it. The root node is not owned and
// must outlive the export.
class TTreeTypesExport
{
public:
    explicit TTreeTypesExport(const TDirNode *ARootNode);
    virtual ~TTreeTypesExport();
    TTreeTypesExport(const TTreeTypesExport &) = delete;
    TTreeTypesExport &operator=(const TTreeTypesExport &) = delete;

    [[nodiscard]] const TDirNode *RootNode() const { return FRootNode; }
    [[nodiscard]] TFormatFileSizeProc FormatFileSizeProc() const { return FFormatFileSizeProc; }
    // Null (the default) writes sizes as decimal byte counts.
    void SetFormatFileSizeProc(TFormatFileSizeProc proc) { FFormatFileSizeProc = proc; }
    [[nodiscard]] TExportOrder Order() const { return FOrder; }
    // The values of a directory's subdirectories are read once, when the walk enters it, so a
    // scan still running cannot change them during the sort.
    void SetOrder(TExportOrder order) { FOrder = order; }

    // Writes the export to `FileName` through a temporary file beside it that replaces the
    // file only when it is complete (export/AtomicFileWriter.h): on any error the old file is
    // untouched, no partial file is left and EFileWriteError (or the error of the walk) is
    // thrown.
    void SaveToFile(const std::string &FileName);
    // Writes the whole export to `AStream`. Throws std::ios_base::failure as soon as the
    // stream fails; the stream then holds a partial export.
    void SaveToStream(std::ostream &AStream);

    // Class-level answers; every format hides these with its own.
    [[nodiscard]] static TExportFileType GetFileType() { return xfUndefined; }

protected:
    virtual void WriteSubDirsStart(std::ostream &) { }
    virtual void WriteDirStart(std::ostream &) { }
    virtual void WriteHeader(std::ostream &) { }
    virtual void WriteFooter(std::ostream &) { }
    virtual void WriteSubDirsEnd(std::ostream &) { }
    virtual void WriteDirEnd(std::ostream &) { }
    virtual void WriteNode(const TDirNode &ANode, std::ostream &AStream) = 0;

    // FormatFileSizeProc(ASize) when set, else the decimal integer (1234567).
    [[nodiscard]] std::string FormatSize(std::int64_t ASize) const;
    // Writes the bytes of S, which must already be UTF-8.
    static void WriteText(std::ostream &AStream, std::string_view S);

    // Where the walk stands, for WriteNode and the hooks around it.
    // The full path of the directory being written (as GetFullPathName gives it).
    [[nodiscard]] const std::string &NodePath() const { return FPath; }
    // 0 for the root, 1 for its subdirectories, ...
    [[nodiscard]] std::size_t NodeLevel() const { return FLaterDirSibling.empty() ? 0 : FLaterDirSibling.size() - 1; }
    // Whether the directory at `level` on the current path (1 .. NodeLevel()) has a later
    // sibling that is a directory; false for the root, which is treated as having no siblings.
    [[nodiscard]] bool HasLaterDirSibling(std::size_t level) const
    {
        return level < FLaterDirSibling.size() && FLaterDirSibling[level];
    }

private:
    struct TFrame;
    void Walk(std::ostream &AStream);
    void EnterDir(const TDirNode &node, bool laterDirSibling, std::vector<TFrame> &frames, std::ostream &AStream);
    void LeaveDir(std::vector<TFrame> &frames, std::ostream &AStream);

    const TDirNode *FRootNode; // not owned
    TFormatFileSizeProc FFormatFileSizeProc = nullptr;
    TExportOrder FOrder;
    std::string FPath;
    std::vector<bool> FLaterDirSibling;
};

// The base of every concrete format; adds nothing.
class TTextExport : public TTreeTypesExport
{
public:
    using TTreeTypesExport::TTreeTypesExport;
};

// The literal colour (0x00BBGGRR) of a colour value: system colours (0xFF0000nn) resolved,
// literal colours unchanged.
using TExportColorResolver = std::function<std::uint32_t(std::uint32_t AColor)>;
// Installs how system colours are resolved (the window installs its palette lookup at
// start-up); an empty function restores the built-in classic desktop colours, which the
// command line uses. Call it before exports run, not during one.
void SetExportColorResolver(TExportColorResolver resolver);
[[nodiscard]] std::uint32_t ResolveExportColor(std::uint32_t AColor);

// "#" and six upper-case hexadecimal digits, red first: 0xE07603 gives "#0376E0".
[[nodiscard]] std::string ColorToHtml(std::uint32_t AColor);
// The translated word "Version", a blank and the program version (major.minor, and .release
// when it is not 0): "Version 3.1" for 3.1.0.
[[nodiscard]] std::string VersionText();
// VersionText for an explicit version number text ("3.1.0.7"); empty when it is not one.
[[nodiscard]] std::string VersionTextOf(std::string_view version);
// "generated by Zumbrel " + VersionText().
[[nodiscard]] std::string GeneratedByText();
// The maker's homepage address (the build setting ZUMBREL_HOMEPAGE_URL).
[[nodiscard]] std::string HomepageUrl();
