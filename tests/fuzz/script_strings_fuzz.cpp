// The module's reader of script string files (script_XX.txt) on arbitrary file content, through the
// host's file services as the import reads them.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "fuzz_host.h"
#include "fuzz_support.h"
#include "localize/script_string_file.h"
#include "zor_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz_support::InstallHost();
  const auto path = fuzz_support::Scratch::Get().Write("script_XX.txt", data, size);
  BaseFile file;
  if (!file.Open(Filename(path.c_str()), ZOR_FILE_READ)) std::abort();  // the scratch file is there
  String identifier, text;
  int32_t help = 0, error = 0;
  for (int32_t index = 0;
       localize::ReadScriptStringEntry(file, "script_XX.txt", identifier, text, help, index, error);
       ++index) {
  }
  return 0;
}
