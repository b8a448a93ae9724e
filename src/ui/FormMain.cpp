#include "ui/FormMain.h"

#include <algorithm>
#include <cfenv>
#include <cmath>
#include <cstdio>
#include <optional>

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QMap>
#include <QMenuBar>
#include <QPainter>
#include <QPointer>
#include <QScreen>
#include <QScrollBar>
#include <QStatusBar>
#include <QStyledItemDelegate>
#include <QToolBar>
#include <QTreeView>

#include "export/ExportRegistry.h"
#include "log/Logger.h"
#include "model/Paths.h"
#include "model/common/Drives.h"
#include "model/common/FileQueries.h"
#include "model/common/MessageBoxes.h"
#include "model/common/Profiler.h"
#include "model/common/ShellTexts.h"
#include "model/common/TextUtils.h"
#include "model/common/Translate.h"
#include "paint/Canvas.h"
#include "paint/Skins.h"
#include "paint/ZuBarChartPainterRegistry.h"
#include "paint/ZumbrelBarChartPainter.h"
#include "platform/Platform.h"
#include "settings/VirtualTreeUtils.h"
#include "shell/SysImageList.h"
#include "ui/QtUiDispatcher.h"
#include "ui/ShellBrowseForFolder.h"

namespace {

// Texts are translated where they are written, as _("..."), so that the message extraction
// finds them; this only converts.
QString Tr(const std::string &translated)
{
    return QString::fromStdString(translated);
}

QString DecodeName(std::string_view bytes)
{
    return QFile::decodeName(QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())));
}

std::string EncodeName(const QString &text)
{
    const QByteArray bytes = QFile::encodeName(text);
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

bool DirectoryExists(const std::string &path)
{
    return QFileInfo(DecodeName(path)).isDir();
}

// Days since 1899-12-30 (local time) as a date-time.
QDateTime FromDateTimeValue(double value)
{
    const double days = std::floor(value);
    const auto ms = static_cast<qint64>(std::llround((value - days) * 86400000.0));
    const QDate date = QDate(1899, 12, 30).addDays(static_cast<qint64>(days));
    return QDateTime(date, QTime(0, 0)).addMSecs(ms);
}

constexpr int ColumnWidths[TFileTreeModel::ColumnCount] = {196, 90, 100, 285, 105};

// Draws every cell itself, asking the window for texts, styles, icons and the bar.
class TFileTreeDelegate final : public QStyledItemDelegate
{
public:
    TFileTreeDelegate(TFormMain &form, TFileTreeModel &model, QObject *parent)
        : QStyledItemDelegate(parent)
        , FForm(form)
        , FModel(model)
    { }

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        QStyleOptionViewItem opt(option);
        initStyleOption(&opt, index);
        opt.text.clear();
        opt.icon = QIcon();
        opt.features &= ~QStyleOptionViewItem::HasDecoration;
        const QWidget *widget = option.widget;
        QStyle *style = widget ? widget->style() : QApplication::style();
        style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, widget);

        const TFileTreeModel::TAccess access = FModel.Access(index);
        const bool placeholder = FModel.IsPlaceholder(index);
        const TFileSystemNode *node = access.Node();
        if (!placeholder && !node)
            return; // the node went away; the next refresh drops the row
        const bool selected = option.state & QStyle::State_Selected;
        const int column = index.column();
        QRect rect = option.rect.adjusted(2, 0, -2, 0);
        painter->save();

        if (column == 3) {
            FForm.PaintPercentBar(node, *painter, option.rect, selected);
            painter->restore();
            return;
        }
        bool ghosted = false;
        const bool expanded = widget && static_cast<const QTreeView *>(widget)->isExpanded(index.siblingAtColumn(0));
        if (column == 0 && node) {
            const QIcon icon
                = FForm.GetImage(node, 0, selected ? TImageKind::Selected : TImageKind::Normal, expanded, ghosted);
            const QRect iconRect(rect.left(), rect.top() + (rect.height() - 16) / 2, 16, 16);
            if (!icon.isNull()) {
                painter->setOpacity(ghosted ? 0.5 : 1.0);
                icon.paint(painter, iconRect);
                painter->setOpacity(1.0);
            }
            bool unused = false;
            const QIcon overlay = FForm.GetImage(node, 0, TImageKind::Overlay, expanded, unused);
            if (!overlay.isNull())
                overlay.paint(painter, iconRect);
            rect.setLeft(iconRect.right() + 5);
        }
        if (column == 1 && node) {
            bool unused = false;
            const QIcon state = FForm.GetImage(node, 1, TImageKind::State, expanded, unused);
            if (!state.isNull()) {
                state.paint(painter, QRect(rect.left(), rect.top() + (rect.height() - 16) / 2, 16, 16));
                rect.setLeft(rect.left() + 18);
            }
        }

        QFont font = option.font;
        QColor color = option.palette.color(QPalette::Text);
        if (selected)
            color = option.palette.color(QPalette::HighlightedText);
        FForm.PaintText(node, column, TTextType::Normal, selected, font, color);
        const QString text = FForm.GetText(node, column, TTextType::Normal);
        painter->setFont(font);
        painter->setPen(color);
        const Qt::Alignment align = TFileTreeModel::ColumnAlignment(column);
        const QString shown = QFontMetrics(font).elidedText(text, Qt::ElideRight, rect.width());
        painter->drawText(rect, static_cast<int>(align | Qt::TextSingleLine), shown);

        if (column == 0 && node) {
            const QString statics = FForm.GetText(node, 0, TTextType::Static);
            if (!statics.isEmpty()) {
                QRect staticRect = rect;
                staticRect.setLeft(rect.left() + QFontMetrics(font).horizontalAdvance(shown) + 8);
                QFont staticFont = option.font;
                QColor staticColor = option.palette.color(QPalette::Text);
                FForm.PaintText(node, 0, TTextType::Static, selected, staticFont, staticColor);
                painter->setFont(staticFont);
                painter->setPen(staticColor);
                painter->drawText(staticRect, static_cast<int>(Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine),
                    QFontMetrics(staticFont).elidedText(statics, Qt::ElideRight, staticRect.width()));
            }
        }
        painter->restore();
    }

    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        QSize size = QStyledItemDelegate::sizeHint(option, index);
        size.setHeight(std::max(size.height(), 20));
        return size;
    }

