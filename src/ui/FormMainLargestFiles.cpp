#include <QMenuBar>
#include <QStackedWidget>
#include <QToolBar>
#include <QTreeView>

#include "model/common/Translate.h"
#include "paint/Canvas.h"
#include "paint/ZumbrelBarChartPainter.h"
#include "ui/FormMain.h"
#include "ui/LargestFilesView.h"
#include "ui/UiText.h"

// The "Largest Files" view: a flat list of the shown folder's largest files, switchable with
// the folder tree, filled again whenever the tree is (live during a scan).

void TFormMain::CreateLargestFilesView()
{
    FLargestFiles = new TLargestFilesView(this);
    FLargestFiles->Model()->SetSizeText(
        [this](std::int64_t size) { return QString::fromStdString(FFileSizeStrProc(size)); });
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
