#pragma once

#include "platform/DirLister.h"

// Directory listing on Linux: one getdents64 pass per directory and one statx per entry,
// always relative to the directory's own descriptor, so that neither depth nor path length
// is limited. Symbolic links are never followed.
class TLinuxDirLister final : public IDirLister
{
public:
    std::unique_ptr<IDirHandle> Open(const std::string &path, int &err) override;
};

// The local last-write time of a file time as days since 1899-12-30.
double UnixTimeToDateTime(std::int64_t seconds, std::uint32_t nanoseconds);