private:
    TFormMain &FForm;
    TFileTreeModel &FModel;
};

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

QIcon ThemeIcon(std::initializer_list<const char *> names)
{
    for (const char *name : names)
        if (QIcon::hasThemeIcon(QString::fromLatin1(name)))
            return QIcon::fromTheme(QString::fromLatin1(name));
    return {};
}

} // namespace

TFormMain::TFormMain(TSettings &settings, QWidget *parent)
    : QMainWindow(parent)
    , FSettings(settings)
{
    ProfStartTimer(-1);
    FSettings.Load();
    UseLanguage(FSettings.LanguageCode());
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
    FBackgroundPainter = TZumbrelBarChartPainter::CreateWithParams(RGBColor(215, 215, 215), RGBColor(247, 247, 247));

    CreateImages();
    CreateTree();
    CreateActions();
    ProfLogElapsed(-1, "OnCreate4");

    auto *status = statusBar();
    FStatusPanels[0] = new QLabel(status);
    FStatusPanels[1] = new QLabel(status);
    FStatusPanels[1]->setFixedWidth(200);
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
    ApplySettings(FSettings);
    ProfLogElapsed(-1, "OnCreate9");
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
    ShutDown();
    QMainWindow::closeEvent(event);
}

void TFormMain::ShutDown()
{
    if (FShutDown)
        return;
    FShutDown = true;
    FSettings.Save();
    SaveFormSettings();
    StopScanTimers();
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
    FTree = new QTreeView(this);
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

    QMenu *file = menuBar()->addMenu(Tr(_("&File")));
    file->addAction(ActDirSelect);
    file->addSeparator();
    file->addAction(ActionExitApplication);
    QMenu *analysis = menuBar()->addMenu(Tr(_("&Analysis")));
    analysis->addAction(ActRefresh);
    analysis->addAction(ActRefreshNode);
    analysis->addAction(ActStopScan);
    analysis->addSeparator();
    analysis->addAction(ActScanFixedDrives);
    QMenu *extras = menuBar()->addMenu(Tr(_("&Extras")));
    extras->addAction(ActSaveScanResult);

    QToolBar *toolBar = addToolBar(Tr(_("Toolbar")));
    toolBar->setObjectName(QStringLiteral("ToolBar"));
    toolBar->setMovable(false);
    toolBar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    toolBar->addAction(ActDirSelect);
    toolBar->addSeparator();
    toolBar->addAction(ActRefresh);
    toolBar->addAction(ActStopScan);
    toolBar->addSeparator();
    toolBar->addAction(ActSaveScanResult);
}

void TFormMain::UpdateActions()
{
    ActRefresh->setEnabled(FRootNode != nullptr);
    ActStopScan->setEnabled(!FScanThreads->IsEmpty());
    const TFileSystemNode *selected = GetSelectedNode();
    ActRefreshNode->setEnabled(selected != nullptr);
    ActSaveScanResult->setEnabled(CanSaveScanResult());
}

// ---------------------------------------------------------------- options

void TFormMain::ApplySettings(const TSettings &settings)
{
    FTimerTreeRefresh.setInterval(std::clamp(settings.TreeViewRefreshRate(), 100, 10000));
    FOptions.FileSizeRounding = settings.FileSizeRounding();
    FFileSizeStrProc = FOptions.FileSizeRounding == rsBankers ? FileSizeToStrRounded : FileSizeToStrTruncated;
    TZuBarChartPainterClass painterClass
        = TZuBarChartPainterRegistry::GetInstance().FindClassByClassName(settings.BarChartPainterClass());
    FPercentBarPainter = painterClass ? painterClass->Create() : PainterClassOf<TDefaultBarChartPainter>()->Create();
    FPaintBackgroundShape = settings.PaintOptions().Contains(poPaintBackgroundShape);
    FOptions.GroupSmallFiles = settings.GroupSmallFiles();
    FOptions.GroupFileSize = settings.GroupFileSize();
    FOptions.MaxMruItems = settings.MaxMruItems();
    FMRUDirList.SetMaxItems(settings.MaxMruItems());
    FTree->viewport()->update();
}

namespace {

// The header of the tree as the layout texts see it.
class THeaderColumns final : public IColumnCollection
{
public:
    explicit THeaderColumns(QHeaderView &header)
        : FHeader(header)
    { }
    [[nodiscard]] int Count() const override { return FHeader.count(); }
    [[nodiscard]] int Width(int column) const override
    {
        return FHeader.isSectionHidden(column) ? FHidden.value(column, FHeader.defaultSectionSize())
                                               : FHeader.sectionSize(column);
    }
    void SetWidth(int column, int width) override
    {
        FHidden[column] = width;
        if (FHeader.sectionResizeMode(column) != QHeaderView::Stretch)
            FHeader.resizeSection(column, width);
    }
    [[nodiscard]] bool Visible(int column) const override { return !FHeader.isSectionHidden(column); }
    void SetVisible(int column, bool visible) override { FHeader.setSectionHidden(column, !visible); }
    [[nodiscard]] int Position(int column) const override { return FHeader.visualIndex(column); }
    void SetPosition(int column, int position) override { FHeader.moveSection(FHeader.visualIndex(column), position); }

private:
    QHeaderView &FHeader;
    QMap<int, int> FHidden;
};

// "%d,%d,%d,%d" or with ";": four integers, or false.
bool ParseRect(const std::string &text, QRect &rect)
{
    std::vector<std::string> parts;
    SplitText(text, ",;", parts);
    if (parts.size() != 4)
        return false;
    int v[4];
    for (int i = 0; i < 4; ++i)
        if (!TryStrToInt(parts[static_cast<std::size_t>(i)], v[i]))
            return false;
    rect = QRect(QPoint(v[0], v[1]), QPoint(v[2] - 1, v[3] - 1));
    return true;
}

} // namespace

