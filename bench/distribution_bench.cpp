// The symbol header step of the distribution builder over a generated SDK tree of 500 headers (40,000
// symbols: the table near its 50,000), run in-process on zorhost's services. Half of the define values
// and a quarter of the enumerator values name earlier symbols, so they fail their first evaluation and
// go through symbol substitution with tens of thousands of names stored. (The ten "SYMBOL FAILED"
// lines are the enumerators of h0.h and h1.h that name their own file's defines: the two leading
// headers give their enumerators first.)
//
// Counters: headers_per_s (each header is read twice, once per pass), symbols_per_s (symbols written),
// and cpp_ratio: this run's time divided by the time of `cpp -dM` over one file that includes the same
// headers (the C preprocessor's own define collection, one process). Goal: the whole tree in seconds.
//
//   build/bin/distribution_bench --benchmark_repetitions=3
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "app/host_table.h"
#include "core/core_framework.h"
#include "makedistri/makedistri.h"
#include "nexal/object.h"
#include "zor_filename.h"
#include "zor_host.h"

namespace {

namespace fs = std::filesystem;

constexpr int kHeaders = 500;
constexpr int kDefinesPerHeader = 40;
constexpr int kEnumeratorsPerHeader = 40;

// One header: defines with plain, hexadecimal, shifted and referring values, an enum with automatic,
// explicit and referring enumerators, and comments of both kinds.
std::string Header(int h) {
  const std::string p = "H" + std::to_string(h) + "_";
  std::string text = "/* generated header " + std::to_string(h) + " ****/\n#pragma once\n";
  for (int d = 0; d < kDefinesPerHeader; ++d) {
    const std::string name = p + "D" + std::to_string(d);
    switch (d % 4) {
      case 0:
        text += "#define " + name + " " + std::to_string(d * 7) + " // plain\n";
        break;
      case 1:
        text += "#define " + name + " 0x" + std::to_string(1000 + d) + "\n";
        break;
      case 2:
        text += "#define " + name + " (" + p + "D" + std::to_string(d - 2) + " + 1)\n";
        break;
      default:
        // a symbol of a header that sorts earlier ("h12.h" before "h123.h")
        text += "#define " + name + " (H" + std::to_string(h / 10) + "_D0 | (1 << " + std::to_string(d % 31) +
                "))\n";
    }
  }
  text += "enum " + p + "Tag\n{\n";
  for (int e = 0; e < kEnumeratorsPerHeader; ++e) {
    const std::string name = p + "E" + std::to_string(e);
    if (e % 8 == 3) {
      text += "  " + name + " = " + p + "D4 + " + std::to_string(e) + ",\n";
    } else if (e % 8 == 5) {
      text += "  " + name + " = " + p + "E" + std::to_string(e - 1) + " * 2, /* referring */\n";
    } else if (e % 10 == 0) {
      text += "  " + name + " = " + std::to_string(e * 100) + ",\n";
    } else {
      text += "  " + name + ",\n";
    }
  }
  text += "  " + p + "ELAST\n};\n";
  return text;
}

struct Tree {
  fs::path root;
  fs::path startup;
  fs::path all;  // one file including every header, for cpp
  Tree() {
    root = fs::temp_directory_path() / ("distribution_bench_" + std::to_string(::getpid()));
    startup = root / "startup";
    const fs::path sdk = startup / "frameworks" / "orvane.framework";
    fs::create_directories(startup / "resource");
    std::ofstream includes(root / "all.h");
    for (int h = 0; h < kHeaders; ++h) {
      const fs::path file = sdk / ("group" + std::to_string(h % 10)) / ("h" + std::to_string(h) + ".h");
      fs::create_directories(file.parent_path());
      std::ofstream(file) << Header(h);
      includes << "#include \"" << file.string() << "\"\n";
    }
    all = root / "all.h";
  }
  ~Tree() { fs::remove_all(root); }
};

double CppSeconds(const Tree& tree) {
  const std::string command = "cpp -dM '" + tree.all.string() + "' >/dev/null 2>&1";
  const auto start = std::chrono::steady_clock::now();
  const int status = std::system(command.c_str());
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  return status == 0 ? seconds : 0.0;
}

void BM_ParseSymbols(benchmark::State& state) {
  static const HostFunctionTable table = zorhost::make_host_table(ZOR_HOST_API_VERSION);
  SetHostTable(&table);
  zorhost::resolve_core_reference(&nexal::Reference(nexal::Ref::TextParser));
  const Tree tree;
  const Filename startup(tree.startup.string().c_str());
  double cpp = 0.0;
  for (int i = 0; i < 3; ++i) {
    const double once = CppSeconds(tree);
    if (cpp == 0.0 || (once > 0.0 && once < cpp)) cpp = once;
  }
  int64_t symbols = 0;
  double seconds = 0.0;
  for (auto _ : state) {
    // the console lines of failing symbols would measure the terminal; there are none by design
    const auto start = std::chrono::steady_clock::now();
    const bool ok = ParseSymbols(startup);
    seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (!ok) state.SkipWithError("ParseSymbols failed");
    std::ifstream written(tree.startup / "resource" / "tarponsymbols.h");
    symbols = -3;
    for (std::string line; std::getline(written, line);) ++symbols;
  }
  const double perRun = seconds / static_cast<double>(state.iterations());
  state.counters["headers_per_s"] = kHeaders / perRun;
  state.counters["symbols"] = static_cast<double>(symbols);
  state.counters["symbols_per_s"] = static_cast<double>(symbols) / perRun;
  state.counters["cpp_s"] = cpp;
  state.counters["cpp_ratio"] = cpp > 0.0 ? perRun / cpp : 0.0;
  SetHostTable(nullptr);
}
BENCHMARK(BM_ParseSymbols)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
