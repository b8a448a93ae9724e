#include "ui/ItemContextMenu.h"

#include <sys/stat.h>

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QIcon>
#include <QMimeData>
#include <QTimer>
#include <QUrl>

#include "common/Drives.h"
#include "common/MessageBoxes.h"
#include "common/SizeText.h"
#include "common/Translate.h"
#include "log/Logger.h"
#include "model/Paths.h"
#include "shell/DesktopApps.h"
#include "shell/ShellServices.h"
#include "shell/Terminal.h"

namespace {

QString Q(const std::string &text)
{
    return QString::fromStdString(text);
}

QIcon Themed(const char *name)
{
    return QIcon::fromTheme(QString::fromLatin1(name));
}

} // namespace

bool TItemContextMenu::IsProtectedPath(const std::string &path)
{
    const std::string clean = ExcludeTrailingPathDelimiter(path);
    if (clean.empty() || clean == "/")
        return true;
    const std::string home = ExcludeTrailingPathDelimiter(QFile::encodeName(QDir::homePath()).toStdString());
    return clean == home || IsVolumeRoot(clean);
}

TItemContextMenu::TItemContextMenu(
    const std::string &path, TDeleteHandler onDelete, bool deleteAllowed, QWidget *parent)
    : QMenu(parent)
    , FPath(path)
    , FOnDelete(std::move(onDelete))
{
    setObjectName(QStringLiteral("ItemContextMenu"));
    struct stat st
    { };
    const bool exists = ::lstat(path.c_str(), &st) == 0;
    ActOpen = addAction(Themed("document-open"), Q(_("&Open")), this, &TItemContextMenu::OpenPath);
    ActOpen->setEnabled(exists);
    MenuOpenWith = addMenu(Q(_("Open &With")));
    if (exists) {
        for (const TDesktopApp &app : ApplicationsForPath(path)) {
            QAction *action = MenuOpenWith->addAction(QIcon::fromTheme(app.Icon), app.Name);
            connect(action, &QAction::triggered, this, [this, app] {
                std::string error;
                if (!DesktopServices().OpenWith(app, FPath, error)) {
                    ProgramLogger().Error("Error: " + error);
                    ErrorBox(error);
                }
            });
        }
    }
    MenuOpenWith->setEnabled(!MenuOpenWith->isEmpty());
    ActShowInFileManager = addAction(Themed("system-file-manager"), Q(_("Show in &File Manager")), this, [this] {
        std::string error;
        if (!ShowInFileManager(FPath, error)) {
            ProgramLogger().Error("Error: " + error);
            ErrorBox(error);
        }
    });
    ActShowInFileManager->setEnabled(exists);
    ActOpenTerminal = addAction(Themed("utilities-terminal"), Q(_("Open Te&rminal Here")), this, [this] {
        std::string error;
        if (!TerminalLauncher().OpenTerminal(TerminalFolder(FPath), error)) {
            ProgramLogger().Error("Error: " + error);
            ErrorBox(error);
        }
    });
    ActOpenTerminal->setEnabled(exists);
    ActCopyPath = addAction(Themed("edit-copy"), Q(_("&Copy Path")), this, [this] {
        const QString text = QFile::decodeName(QByteArray::fromStdString(FPath));
        auto *mime = new QMimeData;
        mime->setText(text);
        mime->setUrls({QUrl::fromLocalFile(text)});
        QGuiApplication::clipboard()->setMimeData(mime);
    });
    addSeparator();
    // The delete runs after the menu has gone: it may take a while and free this menu.
    const auto deleteLater = [this](bool permanent) {
        QTimer::singleShot(0, qApp, [handler = FOnDelete, path = FPath, permanent] {
            if (handler)
                handler(path, permanent);
        });
    };
    ActMoveToTrash
        = addAction(Themed("user-trash"), Q(_("Move to &Trash")), this, [deleteLater] { deleteLater(false); });
    ActDeletePermanently
        = addAction(Themed("edit-delete"), Q(_("&Delete Permanently")), this, [deleteLater] { deleteLater(true); });
    const bool canDelete = exists && deleteAllowed && FOnDelete && !IsProtectedPath(path);
    ActMoveToTrash->setEnabled(canDelete);
    ActDeletePermanently->setEnabled(canDelete);
}

std::string TItemContextMenu::TerminalFolder(const std::string &path)
{
    struct stat st
    { };
    const std::string clean = ExcludeTrailingPathDelimiter(path);
    if (::lstat(clean.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
        return clean;
    const auto slash = clean.rfind(PathDelim);
    if (slash == std::string::npos)
        return clean;
    return slash == 0 ? std::string(1, PathDelim) : clean.substr(0, slash);
}

void TItemContextMenu::OpenPath()
{
    std::string error;
    if (!DesktopServices().OpenPath(FPath, error)) {
        ProgramLogger().Error("Error: " + error);
        ErrorBox(error);
    }
}

void ShowItemContextMenu(const std::string &path, const QPoint &globalPos, QWidget *owner,
    TItemContextMenu::TDeleteHandler onDelete, bool deleteAllowed)
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    auto *menu = new TItemContextMenu(path, std::move(onDelete), deleteAllowed, owner);
    QApplication::restoreOverrideCursor();
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(globalPos);
}
