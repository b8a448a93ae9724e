#include "paint/SkinResources.h"

#include <QDirIterator>
#include <QFileInfo>
#include <QString>

QImage LoadBitmapResource(std::string_view name)
{
    const QString wanted = QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()));
    // Qt's resource paths are case-sensitive; the bitmaps are few, so a walk is cheap.
    QDirIterator it(QStringLiteral(":/skins"), QDir::Files);
    while (it.hasNext()) {
        const QString path = it.next();
        if (QFileInfo(path).completeBaseName().compare(wanted, Qt::CaseInsensitive) == 0) {
            QImage image(path);
            if (image.isNull()) {
                throw EResNotFound("Bitmap resource is damaged: " + std::string(name));
            }
            return image.convertToFormat(QImage::Format_RGB32);
        }
    }
    throw EResNotFound("Bitmap resource not found: " + std::string(name));
}
