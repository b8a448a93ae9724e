#include <QAction>
#include <QDir>
#include <QFileSystemWatcher>
#include <QMenu>
#include <QStackedWidget>
#include <QToolBar>
#include <QTreeView>
#include <QVBoxLayout>

#include "common/Translate.h"
#include "log/Logger.h"
#include "model/Paths.h"
#include "platform/Platform.h"
#include "shell/SysImageList.h"
#include "ui/FormMain.h"
#include "ui/LargestFilesView.h"
#include "ui/UiText.h"
#include "ui/pathbar/PathViewer.h"
#include "ui/popups/PathMenu.h"
#include "ui/popups/ScrollPopupMenu.h"
#include "ui/startpage/DriveSpaceQuery.h"
#include "ui/startpage/FavoriteItems.h"
#include "ui/startpage/FavoriteListView.h"

// Navigation: the start page and the tree share the client area below the path bar; the path
// bar's segments move inside a finished analysis, its arrows open drop-downs of sub-folders,
// and its text field takes a typed path.

namespace {

QIcon SysIcon(int index)
{
    return TSysImageList::Instance().Icon(index);
}

// The path bar's text for a folder: "Home", the separator, then the folder's own path, whose
// leading "/" becomes the root segment.
QString PathBarText(const std::string &path)
{
    return Tr(_("Home")) + QLatin1Char(PathDelim) + DecodeName(path);
}

} // namespace

void TFormMain::CreateNavigation()
{
    QWidget *tree = takeCentralWidget();
    auto *client = new QWidget(this);
    auto *layout = new QVBoxLayout(client);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    qvPathViewer1 = new TqvPathViewer(client);
    qvPathViewer1->setObjectName(QStringLiteral("qvPathViewer1"));
    qvPathViewer1->setFixedHeight(25);
    qvPathViewer1->SetHasSubItems(true);
    qvPathViewer1->SetImage(ThemeIcon({"user-home", "go-home", "folder"}));
    qvPathViewer1->SetPath(Tr(_("Home")));
    FClientArea = new QStackedWidget(client);
    ListViewFavorites = new TFavoriteListView(FClientArea);
    FClientArea->addWidget(ListViewFavorites);
    FClientArea->addWidget(tree);
    FClientArea->setCurrentWidget(ListViewFavorites);
    // The tree waits behind the start page until a folder is shown.
    FTree->setEnabled(false);
    layout->addWidget(qvPathViewer1);
    layout->addWidget(FClientArea, 1);
    setCentralWidget(client);

    FDriveSpaceQuery = new TDriveSpaceQuery(this);
    connect(FDriveSpaceQuery, &TDriveSpaceQuery::Answered, this, [this](const TDriveSpaceQuery::TAnswer &answer) {
        ApplyDriveAnswer(*ListViewFavorites, answer, FFileSizeStrProc);
    });
    connect(ListViewFavorites, &TFavoriteListView::ProcessPath, this,
        [this](const std::string &path) { ProcessPath(path, false); });
    connect(ListViewFavorites, &TFavoriteListView::ItemContextMenu, this,
        [this](const std::string &path, const QPoint &globalPos) { ShowItemContextMenu(path, globalPos); });
    connect(ListViewFavorites, &TFavoriteListView::SelectItem, this, [this](int index, bool selected) {
        SetStatusText(0, selected && index >= 0 ? ListViewFavorites->Item(index).Caption : QString());
    });
    connect(qvPathViewer1, &TqvPathViewer::PathClick, this, &TFormMain::PathBarClick);
    qvPathViewer1->OnPathEdit = [this](QLineEdit *, QString &text) { text = DecodeName(FLastScanDir); };
    connect(qvPathViewer1, &TqvPathViewer::EditedPath, this, [this](const QString &text) {
        // A relative path means the folder the bar shows, as in a file manager's location field.
        const int last = static_cast<int>(qvPathViewer1->PathParts().size()) - 1;
        const QString shown = last >= 1 ? qvPathViewer1->GetPathPart(1, last) : QDir::homePath();
        const QString typed = ResolveTypedPath(text, shown);
        if (!typed.isEmpty())
            ProcessPath(EncodeName(typed), false);
    });
    connect(qvPathViewer1, &TqvPathViewer::CustomPopup, this,
        [this](const QString &path, int, int index, const QPoint &pos) { PathBarPopup(path, index, pos); });

    ActHomepage = new QAction(ThemeIcon({"go-home", "user-home"}), Tr(_("Homepage")), this);
    ActHomepage->setObjectName(QStringLiteral("ActHomepage"));
    ActHomepage->setShortcut(QKeySequence(Qt::ALT | Qt::Key_Home));
    ActHomepage->setStatusTip(Tr(_("Shows the drives and the recently analyzed folders")));
    connect(ActHomepage, &QAction::triggered, this, &TFormMain::ActHomepageExecute);
    addAction(ActHomepage);
    if (FMenuAnalysis)
        FMenuAnalysis->insertAction(FMenuAnalysis->actions().value(0), ActHomepage);
    if (FToolBar) {
        FToolBar->insertAction(FToolBar->actions().value(0), ActHomepage);
        FToolBar->insertSeparator(FToolBar->actions().value(1));
    }

    FMRUDirList.OnChange = [this] { RefreshFavoriteItems(); };
    // Remote places the desktop mounts or unmounts show up without a restart.
    const std::string gvfs = GvfsDirectory();
    if (!gvfs.empty() && QDir(DecodeName(gvfs)).exists()) {
        FGvfsWatcher = new QFileSystemWatcher({DecodeName(gvfs)}, this);
        connect(FGvfsWatcher, &QFileSystemWatcher::directoryChanged, this, [this] { RefreshFavoriteItems(); });
    }
}

