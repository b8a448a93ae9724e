#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <QIcon>
#include <QItemSelection>
#include <QMainWindow>
#include <QTimer>

#include "common/SizeText.h"
#include "import/TreeCompare.h"
#include "model/DeleteNodes.h"
#include "model/TreeTypes.h"
#include "paint/ZuBarChartPainter.h"
#include "scan/ScanThread.h"
#include "settings/MRUDirList.h"
#include "settings/Settings.h"
#include "settings/TreeViewStates.h"
#include "shell/FileOperations.h"
#include "shell/NetworkResources.h"
#include "shell/SHChangeNotify.h"
#include "shell/ShellTypes.h"
#include "ui/FileTreeDelegate.h"
#include "ui/model/FileTreeModel.h"
#include "ui/taskbar/TaskbarProgress.h"

class QAction;
class QFileSystemWatcher;
class QStackedWidget;
class TDriveSpaceQuery;
class TFavoriteListView;
class TqvPathViewer;
class QLabel;
class QStackedWidget;
class TLargestFilesView;

class QMenu;
class QToolBar;
class QTreeView;
class QPainter;
class TZumbrelBarChartPainter;

// The main window: the analysis as a live tree-grid, the commands that start, stop, repeat and
// save analyses, and the status bar. Every member runs on the user interface thread; scan
// threads reach the window only through their termination handlers.
//
// The class is the assembly (FormMain.cpp: parts, layout, actions, menus, toolbar, status bar);
// its members are grouped by concern below, each group in the file named after it.
class TFormMain final : public QMainWindow, public IFileTreeOwner, public IFileTreeCells
{
    Q_OBJECT

public:
    static constexpr int MaxScanThreads = 9;
    static constexpr int AniFrameCount = 15;

    // Loads `settings` (not owned; it must outlive the window) and takes its language.
    explicit TFormMain(TSettings &settings, QWidget *parent = nullptr);
    ~TFormMain() override;
    // Tells the settings the primary screen's section name and which painter classes exist.
    static void InstallSettingsHooks();

    // --- scan control (FormMainScan.cpp) ---
    void ProcessPath(const std::string &path, bool forceRescan);
    void ScanRootDir(const std::string &path);
    void ScanFixedDrives();
    void ScanSubDirNode(TDirNode *node);
    void OnClickScanFixedDrives() { ScanFixedDrives(); }
    void ShowScanDuration(double seconds);
    // The command line without the program name: a first argument naming an existing folder
    // is analysed at once and shown.
    void ProcessCommandLine(const std::vector<std::string> &args, const std::string &commandLine = {});

    // --- preferences, placement, columns (FormMainSettings.cpp) ---
    // Takes over the preferences of `settings`.
    void ApplySettings(const TSettings &settings);
    // Window placement, tree view states and recent folders from and to the settings file.
    void LoadFormSettings();
    void SaveFormSettings();
    void StoreTreeViewState(TTreeViewState *state);
    void ApplyTreeViewState(TTreeViewState *state);
    [[nodiscard]] TMRUDirList &MRUDirList() { return FMRUDirList; }
    [[nodiscard]] TZumbrelTreeviewStates &TreeViewStates() { return FTreeViewStates; }

    // --- rows of the tree (FormMainRows.cpp) ---
    // Rebuilds every row, keeping focus and selection (by node) and the expanded rows.
    void PopulateTree();
    // Brings the rows up to the model: inserted, removed and changed rows while scans run;
    // a rebuild (PopulateTree, scroll position kept) when the top node changed.
    void RefreshTree();
    // The node of the first selected row of the shown view (folder tree or largest files).
    [[nodiscard]] TFileSystemNode *GetSelectedNode() const;

    // --- save (FormMainSave.cpp) ---
    // The file name the save dialog proposes for an analysis shown as `displayName`.
    [[nodiscard]] static std::string ProposedSaveFileName(const std::string &displayName);
    // Writes the analysis in the format of the 1-based `filterIndex`.
    void SaveScanResult(const std::string &fileName, int filterIndex);
    // The folder the save dialog opens in: the last one used, else the documents folder's
    // "Zumbrel" folder, the documents folder or the home folder, whichever exists first.
    [[nodiscard]] std::string ProposedSaveFolder() const;
    // True when the save command may run: no main scan, a root with children.
    [[nodiscard]] bool CanSaveScanResult() const;

