#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// A folder below the temporary directory that tests fill with files, folders and links;
// removed with everything in it when the object goes away. Names are raw bytes.
class TempTree
{
public:
    TempTree();
    ~TempTree();
    TempTree(const TempTree &) = delete;
    TempTree &operator=(const TempTree &) = delete;

    [[nodiscard]] const std::string &Path() const { return FPath; }
    [[nodiscard]] std::string operator/(std::string_view rel) const { return FPath + "/" + std::string(rel); }

    // Creates the folder and its missing parents.
    void MakeDir(std::string_view rel) const;
    // Creates a file of exactly `size` bytes (sparse), with its parents.
    void MakeFile(std::string_view rel, std::int64_t size = 0) const;
    void MakeSymlink(std::string_view rel, std::string_view target) const;
    void MakeHardLink(std::string_view rel, std::string_view existingRel) const;
    void MakeFifo(std::string_view rel) const;
    // Sets the last-write time (seconds since the epoch, UTC).
    void SetMtime(std::string_view rel, std::int64_t seconds) const;

private:
    std::string FPath;
};
