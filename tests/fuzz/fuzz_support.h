// What the fuzz targets share: a scratch folder of the process for readers that only take a file name,
// and the host table for readers inside the module.
#pragma once
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>

namespace fuzz_support {

// Made on first use below the temporary folder, named after the process, and removed when the process
// ends normally. A crash leaves it behind; it is small.
class Scratch {
 public:
  static Scratch& Get() {
    static Scratch scratch;
    return scratch;
  }
  const std::filesystem::path& path() const { return path_; }

  // Replaces the file's content; the same few names are written again and again, so the folder does not
  // grow with the number of inputs.
  std::filesystem::path Write(const std::string& name, const uint8_t* data, size_t size) const {
    const std::filesystem::path file = path_ / name;
    std::FILE* out = std::fopen(file.c_str(), "wb");
    if (out == nullptr || (size > 0 && std::fwrite(data, 1, size, out) != size) || std::fclose(out) != 0) {
      std::fprintf(stderr, "fuzz: cannot write %s\n", file.c_str());
      std::abort();
    }
    return file;
  }
  std::filesystem::path Write(const std::string& name, std::string_view text) const {
    return Write(name, reinterpret_cast<const uint8_t*>(text.data()), text.size());
  }

 private:
  Scratch() {
    path_ = std::filesystem::temp_directory_path() / ("relkit_fuzz_" + std::to_string(::getpid()));
    std::filesystem::create_directories(path_);
  }
  ~Scratch() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  std::filesystem::path path_;
};

}  // namespace fuzz_support