bool TFormMain::StartPageShown() const
{
    return FClientArea && FClientArea->currentWidget() == ListViewFavorites;
}

void TFormMain::ActHomepageExecute()
{
    FClientArea->setCurrentWidget(ListViewFavorites);
    ListViewFavorites->setFocus();
    const int selected = ListViewFavorites->SelectedIndex();
    SetStatusText(0, selected >= 0 ? ListViewFavorites->Item(selected).Caption : QString());
    SetStatusText(1, QString());
}

void TFormMain::ShowAnalysisView(const std::string &path)
{
    FClientArea->setCurrentIndex(1); // the analysis page: the tree or the largest files
    FTree->setEnabled(true);
    if (ShowsLargestFiles())
        FLargestFiles->setFocus();
    else
        FTree->setFocus();
    qvPathViewer1->SetPath(PathBarText(path));
}

void TFormMain::PathBarClick(int pathIdx)
{
    if (pathIdx == 0) {
        ActHomepageExecute();
        return;
    }
    if (pathIdx > 0)
        ProcessPath(ExcludeTrailingPathDelimiter(EncodeName(qvPathViewer1->GetPathPart(1, pathIdx))), false);
}

void TFormMain::RefreshFavoriteItems()
{
    if (FLockRefreshFavoriteItems || !ListViewFavorites)
        return;
    FNetworkResources = ReadGvfsLocations(GvfsDirectory());
    TFavoriteSources sources;
    sources.Drives = &FShellDriveList;
    sources.Folders = &FShellFolders;
    sources.Network = &FNetworkResources;
    sources.Recent = &FMRUDirList;
    sources.SizeText = FFileSizeStrProc;
    FHasInvalidRecentItems = FillFavoriteItems(*ListViewFavorites, sources, *FDriveSpaceQuery);
    if (ActionRemoveInvalidRecentItems)
        ActionRemoveInvalidRecentItems->setEnabled(FHasInvalidRecentItems);
}

