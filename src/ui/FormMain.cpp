#include "ui/FormMain.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QMenuBar>
#include <QPainter>
#include <QPointer>
#include <QScreen>
#include <QStatusBar>
#include <QToolBar>
#include <QTreeView>

#include "common/Drives.h"
#include "common/Profiler.h"
#include "common/Translate.h"
#include "export/TreeTypesExport.h"
#include "log/Logger.h"
#include "paint/Color.h"
#include "paint/ZuBarChartPainterRegistry.h"
#include "paint/ZumbrelBarChartPainter.h"
#include "platform/Platform.h"
#include "shell/SysImageList.h"
#include "ui/FileTreeDelegate.h"
#include "ui/LanguageSwitch.h"
#include "ui/QtUiDispatcher.h"
#include "ui/UiText.h"
#include "ui/model/FileTreeView.h"
#include "ui/startpage/FavoriteListView.h"

// The window as an assembly: it creates its parts, lays them out, owns the actions, menus and
// toolbar, and wires their events. The members that serve one concern live in a file named
// after it: FormMainTree.cpp (cell texts, styles, icons, sorting), FormMainRows.cpp (rows,
// selection, expansion), FormMainScan.cpp, FormMainCommands.cpp, FormMainSave.cpp and
// FormMainSettings.cpp (preferences, placement, columns).

namespace {

constexpr int ColumnWidths[TFileTreeModel::ColumnCount] = {196, 90, 100, 285, 105, 160};

// 15 frames of a turning arc, drawn once.
std::vector<QIcon> MakeAnimationFrames(int count)
{
    std::vector<QIcon> frames;
    for (int i = 0; i < count; ++i) {
        QPixmap pixmap(16, 16);
        pixmap.fill(Qt::transparent);
        QPainter p(&pixmap);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(QPen(QColor(200, 200, 200), 2));
        p.drawEllipse(QRectF(2.5, 2.5, 11, 11));
        p.setPen(QPen(QColor(40, 110, 220), 2.5));
        p.drawArc(QRectF(2.5, 2.5, 11, 11), -i * 360 * 16 / count, 100 * 16);
        p.end();
        frames.emplace_back(pixmap);
    }
    return frames;
}

QIcon MakeOverlay(bool cancelled)
{
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    if (cancelled) {
        p.setRenderHint(QPainter::Antialiasing);
        p.setBrush(QColor(220, 40, 40));
        p.setPen(Qt::white);
        p.drawEllipse(QRectF(0.5, 8.5, 7, 7));
        p.drawLine(QPointF(2.3, 10.3), QPointF(5.7, 13.7));
        p.drawLine(QPointF(5.7, 10.3), QPointF(2.3, 13.7));
    } else {
        p.setPen(QColor(60, 60, 60));
        p.setBrush(QColor(255, 230, 120));
        p.drawRect(QRect(1, 10, 5, 5));
        p.drawRect(QRect(3, 8, 5, 5));
    }
    p.end();
    return QIcon(pixmap);
}

} // namespace