void TFormMain::StoreTreeViewState(TTreeViewState *state)
{
    if (!state)
        return;
    THeaderColumns columns(*FTree->header());
    state->SetColumnWidths(ColumnWidthsToString(columns));
    state->SetColumnPositions(ColumnPositionsToString(columns));
    state->SetSortColumn(FModel->SortColumn());
    state->SetSortDirection(FModel->SortOrder() == Qt::AscendingOrder ? 0 : 1);
}

void TFormMain::ApplyTreeViewState(TTreeViewState *state)
{
    if (!state)
        return;
    THeaderColumns columns(*FTree->header());
    StringToColumnWidths(state->ColumnWidths(), columns);
    StringToColumnPositions(state->ColumnPositions(), columns);
    const int column
        = state->SortColumn() >= 0 && state->SortColumn() < TFileTreeModel::ColumnCount ? state->SortColumn() : 1;
    const Qt::SortOrder order = state->SortDirection() == 0 ? Qt::AscendingOrder : Qt::DescendingOrder;
    FModel->sort(column, order);
    FTree->header()->setSortIndicator(column, order);
}

void TFormMain::LoadFormSettings()
{
    try {
        const int state = FSettings.ReadScreenSettingInt("WindowState", 0);
        const QRect screen
            = QGuiApplication::primaryScreen() ? QGuiApplication::primaryScreen()->geometry() : QRect(0, 0, 800, 600);
        const QRect work
            = QGuiApplication::primaryScreen() ? QGuiApplication::primaryScreen()->availableGeometry() : screen;
        QRect defaults;
        if (work.width() < 800) {
            defaults.setLeft(work.left());
            defaults.setRight(work.right());
        } else {
            defaults.setLeft((screen.width() - 800) / 2);
            defaults.setWidth(800);
        }
        if (work.height() < 600) {
            defaults.setTop(work.top());
            defaults.setBottom(work.bottom());
        } else {
            defaults.setTop((screen.height() - 600) / 2);
            defaults.setHeight(600);
        }
        if (state == 2) {
            setGeometry(defaults);
            setWindowState(Qt::WindowMaximized);
        } else {
            QRect bounds;
            if (!ParseRect(FSettings.ReadScreenSetting("Position", ""), bounds) || bounds.width() <= 0
                || bounds.height() <= 0)
                bounds = defaults;
            setGeometry(bounds);
        }
        FTreeViewStates.LoadFrom(FSettings);
        ApplyTreeViewState(FActiveTreeViewState);
        FMRUDirList.LoadStoredText(FSettings.ReadSettingStr("MRUDirList", ""));
    } catch (const std::exception &e) {
        ExceptionBox(e);
    }
}

void TFormMain::SaveFormSettings()
{
    // One replacement of the file for all keys instead of one per key. What was written
    // before a failing step is still stored.
    std::optional<TIniFile::TUpdate> batch;
    try {
        batch.emplace(FSettings.IniFile());
        const int state = isMaximized() ? 2 : (isMinimized() ? 1 : 0);
        FSettings.SaveScreenInt("WindowState", state);
        const QRect r = geometry();
        char text[64];
        std::snprintf(text, sizeof text, "%d,%d,%d,%d", r.left(), r.top(), r.right() + 1, r.bottom() + 1);
        FSettings.SaveScreenStr("Position", text);
        StoreTreeViewState(FActiveTreeViewState);
        FTreeViewStates.SaveTo(FSettings);
        // The stored form keeps its enclosing quotes, so names with blanks come back whole.
        FSettings.SaveSettingStr("MRUDirList", FMRUDirList.StoredText());
    } catch (const std::exception &e) {
        ExceptionBox(e);
    }
    try {
        if (batch)
            batch->Commit();
    } catch (const std::exception &e) {
        ExceptionBox(e);
    }
}

// ---------------------------------------------------------------- tree view callbacks

QString TFormMain::HeaderText(int column) const
{
    switch (column) {
    case 0:
        return Tr(_("Name"));
    case 1:
        return Tr(_("Size"));
    case 2:
        return Tr(_("Files"));
    case 3:
        return Tr(_("Percent"));
    case 4:
        return Tr(_("Date"));
    default:
        return {};
    }
}

QString TFormMain::GetText(const TFileSystemNode *node, int column, TTextType type) const
{
    if (type == TTextType::Static) {
        if (!node || column != 0)
            return {};
        if (node->ErrorCode() != 0)
            return QString::fromStdString(Platform().System->ErrorMessage(node->ErrorCode()));
        if (node->FileType() == fstDrive)
            if (auto *root = dynamic_cast<const TRootDirNode *>(node))
                return QString::fromStdString(FFileSizeStrProc(root->FreeDiskSize())) + QLatin1Char(' ')
                    + Tr(_("free"));
        return {};
    }
    switch (column) {
    case 0:
        return node ? DecodeName(node->GetDisplayName()) : Tr(_("Please choose a folder"));
    case 1:
        if (node && node->ErrorCode() == 0)
            return QString::fromStdString(FFileSizeStrProc(node->GetSize()));
        return QStringLiteral("?");
    case 2:
        if (!node)
            return {};
        if (node->IsSymLink())
            return QStringLiteral("<LINK>");
        if (node->ErrorCode() != 0)
            return QStringLiteral("?");
        return QLocale::system().toString(static_cast<qlonglong>(node->FileCount()));
    case 3:
        return QStringLiteral(" ");
    case 4:
        if (node && node->Timestamp() > 0) {
            const QLocale locale = QLocale::system();
            return locale.toString(FromDateTimeValue(node->Timestamp()),
                locale.dateFormat(QLocale::ShortFormat) + QLatin1Char(' ') + locale.timeFormat(QLocale::ShortFormat));
        }
        return QStringLiteral("-");
    default:
        return {};
    }
}

bool TFormMain::GetCellIsEmpty(const TFileSystemNode *node, int) const
{
    return !node || node->ErrorCode() != 0;
}

