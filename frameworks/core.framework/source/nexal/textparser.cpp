#include "textparser.h"

#include "object.h"

namespace nexal {
namespace {

const NexalTextParserInterface* ParserInterface() {
  return static_cast<const NexalTextParserInterface*>(ResolveForCall(Reference(Ref::TextParser)));
}

}  // namespace

TextParser::~TextParser() {
  if (_parser != nullptr && _interface != nullptr && _interface->destroy != nullptr)
    _interface->destroy(_parser);
}

Error TextParser::NotOpen() const {
  return Error::Make(NEXAL_ERROR_ILLEGAL_STATE, "the text parser has no file open");
}

Error TextParser::Open(const Url& url) {
  if (_parser == nullptr) {
    _interface = ParserInterface();
    if (_interface == nullptr || _interface->create == nullptr) {
      _interface = nullptr;
      return Error::Make(NEXAL_ERROR_UNSUPPORTED, std::string(NEXAL_TEXT_PARSER_ID) + " is not available");
    }
    _parser = _interface->create(NEXAL_SOURCE_LOCATION());
    if (_parser == nullptr) return Error::Make(NEXAL_ERROR_OUT_OF_MEMORY, "no memory for a text parser");
  }
  if (_interface->open == nullptr) return Error::Make(NEXAL_ERROR_UNSUPPORTED, "the text parser cannot open");
  return Error(_interface->open(_parser, url.GetText().c_str()));
}

Error TextParser::Next(TextToken& token) {
  if (_parser == nullptr || _interface->next == nullptr) return NotOpen();
  NexalToken read{};
  Error error(_interface->next(_parser, &read));
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
  return _parser != nullptr && _interface->compare != nullptr && text != nullptr &&
         _interface->compare(_parser, text) == 1;
}

Error TextParser::SkipLine() {
  if (_parser == nullptr || _interface->skip_line == nullptr) return NotOpen();
  return Error(_interface->skip_line(_parser));
}

}  // namespace nexal
