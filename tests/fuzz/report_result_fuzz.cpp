// relkit-report's reader of a Renderator report (_result.txt) on arbitrary file content. A report it
// accepts is written out again and its scene lines must read back as they were.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "fuzz_support.h"
#include "result_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const fuzz_support::Scratch& scratch = fuzz_support::Scratch::Get();
  relkit_report::ResultFile file;
  try {
    file = relkit_report::ReadResultFile(scratch.Write("_result.txt", data, size));
  } catch (const relkit_report::InputError&) {
    return 0;
  }
  for (const relkit_report::ResultLine& line : file.lines)
    relkit_report::SceneName(line.name, scratch.path());
  // The header and the lines must come back as they were: approve rewrites reports this way.
  const std::string text = relkit_report::ResultFileText(file);
  try {
    const relkit_report::ResultFile again = relkit_report::ReadResultFile(scratch.Write("again.txt", text));
    bool same = again.header == file.header && again.lines.size() == file.lines.size();
    for (size_t i = 0; same && i < file.lines.size(); ++i) same = again.lines[i].text == file.lines[i].text;
    if (same) return 0;
    std::fprintf(stderr, "the report does not read back as written:\n%s\n", text.c_str());
  } catch (const relkit_report::InputError& e) {
    std::fprintf(stderr, "the report as written is refused: %s\n", e.what());
  }
  std::abort();
}
