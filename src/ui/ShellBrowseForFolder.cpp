#include "ui/ShellBrowseForFolder.h"

#include <QFile>
#include <QFileDialog>

bool BrowseForFolder(QWidget *owner, const std::string &title, const std::string &initialFolder, std::string &path)
{
    const QString start = QFile::decodeName(QByteArray::fromStdString(initialFolder));
    const QString chosen = QFileDialog::getExistingDirectory(
        owner, QString::fromStdString(title), start, QFileDialog::ShowDirsOnly | QFileDialog::DontResolveSymlinks);
    if (chosen.isEmpty())
        return false;
    path = QFile::encodeName(chosen).toStdString();
    return true;
}
