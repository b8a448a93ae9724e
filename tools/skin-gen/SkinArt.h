#pragma once

#include <string>
#include <vector>

#include <QImage>

// The bar skin bitmaps, drawn from their sizes, frames and colour tables. The committed
// resources/skins/*.png are the output of skin-gen, which uses these functions.

// The resource names of all skin bitmaps.
[[nodiscard]] std::vector<std::string> SkinBitmapNames();

// The bitmap of one resource as 24-bit RGB (QImage::Format_RGB888); a null image for an
// unknown name.
[[nodiscard]] QImage DrawSkinBitmap(const std::string &name);
