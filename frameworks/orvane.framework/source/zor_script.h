// The scripts family: the scripting-language library and the expression evaluator.
#pragma once
#include <cstdint>

#include "zor_filename.h"
#include "zor_string.h"

// The function table of the library registered under id and plug-in kind; null when the host has no
// such library or the library no table. Borrowed: it lives as long as the host.
const HostScriptLibraryTable* FindScriptLibraryTable(int32_t id, int32_t kind);

// Calls the table's compile entry. Answers 0 (failure) when the table is null, declares less than 8
// bytes, or does not cover the entry or left it empty.
int32_t CallScriptCompile(const HostScriptLibraryTable* table, const Filename& source,
                          const Filename& destination);

// The host's evaluator of C constant expressions (zor_api_scripts.h has the grammar and the error
// bits). Made on first use.
class ExpressionEvaluator {
 public:
  ExpressionEvaluator() = default;
  ExpressionEvaluator(const ExpressionEvaluator&) = delete;
  ExpressionEvaluator& operator=(const ExpressionEvaluator&) = delete;
  ~ExpressionEvaluator();

  // The host's integer mode with options 0 and radix 10: true on success. error gets the ZOR_EVAL_
  // bits (0 on success); value is written also with ZOR_EVAL_WRAPPED. Without an evaluator the answer
  // is false with ZOR_EVAL_SYNTAX.
  bool EvaluateInt(const String& text, int32_t& value, int32_t& error);
  // The floating mode with options 0, unit 0 and radix 10.
  bool EvaluateFloat(const String& text, double& value, int32_t& error);

 private:
  HostEvaluator* Ensure();
  HostEvaluator* evaluator_ = nullptr;
};