TFormMain::TFormMain(TSettings &settings, QWidget *parent)
    : QMainWindow(parent)
    , FSettings(settings)
{
    ProfStartTimer(-1);
    FSettings.Load();
    UseLanguage(FSettings.LanguageCode());
    UseLanguageLocale();
    ProfLogElapsed(-1, "OnCreate1");
    TSysImageList::EnsureIconTheme();
    TQtUiDispatcher::Instance().SetReceiver(this);
    FScanThreads = std::make_unique<TDirScanThreadList>(MaxScanThreads, TQtUiDispatcher::Instance());
    QPointer<TFormMain> self(this);
    FShellFileIconThread = std::make_unique<TShellFileIconThread>([self](std::int32_t id, std::int32_t index) {
        // Posted: the window may be gone by the time it would run, then nothing happens.
        QMetaObject::invokeMethod(
            qApp,
            [self, id, index] {
                if (self)
                    self->WMShellFileIcon(id, index);
            },
            Qt::QueuedConnection);
    });
    ProfLogElapsed(-1, "OnCreate3");
    // Exports written from the window take system colours from the palette of the moment.
    SetExportColorResolver([](std::uint32_t color) { return ColorToRGB(color); });
    FBackgroundPainter = TZumbrelBarChartPainter::CreateWithParams(RGBColor(215, 215, 215), RGBColor(247, 247, 247));

    CreateImages();
    CreateTree();
    CreateActions();
    CreateFileCommandActions();
    CreateAnalysisFileActions();
    CreateCompareActions();
    CreateMenus();
    // The largest files view shares the analysis page with the tree; navigation then puts the
    // start page beside that page.
    CreateLargestFilesView();
    CreateNavigation();
    ProfLogElapsed(-1, "OnCreate4");

    auto *status = statusBar();
    FStatusPanels[0] = new QLabel(status);
    FStatusPanels[1] = new QLabel(status);
    FStatusPanels[1]->setFixedWidth(200);
    // Panel 0 shows paths: a name that looks like markup is still just a name.
    for (QLabel *panel : FStatusPanels)
        panel->setTextFormat(Qt::PlainText);
    FStatusPanels[0]->setMinimumWidth(50);
    status->addWidget(FStatusPanels[0], 1);
    status->addPermanentWidget(FStatusPanels[1]);

    FShellChangeNotifier = std::make_unique<TSHChangeNotify>();
    FShellChangeNotifier->OnDriveAdd
        = [this](std::uint32_t, const std::string &path) { OnDriveChange("Drive added: ", path); };
    FShellChangeNotifier->OnDriveRemoved
        = [this](std::uint32_t, const std::string &path) { OnDriveChange("Drive removed: ", path); };
    try {
        FShellChangeNotifier->Execute();
    } catch (const std::exception &e) {
        ProgramLogger().ErrorMsg(e.what(), &e);
    }

    ProfLogElapsed(-1, "OnCreate5");
    setWindowTitle(QStringLiteral("Zumbrel"));
    SetApplicationTitle(QStringLiteral("Zumbrel"));
    FShellDriveList.RefreshDrives();
    std::vector<std::string> drives;
    GetDrives(TDriveTypes::AllKnown(), drives);
    FShellFolders.Initialize(drives,
        {TSpecialFolder::Desktop, TSpecialFolder::Documents, TSpecialFolder::Pictures, TSpecialFolder::Music,
            TSpecialFolder::Videos, TSpecialFolder::Home, TSpecialFolder::Downloads});

    FTimerAniSearch.setInterval(100);
    FTimerStatusBar.setInterval(100);
    FTimerGarbage.setInterval(10000);
    FTimerActions.setInterval(200);
    connect(&FTimerAniSearch, &QTimer::timeout, this, [this] {
        FAniSearchImageIndex = (FAniSearchImageIndex + 1) % static_cast<int>(FPngImageList1.size());
        FTree->viewport()->update();
    });
    connect(&FTimerTreeRefresh, &QTimer::timeout, this, [this] { RefreshTree(); });
    connect(&FTimerStatusBar, &QTimer::timeout, this, [this] {
        const QString dir = DecodeName(FScanThreads->GetFirstThreadCurrentDir());
        SetStatusText(0, dir);
        SetApplicationTitle(dir);
        if (FTaskbarList)
            FTaskbarList->Pulse();
    });
    connect(&FTimerGarbage, &QTimer::timeout, this, [this] { TimerGarbageTimer(); });
    connect(&FTimerActions, &QTimer::timeout, this, [this] { UpdateActions(); });
    FTimerGarbage.start();
    FTimerActions.start();

    FActiveTreeViewState = &FTreeViewStates.DirScanView();
    FMRUDirList.SetMaxItems(FSettings.MaxMruItems());
    ProfLogElapsed(-1, "OnCreate8");
    resize(800, 600);
    FModel->SetSort(2, Qt::DescendingOrder);
    FTree->header()->setSortIndicator(2, Qt::DescendingOrder);
    LoadFormSettings();
    ApplyLargestFilesState();
    ApplySettings(FSettings);
    ProfLogElapsed(-1, "OnCreate9");
    FLockRefreshFavoriteItems = false;
    RefreshFavoriteItems();
    FTaskbarList = TLauncherEntryTaskbar::Create();
    ListViewFavorites->setFocus();
    UpdateActions();
}