void TFormMain::ApplyNavigationSettings()
{
    if (!ListViewFavorites)
        return;
    ListViewFavorites->SetPercentBarPainter(FPercentBarPainter.get());
    ListViewFavorites->SetPaintBackgroundShape(FPaintBackgroundShape);
    ListViewFavorites->Retranslate();
    // The first segment follows the language; the folder after it stays.
    const QString oldHome = qvPathViewer1->PathParts().value(0);
    if (!oldHome.isEmpty() && oldHome != Tr(_("Home")))
        qvPathViewer1->SetPath(Tr(_("Home")) + qvPathViewer1->Path().mid(oldHome.size()));
    ActHomepage->setText(Tr(_("Homepage")));
    ActHomepage->setStatusTip(Tr(_("Shows the drives and the recently analyzed folders")));
    // The size texts follow the rounding setting.
    RefreshFavoriteItems();
}

void TFormMain::SetTaskbarProgress(TTaskbarState state)
{
    if (FTaskbarList)
        FTaskbarList->SetProgressState(state);
}

void TFormMain::PathBarPopup(const QString &, int index, const QPoint &screenPos)
{
    auto *menu = new TScrollPopupMenu(this);
    menu->SetPopupMode(pmCustom);
    menu->SetPopupCount(18);
    menu->SetPopupForm(this);
    connect(menu, &TScrollPopupMenu::Closed, menu, &TScrollPopupMenu::Release);
    const auto add = [&](const QString &caption, const std::string &target, int icon) {
        auto *item = new TPathMenuItem(caption, target, SysIcon(icon));
        connect(item, &QAction::triggered, this, [this, target] { ProcessPath(target, false); });
        menu->AddItem(item);
    };
    const auto folderIcon = [&](const std::string &folder) {
        const int icon = FShellFolders.GetSysIconIndex(folder);
        return icon >= 0 ? icon : FolderIconIndex(false);
    };
    if (index == 0) {
        // After "Home": the start page's tiles, in their order.
        for (const TFileListItem &tile : ListViewFavorites->Items())
            add(tile.Caption, tile.Path, tile.ImageIndex);
    } else if (index < 0) {
        // The back arrow: the levels hidden for lack of width, nearest first.
        for (int i = qvPathViewer1->PathOffset() - 1; i >= 0; --i) {
            if (i == 0) {
                auto *home = new QAction(ActHomepage->icon(), qvPathViewer1->SegmentText(0));
                connect(home, &QAction::triggered, this, &TFormMain::ActHomepageExecute);
                menu->AddItem(home);
                continue;
            }
            const std::string folder = ExcludeTrailingPathDelimiter(EncodeName(qvPathViewer1->GetPathPart(1, i)));
            add(qvPathViewer1->SegmentText(i), folder, folderIcon(folder));
        }
    } else {
        // The segments after "Home" name the folder, whatever language "Home" was written in.
        const std::string folder = ExcludeTrailingPathDelimiter(EncodeName(qvPathViewer1->GetPathPart(1, index)));
        // Inside a finished analysis the drop-down lists what the tree shows, largest first;
        // elsewhere the folder is read from disk.
        const TDirNode *node = nullptr;
        if (FRootNode && !FRootNode->Scanning() && !FRootNode->IsScanCanceled()
            && PathStartsWith(folder, FRootNode->GetFullPathName())) {
            const std::string rootPath = ExcludeTrailingPathDelimiter(FRootNode->GetFullPathName());
            TFileSystemNode *found
                = SamePath(rootPath, folder) ? FRootNode.get() : FRootNode->FindChildNodePath(folder);
            node = dynamic_cast<const TDirNode *>(found);
            if (node && (node->Scanning() || node->FileType() == fstFileGroup))
                node = nullptr;
        }
        for (const TPathMenuEntry &entry : node ? NodeSubFolders(*node, folder) : DiskSubFolders(folder))
            add(entry.Caption, entry.Path, folderIcon(entry.Path));
    }
    if (menu->Items().isEmpty()) {
        delete menu;
        return;
    }
    menu->Popup(screenPos);
}
