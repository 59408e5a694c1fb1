// Text to and from 8-bit form. Code 0 writes UTF-8, a lone surrogate as its "\uXXXX"; code 3 writes 7-bit
// text where every character beyond ASCII and every control character but tab (CR and LF included) is
// "\uXXXX", or "\UXXXXXXXX" beyond the basic plane. Both codes read UTF-8 plus those escapes, with "\u" and
// "\U" alike: eight digits are one escape when they name a character beyond the basic plane, otherwise four
// digits are. A backslash that would read back as the start of an escape (in code 3 also one before a U) is
// itself written as "\u005C", and a hex digit right after the escape of a character up to U+0010 is escaped
// too, so that writing with either code and reading back gives the same text, also after a reader
// lowered every "\U" to "\u". Every character takes at most ten bytes in code 3.
#pragma once
#include <string>
#include <string_view>

namespace zorhost {

std::string encode_text(std::u32string_view text, int conversion);
// Bytes that are not valid UTF-8 (also the forms of surrogates, overlong forms, values beyond U+10FFFF
// and cut-off sequences) are read as the Latin-1 characters of the same value, one byte each, so that
// text from an 8-bit file is not lost.
std::u32string decode_text(std::string_view bytes, int conversion);

// The longest prefix of encode_text(text, conversion) that fits in max_bytes without cutting a
// character or an escape in two.
std::string encode_text_prefix(std::u32string_view text, int conversion, size_t max_bytes);

}  // namespace zorhost
