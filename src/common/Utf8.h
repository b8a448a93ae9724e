#pragma once

#include <cstddef>
#include <string_view>

// The length of the UTF-8 sequence at the start of `text` when it is one well-formed code
// point (no overlong forms, no surrogates, nothing above U+10FFFF), else 0; `codePoint`
// receives its value. Names on disk are bytes, so every reader of them decodes this way.
std::size_t DecodeUtf8(std::string_view text, char32_t &codePoint);
