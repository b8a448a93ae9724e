#pragma once

#include <stdexcept>
#include <string_view>

#include <QImage>

// Raised when a bitmap resource of the program does not exist.
class EResNotFound : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// The skin bitmap resource `name` ("RES_SKIN_Crystal"), looked up ignoring letter case among
// the bitmaps embedded in the program, as 24-bit colour. Throws EResNotFound.
[[nodiscard]] QImage LoadBitmapResource(std::string_view name);
