#include <QtTest>

#include "PaintTestUtils.h"
#include "SkinArt.h"
#include "paint/SkinResources.h"

using namespace painttest;

namespace {

// 0xRRGGBB as the colour tables write it.
unsigned Rgb(const QImage &image, int x, int y)
{
    return image.pixel(x, y) & 0xFFFFFFu;
}

} // namespace

class TSkinBitmapsTest : public QObject
{
    Q_OBJECT

private slots:
    void everySkinLoadsByNameIgnoringCaseAtItsSize_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QSize>("size");
        QTest::newRow("cairo") << QStringLiteral("RES_CHARTBAR_SKIN_CAIRO") << QSize(32, 16);
        QTest::newRow("crystal, lower case") << QStringLiteral("res_skin_crystal") << QSize(128, 16);
        QTest::newRow("blue plastic") << QStringLiteral("RES_SKIN_BluePlastic") << QSize(32, 16);
        QTest::newRow("red glass, upper case") << QStringLiteral("RES_SKIN_REDGLASS") << QSize(32, 16);
        QTest::newRow("green glass") << QStringLiteral("RES_SKIN_GreenGlass") << QSize(32, 16);
        QTest::newRow("black ice") << QStringLiteral("RES_SKIN_BlackIce") << QSize(32, 16);
        QTest::newRow("blue chip") << QStringLiteral("RES_SKIN_BlueChip") << QSize(32, 16);
        QTest::newRow("brown brick") << QStringLiteral("RES_SKIN_BrownBrick") << QSize(32, 16);
        QTest::newRow("spectrum") << QStringLiteral("RES_SKIN_Spectrum") << QSize(320, 16);
    }
    void everySkinLoadsByNameIgnoringCaseAtItsSize()
    {
        QFETCH(QString, name);
        QFETCH(QSize, size);
        const QImage image = LoadBitmapResource(name.toStdString());
        QCOMPARE(image.size(), size);
    }

    // The embedded files are what the generator draws today, in 24-bit colour.
    void embeddedBitmapsMatchTheGenerator()
    {
        for (const std::string &name : SkinBitmapNames()) {
            const QImage stored(QStringLiteral(":/skins/%1.png").arg(QString::fromStdString(name)));
            QVERIFY2(!stored.isNull(), name.c_str());
            QVERIFY2(!stored.hasAlphaChannel(), name.c_str());
            QCOMPARE(stored.depth() >= 24, true);
            QCOMPARE(stored.convertToFormat(QImage::Format_RGB888), DrawSkinBitmap(name));
        }
    }

    void cairoHasSlantedDarkBands()
    {
        static const unsigned rows[16][2]
            = {{0x7BA4E2, 0x366ABA}, {0x7BA4E2, 0x486ABA}, {0x85A4E2, 0x597ABA}, {0x94AEE2, 0x6889BD},
                {0xA2BCE3, 0x7597CA}, {0xABC5EC, 0x7FA0D3}, {0xA2BCE3, 0x7597CA}, {0x94AEE2, 0x6889BD},
                {0x85A4E2, 0x597ABA}, {0x7BA4E2, 0x366ABA}, {0x6D96D4, 0x285CAC}, {0x638CCA, 0x1F52A2},
                {0x5982C0, 0x1B4898}, {0x4D76B4, 0x1B3C8C}, {0x416AA8, 0x1B3580}, {0x3D5E9C, 0x1B3574}};
        const QImage image = LoadBitmapResource("RES_CHARTBAR_SKIN_CAIRO");
        for (int y = 0; y < 16; ++y) {
            for (int x = 0; x < 32; ++x) {
                const bool dark = x >= 16 - y && x <= 31 - y;
                QCOMPARE(Rgb(image, x, y), rows[y][dark ? 1 : 0]);
            }
        }
    }

    // (resource, x, y, 0xRRGGBB) at the documented rows and columns.
    void documentedColours_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("x");
        QTest::addColumn<int>("y");
        QTest::addColumn<unsigned>("rgb");
        struct TPoint
        {
            const char *name;
            int x, y;
            unsigned rgb;
        };
        const TPoint points[] = {
            {"RES_SKIN_Crystal", 0, 0, 0x0080CD},
            {"RES_SKIN_Crystal", 127, 8, 0x0080CD},
            {"RES_SKIN_Crystal", 64, 15, 0x0080CD},
            {"RES_SKIN_Crystal", 63, 4, 0xEDFBFF},
            {"RES_SKIN_Crystal", 64, 8, 0xEDFBFF},
            {"RES_SKIN_Crystal", 1, 4, 0xC3E8FE},
            {"RES_SKIN_Crystal", 126, 4, 0xC3E8FE},
            {"RES_SKIN_Crystal", 1, 12, 0x2FB0FF},
            {"RES_SKIN_Crystal", 126, 12, 0x2FB0FF},
            {"RES_SKIN_BluePlastic", 0, 5, 0x061476},
            {"RES_SKIN_BluePlastic", 16, 0, 0x061476},
            {"RES_SKIN_BluePlastic", 16, 15, 0x061476},
            {"RES_SKIN_BluePlastic", 16, 1, 0xC1C7F2},
            {"RES_SKIN_BluePlastic", 16, 7, 0x7D91F9},
            {"RES_SKIN_BluePlastic", 16, 8, 0x3E57E3},
            {"RES_SKIN_BluePlastic", 16, 11, 0x0726C6},
            {"RES_SKIN_BluePlastic", 16, 14, 0x3E57E3},
            {"RES_SKIN_RedGlass", 0, 5, 0xE17474},
            {"RES_SKIN_RedGlass", 16, 0, 0xE17474},
            {"RES_SKIN_RedGlass", 16, 1, 0xFECDCD},
            {"RES_SKIN_RedGlass", 16, 6, 0xFE6E6E},
            {"RES_SKIN_RedGlass", 16, 7, 0xFF3F3F},
            {"RES_SKIN_RedGlass", 16, 8, 0xCD0000},
            {"RES_SKIN_RedGlass", 16, 14, 0xFE0707},
            {"RES_SKIN_RedGlass", 16, 15, 0xB10000},
            {"RES_SKIN_GreenGlass", 31, 5, 0x83B155},
            {"RES_SKIN_GreenGlass", 16, 1, 0xE6FECD},
            {"RES_SKIN_GreenGlass", 16, 7, 0x91FF23},
            {"RES_SKIN_GreenGlass", 16, 8, 0x58B100},
            {"RES_SKIN_GreenGlass", 16, 14, 0x87F21D},
            {"RES_SKIN_GreenGlass", 16, 15, 0x3C7800},
            {"RES_SKIN_BlackIce", 16, 0, 0xA5A5A5},
            {"RES_SKIN_BlackIce", 16, 1, 0xDADADA},
            {"RES_SKIN_BlackIce", 16, 7, 0x464646},
            {"RES_SKIN_BlackIce", 16, 8, 0x191919},
            {"RES_SKIN_BlackIce", 16, 13, 0x646464},
            {"RES_SKIN_BlackIce", 16, 14, 0xC0C0C0},
            {"RES_SKIN_BlackIce", 16, 15, 0x191919},
            {"RES_SKIN_BlueChip", 16, 0, 0x3F6FFF},
            {"RES_SKIN_BlueChip", 16, 1, 0xB1C4FF},
            {"RES_SKIN_BlueChip", 16, 2, 0x88A5FA},
            {"RES_SKIN_BlueChip", 16, 13, 0x0B3CD0},
            {"RES_SKIN_BlueChip", 16, 14, 0x0745FE},
            {"RES_SKIN_BlueChip", 16, 15, 0x002594},
            {"RES_SKIN_BrownBrick", 16, 0, 0xDDAE66},
            {"RES_SKIN_BrownBrick", 16, 1, 0xFEE9A9},
            {"RES_SKIN_BrownBrick", 16, 2, 0xF5D688},
            {"RES_SKIN_BrownBrick", 16, 13, 0xB46C2D},
            {"RES_SKIN_BrownBrick", 16, 14, 0xBA7A4A},
            {"RES_SKIN_BrownBrick", 16, 15, 0x782D00},
        };
        for (const TPoint &p : points) {
            QTest::addRow("%s %d,%d", p.name, p.x, p.y) << QString::fromLatin1(p.name) << p.x << p.y << p.rgb;
        }
    }
    void documentedColours()
    {
        QFETCH(QString, name);
        QFETCH(int, x);
        QFETCH(int, y);
        QFETCH(unsigned, rgb);
        QCOMPARE(QString::number(Rgb(LoadBitmapResource(name.toStdString()), x, y), 16), QString::number(rgb, 16));
    }

    void spectrumRunsFromGreenOverYellowToRed()
    {
        const QImage image = LoadBitmapResource("RES_SKIN_Spectrum");
        auto red = [&](int x, int y) { return qRed(image.pixel(x, y)); };
        auto green = [&](int x, int y) { return qGreen(image.pixel(x, y)); };
        for (int y = 8; y < 16; ++y) {
            for (int x = 0; x <= 25; ++x) {
                QCOMPARE(Rgb(image, x, y), 0x00FF00u);
            }
            QCOMPARE(red(60, y), 0x45);
            QCOMPARE(red(100, y), 0x9D);
            QCOMPARE(red(140, y), 0xE8);
            QCOMPARE(red(160, y), 0xFF);
            QCOMPARE(green(160, y), 0xFF);
            QCOMPARE(green(200, y), 0xC5);
            QCOMPARE(green(230, y), 0x86);
            QCOMPARE(green(260, y), 0x43);
            for (int x = 295; x < 320; ++x) {
                QCOMPARE(Rgb(image, x, y), 0xFF0000u);
            }
        }
        int maxBlue = 0;
        for (int x = 0; x < 320; ++x) {
            maxBlue = std::max(maxBlue, qBlue(image.pixel(x, 15)));
            QCOMPARE(qBlue(image.pixel(x, 8)), 0);
        }
        QCOMPARE(maxBlue, 0x1B);
        QCOMPARE(qBlue(image.pixel(160, 15)), 0x1B);
        // The upper rows lift every channel to their floor.
        const int floors[8] = {224, 211, 196, 179, 163, 146, 128, 110};
        for (int y = 0; y < 8; ++y) {
            QCOMPARE(Rgb(image, 0, y), unsigned((floors[y] << 16) | (0xFF << 8) | floors[y]));
            QCOMPARE(Rgb(image, 319, y), unsigned((0xFF << 16) | (floors[y] << 8) | floors[y]));
            QCOMPARE(Rgb(image, 160, y), unsigned((0xFF << 16) | (0xFF << 8) | floors[y]));
        }
    }
};

QTEST_MAIN(TSkinBitmapsTest)
#include "skin_bitmaps_test.moc"
