#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include <QStringList>

#include "common/SizeText.h"
#include "ui/startpage/DriveSpaceQuery.h"

class TFavoriteListView;
class TMRUDirList;
class TShellDriveList;
class TShellFolderList;
struct TNetworkResource;

// What the start page is filled from. Null lists count as empty.
struct TFavoriteSources
{
    const TShellDriveList *Drives = nullptr;
    const TShellFolderList *Folders = nullptr;
    const std::vector<TNetworkResource> *Network = nullptr;
    const TMRUDirList *Recent = nullptr;
    TFileSizeStrProc SizeText = FileSizeToStrTruncated;
    // The name the desktop shows for a folder (no trailing delimiter); unset: the label of a
    // drive for its mount point, else the last path component.
    std::function<std::string(const std::string &path)> DisplayNameOfPath;
    // How long the refill waits for drive sizes before it shows the tiles without them.
    std::chrono::milliseconds SizeWait {150};
};

// Rebuilds every tile inside one update bracket: drives (sizes asked through `query`, late
// ones filled in when they come), network locations, then the recent folders, most recent
// first. Returns true when a recent folder no longer exists.
bool FillFavoriteItems(TFavoriteListView &view, const TFavoriteSources &sources, TDriveSpaceQuery &query);
// The sub items of a drive tile of known size: "37 %", "", "63 GB free of 100 GB".
[[nodiscard]] QStringList DriveSubItems(std::int64_t total, std::int64_t free, TFileSizeStrProc sizeText);
// Puts a late size answer into the tiles of its drive.
void ApplyDriveAnswer(TFavoriteListView &view, const TDriveSpaceQuery::TAnswer &answer, TFileSizeStrProc sizeText);