void TFormMain::PaintText(
    const TFileSystemNode *node, int column, TTextType type, bool selected, QFont &font, QColor &color) const
{
    const QPalette palette = FTree->palette();
    const QColor highlightText = palette.color(QPalette::HighlightedText);
    if (type == TTextType::Normal) {
        if (!node) {
            font.setItalic(true);
            color = selected ? highlightText : palette.color(QPalette::Disabled, QPalette::Text);
            if (!selected && color == palette.color(QPalette::Text))
                color = QColor(128, 128, 128);
            return;
        }
        // Small-files groups keep the normal colour: the platform is newer than version 5.
        if (column == 0 && node->FileType() != fstFileGroup && !selected && node->IsCompressed())
            color = ToQColor(GetExplorerAltColor());
        return;
    }
    if (!node || column != 0)
        return;
    if (node->ErrorCode() != 0) {
        font.setItalic(true);
        color = selected ? highlightText : QColor(255, 144, 144);
    } else if (dynamic_cast<const TRootNode *>(node)) {
        color = selected ? highlightText : QColor(128, 128, 128);
    }
}

QString TFormMain::PercentText(double ratio)
{
    // Ties go to the even tenth, whatever rounding mode the process runs in.
    const int saved = std::fegetround();
    std::fesetround(FE_TONEAREST);
    const double tenths = std::nearbyint(ratio * 1000.0);
    std::fesetround(saved);
    const double percent = tenths / 10.0;
    return QLocale::system().toString(percent, 'g', QLocale::FloatingPointShortest) + QLatin1Char('%');
}

void TFormMain::PaintPercentBar(const TFileSystemNode *node, QPainter &painter, const QRect &cellRect, bool selected)
{
    const QRect rect = cellRect.adjusted(1, 1, -1, -1);
    TCanvas canvas(painter);
    canvas.SetFont(FTree->font());
    const TRect r = ToTRect(rect);
    if (FPaintBackgroundShape && !selected)
        FBackgroundPainter->DrawBar(canvas, r, QString(), 1.0);
    if (!FPaintNode || !node || FPaintNode->GetSize() <= 0)
        return;
    const long double ratioExact
        = static_cast<long double>(node->GetSize()) / static_cast<long double>(FPaintNode->GetSize());
    const auto ratio = static_cast<double>(ratioExact);
    if (ratio > 1.0) {
        char text[64];
        std::snprintf(text, sizeof text, "%.4f", ratio);
        std::string value(text);
        while (!value.empty() && value.back() == '0')
            value.pop_back();
        if (!value.empty() && value.back() == '.')
            value.pop_back();
        Platform().System->DebugOutput("ratio = " + value + ", " + node->GetFullPathName());
    }
    const QString text = PercentText(ratio);
    if (selected) {
        canvas.SetBrushColor(FromQColor(FTree->palette().color(QPalette::Highlight)));
        FPercentBarPainter->DrawSelectedBar(canvas, r, text, ratio);
    } else {
        FPercentBarPainter->DrawBar(canvas, r, text, ratio);
    }
}

int TFormMain::GetUnknownSysIconIndex()
{
    if (FSystemIconIndexUnknown < 0)
        FSystemIconIndexUnknown = UnknownFileIconIndex();
    return FSystemIconIndexUnknown;
}

int TFormMain::GetFileSysIconIndex(const std::string &path)
{
    const std::int32_t known = FShellFilePropsList.PopSysIconIndex(path);
    if (known >= -1)
        return known;
    auto request = std::make_unique<TSHGetFileInfoProperties>(path);
    auto copy = std::make_unique<TSHGetFileInfoProperties>(path);
    copy->Assign(*request);
    FShellFilePropsList.Add(std::move(copy));
    if (FShellFileIconThread)
        FShellFileIconThread->Push(std::move(request));
    return -1;
}

void TFormMain::WMShellFileIcon(std::int32_t uniqueId, std::int32_t sysIconIndex)
{
    FShellFilePropsList.LinkSysIconWithPath(uniqueId, sysIconIndex);
    FTree->viewport()->update();
}

void TFormMain::TimerGarbageTimer()
{
    const int removed = FShellFilePropsList.RemoveOutdatedItems(
        TSHGetFileInfoProperties::TClock::now() - std::chrono::milliseconds(10000));
    if (removed > 0)
        ZU_LOG_DEBUG("RemoveOutdatedItems: " + std::to_string(removed));
}

QIcon TFormMain::GetImage(const TFileSystemNode *node, int column, TImageKind kind, bool expanded, bool &ghosted)
{
    if (!node)
        return {};
    if (column == 1 && kind == TImageKind::State) {
        if (node->IsGroup() && static_cast<const TGroupNode *>(node)->Scanning())
            return FPngImageList1[static_cast<std::size_t>(FAniSearchImageIndex)];
        return {};
    }
    if (column != 0)
        return {};
    if (kind == TImageKind::Overlay) {
        if (node->FileType() == fstFileGroup)
            return FImgListOverlay[18];
        if (node->FileType() == fstDirectory && static_cast<const TGroupNode *>(node)->IsScanCanceled())
            return FImgListOverlay[19];
        return {};
    }
    if (kind != TImageKind::Normal && kind != TImageKind::Selected)
        return {};
    if (node->IsSymLink())
        return FImgListTreeView[5];
    ghosted = node->IsHidden();
    const TFileType type = node->FileType();
    if (type == fstComputer)
        return FImgListTreeView[4];
    TSysImageList &images = TSysImageList::Instance();
    const int closed = FShellFolders.GetClosedFolderIcon().IconIndex;
    const int open = FShellFolders.GetOpenFolderIcon().IconIndex;
    int index = node->GetImageIndex();
    if (index < 0) {
        const std::string path = node->GetFullPathName();
        if (type == fstDrive || type == fstDirectory) {
            if (!DirectoryExists(path))
                return {};
            index = FShellFolders.GetSysIconIndex(path);
            if (index < 0)
                index = expanded ? open : closed;
            if (index < 0)
                return FImgListTreeView[expanded ? 1 : 0];
        } else {
            index = GetFileSysIconIndex(path);
        }
        if (index < 0)
            return images.Icon(GetUnknownSysIconIndex());
        const_cast<TFileSystemNode *>(node)->SetImageIndex(index);
        return images.Icon(index);
    }
    if (type != fstDirectory || (index != open && index != closed))
        return images.Icon(index);
    return images.Icon(expanded ? open : closed);
}

