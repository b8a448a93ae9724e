#pragma once

#include <functional>
#include <string>

#include <QMenu>

// Our context menu for one path (a file, folder or drive of the tree or of the start page):
// Open, Open With (the applications registered for its MIME type), Show in File Manager,
// Open Terminal Here (in the folder, or in a file's folder), Copy Path, Move to Trash, Delete
// Permanently. The two delete entries are handed back to
// the owner, which knows the analysis; they are disabled for paths that must never go
// (the file system root, mount points, the home folder) and when the owner says so.
class TItemContextMenu final : public QMenu
{
    Q_OBJECT

public:
    using TDeleteHandler = std::function<void(const std::string &path, bool permanent)>;

    TItemContextMenu(const std::string &path, TDeleteHandler onDelete, bool deleteAllowed, QWidget *parent = nullptr);

    [[nodiscard]] const std::string &Path() const { return FPath; }
    QAction *ActOpen = nullptr;
    QMenu *MenuOpenWith = nullptr;
    QAction *ActShowInFileManager = nullptr;
    QAction *ActOpenTerminal = nullptr;
    QAction *ActCopyPath = nullptr;
    QAction *ActMoveToTrash = nullptr;
    QAction *ActDeletePermanently = nullptr;

    // True for paths the delete entries never offer: "/", a volume's mount point, the home
    // folder.
    [[nodiscard]] static bool IsProtectedPath(const std::string &path);
    // The folder a terminal opens in for `path`: the folder itself, or a file's (or link's)
    // folder.
    [[nodiscard]] static std::string TerminalFolder(const std::string &path);

private:
    void OpenPath();
    std::string FPath;
    TDeleteHandler FOnDelete;
};

// Shows the menu for `path` at the screen position `globalPos` and runs the chosen entry.
void ShowItemContextMenu(const std::string &path, const QPoint &globalPos, QWidget *owner,
    TItemContextMenu::TDeleteHandler onDelete, bool deleteAllowed = true);
