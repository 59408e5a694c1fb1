// The regression run of a fuzz target without libFuzzer: every file of the folders (or the files) named
// on the command line goes through the target's entry point once, in name order so that a failure
// repeats. A fault ends the process as it would under the fuzzer.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

int main(int argc, char** argv) {
  namespace fs = std::filesystem;
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s CORPUS_FOLDER_OR_FILE...\n", argv[0]);
    return 2;
  }
  std::vector<fs::path> inputs;
  for (int i = 1; i < argc; ++i) {
    std::error_code ec;
    const size_t before = inputs.size();
    if (fs::is_directory(argv[i], ec)) {
      for (const fs::directory_entry& entry : fs::directory_iterator(argv[i], ec))
        if (entry.is_regular_file()) inputs.push_back(entry.path());
    } else if (fs::is_regular_file(argv[i], ec)) {
      inputs.push_back(argv[i]);
    }
    if (ec || inputs.size() == before) {
      std::fprintf(stderr, "%s: no input files in %s\n", argv[0], argv[i]);
      return 2;
    }
  }
  std::sort(inputs.begin(), inputs.end());
  for (const fs::path& input : inputs) {
    std::ifstream in(input, std::ios::binary);
    const std::vector<char> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (!in.eof() && in.fail()) {
      std::fprintf(stderr, "%s: cannot read %s\n", argv[0], input.c_str());
      return 2;
    }
    // a copy of its own, so that a read past the end is the sanitizer's to see
    std::vector<uint8_t> data(bytes.begin(), bytes.end());
    std::fprintf(stderr, "input %s (%zu bytes)\n", input.c_str(), data.size());
    static const uint8_t kNothing = 0;  // libFuzzer never passes a null pointer, not even for no bytes
    LLVMFuzzerTestOneInput(data.empty() ? &kNothing : data.data(), data.size());
  }
  std::fprintf(stderr, "%zu inputs ran\n", inputs.size());
  return 0;
}
