// The Translator Locator's own rate in MB of source per second: a whole tree scanned and listed through
// zorhost's files, name tests and text conversion, as the command does it. The tree is the folder in
// TRANSLATOR_TREE when set (bench/compare_xgettext.sh makes one of at least 100 MB from real sources and
// compares the rate with xgettext's); otherwise a generated tree of C++ sources, about 8 MB.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "app/host_table.h"
#include "translator_locator/literal_scanner.h"
#include "translator_locator/translator_locator.h"
#include "zor_host.h"

namespace {

namespace fs = std::filesystem;

// A source file of the kind the tool is for: code, comments and literals of every listing rule.
std::string GeneratedSource(int n) {
  std::string text = "#include \"module_" + std::to_string(n) + ".h\"\n#include <string>\n\n";
  for (int i = 0; i < 400; ++i) {
    text += "// comment \"" + std::to_string(i) + "\" with a \"quoted\" word\n";
    text += "void Function" + std::to_string(i) + "(Dialog& dialog) {\n";
    text += "\tdialog.SetTitle(\"Open File number " + std::to_string(i) + "\");\n";
    text += "\tdialog.Print(\"%d items\\n\", count); Log(\"42\"); Log(\"\\x41\");\n";
    text += "\tint value = compute(a, b) * 17 + offsets[i] - other.size();  /* \"block\" */\n";
    text += "}\n\n";
  }
  return text;
}

fs::path Tree() {
  if (const char* given = std::getenv("TRANSLATOR_TREE")) return given;
  const fs::path tree = fs::temp_directory_path() / "translator_locator_bench_tree";
  if (!fs::exists(tree)) {
    for (int n = 0; n < 300; ++n) {
      fs::create_directories(tree / std::to_string(n % 10));
      std::ofstream(tree / std::to_string(n % 10) / ("file" + std::to_string(n) + ".cpp"))
          << GeneratedSource(n);
    }
  }
  return tree;
}

int64_t TreeBytes(const fs::path& tree) {
  int64_t bytes = 0;
  for (const auto& entry : fs::recursive_directory_iterator(tree)) {
    if (!entry.is_regular_file()) continue;
    const std::string suffix = entry.path().extension().string();
    if (suffix == ".cpp" || suffix == ".h" || suffix == ".H" || suffix == ".CPP") bytes += entry.file_size();
  }
  return bytes;
}

void BM_TranslatorLocatorTree(benchmark::State& state) {
  static const HostFunctionTable table = zorhost::make_host_table(ZOR_HOST_API_VERSION);
  SetHostTable(&table);
  const fs::path tree = Tree();
  const fs::path listing = fs::temp_directory_path() / "translator_locator_bench_strings.txt";
  for (auto _ : state) {
    BaseFile output;
    output.Open(Filename(listing.string().c_str()), ZOR_FILE_WRITE);
    translator_locator::ScanFolder(Filename(tree.string().c_str()), output);
    output.Close();
  }
  state.SetBytesProcessed(state.iterations() * TreeBytes(tree));
  SetHostTable(nullptr);
}
BENCHMARK(BM_TranslatorLocatorTree)->Unit(benchmark::kMillisecond)->MinTime(1.0)->UseRealTime();

// The byte scanner alone on one file held in memory: the part of the rate that is the tool's own.
void BM_ScanSourceOnly(benchmark::State& state) {
  std::string text;
  for (int n = 0; n < 20; ++n) text += GeneratedSource(n);
  int64_t literals = 0;
  for (auto _ : state) {
    translator_locator::ScanSource(text, [&](std::string_view, std::string_view) { ++literals; });
  }
  benchmark::DoNotOptimize(literals);
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_ScanSourceOnly)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
