// The host's text tokenizer ("nexal.IoASCIIParserInterface#1"), one file at a time. The token kinds
// and how a file becomes tokens are described in nexal_records.h.
#pragma once
#include <cstdint>
#include <string_view>

#include "error.h"
#include "nexal_records.h"
#include "url.h"

namespace nexal {

struct TextToken {
  int32_t kind = NEXAL_TOKEN_END;
  bool separated = false;  // white space or a line break stands before it
  int32_t line = 0;
  int32_t column = 0;
  std::string_view text;  // the parser's; valid until its next call
};

class TextParser {
 public:
  TextParser() = default;
  TextParser(const TextParser&) = delete;
  TextParser& operator=(const TextParser&) = delete;
  ~TextParser();

  // Makes the host's parser (when not made yet) and opens the file. An unresolved interface answers
  // an NEXAL_ERROR_UNSUPPORTED error after the core layer's own report.
  Error Open(const Url& url);
  // The next token; an error leaves token as it was.
  Error Next(TextToken& token);
  // The last token read has exactly this text.
  bool Compare(const char* text) const;
  // The next token is the current line's end (or the end of the file).
  Error SkipLine();

 private:
  Error NotOpen() const;
  const NexalTextParserInterface* interface_ = nullptr;
  NexalTextParser* parser_ = nullptr;
};

}  // namespace nexal
