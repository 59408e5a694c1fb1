#include <algorithm>
#include <cstring>

#include "app/entry_guard.h"
#include "app/host_table.h"
#include "memory/memory_tracker.h"
#include "strings/number_text.h"
#include "strings/string_codec.h"
#include "strings/string_impl.h"

namespace zorhost {

HostString* new_host_string(std::string_view utf8) {
  return tracked(ObjectKind::String, new HostString{from_utf8(utf8)});
}

namespace {

HostString* strings_alloc() {
  return guarded("strings.alloc", static_cast<HostString*>(nullptr), [] { return new_host_string(""); });
}

void strings_free(HostString* s) {
  guarded_void("strings.free", [&] { delete_tracked(ObjectKind::String, s); });
}

HostString* strings_copy(const HostString* s) {
  return guarded("strings.copy", static_cast<HostString*>(nullptr), [&]() -> HostString* {
    return s ? tracked(ObjectKind::String, new HostString{s->text}) : nullptr;
  });
}

void strings_assign(HostString* dst, const HostString* src) {
  guarded_void("strings.assign", [&] {
    if (dst) dst->text = src ? src->text : std::u32string();
  });
}

void strings_set_text(HostString* s, const char* text, int32_t length, int32_t conversion) {
  guarded_void("strings.set_text", [&] {
    if (!s) return;
    if (!text) {
      s->text.clear();
      return;
    }
    const size_t bytes = length < 0 ? std::strlen(text) : static_cast<size_t>(length);
    s->text = decode_text(std::string_view(text, bytes), conversion);
  });
}

int32_t strings_get_text(const HostString* s, char* buffer, int32_t buffer_size, int32_t conversion) {
  return guarded("strings.get_text", 0, [&]() -> int32_t {
    if (!buffer || buffer_size <= 0) return 0;
    const std::string text =
        s ? encode_text_prefix(s->text, conversion, static_cast<size_t>(buffer_size - 1)) : std::string();
    std::memcpy(buffer, text.data(), text.size());
    buffer[text.size()] = '\0';
    return static_cast<int32_t>(text.size());
  });
}

int32_t strings_get_text_length(const HostString* s, int32_t conversion) {
  return guarded("strings.get_text_length", 0, [&]() -> int32_t {
    return s ? static_cast<int32_t>(encode_text(s->text, conversion).size()) : 0;
  });
}

int32_t strings_length(const HostString* s) {
  return guarded("strings.length", 0, [&] { return s ? static_cast<int32_t>(s->text.size()) : 0; });
}

uint32_t strings_char_at(const HostString* s, int32_t index) {
  return guarded("strings.char_at", 0u, [&]() -> uint32_t {
    if (!s || index < 0 || static_cast<size_t>(index) >= s->text.size()) return 0;
    return static_cast<uint32_t>(s->text[index]);
  });
}

void strings_append(HostString* dst, const HostString* src) {
  guarded_void("strings.append", [&] {
    if (dst && src) dst->text += std::u32string(src->text);  // src may be dst
  });
}

void strings_append_text(HostString* dst, const char* utf8) {
  guarded_void("strings.append_text", [&] {
    if (dst && utf8) dst->text += from_utf8(utf8);
  });
}

void strings_sub(const HostString* s, int32_t start, int32_t count, HostString* out) {
  guarded_void("strings.sub", [&] {
    if (!out) return;
    if (!s) {
      out->text.clear();
      return;
    }
    const int64_t size = static_cast<int64_t>(s->text.size());
    const int64_t first = std::clamp<int64_t>(start, 0, size);
    const int64_t last = std::clamp<int64_t>(static_cast<int64_t>(start) + std::max(count, 0), first, size);
    out->text = s->text.substr(first, last - first);  // a copy first: out may be s
  });
}

int32_t strings_find(const HostString* s, const HostString* needle, int32_t start) {
  return guarded("strings.find", -1, [&]() -> int32_t {
    if (!s || !needle) return -1;
    const size_t from = static_cast<size_t>(std::max(start, 0));
    if (from > s->text.size()) return -1;
    const size_t at = s->text.find(needle->text, from);
    return at == std::u32string::npos ? -1 : static_cast<int32_t>(at);
  });
}

int32_t compare_texts(const HostString* a, const HostString* b) {
  const std::u32string_view left = a ? std::u32string_view(a->text) : std::u32string_view();
  const std::u32string_view right = b ? std::u32string_view(b->text) : std::u32string_view();
  const int result = left.compare(right);  // char32_t compares as unsigned code points
  return result < 0 ? -1 : result > 0 ? 1 : 0;
}

int32_t strings_compare(const HostString* a, const HostString* b) {
  return guarded("strings.compare", 0, [&] { return compare_texts(a, b); });
}

bool strings_equal(const HostString* a, const HostString* b) {
  return guarded("strings.equal", false, [&] { return compare_texts(a, b) == 0; });
}

void strings_from_int(HostString* out, int64_t value) {
  guarded_void("strings.from_int", [&] {
    if (out) out->text = from_utf8(std::to_string(value));
  });
}

void strings_from_float(HostString* out, double value, int32_t int_digits, int32_t fraction_digits,
                        bool exponent, uint32_t fill) {
  guarded_void("strings.from_float", [&] {
    if (out) out->text = format_float(value, int_digits, fraction_digits, exponent, fill ? fill : U' ');
  });
}

int64_t strings_to_int(const HostString* s, int32_t* error) {
  return guarded("strings.to_int", int64_t{0}, [&]() -> int64_t {
    const auto value = s ? parse_int(s->text) : std::nullopt;
    if (error) *error = value ? 0 : 1;
    return value.value_or(0);
  });
}

double strings_to_float(const HostString* s, int32_t* error) {
  return guarded("strings.to_float", 0.0, [&]() -> double {
    const auto value = s ? parse_float(s->text) : std::nullopt;
    if (error) *error = value ? 0 : 1;
    return value.value_or(0.0);
  });
}

void strings_line_end(HostString* out) {
  guarded_void("strings.line_end", [&] {
    if (out) out->text.assign(1, U'\n');
  });
}

}  // namespace

const HostStringTable* strings_table() {
  static const HostStringTable kTable{
      .size = sizeof(HostStringTable),
      .alloc = strings_alloc,
      .free = strings_free,
      .copy = strings_copy,
      .assign = strings_assign,
      .set_text = strings_set_text,
      .get_text = strings_get_text,
      .get_text_length = strings_get_text_length,
      .length = strings_length,
      .char_at = strings_char_at,
      .append = strings_append,
      .append_text = strings_append_text,
      .sub = strings_sub,
      .find = strings_find,
      .compare = strings_compare,
      .equal = strings_equal,
      .from_int = strings_from_int,
      .from_float = strings_from_float,
      .to_int = strings_to_int,
      .to_float = strings_to_float,
      .line_end = strings_line_end,
  };
  return &kTable;
}

}  // namespace zorhost
