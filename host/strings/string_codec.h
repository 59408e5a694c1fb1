// Text to and from 8-bit form. Code 0 writes UTF-8 and reads UTF-8 plus the escapes that code 3
// writes; code 3 writes 7-bit text where every other character is "\uXXXX" (or "\UXXXXXXXX" beyond
// the basic plane). A backslash that would otherwise read back as an escape is itself written as
// "\u005C", so that escaping and reading back give the same text.
#pragma once
#include <string>
#include <string_view>

namespace zorhost {

std::string encode_text(std::u32string_view text, int conversion);
// Bytes that are not valid UTF-8 are read as the Latin-1 characters of the same value, so that text
// from an 8-bit file is not lost.
std::u32string decode_text(std::string_view bytes, int conversion);

// The longest prefix of encode_text(text, conversion) that fits in max_bytes without cutting a
// character or an escape in two.
std::string encode_text_prefix(std::u32string_view text, int conversion, size_t max_bytes);

}  // namespace zorhost
