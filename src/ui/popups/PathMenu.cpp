#include "ui/popups/PathMenu.h"

#include <algorithm>
#include <mutex>

#include <QCollator>
#include <QFile>

#include "common/FileQueries.h"
#include "model/Paths.h"
#include "model/TreeTypes.h"

namespace {

QString Decode(std::string_view bytes)
{
    return QFile::decodeName(QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())));
}

} // namespace

TPathMenuItem::TPathMenuItem(const QString &caption, std::string path, const QIcon &icon, QObject *parent)
    : QAction(icon, caption, parent)
    , FPath(std::move(path))
{
    // A name with "&" shows as it is, not as a mnemonic.
    setText(QString(caption).replace(QLatin1Char('&'), QStringLiteral("&&")));
    setIconVisibleInMenu(true);
}

std::vector<TPathMenuEntry> DiskSubFolders(const std::string &folder)
{
    std::vector<TPathMenuEntry> entries;
    ForEachEntry(IncludeTrailingPathDelimiter(folder) + "*.*", [&](const TEntryRecord &record) {
        if (record.IsDirectory())
            entries.push_back({Decode(record.Name), JoinPath(folder, record.Name)});
    });
    QCollator collator;
    collator.setNumericMode(true);
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::stable_sort(entries.begin(), entries.end(),
        [&](const TPathMenuEntry &a, const TPathMenuEntry &b) { return collator.compare(a.Caption, b.Caption) < 0; });
    return entries;
}

std::vector<TPathMenuEntry> NodeSubFolders(const TDirNode &node, const std::string &folder)
{
    struct TChild
    {
        TPathMenuEntry Entry;
        std::int64_t Size;
    };
    std::vector<TChild> children;
    {
        std::scoped_lock guard(node.ChildLock());
        for (std::int32_t i = 0; i < node.InterlockedChildCount(); ++i) {
            const TFileSystemNode *child = node.GetUnlockedChildNode(i);
            if (!child || child->FileType() != fstDirectory || !dynamic_cast<const TDirNode *>(child))
                continue;
            children.push_back({{Decode(child->Name()), JoinPath(folder, child->Name())}, child->GetSize()});
        }
    }
    QCollator collator;
    collator.setNumericMode(true);
    std::stable_sort(children.begin(), children.end(), [&](const TChild &a, const TChild &b) {
        if (a.Size != b.Size)
            return a.Size > b.Size;
        return collator.compare(a.Entry.Caption, b.Entry.Caption) < 0;
    });
    std::vector<TPathMenuEntry> entries;
    for (TChild &c : children)
        entries.push_back(std::move(c.Entry));
    return entries;
}
