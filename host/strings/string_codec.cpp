#include "strings/string_codec.h"

#include <cstdio>

#include "strings/string_impl.h"
#include "zor_api.h"

namespace zorhost {
namespace {

bool is_surrogate(char32_t c) {
  return c >= 0xD800 && c <= 0xDFFF;
}

// UTF-8 has no form for a lone surrogate or a value beyond U+10FFFF: they become U+FFFD.
void append_utf8(std::string& out, char32_t c) {
  if (c > 0x10FFFF || is_surrogate(c)) c = 0xFFFD;
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

int hex_value(char32_t c) {
  if (c >= '0' && c <= '9') return static_cast<int>(c - '0');
  if (c >= 'a' && c <= 'f') return static_cast<int>(c - 'a' + 10);
  if (c >= 'A' && c <= 'F') return static_cast<int>(c - 'A' + 10);
  return -1;
}

template <class Text>
char32_t char_at(const Text& text, size_t pos) {
  if constexpr (sizeof(text[pos]) == 1) {
    return static_cast<unsigned char>(text[pos]);
  } else {
    return text[pos];
  }
}

template <class Text>
bool hex_digits_at(const Text& text, size_t pos, size_t count, char32_t* value) {
  if (pos + count > text.size()) return false;
  char32_t result = 0;
  for (size_t i = 0; i < count; ++i) {
    const int digit = hex_value(char_at(text, pos + i));
    if (digit < 0) return false;
    result = result * 16 + static_cast<char32_t>(digit);
  }
  *value = result;
  return true;
}

// The escape at text[pos]: its length (0 when there is none) and its character. "\u" and "\U" read
// alike, because readers of script string files lower the U before converting. Eight digits are one
// escape when they name a character beyond the basic plane; otherwise four digits are.
template <class Text>
size_t read_escape(const Text& text, size_t pos, char32_t* value) {
  if (pos + 1 >= text.size() || char_at(text, pos) != '\\') return 0;
  const char32_t marker = char_at(text, pos + 1);
  if (marker != 'u' && marker != 'U') return 0;
  char32_t wide = 0;
  if (hex_digits_at(text, pos + 2, 8, &wide) && wide >= 0x10000 && wide <= 0x10FFFF) {
    *value = wide;
    return 10;
  }
  return hex_digits_at(text, pos + 2, 4, value) ? 6 : 0;
}

bool starts_escape(std::u32string_view text, size_t pos) {
  char32_t ignored = 0;
  return read_escape(text, pos, &ignored) > 0;
}

bool is_hex_digit(char32_t c) {
  return hex_value(c) >= 0;
}

std::string escape(char32_t c) {
  char buffer[16];
  if (c <= 0xFFFF) {
    std::snprintf(buffer, sizeof buffer, "\\u%04X", static_cast<unsigned>(c));
  } else {
    std::snprintf(buffer, sizeof buffer, "\\U%08X", static_cast<unsigned>(c));
  }
  return buffer;
}

// Writes one character at a time; what a character becomes may depend on its neighbours.
class Encoder {
 public:
  explicit Encoder(int conversion)
      : escaped_(conversion == ZOR_STRING_7BIT_ESCAPED), verbatim_(conversion == ZOR_STRING_UTF8_VERBATIM) {}

  // The 8-bit form of text[pos]; called for every position in order.
  std::string next(std::u32string_view text, size_t pos) {
    char32_t c = text[pos];
    if (c > 0x10FFFF) c = 0xFFFD;
    const bool protect_digit = after_short_escape_ && is_hex_digit(c);
    after_short_escape_ = false;
    // A backslash that would read back as the start of an escape is itself escaped, and so is one
    // before a U in code 3, which the script string reader would lower to u.
    if (c == '\\' && !verbatim_ &&
        (starts_escape(text, pos) || (escaped_ && pos + 1 < text.size() && text[pos + 1] == 'U'))) {
      return escape(c);
    }
    // A lone surrogate (read from an escape) has no UTF-8 form; its escape reads back as itself.
    if (is_surrogate(c) && !verbatim_) return escape(c);
    if (!escaped_) {
      std::string out;
      append_utf8(out, c);
      return out;
    }
    // Control characters but tab are escaped, line ends included, so that a text with a line break
    // stays on one line of a text file; a writer puts its own line ends in the file as they are.
    const bool control = (c < 0x20 && c != '\t') || c == 0x7F;
    if (c >= 0x80 || control || protect_digit) {
      // "\u0001" to "\u0010" followed by four digits would read as one eight-digit escape.
      after_short_escape_ = c <= 0x10;
      return escape(c);
    }
    return std::string(1, static_cast<char>(c));
  }

 private:
  bool escaped_;
  bool verbatim_;
  bool after_short_escape_ = false;
};

}  // namespace

std::string encode_text(std::u32string_view text, int conversion) {
  std::string out;
  out.reserve(text.size());
  Encoder encoder(conversion);
  for (size_t i = 0; i < text.size(); ++i) out += encoder.next(text, i);
  return out;
}

std::string encode_text_prefix(std::u32string_view text, int conversion, size_t max_bytes) {
  std::string out;
  Encoder encoder(conversion);
  for (size_t i = 0; i < text.size(); ++i) {
    std::string piece = encoder.next(text, i);
    if (out.size() + piece.size() > max_bytes) break;
    out += piece;
  }
  return out;
}

std::u32string decode_text(std::string_view bytes, int conversion) {
  // Codes 0 and 3 read the same way: code 3 text is plain ASCII plus escapes, which is valid code 0
  // text. The verbatim code is for bytes that only happen to look like escapes (a file's contents).
  const bool verbatim = conversion == ZOR_STRING_UTF8_VERBATIM;
  std::u32string out;
  out.reserve(bytes.size());
  size_t i = 0;
  while (i < bytes.size()) {
    char32_t escaped = 0;
    if (const size_t length = verbatim ? 0 : read_escape(bytes, i, &escaped)) {
      out += escaped;
      i += length;
      continue;
    }
    const unsigned char lead = static_cast<unsigned char>(bytes[i]);
    size_t extra = 0;
    char32_t value = lead;
    bool valid = true;
    if (lead >= 0xC2 && lead < 0xE0) {
      extra = 1, value = lead & 0x1F;
    } else if (lead >= 0xE0 && lead < 0xF0) {
      extra = 2, value = lead & 0x0F;
    } else if (lead >= 0xF0 && lead < 0xF5) {
      extra = 3, value = lead & 0x07;
    } else if (lead >= 0x80) {
      valid = false;
    }
    if (i + extra >= bytes.size() && extra > 0) valid = false;
    for (size_t k = 1; valid && k <= extra; ++k) {
      const unsigned char next = static_cast<unsigned char>(bytes[i + k]);
      if ((next & 0xC0) != 0x80) valid = false;
      value = (value << 6) | (next & 0x3F);
    }
    // Overlong forms, surrogates and values beyond U+10FFFF are not UTF-8: like every other byte that
    // is not, their lead byte is read as Latin-1 and the bytes after it on their own.
    if (valid && ((extra == 2 && (value < 0x800 || is_surrogate(value))) ||
                  (extra == 3 && (value < 0x10000 || value > 0x10FFFF)))) {
      valid = false;
    }
    if (!valid) {
      out += static_cast<char32_t>(lead);
      i += 1;
    } else {
      out += value;
      i += extra + 1;
    }
  }
  return out;
}

std::string to_utf8(std::u32string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char32_t c : text) append_utf8(out, c);
  return out;
}

std::string to_utf8(const HostString* s) {
  return s ? to_utf8(std::u32string_view(s->text)) : std::string();
}

std::u32string from_utf8(std::string_view utf8) {
  // Plain UTF-8: internal texts (paths, names) never carry escapes, so a "\u" in them stays as is.
  std::u32string out;
  size_t start = 0;
  // decode_text would read escapes; split the input at backslashes to keep them literal.
  while (start <= utf8.size()) {
    const size_t slash = utf8.find('\\', start);
    const size_t end = slash == std::string_view::npos ? utf8.size() : slash;
    out += decode_text(utf8.substr(start, end - start), ZOR_STRING_UTF8);
    if (slash == std::string_view::npos) break;
    out += U'\\';
    start = slash + 1;
  }
  return out;
}

}  // namespace zorhost
