#pragma once

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>

#include "model/TreeTypes.h"

// Reads an analysis that ncdu or gdu exported (their JSON format, any 1.x version) into a new
// tree, as a finished scan of the recorded folder would have built it: the same node kinds,
// sizes (the recorded apparent sizes), file counts, times and small-files groups. The file is
// streamed through a SAX parser, so memory grows with the tree only, never with the text.
// Recorded facts the model has no room for (disk usage, inodes, owners) are not kept.
//
// A file that is not such an export, damaged or cut off raises EImportError with the byte
// offset of the fault; no tree is returned then. So do a name longer than the node model
// stores (refused as soon as that many bytes are read), two entries of one name in a folder,
// and a lack of memory ("not enough memory to hold the analysis (N entries read)"; the half
// tree is freed first). Anything but a regular file is refused without reading, and a file that
// is compressed or not text says what it is. Any thread; each call works on its own tree.

struct TImportOptions
{
    // Files smaller than this go into their folder's small-files group; 0 disables grouping.
    std::int64_t GroupFileSize = 0;
    // Asked every few thousand entries; true ends the import with EImportError "stopped".
    bool (*ShouldStop)() = nullptr;
};

class EImportError : public std::runtime_error
{
public:
    EImportError(const std::string &message, std::uint64_t offset, bool hasOffset = true);
    // Where in the file the fault was found (bytes from its start); meaningful with HasOffset.
    [[nodiscard]] std::uint64_t Offset() const { return FOffset; }
    [[nodiscard]] bool HasOffset() const { return FHasOffset; }

private:
    std::uint64_t FOffset;
    bool FHasOffset;
};

struct TImportResult
{
    std::unique_ptr<TRootDirNode> Root; // named by the path the file records
    std::int64_t Entries = 0; // folders and files read, the root included
    std::string ProgramName; // "progname" of the metadata, when it has one
};

// Reads the export in the file `fileName` ("-" is not special).
[[nodiscard]] TImportResult ImportNcduJsonFile(const std::string &fileName, const TImportOptions &options);
// Reads an export held in memory.
[[nodiscard]] TImportResult ImportNcduJsonText(std::string_view text, const TImportOptions &options);

// Whether the file at `fileName` starts like a JSON array (after white space); false for
// folders and unreadable files. Decides between importing and scanning a command's argument.
[[nodiscard]] bool LooksLikeJsonExport(const std::string &fileName);
