#include <cfenv>
#include <cmath>
#include <cstdio>

#include <QLocale>
#include <QPainter>
#include <QTreeView>

#include "common/FileQueries.h"
#include "common/ShellTexts.h"
#include "common/Translate.h"
#include "log/Logger.h"
#include "paint/Canvas.h"
#include "paint/Skins.h"
#include "paint/ZumbrelBarChartPainter.h"
#include "platform/Platform.h"
#include "shell/SysImageList.h"
#include "ui/FormMain.h"
#include "ui/UiText.h"

// What each cell of the file tree shows: header and cell texts, text styles, the percentage
// bar, icons, and the order of rows.

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
    case 5:
        return Tr(_("Change"));
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
        // A group is named when its row is drawn: in the language in use, not the scan's.
        if (node && node->FileType() == fstFileGroup)
            return Tr("<" + _("Grouped Files") + ">");
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
        return QLocale().toString(static_cast<qlonglong>(node->FileCount()));
    case 3:
        // The bar is painted; a screen reader gets its share in words.
        if (type == TTextType::Accessible)
            return FPaintNode && node && FPaintNode->GetSize() > 0 ? PercentText(PercentRatio(node)) : QString();
        return QStringLiteral(" ");
    case 4:
        if (node && node->Timestamp() > 0) {
            const QLocale locale = QLocale();
            return locale.toString(FromDateTimeValue(node->Timestamp()),
                locale.dateFormat(QLocale::ShortFormat) + QLatin1Char(' ') + locale.timeFormat(QLocale::ShortFormat));
        }
        return QStringLiteral("-");
    case 5:
        return ChangeText(node);
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

double TFormMain::PercentRatio(const TFileSystemNode *node) const
{
    const long double ratioExact
        = static_cast<long double>(node->GetSize()) / static_cast<long double>(FPaintNode->GetSize());
    return static_cast<double>(ratioExact);
}

QString TFormMain::PercentText(double ratio)
{
    // Ties go to the even tenth, whatever rounding mode the process runs in.
    const int saved = std::fegetround();
    std::fesetround(FE_TONEAREST);
    const double tenths = std::nearbyint(ratio * 1000.0);
    std::fesetround(saved);
    const double percent = tenths / 10.0;
    return QLocale().toString(percent, 'g', QLocale::FloatingPointShortest) + QLatin1Char('%');
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
    const double ratio = PercentRatio(node);
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

TSortKey TFormMain::SortKey(const TFileSystemNode *node, int column) const
{
    TSortKey key;
    if (!node)
        return key;
    switch (column) {
    case 0:
        key.Text = DecodeName(node->Name());
        break;
    case 1:
    case 3:
        key.Number = node->GetSize();
        break;
    case 2:
        key.Number = node->FileCount();
        break;
    case 4:
        key.Real = node->Timestamp();
        break;
    case 5:
        key.Number = ChangeOf(node);
        break;
    default:
        break;
    }
    return key;
}

int TFormMain::CompareSortKeys(const TSortKey &a, const TSortKey &b, int column) const
{
    switch (column) {
    case 0: {
        const int c = QString::localeAwareCompare(a.Text, b.Text);
        return c < 0 ? -1 : (c > 0 ? 1 : 0);
    }
    case 1:
    case 2:
    case 3:
        return a.Number > b.Number ? 1 : (a.Number < b.Number ? -1 : 0);
    case 4:
        return a.Real > b.Real ? 1 : (a.Real < b.Real ? -1 : 0);
    case 5:
        return a.Number > b.Number ? 1 : (a.Number < b.Number ? -1 : 0);
    default:
        return 0;
    }
}

int TFormMain::CompareNodes(const TFileSystemNode *a, const TFileSystemNode *b, int column) const
{
    return CompareSortKeys(SortKey(a, column), SortKey(b, column), column);
}