    // --- cells of the tree: IFileTreeOwner, IFileTreeCells (FormMainTree.cpp) ---
    [[nodiscard]] TFileSystemNode *TopNode() const override { return FPaintNode; }
    [[nodiscard]] QString GetText(const TFileSystemNode *node, int column, TTextType type) const override;
    [[nodiscard]] bool GetCellIsEmpty(const TFileSystemNode *node, int column) const override;
    [[nodiscard]] TSortKey SortKey(const TFileSystemNode *node, int column) const override;
    [[nodiscard]] int CompareSortKeys(const TSortKey &a, const TSortKey &b, int column) const override;
    // Negative, zero or positive, ascending order (each node's key read once).
    [[nodiscard]] int CompareNodes(const TFileSystemNode *a, const TFileSystemNode *b, int column) const;
    [[nodiscard]] QString HeaderText(int column) const override;

    void PaintText(const TFileSystemNode *node, int column, TTextType type, bool selected, QFont &font,
        QColor &color) const override;
    void PaintPercentBar(const TFileSystemNode *node, QPainter &painter, const QRect &rect, bool selected) override;
    QIcon GetImage(const TFileSystemNode *node, int column, TImageKind kind, bool expanded, bool &ghosted) override;
    // The text of the percentage bar for a ratio: "12.3%".
    [[nodiscard]] static QString PercentText(double ratio);
    // The share of the shown top folder; needs a top folder of a positive size.
    [[nodiscard]] double PercentRatio(const TFileSystemNode *node) const;

    // --- state, for tests and tools ---
    [[nodiscard]] TRootNode *RootNode() const { return FRootNode.get(); }
    [[nodiscard]] TDirNode *PaintNode() const { return FPaintNode; }
    [[nodiscard]] TDirScanThreadList &ScanThreads() const { return *FScanThreads; }
    [[nodiscard]] const std::string &WaitForScanDir() const { return FWaitForScanDir; }
    [[nodiscard]] const std::string &LastScanDir() const { return FLastScanDir; }
    [[nodiscard]] QString StatusText(int panel) const;
    [[nodiscard]] const QString &ApplicationTitle() const { return FApplicationTitle; }
    [[nodiscard]] QTreeView *Tree() const { return FTree; }
    [[nodiscard]] TFileTreeModel *Model() const { return FModel; }
    [[nodiscard]] bool IsMainScanRunning() const;
    [[nodiscard]] bool ScanTimersActive() const { return FTimerTreeRefresh.isActive(); }
    [[nodiscard]] int PendingRescanCount() const { return static_cast<int>(FPendingRescans.size()); }

    QAction *ActDirSelect = nullptr;
    QAction *ActRefresh = nullptr;
    QAction *ActStopScan = nullptr;
    QAction *ActRefreshNode = nullptr;
    QAction *ActScanFixedDrives = nullptr;
    QAction *ActSaveScanResult = nullptr;
    QAction *ActionExitApplication = nullptr;

    // --- analyses from files (FormMainAnalysisFiles.cpp) ---
    // Shows the ncdu/gdu JSON export `fileName` like a finished analysis; false, after an
    // error box, when it cannot be read (the analysis shown before stays then).
    bool OpenAnalysisFile(const std::string &fileName);
    [[nodiscard]] bool ShowsImportedAnalysis() const;
    // Whether the folder an opened file records exists on this machine.
    [[nodiscard]] bool ImportedPathExists() const;
    [[nodiscard]] const std::string &ImportedFile() const { return FImportedFile; }
    QAction *ActOpenAnalysis = nullptr;

    // --- the "Largest Files" view (FormMainLargestFiles.cpp) ---
    // Shows the list of the largest files instead of the folder tree, or the tree again.
    void ShowLargestFiles(bool show);
    [[nodiscard]] bool ShowsLargestFiles() const;
    [[nodiscard]] TLargestFilesView *LargestFilesView() const { return FLargestFiles; }
    QAction *ActLargestFiles = nullptr;

