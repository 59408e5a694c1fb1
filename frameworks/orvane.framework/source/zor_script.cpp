#include "zor_script.h"

#include "zor_host.h"

using Scripts = HostScriptTable;

const HostScriptLibraryTable* FindScriptLibraryTable(int32_t id, int32_t kind) {
  HostScriptLibrary* library = HostCall(nullptr, &Scripts::library_find, id, kind);
  if (library == nullptr) return nullptr;
  return HostCall(nullptr, &Scripts::library_table, library);
}

int32_t CallScriptCompile(const HostScriptLibraryTable* table, const Filename& source,
                          const Filename& destination) {
  // A size below the two header fields is no table at all; beyond that a slot counts only when the
  // size covers it, as for the host's own tables.
  if (table == nullptr || table->size < 8 ||
      !zor_host_detail::Covers(*table, &HostScriptLibraryTable::compile) || table->compile == nullptr) {
    return 0;
  }
  return table->compile(source.Get(), destination.Get());
}

ExpressionEvaluator::~ExpressionEvaluator() {
  if (evaluator_ != nullptr) HostCall(&Scripts::evaluator_free, evaluator_);
}

HostEvaluator* ExpressionEvaluator::Ensure() {
  if (evaluator_ == nullptr) evaluator_ = HostCall(nullptr, &Scripts::evaluator_alloc);
  return evaluator_;
}

bool ExpressionEvaluator::EvaluateInt(const String& text, int32_t& value, int32_t& error) {
  error = ZOR_EVAL_SYNTAX;
  if (Ensure() == nullptr) return false;
  int32_t result = 0;
  int32_t code = ZOR_EVAL_OK;
  const bool ok = HostCall(false, &Scripts::evaluate_int, evaluator_, text.Get(), 0, 10, &result, &code);
  if (!ok && code == ZOR_EVAL_OK) code = ZOR_EVAL_SYNTAX;  // a host that failed without saying why
  error = ok ? ZOR_EVAL_OK : code;
  value = result;
  return ok;
}

bool ExpressionEvaluator::EvaluateFloat(const String& text, double& value, int32_t& error) {
  error = ZOR_EVAL_SYNTAX;
  if (Ensure() == nullptr) return false;
  double result = 0.0;
  int32_t code = ZOR_EVAL_OK;
  const bool ok = HostCall(false, &Scripts::evaluate_float, evaluator_, text.Get(), 0, 0, 10, &result, &code);
  if (!ok && code == ZOR_EVAL_OK) code = ZOR_EVAL_SYNTAX;
  error = ok ? ZOR_EVAL_OK : code;
  value = result;
  return ok;
}
