#include <algorithm>

#include <QItemSelectionModel>
#include <QLocale>
#include <QMenuBar>
#include <QShortcut>
#include <QStackedWidget>
#include <QToolBar>
#include <QTreeView>

#include "common/ByteUnit.h"
#include "common/Translate.h"
#include "paint/Canvas.h"
#include "paint/ZumbrelBarChartPainter.h"
#include "ui/FormMain.h"
#include "ui/ItemContextMenu.h"
#include "ui/LargestFilesView.h"
#include "ui/UiText.h"

// The "Largest Files" view: a flat list of the shown folder's largest files, switchable with
// the folder tree, filled again whenever the tree is (live during a scan).

void TFormMain::CreateLargestFilesView()
{
    FLargestFiles = new TLargestFilesView(this);
    FLargestFiles->Model()->SetSizeText(
        [this](std::int64_t size) { return QString::fromStdString(FFileSizeStrProc(size)); });
    FLargestFiles->Model()->SetPercentText(&TFormMain::PercentText);
    FLargestFiles->SetBarPainter([this](QPainter &painter, const QRect &cellRect, double ratio, bool selected) {
        const QRect rect = cellRect.adjusted(1, 1, -1, -1);
        TCanvas canvas(painter);
        canvas.SetFont(FLargestFiles->font());
        const TRect r = ToTRect(rect);
        if (FPaintBackgroundShape && !selected)
            FBackgroundPainter->DrawBar(canvas, r, QString(), 1.0);
        if (selected) {
            canvas.SetBrushColor(FromQColor(FLargestFiles->palette().color(QPalette::Highlight)));
            FPercentBarPainter->DrawSelectedBar(canvas, r, PercentText(ratio), ratio);
        } else {
            FPercentBarPainter->DrawBar(canvas, r, PercentText(ratio), ratio);
        }
    });

    // The folder tree and the list share the window's centre.
    FViews = new QStackedWidget(this);
    QWidget *tree = takeCentralWidget();
    FViews->addWidget(tree);
    FViews->addWidget(FLargestFiles);
    setCentralWidget(FViews);

    ActLargestFiles = new QAction(Tr(_("&Largest Files")), this);
    ActLargestFiles->setIconText(Tr(_("&Largest Files")));
    ActLargestFiles->setToolTip(Tr(_("Largest Files")));
    ActLargestFiles->setStatusTip(Tr(_("Shows the largest files of the analysis instead of the folder tree")));
    ActLargestFiles->setIcon(ThemeIcon({"view-list-details", "view-list-text"}));
    ActLargestFiles->setCheckable(true);
    ActLargestFiles->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_L));
    connect(ActLargestFiles, &QAction::toggled, this, &TFormMain::ShowLargestFiles);

    FMenuView = new QMenu(Tr(_("&View")), this);
    FMenuView->addAction(ActLargestFiles);
    menuBar()->insertMenu(FMenuExtras->menuAction(), FMenuView);
    FToolBar->addSeparator();
    FToolBar->addAction(ActLargestFiles);

    // The rows take the tree's file commands: the same actions, keys and context menu.
    for (QAction *action : {ActShellOpenFile, ActDelete})
        FLargestFiles->addAction(action);
    auto *permanent = new QShortcut(QKeySequence(Qt::SHIFT | Qt::Key_Delete), FLargestFiles);
    permanent->setContext(Qt::WidgetWithChildrenShortcut);
    connect(permanent, &QShortcut::activated, this, [this] { DeleteSelection(true); });
    connect(FLargestFiles, &QTreeView::doubleClicked, this, [this] { ActShellOpenFileExecute(); });
    FLargestFiles->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(FLargestFiles, &QWidget::customContextMenuRequested, this, &TFormMain::LargestFilesContextMenu);
    connect(FLargestFiles->selectionModel(), &QItemSelectionModel::currentChanged, this, [this](const QModelIndex &i) {
        if (!i.isValid() || i.row() >= FLargestFiles->Model()->rowCount())
            return;
        const TLargeFile &file = FLargestFiles->Model()->File(i.row());
        SetStatusText(0, DecodeName(file.Path()));
        SetStatusText(1,
            QLocale().toString(static_cast<qlonglong>(file.Size)) + QLatin1Char(' ')
                + QString::fromStdString(ByteUnit(file.Size)));
    });
}

