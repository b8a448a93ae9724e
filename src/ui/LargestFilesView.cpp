#include "ui/LargestFilesView.h"

#include <algorithm>

#include <QHeaderView>
#include <QLocale>
#include <QPainter>
#include <QScrollBar>
#include <QStyledItemDelegate>

#include "common/Translate.h"
#include "settings/TreeViewStates.h"
#include "settings/VirtualTreeUtils.h"
#include "ui/UiText.h"

namespace {

// The view's header as the layout texts see it.
class TViewColumns final : public IColumnCollection
{
public:
    explicit TViewColumns(QHeaderView &header)
        : FHeader(header)
    { }
    [[nodiscard]] int Count() const override { return FHeader.count(); }
    [[nodiscard]] int Width(int column) const override { return FHeader.sectionSize(column); }
    void SetWidth(int column, int width) override
    {
        if (width > 0)
            FHeader.resizeSection(column, width);
    }
    [[nodiscard]] bool Visible(int column) const override { return !FHeader.isSectionHidden(column); }
    void SetVisible(int column, bool visible) override { FHeader.setSectionHidden(column, !visible); }
    [[nodiscard]] int Position(int column) const override { return FHeader.visualIndex(column); }
    void SetPosition(int column, int position) override { FHeader.moveSection(FHeader.visualIndex(column), position); }

private:
    QHeaderView &FHeader;
};

} // namespace

// Draws the percentage column with the window's bar painter.
class TLargestFilesDelegate final : public QStyledItemDelegate
{
public:
    explicit TLargestFilesDelegate(TLargestFilesView &view)
        : QStyledItemDelegate(&view)
        , FView(view)
    { }

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        if (index.column() != TLargestFilesModel::ColPercent || !FView.FBarPainter) {
            QStyledItemDelegate::paint(painter, option, index);
            return;
        }
        const bool selected = option.state & QStyle::State_Selected;
        if (selected)
            painter->fillRect(option.rect, option.palette.highlight());
        FView.FBarPainter(*painter, option.rect, FView.FModel->Ratio(index.row()), selected);
    }

private:
    TLargestFilesView &FView;
};

void TLargestFilesModel::SetFiles(std::vector<TLargeFile> files, std::int64_t total)
{
    beginResetModel();
    FFiles = std::move(files);
    FTotal = total;
    SortRows();
    endResetModel();
}

double TLargestFilesModel::Ratio(int row) const
{
    if (FTotal <= 0 || row < 0 || row >= rowCount())
        return 0;
    return std::min(1.0, static_cast<double>(File(row).Size) / static_cast<double>(FTotal));
}

int TLargestFilesModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(FFiles.size());
}

int TLargestFilesModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant TLargestFilesModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const TLargeFile &f = File(index.row());
    if (role == Qt::TextAlignmentRole)
        return index.column() == ColSize ? QVariant(Qt::AlignRight | Qt::AlignVCenter) : QVariant();
    if (role == Qt::ToolTipRole && index.column() == ColName)
        return DecodeName(f.Path());
    if (role == Qt::AccessibleTextRole && index.column() == ColPercent && FPercentText)
        return FPercentText(Ratio(index.row()));
    if (role != Qt::DisplayRole)
        return {};
    switch (index.column()) {
    case ColName:
        return DecodeName(f.Name);
    case ColSize:
        return FSizeText ? FSizeText(f.Size) : QLocale().toString(static_cast<qlonglong>(f.Size));
    case ColFolder:
        return DecodeName(f.Folder);
    case ColDate:
        if (f.Timestamp > 0) {
            const QLocale locale = QLocale();
            return locale.toString(FromDateTimeValue(f.Timestamp),
                locale.dateFormat(QLocale::ShortFormat) + QLatin1Char(' ') + locale.timeFormat(QLocale::ShortFormat));
        }
        return QStringLiteral("-");
    default:
        return {};
    }
}

QVariant TLargestFilesModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    switch (section) {
    case ColName:
        return Tr(_("Name"));
    case ColSize:
        return Tr(_("Size"));
    case ColPercent:
        return Tr(_("Percent"));
    case ColFolder:
        return Tr(_("Folder"));
    case ColDate:
        return Tr(_("Date"));
    default:
        return {};
    }
}

