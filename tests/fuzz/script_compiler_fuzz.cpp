// The GUI script compiler on arbitrary source text. Symbol headers are included relative to the source;
// two wait beside it (the example start-up folder's symbol header, which the example GUI script in the
// corpus includes, and a small one), and an input that would include a file from elsewhere is not run,
// so that no input reads a device or a file of the machine.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>

#include "fuzz_support.h"
#include "scripts/script_compiler.h"
#include "scripts/script_lexer.h"

namespace {

constexpr const char kSymbols[] =
    "enum {\nID_OK=1,\nID_CANCEL,\nMODE=-3,\nFOUR='abcd'\n};\n#define LIMIT 0x7FFFFFFF\n#define ALIAS "
    "ID_OK\n";

const fuzz_support::Scratch& Folder() {
  static const fuzz_support::Scratch& scratch = []() -> const fuzz_support::Scratch& {
    const fuzz_support::Scratch& s = fuzz_support::Scratch::Get();
    s.Write("symbols.h", kSymbols);
    std::ifstream in(RELKIT_EXAMPLE_SYMBOLS, std::ios::binary);
    const std::string symbols{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (symbols.empty()) std::abort();  // the source tree's example is part of the target
    s.Write("tarponsymbols.h", symbols);
    return s;
  }();
  return scratch;
}

// Whether every include names a plain file beside the source. The compiler's own lexer finds them; a
// text it cannot lex fails before any include is read.
bool IncludesStayBeside(std::string_view text) {
  try {
    zorhost::script::Lexer lexer(text);
    bool afterInclude = false;
    for (zorhost::script::Token t = lexer.next(); t.kind != zorhost::script::Tok::kEnd; t = lexer.next()) {
      if (afterInclude && t.kind == zorhost::script::Tok::kString) {
        const std::filesystem::path name = std::filesystem::u8path(t.text);
        if (name.empty() || name.has_parent_path() || name.is_absolute() || name == "." || name == "..")
          return false;
      }
      afterInclude = t.kind == zorhost::script::Tok::kName && t.text == "include";
    }
  } catch (const zorhost::script::SourceError&) {
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  if (!IncludesStayBeside(text)) return -1;  // not kept in the corpus
  const std::filesystem::path source = Folder().Write("fuzz.tpn", data, size);
  zorhost::script::compile_file(source);
  return 0;
}
