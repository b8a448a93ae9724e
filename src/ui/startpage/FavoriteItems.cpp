#include "ui/startpage/FavoriteItems.h"

#include <sys/stat.h>

#include <QFile>
#include <QLocale>

#include "common/FormatText.h"
#include "common/Profiler.h"
#include "common/Translate.h"
#include "model/Paths.h"
#include "settings/MRUDirList.h"
#include "shell/NetworkResources.h"
#include "shell/ShellTypes.h"
#include "shell/SysImageList.h"
#include "ui/startpage/FavoriteListView.h"

namespace {

QString Decode(const std::string &bytes)
{
    return QFile::decodeName(QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())));
}

bool IsDirectory(const std::string &path)
{
    struct stat st
    { };
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

int ClosedFolderIcon(const TFavoriteSources &sources)
{
    if (sources.Folders && sources.Folders->GetClosedFolderIcon().IconIndex >= 0)
        return sources.Folders->GetClosedFolderIcon().IconIndex;
    return FolderIconIndex(false);
}

} // namespace

QStringList DriveSubItems(std::int64_t total, std::int64_t free, TFileSizeStrProc sizeText)
{
    const std::string freeText = FormatText(_("%s free of %s"), {sizeText(free), sizeText(total)});
    // The same form as the tree's percentages: "71%", with the digits of the window's language.
    return {QLocale().toString(TFavoriteListView::UsedPercent(total, free)) + QLatin1Char('%'), QString(),
        QString::fromStdString(freeText)};
}

bool FillFavoriteItems(TFavoriteListView &view, const TFavoriteSources &sources, TDriveSpaceQuery &query)
{
    ProfStartTimer(222);
    view.BeginUpdate();
    view.Clear();
    int counts[2] = {0, 0};
    std::vector<std::string> drivePaths;
    if (sources.Drives)
        for (int i = 0; i < sources.Drives->Count(); ++i)
            drivePaths.push_back(sources.Drives->Items(i).Path);
    const std::vector<TDriveSpaceQuery::TAnswer> answers = query.Ask(drivePaths, sources.SizeWait);
    if (sources.Drives) {
        for (int i = 0; i < sources.Drives->Count(); ++i) {
            const TShellDrive &drive = sources.Drives->Items(i);
            TFileListItem item;
            item.Path = drive.Path;
            item.Caption = Decode(drive.DisplayName);
            item.GroupId
                = drive.DriveType == dtRemovable ? TFavoriteListView::GroupRemovables : TFavoriteListView::GroupDrives;
            ++counts[item.GroupId];
            item.ImageIndex = sources.Folders ? sources.Folders->GetSysIconIndex(drive.Path) : -1;
            if (item.ImageIndex < 0)
                item.ImageIndex = ClosedFolderIcon(sources);
            for (const auto &answer : answers)
                if (answer.Path == drive.Path && answer.Error == 0 && answer.Free >= 0) {
                    item.FreeSize = answer.Free;
                    item.TotalSize = answer.Total;
                    item.SubItems = DriveSubItems(answer.Total, answer.Free, sources.SizeText);
                }
            view.AddItem(std::move(item));
        }
    }
    view.SetGroupCount(TFavoriteListView::GroupDrives, counts[0]);
    view.SetGroupCount(TFavoriteListView::GroupRemovables, counts[1]);
    if (sources.Network)
        for (const TNetworkResource &resource : *sources.Network) {
            TFileListItem item;
            item.Caption = Decode(resource.Comment.empty() ? resource.ResourceName : resource.Comment);
            item.Path = resource.ResourceName;
            item.GroupId = TFavoriteListView::GroupNetwork;
            item.ImageIndex = DriveIconIndex(dtRemote);
            view.AddItem(std::move(item));
        }
    ProfLogElapsed(222, "Refresh2");
    bool invalid = false;
    int recent = 0;
    if (sources.Recent) {
        const std::vector<std::string> &items = sources.Recent->Items();
        for (auto it = items.rbegin(); it != items.rend(); ++it) {
            const std::string &path = *it;
            if (!IsDirectory(path))
                invalid = true;
            TFileListItem item;
            item.Caption = Decode(path);
            item.ImageIndex = ClosedFolderIcon(sources);
            item.Path = path;
            item.GroupId = TFavoriteListView::GroupRecent;
            const std::string bare = ExcludeTrailingPathDelimiter(path);
            std::string display;
            if (sources.DisplayNameOfPath) {
                display = sources.DisplayNameOfPath(bare);
            } else {
                display = std::string(LastPathComponent(bare));
                if (sources.Drives) {
                    const int d = sources.Drives->IndexOf(bare);
                    if (d >= 0)
                        display = sources.Drives->Items(d).DisplayName;
                }
            }
            if (display != LastPathComponent(bare))
                item.SubItems << Decode(display);
            view.AddItem(std::move(item));
            ++recent;
        }
    }
    view.SetGroupCount(TFavoriteListView::GroupRecent, recent);
    ProfLogElapsed(222, "Refresh3");
    view.EndUpdate();
    return invalid;
}

void ApplyDriveAnswer(TFavoriteListView &view, const TDriveSpaceQuery::TAnswer &answer, TFileSizeStrProc sizeText)
{
    if (answer.Error != 0 || answer.Free < 0)
        return;
    for (int i = 0; i < view.Count(); ++i) {
        const TFileListItem &item = view.Item(i);
        if (item.Path == answer.Path
            && (item.GroupId == TFavoriteListView::GroupDrives || item.GroupId == TFavoriteListView::GroupRemovables))
            view.SetItemSizes(i, DriveSubItems(answer.Total, answer.Free, sizeText), answer.Total, answer.Free);
    }
}
