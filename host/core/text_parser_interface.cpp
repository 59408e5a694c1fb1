#include "core/text_parser_interface.h"

#include "app/entry_guard.h"
#include "core/core_error.h"
#include "core/text_tokenizer.h"
#include "files/filename_impl.h"
#include "memory/memory_tracker.h"

struct NexalTextParser {
  zorhost::TextTokenizer tokenizer;
  bool open = false;
};

namespace zorhost {
namespace {

int hex_digit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

NexalError* not_open() {
  return make_core_error(NEXAL_ERROR_ILLEGAL_STATE, "the text parser has no file open");
}

NexalTextParser* parser_create(const NexalSourceLocation*) {
  return guarded("nexal.IoASCIIParser.create", static_cast<NexalTextParser*>(nullptr),
                 [] { return tracked(ObjectKind::TextParser, new NexalTextParser); });
}

void parser_destroy(NexalTextParser* parser) {
  guarded_void("nexal.IoASCIIParser.destroy", [&] { delete_tracked(ObjectKind::TextParser, parser); });
}

NexalError* parser_open(NexalTextParser* parser, const char* url) {
  return guarded("nexal.IoASCIIParser.open", static_cast<NexalError*>(nullptr), [&]() -> NexalError* {
    if (!parser || !url) return make_core_error(NEXAL_ERROR_NULL_POINTER, "no parser or no URL to open");
    parser->open = false;
    const std::optional<std::string> path = path_of_file_url(url);
    if (!path) {
      return make_core_error(NEXAL_ERROR_UNSUPPORTED,
                             std::string("cannot read ") + url + ": only file URLs can be read as text");
    }
    const HostFilename name{*path};
    if (!parser->tokenizer.open(native(&name))) {
      return make_core_error(NEXAL_ERROR_IO, parser->tokenizer.error());
    }
    parser->open = true;
    return nullptr;
  });
}

NexalError* parser_next(NexalTextParser* parser, NexalToken* token) {
  return guarded("nexal.IoASCIIParser.next", static_cast<NexalError*>(nullptr), [&]() -> NexalError* {
    if (!parser || !token) return make_core_error(NEXAL_ERROR_NULL_POINTER, "no parser or no token");
    if (!parser->open) return not_open();
    parser->tokenizer.next();
    const TextTokenizer& t = parser->tokenizer;
    token->kind = static_cast<int32_t>(t.kind());
    token->separated = t.separated() ? 1 : 0;
    token->line = t.line();
    token->column = t.column();
    token->text = t.text().c_str();
    token->length = static_cast<int32_t>(t.text().size());
    return nullptr;
  });
}

int32_t parser_compare(const NexalTextParser* parser, const char* text) {
  return guarded("nexal.IoASCIIParser.compare", int32_t{0},
                 [&] { return parser && text && parser->open && parser->tokenizer.is(text) ? 1 : 0; });
}

NexalError* parser_skip_line(NexalTextParser* parser) {
  return guarded("nexal.IoASCIIParser.skip_line", static_cast<NexalError*>(nullptr), [&]() -> NexalError* {
    if (!parser) return make_core_error(NEXAL_ERROR_NULL_POINTER, "no parser");
    if (!parser->open) return not_open();
    parser->tokenizer.skip_to_line_end();
    return nullptr;
  });
}

}  // namespace

std::optional<std::string> path_of_file_url(std::string_view url) {
  constexpr std::string_view kScheme = "file://";
  if (url.substr(0, kScheme.size()) != kScheme) return std::nullopt;
  url.remove_prefix(kScheme.size());
  std::string path;
  path.reserve(url.size());
  for (size_t i = 0; i < url.size(); ++i) {
    if (url[i] != '%') {
      path += url[i];
      continue;
    }
    const bool room = i + 2 < url.size();
    const int high = room ? hex_digit(url[i + 1]) : -1;
    const int low = room ? hex_digit(url[i + 2]) : -1;
    if (high < 0 || low < 0) return std::nullopt;
    path += static_cast<char>(high * 16 + low);
    i += 2;
  }
  return path;
}

const NexalTextParserInterface* text_parser_interface() {
  static const NexalTextParserInterface kTable{
      .create = parser_create,
      .destroy = parser_destroy,
      .open = parser_open,
      .next = parser_next,
      .compare = parser_compare,
      .skip_line = parser_skip_line,
  };
  return &kTable;
}

}  // namespace zorhost
