#pragma once

#include <cstdint>
#include <string>
#include <string_view>

class TDirNode;

// How big an export will be, before it is written. The line of a folder holds its full path
// (CSV, HTML) or an indentation that grows with its depth (text tree, XML), so output grows
// with the square of the depth: a small analysis of a deep tree can fill a disk. The estimate
// walks the folders (the ncdu format: every entry) and adds up each one's line from its depth
// and the lengths of its name and path; it is close for plain names and low by the escapes of
// odd ones. Holds each folder's child lock while it reads its children, as an export does.
[[nodiscard]] std::uint64_t EstimateExportBytes(const TDirNode &root, std::string_view className);

// The size above which an export is written only on request (--force, or the window's
// question): 4 GiB, or the free space of the folder of `fileName` when that is less (empty:
// standard output, which has no free space to ask for).
[[nodiscard]] std::uint64_t ExportSizeLimit(const std::string &fileName);

// What a caller needs to decide: the estimate, the limit, and whether the estimate is over it.
struct TExportSizeCheck
{
    std::uint64_t Estimate = 0;
    std::uint64_t Limit = 0;
    [[nodiscard]] bool NeedsConfirmation() const { return Estimate > Limit; }
};
[[nodiscard]] TExportSizeCheck CheckExportSize(
    const TDirNode &root, std::string_view className, const std::string &fileName);
