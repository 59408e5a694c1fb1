#include "strings/string_codec.h"

#include <cstdio>

#include "strings/string_impl.h"
#include "zor_api.h"

namespace zorhost {
namespace {

void append_utf8(std::string& out, char32_t c) {
  if (c > 0x10FFFF) c = 0xFFFD;
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

// Length of the escape at text[pos] ("\uXXXX" or "\UXXXXXXXX"), 0 when there is none.
template <class Text>
size_t escape_length(const Text& text, size_t pos) {
  if (pos + 1 >= text.size() || text[pos] != '\\') return 0;
  const size_t digits = text[pos + 1] == 'u' ? 4 : text[pos + 1] == 'U' ? 8 : 0;
  if (digits == 0 || pos + 2 + digits > text.size()) return 0;
  for (size_t i = 0; i < digits; ++i) {
    if (hex_value(static_cast<char32_t>(static_cast<unsigned char>(text[pos + 2 + i]))) < 0) return 0;
  }
  return 2 + digits;
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

// The 8-bit form of the character at text[pos].
std::string encode_char(std::u32string_view text, size_t pos, int conversion) {
  const char32_t c = text[pos];
  if (conversion == ZOR_STRING_7BIT_ESCAPED) {
    if (c >= 0x80) return escape(c);
    if (c == '\\' && escape_length(text, pos) > 0) return escape(c);
    return std::string(1, static_cast<char>(c));
  }
  // UTF-8 output is read back with escapes too, so a backslash that starts one must be protected.
  if (c == '\\' && escape_length(text, pos) > 0) return escape(c);
  std::string out;
  append_utf8(out, c);
  return out;
}

}  // namespace

std::string encode_text(std::u32string_view text, int conversion) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) out += encode_char(text, i, conversion);
  return out;
}

std::string encode_text_prefix(std::u32string_view text, int conversion, size_t max_bytes) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    std::string piece = encode_char(text, i, conversion);
    if (out.size() + piece.size() > max_bytes) break;
    out += piece;
  }
  return out;
}

std::u32string decode_text(std::string_view bytes, int /*conversion*/) {
  // Both codes read the same way: code 3 text is plain ASCII plus escapes, which is valid code 0 text.
  std::u32string out;
  out.reserve(bytes.size());
  size_t i = 0;
  while (i < bytes.size()) {
    if (const size_t length = escape_length(bytes, i)) {
      char32_t value = 0;
      for (size_t k = 2; k < length; ++k)
        value = value * 16 + hex_value(static_cast<unsigned char>(bytes[i + k]));
      out += value;
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
    // overlong forms are not UTF-8
    if (valid && ((extra == 2 && value < 0x800) || (extra == 3 && (value < 0x10000 || value > 0x10FFFF)))) {
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