int TFormMain::CompareNodes(const TFileSystemNode *a, const TFileSystemNode *b, int column) const
{
    switch (column) {
    case 0: {
        const int c = QString::localeAwareCompare(DecodeName(a->Name()), DecodeName(b->Name()));
        return c < 0 ? -1 : (c > 0 ? 1 : 0);
    }
    case 1:
    case 3: {
        const std::int64_t sa = a->GetSize();
        const std::int64_t sb = b->GetSize();
        return sa > sb ? 1 : (sa < sb ? -1 : 0);
    }
    case 2: {
        const std::int32_t fa = a->FileCount();
        const std::int32_t fb = b->FileCount();
        return fa > fb ? 1 : (fa < fb ? -1 : 0);
    }
    case 4:
        return a->Timestamp() > b->Timestamp() ? 1 : (a->Timestamp() < b->Timestamp() ? -1 : 0);
    default:
        return 0;
    }
}

// ---------------------------------------------------------------- rows

TFileSystemNode *TFormMain::GetSelectedNode() const
{
    const QModelIndexList rows = FTree->selectionModel()->selectedRows();
    if (rows.isEmpty())
        return nullptr;
    TFileTreeModel::TAccess access = FModel->Access(rows.front());
    return access.Node();
}

void TFormMain::PopulateTree()
{
    const TFileSystemNode *focused = FModel->NodeOf(FTree->currentIndex());
    FSelectedNodes.clear();
    for (const QModelIndex &index : FTree->selectionModel()->selectedRows())
        if (TFileSystemNode *node = FModel->NodeOf(index))
            FSelectedNodes.push_back(node);
    FTree->setUpdatesEnabled(false);
    const QSignalBlocker blocker(FTree->selectionModel());
    FModel->Rebuild(true);
    QItemSelection selection;
    QModelIndex focusIndex;
    if (FModel->TopRowCount() > 0)
        RestoreRows(FModel->index(0, 0), focused, selection, focusIndex);
    if (!selection.isEmpty())
        FTree->selectionModel()->select(selection, QItemSelectionModel::Select | QItemSelectionModel::Rows);
    if (focusIndex.isValid())
        FTree->selectionModel()->setCurrentIndex(focusIndex, QItemSelectionModel::NoUpdate);
    FTree->setUpdatesEnabled(true);
}

void TFormMain::RestoreRows(
    const QModelIndex &index, const TFileSystemNode *focused, QItemSelection &selection, QModelIndex &focusIndex)
{
    TFileSystemNode *node = FModel->NodeOf(index); // for identity only
    bool spanned = false;
    {
        // A scan thread may fold a small-files group away meanwhile: read through the access.
        const TFileTreeModel::TAccess access = FModel->Access(index);
        spanned = !access.Stale() && GetCellIsEmpty(access.Node(), 0);
    }
    if (spanned)
        FTree->setFirstColumnSpanned(index.row(), index.parent(), true);
    if (node) {
        if (auto it = std::find(FSelectedNodes.begin(), FSelectedNodes.end(), node); it != FSelectedNodes.end()) {
            selection.select(index, index.siblingAtColumn(TFileTreeModel::ColumnCount - 1));
            FSelectedNodes.erase(it);
        }
        if (node == focused && !focusIndex.isValid())
            focusIndex = index;
    }
    if (!FModel->WasExpanded(index))
        return;
    FTree->expand(index);
    const int count = FModel->rowCount(index);
    for (int i = 0; i < count; ++i)
        RestoreRows(FModel->index(i, 0, index), focused, selection, focusIndex);
}

void TFormMain::SetSpans(const QModelIndex &parent)
{
    const int count = FModel->rowCount(parent);
    for (int i = 0; i < count; ++i) {
        const QModelIndex child = FModel->index(i, 0, parent);
        TFileTreeModel::TAccess access = FModel->Access(child);
        if (access.Node() && access.Node()->ErrorCode() != 0)
            FTree->setFirstColumnSpanned(i, parent, true);
    }
}

void TFormMain::RefreshTree()
{
    const int x = FTree->horizontalScrollBar()->value();
    const int y = FTree->verticalScrollBar()->value();
    PopulateTree();
    // Lay the rows out now, or the scroll bars keep the range of the emptied tree.
    FTree->doItemsLayout();
    FTree->horizontalScrollBar()->setValue(x);
    FTree->verticalScrollBar()->setValue(y);
}

void TFormMain::TreeExpandedChanged(const QModelIndex &index, bool expanded)
{
    TFileTreeModel::TAccess access = FModel->Access(index);
    if (access.Node() && access.Node()->IsGroup())
        static_cast<TGroupNode *>(access.Node())->SetExpanded(expanded);
    if (expanded)
        SetSpans(index);
}

void TFormMain::TreeHeaderClick(int column)
{
    Qt::SortOrder order = FModel->SortOrder();
    if (column == FModel->SortColumn())
        order = order == Qt::AscendingOrder ? Qt::DescendingOrder : Qt::AscendingOrder;
    FModel->sort(column, order);
    FTree->header()->setSortIndicator(column, order);
}

void TFormMain::TreeDoubleClick(const QModelIndex &index)
{
    if (FModel->IsPlaceholder(index))
        ActDirSelectExecute();
}

void TFormMain::UpdateStatusFromSelection()
{
    const QModelIndex current = FTree->currentIndex();
    TFileTreeModel::TAccess access = FModel->Access(current);
    const TFileSystemNode *node = access.Node();
    if (!node)
        return;
    SetStatusText(0, DecodeName(node->GetFullPathName()));
    SetStatusText(1, QLocale::system().toString(static_cast<qlonglong>(node->GetSize())) + QStringLiteral(" Bytes"));
}