void TFormMain::InstallSettingsHooks()
{
    TSettings::SetScreenSectionSource([] {
        const QScreen *screen = QGuiApplication::primaryScreen();
        return screen ? TSettings::ScreenSectionName(screen->size().width(), screen->size().height()) : std::string();
    });
    TSettings::SetPainterClassResolver([](std::string_view name) {
        TZuBarChartPainterClass painterClass = TZuBarChartPainterRegistry::GetInstance().FindClassByClassName(name);
        return painterClass ? std::string(painterClass->ClassName) : std::string();
    });
}

TFormMain::~TFormMain()
{
    ShutDown();
    // The widgets outlive this destructor (Qt frees them with the base class) and would ask a
    // half-destroyed owner for header texts while they are hidden.
    FTree->setModel(nullptr);
}

void TFormMain::closeEvent(QCloseEvent *event)
{
    if (FFileOperationRunning) {
        event->ignore(); // files are going; the tree must stay until they are gone
        return;
    }
    ShutDown();
    QMainWindow::closeEvent(event);
}

void TFormMain::ShutDown()
{
    if (FShutDown)
        return;
    FShutDown = true;
    // Settings that cannot be written were reported once at start; exit has nothing to add.
    if (!FSettings.IsReadOnly()) {
        FSettings.Save();
        SaveFormSettings();
    }
    SetExportColorResolver({});
    StopScanTimers();
    SetTaskbarProgress(TTaskbarState::NoProgress);
    FTimerGarbage.stop();
    FTimerActions.stop();
    // Handlers are detached first, so none reaches a window that is going away; the threads
    // have left every node once the list is empty.
    FScanThreads->StopAndWaitFor();
    TQtUiDispatcher::Instance().SetReceiver(nullptr);
    FThreadRoots.clear();
    FPendingRescans.clear();
    FMainScanThread = nullptr;
    FShellChangeNotifier.reset();
    FShellFileIconThread.reset();
    FModel->Rebuild(false);
    FPaintNode = nullptr;
    DiscardTree(std::move(FRootNode));
    for (auto &thread : FDestroyThreads)
        thread->WaitFor();
    FDestroyThreads.clear();
}

void TFormMain::CreateImages()
{
    FImgListTreeView[0] = ThemeIcon({"folder"});
    FImgListTreeView[1] = ThemeIcon({"folder-open", "folder"});
    FImgListTreeView[4] = ThemeIcon({"computer", "drive-harddisk"});
    FImgListTreeView[5] = ThemeIcon({"emblem-symbolic-link", "inode-symlink", "text-x-generic"});
    FImgListOverlay[18] = MakeOverlay(false);
    FImgListOverlay[19] = MakeOverlay(true);
    FPngImageList1 = MakeAnimationFrames(AniFrameCount);
}

void TFormMain::CreateTree()
{
    FModel = new TFileTreeModel(*this, this);
    FTree = new TFileTreeView(this);
    FTree->setObjectName(QStringLiteral("VirtualFileTree"));
    FTree->setModel(FModel);
    FTree->setItemDelegate(new TFileTreeDelegate(*this, *FModel, FTree));
    FTree->setSelectionMode(QAbstractItemView::ExtendedSelection);
    FTree->setSelectionBehavior(QAbstractItemView::SelectRows);
    FTree->setUniformRowHeights(true);
    FTree->setRootIsDecorated(true);
    FTree->setAllColumnsShowFocus(true);
    FTree->setSortingEnabled(false);
    FTree->setEditTriggers(QAbstractItemView::NoEditTriggers);
    FTree->setContextMenuPolicy(Qt::NoContextMenu);
    QHeaderView *header = FTree->header();
    header->setSectionsMovable(true);
    header->setSectionsClickable(true);
    header->setSortIndicatorShown(true);
    header->setStretchLastSection(false);
    header->setMinimumSectionSize(50);
    header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    for (int i = 0; i < TFileTreeModel::ColumnCount; ++i)
        header->resizeSection(i, ColumnWidths[i]);
    // The percentage column takes whatever width the others leave.
    header->setSectionResizeMode(3, QHeaderView::Stretch);
    // Sorted by size, biggest first, until a stored state says otherwise.
    FModel->SetSort(1, Qt::DescendingOrder);
    header->setSortIndicator(1, Qt::DescendingOrder);
    connect(header, &QHeaderView::sectionClicked, this, [this](int column) { TreeHeaderClick(column); });
    connect(FTree, &QTreeView::expanded, this, [this](const QModelIndex &index) { TreeExpandedChanged(index, true); });
    connect(
        FTree, &QTreeView::collapsed, this, [this](const QModelIndex &index) { TreeExpandedChanged(index, false); });
    connect(FTree, &QTreeView::doubleClicked, this, [this](const QModelIndex &index) { TreeDoubleClick(index); });
    connect(
        FTree->selectionModel(), &QItemSelectionModel::currentChanged, this, [this] { UpdateStatusFromSelection(); });
    connect(
        FTree->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] { UpdateStatusFromSelection(); });
    // Rows whose cells are all empty (the placeholder, failed folders) run across the row from
    // their first paint.
    connect(FModel, &QAbstractItemModel::modelReset, this, [this] {
        if (FModel->TopRowCount() > 0)
            UpdateSpan(FModel->index(0, 0));
    });
    connect(FModel, &QAbstractItemModel::rowsInserted, this, [this](const QModelIndex &parent, int first, int last) {
        for (int row = first; row <= last; ++row) {
            const QModelIndex index = FModel->index(row, 0, parent);
            UpdateSpan(index);
            if (FModel->WasExpanded(index) && FTree->isExpanded(parent))
                FTree->expand(index);
        }
    });
    FModel->Rebuild(true);
    // Without a start page in front of it the tree takes the first clicks itself: a double
    // click on its placeholder row chooses a folder.
    setCentralWidget(FTree);
}

