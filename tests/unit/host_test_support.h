// What the host's unit tests share: host strings and file names that free themselves, a patterned
// bitmap, whole files and sorted folder listings, what a call printed, and a substring check that shows
// the text it searched.
#pragma once
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "app/host_table.h"
#include "bitmaps/bitmap_impl.h"
#include "files/filename_impl.h"
#include "memory/memory_tracker.h"
#include "strings/string_impl.h"

namespace test_support {

// EXPECT_TRUE(Contains(text, part)): a failure shows the whole text.
inline testing::AssertionResult Contains(const std::string& text, const std::string& part) {
  if (text.find(part) != std::string::npos) return testing::AssertionSuccess();
  return testing::AssertionFailure() << "\"" << part << "\" is not in:\n" << text;
}

inline std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline std::vector<std::string> NamesIn(const std::filesystem::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

template <class Body>
std::string StderrOf(Body&& body) {
  testing::internal::CaptureStderr();
  body();
  return testing::internal::GetCapturedStderr();
}

template <class Body>
std::string StdoutOf(Body&& body) {
  testing::internal::CaptureStdout();
  body();
  return testing::internal::GetCapturedStdout();
}

// The host's families as a module reaches them.
inline const HostStringTable& Strings() {
  return *zorhost::strings_table();
}
inline const HostFileTable& Files() {
  return *zorhost::files_table();
}
inline const HostContainerTable& Containers() {
  return *zorhost::containers_table();
}

// Sets a variable for the length of a scope and then puts its old value back.
template <class T>
class Scoped {
 public:
  Scoped(T& variable, T value) : variable_(variable), saved_(std::exchange(variable, std::move(value))) {}
  ~Scoped() { variable_ = std::move(saved_); }
  Scoped(const Scoped&) = delete;
  Scoped& operator=(const Scoped&) = delete;

 private:
  T& variable_;
  T saved_;
};

// What body(FILE*) wrote to the stream it was given.
template <class Body>
std::string WrittenBy(Body&& body) {
  char* buffer = nullptr;
  size_t size = 0;
  std::FILE* out = open_memstream(&buffer, &size);
  body(out);
  std::fclose(out);
  std::string text(buffer, size);
  std::free(buffer);
  return text;
}

// A host string of the module's kind, freed with the object.
class HostText {
 public:
  explicit HostText(const std::string& utf8 = "") : string_(zorhost::new_host_string(utf8)) {}
  ~HostText() { zorhost::strings_table()->free(string_); }
  HostText(const HostText&) = delete;
  HostText& operator=(const HostText&) = delete;
  operator HostString*() const { return string_; }
  std::string Utf8() const { return zorhost::to_utf8(string_); }

 private:
  HostString* string_;
};

// A host file name, freed with the object.
class HostName {
 public:
  explicit HostName(const std::filesystem::path& path = {})
      : name_(zorhost::new_host_filename(path.string())) {}
  ~HostName() { zorhost::files_table()->fn_free(name_); }
  HostName(const HostName&) = delete;
  HostName& operator=(const HostName&) = delete;
  operator HostFilename*() const { return name_; }
  const std::string& Path() const { return name_->path; }

 private:
  HostFilename* name_;
};

// A 24-bit bitmap whose bytes differ from their neighbours', so that a swapped channel, row or column
// shows: byte i holds i * 7 / 3.
inline HostBitmap PatternBitmap(int width, int height) {
  HostBitmap bitmap;
  bitmap.width = width;
  bitmap.height = height;
  bitmap.depth = 24;
  bitmap.pixels.resize(size_t(width) * size_t(height) * 3);
  for (size_t i = 0; i < bitmap.pixels.size(); ++i) bitmap.pixels[i] = static_cast<uint8_t>(i * 7 / 3);
  return bitmap;
}

}  // namespace test_support
