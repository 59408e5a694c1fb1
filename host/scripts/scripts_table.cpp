// The scripts family: the scripting-language library (the GUI script compiler) and the expression
// evaluator here; the script collections keep their entry points in their own file.
#include <cstdio>
#include <string>

#include "app/entry_guard.h"
#include "app/host_table.h"
#include "app/run_status.h"
#include "files/filename_impl.h"
#include "memory/memory_tracker.h"
#include "scripts/expression_evaluator.h"
#include "scripts/script_collections.h"
#include "scripts/script_compiler.h"
#include "strings/string_impl.h"

struct HostScriptLibrary {
  const HostScriptLibraryTable* table;
};

// The evaluator keeps nothing between calls; the object exists so that a module holds one per use.
struct HostEvaluator {};

namespace zorhost {
namespace {

// Compile errors are host messages: they go to stderr, one "file:line:column: error: text" line each.
int32_t scripts_library_compile(const HostFilename* source, const HostFilename* destination) {
  return guarded("scripts.library_compile", int32_t{0}, [&] {
    if (!source || source->path.empty()) {
      std::fputs("zorhost: the script compiler was given no source file\n", stderr);
      return int32_t{0};
    }
    const std::filesystem::path target =
        destination && !destination->path.empty() ? native(destination) : std::filesystem::path();
    std::string errors;
    const bool ok = script::compile_script(native(source), target, errors);
    if (!ok) {
      std::fputs(errors.c_str(), stderr);
      std::fflush(stderr);
      // the compiler's first line names the file, the place and the cause
      std::string first = errors.substr(0, errors.find('\n'));
      if (first.rfind("zorhost: ", 0) == 0) first.erase(0, 9);
      note_service_failure(first.rfind("cannot write ", 0) == 0 ? first : "cannot compile " + first);
    }
    return int32_t{ok ? 1 : 0};
  });
}

const HostScriptLibraryTable kLibraryTable{
    .header = 0,
    .size = sizeof(HostScriptLibraryTable),
    .compile = scripts_library_compile,
};

HostScriptLibrary g_library{&kLibraryTable};

HostScriptLibrary* scripts_library_find(int32_t id, int32_t kind) {
  return guarded("scripts.library_find", static_cast<HostScriptLibrary*>(nullptr), [&] {
    return id == ZOR_SCRIPT_LIBRARY_ID && kind == ZOR_SCRIPT_LIBRARY_KIND ? &g_library : nullptr;
  });
}

const HostScriptLibraryTable* scripts_library_table(const HostScriptLibrary* library) {
  return guarded("scripts.library_table", static_cast<const HostScriptLibraryTable*>(nullptr),
                 [&] { return library ? library->table : nullptr; });
}

HostEvaluator* scripts_evaluator_alloc() {
  return guarded("scripts.evaluator_alloc", static_cast<HostEvaluator*>(nullptr),
                 [] { return tracked(ObjectKind::Evaluator, new HostEvaluator); });
}

void scripts_evaluator_free(HostEvaluator* evaluator) {
  guarded_void("scripts.evaluator_free", [&] { delete_tracked(ObjectKind::Evaluator, evaluator); });
}

// Options other than 0 ask for nothing this evaluator offers; they are ignored, as is the unit.
bool scripts_evaluate_int(HostEvaluator* evaluator, const HostString* text, int32_t /*options*/,
                          int32_t radix, int32_t* value, int32_t* error) {
  return guarded("scripts.evaluate_int", false, [&] {
    if (!evaluator || !text) {
      if (error) *error = ZOR_EVAL_SYNTAX;
      return false;
    }
    const IntegerEvaluation r = evaluate_integer(to_utf8(text), radix);
    if (value) *value = r.value;
    if (error) *error = r.error;
    return r.ok;
  });
}

bool scripts_evaluate_float(HostEvaluator* evaluator, const HostString* text, int32_t /*options*/,
                            int32_t /*unit*/, int32_t radix, double* value, int32_t* error) {
  return guarded("scripts.evaluate_float", false, [&] {
    if (!evaluator || !text) {
      if (error) *error = ZOR_EVAL_SYNTAX;
      return false;
    }
    const FloatEvaluation r = evaluate_float(to_utf8(text), radix);
    if (value) *value = r.value;
    if (error) *error = r.error;
    return r.ok;
  });
}

}  // namespace

const HostScriptTable* scripts_table() {
  static const HostScriptTable kTable{
      .size = sizeof(HostScriptTable),
      .library_find = scripts_library_find,
      .library_table = scripts_library_table,
      .evaluator_alloc = scripts_evaluator_alloc,
      .evaluator_free = scripts_evaluator_free,
      .evaluate_int = scripts_evaluate_int,
      .evaluate_float = scripts_evaluate_float,
      .collection_first = scripts_collection_first,
      .collection_next = scripts_collection_next,
      .item_identifier = scripts_item_identifier,
      .item_data = scripts_item_data,
      .item_write = scripts_item_write,
  };
  return &kTable;
}

}  // namespace zorhost