void TLargestFilesModel::sort(int column, Qt::SortOrder order)
{
    if (column < 0 || column >= ColumnCount)
        return;
    beginResetModel();
    FSortColumn = column;
    FSortOrder = order;
    SortRows();
    endResetModel();
}

void TLargestFilesModel::SortRows()
{
    const int column = FSortColumn;
    const auto key = [column](const TLargeFile &a, const TLargeFile &b) {
        switch (column) {
        case ColName:
            return a.Name < b.Name;
        case ColFolder:
            return a.Folder < b.Folder;
        case ColDate:
            return a.Timestamp < b.Timestamp;
        default:
            return a.Size < b.Size;
        }
    };
    const bool descending = FSortOrder == Qt::DescendingOrder;
    // Equal keys keep the list's own order (largest first, then path).
    std::stable_sort(FFiles.begin(), FFiles.end(),
        [&](const TLargeFile &a, const TLargeFile &b) { return descending ? key(b, a) : key(a, b); });
}

TLargestFilesView::TLargestFilesView(QWidget *parent)
    : QTreeView(parent)
    , FModel(new TLargestFilesModel(this))
{
    setObjectName(QStringLiteral("LargestFiles"));
    // What a screen reader announces for the list.
    setAccessibleName(Tr(_("Largest Files")));
    // Folders differ at their ends more than at their starts.
    setTextElideMode(Qt::ElideMiddle);
    setModel(FModel);
    setRootIsDecorated(false);
    setUniformRowHeights(true);
    setAlternatingRowColors(true);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setSortingEnabled(true);
    setItemDelegate(new TLargestFilesDelegate(*this));
    header()->setSectionsMovable(true);
    header()->setSortIndicator(TLargestFilesModel::ColSize, Qt::DescendingOrder);
    header()->resizeSection(TLargestFilesModel::ColName, 220);
    header()->resizeSection(TLargestFilesModel::ColFolder, 260);
}

void TLargestFilesView::Refresh(const TGroupNode *root, std::int64_t total)
{
    // The current row's file is found again by its path: its node may have been freed since
    // (a rescan, a delete while the list was hidden) and its address given to another file,
    // which the file commands on the rows would then act on.
    bool hasCurrent = false;
    std::string currentFolder;
    std::string currentName;
    if (const QModelIndex index = currentIndex(); index.isValid() && index.row() < FModel->rowCount()) {
        const TLargeFile &file = FModel->File(index.row());
        hasCurrent = true;
        currentFolder = file.Folder;
        currentName = file.Name;
    }
    const int y = verticalScrollBar()->value();
    FModel->SetFiles(root ? CollectLargestFiles(*root, MaxFiles) : std::vector<TLargeFile>(), total);
    for (int row = 0; hasCurrent && row < FModel->rowCount(); ++row) {
        if (const TLargeFile &file = FModel->File(row); file.Name == currentName && file.Folder == currentFolder) {
            setCurrentIndex(FModel->index(row, 0));
            break;
        }
    }
    verticalScrollBar()->setValue(y);
}

void TLargestFilesView::StoreState(TTreeViewState &state) const
{
    TViewColumns columns(*header());
    state.SetColumnWidths(ColumnWidthsToString(columns));
    state.SetColumnPositions(ColumnPositionsToString(columns));
    state.SetSortColumn(FModel->SortColumn());
    state.SetSortDirection(FModel->SortOrder() == Qt::AscendingOrder ? 0 : 1);
}

void TLargestFilesView::ApplyState(const TTreeViewState &state)
{
    TViewColumns columns(*header());
    StringToColumnWidths(state.ColumnWidths(), columns);
    StringToColumnPositions(state.ColumnPositions(), columns);
    const int column = state.SortColumn() >= 0 && state.SortColumn() < TLargestFilesModel::ColumnCount
        ? state.SortColumn()
        : TLargestFilesModel::ColSize;
    const Qt::SortOrder order = state.SortDirection() == 0 ? Qt::AscendingOrder : Qt::DescendingOrder;
    header()->setSortIndicator(column, order);
    FModel->sort(column, order);
}
