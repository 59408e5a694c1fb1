// The token state machine of the header symbol scan: a comment filter, a `#define` recogniser and an
// `enum` recogniser, fed one token at a time by the scan of one header in one pass. What it
// recognises goes to a SymbolSink; it knows nothing of files, evaluation or output.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

#include "nexal/textparser.h"

// What one scan of a header hands on: defines in the defines pass, enumerators in the enums pass.
enum class ScanPass : int32_t { Defines = 0, Enums = 1 };

class SymbolSink {
 public:
  virtual ~SymbolSink() = default;
  // a complete `#define` with a non-empty value (defines pass)
  virtual void StoreDefine(std::string_view name, std::string_view value) = 0;
  // a finished enumerator (enums pass); value null for one without "="; on success the sink sets
  // counter to the stored value plus one
  virtual void StoreEnumerator(std::string_view name, const std::string* value, int32_t& counter) = 0;
  // the decimal text of a ZOR_FOUR_BYTE(...) value text, empty when it cannot be evaluated
  virtual std::string FourCharacterValue(std::string_view valueText) = 0;
  // one line on the host console
  virtual void PrintLine(const char* text) = 0;
};

class HeaderRecognizer {
 public:
  HeaderRecognizer(SymbolSink& sink, ScanPass pass) : _sink(sink), _pass(pass) {}

  // Processes one token (never the end of input, which ends the scan). Answers true when the caller
  // must make the tokenizer pass over the rest of the current line before the next token. The
  // token's text need only last for the call.
  bool Process(const nexal::TextToken& token);

  enum class Comment { None, SlashSeen, Block, BlockStar, Line };
  enum class Directive { None, AfterHash, AfterDefine, CollectingValue };
  enum class Enum { Outside, AfterEnum, InList, AfterName, InValue, InCall };

  Comment CommentState() const { return _comment; }
  Directive DirectiveState() const { return _directive; }
  Enum EnumState() const { return _enum; }
  int32_t EnumCounter() const { return _enumCounter; }

 private:
  void KeepSlash(const nexal::TextToken& token);
  bool Recognize(const nexal::TextToken& token);
  bool RecognizeDirective(const nexal::TextToken& token);
  void RecognizeEnum(const nexal::TextToken& token);
  void FinishEnumerator(bool withValue);

  SymbolSink& _sink;
  ScanPass _pass;
  Comment _comment = Comment::None;
  Directive _directive = Directive::None;
  Enum _enum = Enum::Outside;
  nexal::TextToken _pendingSlash;  // the `/` of Comment::SlashSeen
  int32_t _depth = 0;              // bracket depth of a define value; -1: a group opened and closed
  int32_t _enumCounter = 0;
  std::string _defineName;
  std::string _defineValue;
  std::string _enumName;
  std::string _enumValue;
};
