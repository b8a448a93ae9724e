#include "SkinArt.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace {

using TRgb = unsigned; // 0xRRGGBB as written in the colour tables

int Red(TRgb c)
{
    return static_cast<int>((c >> 16) & 0xFF);
}
int Green(TRgb c)
{
    return static_cast<int>((c >> 8) & 0xFF);
}
int Blue(TRgb c)
{
    return static_cast<int>(c & 0xFF);
}
TRgb Rgb(int r, int g, int b)
{
    return static_cast<TRgb>((std::clamp(r, 0, 255) << 16) | (std::clamp(g, 0, 255) << 8) | std::clamp(b, 0, 255));
}

// Linear blend from `a` (t = 0) to `b` (t = 1), rounded per channel.
TRgb Mix(TRgb a, TRgb b, double t)
{
    auto ch = [t](int x, int y) { return static_cast<int>(std::lround(x + (y - x) * t)); };
    return Rgb(ch(Red(a), Red(b)), ch(Green(a), Green(b)), ch(Blue(a), Blue(b)));
}

void Put(QImage &image, int x, int y, TRgb c)
{
    image.setPixelColor(x, y, QColor(Red(c), Green(c), Blue(c)));
}

void FillRow(QImage &image, int y, TRgb c)
{
    for (int x = 0; x < image.width(); ++x) {
        Put(image, x, y, c);
    }
}

// Rows `from`..`to` (inclusive) as a vertical gradient from `top` to `bottom`.
void Gradient(QImage &image, int from, int to, TRgb top, TRgb bottom)
{
    for (int y = from; y <= to; ++y) {
        FillRow(image, y, to == from ? top : Mix(top, bottom, double(y - from) / (to - from)));
    }
}

// A one-pixel outline in `c`.
void Frame(QImage &image, TRgb c)
{
    for (int x = 0; x < image.width(); ++x) {
        Put(image, x, 0, c);
        Put(image, x, image.height() - 1, c);
    }
    for (int y = 0; y < image.height(); ++y) {
        Put(image, 0, y, c);
        Put(image, image.width() - 1, y, c);
    }
}

// The outer columns in `c` between the first and the last row, closing the bar's ends.
void SideEdges(QImage &image, TRgb c)
{
    for (int y = 1; y < image.height() - 1; ++y) {
        Put(image, 0, y, c);
        Put(image, image.width() - 1, y, c);
    }
}

QImage NewImage(int w, int h)
{
    QImage image(w, h, QImage::Format_RGB888);
    image.fill(Qt::black);
    return image;
}

QImage Cairo()
{
    // Light and dark colour of each row.
    static const TRgb rows[16][2] = {{0x7BA4E2, 0x366ABA}, {0x7BA4E2, 0x486ABA}, {0x85A4E2, 0x597ABA},
        {0x94AEE2, 0x6889BD}, {0xA2BCE3, 0x7597CA}, {0xABC5EC, 0x7FA0D3}, {0xA2BCE3, 0x7597CA}, {0x94AEE2, 0x6889BD},
        {0x85A4E2, 0x597ABA}, {0x7BA4E2, 0x366ABA}, {0x6D96D4, 0x285CAC}, {0x638CCA, 0x1F52A2}, {0x5982C0, 0x1B4898},
        {0x4D76B4, 0x1B3C8C}, {0x416AA8, 0x1B3580}, {0x3D5E9C, 0x1B3574}};
    QImage image = NewImage(32, 16);
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 32; ++x) {
            const bool dark = x >= 16 - y && x <= 31 - y;
            Put(image, x, y, rows[y][dark ? 1 : 0]);
        }
    }
    return image;
}

QImage Crystal()
{
    QImage image = NewImage(128, 16);
    // Interior columns 1..126; brightest at the two middle columns, falling smoothly to the ends.
    for (int x = 1; x <= 126; ++x) {
        const double fromCentre = std::max(0.0, std::abs(x - 63.5) - 0.5) / 62.0;
        const double glow = std::cos(fromCentre * M_PI / 2);
        for (int y = 1; y <= 14; ++y) {
            const TRgb end = y <= 7 ? 0xC3E8FE : 0x2FB0FF;
            Put(image, x, y, Mix(end, 0xEDFBFF, glow * (y <= 7 ? 1.0 : 0.85 + 0.15 * (14 - y) / 6.0)));
        }
    }
    Frame(image, 0x0080CD);
    return image;
}

QImage BluePlastic()
{
    QImage image = NewImage(32, 16);
    Gradient(image, 1, 7, 0xC1C7F2, 0x7D91F9);
    FillRow(image, 8, 0x3E57E3);
    Gradient(image, 9, 13, 0x0726C6, 0x0726C6);
    FillRow(image, 14, 0x3E57E3);
    Frame(image, 0x061476);
    return image;
}

