// The distribution builder's header scan (the host's tokenizer feeding the symbol recogniser, the
// symbol store evaluating what it recognises) on an arbitrary header, in both passes as a run makes
// them. Each input starts from a fresh symbol table, so that no input depends on the ones before.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "fuzz_host.h"
#include "fuzz_support.h"
#include "makedistri/makedistri.h"
#include "makedistri/symbol_store.h"
#include "makedistri/symbol_table.h"
#include "zor_filename.h"

namespace {

class NoOutput : public SymbolOutput {
 public:
  void WriteSymbol(std::string_view, int32_t) override {}
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz_support::InstallHost();
  const auto path = fuzz_support::Scratch::Get().Write("header.h", data, size);
  const Filename header(path.c_str());
  SymbolTable table;
  if (!table.Create()) std::abort();  // no input has run yet that could have used the memory
  NoOutput output;
  SymbolStore store(table, output);
  for (const ScanPass pass : {ScanPass::Defines, ScanPass::Enums}) ScanHeaderFile(store, header, pass);
  return 0;
}
