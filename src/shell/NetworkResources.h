#pragma once

#include <string>
#include <string_view>
#include <vector>

enum TNetworkDisplayType {
    ndtGeneric,
    ndtDomain,
    ndtServer,
    ndtShare,
    ndtFile,
    ndtGroup,
    ndtNetwork,
    ndtRoot,
    ndtShareAdmin,
    ndtDirectory,
    ndtTree,
    ndtContainer
};

// A network location offered on the start page.
struct TNetworkResource
{
    std::string ResourceName; // the path that opens it
    TNetworkDisplayType DisplayType = ndtGeneric;
    std::string Comment; // what the user reads; the resource name when empty

    void Assign(const TNetworkResource &source) { *this = source; }
};

// The remote locations the desktop has mounted for the user: the folders of the gvfs FUSE
// mount ($XDG_RUNTIME_DIR/gvfs), such as "smb-share:server=nas,share=media", shown as
// "media on nas". Sorted by their shown text; empty when there is no such folder.
[[nodiscard]] std::vector<TNetworkResource> ReadGvfsLocations(const std::string &gvfsDir);
// The gvfs folder of this session: $XDG_RUNTIME_DIR/gvfs, or empty without a runtime dir.
[[nodiscard]] std::string GvfsDirectory();
// The shown text and kind of one gvfs folder name ("smb-share:server=nas,share=media").
[[nodiscard]] TNetworkResource GvfsLocation(const std::string &gvfsDir, std::string_view folderName);
