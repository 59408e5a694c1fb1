// The symbol evaluator: turns the (name, value text) pairs of the header scan into numbered symbols.
// It evaluates value texts with the host's expression evaluator (with substitution of stored symbols
// when a text does not evaluate), rejects reserved and duplicate names, keeps the accepted symbols in
// the table and hands each one that is written to the output.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

#include "header_recognizer.h"
#include "symbol_table.h"

class ExpressionEvaluator;

// Where accepted symbols are written, in the order accepted.
class SymbolOutput {
 public:
  virtual ~SymbolOutput() = default;
  virtual void WriteSymbol(std::string_view name, int32_t value) = 0;
};

class SymbolStore : public SymbolSink {
 public:
  SymbolStore(SymbolTable& table, SymbolOutput& output) : table_(table), output_(output) {}

  // The evaluator of the file scan in progress; without one every evaluation fails.
  void SetEvaluator(ExpressionEvaluator* evaluator) { evaluator_ = evaluator; }

  void StoreDefine(std::string_view name, std::string_view value) override;
  void StoreEnumerator(std::string_view name, const std::string* value, int32_t& counter) override;
  std::string FourCharacterValue(std::string_view valueText) override;
  void PrintLine(const char* text) override;

  int32_t DefineCount() const { return defineCount_; }
  // Whether a symbol was dropped because the table was full since the last call.
  bool TakeOverflow();

 private:
  // the storing procedure; true when the symbol was accepted
  bool Store(std::string_view name, int32_t value);
  bool EvaluateInteger(const std::string& text, bool wrappedCounts, int32_t& value);

  SymbolTable& table_;
  SymbolOutput& output_;
  ExpressionEvaluator* evaluator_ = nullptr;
  int32_t defineCount_ = 0;
  bool overflow_ = false;
};

// The text of a value as the header wrote it (a define's value text is its tokens joined without
// blanks) with " = " between name and value, as the console messages show it.
std::string SymbolMessage(const char* prefix, std::string_view name, std::string_view value);
