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
  HeaderRecognizer(SymbolSink& sink, ScanPass pass) : sink_(sink), pass_(pass) {}

  // Processes one token (never the end of input, which ends the scan). Answers true when the caller
  // must make the tokenizer pass over the rest of the current line before the next token. The
  // token's text need only last for the call.
  bool Process(const nexal::TextToken& token);

  enum class Comment { None, SlashSeen, Block, BlockStar, Line };
  enum class Directive { None, AfterHash, AfterDefine, CollectingValue };
  enum class Enum { Outside, AfterEnum, InList, AfterName, InValue, InCall };

  Comment CommentState() const { return comment_; }
  Directive DirectiveState() const { return directive_; }
  Enum EnumState() const { return enum_; }
  int32_t EnumCounter() const { return enumCounter_; }

 private:
  void KeepSlash(const nexal::TextToken& token);
  bool Recognize(const nexal::TextToken& token);
  bool RecognizeDirective(const nexal::TextToken& token);
  void RecognizeEnum(const nexal::TextToken& token);
  void FinishEnumerator(bool withValue);

  SymbolSink& sink_;
  ScanPass pass_;
  Comment comment_ = Comment::None;
  Directive directive_ = Directive::None;
  Enum enum_ = Enum::Outside;
  nexal::TextToken pendingSlash_;  // the `/` of Comment::SlashSeen
  int32_t depth_ = 0;              // bracket depth of a define value; -1: a group opened and closed
  int32_t enumCounter_ = 0;
  std::string defineName_;
  std::string defineValue_;
  std::string enumName_;
  std::string enumValue_;
};