void TFormMain::InvalidateAndScrollTo(const TFileSystemNode *node)
{
    const QModelIndex index = FModel->FindCreatedRow(node);
    if (!index.isValid() || !FTree->visualRect(index).isValid()) {
        if (!index.isValid())
            return;
    }
    for (QModelIndex up = index.parent(); up.isValid(); up = up.parent())
        if (!FTree->isExpanded(up))
            return;
    FTree->update(index);
    FTree->scrollTo(index, QAbstractItemView::PositionAtCenter);
}

// ---------------------------------------------------------------- status

void TFormMain::SetStatusText(int panel, const QString &text)
{
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
    SetStatusText(1, QLocale::system().toString(seconds, 'f', 2) + QLatin1Char(' ') + Tr(_("sec.")));
}

// ---------------------------------------------------------------- scan control

bool TFormMain::IsMainScanRunning() const
{
    return FMainScanThread != nullptr && FThreadRoots.count(FMainScanThread) > 0;
}

void TFormMain::StartScanTimers()
{
    FTimerAniSearch.start();
    FTimerTreeRefresh.start();
    FTimerStatusBar.start();
}

void TFormMain::StopScanTimers()
{
    FTimerAniSearch.stop();
    FTimerTreeRefresh.stop();
    FTimerStatusBar.stop();
}

TDirScanThread *TFormMain::StartScanThread(TDirNode *node, bool mainThread)
{
    TDirScanOptions options;
    if (FRootNode)
        options.GroupFileSize = FRootNode->GroupFileSize();
    options.MaxNumberOfTopItems = static_cast<std::uint16_t>(std::clamp(FOptions.MaxMruItems, 0, 65535));
    TDirScanThread *thread = FScanThreads->Add(node, options);
    if (!thread)
        return nullptr;
    FThreadRoots[thread] = TThreadEntry {node};
    QPointer<TFormMain> self(this);
    thread->SetOnTerminate([self, mainThread](TDirScanThread &t) {
        if (!self)
            return;
        if (mainThread)
            self->MainScanThreadTerminate(t);
        else
            self->DirScanThreadTerminate(t);
    });
    thread->Start();
    StartScanTimers();
    return thread;
}

void TFormMain::DiscardTree(std::unique_ptr<TRootNode> root)
{
    std::erase_if(FDestroyThreads, [](const auto &t) { return t->Finished(); });
    if (!root)
        return;
    auto thread = std::make_unique<TDestroyGroupNodeThread>(std::move(root));
    thread->Start();
    FDestroyThreads.push_back(std::move(thread));
}

void TFormMain::SetActiveRoot(TRootNode *node)
{
    FPaintNode = node;
    StoreTreeViewState(FActiveTreeViewState);
    FActiveTreeViewState = &FTreeViewStates.DirScanView();
    ApplyTreeViewState(FActiveTreeViewState);
}

void TFormMain::ProcessPath(const std::string &path, bool forceRescan)
{
    FTree->setVisible(true);
    FTree->setEnabled(true);
    FTree->setFocus();
    UpdateStatusFromSelection();

    if (!forceRescan && FRootNode && !FRootNode->IsScanCanceled()) {
        const std::string rootPath = FRootNode->GetFullPathName();
        const std::string target = ExcludeTrailingPathDelimiter(path);
        if (!rootPath.empty() && PathStartsWith(path, rootPath)) {
            TFileSystemNode *node = SamePath(ExcludeTrailingPathDelimiter(rootPath), target)
                ? FRootNode.get()
                : FRootNode->FindChildNodePath(target);
            auto *dir = dynamic_cast<TDirNode *>(node);
            if (dir && dir->FileType() != fstFileGroup && !dir->Scanning()) {
                FPaintNode = dir;
                RefreshTree();
                return;
            }
        }
    }
    ScanRootDir(path);
}

bool TFormMain::ThreadsRunning() const
{
    // A thread leaves the list before its termination handler runs; until that handler has
    // run, the thread's nodes must stay.
    return !FScanThreads->IsEmpty() || !FThreadRoots.empty();
}

void TFormMain::ScanRootDir(const std::string &path)
{
    if (ThreadsRunning()) {
        FWaitForScanDir = path;
        FScanThreads->StopAll();
        return;
    }
    if (!IsDriveRoot(path) && DirectoryExists(path))
        FMRUDirList.AddDirectory(path);
    FLastScanDir = path;
    FWaitForScanDir.clear();
    FShellFilePropsList.Clear();
    setWindowTitle(QStringLiteral("Zumbrel - ") + DecodeName(path));
    FModel->Rebuild(false);
    ShowScanDuration(-1);
    FPendingRescans.clear();
    FSelectedNodes.clear();
    FPaintNode = nullptr;
    DiscardTree(std::move(FRootNode));

    auto root = std::make_unique<TRootDirNode>();
    TRootDirNode *rootNode = root.get();
    FRootNode = std::move(root);
    SetActiveRoot(rootNode);
    rootNode->SetName(path);
    rootNode->SetTimestamp(FileTimestamp(path));
    rootNode->SetGroupFileSize(FOptions.GroupSmallFiles ? FOptions.GroupFileSize : 0);
    FMainScanThread = StartScanThread(rootNode, true);
    RefreshTree();
    UpdateActions();
}