QImage RedGlass()
{
    QImage image = NewImage(32, 16);
    Gradient(image, 1, 6, 0xFECDCD, 0xFE6E6E);
    FillRow(image, 7, 0xFF3F3F);
    Gradient(image, 8, 14, 0xCD0000, 0xFE0707);
    Frame(image, 0xE17474);
    FillRow(image, 15, 0xB10000);
    return image;
}

QImage GreenGlass()
{
    QImage image = NewImage(32, 16);
    Gradient(image, 1, 7, 0xE6FECD, 0x91FF23);
    Gradient(image, 8, 14, 0x58B100, 0x87F21D);
    Frame(image, 0x83B155);
    FillRow(image, 15, 0x3C7800);
    return image;
}

QImage BlackIce()
{
    QImage image = NewImage(32, 16);
    FillRow(image, 0, 0xA5A5A5);
    Gradient(image, 1, 7, 0xDADADA, 0x464646);
    Gradient(image, 8, 13, 0x191919, 0x646464);
    FillRow(image, 14, 0xC0C0C0);
    FillRow(image, 15, 0x191919);
    SideEdges(image, 0x191919);
    return image;
}

QImage BlueChip()
{
    QImage image = NewImage(32, 16);
    FillRow(image, 0, 0x3F6FFF);
    FillRow(image, 1, 0xB1C4FF);
    Gradient(image, 2, 13, 0x88A5FA, 0x0B3CD0);
    FillRow(image, 14, 0x0745FE);
    FillRow(image, 15, 0x002594);
    SideEdges(image, 0x002594);
    return image;
}

QImage BrownBrick()
{
    QImage image = NewImage(32, 16);
    FillRow(image, 0, 0xDDAE66);
    FillRow(image, 1, 0xFEE9A9);
    Gradient(image, 2, 13, 0xF5D688, 0xB46C2D);
    FillRow(image, 14, 0xBA7A4A);
    FillRow(image, 15, 0x782D00);
    SideEdges(image, 0x782D00);
    return image;
}

// Piecewise linear through (column, value) anchors, constant beyond the ends.
double Ramp(const std::vector<std::pair<int, int>> &anchors, int x)
{
    if (x <= anchors.front().first) {
        return anchors.front().second;
    }
    for (std::size_t i = 1; i < anchors.size(); ++i) {
        if (x <= anchors[i].first) {
            const auto [x0, v0] = anchors[i - 1];
            const auto [x1, v1] = anchors[i];
            return v0 + double(v1 - v0) * (x - x0) / (x1 - x0);
        }
    }
    return anchors.back().second;
}

QImage Spectrum()
{
    QImage image = NewImage(320, 16);
    const std::vector<std::pair<int, int>> red = {{25, 0x00}, {60, 0x45}, {100, 0x9D}, {140, 0xE8}, {160, 0xFF}};
    const std::vector<std::pair<int, int>> green = {{160, 0xFF}, {200, 0xC5}, {230, 0x86}, {260, 0x43}, {295, 0x00}};
    // Rows 0..7 lift every channel to at least these values: the glassy upper half.
    static const int floors[8] = {224, 211, 196, 179, 163, 146, 128, 110};
    for (int x = 0; x < 320; ++x) {
        const int r = static_cast<int>(std::lround(Ramp(red, x)));
        const int g = static_cast<int>(std::lround(Ramp(green, x)));
        // A faint blue tint in the lowest three rows, strongest at the middle column.
        const double middle = std::max(0.0, 1.0 - std::abs(x - 160) / 135.0);
        for (int y = 8; y < 16; ++y) {
            const int b = y >= 13 ? static_cast<int>(std::lround(0x1B * middle * (y - 12) / 3.0)) : 0;
            Put(image, x, y, Rgb(r, g, b));
        }
        for (int y = 0; y < 8; ++y) {
            const int f = floors[y];
            Put(image, x, y, Rgb(std::max(r, f), std::max(g, f), f));
        }
    }
    return image;
}

const std::vector<std::pair<std::string, QImage (*)()>> &Skins()
{
    static const std::vector<std::pair<std::string, QImage (*)()>> skins = {
        {"RES_CHARTBAR_SKIN_CAIRO", &Cairo},
        {"RES_SKIN_Crystal", &Crystal},
        {"RES_SKIN_BluePlastic", &BluePlastic},
        {"RES_SKIN_RedGlass", &RedGlass},
        {"RES_SKIN_GreenGlass", &GreenGlass},
        {"RES_SKIN_BlackIce", &BlackIce},
        {"RES_SKIN_BlueChip", &BlueChip},
        {"RES_SKIN_BrownBrick", &BrownBrick},
        {"RES_SKIN_Spectrum", &Spectrum},
    };
    return skins;
}

} // namespace

std::vector<std::string> SkinBitmapNames()
{
    std::vector<std::string> names;
    for (const auto &[name, draw] : Skins()) {
        names.push_back(name);
    }
    return names;
}

QImage DrawSkinBitmap(const std::string &name)
{
    for (const auto &[skinName, draw] : Skins()) {
        if (skinName == name) {
            return draw();
        }
    }
    return {};
}
