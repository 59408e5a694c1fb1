// The compiler of the host's GUI script language (docs/gui-script-language.md): source ".tpn" to the
// bytecode file ".tpb" described in script_bytecode.h.
#pragma once
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace zorhost::script {

struct Compilation {
  bool ok = false;
  std::vector<uint8_t> bytes;  // the compiled file when ok
  std::string errors;          // "file:line:column: error: text" lines when not ok
};

// Compiles the source file, reading the symbol headers it includes (relative to the source's folder).
// Stops at the first error.
Compilation compile_file(const std::filesystem::path& source);

// Where the compiled file goes when no destination is given: beside the source, suffix "tpb".
std::filesystem::path default_destination(const std::filesystem::path& source);

// Compiles and writes the result through a replacing file, so a failed write leaves the old file.
// Nothing is written when compiling fails. Errors (compile errors, or "cannot write ...") go to
// `errors`; answers whether the compiled file was written.
bool compile_script(const std::filesystem::path& source, const std::filesystem::path& destination,
                    std::string& errors);

}  // namespace zorhost::script
