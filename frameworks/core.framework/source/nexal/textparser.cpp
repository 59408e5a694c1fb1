#include "textparser.h"

#include "object.h"

namespace nexal {
namespace {

const NexalTextParserInterface* ParserInterface() {
  return static_cast<const NexalTextParserInterface*>(ResolveForCall(Reference(Ref::TextParser)));
}

}  // namespace

TextParser::~TextParser() {
  if (parser_ != nullptr && interface_ != nullptr && interface_->destroy != nullptr)
    interface_->destroy(parser_);
}

Error TextParser::NotOpen() const {
  return Error::Make(NEXAL_ERROR_ILLEGAL_STATE, "the text parser has no file open");
}

Error TextParser::Open(const Url& url) {
  if (parser_ == nullptr) {
    interface_ = ParserInterface();
    if (interface_ == nullptr || interface_->create == nullptr) {
      interface_ = nullptr;
      return Error::Make(NEXAL_ERROR_UNSUPPORTED, std::string(NEXAL_TEXT_PARSER_ID) + " is not available");
    }
    parser_ = interface_->create(NEXAL_SOURCE_LOCATION());
    if (parser_ == nullptr) return Error::Make(NEXAL_ERROR_OUT_OF_MEMORY, "no memory for a text parser");
  }
  if (interface_->open == nullptr) return Error::Make(NEXAL_ERROR_UNSUPPORTED, "the text parser cannot open");
  return Error(interface_->open(parser_, url.GetText().c_str()));
}

Error TextParser::Next(TextToken& token) {
  if (parser_ == nullptr || interface_->next == nullptr) return NotOpen();
  NexalToken read{};
  Error error(interface_->next(parser_, &read));
  if (error) return error;
  token.kind = read.kind;
  token.separated = read.separated != 0;
  token.line = read.line;
  token.column = read.column;
  token.text = read.text != nullptr && read.length > 0
                   ? std::string_view(read.text, static_cast<std::size_t>(read.length))
                   : std::string_view();
  return Error();
}

bool TextParser::Compare(const char* text) const {
  return parser_ != nullptr && interface_->compare != nullptr && text != nullptr &&
         interface_->compare(parser_, text) == 1;
}

Error TextParser::SkipLine() {
  if (parser_ == nullptr || interface_->skip_line == nullptr) return NotOpen();
  return Error(interface_->skip_line(parser_));
}

}  // namespace nexal
