#pragma once

#include <string>
#include <vector>

#include <QAction>

class TDirNode;

// An entry of a path drop-down: choosing it opens its folder.
class TPathMenuItem final : public QAction
{
    Q_OBJECT

public:
    TPathMenuItem(const QString &caption, std::string path, const QIcon &icon, QObject *parent = nullptr);
    [[nodiscard]] const std::string &Path() const { return FPath; }

private:
    std::string FPath;
};

struct TPathMenuEntry
{
    QString Caption;
    std::string Path; // raw bytes
};

// The sub-folders of a folder on disk, by name as the desktop sorts them; symbolic links to
// folders are left out, as the analysis never follows them.
[[nodiscard]] std::vector<TPathMenuEntry> DiskSubFolders(const std::string &folder);
// The sub-folders of a directory of a finished analysis, largest first as in the tree (equal
// sizes by name); `folder` is the directory's path.
[[nodiscard]] std::vector<TPathMenuEntry> NodeSubFolders(const TDirNode &node, const std::string &folder);