bool TFormMain::ShowsLargestFiles() const
{
    return FViews && FViews->currentWidget() == FLargestFiles;
}

void TFormMain::ShowLargestFiles(bool show)
{
    if (ShowsLargestFiles() == show)
        return;
    FViews->setCurrentWidget(show ? static_cast<QWidget *>(FLargestFiles) : FTree);
    if (ActLargestFiles->isChecked() != show)
        ActLargestFiles->setChecked(show);
    RefreshLargestFiles();
    (show ? static_cast<QWidget *>(FLargestFiles) : FTree)->setFocus();
}

void TFormMain::RefreshLargestFiles()
{
    // Walking a large tree costs; a list nobody sees waits until it is shown.
    if (!ShowsLargestFiles())
        return;
    FLargestFiles->Refresh(FPaintNode, FPaintNode ? FPaintNode->GetSize() : 0);
}

void TFormMain::ApplyLargestFilesState()
{
    FLargestFiles->ApplyState(FTreeViewStates.LargeFilesView());
}

void TFormMain::StoreLargestFilesState()
{
    FLargestFiles->StoreState(FTreeViewStates.LargeFilesView());
}

std::vector<int> TFormMain::SelectedLargestFileRows() const
{
    std::vector<int> rows;
    for (const QModelIndex &index : FLargestFiles->selectionModel()->selectedRows())
        if (index.row() < FLargestFiles->Model()->rowCount())
            rows.push_back(index.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

std::vector<TDeleteEntry> TFormMain::SelectedLargestFiles() const
{
    std::vector<TDeleteEntry> entries;
    if (!FRootNode)
        return entries;
    for (const int row : SelectedLargestFileRows()) {
        const TLargeFile &file = FLargestFiles->Model()->File(row);
        // A row whose file has left the tree (a rescan, a delete) stands for nothing.
        if (TFileSystemNode *node = FindLargeFileNode(*FRootNode, file))
            entries.push_back({file.Path(), node});
    }
    return entries;
}

TFileSystemNode *TFormMain::SelectedLargestFile() const
{
    const std::vector<int> rows = SelectedLargestFileRows();
    if (rows.empty() || !FRootNode)
        return nullptr;
    return FindLargeFileNode(*FRootNode, FLargestFiles->Model()->File(rows.front()));
}

void TFormMain::SelectLargestFileRow(int row)
{
    const int count = FLargestFiles->Model()->rowCount();
    if (count == 0 || row < 0)
        return;
    const QModelIndex index = FLargestFiles->Model()->index(std::min(row, count - 1), 0);
    FLargestFiles->selectionModel()->setCurrentIndex(
        index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    FLargestFiles->scrollTo(index);
}

void TFormMain::LargestFilesContextMenu(const QPoint &pos)
{
    const QModelIndex index = FLargestFiles->indexAt(pos);
    if (!index.isValid() || !FRootNode)
        return;
    const TLargeFile file = FLargestFiles->Model()->File(index.row());
    if (!FindLargeFileNode(*FRootNode, file))
        return;
    ::ShowItemContextMenu(
        file.Path(), FLargestFiles->viewport()->mapToGlobal(pos), this,
        [this, file](const std::string &, bool permanent) {
            // Looked up again: the tree may have changed while the menu was open.
            if (FFileOperationRunning || IsMainScanRunning() || !FRootNode)
                return;
            if (TFileSystemNode *node = FindLargeFileNode(*FRootNode, file))
                DeleteEntries({{file.Path(), node}}, permanent);
        },
        CanDeleteFiles());
}

void TFormMain::RetranslateLargestFiles()
{
    FLargestFiles->setAccessibleName(Tr(_("Largest Files")));
    emit FLargestFiles->Model()->headerDataChanged(Qt::Horizontal, 0, TLargestFilesModel::ColumnCount - 1);
    FLargestFiles->viewport()->update();
}