    // --- comparison with a saved analysis (FormMainCompare.cpp) ---
    // Compares the shown analysis with the ncdu/gdu JSON export `fileName` and shows the
    // "Change" column; false, after an error box, when the file cannot be read.
    bool CompareWithFile(const std::string &fileName);
    // Ends the comparison and hides the column (a new analysis does so too).
    void EndComparison();
    [[nodiscard]] bool IsComparing() const { return FComparison != nullptr; }
    [[nodiscard]] const TTreeComparison *Comparison() const { return FComparison.get(); }
    void PaintChangeBar(const TFileSystemNode *node, QPainter &painter, const QRect &rect, bool selected) override;
    QAction *ActCompare = nullptr;

    // --- navigation: start page, path bar, drop-downs (FormMainNavigation.cpp) ---
    // The start page fills the client area until a folder is shown; the tree takes its place.
    // A right click on a tile raises ListViewFavorites' ItemContextMenu(path, point).
    TFavoriteListView *ListViewFavorites = nullptr;
    TqvPathViewer *qvPathViewer1 = nullptr;
    QAction *ActHomepage = nullptr;
    void ActHomepageExecute();
    void RefreshFavoriteItems();
    [[nodiscard]] bool StartPageShown() const;
    // A recent folder no longer exists (the remove-invalid command applies).
    [[nodiscard]] bool HasInvalidRecentItems() const { return FHasInvalidRecentItems; }

private:
    void CreateNavigation();
    void ShowAnalysisView(const std::string &path);
    void PathBarClick(int pathIdx);
    void PathBarPopup(const QString &path, int index, const QPoint &screenPos);
    void ApplyNavigationSettings();
    void SetTaskbarProgress(TTaskbarState state);
    bool FLockRefreshFavoriteItems = true;
    bool FHasInvalidRecentItems = false;
    std::vector<TNetworkResource> FNetworkResources;
    TDriveSpaceQuery *FDriveSpaceQuery = nullptr;
    std::unique_ptr<ITaskbarList> FTaskbarList;
    QStackedWidget *FClientArea = nullptr;
    QFileSystemWatcher *FGvfsWatcher = nullptr;

public:
    // --- file commands (FormMainFileCommands.cpp) ---
    QAction *ActionRemoveInvalidRecentItems = nullptr;
    QAction *ActShellOpenFile = nullptr;
    QAction *ActDelete = nullptr; // Del; Shift+Del (or Shift held) deletes for good
    QAction *ActUndoTrash = nullptr;
    QAction *ActOpenInExplorer = nullptr;
    QAction *Action1 = nullptr; // the About box
    QAction *ActionHomepage = nullptr;
    void ActionRemoveInvalidRecentItemsExecute();
    void ActShellOpenFileExecute();
    void ActDeleteExecute();
    void ActUndoTrashExecute();
    void ActOpenInExplorerExecute();
    void Action1Execute();
    void ActionHomepageExecute();
    // Deletes paths (to the Trash unless `permanent`) after asking, as the context menu does.
    void DeletePaths(const std::vector<std::string> &paths, bool permanent);
    // Our context menu for a path of the tree or of the start page, at a screen position.
    void ShowItemContextMenu(const std::string &path, const QPoint &globalPos);
    // Enables "Remove invalid recent items..." when a recent folder no longer exists.
    void RefreshInvalidRecentItems();
    [[nodiscard]] QMenu *PopupTree() const { return FPopupTree; }
    // --- preferences dialog, language (FormMainPreferences.cpp) ---
    QAction *ActConfig = nullptr;
    // Opens the preferences dialog on the window's settings (Extras > Preferences...).
    void ActConfigExecute();
    // The preferences dialog's OnApplySettings: takes `settings` over (ApplySettings), switches
    // the program to their language, and tells the user when an analysis is shown and a
    // changed setting waits for the next one (ScanSettingsChanged).
    void SettingsApplied(TSettings &settings);
    // Every caption of the window again through _(): actions, menus, toolbar, tree header,
    // status texts. Runs on every language change (changeEvent).
    void RetranslateUi();

public slots:
    void ActDirSelectExecute();
    void ActRefreshExecute();
    void ActStopScanExecute();
    void ActRefreshNodeExecute();
    void ActSaveScanResultExecute();
    void ActOpenAnalysisExecute();
    void ActCompareExecute();
    void UpdateActions();

protected:
    void closeEvent(QCloseEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    struct TThreadEntry
    {
        TDirNode *Root = nullptr;
    };

    // Assembly (FormMain.cpp).
    void CreateActions();
    void CreateMenus();
    void CreateTree();
    void CreateImages();
    TDirScanThread *StartScanThread(TDirNode *node, bool mainThread);
    void DirScanThreadTerminate(TDirScanThread &thread);
    void MainScanThreadTerminate(TDirScanThread &thread);
    void ScanFinished(TDirScanThread &thread);
    void PostPendingRequest();
    void StartPendingRequest();
    void RunPendingRescans();
    void RescanNow(TDirNode *node);
    [[nodiscard]] bool HasThreadBelow(const TGroupNode *node) const;
    [[nodiscard]] bool ThreadsRunning() const;
    void DiscardTree(std::unique_ptr<TRootNode> root);
    void SetActiveRoot(TRootNode *node);
    void StartScanTimers();
    void StopScanTimers();
    void InvalidateAndScrollTo(const TFileSystemNode *node);
    void RestoreRows(
        const QModelIndex &index, const TFileSystemNode *focused, QItemSelection &selection, QModelIndex &focusIndex);
    void RefreshRows(TFileTreeModel::TRefresh what);
    // Spans the row's first cell across the row when its cells report themselves empty.
    void UpdateSpan(const QModelIndex &index);
    void UpdateStatusFromSelection();
    void TreeHeaderClick(int column);
    void TreeExpandedChanged(const QModelIndex &index, bool expanded);
    void TreeDoubleClick(const QModelIndex &index);
    void SetStatusText(int panel, const QString &text);
    void SetApplicationTitle(const QString &title);
    void ShutDown();
    int GetFileSysIconIndex(const std::string &path);
    int GetUnknownSysIconIndex();
    void WMShellFileIcon(std::int32_t uniqueId, std::int32_t sysIconIndex);
    void TimerGarbageTimer();
    void OnDriveChange(const char *what, const std::string &path);
    // File commands (FormMainFileCommands.cpp).
    void CreateFileCommandActions();
    void UpdateFileCommandActions();
    void DeleteSelection(bool permanent);
    void DeleteEntries(const std::vector<TDeleteEntry> &entries, bool permanent);
    [[nodiscard]] bool IsBusyForDelete(const TDeleteEntry &entry) const;
    // No scan, no file operation, and the shown analysis is of files on this machine.
    [[nodiscard]] bool CanDeleteFiles() const;
    // The analysis shows files of this machine (not an opened file of a folder it lacks).
    [[nodiscard]] bool ShowsFilesOnDisk() const;
    void TreeContextMenu(const QPoint &pos);
    // Analyses from files (FormMainAnalysisFiles.cpp).
    void CreateAnalysisFileActions();
    void UpdateAnalysisFileActions();
    TRootNode *FImportedRoot = nullptr; // identity only: the root that came from a file
    std::string FImportedFile;
    // The "Largest Files" view (FormMainLargestFiles.cpp).
    void CreateLargestFilesView();
    void RefreshLargestFiles();
    void ApplyLargestFilesState();
    void StoreLargestFilesState();
    void RetranslateLargestFiles();
    // The selected rows of the list, in order, and the tree's nodes of their files (rows whose
    // file left the tree are skipped).
    [[nodiscard]] std::vector<int> SelectedLargestFileRows() const;
    [[nodiscard]] std::vector<TDeleteEntry> SelectedLargestFiles() const;
    [[nodiscard]] TFileSystemNode *SelectedLargestFile() const;
    // Selects the row at `row`, or the last row when the list became shorter.
    void SelectLargestFileRow(int row);
    void LargestFilesContextMenu(const QPoint &pos);
    TLargestFilesView *FLargestFiles = nullptr;
    QStackedWidget *FViews = nullptr;
    // Comparison with a saved analysis (FormMainCompare.cpp).
    void CreateCompareActions();
    void UpdateCompareActions();
    void UpdateChangeColumn();
    [[nodiscard]] QString ChangeText(const TFileSystemNode *node) const;
    // The growth (or shrinkage, below 0) of a node since the compared analysis; 0 without one.
    [[nodiscard]] std::int64_t ChangeOf(const TFileSystemNode *node) const;
    std::unique_ptr<TTreeComparison> FComparison;
    QLabel *FCompareStatus = nullptr;

    // The preferences in use, copied from the settings by ApplySettings.
    struct TOptions
    {
        bool GroupSmallFiles = true;
        std::int64_t GroupFileSize = TSettings::DefaultGroupFileSize;
        TRoundingStyle FileSizeRounding = rsTruncate;
        int MaxMruItems = TSettings::DefaultMaxMruItems;
    };
    TSettings &FSettings;
    TOptions FOptions;
    TMRUDirList FMRUDirList;
    TZumbrelTreeviewStates FTreeViewStates;
    TTreeViewState *FActiveTreeViewState = nullptr;
    std::unique_ptr<TDirScanThreadList> FScanThreads;
    std::map<TDirScanThread *, TThreadEntry> FThreadRoots;
    TDirScanThread *FMainScanThread = nullptr;
    std::unique_ptr<TRootNode> FRootNode;
    TDirNode *FPaintNode = nullptr;
    std::vector<TFileSystemNode *> FSelectedNodes; // identities only, never read through
    std::vector<TDirNode *> FPendingRescans;
    std::vector<std::unique_ptr<TDestroyGroupNodeThread>> FDestroyThreads;
    std::string FLastScanDir;
    std::string FWaitForScanDir;
    bool FPendingPosted = false;
    bool FShutDown = false;
    QString FApplicationTitle;
    // The scan duration the status bar shows (negative: none), to write it again in another
    // language.
    double FShownScanDuration = -1;

    int FAniSearchImageIndex = 0;
    int FSystemIconIndexUnknown = -1;
    TFileSizeStrProc FFileSizeStrProc = FileSizeToStrTruncated;
    std::unique_ptr<TZuBarChartPainter> FPercentBarPainter;
    std::unique_ptr<TZumbrelBarChartPainter> FBackgroundPainter;
    bool FPaintBackgroundShape = true;

    TShellFolderList FShellFolders;
    TShellDriveList FShellDriveList;
    TSHGetFileInfoPropertiesList FShellFilePropsList;
    std::unique_ptr<TShellFileIconThread> FShellFileIconThread;
    std::unique_ptr<TSHChangeNotify> FShellChangeNotifier;

    QTimer FTimerAniSearch;
    QTimer FTimerTreeRefresh;
    QTimer FTimerStatusBar;
    QTimer FTimerGarbage;
    QTimer FTimerActions;

    QMenu *FMenuFile = nullptr;
    QMenu *FMenuAnalysis = nullptr;
    QMenu *FMenuExtras = nullptr;
    QMenu *FMenuHelp = nullptr;
    QMenu *FMenuView = nullptr;
    QMenu *FPopupTree = nullptr; // context menu of a small-files group row
    QAction *FPopupTreeHeader = nullptr;
    std::vector<TTrashedItem> FLastTrashed; // what Ctrl+Z puts back
    bool FFileOperationRunning = false;
    QToolBar *FToolBar = nullptr;
    QTreeView *FTree = nullptr;
    std::map<int, int> FHiddenColumnWidths; // stored widths of hidden columns, by column index
    TFileTreeModel *FModel = nullptr;
    QLabel *FStatusPanels[2] = {nullptr, nullptr};

    // Image lists: tree images by index (0 closed folder, 1 open folder, 4 all drives, 5 link),
    // overlays (18 small-files group, 19 cancelled scan) and the scanning animation.
    std::map<int, QIcon> FImgListTreeView;
    std::map<int, QIcon> FImgListOverlay;
    std::vector<QIcon> FPngImageList1;
};