void TFormMain::CreateActions()
{
    const auto make
        = [this](const std::string &caption, const std::string &hint, std::initializer_list<const char *> icon) {
              auto *action = new QAction(Tr(caption), this);
              const QString h = Tr(hint);
              const auto bar = h.indexOf(QLatin1Char('|'));
              action->setToolTip(bar < 0 ? h : h.left(bar));
              action->setStatusTip(bar < 0 ? h : h.mid(bar + 1));
              if (icon.size() > 0)
                  action->setIcon(ThemeIcon(icon));
              return action;
          };
    ActDirSelect = make(_("Choose Folder..."), _("Choose Folder"), {"folder-open", "document-open"});
    ActDirSelect->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    ActRefresh = make(_("Repeat Analysis"), _("Repeat Analysis|Repeats the last executed analysis"), {"view-refresh"});
    ActRefresh->setShortcut(QKeySequence(Qt::Key_F5));
    ActStopScan = make(_("Stop Analysis"), _("Stops the Analysis"), {"process-stop"});
    ActRefreshNode = make(_("Rescan Selected Directory"), _("Repeats the analysis for the selected directories"), {});
    ActRefreshNode->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F5));
    ActScanFixedDrives = make(_("Analyze Local Drives"), _("Analyzes all local drives"), {"drive-harddisk"});
    ActSaveScanResult = make(_("Save Analysis Result..."),
        _("Save Analysis Result|Saves the result of the analysis to a file"), {"document-save"});
    ActSaveScanResult->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    ActionExitApplication = make(_("Exit"), _("Exits the application"), {"application-exit"});

    // Menu entries and toolbar buttons carry captions of their own.
    ActDirSelect->setText(Tr(_("&Choose Folder...")));
    ActDirSelect->setIconText(Tr(_("&Choose Folder")));
    ActRefresh->setText(Tr(_("&Repeat Analysis")));
    ActRefresh->setIconText(Tr(_("&Repeat")));
    ActRefreshNode->setText(Tr(_("R&escan Selected Directory")));
    ActStopScan->setText(Tr(_("&Stop Analysis")));
    ActStopScan->setIconText(Tr(_("&Stop")));
    ActScanFixedDrives->setText(Tr(_("Analyze &Local Drives")));
    ActSaveScanResult->setText(Tr(_("&Save Analysis Result...")));
    ActSaveScanResult->setIconText(Tr(_("S&ave")));
    ActionExitApplication->setText(Tr(_("&Exit")));

    connect(ActDirSelect, &QAction::triggered, this, &TFormMain::ActDirSelectExecute);
    connect(ActRefresh, &QAction::triggered, this, &TFormMain::ActRefreshExecute);
    connect(ActStopScan, &QAction::triggered, this, &TFormMain::ActStopScanExecute);
    connect(ActRefreshNode, &QAction::triggered, this, &TFormMain::ActRefreshNodeExecute);
    connect(ActScanFixedDrives, &QAction::triggered, this, [this] {
        FTree->setEnabled(true);
        FTree->setFocus();
        OnClickScanFixedDrives();
    });
    connect(ActSaveScanResult, &QAction::triggered, this, &TFormMain::ActSaveScanResultExecute);
    connect(ActionExitApplication, &QAction::triggered, this, &QWidget::close);
    ActConfig = make(_("Preferences..."), _("Preferences"), {"preferences-system", "configure"});
    connect(ActConfig, &QAction::triggered, this, &TFormMain::ActConfigExecute);
}