void TFormMain::ScanFixedDrives()
{
    if (ThreadsRunning()) {
        FWaitForScanDir = LocalDrivesCaption();
        FScanThreads->StopAll();
        return;
    }
    FWaitForScanDir.clear();
    FShellFilePropsList.Clear();
    setWindowTitle(QStringLiteral("Zumbrel - ") + QString::fromStdString(LocalDrivesCaption()));
    FModel->Rebuild(false);
    ShowScanDuration(-1);
    FPendingRescans.clear();
    FSelectedNodes.clear();
    FPaintNode = nullptr;
    FRootNode.reset();

    auto root = std::make_unique<TFixedDrivesNode>();
    TFixedDrivesNode *rootNode = root.get();
    FRootNode = std::move(root);
    SetActiveRoot(rootNode);
    rootNode->SetScanning(true);
    rootNode->SetGroupFileSize(FOptions.GroupSmallFiles ? FOptions.GroupFileSize : 0);
    std::vector<TDirNode *> drives;
    {
        std::scoped_lock guard(rootNode->ChildLock());
        for (std::int32_t i = 0; i < rootNode->InterlockedChildCount(); ++i)
            if (auto *drive = dynamic_cast<TDirNode *>(rootNode->GetUnlockedChildNode(i)))
                drives.push_back(drive);
    }
    for (TDirNode *drive : drives)
        StartScanThread(drive, false);
    if (FThreadRoots.empty())
        rootNode->SetScanning(false);
    RefreshTree();
    UpdateActions();
}

bool TFormMain::HasThreadBelow(const TGroupNode *node) const
{
    for (const auto &[thread, entry] : FThreadRoots)
        for (const TGroupNode *up = entry.Root->Parent(); up; up = up->Parent())
            if (up == node)
                return true;
    return false;
}

void TFormMain::ScanSubDirNode(TDirNode *node)
{
    if (!node || FScanThreads->IsFull()) {
        ZU_LOG_DEBUG("exit ScanSubDirNode");
        return;
    }
    ZU_LOG_INFO("ScanSubDir: " + node->GetFullPathName());
    // A folder whose ancestor is still being scanned counts as being scanned: that scan adds
    // the folder's old totals to its ancestors when it gets back up.
    bool scanning = node->Scanning();
    for (const TGroupNode *up = node->Parent(); up && !scanning; up = up->Parent())
        scanning = up->Scanning();
    if (scanning) {
        ZU_LOG_DEBUG("already scanning");
        return;
    }
    if (HasThreadBelow(node)) {
        // The threads below are stopped, but their nodes are freed only once every one of them
        // has ended: until its termination handler has run, a thread may still touch its root
        // and that root's parents.
        if (FScanThreads->StopAllChildren(node) > 0)
            ZU_LOG_DEBUG("children stopped");
        if (std::find(FPendingRescans.begin(), FPendingRescans.end(), node) == FPendingRescans.end())
            FPendingRescans.push_back(node);
        return;
    }
    RescanNow(node);
}

void TFormMain::RescanNow(TDirNode *node)
{
    // Pending rescans inside this directory go with its old children.
    std::erase_if(FPendingRescans, [node](TDirNode *pending) {
        for (const TGroupNode *up = pending->Parent(); up; up = up->Parent())
            if (up == node)
                return true;
        return false;
    });
    const std::string name(node->Name());
    const bool expanded = node->IsExpanded();
    node->Clear();
    node->SetScanning(true);
    node->SetName(name);
    node->SetExpanded(expanded);
    RefreshTree();
    if (!StartScanThread(node, false))
        node->SetScanning(false);
}

void TFormMain::RunPendingRescans()
{
    std::vector<TDirNode *> pending = FPendingRescans;
    for (TDirNode *node : pending) {
        if (std::find(FPendingRescans.begin(), FPendingRescans.end(), node) == FPendingRescans.end())
            continue; // dropped by an earlier rescan of an ancestor
        if (HasThreadBelow(node) || FScanThreads->IsFull())
            continue;
        std::erase(FPendingRescans, node);
        if (!node->Scanning())
            RescanNow(node);
    }
}

void TFormMain::DirScanThreadTerminate(TDirScanThread &thread)
{
    if (FShutDown)
        return; // the tree is gone
    TDirNode *root = thread.DirScanner().RootNode();
    FThreadRoots.erase(&thread);
    if (!ThreadsRunning())
        ScanFinished(thread);
    for (TGroupNode *up = root->Parent(); up && dynamic_cast<TDirNode *>(up); up = up->Parent()) {
        up->RecalcSizeAndFileCount();
        InvalidateAndScrollTo(up);
    }
    InvalidateAndScrollTo(root);
    PostPendingRequest();
}

void TFormMain::MainScanThreadTerminate(TDirScanThread &thread)
{
    Platform().System->DebugOutput("Scan Thread terminated");
    if (FShutDown)
        return;
    FMainScanThread = nullptr;
    FThreadRoots.erase(&thread);
    if (!ThreadsRunning())
        ScanFinished(thread);
    PostPendingRequest();
}

void TFormMain::ScanFinished(TDirScanThread &thread)
{
    if (FRootNode)
        FRootNode->SetScanning(false);
    StopScanTimers();
    SetStatusText(0, QString());
    ShowScanDuration(thread.DirScanner().ScanSeconds());
    SetApplicationTitle(QStringLiteral("Zumbrel"));
    RefreshTree();
    UpdateActions();
}

void TFormMain::PostPendingRequest()
{
    if ((FWaitForScanDir.empty() && FPendingRescans.empty()) || FPendingPosted)
        return;
    // Never inside a termination handler: the thread that runs it is still waiting for it.
    FPendingPosted = true;
    QMetaObject::invokeMethod(
        this, [this] { StartPendingRequest(); }, Qt::QueuedConnection);
}

void TFormMain::StartPendingRequest()
{
    FPendingPosted = false;
    if (FShutDown)
        return;
    if (!FWaitForScanDir.empty()) {
        const std::string request = FWaitForScanDir;
        if (request != LocalDrivesCaption())
            ScanRootDir(request);
        else
            ScanFixedDrives();
    }
    RunPendingRescans();
}

void TFormMain::ProcessCommandLine(const std::vector<std::string> &args, const std::string &commandLine)
{
    std::string line = commandLine;
    if (line.empty())
        for (const std::string &arg : args)
            line += (line.empty() ? "" : " ") + arg;
    ZU_LOG_INFO("CmdLine: " + line);
    if (!args.empty() && DirectoryExists(args.front())) {
        // The folder is shown at once rather than behind a start page.
        ProcessPath(args.front(), false);
        QCoreApplication::processEvents();
    }
}

// ---------------------------------------------------------------- commands

