// skin-gen OUTPUT_DIR: writes the bar skin bitmaps as OUTPUT_DIR/<resource name>.png.
#include <cstdio>

#include <QDir>
#include <QGuiApplication>
#include <QImageWriter>

#include "SkinArt.h"

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: skin-gen OUTPUT_DIR\n");
        return 2;
    }
    QGuiApplication app(argc, argv);
    const QDir dir(QString::fromLocal8Bit(argv[1]));
    if (!dir.exists()) {
        std::fprintf(stderr, "skin-gen: %s is not a folder\n", argv[1]);
        return 1;
    }
    for (const std::string &name : SkinBitmapNames()) {
        const QString path = dir.filePath(QString::fromStdString(name) + QStringLiteral(".png"));
        QImageWriter writer(path, "png");
        if (!writer.write(DrawSkinBitmap(name))) {
            std::fprintf(stderr, "skin-gen: cannot write %s: %s\n", qPrintable(path), qPrintable(writer.errorString()));
            return 1;
        }
    }
    return 0;
}
