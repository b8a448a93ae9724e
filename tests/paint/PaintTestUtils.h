#pragma once

#include <QColor>
#include <QFont>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QImage>
#include <QRect>
#include <QtTest>

#include "paint/Canvas.h"
#include "paint/Color.h"

namespace painttest {

// A white (or `fill`) 24-bit image like the ones the file tree paints into.
inline QImage NewImage(int w, int h, QColor fill = Qt::white)
{
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(fill);
    return image;
}

// The pixel as a 0x00BBGGRR colour value, comparable with the painters' TColor constants.
inline TColor Px(const QImage &image, int x, int y)
{
    return FromQColor(image.pixelColor(x, y));
}

// True when some pixel inside `r` differs from `background`.
inline bool HasInk(const QImage &image, const QRect &r, QColor background = Qt::white)
{
    for (int y = r.top(); y <= r.bottom(); ++y) {
        for (int x = r.left(); x <= r.right(); ++x) {
            if (image.pixelColor(x, y) != background) {
                return true;
            }
        }
    }
    return false;
}

// A font that is the same on every machine: DejaVu Sans from its file (fonts-dejavu-core),
// sized in pixels so the screen's resolution does not matter.
inline QFont TestFont(int pixelSize)
{
    static const int id
        = QFontDatabase::addApplicationFont(QStringLiteral("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"));
    if (id < 0) {
        qFatal("DejaVuSans.ttf is missing (Debian package fonts-dejavu-core)");
    }
    QFont font(QFontDatabase::applicationFontFamilies(id).value(0));
    font.setPixelSize(pixelSize);
    return font;
}

// The pixel size of the test font whose text cell height (in a QImage) is odd or even.
inline int TestFontSizeWithHeightParity(bool odd)
{
    QImage probe(1, 1, QImage::Format_RGB32);
    for (int size = 9; size < 30; ++size) {
        const int h = QFontMetrics(TestFont(size), &probe).height();
        if ((h % 2 == 1) == odd) {
            return size;
        }
    }
    qFatal("no test font size with the wanted height parity");
}

} // namespace painttest
