// Reading what a run left behind: whole files, their lines and the words of a line, and images.
#pragma once
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "rgb_tiff.h"

namespace e2e {

inline std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

inline std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::stringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

inline std::vector<std::string> Words(const std::string& line) {
  std::vector<std::string> words;
  std::stringstream in(line);
  for (std::string word; in >> word;) words.push_back(word);
  return words;
}

// the last line of a text, "" when there is none
inline std::string LastLine(const std::string& text) {
  const std::vector<std::string> lines = Lines(text);
  return lines.empty() ? "" : lines.back();
}

inline bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// how often part occurs in text
inline size_t Count(const std::string& text, const std::string& part) {
  size_t n = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

// the scenes a console names as started ("[i/n...] Processing file SCENE..."), in order
inline std::vector<std::string> ProcessedScenes(const std::string& console) {
  std::vector<std::string> scenes;
  for (const std::string& line : Lines(console)) {
    const size_t at = line.find("] Processing file ");
    if (at != std::string::npos && line.ends_with("..."))
      scenes.push_back(line.substr(at + 18, line.size() - at - 18 - 3));
  }
  return scenes;
}

// the rows of a report (_result.txt) as words, header left out
inline std::vector<std::vector<std::string>> ReportRows(const std::filesystem::path& folder) {
  std::vector<std::vector<std::string>> rows;
  const std::vector<std::string> lines = Lines(ReadFile(folder / "_result.txt"));
  for (size_t i = 1; i < lines.size(); ++i) rows.push_back(Words(lines[i]));
  return rows;
}

// one column of a report's rows (0: the scene number, 1: the status), header left out
inline std::vector<std::string> ReportColumn(const std::filesystem::path& folder, size_t column) {
  std::vector<std::string> cells;
  for (const std::vector<std::string>& row : ReportRows(folder)) cells.push_back(row.at(column));
  return cells;
}

// The width and height of a TIFF that libtiff reads whole, or {0, 0}.
inline std::pair<uint32_t, uint32_t> TiffSize(const std::filesystem::path& file) {
  TIFFSetErrorHandler(nullptr);
  uint32_t width = 0, height = 0;
  if (test_support::ReadTiffRgb(file, width, height).empty()) return {0, 0};
  return {width, height};
}

// the prefix of the result folders of a run at the default host version
inline const std::string kResultPrefix = "_renderator_16.050_";

}  // namespace e2e
