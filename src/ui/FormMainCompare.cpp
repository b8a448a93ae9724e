#include <QApplication>
#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QPainter>
#include <QStatusBar>
#include <QTreeView>

#include "common/FormatText.h"
#include "common/MessageBoxes.h"
#include "common/Translate.h"
#include "import/NcduJsonImport.h"
#include "log/Logger.h"
#include "paint/Canvas.h"
#include "paint/ZumbrelBarChartPainter.h"
#include "ui/FormMain.h"
#include "ui/UiText.h"

// Comparison with a saved analysis: the sizes an ncdu/gdu JSON export recorded, per node of
// the shown analysis, as the "Change" column and the totals of growth and shrinkage.

namespace {

constexpr int ChangeColumn = 5;

std::string SignedSize(TFileSizeStrProc sizeText, std::int64_t change)
{
    if (change == 0)
        return "0";
    return (change > 0 ? "+" : "-") + sizeText(change > 0 ? change : -change);
}

} // namespace

void TFormMain::CreateCompareActions()
{
    ActCompare = new QAction(Tr(_("Co&mpare with Saved Analysis...")), this);
    ActCompare->setToolTip(Tr(_("Compare with Saved Analysis")));
    ActCompare->setStatusTip(
        Tr(_("Shows how much each folder and file grew or shrank since an analysis saved as ncdu JSON")));
    connect(ActCompare, &QAction::triggered, this, &TFormMain::ActCompareExecute);
    FCompareStatus = new QLabel(this);
    FCompareStatus->hide();
}

void TFormMain::UpdateCompareActions()
{
    // The comparison reads the whole tree: only a finished one.
    ActCompare->setEnabled(FRootNode != nullptr && dynamic_cast<TDirNode *>(FRootNode.get()) && !ThreadsRunning());
}

void TFormMain::ActCompareExecute()
{
    const QString filter
        = Tr(_("ncdu JSON")) + QStringLiteral(" (*.json);;") + Tr(_("All Files")) + QStringLiteral(" (*)");
    const QString chosen = QFileDialog::getOpenFileName(this, Tr(_("Compare with Saved Analysis")), QString(), filter);
    if (!chosen.isEmpty())
        CompareWithFile(EncodeName(chosen));
}

bool TFormMain::CompareWithFile(const std::string &fileName)
{
    auto *current = dynamic_cast<TDirNode *>(FRootNode.get());
    if (!current || ThreadsRunning())
        return false;
    ZU_LOG_INFO("Compare: " + fileName);
    std::unique_ptr<TTreeComparison> comparison;
    try {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        struct TRestore
        {
            ~TRestore() { QApplication::restoreOverrideCursor(); }
        } restore;
        // Grouping does not matter: groups are compared as a whole.
        TImportResult saved = ImportNcduJsonFile(fileName, {0});
        comparison = std::make_unique<TTreeComparison>(*saved.Root, *current);
        DiscardTree(std::move(saved.Root));
    } catch (const std::exception &e) {
        ErrorBox(FormatText(_("The analysis file \"%s\" cannot be read: %s"), {fileName, e.what()}));
        return false;
    }
    FComparison = std::move(comparison);
    const std::string status = FormatText(_("Compared with %s: %s grown, %s shrunk"),
        {fileName, SignedSize(FFileSizeStrProc, FComparison->Growth()),
            SignedSize(FFileSizeStrProc, -FComparison->Shrinkage())});
    FCompareStatus->setText(DecodeName(status));
    if (!FCompareStatus->parent() || FCompareStatus->parent() != statusBar())
        statusBar()->addPermanentWidget(FCompareStatus);
    FCompareStatus->show();
    UpdateChangeColumn();
    FTree->viewport()->update();
    return true;
}

void TFormMain::EndComparison()
{
    if (!FComparison)
        return;
    FComparison.reset();
    FCompareStatus->hide();
    if (FModel->SortColumn() == ChangeColumn) {
        FModel->sort(1, Qt::DescendingOrder);
        FTree->header()->setSortIndicator(1, Qt::DescendingOrder);
    }
    UpdateChangeColumn();
}

void TFormMain::UpdateChangeColumn()
{
    QHeaderView *header = FTree->header();
    const bool show = FComparison != nullptr;
    if (header->isSectionHidden(ChangeColumn) != show)
        return;
    header->setSectionHidden(ChangeColumn, !show);
    if (show) {
        // Right of the Size column, where the eye compares.
        const int target = header->visualIndex(1) + 1;
        header->moveSection(header->visualIndex(ChangeColumn), target);
        // Room for the text and bars on both sides of the middle.
        const int wide = 2 * header->sectionSize(1);
        if (header->sectionSize(ChangeColumn) < wide)
            header->resizeSection(ChangeColumn, wide);
    }
}

QString TFormMain::ChangeText(const TFileSystemNode *node) const
{
    if (!FComparison || !node)
        return {};
    return QString::fromStdString(SignedSize(FFileSizeStrProc, FComparison->Change(node, node->GetSize())));
}

std::int64_t TFormMain::ChangeOf(const TFileSystemNode *node) const
{
    return FComparison && node ? FComparison->Change(node, node->GetSize()) : 0;
}

void TFormMain::PaintChangeBar(const TFileSystemNode *node, QPainter &painter, const QRect &cellRect, bool selected)
{
    if (!FComparison || !node)
        return;
    const QRect rect = cellRect.adjusted(1, 1, -1, -1);
    const std::int64_t change = FComparison->Change(node, node->GetSize());
    const std::int64_t scale
        = FPaintNode ? std::max<std::int64_t>(FPaintNode->GetSize(), FComparison->OldSize(FPaintNode)) : 0;
    const double ratio = scale > 0 ? std::min(1.0, static_cast<double>(change < 0 ? -change : change) / scale) : 0;
    // Growth to the right of the middle, shrinkage to the left, in the bar painter's colours.
    const int middle = rect.left() + rect.width() / 2;
    const QRect right(middle, rect.top(), rect.right() - middle + 1, rect.height());
    const QRect left(rect.left(), rect.top(), middle - rect.left(), rect.height());
    if (change != 0 && ratio > 0) {
        painter.save();
        TCanvas canvas(painter);
        if (change < 0) {
            // The bar painters fill from the left; mirrored, the bar grows leftwards.
            painter.translate(left.left() + left.right() + 1, 0);
            painter.scale(-1, 1);
        }
        const TRect r = ToTRect(change > 0 ? right : left);
        if (selected) {
            canvas.SetBrushColor(FromQColor(FTree->palette().color(QPalette::Highlight)));
            FPercentBarPainter->DrawSelectedBar(canvas, r, QString(), ratio);
        } else {
            FPercentBarPainter->DrawBar(canvas, r, QString(), ratio);
        }
        painter.restore();
    }
    // The figures sit beside the middle, on the side the bar leaves free, so no bar covers them.
    painter.setPen(FTree->palette().color(selected ? QPalette::HighlightedText : QPalette::Text));
    constexpr int gap = 3;
    if (change > 0)
        painter.drawText(left.adjusted(0, 0, -gap, 0), Qt::AlignRight | Qt::AlignVCenter, ChangeText(node));
    else if (change < 0)
        painter.drawText(right.adjusted(gap, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter, ChangeText(node));
    else
        painter.drawText(rect, Qt::AlignCenter, ChangeText(node));
}
