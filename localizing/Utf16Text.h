// Conversions between the UTF-16 text that string tables store and the UTF-8 that programs use.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace loc {

// UTF-16 code units to UTF-8 in Unicode Normalization Form C, so that text typed precomposed and
// text typed with combining marks compare and look up alike. Unpaired surrogates become U+FFFD.
std::string utf16ToUtf8Nfc(std::u16string_view text);

// Strict UTF-8 to UTF-16; code points above U+FFFF become surrogate pairs. Throws
// std::invalid_argument naming the byte offset of the first malformed sequence: overlong forms,
// encoded surrogates, values above U+10FFFF, stray continuation bytes and truncated sequences.
std::u16string utf8ToUtf16(std::string_view text);

// Length of the longest prefix of utf8 that is at most maxBytes long and ends on a character
// boundary, for cutting text to a fixed-size field.
std::size_t utf8PrefixLength(std::string_view utf8, std::size_t maxBytes);

}  // namespace loc