void TFormMain::ActDirSelectExecute()
{
    std::string folder;
    if (BrowseForFolder(this, _("Please choose a drive or folder you would like to analyze:"), FLastScanDir, folder))
        ProcessPath(folder, false);
}

void TFormMain::ActRefreshExecute()
{
    if (dynamic_cast<TFixedDrivesNode *>(FRootNode.get()))
        ScanFixedDrives();
    else if (FRootNode)
        ProcessPath(std::string(FRootNode->Name()), true);
}

void TFormMain::ActStopScanExecute()
{
    FScanThreads->StopAll();
}

void TFormMain::ActRefreshNodeExecute()
{
    QItemSelectionModel *selection = FTree->selectionModel();
    const QModelIndexList rows = selection->selectedRows();
    std::vector<TDirNode *> targets;
    for (const QModelIndex &index : rows) {
        TFileTreeModel::TAccess access = FModel->Access(index);
        TFileSystemNode *node = access.Node();
        if (!node)
            continue;
        if (auto *dir = dynamic_cast<TDirNode *>(node); dir && node->FileType() != fstFileGroup) {
            targets.push_back(dir);
            continue;
        }
        TGroupNode *parent = node->Parent();
        if (parent && parent->FileType() == fstFileGroup)
            parent = parent->Parent();
        auto *parentDir = dynamic_cast<TDirNode *>(parent);
        if (!parentDir)
            continue;
        QModelIndex parentRow = index.parent();
        while (parentRow.isValid() && FModel->NodeOf(parentRow) != parentDir)
            parentRow = parentRow.parent();
        if (parentRow.isValid()) {
            const bool focusInside
                = FTree->currentIndex().parent() == index.parent() || FTree->currentIndex().parent() == parentRow;
            selection->select(index, QItemSelectionModel::Deselect | QItemSelectionModel::Rows);
            selection->select(parentRow, QItemSelectionModel::Select | QItemSelectionModel::Rows);
            if (focusInside)
                selection->setCurrentIndex(parentRow, QItemSelectionModel::NoUpdate);
        }
        targets.push_back(parentDir);
    }
    for (TDirNode *target : targets)
        ScanSubDirNode(target);
}

bool TFormMain::CanSaveScanResult() const
{
    return !IsMainScanRunning() && FRootNode && FRootNode->HasChildren();
}

std::string TFormMain::ProposedSaveFileName(const std::string &displayName)
{
    std::string name = displayName;
    RemoveChars(name, ":");
    return MakeFileName(name, '_', " ");
}

void TFormMain::SaveScanResult(const std::string &fileName, int filterIndex)
{
    if (!FRootNode)
        return;
    const TExportClass &exportClass = ExportRegistry().GetExportClass(filterIndex - 1);
    std::unique_ptr<TTreeTypesExport> exporter = CreateExport(exportClass, FRootNode.get(), FOptions.FileSizeRounding);
    exporter->SaveToFile(fileName);
}

void TFormMain::ActSaveScanResultExecute()
{
    if (!CanSaveScanResult())
        return;
    TExportRegistry &registry = ExportRegistry();
    int filterIndex = std::clamp(
        FSettings.ReadSettingInt("LastFilterIndex", 1), 1, std::max(1, static_cast<int>(registry.Count())));
    // "desc (*.ext)|*.ext|..." becomes Qt's "desc (*.ext);;...".
    std::vector<std::string> parts;
    SplitText(registry.GetExportFilters(), "|", parts);
    QStringList filters;
    for (std::size_t i = 0; i < parts.size(); i += 2)
        filters << QString::fromStdString(parts[i]);
    std::string dir = FSettings.ReadSettingStr("LastSaveDir", "");
    if (dir.empty()) {
        dir = DocumentsFolder() + "Zumbrel";
        if (!QDir().mkpath(DecodeName(dir)))
            dir.clear();
    }
    const std::string proposed
        = ProposedSaveFileName(FRootNode->GetDisplayName()) + registry.GetExtension(filterIndex - 1);
    QString selectedFilter = filters.value(filterIndex - 1);
    const QString chosen = QFileDialog::getSaveFileName(this, Tr(_("Save Analysis Result")),
        DecodeName(IncludeTrailingPathDelimiter(dir) + proposed), filters.join(QStringLiteral(";;")), &selectedFilter);
    if (chosen.isEmpty())
        return;
    filterIndex = std::max(1, static_cast<int>(filters.indexOf(selectedFilter)) + 1);
    std::string fileName = EncodeName(chosen);
    const std::string ext = registry.GetExtension(filterIndex - 1);
    if (QFileInfo(chosen).suffix().isEmpty()) {
        fileName += ext;
        // The dialog asked about the name without the extension; ask about the real one.
        if (QFileInfo::exists(DecodeName(fileName))) {
            std::string question = _("The file \"%s\" already exists. Do you want to replace it?");
            question.replace(question.find("%s"), 2, fileName);
            if (!ConfirmBox(question))
                return;
        }
    }
    try {
        FSettings.SaveSettingStr(
            "LastSaveDir", IncludeTrailingPathDelimiter(EncodeName(QFileInfo(chosen).absolutePath())));
        FSettings.SaveSettingInt("LastFilterIndex", filterIndex);
    } catch (const std::exception &e) {
        // The settings file failing must not cost the user the saved analysis.
        ProgramLogger().ErrorMsg(e.what(), &e);
    }
    QApplication::setOverrideCursor(Qt::WaitCursor);
    try {
        SaveScanResult(fileName, filterIndex);
    } catch (const std::exception &e) {
        QApplication::restoreOverrideCursor();
        // A save that failed (a full disk, a folder without write permission) must not pass
        // for done: the old file is untouched and the user learns why.
        ProgramLogger().ErrorMsg(e.what(), &e);
        ExceptionBox(e);
        return;
    }
    QApplication::restoreOverrideCursor();
}

void TFormMain::OnDriveChange(const char *what, const std::string &path)
{
    FShellDriveList.RefreshDrives();
    ZU_LOG_INFO(what + path);
}