void TFormMain::CreateMenus()
{
    FMenuFile = menuBar()->addMenu(Tr(_("&File")));
    FMenuFile->addAction(ActDirSelect);
    FMenuFile->addAction(ActOpenAnalysis);
    FMenuFile->addAction(ActCompare);
    FMenuFile->addAction(ActionRemoveInvalidRecentItems);
    FMenuFile->addSeparator();
    FMenuFile->addAction(ActShellOpenFile);
    FMenuFile->addAction(ActDelete);
    FMenuFile->addAction(ActUndoTrash);
    FMenuFile->addSeparator();
    FMenuFile->addAction(ActionExitApplication);
    connect(FMenuFile, &QMenu::aboutToShow, this, &TFormMain::RefreshInvalidRecentItems);
    FMenuAnalysis = menuBar()->addMenu(Tr(_("&Analysis")));
    FMenuAnalysis->addAction(ActRefresh);
    FMenuAnalysis->addAction(ActRefreshNode);
    FMenuAnalysis->addAction(ActStopScan);
    FMenuAnalysis->addSeparator();
    FMenuAnalysis->addAction(ActScanFixedDrives);
    FMenuExtras = menuBar()->addMenu(Tr(_("&Tools")));
    FMenuExtras->addAction(ActOpenInExplorer);
    FMenuExtras->addAction(ActSaveScanResult);
    FMenuExtras->addSeparator();
    FMenuExtras->addAction(ActConfig);
    FMenuHelp = menuBar()->addMenu(Tr(_("&Help")));
    FMenuHelp->addAction(ActionHomepage);
    FMenuHelp->addAction(Action1);

    FToolBar = addToolBar(Tr(_("Toolbar")));
    FToolBar->setObjectName(QStringLiteral("ToolBar"));
    FToolBar->setMovable(false);
    FToolBar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    FToolBar->addAction(ActDirSelect);
    FToolBar->addAction(ActDelete);
    FToolBar->addSeparator();
    FToolBar->addAction(ActRefresh);
    FToolBar->addAction(ActStopScan);
    FToolBar->addSeparator();
    FToolBar->addAction(ActOpenInExplorer);
    FToolBar->addAction(ActSaveScanResult);
}

void TFormMain::UpdateActions()
{
    ActRefresh->setEnabled(FRootNode != nullptr);
    ActStopScan->setEnabled(!FScanThreads->IsEmpty());
    const TFileSystemNode *selected = GetSelectedNode();
    ActRefreshNode->setEnabled(selected != nullptr);
    ActSaveScanResult->setEnabled(CanSaveScanResult());
    UpdateFileCommandActions();
    UpdateAnalysisFileActions();
    UpdateCompareActions();
}

// ---------------------------------------------------------------- status

void TFormMain::SetStatusText(int panel, const QString &text)
{
    if (panel == 1)
        FShownScanDuration = -1;
    FStatusPanels[panel]->setText(text);
}

QString TFormMain::StatusText(int panel) const
{
    return FStatusPanels[panel]->text();
}

void TFormMain::SetApplicationTitle(const QString &title)
{
    FApplicationTitle = title;
    setWindowIconText(title);
}

void TFormMain::ShowScanDuration(double seconds)
{
    if (seconds < 0) {
        SetStatusText(1, QString());
        return;
    }
    SetStatusText(1, QLocale().toString(seconds, 'f', 2) + QLatin1Char(' ') + Tr(_("sec.")));
    FShownScanDuration = seconds;
}

void TFormMain::OnDriveChange(const char *what, const std::string &path)
{
    FShellDriveList.RefreshDrives();
    RefreshFavoriteItems();
    ZU_LOG_INFO(what + path);
}
