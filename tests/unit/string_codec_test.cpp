// The 8-bit conversions: what code 3 writes reads back through code 0, which round-trips alone.
#include "strings/string_codec.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "zor_api.h"

using namespace zorhost;

namespace {

// Characters that make conversions go wrong more often than chance would pick them.
const std::vector<char32_t> kTricky = {
    U'\\', U'"',  U'u',  U'U',   U'0',   U'1',   U'9',   U'a',   U'F',   U'f',    U'x',    U' ',    U'\t',
    U'\n', U'\r', 0,     1,      0x10,   0x11,   0x1F,   0x7F,   0x80,   0xA0,    0xE9,    0xFF,    0x100,
    0x41F, 0x5D0, 0x627, 0x3042, 0x65E5, 0xD7FF, 0xE000, 0xFFFD, 0xFFFF, 0x10000, 0x1F600, 0x10FFFF};

std::u32string random_text(std::mt19937& random) {
  std::uniform_int_distribution<int> length(0, 40);
  std::uniform_int_distribution<int> kind(0, 9);
  std::uniform_int_distribution<size_t> tricky(0, kTricky.size() - 1);
  std::u32string text;
  const int count = length(random);
  for (int i = 0; i < count; ++i) {
    const int k = kind(random);
    if (k < 3) {
      text += kTricky[tricky(random)];
    } else if (k == 3) {  // something that looks like an escape: a backslash, u or U and hex digits
      text += random() % 2 ? U"\\u" : U"\\U";
      for (int n = static_cast<int>(random() % 10); n > 0; --n)
        text += U"0123456789abcdefABCDEF"[random() % 22];
    } else {
      // printable ASCII, any ASCII with controls, the basic plane, beyond it
      const uint32_t kFrom[] = {0x20, 0x20, 0, 0x80, 0x10000, 0x10000},
                     kTo[] = {0x7F, 0x7F, 0x80, 0x10000, 0x110000, 0x110000};
      text += static_cast<char32_t>(kFrom[k - 4] + random() % (kTo[k - 4] - kFrom[k - 4]));
    }
  }
  return text;
}

// What the script string reader does to a line before converting it.
std::string lower_u_after_backslash(std::string bytes) {
  for (size_t i = 1; i < bytes.size(); ++i) {
    if (bytes[i] == 'U' && bytes[i - 1] == '\\') bytes[i] = 'u';
  }
  return bytes;
}

}  // namespace

TEST(StringCodec, RandomTextsWrittenWithCodeThreeReadBackUnchanged) {
  std::mt19937 random(20261206);
  for (int iteration = 0; iteration < 50000; ++iteration) {
    const std::u32string text = random_text(random);
    const std::string escaped = encode_text(text, ZOR_STRING_7BIT_ESCAPED);
    bool seven_bit_text = escaped.size() <= 10 * text.size();
    for (unsigned char c : escaped) {
      seven_bit_text = seven_bit_text && ((c >= 0x20 && c < 0x7F) || c == '\t');  // and one line
    }
    ASSERT_TRUE(seven_bit_text) << "iteration " << iteration << ": " << escaped;
    ASSERT_EQ(decode_text(escaped, ZOR_STRING_UTF8), text) << "iteration " << iteration << ": " << escaped;
    ASSERT_EQ(decode_text(lower_u_after_backslash(escaped), ZOR_STRING_UTF8), text)
        << "iteration " << iteration << ": " << escaped;

    const std::string utf8 = encode_text(text, ZOR_STRING_UTF8);
    ASSERT_EQ(decode_text(utf8, ZOR_STRING_UTF8), text) << "iteration " << iteration;

    // a cut-off conversion is the conversion of a shorter text: never half a character or escape
    const size_t limit = random() % (escaped.size() + 2);
    const std::string prefix = encode_text_prefix(text, ZOR_STRING_7BIT_ESCAPED, limit);
    ASSERT_LE(prefix.size(), limit);
    const std::u32string start = decode_text(prefix, ZOR_STRING_UTF8);
    ASSERT_EQ(start, text.substr(0, start.size())) << "iteration " << iteration << ": " << prefix;
  }
}

TEST(StringCodec, EscapesThatATranslatorWrites) {
  // both cases of U, four or eight digits, and backslashes that start nothing
  EXPECT_EQ(decode_text("\\u00e9t\\U00E9 \\u0001F600 \\U0001f600", 0),
            U"\u00e9t\u00e9 \U0001F600 \U0001F600");
  EXPECT_EQ(decode_text("C:\\users\\new \\u12 \\", 0), U"C:\\users\\new \\u12 \\");
  // eight digits that name no character beyond the basic plane are four digits and text
  EXPECT_EQ(decode_text("\\u00E92024", 0), U"\u00E92024");
  EXPECT_EQ(decode_text("\\u00110000", 0), U"\u00110000");

  // what code 3 writes for the cases the reader must not misread
  EXPECT_EQ(encode_text(U"a\tz\r\n\u0007\u007F", ZOR_STRING_7BIT_ESCAPED),
            "a\tz\\u000D\\u000A\\u0007\\u007F");
  EXPECT_EQ(encode_text(U"a\u0002b", ZOR_STRING_7BIT_ESCAPED), "a\\u0002\\u0062");
  EXPECT_EQ(encode_text(U"\u0001F600", ZOR_STRING_7BIT_ESCAPED), "\\u0001\\u0046600");
  EXPECT_EQ(encode_text(U"\\U1234 \\users", ZOR_STRING_7BIT_ESCAPED), "\\u005CU1234 \\users");
  EXPECT_EQ(encode_text(U"\U0001F600\"", ZOR_STRING_7BIT_ESCAPED), "\\U0001F600\"");
}

TEST(StringCodec, EveryByteSequenceThatIsNotUtf8IsReadAsLatin1) {
  const struct {
    const char* bytes;
    std::u32string text;
  } kCases[] = {
      {"\xED\xA0\x80", U"\u00ED\u00A0\u0080"},            // a high surrogate
      {"x\xED\xBF\xBFy", U"x\u00ED\u00BF\u00BFy"},        // a low surrogate
      {"\xC0\xAF", U"\u00C0\u00AF"},                      // overlong, two bytes
      {"\xE0\x80\xAF", U"\u00E0\u0080\u00AF"},            // overlong, three bytes
      {"\xF0\x8F\xBF\xBF", U"\u00F0\u008F\u00BF\u00BF"},  // overlong, four bytes
      {"\xF4\x90\x80\x80", U"\u00F4\u0090\u0080\u0080"},  // beyond U+10FFFF
      {"\xF5\x80", U"\u00F5\u0080"},
      {"\xE2\x82", U"\u00E2\u0082"},  // cut off by the end
      {"\xE2\x82z", U"\u00E2\u0082z"},
      {"\xED\x9F\xBF\xEE\x80\x80\xF4\x8F\xBF\xBF", U"\uD7FF\uE000\U0010FFFF"},  // valid around them
  };
  for (const auto& c : kCases) EXPECT_EQ(decode_text(c.bytes, ZOR_STRING_UTF8), c.text);

  // a lone surrogate from an escape is written as one, so that code 0 stays UTF-8 and reads it back
  const std::u32string lone = {U'a', char32_t(0xD800), U'1', U'2', U'3', U'4'};
  EXPECT_EQ(encode_text(lone, ZOR_STRING_UTF8), "a\\uD8001234");
  EXPECT_EQ(decode_text(encode_text(lone, ZOR_STRING_UTF8), ZOR_STRING_UTF8), lone);
}
